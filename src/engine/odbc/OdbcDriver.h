#pragma once

#include "engine/Driver.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"

#include <memory>

// The connection string for a data source. For psqlODBC, which otherwise
// reads a whole result into memory before the first row, rows come from a
// server cursor in large blocks unless the data source says otherwise.
QString OdbcConnectString(const TAliasInfo& alias, const QString& userName, const QString& password);

// Connects to an ODBC data source through the driver manager.
std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString& userName,
                                                      const QString& password, TTransIsolation isolation);
