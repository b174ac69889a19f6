#pragma once

// Owners of ODBC handles, and the one way ODBC failures are raised.

#include <QString>
#include <sql.h>

inline bool OdbcSucceeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The diagnostic records of a handle, each read once.
struct TOdbcDiagnostics {
    QString Text;
    QString SqlState;            // of the first record
    int NativeCode = 0;          // of the first record
    bool ConnectionLost = false; // SQLSTATE class 08

    static TOdbcDiagnostics Read(SQLSMALLINT type, SQLHANDLE handle);
    // Raises EDatabaseError with the driver's text, or fallback where it
    // gave none.
    [[noreturn]] void Raise(const QString& fallback, bool connectionLost) const;
};

// One ODBC handle, freed with its owner.
class TOdbcHandle {
public:
    // Raises with the parent's diagnostics when the driver manager gives
    // none; parent is SQL_NULL_HANDLE for an environment.
    TOdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~TOdbcHandle() {
        if (FHandle != SQL_NULL_HANDLE) SQLFreeHandle(FType, FHandle);
    }
    TOdbcHandle(const TOdbcHandle&) = delete;
    TOdbcHandle& operator=(const TOdbcHandle&) = delete;

    SQLHANDLE Get() const { return FHandle; }
    // Lets go of the handle without freeing it.
    void Release() { FHandle = SQL_NULL_HANDLE; }

private:
    SQLSMALLINT FType;
    SQLHANDLE FHandle = SQL_NULL_HANDLE;
};

// An environment handle that asks for ODBC 3 behaviour.
class TOdbcEnvironment : public TOdbcHandle {
public:
    TOdbcEnvironment();
};
