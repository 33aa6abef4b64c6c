// Backing up, restoring and compacting catalog files from the catalog menu.
#include "app/CatalogCommands.h"
#include "dialogs/CompactDbForm.h"
#include "store/catalog/CatalogBackup.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QCursor>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlcipher/sqlite3.h>

#include <memory>
#include <stdexcept>

namespace {

const QString Password = QString::fromLatin1(Schema::CatalogPassword);
const QString RestoredMessage = QStringLiteral("账本恢复成功！请选择打开账本开始使用。");
const QString NoCatalogMessage = QStringLiteral("请先打开一个光盘夹。");

using Handle = TCatalogHandle;

Handle Open(const QString &path, const QString &password = Password)
{
    return OpenCatalogHandle(path, password, false);
}

void Exec(sqlite3 *db, const QString &sql)
{
    QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
}

QString Value(const QString &path, const QString &sql)
{
    Handle db = Open(path);
    QString value;
    RunStatement(db.get(), sql.toUtf8(), [&](sqlite3_stmt *row) {
        if (value.isEmpty())
            value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)));
    });
    return value;
}

int DiscCount(const QString &path)
{
    return Value(path, QStringLiteral("SELECT count(*) FROM TbCd")).toInt();
}

// A catalog with discs named 盘1 ... 盘N, each with a long memo.
void MakeCatalog(const QString &path, int discs, Schema::Layout layout = Schema::Layout::Build102)
{
    Schema::CreateCatalog(path, layout, true);
    Handle db = Open(path);
    Exec(db.get(), QStringLiteral("BEGIN"));
    for (int i = 1; i <= discs; ++i)
        Exec(db.get(), QStringLiteral("INSERT INTO TbCd (Name, TId, Memo) VALUES ('盘%1', 1, '%2')")
                           .arg(i)
                           .arg(QString(400, QLatin1Char('x'))));
    Exec(db.get(), QStringLiteral("COMMIT"));
}

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray Digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Every entry of a folder with its content's digest.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        entries.insert(it.fileName(), Digest(it.filePath()));
    }
    return entries;
}

// Presses the buttons of the compact dialog once it is up.
void DriveCompactDialog(int okClicks)
{
    QTimer::singleShot(0, [okClicks] {
        auto *dlg = qobject_cast<TCompactDbFm *>(QApplication::activeModalWidget());
        if (!dlg)
            QFAIL("the compact dialog is not shown");
        for (int i = 0; i < okClicks; ++i)
            dlg->btnOk->click();
        dlg->btnClose->click();
    });
}

} // namespace

class TestCatalogCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backupWhileOpenIsCompleteAndReplaces();
    void restoreIntoTheCatalogFolder();
    void failuresAreReportedAndChangeNothing_data();
    void failuresAreReportedAndChangeNothing();
    void restoreOntoTheOpenCatalog_data();
    void restoreOntoTheOpenCatalog();
    void fullBackupRestoresOntoTheOpenCatalog();
    void commandsWithoutCatalogExplain_data();
    void commandsWithoutCatalogExplain();

    void compactDialogReports_data();
    void compactDialogReports();
    void compactDialogRecoversFromAnError();
    void compactAfterDeletingDiscsReloads();

private:
    QString DataPath(const QString &name) const { return m_data + QLatin1Char('/') + name; }
    QString OtherPath(const QString &name) const { return m_other->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_other; // a folder outside the program's
    std::unique_ptr<Msg::Recorder> m_messages;
    std::unique_ptr<TDM> m_dm;
    QString m_data;
    QString m_current; // the open catalog, Films.MDB with 20 discs
    QString m_chosen;  // what the file dialogs answer
    QStringList m_asked;
    int m_reloads = 0;
};

void TestCatalogCommands::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_other = std::make_unique<QTemporaryDir>();
    m_data = m_program->filePath(QStringLiteral("Data"));
    QVERIFY(QDir().mkpath(m_data));
    m_current = DataPath(QStringLiteral("Films.MDB"));
    MakeCatalog(m_current, 20);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(m_current);
    m_messages = std::make_unique<Msg::Recorder>();
    m_asked.clear();
    m_chosen.clear();
    m_reloads = 0;
    CatalogCommands::ChooseBackupFileHook = [this](QWidget *, const QString &proposed) {
        m_asked << proposed;
        return m_chosen;
    };
    CatalogCommands::ChooseRestoreFileHook = [this](QWidget *) {
        m_asked << QStringLiteral("restore");
        return m_chosen;
    };
}

