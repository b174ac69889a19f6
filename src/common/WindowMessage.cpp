#include "WindowMessage.h"

#include <QCoreApplication>

TWindowMessage::TWindowMessage(int msg, qintptr wParam, qintptr lParam)
    : QEvent(Type()), Msg(msg), WParam(wParam), LParam(lParam) {}

QEvent::Type TWindowMessage::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool SendWindowMessage(QObject* target, int msg, qintptr wParam, qintptr lParam) {
    if (!target) return false;
    TWindowMessage message(msg, wParam, lParam);
    QCoreApplication::sendEvent(target, &message);
    return true;
}
