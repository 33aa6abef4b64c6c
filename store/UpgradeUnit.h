#pragma once

#include <QString>

class TDM;

// Brings a catalog of the older layout ("Build1.00") to the current one when
// it is opened. The whole upgrade is one transaction: it is done completely
// or not at all, and a file it could not upgrade is tried again at the next
// open.
QString GetDbVersion(TDM &dm);
void Upgrade100To101(TDM &dm, const QString &version);
void UpgradeDb(TDM &dm);
