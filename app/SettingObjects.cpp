#include "app/SettingObjects.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QtEndian>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

std::unique_ptr<TSettings> Settings;

ESettingsError::ESettingsError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

QString ESettingsError::Message() const
{
    return QString::fromStdString(what());
}

namespace {

const QString Organization = u"Zentra-Software"_s;
const QString Application = u"Vorlix"_s;
const QString Group = u"SoftWare/Zentra-Software/Vorlix"_s;
// Spelt as the layouts have always been stored, so saved layouts still load.
const QString LayoutGroup = u"Software/Zentra-SoftWare/Vorlix"_s;

const QString DefaultDbName = u"DefaultDb"_s;
const QString OpeningName = u"Opening"_s;
const QString SkinName = u"Skin"_s;
const QString OptionName = u"Option"_s;
const QString WindowName = u"Window"_s;

QString Key(const QString &name)
{
    return Group + u'/' + name;
}

// QSettings is neither copyable nor movable, hence the pointer.
std::unique_ptr<QSettings> OpenStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, Organization, Application);
}

QByteArray OptionsToBytes(const TOptions &options)
{
    QByteArray bytes(TOptions::StoredSize, '\0');
    qToLittleEndian<qint32>(options.AutoCode, bytes.data());
    qToLittleEndian<qint32>(options.AutoNew, bytes.data() + 4);
    return bytes;
}

TOptions OptionsFromBytes(const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == TOptions::StoredSize);
    return {qFromLittleEndian<qint32>(bytes.constData()), qFromLittleEndian<qint32>(bytes.constData() + 4)};
}

std::optional<QByteArray> FileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Values this process wrote keep their type in Qt's copy, while the same
// value read from the file may come back as text (a number, say).
bool SameValue(const QVariant &a, const QVariant &b)
{
    return a == b || (a.typeId() != b.typeId() && a.toString() == b.toString());
}

// Qt 6.4 can report a save as done when the disk refused part of it (a full
// disk, a quota), leaving a cut-off file. So read the file back and compare
// it with what Qt meant to write. Qt keeps one parsed copy of each settings
// file per process and would answer from it, so the file is read under
// another of its names: its descriptor in /proc.
bool SavedAsMeant(const QSettings &store)
{
    QFile file(store.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString alias = u"/proc/self/fd/%1"_s.arg(file.handle());
    if (!QFileInfo::exists(alias))
        return true; // no way to look; take Qt's word for it

    const QSettings saved(alias, QSettings::IniFormat);
    QStringList meantKeys = store.allKeys();
    QStringList savedKeys = saved.allKeys();
    std::sort(meantKeys.begin(), meantKeys.end());
    std::sort(savedKeys.begin(), savedKeys.end());
    if (meantKeys != savedKeys)
        return false;
    return std::all_of(meantKeys.cbegin(), meantKeys.cend(),
                       [&](const QString &key) { return SameValue(store.value(key), saved.value(key)); });
}

// Puts back the file as it was before a failed save, or removes it if there
// was none. Answers whether that worked.
bool RestoreFile(const QString &path, const std::optional<QByteArray> &before)
{
    if (!before)
        return QFile::remove(path) || !QFile::exists(path);

    const QDateTime damagedTime = QFileInfo(path).lastModified();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile::commit() does not notice a failed flush, so check it here.
    if (file.write(*before) != before->size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;

    // Qt reads a settings file again only when its size or time changed; the
    // restored file must not pass for the damaged one.
    if (QFileInfo(path).lastModified() == damagedTime) {
        QFile touched(path);
        if (touched.open(QIODevice::ReadWrite))
            touched.setFileTime(damagedTime.addSecs(1), QFileDevice::FileModificationTime);
    }
    return true;
}

} // namespace

QString TSettings::FileName()
{
    return OpenStore()->fileName();
}

std::unique_ptr<QSettings> TSettings::OpenLayouts()
{
    std::unique_ptr<QSettings> settings = OpenStore();
    settings->beginGroup(LayoutGroup);
    return settings;
}

QString TSettings::ReadDefaultDb() const
{
    return ReadText(DefaultDbName);
}

void TSettings::WriteDefaultDb(const QString &path) const
{
    WriteValue(DefaultDbName, path);
}

QString TSettings::ReadOpening() const
{
    return ReadText(OpeningName);
}

void TSettings::WriteOpening(const QString &path) const noexcept
{
    try {
        WriteValue(OpeningName, path);
    } catch (const std::exception &e) {
        qWarning("the catalog being opened could not be noted in the settings: %s", e.what());
    }
}

QString TSettings::ReadSkin() const
{
    return ReadText(SkinName);
}

void TSettings::WriteSkin(const QString &path) const
{
    WriteValue(SkinName, path);
}

std::optional<TWindowPlace> TSettings::ReadWindowPlace() const noexcept
{
    try {
        const QVariant value = OpenStore()->value(Key(WindowName));
        // Qt writes the text in quotes; written without, the file hands
        // back its comma-separated parts.
        if (value.typeId() == QMetaType::QStringList)
            return TWindowPlace::FromText(value.toStringList().join(u','));
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return TWindowPlace::FromText(value.toString());
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

void TSettings::WriteWindowPlace(const TWindowPlace &place) const noexcept
{
    try {
        WriteValue(WindowName, place.ToText());
    } catch (const std::exception &e) {
        qWarning("the window's place could not be saved in the settings: %s", e.what());
    }
}

TOptions TSettings::ReadOptions() const
{
    const QVariant value = OpenStore()->value(Key(OptionName));
    // Only a byte value holds the record. Anything else, a hand-written
    // "Option=5" included (the file keeps numbers as text), is unusable.
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        if (!bytes.isEmpty() && bytes.size() <= TOptions::StoredSize) {
            QByteArray record = OptionsToBytes(Options);
            record.replace(0, bytes.size(), bytes);
            Options = OptionsFromBytes(record);
            return Options;
        }
    }
    Options = TOptions::Defaults();
    WriteOptions();
    return Options;
}

void TSettings::WriteOptions() const
{
    WriteValue(OptionName, OptionsToBytes(Options));
}

QString TSettings::ReadText(const QString &name) const
{
    const QVariant value = OpenStore()->value(Key(name));
    if (!value.isValid())
        return {};
    // "Setting %1 is not text; please check %2."
    if (value.typeId() != QMetaType::QString)
        throw ESettingsError(u"设置 %1 不是文本，请检查 %2。"_s.arg(name, FileName()));
    return value.toString();
}

void TSettings::WriteValue(const QString &name, const QVariant &value) const
{
    const auto store = OpenStore();
    const QString path = store->fileName();
    // "Cannot save setting %1 to %2."
    const QString failed = u"无法保存设置 %1 到 %2。"_s.arg(name, path);
    // A file or folder that cannot even be read cannot be written either;
    // stop before Qt holds on to a change it cannot save.
    if (store->status() == QSettings::AccessError)
        throw ESettingsError(failed);

    const std::optional<QByteArray> before = FileBytes(path);
    store->setValue(Key(name), value);
    store->sync();
    // A refused save leaves the file untouched: Qt writes a new file and
    // swaps it in only when all went well. Qt does keep the value for this
    // run and saves it along with the next change that succeeds.
    if (store->status() == QSettings::AccessError)
        throw ESettingsError(failed);
    if (!SavedAsMeant(*store)) {
        // "Cannot save setting %1; %2 may be damaged."
        if (!RestoreFile(path, before))
            throw ESettingsError(u"无法保存设置 %1，%2 可能已损坏。"_s.arg(name, path));
        throw ESettingsError(failed);
    }
}
