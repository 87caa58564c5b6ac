#include "labelobjects/shapes.h"

#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/imagebrowser.h"
#include "labelobjects/panels.h"
#include "labelobjects/picture.h"
#include "labelobjects/textdialogs.h"
#include "printing/printsurface.h"

#include <QActionGroup>
#include <QDir>
#include <QMenu>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qb {

namespace {

constexpr double kPpi = kPixelsPerInch;

// The pen width on screen: scaled and rounded to the nearest pixel when the
// zoom is not 1.
int ZoomedWidth(int width, float zoom) {
    if (zoom == 1.0f)
        return width;
    return int(std::lround(double(width) * double(zoom)));
}

// A screen pen of the given width in the object's colour, style and mode.
// Modes that combine with the page need raster operations, which only
// pixel devices have; elsewhere they draw as a plain copy.
QPen ScreenPen(QPainter& painter, const TKPen& pen, int width) {
    if (pen.Style() == psClear || pen.Mode() == pmNop)
        return QPen(Qt::NoPen);
    QColor color = ToQColor(pen.Color());
    switch (pen.Mode()) {
    case pmBlack:
        color = Qt::black;
        break;
    case pmWhite:
        color = Qt::white;
        break;
    case pmNotCopy:
        color = QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
        break;
    case pmXor:
    case pmNot:
        if (painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
            painter.setCompositionMode(pen.Mode() == pmXor ? QPainter::RasterOp_SourceXorDestination
                                                           : QPainter::RasterOp_NotDestination);
        break;
    default:
        break;
    }
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                          Qt::DashDotDotLine};
    QPen out(color, width <= 1 ? 0 : width);
    out.setStyle(pen.Style() >= 0 && pen.Style() < 5 ? styles[pen.Style()] : Qt::SolidLine);
    out.setCapStyle(Qt::RoundCap);
    out.setJoinStyle(Qt::MiterJoin);
    return out;
}

QBrush ScreenBrush(const TKBrush& brush) {
    static const Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush,         Qt::HorPattern,
                                            Qt::VerPattern,   Qt::FDiagPattern,    Qt::BDiagPattern,
                                            Qt::CrossPattern, Qt::DiagCrossPattern};
    const int s = brush.Style();
    return QBrush(ToQColor(brush.Color()), s >= 0 && s < 8 ? styles[s] : Qt::SolidPattern);
}

PenStyle PagePenStyle(int style) {
    return style >= psSolid && style <= psInsideFrame ? PenStyle(style) : PenStyle::Solid;
}

BrushStyle PageBrushStyle(int style) {
    return style >= bsSolid && style <= bsDiagCross ? BrushStyle(style) : BrushStyle::Solid;
}

// "Line Thickness" with "1 Point" .. "10 Point"; each sets the pen width.
QList<QPointer<QAction>> AddThicknessMenu(QMenu& menu, QObject* owner, TKPen& pen,
                                          std::function<void()> done) {
    QMenu* sub = menu.addMenu(QStringLiteral("Line Thickness"));
    auto* group = new QActionGroup(sub);
    QList<QPointer<QAction>> items;
    for (int n = 1; n <= 10; ++n) {
        QAction* a = sub->addAction(QStringLiteral("%1 Point").arg(n));
        a->setCheckable(true);
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, owner, [&pen, n, done] {
            pen.SetWidth(n);
            done();
        });
        items << a;
    }
    return items;
}

} // namespace

// ---- graphics
// ----------------------------------------------------------------------------------------

TKLineShape::TKLineShape() {
    SetBounds(0, 0, 10, 10);
    pen_.OnChange = [this] { update(); };
}

int TKLineShape::ScreenPenWidth() const {
    return ZoomedWidth(pen_.Width(), Zoom());
}

QLineF TKLineShape::ScreenLine() const {
    const int w = ScreenPenWidth();
    const int h = w / 2;
    switch (lineStyle_) {
    case stVertical:
        return QLineF(h, h, h, Height() + h - w + 1);
    case stAngleSlopingUp:
        return QLineF(Width(), 0, 0, Height());
    case stAngleSlopingDown:
        return QLineF(0, 0, Width(), Height());
    default:
        return QLineF(h, h, Width() + h - w + 1, h);
    }
}

void TKLineShape::Paint(QPainter& painter) {
    painter.save();
    painter.setPen(ScreenPen(painter, pen_, ScreenPenWidth()));
    painter.drawLine(ScreenLine());
    painter.restore();
}

