#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The splash window: the product's picture, closed by its timer five
// seconds after it was created, whatever the user does.
class TFlashFm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ShowMilliseconds = 5000;

    explicit TFlashFm(QWidget *parent = nullptr);
    ~TFlashFm() override; // FormDestroy

    QLabel *Image1;
    QTimer *Timer1;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Timer1Timer();
};

// The splash window while it exists.
extern TFlashFm *FlashFm;

// Creates the splash window unless it exists and shows it modally.
void ShowFlash();
