#include "labelobjects/wmf.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qb {

namespace {

// Record functions.
enum : uint16_t {
    kEof = 0x0000,
    kSaveDC = 0x001E,
    kRealizePalette = 0x0035,
    kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kSetStretchBltMode = 0x0107,
    kRestoreDC = 0x0127,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kOffsetWindowOrg = 0x020F,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// Raster operations of the block transfers.
enum : uint32_t {
    kSrcCopy = 0x00CC0020,
    kSrcPaint = 0x00EE0086,
    kSrcAnd = 0x008800C6,
    kSrcInvert = 0x00660046,
    kNotSrcCopy = 0x00330008,
    kDstInvert = 0x00550009,
    kPatCopy = 0x00F00021,
    kPatInvert = 0x005A0049,
    kBlackness = 0x00000042,
    kWhiteness = 0x00FF0062,
    kNoOp = 0x00AA0029,
};

constexpr int kMaxRecords = 1000000;
constexpr int kMaxObjects = 65535;
constexpr int kMaxSavedStates = 256;
constexpr qint64 kMaxBitmapPixels = 32LL * 1024 * 1024;

uint16_t U16(const uchar* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t U32(const uchar* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The parameters of one record; reading past them gives zeros.
class Params {
public:
    Params(const uchar* p, qsizetype n) : p_(p), n_(n) {}
    qsizetype Size() const { return n_; }
    int Words() const { return int(n_ / 2); }
    int16_t S(int word) const { return int16_t(W(word)); }
    uint16_t W(int word) const {
        const qsizetype at = qsizetype(word) * 2;
        return word >= 0 && at + 2 <= n_ ? U16(p_ + at) : 0;
    }
    uint32_t D(int word) const { return uint32_t(W(word)) | (uint32_t(W(word + 1)) << 16); }
    uint8_t B(qsizetype at) const { return at >= 0 && at < n_ ? p_[at] : 0; }
    // Bytes from a byte offset to the end (empty when out of range).
    const uchar* From(qsizetype at) const { return at <= n_ ? p_ + at : p_ + n_; }
    qsizetype Left(qsizetype at) const { return at <= n_ ? n_ - at : 0; }

private:
    const uchar* p_;
    qsizetype n_;
};

// Text in metafiles is Windows ANSI (code page 1252): Latin-1 except for
// the printable characters at 0x80-0x9F.
QString FromCodePage1252(const QByteArray& bytes) {
    static const char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = uchar(ch);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return out;
}

QColor ColorRef(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// A device-independent bitmap (header, colours, bits) as an image, through
// the BMP reader; null for anything malformed or too large.
QImage DecodeDib(const uchar* p, qsizetype n) {
    if (n < 12)
        return {};
    const uint32_t headerSize = U32(p);
    qint64 width = 0, height = 0;
    int bpp = 0;
    uint32_t compression = 0, used = 0;
    int entry = 4;
    if (headerSize == 12) {
        width = U16(p + 4);
        height = int16_t(U16(p + 6));
        bpp = U16(p + 10);
        entry = 3;
    } else if (headerSize >= 40 && headerSize <= 124 && n >= qsizetype(headerSize)) {
        width = int32_t(U32(p + 4));
        height = int32_t(U32(p + 8));
        bpp = U16(p + 14);
        compression = U32(p + 16);
        used = U32(p + 32);
    } else {
        return {};
    }
    if (width <= 0 || height == 0 || width * std::llabs(height) > kMaxBitmapPixels)
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    qint64 colors = 0;
    if (bpp <= 8)
        colors = used ? std::min<qint64>(used, qint64(1) << bpp) : (qint64(1) << bpp);
    else
        colors = std::min<qint64>(used, 256);
    qint64 masks = (headerSize == 40 && compression == 3) ? 12 : 0;
    const qint64 bitsAt = qint64(headerSize) + colors * entry + masks;
    if (bitsAt > n)
        return {};
    if (compression == 0) {
        const qint64 stride = ((width * bpp + 31) / 32) * 4;
        if (stride * std::llabs(height) > n - bitsAt)
            return {};
    }
    QByteArray file;
    file.reserve(qsizetype(14 + n));
    const uint32_t total = uint32_t(14 + n);
    const uint32_t offBits = uint32_t(14 + bitsAt);
    const uchar fh[14] = {'B',
                          'M',
                          uchar(total),
                          uchar(total >> 8),
                          uchar(total >> 16),
                          uchar(total >> 24),
                          0,
                          0,
                          0,
                          0,
                          uchar(offBits),
                          uchar(offBits >> 8),
                          uchar(offBits >> 16),
                          uchar(offBits >> 24)};
    file.append(reinterpret_cast<const char*>(fh), 14);
    file.append(reinterpret_cast<const char*>(p), n);
    return QImage::fromData(file, "BMP");
}

// An old device-dependent bitmap (type, width, height, row bytes, planes,
// bits per pixel, bits); one and 24/32 bits per pixel are understood.
QImage DecodeBitmap16(const uchar* p, qsizetype n, const QColor& fore, const QColor& back) {
    if (n < 10)
        return {};
    const int width = int16_t(U16(p + 2));
    const int height = int16_t(U16(p + 4));
    const int rowBytes = int16_t(U16(p + 6));
    const int planes = p[8];
    const int bpp = p[9];
    if (width <= 0 || height <= 0 || rowBytes <= 0 || planes != 1)
        return {};
    if (qint64(width) * height > kMaxBitmapPixels)
        return {};
    if ((bpp != 1 && bpp != 24 && bpp != 32) || qint64(rowBytes) * 8 < qint64(width) * bpp)
        return {};
    const uchar* bits = p + 10;
    if (qint64(rowBytes) * height > n - 10)
        return {};
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uchar* row = bits + qint64(y) * rowBytes;
        auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bpp == 1) {
                const bool set = row[x / 8] & (0x80 >> (x % 8));
                // Monochrome to colour: clear bits take the text colour, set
                // bits the background colour.
                out[x] = set ? back.rgb() : fore.rgb();
            } else {
                const uchar* px = row + x * (bpp / 8);
                out[x] = qRgb(px[2], px[1], px[0]);
            }
        }
    }
    return img;
}

struct WPen {
    int style = 0; // PS_*
    double width = 0;
    QColor color = Qt::black;
};
struct WBrush {
    int style = 0; // BS_*: 0 solid, 1 null, 2 hatched, 3/5 pattern
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;
};
struct WFont {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    QString face;
};
struct WObject {
    enum Kind { Free, Pen, Brush, Font, Other } kind = Free;
    WPen pen;
    WBrush brush;
    WFont font;
};

struct DcState {
    WPen pen;
    WBrush brush;
    WFont font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = 2;      // opaque
    int polyFill = 1;    // alternate
    int stretchMode = 1; // drops pixels; 4 (halftone) smooths
    int rop2 = 13;       // copy pen
    int textAlign = 0;
    int mapMode = 1;
    QPointF winOrg{0, 0};
    QPointF winExt{1, 1};
    QPointF cur{0, 0};
    QPainterPath clip; // device coordinates; empty path = base clip only
    bool clipped = false;
};

class Player {
public:
    Player(QPainter& painter, const QByteArray& data, const WmfHeader& header, const QRectF& target)
        : p_(painter), data_(data), header_(header), target_(target) {
        dc_.winOrg = header.frame.topLeft();
        dc_.winExt = QPointF(header.frame.width(), header.frame.height());
        objects_.resize(size_t(std::clamp(header.objectCount, 0, kMaxObjects)));
        rasterOps_ = p_.paintEngine() && p_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    }

