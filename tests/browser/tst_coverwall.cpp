// The cover wall: thumbnails made in the background and kept on disk, the
// wall's tiles against the grid's rows, and the wall acting on the grid's
// selection and current disc, on a real catalog.
#include "browser/CdListPane.h"
#include "browser/CoverWall.h"
#include "browser/CoverWallModel.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAOQuery.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridModel.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/ThumbnailCache.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class TestCoverWall : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void thumbnails_data();
    void thumbnails();
    void changedPictureIsMadeAgain();
    void wallFollowsGridRows_data();
    void wallFollowsGridRows();
    void wallActsOnGridSelection();
    void switchIsRemembered();

private:
    QStringList GridNames() const;
    QStringList WallNames() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TDAOQuery> m_qcd;
    std::unique_ptr<TCdListPane> m_pane;
    std::unique_ptr<Msg::Recorder> m_messages;
    QList<int> m_pages;
};

namespace {

void WritePicture(const QString &path, const QColor &color, const QSize &size = QSize(300, 430))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(path, "JPG"));
}

} // namespace

// Five discs in two categories; two have covers, one names a missing file
// and one a file that is no picture.
void TestCoverWall::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString path = m_dir->filePath(QStringLiteral("Test.MDB"));
    Schema::CreateCatalog(path, Schema::Layout::Build102, true);
    m_dm = std::make_unique<TDM>();
    DM = m_dm.get();
    m_dm->NameCatalog(path);
    for (const char *sql : {
             R"(INSERT INTO TbCd (Name, Code, TId, CId, Price, Picture) VALUES ("藏金阁", "1", 1, 2, 12.5, "a.jpg"))",
             R"(INSERT INTO TbCd (Name, Code, TId, CId, Price, Picture) VALUES ("英雄", "2", 1, 1, 3, "b.jpg"))",
             R"(INSERT INTO TbCd (Name, Code, TId, CId, Price, Picture) VALUES ("大话西游", "3", 1, 1, 0, "gone.jpg"))",
             R"(INSERT INTO TbCd (Name, Code, TId, CId, Price, Picture) VALUES ("Music", "4", 1, 2, 20, "bad.jpg"))",
             R"(INSERT INTO TbCd (Name, Code, TId, CId, Price) VALUES ("阿凡达", "5", 1, 1, 7))",
         })
        m_dm->ExecuteSQL(QString::fromUtf8(sql));
    WritePicture(m_dir->filePath(QStringLiteral("a.jpg")), Qt::red);
    WritePicture(m_dir->filePath(QStringLiteral("b.jpg")), Qt::blue);
    QFile bad(m_dir->filePath(QStringLiteral("bad.jpg")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture at all");
    bad.close();

    m_messages = std::make_unique<Msg::Recorder>();
    m_qcd = std::make_unique<TDAOQuery>();
    m_qcd->SetDatabase(&m_dm->DbBase);
    m_pane = std::make_unique<TCdListPane>(*m_qcd);
    m_pane->PictureFolder = m_dir->path();
    m_pages.clear();
    connect(m_pane.get(), &TCdListPane::DiscShown, this, [this](int id) { m_pages << id; });
    m_pane->CurrentFolderId = [] { return 1; };
}

void TestCoverWall::cleanup()
{
    m_pane.reset();
    m_qcd.reset();
    QVERIFY(m_messages->shown.isEmpty()); // a bad picture is never an error box
    m_messages.reset();
    DM = nullptr;
    m_dm.reset();
    m_dir.reset();
}

void TestCoverWall::thumbnails_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("made"); // false: the fallback
    QTest::newRow("picture") << QStringLiteral("a.jpg") << true;
    QTest::newRow("missing file") << QStringLiteral("gone.jpg") << false;
    QTest::newRow("not a picture") << QStringLiteral("bad.jpg") << false;
    QTest::newRow("a folder") << QStringLiteral(".") << false;
}

