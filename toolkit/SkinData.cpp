#include "toolkit/SkinData.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QStringDecoder>
#include <QWidget>

#include <memory>
#include <vector>

// A skin description is a small UTF-8 INI file:
//
//   [Skin]
//   Name=晴空
//   StyleSheet=main.qss
//
// StyleSheet names a Qt style sheet (UTF-8) beside the description. Pictures
// are referenced from the sheet by url(); relative ones are taken from the
// skin's folder and rewritten to absolute paths, because Qt would otherwise
// look for them in the current directory. Every picture must exist and be
// readable, and the sheet must parse, or the skin is refused as a whole.

namespace {

constexpr qint64 MaxDescriptionSize = 64 * 1024;
constexpr qint64 MaxStyleSheetSize = 4 * 1024 * 1024;

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void Fail(const QString &message)
{
    throw ESkinError(message);
}

// Reads a whole text file as strict UTF-8; `what` names the kind of file in
// the messages ("皮肤文件", "样式表").
QString ReadText(const QString &path, const QString &what, qint64 maxSize)
{
    const QFileInfo info(path);
    if (!info.exists())
        Fail(QStringLiteral("%1“%2”不存在。").arg(what, Shown(path)));
    if (!info.isFile())
        Fail(QStringLiteral("“%1”不是文件，无法作为%2读取。").arg(Shown(path), what));
    if (info.size() > maxSize)
        Fail(QStringLiteral("%1“%2”太大，不是有效的%1。").arg(what, Shown(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("无法读取%1“%2”：%3").arg(what, Shown(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("无法读取%1“%2”：%3").arg(what, Shown(path), file.errorString()));
    if (bytes.contains('\0'))
        Fail(QStringLiteral("%1“%2”不是文本文件。").arg(what, Shown(path)));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        Fail(QStringLiteral("%1“%2”不是 UTF-8 编码的文本。").arg(what, Shown(path)));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// The [Skin] section of a description: keys in lower case.
QHash<QString, QString> ReadDescription(const QString &path)
{
    const QString text = ReadText(path, QStringLiteral("皮肤文件"), MaxDescriptionSize);
    QHash<QString, QString> skin;
    bool sawSkin = false;
    QString section;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3)
                Fail(QStringLiteral("皮肤文件“%1”第 %2 行格式不正确。").arg(Shown(path)).arg(i + 1));
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            if (section == u"skin")
                sawSkin = true;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            Fail(QStringLiteral("皮肤文件“%1”第 %2 行格式不正确。").arg(Shown(path)).arg(i + 1));
        if (section != u"skin")
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        skin.insert(line.left(eq).trimmed().toLower(), value);
    }
    if (!sawSkin)
        Fail(QStringLiteral("皮肤文件“%1”中没有 [Skin] 一节，不是有效的皮肤文件。").arg(Shown(path)));
    return skin;
}

bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_';
}

// Copies the sheet with every url() made absolute against the folder,
// checking that each picture can be read. Comments and quoted strings are
// copied untouched.
QString ResolvePictures(const QString &sheet, const QString &sheetPath, const QDir &folder)
{
    QString out;
    out.reserve(sheet.size() + 256);
    QHash<QString, bool> checked;
    const qsizetype n = sheet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sheet[i];
        if (c == u'/' && i + 1 < n && sheet[i + 1] == u'*') {
            qsizetype end = sheet.indexOf(QStringLiteral("*/"), i + 2);
            end = end < 0 ? n : end + 2;
            out += QStringView(sheet).mid(i, end - i);
            i = end;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            qsizetype j = i + 1;
            while (j < n && sheet[j] != c) {
                if (sheet[j] == u'\\')
                    ++j;
                ++j;
            }
            j = qMin(j + 1, n);
            out += QStringView(sheet).mid(i, j - i);
            i = j;
            continue;
        }
        const bool urlStarts = (c == u'u' || c == u'U') && (i == 0 || !IsNameChar(sheet[i - 1])) &&
                               QStringView(sheet).mid(i, 4).compare(u"url(", Qt::CaseInsensitive) == 0;
        if (!urlStarts) {
            out += c;
            ++i;
            continue;
        }

        qsizetype j = i + 4;
        while (j < n && sheet[j].isSpace())
            ++j;
        QString ref;
        if (j < n && (sheet[j] == u'"' || sheet[j] == u'\'')) {
            const QChar quote = sheet[j];
            const qsizetype close = sheet.indexOf(quote, j + 1);
            if (close < 0)
                j = n;
            else {
                ref = sheet.mid(j + 1, close - j - 1);
                j = close + 1;
            }
        } else {
            const qsizetype close = sheet.indexOf(u')', j);
            if (close < 0)
                j = n;
            else {
                ref = sheet.mid(j, close - j).trimmed();
                j = close;
            }
        }
        while (j < n && sheet[j].isSpace())
            ++j;
        if (j >= n || sheet[j] != u')' || ref.isEmpty())
            Fail(QStringLiteral("样式表“%1”中有写法不正确的 url()。").arg(Shown(sheetPath)));
        ++j;

        const QString picture = ref.startsWith(u':') ? ref : QDir::cleanPath(folder.absoluteFilePath(ref));
        if (!checked.contains(picture)) {
            if (!QFileInfo(picture).isFile())
                Fail(QStringLiteral("样式表“%1”所用的图片“%2”不存在。").arg(Shown(sheetPath), Shown(picture)));
            QImageReader reader(picture);
            if (reader.read().isNull())
                Fail(QStringLiteral("样式表“%1”所用的图片“%2”无法读取：%3")
                         .arg(Shown(sheetPath), Shown(picture), reader.errorString()));
            checked.insert(picture, true);
        }
        QChar quote = u'"';
        if (picture.contains(u'"')) {
            if (picture.contains(u'\''))
                Fail(QStringLiteral("样式表“%1”所用的图片“%2”的路径中有引号，无法使用。")
                         .arg(Shown(sheetPath), Shown(picture)));
            quote = u'\'';
        }
        out += QStringLiteral("url(") + quote + picture + quote + u')';
        i = j;
    }
    return out;
}

// Qt reports a sheet it cannot parse only as a warning when a widget is
// polished with it; a throw-away widget is polished here to catch it.
bool g_parseFailed = false;
QtMessageHandler g_previousHandler = nullptr;

void ProbeHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse stylesheet"))) {
        g_parseFailed = true;
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

bool SheetParses(const QString &sheet)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    g_parseFailed = false;
    g_previousHandler = qInstallMessageHandler(ProbeHandler);
    {
        QWidget probe;
        probe.setStyleSheet(sheet);
        probe.ensurePolished();
    }
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    return !g_parseFailed;
}

QString ReadSkin(const QString &path)
{
    if (path.trimmed().isEmpty())
        Fail(QStringLiteral("没有指定皮肤文件。"));
    const QString description = QFileInfo(path).absoluteFilePath();
    const QHash<QString, QString> skin = ReadDescription(description);
    const QString sheetName = skin.value(QStringLiteral("stylesheet"));
    if (sheetName.isEmpty())
        Fail(QStringLiteral("皮肤文件“%1”没有指定样式表（StyleSheet 项）。").arg(Shown(description)));

    const QDir folder = QFileInfo(description).absoluteDir();
    const QString sheetPath = QDir::cleanPath(folder.absoluteFilePath(sheetName));
    if (!QFileInfo::exists(sheetPath))
        Fail(QStringLiteral("皮肤文件“%1”所用的样式表“%2”不存在。").arg(Shown(description), Shown(sheetPath)));
    const QString raw = ReadText(sheetPath, QStringLiteral("样式表"), MaxStyleSheetSize);
    // Pictures are taken from the sheet's own folder.
    QString sheet = ResolvePictures(raw, sheetPath, QFileInfo(sheetPath).absoluteDir());
    if (!SheetParses(sheet))
        Fail(QStringLiteral("样式表“%1”有语法错误，无法使用。").arg(Shown(sheetPath)));
    return sheet;
}

} // namespace

