#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class TDriverConnection;

enum class TTransIsolation { tiDirtyRead, tiReadCommitted, tiRepeatableRead };

// A connection to one alias. Registers itself with the session on creation;
// data sets find it by DatabaseName.
class TDatabase : public QObject {
    Q_OBJECT
public:
    explicit TDatabase(QObject* owner = nullptr);
    ~TDatabase() override;

    const QString& DatabaseName() const;
    void SetDatabaseName(const QString& name); // raises while connected
    const QString& AliasName() const;
    void SetAliasName(const QString& name); // raises while connected
    const QString& SessionName() const;     // "Default"

    // Lines "NAME=value"; "USER NAME" and "PASSWORD" log in when
    // LoginPrompt is off.
    QStringList& Params();
    // The value of one "NAME=value" line of Params ("" when absent), and
    // replacing (or appending) it.
    QString ParamValue(const QString& name) const;
    void SetParamValue(const QString& name, const QString& value);

    bool LoginPrompt() const;
    void SetLoginPrompt(bool on);
    TTransIsolation TransIsolation() const;
    void SetTransIsolation(TTransIsolation isolation);
    // Kept open while no data set is open.
    bool KeepConnection() const;
    void SetKeepConnection(bool keep);

    bool Connected() const;
    // True connects (login callback on a server database while LoginPrompt
    // is on) or raises; false closes every data set on it, then disconnects.
    void SetConnected(bool connected);

    // A server (SQL) database: an ODBC data source. A desktop database is
    // an SQLite file. False while the alias is unknown and while not
    // connected.
    bool IsSQLBased() const;

    // Lets the open connection change data, or stops it (a connection only
    // reads until then, and a new one only reads). A connection that cannot
    // be stopped is closed, and the failure raised.
    void SetWritable(bool writable);

    // Engine-internal: the open driver connection; connects when needed.
    TDriverConnection& Connection();

public:
    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
