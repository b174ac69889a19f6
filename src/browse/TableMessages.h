#pragma once

#include "common/WindowMessage.h"

// The table window's messages: what its menus and keys send to it and what
// the frame's toolbar forwards to the active one. TDbTableForm::event
// handles them.
constexpr int msgExport = WM_USER + 3;           // 1027
constexpr int msgExportPlain = WM_USER + 4;      // 1028
constexpr int msgExecute = WM_USER + 1000;       // 2024
constexpr int msgStatistics = WM_USER + 1003;    // 2027
constexpr int msgFocusFilter = WM_USER + 1010;   // 2034
constexpr int msgApplyFilter = WM_USER + 1011;   // 2035
constexpr int msgFilterByField = WM_USER + 1012; // 2036
constexpr int msgClearFilter = WM_USER + 1013;   // 2037
constexpr int msgBreakLink = WM_USER + 1014;     // 2038
