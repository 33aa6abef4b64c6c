#include "toolkit/JobProgress.h"

#include "store/engine/DAODatabase.h"
#include "toolkit/CommandHold.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <utility>

TJobProgressDlg::TJobProgressDlg(const QString &title, const QString &label, bool cancellable, QWidget *parent)
    : QDialog(parent)
    , btnCancel(nullptr)
{
    setObjectName(QStringLiteral("JobProgress"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    lbText = new QLabel(label, this);
    lbText->setObjectName(QStringLiteral("lbText"));
    lbText->setTextFormat(Qt::PlainText);
    lbText->setMinimumWidth(320);
    pbDone = new QProgressBar(this);
    pbDone->setObjectName(QStringLiteral("pbDone"));
    pbDone->setRange(0, 0);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbText);
    layout->addWidget(pbDone);
    if (cancellable) {
        btnCancel = new QPushButton(QStringLiteral("取消"), this);
        btnCancel->setObjectName(QStringLiteral("btnCancel"));
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(btnCancel);
        layout->addLayout(buttons);
        connect(btnCancel, &QPushButton::clicked, this, &TJobProgressDlg::reject);
    }
}

void TJobProgressDlg::ShowProgress(qint64 done, qint64 total, const QString &text)
{
    if (!text.isEmpty())
        lbText->setText(text);
    if (total <= 0)
        return;
    // The bar counts in int: a larger total is scaled down.
    const qint64 scale = total / std::numeric_limits<int>::max() + 1;
    pbDone->setRange(0, int(total / scale));
    pbDone->setValue(int(std::min(done, total) / scale));
}

void TJobProgressDlg::reject()
{
    if (!btnCancel || m_cancelAsked)
        return;
    m_cancelAsked = true;
    btnCancel->setEnabled(false);
    emit Cancelling();
}

void TJobProgressDlg::closeEvent(QCloseEvent *event)
{
    event->ignore();
    reject();
}

namespace JobProgress {

TCatalogWorker &Worker()
{
    static QPointer<TCatalogWorker> worker;
    if (!worker)
        worker = new TCatalogWorker(QCoreApplication::instance());
    return *worker;
}

bool Run(QWidget *parent, const QString &path, const QString &password, const TOptions &options,
         TCatalogWorker::TWork work)
{
    TCatalogWorker &worker = Worker();
    // Nothing from outside switches the catalog under the job.
    const TCommandHold hold;
    TJobProgressDlg dialog(options.Title, options.Label, options.Cancellable, parent);
    QEventLoop loop;
    quint64 id = 0;
    bool finished = false;
    std::exception_ptr error;
    // The signals come queued, after Post has named the job.
    QObject::connect(&worker, &TCatalogWorker::Progress, &dialog,
                     [&](quint64 job, qint64 done, qint64 total, const QString &text) {
                         if (job == id)
                             dialog.ShowProgress(done, total, text);
                     });
    QObject::connect(&worker, &TCatalogWorker::Finished, &loop, [&](quint64 job, std::exception_ptr raised) {
        if (job != id)
            return;
        // The worker let go of its lock after the job ended: taking it here
        // orders what the job wrote before what this thread reads next, in
        // a way race detectors see too.
        (void)worker.Busy();
        finished = true;
        error = std::move(raised);
        loop.quit();
    });
    QObject::connect(&dialog, &TJobProgressDlg::Cancelling, &loop, [&] { worker.Cancel(id); });
    id = worker.Post(path, password, std::move(work));

    if (!options.ShowAtOnce) {
        // A short job shows no window; input meanwhile waits for its end.
        QTimer late;
        late.setSingleShot(true);
        QObject::connect(&late, &QTimer::timeout, &loop, &QEventLoop::quit);
        late.start(ShowAfterMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!finished) {
        dialog.show();
        loop.exec();
    }
    dialog.hide();
    if (error)
        std::rethrow_exception(error);
    return dialog.CancelAsked();
}

bool Run(QWidget *parent, const TDAODatabase &windowDb, const TOptions &options, TCatalogWorker::TWork work)
{
    return Run(parent, windowDb.DatabaseName(), windowDb.Password(), options, std::move(work));
}

} // namespace JobProgress
