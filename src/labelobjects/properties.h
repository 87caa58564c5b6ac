// Published properties of label objects: each class declares, in stream
// order, the properties it stores with their type, default and stored rule,
// so the filer can write and read any class by name. Nested objects (font,
// pen, brush, string list, picture) have tables of their own.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qb {

class TKGraphicControl;

// Design pixels per inch: object geometry and font heights are kept at this
// resolution, whatever the screen.
inline constexpr int kPixelsPerInch = 96;

// Anything that has published properties.
class Persistent {
public:
    virtual ~Persistent() = default;
};

enum class PropKind {
    Integer, // 32-bit integer
    Color,   // integer, written as identifier when the colour has a name
    Boolean,
    Enum,       // ordinal; written as the value's name
    Set,        // bit mask over the names; written as member names
    Float,      // double, written as 80-bit extended
    String,     // 06 / 0C
    Object,     // nested object: its properties with the prefix "Name."
    StringList, // "Strings" of a string list: 01, strings, 00
    Binary,     // "Data" of a picture: byte block
    Event,      // handler name: identifier, nil for none
};

struct PropertyTable;

struct PropertyDef {
    QString name;
    PropKind kind = PropKind::Integer;
    bool stored = true;
    // Integer, Color, Boolean (0/1), Enum (ordinal), Set (mask)
    std::function<int64_t(const Persistent*)> getInt;
    std::function<void(Persistent*, int64_t)> setInt;
    std::optional<int64_t> defaultInt; // none: always written
    QStringList names;                 // Enum / Set member names
    // Float
    std::function<double(const Persistent*)> getFloat;
    std::function<void(Persistent*, double)> setFloat;
    // String, Event
    // A string whose value at creation is not empty is written even when
    // empty, so that a text the user cleared reads back cleared.
    bool writeEmpty = false;
    std::function<QString(const Persistent*)> getString;
    std::function<void(Persistent*, const QString&)> setString;
    // StringList
    std::function<QStringList(const Persistent*)> getList;
    std::function<void(Persistent*, const QStringList&)> setList;
    // Binary
    std::function<QByteArray(const Persistent*)> getBytes;
    std::function<void(Persistent*, const QByteArray&)> setBytes;
    // Object
    std::function<Persistent*(Persistent*)> object;
    const PropertyTable* objectTable = nullptr;
};

struct PropertyTable {
    std::vector<PropertyDef> props;
    const PropertyDef* Find(const QString& name) const;
};

// ---- building property definitions -------------------------------------------------------
template <class T, class V>
PropertyDef IntProp(const char* name, V (T::*get)() const, void (T::*set)(V),
                    std::optional<int64_t> def = std::nullopt, PropKind kind = PropKind::Integer) {
    PropertyDef d;
    d.name = QString::fromLatin1(name);
    d.kind = kind;
    d.getInt = [get](const Persistent* p) { return int64_t((static_cast<const T*>(p)->*get)()); };
    d.setInt = [set](Persistent* p, int64_t v) { (static_cast<T*>(p)->*set)(V(v)); };
    d.defaultInt = def;
    return d;
}
template <class T>
PropertyDef ColorProp(const char* name, int32_t (T::*get)() const, void (T::*set)(int32_t),
                      std::optional<int64_t> def = std::nullopt) {
    return IntProp<T, int32_t>(name, get, set, def, PropKind::Color);
}
template <class T>
PropertyDef BoolProp(const char* name, bool (T::*get)() const, void (T::*set)(bool),
                     std::optional<bool> def = std::nullopt) {
    return IntProp<T, bool>(name, get, set,
                            def ? std::optional<int64_t>(*def ? 1 : 0) : std::nullopt,
                            PropKind::Boolean);
}
template <class T>
PropertyDef EnumProp(const char* name, QStringList names, int (T::*get)() const,
                     void (T::*set)(int), std::optional<int64_t> def = std::nullopt) {
    PropertyDef d = IntProp<T, int>(name, get, set, def, PropKind::Enum);
    d.names = std::move(names);
    return d;
}
template <class T>
PropertyDef SetProp(const char* name, QStringList names, int (T::*get)() const, void (T::*set)(int),
                    std::optional<int64_t> def = std::nullopt) {
    PropertyDef d = IntProp<T, int>(name, get, set, def, PropKind::Set);
    d.names = std::move(names);
    return d;
}
template <class T>
PropertyDef FloatProp(const char* name, double (T::*get)() const, void (T::*set)(double)) {
    PropertyDef d;
    d.name = QString::fromLatin1(name);
    d.kind = PropKind::Float;
    d.getFloat = [get](const Persistent* p) { return (static_cast<const T*>(p)->*get)(); };
    d.setFloat = [set](Persistent* p, double v) { (static_cast<T*>(p)->*set)(v); };
    return d;
}
template <class T>
PropertyDef StringProp(const char* name, QString (T::*get)() const, void (T::*set)(const QString&),
                       PropKind kind = PropKind::String) {
    PropertyDef d;
    d.name = QString::fromLatin1(name);
    d.kind = kind;
    d.getString = [get](const Persistent* p) { return (static_cast<const T*>(p)->*get)(); };
    d.setString = [set](Persistent* p, const QString& v) { (static_cast<T*>(p)->*set)(v); };
    return d;
}
template <class T, class N>
PropertyDef ObjectProp(const char* name, N* (T::*get)(), const PropertyTable& table) {
    PropertyDef d;
    d.name = QString::fromLatin1(name);
    d.kind = PropKind::Object;
    d.object = [get](Persistent* p) -> Persistent* { return (static_cast<T*>(p)->*get)(); };
    d.objectTable = &table;
    return d;
}

