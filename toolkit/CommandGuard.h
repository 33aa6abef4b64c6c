#pragma once

#include <QLoggingCategory>

#include <exception>
#include <functional>

// Each user command (a handler, a menu item, the first showing) runs inside
// one guard: an error it raises is handed to the application's default error
// handler, which shows its message, and the rest of the command is skipped.
// Errors never cross the Qt event loop.

// The program's trail of failed commands: each error the guard shows is
// also logged here, with its details and the statement that failed.
Q_DECLARE_LOGGING_CATEGORY(lcCommand)

// The application's default error handler: shows the error's message and
// logs it.
void ShowError(std::exception_ptr error);

// Runs the command; false when it stopped on an error (already shown).
bool RunCommand(const std::function<void()> &command);

// A slot that runs the command under the guard, for connect().
template <typename F> auto Guarded(F command)
{
    return [command](auto &&...) { RunCommand(command); };
}
