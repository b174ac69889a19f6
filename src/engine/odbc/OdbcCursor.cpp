#include "OdbcCursor.h"

#include "OdbcDialect.h"
#include "OdbcText.h"
#include "engine/Exception.h"
#include "engine/FormatText.h"
#include "engine/TDecimal.h"

#include <algorithm>
#include <cstring>
#include <sqlext.h>
#include <sqlucode.h>

QString TOdbcCursorSource::TextFrom(qint64 offset, qint64 limit, qint64& clientSkip) const {
    if (!Window) {
        clientSkip = std::max<qint64>(0, offset);
        return Sql;
    }
    return Window->WindowText(Sql, offset, limit, clientSkip);
}

TOdbcCursor::TOdbcCursor(std::shared_ptr<TOdbcLink> link, TOdbcCursorSource source, qint64 offset)
    : FLink(std::move(link)), FSource(std::move(source)), FFirstOffset(offset) {
    Start(offset, /*singleRow=*/false);
}

void TOdbcCursor::Start(qint64 position, bool singleRow) {
    FStmt.reset(); // the previous statement first: one active result at a time
    FStmt = std::make_unique<TOdbcStatement>(FLink);
    FBlock = std::make_shared<TBlock>();
    FSpare.reset();
    FAhead = false;
    FBoundTo = FBlock.get();
    FBlocksFetched = 0;
    FValues.clear();
    FRow = 0;
    FHaveRow = FEnd = false;
    FSingleRow = singleRow;

    qint64 skip = 0;
    const qint64 limit =
        FSource.Limit < 0 ? -1 : std::max<qint64>(0, FSource.Limit - (position - FFirstOffset));
    const QString text = FSource.TextFrom(position, limit, skip);
    if (!FSource.Params.isEmpty()) FParams.Bind(*FStmt, FSource.Params);
    FStmt->Execute(text);
    FColumns = FStmt->Columns();
    FNextRow = position;
    FFailures = FLink->Failures;

    // A long text or blob column is bound at a size that most of its values
    // fit; a longer value makes the rest of the walk read one row at a time.
    constexpr SQLLEN maxBoundChars = 4000, longBoundChars = 1024;
    std::vector<TOdbcFetchKind> kinds;
    std::vector<SQLLEN> sizes;
    SQLLEN rowBytes = 0;
    for (const TColumnInfo& c : FColumns) {
        const TOdbcFetchKind kind = OdbcFetchKindOf(c.Type);
        kinds.push_back(kind);
        SQLLEN size = kind == TOdbcFetchKind::Decimal ? OdbcDecimalBufferSize(c) : OdbcFixedSizeOf(kind);
        if (size == 0) {
            const bool unbounded = c.Type == TFieldType::ftMemo || c.Type == TFieldType::ftBlob ||
                                   c.Size <= 0 || c.Size > maxBoundChars;
            const SQLLEN chars = unbounded ? longBoundChars : SQLLEN(c.Size);
            size = kind == TOdbcFetchKind::Binary ? chars + 1 : (chars + 1) * SQLLEN(sizeof(SQLWCHAR));
        }
        sizes.push_back(size);
        rowBytes += size + SQLLEN(sizeof(SQLLEN));
    }

    if (!FSingleRow && !FColumns.isEmpty()) {
        // About 1 MB per block, never more rows than the caller will read.
        SQLULEN rows = std::clamp<SQLULEN>(SQLULEN((1 << 20) / std::max<SQLLEN>(rowBytes, 1)), 16, 1000);
        if (FSource.Limit >= 0) rows = std::clamp<SQLULEN>(SQLULEN(FSource.Limit), 1, rows);
        SQLULEN granted = 0;
        if (OdbcSucceeded(SQLSetStmtAttr(FStmt->Get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                         reinterpret_cast<SQLPOINTER>(rows), 0)) &&
            OdbcSucceeded(SQLGetStmtAttr(FStmt->Get(), SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) &&
            granted >= 1) {
            FBlockRows = granted;
        } else {
            FBlockRows = 1;
        }
        FBlock->Status.assign(FBlockRows, SQL_ROW_NOROW);
        FBlock->Bindings.resize(FColumns.size());
        for (qsizetype c = 0; c < FColumns.size(); ++c) {
            TBinding& b = FBlock->Bindings[size_t(c)];
            b.Kind = kinds[c];
            b.ElementSize = sizes[size_t(c)];
            b.Data.assign(size_t(b.ElementSize) * FBlockRows, 0);
            b.Indicators.assign(FBlockRows, 0);
        }
        FStmt->Check(BindBlock(FStmt->Get(), *FBlock), "SQLBindCol");
    } else {
        FSingleRow = true;
    }

    FSkip = skip;
}

SQLRETURN TOdbcCursor::BindBlock(SQLHSTMT stmt, TBlock& block) {
    SQLRETURN rc = SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &block.Fetched, 0);
    if (OdbcSucceeded(rc)) rc = SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, block.Status.data(), 0);
    for (size_t c = 0; c < block.Bindings.size() && OdbcSucceeded(rc); ++c) {
        TBinding& b = block.Bindings[c];
        rc = SQLBindCol(stmt, SQLUSMALLINT(c + 1), OdbcCTypeOf(b.Kind), b.Data.data(), b.ElementSize,
                        b.Indicators.data());
    }
    return rc;
}

