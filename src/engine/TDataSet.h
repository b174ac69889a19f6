#pragma once

#include <QDate>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

struct TExactNumber;
struct TColumnTotals;

class TDataSource;
class TDatabase;
class TField;

// The current-record data set that every window and routine works on.
// Rows are read on demand in blocks into a bounded cache; a walk with
// First/Next streams. Record numbers count from 1.
// Operations on a closed data set that need rows raise EDatabaseError
// ("Cannot perform this operation on a closed dataset").
class TDataSet : public QObject {
    Q_OBJECT
public:
    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    // The component name (the export's title when none is given).
    QString Name() const { return objectName(); }

    const QString& DatabaseName() const;
    void SetDatabaseName(const QString& name); // closes the data set first
    // The registered database of that name, or none.
    TDatabase* Database() const;

    void Open();  // connects the database first when needed; raises on failure
    void Close(); // never raises
    bool Active() const;
    void SetActive(bool active);
    // Re-reads the rows, keeping filter, link, order and, where that row
    // still exists, the position. Raises on a closed data set.
    virtual void Refresh();

    void First();
    void Next();
    void Prior();
    void Last();
    int MoveBy(int distance); // returns the distance moved
    bool Eof() const;         // after Next past the last record, or empty
    bool Bof() const;
    bool IsEmpty();
    int RecNo() const;        // current record number, 0 when empty
    void SetRecNo(int recNo); // clamped to 1..RecordCount
    int RecordCount();        // with filter and link applied; may count on the server
    // The count when it is known without asking the server (the rows were
    // read to their end, or counted), -1 otherwise. Data sources hear
    // CountKnown when it becomes known.
    int KnownRecordCount() const;
    // The count when known, else how many records have been seen so far: a
    // lower bound that reads nothing.
    int SeenRecordCount() const;

    QString Bookmark() const;                  // empty when there is no current record
    void SetBookmark(const QString& bookmark); // raises when not found

    // Held by a walk that reads only some fields of each record: while it
    // lives, the rows that a walk streams past the cache bring only those
    // columns. Any other field still reads its true value (the walk goes on
    // with whole rows from that record). A statement's rows always come
    // whole. Nests: each restores the fields of the one it was made inside.
    class TWalkFields {
    public:
        TWalkFields(TDataSet* dataSet, const QList<TField*>& fields);
        ~TWalkFields();
        TWalkFields(const TWalkFields&) = delete;
        TWalkFields& operator=(const TWalkFields&) = delete;

    private:
        QPointer<TDataSet> FDataSet;
        QList<int> FPrevious;
    };

    // While disabled, no data source notifies; enabling the last level sends
    // one full change. Nests. A walk runs disabled: only then does a
    // statement stay open on the server between calls.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    int FieldCount() const;
    TField* Fields(int index) const;
    TField* FindField(const QString& name) const;   // none if absent; case-insensitive
    TField* FieldByName(const QString& name) const; // raises "Field 'X' not found"

    const QString& Filter() const;
    // On an open data set the new filter takes effect at once; a text the
    // engine cannot parse raises and leaves filter and rows as they were.
    void SetFilter(const QString& filter);
    bool Filtered() const;
    void SetFiltered(bool filtered);

    // Reads a value of record recNo (1-based) from the cache without moving
    // the current record; the grid's model uses it.
    QVariant ValueAt(int recNo, int fieldIndex);

    // Engine-internal: data sources attach themselves here.
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);
    // Engine-internal: the database an open data set reads from (none when
    // closed), and the current record's values for its fields.
    TDatabase* OpenedOn() const;
    QVariant CurrentValue(int fieldIndex) const;
    // The current record's field as a float without a QVariant, where the
    // row being streamed can give it so; false: read CurrentValue instead.
    bool CurrentFloat(int fieldIndex, double& value) const;
    // The same for an exact number (whole or fixed-point), and for whether
    // the value is NULL.
    bool CurrentExact(int fieldIndex, TExactNumber& value) const;
    bool CurrentNull(int fieldIndex, bool& null) const;
    // Appends the field's text where it is a text straight from the stream;
    // the same for a date's value.
    bool CurrentText(int fieldIndex, QString& out) const;
    bool CurrentDate(int fieldIndex, QDate& value, bool& null) const;
    // Counts the records and the field's NULLs and adds the field up (whole
    // or fixed-point) in one statement on the server, over exactly the
    // records the data set shows; false where the server cannot add it
    // exactly (a statement's rows, a kind or server that adds inexactly).
    bool ColumnTotals(const TField* field, TColumnTotals& totals);
    // How many rows were read from the server since creation, and how many
    // the cache holds now.
    qint64 RowsRead() const;
    int CachedRows() const;

protected:
    // Subclasses say what the data set reads; implemented by the engine.
    struct TOpenSpec;
    virtual void PrepareOpen(TOpenSpec& spec) = 0;
    // Full change: open, close, refresh, filter, master moved.
    void DataSetChanged();
    // Reads the rows again with the current filter and link; keeps the
    // position where that row still exists, else goes to the first record.
    void Requery(bool keepPosition);

public:
    struct Impl;

protected:
    std::unique_ptr<Impl> d;
};
