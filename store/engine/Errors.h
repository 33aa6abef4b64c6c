#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's errors carry a message meant for the user; the application's
// default error handler shows it. Details (the engine's own words, say) are
// for the log and the message box's details, never part of the sentence.
class EAppError : public std::exception
{
public:
    explicit EAppError(const QString &message, const QString &details = {})
        : m_message(message)
        , m_details(details)
        , m_utf8(message.toUtf8())
    {
    }
    const QString &Message() const { return m_message; }
    const QString &Details() const { return m_details; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_details;
    QByteArray m_utf8;
};

// An error reported by the database engine: its message, its error number
// and, when a statement failed, that statement's text (for the log).
class EDAOError : public EAppError
{
public:
    EDAOError(const QString &message, int errorCode, const QString &details = {}, const QString &statement = {})
        : EAppError(message, details)
        , m_errorCode(errorCode)
        , m_statement(statement)
    {
    }
    int ErrorCode() const { return m_errorCode; }
    const QString &Statement() const { return m_statement; }
    // A row refused because a column must be unique and is not (the
    // engine's extended code for a failed UNIQUE constraint).
    bool IsUniqueViolation() const { return m_errorCode == 2067; }
    // A file that is damaged, or that is no database the key opens (the
    // engine's primary codes for a corrupt file and for one not a database).
    bool IsDamagedFile() const
    {
        const int primary = m_errorCode & 0xff;
        return primary == 11 || primary == 26;
    }

private:
    int m_errorCode;
    QString m_statement;
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
