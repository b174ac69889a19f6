#pragma once

#include "engine/Driver.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"

#include <memory>

// Connects to an ODBC data source through the driver manager.
std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString& userName,
                                                      const QString& password, TTransIsolation isolation);
