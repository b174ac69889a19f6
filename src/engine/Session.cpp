#include "Session.h"

#include "EngineInternal.h"
#include "TDatabase.h"

#include <QList>

struct TSession::Impl {
    bool Active = false;
    QList<TDatabase*> Databases;
    TLoginCallback Login;
};

TSession::TSession() : d(std::make_unique<Impl>()) {}
TSession::~TSession() = default;

void TSession::Open() { d->Active = true; }
void TSession::Close() {
    for (TDatabase* db : d->Databases)
        db->SetConnected(false);
    d->Active = false;
}
bool TSession::Active() const { return d->Active; }
int TSession::DatabaseCount() const { return int(d->Databases.size()); }
TDatabase* TSession::Databases(int index) const { return d->Databases.value(index); }
TDatabase* TSession::FindDatabase(const QString& databaseName) const {
    for (TDatabase* db : d->Databases)
        if (db->DatabaseName().compare(databaseName, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}
void TSession::GetTableNames(const QString&, QStringList&) { NotYet("GetTableNames"); }
TAliasInfo TSession::AliasInfo(const QString&) const { NotYet("AliasInfo"); }
QString TSession::GetAliasDescription(const QString&) const { NotYet("GetAliasDescription"); }
bool TSession::IsSQLAlias(const QString&) const { return false; }
QString TSession::AliasUserName(const QString&) const { return QString(); }
void TSession::SetLoginCallback(TLoginCallback callback) { d->Login = std::move(callback); }
const TLoginCallback& TSession::LoginCallback() const { return d->Login; }
void TSession::Register(TDatabase* database) { d->Databases.append(database); }
void TSession::Unregister(TDatabase* database) { d->Databases.removeAll(database); }

TSession& Session() {
    static TSession session;
    return session;
}
