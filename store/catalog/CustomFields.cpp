#include "store/catalog/CustomFields.h"

#include "pinyin/TextBlank.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace CustomFields {

namespace {

// A 选择 field's list is kept as one text, a choice a line: a choice is
// always a single line.
constexpr QChar ChoiceSeparator = u'\n';

// The separator of a 多值 field's values where they are shown as one text.
const QString ValueJoint = u"、"_s;

TCustomField ReadField(const TBoundStatement &q)
{
    TCustomField field;
    field.Id = int(q.Int(0));
    field.Name = q.Text(1);
    field.Kind = KindOf(int(q.Int(2)));
    field.Position = int(q.Int(3));
    const QString choices = q.Text(4);
    if (!choices.isEmpty())
        field.Choices = choices.split(ChoiceSeparator);
    return field;
}

// The value in column, as it was bound, from a row that has the column's
// typeof() next to it.
QVariant StoredAt(const TBoundStatement &q, int column)
{
    const QByteArrayView type = q.Utf8(column + 1);
    if (type == "integer")
        return q.Int(column);
    if (type == "real")
        return q.Number(column);
    return q.Text(column);
}

std::optional<TCustomField> FindField(const QList<TCustomField> &fields, int fieldId)
{
    const auto it = std::find_if(fields.cbegin(), fields.cend(), [fieldId](const auto &f) { return f.Id == fieldId; });
    if (it == fields.cend())
        return std::nullopt;
    return *it;
}

TCustomField ExistingField(TDAODatabase &db, int fieldId)
{
    if (const auto field = FindField(Fields(db), fieldId))
        return *field;
    throw EAppError(u"这个自定义字段已经被删除了。"_s);
}

void WriteChoices(TDAODatabase &db, int fieldId, const QStringList &choices)
{
    TBoundStatement(db, u"UPDATE TbField SET Choices=?1 WHERE ID=?2"_s)
        .Bind(1, choices.join(ChoiceSeparator))
        .Bind(2, fieldId)
        .Run();
}

bool DiscExists(TDAODatabase &db, int cdId)
{
    TBoundStatement q(db, u"SELECT 1 FROM TbCd WHERE ID=?1"_s);
    q.Bind(1, cdId);
    return q.Next();
}

[[noreturn]] void RaiseFieldGone()
{
    throw EAppError(u"有一个自定义字段已经被删除了，这张光盘的值没有保存。请关闭这个窗口后重新打开再改。"_s);
}

bool AllBlank(const QStringList &texts)
{
    return std::all_of(texts.cbegin(), texts.cend(), [](const QString &text) { return TextBlank::IsBlank(text); });
}

struct TValueRow
{
    int FieldId;
    int Ord;
    QVariant Value;
};

} // namespace

QStringList CreateStatements()
{
    return {
        u"CREATE TABLE TbField (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL COLLATE NOCASE, "
        "Kind INTEGER NOT NULL, Position INTEGER NOT NULL, Choices TEXT NOT NULL DEFAULT '')"_s,
        u"CREATE UNIQUE INDEX TbFieldName ON TbField(Name)"_s,
        // Value has no declared type: a value keeps the kind it was written
        // with, so that numbers and day counts compare and sort as numbers
        // and a text such as "007" stays a text. Ord numbers a 多值 field's
        // values; it is 0 for the other kinds.
        u"CREATE TABLE TbFieldValue (CdId INTEGER NOT NULL, FieldId INTEGER NOT NULL, "
        "Ord INTEGER NOT NULL DEFAULT 0, Value NOT NULL, PRIMARY KEY (CdId, FieldId, Ord))"_s,
        // Finding, sorting and counting by one field, and reading all of a
        // field's values, read this index alone: without Ord in it, every
        // row would be fetched from the table.
        u"CREATE INDEX TbFieldValueField ON TbFieldValue(FieldId, Value, CdId, Ord)"_s,
        u"CREATE TRIGGER TbCdDeleteFieldValues AFTER DELETE ON TbCd "
        "BEGIN DELETE FROM TbFieldValue WHERE CdId=OLD.ID; END"_s,
    };
}

bool HasTables(TDAODatabase &db)
{
    TBoundStatement q(db, u"SELECT 1 FROM sqlite_master WHERE type='table' AND name='TbField'"_s);
    return q.Next();
}

QList<TCustomField> Fields(TDAODatabase &db)
{
    QList<TCustomField> fields;
    if (!HasTables(db))
        return fields;
    TBoundStatement q(db, u"SELECT ID, Name, Kind, Position, Choices FROM TbField ORDER BY Position, ID"_s);
    while (q.Next())
        fields << ReadField(q);
    return fields;
}

