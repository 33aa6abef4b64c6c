#pragma once

#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <algorithm>

// A PDF as poppler's pdftotext reads it back: its pages' sizes and every
// word's box on them, in points. What a reader of the file sees, whatever
// wrote it.
namespace PdfPages {

struct TWord
{
    QString Text;
    QRectF Box;
};

struct TPage
{
    QSizeF Size;
    QList<TWord> Words;

    // The words run together: pdftotext parts a word where the font
    // changes, as between Chinese and Latin letters in one text.
    QString Text() const
    {
        QString text;
        for (const TWord &word : Words)
            text += word.Text;
        return text;
    }
    // The first word holding this text; an empty box when there is none.
    QRectF BoxOf(const QString &text) const
    {
        for (const TWord &word : Words)
            if (word.Text.contains(text))
                return word.Box;
        return {};
    }
    // The words' extent across the page.
    QRectF Extent() const
    {
        QRectF all;
        for (const TWord &word : Words)
            all = all.united(word.Box);
        return all;
    }
};

inline QString Unescaped(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// Empty when pdftotext cannot read the file.
inline QList<TPage> Read(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                       "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    QList<TPage> pages;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            const QPointF from(m.captured(3).toDouble(), m.captured(4).toDouble());
            const QPointF to(m.captured(5).toDouble(), m.captured(6).toDouble());
            pages.last().Words.append({Unescaped(m.captured(7)), QRectF(from, to)});
        }
    }
    return pages;
}

// The middle height of the words on these pages, in points: how high the
// text reads.
inline qreal MedianWordHeight(const QList<TPage> &pages)
{
    QList<qreal> heights;
    for (const TPage &page : pages)
        for (const TWord &word : page.Words)
            heights << word.Box.height();
    if (heights.isEmpty())
        return 0;
    std::sort(heights.begin(), heights.end());
    return heights[heights.size() / 2];
}

} // namespace PdfPages