    void Run() {
        p_.save();
        p_.setRenderHint(QPainter::Antialiasing, true);
        p_.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p_.setClipRect(target_, Qt::IntersectClip);
        const auto* base = reinterpret_cast<const uchar*>(data_.constData());
        const qsizetype n = data_.size();
        qsizetype pos = header_.headerBytes;
        for (int count = 0; count < kMaxRecords && pos + 6 <= n; ++count) {
            const uint32_t words = U32(base + pos);
            const uint16_t function = U16(base + pos + 4);
            if (function == kEof || words < 3 || qint64(words) * 2 > n - pos)
                break;
            Record(function, Params(base + pos + 6, qsizetype(words) * 2 - 6));
            pos += qsizetype(words) * 2;
        }
        p_.restore();
    }

private:
    // ---- coordinates ----------------------------------------------------------
    double Sx() const {
        const double ex = dc_.winExt.x() == 0 ? 1 : dc_.winExt.x();
        double s = target_.width() / ex;
        if (dc_.mapMode == 7)
            s = std::copysign(std::min(std::abs(s), std::abs(SyRaw())), s);
        return s;
    }
    double SyRaw() const {
        const double ey = dc_.winExt.y() == 0 ? 1 : dc_.winExt.y();
        return target_.height() / ey;
    }
    double Sy() const {
        double s = SyRaw();
        if (dc_.mapMode == 7) {
            const double ex = dc_.winExt.x() == 0 ? 1 : dc_.winExt.x();
            s = std::copysign(std::min(std::abs(s), std::abs(target_.width() / ex)), s);
        }
        return s;
    }
    QPointF Map(double x, double y) const {
        return QPointF(target_.left() + (x - dc_.winOrg.x()) * Sx(),
                       target_.top() + (y - dc_.winOrg.y()) * Sy());
    }
    QRectF MapRect(int l, int t, int r, int b) const {
        return QRectF(Map(l, t), Map(r, b)).normalized();
    }
    double Limit() const { return 2 * (target_.width() + target_.height()) + 16; }

