// The "自定义字段" dialog as the user works it: a field added through its
// own dialog (a refusal shown first), fields ticked from a ready-made set,
// moved, renamed, deleted after being told how many discs hold a value, and
// a field deleted elsewhere while the dialog shows it.
#include "dialogs/CustomFieldEditDlg.h"
#include "dialogs/CustomFieldsDlg.h"
#include "dialogs/FieldSetsDlg.h"
#include "store/catalog/CustomFields.h"
#include "store/engine/DAODatabase.h"
#include "tests/support/CatalogFixture.h"
#include "tests/support/WhenShown.h"
#include "toolkit/MessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace CustomFields;
using namespace Qt::StringLiterals;

namespace {

// Each row of the list as "name|kind|choices".
QStringList Rows(const TCustomFieldsDlg &dlg)
{
    QStringList rows;
    for (int row = 0; row < dlg.lvFields->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = dlg.lvFields->topLevelItem(row);
        rows << u"%1|%2|%3"_s.arg(item->text(0), item->text(1), item->text(2));
    }
    return rows;
}

int IdOf(TDAODatabase &db, const QString &name)
{
    for (const TCustomField &field : Fields(db)) {
        if (field.Name == name)
            return field.Id;
    }
    return 0;
}

} // namespace

class TestCustomFieldsUi : public QObject
{
    Q_OBJECT

private slots:
    void definesFieldsThroughTheDialog();
};

void TestCustomFieldsUi::definesFieldsThroughTheDialog()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    db.Exec(u"INSERT INTO TbCd (ID, Code, Name, TId) VALUES (1, '1', '英雄', 1), (2, '2', '红楼梦', 1)"_s);
    Msg::Recorder boxes;
    TCustomFieldsDlg dlg(db);
    int changes = 0;
    dlg.FieldsChanged = [&changes] { ++changes; };
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(Rows(dlg).isEmpty());
    QVERIFY(!dlg.btnEdit->isEnabled() && !dlg.btnDelete->isEnabled() && !dlg.btnUp->isEnabled());

    // One field through its own dialog: a blank name is refused first and
    // the dialog stays open.
    bool shown = false;
    WhenShown<TCustomFieldEditDlg>([&](TCustomFieldEditDlg &edit) {
        shown = true;
        QVERIFY(!edit.edChoices->isEnabled());
        QTest::mouseClick(edit.btnOk, Qt::LeftButton);
        QCOMPARE(boxes.Texts(), QStringList{u"字段没有保存：请填写字段的名称。"_s});
        QVERIFY(edit.isVisible());
        edit.edName->setText(u"地区"_s);
        edit.cbKind->setCurrentIndex(edit.cbKind->findText(u"选择"_s));
        QVERIFY(edit.edChoices->isEnabled());
        QVERIFY(edit.lbKindHint->text().contains(u"列表"_s));
        edit.edChoices->setPlainText(u"中国大陆\n\n美国\n"_s);
        QTest::mouseClick(edit.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.btnAdd, Qt::LeftButton);
    QVERIFY(shown);
    QCOMPARE(Rows(dlg), QStringList{u"地区|选择|中国大陆、美国"_s});
    QCOMPARE(changes, 1);

    // From the film set: the field the catalog has is shown but not offered.
    shown = false;
    WhenShown<TFieldSetsDlg>([&](TFieldSetsDlg &sets) {
        shown = true;
        QTreeWidgetItem *region = sets.FieldItem(0, 3);
        QCOMPARE(region->text(0), u"地区"_s);
        QVERIFY(!(region->flags() & Qt::ItemIsEnabled));
        sets.FieldItem(0, 0)->setCheckState(0, Qt::Checked); // 导演
        sets.FieldItem(0, 1)->setCheckState(0, Qt::Checked); // 主演
        sets.FieldItem(0, 5)->setCheckState(0, Qt::Checked); // 片长（分钟）
        QTest::mouseClick(sets.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.btnSets, Qt::LeftButton);
    QVERIFY(shown);
    QCOMPARE(Rows(dlg),
             (QStringList{u"地区|选择|中国大陆、美国"_s, u"导演|多值|"_s, u"主演|多值|"_s, u"片长（分钟）|数字|"_s}));

    // Moved up to the top, where it goes no further.
    dlg.SelectField(IdOf(db, u"主演"_s));
    QTest::mouseClick(dlg.btnUp, Qt::LeftButton);
    QTest::mouseClick(dlg.btnUp, Qt::LeftButton);
    QVERIFY(!dlg.btnUp->isEnabled());
    QCOMPARE(Rows(dlg).first(), u"主演|多值|"_s);
    QCOMPARE(Fields(db).first().Name, u"主演"_s);

    // Renamed: a disc's own field name is refused, another name taken; the
    // kind stays.
    dlg.SelectField(IdOf(db, u"地区"_s));
    boxes.Clear();
    WhenShown<TCustomFieldEditDlg>([&](TCustomFieldEditDlg &edit) {
        QVERIFY(!edit.cbKind->isEnabled());
        edit.edName->setText(u"名称"_s);
        QTest::mouseClick(edit.btnOk, Qt::LeftButton);
        QVERIFY(edit.isVisible());
        edit.edName->setText(u"产地"_s);
        edit.edChoices->appendPlainText(u"日本"_s);
        QTest::mouseClick(edit.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.btnEdit, Qt::LeftButton);
    QCOMPARE(boxes.Texts().size(), 1);
    QVERIFY(boxes.Texts().first().contains(u"光盘本身的“名称”"_s));
    QVERIFY(Rows(dlg).contains(u"产地|选择|中国大陆、美国、日本"_s));

    // Deleting a field discs hold asks first, naming how many.
    const int director = IdOf(db, u"导演"_s);
    {
        TDAOTransaction work(db);
        WriteDiscValues(db, 1, {{director, {u"张艺谋"_s}}});
        work.Commit();
    }
    dlg.SelectField(director);
    boxes.Clear();
    boxes.confirmAnswer = false;
    QTest::mouseClick(dlg.btnDelete, Qt::LeftButton);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().kind, Msg::Kind::Confirmation);
    QVERIFY(boxes.shown.first().text.contains(u"有 1 张光盘填了“导演”"_s));
    QCOMPARE(Fields(db).size(), 4);
    boxes.confirmAnswer = true;
    QTest::mouseClick(dlg.btnDelete, Qt::LeftButton);
    QCOMPARE(Fields(db).size(), 3);
    QVERIFY(ReadDiscValues(db, 1).isEmpty());
    QCOMPARE(Rows(dlg).size(), 3);

    // A field deleted elsewhere while the list shows it: the move is
    // refused in words and the list read again.
    const int length = IdOf(db, u"片长（分钟）"_s);
    dlg.SelectField(length);
    DeleteField(db, length);
    boxes.Clear();
    QTest::mouseClick(dlg.btnUp, Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{u"这个自定义字段已经被删除了。"_s});
    QCOMPARE(Rows(dlg).size(), 2);
}

QTEST_MAIN(TestCustomFieldsUi)
#include "tst_customfields_ui.moc"
