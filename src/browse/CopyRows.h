#pragma once

// The rows a user selected in a grid as text for the clipboard, ready to be
// pasted into a spreadsheet.

#include <QString>
#include <optional>

class TDBGrid;

// Records first..last of the grid's data set over the columns the grid
// shows: the column titles on the first line, then a line for each record,
// every line ended by a line feed. Cells are separated by tabs; each is its
// value's text as Ctrl+C copies it, escaped as the text export escapes a
// cell, so that a record stays one line. A long walk shows its progress;
// none when the user cancelled it. The grid keeps its record and selection.
std::optional<QString> GridRowsText(TDBGrid* grid, int first, int last);
