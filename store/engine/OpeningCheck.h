#pragma once

#include <QString>

#include <atomic>
#include <future>
#include <optional>

struct sqlite3;

// The program carries record numbers (discs, folders, categories, grades)
// as 32-bit integers. A file holding a number beyond that (a crafted or
// damaged file: no collection gets near it) would have its rows mixed up, so
// it is refused at open.

// The first number of the open file beyond the limit, as "table.column =
// value" or "table, rowid n"; empty when there is none. complete, when
// given, tells whether every statement of the check ran to its end (an empty
// answer is then a sure one).
QString NumberOutOfRange(sqlite3 *db, bool *complete = nullptr);

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
