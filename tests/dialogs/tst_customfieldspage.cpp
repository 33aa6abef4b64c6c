// The editor's "更多信息" page on its own: a box per field fitting its kind,
// a disc's values shown and handed back unchanged, edits read back through
// the catalog, the faults the catalog would refuse said before saving, and
// the list box of a 多值 field.
#include "dialogs/CheckDateEdit.h"
#include "dialogs/CustomFieldsPage.h"
#include "dialogs/MultiValueBox.h"
#include "store/catalog/CustomFields.h"
#include "store/engine/DAODatabase.h"
#include "tests/support/CatalogFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace CustomFields;
using namespace Qt::StringLiterals;

namespace {

void Save(TDAODatabase &db, int cdId, const TDiscValues &values)
{
    TDAOTransaction work(db);
    WriteDiscValues(db, cdId, values);
    work.Commit();
}

template <typename Box> Box *BoxOf(const TCustomFieldsPage &page, int fieldId)
{
    return qobject_cast<Box *>(page.Box(fieldId));
}

} // namespace

class TestCustomFieldsPage : public QObject
{
    Q_OBJECT

private slots:
    void showsAndHandsBackADiscsValues();
    void saysWhatTheCatalogWouldRefuse_data();
    void saysWhatTheCatalogWouldRefuse();
    void multiValueBoxEditsAList();
};

void TestCustomFieldsPage::showsAndHandsBackADiscsValues()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    db.Exec(u"INSERT INTO TbCd (ID, Code, Name, TId) VALUES (1, '1', '英雄', 1)"_s);
    const QList<int> ids = AddFields(db, {{u"唱片公司"_s},
                                          {u"剧情"_s, TFieldKind::LongText},
                                          {u"片长"_s, TFieldKind::Number},
                                          {u"首映"_s, TFieldKind::Date},
                                          {u"中文字幕"_s, TFieldKind::YesNo},
                                          {u"地区"_s, TFieldKind::Choice, {u"中国大陆"_s, u"美国"_s}},
                                          {u"主演"_s, TFieldKind::MultiValue}});
    const TDiscValues stored = {{ids[0], {u"新艺城"_s}},
                                {ids[1], {u"第一行\n第二行"_s}},
                                {ids[2], {u"99"_s}},
                                {ids[3], {u"2002-12-20"_s}},
                                {ids[4], {u"是"_s}},
                                {ids[5], {u"中国大陆"_s}},
                                {ids[6], {u"李连杰"_s, u"梁朝伟"_s}}};
    Save(db, 1, stored);

    TCustomFieldsPage page;
    page.SetFields(Fields(db));
    page.Load(ReadDiscValues(db, 1));
    QCOMPARE(BoxOf<QLineEdit>(page, ids[0])->text(), u"新艺城"_s);
    QCOMPARE(BoxOf<QPlainTextEdit>(page, ids[1])->toPlainText(), u"第一行\n第二行"_s);
    QCOMPARE(BoxOf<QLineEdit>(page, ids[2])->text(), u"99"_s);
    QVERIFY(BoxOf<TCheckDateEdit>(page, ids[3])->Checked());
    QCOMPARE(BoxOf<TCheckDateEdit>(page, ids[3])->Date(), QDate(2002, 12, 20));
    QCOMPARE(BoxOf<QComboBox>(page, ids[4])->currentText(), u"是"_s);
    QCOMPARE(BoxOf<QComboBox>(page, ids[5])->currentText(), u"中国大陆"_s);
    QCOMPARE(BoxOf<TMultiValueBox>(page, ids[6])->Values(), (QStringList{u"李连杰"_s, u"梁朝伟"_s}));
    QCOMPARE(page.Values(), stored);
    QCOMPARE(page.Check(), QString());

    // Edited and saved: cleared boxes lose their value.
    BoxOf<QLineEdit>(page, ids[0])->clear();
    BoxOf<TCheckDateEdit>(page, ids[3])->SetChecked(false);
    BoxOf<QComboBox>(page, ids[4])->setCurrentText(u"否"_s);
    BoxOf<QComboBox>(page, ids[5])->setCurrentText(u"美国"_s);
    BoxOf<TMultiValueBox>(page, ids[6])->AddLines(u"张曼玉"_s);
    Save(db, 1, page.Values());
    const TDiscValues after = ReadDiscValues(db, 1);
    QVERIFY(!after.contains(ids[0]) && !after.contains(ids[3]));
    QCOMPARE(after.value(ids[4]), QStringList{u"否"_s});
    QCOMPARE(after.value(ids[5]), QStringList{u"美国"_s});
    QCOMPARE(after.value(ids[6]), (QStringList{u"李连杰"_s, u"梁朝伟"_s, u"张曼玉"_s}));

    // Another disc: every box empty again.
    page.Load({});
    QCOMPARE(BoxOf<QPlainTextEdit>(page, ids[1])->toPlainText(), QString());
    QVERIFY(!BoxOf<TCheckDateEdit>(page, ids[3])->Checked());
    QVERIFY(BoxOf<TMultiValueBox>(page, ids[6])->Values().isEmpty());
    QVERIFY(
        std::all_of(page.Values().cbegin(), page.Values().cend(), [](const QStringList &v) { return v.isEmpty(); }));
}