    // ---- painter state ----------------------------------------------------------
    // Sets pen and brush for a figure; false when nothing would be drawn.
    bool Prepare(bool outline, bool fill) {
        QPen pen(Qt::NoPen);
        const int rop = dc_.rop2;
        if (outline && dc_.pen.style != 5 && rop != 11) {
            QColor c = dc_.pen.color;
            if (rop == 1)
                c = Qt::black;
            else if (rop == 16)
                c = Qt::white;
            else if (rop == 4)
                c = QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
            const double w = std::min(dc_.pen.width * std::abs(Sx()), Limit());
            pen = QPen(c, w < 1e-9 ? 0.0 : w);
            static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                                  Qt::DashDotLine, Qt::DashDotDotLine};
            const int s = dc_.pen.style & 0x0F;
            pen.setStyle(s < 5 ? styles[s] : Qt::SolidLine);
            const int cap = dc_.pen.style & 0x0F00;
            pen.setCapStyle(cap == 0x100   ? Qt::SquareCap
                            : cap == 0x200 ? Qt::FlatCap
                                           : Qt::RoundCap);
            const int join = dc_.pen.style & 0xF000;
            pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                             : join == 0x2000 ? Qt::MiterJoin
                                              : Qt::RoundJoin);
        }
        QBrush brush(Qt::NoBrush);
        if (fill && dc_.brush.style != 1 && rop != 11)
            brush = MakeBrush(dc_.brush);
        p_.setPen(pen);
        p_.setBrush(brush);
        p_.setBackgroundMode(dc_.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
        p_.setBackground(dc_.bkColor);
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
        if (rasterOps_ && rop == 7)
            mode = QPainter::RasterOp_SourceXorDestination;
        else if (rasterOps_ && rop == 6)
            mode = QPainter::RasterOp_NotDestination;
        p_.setCompositionMode(mode);
        return pen.style() != Qt::NoPen || brush.style() != Qt::NoBrush;
    }

    QBrush MakeBrush(const WBrush& b) const {
        QColor c = b.color;
        if (dc_.rop2 == 1)
            c = Qt::black;
        else if (dc_.rop2 == 16)
            c = Qt::white;
        switch (b.style) {
        case 0:
            return QBrush(c);
        case 2: {
            static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
            return QBrush(c, b.hatch >= 0 && b.hatch < 6 ? hatches[b.hatch] : Qt::SolidPattern);
        }
        case 3:
        case 5:
            if (!b.pattern.isNull())
                return QBrush(b.pattern);
            return QBrush(c);
        default:
            return QBrush(Qt::NoBrush);
        }
    }

    void ApplyClip() {
        p_.setClipRect(target_, Qt::ReplaceClip);
        if (dc_.clipped)
            p_.setClipPath(dc_.clip, Qt::IntersectClip);
    }

    // ---- objects ----------------------------------------------------------------
    void AddObject(const WObject& o) {
        for (auto& slot : objects_) {
            if (slot.kind == WObject::Free) {
                slot = o;
                return;
            }
        }
        if (objects_.size() < size_t(kMaxObjects))
            objects_.push_back(o);
    }

    WObject* ObjectAt(int index) {
        if (index < 0 || size_t(index) >= objects_.size() ||
            objects_[size_t(index)].kind == WObject::Free)
            return nullptr;
        return &objects_[size_t(index)];
    }

