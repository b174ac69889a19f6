#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is
// shown in a box (the application's default error report) and the program
// goes on; Qt itself never sees it.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception that nobody caught.
    static void ShowException(const std::exception& error);
};
