// The worker for long jobs: its own thread and connection, jobs in order,
// progress and cancelling, and every error handed back to the caller's
// thread, on a real catalog file.
#include "media/CsvReader.h"
#include "store/catalog/CatalogWorker.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportPlan.h"
#include "store/catalog/ImportStore.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "tests/support/CatalogFixture.h"

#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <new>

class TestCatalogWorker : public QObject
{
    Q_OBJECT

private slots:
    void jobsRunInOrderOnTheirOwnConnection();
    void errorsReachTheCaller_data();
    void errorsReachTheCaller();
    void cancelStopsRunningAndWaitingJobs();
    void progressIsThinnedButEndsFull();
    void importOnTheWorkerIsAllOrNothing();
    void rowCheckingThreadsHandBackTheirErrors();
};

namespace {

QString Password()
{
    return QString::fromLatin1(Schema::CatalogPassword);
}

QString Scalar(TDAODatabase &db, const QString &sql)
{
    QString value;
    db.ForEachRow(sql, [&](const TRowReader &row) { value = row.Text(0); });
    return value;
}

// The error a finished job handed over, as the command guard would read it.
QString MessageOf(const std::exception_ptr &error, QString *details = nullptr)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAppError &e) {
        if (details)
            *details = e.Details();
        return e.Message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("bad_alloc");
    } catch (...) {
        return QStringLiteral("other");
    }
}

// What the worker hands to this thread, received as the window receives
// it: queued, on this thread.
class Received : public QObject
{
public:
    struct TEnd
    {
        quint64 Job;
        std::exception_ptr Error;
    };
    struct TStep
    {
        qint64 Done, Total;
        QString Text;
    };

    explicit Received(TCatalogWorker &worker)
    {
        connect(&worker, &TCatalogWorker::Finished, this, [this, &worker](quint64 job, std::exception_ptr error) {
            (void)worker.Busy(); // orders the job's writes before this thread's reads
            Ends.push_back({job, error});
        });
        connect(&worker, &TCatalogWorker::Progress, this,
                [this](quint64, qint64 done, qint64 total, const QString &text) {
                    Steps.push_back({done, total, text});
                });
    }
    int size() const { return int(Ends.size()); }

    std::vector<TEnd> Ends;
    std::vector<TStep> Steps;
};

std::exception_ptr ErrorOf(const Received &finished, int at)
{
    return finished.Ends[size_t(at)].Error;
}

} // namespace

void TestCatalogWorker::jobsRunInOrderOnTheirOwnConnection()
{
    CatalogFixture catalog;
    TDAODatabase window;
    catalog.Attach(window);
    window.SetConnected(true);
    const QString before = Scalar(window, QStringLiteral("SELECT COUNT(*) FROM TbTree"));

    TCatalogWorker worker;
    Received finished(worker);
    std::vector<int> order;
    QThread *workerThread = nullptr;
    int workerSerial = 0;
    const quint64 first = worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) {
        workerThread = QThread::currentThread();
        workerSerial = job.Db().ConnectionSerial();
        TDAOTransaction work(job.Db());
        job.Db().Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '后台')"));
        work.Commit();
        order.push_back(1);
    });
    const quint64 second = worker.Post(catalog.Path(), Password(), [&](TCatalogJob &) { order.push_back(2); });
    QVERIFY(worker.Busy());
    QTRY_COMPARE(finished.size(), 2);
    QVERIFY(!worker.Busy());

    QCOMPARE(finished.Ends[0].Job, first);
    QCOMPARE(finished.Ends[1].Job, second);
    QVERIFY(!ErrorOf(finished, 0) && !ErrorOf(finished, 1));
    QCOMPARE(order, (std::vector<int>{1, 2}));
    QVERIFY(workerThread && workerThread != QThread::currentThread());
    QVERIFY(workerSerial != window.ConnectionSerial());
    // The window's connection, open all along, reads what the job committed.
    QCOMPARE(Scalar(window, QStringLiteral("SELECT COUNT(*) FROM TbTree")).toInt(), before.toInt() + 1);
    QCOMPARE(Scalar(window, QStringLiteral("SELECT Name FROM TbTree WHERE Name='后台'")), QStringLiteral("后台"));
}

