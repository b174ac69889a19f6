#pragma once

// The rows of one statement's result.

#include "OdbcParameters.h"
#include "OdbcStatement.h"
#include "OdbcValues.h"

#include <QVector>
#include <functional>
#include <memory>
#include <vector>

// How a cursor is (re)built: the statement text for a starting row, and
// whether the server skips the rows before it.
struct TOdbcCursorSource {
    QString Sql; // without any row window
    QVariantList Params;
    // A table select: the server's dialect may skip and limit; null: the
    // cursor skips.
    const TOdbcDialect* Window = nullptr;
    qint64 Limit = -1;

    // Statement text starting at row offset; rows the server does not skip
    // are skipped by the cursor.
    QString TextFrom(qint64 offset, qint64 limit, qint64& clientSkip) const;
};

// Rows in blocks through bound column arrays where the driver offers block
// cursors and every column has a bounded size; one row at a time through
// SQLGetData otherwise. A value longer than its column's declared size
// (SQLite does not enforce sizes) rebuilds the cursor at that row reading
// one row at a time. A failure on the link since the statement ran (which
// may have ended its transaction) rebuilds it at the row it had reached.
class TOdbcCursor : public TCursor {
public:
    TOdbcCursor(std::shared_ptr<TOdbcLink> link, TOdbcCursorSource source, qint64 offset);

    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    bool Next() override;
    QVariant Value(int column) const override;
    bool ExactValue(int column, TExactNumber& value) const override;
    bool FloatValue(int column, double& value) const override;
    bool NullValue(int column, bool& null) const override;
    bool AppendText(int column, QString& out) const override;
    bool DateValue(int column, QDate& value, bool& null) const override;

private:
    struct TBinding {
        TOdbcFetchKind Kind = TOdbcFetchKind::WideText;
        SQLLEN ElementSize = 0; // bytes per row
        std::vector<char> Data;
        std::vector<SQLLEN> Indicators;
    };
    // One block's buffers: the driver writes the rows and their states into
    // them. A fetch holds the block it writes into, so that a fetch given up
    // writes into memory of its own.
    struct TBlock {
        std::vector<TBinding> Bindings;
        std::vector<SQLUSMALLINT> Status;
        SQLULEN Fetched = 0;
    };

    void Start(qint64 position, bool singleRow);
    bool FetchBlock();
    void FetchAhead();
    bool Advance(); // to the next row fetched, without reading it
    void ReadRow(); // single-row mode: read every column of the row fetched
    QVariant GetData(SQLUSMALLINT column, TOdbcFetchKind kind);
    bool BlockTruncated(SQLULEN row) const;
    SQLRETURN Fetch();
    // The current row's bound value of a column, for the reads that need no
    // QVariant; none in single-row mode.
    const TBinding* Bound(int column) const;
    static SQLRETURN BindBlock(SQLHSTMT stmt, TBlock& block);
    std::function<SQLRETURN()> FetchInto(std::shared_ptr<TBlock> block);

    std::shared_ptr<TOdbcLink> FLink;
    TOdbcCursorSource FSource;
    std::unique_ptr<TOdbcStatement> FStmt;
    TOdbcParameters FParams;
    QList<TColumnInfo> FColumns;
    bool FSingleRow = false;
    SQLULEN FBlockRows = 1;
    std::shared_ptr<TBlock> FBlock; // the rows read from
    // A walk's next block, fetched on the link's worker while the rows
    // before it are read (from the second block on, so that a window that
    // reads only the first rows asks the server for nothing more).
    std::shared_ptr<TBlock> FSpare;
    bool FAhead = false;              // FSpare is being fetched into
    const TBlock* FBoundTo = nullptr; // where the statement's columns point
    int FBlocksFetched = 0;
    SQLULEN FRow = 0; // current row in the block
    bool FHaveRow = false;
    bool FEnd = false;
    qint64 FNextRow = 0;       // result row (0-based) that the next delivery is
    quint64 FFailures = 0;     // of the link when the statement ran
    qint64 FFirstOffset = 0;   // the offset asked for
    qint64 FSkip = 0;          // rows still to pass by before the first one
    QVector<QVariant> FValues; // single-row mode
};
