#include "RecordView.h"

#include "browse/DbTableUnit.h"
#include "common/KeyTable.h"
#include "engine/Exception.h"
#include "engine/TDataSet.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextLayout>
#include <QVBoxLayout>
#include <cmath>
#include <unordered_map>

namespace {

struct TRecordLine {
    QString Title;
    QString Shown;  // as the grid shows it, or the whole text
    QString Copied; // as Ctrl+C copies it
    bool Null;
};

// Pixels left and right of a value's text; one above and below it.
constexpr int Margin = 3;

QMdiArea* FrameOf(const TDbTableForm* form) {
    auto* window = form ? qobject_cast<QMdiSubWindow*>(form->parentWidget()) : nullptr;
    return window ? window->mdiArea() : nullptr;
}

// A longer value shows this many characters, laid out in a third of a
// second or so, and says how long it is; Ctrl+C copies it whole.
constexpr qsizetype ShownAtMost = 500000;

QString ShownPart(const QString& value) {
    if (value.size() <= ShownAtMost) return value;
    const qsizetype cut = value.at(ShownAtMost - 1).isHighSurrogate() ? ShownAtMost - 1 : ShownAtMost;
    return value.left(cut) +
           QStringLiteral("\n… (показани са първите %1 от %2 знака; Ctrl+C копира цялата стойност)")
               .arg(cut)
               .arg(value.size());
}

// Numbers, dates and times as the grid shows them; a binary value by its
// kind; every other value whole, by the same road as Ctrl+C.
bool ShownAsInGrid(const TField* field) {
    return field->IsNumeric() || field->IsDateTime() || field->DataType() == TFieldType::ftBlob;
}

} // namespace

// A line for each field: its title, and its value or a NULL mark.
class TRecordModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetLines(QList<TRecordLine> lines) {
        beginResetModel();
        FLines = std::move(lines);
        endResetModel();
    }
    const TRecordLine& Line(int row) const { return FLines.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(FLines.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= FLines.size()) return {};
        const TRecordLine& line = FLines.at(index.row());
        const bool value = index.column() == 1;
        switch (role) {
        case Qt::DisplayRole:
            return !value ? line.Title : line.Null ? QStringLiteral("NULL") : line.Shown;
        case Qt::ToolTipRole:
            return value ? QVariant() : line.Title;
        case Qt::FontRole:
            if (value && line.Null) {
                QFont italic;
                italic.setItalic(true);
                return italic;
            }
            return {};
        case Qt::ForegroundRole:
            return value && line.Null ? QVariant(QColor(Qt::gray)) : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return section == 0 ? QStringLiteral("Поле") : QStringLiteral("Стойност");
    }

private:
    QList<TRecordLine> FLines;
};

// Values wrapped across their column, laid out once for each width: a text
// of megabytes is laid out when it is shown, and each paint draws only the
// lines in sight.
class TRecordValueDelegate : public QStyledItemDelegate {
public:
    explicit TRecordValueDelegate(QTableView* view) : QStyledItemDelegate(view), FView(view) {}

    void Forget() { FLayouts.clear(); }

    int Height(const QModelIndex& index) const {
        return int(std::ceil(Layout(index).boundingRect().height())) + 2;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() != 1) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        painter->save();
        painter->setPen(opt.state & QStyle::State_Selected ? opt.palette.color(QPalette::HighlightedText)
                        : foreground.isValid()             ? foreground.value<QColor>()
                                                           : opt.palette.color(QPalette::Text));
        Layout(index).draw(painter, opt.rect.topLeft() + QPoint(Margin, 1), {},
                           opt.rect.intersected(FView->viewport()->rect()));
        painter->restore();
    }

private:
    const QTextLayout& Layout(const QModelIndex& index) const {
        const int width = qMax(1, FView->columnWidth(1) - 2 * Margin);
        if (width != FWidth) {
            FLayouts.clear();
            FWidth = width;
        }
        std::unique_ptr<QTextLayout>& layout = FLayouts[index.row()];
        if (layout) return *layout;
        QString text = index.data(Qt::DisplayRole).toString();
        text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
        text.replace(QLatin1Char('\n'), QChar::LineSeparator);
        text.replace(QLatin1Char('\r'), QChar::LineSeparator);
        const QFont font = index.data(Qt::FontRole).value<QFont>().resolve(FView->font());
        layout = std::make_unique<QTextLayout>(text, font);
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(wrap);
        layout->beginLayout();
        qreal y = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout->endLayout();
        return *layout;
    }

    QTableView* FView;
    mutable int FWidth = -1;
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> FLayouts;
};

