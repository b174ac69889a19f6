#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the code page of every file the program reads or writes.
// A character that it cannot hold becomes "?".
QByteArray ToWin1251(const QString& text);
QString FromWin1251(const QByteArray& bytes);
// One character's byte; 0 where the code page has none (and for U+0000).
quint8 Win1251Byte(char16_t u);

// The export's letter conversion of Windows-1251 bytes: 0 none, 2 the
// layout of code page 866, any other value the letters at 0x80-0xBF.
void ConvertCodePage(QByteArray& bytes, quint8 codePage);
quint8 ConvertCodePageByte(quint8 b, quint8 codePage);
