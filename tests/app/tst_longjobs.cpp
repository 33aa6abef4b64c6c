// Long work off the window's thread, through the real main window: while a
// scan waits on the worker the window still paints and a catalog handed
// over by a later start waits; the result lands and the window shows it.
// The version check's own loop holds such a request back as well.
#include "app/MainForm.h"
#include "app/OpenRequests.h"
#include "app/VersionCheck.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "dialogs/ScanDiscDlg.h"
#include "tests/support/ProgramFixture.h"
#include "toolkit/JobProgress.h"

#include <QAction>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSemaphore>
#include <QTcpServer>
#include <QTextBrowser>
#include <QTimer>

#include <atomic>

class TestLongJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowPaintsWhileAScanWaits();
    void cancelledScanKeepsTheContents();
    void versionCheckHoldsAHandedOverCatalog();

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

namespace {

// Counts the paintings a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    std::atomic<int> paints{0};

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void WriteFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

QByteArray CatalogDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

void TestLongJobs::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestLongJobs::windowPaintsWhileAScanWaits()
{
    ProgramFixture program;
    program.Execute({"INSERT INTO TbTree (Id1, Name) VALUES (1, '备份盘')"});
    program.Execute({"INSERT INTO TbCd (Code, Name, Spell, TId, CId) "
                     "SELECT 'B7', '照片备份', 'ZPBF', ID, 1 FROM TbTree WHERE Name='备份盘'"});
    const QString other = program.FilePath(QStringLiteral("Data/Other.MDB"));
    Schema::CreateCatalog(other, Schema::Layout::Build102, true);
    QTemporaryDir disc;
    WriteFile(disc.filePath(QStringLiteral("2019/年终报告.doc")), 300 * 1024);
    WriteFile(disc.filePath(QStringLiteral("说明.txt")), 10);
    program.Start();
    const int folder =
        DM->GetFieldValue(QStringLiteral("SELECT ID AS V FROM TbTree WHERE Name='备份盘'"), QStringLiteral("V"))
            .toInt();
    QVERIFY(MainFm->CdTree->LocateFolder(folder));
    MainFm->CdTree->tlCdTreeClick();
    QVERIFY(!MainFm->WebBrowser->toPlainText().contains(QStringLiteral("文件数：")));

    // The scan stops in its first folder until the test lets it go on.
    QSemaphore entered, release;
    std::atomic<bool> blocked{false};
    ScanDisc::ChooseVolumeHook = [&](QWidget *) { return Volumes::OfFolder(disc.path()); };
    ScanDisc::RefuseFolderHook = [&](const QString &) {
        if (!blocked.exchange(true)) {
            entered.release();
            release.tryAcquire(1, 30000); // never for ever, should the test fail
        }
        return false;
    };
    PaintCounter counter(MainFm->CdTree);

    // Driven from the window's own event loop while the command waits.
    bool dialogUp = false, paintedWhileBusy = false, heldOpen = false;
    int stage = 0;
    QElapsedTimer clock, sinceRequest;
    clock.start();
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (clock.elapsed() > 20000) {
            release.release();
            watch.stop();
            return;
        }
        switch (stage) {
        case 0:
            if (!entered.tryAcquire())
                return;
            if (auto *progress = qobject_cast<TJobProgressDlg *>(QApplication::activeModalWidget()))
                dialogUp =
                    progress->isVisible() && progress->windowModality() == Qt::WindowModal && progress->btnCancel;
            counter.paints = 0;
            MainFm->CdTree->update();
            stage = 1;
            return;
        case 1:
            if (counter.paints == 0)
                return;
            paintedWhileBusy = true;
            HandleOpenRequest(*MainFm, other);
            sinceRequest.start();
            stage = 2;
            return;
        default:
            // Well past the request's first turn and a retry.
            if (sinceRequest.elapsed() < 500)
                return;
            heldOpen = CurrentDb == program.Path();
            release.release();
            watch.stop();
        }
    });
    watch.start();
    MainFm->CdList->pmCdScan->trigger();
    ScanDisc::ChooseVolumeHook = nullptr;
    ScanDisc::RefuseFolderHook = nullptr;

    QVERIFY(dialogUp);
    QVERIFY(paintedWhileBusy);
    QVERIFY(heldOpen);
    QVERIFY(!JobProgress::Worker().Busy());
    QCOMPARE(program.Messages.shown.size(), 1);
    QVERIFY2(program.Messages.shown.first().text.startsWith(QStringLiteral("扫描完成：2 个文件，1 个文件夹")),
             qPrintable(program.Messages.shown.first().text));
    // The page read what the worker wrote.
    QVERIFY2(MainFm->WebBrowser->toPlainText().contains(QStringLiteral("文件数：")),
             qPrintable(MainFm->WebBrowser->toPlainText()));
    // The handed-over catalog opens once the command is done.
    QTRY_COMPARE(CurrentDb, other);
}

