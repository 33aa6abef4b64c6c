#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Every message box of the program goes through here, so that tests can
// record them instead of blocking on them.
namespace Msg {

enum class Kind { Error, Warning, Information, Confirmation };

void Error(const QString &text);
void Warning(const QString &text);
void Information(const QString &text);
// A warning with OK and Cancel; true when the user chose OK.
bool Confirm(const QString &text);

struct Shown
{
    Kind kind;
    QString text;
};

// While a recorder lives, boxes are recorded and answered at once: a
// confirmation gets confirmAnswer.
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
