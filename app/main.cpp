#include "app/AppPaths.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/FlashForm.h"
#include "app/MainForm.h"
#include "app/OpenRequests.h"
#include "app/SettingObjects.h"
#include "app/SingleInstance.h"
#include "app/StartUp.h"
#include "app/WindowPlacing.h"
#include "toolkit/CommandGuard.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <optional>

namespace {

// A last net under the guards of the commands: nothing thrown inside an
// event handler may cross the event loop.
class TVorlixApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            ShowError(std::current_exception());
            return false;
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    // Before the application object, which needs a display: --help and
    // --version print and end without one.
    const CommandLine::TRequest request = CommandLine::Parse(argc, argv, QDir::currentPath());
    if (request.action != CommandLine::TRequest::Action::Run) {
        const bool error = request.action == CommandLine::TRequest::Action::Error;
        std::fputs(request.text.toLocal8Bit().constData(), error ? stderr : stdout);
        return error ? 2 : 0;
    }
    const QString noDisplay =
        DisplayCheck::Problem(CommandLine::Arguments(argc, argv), QProcessEnvironment::systemEnvironment());
    if (!noDisplay.isEmpty()) {
        std::fputs(noDisplay.toLocal8Bit().constData(), stderr);
        return 1;
    }

    std::optional<DisplayCheck::TStartGuard> connecting(std::in_place);
    TVorlixApplication app(argc, argv);
    connecting.reset();
    InitApplication();
    // A program already running on these catalogs takes the request over.
    const AppPaths::TLayout layout = AppPaths::Current();
    const QString serverName = TSingleInstance::ServerName(layout.dataRoot);
    if (TSingleInstance::HandOver(serverName, request.file))
        return 0;
    TSingleInstance instance;
    instance.Listen(serverName); // when it cannot, this program runs on its own
    RunCommand([&] { AppPaths::Prepare(layout); });
    CreateMainObjects();
    MainFm->StartFile = request.file;
    instance.OnRequest = [](const QString &file) {
        if (MainFm)
            HandleOpenRequest(*MainFm, file);
    };
    ShowFlash();
    ShowMainWindow(*MainFm, Settings->ReadWindowPlace());
    const int result = app.exec();
    DestroyMainObjects();
    return result;
}
