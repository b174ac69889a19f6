#pragma once

// The record view: a small window beside the table windows that shows the
// current record of the active one, a line for each field with its title and
// its whole value, long texts wrapped. It follows the record as the user
// moves and the active window as the user switches, and reads nothing but
// the record the grid is on.

#include <QPointer>
#include <QWidget>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTableView;
class TDbTableForm;
class TRecordModel;
class TRecordValueDelegate;

class TRecordView : public QWidget {
    Q_OBJECT
public:
    TRecordView(QMdiArea* frame, QWidget* parent);

    // Shows the record view of the frame that holds form, made the first
    // time (a dock of the main window at the right of the table windows, or
    // a tool window where the frame has no main window), or hides it when it
    // is shown.
    static void Toggle(const TDbTableForm* form);
    // The record view of the frame that holds form; none until it is made.
    static TRecordView* Of(const TDbTableForm* form);
    // The window it is shown in: its dock, or itself.
    QWidget* Container();

    QLabel* lbSource;
    QTableView* lvRecord;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Follow(QMdiSubWindow* window);
    void Refresh();
    void UpdateHeights();
    void CopyValue();

    QPointer<QMdiArea> FFrame;
    QPointer<TDbTableForm> FForm;
    TRecordModel* FModel;
    TRecordValueDelegate* FDelegate;
    int FLaidWidth = -1;
};