// A miss is made in the background and announced; the next request is a
// hit from memory; a new cache finds it on disk without decoding again.
void TestCoverWall::thumbnails()
{
    QFETCH(QString, picture);
    QFETCH(bool, made);
    const QString path = m_dir->filePath(picture);
    const QString disk = m_dir->filePath(QStringLiteral("cache"));
    const QImage fallback(QStringLiteral(":/nopicture.jpg"));
    const QSize size(110, 158);
    TThumbnailCache cache(disk, size, fallback);
    QSignalSpy ready(&cache, &TThumbnailCache::Ready);
    QVERIFY(cache.Thumbnail(path).isNull()); // a miss: being made
    QTRY_COMPARE(ready.size(), 1);
    QCOMPARE(ready.first().first().toString(), path);
    const QImage image = cache.Thumbnail(path);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= size.width() && image.height() <= size.height());
    if (!made) {
        QCOMPARE(image, cache.Fallback());
        QVERIFY(!QDir(disk).exists() || QDir(disk).isEmpty());
        return;
    }
    QVERIFY(image != cache.Fallback());
    QCOMPARE(image.size(), QSize(300, 430).scaled(size, Qt::KeepAspectRatio));
    QVERIFY(qRed(image.pixel(50, 50)) > 200 && qBlue(image.pixel(50, 50)) < 60);
    const QString stored = disk + u'/' + TThumbnailCache::DiskName(path);
    QVERIFY(QFileInfo(stored).isFile());

    // The disk copy serves a new cache even when the picture can no longer
    // be decoded from its file (it is unreadable now, not changed).
    QFile::setPermissions(path, QFileDevice::Permissions());
    const QImage again = TThumbnailCache::Make(path, size, disk);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!again.isNull());
    QCOMPARE(again.size(), image.size());
    QCOMPARE(cache.Thumbnail(QString()), cache.Fallback()); // no picture named
}

void TestCoverWall::changedPictureIsMadeAgain()
{
    const QString path = m_dir->filePath(QStringLiteral("a.jpg"));
    TThumbnailCache cache(m_dir->filePath(QStringLiteral("cache")), QSize(110, 158), QImage());
    QVERIFY(cache.Thumbnail(path).isNull());
    QTRY_VERIFY(!cache.Thumbnail(path).isNull());
    QVERIFY(qRed(cache.Thumbnail(path).pixel(10, 10)) > 200);
    const QString before = TThumbnailCache::DiskName(path);

    WritePicture(path, Qt::green, QSize(200, 200));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(TThumbnailCache::DiskName(path) != before);
    QVERIFY(cache.Thumbnail(path).isNull()); // the old one is not served
    QTRY_VERIFY(!cache.Thumbnail(path).isNull());
    const QImage image = cache.Thumbnail(path);
    QCOMPARE(image.size(), QSize(110, 110));
    QVERIFY(qGreen(image.pixel(10, 10)) > 200 && qRed(image.pixel(10, 10)) < 60);
}

QStringList TestCoverWall::GridNames() const
{
    // The grid's data rows in the order shown, every group opened.
    const QAbstractItemModel *model = m_pane->dgCd->View()->model();
    const auto *grid = qobject_cast<const TGridModel *>(model);
    const int name = grid->ColumnOfField(QStringLiteral("Name"));
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex top = model->index(row, name);
        if (!grid->IsGroupRow(top.siblingAtColumn(0))) {
            names << top.data().toString();
            continue;
        }
        for (int child = 0; child < model->rowCount(top.siblingAtColumn(0)); ++child)
            names << model->index(child, name, top.siblingAtColumn(0)).data().toString();
    }
    return names;
}

QStringList TestCoverWall::WallNames() const
{
    const QAbstractItemModel *wall = m_pane->lvCoverWall->model();
    QStringList names;
    for (int row = 0; row < wall->rowCount(); ++row) {
        names << wall->index(row, 0).data().toString();
        if (wall->index(row, 0).data(Qt::ToolTipRole).toString() != names.last())
            names << QStringLiteral("(tool tip differs)");
    }
    return names;
}

void TestCoverWall::wallFollowsGridRows_data()
{
    QTest::addColumn<QString>("sortField");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("groupField");
    QTest::newRow("as read") << QString() << int(Qt::AscendingOrder) << QString();
    QTest::newRow("by name") << QStringLiteral("Name") << int(Qt::AscendingOrder) << QString();
    QTest::newRow("by price, descending") << QStringLiteral("Price") << int(Qt::DescendingOrder) << QString();
    QTest::newRow("grouped by category, by price")
        << QStringLiteral("Price") << int(Qt::AscendingOrder) << QStringLiteral("Category");
}

void TestCoverWall::wallFollowsGridRows()
{
    QFETCH(QString, sortField);
    QFETCH(int, order);
    QFETCH(QString, groupField);
    m_pane->ShowCdList(1);
    m_pane->dgCd->SortBy(sortField, Qt::SortOrder(order));
    m_pane->dgCd->GroupBy(groupField);
    QCOMPARE(GridNames().size(), 5);
    QCOMPARE(WallNames(), GridNames());
    if (!groupField.isEmpty()) {
        // Grouped, each group's discs stay together.
        const QStringList names = WallNames();
        QCOMPARE(names.mid(0, 3), (QStringList{"大话西游", "英雄", "阿凡达"}));
    }

    // Changes of the list are followed: a disc deleted, the list read again.
    m_pane->ShowCdList(1);
    m_qcd->Delete();
    QCOMPARE(WallNames().size(), 4);
    QCOMPARE(WallNames(), GridNames());
    m_dm->ExecuteSQL(QStringLiteral(R"(INSERT INTO TbCd (Name, Code, TId, CId) VALUES ("新片", "9", 1, 2))"));
    m_pane->ShowCdList(1);
    QCOMPARE(WallNames(), GridNames());
    QVERIFY(WallNames().contains(QStringLiteral("新片")));

    // Each tile's cover: the stored picture's path, empty for a missing one.
    const QAbstractItemModel *wall = m_pane->lvCoverWall->model();
    for (int row = 0; row < wall->rowCount(); ++row) {
        const QString name = wall->index(row, 0).data().toString();
        const QString picture = wall->index(row, 0).data(TCoverWallModel::PictureRole).toString();
        if (name == QStringLiteral("英雄"))
            QCOMPARE(picture, m_dir->filePath(QStringLiteral("b.jpg")));
        else if (name == QStringLiteral("大话西游") || name == QStringLiteral("阿凡达"))
            QCOMPARE(picture, QString());
    }
}

