// The catalog files of the catalog folder and the open/new dialog.
#include "dialogs/OpenDbForm.h"
#include "store/catalog/CatalogFiles.h"
#include "store/catalog/Schema.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// An application folder with its catalog folder and the template in it.
class AppFolderFixture
{
public:
    AppFolderFixture()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("Data")));
        Schema::CreateCatalog(DataPath(QStringLiteral("Blank")), Schema::Layout::Build100, false);
    }

    QString AppFolder() const { return m_dir.path(); }
    QString DataPath(const QString &name) const { return m_dir.path() + QStringLiteral("/Data/") + name; }

    void AddFile(const QString &name, const QByteArray &content = QByteArrayLiteral("catalog")) const
    {
        QFile file(DataPath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        file.write(content);
    }

    static QByteArray Content(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
};

QStringList Names(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// On the indicator: the button's width may reach beyond its text.
void ClickRadio(QRadioButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void ChooseNew(TOpenDbFm &dlg, const QString &name)
{
    ClickRadio(dlg.rdNew);
    dlg.edDbName->setText(name);
}

} // namespace

class TestOpenDbForm : public QObject
{
    Q_OBJECT

private slots:
    void listsTheCatalogsInAnyLetterCase();
    void emptyFolderLeavesTheListEmpty();
    void createFromTemplateNeverReplaces();

    void dialogStartsOnTheOpenChoice();
    void newNameIsRefused_data();
    void newNameIsRefused();
    void newCatalogIsCopiedFromTheTemplate();
    void failedCopyKeepsTheDialogAndSaysWhy();
    void openTakesTheSelectedFileAsItIsNamed();
    void openWithNothingSelectedKeepsTheDialog();
    void focusAndChoiceFollowEachOther();
    void doubleClickOpens();

    void chooseCatalogReturnsTheFullPath();
    void chooseCatalogCancelledLeavesThePath();
};

void TestOpenDbForm::listsTheCatalogsInAnyLetterCase()
{
    AppFolderFixture app;
    for (const char *name : {"Music.mdb", "Films.MDB", "Mixed.MdB", "notes.txt", "Music.mdb.bak", "MDB"})
        app.AddFile(QString::fromLatin1(name));
    QVERIFY(QDir().mkdir(app.DataPath(QStringLiteral("Folder.MDB"))));
    QFile::link(app.DataPath(QStringLiteral("Films.MDB")), app.DataPath(QStringLiteral("Link.mdb")));
    QFile hidden(app.DataPath(QStringLiteral(".Hidden.MDB")));
    QVERIFY(hidden.open(QIODevice::WriteOnly));
    hidden.close();

    const QString folder = CatalogFiles::CatalogFolder(app.AppFolder());
    QCOMPARE(folder, app.DataPath(QString()));
    QStringList files = CatalogFiles::ListCatalogs(folder);
    files.sort();
    QCOMPARE(files, (QStringList{".Hidden.MDB", "Films.MDB", "Link.mdb", "Mixed.MdB", "Music.mdb"}));

    // The dialog shows them in the listing's order, without the extension.
    TOpenDbFm dlg(app.AppFolder());
    QStringList expected;
    for (const QString &file : CatalogFiles::ListCatalogs(folder))
        expected << file.chopped(4);
    QCOMPARE(Names(dlg.lisboxDb), expected);
    QCOMPARE(dlg.lisboxDb->currentRow(), 0);
    QVERIFY(dlg.lisboxDb->item(0)->isSelected());
    QCOMPARE(dlg.lbdir->text(), QStringLiteral("位置：") + QDir::toNativeSeparators(folder));
}

void TestOpenDbForm::emptyFolderLeavesTheListEmpty()
{
    // Only the template is there, and it has no extension.
    AppFolderFixture app;
    QVERIFY(CatalogFiles::ListCatalogs(app.DataPath(QString())).isEmpty());
    TOpenDbFm dlg(app.AppFolder());
    QCOMPARE(dlg.lisboxDb->count(), 0);

    // A missing catalog folder reads as empty too.
    QTemporaryDir bare;
    TOpenDbFm none(bare.path());
    QCOMPARE(none.lisboxDb->count(), 0);
}

void TestOpenDbForm::createFromTemplateNeverReplaces()
{
    AppFolderFixture app;
    const QString folder = app.DataPath(QString());
    const QByteArray blank = AppFolderFixture::Content(app.DataPath(QStringLiteral("Blank")));
    app.AddFile(QStringLiteral("Music.mdb"), "old music");

    QVERIFY(CatalogFiles::CreateFromTemplate(folder, QStringLiteral("New.MDB")));
    QCOMPARE(AppFolderFixture::Content(app.DataPath(QStringLiteral("New.MDB"))), blank);

    // An existing file, under any letter case, stays as it was.
    QVERIFY(!CatalogFiles::CreateFromTemplate(folder, QStringLiteral("New.MDB")));
    QVERIFY(!CatalogFiles::CreateFromTemplate(folder, QStringLiteral("MUSIC.MDB")));
    QCOMPARE(AppFolderFixture::Content(app.DataPath(QStringLiteral("Music.mdb"))), QByteArray("old music"));
    QVERIFY(!QFile::exists(app.DataPath(QStringLiteral("MUSIC.MDB"))));
    QCOMPARE(CatalogFiles::FindFile(folder, QStringLiteral("music.MDB")), QStringLiteral("Music.mdb"));

    // Names that would leave the folder are no file names here.
    QVERIFY(QDir().mkdir(app.DataPath(QStringLiteral("sub"))));
    for (const char *name : {"sub/x.MDB", "..\\x.MDB", "../x.MDB"})
        QVERIFY2(!CatalogFiles::CreateFromTemplate(folder, QString::fromLatin1(name)), name);
    QVERIFY(!QFile::exists(app.DataPath(QStringLiteral("sub/x.MDB"))));
    QVERIFY(!QFile::exists(app.AppFolder() + QStringLiteral("/x.MDB")));

    // No template, no catalog.
    QVERIFY(QFile::remove(app.DataPath(QStringLiteral("Blank"))));
    QVERIFY(!CatalogFiles::CreateFromTemplate(folder, QStringLiteral("Other.MDB")));
    QVERIFY(!QFile::exists(app.DataPath(QStringLiteral("Other.MDB"))));
}

void TestOpenDbForm::dialogStartsOnTheOpenChoice()
{
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"));
    TOpenDbFm dlg(app.AppFolder());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("打开/新建光盘夹"));
    QVERIFY(dlg.rdOpen->isChecked());
    QVERIFY(!dlg.rdNew->isChecked());
    QVERIFY(dlg.FileName().isEmpty());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), dlg.lisboxDb);
    QVERIFY(dlg.rdOpen->isChecked());
}