void TestCatalogCommands::cleanup()
{
    m_dm.reset();
    m_messages.reset();
    m_program.reset();
    m_other.reset();
}

void TestCatalogCommands::backupWhileOpenIsCompleteAndReplaces()
{
    // The catalog is open with a query on it, and stays so.
    TDAOQuery list;
    list.SetDatabase(&m_dm->DbBase);
    TDM::OpenQuery(list, QStringLiteral("SELECT * FROM TbCd"));
    m_chosen = OtherPath(QStringLiteral("备份.mdb"));
    WriteFile(m_chosen, "an older backup");

    QVERIFY(RunCommand([this] { CatalogCommands::RunBackup(nullptr, *m_dm, m_current); }));
    QCOMPARE(m_asked, QStringList{QStringLiteral("Films.MDB")});
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Information);
    QVERIFY(m_messages->shown[0].text.contains(QDir::toNativeSeparators(m_chosen)));
    QVERIFY(m_dm->DbBase.Connected());
    QCOMPARE(list.RowCount(), 20);

    // A whole catalog with the same password; nothing else left beside it.
    QCOMPARE(DiscCount(m_chosen), 20);
    QCOMPARE(Value(m_chosen, QStringLiteral("SELECT Name FROM TbCd WHERE ID=20")), QStringLiteral("盘20"));
    QCOMPARE(Value(m_chosen, QStringLiteral("SELECT count(*) FROM TbCategory")), QStringLiteral("7"));
    QCOMPARE(Value(m_chosen, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(QDir(m_other->path()).entryList(QDir::Files), QStringList{QStringLiteral("备份.mdb")});
    QVERIFY_THROWS_EXCEPTION(EDAOError, Open(m_chosen, QStringLiteral("wrong")));

    // Changes made after the backup do not reach it; the backup opens as the
    // program's catalog.
    m_dm->ExecuteSQL(QStringLiteral("DELETE FROM TbCd WHERE ID>5"));
    QCOMPARE(DiscCount(m_chosen), 20);
    TDM copy;
    copy.NameCatalog(m_chosen);
    QCOMPARE(GetDbVersion(copy), QStringLiteral("Build1.02"));
}

void TestCatalogCommands::restoreIntoTheCatalogFolder()
{
    // A backup of Music restored while Films is open; an older Music whose
    // name differs in letter case is the one replaced.
    const QString source = OtherPath(QStringLiteral("Music.mdb"));
    MakeCatalog(source, 7);
    MakeCatalog(DataPath(QStringLiteral("MUSIC.MDB")), 2);
    const QByteArray older = Digest(DataPath(QStringLiteral("MUSIC.MDB")));
    m_dm->DbBase.SetConnected(true);
    m_chosen = source;

    QVERIFY(RunCommand([this] { CatalogCommands::RunRestore(nullptr, *m_dm, m_current, [this] { ++m_reloads; }); }));
    // The file replaced is kept beside it, and the message says where.
    const QString safetyCopy = DataPath(QStringLiteral("MUSIC.MDB.bak"));
    QCOMPARE(m_messages->Texts(),
             QStringList{RestoredMessage + QStringLiteral("\n\n被替换的光盘夹“%1”已保存为“%2”。")
                                               .arg(QDir::toNativeSeparators(DataPath(QStringLiteral("MUSIC.MDB"))),
                                                    QDir::toNativeSeparators(safetyCopy))});
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Information);
    QCOMPARE(Digest(DataPath(QStringLiteral("MUSIC.MDB"))), Digest(source));
    QCOMPARE(Digest(safetyCopy), older);
    QVERIFY(!QFile::exists(DataPath(QStringLiteral("Music.mdb"))));
    QCOMPARE(DiscCount(DataPath(QStringLiteral("MUSIC.MDB"))), 7);

    // Films stays open as it was; nothing is reloaded.
    QVERIFY(m_dm->DbBase.Connected());
    QCOMPARE(m_dm->DbBase.DatabaseName(), m_current);
    QCOMPARE(m_reloads, 0);
    QCOMPARE(QDir(m_data).entryList(QDir::Files).size(), 3);

    // A new name lands beside it, with nothing to keep.
    m_chosen = OtherPath(QStringLiteral("Games.MDB"));
    MakeCatalog(m_chosen, 1);
    m_messages->Clear();
    QVERIFY(RunCommand([this] { CatalogCommands::RunRestore(nullptr, *m_dm, m_current, [this] { ++m_reloads; }); }));
    QCOMPARE(m_messages->Texts(), QStringList{RestoredMessage});
    QCOMPARE(Digest(DataPath(QStringLiteral("Games.MDB"))), Digest(m_chosen));
    QVERIFY(!QFile::exists(DataPath(QStringLiteral("Games.MDB.bak"))));
}

