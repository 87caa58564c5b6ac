#include "labelobjects/picture.h"

#include "labelobjects/wmf.h"
#include "printing/printsurface.h"

#include <QPainter>

namespace qb {

bool IsBitmapKind(const QString& kind) {
    return kind == QLatin1String("TBitmap") || kind == QLatin1String("TPngImage") ||
           kind == QLatin1String("TJPEGImage");
}

bool IsMetafileKind(const QString& kind) {
    return kind == QLatin1String("TMetafile");
}

QSize PictureSize(const TKPicture& picture) {
    if (picture.IsEmpty())
        return {};
    if (IsMetafileKind(picture.Kind()))
        return WmfNaturalSize(picture.FileData());
    return picture.Image().size();
}

bool PaintPicture(QPainter& painter, const TKPicture& picture, const QRectF& target) {
    if (picture.IsEmpty() || target.isEmpty())
        return false;
    if (IsMetafileKind(picture.Kind()))
        return PlayWmf(painter, picture.FileData(), target);
    if (picture.Image().isNull())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, picture.Image());
    painter.restore();
    return true;
}

bool PrintPicture(PrintSurface& surface, const TKPicture& picture, double x1, double y1, double x2,
                  double y2) {
    if (picture.IsEmpty())
        return false;
    if (IsBitmapKind(picture.Kind())) {
        if (picture.Image().isNull())
            return false;
        surface.DrawBitmapRect(x1, y1, x2, y2, picture.Image());
        return true;
    }
    if (IsMetafileKind(picture.Kind())) {
        const QPicture recorded = WmfToPicture(picture.FileData());
        if (recorded.isNull())
            return false;
        surface.DrawPicture(x1, y1, x2, y2, recorded);
        return true;
    }
    return false;
}

} // namespace qb