// ---- nested objects -------------------------------------------------------------------------

// Set by nested objects so their owner can react (mark layout dirty, repaint).
class NestedPersistent : public Persistent {
public:
    std::function<void()> OnChange;

protected:
    void Changed() {
        if (OnChange)
            OnChange();
    }
};

enum FontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum FontPitch { fpDefault = 0, fpVariable = 1, fpFixed = 2 };

// A font as stored: colour, height in design pixels (negative: a point size
// converted at kPixelsPerInch), face name, pitch and style.
class TKFont : public NestedPersistent {
public:
    static const PropertyTable& Table();

    int32_t Color() const { return color_; }
    void SetColor(int32_t c);
    int Height() const { return height_; }
    void SetHeight(int h);
    QString Name() const { return name_; }
    void SetName(const QString& n);
    int Pitch() const { return pitch_; }
    void SetPitch(int p);
    int Style() const { return style_; }
    void SetStyle(int s);

    // Points from the height and back (rounded to nearest, halves away from 0).
    int Size() const;
    void SetSize(int points);
    static int PointsToHeight(int points);
    static int HeightToPoints(int height);

    void Assign(const TKFont& other);
    bool operator==(const TKFont& o) const {
        return color_ == o.color_ && height_ == o.height_ && name_ == o.name_ &&
               pitch_ == o.pitch_ && style_ == o.style_;
    }
    // A font for drawing at the given zoom: the point size is trunc(size x zoom).
    QFont ToQFont(double zoom = 1.0) const;
    QColor ToQColor() const;

private:
    int32_t color_ = 0; // clBlack
    int height_ = PointsToHeight(10);
    QString name_ = QStringLiteral("Arial");
    int pitch_ = fpDefault;
    int style_ = 0;
};

enum PenStyleId { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum PenModeId {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
enum BrushStyleId {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class TKPen : public NestedPersistent {
public:
    static const PropertyTable& Table();
    int32_t Color() const { return color_; }
    void SetColor(int32_t c) {
        color_ = c;
        Changed();
    }
    int Mode() const { return mode_; }
    void SetMode(int m) {
        mode_ = m;
        Changed();
    }
    int Style() const { return style_; }
    void SetStyle(int s) {
        style_ = s;
        Changed();
    }
    int Width() const { return width_; }
    void SetWidth(int w) {
        width_ = w;
        Changed();
    }
    void Assign(const TKPen& o) {
        color_ = o.color_;
        mode_ = o.mode_;
        style_ = o.style_;
        width_ = o.width_;
        Changed();
    }

private:
    int32_t color_ = 0;
    int mode_ = pmCopy;
    int style_ = psSolid;
    int width_ = 1;
};

class TKBrush : public NestedPersistent {
public:
    static const PropertyTable& Table();
    int32_t Color() const { return color_; }
    void SetColor(int32_t c) {
        color_ = c;
        Changed();
    }
    int Style() const { return style_; }
    void SetStyle(int s) {
        style_ = s;
        Changed();
    }
    void Assign(const TKBrush& o) {
        color_ = o.color_;
        style_ = o.style_;
        Changed();
    }

private:
    int32_t color_ = 0xFFFFFF;
    int style_ = bsSolid;
};

// A list of text lines (stored as "Items.Strings" when not empty).
class TKStrings : public NestedPersistent {
public:
    static const PropertyTable& Table();
    QStringList Lines() const { return lines_; }
    void SetLines(const QStringList& l) {
        lines_ = l;
        Changed();
    }

private:
    QStringList lines_;
};

// A picture: a bitmap, metafile or icon kept in its own file format. The
// stored form ("Picture.Data") is the graphic's class name as a short string
// followed by its data; a bitmap's data is a 4-byte length and a BMP file.
class TKPicture : public NestedPersistent {
public:
    static const PropertyTable& Table();

    bool IsEmpty() const { return kind_.isEmpty(); }
    QString Kind() const { return kind_; } // "TBitmap", "TMetafile", "TIcon" or empty
    QByteArray FileData() const { return file_; }
    const QImage& Image() const { return image_; } // decoded bitmap or icon
    void Clear();
    // Loads a picture from file data; the kind comes from the content
    // (BMP, icon, placeable or plain Windows metafile). False when unknown.
    bool LoadFromData(const QByteArray& data);
    bool LoadFromFile(const QString& path);
    // Takes an image as a bitmap (stored as BMP).
    void SetImage(const QImage& image);

    QByteArray Data() const;
    // Raises "Invalid property value" for malformed data.
    void SetData(const QByteArray& data);

private:
    QString kind_;
    QByteArray file_;
    QImage image_;
};

// Colour value (blue in the high byte of the low three) to a QColor; system
// colours map to the palette's colours.
QColor ToQColor(int32_t color);
int32_t FromQColor(const QColor& color);

// ---- classes ----------------------------------------------------------------------------------

// The description of one streamable class: its name, its base, its own
// properties in stream order and a factory.
struct ClassInfo {
    QString name;
    const ClassInfo* base = nullptr;
    PropertyTable own;
    std::function<TKGraphicControl*()> create;

    // All properties in stream order: inherited ones first.
    std::vector<const PropertyDef*> AllProperties() const;
    const PropertyDef* Find(const QString& name) const;
};

// The classes a reader can recreate. Global to the program; panels make
// their sets known when they are created.
class ClassRegistry {
public:
    static void MakeKnown(const ClassInfo& info);
    static const ClassInfo* Find(const QString& name);
    static bool IsKnown(const QString& name) { return Find(name) != nullptr; }
};

} // namespace qb
