#include "printing/tintcolor.h"

#include <algorithm>

namespace qb {

QColor TintColor(const QColor& color, int percent) {
    // Named colours and other colour specs are resolved to plain RGB first.
    const QColor rgb = color.isValid() ? color.toRgb() : QColor(Qt::black);
    const int p = std::clamp(percent, 0, 100);
    const int w = 100 - p;
    auto channel = [w](int c) { return c + w * (255 - c) / 100; };
    return QColor(channel(rgb.red()), channel(rgb.green()), channel(rgb.blue()));
}

} // namespace qb
