// The data source: a query's rows as a Qt model, its cursor as the
// selection.
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "tests/support/CatalogFixture.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

class TestDataSource : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsQueryThroughEveryChange();
    void cursorAndSelectionMoveTogether();

private:
    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDAODatabase> m_db;
    std::unique_ptr<TDAOQuery> m_q;
};

void TestDataSource::init()
{
    m_catalog = std::make_unique<CatalogFixture>(Schema::Layout::Build102, true);
    m_db = std::make_unique<TDAODatabase>();
    m_catalog->Attach(*m_db);
    m_q = std::make_unique<TDAOQuery>();
    m_q->SetDatabase(m_db.get());
    m_q->SetSQL("SELECT Id,Name FROM TbCategory");
}

void TestDataSource::cleanup()
{
    m_q.reset();
    m_db.reset();
    m_catalog.reset();
}

void TestDataSource::followsQueryThroughEveryChange()
{
    TDAODataSource source;
    QAbstractItemModelTester tester(&source, QAbstractItemModelTester::FailureReportingMode::QtTest);
    source.SetDataSet(m_q.get());
    QCOMPARE(source.rowCount(), 0); // closed

    m_q->Open();
    QCOMPARE(source.rowCount(), 7);
    QCOMPARE(source.columnCount(), 2);
    QCOMPARE(source.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(source.data(source.index(1, 1)).toString(), QStringLiteral("音乐"));
    QCOMPARE(source.data(source.index(1, 0), TDAODataSource::ValueRole), QVariant(2));

    m_q->Append();
    m_q->Field("Name").SetAsString(QStringLiteral("纪录片"));
    m_q->Post();
    QCOMPARE(source.rowCount(), 8);
    QCOMPARE(source.data(source.index(7, 1)).toString(), QStringLiteral("纪录片"));

    m_q->First();
    m_q->Edit();
    m_q->Field("Name").SetAsString(QStringLiteral("影片"));
    m_q->Post();
    QCOMPARE(source.data(source.index(0, 1)).toString(), QStringLiteral("影片"));

    m_q->Delete();
    QCOMPARE(source.rowCount(), 7);

    // Many changes while suspended arrive as one reset.
    QSignalSpy resets(&source, &QAbstractItemModel::modelReset);
    {
        TDAOSuspendGuard guard(*m_q);
        for (int i = 0; i < 3; ++i)
            m_q->Delete();
    }
    QCOMPARE(resets.count(), 1);
    QCOMPARE(source.rowCount(), 4);

    m_q->Close();
    QCOMPARE(source.rowCount(), 0);
    m_q->Open();
    QCOMPARE(source.rowCount(), 4);
}

void TestDataSource::cursorAndSelectionMoveTogether()
{
    TDAODataSource source;
    source.SetDataSet(m_q.get());
    QItemSelectionModel selection(&source);
    source.FollowSelection(&selection);
    int scrolls = 0;
    m_q->AfterScroll = [&](TDAODataset &) { ++scrolls; };
    m_q->Open();

    m_q->Next();
    m_q->Next();
    QCOMPARE(selection.currentIndex().row(), 2);
    QVERIFY(selection.isRowSelected(2, {}));

    scrolls = 0;
    selection.setCurrentIndex(source.index(5, 0), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(m_q->CurrentRow(), 5);
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("动画"));
    QCOMPARE(scrolls, 1);
    QCOMPARE(source.data(source.index(5, 0), TDAODataSource::BookmarkRole).value<TBookmark>(), m_q->Bookmark());
}

QTEST_GUILESS_MAIN(TestDataSource)
#include "tst_datasource.moc"
