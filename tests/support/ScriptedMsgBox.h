#pragma once

#include <QList>
#include <QString>

// Replaces the message box while it lives: records every box that ShowMsg
// shows and answers from a queue (the flags' default answer once the queue
// is empty).
class ScriptedMsgBox {
public:
    struct Shown {
        QString Text;
        QString Caption;
        int Flags;
    };

    ScriptedMsgBox();
    ~ScriptedMsgBox();
    ScriptedMsgBox(const ScriptedMsgBox&) = delete;
    ScriptedMsgBox& operator=(const ScriptedMsgBox&) = delete;

    void Answer(int id) { FAnswers << id; }
    const QList<Shown>& Boxes() const { return FBoxes; }
    int Count() const { return FBoxes.size(); }
    const Shown& Last() const { return FBoxes.last(); }
    void Clear() { FBoxes.clear(); }

private:
    QList<int> FAnswers;
    QList<Shown> FBoxes;
};

// Holds the given modifier keys "down" for commands that read the keyboard
// state while it lives.
class ScopedModifiers {
public:
    explicit ScopedModifiers(Qt::KeyboardModifiers modifiers);
    ~ScopedModifiers();
    ScopedModifiers(const ScopedModifiers&) = delete;
    ScopedModifiers& operator=(const ScopedModifiers&) = delete;
};
