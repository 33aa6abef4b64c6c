#include "toolkit/PickEdit.h"

#include "toolkit/ChoiceModel.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <QWheelEvent>

TPickEdit::TPickEdit(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    m_rows = new TChoiceModel({}, this);
    setModel(m_rows);
    // Every row is one line in the list's font: the list lays out thousands
    // of rows by the size of the first instead of measuring each one.
    if (auto *list = qobject_cast<QListView *>(view()))
        list->setUniformItemSizes(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { TextOrSelectionChanged(); });
    connect(lineEdit(), &QLineEdit::selectionChanged, this, [this] { TextOrSelectionChanged(); });
    // A click on a row: the list has closed already (hidePopup came first).
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int row) { m_accepted = row; });
}

void TPickEdit::SetRows(const QStringList &texts, const QList<int> &values)
{
    const QString text = currentText();
    const QSignalBlocker blocker(lineEdit());
    const QSignalBlocker comboBlocker(this);
    QList<TChoice> rows;
    rows.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        rows.append({values.value(i), texts[i]});
    // The rows handed over in one go; drawn in the list's own font, not the
    // box's.
    m_rows->SetFont(view()->font());
    m_rows->Replace(std::move(rows));
    setCurrentIndex(-1);
    setEditText(text);
}

void TPickEdit::ClearRows()
{
    SetRows({}, {});
}

void TPickEdit::showPopup()
{
    DropDown();
    QComboBox::showPopup();
}

void TPickEdit::hidePopup()
{
    const bool open = view()->isVisible();
    QComboBox::hidePopup();
    if (!open || m_closing)
        return;
    m_closing = true;
    m_accepted = -1;
    // Whether a row was clicked is known once the combo box has reported
    // it, right after this returns.
    QTimer::singleShot(0, this, [this] {
        m_closing = false;
        CloseUp(m_accepted);
        m_accepted = -1;
    });
}

void TPickEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_F4:
        event->accept();
        return;
    default:
        QComboBox::keyPressEvent(event);
    }
}

void TPickEdit::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}
