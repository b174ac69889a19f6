#pragma once

// The one place where the core chooses a driver (drivers/DriverFactory.cpp,
// the only file of the core that includes the drivers' headers).

#include "Driver.h"
#include "Session.h"
#include "TDatabase.h"

#include <memory>

// A connection to the alias's database: the embedded SQLite driver for a
// desktop file or an embedded server's database, the ODBC driver for any
// other data source. Raises when it cannot connect.
std::unique_ptr<TDriverConnection> OpenDriverConnection(const TAliasInfo& alias, const QString& userName,
                                                        const QString& password, TTransIsolation isolation);
