// TKGraphicControl: the base of every label object. Geometry is kept in
// design pixels of the panel at its current zoom (at zoom 1: kPixelsPerInch
// per inch); the object paints itself on screen through Paint() and draws on
// paper through PrintTo(), side by side in each subclass.
#pragma once

#include "labelobjects/properties.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

class QMenu;
class QAction;

namespace qb {

class PrintSurface;
class TKBasePanel;

class TKGraphicControl : public QWidget, public Persistent {
    Q_OBJECT
public:
    explicit TKGraphicControl(QWidget* parent = nullptr);
    ~TKGraphicControl() override;

    // The class description (name, properties, factory) of this object.
    static const ClassInfo& StaticInfo();
    virtual const ClassInfo& Info() const { return StaticInfo(); }
    QString ClassName() const { return Info().name; }

    // ---- published geometry -------------------------------------------------
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    QRect BoundsRect() const { return QRect(left_, top_, width_, height_); }
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    int CursorId() const { return cursor_; }
    void SetCursorId(int v) { cursor_ = v; }
    QString Hint() const { return hint_; }
    void SetHint(const QString& v) { hint_ = v; }

    // ---- run-time state -----------------------------------------------------
    float Zoom() const { return zoom_; }
    void SetZoomValue(float z) { zoom_ = z; }
    bool Locked() const { return locked_; }
    void SetLocked(bool v);
    bool Unselectable() const { return unselectable_; }
    void SetUnselectable(bool v) { unselectable_ = v; }
    QRect LastBounds() const { return lastBounds_; }
    // Zooming out and back in again would lose pixels to rounding; the panel
    // keeps the bounds at zoom 1 next to the zoomed bounds they gave, and
    // returns to them as long as the object was not moved in between.
    struct ZoomMemo {
        QRect base;   // bounds at zoom 1
        QRect zoomed; // bounds at `zoom`
        float zoom = 0.0f;
    };
    const ZoomMemo& ZoomMemory() const { return zoomMemo_; }
    void SetZoomMemory(const ZoomMemo& memo) { zoomMemo_ = memo; }
    // True while the filer sets the stored properties.
    bool Loading() const { return loading_; }
    void SetLoading(bool v) { loading_ = v; }
    // The panel this object lives on (its parent), if any.
    TKBasePanel* Panel() const;

    // Events are routed to the panel (mouse down, move, up, double-click).
    void SetRouteEventsToPanel(bool on) { routed_ = on; }
    bool RoutesEventsToPanel() const { return routed_; }

    // After-load step: builds the popup menu.
    virtual void Loaded();
    QMenu* PopupMenu() const { return popup_; }
    QAction* LockedMenuItem() const { return lockedItem_; }
    // The popup menu's entry with this caption (null when none).
    QAction* MenuAction(const QString& caption) const;
    // Shows the popup menu at a global position (checks updated first).
    void ShowPopupMenu(const QPoint& globalPos);

    // ---- virtual operations -------------------------------------------------
    virtual void BoundsChanged();
    virtual void UpdateMenuChecks() {}
    virtual void ApplyFont(const TKFont& font) { (void)font; }
    virtual void RefreshData() {}
    virtual void ClearData() {}
    virtual void AdvanceCounter() {}
    virtual void ResetCounter() {}
    // Draws the object on the page with the panel's top-left corner at
    // (x0, y0) inches.
    virtual void PrintTo(PrintSurface& surface, double x0, double y0) {
        (void)surface;
        (void)x0;
        (void)y0;
    }
    // Called by the drawing tools right after placing the object (dialogs
    // that complete a new object).
    virtual void EditAfterPlacing() {}

    // Screen painting at the current zoom, in object coordinates.
    virtual void Paint(QPainter& painter) { (void)painter; }

    // Calls the panel's change notification.
    void NotifyChange();

protected:
    // Subclasses add their own entries after the common ones.
    virtual void AddMenuItems(QMenu& menu) { (void)menu; }

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    int tag_ = 0;
    int cursor_ = 0;
    QString hint_;
    float zoom_ = 1.0f;
    bool locked_ = false;
    bool unselectable_ = false;
    bool loading_ = false;
    bool routed_ = false;
    QRect lastBounds_{0, 0, 0, 0};
    ZoomMemo zoomMemo_;
    QMenu* popup_ = nullptr;
    QAction* lockedItem_ = nullptr;
};

// The factory of a registered class, with its ClassInfo.
template <class T> std::function<TKGraphicControl*()> Factory() {
    return [] { return static_cast<TKGraphicControl*>(new T()); };
}

} // namespace qb
