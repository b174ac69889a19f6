#pragma once

// The About box: product name, version and picture.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QPushButton* OKButton;

protected:
    // Keys reach the box before its controls: Escape closes it.
    bool eventFilter(QObject* watched, QEvent* event) override;
};
