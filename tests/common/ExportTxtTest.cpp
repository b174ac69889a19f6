#include "common/ExportTxt.h"

#include "common/PlatformDialogs.h"
#include "common/ZorvUtilUnit.h"
#include "engine/TField.h"
#include "engine/TTable.h"
#include "engine/Win1251.h"
#include "support/ProgressCanceller.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The columns of a grid over a real data set: widths in pixels, hidden
// columns without a field.
class TFakeGrid : public TExportGrid {
public:
    TFakeGrid(TDataSet* dataSet, QList<int> widths, QList<bool> shown = {})
        : FDataSet(dataSet), FWidths(std::move(widths)), FShown(std::move(shown)) {}
    TDataSet* ExportDataSet() const override { return FDataSet; }
    int ExportColumnCount() const override { return int(FWidths.size()); }
    TField* ExportColumnField(int column) const override {
        if (!FShown.value(column, true) || column >= FDataSet->FieldCount()) return nullptr;
        return FDataSet->Fields(column);
    }
    int ExportColumnWidth(int column) const override { return FWidths[column]; }

private:
    TDataSet* FDataSet;
    QList<int> FWidths;
    QList<bool> FShown;
};

// Replaces the save dialog: records what it was asked and answers from a
// queue (cancel once the queue is empty).
class ScriptedSaveDialog {
public:
    struct Request {
        QString Title, Filter, Proposed, Folder;
    };
    ScriptedSaveDialog() {
        FPrevious =
            SetSaveFileResponder([this](const QString& title, const QString& filter, const QString& proposed,
                                        const QString& folder) -> std::optional<QString> {
                Requests << Request{title, filter, proposed, folder};
                if (Answers.isEmpty()) return std::nullopt;
                return Answers.takeFirst();
            });
    }
    ~ScriptedSaveDialog() { SetSaveFileResponder(FPrevious); }
    QList<QString> Answers;
    QList<Request> Requests;

private:
    TSaveFileResponder FPrevious;
};

QString Rule(int width) {
    return QString(width, QLatin1Char('-'));
}

// The options of the plain layout that the table window offers.
void PlainLayout() {
    ExportTxtOpts.WithHeader = false;
    ExportTxtOpts.WithTitles = true;
    if (ExportTxtOpts.Separator.isEmpty()) ExportTxtOpts.Separator = QStringLiteral("\t");
    ExportTxtOpts.FixedWidths = false;
    ExportTxtOpts.CodePage = 0;
}

} // namespace

class ExportTxtTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> FTemp;
    QString FDb;
    TExportTxtOpts FSavedOpts;
    QString FSavedLastUserDir;
    int FCase = 0;

    QString Dir() const { return FTemp->path(); }
    // A fresh folder per test function and row.
    QString CaseDir() {
        const QString dir = Dir() + QStringLiteral("/case%1").arg(++FCase);
        QDir().mkpath(dir);
        return dir;
    }

    void Exec(const QString& statement) { ExecSqlite(FDb, {statement}); }

    std::unique_ptr<TTable> OpenTable(const QString& name, bool open = true) {
        auto table = std::make_unique<TTable>();
        table->setObjectName(QStringLiteral("tblData"));
        table->SetDatabaseName(FDb);
        table->SetTableName(name);
        if (open) table->Open();
        return table;
    }

    // Exports the table through a grid of the given pixel widths to a named file.
    QByteArray ExportGrid(const QString& tableName, const QList<int>& widths, const QString& title,
                          const QStringList* header = nullptr, QList<bool> shown = {}) {
        auto table = OpenTable(tableName);
        if (tableName == QLatin1String("ORDERS"))
            table->FieldByName(QStringLiteral("AMOUNT"))->SetDisplayFormat("0.00");
        TFakeGrid grid(table.get(), widths, shown);
        const QString path = CaseDir() + QStringLiteral("/out.txt");
        QString status = QStringLiteral("unset");
        ExportToTextFile(&grid, header, nullptr, title, path, status);
        if (!status.isEmpty()) return "status: " + status.toUtf8();
        return ReadFile(path);
    }

