// The label-art pictures: drawings of the stocks the catalogue names in its
// ART field, shown light grey under the objects in the label designer and
// never printed. Each is a black outline on white at 96 pixels to the inch,
// in the proportions of the stock's label.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QStringList>

namespace qb {

// The picture names the program carries ("AV12295" ... "AVWSI15").
QStringList LabelArtNames();
// The label size (inches) a picture shows; empty for an unknown name. The
// name may carry an extension ("AV5196.BMP") and any case.
QSizeF LabelArtSize(const QString& art);
// The picture; a null image for an unknown name.
QImage LabelArtPicture(const QString& art);

} // namespace qb
