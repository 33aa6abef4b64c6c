// Looking at a collection through the real main window: the statistics
// window from the tool bar, and a disc lent, marked, listed, returned and
// deleted.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "browser/PageService.h"
#include "dialogs/LendDlg.h"
#include "dialogs/LoansForm.h"
#include "dialogs/StatsForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/LoanStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DateUtils.h"
#include "tests/support/ProgramFixture.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "toolkit/GbkLineEdit.h"

class TestCollection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void statisticsFromTheToolBar();
    void lendMarkReturnAndDelete();

private:
    QString Value(const QString &sql) { return DM->GetFieldValue(sql, QStringLiteral("V")); }
    QModelIndex NameCell(int row) const;

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<ProgramFixture> m_program;
};

void TestCollection::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

// Folders 2 电影 and 3 音乐; 英雄 in 电影, 藏金阁 and 藏金阁二 in 音乐.
void TestCollection::init()
{
    m_program = std::make_unique<ProgramFixture>();
    m_program->Execute({
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "电影"))",
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "音乐"))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId, Price) VALUES ("1", "英雄", "YX", 2, 1, 25.5))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId, Price) VALUES ("2", "藏金阁", "CJG", 3, 2, 10))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES ("3", "藏金阁二", "CJGE", 3, 2))",
    });
    m_program->Start();
    QVERIFY(m_program->Messages.shown.isEmpty());
}

void TestCollection::cleanup()
{
    m_program.reset();
}

QModelIndex TestCollection::NameCell(int row) const
{
    const QAbstractItemModel *model = MainFm->CdList->dgCd->View()->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal).toString() == QStringLiteral("名称"))
            return model->index(row, column);
    }
    return {};
}

void TestCollection::statisticsFromTheToolBar()
{
    QTest::mouseClick(MainFm->btnStats, Qt::LeftButton);
    auto *form = MainFm->findChild<TStatsForm *>();
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->lbTotals->text(), QStringLiteral("光盘：3 张　　价值：35.50 元　　目录：2 个"));
    QCOMPARE(form->pcCharts->count(), 4);

    // Saved as a picture, the extension added when the name has none.
    form->pcCharts->setCurrentIndex(3);
    const QString target = m_program->FilePath(QStringLiteral("目录图"));
    form->ChooseFile = [&](const QString &suggested) {
        [&] { QCOMPARE(suggested, QStringLiteral("统计-目录.png")); }();
        return target;
    };
    form->findChild<QPushButton *>(QStringLiteral("btnSave"))->click();
    QVERIFY2(m_program->Messages.shown.isEmpty(), qPrintable(m_program->Messages.Texts().join(u'\n')));
    const QImage saved(target + QStringLiteral(".png"));
    QVERIFY(!saved.isNull());
    QVERIFY(saved.width() > 200 && saved.height() > 200);

    // A file that cannot be written is said so.
    QVERIFY(!form->SaveCurrentPage(m_program->FilePath(QStringLiteral("没有这个目录/图.png"))));
    QCOMPARE(m_program->Messages.shown.size(), 1);
    QVERIFY(m_program->Messages.shown.first().text.startsWith(QStringLiteral("图表没有保存")));
    form->close();
}

void TestCollection::lendMarkReturnAndDelete()
{
    const QDate today = DateUtils::ToDate(DateUtils::Today());
    QVERIFY(MainFm->CdTree->LocateFolder(2));
    MainFm->CdList->ShowCdList(2);
    QCOMPARE(MainFm->QCd.Field(QStringLiteral("Name")).AsString(), QStringLiteral("英雄"));
    const int id = MainFm->QCd.Field(QStringLiteral("ID")).AsInteger();
    QVERIFY(MainFm->CdList->pmCdLend->isEnabled());
    QVERIFY(!MainFm->CdList->pmCdReturn->isEnabled());
    QVERIFY(!NameCell(0).data(Qt::DecorationRole).isValid());

    // Lent ten days ago, due three days ago, through the real dialog.
    bool answered = false;
    QTimer::singleShot(0, MainFm, [&] {
        auto *dlg = qobject_cast<TLendDlg *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        dlg->edBorrower->setText(QStringLiteral("张三"));
        dlg->edLent->setDate(today.addDays(-10));
        dlg->edDue->setDate(today.addDays(-3));
        dlg->btnOk->click();
        answered = true;
    });
    MainFm->CdList->pmCdLend->trigger();
    QVERIFY(answered);
    QVERIFY2(m_program->Messages.shown.isEmpty(), qPrintable(m_program->Messages.Texts().join(u'\n')));
    QCOMPARE(LoanStore::CurrentLoan(DM->DbBase, id)->Borrower, QStringLiteral("张三"));

    // Marked in the grid as overdue, named on the page, listed first.
    QVERIFY(NameCell(0).data(Qt::DecorationRole).isValid());
    QCOMPARE(NameCell(0).data(Qt::ForegroundRole).value<QColor>(), QColor(0xC0, 0x20, 0x20));
    QVERIFY(!MainFm->CdList->pmCdLend->isEnabled());
    QVERIFY(MainFm->CdList->pmCdReturn->isEnabled());
    const QString page = MainFm->WebBrowser->PageHandler()->BuildCdPage(id);
    QVERIFY2(page.contains(QStringLiteral("借给“张三”，%1 借出").arg(DateUtils::FormatDate(today.addDays(-10)))),
             qPrintable(page));
    QVERIFY(page.contains(QStringLiteral("已逾期 3 天")));
    MainFm->mLoans->trigger();
    auto *loans = MainFm->findChild<TLoansForm *>();
    QVERIFY(loans);
    QCOMPARE(loans->lvOut->topLevelItemCount(), 1);
    QCOMPARE(loans->lvOut->topLevelItem(0)->text(1), QStringLiteral("英雄"));
    QCOMPARE(loans->lvOut->topLevelItem(0)->text(5), QStringLiteral("已逾期 3 天"));
    QCOMPARE(loans->lvReturned->topLevelItemCount(), 0);

    // Returned from the grid's menu: the mark goes, the history has it.
    MainFm->CdList->pmCdReturn->trigger();
    QCOMPARE(m_program->Messages.shown.size(), 1); // the question
    QVERIFY(!LoanStore::CurrentLoan(DM->DbBase, id));
    QVERIFY(!NameCell(0).data(Qt::DecorationRole).isValid());
    QVERIFY(!MainFm->WebBrowser->PageHandler()->BuildCdPage(id).contains(QStringLiteral("张三")));
    loans->Reload();
    QCOMPARE(loans->lvOut->topLevelItemCount(), 0);
    QCOMPARE(loans->lvReturned->topLevelItemCount(), 1);
    QCOMPARE(loans->lvReturned->topLevelItem(0)->text(5), DateUtils::FormatDate(today));
    loans->close();

    // Lent again and deleted: its loans go with it.
    LoanStore::Lend(DM->DbBase, id, QStringLiteral("李四"), today, {});
    MainFm->CdList->ShowCdList(2);
    QVERIFY(NameCell(0).data(Qt::DecorationRole).isValid());
    QCOMPARE(NameCell(0).data(Qt::ForegroundRole).value<QColor>(), QColor(0x2C, 0x6C, 0xA0));
    MainFm->btnDelClick();
    QCOMPARE(Value(QStringLiteral("SELECT COUNT(*) AS V FROM TbCd WHERE ID=%1").arg(id)), QStringLiteral("0"));
    QCOMPARE(Value(QStringLiteral("SELECT COUNT(*) AS V FROM TbLoan")), QStringLiteral("0"));
}

QTEST_MAIN(TestCollection)
#include "tst_collection.moc"