void TestOpenDbForm::newNameIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    const QString blankMessage = QStringLiteral("请输入光盘夹名称,且名称中不能包含空格字符。");
    const QString existsMessage = QStringLiteral("已有同名的光盘夹文件,请重新命名。");
    QTest::newRow("empty") << QString() << blankMessage;
    QTest::newRow("blank inside") << QStringLiteral("my discs") << blankMessage;
    QTest::newRow("only a blank") << QStringLiteral(" ") << blankMessage;
    QTest::newRow("exists in another case") << QStringLiteral("Music") << existsMessage;
    QTest::newRow("exists, typed in lower case") << QStringLiteral("music") << existsMessage;
}

void TestOpenDbForm::newNameIsRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"), "old music");
    TOpenDbFm dlg(app.AppFolder());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    ChooseNew(dlg, name);

    Msg::Recorder messages;
    dlg.btnOpen->setFocus();
    QTest::keyClick(dlg.btnOpen, Qt::Key_Return);
    QCOMPARE(messages.Texts(), QStringList{message});
    QCOMPARE(messages.shown.first().kind, Msg::Kind::Error);
    QVERIFY(dlg.isVisible());
    QCOMPARE(QApplication::focusWidget(), dlg.edDbName);
    QCOMPARE(dlg.edDbName->text(), name);
    QVERIFY(dlg.FileName().isEmpty());
    QCOMPARE(QDir(app.DataPath(QString())).entryList(QDir::Files).size(), 2);
    QCOMPARE(AppFolderFixture::Content(app.DataPath(QStringLiteral("Music.mdb"))), QByteArray("old music"));
}