void TestCatalogWorker::errorsReachTheCaller_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("the program's error with details") << 0 << QStringLiteral("导入没有完成。");
    QTest::newRow("the engine's error on a statement") << 1 << QString();
    QTest::newRow("no memory") << 2 << QStringLiteral("bad_alloc");
    QTest::newRow("a catalog that cannot be opened") << 3 << QString();
}

void TestCatalogWorker::errorsReachTheCaller()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    CatalogFixture catalog;
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());
    TCatalogWorker worker;
    Received finished(worker);
    const QString path = kind == 3 ? catalog.FilePath(QStringLiteral("missing.MDB")) : catalog.Path();
    worker.Post(path, Password(), [kind](TCatalogJob &job) {
        TDAOTransaction work(job.Db());
        job.Db().Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '半途')"));
        if (kind == 0)
            throw EAppError(QStringLiteral("导入没有完成。"), QStringLiteral("细节"));
        if (kind == 1)
            job.Db().Exec(QStringLiteral("INSERT INTO NoSuchTable VALUES (1)"));
        if (kind == 2)
            throw std::bad_alloc();
        work.Commit();
    });
    // The worker lives on after a failed job.
    bool ranAfter = false;
    worker.Post(catalog.Path(), Password(), [&ranAfter](TCatalogJob &) { ranAfter = true; });
    QTRY_COMPARE(finished.size(), 2);

    const std::exception_ptr error = ErrorOf(finished, 0);
    QVERIFY(error);
    QString details;
    const QString shown = MessageOf(error, &details);
    if (!message.isEmpty())
        QCOMPARE(shown, message);
    else
        QVERIFY2(shown.contains(QStringLiteral("光盘夹")), qPrintable(shown));
    if (kind == 0)
        QCOMPARE(details, QStringLiteral("细节"));
    if (kind == 1)
        QVERIFY2(details.contains(QStringLiteral("NoSuchTable")), qPrintable(details));
    QVERIFY(ranAfter && !ErrorOf(finished, 1));
    // Rolled back, and the connection closed: the file is as it was.
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);
}

void TestCatalogWorker::cancelStopsRunningAndWaitingJobs()
{
    CatalogFixture catalog;
    TCatalogWorker worker;
    Received finished(worker);
    QSemaphore started;
    bool firstStopped = false, secondCancelledAtStart = false;
    const quint64 first = worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) {
        started.release();
        while (!job.Cancelled())
            QThread::yieldCurrentThread();
        firstStopped = true;
    });
    const quint64 second =
        worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) { secondCancelledAtStart = job.Cancelled(); });
    QVERIFY(started.tryAcquire(1, 10000));
    worker.Cancel(second);
    worker.Cancel(first);
    QTRY_COMPARE(finished.size(), 2);
    QVERIFY(firstStopped);
    QVERIFY(secondCancelledAtStart);

    // A job after them starts afresh.
    bool cancelled = true;
    worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) { cancelled = job.Cancelled(); });
    QTRY_COMPARE(finished.size(), 3);
    QVERIFY(!cancelled);
}

void TestCatalogWorker::progressIsThinnedButEndsFull()
{
    CatalogFixture catalog;
    TCatalogWorker worker;
    Received finished(worker);
    const std::vector<Received::TStep> &progress = finished.Steps;
    constexpr qint64 Steps = 200000;
    worker.Post(catalog.Path(), Password(), [](TCatalogJob &job) {
        for (qint64 done = 1; done <= Steps; ++done)
            job.Report(done, Steps, done == 1 ? QStringLiteral("开始") : QString());
    });
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(!progress.empty());
    QVERIFY2(progress.size() < 1000, qPrintable(QString::number(progress.size())));
    QCOMPARE(progress.front().Text, QStringLiteral("开始"));
    QCOMPARE(progress.back().Done, Steps);
    QCOMPARE(progress.back().Total, Steps);
}