void TestCatalogCommands::failuresAreReportedAndChangeNothing_data()
{
    QTest::addColumn<bool>("backup");
    QTest::addColumn<QString>("chosen");     // in the other folder, or "@data/" in the catalog folder
    QTest::addColumn<QByteArray>("content"); // written to chosen first; "catalog:<password>" makes one
    QTest::addColumn<QString>("reason");

    QTest::newRow("backup into a missing folder") << true << "missing/Films.mdb" << QByteArray() << "无法写入";
    QTest::newRow("backup onto a folder") << true << "folder.mdb" << QByteArray() << "文件夹";
    QTest::newRow("backup onto the catalog itself") << true << "@data/Films.MDB" << QByteArray() << "当前光盘夹";
    QTest::newRow("restore a text file") << false << "Films.MDB" << QByteArray("not a catalog") << "不是光盘夹文件";
    QTest::newRow("restore an empty file") << false << "Music.mdb" << QByteArray("") << "不是光盘夹文件";
    QTest::newRow("restore a foreign key") << false << "Music.mdb" << QByteArray("catalog:secret") << "密码不对";
    QTest::newRow("restore onto a folder") << false << "Sub.mdb" << QByteArray("catalog:") << "文件夹";
    // Catalogs that open with the password but are no sound catalog; the
    // first would replace the open catalog.
    QTest::newRow("restore a catalog failing the integrity check")
        << false << "Films.MDB" << QByteArray("broken:") << "索引与数据不一致";
    QTest::newRow("restore a catalog without a table the program needs")
        << false << "Music.mdb" << QByteArray("sql:DROP TABLE TbQuality") << "缺少程序需要的数据表“TbQuality”";
    QTest::newRow("restore a catalog without a column the program needs")
        << false << "Music.mdb"
        << QByteArray("sql:DROP TABLE TbQuality; CREATE TABLE TbQuality (Id INTEGER PRIMARY KEY, Grade TEXT)")
        << "数据表“TbQuality”缺少程序需要的列“Name”";
    QTest::newRow("restore a catalog of an unknown version")
        << false << "Music.mdb" << QByteArray("sql:UPDATE TbSetings SET Version='Build9.00'") << "版本“Build9.00”";
    QTest::newRow("restore over the template of new catalogs")
        << false << "blank" << QByteArray("catalog:") << "空白模板";
}

void TestCatalogCommands::failuresAreReportedAndChangeNothing()
{
    QFETCH(bool, backup);
    QFETCH(QString, chosen);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    QVERIFY(QDir(m_data).mkdir(QStringLiteral("Sub.mdb")));
    QVERIFY(QDir(m_other->path()).mkdir(QStringLiteral("folder.mdb")));
    MakeCatalog(DataPath(QStringLiteral("Blank")), 0);
    m_chosen = chosen.startsWith(QLatin1String("@data/")) ? DataPath(chosen.mid(6)) : OtherPath(chosen);
    const QString key = QString::fromLatin1(content.mid(8));
    if (content.startsWith("catalog:")) {
        Schema::CreateCatalog(m_chosen, Schema::Layout::Build102, false, key.isEmpty() ? Password : key);
    } else if (content.startsWith("broken:")) {
        MakeCatalog(m_chosen, 3);
        CatalogFixture::BreakCodeIndex(m_chosen);
    } else if (content.startsWith("sql:")) {
        MakeCatalog(m_chosen, 3);
        Exec(Open(m_chosen).get(), QString::fromUtf8(content.mid(4)));
    } else if (!backup) {
        WriteFile(m_chosen, content);
    }
    m_dm->DbBase.SetConnected(true);
    const auto data = Snapshot(m_data);
    const auto other = Snapshot(m_other->path());

    const bool done = RunCommand([this, backup] {
        if (backup)
            CatalogCommands::RunBackup(nullptr, *m_dm, m_current);
        else
            CatalogCommands::RunRestore(nullptr, *m_dm, m_current, [this] { ++m_reloads; });
    });
    QVERIFY(!done);
    QCOMPARE(m_messages->shown.size(), 1);
    const Msg::Shown &shown = m_messages->shown[0];
    QCOMPARE(shown.kind, Msg::Kind::Error);
    QVERIFY2(shown.text.startsWith(backup ? QStringLiteral("备份光盘夹失败：") : QStringLiteral("恢复光盘夹失败：")),
             qPrintable(shown.text));
    QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(QFileInfo(m_chosen).fileName()), qPrintable(shown.text));

    QCOMPARE(Snapshot(m_data), data);
    QCOMPARE(Snapshot(m_other->path()), other);
    QVERIFY(m_dm->DbBase.Connected());
    QCOMPARE(m_reloads, 0);
    QCOMPARE(m_dm->GetFieldValue(QStringLiteral("SELECT count(*) AS N FROM TbCd"), QStringLiteral("N")),
             QStringLiteral("20"));
}

