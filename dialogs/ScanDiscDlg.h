#pragma once

#include "dialogs/EnterForm.h"
#include "media/DiscScanner.h"
#include "media/Volumes.h"

#include <QList>

#include <functional>
#include <optional>

class QPushButton;
class QTreeWidget;
class TDAODatabase;

// "扫描光盘内容...": choose the volume to read into the disc, among the
// mounted optical drives, removable media and disc images, or any folder.
class TScanDiscDlg : public TEnterFm
{
    Q_OBJECT

public:
    explicit TScanDiscDlg(const QList<Volumes::TVolume> &volumes, QWidget *parent = nullptr);

    QTreeWidget *lvVolumes;
    QPushButton *btnFolder, *btnScan, *btnCancel;

    // Asks for a folder; empty when the user cancels. Replaceable for tests.
    std::function<QString(QWidget *parent)> ChooseFolder;

    // The chosen volume, once the dialog was accepted.
    std::optional<Volumes::TVolume> Chosen() const { return m_chosen; }

    void btnFolderClick();
    void btnScanClick();

private:
    QList<Volumes::TVolume> m_volumes;
    std::optional<Volumes::TVolume> m_chosen;
};

namespace ScanDisc {

// Reads the volume into the disc on the worker, with a progress window
// (files, bytes, cancel), and reports what was read, what could not be read, or that the
// scan was cancelled and the previous contents kept. True when new contents
// were stored.
bool Run(QWidget *parent, TDAODatabase &db, qint64 discId, const Volumes::TVolume &volume);

// The whole command: asks before replacing earlier contents, lets the user
// choose the volume and runs the scan. True when new contents were stored.
bool ScanDiscContents(QWidget *parent, TDAODatabase &db, qint64 discId);

// "清除光盘内容": asks, then removes the disc's contents. True when removed.
bool ClearDiscContents(TDAODatabase &db, qint64 discId);

// For tests: replaces the volume dialog; returns the volume or nothing.
extern std::function<std::optional<Volumes::TVolume>(QWidget *parent)> ChooseVolumeHook;
// For tests: the scan's hook for each folder (its path below the root),
// called on the worker's thread; true makes the folder unreadable.
extern std::function<bool(const QString &path)> RefuseFolderHook;

} // namespace ScanDisc
