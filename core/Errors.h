#pragma once
#include <QString>
#include <QByteArray>
#include <exception>

// The project's exception hierarchy. Every failure carries a message text for
// the user; ELarkspanError is the general exception class that the designer
// raises for its own checks.
class ELarkspanError : public std::exception {
public:
    explicit ELarkspanError(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }
private:
    QString FMessage;
    QByteArray FUtf8;
};

// Dataset errors: parameter / column not found, duplicate column names,
// values that do not convert.
class EDatabaseError : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// Errors of the InterBase access layer.
class EIBError : public EDatabaseError { using EDatabaseError::EDatabaseError; };

// An error reported by the client library or the server through a status vector.
class EIBInterBaseError : public EIBError {
public:
    EIBInterBaseError(QString message, long sqlCode, QString context = {})
        : EIBError(std::move(message)), FSQLCode(sqlCode), FContext(std::move(context)) {}
    long SQLCode() const noexcept { return FSQLCode; }
    // The failing call, e.g. "isc_dsql_prepare", for developers.
    const QString& Context() const noexcept { return FContext; }
private:
    long FSQLCode;
    QString FContext;
};

// A call that failed because the connection to the server is gone (the
// server stopped, the network broke, the attachment was shut down). The
// session has dropped the connection by then: it counts as disconnected and
// connects again at the next operation.
class EIBConnectionLost : public EIBInterBaseError { using EIBInterBaseError::EIBInterBaseError; };

// An error found by the access layer itself.
class EIBClientError : public EIBError { using EIBError::EIBError; };

// A text that does not convert to a number, date or time.
class EConvertError : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// A query or cache file whose structure is wrong.
class EInvalidFileFormat : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// Registry stand-in errors: a missing value, a value of the wrong type.
class ERegistryException : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// File and stream errors: open, create, read, write.
class EStreamError : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// An index outside a model list ("List index out of bounds (%d)").
class EListError : public ELarkspanError { using ELarkspanError::ELarkspanError; };

// Tree text with inconsistent levels.
class ETreeViewError : public ELarkspanError { using ELarkspanError::ELarkspanError; };
