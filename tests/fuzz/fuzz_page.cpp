// URL text through the detail page service. The catalog, generated once, has
// 50 discs; the picture folder holds cover.jpg and a subfolder with another
// picture, and beside the folder lies secret.txt with a link to it inside the
// folder, and a FIFO inside it. Every URL of ours gets the page or a picture, and a picture is
// only ever cover.jpg or the default cover.
#include "tests/fuzz/FuzzTargets.h"

#include "browser/PageService.h"
#include "pinyin/GbkText.h"
#include "store/catalog/DataModule.h"
#include "tools/CatalogGenerator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <sys/stat.h>

namespace {

const QByteArray CoverBytes = QByteArrayLiteral("\xFF\xD8\xFF the cover of cover.jpg");

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw FuzzFault(QStringLiteral("cannot write ") + path);
}

struct PageFixture
{
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TOurNSHandler> service;

    PageFixture()
    {
        if (!dir.isValid())
            throw FuzzFault(QStringLiteral("no temporary folder"));
        const QString catalog = dir.filePath(QStringLiteral("Fuzz.MDB"));
        CatalogGenerator::GenerateCatalog(catalog, 50, Schema::Layout::Build102);
        dm = std::make_unique<TDM>();
        dm->NameCatalog(catalog);
        DM = dm.get();

        const QString pictures = dir.filePath(QStringLiteral("Picture"));
        QDir().mkpath(pictures + QStringLiteral("/sub"));
        WriteFile(pictures + QStringLiteral("/cover.jpg"), CoverBytes);
        WriteFile(pictures + QStringLiteral("/sub/inner.jpg"), QByteArrayLiteral("inner"));
        WriteFile(dir.filePath(QStringLiteral("secret.txt")), QByteArrayLiteral("secret"));
        QFile::link(dir.filePath(QStringLiteral("secret.txt")), pictures + QStringLiteral("/link.jpg"));
        // Opening it as a file would wait for a writer that never comes.
        mkfifo(QFile::encodeName(pictures + QStringLiteral("/pipe.jpg")).constData(), 0600);
        service = std::make_unique<TOurNSHandler>(pictures);
    }
    ~PageFixture()
    {
        if (DM == dm.get())
            DM = nullptr;
    }
};

const TOurNSHandler &Service()
{
    static PageFixture fixture;
    return *fixture.service;
}

void CheckUrl(const QUrl &url)
{
    std::optional<TPageResponse> response;
    try {
        response = Service().Respond(url);
    } catch (const std::exception &e) {
        throw FuzzFault(QStringLiteral("%1 threw: %2").arg(url.toString(), QString::fromUtf8(e.what())));
    }
    FUZZ_CHECK(response.has_value() == TOurNSHandler::IsOurs(url), url.toString());
    if (!response)
        return;
    FUZZ_CHECK(!response->Body.isEmpty(), url.toString());
    const QString path = url.path(QUrl::FullyDecoded).mid(1);
    if (path == QLatin1String("cd.htm")) {
        FUZZ_CHECK(response->MimeType == QLatin1String("text/html; charset=GBK"), url.toString());
        const QString page = GbkText::Decode(response->Body);
        FUZZ_CHECK(page.startsWith(QLatin1String("<html>")) && !page.contains(QLatin1String("<%")), url.toString());
        return;
    }
    FUZZ_CHECK(response->Body == TOurNSHandler::DefaultCover() || response->Body == CoverBytes,
               QStringLiteral("%1 served a file that is no picture of the folder").arg(url.toString()));
    FUZZ_CHECK(response->Body != CoverBytes || path == QLatin1String("cover.jpg"),
               QStringLiteral("%1 served cover.jpg").arg(url.toString()));
}

} // namespace

void FuzzPage(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    CheckUrl(QUrl(QStringLiteral("http://vorlix/") + text));
    CheckUrl(QUrl(QStringLiteral("http://vorlix/cd.htm?") + text));
    CheckUrl(QUrl(text));
    CheckUrl(QUrl::fromEncoded(bytes));

    // The same text as a description: escaped, bounded however long it is,
    // and never cut in the middle of a character.
    const QString memo = FuzzText::Utf16(data, size);
    const QString html = TOurNSHandler::MemoHtml(memo + memo.repeated(qMin<qsizetype>(2000, 40000 / (size + 1))));
    FUZZ_CHECK(!html.contains(QLatin1String("<script"), Qt::CaseInsensitive), html.left(200));
    FUZZ_CHECK(html.size() <= TOurNSHandler::MaxMemoShown * 40 + 200, QString::number(html.size()));
}
