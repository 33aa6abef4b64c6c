#pragma once

#include <QString>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

// A fixture that cannot be made stops its test at once: the reason is logged
// as the test's failure, where the fixture found it, and the test goes no
// further (a test on a broken fixture only reports what follows from it).
//
// The fixture throws. QtTest (Qt 6.4) logs an exception out of a test
// function as a failure, closes its log and throws it on, which would abort
// the run with a crash report; for this exception the run ends instead with a
// failing exit code and the log as it is.
class EFixtureFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace FixtureFailure {

inline void EndRunOnFixtureFailure()
{
    static const std::terminate_handler previous = std::set_terminate([] {
        const auto passOn = [] { (previous ? previous : std::abort)(); };
        const std::exception_ptr current = std::current_exception();
        if (!current)
            passOn();
        try {
            std::rethrow_exception(current);
        } catch (const EFixtureFailed &) {
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        } catch (...) {
            passOn();
        }
    });
}

[[noreturn]] inline void Fail(const QString &reason, const char *file, int line)
{
    const QByteArray message = QStringLiteral("fixture: %1").arg(reason).toUtf8();
    QTest::qFail(message.constData(), file, line);
    EndRunOnFixtureFailure();
    throw EFixtureFailed(message.toStdString());
}

} // namespace FixtureFailure

// In a fixture: stops the test unless the condition holds.
#define FIXTURE_REQUIRE(condition, reason)                                                                             \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            FixtureFailure::Fail(reason, __FILE__, __LINE__);                                                          \
    } while (false)
