#include "labelobjects/properties.h"

#include "labelobjects/wmf.h"

#include "labelobjects/layoutstream.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>

#include <cstdlib>

namespace qb {

const PropertyDef* PropertyTable::Find(const QString& name) const {
    for (const PropertyDef& p : props)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

// ---- font ---------------------------------------------------------------------------------

namespace {
// a * b / c rounded to nearest, halves away from zero.
int MulDiv(int a, int b, int c) {
    const int64_t n = int64_t(a) * b;
    const int64_t q = (std::llabs(n) * 2 + c) / (2 * int64_t(c));
    return int(n < 0 ? -q : q);
}
} // namespace

int TKFont::PointsToHeight(int points) {
    return -MulDiv(points, kPixelsPerInch, 72);
}
int TKFont::HeightToPoints(int height) {
    return -MulDiv(height, 72, kPixelsPerInch);
}
int TKFont::Size() const {
    return HeightToPoints(height_);
}
void TKFont::SetSize(int points) {
    SetHeight(PointsToHeight(points));
}

void TKFont::SetColor(int32_t c) {
    if (c != color_) {
        color_ = c;
        Changed();
    }
}
void TKFont::SetHeight(int h) {
    if (h != height_) {
        height_ = h;
        Changed();
    }
}
void TKFont::SetName(const QString& n) {
    if (n != name_) {
        name_ = n;
        Changed();
    }
}
void TKFont::SetPitch(int p) {
    if (p != pitch_) {
        pitch_ = p;
        Changed();
    }
}
void TKFont::SetStyle(int s) {
    s &= 0x0F;
    if (s != style_) {
        style_ = s;
        Changed();
    }
}

void TKFont::Assign(const TKFont& o) {
    if (*this == o)
        return;
    color_ = o.color_;
    height_ = o.height_;
    name_ = o.name_;
    pitch_ = o.pitch_;
    style_ = o.style_;
    Changed();
}

QFont TKFont::ToQFont(double zoom) const {
    QFont f(name_);
    if (height_ < 0) {
        // Points are not scaled by the pixel mapping; only the zoom applies.
        f.setPointSize(std::max(1, int(Size() * zoom)));
    } else if (height_ > 0) {
        f.setPixelSize(std::max(1, int(height_ * zoom)));
    }
    f.setBold(style_ & fsBold);
    f.setItalic(style_ & fsItalic);
    f.setUnderline(style_ & fsUnderline);
    f.setStrikeOut(style_ & fsStrikeOut);
    if (pitch_ == fpFixed)
        f.setFixedPitch(true);
    return f;
}

QColor TKFont::ToQColor() const {
    return qb::ToQColor(color_);
}

const PropertyTable& TKFont::Table() {
    static const PropertyTable table{{
        ColorProp<TKFont>("Color", &TKFont::Color, &TKFont::SetColor),
        IntProp<TKFont, int>("Height", &TKFont::Height, &TKFont::SetHeight),
        [] {
            PropertyDef d = StringProp<TKFont>("Name", &TKFont::Name, &TKFont::SetName);
            d.writeEmpty = true; // "Arial" at creation
            return d;
        }(),
        EnumProp<TKFont>("Pitch", {"fpDefault", "fpVariable", "fpFixed"}, &TKFont::Pitch,
                         &TKFont::SetPitch, fpDefault),
        SetProp<TKFont>("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"},
                        &TKFont::Style, &TKFont::SetStyle),
    }};
    return table;
}

// ---- pen, brush, strings ----------------------------------------------------------------------

const PropertyTable& TKPen::Table() {
    static const PropertyTable table{{
        ColorProp<TKPen>("Color", &TKPen::Color, &TKPen::SetColor, 0),
        EnumProp<TKPen>("Mode",
                        {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy",
                         "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen",
                         "pmMerge", "pmNotMerge", "pmMask", "pmNotMask", "pmXor", "pmNotXor"},
                        &TKPen::Mode, &TKPen::SetMode, pmCopy),
        EnumProp<TKPen>(
            "Style",
            {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"},
            &TKPen::Style, &TKPen::SetStyle, psSolid),
        IntProp<TKPen, int>("Width", &TKPen::Width, &TKPen::SetWidth, 1),
    }};
    return table;
}

const PropertyTable& TKBrush::Table() {
    static const PropertyTable table{{
        ColorProp<TKBrush>("Color", &TKBrush::Color, &TKBrush::SetColor, 0xFFFFFF),
        EnumProp<TKBrush>("Style",
                          {"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal",
                           "bsBDiagonal", "bsCross", "bsDiagCross"},
                          &TKBrush::Style, &TKBrush::SetStyle, bsSolid),
    }};
    return table;
}

const PropertyTable& TKStrings::Table() {
    static const PropertyTable table = [] {
        PropertyDef d;
        d.name = QStringLiteral("Strings");
        d.kind = PropKind::StringList;
        d.getList = [](const Persistent* p) { return static_cast<const TKStrings*>(p)->Lines(); };
        d.setList = [](Persistent* p, const QStringList& l) {
            static_cast<TKStrings*>(p)->SetLines(l);
        };
        return PropertyTable{{d}};
    }();
    return table;
}

// ---- picture ---------------------------------------------------------------------------------

namespace {
QString DetectKind(const QByteArray& d) {
    if (d.startsWith("BM"))
        return QStringLiteral("TBitmap");
    if (d.startsWith(QByteArray::fromHex("00000100")))
        return QStringLiteral("TIcon");
    if (d.startsWith(QByteArray::fromHex("89504e470d0a1a0a")))
        return QStringLiteral("TPngImage");
    if (d.startsWith(QByteArray::fromHex("ffd8ff")))
        return QStringLiteral("TJPEGImage");
    if (d.startsWith(QByteArray::fromHex("d7cdc69a")) ||
        d.startsWith(QByteArray::fromHex("01000900")) ||
        d.startsWith(QByteArray::fromHex("02000900")) || (d.size() >= 44 && d.mid(40, 4) == " EMF"))
        return QStringLiteral("TMetafile");
    return {};
}

QByteArray ToBmp(const QImage& image) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "BMP");
    return out;
}
} // namespace

