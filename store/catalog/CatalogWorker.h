#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TDAODatabase;

// What a job sees of the worker while it runs: a connection of its own to
// the catalog it was posted for, whether the window asked it to stop, and a
// way to tell the window how far it got.
class TCatalogJob
{
public:
    TCatalogJob(const QString &path, const QString &password, const std::atomic<bool> &cancelled,
                std::function<void(qint64 done, qint64 total, const QString &text)> report);
    ~TCatalogJob();
    TCatalogJob(const TCatalogJob &) = delete;
    TCatalogJob &operator=(const TCatalogJob &) = delete;

    // The worker's own connection to the catalog, opened on first use with
    // the path and password of the window's connection, and closed when
    // the job ends: the file is never held between jobs.
    TDAODatabase &Db();
    // The catalog file the job was posted for.
    const QString &Path() const { return m_path; }
    const QString &Password() const { return m_password; }

    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Progress for the window: done of total steps (total 0: unknown), and
    // a text to show when not empty. Passed on at most every ReportEveryMs,
    // and always when done reaches total.
    void Report(qint64 done, qint64 total = 0, const QString &text = {});

    static constexpr int ReportEveryMs = 50;

private:
    QString m_path;
    QString m_password;
    const std::atomic<bool> &m_cancelled;
    std::function<void(qint64, qint64, const QString &)> m_report;
    std::unique_ptr<TDAODatabase> m_db;
    QElapsedTimer m_sinceReport;
};

// Long work on a catalog (reading a disc into it, importing, merging, the
// backups) on a thread of its own, so that the window keeps painting. Jobs
// run one after the other in the order posted; each opens its own
// connection, and each store function it calls keeps its own transaction.
// What the job raises is caught on the worker's thread and handed to the
// window's thread with Finished; nothing is thrown across threads.
// Signals reach receivers on the window's thread queued.
class TCatalogWorker : public QObject
{
    Q_OBJECT

public:
    using TWork = std::function<void(TCatalogJob &job)>;

    explicit TCatalogWorker(QObject *parent = nullptr);
    // Asks a running job to stop, drops those still waiting, and waits for
    // the thread to end.
    ~TCatalogWorker() override;

    // Queues work on the catalog at path (opened with password); returns
    // the job's number, which the signals carry.
    quint64 Post(const QString &path, const QString &password, TWork work);
    // Asks the job to stop at its next check (TCatalogJob::Cancelled); a
    // job still waiting starts cancelled and stops at its first check.
    void Cancel(quint64 job);
    // Whether a job is running or waiting.
    bool Busy() const;

signals:
    void Progress(quint64 job, qint64 done, qint64 total, const QString &text);
    // The job ended: error is empty when it ran to its end (cancelled or
    // not: the work's own result says), otherwise what it raised.
    void Finished(quint64 job, std::exception_ptr error);

private:
    struct TQueued
    {
        quint64 Id = 0;
        QString Path;
        QString Password;
        TWork Work;
        bool Cancelled = false;
    };

    void Run();
    void RunOne(TQueued &queued);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<TQueued> m_queue;
    quint64 m_lastId = 0;
    quint64 m_running = 0; // 0 when idle
    std::atomic<bool> m_cancelRunning{false};
    bool m_stopping = false;
    std::thread m_thread;
};

Q_DECLARE_METATYPE(std::exception_ptr)