void TestCustomFieldsPage::saysWhatTheCatalogWouldRefuse_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a number") << int(TFieldKind::Number) << u"九十九"_s << u"“字段”要填一个数字"_s;
    QTest::newRow("text too long") << int(TFieldKind::Text) << QString(MaxValueLength + 1, u'长')
                                   << u"“字段”的内容有 4001 个字，太长了"_s;
    QTest::newRow("memo too long") << int(TFieldKind::LongText) << QString(MaxValueLength + 1, u'长') << u"太长了"_s;
}

void TestCustomFieldsPage::saysWhatTheCatalogWouldRefuse()
{
    QFETCH(int, kind);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TCustomField field;
    field.Id = 3;
    field.Name = u"字段"_s;
    field.Kind = TFieldKind(kind);
    TCustomFieldsPage page;
    page.SetFields({field});
    page.Load({{3, {typed}}});
    QVERIFY2(page.Check().contains(message), qPrintable(page.Check()));
}

void TestCustomFieldsPage::multiValueBoxEditsAList()
{
    TMultiValueBox box;
    box.AddLines(u"甲\n\n  乙 \r\n丙"_s);
    QCOMPARE(box.Values(), (QStringList{u"甲"_s, u"乙"_s, u"丙"_s}));
    QCOMPARE(box.lvValues->currentRow(), 2);
    QVERIFY(!box.btnDown->isEnabled());

    QTest::mouseClick(box.btnUp, Qt::LeftButton);
    QCOMPARE(box.Values(), (QStringList{u"甲"_s, u"丙"_s, u"乙"_s}));
    // Several lines pasted at once go after the current value.
    box.lvValues->setCurrentRow(0);
    QApplication::clipboard()->setText(u"丁\n戊\n"_s);
    QTest::mouseClick(box.btnPaste, Qt::LeftButton);
    QCOMPARE(box.Values(), (QStringList{u"甲"_s, u"丁"_s, u"戊"_s, u"丙"_s, u"乙"_s}));
    // Typed and added with Enter.
    box.edNew->setText(u"己"_s);
    QTest::keyClick(box.edNew, Qt::Key_Return);
    QCOMPARE(box.Values().at(3), u"己"_s);
    QVERIFY(box.edNew->text().isEmpty());
    QTest::mouseClick(box.btnRemove, Qt::LeftButton);
    QCOMPARE(box.Values(), (QStringList{u"甲"_s, u"丁"_s, u"戊"_s, u"丙"_s, u"乙"_s}));
    box.SetValues({});
    QVERIFY(!box.btnRemove->isEnabled());
}

QTEST_MAIN(TestCustomFieldsPage)
#include "tst_customfieldspage.moc"
