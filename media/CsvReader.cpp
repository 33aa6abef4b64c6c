#include "media/CsvReader.h"

#include <QStringDecoder>

#include <limits>

namespace CsvReader {

namespace {

bool HasUtf8Bom(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

} // namespace

TEncoding DetectEncoding(const QByteArray &bytes)
{
    if (HasUtf8Bom(bytes))
        return TEncoding::Utf8;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? TEncoding::Gb18030 : TEncoding::Utf8;
}

QString Decode(const QByteArray &bytes, TEncoding encoding)
{
    if (encoding == TEncoding::Auto)
        encoding = DetectEncoding(bytes);
    if (encoding == TEncoding::Utf8) {
        const QByteArray body = HasUtf8Bom(bytes) ? bytes.mid(3) : bytes;
        return QString::fromUtf8(body);
    }
    QStringDecoder gb("GB18030");
    QString text = gb.decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QChar DetectSeparator(const QString &text)
{
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (tabs + semicolons + commas > 0)
                break;
        } else if (c == QLatin1Char('\t'))
            ++tabs;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char(','))
            ++commas;
    }
    if (tabs > 0 && tabs >= semicolons && tabs >= commas)
        return QLatin1Char('\t');
    if (semicolons > commas)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

QList<TRecord> Parse(const QString &text, QChar separator, qsizetype maxFields)
{
    if (maxFields < 0)
        maxFields = std::numeric_limits<qsizetype>::max();
    QList<TRecord> records;
    TRecord record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false; // the record holds something, even an empty quoted field
    bool fieldQuoted = false;
    int number = 1;
    qsizetype columns = 0;
    bool droppedText = false; // a field past maxFields holds something
    auto endField = [&] {
        if (columns < maxFields) {
            record.Fields << std::move(field);
            record.Quoted << fieldQuoted;
        } else
            droppedText = droppedText || !field.isEmpty();
        ++columns;
        field = QString();
        fieldQuoted = false;
    };
    auto endRecord = [&] {
        endField();
        // A spreadsheet writes an empty row as separators alone.
        bool blank = !droppedText;
        for (const QString &f : std::as_const(record.Fields))
            blank = blank && f.isEmpty();
        // The next record likely has as many fields.
        const qsizetype fields = record.Fields.size();
        if (!blank) {
            record.Number = number;
            record.Columns = columns;
            records << std::move(record);
        }
        record = TRecord();
        columns = 0;
        droppedText = false;
        record.Fields.reserve(fields);
        record.Quoted.reserve(fields);
        fieldStarted = false;
        ++number;
    };
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < size && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else
                    quoted = false;
            } else {
                // The run up to the next quote, in one go.
                qsizetype end = i + 1;
                while (end < size && text.at(end) != QLatin1Char('"'))
                    ++end;
                field += QStringView(text).mid(i, end - i);
                i = end - 1;
            }
            continue;
        }
        if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
            fieldQuoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
            fieldStarted = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
        } else {
            // The run up to the next separator or line end, in one go; a
            // quote inside it is a character like any other.
            qsizetype end = i + 1;
            while (end < size) {
                const QChar e = text.at(end);
                if (e == separator || e == QLatin1Char('\r') || e == QLatin1Char('\n'))
                    break;
                ++end;
            }
            if (field.isEmpty())
                field = text.mid(i, end - i);
            else
                field += QStringView(text).mid(i, end - i);
            i = end - 1;
        }
    }
    if (quoted || !field.isEmpty() || fieldStarted || columns > 0)
        endRecord();
    return records;
}

} // namespace CsvReader
