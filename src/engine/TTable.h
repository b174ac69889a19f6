#pragma once

#include "TDataSet.h"

#include <QPointer>

// A table opened by name. Without IndexFieldNames the rows come in the
// server's natural order.
class TTable : public TDataSet {
    Q_OBJECT
public:
    explicit TTable(QObject* owner = nullptr);
    ~TTable() override;

    const QString& TableName() const;
    void SetTableName(const QString& name); // raises on an open table

    // ";"-separated field names, a name holding ";" in brackets ([a;b]); the
    // rows come ascending in that order.
    const QString& IndexFieldNames() const;
    void SetIndexFieldNames(const QString& names);

    // Only rows whose first index field equals the master's current value of
    // MasterFields show; they follow the master as it moves. A master that
    // closes or is destroyed leaves this table usable and empty; one that
    // shows a table without the master fields breaks the link. A link that
    // would close a cycle raises "Circular datalinks are not allowed".
    TDataSource* MasterSource() const;
    void SetMasterSource(TDataSource* source);
    const QString& MasterFields() const;
    void SetMasterFields(const QString& fields);

    void Refresh() override;

signals:
    // The master came to show a table without the master fields: the link
    // is gone (no master source, no master fields) and the rows are this
    // table's own again.
    void MasterLinkBroken();

protected:
    void PrepareOpen(TOpenSpec& spec) override;

public:
    struct TableImpl;

private:
    // The master moved, changed or went away: read the matching rows again.
    void MasterMoved();
    void BreakLink();
    std::unique_ptr<TableImpl> t;
};
