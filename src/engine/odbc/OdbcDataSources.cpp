#include "OdbcDataSources.h"

#include "OdbcHandles.h"
#include "OdbcText.h"

#include <iterator>
#include <odbcinst.h>
#include <sqlext.h>

QList<TOdbcDataSource> OdbcDataSources() {
    QList<TOdbcDataSource> out;
    TOdbcEnvironment env;
    SQLWCHAR name[256], description[256];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQLDataSourcesW(env.Get(), direction, name, SQLSMALLINT(std::size(name)), &nameLength, description,
                           SQLSMALLINT(std::size(description)), &descriptionLength) == SQL_SUCCESS) {
        out.append({FromOdbcName(name, std::size(name)), FromOdbcName(description, std::size(description))});
        direction = SQL_FETCH_NEXT;
    }
    return out;
}

namespace {

// The ini files hold their names in UTF-8, which the narrow function of
// odbcinst reads byte for byte.
QString ProfileString(const QString& section, const QString& attribute, const char* file) {
    if (section.isEmpty()) return QString();
    char buffer[4096] = {0};
    const QByteArray name = section.toUtf8(), key = attribute.toUtf8();
    const int n =
        SQLGetPrivateProfileString(name.constData(), key.constData(), "", buffer, int(sizeof buffer), file);
    if (n <= 0) return QString();
    return QString::fromUtf8(buffer).trimmed();
}

} // namespace

QString OdbcDataSourceAttribute(const QString& dataSource, const QString& attribute) {
    return ProfileString(dataSource, attribute, "odbc.ini");
}

QString OdbcDriverAttribute(const QString& driver, const QString& attribute) {
    return ProfileString(driver, attribute, "odbcinst.ini");
}
