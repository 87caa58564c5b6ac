// The graphic label objects: lines, shapes and pictures.
#pragma once

#include "labelobjects/classsupport.h"

#include <QLineF>
#include <QList>
#include <QPointer>

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

    // The pen width on screen at the current zoom.
    int ScreenPenWidth() const;
    // The line as drawn on screen, in object coordinates.
    QLineF ScreenLine() const;
    // "Streth To Edges": a horizontal line spans the panel's width, a vertical
    // one its height; sloping lines stay as they are.
    void StretchToEdges();

    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void UpdateMenuChecks() override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    void menuCommand();

    int lineStyle_ = stHorizontal;
    TKPen pen_;
    QList<QPointer<QAction>> styleItems_;
    QList<QPointer<QAction>> widthItems_;
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

    // The pen width on screen at the current zoom (at least 1 for a pen
    // that has a width).
    int ScreenPenWidth() const;
    // The figure's rectangle on screen, right and bottom edges excluded.
    QRect ScreenFigure() const;
    // The corner size of rounded shapes on screen.
    int ScreenCorner() const;
    bool Rounded() const { return shape_ == stRoundRect || shape_ == stRoundSquare; }

    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void UpdateMenuChecks() override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    void menuCommand();

    bool transparent_ = false;
    TKBrush brush_;
    TKPen pen_;
    int roundPerc_ = 25;
    int shape_ = stRectangle;
    QPointer<QAction> transparentItem_;
    QList<QPointer<QAction>> widthItems_;
    QList<QPointer<QAction>> roundItems_;
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

    // Takes the picture's own size when AutoSize is set at zoom 1.
    void Fit();
    // Where the picture is drawn on screen, in object coordinates.
    QRect PictureTarget() const;
    // "Load Image From Disk": the chooser, then the picture, Stretch and
    // AutoSize from it. False when cancelled or the file failed to load.
    bool LoadImageFromDisk();

    void Loaded() override;
    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void UpdateMenuChecks() override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    bool autoSize_ = false;
    TKPicture picture_;
    bool stretch_ = true;
    QPointer<QAction> stretchItem_;
    QPointer<QAction> autoSizeItem_;
};

} // namespace qb
