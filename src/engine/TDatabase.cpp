#include "TDatabase.h"

#include "Driver.h"
#include "EngineInternal.h"
#include "Session.h"

struct TDatabase::Impl {
    QString DatabaseName, AliasName, SessionName = QStringLiteral("Default");
    QStringList Params;
    bool LoginPrompt = true;
    TTransIsolation Isolation = TTransIsolation::tiReadCommitted;
    bool Keep = true;
    std::unique_ptr<TDriverConnection> Connection;
};

TDatabase::TDatabase(QObject* owner) : QObject(owner), d(std::make_unique<Impl>()) { Session().Register(this); }
TDatabase::~TDatabase() { Session().Unregister(this); }
const QString& TDatabase::DatabaseName() const { return d->DatabaseName; }
void TDatabase::SetDatabaseName(const QString& name) { d->DatabaseName = name; }
const QString& TDatabase::AliasName() const { return d->AliasName; }
void TDatabase::SetAliasName(const QString& name) { d->AliasName = name; }
const QString& TDatabase::SessionName() const { return d->SessionName; }
QStringList& TDatabase::Params() { return d->Params; }
QString TDatabase::ParamValue(const QString&) const { return QString(); }
void TDatabase::SetParamValue(const QString&, const QString&) {}
bool TDatabase::LoginPrompt() const { return d->LoginPrompt; }
void TDatabase::SetLoginPrompt(bool on) { d->LoginPrompt = on; }
TTransIsolation TDatabase::TransIsolation() const { return d->Isolation; }
void TDatabase::SetTransIsolation(TTransIsolation isolation) { d->Isolation = isolation; }
bool TDatabase::KeepConnection() const { return d->Keep; }
void TDatabase::SetKeepConnection(bool keep) { d->Keep = keep; }
bool TDatabase::Connected() const { return d->Connection != nullptr; }
void TDatabase::SetConnected(bool connected) {
    if (connected)
        NotYet("Connect");
    d->Connection.reset();
}
bool TDatabase::IsSQLBased() const { return false; }
TDriverConnection& TDatabase::Connection() { NotYet("Connection"); }
