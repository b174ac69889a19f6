#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The base of every error the program raises: it carries the message text
// that the boxes show. Engine errors carry the server's or driver's own text.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Failures of the data-access engine and of its drivers. A server's or
// driver's failure also says what it was, for code to tell failures apart
// without reading the text: the SQLSTATE (ODBC), the native error code (or
// SQLite's extended result code; 0 when there is none) and whether the
// connection was lost.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    EDatabaseError(QString message, QString sqlState, int nativeCode, bool connectionLost)
        : Exception(std::move(message)), FSqlState(std::move(sqlState)), FNativeCode(nativeCode),
          FConnectionLost(connectionLost) {}

    const QString& SqlState() const noexcept { return FSqlState; }
    int NativeCode() const noexcept { return FNativeCode; }
    bool ConnectionLost() const noexcept { return FConnectionLost; }

private:
    QString FSqlState;
    int FNativeCode = 0;
    bool FConnectionLost = false;
};

// A statement that the user cancelled while it ran: the action did not
// happen, and there is nothing to report beyond that.
class EStatementCancelled : public EDatabaseError {
public:
    EStatementCancelled() : EDatabaseError(QStringLiteral("Прекъснато")) {}
};
