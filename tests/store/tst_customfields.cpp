// The fields a catalog defines for itself: the tables made by the first
// field only, each kind's values read back and sorted as the kind sorts, the
// names and values refused, every change whole or not at all, and catalogs
// with the tables still opened, checked and upgraded as before.
#include "store/catalog/CustomFields.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "store/engine/OpeningCheck.h"
#include "store/engine/RecordNumbers.h"
#include "store/engine/RowReader.h"
#include "tests/e2e/CatalogState.h"
#include "tests/support/CatalogFixture.h"

#include <QTest>

using namespace CustomFields;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CustomFields::TFieldKind)

namespace {

// Discs 1 英雄, 2 大话西游 and 3 红楼梦.
void AddDiscs(TDAODatabase &db)
{
    db.Exec(u"INSERT INTO TbCd (ID, Code, Name, TId) VALUES (1, '1', '英雄', 1), "
            "(2, '2', '大话西游', 1), (3, '3', '红楼梦', 1)"_s);
}

QStringList Rows(TDAODatabase &db, const QString &sql)
{
    QStringList rows;
    db.ForEachRow(sql, [&rows](const TRowReader &row) {
        QStringList cells;
        for (int i = 0; i < row.Columns(); ++i)
            cells << row.Text(i);
        rows << cells.join(u'|');
    });
    return rows;
}

// Writes the disc's values in a transaction of its own, as the editor's
// save will.
void Save(TDAODatabase &db, int cdId, const TDiscValues &values, bool addChoices = false)
{
    TDAOTransaction work(db);
    WriteDiscValues(db, cdId, values, addChoices);
    work.Commit();
}

QString Refusal(const std::function<void()> &change)
{
    try {
        change();
    } catch (const EDAOError &error) {
        return u"engine: "_s + error.Message();
    } catch (const EAppError &error) {
        return error.Message();
    }
    return {};
}

QStringList Names(TDAODatabase &db)
{
    QStringList names;
    for (const TCustomField &field : Fields(db))
        names << field.Name;
    return names;
}

// Every row of the tables a catalog had before it had fields.
QStringList FixedTables(const QString &path)
{
    QStringList rows;
    for (const char *table : {"TbCd", "TbTree", "TbCategory", "TbQuality", "TbSetings"})
        rows << CatalogState::Rows(path, u"SELECT * FROM %1 ORDER BY 1"_s.arg(QLatin1String(table)));
    rows << CatalogState::Rows(
        path, u"SELECT sql FROM sqlite_master WHERE tbl_name IN "
              "('TbCd','TbTree','TbCategory','TbQuality','TbSetings') AND type<>'trigger' ORDER BY name"_s);
    return rows;
}

} // namespace

class TestCustomFields : public QObject
{
    Q_OBJECT

private slots:
    void catalogWithoutFieldsKeepsItsBytes();
    void kinds_data();
    void kinds();
    void refusedValues_data();
    void refusedValues();
    void refusedNames_data();
    void refusedNames();
    void definitionsChangeWholeOrNotAtAll();
    void choiceListsKeepWhatDiscsHold();
    void valuesGoWithTheirDiscAndField();
    void readyMadeSetsAreAccepted();
    void catalogWithFieldsOpensAsBefore();
    void olderCatalogUpgradedThenGetsFields();
};

void TestCustomFields::catalogWithoutFieldsKeepsItsBytes()
{
    CatalogFixture fixture(Schema::Layout::Build102, true);
    {
        TDAODatabase db;
        fixture.Attach(db);
        AddDiscs(db);
    }
    const QByteArray before = CatalogFixture::Digest(fixture.Path());
    {
        TDAODatabase db;
        fixture.Attach(db);
        QVERIFY(Fields(db).isEmpty());
        QVERIFY(ReadDiscValues(db, 1).isEmpty());
        QCOMPARE(DiscsWithValue(db, 1), 0);
        QVERIFY(FieldValues(db, 1).isEmpty());
        Save(db, 1, {});
        Save(db, 1, {{7, {u" "_s}}}); // a blank value of no field is no value
        DeleteField(db, 1);
        // A value for a field the catalog does not have.
        QVERIFY(Refusal([&] { Save(db, 1, {{7, {u"张艺谋"_s}}}); }).contains(u"已经被删除"_s));
        // The first definition refused after it made the tables takes them
        // back with it.
        QVERIFY(!Refusal([&] { AddFields(db, {{u"导演"_s}, {u"导演"_s}}); }).isEmpty());
        QVERIFY(!HasTables(db));
    }
    QCOMPARE(CatalogFixture::Digest(fixture.Path()), before);
}

