#include "ImportFields.h"

namespace ImportFields {

namespace {

struct TFieldNames
{
    const char *caption;
    QStringList names; // normalised
};

const QList<TFieldNames> &Names()
{
    static const QList<TFieldNames> names = {
        {"名称", {"名称", "片名", "标题", "光盘名称", "名字", "title", "name"}},
        {"编号", {"编号", "code", "id", "no", "no.", "number"}},
        {"序列号", {"序列号", "条码", "条形码", "barcode", "isbn", "upc", "ean", "serial", "serialnumber"}},
        {"日期", {"日期", "年份", "年代", "发行日期", "购买日期", "year", "date", "releasedate", "purchasedate"}},
        {"分类", {"分类", "类别", "类型", "genre", "category", "type"}},
        {"质量", {"质量", "品质", "品相", "quality", "condition", "grade"}},
        {"价格", {"价格", "售价", "价钱", "price", "cost"}},
        {"位置", {"位置", "存放位置", "location", "place"}},
        {"说明", {"说明", "简介", "备注", "内容", "comments", "comment", "description", "notes", "note", "plot"}},
        {"封面", {"封面", "图片", "cover", "image", "picture", "coverimage"}},
        {"光盘夹目录", {"光盘夹目录", "目录", "光盘夹", "文件夹", "folder", "path", "directory"}},
    };
    return names;
}

QString Normalised(const QString &name)
{
    QString n = name.trimmed().toLower();
    n.remove(QLatin1Char(' '));
    n.remove(QLatin1Char('_'));
    n.remove(QChar(0x3000));
    return n;
}

} // namespace

QString Caption(int field)
{
    return QString::fromUtf8(Names().at(field).caption);
}

int GuessField(const QString &columnName)
{
    const QString n = Normalised(columnName);
    if (n.isEmpty())
        return -1;
    for (int field = 0; field < FieldCount; ++field)
        if (Names().at(field).names.contains(n))
            return field;
    return -1;
}

QList<int> GuessMapping(const QStringList &columnNames)
{
    QList<int> mapping(FieldCount, -1);
    for (int column = 0; column < columnNames.size(); ++column) {
        const int field = GuessField(columnNames.at(column));
        if (field >= 0 && mapping[field] < 0)
            mapping[field] = column;
    }
    return mapping;
}

bool IsHeaderRow(const QStringList &cells)
{
    for (const QString &cell : cells)
        if (GuessField(cell) >= 0)
            return true;
    return false;
}

} // namespace ImportFields
