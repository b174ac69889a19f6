#include "StatementWaiter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>

namespace {

TStatementWaiter* Current = nullptr;
const char* const CancelProperty = "tamselStatementCancel";

// Where the user looks: the active window, else the frame.
QWidget* BusyHost() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    QWidget* any = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (qobject_cast<QMainWindow*>(w)) return w;
        if (!any) any = w;
    }
    return any;
}

bool IsKeyboard(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool IsPointer(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

TStatementWaiter::TStatementWaiter(QObject* parent) : QObject(parent) {
    FEnd.setSingleShot(true);
    FEnd.setInterval(0);
    connect(&FEnd, &QTimer::timeout, this, [this] {
        // Inside a pump the statement still runs: look again after it.
        if (FPumping)
            FEnd.start();
        else
            EndSpell();
    });
    Current = this;
    SetStatementWait(this);
}

TStatementWaiter::~TStatementWaiter() {
    SetStatementWait(nullptr);
    if (Current == this) Current = nullptr;
    EndSpell();
}

TStatementWaiter* TStatementWaiter::Instance() {
    return Current;
}

void TStatementWaiter::AllowCancel(QAbstractButton* button) {
    button->setProperty(CancelProperty, true);
    QObject::connect(button, &QAbstractButton::clicked, button, [] {
        if (Current) Current->FCancel = true;
    });
}

TStatementWaiter::TOwnDisplay::TOwnDisplay(std::function<void()> show) {
    if (!Current) return;
    FPrevious = std::move(Current->FOwnDisplay);
    Current->FOwnDisplay = std::move(show);
}

TStatementWaiter::TOwnDisplay::~TOwnDisplay() {
    if (Current) Current->FOwnDisplay = std::move(FPrevious);
}

bool TStatementWaiter::Poll() {
    if (!FSpell.isValid()) {
        FSpell.start();
        FPumped.start();
        FCancel = FCancelled = false;
        FEnd.start();
    } else if (FPumped.elapsed() >= PumpEveryMs) {
        Pump();
    }
    // Handed over once: the driver cancels the statement that runs now.
    const bool cancel = FCancel;
    FCancel = false;
    FCancelled = FCancelled || cancel;
    return cancel;
}

void TStatementWaiter::Pump() {
    if (!FShown && FSpell.elapsed() >= ShowAfterMs) ShowBusy();
    FPumping = true;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    FPumping = false;
    FPumped.start();
}

void TStatementWaiter::ShowBusy() {
    FShown = true;
    if (!FCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FCursor = true;
    }
    if (FOwnDisplay) {
        FOwnDisplay();
        return;
    }
    QWidget* host = BusyHost();
    if (!host) return;
    auto* panel = new QFrame(host);
    panel->setObjectName(QStringLiteral("pnlStatementBusy"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(panel);
    layout->addWidget(new QLabel(QStringLiteral("Изпълнява се..."), panel));
    auto* button = new QPushButton(QStringLiteral("Прекъсни"), panel);
    button->setObjectName(QStringLiteral("btnStatementCancel"));
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    AllowCancel(button);
    layout->addWidget(button);
    panel->adjustSize();
    panel->move((host->width() - panel->width()) / 2, (host->height() - panel->height()) / 2);
    panel->show();
    panel->raise();
    FPanel = panel;
}

void TStatementWaiter::EndSpell() {
    FEnd.stop();
    delete FPanel.data();
    if (FCursor) {
        QApplication::restoreOverrideCursor();
        FCursor = false;
    }
    const bool cancelled = FCancelled;
    FShown = false;
    FSpell.invalidate();
    FCancel = FCancelled = false;
    if (!cancelled) return;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<QMainWindow*>(w))
            frame->statusBar()->showMessage(QStringLiteral("Прекъснато"), 5000);
    emit Cancelled();
}

bool TStatementWaiter::Allowed(QObject* watched) const {
    for (QObject* o = watched; o; o = o->parent())
        if (o->property(CancelProperty).toBool()) return true;
    return false;
}

bool TStatementWaiter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Close) {
        // No window closes under a running statement.
        event->ignore();
        return true;
    }
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        FCancel = true;
        return true;
    }
    if (IsKeyboard(type)) return true;
    if (!IsPointer(type)) return false;
    // A pointer event reaches the window before its widget: it is judged
    // at the widget.
    return watched->isWidgetType() && !Allowed(watched);
}
