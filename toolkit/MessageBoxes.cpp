#include "toolkit/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace Msg {

namespace {

Recorder *activeRecorder = nullptr;

bool Show(Kind kind, const QString &text, const QString &details = {})
{
    if (activeRecorder) {
        activeRecorder->shown.append({kind, text, details});
        return kind == Kind::Confirmation || kind == Kind::Question ? activeRecorder->confirmAnswer : true;
    }
    const std::unique_ptr<QMessageBox> box = Build(kind, text, details);
    box->exec();
    const QAbstractButton *clicked = box->clickedButton();
    return clicked && (clicked == box->button(QMessageBox::Ok) || clicked == box->button(QMessageBox::Yes));
}

} // namespace

std::unique_ptr<QMessageBox> Build(Kind kind, const QString &text, const QString &details)
{
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
    case Kind::Question:
        icon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case Kind::Information:
        break;
    }
    auto box = std::make_unique<QMessageBox>(icon, QApplication::applicationDisplayName(), QString(), buttons,
                                             QApplication::activeWindow());
    // Set before the text: with the automatic format a quoted name such as
    // <img src=...> would be read as markup and the file it names loaded.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    if (!details.isEmpty())
        box->setDetailedText(details);
    const std::pair<QMessageBox::StandardButton, const char16_t *> captions[] = {{QMessageBox::Ok, u"确定"},
                                                                                 {QMessageBox::Cancel, u"取消"},
                                                                                 {QMessageBox::Yes, u"是"},
                                                                                 {QMessageBox::No, u"否"}};
    for (const auto &[which, caption] : captions)
        if (QAbstractButton *button = box->button(which))
            button->setText(QString::fromUtf16(caption));
    return box;
}

void Error(const QString &text, const QString &details)
{
    Show(Kind::Error, text, details);
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

bool Ask(const QString &text)
{
    return Show(Kind::Question, text);
}

Recorder::Recorder(bool answer)
    : confirmAnswer(answer)
    , m_previous(activeRecorder)
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
