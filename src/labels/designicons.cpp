#include "labels/designicons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace qb {

namespace {

constexpr int kSize = 24;

void Text(QPainter& p, const QRectF& r, const QString& text, int pixelSize, bool bold = true) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, text);
}

void Bars(QPainter& p, const QRectF& r, int count) {
    // Lines of text, the last one shorter.
    const double step = r.height() / count;
    for (int i = 0; i < count; ++i) {
        const double y = r.top() + step * (i + 0.5);
        const double right = i == count - 1 ? r.left() + r.width() * 0.6 : r.right();
        p.drawLine(QPointF(r.left(), y), QPointF(right, y));
    }
}

void Arrow(QPainter& p, bool left, bool bar) {
    const QColor ink(40, 40, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPolygonF tri;
    if (left)
        tri << QPointF(16, 6) << QPointF(16, 18) << QPointF(8, 12);
    else
        tri << QPointF(8, 6) << QPointF(8, 18) << QPointF(16, 12);
    p.drawPolygon(tri);
    if (bar)
        p.drawRect(left ? QRectF(5, 6, 2, 12) : QRectF(17, 6, 2, 12));
}

void Draw(QPainter& p, DesignIcon which) {
    const QColor ink(40, 40, 40);
    const QColor blue(30, 80, 170);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.5));
    p.setBrush(Qt::NoBrush);
    switch (which) {
    case DesignIcon::Pointer: {
        QPolygonF arrow;
        arrow << QPointF(7, 3) << QPointF(7, 19) << QPointF(11, 15) << QPointF(14, 21)
              << QPointF(16.5, 20) << QPointF(13.5, 14) << QPointF(18.5, 14);
        p.setBrush(Qt::white);
        p.drawPolygon(arrow);
        break;
    }
    case DesignIcon::Text:
        p.setPen(ink);
        Text(p, QRectF(0, 0, kSize, kSize), QStringLiteral("A"), 18);
        break;
    case DesignIcon::MultiLineText:
        p.setPen(ink);
        Text(p, QRectF(1, 1, 10, 10), QStringLiteral("A"), 10);
        p.setPen(QPen(ink, 1.5));
        Bars(p, QRectF(4, 11, 17, 10), 3);
        p.drawLine(QPointF(12, 5), QPointF(21, 5));
        break;
    case DesignIcon::Counter:
        p.setPen(ink);
        Text(p, QRectF(0, 0, kSize, kSize), QStringLiteral("123"), 10);
        p.setPen(QPen(blue, 1.5));
        p.drawLine(QPointF(4, 18), QPointF(20, 18));
        break;
    case DesignIcon::Symbol: {
        p.setPen(QPen(ink, 1.5));
        p.drawEllipse(QRectF(4, 4, 16, 16));
        p.setBrush(ink);
        p.drawEllipse(QRectF(8.5, 9, 2, 2));
        p.drawEllipse(QRectF(13.5, 9, 2, 2));
        p.setBrush(Qt::NoBrush);
        QPainterPath smile;
        smile.moveTo(8, 14);
        smile.quadTo(12, 18.5, 16, 14);
        p.drawPath(smile);
        break;
    }
    case DesignIcon::Rectangle:
        p.drawRect(QRectF(3.5, 6.5, 17, 11));
        break;
    case DesignIcon::Ellipse:
        p.drawEllipse(QRectF(3.5, 6.5, 17, 11));
        break;
    case DesignIcon::RoundRectangle:
        p.drawRoundedRect(QRectF(3.5, 6.5, 17, 11), 4, 4);
        break;
    case DesignIcon::Line:
        p.setPen(QPen(ink, 2));
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        break;
    case DesignIcon::ClipArt: {
        p.drawRect(QRectF(3.5, 4.5, 17, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 140, 60));
        QPolygonF hills;
        hills << QPointF(4, 19) << QPointF(10, 11) << QPointF(13, 15) << QPointF(16, 12)
              << QPointF(20, 19);
        p.drawPolygon(hills);
        p.setBrush(QColor(230, 170, 30));
        p.drawEllipse(QRectF(14, 6.5, 4, 4));
        break;
    }
    case DesignIcon::PostNet: {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const bool tall[] = {true, false, true, false, false, true, true, false, true};
        for (int i = 0; i < 9; ++i) {
            const double h = tall[i] ? 12 : 5;
            p.drawRect(QRectF(3 + i * 2.1, 18 - h, 1.1, h));
        }
        break;
    }
    case DesignIcon::DataField:
        p.drawRect(QRectF(2.5, 7.5, 19, 9));
        p.setPen(blue);
        Text(p, QRectF(2, 7, 20, 10), QStringLiteral("ab"), 9);
        break;
    case DesignIcon::MemoField:
        p.drawRect(QRectF(3.5, 3.5, 17, 17));
        p.setPen(QPen(blue, 1.5));
        Bars(p, QRectF(6, 6, 12, 12), 4);
        break;
    case DesignIcon::AddressBlock:
        p.drawRect(QRectF(2.5, 5.5, 19, 13));
        p.setPen(QPen(blue, 1.5));
        Bars(p, QRectF(6, 8, 12, 8), 3);
        break;
    case DesignIcon::ShowGrid:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 128, 0));
        for (int y = 4; y <= 20; y += 4)
            for (int x = 4; x <= 20; x += 4)
                p.drawRect(QRectF(x - 0.75, y - 0.75, 1.5, 1.5));
        break;
    case DesignIcon::SnapToGrid:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 128, 0));
        for (int y = 4; y <= 20; y += 8)
            for (int x = 4; x <= 20; x += 8)
                p.drawRect(QRectF(x - 0.75, y - 0.75, 1.5, 1.5));
        p.setPen(QPen(ink, 1.5));
        p.setBrush(QColor(200, 215, 240));
        p.drawRect(QRectF(4, 4, 8, 8));
        break;
    case DesignIcon::ShowArt: {
        p.setPen(QPen(QColor(150, 150, 150), 1.2));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 2; ++col)
                p.drawRoundedRect(QRectF(3.5 + col * 9, 3.5 + row * 6, 8, 5), 1.5, 1.5);
        break;
    }
    case DesignIcon::FieldNames:
        p.setPen(ink);
        Text(p, QRectF(0, 0, kSize, 12), QStringLiteral("<f>"), 9);
        p.setPen(blue);
        Text(p, QRectF(0, 12, kSize, 12), QStringLiteral("ab"), 9);
        break;
    case DesignIcon::FirstRecord:
        Arrow(p, true, true);
        break;
    case DesignIcon::PriorRecord:
        Arrow(p, true, false);
        break;
    case DesignIcon::NextRecord:
        Arrow(p, false, false);
        break;
    case DesignIcon::LastRecord:
        Arrow(p, false, true);
        break;
    }
}

} // namespace

QIcon DesignButtonIcon(DesignIcon which) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kSize * scale, kSize * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        Draw(p, which);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace qb
