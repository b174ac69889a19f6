#include "engine/DriverFactory.h"

#include "engine/odbc/OdbcDriver.h"
#include "engine/sqlite/SqliteDriver.h"

std::unique_ptr<TDriverConnection> OpenDriverConnection(const TAliasInfo& alias, const QString& userName,
                                                        const QString& password, TTransIsolation isolation) {
    if (alias.Kind == TAliasKind::DesktopFile || alias.Kind == TAliasKind::EmbeddedServer)
        return OpenSqliteConnection(alias.DatabaseFile);
    return OpenOdbcConnection(alias, userName, password, isolation);
}
