// The page file: pages recorded as a list of drawing operations in inches,
// measured from the sheet's top-left corner. The preview shows it, the printer
// and PDF output replay it, and tests read it back operation by operation.
// One playback routine (PlayPage) draws a page on any QPainter.
#pragma once

#include <QColor>
#include <QImage>
#include <QPicture>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;
class QPainter;

namespace qb {

enum class PenStyle : quint8 { Solid, Dash, Dot, DashDot, DashDotDot, Clear, InsideFrame };
enum class BrushStyle : quint8 {
    Solid,
    Clear,
    Horizontal,
    Vertical,
    FDiagonal,
    BDiagonal,
    Cross,
    DiagCross
};

struct PageFont {
    QString family = QStringLiteral("Arial");
    double points = 10.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    double angle = 0.0; // degrees, counter-clockwise
    QColor color = Qt::black;
};

struct PagePen {
    QColor color = Qt::black;
    PenStyle style = PenStyle::Solid;
    double width = 0.0; // inches; 0 draws the thinnest line the device has
};

struct PageBrush {
    QColor color = Qt::white;
    BrushStyle style = BrushStyle::Solid;
    QImage pattern; // tiled instead of the colour when not null
};

// One recorded drawing operation. Coordinates are inches from the sheet's
// top-left corner; which fields matter depends on the kind.
struct PageOp {
    enum Kind : quint8 {
        Text,        // text at (x1, y1) = start of the baseline, in font
        ClippedText, // text at (x1, y1) baseline, clipped to clip; fill when hasFill
        Line,        // (x1, y1) to (x2, y2) with pen
        Rectangle,   // (x1, y1)-(x2, y2) outlined with pen, filled with brush
        Ellipse,
        RoundRect, // plus corner size (rx, ry)
        FillRect,  // (x1, y1)-(x2, y2) filled with fill, no outline
        Image,     // image stretched into (x1, y1)-(x2, y2)
        Picture    // picture stretched into (x1, y1)-(x2, y2)
    };
    Kind kind = Text;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double rx = 0, ry = 0;
    QString text;
    PageFont font;
    QRectF clip;
    bool hasFill = false;
    QColor fill;
    PagePen pen;
    PageBrush brush;
    QImage image;
    QPicture picture;
};

struct RecordedPage {
    int number = 0;          // page number within the job
    double paperWidth = 8.5; // inches, as composed (orientation applied)
    double paperHeight = 11.0;
    std::vector<PageOp> ops;
};

// How inches become device pixels: the device's resolution and the offset of
// its printable area from the sheet's corner. Positions are rounded to the
// nearest pixel, halves to even.
struct DeviceMapping {
    double dpiX = 96.0;
    double dpiY = 96.0;
    double offsetLeft = 0.0; // inches the device cannot reach on the left
    double offsetTop = 0.0;
    int x(double inches) const;
    int y(double inches) const;
};

// Draws one recorded page on `painter`, whose device coordinates are pixels
// of `mapping`. The caller paints the paper itself (white for a preview).
void PlayPage(QPainter& painter, const RecordedPage& page, const DeviceMapping& mapping);

// The recorded pages of one job. Pages are appended as they are completed and
// kept serialized: in memory up to `memoryLimit` bytes, then in a temporary
// file, so a long job does not grow the program's memory.
class PageFile {
public:
    explicit PageFile(qint64 memoryLimit = 8 * 1024 * 1024);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    void Clear();
    void AddPage(const RecordedPage& page);
    int PageCount() const { return static_cast<int>(offsets_.size()); }
    // Reads page `index` (0-based) back; throws std::out_of_range for a bad index.
    RecordedPage Page(int index) const;
    qint64 ByteSize() const;
    bool OnDisk() const { return onDisk_; }

    // Replays every page into a PDF file, each page on its own paper size.
    // Returns false (with a reason in `error`) when the file cannot be written.
    bool WriteToPdf(const QString& path, QString* error = nullptr) const;

private:
    void moveToDisk();

    qint64 memoryLimit_;
    std::unique_ptr<QIODevice> device_;
    std::vector<qint64> offsets_;
    bool onDisk_ = false;
};

} // namespace qb
