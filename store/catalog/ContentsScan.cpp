#include "store/catalog/ContentsScan.h"

#include "store/engine/DAODatabase.h"

#include <QDateTime>

namespace ContentsScan {

DiscScanner::TResult ScanInto(TDAODatabase &db, qint64 discId, const QString &root, DiscContents::TVolume volume,
                              DiscScanner::TCallbacks callbacks)
{
    DiscContents::TWriter writer(db, discId);
    callbacks.Add = [&writer](qint64 parentId, const DiscScanner::TFound &found) {
        return writer.Add(parentId, found.Name, found.Kind, found.Size, found.MTime, found.Unreadable);
    };
    DiscScanner::TResult result = DiscScanner::Scan(root, callbacks);
    if (result.Cancelled)
        return result;
    volume.ScanDate = QDateTime::currentDateTime();
    volume.Files = result.Files;
    volume.Folders = result.Folders;
    volume.Links = result.Links;
    volume.Bytes = result.Bytes;
    volume.Unreadable = result.Unreadable.size();
    writer.Commit(volume);
    return result;
}

} // namespace ContentsScan
