#include "toolkit/GridTexts.h"

namespace GridTexts {

QString &GroupPanelText()
{
    static QString text;
    return text;
}

} // namespace GridTexts
