#include "app/DisplayCheck.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <cstdlib>

namespace DisplayCheck {

namespace {

bool NamesPlatform(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        for (const char *option : {"-platform", "--platform"}) {
            const QLatin1String name(option);
            if (argument == name || argument.startsWith(name + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

void Print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

// Qt's messages while the guard lives, to be passed on in their order.
struct TMessage
{
    QtMsgType type;
    QByteArray category, file, function;
    int line;
    QString text;
};
QList<TMessage> *held = nullptr;
QtMessageHandler previous = nullptr;

void Hold(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held->append({type, context.category, context.file, context.function, context.line, text});
        return;
    }
    // The only fatal message while the application object is made: no
    // platform could be started, that is, no display reached.
    QString details;
    for (const TMessage &message : std::as_const(*held))
        details += message.text + QLatin1Char('\n');
    details += text + QLatin1Char('\n');
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty() ? qEnvironmentVariable("DISPLAY")
                                                                              : qEnvironmentVariable("WAYLAND_DISPLAY");
    Print(QStringLiteral("无法连接到显示器“%1”：图形界面无法启动。请确认桌面正在运行，"
                         "并且 DISPLAY 或 WAYLAND_DISPLAY 指向它。\n"
                         "Qt 的说明：\n")
              .arg(display) +
          details);
    std::_Exit(1);
}

} // namespace

QString Problem(const QStringList &arguments, const QProcessEnvironment &environment)
{
    if (NamesPlatform(arguments) || !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
        !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return {};
    return QStringLiteral("无法连接到显示器：没有设置 DISPLAY 或 WAYLAND_DISPLAY 环境变量。\n"
                          "Vorlix 是图形界面程序，请在桌面中启动它；只看用法或版本时可以用 --help 或 --version。\n");
}

TStartGuard::TStartGuard()
{
    held = new QList<TMessage>;
    previous = qInstallMessageHandler(Hold);
}

TStartGuard::~TStartGuard()
{
    qInstallMessageHandler(previous);
    const QList<TMessage> messages = std::move(*held);
    delete held;
    held = nullptr;
    for (const TMessage &message : messages) {
        const QMessageLogContext context(message.file.isEmpty() ? nullptr : message.file.constData(), message.line,
                                         message.function.isEmpty() ? nullptr : message.function.constData(),
                                         message.category.isEmpty() ? nullptr : message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

} // namespace DisplayCheck
