// The catalog when things go wrong: the program killed in the middle of a
// bulk command or of a compaction, a full disk while a disc is saved, and
// files that are no sound catalog. The commands run in a worker process
// (fault_worker) through the program's own code, so that the kill is a real
// SIGKILL of a process holding the catalog open.
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/Errors.h"
#include "tests/e2e/CatalogState.h"
#include "tools/CatalogGenerator.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>
#include <memory>

namespace {

constexpr int Discs = 10000;
constexpr int CopiedFolders = 1000;
constexpr int TopFolderId = 2;    // a folder of the generated tree
constexpr int TargetFolderId = 3; // another one

// The worker, its output read line by line.
class TWorker
{
public:
    explicit TWorker(const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(QStringLiteral(VORLIX_FAULT_WORKER), arguments);
    }
    ~TWorker()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // Waits for a line that starts with the text; the rest of it.
    std::optional<QString> WaitForLine(const QString &start, int milliseconds = 120000)
    {
        const QDeadlineTimer deadline(milliseconds);
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_lines << line;
                if (line.startsWith(start))
                    return line.mid(start.size()).trimmed();
            }
            if (deadline.hasExpired() || (m_process.state() == QProcess::NotRunning && !m_process.canReadLine()))
                return std::nullopt;
            m_process.waitForReadyRead(50);
        }
    }

    void Kill()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(30000);
    }

    bool Finish()
    {
        return m_process.waitForFinished(120000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

    bool Killed() const { return m_process.exitStatus() == QProcess::CrashExit; }

    QString Output()
    {
        m_lines << QString::fromUtf8(m_process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return m_lines.join(QLatin1Char('\n')) + QLatin1Char('\n') +
               QString::fromUtf8(m_process.readAllStandardError());
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

// A command as the worker runs it, and the catalog before and after it.
struct TCommand
{
    QString pristine;      // the catalog it starts from
    QStringList arguments; // the worker's, the catalog and the pause left out
    QByteArray before, after;
    long steps = 0;      // rows written, or progress steps, in a whole run
    qint64 duration = 0; // milliseconds from "started" to "done"
};

TCommand Command(const QString &pristine, const QStringList &arguments)
{
    TCommand command;
    command.pristine = pristine;
    command.arguments = arguments;
    return command;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void killedInTheMiddle_data();
    void killedInTheMiddle();
    void killedAtAnyMoment_data();
    void killedAtAnyMoment();
    void fullDiskWhileSaving();
    void unreadableCatalogsStayAsTheyAre_data();
    void unreadableCatalogsStayAsTheyAre();

private:
    QString Copy(const QString &pristine, const QString &name);
    QStringList WorkerArguments(const TCommand &command, const QString &catalog, long pause) const;
    // The catalog after the kill: it opens, is sound, and holds the state
    // before the command or after it.
    void CheckAfterKill(const TCommand &command, const QString &catalog, bool mayBeAfter);

    QTemporaryDir m_temp;
    QMap<QString, TCommand> m_commands;
    int m_copies = 0;
};

void TestFaults::initTestCase()
{
    QVERIFY(m_temp.isValid());

    // 10,000 discs to delete at once.
    const QString discs = m_temp.filePath(QStringLiteral("discs.MDB"));
    CatalogGenerator::GenerateCatalog(discs, Discs, Schema::Layout::Build102);
    m_commands[QStringLiteral("delete")] = Command(discs, {QStringLiteral("delete")});

    // A folder of 1,000 folders in all (itself, 9 below it, 110 below each
    // of those) to copy into another folder.
    const QString folders = m_temp.filePath(QStringLiteral("folders.MDB"));
    CatalogGenerator::GenerateCatalog(folders, 100, Schema::Layout::Build102);
    int source = 0;
    {
        CatalogState::Handle db = CatalogState::Open(folders);
        QCOMPARE(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
        auto add = [&](int parent, const QString &name) {
            CatalogState::Rows(
                db.get(), QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (%1, '%2')").arg(parent).arg(name));
            return int(sqlite3_last_insert_rowid(db.get()));
        };
        source = add(TopFolderId, QStringLiteral("Source"));
        for (int i = 0; i < 9; ++i) {
            const int child = add(source, QStringLiteral("Child%1").arg(i));
            for (int j = 0; j < 110; ++j)
                add(child, QStringLiteral("Leaf%1-%2").arg(i).arg(j));
        }
        QCOMPARE(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    m_commands[QStringLiteral("copy")] =
        Command(folders, {QStringLiteral("copy"), QString::number(source), QString::number(TargetFolderId)});

    // A catalog with room to win back: half its discs deleted.
    const QString compact = m_temp.filePath(QStringLiteral("compact.MDB"));
    CatalogGenerator::GenerateCatalog(compact, Discs, Schema::Layout::Build102);
    CatalogState::Rows(compact, QStringLiteral("DELETE FROM TbCd WHERE Id % 2 = 0"));
    m_commands[QStringLiteral("compact")] = Command(compact, {QStringLiteral("compact")});

    // Each command once from start to end: what it leaves, how long it
    // takes, and how many steps it has.
    for (auto it = m_commands.begin(); it != m_commands.end(); ++it) {
        TCommand &command = it.value();
        const QString catalog = Copy(command.pristine, it.key());
        TWorker worker(WorkerArguments(command, catalog, 0));
        QVERIFY2(worker.WaitForLine(QStringLiteral("started")), qPrintable(worker.Output()));
        QElapsedTimer timer;
        timer.start();
        command.steps = worker.WaitForLine(QStringLiteral("steps")).value_or(QString()).toLong();
        QVERIFY2(worker.WaitForLine(QStringLiteral("done")), qPrintable(worker.Output()));
        command.duration = timer.elapsed();
        QVERIFY2(worker.Finish(), qPrintable(worker.Output()));
        command.before = CatalogState::Digest(command.pristine);
        command.after = CatalogState::Digest(catalog);
        QCOMPARE(CatalogState::IntegrityCheck(catalog), QStringLiteral("ok"));
        if (it.key() == QLatin1String("compact"))
            QVERIFY(QFileInfo(catalog).size() < QFileInfo(command.pristine).size());
        qInfo("%s: %ld steps in %lld ms", qPrintable(it.key()), command.steps, command.duration);
    }
    // What each command did, in full.
    const TCommand &deleting = m_commands[QStringLiteral("delete")];
    QCOMPARE(deleting.steps, long(Discs));
    const TCommand &copying = m_commands[QStringLiteral("copy")];
    QCOMPARE(copying.steps, long(CopiedFolders));
    const TCommand &compacting = m_commands[QStringLiteral("compact")];
    QVERIFY(compacting.steps > 10);
    QCOMPARE(compacting.after, compacting.before);
}

QString TestFaults::Copy(const QString &pristine, const QString &name)
{
    const QString path = m_temp.filePath(QStringLiteral("%1-%2.MDB").arg(name).arg(++m_copies));
    if (!QFile::copy(pristine, path))
        qWarning("cannot copy %s", qPrintable(pristine));
    return path;
}

QStringList TestFaults::WorkerArguments(const TCommand &command, const QString &catalog, long pause) const
{
    QStringList arguments = command.arguments;
    arguments.insert(1, catalog);
    arguments << QString::number(pause);
    return arguments;
}

void TestFaults::CheckAfterKill(const TCommand &command, const QString &catalog, bool mayBeAfter)
{
    // The program's own open, which rolls back what the kill left unfinished.
    TDM dm;
    dm.NameCatalog(catalog);
    dm.DbBase.SetConnected(true);
    dm.DbBase.SetConnected(false);
    QCOMPARE(CatalogState::IntegrityCheck(catalog), QStringLiteral("ok"));
    const QByteArray state = CatalogState::Digest(catalog);
    if (mayBeAfter)
        QVERIFY2(state == command.before || state == command.after, "neither the state before nor after");
    else
        QCOMPARE(state, command.before);
}

void TestFaults::killedInTheMiddle_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<double>("part"); // of the command's steps done when killed
    for (const char *command : {"delete", "copy", "compact"}) {
        QTest::addRow("%s, after its first step", command) << QString::fromLatin1(command) << 0.0;
        QTest::addRow("%s, halfway", command) << QString::fromLatin1(command) << 0.5;
        QTest::addRow("%s, after its last step", command) << QString::fromLatin1(command) << 1.0;
    }
}

void TestFaults::killedInTheMiddle()
{
    QFETCH(QString, command);
    QFETCH(double, part);
    const TCommand &run = m_commands[command];
    const long pause = qBound(1L, long(part * double(run.steps)), run.steps);
    const QString catalog = Copy(run.pristine, command);
    {
        TWorker worker(WorkerArguments(run, catalog, pause));
        QVERIFY2(worker.WaitForLine(QStringLiteral("paused")), qPrintable(worker.Output()));
        worker.Kill();
        QVERIFY(worker.Killed());
    }
    // Nothing of the command was committed.
    CheckAfterKill(run, catalog, false);
}

void TestFaults::killedAtAnyMoment_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("kills");
    QTest::newRow("delete") << QStringLiteral("delete") << 4;
    QTest::newRow("copy") << QStringLiteral("copy") << 4;
    QTest::newRow("compact") << QStringLiteral("compact") << 4;
}

void TestFaults::killedAtAnyMoment()
{
    QFETCH(QString, command);
    QFETCH(int, kills);
    const TCommand &run = m_commands[command];
    // From the command's start to a little past its end, so that some kills
    // come while it commits.
    QRandomGenerator random(quint32(QDateTime::currentMSecsSinceEpoch()));
    for (int i = 0; i < kills; ++i) {
        const int delay = random.bounded(int(run.duration * 12 / 10) + 1);
        qInfo("killed %d ms after the start", delay);
        const QString catalog = Copy(run.pristine, command);
        {
            TWorker worker(WorkerArguments(run, catalog, 0));
            QVERIFY2(worker.WaitForLine(QStringLiteral("started")), qPrintable(worker.Output()));
            QTest::qSleep(delay);
            worker.Kill();
        }
        CheckAfterKill(run, catalog, true);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestFaults::fullDiskWhileSaving()
{
    const QString catalog = m_temp.filePath(QStringLiteral("full.MDB"));
    CatalogGenerator::GenerateCatalog(catalog, 100, Schema::Layout::Build102);
    const QString others = QStringLiteral("SELECT * FROM TbCd WHERE Name<>'满盘' ORDER BY Id");
    const QStringList before = CatalogState::Rows(catalog, others);
    const qint64 limit = QFileInfo(catalog).size() + 16384;

    TWorker worker({QStringLiteral("save"), catalog, QString::number(limit), QStringLiteral("1000000")});
    const std::optional<QString> message = worker.WaitForLine(QStringLiteral("message"));
    QVERIFY2(worker.Finish(), qPrintable(worker.Output()));
    // The user is told, in a message box.
    QVERIFY2(message && !message->isEmpty(), qPrintable(worker.Output()));
    QVERIFY2(message->contains(QDir::toNativeSeparators(catalog)) && message->contains(QStringLiteral("没有保存")),
             qPrintable(*message));
    QVERIFY2(!worker.WaitForLine(QStringLiteral("message")), "the second disc was refused too");

    // Nothing of the long disc is in the file; the short one, saved after it
    // in the same run, is.
    QCOMPARE(CatalogState::IntegrityCheck(catalog), QStringLiteral("ok"));
    QCOMPARE(CatalogState::Rows(catalog, QStringLiteral("SELECT Memo FROM TbCd WHERE Name='满盘'")),
             QStringList{QStringLiteral("short")});
    QCOMPARE(CatalogState::Rows(catalog, others), before);
}

void TestFaults::unreadableCatalogsStayAsTheyAre_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("bytes overwritten in the middle") << QStringLiteral("overwritten");
    QTest::newRow("truncated") << QStringLiteral("truncated");
    QTest::newRow("empty") << QStringLiteral("empty");
    QTest::newRow("a database of another program") << QStringLiteral("plain");
    QTest::newRow("a picture") << QStringLiteral("picture");
}

void TestFaults::unreadableCatalogsStayAsTheyAre()
{
    QFETCH(QString, kind);
    const QString path = m_temp.filePath(kind + QStringLiteral(".MDB"));
    if (kind == QLatin1String("overwritten") || kind == QLatin1String("truncated")) {
        CatalogGenerator::GenerateCatalog(path, 2000, Schema::Layout::Build102);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        if (kind == QLatin1String("truncated")) {
            QVERIFY(file.resize(size / 2));
        } else {
            QVERIFY(file.seek(size / 2 - 32768));
            file.write(QByteArray(65536, '\x5a'));
        }
    } else if (kind == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("plain")) {
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        const CatalogState::Handle db(raw);
        QCOMPARE(sqlite3_exec(raw, "CREATE TABLE Songs (Title TEXT); INSERT INTO Songs VALUES ('x')", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
    } else {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(path, "PNG"));
    }
    const QByteArray digest = CatalogState::FileDigest(path);

    // What the main window does with a catalog it opens: the upgrade, the
    // folder tree and the disc list. It stops at the first error, which the
    // user sees.
    TDM dm;
    dm.NameCatalog(path);
    QString message;
    try {
        UpgradeDb(dm);
        TDAOQuery folders, discs;
        folders.SetDatabase(&dm.DbBase);
        discs.SetDatabase(&dm.DbBase);
        TDM::OpenQuery(folders, QStringLiteral("SELECT * FROM TbTree"));
        TDM::OpenQuery(discs, DiscListStatement());
        for (discs.First(); !discs.AtEnd(); discs.Next())
            discs.Field(QStringLiteral("Memo")).AsString();
    } catch (const EAppError &e) {
        message = e.Message();
    }
    dm.DbBase.SetConnected(false);
    QVERIFY2(!message.isEmpty(), "the catalog was taken as sound");
    // The user learns which file it is and what is wrong with it.
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)) &&
                 (message.contains(QStringLiteral("损坏")) || message.contains(QStringLiteral("不是光盘夹文件"))),
             qPrintable(message));
    QCOMPARE(CatalogState::FileDigest(path), digest);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
