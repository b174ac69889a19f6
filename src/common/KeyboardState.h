#pragma once

#include <Qt>
#include <functional>

// The modifier keys held down right now (not those of the last event), as
// commands that change with Ctrl, Alt or Shift read them. Tests replace the
// provider; an empty one restores the real keyboard query.
Qt::KeyboardModifiers KeyboardState();
using TKeyboardStateProvider = std::function<Qt::KeyboardModifiers()>;
TKeyboardStateProvider SetKeyboardStateProvider(TKeyboardStateProvider provider);
