#pragma once

#include "store/catalog/DiscContents.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

#include <optional>

// What the detail page service answers for one URL.
struct TPageResponse
{
    QByteArray Body;
    QString MimeType; // "text/html; charset=GBK" for the page, sniffed for pictures
};

// The detail page service: answers every URL under http://vorlix/ from the
// open catalog and the picture folder, without any user interface.
//
//   http://vorlix/cd.htm?<Id>   the detail page of disc <Id>, as GBK bytes
//   http://vorlix/<file name>   that file of the picture folder, or the
//                               built-in default cover when there is none
//                               or it is no picture that can be decoded
//
// Scheme and host are matched without regard to letter case; "cd.htm" is
// matched exactly, so "CD.HTM" is a picture name. Every other URL is not ours.
// Pictures never come from outside the picture folder: a name with a folder
// separator (also percent-encoded), "..", a drive, or a link that leads out of
// the folder gets the default cover.
//
// The page reads the disc from the data module's catalog at each request;
// nothing is cached.
class TOurNSHandler
{
public:
    explicit TOurNSHandler(const QString &pictureFolder);

    const QString &PictureFolder() const { return m_pictureFolder; }

    static constexpr const char *Host = "vorlix";
    static bool IsOurs(const QUrl &url);
    // "http://vorlix/cd.htm?<id>"
    static QUrl PageUrl(int id);

    // The response for a URL of ours; nothing for any other.
    std::optional<TPageResponse> Respond(const QUrl &url) const;

    // The page of disc id, with empty values when there is no such disc.
    QString BuildCdPage(int id) const;
    // The page with every value empty: for a query that is not a disc Id.
    QString BuildEmptyPage() const;

    // The page's bytes: GBK, with any character GBK cannot hold written as a
    // character reference, so nothing turns into '?'.
    static QByteArray EncodePage(const QString &page);

    static const QString &TemplateHtml();
    static const QByteArray &DefaultCover();

    // The file of that name in the picture folder, if it is a readable file
    // that really lies there; empty otherwise.
    QString PictureFile(const QString &name) const;
    // The local path a link of the page may open: the picture folder or a
    // plainly named file directly in it; empty for any other URL.
    QString PictureLinkTarget(const QUrl &url) const;

    // Values as they appear on the page.
    static QString PriceText(qint64 tenThousandths);
    static QString DayText(double days);
    // The memo as HTML: escaped, line breaks as <br>, web addresses as links.
    // A memo longer than MaxMemoShown characters or MaxMemoLines lines is
    // cut there (at a whole character) and MemoCutNote follows it.
    static QString MemoHtml(const QString &memo);
    static constexpr qsizetype MaxMemoShown = 5000;
    static constexpr int MaxMemoLines = 300;
    static QString MemoCutNote();
    // The summary of a scanned disc's contents, as it follows the page.
    static QString ContentsSummaryHtml(const DiscContents::TVolume &volume);
    // The row that says to whom the disc is lent, since when and until when;
    // empty for a disc that is not out.
    static QString LoanRow(int id);

private:
    struct PageValues
    {
        QString Serial, Day, Code, Name, Category, Quality, Price, Location, Memo, Picture, Link;
        QString Loan; // a table row while the disc is lent, else empty
    };
    PageValues EmptyValues() const;
    QString Fill(const PageValues &values) const;
    QByteArray PictureBytes(const QString &name) const;
    bool Decodes(const QString &path, const QByteArray &bytes) const;

    QString m_pictureFolder;
    // Whether a cover file's bytes decode, by its path, for the bytes last
    // seen there: the page of a disc shown again decodes its cover once.
    struct TDecodeCheck
    {
        size_t hash = 0;
        qsizetype size = 0;
        bool decodes = false;
    };
    mutable QHash<QString, TDecodeCheck> m_decodeChecks;
};
