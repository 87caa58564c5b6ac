// The graphic label objects: lines, shapes and pictures.
#pragma once

#include "labelobjects/classsupport.h"

namespace qb {

// ---- graphics
// ------------------------------------------------------------------------------------
class TKLineShape : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    TKLineShape();
    int LineStyle() const { return lineStyle_; }
    void SetLineStyle(int v) {
        lineStyle_ = v;
        update();
    }
    TKPen* Pen() { return &pen_; }
    const TKPen& PenRef() const { return pen_; }

private:
    int lineStyle_ = stHorizontal;
    TKPen pen_;
};

class TKLabelShapes : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    TKLabelShapes();
    bool Transparent() const { return transparent_; }
    // Also sets the brush style: clear when transparent, solid otherwise.
    void SetTransparent(bool v);
    TKBrush* Brush() { return &brush_; }
    const TKBrush& BrushRef() const { return brush_; }
    TKPen* Pen() { return &pen_; }
    const TKPen& PenRef() const { return pen_; }
    int RoundPerc() const { return roundPerc_; }
    void SetRoundPerc(int v) {
        roundPerc_ = v;
        update();
    }
    int Shape() const { return shape_; }
    void SetShape(int v) {
        shape_ = v;
        update();
    }

private:
    bool transparent_ = false;
    TKBrush brush_;
    TKPen pen_;
    int roundPerc_ = 25;
    int shape_ = stRectangle;
};

class Trpshapes : public TKLabelShapes {
    QB_STREAMABLE_CLASS
};

class TKImage : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    TKImage();
    bool AutoSize() const { return autoSize_; }
    // AutoSize and Stretch exclude each other.
    void SetAutoSize(bool v);
    TKPicture* Picture() { return &picture_; }
    const TKPicture& PictureRef() const { return picture_; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);

private:
    bool autoSize_ = false;
    TKPicture picture_;
    bool stretch_ = true;
};

} // namespace qb
