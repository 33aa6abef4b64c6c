#pragma once

#include <QString>

class TDAODatabase;

// The catalog's settings row (TbSetings).
namespace CatalogSettings {

// The catalog's layout version as text; empty when the row is missing.
QString Version(TDAODatabase &db);

} // namespace CatalogSettings
