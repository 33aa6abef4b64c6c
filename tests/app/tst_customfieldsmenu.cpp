// "自定义字段..." in the "项目设置" menu of the real main window: it opens the
// dialog on the catalog open, and is greyed while no catalog is open.
#include "dialogs/CustomFieldsDlg.h"
#include "store/catalog/CustomFields.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/WhenShown.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

class TestCustomFieldsMenu : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTheCatalogOpen();
};

void TestCustomFieldsMenu::opensOnTheCatalogOpen()
{
    ProgramFixture program;
    program.Start();
    auto *menu = MainFm->menuBar()->findChild<QMenu *>(u"mSystem"_s);
    QVERIFY(menu);
    auto *entry = MainFm->findChild<QAction *>(u"mCustomFields"_s);
    QVERIFY(entry);
    QCOMPARE(entry->text(), u"自定义字段..."_s);
    CustomFields::AddField(DM->DbBase, {u"导演"_s, CustomFields::TFieldKind::MultiValue});

    emit menu->aboutToShow();
    QVERIFY(entry->isEnabled());
    int rows = -1;
    WhenShown<TCustomFieldsDlg>([&rows](TCustomFieldsDlg &dlg) {
        rows = dlg.lvFields->topLevelItemCount();
        QTest::mouseClick(dlg.btnClose, Qt::LeftButton);
    });
    entry->trigger();
    QCOMPARE(rows, 1);
    QVERIFY(program.Messages.shown.isEmpty());

    DM->DbBase.SetConnected(false);
    emit menu->aboutToShow();
    QVERIFY(!entry->isEnabled());
}

QTEST_MAIN(TestCustomFieldsMenu)
#include "tst_customfieldsmenu.moc"
