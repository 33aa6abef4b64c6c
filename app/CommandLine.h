#pragma once

#include <QString>
#include <QStringList>

// The program's command line: `vorlix [--help] [--version] [FILE]`, and the
// options Qt itself reads (-platform, -style, ...), which are accepted and
// left to the application object. Parsed before any window exists, so
// --help and --version work without a display.
namespace CommandLine {

struct TRequest
{
    enum class Action {
        Run,     // start the program, opening file when it is given
        Help,    // print text to the standard output and end
        Version, // print text to the standard output and end
        Error,   // print text to the standard error and end with exit code 2
    };
    Action action = Action::Run;
    QString file; // the catalog to open: an absolute path, or empty
    QString text; // what to print for Help, Version and Error
};

// arguments start with the program's name, as argv does. Relative file
// names are taken relative to workingFolder; file:// URLs (from file
// managers) become local paths.
TRequest Parse(const QStringList &arguments, const QString &workingFolder);

// The command line as main receives it: each argument's bytes read as the
// file system names files. The program names files by Unicode text, so a
// file name whose bytes are not UTF-8 has no such text; it is refused with a
// message that says so, rather than another name being looked for and "not
// found".
TRequest Parse(int argc, const char *const *argv, const QString &workingFolder);

// The arguments as text, the way Parse reads them.
QStringList Arguments(int argc, const char *const *argv);

// "Vorlix 1.0.1（光盘夹格式 Build1.02）": the program's version, and the version
// of the catalog layout it writes, the one the catalog files record.
QString VersionText();

} // namespace CommandLine