void TestCustomFields::kinds_data()
{
    QTest::addColumn<TFieldKind>("kind");
    QTest::addColumn<QStringList>("typed");    // discs 1, 2 and 3; "|" parts a 多值 field's values
    QTest::addColumn<QStringList>("readBack"); // the same, as read back
    QTest::addColumn<QList<int>>("sorted");    // the discs in the order of the kept values

    QTest::newRow("text") << TFieldKind::Text << QStringList{u"  乙 "_s, u"甲\n乙"_s, u"007"_s}
                          << QStringList{u"乙"_s, u"甲 乙"_s, u"007"_s} << QList<int>{3, 1, 2};
    QTest::newRow("long text") << TFieldKind::LongText << QStringList{u"第一行\n第二行"_s, u"b"_s, u"a"_s}
                               << QStringList{u"第一行\n第二行"_s, u"b"_s, u"a"_s} << QList<int>{3, 2, 1};
    QTest::newRow("number") << TFieldKind::Number << QStringList{u"10"_s, u"9.50"_s, u"１,234"_s}
                            << QStringList{u"10"_s, u"9.5"_s, u"1234"_s} << QList<int>{2, 1, 3};
    QTest::newRow("negative number") << TFieldKind::Number << QStringList{u"-2"_s, u"+3"_s, u"1e3"_s}
                                     << QStringList{u"-2"_s, u"3"_s, u"1000"_s} << QList<int>{1, 2, 3};
    QTest::newRow("date") << TFieldKind::Date << QStringList{u"2024/5/1"_s, u"2023-12-31"_s, u"2024年1月2日"_s}
                          << QStringList{u"2024-05-01"_s, u"2023-12-31"_s, u"2024-01-02"_s} << QList<int>{2, 3, 1};
    QTest::newRow("yes or no") << TFieldKind::YesNo << QStringList{u"是"_s, u"否"_s, u"YES"_s}
                               << QStringList{u"是"_s, u"否"_s, u"是"_s} << QList<int>{2, 1, 3};
    QTest::newRow("choice") << TFieldKind::Choice << QStringList{u"dvd"_s, u"蓝光"_s, u" CD "_s}
                            << QStringList{u"DVD"_s, u"蓝光"_s, u"CD"_s} << QList<int>{3, 1, 2};
    QTest::newRow("several values") << TFieldKind::MultiValue
                                    << QStringList{u"张国荣| 梁朝伟 ||张曼玉"_s, u"周星驰"_s, u" "_s}
                                    << QStringList{u"张国荣|梁朝伟|张曼玉"_s, u"周星驰"_s, QString()}
                                    << QList<int>{2, 1};
}

void TestCustomFields::kinds()
{
    QFETCH(TFieldKind, kind);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, readBack);
    QFETCH(QList<int>, sorted);
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);
    const int other = AddField(db, {u"备用"_s});
    const int id = AddField(db, {u"字段"_s, kind, {u"DVD"_s, u"蓝光"_s, u"CD"_s}});
    for (int disc = 1; disc <= 3; ++disc)
        Save(db, disc, {{id, typed.at(disc - 1).split(u'|')}, {other, {u"x"_s}}});

    for (int disc = 1; disc <= 3; ++disc) {
        const TDiscValues values = ReadDiscValues(db, disc);
        QCOMPARE(values.value(id).join(u'|'), readBack.at(disc - 1));
        QCOMPARE(values.value(other), QStringList{u"x"_s});
    }
    // The kept values sort as the kind sorts, through the field's index.
    const QStringList order = Rows(db, u"SELECT CdId FROM TbFieldValue WHERE FieldId=%1 AND Ord=0 "
                                       "ORDER BY Value, CdId"_s.arg(id));
    QStringList expected;
    for (int disc : sorted)
        expected << QString::number(disc);
    QCOMPARE(order, expected);
    QVERIFY(Rows(db, u"EXPLAIN QUERY PLAN SELECT CdId FROM TbFieldValue WHERE FieldId=1 ORDER BY Value"_s)
                .join(u' ')
                .contains(u"TbFieldValueField"_s));
    QCOMPARE(DiscsWithValue(db, id), int(sorted.size()));
    QCOMPARE(FieldValues(db, id).size(), sorted.size());
    if (kind == TFieldKind::MultiValue)
        QCOMPARE(FieldValues(db, id).value(1).toString(), u"张国荣、梁朝伟、张曼玉"_s);
}