// Clicking a tile makes its disc the current one (the detail page follows);
// a selection made on the wall is the one delete and drag take from the
// grid, grouped or not.
void TestCoverWall::wallActsOnGridSelection()
{
    m_pane->resize(600, 500);
    m_pane->show();
    m_pane->dgCd->GroupBy(QStringLiteral("Category"));
    m_pane->ShowCdList(1);
    m_pane->ShowCoverWall(true);
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
    TCoverWall *wall = m_pane->lvCoverWall;
    QVERIFY(wall->isVisible());
    QVERIFY(!m_pane->dgCd->isVisible());

    const QModelIndex third = wall->model()->index(2, 0);
    QTest::mouseClick(wall->viewport(), Qt::LeftButton, {}, wall->visualRect(third).center());
    const QString name = third.data().toString();
    QCOMPARE(m_qcd->Field(QStringLiteral("Name")).AsString(), name);
    QCOMPARE(m_pages.last(), m_qcd->Field(QStringLiteral("ID")).AsInteger());
    QCOMPARE(m_pane->dgCd->SelectedCount(), 1);

    const QModelIndex fourth = wall->model()->index(3, 0); // in the other group
    QTest::mouseClick(wall->viewport(), Qt::LeftButton, Qt::ControlModifier, wall->visualRect(fourth).center());
    QCOMPARE(m_pane->dgCd->SelectedCount(), 2);
    QCOMPARE(m_qcd->Field(QStringLiteral("Name")).AsString(), fourth.data().toString());

    // Delete takes the wall's two discs, after the same confirmation.
    connect(m_pane.get(), &TCdListPane::DiscsDeleted, this, [this] { m_pane->ShowCdList(1); });
    m_pane->btnDelClick();
    QCOMPARE(m_messages->Texts(), QStringList{QStringLiteral("真的要删除这 2 张光盘吗？")});
    m_messages->shown.clear();
    QCOMPARE(m_qcd->RowCount(), 3);
    QVERIFY(!WallNames().contains(name));
    QCOMPARE(WallNames(), GridNames());

    // The query's cursor moved elsewhere (a jump by code): the wall follows.
    m_qcd->First();
    const QModelIndex current = wall->currentIndex();
    QVERIFY(current.isValid());
    QCOMPARE(current.data().toString(), m_qcd->Field(QStringLiteral("Name")).AsString());

    // Double click edits the disc.
    QStringList edited;
    m_pane->EditDisc = [&](TCdRec &disc) {
        edited << disc.Name;
        return false;
    };
    // (the test's double click follows a press, as a real one does)
    QTest::mousePress(wall->viewport(), Qt::LeftButton, {}, wall->visualRect(current).center());
    QTest::mouseDClick(wall->viewport(), Qt::LeftButton, {}, wall->visualRect(current).center());
    QCOMPARE(edited, QStringList{current.data().toString()});
}

void TestCoverWall::switchIsRemembered()
{
    QSettings layouts(m_dir->filePath(QStringLiteral("layouts.ini")), QSettings::IniFormat);
    QVERIFY(!m_pane->acCoverWall->isChecked());
    m_pane->acCoverWall->trigger();
    QVERIFY(m_pane->acCoverWall->isChecked());
    m_pane->SaveLayout(layouts);
    m_pane = std::make_unique<TCdListPane>(*m_qcd);
    m_pane->RestoreLayout(layouts);
    QVERIFY(m_pane->acCoverWall->isChecked());
    QVERIFY(!m_pane->lvCoverWall->isHidden());
    QVERIFY(m_pane->dgCd->isHidden());
    m_pane->acCoverWall->trigger();
    m_pane->SaveLayout(layouts);
    m_pane = std::make_unique<TCdListPane>(*m_qcd);
    m_pane->RestoreLayout(layouts);
    QVERIFY(!m_pane->acCoverWall->isChecked());
    QVERIFY(m_pane->lvCoverWall->isHidden());
}

QTEST_MAIN(TestCoverWall)
#include "tst_coverwall.moc"
