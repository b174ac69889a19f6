#pragma once

#include <QChar>
#include <QString>

// Fit text to width characters (code points): shorter texts are filled with
// fill, longer ones cut to their first width characters.
void PadLeft(QString& text, int width, QChar fill = QLatin1Char(' '));
void PadCenter(QString& text, int width, QChar fill = QLatin1Char(' '));
void PadRight(QString& text, int width, QChar fill = QLatin1Char(' '));

// A text to show in little room: as it is when it has at most longest
// UTF-16 units, else its first longest - 1 (never half a character) and "…".
QString Elided(const QString& text, int longest);

// Every occurrence of find becomes put.
void ReplaceChar(QString& text, QChar find, QChar put);
// Removes codes 32-47, 58-63, 91-94 and 123-126.
QString StripPunctuation(const QString& text);
