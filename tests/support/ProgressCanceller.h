#pragma once

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>

// While it lives, presses Cancel on the first progress dialog that shows and
// keeps what it showed.
class ProgressCanceller {
public:
    ProgressCanceller() {
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(widget);
                if (progress && progress->isVisible() && !progress->wasCanceled() && !Seen) {
                    Seen = true;
                    Modal = progress->isModal();
                    Maximum = progress->maximum();
                    Label = progress->labelText();
                    progress->cancel();
                }
            }
        });
        FTimer.start(0);
    }

    bool Seen = false, Modal = false;
    int Maximum = -1;
    QString Label;

private:
    QTimer FTimer;
};
