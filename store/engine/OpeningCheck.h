#pragma once

#include <QString>

#include <atomic>
#include <future>
#include <optional>

// NumberOutOfRange of a catalog file, asked on a thread of its own through a
// connection of its own that only reads, so that the caller can go on
// reading the catalog meanwhile. Leaving the object stops the check early.
class TOpeningCheck
{
public:
    TOpeningCheck(const QString &path, const QString &password);
    ~TOpeningCheck();
    TOpeningCheck(const TOpeningCheck &) = delete;
    TOpeningCheck &operator=(const TOpeningCheck &) = delete;

    // Waits for the answer: the first number out of range, empty when there
    // is none; nothing when the check could not read the file (it was held
    // by another program, say): then it is for the caller to ask again.
    std::optional<QString> Result();

private:
    std::atomic<bool> m_stop{false};
    std::future<std::optional<QString>> m_answer;
};
