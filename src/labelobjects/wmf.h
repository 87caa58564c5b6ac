// Windows metafiles (the 16-bit kind, with or without the "placeable"
// header that clip art carries): reading the header and playing the records
// onto any QPainter, stretched into a target rectangle. Damaged or hostile
// files are read with bounds checks everywhere; playback stops at the first
// record that does not fit in the data and never loops without bound.
#pragma once

#include <QByteArray>
#include <QPicture>
#include <QRectF>
#include <QSize>

class QPainter;

namespace qb {

struct WmfHeader {
    bool placeable = false;
    // The picture's frame in the metafile's logical units: the placeable
    // bounding box, else the first window origin and extent, else the extent
    // of everything the records draw.
    QRectF frame;
    int unitsPerInch = 0; // from the placeable header; 0 when unknown
    int headerBytes = 0;  // where the first record starts
    int objectCount = 0;  // size of the object table the header declares
};

// Reads and checks the headers; false when the data is not a readable
// 16-bit metafile.
bool ReadWmfHeader(const QByteArray& data, WmfHeader* header);

// The picture's natural size in pixels at 96 per inch (an empty size for
// data that is not a readable metafile). Metafiles without a physical size
// take their frame as pixels, at most 2000 on the longer side.
QSize WmfNaturalSize(const QByteArray& data);

// Plays the records stretched into `target` (device coordinates of
// `painter`). The painter's state is restored afterwards. False when the
// header cannot be read (nothing is drawn).
bool PlayWmf(QPainter& painter, const QByteArray& data, const QRectF& target);

// The metafile recorded as a QPicture covering (0, 0) to its natural size,
// with that rectangle as its bounding rectangle; an empty picture for data
// that is not a readable metafile.
QPicture WmfToPicture(const QByteArray& data);

} // namespace qb
