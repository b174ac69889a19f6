#include "BrowseFixture.h"
#include "common/WindowMessage.h"
#include "engine/TDataSource.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QToolButton>
#include <QWindow>

class FilterTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

    static void SetEntries(TDbTableForm* form, const QStringList& entries) {
        form->edFilter->clear();
        form->edFilter->addItems(entries);
        form->edFilter->setEditText(QString());
    }

private slots:
    void initTestCase() {
        QVERIFY(
            F.Create(QStringLiteral("filter"),
                     {"create table T (ID integer, A integer, B integer, NAME varchar(20), QTY integer, "
                      "PRICE float)",
                      "insert into T values (1, 1, 2, 'O''Brien', 5, 1.5), (10, 1, 3, 'Smith', 7, 2), "
                      "(3, 2, 2, null, null, null)",
                      "create table M (ID integer)", "insert into M values (1), (10)",
                      "create table ODD (\"my col\" varchar(20), \"it's\" varchar(20), \"a;b\" varchar(20), "
                      "\"order\" integer, \"AND\" varchar(20))",
                      "insert into ODD values ('Star*', 'x', 'АБВ', 1, 'O''B*'), ('Starry', 'y', 'абв', 2, "
                      "'O''Brien')",
                      // A megabyte of text in one cell, a quote at its start.
                      "create table BIG (ID integer, TXT text)",
                      "insert into BIG values (1, 'O''' || replace(hex(zeroblob(500000)), '0', 'ж')), "
                      "(2, 'small')"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
        FilterHistory.clear();
    }

    void history_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("rows");
        QTest::newRow("case-insensitive duplicate replaced")
            << QStringList{"B=2", "a=1"} << "A=1" << QStringList{"A=1", "B=2"} << 2;
        QTest::newRow("first entry again")
            << QStringList{"A=1", "B=2"} << "A=1" << QStringList{"A=1", "B=2"} << 2;
        QTest::newRow("older entry moves up")
            << QStringList{"A=1", "B=2"} << "B=2" << QStringList{"B=2", "A=1"} << 2;
        QTest::newRow("new entry") << QStringList{"A=1"} << "QTY=7" << QStringList{"QTY=7", "A=1"} << 1;
        QTest::newRow("empty box adds nothing") << QStringList{"A=1"} << "" << QStringList{"A=1"} << 3;
    }
    void history() {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(int, rows);
        auto* form = F.OpenForm(QStringLiteral("T"));
        SetEntries(form, entries);
        form->edFilter->setEditText(text);
        F.Focus(form->edFilter->lineEdit());
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
        QCOMPARE(F.Entries(form->edFilter), expected);
        QCOMPARE(form->edFilter->currentText(), text);
        QCOMPARE(form->tblData->Filter(), text);
        QCOMPARE(form->tblData->Filtered(), !text.isEmpty());
        QCOMPARE(form->dbgData->model()->rowCount(), rows);
        QCOMPARE(form->edFilter->lineEdit()->selectedText(), text);
    }

    void rejectedExpression() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        SetEntries(form, {"A=1"});
        form->edFilter->setEditText(QStringLiteral("A=1"));
        form->ApplyFilter();
        ScriptedMsgBox boxes;
        form->edFilter->setEditText(QStringLiteral("QTY = = 5"));
        SendWindowMessage(form, 2035);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
        QCOMPARE(boxes.Last().Flags, 48);
        QVERIFY(!boxes.Last().Text.isEmpty());
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("QTY = = 5"));
        QCOMPARE(F.Entries(form->edFilter), QStringList{"A=1"});
        QCOMPARE(form->tblData->Filter(), QStringLiteral("A=1"));
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
    }

    // A text the engine takes but the server refuses (nested deeper than
    // SQLite's parser goes) leaves the window as it was.
    void refusedByServer() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        SetEntries(form, {"A=1"});
        form->edFilter->setEditText(QStringLiteral("A=1"));
        form->ApplyFilter();
        form->tblData->Next();
        ScriptedMsgBox boxes;
        const QString deep = QStringLiteral("NOT ").repeated(150) + QStringLiteral("QTY=5");
        form->edFilter->setEditText(deep);
        form->ApplyFilter();
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
        QVERIFY2(boxes.Last().Text.contains(QStringLiteral("stack overflow")), qPrintable(boxes.Last().Text));
        QCOMPARE(F.Entries(form->edFilter), QStringList{"A=1"});
        QCOMPARE(form->tblData->Filter(), QStringLiteral("A=1"));
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
        QCOMPARE(form->tblData->RecNo(), 2);
        QCOMPARE(form->dbgData->model()->index(1, 0).data().toString(), QStringLiteral("10"));
        form->edFilter->setEditText(QStringLiteral("A=1"));
        form->ApplyFilter();
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
        form->edFilter->setEditText(QStringLiteral("B=2"));
        form->ApplyFilter();
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
        QCOMPARE(F.Entries(form->edFilter), (QStringList{"B=2", "A=1"}));
    }

    void enterWithDropDownOpen() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        SetEntries(form, {"A=1", "B=2"});
        form->edFilter->setEditText(QStringLiteral("QTY=5"));
        F.Focus(form->edFilter->lineEdit());
        form->edFilter->showPopup();
        QTRY_VERIFY(form->edFilter->view()->isVisible());
        QAbstractItemView* list = form->edFilter->view();
        list->setCurrentIndex(list->model()->index(1, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        // The entry is taken into the box; nothing is filtered yet.
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("B=2"));
        QCOMPARE(form->tblData->Filter(), QString());
        QCOMPARE(form->dbgData->model()->rowCount(), 3);
    }

    void typedTextIsKept() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        SetEntries(form, {"QTY=7"});
        F.Focus(form->edFilter->lineEdit());
        QTest::keyClicks(form->edFilter->lineEdit(), QStringLiteral("QTY=5"));
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("QTY=5"));
        // Enter goes through the window to whichever widget holds the focus,
        // as the windowing system delivers it.
        QWindow* window = form->window()->windowHandle();
        QVERIFY(window);
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        QCOMPARE(F.Entries(form->edFilter), (QStringList{"QTY=5", "QTY=7"}));
    }

    void filterByField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted text") << "" << 0 << 3 << "NAME='O''Brien'";
        QTest::newRow("number") << "" << 0 << 4 << "QTY=5";
        QTest::newRow("float with point") << "" << 0 << 5 << "PRICE=1.5";
        QTest::newRow("second condition") << "NAME='O''Brien'" << 0 << 4 << "NAME='O''Brien' AND QTY=5";
        QTest::newRow("substring blocks") << "ID=10" << 0 << 0 << "ID=10";
        QTest::newRow("same condition once") << "QTY=5" << 0 << 4 << "QTY=5";
        QTest::newRow("null number") << "" << 1 << 4 << "QTY=";
        QTest::newRow("null text") << "" << 1 << 3 << "NAME=''";
    }
    void filterByField() {
        QFETCH(QString, text);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, expected);
        auto* form = F.OpenForm(QStringLiteral("T"));
        {
            ScopedModifiers ctrl(Qt::ControlModifier);
            form->dbgDataTitleClick(0);
        }
        form->edFilter->setEditText(text);
        F.Select(form, row, column);
        QTest::mouseClick(form->btFilterByField, Qt::LeftButton);
        QCOMPARE(form->edFilter->currentText(), expected);
        QCOMPARE(form->edFilter->lineEdit()->cursorPosition(), int(expected.size()));
        QTRY_VERIFY(form->edFilter->lineEdit()->hasFocus());
        // Not applied until asked.
        QCOMPARE(form->tblData->Filter(), QString());
        // What the command writes, the filter accepts.
        ScriptedMsgBox boxes;
        form->ApplyFilter();
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(form->dbgData->model()->rowCount() >= 1 || expected.endsWith('='));
    }

    // Names the language would misread go in brackets, a trailing "*" is
    // written with "==": the condition keeps exactly the row it came from.
    void filterByFieldOnOddData_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blank in the name, star in the text") << 0 << "[my col]=='Star*'";
        QTest::newRow("quote in the name") << 1 << "[it's]='x'";
        QTest::newRow("semicolon in the name, Cyrillic") << 2 << "[a;b]='АБВ'";
        QTest::newRow("reserved word of SQL") << 3 << "order=1";
        QTest::newRow("keyword of the filter, quote and star") << 4 << "[AND]=='O''B*'";
    }
    void filterByFieldOnOddData() {
        QFETCH(int, column);
        QFETCH(QString, expected);
        auto* form = F.OpenForm(QStringLiteral("ODD"));
        F.Select(form, 0, column);
        SendWindowMessage(form, 2036);
        QCOMPARE(form->edFilter->currentText(), expected);
        ScriptedMsgBox boxes;
        F.Focus(form->edFilter->lineEdit());
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
        QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        QCOMPARE(F.Cell(form, 0, 0), QStringLiteral("Star*"));
    }

    void beginsWithIgnoresCaseInEveryAlphabet_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("rows");
        QTest::newRow("Cyrillic lower case") << "[a;b]='аб*'" << 2;
        QTest::newRow("Cyrillic capitals") << "[a;b]='АБВ*'" << 2;
        QTest::newRow("Latin") << "[my col]='sTAR*'" << 2;
        QTest::newRow("not") << "[a;b]<>'Аб*'" << 0;
        QTest::newRow("percent stays literal") << "[my col]='St%*'" << 0;
        QTest::newRow("underscore stays literal") << "[my col]='St_r*'" << 0;
    }
    void beginsWithIgnoresCaseInEveryAlphabet() {
        QFETCH(QString, filter);
        QFETCH(int, rows);
        auto* form = F.OpenForm(QStringLiteral("ODD"));
        form->edFilter->setEditText(filter);
        ScriptedMsgBox boxes;
        SendWindowMessage(form, 2035);
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(form->dbgData->model()->rowCount(), rows);
    }

    // The box keeps a text of any length as typed, far past the toolkit's
    // usual limit of 32,767 characters.
    void longFilterIsKeptWhole() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        QString filter = QStringLiteral("NAME='%1'").arg(QString(200, QChar(u'ж')));
        while (filter.size() < 40000)
            filter += QStringLiteral(" OR NAME='%1'").arg(QString(200, QChar(u'я')));
        filter += QStringLiteral(" OR NAME='Smith'");
        form->edFilter->setEditText(filter);
        QCOMPARE(form->edFilter->currentText().size(), filter.size());
        F.Focus(form->edFilter->lineEdit());
        form->edFilter->lineEdit()->end(false);
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Space);
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
        QCOMPARE(form->tblData->Filter(), filter + QLatin1Char(' '));
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        QCOMPARE(form->FilterText(), filter + QLatin1Char(' '));
        qobject_cast<QMdiSubWindow*>(form->parentWidget())->close();
        QCOMPARE(FilterHistory.value(0), filter + QLatin1Char(' '));
    }

    // Alt+F3 on a megabyte of text: the box and its list show the condition
    // cut, so that no paint lays out more than fits on a screen; the whole
    // condition is what is applied, kept in the history and taken from it.
    void hugeConditionShownCut() {
        auto* form = F.OpenForm(QStringLiteral("BIG"));
        F.Select(form, 0, 1);
        SendWindowMessage(form, 2036);
        const QString condition =
            QStringLiteral("TXT='O''") + QString(1000000, QChar(u'ж')) + QLatin1Char('\'');
        QCOMPARE(form->FilterText(), condition);
        const QString shown = form->edFilter->currentText();
        QCOMPARE(shown.size(), LongestShownFilter);
        QVERIFY(shown.endsWith(QChar(0x2026)) && condition.startsWith(shown.chopped(1)));

        F.Focus(form->edFilter->lineEdit());
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
        QCOMPARE(form->tblData->Filter(), condition);
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        QCOMPARE(F.Entries(form->edFilter), QStringList{shown});
        QCOMPARE(form->edFilter->currentText(), shown);

        // Another window's list shows the entry cut and gives it whole.
        auto* other = F.OpenForm(QStringLiteral("BIG"));
        QCOMPARE(FilterHistory, QStringList{condition});
        QCOMPARE(F.Entries(other->edFilter), QStringList{shown});
        other->edFilter->setEditText(QStringLiteral("ID=2"));
        F.Focus(other->edFilter->lineEdit());
        other->edFilter->showPopup();
        QAbstractItemView* list = other->edFilter->view();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(other->FilterText(), condition);
        other->ApplyFilter();
        QCOMPARE(other->dbgData->model()->rowCount(), 1);
        // A further condition goes after the whole text.
        F.Select(other, 0, 0);
        SendWindowMessage(other, 2036);
        QCOMPARE(other->FilterText(), condition + QStringLiteral(" AND ID=1"));
        // What the user types over the cut text is the filter.
        other->edFilter->lineEdit()->selectAll();
        QTest::keyClicks(other->edFilter->lineEdit(), QStringLiteral("ID=2"));
        QCOMPARE(other->FilterText(), QStringLiteral("ID=2"));
        other->ApplyFilter();
        QCOMPARE(BrowseFixture::Column(other, 1), QStringList{"small"});
    }

    void filterByFieldWithoutTable() {
        auto* form = new TDbTableForm(F.Frame.get());
        form->edFilter->setEditText(QStringLiteral("X"));
        SendWindowMessage(form, 2036);
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("X"));
    }

    void shiftClearsAltBreaksLink_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("linked");
        QTest::newRow("Shift") << int(Qt::ShiftModifier) << true;
        QTest::newRow("Shift+Alt") << int(Qt::ShiftModifier | Qt::AltModifier) << false;
    }
    void shiftClearsAltBreaksLink() {
        QFETCH(int, modifiers);
        QFETCH(bool, linked);
        auto* master = F.OpenForm(QStringLiteral("M"));
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(master, 1, 0);
        QVERIFY(form->LinkToMaster(master->dbgData, 0));
        form->edFilter->setEditText(QStringLiteral("QTY=7"));
        form->ApplyFilter();
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        {
            ScopedModifiers keys{Qt::KeyboardModifiers(modifiers)};
            QTest::mouseClick(form->btFilterByField, Qt::LeftButton);
        }
        QCOMPARE(form->edFilter->currentText(), QString());
        QVERIFY(!form->tblData->Filtered());
        QCOMPARE(form->LinkField.isEmpty(), !linked);
        QCOMPARE(form->dbgData->model()->rowCount(), linked ? 1 : 3);
    }

    void historySharedBetweenWindows() {
        auto* a = F.OpenForm(QStringLiteral("T"));
        auto* b = F.OpenForm(QStringLiteral("T"));
        QMdiSubWindow* windowA =
            a->parentWidget() ? qobject_cast<QMdiSubWindow*>(a->parentWidget()) : nullptr;
        QMdiSubWindow* windowB = qobject_cast<QMdiSubWindow*>(b->parentWidget());
        QVERIFY(windowA && windowB);
        F.Frame->setActiveSubWindow(windowA);
        a->edFilter->setEditText(QStringLiteral("QTY=5"));
        a->ApplyFilter();
        a->edFilter->setEditText(QStringLiteral("A=1"));
        a->ApplyFilter();
        b->edFilter->setEditText(QStringLiteral("typed in B"));
        F.Frame->setActiveSubWindow(windowB);
        QCOMPARE(FilterHistory, (QStringList{"A=1", "QTY=5"}));
        QCOMPARE(F.Entries(b->edFilter), (QStringList{"A=1", "QTY=5"}));
        QCOMPARE(b->edFilter->currentText(), QStringLiteral("typed in B"));
        // B's own filters travel back to A the same way, also when B closes.
        b->edFilter->setEditText(QStringLiteral("B=2"));
        b->ApplyFilter();
        windowB->close();
        QCOMPARE(FilterHistory, (QStringList{"B=2", "A=1", "QTY=5"}));
        F.Frame->setActiveSubWindow(windowA);
        QCOMPARE(F.Entries(a->edFilter), (QStringList{"B=2", "A=1", "QTY=5"}));
    }

    void clearAndApplyByMessage() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        form->edFilter->setEditText(QStringLiteral("A=2"));
        SendWindowMessage(form, 2035);
        QCOMPARE(form->dbgData->model()->rowCount(), 1);
        SendWindowMessage(form, 2037);
        QCOMPARE(form->edFilter->currentText(), QString());
        QCOMPARE(form->tblData->Filter(), QString());
        QVERIFY(!form->tblData->Filtered());
        QCOMPARE(form->dbgData->model()->rowCount(), 3);
        QCOMPARE(F.Entries(form->edFilter), QStringList{"A=2"});
    }
};

TAMSEL_TEST(FilterTest);
#include "FilterTest.moc"
