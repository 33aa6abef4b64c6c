#pragma once

#include <QString>

// Texts shared by every data grid of the process.
namespace GridTexts {

// Shown in a grid's grouping panel while no column is grouped.
QString &GroupPanelText();

} // namespace GridTexts
