#pragma once

// The alias chooser: the ODBC data sources of the "SQL Anywhere 11" driver.

#include <QDialog>

class QListWidget;
class QPushButton;

class TSelectDbForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString AliasName READ AliasName)
public:
    enum { mrOk = 1, mrCancel = 2 };

    // Fills the list; raises when ODBC cannot be set up.
    explicit TSelectDbForm(QWidget* parent = nullptr);

    // Restarts the session and lists the data sources anew.
    void FillList();
    // The selected entry, or empty text when nothing is selected.
    QString AliasName() const;

    QListWidget* cbDbList;
    QPushButton* btOk;
    QPushButton* btCancel;

    // Closing with OK is refused while nothing is selected.
    void done(int result) override;
    void reject() override;

public slots:
    void cbDbListDblClick();

protected:
    // Keys reach the dialog before its controls.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FormKeyPress(int key);
    bool FormCloseQuery(int result) const;
};
