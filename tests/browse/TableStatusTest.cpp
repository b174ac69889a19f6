#include "browse/TableStatus.h"

#include "BrowseFixture.h"
#include "browse/SortMarks.h"
#include "browse/TableMessages.h"
#include "common/WindowMessage.h"
#include "engine/TDataSource.h"
#include "support/TestRegistry.h"

#include <QLineEdit>

namespace {

QStringList Titles(TDbTableForm* form) {
    QStringList titles;
    for (int i = 0; i < form->dbgData->ColumnCount(); ++i)
        titles << form->dbgData->model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
}

} // namespace

// What the status bar tells of a table window, and the order's marks on
// the grid's titles.
class TableStatusTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

    // Steps: "row N", "end" (Ctrl+End), "filter TEXT", "clear", "sort F", "sort+ F" (Ctrl+Alt),
    // "link" (by B to the master CUST's ID), "master row N", "unlink".
    void Run(TDbTableForm* form, const QStringList& steps) {
        TDbTableForm* master = nullptr;
        for (const QString& step : steps) {
            const QString arg = step.section(QLatin1Char(' '), 1, -1);
            if (step.startsWith(QLatin1String("row "))) {
                form->tblData->SetRecNo(arg.toInt());
            } else if (step == QLatin1String("end")) {
                QTest::keyClick(form->dbgData, Qt::Key_End, Qt::ControlModifier);
            } else if (step.startsWith(QLatin1String("filter "))) {
                form->edFilter->setEditText(arg);
                QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
            } else if (step == QLatin1String("clear")) {
                SendWindowMessage(form, msgClearFilter);
            } else if (step.startsWith(QLatin1String("sort+ "))) {
                ClickTitle(form, arg, Qt::ControlModifier | Qt::AltModifier);
            } else if (step.startsWith(QLatin1String("sort "))) {
                ClickTitle(form, arg, Qt::ControlModifier);
            } else if (step == QLatin1String("link")) {
                master = F.OpenForm(QStringLiteral("CUST"));
                QVERIFY(form->LinkToMaster(master->dbgData, 1)); // NUMS.B = CUST.ID
            } else if (step.startsWith(QLatin1String("master row "))) {
                QVERIFY(master);
                master->tblData->SetRecNo(step.section(QLatin1Char(' '), 2).toInt());
            } else if (step == QLatin1String("unlink")) {
                SendWindowMessage(form, msgBreakLink);
            } else {
                QFAIL(qPrintable(step));
            }
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(F.Create(QStringLiteral("status"),
                         {"create table NUMS (N integer, B integer)",
                          "insert into NUMS with recursive c(x) as (select 1 union all select x + 1 from c "
                          "where x < 2067) select x, x % 7 from c",
                          "create table CUST (ID integer, NAME varchar(10))",
                          "insert into CUST values (1, 'One'), (2, 'Two'), (3, 'Three')",
                          "create table ODD (\"c;d\" integer, \"my col\" varchar(10))",
                          "insert into ODD values (1, 'One'), (2, 'Two')"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    void groupedNumbers_data() {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("small") << qint64(120) << "120";
        QTest::newRow("thousands") << qint64(2067) << "2 067";
        QTest::newRow("exact thousand") << qint64(1000) << "1 000";
        QTest::newRow("millions") << qint64(10000000) << "10 000 000";
        QTest::newRow("zero") << qint64(0) << "0";
    }
    void groupedNumbers() {
        QFETCH(qint64, number);
        QFETCH(QString, text);
        QCOMPARE(GroupedNumber(number), text);
    }

    void texts_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("link");
        const QString linked = QStringLiteral("Връзка: TESTDB Table: CUST (ID = B)");
        // Past the first block of rows the count is not known until the rows
        // have been read to their end.
        QTest::newRow("opened") << QStringList{} << "Запис 1"
                                << ""
                                << ""
                                << "";
        QTest::newRow("moved") << QStringList{"row 120"} << "Запис 120"
                               << ""
                               << ""
                               << "";
        QTest::newRow("at the end") << QStringList{"row 120", "end"} << "Запис 2 067 от 2 067"
                                    << ""
                                    << ""
                                    << "";
        QTest::newRow("back from the end") << QStringList{"end", "row 120"} << "Запис 120 от 2 067"
                                           << ""
                                           << ""
                                           << "";
        QTest::newRow("filtered") << QStringList{"row 120", "filter N>2000"} << "Запис 1 от 67"
                                  << "Филтър: N>2000"
                                  << ""
                                  << "";
        QTest::newRow("nothing left") << QStringList{"filter N>5000"} << "Няма записи"
                                      << "Филтър: N>5000"
                                      << ""
                                      << "";
        QTest::newRow("filter cleared") << QStringList{"filter N>2000", "clear"} << "Запис 1"
                                        << ""
                                        << ""
                                        << "";
        QTest::newRow("sorted") << QStringList{"sort B"} << "Запис 1"
                                << ""
                                << "Ред: B"
                                << "";
        QTest::newRow("sorted by two") << QStringList{"sort B", "sort+ N", "row 3"} << "Запис 3"
                                       << ""
                                       << "Ред: B, N"
                                       << "";
        QTest::newRow("linked") << QStringList{"link"} << "Запис 1"
                                << ""
                                << "Ред: B" << linked;
        QTest::newRow("linked, at the end") << QStringList{"link", "end"} << "Запис 296 от 296"
                                            << ""
                                            << "Ред: B" << linked;
        QTest::newRow("master moved") << QStringList{"link", "master row 3", "end"} << "Запис 295 от 295"
                                      << ""
                                      << "Ред: B" << linked;
        QTest::newRow("linked, filtered and sorted")
            << QStringList{"link", "filter N<100", "sort N", "row 2"} << "Запис 2 от 15"
            << "Филтър: N<100"
            << "Ред: B, N" << linked;
        QTest::newRow("unlinked") << QStringList{"link", "sort N", "unlink"} << "Запис 1"
                                  << ""
                                  << ""
                                  << "";
    }
    void texts() {
        QFETCH(QStringList, steps);
        auto* form = F.OpenForm(QStringLiteral("NUMS"));
        Run(form, steps);
        const TTableStatus status = TableStatusOf(form);
        QTEST(status.Position, "position");
        QTEST(status.Filter, "filter");
        QTEST(status.Order, "order");
        QTEST(status.Link, "link");
    }

    void noTableOpen() {
        auto* form = new TDbTableForm(F.Frame.get());
        const TTableStatus status = TableStatusOf(form);
        QVERIFY(status.Position.isEmpty());
        QVERIFY(TableStatusOf(nullptr).Position.isEmpty());
    }

    // While the data set does not know its count, the position stands
    // alone, and telling it reads and counts nothing.
    void countUnknown() {
        auto* form = F.OpenForm(QStringLiteral("NUMS"));
        // Without the grid nothing else asks for the count.
        form->dbgData->SetDataSource(nullptr);
        form->tblData->Close();
        form->tblData->Open();
        form->tblData->MoveBy(4);
        QCOMPARE(form->tblData->KnownRecordCount(), -1);
        const qint64 read = form->tblData->RowsRead();
        QCOMPARE(TableStatusOf(form).Position, QStringLiteral("Запис 5"));
        QCOMPARE(form->tblData->RowsRead(), read);
        QCOMPARE(form->tblData->KnownRecordCount(), -1);
        form->tblData->Last();
        QCOMPARE(TableStatusOf(form).Position, QStringLiteral("Запис 2 067 от 2 067"));
    }

    // Each title of the order carries an arrow, and its place when the order
    // has more than one field; the others stay as they are.
    void sortMarks_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("natural order") << "NUMS" << QStringList{} << QStringList{"N", "B"};
        QTest::newRow("plain click") << "NUMS" << QStringList{"!B"} << QStringList{"N", "B"};
        QTest::newRow("one field") << "NUMS" << QStringList{"sort B"} << QStringList{"N", "▲ B"};
        QTest::newRow("replaced") << "NUMS" << QStringList{"sort B", "sort N"} << QStringList{"▲ N", "B"};
        QTest::newRow("two fields") << "NUMS" << QStringList{"sort B", "sort+ N"}
                                    << QStringList{"▲2 N", "▲1 B"};
        QTest::newRow("moved to the end")
            << "NUMS" << QStringList{"sort B", "sort+ N", "sort+ B"} << QStringList{"▲1 N", "▲2 B"};
        QTest::newRow("link field first")
            << "NUMS" << QStringList{"link", "sort N"} << QStringList{"▲2 N", "▲1 B"};
        QTest::newRow("link breaks, marks go")
            << "NUMS" << QStringList{"link", "sort N", "unlink"} << QStringList{"N", "B"};
        QTest::newRow("names with ; and blanks")
            << "ODD" << QStringList{"sort my col", "sort+ c;d"} << QStringList{"▲2 c;d", "▲1 my col"};
    }
    void sortMarks() {
        QFETCH(QString, table);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, titles);
        auto* form = F.OpenForm(table);
        for (const QString& step : steps) {
            if (step.startsWith('!'))
                ClickTitle(form, step.mid(1), Qt::NoModifier);
            else
                Run(form, {step});
        }
        QCOMPARE(Titles(form), titles);
        // The arrow and the place are not cut off by the column's width.
        const QFontMetrics metrics(form->dbgData->horizontalHeader()->font());
        for (int i = 0; i < titles.size(); ++i)
            QVERIFY2(metrics.horizontalAdvance(titles[i]) <= form->dbgData->columnWidth(i),
                     qPrintable(titles[i]));
    }

    void titleToolTip() {
        auto* form = F.OpenForm(QStringLiteral("NUMS"));
        const QString tip = form->dbgData->model()->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString();
        QCOMPARE(tip, SortTitleToolTip());
        QVERIFY(tip.startsWith(QStringLiteral("Ctrl+щракване")));
        QVERIFY(!form->dbgData->model()->headerData(0, Qt::Vertical, Qt::ToolTipRole).isValid());
    }
};

TAMSEL_TEST(TableStatusTest);
#include "TableStatusTest.moc"
