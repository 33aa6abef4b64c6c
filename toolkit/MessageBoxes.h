#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QMessageBox;

// Every message box of the program goes through here, so that tests can
// record them instead of blocking on them.
namespace Msg {

enum class Kind { Error, Warning, Information, Confirmation, Question };

// Every box shows its text as plain text, whatever it quotes (a disc name,
// a file name, a server's answer): markup in it is never read. Details, when
// given, sit behind the box's "show details" button (the engine's own words
// for an error, for instance).
void Error(const QString &text, const QString &details = {});
void Warning(const QString &text);
void Information(const QString &text);
// A warning with OK and Cancel; true when the user chose OK.
bool Confirm(const QString &text);
// A question with Yes and No; true when the user chose Yes.
bool Ask(const QString &text);

// The box as it would be shown, not yet shown (for the one place that shows
// boxes, and for tests that look at one).
std::unique_ptr<QMessageBox> Build(Kind kind, const QString &text, const QString &details = {});

struct Shown
{
    Kind kind;
    QString text;
    QString details;
};

// While a recorder lives, boxes are recorded and answered at once: a
// confirmation or a question gets confirmAnswer.
class Recorder
{
public:
    explicit Recorder(bool confirmAnswer = true);
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    QList<Shown> shown;
    bool confirmAnswer;

    QStringList Texts() const;
    void Clear() { shown.clear(); }

private:
    Recorder *m_previous;
};

} // namespace Msg
