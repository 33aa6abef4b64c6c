#pragma once

#include <QString>

class TDM;

// Brings a catalog of an older layout ("Build1.00" or "Build1.01") to the
// current one ("Build1.02") when it is opened; a "Build1.00" file goes
// through both steps. The whole upgrade is one transaction: it is done
// completely or not at all, and a file it could not upgrade is tried again
// at the next open. Files of any other version are left alone.
QString GetDbVersion(TDM &dm);
void Upgrade100To101(TDM &dm, const QString &version);
void Upgrade101To102(TDM &dm, const QString &version);
void UpgradeDb(TDM &dm);
// Gives a current catalog the indexes this version looks things up by
// (IndexStatements) when it lacks one, and drops those they replace; a file
// that cannot be written just keeps the ones it has.
void UpdateIndexes(TDM &dm);
