#include "toolkit/CommandGuard.h"

#include "store/engine/Errors.h"
#include "toolkit/MessageBoxes.h"

#include <QString>

#include <new>
#include <utility>

Q_LOGGING_CATEGORY(lcCommand, "vorlix.command")

void ShowError(std::exception_ptr error)
{
    QString message;
    QString details;
    QString statement;
    try {
        std::rethrow_exception(std::move(error));
    } catch (const EDAOError &e) {
        message = e.Message();
        details = e.Details();
        statement = e.Statement();
    } catch (const EAppError &e) {
        message = e.Message();
        details = e.Details();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("内存不足。");
    } catch (const std::exception &e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("发生了未知的错误。");
    }
    if (statement.isEmpty())
        qCWarning(lcCommand).noquote() << "command failed:" << message << details;
    else
        qCWarning(lcCommand).noquote() << "command failed:" << message << details << "statement:" << statement;
    Msg::Error(message, details);
}

bool RunCommand(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
}
