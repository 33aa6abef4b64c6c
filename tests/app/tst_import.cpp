// Importing discs from a spreadsheet file through the main window's menu.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "dialogs/ImportDlg.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/WhenActive.h"
#include "toolkit/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QListView>
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
    void returnInABoxDoesNotImport();
    void hostileFilesStayBounded();

private:
    // Runs the import command on the file; check sees the dialog, which is
    // then closed without importing.
    void OpenDialog(const QString &file, const std::function<void(TImportDlg *)> &check);
    QString Value(const QString &sql) { return DM->GetFieldValue(sql, QStringLiteral("V")); }
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestImport::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

namespace {

QStringList ProblemLines(const TImportDlg *dialog)
{
    QStringList lines;
    const QAbstractItemModel *model = dialog->lstProblems->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

void TestImport::OpenDialog(const QString &file, const std::function<void(TImportDlg *)> &check)
{
    MainFm->ChooseImportFileHook = [file] { return file; };
    bool seen = false;
    QTimer::singleShot(0, MainFm, [&] {
        auto *dialog = qobject_cast<TImportDlg *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen = true;
        check(dialog);
        dialog->reject();
    });
    MainFm->findChild<QAction *>(QStringLiteral("mImport"))->trigger();
    QVERIFY(seen);
}

void TestImport::importThroughTheMenu()
{
    ProgramFixture program(Schema::Layout::Build101);
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
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(source.filePath(QStringLiteral("my cover.jpg")), "JPG"));
        QVERIFY(WriteFile(source.filePath(QStringLiteral("fake.jpg")), "not a picture, only named like one"));
        QFile csv(source.filePath(QStringLiteral("片库.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        QStringEncoder gb("GB18030");
        csv.write(gb.encode(QStringLiteral("片名,编号,类别,年份,价格,目录,封面\r\n"
                                           "霸王别姬,11,剧情,1993年,¥35,华语/经典,my cover.jpg\r\n"
                                           "重复,7,剧情,,,华语,\r\n"
                                           "\"活着, 完整版\",,家庭,1994-05-17,\"1,200\",华语,\r\n"
                                           "假封面,12,剧情,,,华语,fake.jpg\r\n")));
    }
    program.Start();
    QVERIFY(MainFm->CdTree->LocateFolder(2));

    MainFm->ChooseImportFileHook = [&] { return source.filePath(QStringLiteral("片库.csv")); };
    const QString savedReport = source.filePath(QStringLiteral("报告.txt"));
    QStringList problems;
    QString reportText;
    int previewRows = 0;
    QString previewGrade;
    QTimer::singleShot(0, MainFm, [&] {
        auto *dialog = qobject_cast<TImportDlg *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->cbSeparator->currentText(), QStringLiteral("逗号"));
        QCOMPARE(dialog->cbFolder->currentText(), QStringLiteral("电影"));
        previewRows = dialog->gridPreview->rowCount();
        // The file names no grade: the preview shows what the discs get.
        previewGrade = dialog->gridPreview->item(0, 6)->text();
        problems = ProblemLines(dialog);
        // The report comes once the discs were written on the worker.
        WhenActive<TImportReportDlg>(
            [&](TImportReportDlg &report) {
                reportText = report.edReport->toPlainText();
                report.ChooseFileHook = [&] { return savedReport; };
                report.btnSave->click();
                report.accept();
            },
            "the import report");
        dialog->btnImport->click();
    });
    MainFm->findChild<QAction *>(QStringLiteral("mImport"))->trigger();

    QCOMPARE(previewRows, 4);
    QCOMPARE(previewGrade, QStringLiteral("全新"));
    QVERIFY2(reportText.contains(QStringLiteral("没有质量的光盘：2 张，质量设为“全新”")), qPrintable(reportText));
    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCd JOIN TbQuality Q ON Q.Id=TbCd.QId "
                                  "WHERE Q.Name=\"全新\"")),
             QStringLiteral("2"));
    QCOMPARE(problems.size(), 2);
    QVERIFY2(problems.at(0).startsWith(QStringLiteral("第3行：编号已存在或重复")), qPrintable(problems.join(u'\n')));
    QVERIFY2(problems.at(1).startsWith(QStringLiteral("第5行：封面不是图片：fake.jpg")),
             qPrintable(problems.join(u'\n')));
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
    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCd WHERE Name=\"假封面\"")), QStringLiteral("0"));
    QCOMPARE(Value(QStringLiteral("SELECT Spell AS V FROM TbCd WHERE Name=\"活着, 完整版\"")),
             QStringLiteral("HZ,WZB"));
    // The list shows the folder the discs went to.
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), 2);
    QCOMPARE(MainFm->QCd.RowCount(), 1); // 英雄; the new discs lie in the folders below
}

