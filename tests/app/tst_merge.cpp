// Merging another catalog through the main window's menu.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "dialogs/ImportDlg.h"
#include "dialogs/MergeDlg.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/WhenActive.h"
#include "toolkit/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mergeThroughTheMenu();

private:
    QString Value(const QString &sql) { return DM->GetFieldValue(sql, QStringLiteral("V")); }
    std::unique_ptr<QTemporaryDir> m_config;
};

namespace {

QByteArray Digest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

} // namespace

void TestMerge::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestMerge::mergeThroughTheMenu()
{
    ProgramFixture program;
    {
        TDM dm;
        dm.NameCatalog(program.Path());
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbCd (Code, Name, Spell, TId) VALUES (\"7\", \"英雄\", \"YX\", 1)"));
    }
    // The other catalog, of the older layout, in the catalog folder.
    const QString other = program.FilePath(QStringLiteral("Data/朋友的光盘.MDB"));
    Schema::CreateCatalog(other, Schema::Layout::Build101, false);
    {
        TDM dm;
        dm.NameCatalog(other);
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (2, 1, \"动画\")"));
        dm.ExecuteSQL(
            QStringLiteral("INSERT INTO TbCd (Code, Name, Spell, TId, Picture) VALUES "
                           "(\"7\", \"重名编号\", \"CMBH\", 1, \"\"), (\"8\", \"千与千寻\", \"QYQX\", 2, \"q.jpg\")"));
    }
    const QByteArray otherBefore = Digest(other);

    program.Start();
    QAction *merge = MainFm->findChild<QAction *>(QStringLiteral("mMerge"));
    QVERIFY(merge);

    // The open catalog itself is refused.
    MainFm->ChooseMergeFileHook = [&] { return program.Path(); };
    merge->trigger();
    QCOMPARE(program.Messages.shown.size(), 1);
    QVERIFY2(program.Messages.shown.first().text.contains(QStringLiteral("就是当前打开的光盘夹")),
             qPrintable(program.Messages.shown.first().text));
    program.Messages.Clear();

    MainFm->ChooseMergeFileHook = [&] { return other; };
    const QString savedReport = program.FilePath(QStringLiteral("合并报告.txt"));
    QString summary, clashes, reportText, reportTitle;
    // The other catalog is read, and later merged, on the worker: each
    // dialog comes once its work is done.
    WhenActive<TMergeDlg>(
        [&](TMergeDlg &dialog) {
            summary = dialog.lbSummary->text();
            clashes = dialog.lbClashes->text();
            dialog.cbCodeClash->setCurrentIndex(dialog.cbCodeClash->findData(int(ImportPlan::TChoice::Empty)));
            WhenActive<TImportReportDlg>(
                [&](TImportReportDlg &report) {
                    reportTitle = report.windowTitle();
                    reportText = report.edReport->toPlainText();
                    report.ChooseFileHook = [&] { return savedReport; };
                    report.btnSave->click();
                    report.accept();
                },
                "the merge report");
            dialog.btnMerge->click();
        },
        "the merge dialog");
    merge->trigger();

    QVERIFY2(summary.contains(QStringLiteral("1 个目录和 2 张光盘")) &&
                 summary.contains(QStringLiteral("新目录“朋友的光盘”")),
             qPrintable(summary));
    QVERIFY2(clashes.contains(QStringLiteral("“重名编号”（编号 7）")), qPrintable(clashes));
    QCOMPARE(reportTitle, QStringLiteral("合并报告"));
    // q.jpg is not in the program's picture folder.
    QVERIFY2(reportText.contains(QStringLiteral("已合并光盘：2 张")) &&
                 reportText.contains(QStringLiteral("编号留空的光盘：1 张")) &&
                 reportText.contains(
                     QStringLiteral("封面文件夹中找不到的封面（光盘已合并，没有封面可显示）：1 个\n  q.jpg")),
             qPrintable(reportText));
    QFile saved(savedReport);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), reportText);
    QVERIFY2(program.Messages.shown.isEmpty(), qPrintable(program.Messages.Texts().join(QLatin1Char('\n'))));

    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCd")), QStringLiteral("3"));
    QCOMPARE(Value(QStringLiteral("SELECT Code AS V FROM TbCd WHERE Name=\"重名编号\"")), QString());
    QCOMPARE(Value(QStringLiteral("SELECT Picture AS V FROM TbCd WHERE Code=\"8\"")), QStringLiteral("q.jpg"));
    // The list shows the new folder, with the disc of the other catalog's root.
    const int folder = Value(QStringLiteral("SELECT ID AS V FROM TbTree WHERE Name=\"朋友的光盘\"")).toInt();
    QVERIFY(folder > 1);
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), folder);
    QCOMPARE(MainFm->QCd.RowCount(), 1);
    QCOMPARE(Digest(other), otherBefore);
}

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
