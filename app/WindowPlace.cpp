#include "app/WindowPlace.h"

#include <QStringList>

#include <algorithm>

QString TWindowPlace::ToText() const
{
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(Normal.x())
        .arg(Normal.y())
        .arg(Normal.width())
        .arg(Normal.height())
        .arg(Maximized ? 1 : 0);
}

std::optional<TWindowPlace> TWindowPlace::FromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 5)
        return std::nullopt;
    int values[5] = {};
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    const bool maximized = values[4] == 1;
    if (values[4] != 0 && !maximized)
        return std::nullopt;
    // Sizes beyond any screen are no place a window was in.
    constexpr int Largest = 100000;
    if (values[2] < 0 || values[3] < 0 || values[2] > Largest || values[3] > Largest)
        return std::nullopt;
    const QRect normal(values[0], values[1], values[2], values[3]);
    if (normal.isEmpty() && !maximized)
        return std::nullopt;
    return TWindowPlace{normal, maximized};
}

bool OnScreens(const QRect &frame, const QList<QRect> &screens)
{
    if (frame.isEmpty())
        return false;
    const auto onAScreen = [&](const QPoint &point) {
        return std::any_of(screens.cbegin(), screens.cend(),
                           [&](const QRect &screen) { return screen.contains(point); });
    };
    return onAScreen(QPoint(frame.center().x(), frame.top())) && onAScreen(frame.center());
}
