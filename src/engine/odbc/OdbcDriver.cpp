#include "OdbcDriver.h"

#include "OdbcConnection.h"
#include "OdbcDataSources.h"

namespace {

// A connection-string value, in braces only when it holds characters that
// would end or split it (psqlODBC keeps the braces of a user name); a
// closing brace inside is doubled.
QString ConnectValue(const QString& value) {
    static const QString special = QStringLiteral(";{}");
    bool needBraces = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    for (QChar c : value)
        needBraces = needBraces || special.contains(c);
    if (!needBraces) return value;
    QString quoted = value;
    quoted.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + quoted + QLatin1Char('}');
}

} // namespace

QString OdbcConnectString(const TAliasInfo& alias, const QString& userName, const QString& password) {
    QString connect = QStringLiteral("DSN=") + ConnectValue(alias.Name);
    if (!userName.isEmpty()) connect += QStringLiteral(";UID=") + ConnectValue(userName);
    if (!password.isEmpty()) connect += QStringLiteral(";PWD=") + ConnectValue(password);
    // The data source names its driver's section, or the library itself.
    const QString driver = OdbcDataSourceAttribute(alias.Name, QStringLiteral("Driver"));
    QString library = OdbcDriverAttribute(driver, QStringLiteral("Driver"));
    if (library.isEmpty()) library = driver;
    if (library.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive)) {
        // Past about 4,000 rows a block the walk gains nothing more.
        if (OdbcDataSourceAttribute(alias.Name, QStringLiteral("UseDeclareFetch")).isEmpty())
            connect += QStringLiteral(";UseDeclareFetch=1");
        if (OdbcDataSourceAttribute(alias.Name, QStringLiteral("Fetch")).isEmpty())
            connect += QStringLiteral(";Fetch=4000");
    }
    return connect;
}

std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString& userName,
                                                      const QString& password, TTransIsolation isolation) {
    return std::make_unique<TOdbcConnection>(alias.Name, OdbcConnectString(alias, userName, password),
                                             isolation);
}
