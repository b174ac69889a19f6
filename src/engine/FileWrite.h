#pragma once

// Writing a file to the end of its data.

#include <QByteArray>
#include <QFileDevice>

// Writes all of bytes, going on after a short write: a write cut short by a
// full disk reports nothing, the next one the system's reason. False when the
// file took less; its errorString() then says why.
bool WriteAll(QFileDevice& file, const QByteArray& bytes);
