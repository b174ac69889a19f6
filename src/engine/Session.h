#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TDatabase;
class TDataSet;

// Asks the user for the login of a server database. Receives the database
// name and the user name to prefill; returns false for Cancel, else true
// with the user name and password entered.
using TLoginCallback = std::function<bool(const QString& databaseName, QString& userName, QString& password)>;

// How an alias is served.
enum class TAliasKind {
    None,           // not an alias: look-ups and connects raise
    EmbeddedServer, // ODBC data source with EmbeddedDatabase: SQLite file, server database
    OdbcServer,     // any other ODBC data source: the ODBC driver
    DesktopFile,    // a path to an SQLite file: desktop database
};

struct TAliasInfo {
    TAliasKind Kind = TAliasKind::None;
    QString Name;
    QString Driver;       // the data source's Driver value (its description)
    QString DatabaseFile; // EmbeddedDatabase, or the desktop file's path
    QString UserName;     // UID
    QString Password;     // PWD
};

// The one engine session of the process ("Default").
class TSession : public QObject {
    Q_OBJECT
public:
    TSession();
    ~TSession() override;

    void Open();
    // Closes every data set and every connection of the session.
    void Close();
    bool Active() const;

    // Registered databases in creation order; entry 0 is the first created.
    int DatabaseCount() const;
    TDatabase* Databases(int index) const;
    TDatabase* FindDatabase(const QString& databaseName) const;

    // The table names of a database (registered name or alias), system
    // tables included; the list is replaced. Connects when needed.
    void GetTableNames(const QString& databaseName, QStringList& list);

    // Raises for a name that is no alias.
    TAliasInfo AliasInfo(const QString& alias) const;
    // The driver of the alias; raises "Alias 'X' not found" when absent.
    QString GetAliasDescription(const QString& alias) const;
    bool IsSQLAlias(const QString& alias) const; // false for an unknown alias
    QString AliasUserName(const QString& alias) const;

    void SetLoginCallback(TLoginCallback callback);
    const TLoginCallback& LoginCallback() const;

    // Engine-internal: databases register and unregister themselves.
    void Register(TDatabase* database);
    void Unregister(TDatabase* database);
    // Engine-internal: every data set of the process, and the database a
    // data set of that name reads from (a registered one, else one the
    // session makes for the alias of that name).
    void RegisterDataSet(TDataSet* dataSet);
    void UnregisterDataSet(TDataSet* dataSet);
    QList<TDataSet*> DataSets() const;
    TDatabase* DatabaseFor(const QString& databaseName);

public:
    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

// The process-wide session.
TSession& Session();
