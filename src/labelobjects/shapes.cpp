#include "labelobjects/shapes.h"

#include <utility>

namespace qb {

// ---- graphics
// ----------------------------------------------------------------------------------------

TKLineShape::TKLineShape() {
    SetBounds(0, 0, 10, 10);
    pen_.OnChange = [this] { update(); };
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
    picture_.OnChange = [this] { update(); };
}

void TKImage::SetAutoSize(bool v) {
    autoSize_ = v;
    if (v)
        stretch_ = false;
    update();
}

void TKImage::SetStretch(bool v) {
    stretch_ = v;
    if (v)
        autoSize_ = false;
    update();
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