    // ---- records ----------------------------------------------------------------
    void Record(uint16_t function, const Params& a) {
        switch (function) {
        case kSaveDC:
            if (saved_.size() < size_t(kMaxSavedStates))
                saved_.push_back(dc_);
            break;
        case kRestoreDC: {
            int which = a.S(0);
            if (saved_.empty())
                break;
            // Negative: relative to the top; positive: the absolute level.
            size_t keep = which < 0
                              ? (size_t(-which) > saved_.size() ? saved_.size()
                                                                : saved_.size() - size_t(-which))
                              : (which >= 1 && size_t(which) <= saved_.size() ? size_t(which) - 1
                                                                              : saved_.size());
            if (which == 0 || keep >= saved_.size())
                break;
            dc_ = saved_[keep];
            saved_.resize(keep);
            ApplyClip();
            break;
        }
        case kSetBkMode:
            dc_.bkMode = a.W(0);
            break;
        case kSetMapMode:
            dc_.mapMode = a.W(0);
            break;
        case kSetRop2:
            dc_.rop2 = a.W(0);
            break;
        case kSetPolyFillMode:
            dc_.polyFill = a.W(0);
            break;
        case kSetStretchBltMode:
            dc_.stretchMode = a.W(0);
            break;
        case kSetTextAlign:
            dc_.textAlign = a.W(0);
            break;
        case kSetBkColor:
            dc_.bkColor = ColorRef(a.D(0));
            break;
        case kSetTextColor:
            dc_.textColor = ColorRef(a.D(0));
            break;
        case kSetWindowOrg:
            dc_.winOrg = QPointF(a.S(1), a.S(0));
            break;
        case kSetWindowExt:
            if (a.S(0) != 0 && a.S(1) != 0)
                dc_.winExt = QPointF(a.S(1), a.S(0));
            break;
        case kOffsetWindowOrg:
            dc_.winOrg += QPointF(a.S(1), a.S(0));
            break;
        case kScaleWindowExt: {
            const int yDen = a.S(0), yNum = a.S(1), xDen = a.S(2), xNum = a.S(3);
            if (xDen && yDen && xNum && yNum)
                dc_.winExt = QPointF(dc_.winExt.x() * xNum / xDen, dc_.winExt.y() * yNum / yDen);
            break;
        }
        case kMoveTo:
            dc_.cur = QPointF(a.S(1), a.S(0));
            break;
        case kLineTo: {
            const QPointF to(a.S(1), a.S(0));
            if (Prepare(true, false))
                p_.drawLine(Map(dc_.cur.x(), dc_.cur.y()), Map(to.x(), to.y()));
            dc_.cur = to;
            break;
        }
        case kPolyline:
        case kPolygon: {
            const int count = a.S(0);
            if (count <= 0 || 1 + 2 * count > a.Words())
                break;
            QPolygonF poly;
            poly.reserve(count);
            for (int i = 0; i < count; ++i)
                poly << Map(a.S(1 + 2 * i), a.S(2 + 2 * i));
            if (function == kPolyline) {
                if (Prepare(true, false))
                    p_.drawPolyline(poly);
            } else if (Prepare(true, true)) {
                p_.drawPolygon(poly, dc_.polyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
            }
            break;
        }
        case kPolyPolygon: {
            const int polys = a.S(0);
            if (polys <= 0 || 1 + polys > a.Words())
                break;
            QPainterPath path;
            path.setFillRule(dc_.polyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
            int at = 1 + polys;
            for (int i = 0; i < polys; ++i) {
                const int count = a.S(1 + i);
                if (count <= 0 || at + 2 * count > a.Words())
                    return;
                QPolygonF poly;
                for (int k = 0; k < count; ++k)
                    poly << Map(a.S(at + 2 * k), a.S(at + 2 * k + 1));
                at += 2 * count;
                path.addPolygon(poly);
                path.closeSubpath();
            }
            if (Prepare(true, true))
                p_.drawPath(path);
            break;
        }
        case kRectangle:
            if (Prepare(true, true))
                p_.drawRect(MapRect(a.S(3), a.S(2), a.S(1), a.S(0)));
            break;
        case kEllipse:
            if (Prepare(true, true))
                p_.drawEllipse(MapRect(a.S(3), a.S(2), a.S(1), a.S(0)));
            break;
        case kRoundRect: {
            const QRectF r = MapRect(a.S(5), a.S(4), a.S(3), a.S(2));
            const double rw = std::min(std::abs(a.S(1) * Sx()) / 2, r.width() / 2);
            const double rh = std::min(std::abs(a.S(0) * Sy()) / 2, r.height() / 2);
            if (Prepare(true, true))
                p_.drawRoundedRect(r, rw, rh);
            break;
        }
        case kArc:
        case kPie:
        case kChord:
            ArcRecord(function, a);
            break;
        case kSetPixel: {
            const QPointF pt = Map(a.S(3), a.S(2));
            p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p_.fillRect(
                QRectF(pt, QSizeF(std::max(1.0, std::abs(Sx())), std::max(1.0, std::abs(Sy())))),
                ColorRef(a.D(0)));
            break;
        }
        case kCreatePenIndirect: {
            WObject o;
            o.kind = WObject::Pen;
            o.pen.style = a.W(0);
            o.pen.width = a.S(1) < 0 ? 0 : a.S(1);
            o.pen.color = ColorRef(a.D(3));
            AddObject(o);
            break;
        }
        case kCreateBrushIndirect: {
            WObject o;
            o.kind = WObject::Brush;
            o.brush.style = a.W(0);
            o.brush.color = ColorRef(a.D(1));
            o.brush.hatch = a.W(3);
            AddObject(o);
            break;
        }
        case kDibCreatePatternBrush: {
            WObject o;
            o.kind = WObject::Brush;
            o.brush.style = 5;
            o.brush.color = Qt::gray;
            o.brush.pattern = DecodeDib(a.From(4), a.Left(4));
            AddObject(o);
            break;
        }
        case kCreatePatternBrush: {
            WObject o;
            o.kind = WObject::Brush;
            o.brush.style = 3;
            o.brush.color = Qt::gray;
            // A bitmap header of 14 bytes and 18 unused bytes precede the bits.
            if (a.Size() >= 32) {
                QByteArray bm(reinterpret_cast<const char*>(a.From(0)), 10);
                bm.append(reinterpret_cast<const char*>(a.From(32)), a.Left(32));
                o.brush.pattern = DecodeBitmap16(reinterpret_cast<const uchar*>(bm.constData()),
                                                 bm.size(), Qt::black, Qt::white);
            }
            AddObject(o);
            break;
        }
        case kCreateFontIndirect: {
            WObject o;
            o.kind = WObject::Font;
            o.font.height = a.S(0);
            o.font.width = a.S(1);
            o.font.escapement = a.S(2);
            o.font.weight = a.S(4);
            o.font.italic = a.B(10) != 0;
            o.font.underline = a.B(11) != 0;
            o.font.strikeout = a.B(12) != 0;
            QByteArray face;
            for (qsizetype i = 18; i < 18 + 32 && i < a.Size() && a.B(i) != 0; ++i)
                face.append(char(a.B(i)));
            o.font.face = FromCodePage1252(face);
            AddObject(o);
            break;
        }
        case kCreatePalette:
        case kCreateRegion: {
            WObject o;
            o.kind = WObject::Other;
            AddObject(o);
            break;
        }
        case kSelectObject:
            if (WObject* o = ObjectAt(a.W(0))) {
                if (o->kind == WObject::Pen)
                    dc_.pen = o->pen;
                else if (o->kind == WObject::Brush)
                    dc_.brush = o->brush;
                else if (o->kind == WObject::Font)
                    dc_.font = o->font;
            }
            break;
        case kDeleteObject:
            if (WObject* o = ObjectAt(a.W(0)))
                *o = WObject();
            break;
        case kSelectClipRegion:
            dc_.clipped = false;
            dc_.clip = QPainterPath();
            ApplyClip();
            break;
        case kIntersectClipRect:
        case kExcludeClipRect: {
            QPainterPath rect;
            rect.addRect(MapRect(a.S(3), a.S(2), a.S(1), a.S(0)));
            QPainterPath current = dc_.clipped ? dc_.clip : [this] {
                QPainterPath all;
                all.addRect(target_);
                return all;
            }();
            dc_.clip = function == kIntersectClipRect ? current.intersected(rect)
                                                      : current.subtracted(rect);
            dc_.clipped = true;
            ApplyClip();
            break;
        }
        case kOffsetClipRgn:
            if (dc_.clipped) {
                dc_.clip.translate(a.S(1) * Sx(), a.S(0) * Sy());
                ApplyClip();
            }
            break;
        case kTextOut: {
            const int count = a.S(0);
            if (count <= 0 || 2 + count > a.Size())
                break;
            const int after = 1 + (count + 1) / 2;
            const QByteArray text(reinterpret_cast<const char*>(a.From(2)), count);
            Text(QPointF(a.S(after + 1), a.S(after)), text, {}, 0, QRectF());
            break;
        }
        case kExtTextOut:
            ExtTextOut(a);
            break;
        case kPatBlt:
            Blit(a.D(0), MapRect(a.S(5), a.S(4), a.S(5) + a.S(3), a.S(4) + a.S(2)), QImage(),
                 false);
            break;
        case kDibBitBlt:
        case kDibStretchBlt:
        case kStretchDib:
        case kSetDibToDev:
        case kBitBlt:
        case kStretchBlt:
            BlitRecord(function, a);
            break;
        default:
            break;
        }
    }

    void ArcRecord(uint16_t function, const Params& a) {
        const QPointF end = Map(a.S(1), a.S(0));
        const QPointF start = Map(a.S(3), a.S(2));
        const QRectF r = MapRect(a.S(7), a.S(6), a.S(5), a.S(4));
        if (r.width() <= 0 || r.height() <= 0)
            return;
        const QPointF c = r.center();
        auto angle = [&](const QPointF& pt) {
            return std::atan2(-(pt.y() - c.y()) / (r.height() / 2),
                              (pt.x() - c.x()) / (r.width() / 2)) *
                   180.0 / M_PI;
        };
        // Arcs run counter-clockwise on the device, whatever the mapping.
        const double a0 = angle(start);
        double span = angle(end) - a0;
        while (span <= 0)
            span += 360;
        if (span > 360)
            span = 360;
        QPainterPath path;
        if (function == kPie) {
            path.moveTo(c);
            path.arcTo(r, a0, span);
            path.closeSubpath();
        } else {
            path.arcMoveTo(r, a0);
            path.arcTo(r, a0, span);
            if (function == kChord)
                path.closeSubpath();
        }
        if (Prepare(true, function != kArc))
            p_.drawPath(path);
    }

    void ExtTextOut(const Params& a) {
        const QPointF at(a.S(1), a.S(0));
        const int count = a.S(2);
        const int options = a.W(3);
        int word = 4;
        QRectF rect;
        if (options & 0x0006) {
            rect = MapRect(a.S(4), a.S(5), a.S(6), a.S(7));
            word = 8;
        }
        const qsizetype textAt = qsizetype(word) * 2;
        if (count < 0 || textAt + count > a.Size())
            return;
        if (options & 0x0002) { // opaque: fill the rectangle first
            p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p_.fillRect(rect, dc_.bkColor);
        }
        if (count == 0)
            return;
        const QByteArray text(reinterpret_cast<const char*>(a.From(textAt)), count);
        std::vector<double> dx;
        const qsizetype dxAt = textAt + ((count + 1) / 2) * 2;
        if (a.Left(dxAt) >= qsizetype(count) * 2) {
            dx.reserve(size_t(count));
            for (int i = 0; i < count; ++i)
                dx.push_back(a.S(int(dxAt / 2) + i));
        }
        Text(at, text, dx, options, (options & 0x0004) ? rect : QRectF());
    }

    void Text(const QPointF& logical, const QByteArray& bytes, const std::vector<double>& dx,
              int options, const QRectF& clip) {
        (void)options;
        const QString text = FromCodePage1252(bytes);
        const WFont& f = dc_.font;
        QFont font(f.face.isEmpty() ? QStringLiteral("Arial") : f.face);
        constexpr double kBase = 100.0;
        font.setPixelSize(int(kBase));
        font.setWeight(QFont::Weight(std::clamp(f.weight > 0 ? f.weight : 400, 100, 900)));
        font.setItalic(f.italic);
        font.setUnderline(f.underline);
        font.setStrikeOut(f.strikeout);
        const QFontMetricsF fm(font);
        const double logicalHeight = f.height == 0 ? 12.0 : std::abs(double(f.height));
        double device = logicalHeight * std::abs(Sy());
        double scale =
            f.height > 0 ? device / std::max(1.0, fm.ascent() + fm.descent()) : device / kBase;
        if (!(scale > 1e-4) || device > 4 * Limit())
            return;
        double xscale = 1.0;
        if (f.width > 0 && fm.averageCharWidth() > 0)
            xscale =
                std::clamp(f.width * std::abs(Sx()) / (fm.averageCharWidth() * scale), 0.05, 20.0);

        const bool updateCp = dc_.textAlign & 1;
        const QPointF ref = updateCp ? dc_.cur : logical;
        double width = 0; // in font units
        std::vector<double> offsets;
        if (!dx.empty()) {
            double sum = 0;
            for (double d : dx) {
                offsets.push_back(sum);
                sum += d * std::abs(Sx()) / (scale * xscale);
            }
            width = sum;
        } else {
            width = fm.horizontalAdvance(text);
        }
        double x = 0;
        const int horiz = dc_.textAlign & 6;
        if (horiz == 2)
            x = -width;
        else if (horiz == 6)
            x = -width / 2;
        double y = fm.ascent();
        const int vert = dc_.textAlign & 24;
        if (vert == 24)
            y = 0;
        else if (vert == 8)
            y = -fm.descent();

        p_.save();
        p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (!clip.isNull())
            p_.setClipRect(clip, Qt::IntersectClip);
        p_.translate(Map(ref.x(), ref.y()));
        p_.rotate(-f.escapement / 10.0);
        p_.scale(scale * xscale, scale);
        p_.setFont(font);
        if (dc_.bkMode == 2)
            p_.fillRect(QRectF(x, y - fm.ascent(), width, fm.ascent() + fm.descent()), dc_.bkColor);
        p_.setPen(dc_.textColor);
        p_.setBackgroundMode(Qt::TransparentMode);
        // A recorded picture is replayed on devices of other resolutions,
        // where recorded text items come out at the wrong size: there the
        // letters go in as outlines.
        const bool outlines = p_.device() && p_.device()->devType() == QInternal::Picture;
        QPainterPath letters;
        auto put = [&](const QPointF& at, const QString& piece) {
            if (outlines)
                letters.addText(at, font, piece);
            else
                p_.drawText(at, piece);
        };
        if (offsets.empty()) {
            put(QPointF(x, y), text);
        } else {
            for (int i = 0; i < text.size() && size_t(i) < offsets.size(); ++i)
                put(QPointF(x + offsets[size_t(i)], y), text.mid(i, 1));
        }
        if (outlines)
            p_.fillPath(letters, dc_.textColor);
        p_.restore();
        if (updateCp && Sx() != 0)
            dc_.cur.rx() += width * scale * xscale / std::abs(Sx()) * (horiz == 2 ? -1 : 1);
    }

    void BlitRecord(uint16_t function, const Params& a) {
        const int words = a.Words();
        uint32_t rop = a.D(0);
        int srcX = 0, srcY = 0, srcW = -1, srcH = -1;
        int dx = 0, dy = 0, dw = 0, dh = 0;
        qsizetype bitmapAt = 0;
        bool dib = true;
        switch (function) {
        case kDibBitBlt:
        case kBitBlt:
            if (function == kDibBitBlt && words == 9) { // without a bitmap: a pattern fill
                Blit(rop, MapRect(a.S(8), a.S(7), a.S(8) + a.S(6), a.S(7) + a.S(5)), QImage(),
                     false);
                return;
            }
            srcY = a.S(2), srcX = a.S(3), dh = a.S(4), dw = a.S(5), dy = a.S(6), dx = a.S(7);
            srcW = dw, srcH = dh;
            bitmapAt = 16;
            dib = function == kDibBitBlt;
            break;
        case kDibStretchBlt:
        case kStretchBlt:
            if (function == kDibStretchBlt && words == 11) {
                Blit(rop, MapRect(a.S(10), a.S(9), a.S(10) + a.S(8), a.S(9) + a.S(7)), QImage(),
                     false);
                return;
            }
            srcH = a.S(2), srcW = a.S(3), srcY = a.S(4), srcX = a.S(5);
            dh = a.S(6), dw = a.S(7), dy = a.S(8), dx = a.S(9);
            bitmapAt = 20;
            dib = function == kDibStretchBlt;
            break;
        case kStretchDib:
            srcH = a.S(3), srcW = a.S(4), srcY = a.S(5), srcX = a.S(6);
            dh = a.S(7), dw = a.S(8), dy = a.S(9), dx = a.S(10);
            bitmapAt = 22;
            break;
        case kSetDibToDev:
            rop = kSrcCopy;
            srcY = a.S(3), srcX = a.S(4), dh = a.S(5), dw = a.S(6), dy = a.S(7), dx = a.S(8);
            srcW = dw, srcH = dh;
            bitmapAt = 18;
            break;
        default:
            return;
        }
        QImage image =
            dib ? DecodeDib(a.From(bitmapAt), a.Left(bitmapAt))
                : DecodeBitmap16(a.From(bitmapAt), a.Left(bitmapAt), dc_.textColor, dc_.bkColor);
        if (image.isNull())
            return;
        // The source rectangle counts rows from the bottom of a bottom-up
        // bitmap; the decoded image is top-down.
        const bool bottomUp =
            dib && a.Left(bitmapAt) >= 12 &&
            (U32(a.From(bitmapAt)) == 12 || int32_t(U32(a.From(bitmapAt) + 8)) > 0);
        if (srcW > 0 && srcH > 0) {
            int top = bottomUp ? image.height() - srcY - srcH : srcY;
            QRect src = QRect(srcX, top, srcW, srcH).intersected(image.rect());
            if (src.isEmpty())
                return;
            if (src != image.rect())
                image = image.copy(src);
        }
        if (dw < 0 || dh < 0) {
            image = image.mirrored(dw < 0, dh < 0);
            if (dw < 0)
                dx += dw, dw = -dw;
            if (dh < 0)
                dy += dh, dh = -dh;
        }
        const QPointF p1 = Map(dx, dy), p2 = Map(dx + dw, dy + dh);
        if (p2.x() < p1.x() || p2.y() < p1.y())
            image = image.mirrored(p2.x() < p1.x(), p2.y() < p1.y());
        Blit(rop, QRectF(p1, p2).normalized(), image, true);
    }

    // A block transfer of `image` (or of the brush when there is none) with
    // the common raster operations; the others copy the source.
    void Blit(uint32_t rop, const QRectF& dest, QImage image, bool hasImage) {
        if (dest.isEmpty())
            return;
        p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        switch (rop) {
        case kNoOp:
            return;
        case kBlackness:
            p_.fillRect(dest, Qt::black);
            return;
        case kWhiteness:
            p_.fillRect(dest, Qt::white);
            return;
        case kDstInvert:
        case kPatInvert:
            if (rasterOps_) {
                p_.setCompositionMode(rop == kDstInvert ? QPainter::RasterOp_NotDestination
                                                        : QPainter::RasterOp_SourceXorDestination);
                p_.fillRect(dest, rop == kDstInvert ? QBrush(Qt::white) : MakeBrush(dc_.brush));
                p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
            return;
        case kPatCopy:
            p_.fillRect(dest, MakeBrush(dc_.brush));
            return;
        default:
            break;
        }
        if (!hasImage) {
            p_.fillRect(dest, MakeBrush(dc_.brush));
            return;
        }
        image = image.convertToFormat(QImage::Format_ARGB32);
        if (rop == kNotSrcCopy) {
            image.invertPixels(QImage::InvertRgb);
        } else if (rop == kSrcAnd || rop == kSrcPaint || rop == kSrcInvert) {
            // White under AND and black under OR or XOR leave the page as it
            // is: those pixels become transparent, the rest is copied.
            const QRgb keep = rop == kSrcAnd ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if ((line[x] & 0xFFFFFF) == (keep & 0xFFFFFF))
                        line[x] = 0;
            }
        }
        p_.setRenderHint(QPainter::SmoothPixmapTransform, dc_.stretchMode == 4);
        p_.drawImage(dest, image);
    }

    QPainter& p_;
    const QByteArray& data_;
    WmfHeader header_;
    QRectF target_;
    DcState dc_;
    std::vector<DcState> saved_;
    std::vector<WObject> objects_;
    bool rasterOps_ = false;
};

// The first window origin and extent the records set, if any.
bool FindWindow(const QByteArray& data, int start, QRectF* frame) {
    const auto* base = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    qsizetype pos = start;
    bool haveOrg = false, haveExt = false;
    QPointF org, ext;
    for (int count = 0; count < kMaxRecords && pos + 6 <= n; ++count) {
        const uint32_t words = U32(base + pos);
        const uint16_t function = U16(base + pos + 4);
        if (function == kEof || words < 3 || qint64(words) * 2 > n - pos)
            break;
        const Params a(base + pos + 6, qsizetype(words) * 2 - 6);
        if (function == kSetWindowOrg && !haveOrg) {
            org = QPointF(a.S(1), a.S(0));
            haveOrg = true;
        } else if (function == kSetWindowExt && !haveExt && a.S(0) != 0 && a.S(1) != 0) {
            ext = QPointF(a.S(1), a.S(0));
            haveExt = true;
        }
        if (haveOrg && haveExt)
            break;
        pos += qsizetype(words) * 2;
    }
    if (!haveExt)
        return false;
    *frame = QRectF(org.x(), org.y(), ext.x(), ext.y());
    return true;
}

} // namespace

bool ReadWmfHeader(const QByteArray& data, WmfHeader* header) {
    WmfHeader h;
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    qsizetype at = 0;
    if (n >= 22 && U32(p) == 0x9AC6CDD7u) {
        h.placeable = true;
        const int left = int16_t(U16(p + 6)), top = int16_t(U16(p + 8));
        const int right = int16_t(U16(p + 10)), bottom = int16_t(U16(p + 12));
        h.unitsPerInch = U16(p + 14);
        if (right == left || bottom == top)
            return false;
        h.frame = QRectF(QPointF(left, top), QPointF(right, bottom));
        at = 22;
    }
    if (n - at < 18)
        return false;
    const int type = U16(p + at);
    const int headerWords = U16(p + at + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return false;
    h.objectCount = U16(p + at + 10);
    h.headerBytes = int(at + 18);
    if (!h.placeable) {
        QRectF window;
        if (FindWindow(data, h.headerBytes, &window)) {
            h.frame = window;
        } else {
            // No frame given: play once unscaled and take what was drawn.
            QPicture measure;
            {
                QPainter painter(&measure);
                WmfHeader unit = h;
                unit.frame = QRectF(-16384, -16384, 32768, 32768);
                Player(painter, data, unit, unit.frame).Run();
            }
            const QRect drawn = measure.boundingRect();
            if (drawn.isEmpty())
                return false;
            h.frame = QRectF(drawn);
        }
    }
    if (header)
        *header = h;
    return true;
}

QSize WmfNaturalSize(const QByteArray& data) {
    WmfHeader h;
    if (!ReadWmfHeader(data, &h))
        return {};
    double w = std::abs(h.frame.width()), ht = std::abs(h.frame.height());
    if (h.placeable) {
        const double inch = h.unitsPerInch > 0 ? h.unitsPerInch : 1440;
        w = w * 96.0 / inch;
        ht = ht * 96.0 / inch;
    } else {
        const double longer = std::max(w, ht);
        if (longer > 2000) {
            w = w * 2000 / longer;
            ht = ht * 2000 / longer;
        }
    }
    return QSize(std::max(1, int(std::lround(w))), std::max(1, int(std::lround(ht))));
}

bool PlayWmf(QPainter& painter, const QByteArray& data, const QRectF& target) {
    WmfHeader h;
    if (!ReadWmfHeader(data, &h))
        return false;
    if (target.isEmpty())
        return true;
    Player(painter, data, h, target).Run();
    return true;
}

QPicture WmfToPicture(const QByteArray& data) {
    QPicture picture;
    const QSize size = WmfNaturalSize(data);
    if (size.isEmpty())
        return picture;
    {
        QPainter painter(&picture);
        // An invisible frame makes the recorded bounds the whole picture,
        // also after the picture is written to a stream and read back.
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(0, 0), size));
        PlayWmf(painter, data, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    picture.setBoundingRect(QRect(QPoint(0, 0), size));
    return picture;
}

} // namespace qb
