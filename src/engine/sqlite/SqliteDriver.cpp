#include "SqliteDriver.h"

#include "SqliteConnection.h"

std::unique_ptr<TDriverConnection> OpenSqliteConnection(const QString& file) {
    return std::make_unique<TSqliteConnection>(file);
}
