#include "Application.h"

#include "StatementWaiter.h"
#include "ZorvUtilUnit.h"
#include "engine/Exception.h"
#include "engine/StatementWait.h"

#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application title. It is not set as the display name: Qt would
    // append that to every window caption ("Tamsel ++ — Drovik").
    setApplicationName(QStringLiteral("Drovik"));
    setOrganizationName(QStringLiteral("Halvern"));
    // The forms are laid out for Tahoma, which Linux rarely has. Liberation
    // Sans keeps its widths closely enough for the fixed-size captions to
    // fit; DejaVu Sans is wider and cuts them.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    // Every window, the dialogs and message boxes included, takes the forms'
    // font (the table window sets its smaller size on top).
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(9);
    setFont(font);
    // Qt's own texts (standard buttons, the file dialog, the context menus
    // of edits) in Bulgarian; the program's texts are its own and untouched.
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_bg"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        qWarning("Qt's Bulgarian translation (qtbase_bg) is not installed");
    new TStatementWaiter(this);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

void TApplication::ShowCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowMsg(QStringLiteral("Unknown error"), applicationDisplayName(), MB_ICONSTOP);
    }
}

void TApplication::ShowException(const std::exception& error) {
    // The user stopped it: nothing went wrong.
    if (dynamic_cast<const EStatementCancelled*>(&error)) return;
    const auto* own = dynamic_cast<const Exception*>(&error);
    const QString text = own ? own->Message() : QString::fromLocal8Bit(error.what());
    // A box cannot open while a statement runs: its loop would run inside
    // the statement's, with the user's input held off.
    if (InStatementWait()) {
        qWarning("%s", qUtf8Printable(text));
        return;
    }
    ShowMsg(text, applicationDisplayName(), MB_ICONSTOP);
}
