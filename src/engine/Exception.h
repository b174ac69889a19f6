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

// Failures of the data-access engine and of its drivers.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};
