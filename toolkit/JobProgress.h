#pragma once

#include "store/catalog/CatalogWorker.h"

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class TDAODatabase;

// The window of a job on the worker: its text, a bar (moving to and fro
// while the job tells no total), and a cancel button where stopping is
// safe. It closes only when the job ends: Escape and the window's close
// button ask to cancel, as the button does.
class TJobProgressDlg : public QDialog
{
    Q_OBJECT

public:
    TJobProgressDlg(const QString &title, const QString &label, bool cancellable, QWidget *parent = nullptr);

    QLabel *lbText;
    QProgressBar *pbDone;
    QPushButton *btnCancel; // absent when the job cannot be cancelled

    // What the job told: done of total (0: unknown), a text when not empty.
    void ShowProgress(qint64 done, qint64 total, const QString &text);
    bool CancelAsked() const { return m_cancelAsked; }

    void reject() override;

signals:
    void Cancelling();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_cancelAsked = false;
};

namespace JobProgress {

struct TOptions
{
    QString Title;
    QString Label;
    // Shows a cancel button; the work sees the request through
    // TCatalogJob::Cancelled.
    bool Cancellable = false;
    // Shows the window at once; otherwise only when the job still runs
    // after ShowAfterMs (until then, input to the window waits).
    bool ShowAtOnce = true;
};

inline constexpr int ShowAfterMs = 400;

// The program's one worker for long jobs; it ends with the application.
TCatalogWorker &Worker();

// Runs work on the worker with a connection of its own to the catalog
// (path and password), showing its progress window-modal: the window
// keeps painting, the user cannot start another command. Returns when the
// job has ended; what the job raised is raised again here. True when the
// user asked to cancel.
bool Run(QWidget *parent, const QString &path, const QString &password, const TOptions &options,
         TCatalogWorker::TWork work);
// The same, on the catalog the window's connection has open.
bool Run(QWidget *parent, const TDAODatabase &windowDb, const TOptions &options, TCatalogWorker::TWork work);

} // namespace JobProgress
