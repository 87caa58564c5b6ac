// Lightening a colour towards white, used for shaded table cells and tinted
// label objects.
#pragma once

#include <QColor>

namespace qb {

// `percent` of the colour's strength is kept and the rest is made up with
// white: 100 (or more) gives the colour itself, 0 (or less) gives white.
// Integer arithmetic, truncating, so (black, 50) is RGB(127, 127, 127).
QColor TintColor(const QColor& color, int percent);

} // namespace qb
