#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's errors carry a message meant for the user; the application's
// default error handler shows it.
class EAppError : public std::exception
{
public:
    explicit EAppError(const QString &message)
        : m_message(message), m_utf8(message.toUtf8())
    {
    }
    const QString &Message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// An error reported by the database engine: its message and its error number.
class EDAOError : public EAppError
{
public:
    EDAOError(const QString &message, int errorCode)
        : EAppError(message), m_errorCode(errorCode)
    {
    }
    int ErrorCode() const { return m_errorCode; }
    // A row refused because a column must be unique and is not (the
    // engine's extended code for a failed UNIQUE constraint).
    bool IsUniqueViolation() const { return m_errorCode == 2067; }

private:
    int m_errorCode;
};

// A misuse of the data-access layer.
class EDAODatabaseError : public EAppError
{
public:
    using EAppError::EAppError;
};

// A file that cannot be opened, read or written.
class EFileError : public EAppError
{
public:
    using EAppError::EAppError;
};
