#include "OdbcDriver.h"

#include "engine/Exception.h"

std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString&, const QString&,
                                                      TTransIsolation) {
    throw EDatabaseError(QStringLiteral("Cannot connect to '%1': the ODBC driver is not built in").arg(alias.Name));
}
