#include "common/PlatformDialogs.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/Exception.h"
#include "engine/TDatabase.h"
#include "engine/TQuery.h"
#include "engine/Win1251.h"
#include "output/ExportDBUnit.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

// The rows every table T01..T10 holds, except T04, which is empty.
QByteArray TableFile(const QString& table) {
    if (table == QLatin1String("T04")) return Win1251Lines({"ID\tNAME\tPRICE"});
    return Win1251Lines({"ID\tNAME\tPRICE", "1\tАлфа\t1.5", "2\t\t", "3\t" + table + "\t-7"});
}

// Records the plain boxes and the folder picker's questions.
class ScriptedPlainDialogs {
public:
    ScriptedPlainDialogs() {
        FPreviousBox = SetPlainMessageResponder([this](const QString& text, const QString& caption) {
            Boxes << caption + QStringLiteral(": ") + text;
        });
        FPreviousFolder = SetFolderResponder([this](const QString& initial) -> std::optional<QString> {
            FolderQuestions << initial;
            if (Folders.isEmpty()) return std::nullopt;
            return Folders.takeFirst();
        });
    }
    ~ScriptedPlainDialogs() {
        SetPlainMessageResponder(FPreviousBox);
        SetFolderResponder(FPreviousFolder);
    }
    QStringList Boxes;
    QStringList Folders;
    QStringList FolderQuestions;

private:
    TPlainMessageResponder FPreviousBox;
    TFolderResponder FPreviousFolder;
};

} // namespace

class ExportDbTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> FTemp;
    std::unique_ptr<TDatabase> FDatabase;
    std::unique_ptr<TExportDbForm> FForm;
    int FCase = 0;

    QString CaseDir() {
        const QString dir = FTemp->path() + QStringLiteral("/out%1").arg(++FCase);
        QDir().mkpath(dir);
        return dir;
    }

    void Tick(const QStringList& tables) {
        for (int i = 0; i < FForm->cblTables->count(); ++i) {
            QListWidgetItem* item = FForm->cblTables->item(i);
            item->setCheckState(tables.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
        }
    }

    QStringList Log() const {
        const QString text = FForm->LogMemo->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    void Export() { QTest::mouseClick(FForm->btnExport, Qt::LeftButton); }
    QString DatabaseFile() const { return FTemp->path() + QStringLiteral("/unload.db"); }

private slots:
    void initTestCase() {
        FTemp = std::make_unique<QTemporaryDir>(TestTemp() + QStringLiteral("/unload-XXXXXX"));
        QVERIFY(FTemp->isValid());
        const QString dir = FTemp->path();
        QStringList tables;
        for (int t = 10; t >= 1; --t) {
            const QString table = QStringLiteral("T%1").arg(t, 2, 10, QLatin1Char('0'));
            tables
                << QStringLiteral("create table %1 (ID integer, NAME varchar(20), PRICE float)").arg(table);
            if (t == 4) continue;
            tables << QStringLiteral("insert into %1 values (1, 'Алфа', 1.5), (2, null, null), (3, '%1', -7)")
                          .arg(table);
        }
        tables << QStringLiteral("create view V01 as select * from T01");
        ExecSqlite(DatabaseFile(), tables);
        WriteFile(dir + QStringLiteral("/odbcinst.ini"),
                  "[SQL Anywhere 11]\nDescription = SQL Anywhere 11\n");
        WriteFile(dir + QStringLiteral("/odbc.ini"),
                  "[UNLOADTEST]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = " + dir.toUtf8() +
                      "/unload.db\n");
        qputenv("ODBCSYSINI", dir.toUtf8());
        qputenv("ODBCINI", (dir + QStringLiteral("/odbc.ini")).toUtf8());

        FDatabase = std::make_unique<TDatabase>();
        FDatabase->SetDatabaseName(QStringLiteral("UNLOADTEST"));
        FDatabase->SetAliasName(QStringLiteral("UNLOADTEST"));
        FDatabase->SetLoginPrompt(false);
        FDatabase->Params() << QStringLiteral("USER NAME=dba") << QStringLiteral("PASSWORD=sql");
        FDatabase->SetConnected(true);
        PrepareConnection(FDatabase.get());
        QVERIFY(FDatabase->IsSQLBased());
    }

    void init() {
        FForm = std::make_unique<TExportDbForm>();
        PrepareUnloadDialog(FForm.get(), FDatabase.get());
    }
    void cleanup() { FForm.reset(); }
    void cleanupTestCase() { FDatabase.reset(); }

    void preparedDialog() {
        QStringList names;
        for (int i = 0; i < FForm->cblTables->count(); ++i) {
            names << FForm->cblTables->item(i)->text();
            QCOMPARE(FForm->cblTables->item(i)->checkState(), Qt::Unchecked);
        }
        QCOMPARE(names, QStringList({"T01", "T02", "T03", "T04", "T05", "T06", "T07", "T08", "T09", "T10"}));
        QCOMPARE(FForm->dirEdit->text(), QDir::currentPath());
        QVERIFY(FForm->LogMemo->isReadOnly());
        QVERIFY(!FForm->qrTables->Active());
    }

    void folderPicker() {
        ScriptedPlainDialogs dialogs;
        FForm->dirEdit->setText(QStringLiteral("/start"));
        dialogs.Folders << QStringLiteral("/chosen/folder");
        QTest::mouseClick(FForm->dirEditButton, Qt::LeftButton);
        QCOMPARE(FForm->dirEdit->text(), QStringLiteral("/chosen/folder"));
        QTest::mouseClick(FForm->dirEditButton, Qt::LeftButton); // cancelled
        QCOMPARE(FForm->dirEdit->text(), QStringLiteral("/chosen/folder"));
        QCOMPARE(dialogs.FolderQuestions, QStringList({"/start", "/chosen/folder"}));
    }

    void threeOfTen() {
        const QString dir = CaseDir();
        Tick({"T09", "T02", "T04"});
        FForm->dirEdit->setText(dir); // without the trailing "/"
        ScriptedMsgBox boxes;
        Export();
        QCOMPARE(Log(), QStringList({"Експортира таблица 1 от 3", "T02 ===> " + dir + "/T02Table.txt  ...",
                                     "Експортира таблица 2 от 3", "T04 ===> " + dir + "/T04Table.txt  ...",
                                     "Експортира таблица 3 от 3", "T09 ===> " + dir + "/T09Table.txt  ...",
                                     "ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"}));
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 QStringList({"T02Table.txt", "T04Table.txt", "T09Table.txt"}));
        for (const QString table : {"T02", "T04", "T09"})
            QCOMPARE(ReadFile(dir + "/" + table + "Table.txt"), TableFile(table));
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(FForm->btnExport->isEnabled());
    }

    // Folder names are the user's: quotes and backslashes must not end the
    // statement's file literal or turn into escapes.
    void awkwardFolderNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote") << QStringLiteral("o'brien");
        QTest::newRow("backslash") << QStringLiteral("back\\slash");
        QTest::newRow("escape-like") << QStringLiteral("a\\new\\x09");
    }
    void awkwardFolderNames() {
        QFETCH(QString, name);
        const QString dir = CaseDir() + QLatin1Char('/') + name;
        QVERIFY(QDir().mkpath(dir));
        Tick({"T05"});
        FForm->dirEdit->setText(dir);
        ScriptedMsgBox boxes;
        Export();
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(Log().last(), QStringLiteral("ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList({"T05Table.txt"}));
        QCOMPARE(ReadFile(dir + QStringLiteral("/T05Table.txt")), TableFile(QStringLiteral("T05")));
    }

    void secondRunReplaces() {
        const QString dir = CaseDir() + QLatin1Char('/');
        WriteFile(dir + QStringLiteral("T03Table.txt"), "an older file that is longer than the new one\r\n"
                                                        "and has lines of its own\r\n\r\n\r\n");
        Tick({"T03"});
        FForm->dirEdit->setText(dir);
        Export();
        Export();
        QCOMPARE(ReadFile(dir + QStringLiteral("T03Table.txt")), TableFile(QStringLiteral("T03")));
        const QStringList oneRun{"Експортира таблица 1 от 1", "T03 ===> " + dir + "T03Table.txt  ...",
                                 "ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"};
        QCOMPARE(Log(), oneRun + oneRun);
    }

    void failureInSecondTable_data() {
        QTest::addColumn<bool>("serverError");
        QTest::newRow("the server refuses the table") << true;
        QTest::newRow("the header file cannot be written") << false;
    }
    void failureInSecondTable() {
        QFETCH(bool, serverError);
        const QString dir = CaseDir() + QLatin1Char('/');
        Tick({"T01", "T06", "T08"});
        FForm->dirEdit->setText(dir);
        if (serverError)
            ExecSqlite(DatabaseFile(), {QStringLiteral("alter table T06 rename to T06X")});
        else
            QDir().mkpath(dir + QStringLiteral("T06Table.txt"));

        // While the run lasts its lines are already shown and the button is off.
        QStringList shownLog;
        bool buttonEnabled = true;
        QList<ScriptedMsgBox::Shown> boxes;
        const TMsgPresenter previous =
            SetMsgPresenter([&](const QString& text, const QString& caption, int flags) {
                shownLog = Log();
                buttonEnabled = FForm->btnExport->isEnabled();
                boxes << ScriptedMsgBox::Shown{text, caption, flags};
                return IDOK;
            });
        Export();
        SetMsgPresenter(previous);
        if (serverError) ExecSqlite(DatabaseFile(), {QStringLiteral("alter table T06X rename to T06")});

        const QStringList log = Log();
        QCOMPARE(log.size(), 5);
        QCOMPARE(log.mid(0, 4),
                 QStringList({"Експортира таблица 1 от 3", "T01 ===> " + dir + "T01Table.txt  ...",
                              "Експортира таблица 2 от 3", "T06 ===> " + dir + "T06Table.txt  ..."}));
        const QString prefix = QStringLiteral("ВЪЗНИКНА ГРЕШКА ПРИ ЕКСПОРТ : ");
        QVERIFY2(log[4].startsWith(prefix) && log[4].size() > prefix.size(), qPrintable(log[4]));
        QCOMPARE(ReadFile(dir + QStringLiteral("T01Table.txt")), TableFile(QStringLiteral("T01")));
        QVERIFY(!QFile::exists(dir + QStringLiteral("T08Table.txt")));
        if (serverError) {
            // The runner shows the server's message, which the log repeats.
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].Caption, QStringLiteral("SQL Exception"));
            QCOMPARE(boxes[0].Flags, 16);
            QCOMPARE(log[4], prefix + boxes[0].Text);
            QCOMPARE(shownLog, log.mid(0, 4));
            QVERIFY(!buttonEnabled);
            QVERIFY(!QFile::exists(dir + QStringLiteral("T06Table.txt")));
        } else {
            QCOMPARE(boxes.size(), 0);
        }
        QVERIFY(FForm->btnExport->isEnabled());
    }

    // Table names with blanks, quotes, ";" or a reserved word reach the
    // server as names; file names and the log keep them as they are. A "/"
    // is written "%2F": no name leads the file out of the folder.
    void oddTableNames_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("file");
        const auto ordinary = [](const char* row, const QString& table) {
            QTest::newRow(row) << table << table + QStringLiteral("Table.txt");
        };
        ordinary("blank", QStringLiteral("my table"));
        ordinary("quotes", QStringLiteral("it's \"q\""));
        ordinary("semicolon and statement", QStringLiteral("a; drop table T01"));
        ordinary("reserved word", QStringLiteral("order"));
        // 240 bytes in a Linux file name, near its limit of 255.
        ordinary("Cyrillic, 120 characters", QString(120, QChar(u'Щ')));
        ordinary("dots alone", QStringLiteral(".."));
        // The server reads the path's literal: "\x2f" must not become "/".
        ordinary("escape-like", QStringLiteral("..\\x2f..\\x2fx"));
        QTest::newRow("into the parent") << QStringLiteral("../x") << QStringLiteral("..%2FxTable.txt");
        QTest::newRow("into a sub-folder") << QStringLiteral("a/b") << QStringLiteral("a%2FbTable.txt");
        QTest::newRow("from the root")
            << QStringLiteral("/tmp/../x") << QStringLiteral("%2Ftmp%2F..%2FxTable.txt");
    }
    void oddTableNames() {
        QFETCH(QString, table);
        QFETCH(QString, file);
        const QString quoted = QLatin1Char('"') +
                               QString(table).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                               QLatin1Char('"');
        ExecSqlite(DatabaseFile(),
                   {QStringLiteral("create table %1 (ID integer, \"the name\" varchar(20))").arg(quoted),
                    QStringLiteral("insert into %1 values (1, 'Алфа'), (2, null)").arg(quoted)});
        const auto drop =
            qScopeGuard([&] { ExecSqlite(DatabaseFile(), {QStringLiteral("drop table %1").arg(quoted)}); });
        LoadTableList(FForm.get());
        const QString dir = CaseDir() + QLatin1Char('/');
        Tick({table});
        FForm->dirEdit->setText(dir);
        ScriptedMsgBox boxes;
        Export();
        QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
        QCOMPARE(Log(), QStringList({"Експортира таблица 1 от 1", table + " ===> " + dir + file + "  ...",
                                     "ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"}));
        // "..xTable.txt" is a hidden file: list those too.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QCOMPARE(ReadFile(dir + file), Win1251Lines({"ID\tthe name", "1\tАлфа", "2\t"}));
        QCOMPARE(QDir(dir + QStringLiteral(".."))
                     .entryList({QStringLiteral("*Table.txt")}, QDir::Files | QDir::Hidden),
                 QStringList());
        QCOMPARE(RunSql(QStringLiteral("select count(*) from T01")).toInt(), 3);
    }

    // A full disk part way through a table: the log says what the system
    // said, and the file that was cut short is gone.
    void fullDiskRemovesShortFile() {
        const QString dir = CaseDir();
        if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=256k", "tmpfs", dir}) != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount = qScopeGuard([&dir] { QProcess::execute(QStringLiteral("umount"), {dir}); });
        ExecSqlite(DatabaseFile(),
                   {QStringLiteral("create table ZHUGE (ID integer, NAME varchar(60))"),
                    QStringLiteral(
                        "insert into ZHUGE with recursive c(x) as (select 1 union all select x + 1 from c "
                        "where x < 20000) select x, 'a row of forty-odd characters, number ' || x from c")});
        const auto drop =
            qScopeGuard([this] { ExecSqlite(DatabaseFile(), {QStringLiteral("drop table ZHUGE")}); });
        LoadTableList(FForm.get());
        Tick({"T01", "ZHUGE"});
        FForm->dirEdit->setText(dir);
        QList<ScriptedMsgBox::Shown> boxes;
        const TMsgPresenter previous =
            SetMsgPresenter([&](const QString& text, const QString& caption, int flags) {
                boxes << ScriptedMsgBox::Shown{text, caption, flags};
                return IDOK;
            });
        Export();
        SetMsgPresenter(previous);
        const QStringList log = Log();
        QVERIFY2(log.last().startsWith(QStringLiteral("ВЪЗНИКНА ГРЕШКА ПРИ ЕКСПОРТ : ")) &&
                     log.last().contains(QCoreApplication::translate("QIODevice", "No space left on device")),
                 qPrintable(log.join('\n')));
        QVERIFY(!log.contains(QStringLiteral("ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!")));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("T01Table.txt")});
        QCOMPARE(ReadFile(dir + QStringLiteral("/T01Table.txt")), TableFile(QStringLiteral("T01")));
    }

    void plainBoxes_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("box");
        const QString noTables = QStringLiteral("Drovik: Изберете таблици за експорт!");
        const QString noFolder = QStringLiteral("Drovik: Избраната папка не съществува!");
        QTest::newRow("nothing ticked") << QStringList() << "." << noTables;
        QTest::newRow("nothing ticked, no folder either") << QStringList() << "" << noTables;
        QTest::newRow("folder missing") << QStringList{"T01"} << "/no/such/folder" << noFolder;
        QTest::newRow("folder box empty") << QStringList{"T01"} << "" << noFolder;
        QTest::newRow("folder is a file") << QStringList{"T01"} << "<file>" << noFolder;
    }
    void plainBoxes() {
        QFETCH(QStringList, ticked);
        QFETCH(QString, folder);
        QFETCH(QString, box);
        const QString dir = CaseDir();
        if (folder == QLatin1String("<file>")) {
            folder = dir + QStringLiteral("/file");
            WriteFile(folder, "x");
        } else if (folder == QLatin1String(".")) {
            folder = dir;
        }
        Tick(ticked);
        FForm->dirEdit->setText(folder);
        ScriptedPlainDialogs dialogs;
        ScriptedMsgBox boxes;
        Export();
        QCOMPARE(dialogs.Boxes, QStringList{box});
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(Log(), QStringList());
        QVERIFY(!QFile::exists(dir + QStringLiteral("/T01Table.txt")));
        QVERIFY(FForm->btnExport->isEnabled());
    }

    void showUnloadDialog() {
        QString caption;
        QSize size;
        int tables = -1;
        QPointer<TExportDbForm> shown;
        QTimer::singleShot(0, [&] {
            shown = qobject_cast<TExportDbForm*>(QApplication::activeModalWidget());
            if (!shown) return;
            caption = shown->windowTitle();
            size = shown->size();
            tables = shown->cblTables->count();
            QTest::mouseClick(shown->btnClose, Qt::LeftButton);
        });
        ShowUnloadDialog(FDatabase.get());
        QCOMPARE(caption, QStringLiteral("Експорт към базата данни"));
        QCOMPARE(size, QSize(797, 439));
        QCOMPARE(tables, 10);
        QVERIFY(shown.isNull()); // destroyed once closed

        TDatabase none;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* widget = QApplication::activeModalWidget()) {
                modal = true;
                widget->close();
            }
        });
        ShowUnloadDialog(&none);
        ShowUnloadDialog(nullptr);
        QTest::qWait(10);
        QVERIFY(!modal);
    }

    void tableListFails() {
        // The error reaches the caller; no dialog shows.
        TDatabase broken;
        broken.SetDatabaseName(QStringLiteral("NOSUCHALIAS"));
        broken.SetAliasName(QStringLiteral("NOSUCHALIAS"));
        bool modal = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* widget = QApplication::activeModalWidget()) {
                modal = true;
                widget->close();
            }
        });
        QVERIFY_THROWS_EXCEPTION(Exception, ShowUnloadDialog(&broken));
        QTest::qWait(10);
        QVERIFY(!modal);
    }
};

TAMSEL_TEST(ExportDbTest);
#include "ExportDbTest.moc"
