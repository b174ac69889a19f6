#include "KeyboardState.h"

#include <QGuiApplication>

namespace {
TKeyboardStateProvider& Provider() {
    static TKeyboardStateProvider provider;
    return provider;
}
} // namespace

Qt::KeyboardModifiers KeyboardState() {
    if (const auto& provider = Provider()) return provider();
    return QGuiApplication::queryKeyboardModifiers();
}

TKeyboardStateProvider SetKeyboardStateProvider(TKeyboardStateProvider provider) {
    return std::exchange(Provider(), std::move(provider));
}