void TKLineShape::PrintTo(PrintSurface& surface, double x0, double y0) {
    const int h = pen_.Width() / 2;
    surface.UsePen(ToQColor(pen_.Color()), PagePenStyle(pen_.Style()), -pen_.Width(),
                   PenMode::pmCopy);
    const double x1 = x0 + Left() / kPpi;
    const double x2 = x0 + (Left() + Width()) / kPpi;
    const double y1 = y0 + (Top() + h) / kPpi;
    const double y2 = y0 + (Top() + Height() + h) / kPpi;
    switch (lineStyle_) {
    case stVertical:
        surface.MoveTo(x1, y1);
        surface.LineTo(x1, y2);
        break;
    case stAngleSlopingUp:
        surface.MoveTo(x1, y2);
        surface.LineTo(x2, y1);
        break;
    case stAngleSlopingDown:
        surface.MoveTo(x1, y1);
        surface.LineTo(x2, y2);
        break;
    default:
        surface.MoveTo(x1, y1);
        surface.LineTo(x2, y1);
        break;
    }
}

void TKLineShape::StretchToEdges() {
    TKBasePanel* panel = Panel();
    if (!panel)
        return;
    if (lineStyle_ == stHorizontal)
        SetBounds(0, Top(), panel->Width(), Height());
    else if (lineStyle_ == stVertical)
        SetBounds(Left(), 0, Width(), panel->Height());
}

void TKLineShape::menuCommand() {
    NotifyChange();
    update();
}

void TKLineShape::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    QMenu* style = menu.addMenu(QStringLiteral("Style"));
    auto* group = new QActionGroup(style);
    styleItems_.clear();
    const char* const names[] = {"Horizontal", "Vertical", "Angled Sloping Up",
                                 "Angled Sloping Down"};
    for (int i = 0; i < 4; ++i) {
        QAction* a = style->addAction(QString::fromLatin1(names[i]));
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] {
            SetLineStyle(i);
            menuCommand();
        });
        styleItems_ << a;
    }
    connect(menu.addAction(QStringLiteral("Color")), &QAction::triggered, this, [this] {
        int32_t c = pen_.Color();
        if (ChooseColor(window(), c)) {
            pen_.SetColor(c);
            menuCommand();
        }
    });
    widthItems_ = AddThicknessMenu(menu, this, pen_, [this] { menuCommand(); });
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Streth To Edges")), &QAction::triggered, this, [this] {
        StretchToEdges();
        menuCommand();
    });
    UpdateMenuChecks();
}

void TKLineShape::UpdateMenuChecks() {
    for (int i = 0; i < styleItems_.size(); ++i)
        if (styleItems_[i])
            styleItems_[i]->setChecked(i == lineStyle_);
    for (int i = 0; i < widthItems_.size(); ++i)
        if (widthItems_[i])
            widthItems_[i]->setChecked(i + 1 == pen_.Width());
}
const ClassInfo& TKLineShape::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKLineShape", &TKGraphicControl::StaticInfo(),
                 {
                     EnumProp<TKLineShape>(
                         "LineStyle",
                         {"stHorizontal", "stVertical", "stAngleSlopingUp", "stAngleSlopingDown"},
                         &TKLineShape::LineStyle, &TKLineShape::SetLineStyle, stHorizontal),
                     ObjectProp<TKLineShape, TKPen>("Pen", &TKLineShape::Pen, TKPen::Table()),
                 },
                 Factory<TKLineShape>());
    return info;
}

TKLabelShapes::TKLabelShapes() {
    SetBounds(0, 0, 25, 25);
    pen_.OnChange = [this] { update(); };
    brush_.OnChange = [this] { update(); };
}

void TKLabelShapes::SetTransparent(bool v) {
    transparent_ = v;
    brush_.SetStyle(v ? bsClear : bsSolid);
}

int TKLabelShapes::ScreenPenWidth() const {
    int w = ZoomedWidth(pen_.Width(), Zoom());
    if (pen_.Width() > 0)
        w = std::max(1, w);
    return w;
}

QRect TKLabelShapes::ScreenFigure() const {
    const int w = ScreenPenWidth();
    const int h = w / 2;
    // The figure spans (h, h) to (Width + h - w + 1, Height + h - w + 1),
    // right and bottom edges not included.
    return QRect(QPoint(h, h), QPoint(Width() + h - w, Height() + h - w));
}

int TKLabelShapes::ScreenCorner() const {
    return int(roundPerc_ * 0.01 * std::max(Width(), Height()));
}

