#pragma once

#include "engine/Driver.h"

#include <memory>

// The embedded server: an SQLite file answering the SQL Anywhere statements
// the program sends. Raises when the file cannot be opened.
std::unique_ptr<TDriverConnection> OpenSqliteConnection(const QString& file);