// What the link's worker runs: the next rows into block, its columns bound
// there first when the statement points elsewhere. The call holds the block.
std::function<SQLRETURN()> TOdbcCursor::FetchInto(std::shared_ptr<TBlock> block) {
    const SQLHSTMT stmt = FStmt->Get();
    const bool rebind = block && FBoundTo != block.get();
    FBoundTo = block.get();
    return [stmt, block = std::move(block), rebind] {
        const SQLRETURN rc = rebind ? BindBlock(stmt, *block) : SQL_SUCCESS;
        return OdbcSucceeded(rc) ? SQLFetch(stmt) : rc;
    };
}

// SQLFetch on the link's worker, into the current block.
SQLRETURN TOdbcCursor::Fetch() {
    try {
        return FLink->Call(SQL_HANDLE_STMT, FStmt->Get(), FetchInto(FBlock));
    } catch (const EDatabaseError&) {
        FHaveRow = false; // the buffers no longer hold the row that was current
        throw;
    }
}

void TOdbcCursor::FetchAhead() {
    if (!FSpare) {
        FSpare = std::make_shared<TBlock>(*FBlock);
        FSpare->Fetched = 0;
    }
    const TBlock* bound = FBoundTo;
    FAhead = FLink->StartAhead(FStmt->Get(), FetchInto(FSpare));
    if (!FAhead) FBoundTo = bound;
}

bool TOdbcCursor::FetchBlock() {
    SQLRETURN rc = SQL_ERROR;
    if (FAhead) {
        FAhead = false;
        try {
            rc = FLink->TakeAhead(FStmt->Get());
        } catch (const EDatabaseError&) {
            FHaveRow = false;
            throw;
        }
        std::swap(FBlock, FSpare);
    } else {
        rc = Fetch();
    }
    FRow = 0;
    if (rc == SQL_NO_DATA) {
        FBlock->Fetched = 0;
        return false;
    }
    FStmt->Check(rc, "SQLFetch");
    TBlock& block = *FBlock;
    if (FBlockRows == 1 && block.Fetched == 0)
        block.Fetched = 1; // drivers that leave the count alone for single rows
    // A walk reads on: a full block is likely followed by another.
    if (++FBlocksFetched >= 2 && FBlockRows > 1 && block.Fetched == FBlockRows && FSource.Limit < 0)
        FetchAhead();
    return block.Fetched > 0;
}

