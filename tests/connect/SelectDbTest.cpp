#include "TestDataSources.h"
#include "connect/SelectDbUnit.h"
#include "engine/TDatabase.h"
#include "support/TestRegistry.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

// The alias chooser on data sources of several drivers.
class SelectDbTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestDataSources> FSources;

    void AddMixedSources() {
        FSources->Add(QStringLiteral("Zeta"), QStringLiteral("SQL Anywhere 11"));
        FSources->Add(QStringLiteral("Twelve"), QStringLiteral("SQL Anywhere 12"));
        FSources->Add(QStringLiteral("lower"), QStringLiteral("sql anywhere 11"));
        FSources->Add(QStringLiteral("alpha"), QStringLiteral("SQL Anywhere 11"));
        FSources->Add(QStringLiteral("Lite"), QStringLiteral("SQLite3"));
        FSources->Add(QStringLiteral("Middle"), QStringLiteral("SQL Anywhere 11"));
        FSources->Add(QStringLiteral("Prefixed"), QStringLiteral("SQL Anywhere 11 Network"));
    }
    static QStringList Entries(const TSelectDbForm& form) {
        QStringList entries;
        for (int i = 0; i < form.cbDbList->count(); ++i)
            entries << form.cbDbList->item(i)->text();
        return entries;
    }

