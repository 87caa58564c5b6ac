#include "printing/pagefile.h"

#include <QBuffer>
#include <QDataStream>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qb {

// ---- device mapping --------------------------------------------------------

namespace {
// std::nearbyint rounds halves to even in the default rounding mode.
int roundToPixel(double v) {
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

int DeviceMapping::x(double inches) const {
    return roundToPixel((inches - offsetLeft) * dpiX);
}
int DeviceMapping::y(double inches) const {
    return roundToPixel((inches - offsetTop) * dpiY);
}

// ---- playback --------------------------------------------------------------

namespace {

QPen makePen(const PagePen& p, const DeviceMapping& m) {
    if (p.style == PenStyle::Clear)
        return QPen(Qt::NoPen);
    QPen pen(p.color);
    // Width 0 is the device's thinnest line; any other width is at least a pixel.
    const double px = p.width <= 0 ? 0.0 : std::max(1.0, std::nearbyint(p.width * m.dpiX));
    pen.setWidthF(px);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    switch (p.style) {
    case PenStyle::Dash:
        pen.setStyle(Qt::DashLine);
        break;
    case PenStyle::Dot:
        pen.setStyle(Qt::DotLine);
        break;
    case PenStyle::DashDot:
        pen.setStyle(Qt::DashDotLine);
        break;
    case PenStyle::DashDotDot:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    return pen;
}

QBrush makeBrush(const PageBrush& b) {
    if (!b.pattern.isNull())
        return QBrush(b.pattern);
    switch (b.style) {
    case BrushStyle::Clear:
        return QBrush(Qt::NoBrush);
    case BrushStyle::Horizontal:
        return QBrush(b.color, Qt::HorPattern);
    case BrushStyle::Vertical:
        return QBrush(b.color, Qt::VerPattern);
    case BrushStyle::FDiagonal:
        return QBrush(b.color, Qt::FDiagPattern);
    case BrushStyle::BDiagonal:
        return QBrush(b.color, Qt::BDiagPattern);
    case BrushStyle::Cross:
        return QBrush(b.color, Qt::CrossPattern);
    case BrushStyle::DiagCross:
        return QBrush(b.color, Qt::DiagCrossPattern);
    default:
        return QBrush(b.color);
    }
}

QFont makeFont(const PageFont& f, const DeviceMapping& m, const QPaintDevice* device) {
    QFont font(f.family);
    // Point sizes are given for the mapping's resolution; the painter's font
    // engine works at the device's logical resolution.
    const int logical = device ? device->logicalDpiY() : 72;
    font.setPointSizeF(std::max(0.1, f.points * m.dpiY / (logical > 0 ? logical : 72)));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeout);
    return font;
}

QRectF mapRect(double x1, double y1, double x2, double y2, const DeviceMapping& m) {
    return QRectF(QPointF(m.x(x1), m.y(y1)), QPointF(m.x(x2), m.y(y2))).normalized();
}

// An "inside frame" outline keeps the whole stroke within the rectangle.
QRectF shapeRect(const PageOp& op, const QPen& pen, const DeviceMapping& m) {
    QRectF r = mapRect(op.x1, op.y1, op.x2, op.y2, m);
    if (op.pen.style == PenStyle::InsideFrame && pen.widthF() > 1) {
        const double h = pen.widthF() / 2;
        r.adjust(h, h, -h, -h);
    }
    return r;
}

void drawText(QPainter& painter, const PageOp& op, const DeviceMapping& m) {
    painter.setFont(makeFont(op.font, m, painter.device()));
    painter.setPen(op.font.color);
    const QPointF at(m.x(op.x1), m.y(op.y1));
    if (op.font.angle != 0.0) {
        painter.save();
        painter.translate(at);
        painter.rotate(-op.font.angle);
        painter.drawText(QPointF(0, 0), op.text);
        painter.restore();
    } else {
        painter.drawText(at, op.text);
    }
}

} // namespace

void PlayPage(QPainter& painter, const RecordedPage& page, const DeviceMapping& m) {
    painter.save();
    // Straight lines and rectangles stay on whole pixels, as on a printer;
    // only curved outlines are smoothed.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const PageOp& op : page.ops) {
        switch (op.kind) {
        case PageOp::Text:
            drawText(painter, op, m);
            break;
        case PageOp::ClippedText: {
            painter.save();
            const QRectF clip =
                mapRect(op.clip.left(), op.clip.top(), op.clip.right(), op.clip.bottom(), m);
            if (op.hasFill)
                painter.fillRect(clip, op.fill);
            painter.setClipRect(clip, Qt::IntersectClip);
            drawText(painter, op, m);
            painter.restore();
            break;
        }
        case PageOp::Line:
            painter.setPen(makePen(op.pen, m));
            painter.drawLine(QPointF(m.x(op.x1), m.y(op.y1)), QPointF(m.x(op.x2), m.y(op.y2)));
            break;
        case PageOp::Rectangle:
        case PageOp::Ellipse:
        case PageOp::RoundRect: {
            const QPen pen = makePen(op.pen, m);
            painter.setPen(pen);
            painter.setBrush(makeBrush(op.brush));
            const QRectF r = shapeRect(op, pen, m);
            painter.setRenderHint(QPainter::Antialiasing, op.kind != PageOp::Rectangle);
            if (op.kind == PageOp::Rectangle)
                painter.drawRect(r);
            else if (op.kind == PageOp::Ellipse)
                painter.drawEllipse(r);
            else
                painter.drawRoundedRect(r, op.rx * m.dpiX / 2, op.ry * m.dpiY / 2);
            painter.setBrush(Qt::NoBrush);
            painter.setRenderHint(QPainter::Antialiasing, false);
            break;
        }
        case PageOp::FillRect:
            painter.fillRect(mapRect(op.x1, op.y1, op.x2, op.y2, m), op.fill);
            break;
        case PageOp::Image:
            if (!op.image.isNull())
                painter.drawImage(mapRect(op.x1, op.y1, op.x2, op.y2, m), op.image);
            break;
        case PageOp::Picture: {
            const QRect bounds = op.picture.boundingRect();
            if (bounds.isEmpty())
                break;
            const QRectF target = mapRect(op.x1, op.y1, op.x2, op.y2, m);
            painter.save();
            painter.translate(target.topLeft());
            painter.scale(target.width() / bounds.width(), target.height() / bounds.height());
            // Playing a picture scales it by the device's resolution over the
            // picture's; the target already is in device pixels.
            if (const QPaintDevice* device = painter.device())
                painter.scale(double(op.picture.logicalDpiX()) / device->logicalDpiX(),
                              double(op.picture.logicalDpiY()) / device->logicalDpiY());
            painter.drawPicture(-bounds.topLeft(), op.picture);
            painter.restore();
            break;
        }
        }
    }
    painter.restore();
}

// ---- serialization ---------------------------------------------------------

namespace {

constexpr quint32 kPageMagic = 0x51425047; // marks the start of every page record

void writeFont(QDataStream& s, const PageFont& f) {
    s << f.family << f.points << f.bold << f.italic << f.underline << f.strikeout << f.angle
      << f.color;
}
void readFont(QDataStream& s, PageFont& f) {
    s >> f.family >> f.points >> f.bold >> f.italic >> f.underline >> f.strikeout >> f.angle >>
        f.color;
}
void writePen(QDataStream& s, const PagePen& p) {
    s << p.color << static_cast<quint8>(p.style) << p.width;
}
void readPen(QDataStream& s, PagePen& p) {
    quint8 style = 0;
    s >> p.color >> style >> p.width;
    p.style = static_cast<PenStyle>(style);
}
void writeBrush(QDataStream& s, const PageBrush& b) {
    s << b.color << static_cast<quint8>(b.style) << !b.pattern.isNull();
    if (!b.pattern.isNull())
        s << b.pattern;
}
void readBrush(QDataStream& s, PageBrush& b) {
    quint8 style = 0;
    bool hasPattern = false;
    s >> b.color >> style >> hasPattern;
    b.style = static_cast<BrushStyle>(style);
    if (hasPattern)
        s >> b.pattern;
}

void writeOp(QDataStream& s, const PageOp& op) {
    s << static_cast<quint8>(op.kind) << op.x1 << op.y1;
    switch (op.kind) {
    case PageOp::Text:
        s << op.text;
        writeFont(s, op.font);
        break;
    case PageOp::ClippedText:
        s << op.text << op.clip << op.hasFill << op.fill;
        writeFont(s, op.font);
        break;
    case PageOp::Line:
        s << op.x2 << op.y2;
        writePen(s, op.pen);
        break;
    case PageOp::Rectangle:
    case PageOp::Ellipse:
    case PageOp::RoundRect:
        s << op.x2 << op.y2 << op.rx << op.ry;
        writePen(s, op.pen);
        writeBrush(s, op.brush);
        break;
    case PageOp::FillRect:
        s << op.x2 << op.y2 << op.fill;
        break;
    case PageOp::Image:
        s << op.x2 << op.y2 << op.image;
        break;
    case PageOp::Picture:
        s << op.x2 << op.y2 << op.picture;
        break;
    }
}

void readOp(QDataStream& s, PageOp& op) {
    quint8 kind = 0;
    s >> kind >> op.x1 >> op.y1;
    op.kind = static_cast<PageOp::Kind>(kind);
    switch (op.kind) {
    case PageOp::Text:
        s >> op.text;
        readFont(s, op.font);
        break;
    case PageOp::ClippedText:
        s >> op.text >> op.clip >> op.hasFill >> op.fill;
        readFont(s, op.font);
        break;
    case PageOp::Line:
        s >> op.x2 >> op.y2;
        readPen(s, op.pen);
        break;
    case PageOp::Rectangle:
    case PageOp::Ellipse:
    case PageOp::RoundRect:
        s >> op.x2 >> op.y2 >> op.rx >> op.ry;
        readPen(s, op.pen);
        readBrush(s, op.brush);
        break;
    case PageOp::FillRect:
        s >> op.x2 >> op.y2 >> op.fill;
        break;
    case PageOp::Image:
        s >> op.x2 >> op.y2 >> op.image;
        break;
    case PageOp::Picture:
        s >> op.x2 >> op.y2 >> op.picture;
        break;
    default:
        s.setStatus(QDataStream::ReadCorruptData);
        break;
    }
}

void prepare(QDataStream& s) {
    s.setVersion(QDataStream::Qt_6_4);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

} // namespace

PageFile::PageFile(qint64 memoryLimit) : memoryLimit_(memoryLimit) {
    Clear();
}

PageFile::~PageFile() = default;

void PageFile::Clear() {
    auto buffer = std::make_unique<QBuffer>();
    buffer->open(QIODevice::ReadWrite);
    device_ = std::move(buffer);
    offsets_.clear();
    onDisk_ = false;
}

qint64 PageFile::ByteSize() const {
    return device_->size();
}

void PageFile::moveToDisk() {
    auto file = std::make_unique<QTemporaryFile>();
    if (!file->open())
        return; // no temporary space: keep the pages in memory rather than lose them
    auto* buffer = static_cast<QBuffer*>(device_.get());
    if (file->write(buffer->data()) != buffer->size())
        return;
    device_ = std::move(file);
    onDisk_ = true;
}

void PageFile::AddPage(const RecordedPage& page) {
    // Each page is serialized on its own and compressed: pages of a long job
    // repeat the same fonts, pens and shapes, so they shrink several times.
    QByteArray raw;
    {
        QDataStream s(&raw, QIODevice::WriteOnly);
        prepare(s);
        s << qint32(page.number) << page.paperWidth << page.paperHeight << quint32(page.ops.size());
        for (const PageOp& op : page.ops)
            writeOp(s, op);
    }
    const QByteArray packed = qCompress(raw, 1);
    device_->seek(device_->size());
    const qint64 offset = device_->pos();
    QDataStream s(device_.get());
    prepare(s);
    s << kPageMagic << packed;
    if (s.status() != QDataStream::Ok)
        throw std::runtime_error("The page file could not be written.");
    offsets_.push_back(offset);
    if (!onDisk_ && memoryLimit_ >= 0 && device_->size() > memoryLimit_)
        moveToDisk();
}

RecordedPage PageFile::Page(int index) const {
    if (index < 0 || index >= PageCount())
        throw std::out_of_range("page index out of range");
    device_->seek(offsets_[static_cast<size_t>(index)]);
    QDataStream in(device_.get());
    prepare(in);
    quint32 magic = 0;
    QByteArray packed;
    in >> magic >> packed;
    const QByteArray raw = magic == kPageMagic ? qUncompress(packed) : QByteArray();
    if (raw.isEmpty())
        throw std::runtime_error("The page file is damaged.");
    QDataStream s(raw);
    prepare(s);
    RecordedPage page;
    quint32 count = 0;
    qint32 number = 0;
    s >> number >> page.paperWidth >> page.paperHeight >> count;
    if (s.status() != QDataStream::Ok || count > quint32(raw.size()))
        throw std::runtime_error("The page file is damaged.");
    page.number = number;
    page.ops.resize(count);
    for (PageOp& op : page.ops) {
        readOp(s, op);
        if (s.status() != QDataStream::Ok)
            throw std::runtime_error("The page file is damaged.");
    }
    return page;
}

bool PageFile::WriteToPdf(const QString& path, QString* error) const {
    if (PageCount() == 0) {
        if (error)
            *error = QStringLiteral("There are no pages to write.");
        return false;
    }
    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("Quillbury"));
    RecordedPage page = Page(0);
    auto applySize = [&](const RecordedPage& p) {
        writer.setPageSize(QPageSize(QSizeF(p.paperWidth, p.paperHeight), QPageSize::Inch,
                                     QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    };
    applySize(page);
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QStringLiteral("Unable to write %1").arg(path);
        return false;
    }
    const DeviceMapping mapping{double(writer.resolution()), double(writer.resolution()), 0, 0};
    for (int i = 0; i < PageCount(); ++i) {
        if (i > 0) {
            page = Page(i);
            applySize(page);
            writer.newPage();
        }
        PlayPage(painter, page, mapping);
    }
    painter.end();
    return true;
}

} // namespace qb
