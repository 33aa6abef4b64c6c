#pragma once

// The bodies of the fuzz targets. Each takes one input, runs it through the
// code under test and checks what must hold for every input; a broken rule
// throws FuzzFault. libFuzzer calls them from fuzz_main.cpp, and the
// regression test runs every kept input through the same bodies.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

class FuzzFault : public std::logic_error
{
public:
    explicit FuzzFault(const QString &what)
        : std::logic_error(what.toStdString())
    {
    }
};

// Throws FuzzFault with the rule and the file and line of the check.
#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            throw FuzzFault(QStringLiteral("%1:%2: %3 (%4)")                                                           \
                                .arg(QLatin1String(__FILE__), QString::number(__LINE__), QString(what),                \
                                     QLatin1String(#condition)));                                                      \
    } while (false)

// Statement text through the SQL dialect translation and the quoting of typed
// text.
void FuzzDialect(const uint8_t *data, size_t size);
// Text as UTF-8, as GBK and as raw UTF-16 through the pinyin initials and
// the GBK width and truncation helpers.
void FuzzSpell(const uint8_t *data, size_t size);
// URL text through the detail page service, over a small generated catalog.
void FuzzPage(const uint8_t *data, size_t size);
// A downloaded version text (and the catalog's version) through the message
// of the version check.
void FuzzVersion(const uint8_t *data, size_t size);

// Helpers the bodies share.
namespace FuzzText {
// The input as raw UTF-16 code units, unpaired surrogates and all.
QString Utf16(const uint8_t *data, size_t size);
// Whether every surrogate of the text stands in a proper pair.
bool IsWellFormed(const QString &text);
} // namespace FuzzText