void TestCatalogCommands::restoreOntoTheOpenCatalog_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("catalog");
    QTest::newRow("confirmed") << true << true;
    QTest::newRow("cancelled") << false << true;
    QTest::newRow("not a catalog: refused before asking") << true << false;
}

void TestCatalogCommands::restoreOntoTheOpenCatalog()
{
    QFETCH(bool, confirm);
    QFETCH(bool, catalog);

    // A backup of Films in the older layout, with 5 discs.
    m_chosen = OtherPath(QStringLiteral("Films.MDB"));
    if (catalog)
        MakeCatalog(m_chosen, 5, Schema::Layout::Build100);
    else
        WriteFile(m_chosen, "not a catalog");
    m_messages->confirmAnswer = confirm;
    TDAOQuery list;
    list.SetDatabase(&m_dm->DbBase);
    TDM::OpenQuery(list, QStringLiteral("SELECT * FROM TbCd"));
    const QByteArray before = Digest(m_current);
    bool closedWhileRestoring = false;
    auto reload = [&] {
        ++m_reloads;
        closedWhileRestoring = !list.Active();
        TDM::OpenQuery(list, QStringLiteral("SELECT * FROM TbCd"));
    };

    const bool done = RunCommand([&] { CatalogCommands::RunRestore(nullptr, *m_dm, m_current, reload); });
    QCOMPARE(done, catalog);
    if (!catalog) {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Error);
    } else {
        QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Confirmation);
        QVERIFY(m_messages->shown[0].text.contains(QDir::toNativeSeparators(m_current)));
    }

    if (confirm && catalog) {
        QCOMPARE(m_messages->shown.size(), 2);
        QCOMPARE(m_messages->shown[1].kind, Msg::Kind::Information);
        // The catalog replaced is kept as it was.
        QCOMPARE(Digest(m_current + QStringLiteral(".bak")), before);
        QVERIFY2(m_messages->shown[1].text.contains(QDir::toNativeSeparators(m_current + QStringLiteral(".bak"))),
                 qPrintable(m_messages->shown[1].text));
        QCOMPARE(m_reloads, 1);
        QVERIFY(closedWhileRestoring);
        // Reopened and brought to the current layout.
        QVERIFY(m_dm->DbBase.Connected());
        QCOMPARE(GetDbVersion(*m_dm), QStringLiteral("Build1.02"));
        QCOMPARE(list.RowCount(), 5);
    } else {
        QCOMPARE(Digest(m_current), before);
        QVERIFY(!QFile::exists(m_current + QStringLiteral(".bak")));
        QCOMPARE(m_reloads, 0);
        QVERIFY(m_dm->DbBase.Connected());
        QCOMPARE(list.RowCount(), 20);
    }
}