TRecordView::TRecordView(QMdiArea* frame, QWidget* parent)
    : QWidget(parent), FFrame(frame), FModel(new TRecordModel(this)) {
    setObjectName(QStringLiteral("RecordView"));
    setWindowTitle(QStringLiteral("Запис"));

    lbSource = new QLabel(this);
    lbSource->setObjectName(QStringLiteral("lbSource"));
    lbSource->setTextFormat(Qt::PlainText);
    lbSource->setWordWrap(true);

    lvRecord = new QTableView(this);
    lvRecord->setObjectName(QStringLiteral("lvRecord"));
    lvRecord->setModel(FModel);
    FDelegate = new TRecordValueDelegate(lvRecord);
    lvRecord->setItemDelegateForColumn(1, FDelegate);
    lvRecord->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRecord->setSelectionMode(QAbstractItemView::SingleSelection);
    lvRecord->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvRecord->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A bar that came and went with the heights would change the width they
    // were laid out for.
    lvRecord->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lvRecord->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvRecord->setWordWrap(false);
    lvRecord->setTabKeyNavigation(false);
    lvRecord->verticalHeader()->hide();
    lvRecord->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvRecord->horizontalHeader()->setStretchLastSection(true);
    lvRecord->horizontalHeader()->setHighlightSections(false);
    lvRecord->installEventFilter(this);
    lvRecord->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(lbSource);
    layout->addWidget(lvRecord, 1);

    // Its key closes it again from within.
    auto* close =
        new QShortcut(KeyOf(TKeyCommand::RecordView), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(close, &QShortcut::activated, this, [this] { Container()->hide(); });

    if (frame) connect(frame, &QMdiArea::subWindowActivated, this, &TRecordView::Follow);
    Follow(nullptr);
}

TRecordView* TRecordView::Of(const TDbTableForm* form) {
    QMdiArea* frame = FrameOf(form);
    if (!frame) return nullptr;
    for (TRecordView* view : frame->window()->findChildren<TRecordView*>())
        if (view->FFrame == frame) return view;
    return nullptr;
}

void TRecordView::Toggle(const TDbTableForm* form) {
    QMdiArea* frame = FrameOf(form);
    if (!frame) return;
    TRecordView* view = Of(form);
    if (!view) {
        QWidget* top = frame->window();
        if (auto* main = qobject_cast<QMainWindow*>(top)) {
            auto* dock = new QDockWidget(QStringLiteral("Запис"), main);
            dock->setObjectName(QStringLiteral("RecordViewDock"));
            view = new TRecordView(frame, dock);
            dock->setWidget(view);
            main->addDockWidget(Qt::RightDockWidgetArea, dock);
            main->resizeDocks({dock}, {340}, Qt::Horizontal);
            dock->hide();
        } else {
            view = new TRecordView(frame, top);
            view->setWindowFlags(Qt::Tool);
            view->resize(340, 420);
            view->move(top->geometry().topRight() + QPoint(8, 0));
        }
    }
    QWidget* container = view->Container();
    container->setVisible(!container->isVisible());
}

QWidget* TRecordView::Container() {
    auto* dock = qobject_cast<QDockWidget*>(parentWidget());
    return dock ? static_cast<QWidget*>(dock) : this;
}

void TRecordView::Follow(QMdiSubWindow* window) {
    // The frame losing the focus reports no active window: the view stays
    // with the current one.
    if (!window && FFrame) window = FFrame->currentSubWindow();
    auto* form = window ? qobject_cast<TDbTableForm*>(window->widget()) : nullptr;
    if (form != FForm) {
        if (FForm) {
            disconnect(FForm->dsData, nullptr, this, nullptr);
            disconnect(FForm, nullptr, this, nullptr);
        }
        FForm = form;
        if (form) {
            connect(form->dsData, &TDataSource::DataSetChanged, this, &TRecordView::Refresh);
            connect(form->dsData, &TDataSource::RecordChanged, this, &TRecordView::Refresh);
            connect(form, &QWidget::windowTitleChanged, this, &TRecordView::Refresh);
            connect(form, &QObject::destroyed, this, [this] {
                FForm = nullptr;
                Refresh();
            });
        }
    }
    Refresh();
}

void TRecordView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void TRecordView::Refresh() {
    // Hidden, it reads nothing; showing it brings it up to date.
    if (!isVisible()) return;
    QList<TRecordLine> lines;
    QString source = QStringLiteral("Няма отворена таблица");
    TDataSet* dataSet = FForm ? FForm->tblData : nullptr;
    if (dataSet && dataSet->Active() && dataSet->RecNo() > 0) {
        source = FForm->windowTitle() + QStringLiteral(", запис %1").arg(dataSet->RecNo());
        try {
            for (int i = 0; i < dataSet->FieldCount(); ++i) {
                const TField* field = dataSet->Fields(i);
                TRecordLine line{field->DisplayName(), QString(), field->AsString(), field->IsNull()};
                line.Shown = ShownAsInGrid(field) ? field->DisplayText() : ShownPart(line.Copied);
                lines << line;
            }
        } catch (const Exception& error) {
            // A value that cannot be read is said where the values would be.
            lines.clear();
            source += QStringLiteral(": ") + error.Message();
        }
    }
    // The same field stays selected, and the view where it was scrolled.
    const int row = lvRecord->currentIndex().row();
    const int scrolled = lvRecord->verticalScrollBar()->value();
    FDelegate->Forget();
    FModel->SetLines(std::move(lines));
    lbSource->setText(source);
    FLaidWidth = -1;
    UpdateHeights();
    if (row >= 0 && row < FModel->rowCount()) lvRecord->selectRow(row);
    lvRecord->verticalScrollBar()->setValue(scrolled);
}

void TRecordView::UpdateHeights() {
    const int width = lvRecord->viewport()->width();
    if (width == FLaidWidth) return;
    FLaidWidth = width;
    // Titles as wide as the widest, up to two fifths of the view.
    lvRecord->resizeColumnToContents(0);
    lvRecord->setColumnWidth(0, qMin(lvRecord->columnWidth(0) + 8, width * 2 / 5));
    const int least = lvRecord->fontMetrics().height() + 2;
    for (int row = 0; row < FModel->rowCount(); ++row)
        lvRecord->setRowHeight(row, qMax(least, FDelegate->Height(FModel->index(row, 1))));
}

void TRecordView::CopyValue() {
    const QModelIndex current = lvRecord->currentIndex();
    if (current.isValid()) QGuiApplication::clipboard()->setText(FModel->Line(current.row()).Copied);
}

bool TRecordView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvRecord->viewport() && event->type() == QEvent::Resize) {
        UpdateHeights();
    } else if (watched == lvRecord && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopyValue();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
