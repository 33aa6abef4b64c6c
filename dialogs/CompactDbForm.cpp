#include "dialogs/CompactDbForm.h"

#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WaitCursor.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The wait cursor and the disabled button for as long as the work runs,
// taken back also when it throws.
class BusyScope
{
public:
    explicit BusyScope(QWidget *button)
        : m_button(button)
    {
        m_button->setEnabled(false);
    }
    ~BusyScope() { m_button->setEnabled(true); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    QWidget *m_button;
    TWaitCursor m_cursor;
};

} // namespace

TCompactDbFm::TCompactDbFm(std::function<TCurrency()> compact, QWidget *parent, std::function<QString()> failureReason)
    : TEnterFm(parent)
    , m_compact(std::move(compact))
    , m_failureReason(std::move(failureReason))
{
    setWindowTitle(QStringLiteral("整理光盘夹"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop);
    Label1 = new QLabel(
        QStringLiteral(
            "    每隔一段时间您应该使用“整理光盘夹”功能整理您的账本。这样可以使提高程序运行效率，加快显示。"),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    btnOk = new QPushButton(QStringLiteral("开始"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnClose = new QPushButton(QStringLiteral("关闭"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    auto *textRow = new QHBoxLayout;
    textRow->addWidget(Image1);
    textRow->addWidget(Label1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(textRow);
    layout->addStretch();
    layout->addLayout(buttons);

    setTabOrder(btnOk, btnClose);
    resize(330, 130);

    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

QString TCompactDbFm::ResultText(TCurrency ratio)
{
    if (ratio == 0)
        return QStringLiteral("光盘夹整理失败！");
    // Ten-thousandths: the percentage is the value in hundredths.
    return QStringLiteral("光盘夹整理完成！目前光盘夹大小为整理前的 %1％").arg(double(ratio) / 100.0, 0, 'f', 2);
}

void TCompactDbFm::btnOkClick()
{
    TCurrency ratio = 0;
    {
        BusyScope busy(btnOk);
        ratio = m_compact();
    }
    QString text = ResultText(ratio);
    const QString reason = ratio == 0 && m_failureReason ? m_failureReason() : QString();
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    Msg::Information(text);
}

void ShowCompactDialog(std::function<TCurrency()> compact, QWidget *parent, std::function<QString()> failureReason)
{
    TCompactDbFm dlg(std::move(compact), parent, std::move(failureReason));
    dlg.exec();
}
