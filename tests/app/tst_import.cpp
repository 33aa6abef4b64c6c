// Importing discs from a spreadsheet file through the main window's menu.
#include "CdListPane.h"
#include "CdTreePane.h"
#include "DataModule.h"
#include "Globalvar.h"
#include "ImportDlg.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "Schema.h"
#include "SettingObjects.h"
#include "StartUp.h"
#include "TestProgram.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void importThroughTheMenu();

private:
    QString Value(const QString &sql) { return DM->GetFieldValue(sql, QStringLiteral("V")); }
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestImport::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestImport::importThroughTheMenu()
{
    TestProgram program(Schema::Layout::Build101);
    {
        TDM dm;
        dm.NameCatalog(program.Path());
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, \"电影\")"));
        dm.ExecuteSQL(
            QStringLiteral("INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES (\"7\", \"英雄\", \"YX\", 2, 1)"));
    }
    // The spreadsheet's "CSV (逗号分隔)": GB18030, CR LF, a cover beside it.
    QTemporaryDir source;
    {
        QFile cover(source.filePath(QStringLiteral("my cover.jpg")));
        QVERIFY(cover.open(QIODevice::WriteOnly));
        cover.write("not really a picture, copied as it is");
        QFile csv(source.filePath(QStringLiteral("片库.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        QStringEncoder gb("GB18030");
        csv.write(gb.encode(QStringLiteral("片名,编号,类别,年份,价格,目录,封面\r\n"
                                           "霸王别姬,11,剧情,1993年,¥35,华语/经典,my cover.jpg\r\n"
                                           "重复,7,剧情,,,华语,\r\n"
                                           "\"活着, 完整版\",,家庭,1994-05-17,\"1,200\",华语,\r\n")));
    }
    program.Start();
    QVERIFY(MainFm->CdTree->LocateFolder(2));

    MainFm->ChooseImportFileHook = [&] { return source.filePath(QStringLiteral("片库.csv")); };
    const QString savedReport = source.filePath(QStringLiteral("报告.txt"));
    QString problems, reportText;
    int previewRows = 0;
    QTimer::singleShot(0, MainFm, [&] {
        auto *dialog = qobject_cast<TImportDlg *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->cbSeparator->currentText(), QStringLiteral("逗号"));
        QCOMPARE(dialog->cbFolder->currentText(), QStringLiteral("电影"));
        previewRows = dialog->gridPreview->rowCount();
        problems = dialog->lbProblems->text();
        QTimer::singleShot(0, MainFm, [&] {
            auto *report = qobject_cast<TImportReportDlg *>(QApplication::activeModalWidget());
            QVERIFY(report);
            reportText = report->edReport->toPlainText();
            report->ChooseFileHook = [&] { return savedReport; };
            report->btnSave->click();
            report->accept();
        });
        dialog->btnImport->click();
    });
    MainFm->findChild<QAction *>(QStringLiteral("mImport"))->trigger();

    QCOMPARE(previewRows, 3);
    QVERIFY2(problems.contains(QStringLiteral("第3行：编号已存在或重复")), qPrintable(problems));
    QVERIFY2(reportText.contains(QStringLiteral("已导入光盘：2 张")), qPrintable(reportText));
    QVERIFY(reportText.contains(QStringLiteral("电影/华语/经典")) || reportText.contains(QStringLiteral("华语/经典")));
    QFile saved(savedReport);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), reportText);
    QVERIFY(program.Messages.shown.isEmpty());

    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCd")), QStringLiteral("3"));
    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCategory WHERE Name=\"剧情\"")), QStringLiteral("1"));
    QCOMPARE(Value(QStringLiteral("SELECT Picture AS V FROM TbCd WHERE Code=\"11\"")), QStringLiteral("mycover.jpg"));
    QVERIFY(QFile::exists(program.FilePath(QStringLiteral("Picture/mycover.jpg"))));
    QCOMPARE(Value(QStringLiteral("SELECT Spell AS V FROM TbCd WHERE Name=\"活着, 完整版\"")),
             QStringLiteral("HZ,WZB"));
    // The list shows the folder the discs went to.
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), 2);
    QCOMPARE(MainFm->QCd.RowCount(), 1); // 英雄; the new discs lie in the folders below
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
