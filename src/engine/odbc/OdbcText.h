#pragma once

// Texts to and from the driver manager's wide (UTF-16) functions.

#include <QString>
#include <sql.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

inline const SQLWCHAR* OdbcWide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}
// For the functions that take a text as SQLWCHAR* though they only read it.
inline SQLWCHAR* OdbcWideArg(const QString& text) {
    return const_cast<SQLWCHAR*>(OdbcWide(text));
}

QString FromOdbcWide(const SQLWCHAR* text, qsizetype length);

// A name or message the driver wrote into a buffer of room characters. The
// length it reports is not to be trusted (the driver manager gives a narrow
// driver's byte count), the terminating zero is.
QString FromOdbcBuffer(const SQLWCHAR* text, qsizetype reported, qsizetype room);

// A data source or driver name from the driver manager, zero-terminated in
// a buffer of room characters. unixODBC hands out the bytes of its ini files
// one to a wide character, so a text of such characters that reads as UTF-8
// is taken as UTF-8; any other is UTF-16 as the wide functions promise.
QString FromOdbcName(const SQLWCHAR* text, qsizetype room);
