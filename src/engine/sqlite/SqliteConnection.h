#pragma once

// The embedded server's connection: one SQLite file, plus the state that a
// SQL Anywhere server keeps per connection (variables, options, number).

#include "SqlAnywhereDialect.h"
#include "SqliteHandles.h"
#include "engine/Driver.h"

#include <QHash>
#include <map>

class TSqliteConnection final : public TDriverConnection {
public:
    explicit TSqliteConnection(const QString& file);

    QStringList TableNames() override;
    QString QuoteIdentifier(const QString& name) const override;
    QList<TColumnInfo> TableColumns(const QString& table) override;
    std::unique_ptr<TCursor> Select(const TSelectSpec& spec, qint64 offset) override;
    qint64 Count(const TSelectSpec& spec) override;
    bool Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) override;
    TRowKey RowKeyOf(const TSelectSpec& spec) override;
    bool NullsFirst() const override { return true; }
    bool Reversible(const TSelectSpec& spec) override;
    std::unique_ptr<TCursor> Query(const QString& sql) override;
    void Execute(const QString& sql) override;
    void SetWritable(bool writable) override;

    // For the server functions of this connection.
    sqlite3* Handle() const { return FDb.get(); }
    int Number() const { return FNumber; }
    struct TVariable {
        QString Name;
        QString Type;
        TSqliteValue Value; // none until set: NULL
    };
    // The variable of that name (case-insensitive; "@name" also finds
    // "name"), or none.
    const TVariable* FindVariable(const QString& name) const;
    // A query in the server's dialect as SQLite text; raises for a text that
    // is not a plain query.
    QString TranslateQuery(const QString& sql) const;

private:
    // Opens name (a path or a URI) with flags and checks that it is a
    // database; failures name the file.
    void Open(const QString& file, const QByteArray& name, int flags);
    TDialectStatement Translate(const QString& sql) const;
    void Carry(const TDialectStatement& statement);
    void SetVariable(const TDialectStatement& statement);
    void Unload(const TDialectStatement& statement);
    bool HasRowid(const QString& table);
    QString SelectText(const TSelectSpec& spec, const QString& what) const;

    TSqliteDb FDb;
    int FNumber;
    bool FWritable = true;
    std::map<QString, TVariable> FVariables; // by lower-case name
    QHash<QString, QString> FOptions;        // by lower-case name
    QHash<QString, bool> FRowid;             // by quoted table name
};

void RegisterSqlAnywhereFunctions(TSqliteConnection& connection);

// Rows of a query written to a client file as UNLOAD asks.
void UnloadToFile(sqlite3* db, sqlite3_stmt* query, const TDialectStatement& options);
