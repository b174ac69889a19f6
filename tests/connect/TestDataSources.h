#pragma once

// ODBC data sources of a test's own (an odbc.ini and an odbcinst.ini in a
// temporary folder that ODBCINI and ODBCSYSINI point at while the object
// lives), SQLite database files for them, and a driver for the modal
// dialogs a command shows.

#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

class TTestDataSources {
public:
    // unixODBC caches data source attributes by name for the whole process,
    // so every instance uses the same folder: a name always finds its file.
    TTestDataSources() : FOldIni(qgetenv("ODBCINI")), FOldSysIni(qgetenv("ODBCSYSINI")) {
        FPath = TestTemp() + QStringLiteral("/dsn-%1").arg(QCoreApplication::applicationPid());
        QDir(FPath).removeRecursively();
        QDir().mkpath(FPath);
        Flush();
        qputenv("ODBCINI", QFile::encodeName(FPath + QStringLiteral("/user-odbc.ini")));
        qputenv("ODBCSYSINI", QFile::encodeName(FPath));
    }
    ~TTestDataSources() {
        Restore("ODBCINI", FOldIni);
        Restore("ODBCSYSINI", FOldSysIni);
        QDir(FPath).removeRecursively();
    }
    TTestDataSources(const TTestDataSources&) = delete;
    TTestDataSources& operator=(const TTestDataSources&) = delete;

    // The temporary folder, ending in "/".
    QString Folder() const { return FPath + QLatin1Char('/'); }

    void Add(const QString& name, const QString& driver, const QStringList& attributes = {}) {
        FSections += QStringLiteral("[%1]\nDriver = %2\n").arg(name, driver);
        for (const QString& attribute : attributes)
            FSections += attribute + QLatin1Char('\n');
        FSections += QLatin1Char('\n');
        Flush();
    }

    // An embedded server data source on a new SQLite file made of the
    // statements; returns the file's path.
    QString AddEmbedded(const QString& name, const QStringList& statements,
                        const QString& driver = QStringLiteral("SQL Anywhere 11")) {
        const QString file = MakeDatabase(name + QStringLiteral(".db"), statements);
        Add(name, driver,
            {QStringLiteral("EmbeddedDatabase = ") + file, QStringLiteral("UID = dba"),
             QStringLiteral("PWD = sql")});
        return file;
    }

    QString MakeDatabase(const QString& fileName, const QStringList& statements) {
        const QString path = FPath + QLatin1Char('/') + fileName;
        QFile::remove(path);
        ExecSqlite(path, statements);
        return path;
    }

    void WriteFile(const QString& name, const QByteArray& bytes) const {
        QFile file(FPath + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
    }

private:
    void Flush() {
        WriteFile(QStringLiteral("user-odbc.ini"), FSections.toUtf8());
        WriteFile(QStringLiteral("odbc.ini"), {});
        WriteFile(QStringLiteral("odbcinst.ini"),
                  "[SQLite3]\nDriver = /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    }
    static void Restore(const char* name, const QByteArray& old) {
        if (old.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, old);
    }

    QString FPath;
    QByteArray FOldIni;
    QByteArray FOldSysIni;
    QString FSections;
};

// Handles the modal dialogs that appear, one scripted step each, in order;
// a dialog beyond the script is recorded and cancelled.
class TModalDriver : public QObject {
public:
    using TStep = std::function<void(QWidget*)>;
    TModalDriver() {
        connect(&FTimer, &QTimer::timeout, this, &TModalDriver::Poll);
        FTimer.start(10);
    }
    TModalDriver& Then(TStep step) {
        FSteps << std::move(step);
        return *this;
    }
    bool Done() const { return FSteps.isEmpty(); }
    // Class names of the dialogs seen, in order.
    QStringList Shown;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == FLast) return;
        FLast = modal;
        Shown << QString::fromLatin1(modal->metaObject()->className());
        if (FSteps.isEmpty()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            return;
        }
        FSteps.takeFirst()(modal);
    }
    QTimer FTimer;
    QList<TStep> FSteps;
    QPointer<QWidget> FLast;
};
