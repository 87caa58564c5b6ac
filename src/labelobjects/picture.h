// Drawing a TKPicture: its natural size and its rendering on screen (any
// QPainter) and on paper (the print surface), for every picture kind.
#pragma once

#include "labelobjects/properties.h"

#include <QRectF>
#include <QSize>

class QPainter;

namespace qb {

class PrintSurface;

// "TBitmap", "TPngImage" and "TJPEGImage": pixel pictures printed as bitmaps.
bool IsBitmapKind(const QString& kind);
bool IsMetafileKind(const QString& kind);

// The picture's own size in screen pixels (empty for no picture or one that
// cannot be drawn).
QSize PictureSize(const TKPicture& picture);

// Draws the picture stretched into `target`; false when there is nothing to
// draw.
bool PaintPicture(QPainter& painter, const TKPicture& picture, const QRectF& target);

// Prints the picture stretched into (x1, y1)-(x2, y2) inches: bitmaps as a
// bitmap, metafiles as a picture; other kinds (icons) and an empty picture
// print nothing. True when something was drawn.
bool PrintPicture(PrintSurface& surface, const TKPicture& picture, double x1, double y1, double x2,
                  double y2);

} // namespace qb