QList<int> AddFields(TDAODatabase &db, const QList<TNewField> &fields)
{
    QList<int> ids;
    if (fields.isEmpty())
        return ids;
    TDAOTransaction work(db);
    if (!HasTables(db)) {
        for (const QString &statement : CreateStatements())
            db.Exec(statement);
    }
    QList<TCustomField> known = Fields(db);
    if (known.size() + fields.size() > MaxFields)
        throw EAppError(
            u"一个光盘夹最多只能有 %1 个自定义字段，现在已经有 %2 个了。"_s.arg(MaxFields).arg(known.size()));
    int position = known.isEmpty() ? 0 : known.last().Position + 1;
    TBoundStatement insert(db, u"INSERT INTO TbField (Name, Kind, Position, Choices) VALUES (?1, ?2, ?3, ?4)"_s);
    for (const TNewField &field : fields) {
        const QString refusal = NameRefusal(field.Name, known);
        if (!refusal.isEmpty())
            throw EAppError(refusal);
        TCustomField added;
        added.Name = CleanName(field.Name);
        added.Kind = field.Kind;
        added.Position = position++;
        if (field.Kind == TFieldKind::Choice)
            added.Choices = CleanChoices(field.Choices);
        insert.Bind(1, added.Name).Bind(2, int(added.Kind)).Bind(3, added.Position);
        insert.Bind(4, added.Choices.join(ChoiceSeparator));
        added.Id = int(insert.Run());
        known << added;
        ids << added.Id;
    }
    work.Commit();
    return ids;
}

int AddField(TDAODatabase &db, const TNewField &field)
{
    return AddFields(db, {field}).value(0);
}

void RenameField(TDAODatabase &db, int fieldId, const QString &name)
{
    TDAOTransaction work(db);
    const QList<TCustomField> fields = Fields(db);
    if (!FindField(fields, fieldId))
        throw EAppError(u"这个自定义字段已经被删除了。"_s);
    const QString refusal = NameRefusal(name, fields, fieldId);
    if (!refusal.isEmpty())
        throw EAppError(refusal);
    TBoundStatement(db, u"UPDATE TbField SET Name=?1 WHERE ID=?2"_s).Bind(1, CleanName(name)).Bind(2, fieldId).Run();
    work.Commit();
}

void SetChoices(TDAODatabase &db, int fieldId, const QStringList &choices)
{
    TDAOTransaction work(db);
    const TCustomField field = ExistingField(db, fieldId);
    if (field.Kind != TFieldKind::Choice)
        throw EAppError(u"“%1”不是选择字段，没有选择列表。"_s.arg(field.Name));
    const QStringList clean = CleanChoices(choices);
    TBoundStatement used(
        db, u"SELECT Value, COUNT(DISTINCT CdId) FROM TbFieldValue WHERE FieldId=?1 GROUP BY Value ORDER BY Value"_s);
    used.Bind(1, fieldId);
    QList<std::pair<QString, QString>> respelled;
    while (used.Next()) {
        const QString value = used.Text(0);
        const auto kept =
            std::find_if(clean.cbegin(), clean.cend(), [&](const QString &c) { return SameName(c, value); });
        if (kept == clean.cend()) {
            const qint64 discs = used.Int(1);
            used.Stop();
            throw EAppError(
                u"还有 %1 张光盘的“%2”是“%3”，不能把它从选择列表里删去。"_s.arg(discs).arg(field.Name, value));
        }
        if (*kept != value)
            respelled.append({value, *kept});
    }
    // A choice written anew in other letter case is the same choice: the
    // discs holding it follow the new spelling.
    TBoundStatement respell(db, u"UPDATE TbFieldValue SET Value=?1 WHERE FieldId=?2 AND Value=?3"_s);
    for (const auto &[before, after] : respelled)
        respell.Bind(1, after).Bind(2, fieldId).Bind(3, before).Run();
    WriteChoices(db, fieldId, clean);
    work.Commit();
}

void ChangeField(TDAODatabase &db, int fieldId, const QString &name, const QStringList &choices)
{
    TDAOTransaction work(db);
    const TCustomField field = ExistingField(db, fieldId);
    if (field.Name != CleanName(name))
        RenameField(db, fieldId, name);
    if (field.Kind == TFieldKind::Choice)
        SetChoices(db, fieldId, choices);
    work.Commit();
}

void DeleteField(TDAODatabase &db, int fieldId)
{
    if (!HasTables(db))
        return;
    TDAOTransaction work(db);
    TBoundStatement(db, u"DELETE FROM TbFieldValue WHERE FieldId=?1"_s).Bind(1, fieldId).Run();
    TBoundStatement(db, u"DELETE FROM TbField WHERE ID=?1"_s).Bind(1, fieldId).Run();
    work.Commit();
}

