#include "browser/PageService.h"

#include "pinyin/GbkText.h"
#include "store/catalog/ContentsText.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscContents.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/FileNames.h"
#include "store/catalog/LoanStore.h"
#include "store/catalog/PictureFiles.h"
#include "store/engine/DateUtils.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>
#include <QRegularExpression>

namespace {

const QString PageName = QStringLiteral("cd.htm");
const QString PageMimeType = QStringLiteral("text/html; charset=GBK");

QString PictureUrlText(const QString &name)
{
    // Encoded, so that a name with '#', '?', '%' or a blank comes back as
    // the same name.
    return QStringLiteral("http://vorlix/") + QString::fromLatin1(QUrl::toPercentEncoding(name));
}

// A decimal integer: an optional minus and digits, nothing else.
std::optional<int> ParseId(const QString &query)
{
    const qsizetype start = query.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (query.size() <= start)
        return std::nullopt;
    for (qsizetype i = start; i < query.size(); ++i) {
        if (query.at(i) < QLatin1Char('0') || query.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int id = query.toInt(&ok, 10);
    return ok ? std::optional<int>(id) : std::nullopt;
}

QString ReadResourceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing built-in resource %s", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

} // namespace

TOurNSHandler::TOurNSHandler(const QString &pictureFolder)
    : m_pictureFolder(QDir::cleanPath(QFileInfo(pictureFolder).absoluteFilePath()))
{
}

bool TOurNSHandler::IsOurs(const QUrl &url)
{
    return url.isValid() && url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 &&
           url.host().compare(QLatin1String(Host), Qt::CaseInsensitive) == 0 && url.path().startsWith(QLatin1Char('/'));
}

QUrl TOurNSHandler::PageUrl(int id)
{
    return QUrl(QStringLiteral("http://vorlix/cd.htm?%1").arg(id));
}

std::optional<TPageResponse> TOurNSHandler::Respond(const QUrl &url) const
{
    if (!IsOurs(url))
        return std::nullopt;
    const QString path = url.path(QUrl::FullyDecoded).mid(1);
    if (path == PageName) {
        const std::optional<int> id = ParseId(url.query(QUrl::FullyDecoded));
        return TPageResponse{EncodePage(id ? BuildCdPage(*id) : BuildEmptyPage()), PageMimeType};
    }
    TPageResponse response{PictureBytes(path), QString()};
    static const QMimeDatabase mimeTypes;
    response.MimeType = mimeTypes.mimeTypeForData(response.Body).name();
    return response;
}

QString TOurNSHandler::BuildCdPage(int id) const
{
    if (!DM)
        return BuildEmptyPage();
    const std::optional<DiscStore::TListedDisc> listed = DiscStore::ReadDisc(DM->DbBase, id);
    if (!listed)
        return BuildEmptyPage();

    const TCdRec &disc = listed->Disc;
    PageValues values;
    values.Serial = disc.Serial.toHtmlEscaped();
    values.Day = disc.Day ? DayText(*disc.Day) : QString();
    values.Code = disc.Code.toHtmlEscaped();
    values.Name = disc.Name.toHtmlEscaped();
    values.Category = listed->Category.toHtmlEscaped();
    values.Quality = listed->Quality.toHtmlEscaped();
    values.Price = disc.Price ? PriceText(*disc.Price) : QString();
    values.Location = disc.Location.toHtmlEscaped();
    values.Memo = MemoHtml(disc.Memo);
    values.Loan = LoanRow(id);

    const QString &picture = disc.Picture;
    values.Picture = PictureUrlText(picture).toHtmlEscaped();
    // The link opens the picture file, or the folder when the name is none
    // or could point elsewhere.
    const QString linked =
        FileNames::IsPlainFileName(picture) ? m_pictureFolder + QLatin1Char('/') + picture : m_pictureFolder;
    values.Link = QUrl::fromLocalFile(linked).toString(QUrl::FullyEncoded).toHtmlEscaped();
    QString page = Fill(values);
    // A scanned disc's contents in brief, below the description.
    if (const std::optional<DiscContents::TVolume> volume = DiscContents::Volume(DM->DbBase, id)) {
        const qsizetype end = page.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
        page.insert(end < 0 ? page.size() : end, ContentsSummaryHtml(*volume));
    }
    return page;
}

QString TOurNSHandler::ContentsSummaryHtml(const DiscContents::TVolume &volume)
{
    QString html = QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"1\" cellpadding=\"2\" "
                                  "class=\"contents\">\n<tr bgcolor=\"#009900\"><td colspan=\"2\">"
                                  "<font color=\"#FFFFFF\"><b>光盘内容</b></font></td></tr>\n");
    auto row = [&html](const QString &caption, const QString &value) {
        html += QStringLiteral("<tr bgcolor=\"#E0E0E0\"><td width=\"25%\"><font color=\"#2C6CA0\"><b>%1</b></font>"
                               "</td><td>%2</td></tr>\n")
                    .arg(caption, value.toHtmlEscaped());
    };
    row(QStringLiteral("卷标："), volume.Label);
    row(QStringLiteral("文件数："), QString::number(volume.Files));
    row(QStringLiteral("文件夹数："), QString::number(volume.Folders));
    row(QStringLiteral("总大小："), ContentsText::SizeText(volume.Bytes));
    row(QStringLiteral("扫描日期："), volume.ScanDate.toString(QStringLiteral("yyyy-MM-dd")));
    return html + QStringLiteral("</table>\n");
}

QString TOurNSHandler::LoanRow(int id)
{
    const auto loan = LoanStore::CurrentLoan(DM->DbBase, id);
    if (!loan)
        return {};
    QString text =
        QStringLiteral("借给“%1”，%2 借出").arg(loan->Borrower.toHtmlEscaped(), DateUtils::FormatDate(loan->Lent));
    if (loan->Due.isValid())
        text += QStringLiteral("，应于 %1 归还").arg(DateUtils::FormatDate(loan->Due));
    const QDate today = DateUtils::ToDate(DateUtils::Today());
    if (loan->IsOverdue(today))
        text += QStringLiteral(" <font color=\"#C02020\"><b>（已逾期 %1 天）</b></font>").arg(loan->Due.daysTo(today));
    return QStringLiteral("<tr bgcolor=\"#E0E0E0\">\n"
                          "          <td width=\"25%\"><font color=\"#2C6CA0\"><b>借出：</b></font></td>\n"
                          "          <td bgcolor=\"#E0E0E0\">%1</td>\n"
                          "        </tr>")
        .arg(text);
}

QString TOurNSHandler::BuildEmptyPage() const
{
    return Fill(EmptyValues());
}

TOurNSHandler::PageValues TOurNSHandler::EmptyValues() const
{
    PageValues values;
    values.Picture = PictureUrlText(QString());
    values.Link = QUrl::fromLocalFile(m_pictureFolder).toString(QUrl::FullyEncoded).toHtmlEscaped();
    return values;
}

QString TOurNSHandler::Fill(const PageValues &values) const
{
    const QString &page = TemplateHtml();
    auto valueOf = [&values](QStringView key) -> const QString * {
        static const std::pair<const char *, QString PageValues::*> fields[] = {
            {"Serial", &PageValues::Serial},   {"Day", &PageValues::Day},           {"Code", &PageValues::Code},
            {"Name", &PageValues::Name},       {"Category", &PageValues::Category}, {"Quality", &PageValues::Quality},
            {"Price", &PageValues::Price},     {"Location", &PageValues::Location}, {"Memo", &PageValues::Memo},
            {"Picture", &PageValues::Picture}, {"Link", &PageValues::Link},         {"Loan", &PageValues::Loan},
        };
        for (const auto &[name, member] : fields) {
            if (key == QLatin1String(name))
                return &(values.*member);
        }
        return nullptr;
    };

    // One pass over the template: a value is never searched for placeholders.
    QString result;
    result.reserve(page.size() + values.Memo.size() + 512);
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = page.indexOf(QLatin1String("<%"), pos);
        const qsizetype close = open < 0 ? -1 : page.indexOf(QLatin1String("%>"), open + 2);
        if (close < 0)
            break;
        const QString *value = valueOf(QStringView(page).mid(open + 2, close - open - 2));
        if (!value) {
            result += QStringView(page).mid(pos, open + 2 - pos);
            pos = open + 2;
            continue;
        }
        result += QStringView(page).mid(pos, open - pos);
        result += *value;
        pos = close + 2;
    }
    result += QStringView(page).mid(pos);
    return result;
}

