#pragma once

#include <QString>
#include <QStringList>

// The data sources of the ODBC driver manager (user and system, as its
// ODBCINI and ODBCSYSINI settings say).
struct TOdbcDataSource {
    QString Name;
    QString Driver; // the driver's description
};

QList<TOdbcDataSource> OdbcDataSources();
// One attribute of a data source's section ("" when absent).
QString OdbcDataSourceAttribute(const QString& dataSource, const QString& attribute);
// One attribute of a driver's section of the driver manager ("" when absent).
QString OdbcDriverAttribute(const QString& driver, const QString& attribute);
