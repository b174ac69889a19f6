#pragma once

// The keys and mouse gestures of the frame and the table window, in one
// table: the menus take their shortcuts from it, the table window's key
// handlers their key codes, and Help's key list its lines, so the list
// shows what is bound.

#include <QKeySequence>
#include <QList>
#include <QString>

enum class TKeyCommand {
    // the frame's menu
    OpenTable,
    SelectDb,
    Exit,
    ApplyFilter,
    FilterByField,
    ClearFilter,
    CloseWindow,
    // keys of the table window
    OpenChosenTable,
    ApplyTypedFilter,
    CopyValue,
    Statistics,
    StartLinkByKey,
    RecordView,
    // mouse gestures of the table window
    SelectRows,
    SortBy,
    SortAlsoBy,
    StartLinkByMouse,
    DropLink,
    FilterButton,
    ClearFilterButton,
    BreakLinkButton,
    GridMenu,
    TitleMenu,
};

struct TKeyEntry {
    TKeyCommand Command;
    bool InFrame;     // the frame's command, else the table window's
    QKeySequence Key; // empty for a mouse gesture
    QString Gesture;  // a mouse gesture as the list names it
    QString Description;
};

const QList<TKeyEntry>& KeyTable();
// The key of a command; empty for a mouse gesture.
QKeySequence KeyOf(TKeyCommand command);
// The key code of a command's key without its modifiers.
Qt::Key KeyCodeOf(TKeyCommand command);
// What the list shows in its first column: the key in the platform's
// words, or the gesture.
QString GestureText(const TKeyEntry& entry);
// The filter language in brief, for the key list.
QString FilterLanguageSummary();