void TestCustomFields::refusedValues_data()
{
    QTest::addColumn<TFieldKind>("kind");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a number") << TFieldKind::Number << QStringList{u"九十"_s} << u"不是数字"_s;
    QTest::newRow("number beyond a real") << TFieldKind::Number << QStringList{u"1e999"_s} << u"不是数字"_s;
    QTest::newRow("no such day") << TFieldKind::Date << QStringList{u"2023-02-29"_s} << u"不是日期"_s;
    QTest::newRow("neither yes nor no") << TFieldKind::YesNo << QStringList{u"也许"_s} << u"“是”或“否”"_s;
    QTest::newRow("choice not listed") << TFieldKind::Choice << QStringList{u"VHS"_s} << u"不在“字段”的选择列表里"_s;
    QTest::newRow("text too long") << TFieldKind::Text << QStringList{QString(MaxValueLength + 1, u'长')}
                                   << u"有 4001 个字，太长了"_s;
    QTest::newRow("one of several too long")
        << TFieldKind::MultiValue << QStringList{u"甲"_s, QString(MaxValueLength + 1, u'长')} << u"太长了"_s;
    QStringList many;
    for (int i = 0; i < 10000; ++i)
        many << u"曲目 %1"_s.arg(i);
    QTest::newRow("ten thousand values") << TFieldKind::MultiValue << many
                                         << u"最多只能有 1000 个值，这里有 10000 个"_s;
    QTest::newRow("two values of a single-value field")
        << TFieldKind::Text << QStringList{u"甲"_s, u"乙"_s} << u"只能有一个值"_s;
}

void TestCustomFields::refusedValues()
{
    QFETCH(TFieldKind, kind);
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);
    const int kept = AddField(db, {u"导演"_s, TFieldKind::MultiValue});
    const int id = AddField(db, {u"字段"_s, kind, {u"DVD"_s}});
    Save(db, 1, {{kept, {u"张艺谋"_s}}});

    // A good value beside the bad one is not written either, nor does the
    // old value go.
    const QString refusal = Refusal([&] { Save(db, 1, {{kept, {u"陈凯歌"_s}}, {id, typed}}); });
    QVERIFY2(refusal.contains(message), qPrintable(refusal));
    QCOMPARE(ReadDiscValues(db, 1), (TDiscValues{{kept, {u"张艺谋"_s}}}));

    // A value just within the limit is taken whole.
    const QString longest(MaxValueLength, u'长');
    Save(db, 2, {{kept, {longest}}});
    QCOMPARE(ReadDiscValues(db, 2).value(kept), QStringList{longest});
}

void TestCustomFields::refusedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank") << u" \u3000 "_s << u"请填写字段的名称"_s;
    QTest::newRow("invisible") << u"\u200B"_s << u"请填写字段的名称"_s;
    QTest::newRow("line break") << u"导\n演"_s << u"只能写成一行"_s;
    QTest::newRow("too long") << QString(MaxNameLength + 1, u'名') << u"最多只能有 20 个字"_s;
    QTest::newRow("same name, other case") << u" director "_s << u"已经有一个叫“Director”的字段"_s;
    QTest::newRow("a disc's name") << u"名称"_s << u"光盘本身的“名称”"_s;
    QTest::newRow("a disc's category") << u"类别"_s << u"光盘本身的“分类”"_s;
    QTest::newRow("a disc's grade") << u"品质"_s << u"光盘本身的“质量”"_s;
    QTest::newRow("a disc's memo") << u"备注"_s << u"光盘本身的“说明”"_s;
    QTest::newRow("a disc's picture") << u"图片"_s << u"光盘本身的“封面”"_s;
    QTest::newRow("a disc's price") << u"Price"_s << u"光盘本身的“价格”"_s;
    QTest::newRow("a list column") << u"spell"_s << u"是光盘本身的字段"_s;
}

void TestCustomFields::refusedNames()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    const int director = AddField(db, {u"Director"_s});
    const int other = AddField(db, {u"主演"_s});
    QString refusal = Refusal([&] { AddField(db, {name}); });
    QVERIFY2(refusal.contains(message), qPrintable(refusal));
    refusal = Refusal([&] { RenameField(db, other, name); });
    QVERIFY2(refusal.contains(message), qPrintable(refusal));
    QCOMPARE(Names(db), (QStringList{u"Director"_s, u"主演"_s}));
    // A field may take its own name in other letter case.
    RenameField(db, director, u"DIRECTOR "_s);
    QCOMPARE(Names(db).first(), u"DIRECTOR"_s);
}

