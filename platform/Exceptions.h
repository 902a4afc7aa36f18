#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The error family of the class library the programs were designed on: every error carries the
// literal message that reaches the user. Each layer adds its own classes (EAviException, EInvalidAni).
class Exception : public std::exception {
public:
    explicit Exception(QString message) : Message(std::move(message)), Utf8(Message.toUtf8()) {}
    const QString& message() const { return Message; }
    const char* what() const noexcept override { return Utf8.constData(); }

private:
    QString Message;
    QByteArray Utf8;
};

// A text that does not convert to the number, colour or Boolean asked for.
class EConvertError : public Exception {
    using Exception::Exception;
};

// A picture file whose data no decoder accepts, or whose extension names no decoder.
class EInvalidGraphic : public Exception {
    using Exception::Exception;
};

// Errors of reading a file: these make a picture load fall back to the plain bitmap reader.
class EStreamError : public Exception {
    using Exception::Exception;
};
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};