// Return chooses an entry in a drop-down box; it never starts the import,
// which only its own button does.
void TestImport::returnInABoxDoesNotImport()
{
    ProgramFixture program(Schema::Layout::Build101);
    QTemporaryDir source;
    const QString file = source.filePath(QStringLiteral("表.csv"));
    QVERIFY(WriteFile(file, QStringLiteral("名称,价格\n英雄,35\n").toUtf8()));
    program.Start();
    OpenDialog(file, [](TImportDlg *dialog) {
        QVERIFY(dialog->btnImport->isEnabled());
        for (QWidget *box : QList<QWidget *>{dialog->cbFields.at(0), dialog->cbFolder, dialog->cbChoices.at(0)}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_Enter);
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
        }
    });
    QCOMPARE(Value(QStringLiteral("SELECT count(*) AS V FROM TbCd")), QStringLiteral("0"));
}

// A line of 100,000 columns and a catalog holding a chain of 5,000 folders:
// the dialog opens at once, at its own size, each box with a bounded number
// of entries of bounded length, the whole text in the tool tip.
void TestImport::hostileFilesStayBounded()
{
    ProgramFixture program(Schema::Layout::Build101);
    {
        TDAODatabase db;
        db.SetDatabaseName(program.Path());
        db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
        db.Exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i+1 FROM n WHERE i<5001) "
                               "INSERT INTO TbTree (ID, Id1, Name) SELECT i, i-1, 'L'||i FROM n"));
    }
    QTemporaryDir source;
    // Imported into the root: the rows go to a folder named after the file,
    // as long as a folder's name may be (60 bytes in the opened catalog).
    const QString file = source.filePath(QStringLiteral("宽表") + QString(40, u'长') + QStringLiteral(".csv"));
    const int columns = 100000;
    QByteArray line = "名称," + QByteArray(300, 'c');
    for (int c = 2; c < columns; ++c)
        line += ",x";
    QVERIFY(WriteFile(file, line + "\n甲,乙\n"));
    program.Start();
    QElapsedTimer timer;
    timer.start();
    OpenDialog(file, [&](TImportDlg *dialog) {
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(dialog->sizeHint().width() < 1600, qPrintable(QString::number(dialog->sizeHint().width())));
        QVERIFY2(dialog->width() < 1600, qPrintable(QString::number(dialog->width())));
        for (QComboBox *box : dialog->cbFields)
            QCOMPARE(box->count(), ImportFields::MaxColumns + 1);
        QComboBox *names = dialog->cbFields.at(ImportFields::Name);
        QCOMPARE(names->currentIndex(), 1); // 名称 guessed
        // The long column name shows shortened, whole in its tool tip.
        QVERIFY(names->itemText(2).size() < 60);
        QCOMPARE(names->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("第2列：") + QString(300, u'c'));
        const QStringList problems = ProblemLines(dialog);
        QVERIFY2(!problems.isEmpty() && problems.first().contains(QStringLiteral("文件有 100000 列")),
                 qPrintable(problems.join(u'\n')));
        // The deepest folder's path, 5,000 names, shows shortened.
        int longest = 0;
        for (int i = 0; i < dialog->cbFolder->count(); ++i)
            longest = qMax(longest, int(dialog->cbFolder->itemText(i).size()));
        QVERIFY(longest < 60);
        QVERIFY(dialog->cbFolder->sizeHint().width() < 800);
        QCOMPARE(dialog->gridPreview->item(0, 9)->text(), QStringLiteral("宽表") + QString(28, u'长'));
    });
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