void TestCustomFields::definitionsChangeWholeOrNotAtAll()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    const QList<int> ids = AddFields(db, {{u"导演"_s}, {u"主演"_s}, {u"曲目"_s}});
    QCOMPARE(ids.size(), 3);

    // Several fields go in together or not at all.
    QVERIFY(Refusal([&] { AddFields(db, {{u"编剧"_s}, {u"主演"_s}}); }).contains(u"主演"_s));
    QCOMPARE(Names(db), (QStringList{u"导演"_s, u"主演"_s, u"曲目"_s}));

    MoveField(db, ids.at(2), -1);
    MoveField(db, ids.at(0), -1); // at the top already
    QCOMPARE(Names(db), (QStringList{u"导演"_s, u"曲目"_s, u"主演"_s}));
    MoveField(db, ids.at(0), +1);
    QCOMPARE(Names(db), (QStringList{u"曲目"_s, u"导演"_s, u"主演"_s}));
    DeleteField(db, ids.at(0));
    QCOMPARE(Names(db), (QStringList{u"曲目"_s, u"主演"_s}));
    QVERIFY(Refusal([&] { RenameField(db, ids.at(0), u"导演2"_s); }).contains(u"已经被删除"_s));
    QVERIFY(Refusal([&] { MoveField(db, ids.at(0), 1); }).contains(u"已经被删除"_s));

    // At most MaxFields, counted over the fields already there.
    QList<TNewField> many;
    for (int i = 0; i < MaxFields - 1; ++i)
        many << TNewField{u"字段%1"_s.arg(i)};
    QVERIFY(Refusal([&] { AddFields(db, many); }).contains(u"最多只能有 64 个自定义字段"_s));
    QCOMPARE(Fields(db).size(), 2);
    many.removeLast();
    AddFields(db, many);
    QCOMPARE(Fields(db).size(), MaxFields);
    QVERIFY(Refusal([&] { AddField(db, {u"再多一个"_s}); }).contains(u"最多"_s));
}

void TestCustomFields::choiceListsKeepWhatDiscsHold()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);
    const int id = AddField(db, {u"介质格式"_s, TFieldKind::Choice, {u" DVD"_s, u""_s, u"dvd"_s, u"蓝光"_s}});
    QCOMPARE(Fields(db).first().Choices, (QStringList{u"DVD"_s, u"蓝光"_s}));
    Save(db, 1, {{id, {u"DVD"_s}}});
    Save(db, 2, {{id, {u"DVD"_s}}});

    QString refusal = Refusal([&] { SetChoices(db, id, {u"蓝光"_s}); });
    QVERIFY2(refusal.contains(u"还有 2 张光盘的“介质格式”是“DVD”"_s), qPrintable(refusal));
    QCOMPARE(Fields(db).first().Choices, (QStringList{u"DVD"_s, u"蓝光"_s}));
    // Renamed with a list refused: neither change is kept.
    QVERIFY(Refusal([&] { ChangeField(db, id, u"格式"_s, {u"CD"_s}); }).contains(u"不能把它从选择列表里删去"_s));
    QCOMPARE(Fields(db).first().Name, u"介质格式"_s);

    // Spelt anew, the choice stays the discs' choice.
    SetChoices(db, id, {u"Dvd"_s, u"CD"_s});
    QCOMPARE(Fields(db).first().Choices, (QStringList{u"Dvd"_s, u"CD"_s}));
    QCOMPARE(ReadDiscValues(db, 1).value(id), QStringList{u"Dvd"_s});

    // An import adds a value missing from the list; the editor may not.
    QVERIFY(Refusal([&] { Save(db, 3, {{id, {u"VHS"_s}}}); }).contains(u"不在"_s));
    Save(db, 3, {{id, {u"VHS"_s}}}, true);
    QCOMPARE(Fields(db).first().Choices, (QStringList{u"Dvd"_s, u"CD"_s, u"VHS"_s}));
    QCOMPARE(ReadDiscValues(db, 3).value(id), QStringList{u"VHS"_s});
}

