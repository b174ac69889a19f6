#include "browse/QuerySorter.h"

#include "support/TestRegistry.h"

#include <QTest>

// Each step is "+name" (AddField at the end), "^name" (AddField at the
// front) or "-name" (RemoveField); an empty name after the sign is allowed.
class QuerySorterTest : public QObject {
    Q_OBJECT
private slots:
    void steps_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("add to empty") << QStringList{"+A"} << "A";
        QTest::newRow("add appends") << QStringList{"+A", "+B"} << "A,B";
        QTest::newRow("re-add moves to end") << QStringList{"+A", "+B", "+A"} << "B,A";
        QTest::newRow("front") << QStringList{"+A", "+B", "^C"} << "C,A,B";
        QTest::newRow("front moves existing") << QStringList{"+A", "+B", "^B"} << "B,A";
        QTest::newRow("front stays once") << QStringList{"^L", "+A", "^L"} << "L,A";
        QTest::newRow("empty name on empty") << QStringList{"+"} << "";
        QTest::newRow("empty name keeps list") << QStringList{"+A", "^"} << "A";
        QTest::newRow("remove first") << QStringList{"+A", "+B", "+C", "-A"} << "B,C";
        QTest::newRow("remove middle") << QStringList{"+A", "+B", "+C", "-B"} << "A,C";
        QTest::newRow("remove last") << QStringList{"+A", "+B", "+C", "-C"} << "A,B";
        QTest::newRow("remove only") << QStringList{"+A", "-A"} << "";
        QTest::newRow("remove absent") << QStringList{"+A", "-B"} << "A";
        QTest::newRow("case-sensitive") << QStringList{"+A", "-a"} << "A";
        QTest::newRow("part of a name is no entry")
            << QStringList{"+PARENTID", "+ID", "+ID"} << "PARENTID,ID";
        QTest::newRow("part of a name moved") << QStringList{"+ID", "+PARENTID", "+ID"} << "PARENTID,ID";
        QTest::newRow("suffix of a name") << QStringList{"+ID", "+PARENTID", "-ID"} << "PARENTID";
    }
    void steps() {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);
        TQuerySorter sorter;
        QString returned;
        for (const QString& step : steps) {
            const QString name = step.mid(1);
            if (step.startsWith(QLatin1Char('-')))
                sorter.RemoveField(name);
            else
                returned = sorter.AddField(name, step.startsWith(QLatin1Char('^')));
        }
        QCOMPARE(sorter.SortList, expected);
        if (!steps.last().startsWith(QLatin1Char('-'))) QCOMPARE(returned, expected);
    }

    void clear() {
        TQuerySorter sorter;
        sorter.AddField(QStringLiteral("A"), false);
        sorter.AddField(QStringLiteral("B"), false);
        sorter.Clear();
        QCOMPARE(sorter.SortList, QString());
        QCOMPARE(sorter.AddField(QStringLiteral("C"), true), QStringLiteral("C"));
    }
};

TAMSEL_TEST(QuerySorterTest);
#include "QuerySorterTest.moc"
