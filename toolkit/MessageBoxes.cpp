#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace Msg {

namespace {

Recorder *activeRecorder = nullptr;

bool Show(Kind kind, const QString &text)
{
    if (activeRecorder) {
        activeRecorder->shown.append({kind, text});
        return kind == Kind::Confirmation ? activeRecorder->confirmAnswer : true;
    }
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case Kind::Error:
        icon = QMessageBox::Critical;
        break;
    case Kind::Warning:
        icon = QMessageBox::Warning;
        break;
    case Kind::Confirmation:
        icon = QMessageBox::Warning;
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Kind::Information:
        break;
    }
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, QApplication::activeWindow());
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (QAbstractButton *cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("取消"));
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

} // namespace

void Error(const QString &text)
{
    Show(Kind::Error, text);
}

void Warning(const QString &text)
{
    Show(Kind::Warning, text);
}

void Information(const QString &text)
{
    Show(Kind::Information, text);
}

bool Confirm(const QString &text)
{
    return Show(Kind::Confirmation, text);
}

Recorder::Recorder(bool answer)
    : confirmAnswer(answer), m_previous(activeRecorder)
{
    activeRecorder = this;
}

Recorder::~Recorder()
{
    activeRecorder = m_previous;
}

QStringList Recorder::Texts() const
{
    QStringList texts;
    for (const Shown &s : shown)
        texts << s.text;
    return texts;
}

} // namespace Msg
