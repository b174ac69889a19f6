#pragma once

// The post-connect preparation and the one-statement runner through which
// all of the program's own SQL goes.

#include "engine/TQuery.h"

#include <QString>
#include <QVariant>

class TDatabase;

// The work query: forward-only, parameters not scanned.
class TZorvWorkQuery : public TQuery {
    Q_OBJECT
public:
    TZorvWorkQuery(QObject* owner, const QString& databaseName);
};

extern TDatabase* CurrentDatabase; // not owned
extern TZorvWorkQuery* WorkQuery;  // owned by the application object
extern bool ContinueOnSqlError;
extern qint32 LastSqlError;
extern qint32 ConnectionNumber;
extern QString ExecDir;

// Records the connection, recreates WorkQuery, fixes the formats and, on a
// server database, runs the data script and sets the connection variables.
void PrepareConnection(TDatabase* database);

// Runs one statement on WorkQuery; returns the first column of the first
// row, or an invalid QVariant ("absent").
QVariant RunSql(const QString& statement);

void ApplyFormatSettings();

// Inside a catch block: one line on the terminal (qWarning) naming the
// database and the failure that the program passes over without a word.
void LogSilentFailure(const QString& database);

// An SQL string literal of the text: single quotes doubled, and backslashes
// doubled because the server reads backslash escapes inside literals.
QString SqlLiteral(QString text);

// A table or column name as the server reads it: as it is when it is an
// ordinary name, otherwise in double quotes with inner double quotes doubled.
QString SqlIdentifier(const QString& name);