bool TOdbcCursor::BlockTruncated(SQLULEN row) const {
    for (const TBinding& b : FBlock->Bindings) {
        if (b.Kind != TOdbcFetchKind::WideText && b.Kind != TOdbcFetchKind::Binary &&
            b.Kind != TOdbcFetchKind::Decimal)
            continue;
        const SQLLEN ind = b.Indicators[row];
        const SQLLEN room =
            b.Kind == TOdbcFetchKind::WideText ? b.ElementSize - SQLLEN(sizeof(SQLWCHAR)) : b.ElementSize - 1;
        if (ind == SQL_NO_TOTAL || ind > room) return true;
    }
    return false;
}

bool TOdbcCursor::Advance() {
    if (FSingleRow) {
        const SQLRETURN rc = Fetch();
        if (rc == SQL_NO_DATA) return false;
        FStmt->Check(rc, "SQLFetch");
        return true;
    }
    for (;;) {
        if (FHaveRow && FRow + 1 < FBlock->Fetched)
            ++FRow;
        else if (!FetchBlock())
            return false;
        FHaveRow = true;
        const SQLUSMALLINT status = FBlock->Status[FRow];
        if (status != SQL_ROW_DELETED && status != SQL_ROW_NOROW) return true;
    }
}

bool TOdbcCursor::Next() {
    while (!FEnd) {
        bool fetched = false;
        try {
            fetched = Advance();
        } catch (const EStatementCancelled&) {
            throw;
        } catch (const EDatabaseError&) {
            if (FLink->Lost || FLink->Failures == FFailures + 1) throw; // this fetch failed on its own
        }
        if (!fetched) {
            if (FLink->Failures != FFailures && !FLink->Lost) {
                Start(FNextRow, FSingleRow);
                continue;
            }
            FEnd = true;
            break;
        }
        if (FSkip > 0) {
            --FSkip;
            continue;
        }
        if (FSingleRow) {
            ReadRow();
        } else if (BlockTruncated(FRow)) {
            Start(FNextRow, /*singleRow=*/true);
            continue;
        }
        ++FNextRow;
        FHaveRow = true;
        return true;
    }
    FHaveRow = false;
    return false;
}

void TOdbcCursor::ReadRow() {
    FValues.resize(FColumns.size());
    for (qsizetype c = 0; c < FColumns.size(); ++c)
        FValues[c] = GetData(SQLUSMALLINT(c + 1), OdbcFetchKindOf(FColumns[c].Type));
}

QVariant TOdbcCursor::GetData(SQLUSMALLINT column, TOdbcFetchKind kind) {
    SQLLEN ind = 0;
    if (const SQLLEN fixed = OdbcFixedSizeOf(kind)) {
        alignas(8) char buffer[sizeof(SQL_TIMESTAMP_STRUCT) + 8];
        FStmt->Check(SQLGetData(FStmt->Get(), column, OdbcCTypeOf(kind), buffer, fixed, &ind), "SQLGetData");
        return ind == SQL_NULL_DATA ? QVariant() : DecodeOdbcFixed(kind, buffer);
    }
    // Text, decimal and binary values in pieces until the driver has no more.
    const bool text = kind == TOdbcFetchKind::WideText;
    const SQLLEN terminator = text ? SQLLEN(sizeof(SQLWCHAR)) : kind == TOdbcFetchKind::Decimal ? 1 : 0;
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        const SQLRETURN rc = SQLGetData(FStmt->Get(), column, OdbcCTypeOf(kind), chunk, sizeof chunk, &ind);
        if (rc == SQL_NO_DATA) break;
        FStmt->Check(rc, "SQLGetData");
        if (ind == SQL_NULL_DATA) return QVariant();
        const SQLLEN room = SQLLEN(sizeof chunk) - terminator;
        if (ind == SQL_NO_TOTAL || ind > room) {
            bytes.append(chunk, room);
            continue;
        }
        bytes.append(chunk, ind);
        break;
    }
    if (kind == TOdbcFetchKind::Decimal) return DecodeOdbcDecimal(bytes.constData(), bytes.size());
    if (!text) return QVariant(bytes);
    return QVariant(FromOdbcWide(reinterpret_cast<const SQLWCHAR*>(bytes.constData()), bytes.size() / 2));
}

