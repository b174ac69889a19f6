#include "ScriptedMsgBox.h"

#include "common/KeyboardState.h"
#include "common/ZorvUtilUnit.h"

namespace {
TMsgPresenter SavedPresenter;
TKeyboardStateProvider SavedKeyboard;
} // namespace

ScriptedMsgBox::ScriptedMsgBox() {
    SavedPresenter = SetMsgPresenter([this](const QString& text, const QString& caption, int flags) {
        FBoxes << Shown{text, caption, flags};
        return FAnswers.isEmpty() ? QuietAnswer(flags) : FAnswers.takeFirst();
    });
}

ScriptedMsgBox::~ScriptedMsgBox() {
    SetMsgPresenter(std::move(SavedPresenter));
}

ScopedModifiers::ScopedModifiers(Qt::KeyboardModifiers modifiers) {
    SavedKeyboard = SetKeyboardStateProvider([modifiers] { return modifiers; });
}

ScopedModifiers::~ScopedModifiers() {
    SetKeyboardStateProvider(std::move(SavedKeyboard));
}
