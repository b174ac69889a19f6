#include "Session.h"

#include "DataSources.h"
#include "Driver.h"
#include "Exception.h"
#include "TDataSet.h"
#include "TDatabase.h"

#include <QFileInfo>
#include <QList>
#include <memory>
#include <vector>

struct TSession::Impl {
    bool Active = false;
    QList<TDatabase*> Databases;
    QList<TDataSet*> DataSets;
    // Databases the session made for data sets that name an alias directly.
    std::vector<std::unique_ptr<TDatabase>> Implicit;
    TLoginCallback Login;
};

TSession::TSession() : d(std::make_unique<Impl>()) {}

TSession::~TSession() {
    // Process end: the implicit databases go first, while the session lives.
    auto implicit = std::move(d->Implicit);
    implicit.clear();
}

void TSession::Open() {
    d->Active = true;
}

void TSession::Close() {
    const QList<TDataSet*> sets = d->DataSets;
    for (TDataSet* ds : sets)
        if (d->DataSets.contains(ds)) ds->Close();
    const QList<TDatabase*> dbs = d->Databases;
    for (TDatabase* db : dbs)
        if (d->Databases.contains(db)) db->SetConnected(false);
    d->Implicit.clear();
    d->Active = false;
}

bool TSession::Active() const {
    return d->Active;
}

int TSession::DatabaseCount() const {
    return int(d->Databases.size());
}

TDatabase* TSession::Databases(int index) const {
    return d->Databases.value(index);
}

TDatabase* TSession::FindDatabase(const QString& databaseName) const {
    if (databaseName.isEmpty()) return nullptr;
    for (TDatabase* db : d->Databases)
        if (db->DatabaseName().compare(databaseName, Qt::CaseInsensitive) == 0) return db;
    return nullptr;
}

TDatabase* TSession::DatabaseFor(const QString& databaseName) {
    if (TDatabase* db = FindDatabase(databaseName)) return db;
    if (databaseName.isEmpty()) throw EDatabaseError(QStringLiteral("Database name is missing"));
    for (const auto& db : d->Implicit)
        if (db->DatabaseName().compare(databaseName, Qt::CaseInsensitive) == 0) return db.get();
    AliasInfo(databaseName); // raises for a name that is no alias
    auto db = std::make_unique<TDatabase>();
    Unregister(db.get());
    db->SetDatabaseName(databaseName);
    db->SetAliasName(databaseName);
    d->Implicit.push_back(std::move(db));
    return d->Implicit.back().get();
}

void TSession::GetTableNames(const QString& databaseName, QStringList& list) {
    if (!d->Active) Open();
    TDatabase* db = DatabaseFor(databaseName);
    list = db->Connection().TableNames();
}

TAliasInfo TSession::AliasInfo(const QString& alias) const {
    TAliasInfo info;
    const QString name = alias.trimmed();
    if (!name.isEmpty()) {
        const QList<TOdbcDataSource> sources = OdbcDataSources();
        const TOdbcDataSource* found = nullptr;
        for (const TOdbcDataSource& s : sources)
            if (s.Name == name) found = &s;
        for (const TOdbcDataSource& s : sources)
            if (!found && s.Name.compare(name, Qt::CaseInsensitive) == 0) found = &s;
        if (found) {
            info.Name = found->Name;
            info.Driver = found->Driver;
            info.DatabaseFile = OdbcDataSourceAttribute(found->Name, QStringLiteral("EmbeddedDatabase"));
            info.UserName = OdbcDataSourceAttribute(found->Name, QStringLiteral("UID"));
            info.Password = OdbcDataSourceAttribute(found->Name, QStringLiteral("PWD"));
            info.Kind = info.DatabaseFile.isEmpty() ? TAliasKind::OdbcServer : TAliasKind::EmbeddedServer;
            return info;
        }
        const QFileInfo file(name);
        if (file.isFile()) {
            info.Kind = TAliasKind::DesktopFile;
            info.Name = name;
            info.Driver = QStringLiteral("SQLite");
            info.DatabaseFile = file.absoluteFilePath();
            return info;
        }
    }
    throw EDatabaseError(QStringLiteral("Alias '%1' not found").arg(alias));
}

QString TSession::GetAliasDescription(const QString& alias) const {
    // No name names no database: nothing to describe, and nothing wrong.
    if (alias.trimmed().isEmpty()) return QString();
    return AliasInfo(alias).Driver;
}

bool TSession::IsSQLAlias(const QString& alias) const {
    try {
        const TAliasKind kind = AliasInfo(alias).Kind;
        return kind == TAliasKind::EmbeddedServer || kind == TAliasKind::OdbcServer;
    } catch (const EDatabaseError&) {
        return false;
    }
}

QString TSession::AliasUserName(const QString& alias) const {
    try {
        return AliasInfo(alias).UserName;
    } catch (const EDatabaseError&) {
        return QString();
    }
}

void TSession::SetLoginCallback(TLoginCallback callback) {
    d->Login = std::move(callback);
}
const TLoginCallback& TSession::LoginCallback() const {
    return d->Login;
}

void TSession::Register(TDatabase* database) {
    if (!d->Databases.contains(database)) d->Databases.append(database);
}
void TSession::Unregister(TDatabase* database) {
    d->Databases.removeAll(database);
}

void TSession::RegisterDataSet(TDataSet* dataSet) {
    d->DataSets.append(dataSet);
}
void TSession::UnregisterDataSet(TDataSet* dataSet) {
    d->DataSets.removeAll(dataSet);
}
QList<TDataSet*> TSession::DataSets() const {
    return d->DataSets;
}

TSession& Session() {
    static TSession session;
    return session;
}
