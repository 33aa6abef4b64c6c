// A downloaded version text through the version check's message. The input
// is the server's text; when it holds a zero byte, what comes before it is
// the catalog's version and what follows the server's text.
#include "tests/fuzz/FuzzTargets.h"

#include "app/VersionCheck.h"

namespace {

const QString Latest = QStringLiteral("您已经使用的是最新版软件。");
const QString NewestBefore = QStringLiteral("目前软件的最新版为");
const QString NewestAfter = QStringLiteral("。");

} // namespace

void FuzzVersion(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype zero = input.indexOf('\0');
    const QString local = zero < 0 ? QStringLiteral("Build1.01") : QString::fromUtf8(input.left(zero));
    const QByteArray body = zero < 0 ? input : input.mid(zero + 1);

    const QString message = VersionCheck::ResultMessage(body, local);
    FUZZ_CHECK(FuzzText::IsWellFormed(message), QStringLiteral("the message holds half a character"));
    if (body == local.toUtf8()) {
        FUZZ_CHECK(message == Latest, message);
        return;
    }
    FUZZ_CHECK(message.startsWith(NewestBefore) && message.endsWith(NewestAfter), message);
    // The text shown is the server's text without its first five
    // characters, whole or cut (with "…") to a bounded part of it.
    const QString shown = message.mid(NewestBefore.size(), message.size() - NewestBefore.size() - NewestAfter.size());
    const QString text = QString::fromUtf8(body);
    const QList<uint> characters = text.toUcs4();
    const QString after =
        characters.size() <= 5
            ? QString()
            : QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()) + 5, characters.size() - 5);
    if (shown != after) {
        FUZZ_CHECK(shown.endsWith(QStringLiteral("…")), message);
        FUZZ_CHECK(after.startsWith(shown.chopped(1)), message);
    }
    const QString kept = shown.endsWith(QStringLiteral("…")) && shown != after ? shown.chopped(1) : shown;
    FUZZ_CHECK(kept.toUcs4().size() <= VersionCheck::MaxShownCharacters, message);
    FUZZ_CHECK(shown.count(QLatin1Char('\n')) <= VersionCheck::MaxShownLines, message);
}
