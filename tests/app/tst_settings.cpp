#include "app/SettingObjects.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TOptions)

char *toString(const TOptions &options)
{
    return qstrdup(qPrintable(u"{%1, %2}"_s.arg(options.AutoCode).arg(options.AutoNew)));
}

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void absentValuesReadEmpty();
    void textValues_data();
    void textValues();
    void nonTextPathIsAnError();
    void readsSeeChangesMadeMeanwhile();

    void readOptions_data();
    void readOptions();
    void writeOptionsKeepsEveryWord();

    void writeFailures_data();
    void writeFailures();

    void windowPlace_data();
    void windowPlace();
    void windowPlaceOnScreens_data();
    void windowPlaceOnScreens();

private:
    void WriteSettingsFile(const QByteArray &lines);
    QVariant StoredValue(const QString &name);
    QByteArray FileState() const;

    QTemporaryDir m_config;
    QString m_file;
    int m_copies = 0;
};

namespace {

// One line of the settings file as a user would edit it.
QByteArray Line(const char *name, const QByteArray &rawValue)
{
    return "Zentra-Software\\Vorlix\\" + QByteArray(name) + '=' + rawValue + '\n';
}

QString MessageOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const ESettingsError &error) {
        return error.Message();
    }
    return {};
}

// Lets this process write files of at most `bytes` bytes, as a full disk or a
// quota would; it stops root as well, where permissions do not.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

} // namespace

void TestSettings::initTestCase()
{
    // Before the first QSettings: it looks up the folder only once.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    m_file = TSettings::FileName();
    QCOMPARE(m_file, m_config.filePath(u"Zentra-Software/Vorlix.ini"_s));
}

void TestSettings::init()
{
    const QString folder = m_config.filePath(u"Zentra-Software"_s);
    QDir(folder).removeRecursively();
    QFile::remove(folder);
    Options = {};
}

void TestSettings::WriteSettingsFile(const QByteArray &lines)
{
    QVERIFY(QDir().mkpath(QFileInfo(m_file).path()));
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[SoftWare]\n" + lines);
    // Qt reads the file again only when its size or time changed; two cases
    // may write files of one size within the same millisecond.
    file.setFileTime(QDateTime::currentDateTime().addSecs(++m_copies), QFileDevice::FileModificationTime);
}

// The value as it is on disk: parsed from a copy, so that Qt's in-process copy
// of the settings file cannot answer instead.
QVariant TestSettings::StoredValue(const QString &name)
{
    const QString copy = m_config.filePath(u"copy-%1.ini"_s.arg(++m_copies));
    if (!QFile::copy(m_file, copy))
        return {};
    return QSettings(copy, QSettings::IniFormat).value(u"SoftWare/Zentra-Software/Vorlix/"_s + name);
}

// What lies at the settings file's place and its folder's.
QByteArray TestSettings::FileState() const
{
    QByteArray state;
    for (const QString &path : {QFileInfo(m_file).path(), m_file}) {
        const QFileInfo info(path);
        QFile file(path);
        if (info.isDir())
            state += "folder;";
        else if (info.isFile() && file.open(QIODevice::ReadOnly))
            state += "file " + file.readAll().toHex() + ';';
        else
            state += "none;";
    }
    return state;
}

void TestSettings::absentValuesReadEmpty()
{
    TSettings settings;
    QCOMPARE(settings.ReadDefaultDb(), QString());
    QCOMPARE(settings.ReadSkin(), QString());
    QVERIFY(!QFileInfo::exists(m_file)); // reading creates nothing
}

void TestSettings::textValues_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("Chinese") << u"/home/用户/光盘/藏金阁.mdb"_s;
    QTest::newRow("commas and outer spaces") << u" /srv/a, b/c.mdb "_s;
    QTest::newRow("empty, as for a cleared skin") << u""_s;
}

void TestSettings::textValues()
{
    QFETCH(QString, path);
    const QString skin = path.isEmpty() ? QString() : path + u".ini"_s;

    TSettings().WriteDefaultDb(path);
    TSettings().WriteSkin(skin);

    QCOMPARE(StoredValue(u"DefaultDb"_s), QVariant(path));
    QCOMPARE(StoredValue(u"Skin"_s), QVariant(skin));
    TSettings settings;
    QCOMPARE(settings.ReadDefaultDb(), path);
    QCOMPARE(settings.ReadSkin(), skin);
}

