#include "BrowseFixture.h"
#include "browse/ColumnsDialog.h"
#include "browse/FrozenColumns.h"
#include "common/PlatformDialogs.h"
#include "common/WindowMessage.h"
#include "support/ProgressCanceller.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <functional>

// Rows copied with their titles, and the columns a user hides and freezes.
class GridColumnsTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

    // Opens a context menu as a right click does and picks the entry
    // caption; then runs after (with a dialog the entry opened). Returns
    // the menu's entries.
    static QStringList Pick(QWidget* target, const QPoint& pos, const QString& caption,
                            const std::function<void()>& after = {}) {
        QStringList entries;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            QAction* picked = nullptr;
            for (QAction* action : menu->actions()) {
                entries << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
                if (action->text() == caption) picked = action;
            }
            menu->close();
            if (!picked) return;
            if (after) QTimer::singleShot(0, after);
            picked->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &event);
        return entries;
    }

    static QStringList PickTitle(TDbTableForm* form, int column, const QString& caption,
                                 const std::function<void()>& after = {}) {
        QHeaderView* titles = form->dbgData->horizontalHeader();
        return Pick(titles->viewport(),
                    QPoint(titles->sectionViewportPosition(column) + 3, titles->height() / 2), caption,
                    after);
    }

    static QString CopyRows(TDbTableForm* form) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        Pick(form->dbgData->viewport(), QPoint(5, 5), QStringLiteral("Копирай редовете със заглавията"));
        return QGuiApplication::clipboard()->text();
    }

    QByteArray ExportPlain(TDbTableForm* form) {
        const QString path = F.Path + QStringLiteral(".columns.txt");
        const auto previous =
            SetSaveFileResponder([&](const QString&, const QString&, const QString&,
                                     const QString&) -> std::optional<QString> { return path; });
        SendWindowMessage(form, 1028);
        SetSaveFileResponder(previous);
        return ReadFile(path);
    }

