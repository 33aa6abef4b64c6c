#include "store/catalog/CatalogWorker.h"

#include "store/engine/DAODatabase.h"

#include <algorithm>

TCatalogJob::TCatalogJob(const QString &path, const QString &password, const std::atomic<bool> &cancelled,
                         std::function<void(qint64, qint64, const QString &)> report)
    : m_path(path)
    , m_password(password)
    , m_cancelled(cancelled)
    , m_report(std::move(report))
{
}

TCatalogJob::~TCatalogJob() = default;

TDAODatabase &TCatalogJob::Db()
{
    if (!m_db) {
        auto db = std::make_unique<TDAODatabase>();
        db->SetDatabaseName(m_path);
        db->SetPassword(m_password);
        db->SetConnected(true);
        m_db = std::move(db);
    }
    return *m_db;
}

void TCatalogJob::Report(qint64 done, qint64 total, const QString &text)
{
    const bool last = total > 0 && done >= total;
    if (m_sinceReport.isValid() && m_sinceReport.elapsed() < ReportEveryMs && !last)
        return;
    m_sinceReport.start();
    if (m_report)
        m_report(done, total, text);
}

TCatalogWorker::TCatalogWorker(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<std::exception_ptr>();
    m_thread = std::thread([this] { Run(); });
}

TCatalogWorker::~TCatalogWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_cancelRunning = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 TCatalogWorker::Post(const QString &path, const QString &password, TWork work)
{
    quint64 id;
    {
        const std::lock_guard lock(m_mutex);
        id = ++m_lastId;
        m_queue.push_back({id, path, password, std::move(work)});
    }
    m_wake.notify_one();
    return id;
}

void TCatalogWorker::Cancel(quint64 job)
{
    const std::lock_guard lock(m_mutex);
    if (m_running == job) {
        m_cancelRunning = true;
        return;
    }
    const auto waiting =
        std::find_if(m_queue.begin(), m_queue.end(), [job](const TQueued &queued) { return queued.Id == job; });
    if (waiting != m_queue.end())
        waiting->Cancelled = true;
}

bool TCatalogWorker::Busy() const
{
    const std::lock_guard lock(m_mutex);
    return m_running != 0 || !m_queue.empty();
}

void TCatalogWorker::Run()
{
    for (;;) {
        TQueued queued;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            queued = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = queued.Id;
            m_cancelRunning = queued.Cancelled;
        }
        RunOne(queued);
    }
}

void TCatalogWorker::RunOne(TQueued &queued)
{
    const quint64 id = queued.Id;
    std::exception_ptr error;
    // Everything the job raises stays on this thread until handed over: an
    // exception leaving a thread ends the program. That holds for a failure
    // to allocate as for the catalog's own errors.
    try {
        TCatalogJob job(
            queued.Path, queued.Password, m_cancelRunning,
            [this, id](qint64 done, qint64 total, const QString &text) { emit Progress(id, done, total, text); });
        queued.Work(job);
        // The job's connection closes here, before the window hears of the
        // end and reads what was written.
    } catch (...) {
        error = std::current_exception();
    }
    // The work and what it captured go on this thread, before the window
    // hears of the end and may free what the work refers to.
    queued.Work = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        m_running = 0;
    }
    emit Finished(id, error);
}