void TKLabelShapes::Paint(QPainter& painter) {
    painter.save();
    const QPen pen = ScreenPen(painter, pen_, ScreenPenWidth());
    painter.setPen(pen);
    painter.setBrush(ScreenBrush(brush_));
    const QRect r = ScreenFigure();
    // The outline runs along the outermost pixels of the figure.
    const QRectF f = pen.style() == Qt::NoPen
                         ? QRectF(r.left(), r.top(), r.width(), r.height())
                         : QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1);
    switch (shape_) {
    case stRoundRect:
    case stRoundSquare: {
        const double k = ScreenCorner() / 2.0;
        painter.drawRoundedRect(f, std::min(k, f.width() / 2), std::min(k, f.height() / 2));
        break;
    }
    case stEllipse:
    case stCircle:
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.drawEllipse(f);
        break;
    default:
        painter.drawRect(f);
        break;
    }
    painter.restore();
}

void TKLabelShapes::PrintTo(PrintSurface& surface, double x0, double y0) {
    surface.UsePen(ToQColor(pen_.Color()), PagePenStyle(pen_.Style()),
                   -int(pen_.Width() / kPpi * 100), PenMode::pmCopy);
    surface.UseBrush(ToQColor(brush_.Color()), PageBrushStyle(brush_.Style()));
    const double x1 = x0 + Left() / kPpi;
    const double y1 = y0 + Top() / kPpi;
    const double x2 = x0 + (Left() + Width()) / kPpi;
    const double y2 = y0 + (Top() + Height()) / kPpi;
    switch (shape_) {
    case stRoundRect:
    case stRoundSquare: {
        const double k = roundPerc_ * 0.01 * (Height() < Width() ? x2 - x1 : y2 - y1);
        surface.RoundRect(x1, y1, x2, y2, k, k);
        break;
    }
    case stEllipse:
    case stCircle:
        surface.Ellipse(x1, y1, x2, y2);
        break;
    default:
        surface.Rectangle(x1, y1, x2, y2);
        break;
    }
}

void TKLabelShapes::menuCommand() {
    NotifyChange();
    update();
}

void TKLabelShapes::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Background Color")), &QAction::triggered, this, [this] {
        int32_t c = brush_.Color();
        if (ChooseColor(window(), c)) {
            brush_.SetColor(c);
            SetTransparent(false);
            menuCommand();
        }
    });
    connect(menu.addAction(QStringLiteral("Line Color")), &QAction::triggered, this, [this] {
        int32_t c = pen_.Color();
        if (ChooseColor(window(), c)) {
            pen_.SetColor(c);
            menuCommand();
        }
    });
    widthItems_ = AddThicknessMenu(menu, this, pen_, [this] { menuCommand(); });
    menu.addSeparator();
    transparentItem_ = menu.addAction(QStringLiteral("Transparent"));
    transparentItem_->setCheckable(true);
    connect(transparentItem_, &QAction::triggered, this, [this] {
        SetTransparent(!transparent_);
        menuCommand();
    });
    roundItems_.clear();
    if (Rounded()) {
        menu.addSeparator();
        QMenu* sub = menu.addMenu(QStringLiteral("Degree of Rounding"));
        auto* group = new QActionGroup(sub);
        for (int perc = 20; perc <= 80; perc += 10) {
            QAction* a = sub->addAction(QStringLiteral("%1 %").arg(perc));
            a->setCheckable(true);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, perc] {
                SetRoundPerc(perc);
                menuCommand();
            });
            roundItems_ << a;
        }
    }
    UpdateMenuChecks();
}

void TKLabelShapes::UpdateMenuChecks() {
    if (transparentItem_)
        transparentItem_->setChecked(transparent_);
    for (int i = 0; i < widthItems_.size(); ++i)
        if (widthItems_[i])
            widthItems_[i]->setChecked(i + 1 == pen_.Width());
    for (int i = 0; i < roundItems_.size(); ++i)
        if (roundItems_[i])
            roundItems_[i]->setChecked(20 + 10 * i == roundPerc_);
}

const ClassInfo& TKLabelShapes::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKLabelShapes", &TKGraphicControl::StaticInfo(),
        {
            BoolProp<TKLabelShapes>("Transparent", &TKLabelShapes::Transparent,
                                    &TKLabelShapes::SetTransparent),
            ObjectProp<TKLabelShapes, TKBrush>("Brush", &TKLabelShapes::Brush, TKBrush::Table()),
            ObjectProp<TKLabelShapes, TKPen>("Pen", &TKLabelShapes::Pen, TKPen::Table()),
            IntProp<TKLabelShapes, int>("RoundPerc", &TKLabelShapes::RoundPerc,
                                        &TKLabelShapes::SetRoundPerc, 25),
            EnumProp<TKLabelShapes>("Shape",
                                    {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare",
                                     "stEllipse", "stCircle"},
                                    &TKLabelShapes::Shape, &TKLabelShapes::SetShape, stRectangle),
        },
        Factory<TKLabelShapes>());
    return info;
}

