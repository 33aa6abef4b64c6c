#pragma once

#include "app/Globalvar.h"
#include "app/WindowPlace.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

// A setting that could not be saved, or that holds the wrong kind of value.
// The message is meant for the user.
class ESettingsError : public std::runtime_error
{
public:
    explicit ESettingsError(const QString &message);
    QString Message() const;
};

// The program's own settings: the catalog that was open last, the skin and
// the option switches. They live in Zentra-Software/Vorlix.ini of the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config), under the group
// SoftWare/Zentra-Software/Vorlix.
//
// Every operation opens the file, reads or writes one value and lets go of
// it, so nothing is held between calls. Reads never fail for a missing or
// unreadable file: the value is then absent. Writes throw ESettingsError when
// the value could not be saved, and leave the file as it was.
class TSettings
{
public:
    QString ReadDefaultDb() const;
    void WriteDefaultDb(const QString &path) const;

    // The catalog being opened at start-up, written before it is opened and
    // cleared once it is shown: still there at the next start, it names a
    // catalog the program failed on. Never throws: a settings file that
    // cannot be written must not keep a catalog from opening.
    QString ReadOpening() const;
    void WriteOpening(const QString &path) const noexcept;

    // Empty when no skin is chosen; clearing the skin writes an empty path.
    QString ReadSkin() const;
    void WriteSkin(const QString &path) const;

    // The main window's place when it last closed; nothing when none is
    // stored or the value is no place. Never throws: a lost place only
    // means the window opens maximized, as on the first start.
    std::optional<TWindowPlace> ReadWindowPlace() const noexcept;
    void WriteWindowPlace(const TWindowPlace &place) const noexcept;

    // Reads "Option" into Options and returns a copy. A value that is not
    // 1 to 8 bytes is replaced by the defaults, stored at once; fewer than 8
    // bytes overwrite Options from its first byte and leave the rest.
    TOptions ReadOptions() const;
    // Stores Options as "Option".
    void WriteOptions() const;

    // Every date the program shows or puts into a statement is formatted
    // yyyy-MM-dd by DateUtils, whatever the locale says, so there is no
    // system setting to change.
    static void ForceShortDateFormat() {}

    // Where the settings live; for messages and tests.
    static QString FileName();

    // The same file, opened at the group where the grids and the tree lists
    // keep their column layouts (Software/Zentra-SoftWare/Vorlix, one
    // subgroup per list). The caller owns it for as long as it reads and
    // writes layouts; the values reach the file when it is let go.
    static std::unique_ptr<QSettings> OpenLayouts();

private:
    QString ReadText(const QString &name) const;
    void WriteValue(const QString &name, const QVariant &value) const;
};

// The one settings object, created at start-up.
extern std::unique_ptr<TSettings> Settings;
