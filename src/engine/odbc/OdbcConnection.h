#pragma once

// A connection to an ODBC data source through the driver manager.

#include "OdbcLink.h"
#include "engine/Driver.h"
#include "engine/TDatabase.h"

#include <QHash>
#include <memory>

class TOdbcConnection : public TDriverConnection {
public:
    // Connects at once; raises with the driver's diagnostics when it cannot.
    TOdbcConnection(QString dataSource, QString connectString, TTransIsolation isolation);

    QStringList TableNames() override;
    QString QuoteIdentifier(const QString& name) const override;
    QString CaselessPrefix(const QString& column, const QString& prefix, bool negated,
                           QVariantList& params) const override;
    QList<TColumnInfo> TableColumns(const QString& table) override;
    std::unique_ptr<TCursor> Select(const TSelectSpec& spec, qint64 offset) override;
    qint64 Count(const TSelectSpec& spec) override;
    bool Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) override;
    TRowKey RowKeyOf(const TSelectSpec& spec) override;
    bool NullsFirst() const override { return FNullsFirst; }
    bool Reversible(const TSelectSpec& spec) override;
    std::unique_ptr<TCursor> Query(const QString& sql) override;
    void Execute(const QString& sql) override;
    void SetWritable(bool writable) override;

private:
    void Connect();
    // The live link: reconnects after the connection was lost.
    const std::shared_ptr<TOdbcLink>& Link();
    QString InfoText(SQLUSMALLINT info) const;
    void SetIsolation();
    void SetAccess();
    QString UnquoteIdentifier(const QString& quoted) const;
    QStringList RowKey(const QString& quotedTable);
    QString SelectText(const TSelectSpec& spec, const QString& what, bool ordered);

    QString FDataSource;
    QString FConnectString;
    TTransIsolation FIsolation;
    std::shared_ptr<TOdbcLink> FLink;
    QString FQuote; // identifier quote, empty when the driver has none
    bool FNullsFirst = true;
    bool FWritable = false;
    bool FServerReadOnly = false;         // told by ReadOnlyStatement on this link
    QHash<QString, QStringList> FRowKeys; // by quoted table
};
