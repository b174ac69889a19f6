#include "OdbcDataSources.h"

#include "Exception.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

namespace {

class TEnvHandle {
public:
    TEnvHandle() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FHandle)))
            throw EDatabaseError(QStringLiteral("Cannot allocate ODBC handle"));
        SQLSetEnvAttr(FHandle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~TEnvHandle() { SQLFreeHandle(SQL_HANDLE_ENV, FHandle); }
    TEnvHandle(const TEnvHandle&) = delete;
    TEnvHandle& operator=(const TEnvHandle&) = delete;
    SQLHENV Get() const { return FHandle; }

private:
    SQLHENV FHandle = SQL_NULL_HENV;
};

} // namespace

QList<TOdbcDataSource> OdbcDataSources() {
    QList<TOdbcDataSource> out;
    TEnvHandle env;
    SQLCHAR name[256], description[256];
    SQLSMALLINT nameLen = 0, descLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQLDataSources(env.Get(), direction, name, sizeof name, &nameLen, description, sizeof description,
                          &descLen) == SQL_SUCCESS) {
        out.append({QString::fromUtf8(reinterpret_cast<const char*>(name)),
                    QString::fromUtf8(reinterpret_cast<const char*>(description))});
        direction = SQL_FETCH_NEXT;
    }
    return out;
}

namespace {

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