QVariant TOdbcCursor::Value(int column) const {
    if (!FHaveRow || column < 0 || column >= FColumns.size()) return QVariant();
    if (FSingleRow) return FValues[column];
    const TBinding& b = FBlock->Bindings[size_t(column)];
    const SQLLEN ind = b.Indicators[FRow];
    if (ind == SQL_NULL_DATA) return QVariant();
    const char* data = b.Data.data() + size_t(b.ElementSize) * FRow;
    switch (b.Kind) {
    case TOdbcFetchKind::WideText:
        return QVariant(
            FromOdbcWide(reinterpret_cast<const SQLWCHAR*>(data), ind / qsizetype(sizeof(SQLWCHAR))));
    case TOdbcFetchKind::Binary:
        return QVariant(QByteArray(data, ind));
    case TOdbcFetchKind::Decimal:
        return DecodeOdbcDecimal(data, ind);
    default:
        return DecodeOdbcFixed(b.Kind, data);
    }
}

const TOdbcCursor::TBinding* TOdbcCursor::Bound(int column) const {
    if (!FHaveRow || FSingleRow || column < 0 || column >= FColumns.size()) return nullptr;
    return &FBlock->Bindings[size_t(column)];
}

bool TOdbcCursor::ExactValue(int column, TExactNumber& value) const {
    const TBinding* b = Bound(column);
    if (!b || (b->Kind != TOdbcFetchKind::Integer && b->Kind != TOdbcFetchKind::Decimal)) return false;
    value = TExactNumber();
    const SQLLEN ind = b->Indicators[FRow];
    const char* data = b->Data.data() + size_t(b->ElementSize) * FRow;
    if (ind == SQL_NULL_DATA) {
        value.Null = true;
        return true;
    }
    if (b->Kind == TOdbcFetchKind::Decimal) return ParseExactNumber(data, ind, value);
    SQLBIGINT whole;
    std::memcpy(&whole, data, sizeof whole);
    value.Mantissa = whole;
    return true;
}

bool TOdbcCursor::FloatValue(int column, double& value) const {
    const TBinding* b = Bound(column);
    if (!b || (b->Kind != TOdbcFetchKind::Integer && b->Kind != TOdbcFetchKind::Double)) return false;
    const char* data = b->Data.data() + size_t(b->ElementSize) * FRow;
    if (b->Indicators[FRow] == SQL_NULL_DATA) {
        value = 0;
    } else if (b->Kind == TOdbcFetchKind::Double) {
        std::memcpy(&value, data, sizeof value);
    } else {
        SQLBIGINT whole;
        std::memcpy(&whole, data, sizeof whole);
        value = double(whole);
    }
    return true;
}

bool TOdbcCursor::NullValue(int column, bool& null) const {
    const TBinding* b = Bound(column);
    if (!b) return false;
    null = b->Indicators[FRow] == SQL_NULL_DATA;
    return true;
}

bool TOdbcCursor::AppendText(int column, QString& out) const {
    const TBinding* b = Bound(column);
    if (!b || b->Kind != TOdbcFetchKind::WideText) return false;
    const SQLLEN ind = b->Indicators[FRow];
    if (ind != SQL_NULL_DATA)
        AppendChars(out, reinterpret_cast<const QChar*>(b->Data.data() + size_t(b->ElementSize) * FRow),
                    ind / qsizetype(sizeof(SQLWCHAR)));
    return true;
}

bool TOdbcCursor::DateValue(int column, QDate& value, bool& null) const {
    const TBinding* b = Bound(column);
    if (!b || b->Kind != TOdbcFetchKind::Date) return false;
    null = b->Indicators[FRow] == SQL_NULL_DATA;
    if (!null) {
        SQL_DATE_STRUCT date;
        std::memcpy(&date, b->Data.data() + size_t(b->ElementSize) * FRow, sizeof date);
        value = QDate(date.year, date.month, date.day);
    }
    return true;
}