void TestSettings::nonTextPathIsAnError()
{
    WriteSettingsFile(Line("DefaultDb", "@ByteArray(/srv/c.mdb)"));
    const QString message = MessageOf([] { TSettings().ReadDefaultDb(); });
    QVERIFY2(message.contains(u"DefaultDb"_s), qPrintable(message));
}

void TestSettings::readsSeeChangesMadeMeanwhile()
{
    TSettings settings;
    settings.WriteSkin(u"/skins/a.ini"_s);
    WriteSettingsFile(Line("Skin", "/skins/bb.ini"));
    QCOMPARE(settings.ReadSkin(), u"/skins/bb.ini"_s);
}

void TestSettings::readOptions_data()
{
    QTest::addColumn<QByteArray>("stored"); // the value as written in the file
    QTest::addColumn<TOptions>("before");
    QTest::addColumn<TOptions>("expected");
    QTest::addColumn<bool>("defaultsWritten");

    const TOptions startUp{0, 0};
    const TOptions defaults{1, 1};
    QTest::newRow("absent") << QByteArray() << startUp << defaults << true;
    QTest::newRow("empty") << QByteArray("@ByteArray()") << startUp << defaults << true;
    QTest::newRow("4 bytes") << QByteArray("@ByteArray(\\x1\\0\\0\\0)") << startUp << TOptions{1, 0} << false;
    QTest::newRow("2 bytes over earlier values")
        << QByteArray("@ByteArray(\\x2\\x1)") << TOptions{-1, -1} << TOptions{qint32(0xFFFF0102), -1} << false;
    QTest::newRow("8 bytes with a 2") << QByteArray("@ByteArray(\\x2\\0\\0\\0\\x1\\0\\0\\0)") << startUp
                                      << TOptions{2, 1} << false;
    QTest::newRow("9 bytes") << QByteArray("@ByteArray(\\x2\\0\\0\\0\\x2\\0\\0\\0\\x2)") << startUp << defaults << true;
    QTest::newRow("text") << QByteArray("hello") << startUp << defaults << true;
    QTest::newRow("integer") << QByteArray("5") << startUp << defaults << true;
}

void TestSettings::readOptions()
{
    QFETCH(QByteArray, stored);
    QFETCH(TOptions, before);
    QFETCH(TOptions, expected);
    QFETCH(bool, defaultsWritten);

    if (!stored.isNull())
        WriteSettingsFile(Line("Option", stored));
    const QByteArray fileBefore = FileState();
    Options = before;

    QCOMPARE(TSettings().ReadOptions(), expected);
    QCOMPARE(Options, expected);
    if (defaultsWritten)
        QCOMPARE(StoredValue(u"Option"_s), QVariant(QByteArray("\1\0\0\0\1\0\0\0", 8)));
    else
        QCOMPARE(FileState(), fileBefore);
}

void TestSettings::writeOptionsKeepsEveryWord()
{
    Options = {2, -1};
    TSettings().WriteOptions();
    QCOMPARE(StoredValue(u"Option"_s), QVariant(QByteArray("\2\0\0\0\xFF\xFF\xFF\xFF", 8)));

    Options = {};
    QCOMPARE(TSettings().ReadOptions(), (TOptions{2, -1}));
}

enum class Blocker { FileIsFolder, FolderIsFile, DiskRefusesToGrow };
Q_DECLARE_METATYPE(Blocker)

void TestSettings::writeFailures_data()
{
    QTest::addColumn<Blocker>("blocker");

    QTest::newRow("settings file is a folder") << Blocker::FileIsFolder;
    QTest::newRow("settings folder is a file") << Blocker::FolderIsFile;
    QTest::newRow("disk refuses to grow") << Blocker::DiskRefusesToGrow;
}