private slots:
    void initTestCase() {
        FTemp = std::make_unique<QTemporaryDir>(TestTemp() + QStringLiteral("/export-XXXXXX"));
        QVERIFY(FTemp->isValid());
        FDb = Dir() + QStringLiteral("/export.db");
        QFile db(FDb);
        QVERIFY(db.open(QIODevice::WriteOnly));
        db.close();
        Exec(QStringLiteral("create table ORDERS (ID integer, NAME varchar(20), AMOUNT float)"));
        Exec(QStringLiteral(
            "insert into ORDERS values (1, 'Алфа', 1.5), (2, 'Beta', null), (3, 'Гама', -20.25)"));
        Exec(QStringLiteral("create table EMPTY (ID integer, NAME varchar(20))"));
        Exec(QStringLiteral("create table WIDE (C1 integer, C2 integer, C3 integer, C4 integer, C5 integer, "
                            "C6 integer, C7 integer, C8 integer, C9 integer)"));
        Exec(QStringLiteral("insert into WIDE values (1, 2, 3, 4, 5, 6, 7, 8, 9)"));
        Exec(QStringLiteral("create table ESC (T varchar(20))"));
        Exec(QStringLiteral(
            "insert into ESC values ('a' || char(9) || 'b' || char(92) || 'c' || char(13) || char(10))"));
        Exec(QStringLiteral("create table EMOJI (ID integer, NAME varchar(20), N integer)"));
        Exec(QStringLiteral(
            "insert into EMOJI values (1, 'a\U0001F600b', 5), (2, '\U0001F600\U0001F601\U0001F602xyz', 6)"));
        Exec(QStringLiteral("create table MIXED (A varchar(40), B varchar(40), C integer)"));
        Exec(QStringLiteral("insert into MIXED values ('Щука' || char(9) || 'ъ\\', '中😀ё', null), "
                            "('', 'Ѓ€‰', 7)"));
        Exec(QStringLiteral("create table BIG (ID integer, NAME varchar(20))"));
        Exec(QStringLiteral("insert into BIG with recursive c(x) as (select 1 union all select x + 1 from c "
                            "where x < 150000) select x, 'row ' || x from c"));
    }

    void init() {
        FSavedOpts = ExportTxtOpts;
        FSavedLastUserDir = LastUserDir;
    }
    void cleanup() {
        ExportTxtOpts = FSavedOpts;
        LastUserDir = FSavedLastUserDir;
    }

    void layouts_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QByteArray>("expected");
        const QString ordersTitle = QStringLiteral("MAIN Table: ORDERS");
        QTest::newRow("default, filled, filter line")
            << "ORDERS" << false << QStringList{QStringLiteral("ID > 0")}
            << Win1251Lines({ordersTitle, QString(18, QLatin1Char('=')), "ID > 0", Rule(30),
                             "ID\tNAME\tAMOUNT", Rule(30), "1\tАлфа\t1.50", "2\tBeta\t", "3\tГама\t-20.25",
                             Rule(30)});
        QTest::newRow("default, empty, no filter")
            << "EMPTY" << false << QStringList()
            << Win1251Lines({ordersTitle, "", Rule(20), "ID\tNAME", Rule(20), Rule(20)});
        QTest::newRow("plain, filled")
            << "ORDERS" << true << QStringList{QStringLiteral("ID > 0")}
            << Win1251Lines({"ID\tNAME\tAMOUNT", "1\tАлфа\t1.50", "2\tBeta\t", "3\tГама\t-20.25"});
        QTest::newRow("plain, empty") << "EMPTY" << true << QStringList() << Win1251Lines({"ID\tNAME"});
    }
    void layouts() {
        QFETCH(QString, table);
        QFETCH(bool, plain);
        QFETCH(QStringList, header);
        QFETCH(QByteArray, expected);
        if (plain) PlainLayout();
        const QList<int> widths =
            table == QLatin1String("EMPTY") ? QList<int>{64, 80} : QList<int>{64, 80, 64};
        QCOMPARE(ExportGrid(table, widths, QStringLiteral("MAIN Table: ORDERS"), &header), expected);
    }

    void escapes() {
        ExportTxtOpts.WithHeader = false;
        ExportTxtOpts.WithTitles = false;
        const QByteArray file = ExportGrid(QStringLiteral("ESC"), {80}, QStringLiteral("x"));
        QCOMPARE(file, QByteArray("a\\-b\\\\c\\.\\_\r\n"));
    }

    // Records go into the file cell by cell; the bytes are those of the
    // whole line converted at once, whatever the quote, separator and code page.
    void recordsAsLines_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("quote");
        QTest::addColumn<QString>("separator");
        for (int codePage : {0, 1, 2}) {
            const QByteArray page = QByteArray::number(codePage);
            QTest::newRow("tab, page " + page) << codePage << QString() << QStringLiteral("\t");
            QTest::newRow("Cyrillic quote and separator, page " + page)
                << codePage << QStringLiteral("ж") << QStringLiteral("Ъ");
            QTest::newRow("no separator, page " + page) << codePage << QStringLiteral("\"") << QString();
        }
    }
    void recordsAsLines() {
        QFETCH(int, codePage);
        QFETCH(QString, quote);
        QFETCH(QString, separator);
        PlainLayout();
        ExportTxtOpts.WithTitles = false;
        ExportTxtOpts.CodePage = quint8(codePage);
        ExportTxtOpts.Quote = quote;
        ExportTxtOpts.Separator = separator;
        QByteArray expected;
        for (const QStringList& cells :
             {QStringList{QStringLiteral("Щука\\-ъ\\\\"), QStringLiteral("中😀ё"), QString()},
              QStringList{QString(), QStringLiteral("Ѓ€‰"), QStringLiteral("7")}}) {
            QStringList quoted;
            for (const QString& cell : cells)
                quoted << quote + cell + quote;
            QByteArray bytes = ToWin1251(quoted.join(separator.left(1)));
            ConvertCodePage(bytes, quint8(codePage));
            expected += bytes + "\r\n";
        }
        QCOMPARE(ExportGrid(QStringLiteral("MIXED"), {64, 64, 64}, QStringLiteral("x")), expected);
    }

    void ruleLines_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QList<bool>>("shown");
        QTest::addColumn<int>("width");
        QTest::newRow("3 columns") << 3 << false << "\t" << QList<bool>() << 30;
        QTest::newRow("8 columns") << 8 << false << "\t" << QList<bool>() << 80;
        QTest::newRow("9 columns") << 9 << false << "\t" << QList<bool>() << 80;
        // Fixed widths: 60 pixels make 8 characters.
        QTest::newRow("fixed with separator") << 3 << true << "\t" << QList<bool>() << 26;
        QTest::newRow("fixed without separator") << 3 << true << "" << QList<bool>() << 24;
        QTest::newRow("fixed, hidden column still counted")
            << 3 << true << ";" << QList<bool>{true, false, true} << 18;
    }
    void ruleLines() {
        QFETCH(int, columns);
        QFETCH(bool, fixed);
        QFETCH(QString, separator);
        QFETCH(QList<bool>, shown);
        QFETCH(int, width);
        ExportTxtOpts.FixedWidths = fixed;
        ExportTxtOpts.Separator = separator;
        const QByteArray file =
            ExportGrid(QStringLiteral("WIDE"), QList<int>(columns, 60), QStringLiteral("T"), nullptr, shown);
        const QList<QByteArray> lines = file.split('\n');
        QVERIFY(lines.size() > 6);
        QCOMPARE(lines[2], QByteArray(width, '-') + '\r');
        QCOMPARE(lines[4], lines[2]);
        QCOMPARE(lines[6], lines[2]);
    }

    void fixedWidths() {
        // ID centred in 3, NAME cut to 3, AMOUNT right-justified in 8.
        ExportTxtOpts.FixedWidths = true;
        ExportTxtOpts.WithHeader = false;
        ExportTxtOpts.Quote = QStringLiteral("'");
        auto table = OpenTable(QStringLiteral("ORDERS"));
        table->Fields(0)->SetAlignment(TAlignment::taCenter);
        table->Fields(2)->SetDisplayFormat(QStringLiteral("0.00"));
        TFakeGrid grid(table.get(), {17, 24, 64});
        const QString path = CaseDir() + QStringLiteral("/fixed.txt");
        QString status;
        ExportToTextFile(&grid, nullptr, nullptr, QStringLiteral("t"), path, status);
        QCOMPARE(status, QString());
        QCOMPARE(ReadFile(path), Win1251Lines({"'ID '\t'NAM'\t'  AMOUNT'", "' 1 '\t'Алф'\t'    1.50'",
                                               "' 2 '\t'Bet'\t'        '", "' 3 '\t'Гам'\t'  -20.25'"}));
    }

    // A character outside the basic plane takes one place of a fixed width
    // (and becomes one "?" in the file): the columns after it stay in line.
    void fixedWidthsCountCharacters() {
        ExportTxtOpts.FixedWidths = true;
        ExportTxtOpts.WithHeader = false;
        auto table = OpenTable(QStringLiteral("EMOJI"));
        TFakeGrid grid(table.get(), {17, 32, 17});
        const QString path = CaseDir() + QStringLiteral("/emoji.txt");
        QString status;
        ExportToTextFile(&grid, nullptr, nullptr, QStringLiteral("t"), path, status);
        QCOMPARE(status, QString());
        QCOMPARE(ReadFile(path), Win1251Lines({" ID\tNAME\t  N", "  1\ta?b \t  5", "  2\t???x\t  6"}));
    }

    void hiddenColumns_data() {
        QTest::addColumn<QList<bool>>("shown");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("last hidden keeps the separator")
            << QList<bool>{true, true, false} << Win1251Lines({"1\tАлфа\t"});
        QTest::newRow("middle hidden") << QList<bool>{true, false, true} << Win1251Lines({"1\t1.50"});
        QTest::newRow("first hidden") << QList<bool>{false, true, true} << Win1251Lines({"Алфа\t1.50"});
    }
    void hiddenColumns() {
        QFETCH(QList<bool>, shown);
        QFETCH(QByteArray, expected);
        ExportTxtOpts.WithHeader = false;
        ExportTxtOpts.WithTitles = false;
        const QByteArray file =
            ExportGrid(QStringLiteral("ORDERS"), {64, 64, 64}, QStringLiteral("t"), nullptr, shown);
        QCOMPARE(file.left(file.indexOf('\n') + 1), expected);
    }

    void bracketTitle_data() {
        QTest::addColumn<bool>("withHeader");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("without header") << false << Win1251Lines({"[Report]", "ID\tNAME"});
        QTest::newRow("with header") << true
                                     << Win1251Lines({"[Report]", Rule(20), "ID\tNAME", Rule(20), Rule(20)});
    }
    void bracketTitle() {
        QFETCH(bool, withHeader);
        QFETCH(QByteArray, expected);
        ExportTxtOpts.WithHeader = withHeader;
        const QStringList header{QStringLiteral("ignored")};
        QCOMPARE(ExportGrid(QStringLiteral("EMPTY"), {64, 64}, QStringLiteral("[Report]"), &header),
                 expected);
    }

    void footerAndTrailer() {
        // Cells and footer are converted to the code page; trailer lines are not.
        ExportTxtOpts.CodePage = 2;
        const QStringList footer{QString(), QStringLiteral("Общо"), QStringLiteral("x\ty")};
        ExportTxtOpts.Footer = &footer;
        const QStringList trailer{QStringLiteral("Край"), QStringLiteral("end")};
        auto table = OpenTable(QStringLiteral("ORDERS"));
        TFakeGrid grid(table.get(), {64, 64, 64});
        const QString path = CaseDir() + QStringLiteral("/footer.txt");
        QString status;
        ExportToTextFile(&grid, nullptr, &trailer, QStringLiteral("Склад"), path, status);
        QCOMPARE(status, QString());
        QByteArray expected;
        for (const QString& line :
             {QStringLiteral("Склад"), QString(), Rule(30), QStringLiteral("ID\tNAME\tAMOUNT"), Rule(30),
              QStringLiteral("1\tАлфа\t1.5"), QStringLiteral("2\tBeta\t"), QStringLiteral("3\tГама\t-20.25"),
              Rule(30), QStringLiteral("\tОбщо\tx\\-y"), Rule(30), QString()}) {
            QByteArray bytes = ToWin1251(line);
            ConvertCodePage(bytes, 2);
            expected += bytes + "\r\n";
        }
        expected += Win1251Lines({QStringLiteral("Край"), QStringLiteral("end")});
        QCOMPARE(ReadFile(path), expected);
        QVERIFY(expected.contains("\x8e\xa1\xe9\xae")); // "Общо" in the letters of code page 866
        QCOMPARE(ExportTxtOpts.Footer, nullptr);
    }

    void fileProposal_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("written");
        QTest::newRow("window caption") << "MAIN Table: ORDERS"
                                        << ""
                                        << "orders"
                                        << "MAIN_Table_ORDERS"
                                        << "orders.txt";
        QTest::newRow("own extension kept") << "MAIN Table: ORDERS"
                                            << ""
                                            << "orders.csv"
                                            << "MAIN_Table_ORDERS"
                                            << "orders.csv";
        QTest::newRow("cyrillic and punctuation") << "Склад (2024)!"
                                                  << ""
                                                  << "s.txt"
                                                  << "Склад_2024"
                                                  << "s.txt";
        QTest::newRow("no title: component name") << ""
                                                  << ""
                                                  << "n"
                                                  << "tblData"
                                                  << "n.txt";
        QTest::newRow("default name keeps punctuation") << "MAIN Table: ORDERS"
                                                        << "my report.v2"
                                                        << "r"
                                                        << "my_report.v2"
                                                        << "r.txt";
    }
    void fileProposal() {
        QFETCH(QString, title);
        QFETCH(QString, defaultName);
        QFETCH(QString, chosen);
        QFETCH(QString, proposed);
        QFETCH(QString, written);
        ExportTxtOpts.DefaultFileName = defaultName;
        const QString dir = CaseDir();
        LastUserDir = QStringLiteral("/some/where");
        ScriptedSaveDialog dialog;
        dialog.Answers << dir + QLatin1Char('/') + chosen;
        auto table = OpenTable(QStringLiteral("EMPTY"));
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, title, QString(), status);
        QCOMPARE(status, QString());
        QCOMPARE(dialog.Requests.size(), 1);
        const auto& request = dialog.Requests.first();
        QCOMPARE(request.Title, QStringLiteral("Запис в текстов файл"));
        // "*" and not "*.*": files without an extension are shown too.
        QCOMPARE(request.Filter, QStringLiteral("Text files (*.txt);;All files (*)"));
        QCOMPARE(request.Proposed, proposed);
        QCOMPARE(request.Folder, QStringLiteral("/some/where"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{written});
        QCOMPARE(LastUserDir, dir);
    }

    void overwriteQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("No asks again in that folder") << int(IDNO);
        QTest::newRow("Yes replaces the file") << int(IDYES);
    }
    void overwriteQuestion() {
        QFETCH(int, answer);
        const QString dir = CaseDir();
        QDir().mkpath(dir + QStringLiteral("/sub"));
        const QString existing = dir + QStringLiteral("/sub/a.txt");
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old");
        }
        LastUserDir = dir;
        ScriptedSaveDialog dialog;
        dialog.Answers << existing << dir + QStringLiteral("/b");
        ScriptedMsgBox boxes;
        boxes.Answer(answer);
        auto table = OpenTable(QStringLiteral("EMPTY"));
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), QString(), status);
        QCOMPARE(status, QString());
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text,
                 QLatin1Char('"') + existing + QStringLiteral("\" Already Exists Overwrite"));
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Внимание"));
        QCOMPARE(boxes.Last().Flags, 308);
        const QByteArray exported = Win1251Lines({"t", "", Rule(20), "ID\tNAME", Rule(20), Rule(20)});
        if (answer == IDNO) {
            QCOMPARE(dialog.Requests.size(), 2);
            QCOMPARE(dialog.Requests[1].Folder, dir + QStringLiteral("/sub"));
            QCOMPARE(ReadFile(existing), QByteArray("old"));
            QCOMPARE(ReadFile(dir + QStringLiteral("/b.txt")), exported);
            QCOMPARE(LastUserDir, dir);
        } else {
            QCOMPARE(dialog.Requests.size(), 1);
            QCOMPARE(ReadFile(existing), exported);
            QCOMPARE(LastUserDir, dir + QStringLiteral("/sub"));
        }
    }

    void cancelledOrNothingToExport() {
        ScriptedMsgBox boxes;
        ScriptedSaveDialog dialog;
        LastUserDir = QStringLiteral("/kept");
        auto table = OpenTable(QStringLiteral("EMPTY"));
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), QString(), status);
        QCOMPARE(status, QStringLiteral("smNotExportedToFile"));
        QCOMPARE(dialog.Requests.size(), 1);
        QCOMPARE(LastUserDir, QStringLiteral("/kept"));
        status.clear();
        ExportToTextFile(static_cast<const TExportGrid*>(nullptr), nullptr, nullptr, QString(), QString(),
                         status);
        QCOMPARE(status, QStringLiteral("smNotExportedToFile"));
        status.clear();
        ExportToTextFile(static_cast<TDataSet*>(nullptr), nullptr, nullptr, QString(), QString(), status);
        QCOMPARE(status, QStringLiteral("smNotExportedToFile"));
        QCOMPARE(dialog.Requests.size(), 1);
        QCOMPARE(boxes.Count(), 0);
    }

    void unwritableFolder() {
        const QString dir = CaseDir();
        QFile plain(dir + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = dir + QStringLiteral("/plain/x.txt"); // a folder that is a file
        ScriptedMsgBox boxes;
        auto table = OpenTable(QStringLiteral("ORDERS"));
        table->SetRecNo(2);
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), path, status);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Грешка"));
        QCOMPARE(boxes.Last().Flags, 16);
        const QString prefix = QStringLiteral("Impossible Writing To File \"") + path +
                               QStringLiteral("\".\rCheck If it is Open(");
        QVERIFY2(boxes.Last().Text.startsWith(prefix) && boxes.Last().Text.endsWith(QLatin1Char(')')) &&
                     boxes.Last().Text.size() > prefix.size() + 1,
                 qPrintable(boxes.Last().Text));
        QCOMPARE(status, boxes.Last().Text);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("plain")});
        QCOMPARE(table->RecNo(), 2);
    }

    void closedTable() {
        // The user is still asked for a file; the walk fails and leaves nothing.
        const QString dir = CaseDir();
        ScriptedSaveDialog dialog;
        dialog.Answers << dir + QStringLiteral("/closed");
        ScriptedMsgBox boxes;
        auto table = OpenTable(QStringLiteral("ORDERS"), false);
        TFakeGrid grid(table.get(), {64, 64, 64});
        QString status;
        ExportToTextFile(&grid, nullptr, nullptr, QStringLiteral("t"), QString(), status);
        QCOMPARE(dialog.Requests.size(), 1);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Export Error"));
        QCOMPARE(boxes.Last().Flags, 16);
        QCOMPARE(boxes.Last().Text,
                 QStringLiteral("smNotExportedToFile\r(Cannot perform this operation on a closed dataset)"));
        QCOMPARE(status, boxes.Last().Text);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(!table->ControlsDisabled());
    }

    void writeFailureLeavesNoFile() {
        // The file system refuses more than 16 KB: the export fails mid-walk.
        const QString dir = CaseDir();
        const QString path = dir + QStringLiteral("/big.txt");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("earlier export");
        }
        const QStringList footer{QStringLiteral("f")};
        ExportTxtOpts.Footer = &footer;
        auto table = OpenTable(QStringLiteral("BIG"));
        table->SetRecNo(7);
        ScriptedMsgBox boxes;
        QString status;
        {
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 16 * 1024;
            const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &small);
            ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), path, status);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previousHandler);
        }
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Export Error"));
        QCOMPARE(boxes.Last().Flags, 16);
        QVERIFY2(boxes.Last().Text.startsWith(QStringLiteral("smNotExportedToFile\r(")) &&
                     boxes.Last().Text.endsWith(')'),
                 qPrintable(boxes.Last().Text));
        QCOMPARE(status, boxes.Last().Text);
        // Nothing half-written: the earlier file is untouched and no other file is left.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("big.txt")});
        QCOMPARE(ReadFile(path), QByteArray("earlier export"));
        QCOMPARE(ExportTxtOpts.Footer, &footer);
        QCOMPARE(table->RecNo(), 7);
        QVERIFY(!table->ControlsDisabled());
    }

    // A full disk: the message is the system's, and no file is left. A small
    // file system of its own where the test may mount one; /dev/full always.
    void fullDisk_data() {
        QTest::addColumn<bool>("device");
        QTest::newRow("small file system") << false;
        QTest::newRow("/dev/full") << true;
    }
    void fullDisk() {
        QFETCH(bool, device);
        QString path = QStringLiteral("/dev/full");
        QString mounted;
        const auto unmount = qScopeGuard([&mounted] {
            if (!mounted.isEmpty()) QProcess::execute(QStringLiteral("umount"), {mounted});
        });
        if (!device) {
            mounted = CaseDir();
            if (QProcess::execute(QStringLiteral("mount"),
                                  {"-t", "tmpfs", "-o", "size=256k", "tmpfs", mounted}) != 0) {
                mounted.clear();
                QSKIP("no small file system can be mounted here; /dev/full stands in");
            }
            path = mounted + QStringLiteral("/big.txt");
            WriteFile(path, "earlier export");
        } else if (!QFileInfo(path).isWritable()) {
            QSKIP("/dev/full is not there to write");
        }
        auto table = OpenTable(QStringLiteral("BIG"));
        ScriptedMsgBox boxes;
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), path, status);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Export Error"));
        // The system's message as Qt gives it, in the program's language.
        QCOMPARE(boxes.Last().Text, QStringLiteral("smNotExportedToFile\r(") +
                                        QCoreApplication::translate("QIODevice", "No space left on device") +
                                        u')');
        if (!device) {
            QCOMPARE(QDir(mounted).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral("big.txt")});
            QCOMPARE(ReadFile(path), QByteArray("earlier export"));
        }
        QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists() &&
                !QFileInfo(QStringLiteral("/dev/full")).isFile());
    }

    // A file that may be written in a folder that may not: the export
    // writes it in place. Run as a user who is not root (as root, this test
    // runs itself again as "nobody").
    void folderRefusesTemporaryFile() {
        if (getuid() == 0) {
            if (!qEnvironmentVariableIsEmpty("TAMSEL_AS_NOBODY")) QFAIL("still root");
            // Folders that "nobody" may enter, a file and a database it may write.
            QTemporaryDir shared(QDir::tempPath() + QStringLiteral("/tamsel-nobody-XXXXXX"));
            QVERIFY(shared.isValid());
            const QString base = shared.path();
            QVERIFY(QDir().mkpath(base + QStringLiteral("/home")));
            QVERIFY(QDir().mkpath(base + QStringLiteral("/locked")));
            const QString target = base + QStringLiteral("/locked/out.txt");
            WriteFile(target, "earlier export");
            QProcess::execute(QStringLiteral("chown"),
                              {"-R", "nobody", base + QStringLiteral("/home"), target});
            QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
            QFile::setPermissions(base + QStringLiteral("/locked"),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther);
            const QString program = base + QStringLiteral("/home/test");
            QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TAMSEL_AS_NOBODY"), target);
            env.insert(QStringLiteral("TAMSEL_TEST_TMP"), base + QStringLiteral("/home"));
            env.insert(QStringLiteral("HOME"), base + QStringLiteral("/home"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + QStringLiteral("/home"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                    program, "ExportTxtTest", "folderRefusesTemporaryFile"});
            if (!child.waitForStarted()) QSKIP("setpriv cannot start the test as another user");
            QVERIFY(child.waitForFinished(60000));
            const QByteArray output = child.readAll();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
            QVERIFY2(output.contains("PASS   : ExportTxtTest::folderRefusesTemporaryFile()"),
                     output.constData());
            QCOMPARE(QDir(base + QStringLiteral("/locked")).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral("out.txt")});
            QCOMPARE(ReadFile(target).left(2), QByteArray("t\r"));
            return;
        }
        QString target = qEnvironmentVariable("TAMSEL_AS_NOBODY");
        if (target.isEmpty()) {
            // Not root to begin with: a folder of its own, made read-only.
            const QString dir = CaseDir();
            target = dir + QStringLiteral("/out.txt");
            WriteFile(target, "earlier export");
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        const auto unlock = qScopeGuard([&target] {
            QFile::setPermissions(QFileInfo(target).path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        ScriptedMsgBox boxes;
        // A failure before the first line is written leaves the old file as it was.
        auto closed = OpenTable(QStringLiteral("ORDERS"), false);
        QString status;
        ExportToTextFile(closed.get(), nullptr, nullptr, QStringLiteral("t"), target, status);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Export Error"));
        QCOMPARE(ReadFile(target), QByteArray("earlier export"));
        auto table = OpenTable(QStringLiteral("ORDERS"));
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), target, status);
        QCOMPARE(status, QString());
        QCOMPARE(boxes.Count(), 1);
        const QByteArray written = ReadFile(target);
        QVERIFY2(written.startsWith("t\r\n\r\n") &&
                     written.contains(ToWin1251(QStringLiteral("3\tГама\t-20.25\r\n"))),
                 written.constData());
        QCOMPARE(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("out.txt")});
    }

    void currentRecordKept() {
        auto table = OpenTable(QStringLiteral("ORDERS"));
        table->SetRecNo(2);
        const QString bookmark = table->Bookmark();
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"),
                         CaseDir() + QStringLiteral("/r.txt"), status);
        QCOMPARE(status, QString());
        QCOMPARE(table->RecNo(), 2);
        QCOMPARE(table->Bookmark(), bookmark);
        QVERIFY(!table->ControlsDisabled());
    }

    void progressCancel_data() {
        QTest::addColumn<bool>("countKnown");
        QTest::newRow("count known") << true;
        QTest::newRow("count not known") << false;
    }

    // A long walk can be cancelled; its bar shows the record count only where
    // the data set already knows it, since counting would make the user wait.
    void progressCancel() {
        QFETCH(bool, countKnown);
        const QString dir = CaseDir();
        auto table = OpenTable(QStringLiteral("BIG"));
        if (countKnown) table->Last();
        table->SetRecNo(5);
        ProgressCanceller canceller;
        ScriptedMsgBox boxes;
        QString status;
        ExportToTextFile(table.get(), nullptr, nullptr, QStringLiteral("t"), dir + QStringLiteral("/big.txt"),
                         status);
        QVERIFY(canceller.Seen);
        QVERIFY(canceller.Modal);
        QCOMPARE(canceller.Maximum, countKnown ? 150000 : 0);
        QVERIFY2(canceller.Label.startsWith(QStringLiteral("Записани редове: ")),
                 qPrintable(canceller.Label));
        QCOMPARE(canceller.Label.endsWith(QStringLiteral(" от 150000")), countKnown);
        QCOMPARE(status, QStringLiteral("smNotExportedToFile"));
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(table->RecNo(), 5);
    }
};

TAMSEL_TEST(ExportTxtTest);
#include "ExportTxtTest.moc"
