#include "labels/labelart.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace qb {

namespace {

// What is drawn inside the outline besides the edge.
enum class Art {
    Plain,       // outline only
    Diskette,    // 3.5" wrap-around label: fold line where it turns over the edge
    Diskette525, // 5.25" label: write-protect corner cut
    FileFolder,  // colour bar along the top
    Badge,       // header band
    Disc,        // round with a centre hole
    IndexCard,   // header rule and ruled lines
    RotaryCard,  // two mounting slots at the bottom
    Cassette,    // tape window
    TentCard,    // fold line along the bottom
    IndexTab,    // tab strip with a crease in the middle
};

struct ArtDef {
    const char* name;
    double width; // inches
    double height;
    Art kind;
};

// Sizes of the stocks these pictures belong to.
const ArtDef kArts[] = {
    {"AV12295", 1.5, 0.5, Art::IndexTab},      {"AV12297", 2.0, 0.5, Art::IndexTab},
    {"AV2180", 3.438, 0.667, Art::FileFolder}, {"AV4160", 5.0, 3.0, Art::IndexCard},
    {"AV4161", 6.0, 4.0, Art::IndexCard},      {"AV4168", 4.0, 2.167, Art::RotaryCard},
    {"AV4169", 5.0, 3.0, Art::RotaryCard},     {"AV4266", 3.438, 0.938, Art::FileFolder},
    {"AV5097", 4.0, 1.5, Art::Diskette525},    {"AV5196", 2.75, 2.75, Art::Diskette},
    {"AV5198", 3.5, 1.656, Art::Cassette},     {"AV5305", 8.5, 2.5, Art::TentCard},
    {"AV5385", 4.0, 2.167, Art::RotaryCard},   {"AV5386", 5.0, 3.0, Art::IndexCard},
    {"AV5391", 3.5, 2.25, Art::Badge},         {"AV5766", 3.438, 0.667, Art::FileFolder},
    {"AV5776", 3.438, 0.938, Art::FileFolder}, {"AV5824", 4.625, 4.625, Art::Disc},
    {"AV5895", 3.375, 2.333, Art::Badge},      {"AV5896", 2.75, 2.75, Art::Diskette},
    {"AV8166", 3.438, 0.667, Art::FileFolder}, {"AVWSD5", 4.0, 1.5, Art::Diskette525},
    {"AVWSD8", 2.75, 2.75, Art::Diskette},     {"AVWSI13", 1.5, 0.5, Art::IndexTab},
    {"AVWSI15", 2.0, 0.5, Art::IndexTab},
};

const ArtDef* Find(const QString& art) {
    QString name = art.trimmed();
    const int dot = name.indexOf('.');
    if (dot >= 0)
        name = name.left(dot);
    name = name.toUpper();
    for (const ArtDef& a : kArts)
        if (name == QLatin1String(a.name))
            return &a;
    return nullptr;
}

constexpr double kDpi = 96.0;

} // namespace

QStringList LabelArtNames() {
    QStringList names;
    for (const ArtDef& a : kArts)
        names << QString::fromLatin1(a.name);
    return names;
}

QSizeF LabelArtSize(const QString& art) {
    const ArtDef* a = Find(art);
    return a ? QSizeF(a->width, a->height) : QSizeF();
}

QImage LabelArtPicture(const QString& art) {
    const ArtDef* a = Find(art);
    if (!a)
        return QImage();
    const int w = int(std::lround(a->width * kDpi));
    const int h = int(std::lround(a->height * kDpi));
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(Qt::black, 2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF r(1, 1, w - 2, h - 2);
    const double in = kDpi; // one inch in pixels

    switch (a->kind) {
    case Art::Disc: {
        p.drawEllipse(r);
        const double hole = 1.625 * in;
        p.drawEllipse(QRectF(r.center().x() - hole / 2, r.center().y() - hole / 2, hole, hole));
        break;
    }
    case Art::Diskette525: {
        QPainterPath path;
        const double cut = std::min(h, w) * 0.2;
        path.moveTo(r.left(), r.top());
        path.lineTo(r.right() - cut, r.top());
        path.lineTo(r.right(), r.top() + cut);
        path.lineTo(r.right(), r.bottom());
        path.lineTo(r.left(), r.bottom());
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    default:
        p.drawRoundedRect(r, 6, 6);
        break;
    }

    QPen dashed(Qt::black, 1, Qt::DashLine);
    switch (a->kind) {
    case Art::Diskette: {
        // The top part wraps over the disk's edge onto its back.
        p.setPen(dashed);
        const double fold = 0.75 * in;
        p.drawLine(QPointF(r.left() + 4, fold), QPointF(r.right() - 4, fold));
        break;
    }
    case Art::FileFolder: {
        const double band = std::max(4.0, h * 0.22);
        p.fillRect(QRectF(r.left() + 3, r.top() + 3, r.width() - 6, band), Qt::black);
        break;
    }
    case Art::Badge: {
        const double band = h * 0.26;
        p.fillRect(QRectF(r.left() + 3, r.top() + 3, r.width() - 6, band), Qt::black);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(QPointF(r.left() + 3, r.bottom() - h * 0.12),
                   QPointF(r.right() - 3, r.bottom() - h * 0.12));
        break;
    }
    case Art::IndexCard: {
        p.setPen(QPen(Qt::black, 2));
        const double header = 0.5 * in;
        p.drawLine(QPointF(r.left() + 2, header), QPointF(r.right() - 2, header));
        p.setPen(QPen(Qt::black, 1));
        for (double y = header + 0.25 * in; y < r.bottom() - 0.1 * in; y += 0.25 * in)
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
        break;
    }
    case Art::RotaryCard: {
        const double slotW = 0.3 * in, slotH = 0.25 * in;
        const double y = r.bottom() - slotH;
        p.setBrush(Qt::black);
        p.drawRect(QRectF(r.center().x() - 0.9 * in, y, slotW, slotH));
        p.drawRect(QRectF(r.center().x() + 0.9 * in - slotW, y, slotW, slotH));
        break;
    }
    case Art::Cassette: {
        const QRectF window(r.center().x() - 0.9 * in, r.center().y() - 0.2 * in, 1.8 * in,
                            0.5 * in);
        p.drawRoundedRect(window, 8, 8);
        break;
    }
    case Art::TentCard: {
        p.setPen(dashed);
        p.drawLine(QPointF(r.left() + 4, r.bottom() - 0.125 * in),
                   QPointF(r.right() - 4, r.bottom() - 0.125 * in));
        break;
    }
    case Art::IndexTab: {
        p.setPen(dashed);
        p.drawLine(QPointF(r.left() + 3, r.center().y()), QPointF(r.right() - 3, r.center().y()));
        break;
    }
    default:
        break;
    }
    p.end();
    return image;
}

} // namespace qb