void TestCatalogCommands::fullBackupRestoresOntoTheOpenCatalog()
{
    const QString pictures = m_program->filePath(QStringLiteral("Picture"));
    QVERIFY(QDir().mkpath(pictures));
    WriteFile(pictures + QStringLiteral("/a.jpg"), "the cover");
    {
        Handle db = Open(m_current);
        Exec(db.get(), QStringLiteral("UPDATE TbCd SET Picture='a.jpg' WHERE ID<=2"));
        Exec(db.get(), QStringLiteral("UPDATE TbCd SET Picture='gone.jpg' WHERE ID=3"));
    }
    const QString archive = OtherPath(QStringLiteral("Films.zip"));
    CatalogCommands::ChooseFullBackupFileHook = [&](QWidget *, const QString &proposed) {
        m_asked << proposed;
        return archive;
    };
    CatalogCommands::ChooseFullRestoreFileHook = [&](QWidget *) { return archive; };

    QVERIFY(RunCommand([&] { CatalogCommands::RunFullBackup(nullptr, *m_dm, m_current, pictures); }));
    QCOMPARE(m_asked, QStringList{QStringLiteral("Films.zip")});
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Warning); // a picture was missing
    QVERIFY2(m_messages->shown[0].text.contains(QStringLiteral("20 张光盘、1 个封面图片")) &&
                 m_messages->shown[0].text.contains(QStringLiteral("gone.jpg")),
             qPrintable(m_messages->shown[0].text));

    // Later: discs deleted, and another picture under the cover's name.
    {
        Handle db = Open(m_current);
        Exec(db.get(), QStringLiteral("DELETE FROM TbCd WHERE ID>5"));
    }
    WriteFile(pictures + QStringLiteral("/a.jpg"), "a different picture");
    const QByteArray before = Digest(m_current);
    TDAOQuery list;
    list.SetDatabase(&m_dm->DbBase);
    TDM::OpenQuery(list, QStringLiteral("SELECT * FROM TbCd"));
    auto reload = [&] {
        ++m_reloads;
        TDM::OpenQuery(list, QStringLiteral("SELECT * FROM TbCd"));
    };
    m_messages->Clear();
    QVERIFY(RunCommand([&] { CatalogCommands::RunFullRestore(nullptr, *m_dm, m_current, pictures, reload); }));
    QCOMPARE(m_messages->shown.size(), 2);
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Confirmation);
    QCOMPARE(m_messages->shown[1].kind, Msg::Kind::Information);
    QVERIFY2(m_messages->shown[1].text.contains(QStringLiteral("a.jpg → a_1.jpg")) &&
                 m_messages->shown[1].text.contains(QDir::toNativeSeparators(m_current + QStringLiteral(".bak"))),
             qPrintable(m_messages->shown[1].text));
    QCOMPARE(Digest(m_current + QStringLiteral(".bak")), before);
    QCOMPARE(m_reloads, 1);
    QVERIFY(m_dm->DbBase.Connected());
    QCOMPARE(list.RowCount(), 20);
    QCOMPARE(Value(m_current, QStringLiteral("SELECT Picture FROM TbCd WHERE ID=1")), QStringLiteral("a_1.jpg"));
    QFile kept(pictures + QStringLiteral("/a.jpg")), restored(pictures + QStringLiteral("/a_1.jpg"));
    QVERIFY(kept.open(QIODevice::ReadOnly) && restored.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("a different picture"));
    QCOMPARE(restored.readAll(), QByteArray("the cover"));
}

void TestCatalogCommands::commandsWithoutCatalogExplain_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("missingFile");
    for (int command = 0; command < 3; ++command) {
        const char *name = command == 0 ? "backup" : command == 1 ? "restore" : "compact";
        QTest::addRow("%s, none open", name) << command << false;
        QTest::addRow("%s, file gone", name) << command << true;
    }
}

void TestCatalogCommands::commandsWithoutCatalogExplain()
{
    QFETCH(int, command);
    QFETCH(bool, missingFile);
    const QString current = missingFile ? DataPath(QStringLiteral("Gone.MDB")) : QString();
    m_chosen = OtherPath(QStringLiteral("x.mdb"));

    QVERIFY(RunCommand([&] {
        auto reload = [this] { ++m_reloads; };
        if (command == 0)
            CatalogCommands::RunBackup(nullptr, *m_dm, current);
        else if (command == 1)
            CatalogCommands::RunRestore(nullptr, *m_dm, current, reload);
        else
            CatalogCommands::RunCompact(nullptr, *m_dm, current, reload);
    }));
    QCOMPARE(m_messages->Texts(), QStringList{NoCatalogMessage});
    QVERIFY(m_asked.isEmpty());
    QCOMPARE(m_reloads, 0);
}