const ClassInfo& Trpshapes::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("Trpshapes", &TKLabelShapes::StaticInfo(), {}, Factory<Trpshapes>());
    return info;
}

TKImage::TKImage() {
    SetBounds(0, 0, 105, 105);
    picture_.OnChange = [this] {
        if (!Loading())
            Fit();
        update();
    };
}

void TKImage::SetAutoSize(bool v) {
    autoSize_ = v;
    if (v)
        stretch_ = false;
    if (!Loading())
        Fit();
    update();
}

void TKImage::SetStretch(bool v) {
    stretch_ = v;
    if (v)
        autoSize_ = false;
    update();
}

void TKImage::Fit() {
    if (!autoSize_ || Zoom() != 1.0f)
        return;
    const QSize own = PictureSize(picture_);
    if (own.isEmpty() || own == QSize(Width(), Height()))
        return;
    SetBounds(Left(), Top(), own.width(), own.height());
}

QRect TKImage::PictureTarget() const {
    const QSize own = PictureSize(picture_);
    if (stretch_ || Zoom() != 1.0f || own.isEmpty())
        return QRect(0, 0, Width(), Height());
    return QRect(QPoint(0, 0), own);
}

void TKImage::Loaded() {
    TKGraphicControl::Loaded();
    Fit();
}

void TKImage::Paint(QPainter& painter) {
    painter.save();
    if (PictureSize(picture_).isEmpty() ||
        !PaintPicture(painter, picture_, QRectF(PictureTarget()))) {
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, Width() - 1, Height() - 1);
    }
    painter.restore();
}

void TKImage::PrintTo(PrintSurface& surface, double x0, double y0) {
    PrintPicture(surface, picture_, x0 + Left() / kPpi, y0 + Top() / kPpi,
                 x0 + (Left() + Width()) / kPpi, y0 + (Top() + Height()) / kPpi);
}

bool TKImage::LoadImageFromDisk() {
    const QString saved = QDir::currentPath();
    int result = QDialog::Rejected;
    QString file;
    bool stretch = stretch_, autoSize = autoSize_;
    {
        TKImageBrowser browser(window());
        browser.SetStretch(stretch_);
        browser.SetAutoSize(autoSize_);
        result = RunModal(browser);
        file = browser.FileName();
        stretch = browser.Stretch();
        autoSize = browser.AutoSize();
    }
    QDir::setCurrent(saved);
    if (result != QDialog::Accepted || file.isEmpty())
        return false;
    stretch_ = stretch;
    autoSize_ = autoSize && !stretch;
    if (!picture_.LoadFromFile(file)) {
        Warn(QStringLiteral("Error loading file!"));
        picture_.Clear();
        NotifyChange();
        update();
        return false;
    }
    Fit();
    NotifyChange();
    update();
    return true;
}

void TKImage::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("Load Image From Disk")), &QAction::triggered, this,
            [this] { LoadImageFromDisk(); });
    menu.addSeparator();
    stretchItem_ = menu.addAction(QStringLiteral("Stretch to Fit"));
    stretchItem_->setCheckable(true);
    connect(stretchItem_, &QAction::triggered, this, [this] {
        SetStretch(!stretch_);
        NotifyChange();
        update();
    });
    autoSizeItem_ = menu.addAction(QStringLiteral("AutoSize"));
    autoSizeItem_->setCheckable(true);
    connect(autoSizeItem_, &QAction::triggered, this, [this] {
        SetAutoSize(!autoSize_);
        NotifyChange();
        update();
    });
    UpdateMenuChecks();
}

void TKImage::UpdateMenuChecks() {
    if (stretchItem_)
        stretchItem_->setChecked(stretch_);
    if (autoSizeItem_)
        autoSizeItem_->setChecked(autoSize_);
}

const ClassInfo& TKImage::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKImage", &TKGraphicControl::StaticInfo(),
        {
            BoolProp<TKImage>("AutoSize", &TKImage::AutoSize, &TKImage::SetAutoSize, false),
            ObjectProp<TKImage, TKPicture>("Picture", &TKImage::Picture, TKPicture::Table()),
            BoolProp<TKImage>("Stretch", &TKImage::Stretch, &TKImage::SetStretch, true),
        },
        Factory<TKImage>());
    return info;
}

} // namespace qb