QByteArray TOurNSHandler::EncodePage(const QString &page)
{
    QByteArray bytes = GbkText::Encode(page);
    if (GbkText::Decode(bytes) == page)
        return bytes;

    // Rare: an emoji or a character of a script GBK lacks.
    QString escaped;
    escaped.reserve(page.size() + 64);
    for (qsizetype i = 0; i < page.size();) {
        const qsizetype len = (page.at(i).isHighSurrogate() && i + 1 < page.size()) ? 2 : 1;
        const QString one = page.mid(i, len);
        if (one.at(0).unicode() < 0x80 || GbkText::Decode(GbkText::Encode(one)) == one)
            escaped += one;
        else
            escaped += QStringLiteral("&#%1;").arg(one.toUcs4().value(0));
        i += len;
    }
    return GbkText::Encode(escaped);
}

const QString &TOurNSHandler::TemplateHtml()
{
    static const QString text = ReadResourceText(QStringLiteral(":/cd.htm"));
    return text;
}

const QByteArray &TOurNSHandler::DefaultCover()
{
    static const QByteArray bytes = [] {
        QFile file(QStringLiteral(":/nopicture.jpg"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("missing built-in resource :/nopicture.jpg");
        return file.readAll();
    }();
    return bytes;
}

QString TOurNSHandler::PictureFile(const QString &name) const
{
    return PictureFiles::StoredPictureFile(m_pictureFolder, name);
}

QString TOurNSHandler::PictureLinkTarget(const QUrl &url) const
{
    if (!url.isLocalFile())
        return {};
    QString path = QDir::cleanPath(url.toLocalFile());
    if (path == m_pictureFolder)
        return path;
    const QFileInfo file(path);
    return file.path() == m_pictureFolder && FileNames::IsPlainFileName(file.fileName()) ? path : QString();
}

bool TOurNSHandler::Decodes(const QString &path, const QByteArray &bytes) const
{
    const size_t hash = qHash(bytes);
    const auto known = m_decodeChecks.constFind(path);
    if (known != m_decodeChecks.constEnd() && known->hash == hash && known->size == bytes.size())
        return known->decodes;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    QImage picture;
    const bool decodes = reader.read(&picture);
    m_decodeChecks.insert(path, {hash, bytes.size(), decodes});
    return decodes;
}

QByteArray TOurNSHandler::PictureBytes(const QString &name) const
{
    const QString path = PictureFile(name);
    if (!path.isEmpty()) {
        QFile file;
        if (PictureFiles::OpenRegularFile(file, path)) {
            // A damaged file would show as a broken picture: the page shows
            // the default cover for what no reader can decode.
            QByteArray bytes = file.readAll();
            if (Decodes(path, bytes))
                return bytes;
        }
    }
    return DefaultCover();
}

QString TOurNSHandler::PriceText(qint64 tenThousandths)
{
    const bool negative = tenThousandths < 0;
    quint64 amount = negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    // At most 15 significant digits, rounded half away from zero.
    int digits = 0;
    for (quint64 rest = amount; rest; rest /= 10)
        ++digits;
    if (digits > 15) {
        quint64 unit = 1;
        for (int i = 15; i < digits; ++i)
            unit *= 10;
        amount = (amount / unit + (amount % unit >= unit / 2 ? 1 : 0)) * unit;
    }
    QString text = negative && amount ? QStringLiteral("-") : QString();
    text += QString::number(amount / 10000);
    if (const quint64 fraction = amount % 10000) {
        QString decimals = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        text += QLatin1Char('.') + decimals;
    }
    return text;
}

QString TOurNSHandler::DayText(double days)
{
    QString text = DateUtils::FormatDate(days);
    const QTime time = DateUtils::ToDateTime(days).time();
    if (time != QTime(0, 0))
        text += time.toString(QStringLiteral(" HH:mm:ss"));
    return text;
}

QString TOurNSHandler::MemoHtml(const QString &fullMemo)
{
    // A description of any length must not hold the page up: the view lays
    // out a bounded part, and says so. The editor still holds all of it.
    QString memo = fullMemo;
    bool cut = false;
    if (memo.size() > MaxMemoShown) {
        qsizetype end = MaxMemoShown;
        if (memo.at(end - 1).isHighSurrogate())
            --end;
        memo.truncate(end);
        cut = true;
    }
    qsizetype lineBreak = -1;
    for (int line = 0; line < MaxMemoLines; ++line) {
        lineBreak = memo.indexOf(QLatin1Char('\n'), lineBreak + 1);
        if (lineBreak < 0)
            break;
    }
    if (lineBreak >= 0 && lineBreak + 1 < memo.size()) {
        memo.truncate(lineBreak + 1);
        cut = true;
    }

    static const QRegularExpression webAddress(
        QStringLiteral(R"((?:\b(?:https?|ftp)://|\bwww\.)[A-Za-z0-9\-._~:/?#\[\]@!$&'()*+,;=%]+)"),
        QRegularExpression::CaseInsensitiveOption);

    auto plain = [](QStringView text) {
        QString html = text.toString().toHtmlEscaped();
        html.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
        // Lines typed in this program's editors end in a bare line feed.
        html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
        html.replace(QLatin1Char('\r'), QLatin1String("<br>"));
        return html;
    };

    QString html;
    qsizetype pos = 0;
    for (auto it = webAddress.globalMatch(memo); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QString address = match.captured();
        // Punctuation that ends a sentence is not part of the address.
        while (!address.isEmpty() && QStringLiteral(".,;:!?'\")]").contains(address.back()))
            address.chop(1);
        if (!address.contains(QLatin1Char('.')) && !address.contains(QLatin1String("//")))
            continue;
        html += plain(QStringView(memo).mid(pos, match.capturedStart() - pos));
        const QString target = address.startsWith(QLatin1String("www."), Qt::CaseInsensitive)
                                   ? QStringLiteral("http://") + address
                                   : address;
        html += QStringLiteral("<a href=\"%1\">%2</a>").arg(target.toHtmlEscaped(), address.toHtmlEscaped());
        pos = match.capturedStart() + address.size();
    }
    html += plain(QStringView(memo).mid(pos));
    if (cut)
        html += QStringLiteral("<br><font color=\"#C00000\">%1</font>").arg(MemoCutNote());
    return html;
}

QString TOurNSHandler::MemoCutNote()
{
    return QStringLiteral("（内容简介太长，这里只显示了它的开头。全部内容请在“修改光盘”里查看。）");
}
