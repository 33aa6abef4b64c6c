#include "dialogs/EnterForm.h"

#include "toolkit/SkinData.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

// The dialog sees every key before its controls do. The controls of a
// derived dialog do not exist yet when the base is built, so the preview
// watches the application and picks out the keys meant for this dialog.
class TEnterFm::KeyPreview : public QObject
{
public:
    explicit KeyPreview(TEnterFm *dialog)
        : QObject(dialog)
        , m_dialog(dialog)
    {
        qApp->installEventFilter(this);
    }
    ~KeyPreview() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || m_dialog->m_deliveringEnter || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() != m_dialog)
            return false;
        return m_dialog->FormKeyPress(widget, static_cast<QKeyEvent *>(event));
    }

private:
    TEnterFm *m_dialog;
};

TEnterFm::TEnterFm(QWidget *parent)
    : QDialog(parent)
    , m_keyPreview(new KeyPreview(this))
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    Skins::Attach(this, {&Skins::Main(), &Skins::Dialog()});
}

TEnterFm::~TEnterFm()
{
    // No key may reach a dialog half destroyed.
    delete m_keyPreview;
}

void TEnterFm::setVisible(bool visible)
{
    if (visible && !m_prepared)
        PrepareFirstShow();
    QDialog::setVisible(visible);
}

void TEnterFm::PrepareFirstShow()
{
    m_prepared = true;
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    ensurePolished();
    QSize size = testAttribute(Qt::WA_Resized) ? this->size() : sizeHint();
    size = size.expandedTo(minimumSizeHint());
    setFixedSize(size);

    // Centred with its frame, as far as the platform knows the frame yet.
    create();
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(0, 0), size.grownBy(margins));
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TEnterFm::FormKeyPress(QWidget *receiver, QKeyEvent *event)
{
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;

    // A focused button is pressed; the focus stays where its command puts it.
    if (auto *button = qobject_cast<QPushButton *>(receiver)) {
        if (button->isEnabled())
            button->click();
        return true;
    }

    // The Enter reaches the control first, then the focus moves on, unless
    // the control's own handling moved it or closed the dialog.
    QPointer<TEnterFm> self(this);
    QPointer<QWidget> target(receiver);
    m_deliveringEnter = true;
    QCoreApplication::sendEvent(receiver, event);
    if (!self)
        return true;
    m_deliveringEnter = false;
    if (target && isVisible() && (focusWidget() == target || target == this))
        focusNextChild();
    return true;
}

void TEnterFm::keyPressEvent(QKeyEvent *event)
{
    // No cancel button: Escape closes nothing.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
