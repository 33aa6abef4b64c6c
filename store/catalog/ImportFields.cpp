#include "store/catalog/ImportFields.h"

using namespace Qt::StringLiterals;

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
        {"名称", {u"名称"_s, u"片名"_s, u"标题"_s, u"光盘名称"_s, u"名字"_s, u"title"_s, u"name"_s}},
        {"编号", {u"编号"_s, u"code"_s, u"id"_s, u"no"_s, u"no."_s, u"number"_s}},
        {"序列号",
         {u"序列号"_s, u"条码"_s, u"条形码"_s, u"barcode"_s, u"isbn"_s, u"upc"_s, u"ean"_s, u"serial"_s,
          u"serialnumber"_s}},
        {"日期",
         {u"日期"_s, u"年份"_s, u"年代"_s, u"发行日期"_s, u"购买日期"_s, u"year"_s, u"date"_s, u"releasedate"_s,
          u"purchasedate"_s}},
        {"分类", {u"分类"_s, u"类别"_s, u"类型"_s, u"genre"_s, u"category"_s, u"type"_s}},
        {"质量", {u"质量"_s, u"品质"_s, u"品相"_s, u"quality"_s, u"condition"_s, u"grade"_s}},
        {"价格", {u"价格"_s, u"价格(元)"_s, u"价格（元）"_s, u"售价"_s, u"金额"_s, u"价钱"_s, u"price"_s, u"cost"_s}},
        {"位置", {u"位置"_s, u"存放位置"_s, u"location"_s, u"place"_s}},
        {"说明",
         {u"说明"_s, u"简介"_s, u"备注"_s, u"内容"_s, u"comments"_s, u"comment"_s, u"description"_s, u"notes"_s,
          u"note"_s, u"plot"_s}},
        {"封面", {u"封面"_s, u"图片"_s, u"cover"_s, u"image"_s, u"picture"_s, u"coverimage"_s}},
        {"光盘夹目录", {u"光盘夹目录"_s, u"目录"_s, u"光盘夹"_s, u"文件夹"_s, u"folder"_s, u"path"_s, u"directory"_s}},
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