void MoveField(TDAODatabase &db, int fieldId, int step)
{
    TDAOTransaction work(db);
    QList<TCustomField> fields = Fields(db);
    const auto at = std::find_if(fields.cbegin(), fields.cend(), [fieldId](const auto &f) { return f.Id == fieldId; });
    if (at == fields.cend())
        throw EAppError(u"这个自定义字段已经被删除了。"_s);
    const qsizetype from = at - fields.cbegin();
    const qsizetype to = from + step;
    if (step == 0 || to < 0 || to >= fields.size())
        return;
    fields.move(from, to);
    TBoundStatement update(db, u"UPDATE TbField SET Position=?1 WHERE ID=?2"_s);
    for (qsizetype position = 0; position < fields.size(); ++position)
        update.Bind(1, qint64(position)).Bind(2, fields.at(position).Id).Run();
    work.Commit();
}

int DiscsWithValue(TDAODatabase &db, int fieldId)
{
    if (!HasTables(db))
        return 0;
    TBoundStatement q(db, u"SELECT COUNT(DISTINCT V.CdId) FROM TbFieldValue AS V WHERE V.FieldId=?1 "
                          "AND EXISTS (SELECT 1 FROM TbCd AS C WHERE C.ID=V.CdId)"_s);
    q.Bind(1, fieldId);
    return int(q.Scalar());
}

TDiscValues ReadDiscValues(TDAODatabase &db, int cdId)
{
    TDiscValues values;
    if (!HasTables(db))
        return values;
    QHash<int, TFieldKind> kinds;
    for (const TCustomField &field : Fields(db))
        kinds.insert(field.Id, field.Kind);
    TBoundStatement q(db, u"SELECT FieldId, Value, typeof(Value) FROM TbFieldValue WHERE CdId=?1 "
                          "ORDER BY FieldId, Ord"_s);
    q.Bind(1, cdId);
    while (q.Next()) {
        const int fieldId = int(q.Int(0));
        const auto kind = kinds.constFind(fieldId);
        if (kind != kinds.constEnd())
            values[fieldId] << DisplayText(*kind, StoredAt(q, 1));
    }
    return values;
}

void WriteDiscValues(TDAODatabase &db, int cdId, const TDiscValues &values, bool addChoices)
{
    if (db.WorkDepth() == 0)
        throw EDAODatabaseError(u"光盘的自定义字段只能在保存光盘的事务里写入。"_s);
    const bool anyValue = !std::all_of(values.cbegin(), values.cend(), AllBlank);
    if (!HasTables(db)) {
        if (anyValue)
            RaiseFieldGone();
        return;
    }
    if (!DiscExists(db, cdId))
        throw EAppError(u"这张光盘已经不在光盘夹里了。"_s);

    // Every value is checked before the first is written.
    QList<TCustomField> fields = Fields(db);
    QList<TValueRow> rows;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const auto at = std::find_if(fields.begin(), fields.end(), [&](const auto &f) { return f.Id == it.key(); });
        if (at == fields.end()) {
            if (AllBlank(it.value()))
                continue;
            RaiseFieldGone();
        }
        TCustomField &field = *at;
        if (HoldsSeveral(field.Kind)) {
            const QStringList texts = CleanValues(field, it.value());
            for (int ord = 0; ord < texts.size(); ++ord)
                rows.append({field.Id, ord, texts.at(ord)});
            continue;
        }
        if (it.value().size() > 1)
            throw EAppError(u"“%1”只能有一个值。"_s.arg(field.Name));
        const QVariant value = StoredValue(field, it.value().value(0), addChoices);
        if (value.isNull())
            continue;
        if (field.Kind == TFieldKind::Choice && !field.Choices.contains(value.toString())) {
            field.Choices = CleanChoices(field.Choices + QStringList{value.toString()});
            WriteChoices(db, field.Id, field.Choices);
        }
        rows.append({field.Id, 0, value});
    }

    TBoundStatement(db, u"DELETE FROM TbFieldValue WHERE CdId=?1"_s).Bind(1, cdId).Run();
    TBoundStatement insert(db, u"INSERT INTO TbFieldValue (CdId, FieldId, Ord, Value) VALUES (?1, ?2, ?3, ?4)"_s);
    for (const TValueRow &row : rows)
        insert.Bind(1, cdId).Bind(2, row.FieldId).Bind(3, row.Ord).Bind(4, row.Value).Run();
}

QHash<int, QVariant> FieldValues(TDAODatabase &db, int fieldId)
{
    QHash<int, QVariant> values;
    if (!HasTables(db))
        return values;
    const std::optional<TCustomField> field = FindField(Fields(db), fieldId);
    if (!field)
        return values;
    TBoundStatement q(db, u"SELECT CdId, Value, typeof(Value) FROM TbFieldValue "
                          "WHERE FieldId=?1 ORDER BY CdId, Ord"_s);
    q.Bind(1, fieldId);
    while (q.Next()) {
        const int cdId = int(q.Int(0));
        QVariant &value = values[cdId];
        if (HoldsSeveral(field->Kind) && !value.isNull())
            value = value.toString() + ValueJoint + q.Text(1);
        else
            value = StoredAt(q, 1);
    }
    return values;
}

} // namespace CustomFields