void TestCatalogCommands::compactDialogReports_data()
{
    QTest::addColumn<TCurrency>("ratio");
    QTest::addColumn<QString>("reason"); // what the failure reason says, if asked
    QTest::addColumn<QString>("message");
    QTest::newRow("failed") << TCurrency(0) << QString() << QStringLiteral("光盘夹整理失败！");
    QTest::newRow("failed, with its reason")
        << TCurrency(0) << QStringLiteral("磁盘空间不足") << QStringLiteral("光盘夹整理失败！\n磁盘空间不足");
    QTest::newRow("smaller") << TCurrency(4567) << QStringLiteral("不该出现")
                             << QStringLiteral("光盘夹整理完成！目前光盘夹大小为整理前的 45.67％");
    QTest::newRow("unchanged") << TCurrency(10000) << QString()
                               << QStringLiteral("光盘夹整理完成！目前光盘夹大小为整理前的 100.00％");
    QTest::newRow("one ten-thousandth") << TCurrency(1) << QString()
                                        << QStringLiteral("光盘夹整理完成！目前光盘夹大小为整理前的 0.01％");
}

void TestCatalogCommands::compactDialogReports()
{
    QFETCH(TCurrency, ratio);
    QFETCH(QString, reason);
    QFETCH(QString, message);
    bool busy = false;
    TCompactDbFm *dialog = nullptr;
    TCompactDbFm dlg(
        [&] {
            busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor &&
                   !dialog->btnOk->isEnabled();
            return ratio;
        },
        nullptr, [&] { return reason; });
    dialog = &dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("整理光盘夹"));
    QCOMPARE(dlg.Label1->text(),
             QStringLiteral(
                 "    每隔一段时间您应该使用“整理光盘夹”功能整理您的账本。这样可以使提高程序运行效率，加快显示。"));
    QCOMPARE(dlg.btnOk->text(), QStringLiteral("开始"));
    QCOMPARE(dlg.btnClose->text(), QStringLiteral("关闭"));
    dlg.show();

    QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
    QVERIFY(busy);
    QCOMPARE(m_messages->Texts(), QStringList{message});
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Information);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(dlg.btnOk->isEnabled());
    QVERIFY(dlg.isVisible()); // it may compact again
}

void TestCatalogCommands::compactDialogRecoversFromAnError()
{
    TCompactDbFm dlg([]() -> TCurrency { throw EFileError(QStringLiteral("无法打开文件“x”")); });
    dlg.show();
    QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
    QCOMPARE(m_messages->Texts(), QStringList{QStringLiteral("无法打开文件“x”")});
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Error);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(dlg.btnOk->isEnabled());
}

void TestCatalogCommands::compactAfterDeletingDiscsReloads()
{
    // 400 discs, most of them deleted through the open catalog.
    m_dm.reset();
    QFile::remove(m_current);
    MakeCatalog(m_current, 400);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(m_current);
    m_dm->ExecuteSQL(QStringLiteral("DELETE FROM TbCd WHERE ID>10"));
    TDAOQuery tree, discs;
    tree.SetDatabase(&m_dm->DbBase);
    discs.SetDatabase(&m_dm->DbBase);
    TDM::OpenQuery(tree, QStringLiteral("SELECT * FROM TbTree"));
    int reloadedRows = -1;
    auto reload = [&] {
        ++m_reloads;
        TDM::OpenQuery(tree, QStringLiteral("SELECT * FROM TbTree"));
        TDM::OpenQuery(discs, QStringLiteral("SELECT * FROM TbCd"));
        reloadedRows = discs.RowCount();
    };

    DriveCompactDialog(1);
    QVERIFY(RunCommand([&] { CatalogCommands::RunCompact(nullptr, *m_dm, m_current, reload); }));
    QCOMPARE(m_messages->shown.size(), 1);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^光盘夹整理完成！目前光盘夹大小为整理前的 (\\d+\\.\\d\\d)％$"))
            .match(m_messages->shown[0].text);
    QVERIFY2(match.hasMatch(), qPrintable(m_messages->shown[0].text));
    QVERIFY(match.captured(1).toDouble() < 50.0);

    // Every remaining disc, the same password, the panes reloaded afterwards.
    QCOMPARE(m_reloads, 1);
    QCOMPARE(reloadedRows, 10);
    QVERIFY(tree.Active());
    QCOMPARE(Value(m_current, QStringLiteral("SELECT group_concat(Name) FROM (SELECT Name FROM TbCd ORDER BY ID)")),
             QStringLiteral("盘1,盘2,盘3,盘4,盘5,盘6,盘7,盘8,盘9,盘10"));
}

QTEST_MAIN(TestCatalogCommands)
#include "tst_catalogcommands.moc"