void TKPicture::Clear() {
    const bool had = !kind_.isEmpty();
    kind_.clear();
    file_.clear();
    image_ = QImage();
    if (had)
        Changed();
}

bool TKPicture::LoadFromData(const QByteArray& data) {
    const QString kind = DetectKind(data);
    QImage image;
    if (kind == QLatin1String("TBitmap")) {
        image = QImage::fromData(data, "BMP");
        if (image.isNull())
            return false;
    } else if (kind == QLatin1String("TIcon")) {
        image = QImage::fromData(data, "ICO");
    } else if (kind == QLatin1String("TPngImage") || kind == QLatin1String("TJPEGImage")) {
        // Kept in their own file format, so they are stored as loaded.
        image = QImage::fromData(data, kind == QLatin1String("TPngImage") ? "PNG" : "JPEG");
        if (image.isNull())
            return false;
    } else if (kind == QLatin1String("TMetafile")) {
        if (!ReadWmfHeader(data, nullptr))
            return false;
    } else if (kind.isEmpty()) {
        // Other image files are taken as bitmaps.
        image = QImage::fromData(data);
        if (image.isNull())
            return false;
        SetImage(image);
        return true;
    }
    kind_ = kind;
    file_ = data;
    image_ = image;
    Changed();
    return true;
}

bool TKPicture::LoadFromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return LoadFromData(f.readAll());
}

void TKPicture::SetImage(const QImage& image) {
    if (image.isNull()) {
        Clear();
        return;
    }
    kind_ = QStringLiteral("TBitmap");
    file_ = ToBmp(image);
    image_ = QImage::fromData(file_, "BMP");
    Changed();
}

QByteArray TKPicture::Data() const {
    if (kind_.isEmpty())
        return {};
    LayoutWriter w;
    w.WriteShortString(kind_);
    if (kind_ == QLatin1String("TBitmap"))
        w.WriteUInt32(uint32_t(file_.size()));
    w.WriteRaw(file_);
    return w.Data();
}

