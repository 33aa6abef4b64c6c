#include "CommandGuard.h"
#include "FlashForm.h"
#include "MainForm.h"
#include "StartUp.h"

#include <QApplication>

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
    TVorlixApplication app(argc, argv);
    InitApplication();
    CreateMainObjects();
    ShowFlash();
    MainFm->showMaximized();
    const int result = app.exec();
    DestroyMainObjects();
    return result;
}