void TestSettings::writeFailures()
{
    QFETCH(Blocker, blocker);

    const QString folder = QFileInfo(m_file).path();
    switch (blocker) {
    case Blocker::FileIsFolder:
        QVERIFY(QDir().mkpath(m_file));
        break;
    case Blocker::FolderIsFile: {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a folder");
        break;
    }
    case Blocker::DiskRefusesToGrow:
        WriteSettingsFile(Line("DefaultDb", "/srv/" + QByteArray(300, 'c') + ".mdb"));
        break;
    }
    const QByteArray before = FileState();

    const QString longPath = u"/srv/"_s + QString(400, u'd');
    QStringList messages;
    {
        std::optional<FileSizeLimit> limit;
        if (blocker == Blocker::DiskRefusesToGrow)
            limit.emplace(QFileInfo(m_file).size() + 8);
        TSettings settings;
        Options = TOptions::Defaults();
        messages << MessageOf([&] { settings.WriteDefaultDb(longPath); })
                 << MessageOf([&] { settings.WriteSkin(longPath); }) << MessageOf([&] { settings.WriteOptions(); })
                 << MessageOf([&] { settings.ReadOptions(); }); // must store defaults
    }

    for (const QString &message : std::as_const(messages))
        QVERIFY2(message.contains(m_file), qPrintable(message));
    QCOMPARE(FileState(), before);

    // Qt may keep a change it could not save and save it at its next chance;
    // give it that chance here rather than in the next case.
    QSettings(QSettings::IniFormat, QSettings::UserScope, u"Zentra-Software"_s, u"Vorlix"_s).sync();
}

Q_DECLARE_METATYPE(std::optional<TWindowPlace>)

void TestSettings::windowPlace_data()
{
    QTest::addColumn<QByteArray>("stored"); // the line's value; empty: no line
    QTest::addColumn<std::optional<TWindowPlace>>("read");
    const std::optional<TWindowPlace> none;
    QTest::newRow("nothing stored") << QByteArray() << none;
    QTest::newRow("a window") << QByteArray("120,-20,1024,700,0")
                              << std::optional(TWindowPlace{QRect(120, -20, 1024, 700), false});
    QTest::newRow("maximized, never smaller")
        << QByteArray("0,0,0,0,1") << std::optional(TWindowPlace{QRect(0, 0, 0, 0), true});
    QTest::newRow("no size") << QByteArray("10,10,0,700,0") << none;
    QTest::newRow("too few numbers") << QByteArray("10,10,700") << none;
    QTest::newRow("not numbers") << QByteArray("a,b,c,d,0") << none;
    QTest::newRow("neither maximized nor not") << QByteArray("10,10,700,500,2") << none;
    QTest::newRow("a size no screen has") << QByteArray("0,0,999999,500,0") << none;
    QTest::newRow("bytes, not text") << QByteArray("@ByteArray(1)") << none;
}

void TestSettings::windowPlace()
{
    QFETCH(QByteArray, stored);
    QFETCH(std::optional<TWindowPlace>, read);
    if (!stored.isEmpty())
        WriteSettingsFile(Line("Window", stored));
    TSettings settings;
    QCOMPARE(settings.ReadWindowPlace(), read);

    // What is written reads back as it was, beside the other values.
    WriteSettingsFile(Line("Skin", "/skins/a.ini"));
    const TWindowPlace place{QRect(-1900, 40, 800, 600), true};
    settings.WriteWindowPlace(place);
    QCOMPARE(settings.ReadWindowPlace(), std::optional(place));
    QCOMPARE(StoredValue(u"Window"_s).toString(), u"-1900,40,800,600,1"_s);
    QCOMPARE(settings.ReadSkin(), u"/skins/a.ini"_s);
}

void TestSettings::windowPlaceOnScreens_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<bool>("shown");
    // Two screens side by side, the right one lower down.
    QTest::newRow("inside the first") << QRect(100, 100, 800, 600) << true;
    QTest::newRow("across both") << QRect(1500, 300, 800, 600) << true;
    QTest::newRow("bigger than the screen, centred") << QRect(-100, 0, 2000, 1200) << true;
    QTest::newRow("title bar above every screen") << QRect(100, -500, 800, 600) << false;
    QTest::newRow("where a third screen was") << QRect(4000, 100, 800, 600) << false;
    QTest::newRow("in the notch beside the lower screen") << QRect(1700, 10, 800, 300) << false;
    QTest::newRow("no size") << QRect(100, 100, 0, 0) << false;
}

void TestSettings::windowPlaceOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(bool, shown);
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 200, 1280, 1024)};
    QCOMPARE(OnScreens(frame, screens), shown);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
