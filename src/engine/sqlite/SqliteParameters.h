#pragma once

// The values of a statement's "?" markers.

#include "SqliteHandles.h"

#include <QVariantList>

// Binds params to the markers in order; raises when SQLite refuses one.
void BindSqlite(sqlite3* db, sqlite3_stmt* statement, const QVariantList& params);
