#pragma once

// Help's key list: every key and mouse gesture of the frame and the table
// window, from the table that binds them, and the filter language in brief.

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

class TKeysForm : public QDialog {
    Q_OBJECT
public:
    explicit TKeysForm(QWidget* parent = nullptr);

    QTreeWidget* lvKeys;
    QLabel* lbFilter;
    QPushButton* btClose;
};