private slots:
    void initTestCase() {
        QVERIFY(
            F.Create(QStringLiteral("columns"),
                     {"create table \"ДОСТАВКИ\" (\"Номер\" integer, \"Име на стока\" varchar(30), "
                      "\"Цена\" decimal(20,2), NOTE varchar(20))",
                      "insert into \"ДОСТАВКИ\" values (1, 'винт', 12345678901234567, "
                      "'a' || char(9) || 'b'), (2, 'гайка', null, null), "
                      "(3, 'шайба \\ 8', 0.5, 'ред1' || char(13) || char(10) || 'ред2'), (4, 'x', 1, 'y')",
                      "create table OTHER (A integer, B integer)", "insert into OTHER values (1, 2)",
                      "create table MANY (N integer)",
                      "insert into MANY with recursive c(n) as (select 1 union all select n + 1 from c "
                      "where n < 100500) select n from c"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    void copiesSelectedRowsWithTitles() {
        auto* form = F.OpenForm(QStringLiteral("ДОСТАВКИ"));
        F.Focus(form->dbgData);
        F.Select(form, 0, 1);
        // Without a selection, the current row.
        QCOMPARE(CopyRows(form), QStringLiteral("Номер\tИме на стока\tЦена\tNOTE\n"
                                                "1\tвинт\t12345678901234567\ta\\-b\n"));
        // Shift+Down twice selects three rows; the grid stays on the last.
        QTest::keyClick(form->dbgData, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(form->dbgData, Qt::Key_Down, Qt::ShiftModifier);
        QVERIFY(form->dbgData->RecordSelected(1) && form->dbgData->RecordSelected(3));
        QVERIFY(!form->dbgData->RecordSelected(4));
        const QString three = QStringLiteral("Номер\tИме на стока\tЦена\tNOTE\n"
                                             "1\tвинт\t12345678901234567\ta\\-b\n"
                                             "2\tгайка\t\t\n"
                                             "3\tшайба \\\\ 8\t0.5\tред1\\.\\_ред2\n");
        QCOMPARE(CopyRows(form), three);
        QCOMPARE(form->tblData->RecNo(), 3);
        QVERIFY(form->dbgData->RecordSelected(1));
        // Shift+click from below selects the same rows upwards; a plain move drops them.
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QVERIFY(!form->dbgData->RecordSelected(3));
        F.Select(form, 2, 0);
        const QRect first = form->dbgData->visualRect(form->dbgData->model()->index(0, 0));
        QTest::mouseClick(form->dbgData->viewport(), Qt::LeftButton, Qt::ShiftModifier, first.center());
        QCOMPARE(CopyRows(form), three);
        // A hidden column is left out.
        form->dbgData->HideColumn(3, true);
        QCOMPARE(CopyRows(form).section(QLatin1Char('\n'), 0, 1),
                 QStringLiteral("Номер\tИме на стока\tЦена\n1\tвинт\t12345678901234567"));
    }

    void longCopyCanBeCancelled() {
        auto* form = F.OpenForm(QStringLiteral("MANY"));
        F.Focus(form->dbgData);
        QTest::keyClick(form->dbgData, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        int first = 0;
        int last = 0;
        form->dbgData->SelectedRecords(first, last);
        QCOMPARE(first, 1);
        QCOMPARE(last, 100500);
        ProgressCanceller canceller;
        QCOMPARE(CopyRows(form), QStringLiteral("before"));
        QVERIFY(canceller.Seen);
        QCOMPARE(canceller.Maximum, 100500);
        QVERIFY(canceller.Label.startsWith(QStringLiteral("Копирани редове: ")));
        QCOMPARE(form->tblData->RecNo(), 100500);
        QVERIFY(form->dbgData->RecordSelected(1));
    }

    void hiddenAndFrozenColumns() {
        auto* form = F.OpenForm(QStringLiteral("ДОСТАВКИ"));
        TDBGrid* grid = form->dbgData;
        F.Select(form, 0, 2);
        const int priceWidth = grid->columnWidth(2);
        const int nameWidth = grid->columnWidth(1);
        // The title's menu hides the column; the current cell moves off it.
        QCOMPARE(PickTitle(form, 2, QStringLiteral("Скрий колоната")),
                 (QStringList{"Скрий колоната", "Колони..."}));
        QVERIFY(grid->isColumnHidden(2));
        QCOMPARE(grid->SelectedField()->FieldName(), QStringLiteral("NOTE"));

        // "Колони..." lists every column by name; the last one is hidden
        // there and the first frozen.
        QStringList listed;
        PickTitle(form, 0, QStringLiteral("Колони..."), [&] {
            auto* dialog = qobject_cast<TColumnsDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            for (int i = 0; i < dialog->lvColumns->count(); ++i)
                listed << dialog->lvColumns->item(i)->text() +
                              (dialog->lvColumns->item(i)->checkState() == Qt::Checked ? "+" : "-");
            dialog->lvColumns->item(3)->setCheckState(Qt::Unchecked);
            dialog->edFrozen->setValue(1);
            dialog->accept();
        });
        QCOMPARE(listed, (QStringList{"Номер+", "Име на стока+", "Цена-", "NOTE+"}));
        QVERIFY(grid->isColumnHidden(3));
        QCOMPARE(grid->ShownColumnCount(), 2);
        QCOMPARE(grid->columnWidth(1), nameWidth);
        QCOMPARE(grid->SelectedField()->FieldName(), QStringLiteral("Име на стока"));

        // The export leaves hidden columns out; the hidden last one still
        // leaves its separator.
        QCOMPARE(ExportPlain(form), Win1251Lines({"Номер\tИме на стока\t", "1\tвинт\t", "2\tгайка\t",
                                                  "3\tшайба \\\\ 8\t", "4\tx\t"}));

        // The frozen column stays while the grid scrolls sideways.
        auto* frozen = grid->findChild<TFrozenColumns*>();
        QVERIFY(frozen && frozen->isVisible());
        QVERIFY(frozen->Shows(0) && !frozen->Shows(1));
        grid->setColumnWidth(0, 150);
        grid->setColumnWidth(1, 2000);
        QCOMPARE(frozen->width(), 150);
        QTRY_VERIFY(grid->horizontalScrollBar()->maximum() > 150);
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        QVERIFY(grid->columnViewportPosition(1) < 0);
        QCOMPARE(frozen->geometry().left(), grid->viewport()->geometry().left());
        QCOMPARE(frozen->columnViewportPosition(0), 0);
        // A click on it moves the grid's record; Right moves on into the
        // scrolled columns, and back, Left, into the frozen one.
        F.Focus(form->edFilter);
        const QRect second = frozen->visualRect(frozen->model()->index(1, 0));
        QTest::mouseClick(frozen->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
        QCOMPARE(form->tblData->RecNo(), 2);
        QCOMPARE(grid->currentIndex().column(), 0);
        QVERIFY(grid->hasFocus());
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(grid->currentIndex().column(), 1);
        QVERIFY(grid->columnViewportPosition(1) >= frozen->width() - 1);
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(grid->currentIndex().column(), 0);

        // A refresh or a new order keeps the choice; another table shows
        // every column again.
        F.Choose(form, QStringLiteral("ДОСТАВКИ"));
        QVERIFY(grid->isColumnHidden(2) && grid->isColumnHidden(3));
        // Shown again, a column is as wide as it was.
        grid->HideColumn(2, false);
        QCOMPARE(grid->columnWidth(2), priceWidth);
        grid->HideColumn(2, true);
        ClickTitle(form, QStringLiteral("Номер"), Qt::ControlModifier);
        QVERIFY(grid->isColumnHidden(2) && grid->isColumnHidden(3));
        QCOMPARE(grid->FrozenColumns(), 1);
        F.Choose(form, QStringLiteral("OTHER"));
        QCOMPARE(grid->ShownColumnCount(), 2);
        QCOMPARE(grid->FrozenColumns(), 0);
        QVERIFY(!grid->findChild<TFrozenColumns*>());
        // The last shown column cannot be hidden.
        grid->HideColumn(0, true);
        QCOMPARE(PickTitle(form, 1, QStringLiteral("Скрий колоната")),
                 (QStringList{"Скрий колоната (off)", "Колони..."}));
        QCOMPARE(grid->ShownColumnCount(), 1);
    }
};

TAMSEL_TEST(GridColumnsTest);
#include "GridColumnsTest.moc"
