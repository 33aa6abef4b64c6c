#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// Reading a table that a spreadsheet or another catalog program wrote as
// comma, tab or semicolon separated text.
namespace CsvReader {

enum class TEncoding { Auto, Utf8, Gb18030 };

// UTF-8 when the bytes start with its byte order mark or read as UTF-8
// without a fault; otherwise GB18030, which covers GBK and GB2312.
TEncoding DetectEncoding(const QByteArray &bytes);
// The text of the bytes in the encoding (Auto detects it); a leading byte
// order mark is dropped.
QString Decode(const QByteArray &bytes, TEncoding encoding);

// The separator of the first record outside quotes: the one of tab,
// semicolon and comma it holds most often; a comma when it holds none.
QChar DetectSeparator(const QString &text);

// The records of the text, as spreadsheet programs quote them: a field in
// double quotes may hold separators, line breaks and doubled quotes. Line
// ends are CR LF, LF or CR; records with nothing in any field are left
// out. Records may have different numbers of fields.
struct TRecord
{
    int Number = 0; // 1 for the file's first record, as a spreadsheet counts rows
    QStringList Fields;
    // Per field, whether it was written in quotes: a writer quotes a value
    // to keep its separators, line breaks and blanks at either end.
    QList<bool> Quoted = {};
    // The fields the record has in the file, kept or not.
    qsizetype Columns = 0;
};
// Only the first maxFields fields of a record are kept (a crafted line may
// hold millions); the others are counted in Columns.
QList<TRecord> Parse(const QString &text, QChar separator, qsizetype maxFields = -1);

} // namespace CsvReader