TSkinData::TSkinData(QObject *parent)
    : QObject(parent)
{
}

void TSkinData::LoadFromFile(const QString &path)
{
    const QString sheet = ReadSkin(path);
    m_fileName = QFileInfo(path).absoluteFilePath();
    m_styleSheet = sheet;
    emit changed();
}

void TSkinData::Clear()
{
    m_fileName.clear();
    m_styleSheet.clear();
    emit changed();
}

namespace Skins {

TSkinData &Main()
{
    static TSkinData set;
    return set;
}

TSkinData &Dialog()
{
    static TSkinData set;
    return set;
}

TSkinData &Tool()
{
    static TSkinData set;
    return set;
}

namespace {

const char AttachmentName[] = "vorlix-skin-attachment";

void Apply(QWidget *widget, const std::vector<QPointer<TSkinData>> &sets)
{
    QStringList sheets;
    for (const QPointer<TSkinData> &set : sets) {
        if (set && !set->StyleSheet().isEmpty())
            sheets << set->StyleSheet();
    }
    const QString combined = sheets.join(u'\n');
    if (widget->styleSheet() != combined)
        widget->setStyleSheet(combined);
}

} // namespace

bool Attached(const QWidget *widget)
{
    return widget &&
           !widget->findChildren<QObject *>(QLatin1String(AttachmentName), Qt::FindDirectChildrenOnly).isEmpty();
}

void Attach(QWidget *widget, const QList<TSkinData *> &sets)
{
    Q_ASSERT(widget);
    // The attachment is a child of the widget: it dies with it, and its
    // connections with it. A second Attach replaces the first.
    const auto previous = widget->findChildren<QObject *>(QLatin1String(AttachmentName), Qt::FindDirectChildrenOnly);
    for (QObject *old : previous)
        delete old;

    auto *attachment = new QObject(widget);
    attachment->setObjectName(QLatin1String(AttachmentName));
    auto list = std::make_shared<std::vector<QPointer<TSkinData>>>();
    for (TSkinData *set : sets) {
        if (set)
            list->push_back(set);
    }
    for (const QPointer<TSkinData> &set : *list)
        QObject::connect(set, &TSkinData::changed, attachment, [widget, list] { Apply(widget, *list); });
    Apply(widget, *list);
}

void Attach(QWidget *widget, std::initializer_list<TSkinData *> sets)
{
    Attach(widget, QList<TSkinData *>(sets));
}

} // namespace Skins
