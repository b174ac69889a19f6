#pragma once

// The login dialog that the engine shows when it connects a server database
// while login prompting is on.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TLoginDialog : public QDialog {
    Q_OBJECT
public:
    TLoginDialog(const QString& databaseName, const QString& userName, QWidget* parent = nullptr);

    QLabel* Label3;
    QLabel* DatabaseName;
    QLabel* Label1;
    QLineEdit* UserName;
    QLabel* Label2;
    QLineEdit* Password;
    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;
};

// Shows the dialog; false for Cancel, else true with what was entered.
bool LoginDialogLogin(const QString& databaseName, QString& userName, QString& password);
// Makes the dialog the engine's login callback.
void InstallLoginDialog();
