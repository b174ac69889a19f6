#pragma once

// A statement handle on a shared link.

#include "OdbcLink.h"
#include "engine/Driver.h"

#include <memory>

class TOdbcStatement {
public:
    // A walk's fetch ahead on the link ends first: one call at a time.
    explicit TOdbcStatement(std::shared_ptr<TOdbcLink> link)
        : FLink(Settled(std::move(link))), FStmt(SQL_HANDLE_STMT, FLink->Dbc.Get()) {}
    // A statement of a given-up link stays with the call that still runs.
    ~TOdbcStatement() {
        FLink->DropAhead(FStmt.Get());
        if (FLink->Abandoned) FStmt.Release();
    }
    TOdbcStatement(const TOdbcStatement&) = delete;
    TOdbcStatement& operator=(const TOdbcStatement&) = delete;

    SQLHSTMT Get() const { return FStmt.Get(); }
    void Check(SQLRETURN rc, const char* what) const { FLink->Check(rc, SQL_HANDLE_STMT, FStmt.Get(), what); }
    // Runs the text at once; raises when the server refuses it.
    void Execute(const QString& text) const;
    // The columns of the result, as the engine's field types.
    QList<TColumnInfo> Columns() const;

private:
    static std::shared_ptr<TOdbcLink> Settled(std::shared_ptr<TOdbcLink> link) {
        link->Settle();
        return link;
    }
    std::shared_ptr<TOdbcLink> FLink; // declared first: outlives the handle
    TOdbcHandle FStmt;
};
