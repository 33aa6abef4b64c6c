#pragma once

#include <QString>
#include <QtGlobal>

// The two behaviour switches, stored as "Option": exactly these 8 bytes,
// AutoCode then AutoNew, each a little-endian 32-bit integer.
struct TOptions
{
    qint32 AutoCode = 0; // the disc editor proposes a code for a new disc
    qint32 AutoNew = 0;  // shown in the options dialog only

    static constexpr int StoredSize = 8;
    static constexpr TOptions Defaults() { return {1, 1}; }

    // A switch is on only when it holds 1; any other value reads as off but
    // is kept as it is until the user changes that switch.
    static constexpr bool IsOn(qint32 word) { return word == 1; }

    bool operator==(const TOptions &) const = default;
};

// Process-wide state read all over the program.
extern QString AppFolder; // folder of the executable, no trailing separator
extern QString CurrentDb; // full path of the open catalog file
extern TOptions Options;  // zero until read from the settings at start-up