void TKPicture::SetData(const QByteArray& data) {
    LayoutReader r(data);
    try {
        if (r.AtEnd()) {
            Clear();
            return;
        }
        const QString kind = r.ReadShortString();
        QByteArray file;
        QImage image;
        if (kind == QLatin1String("TBitmap")) {
            const uint32_t n = r.ReadUInt32();
            file = r.ReadBytes(qsizetype(n));
            if (!file.isEmpty()) {
                image = QImage::fromData(file, "BMP");
                if (image.isNull())
                    throw StreamError(kInvalidPropertyValue);
            }
        } else if (kind == QLatin1String("TMetafile") || kind == QLatin1String("TIcon")) {
            file = r.ReadBytes(r.Remaining());
            if (kind == QLatin1String("TIcon"))
                image = QImage::fromData(file, "ICO");
        } else if (kind == QLatin1String("TPngImage") || kind == QLatin1String("TJPEGImage")) {
            file = r.ReadBytes(r.Remaining());
            image = QImage::fromData(file, kind == QLatin1String("TPngImage") ? "PNG" : "JPEG");
            if (image.isNull())
                throw StreamError(kInvalidPropertyValue);
        } else if (kind.isEmpty()) {
            Clear();
            return;
        } else {
            throw StreamError(kInvalidPropertyValue);
        }
        kind_ = file.isEmpty() && kind == QLatin1String("TBitmap") ? QString() : kind;
        file_ = file;
        image_ = image;
        Changed();
    } catch (const StreamError&) {
        throw StreamError(kInvalidPropertyValue);
    }
}

const PropertyTable& TKPicture::Table() {
    static const PropertyTable table = [] {
        PropertyDef d;
        d.name = QStringLiteral("Data");
        d.kind = PropKind::Binary;
        d.getBytes = [](const Persistent* p) { return static_cast<const TKPicture*>(p)->Data(); };
        d.setBytes = [](Persistent* p, const QByteArray& b) {
            static_cast<TKPicture*>(p)->SetData(b);
        };
        return PropertyTable{{d}};
    }();
    return table;
}

// ---- colours ---------------------------------------------------------------------------------

QColor ToQColor(int32_t color) {
    const uint32_t c = uint32_t(color);
    if (c == 0x1FFFFFFF)
        return QColor(Qt::transparent);
    if (c & 0x80000000u) {
        const QPalette pal = QGuiApplication::palette();
        switch (c & 0xFF) {
        case 0x05:
        case 0x18:
            return pal.color(QPalette::Base);
        case 0x08:
        case 0x07:
        case 0x12:
        case 0x17:
            return pal.color(QPalette::Text);
        case 0x0D:
            return pal.color(QPalette::Highlight);
        case 0x0E:
            return pal.color(QPalette::HighlightedText);
        case 0x0F:
        case 0x04:
            return pal.color(QPalette::Button);
        case 0x10:
            return pal.color(QPalette::Dark);
        case 0x11:
            return pal.color(QPalette::PlaceholderText);
        case 0x14:
        case 0x16:
            return pal.color(QPalette::Light);
        case 0x15:
            return pal.color(QPalette::Shadow);
        default:
            return pal.color(QPalette::Window);
        }
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

int32_t FromQColor(const QColor& color) {
    return int32_t(uint32_t(color.red()) | (uint32_t(color.green()) << 8) |
                   (uint32_t(color.blue()) << 16));
}

// ---- classes ---------------------------------------------------------------------------------

std::vector<const PropertyDef*> ClassInfo::AllProperties() const {
    std::vector<const PropertyDef*> out =
        base ? base->AllProperties() : std::vector<const PropertyDef*>{};
    for (const PropertyDef& p : own.props)
        out.push_back(&p);
    return out;
}

const PropertyDef* ClassInfo::Find(const QString& name) const {
    for (const ClassInfo* c = this; c; c = c->base)
        if (const PropertyDef* p = c->own.Find(name))
            return p;
    return nullptr;
}

namespace {
QHash<QString, const ClassInfo*>& Known() {
    static QHash<QString, const ClassInfo*> known;
    return known;
}
} // namespace

void ClassRegistry::MakeKnown(const ClassInfo& info) {
    Known().insert(info.name.toUpper(), &info);
}

const ClassInfo* ClassRegistry::Find(const QString& name) {
    return Known().value(name.toUpper(), nullptr);
}

} // namespace qb