void TestCustomFields::valuesGoWithTheirDiscAndField()
{
    CatalogFixture fixture;
    TDM dm;
    dm.NameCatalog(fixture.Path());
    TDAODatabase &db = dm.DbBase;
    AddDiscs(db);
    const int cast = AddField(db, {u"主演"_s, TFieldKind::MultiValue});
    const int length = AddField(db, {u"片长"_s, TFieldKind::Number});
    for (int disc = 1; disc <= 3; ++disc)
        Save(db, disc, {{cast, {u"甲"_s, u"乙"_s}}, {length, {QString::number(90 + disc)}}});
    QCOMPARE(DiscsWithValue(db, cast), 3);

    // Values are written only inside the caller's transaction, and go when
    // it is rolled back.
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, WriteDiscValues(db, 1, {}));
    {
        TDAOTransaction work(db);
        WriteDiscValues(db, 1, {{cast, {u"丙"_s}}});
    }
    QCOMPARE(ReadDiscValues(db, 1).value(cast), (QStringList{u"甲"_s, u"乙"_s}));
    // Fields left out lose their value.
    Save(db, 1, {{cast, {u"丙"_s}}});
    QCOMPARE(ReadDiscValues(db, 1), (TDiscValues{{cast, {u"丙"_s}}}));

    // A disc deleted takes its values, also after the catalog was compacted.
    db.Exec(u"DELETE FROM TbCd WHERE ID=2"_s);
    QCOMPARE(DiscsWithValue(db, length), 1);
    QVERIFY(dm.CompactDb() > 0);
    db.Exec(u"DELETE FROM TbCd WHERE ID=3"_s);
    QCOMPARE(DiscsWithValue(db, cast), 1);
    QCOMPARE(Rows(db, u"SELECT DISTINCT CdId FROM TbFieldValue"_s), QStringList{u"1"_s});
    QVERIFY(Refusal([&] { Save(db, 3, {{cast, {u"丁"_s}}}); }).contains(u"不在光盘夹里"_s));

    // A field deleted takes its values; a save of a form that still shows
    // it is refused whole.
    DeleteField(db, cast);
    QCOMPARE(Rows(db, u"SELECT COUNT(*) FROM TbFieldValue WHERE FieldId=%1"_s.arg(cast)), QStringList{u"0"_s});
    Save(db, 1, {{length, {u"95"_s}}});
    QVERIFY(Refusal([&] { Save(db, 1, {{cast, {u"戊"_s}}, {length, {u"96"_s}}}); }).contains(u"已经被删除"_s));
    QCOMPARE(ReadDiscValues(db, 1), (TDiscValues{{length, {u"95"_s}}}));
}

void TestCustomFields::readyMadeSetsAreAccepted()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    for (const TFieldSet &set : ReadyMadeSets()) {
        QVERIFY(!set.Fields.isEmpty());
        for (const TNewField &field : set.Fields)
            QVERIFY2(NameRefusal(field.Name, {}).isEmpty(), qPrintable(field.Name));
    }
    AddFields(db, ReadyMadeSets().first().Fields);
    QCOMPARE(Names(db).size(), 8);
    QCOMPARE(Names(db).at(5), u"片长（分钟）"_s);
}

void TestCustomFields::catalogWithFieldsOpensAsBefore()
{
    CatalogFixture fixture(Schema::Layout::Build102, true);
    TDM dm;
    dm.NameCatalog(fixture.Path());
    AddDiscs(dm.DbBase);
    const QStringList before = FixedTables(fixture.Path());
    const int id = AddField(dm.DbBase, {u"导演"_s, TFieldKind::MultiValue});
    Save(dm.DbBase, 1, {{id, {u"张艺谋"_s}}});
    dm.DbBase.SetConnected(false);
    QCOMPARE(FixedTables(fixture.Path()), before);

    // Opened again as every catalog is: checked, upgraded when old, sound.
    const TCatalogHandle handle = OpenCatalogHandle(fixture.Path(), QString::fromLatin1(Schema::CatalogPassword), true);
    bool complete = false;
    QCOMPARE(NumberOutOfRange(handle.get(), &complete), QString());
    QVERIFY(complete);
    TDM again;
    again.NameCatalog(fixture.Path());
    UpgradeDb(again);
    QCOMPARE(GetDbVersion(again), Schema::VersionOf(Schema::Layout::Build102));
    QCOMPARE(CatalogState::IntegrityCheck(fixture.Path()), u"ok"_s);
    QCOMPARE(FixedTables(fixture.Path()), before);
    QCOMPARE(ReadDiscValues(again.DbBase, 1).value(id), QStringList{u"张艺谋"_s});
}

void TestCustomFields::olderCatalogUpgradedThenGetsFields()
{
    CatalogFixture fixture(Schema::Layout::Build100, true);
    TDM dm;
    dm.NameCatalog(fixture.Path());
    AddDiscs(dm.DbBase);
    UpgradeDb(dm);
    QVERIFY(Fields(dm.DbBase).isEmpty());
    const int id = AddField(dm.DbBase, {u"发行年份"_s, TFieldKind::Number});
    Save(dm.DbBase, 2, {{id, {u"1995"_s}}});
    dm.DbBase.Exec(u"DELETE FROM TbCd WHERE ID=2"_s);
    QCOMPARE(DiscsWithValue(dm.DbBase, id), 0);
    QCOMPARE(CatalogState::IntegrityCheck(fixture.Path()), u"ok"_s);
}

QTEST_GUILESS_MAIN(TestCustomFields)
#include "tst_customfields.moc"
