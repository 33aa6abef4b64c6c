#include "store/engine/OpeningCheck.h"

#include "store/engine/CatalogOpening.h"
#include "store/engine/EngineHandle.h"
#include "store/engine/RecordNumbers.h"

#include <sqlcipher/sqlite3.h>

TOpeningCheck::TOpeningCheck(const QString &path, const QString &password)
{
    m_answer = std::async(std::launch::async, [this, path, password]() -> std::optional<QString> {
        try {
            const TCatalogHandle db = OpenCatalogHandle(path, password, true, false, false);
            // A pass over each table reads each page once: a small cache
            // keeps the check's memory small.
            RunStatement(db.get(), "PRAGMA cache_size=-256");
            // Asked every few thousand steps of the engine: a check no longer
            // wanted ends at once.
            sqlite3_progress_handler(
                db.get(), 4096, [](void *stop) { return static_cast<std::atomic<bool> *>(stop)->load() ? 1 : 0; },
                &m_stop);
            bool complete = false;
            QString found = NumberOutOfRange(db.get(), &complete);
            if (found.isEmpty() && !complete)
                return std::nullopt;
            return found;
        } catch (...) {
            return std::nullopt;
        }
    });
}

TOpeningCheck::~TOpeningCheck()
{
    m_stop = true;
    if (m_answer.valid())
        m_answer.wait();
}

std::optional<QString> TOpeningCheck::Result()
{
    return m_answer.valid() ? m_answer.get() : std::nullopt;
}
