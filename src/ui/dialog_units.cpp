#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>

namespace {

// Average character width in 1/1000 pixel, so that rounding happens once.
int AverageCharWidthMilli(const QFontMetrics& metrics)
{
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int advance = metrics.horizontalAdvance(letters);
    return std::max(1000, advance * 1000 / 52);
}

} // namespace

int DialogUnitsX(const QFontMetrics& metrics, int units)
{
    if (units <= 0)
        return 0;
    const long long pixels = (static_cast<long long>(units) * AverageCharWidthMilli(metrics) + 2000) / 4000;
    return std::max(1, static_cast<int>(pixels));
}

int DialogUnitsY(const QFontMetrics& metrics, int units)
{
    if (units <= 0)
        return 0;
    const int height = std::max(1, metrics.height());
    return std::max(1, (units * height + 4) / 8);
}
