#include "app/FlashForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

TFlashFm *FlashFm = nullptr;

TFlashFm::TFlashFm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FlashFm"));
    setAttribute(Qt::WA_DeleteOnClose); // FormClose frees the window
    setFixedSize(472, 293);
    // The picture at its natural size from the top-left corner: the window
    // shows its top-left 472 x 293 pixels.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QPixmap picture(QStringLiteral(":/splash.jpg"));
    Image1->setPixmap(picture);
    Image1->setGeometry(0, 0, qMax(picture.width(), width()), qMax(picture.height(), height()));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(ShowMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &TFlashFm::Timer1Timer);
    Timer1->start();
}

TFlashFm::~TFlashFm()
{
    if (FlashFm == this)
        FlashFm = nullptr;
}

void TFlashFm::Timer1Timer()
{
    close();
}

void TFlashFm::keyPressEvent(QKeyEvent *event)
{
    // Escape would end the modal loop early; only the timer closes it.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void ShowFlash()
{
    if (!FlashFm)
        FlashFm = new TFlashFm;
    FlashFm->exec();
}