void TestLongJobs::cancelledScanKeepsTheContents()
{
    ProgramFixture program;
    program.Execute({"INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES ('B7', '照片备份', 'ZPBF', 1, 1)"});
    QTemporaryDir disc;
    // Enough entries for the scan to look at its progress, and so at the
    // request to stop, on the way.
    for (int i = 0; i < 300; ++i)
        WriteFile(disc.filePath(QStringLiteral("a/%1.txt").arg(i)), 0);
    program.Start();
    const int id = DM->GetFieldValue(QStringLiteral("SELECT ID AS V FROM TbCd"), QStringLiteral("V")).toInt();
    const QByteArray before = CatalogDigest(program.Path());

    // Cancel is pressed while the worker waits in the scan's first folder.
    QSemaphore entered, release;
    std::atomic<bool> blocked{false};
    ScanDisc::ChooseVolumeHook = [&](QWidget *) { return Volumes::OfFolder(disc.path()); };
    ScanDisc::RefuseFolderHook = [&](const QString &) {
        if (!blocked.exchange(true)) {
            entered.release();
            release.tryAcquire(1, 30000);
        }
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!entered.tryAcquire() && clock.elapsed() < 20000)
            return;
        if (auto *progress = qobject_cast<TJobProgressDlg *>(QApplication::activeModalWidget()))
            progress->btnCancel->click();
        release.release();
        watch.stop();
    });
    watch.start();
    QVERIFY(!ScanDisc::Run(MainFm, DM->DbBase, id, Volumes::OfFolder(disc.path())));
    ScanDisc::ChooseVolumeHook = nullptr;
    ScanDisc::RefuseFolderHook = nullptr;

    QCOMPARE(program.Messages.Texts(), QStringList{QStringLiteral("扫描已取消，光盘内容保持原样。")});
    QCOMPARE(CatalogDigest(program.Path()), before);
}

void TestLongJobs::versionCheckHoldsAHandedOverCatalog()
{
    ProgramFixture program;
    const QString other = program.FilePath(QStringLiteral("Data/Other.MDB"));
    Schema::CreateCatalog(other, Schema::Layout::Build102, true);
    program.Start();

    // A server that takes the request and never answers.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    TVersionClient client;
    client.SetBaseUrl(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
    client.SetTimeout(1500);

    QString duringCheck;
    QTimer::singleShot(100, MainFm, [&] { HandleOpenRequest(*MainFm, other); });
    QTimer::singleShot(1000, MainFm, [&] { duringCheck = CurrentDb; });
    CheckVersion(*DM, client);

    QCOMPARE(duringCheck, program.Path());
    QCOMPARE(program.Messages.Texts(), QStringList{QStringLiteral("请检查您的电脑是否已经上网，然后再使用此功能。")});
    QTRY_COMPARE(CurrentDb, other);
}

QTEST_MAIN(TestLongJobs)
#include "tst_longjobs.moc"
