#pragma once

#include <QStringView>

// Whether name, in any case, is one of the server's reserved words, which a
// statement reads as part of itself rather than as a name.
bool IsReservedWord(QStringView name);