private slots:
    void init() { FSources = std::make_unique<TTestDataSources>(); }
    void cleanup() { FSources.reset(); }

    void listsOnlyTheDriverSorted() {
        AddMixedSources();
        TSelectDbForm form;
        QCOMPARE(Entries(form), (QStringList{"alpha", "Middle", "Zeta"}));
        QCOMPARE(form.AliasName(), QString());
        QCOMPARE(form.windowTitle(), QStringLiteral("Select Database Alias"));
        QCOMPARE(form.btOk->text(), QStringLiteral("O&k"));
        QCOMPARE(form.btCancel->text(), QStringLiteral(" &Cancel"));
        // A data source added since is listed the next time.
        FSources->Add(QStringLiteral("Beta"), QStringLiteral("SQL Anywhere 11"));
        TSelectDbForm again;
        QCOMPARE(Entries(again), (QStringList{"alpha", "Beta", "Middle", "Zeta"}));
    }

    // Names in any script, as the ini files hold them.
    void listsNamesInAnyScript() {
        FSources->Add(QStringLiteral("Склад 😀"), QStringLiteral("SQL Anywhere 11"));
        FSources->Add(QStringLiteral("база"), QStringLiteral("SQL Anywhere 11"));
        FSources->Add(QStringLiteral("Други"), QStringLiteral("SQLite3"));
        FSources->Add(QStringLiteral("Zeta"), QStringLiteral("SQL Anywhere 11"));
        TDatabase target;
        target.SetDatabaseName(QStringLiteral("БАЗА"));
        TSelectDbForm form;
        QCOMPARE(Entries(form), (QStringList{"Zeta", "база", "Склад 😀"}));
        QCOMPARE(form.AliasName(), QStringLiteral("база"));
    }

    void preselection_data() {
        QTest::addColumn<QString>("connected");
        QTest::addColumn<QString>("selected");
        QTest::newRow("same letters") << "Middle"
                                      << "Middle";
        QTest::newRow("other case") << "ZETA"
                                    << "Zeta";
        QTest::newRow("not listed") << "Twelve"
                                    << "";
        QTest::newRow("none yet") << ""
                                  << "";
    }
    void preselection() {
        QFETCH(QString, connected);
        QFETCH(QString, selected);
        AddMixedSources();
        TDatabase target;
        target.SetDatabaseName(connected);
        TSelectDbForm form;
        QCOMPARE(form.AliasName(), selected);
    }

    void openingClosesTheConnection() {
        FSources->AddEmbedded(QStringLiteral("Zeta"), {});
        TDatabase target;
        target.SetDatabaseName(QStringLiteral("Zeta"));
        target.SetAliasName(QStringLiteral("Zeta"));
        target.Params() << QStringLiteral("USER NAME=dba") << QStringLiteral("PASSWORD=sql");
        target.SetLoginPrompt(false);
        target.SetConnected(true);
        TSelectDbForm form;
        QVERIFY(!target.Connected());
        QCOMPARE(form.AliasName(), QStringLiteral("Zeta"));
    }

    void closing_data() {
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result"); // 0: stays open
        QTest::newRow("Enter") << true << "enter" << 1;
        QTest::newRow("Enter, nothing selected") << false << "enter" << 0;
        QTest::newRow("Ok, nothing selected") << false << "ok" << 0;
        QTest::newRow("Ok") << true << "ok" << 1;
        QTest::newRow("double-click") << true << "double" << 1;
        QTest::newRow("Down and Enter, nothing selected") << false << "down enter" << 1;
        QTest::newRow("Escape") << true << "escape" << 2;
        QTest::newRow("Escape, nothing selected") << false << "escape" << 2;
        QTest::newRow("Cancel, nothing selected") << false << "cancel" << 2;
    }
    void closing() {
        QFETCH(bool, select);
        QFETCH(QString, action);
        QFETCH(int, result);
        AddMixedSources();
        TSelectDbForm form;
        if (select) form.cbDbList->setCurrentRow(1);
        int got = -1;
        bool stayedOpen = false;
        QTimer::singleShot(0, &form, [&] {
            QListWidget* list = form.cbDbList;
            list->setFocus();
            if (action == QLatin1String("enter")) QTest::keyClick(list, Qt::Key_Return);
            if (action == QLatin1String("down enter")) {
                QTest::keyClick(list, Qt::Key_Down);
                QTest::keyClick(list, Qt::Key_Return);
            }
            if (action == QLatin1String("escape")) QTest::keyClick(list, Qt::Key_Escape);
            if (action == QLatin1String("ok")) QTest::mouseClick(form.btOk, Qt::LeftButton);
            if (action == QLatin1String("cancel")) QTest::mouseClick(form.btCancel, Qt::LeftButton);
            if (action == QLatin1String("double")) {
                const QPoint at = list->visualItemRect(list->item(1)).center();
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            }
            stayedOpen = form.isVisible();
            if (stayedOpen) form.done(TSelectDbForm::mrCancel);
        });
        got = form.exec();
        QCOMPARE(stayedOpen, result == 0);
        QCOMPARE(got, result == 0 ? int(TSelectDbForm::mrCancel) : result);
        if (result == 1)
            QCOMPARE(form.AliasName(), select ? QStringLiteral("Middle") : QStringLiteral("alpha"));
    }

    void noDataSources() {
        TSelectDbForm form;
        QCOMPARE(form.cbDbList->count(), 0);
        QTimer::singleShot(0, &form, [&] { QTest::keyClick(form.cbDbList, Qt::Key_Return); });
        QTimer::singleShot(50, &form, [&] {
            QVERIFY(form.isVisible());
            QTest::keyClick(form.cbDbList, Qt::Key_Escape);
        });
        QCOMPARE(form.exec(), int(TSelectDbForm::mrCancel));
    }

    void enlargingMovesButtonsAndGrowsList() {
        TSelectDbForm form;
        form.show();
        const QRect list = form.cbDbList->geometry();
        const int okGap = form.width() - form.btOk->geometry().right();
        QCOMPARE(list.topLeft(), QPoint(7, 7));
        QCOMPARE(form.btOk->y(), 7);
        QCOMPARE(form.btCancel->y(), 45);
        form.resize(form.width() + 120, form.height() + 80);
        QCOMPARE(form.cbDbList->width(), list.width() + 120);
        QCOMPARE(form.cbDbList->height(), list.height() + 80);
        QCOMPARE(form.width() - form.btOk->geometry().right(), okGap);
        QCOMPARE(form.btCancel->x(), form.btOk->x());
        form.resize(10, 10);
        QVERIFY(form.width() >= 292 && form.height() >= 168);
    }
};

TAMSEL_TEST(SelectDbTest);
#include "SelectDbTest.moc"