void TestCatalogWorker::importOnTheWorkerIsAllOrNothing()
{
    CatalogFixture catalog(Schema::Layout::Build102, true);
    TDAODatabase window;
    catalog.Attach(window);
    QFile cover(catalog.FilePath(QStringLiteral("a.jpg")));
    QVERIFY(cover.open(QIODevice::WriteOnly));
    cover.close();
    const QList<CsvReader::TRecord> records =
        CsvReader::Parse(QStringLiteral("名称,封面\n英雄,\n活着,a.jpg\n"), QLatin1Char(','));
    ImportPlan::TSettings settings;
    settings.Mapping = ImportFields::GuessMapping(records.first().Fields);
    settings.Widths = ImportStore::ReadWidths(window);
    settings.PictureFolder = QFileInfo(catalog.Path()).path();
    const QList<ImportPlan::TRow> rows = ImportPlan::Build(records.mid(1), settings);
    window.SetConnected(false);
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());

    // Copying the second row's cover runs out of memory: the import, on the
    // worker, rolls back and the error reaches this thread.
    TCatalogWorker worker;
    Received finished(worker);
    ImportStore::TReport report;
    report.Added = -1;
    worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) {
        ImportStore::TCallbacks callbacks;
        callbacks.StorePicture = [](const QString &) -> QString { throw std::bad_alloc(); };
        report = ImportStore::Import(job.Db(), rows, 1, callbacks);
    });
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(MessageOf(ErrorOf(finished, 0)), QStringLiteral("bad_alloc"));
    QCOMPARE(report.Added, -1);
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);

    // Without the failure both discs go in, seen by the window's connection.
    worker.Post(catalog.Path(), Password(), [&](TCatalogJob &job) {
        ImportStore::TCallbacks callbacks;
        callbacks.StorePicture = [](const QString &) { return QStringLiteral("a.jpg"); };
        report = ImportStore::Import(job.Db(), rows, 1, callbacks);
    });
    QTRY_COMPARE(finished.size(), 2);
    QVERIFY(!ErrorOf(finished, 1));
    QCOMPARE(report.Added, 2);
    QCOMPARE(Scalar(window, QStringLiteral("SELECT COUNT(*) FROM TbCd")), QStringLiteral("2"));
}

void TestCatalogWorker::rowCheckingThreadsHandBackTheirErrors()
{
    // The row checking starts threads of its own; run on the worker, what
    // one of them throws reaches the worker's caller, and the program goes on.
    CatalogFixture catalog;
    QFile cover(catalog.FilePath(QStringLiteral("a.jpg")));
    QVERIFY(cover.open(QIODevice::WriteOnly));
    cover.close();
    QList<CsvReader::TRecord> records;
    for (int i = 0; i < 8000; ++i)
        records.append({i + 2, {QStringLiteral("片%1").arg(i), QStringLiteral("a.jpg")}});
    ImportPlan::TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({QStringLiteral("名称"), QStringLiteral("封面")});
    settings.PictureFolder = QFileInfo(catalog.Path()).path();
    QVERIFY2(QThread::idealThreadCount() > 1, "the rows are checked on one thread only");
    std::atomic<QThread *> jobThread{nullptr};
    std::atomic<bool> thrown{false};
    // The first row looked at away from the job's own thread runs out of memory.
    settings.IsPicture = [&](const QString &) {
        if (QThread::currentThread() != jobThread.load() && !thrown.exchange(true))
            throw std::bad_alloc();
        return true;
    };

    TCatalogWorker worker;
    Received finished(worker);
    worker.Post(catalog.Path(), Password(), [&](TCatalogJob &) {
        jobThread = QThread::currentThread();
        ImportPlan::Build(records, settings);
    });
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(thrown.load());
    QCOMPARE(MessageOf(ErrorOf(finished, 0)), QStringLiteral("bad_alloc"));
}

QTEST_GUILESS_MAIN(TestCatalogWorker)
#include "tst_catalogworker.moc"
