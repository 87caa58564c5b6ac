// TKHandle: the selection holder of a panel. It keeps the selected objects in
// the order they were selected, covers them (2 pixels outside their union at
// the left and top, 3 at the right and bottom) and performs the mouse and
// keyboard drags that move and size them. TKSelectionOverlay draws the
// selection marks and the dotted drag, keyboard and rubber-band frames on top
// of every object.
#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace qb {

class TKBasePanel;
class TKGraphicControl;

// Where on the holder a drag was started: a corner or edge middle sizes the
// one selected object, anywhere else moves the selection.
enum class GrabZone { Move, TopLeft, BottomRight, TopRight, BottomLeft, Top, Bottom, Left, Right };

class TKHandle : public QWidget {
    Q_OBJECT
public:
    explicit TKHandle(TKBasePanel* panel);

    // ---- published ----------------------------------------------------------
    QColor Color() const { return color_; }
    void SetColor(const QColor& c);
    QColor SecondaryColor() const { return secondaryColor_; }
    void SetSecondaryColor(const QColor& c);
    bool Locked() const { return locked_; }
    void SetLocked(bool v) { locked_ = v; }
    int GridX() const { return gridX_; }
    int GridY() const { return gridY_; }
    // 1..32; also remembered as the last step given.
    void SetGridX(int v);
    void SetGridY(int v);
    bool SnapToGrid() const { return gridX_ > 1 || gridY_ > 1; }
    // Off: both active steps 1. On: the last steps given.
    void SetSnapToGrid(bool on);

    // ---- selection ----------------------------------------------------------
    QList<TKGraphicControl*> SelectedObjects() const;
    bool IsSelected(const TKGraphicControl* object) const;
    // Unselectable objects and objects already selected are not added.
    void AddObject(TKGraphicControl* object);
    void RemoveObject(TKGraphicControl* object);
    void Clear();
    // Covers the selection again (hidden, disabled and 24 x 24 when empty).
    void Refit();
    // The holder's rectangle on the panel, and the objects' part of it.
    QRect HolderRect() const { return holder_; }
    QRect InnerRect() const { return Inner(holder_); }
    static QRect Inner(const QRect& holder) { return holder.adjusted(2, 2, -3, -3); }
    static QRect Outer(const QRect& inner) { return inner.adjusted(-2, -2, 3, 3); }

    // ---- geometry rules -----------------------------------------------------
    // The zone under (x, y) in holder coordinates of a w x h holder; the later
    // of several matching tests wins.
    static GrabZone ZoneAt(int x, int y, int w, int h);
    // v snapped to the step, rounding toward zero.
    static int Snap(int v, int step) { return step > 1 ? step * (v / step) : v; }
    // The objects' rectangle after dragging `zone` by (dx, dy) from `inner`:
    // a moving edge or size lands on the grid, the others stay.
    static QRect DragInner(const QRect& inner, GrabZone zone, int dx, int dy, int gridX, int gridY);
    // Gives the holder the new rectangle of the objects' part and moves and
    // sizes every selected object that is not locked by the same amounts.
    void ApplyInner(const QRect& newInner);

    // ---- drag state ---------------------------------------------------------
    bool Dragging() const { return dragging_; }
    GrabZone Zone() const { return zone_; }
    // Where the objects would land if the mouse were released now.
    QRect DragFrame() const { return dragFrame_; }

    // ---- keyboard moving and sizing -----------------------------------------
    bool KeyFrameShown() const { return keyFrameShown_; }
    QRect KeyFrame() const { return keyFrame_; }
    // One arrow key press: moves the frame one pixel (with `size`: sizes it
    // when exactly one object is selected). False for keys it does not use.
    bool KeyStep(int key, bool size);
    // Applies the frame (on key release) and hides it.
    void KeyApply();

    // The five-by-five squares marking a selected object with these bounds.
    static QList<QRect> MarkSquares(const QRect& bounds, bool single);

    // Mouse handling in holder coordinates with event times in milliseconds.
    void HolderMouseDown(Qt::MouseButton button, const QPoint& pos, Qt::KeyboardModifiers mods,
                         qint64 time);
    void HolderMouseMove(Qt::MouseButtons buttons, const QPoint& pos, qint64 time);
    void HolderMouseUp(Qt::MouseButton button, const QPoint& pos, qint64 time,
                       Qt::KeyboardModifiers mods = {});
    void HolderDoubleClick(const QPoint& pos, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    TKBasePanel* panel_;
    QColor color_ = Qt::black;
    QColor secondaryColor_{0x80, 0x80, 0x80}; // clGray
    bool locked_ = false;
    int gridX_ = 1;
    int gridY_ = 1;
    int lastGridX_ = 8;
    int lastGridY_ = 8;
    QList<QPointer<TKGraphicControl>> selected_;
    QRect holder_{0, 0, 24, 24};

    // drag state
    bool pressed_ = false;
    bool dragging_ = false;
    bool doubleClicked_ = false;
    qint64 pressTime_ = 0;
    QPoint origin_; // panel coordinates
    GrabZone zone_ = GrabZone::Move;
    QRect dragStart_; // holder rectangle before the drag
    QRect dragFrame_;

    bool keyFrameShown_ = false;
    QRect keyFrame_;

    void UpdateCursor(GrabZone zone);
    void RepaintMarks();
};

// Paints over the objects: selection marks, the drag frame, the keyboard
// frame and the rubber band. It takes no mouse input.
class TKSelectionOverlay : public QWidget {
    Q_OBJECT
public:
    explicit TKSelectionOverlay(TKBasePanel* panel);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TKBasePanel* panel_;
};

} // namespace qb
