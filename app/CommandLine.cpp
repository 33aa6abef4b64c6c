#include "app/CommandLine.h"

#include "store/catalog/Schema.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QUrl>

namespace CommandLine {

namespace {

// The options QGuiApplication, QApplication and the X11 platform read from
// the command line; they reach the program only to be passed on.
const char *const QtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "name",
    "style",       "stylesheet",         "geometry",      "title",   "visual"};
const char *const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString HelpText(const QString &program)
{
    return QStringLiteral("用法：%1 [选项] [光盘夹文件]\n"
                          "Vorlix 光盘收藏管理：打开光盘夹文件（.MDB），或者打开上次使用的光盘夹。\n"
                          "Vorlix 已在运行时，把要打开的文件交给正在运行的程序，并把它的窗口提到最前面。\n"
                          "\n"
                          "选项：\n"
                          "  -h, --help     显示本帮助并退出\n"
                          "  -v, --version  显示版本信息并退出\n"
                          "\n"
                          "参数：\n"
                          "  光盘夹文件     要打开的光盘夹文件，可以在任何文件夹中\n")
        .arg(program);
}

// Whether the text stands for exactly these bytes of a file name.
bool KeepsBytes(const QString &text, const QByteArray &bytes)
{
    return QFile::encodeName(text) == bytes;
}

QString NotUtf8Message(const QString &shown)
{
    return QStringLiteral("无法打开“%1”：文件名不是 UTF-8 编码，Vorlix 只能打开 UTF-8 编码的文件名。\n"
                          "请先把文件改名（例如用 convmv 把文件名转换成 UTF-8）。")
        .arg(shown);
}

// unreadable is set for a file: URL whose decoded bytes are no UTF-8 name.
QString LocalPath(const QString &argument, const QString &workingFolder, bool *unreadable = nullptr)
{
    QString path = argument;
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        const bool thisMachine = url.host().isEmpty() || url.host() == QLatin1String("localhost");
        if (!url.isLocalFile() || !thisMachine)
            return {};
        path = url.path(QUrl::FullyDecoded);
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (unreadable && !KeepsBytes(path, bytes))
            *unreadable = true;
    }
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
}

TRequest Failure(const QString &message, const QString &program)
{
    return {TRequest::Action::Error, {}, message + QStringLiteral("\n请用“%1 --help”查看用法。\n").arg(program)};
}

} // namespace

QString VersionText()
{
    return QStringLiteral("Vorlix %1（光盘夹格式 %2）")
        .arg(QStringLiteral(VORLIX_VERSION), QLatin1String(Schema::VersionCurrent));
}

TRequest Parse(const QStringList &arguments, const QString &workingFolder)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("vorlix") : arguments.first().section(QLatin1Char('/'), -1);

    QCommandLineParser parser;
    // Qt's own options are words after a single dash ("-platform xcb").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("显示本帮助并退出"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本信息并退出"));
    parser.addOption(help);
    parser.addOption(version);
    for (const char *name : QtValueOptions) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : QtFlagOptions) {
        QCommandLineOption option{QString::fromLatin1(name)};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments.isEmpty() ? QStringList{program} : arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return Failure(QStringLiteral("不认识的选项：%1").arg(unknown.first()), program);
        return Failure(QStringLiteral("命令行有误：%1").arg(parser.errorText()), program);
    }
    if (parser.isSet(help))
        return {TRequest::Action::Help, {}, HelpText(program)};
    if (parser.isSet(version))
        return {TRequest::Action::Version, {}, VersionText() + QLatin1Char('\n')};

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Failure(QStringLiteral("一次只能打开一个光盘夹文件。"), program);
    TRequest request;
    if (!files.isEmpty()) {
        bool unreadable = false;
        request.file = LocalPath(files.first(), workingFolder, &unreadable);
        if (request.file.isEmpty())
            return Failure(QStringLiteral("不是本机上的文件：%1").arg(files.first()), program);
        if (unreadable)
            return Failure(NotUtf8Message(request.file), program);
    }
    return request;
}

QStringList Arguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    return arguments;
}

TRequest Parse(int argc, const char *const *argv, const QString &workingFolder)
{
    const QStringList arguments = Arguments(argc, argv);
    TRequest request = Parse(arguments, workingFolder);
    if (request.action != TRequest::Action::Run || request.file.isEmpty())
        return request;
    for (int i = 1; i < argc; ++i) {
        if (!KeepsBytes(arguments[i], argv[i]) && LocalPath(arguments[i], workingFolder) == request.file)
            return Failure(NotUtf8Message(request.file), arguments.first().section(QLatin1Char('/'), -1));
    }
    return request;
}

} // namespace CommandLine