void TestOpenDbForm::newCatalogIsCopiedFromTheTemplate()
{
    AppFolderFixture app;
    TOpenDbFm dlg(app.AppFolder());
    ChooseNew(dlg, QStringLiteral("my_discs"));
    Msg::Recorder messages;
    dlg.btnOpenClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.FileName(), QStringLiteral("my_discs.MDB"));
    QCOMPARE(AppFolderFixture::Content(app.DataPath(QStringLiteral("my_discs.MDB"))),
             AppFolderFixture::Content(app.DataPath(QStringLiteral("Blank"))));
}

void TestOpenDbForm::failedCopyKeepsTheDialogAndSaysWhy()
{
    AppFolderFixture app;
    QVERIFY(QDir().mkdir(app.DataPath(QStringLiteral("sub"))));
    TOpenDbFm dlg(app.AppFolder());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    Msg::Recorder messages;

    // A name that is no file name of the folder, then a missing template.
    ChooseNew(dlg, QStringLiteral("sub/Films"));
    dlg.btnOpenClick();
    QVERIFY(dlg.isVisible());
    QVERIFY(QDir(app.DataPath(QStringLiteral("sub"))).isEmpty());

    QVERIFY(QFile::remove(app.DataPath(QStringLiteral("Blank"))));
    ChooseNew(dlg, QStringLiteral("Films"));
    dlg.btnOpenClick();
    QVERIFY(dlg.isVisible());
    QVERIFY(!QFile::exists(app.DataPath(QStringLiteral("Films.MDB"))));
    QVERIFY(dlg.FileName().isEmpty());

    // Each time the user is told, in Chinese, which file could not be made.
    QCOMPARE(messages.shown.size(), 2);
    for (const Msg::Shown &shown : std::as_const(messages.shown))
        QCOMPARE(shown.kind, Msg::Kind::Error);
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("无法建立光盘夹文件“")),
             qPrintable(messages.shown[0].text));
    QVERIFY2(messages.shown[1].text.contains(QDir::toNativeSeparators(app.DataPath(QStringLiteral("Films.MDB")))) &&
                 messages.shown[1].text.contains(QStringLiteral("模板")),
             qPrintable(messages.shown[1].text));
}

void TestOpenDbForm::openTakesTheSelectedFileAsItIsNamed()
{
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"));
    app.AddFile(QStringLiteral("Films.MDB"));
    TOpenDbFm dlg(app.AppFolder());
    const int music = Names(dlg.lisboxDb).indexOf(QStringLiteral("Music"));
    dlg.lisboxDb->setCurrentRow(music);
    dlg.edDbName->setText(QStringLiteral("ignored"));
    dlg.btnOpenClick();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    // The file on disk, so that the path opens this very file.
    QCOMPARE(dlg.FileName(), QStringLiteral("Music.mdb"));
    QVERIFY(!QFile::exists(app.DataPath(QStringLiteral("ignored.MDB"))));
}

void TestOpenDbForm::openWithNothingSelectedKeepsTheDialog()
{
    AppFolderFixture app;
    TOpenDbFm dlg(app.AppFolder());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    Msg::Recorder messages;
    QTest::mouseClick(dlg.btnOpen, Qt::LeftButton);
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.FileName().isEmpty());

    app.AddFile(QStringLiteral("Music.mdb"));
    TOpenDbFm deselected(app.AppFolder());
    deselected.lisboxDb->clearSelection();
    deselected.btnOpenClick();
    QVERIFY(deselected.FileName().isEmpty());
    QVERIFY(messages.shown.isEmpty());
}

