#pragma once

// The About box: product name, version and picture.

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;

// The program's picture: the About box shows it, and every window of the
// program carries it as its icon.
QPixmap ProgramPicture();

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
