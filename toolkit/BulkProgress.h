#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

// A progress bar for a loop over many rows, such as deleting or moving
// thousands of discs at once. The loop runs inside one transaction with the
// lists suspended, so no event may be handled until it ends: the bar is
// painted directly, never through the event loop. Short loops show nothing.
class TBulkProgress
{
public:
    // Loops of at least this many steps show the bar.
    static int ShowFrom;

    TBulkProgress(const QString &label, int steps, QWidget *parent);
    ~TBulkProgress();
    TBulkProgress(const TBulkProgress &) = delete;
    TBulkProgress &operator=(const TBulkProgress &) = delete;

    // One step done. The bar is painted again when it is full or 50 ms
    // after its last painting.
    void Step();

private:
    static constexpr int PaintIntervalMs = 50;

    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_sincePaint;
    int m_done = 0;
};