void TestOpenDbForm::focusAndChoiceFollowEachOther()
{
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"));
    TOpenDbFm dlg(app.AppFolder());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));

    // Clicking a choice puts the focus where that choice is made.
    ClickRadio(dlg.rdNew);
    QVERIFY(dlg.rdNew->isChecked());
    QCOMPARE(QApplication::focusWidget(), dlg.edDbName);
    ClickRadio(dlg.rdOpen);
    QVERIFY(dlg.rdOpen->isChecked());
    QCOMPARE(QApplication::focusWidget(), dlg.lisboxDb);

    // Focus entering the name box chooses "new", by Tab as by a click.
    dlg.rdNew->setFocus();
    QTest::keyClick(dlg.rdNew, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dlg.edDbName);
    QVERIFY(dlg.rdNew->isChecked());

    // A click on the list chooses "open"; focus entering it alone does not.
    // (Tab passes over the unchecked radio button of the pair.)
    QTest::keyClick(dlg.edDbName, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), dlg.lisboxDb);
    QVERIFY(dlg.rdNew->isChecked());
    QTest::mouseClick(dlg.lisboxDb->viewport(), Qt::LeftButton, {},
                      dlg.lisboxDb->visualItemRect(dlg.lisboxDb->item(0)).center());
    QVERIFY(dlg.rdOpen->isChecked());

    // A click into the name box chooses "new" even when it has the focus.
    dlg.edDbName->setFocus();
    dlg.rdOpen->setChecked(true);
    QTest::mouseClick(dlg.edDbName, Qt::LeftButton);
    QVERIFY(dlg.rdNew->isChecked());
}

void TestOpenDbForm::doubleClickOpens()
{
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"));
    TOpenDbFm dlg(app.AppFolder());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    const QPoint at = dlg.lisboxDb->visualItemRect(dlg.lisboxDb->item(0)).center();
    // A double click's first press comes as a click of its own.
    QTest::mouseClick(dlg.lisboxDb->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(dlg.isVisible());
    QTest::mouseDClick(dlg.lisboxDb->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.FileName(), QStringLiteral("Music.mdb"));
}

void TestOpenDbForm::chooseCatalogReturnsTheFullPath()
{
    AppFolderFixture app;
    QTimer::singleShot(0, [] {
        auto *dlg = qobject_cast<TOpenDbFm *>(QApplication::activeModalWidget());
        if (!dlg)
            QFAIL("the dialog is not shown");
        ChooseNew(*dlg, QStringLiteral("my_discs"));
        QTest::mouseClick(dlg->btnOpen, Qt::LeftButton);
    });
    QString path = QStringLiteral("unchanged");
    QVERIFY(ChooseCatalog(app.AppFolder(), path));
    QCOMPARE(path, app.DataPath(QStringLiteral("my_discs.MDB")));
    QVERIFY(QFile::exists(path));

    // The next call lists the folder afresh.
    QStringList listed;
    QTimer::singleShot(0, [&listed] {
        auto *dlg = qobject_cast<TOpenDbFm *>(QApplication::activeModalWidget());
        if (!dlg)
            QFAIL("the dialog is not shown");
        listed = Names(dlg->lisboxDb);
        QTest::mouseClick(dlg->btnOpen, Qt::LeftButton);
    });
    QVERIFY(ChooseCatalog(app.AppFolder(), path));
    QCOMPARE(listed, QStringList{QStringLiteral("my_discs")});
    QCOMPARE(path, app.DataPath(QStringLiteral("my_discs.MDB")));
}

void TestOpenDbForm::chooseCatalogCancelledLeavesThePath()
{
    AppFolderFixture app;
    app.AddFile(QStringLiteral("Music.mdb"));
    for (bool closeBox : {false, true}) {
        QTimer::singleShot(0, [closeBox] {
            auto *dlg = qobject_cast<TOpenDbFm *>(QApplication::activeModalWidget());
            if (!dlg)
                QFAIL("the dialog is not shown");
            if (closeBox)
                dlg->close();
            else
                QTest::mouseClick(dlg->btnCancel, Qt::LeftButton);
        });
        QString path = QStringLiteral("unchanged");
        QVERIFY(!ChooseCatalog(app.AppFolder(), path));
        QCOMPARE(path, QStringLiteral("unchanged"));
    }
    QCOMPARE(QApplication::topLevelWidgets().count(), 0);
}

QTEST_MAIN(TestOpenDbForm)
#include "tst_opendbform.moc"
