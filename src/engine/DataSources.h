#pragma once

// The data sources of the ODBC driver manager (user and system, as its
// ODBCINI and ODBCSYSINI settings say). The ODBC driver implements these
// (odbc/OdbcDataSources.cpp), so that the rest of the program lists them
// without a driver's header.

#include <QList>
#include <QString>

struct TOdbcDataSource {
    QString Name;
    QString Driver; // the driver's description
};

QList<TOdbcDataSource> OdbcDataSources();
// One attribute of a data source's section ("" when absent).
QString OdbcDataSourceAttribute(const QString& dataSource, const QString& attribute);
