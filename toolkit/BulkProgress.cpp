#include "toolkit/BulkProgress.h"

#include "toolkit/CommandHold.h"

#include <QApplication>
#include <QProgressDialog>

#include <algorithm>

int TBulkProgress::ShowFrom = 5000;

TBulkProgress::TBulkProgress(const QString &label, int steps, QWidget *parent)
{
    if (steps < ShowFrom)
        return;
    m_dialog = std::make_unique<QProgressDialog>(label, QString(), 0, steps, parent);
    m_dialog->setObjectName(QStringLiteral("BulkProgress"));
    m_dialog->setWindowTitle(QApplication::applicationDisplayName());
    m_dialog->setCancelButton(nullptr);
    // Not modal in Qt's sense: a modal progress dialog handles every pending
    // event each time it moves.
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
    m_dialog->show();
    // Once, before the loop changes anything: the window comes up and is
    // drawn. Input waits until the work is done, and so does a catalog
    // handed over by a later start.
    const TCommandHold hold;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sincePaint.start();
}

TBulkProgress::~TBulkProgress() = default;

void TBulkProgress::Step()
{
    ++m_done;
    if (!m_dialog || (m_sincePaint.elapsed() < PaintIntervalMs && m_done < m_dialog->maximum()))
        return;
    m_sincePaint.restart();
    m_dialog->setValue(std::min(m_done, m_dialog->maximum()));
    m_dialog->repaint();
}
