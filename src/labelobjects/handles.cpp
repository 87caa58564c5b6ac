#include "labelobjects/handles.h"

#include "labelobjects/graphiccontrol.h"
#include "labelobjects/panels.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace qb {

namespace {
// A drag counts only after this much time with the button down ...
constexpr qint64 kDragStartMs = 10;
// ... and a release this soon after the press is a click.
constexpr qint64 kClickMs = 150;
constexpr int kMinKeySize = 10;

void DrawDottedFrame(QPainter& p, const QRect& r) {
    // Inverting dots stay visible on white, on label art and on objects.
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.restore();
}
} // namespace

TKHandle::TKHandle(TKBasePanel* panel) : QWidget(panel), panel_(panel) {
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(holder_);
    setEnabled(false);
    hide();
}

void TKHandle::SetColor(const QColor& c) {
    color_ = c;
    RepaintMarks();
}

void TKHandle::SetSecondaryColor(const QColor& c) {
    secondaryColor_ = c;
    RepaintMarks();
}

void TKHandle::SetGridX(int v) {
    gridX_ = lastGridX_ = std::clamp(v, 1, 32);
}

void TKHandle::SetGridY(int v) {
    gridY_ = lastGridY_ = std::clamp(v, 1, 32);
}

void TKHandle::SetSnapToGrid(bool on) {
    if (on) {
        gridX_ = lastGridX_;
        gridY_ = lastGridY_;
    } else {
        gridX_ = gridY_ = 1;
    }
}

// ---- selection --------------------------------------------------------------

QList<TKGraphicControl*> TKHandle::SelectedObjects() const {
    QList<TKGraphicControl*> out;
    for (const auto& p : selected_)
        if (p && p->parentWidget() == panel_)
            out << p.data();
    return out;
}

bool TKHandle::IsSelected(const TKGraphicControl* object) const {
    return object && SelectedObjects().contains(const_cast<TKGraphicControl*>(object));
}

void TKHandle::AddObject(TKGraphicControl* object) {
    if (!object || object->Unselectable() || IsSelected(object))
        return;
    keyFrameShown_ = false; // a keyboard frame belongs to the selection it started from
    selected_ << object;
    Refit();
}

void TKHandle::RemoveObject(TKGraphicControl* object) {
    keyFrameShown_ = false;
    for (int i = selected_.size() - 1; i >= 0; --i)
        if (selected_[i] == object || !selected_[i])
            selected_.removeAt(i);
    Refit();
}

void TKHandle::Clear() {
    keyFrameShown_ = false;
    selected_.clear();
    Refit();
}

void TKHandle::Refit() {
    const QList<TKGraphicControl*> sel = SelectedObjects();
    if (sel.size() != selected_.size()) {
        selected_.clear();
        for (TKGraphicControl* o : sel)
            selected_ << o;
    }
    if (sel.isEmpty()) {
        holder_ = QRect(holder_.topLeft(), QSize(24, 24));
        setGeometry(holder_);
        hide();
        setEnabled(false);
        keyFrameShown_ = false;
        RepaintMarks();
        return;
    }
    int left = sel[0]->Left(), top = sel[0]->Top();
    int right = left + sel[0]->Width(), bottom = top + sel[0]->Height();
    for (const TKGraphicControl* o : sel) {
        left = std::min(left, o->Left());
        top = std::min(top, o->Top());
        right = std::max(right, o->Left() + o->Width());
        bottom = std::max(bottom, o->Top() + o->Height());
    }
    holder_ = QRect(left - 2, top - 2, right - left + 5, bottom - top + 5);
    setGeometry(holder_);
    setEnabled(true);
    show();
    panel_->KeepHolderOnTop();
    RepaintMarks();
}

void TKHandle::RepaintMarks() {
    if (panel_ && panel_->Overlay())
        panel_->Overlay()->update();
}

// ---- geometry rules ---------------------------------------------------------

GrabZone TKHandle::ZoneAt(int x, int y, int w, int h) {
    GrabZone zone = GrabZone::Move;
    auto near = [](int a, int b, int d) { return std::abs(a - b) < d; };
    if (near(x, 0, 8) && near(y, 0, 8))
        zone = GrabZone::TopLeft;
    if (near(x, w, 8) && near(y, h, 8))
        zone = GrabZone::BottomRight;
    if (near(x, w, 8) && near(y, 0, 8))
        zone = GrabZone::TopRight;
    if (near(x, 0, 8) && near(y, h, 8))
        zone = GrabZone::BottomLeft;
    if (near(x, w / 2, 6) && near(y, 0, 8))
        zone = GrabZone::Top;
    if (near(x, w / 2, 6) && near(y, h, 8))
        zone = GrabZone::Bottom;
    if (near(y, h / 2, 6) && near(x, 0, 8))
        zone = GrabZone::Left;
    if (near(y, h / 2, 6) && near(x, w, 8))
        zone = GrabZone::Right;
    return zone;
}

QRect TKHandle::DragInner(const QRect& inner, GrabZone zone, int dx, int dy, int gridX, int gridY) {
    int left = inner.left(), top = inner.top();
    int width = inner.width(), height = inner.height();
    const int right = left + width, bottom = top + height;
    const bool movesLeft =
        zone == GrabZone::TopLeft || zone == GrabZone::BottomLeft || zone == GrabZone::Left;
    const bool movesTop =
        zone == GrabZone::TopLeft || zone == GrabZone::TopRight || zone == GrabZone::Top;
    const bool sizesWidth =
        zone == GrabZone::BottomRight || zone == GrabZone::TopRight || zone == GrabZone::Right;
    const bool sizesHeight =
        zone == GrabZone::BottomRight || zone == GrabZone::BottomLeft || zone == GrabZone::Bottom;
    if (zone == GrabZone::Move) {
        left = Snap(left + dx, gridX);
        top = Snap(top + dy, gridY);
    }
    if (movesLeft) {
        left = std::min(Snap(left + dx, gridX), right);
        width = right - left;
    }
    if (movesTop) {
        top = std::min(Snap(top + dy, gridY), bottom);
        height = bottom - top;
    }
    if (sizesWidth)
        width = std::max(0, Snap(width + dx, gridX));
    if (sizesHeight)
        height = std::max(0, Snap(height + dy, gridY));
    return QRect(left, top, width, height);
}

void TKHandle::ApplyInner(const QRect& newInner) {
    const QRect before = holder_;
    QRect after = Outer(newInner);
    after.setWidth(std::max(5, after.width()));
    after.setHeight(std::max(5, after.height()));
    const int dl = after.left() - before.left(), dt = after.top() - before.top();
    const int dw = after.width() - before.width(), dh = after.height() - before.height();
    if (dl == 0 && dt == 0 && dw == 0 && dh == 0)
        return;
    panel_->NotifyChange();
    for (TKGraphicControl* o : SelectedObjects()) {
        if (o->Locked())
            continue;
        // An object never shrinks away: at least one pixel stays.
        o->SetBounds(o->Left() + dl, o->Top() + dt, std::max(1, o->Width() + dw),
                     std::max(1, o->Height() + dh));
    }
    Refit();
}

QList<QRect> TKHandle::MarkSquares(const QRect& b, bool single) {
    // R runs from (Left - 2, Top - 2) to (Left + Width + 2, Top + Height + 2),
    // its right and bottom edges excluded.
    const int l = b.left() - 2, t = b.top() - 2;
    const int r = b.left() + b.width() + 2, bt = b.top() + b.height() + 2;
    QList<QRect> out{QRect(l, t, 5, 5), QRect(r - 5, t, 5, 5), QRect(l, bt - 5, 5, 5),
                     QRect(r - 5, bt - 5, 5, 5)};
    if (single) {
        const int mx = l + (r - l) / 2 - 2, my = t + (bt - t) / 2 - 2;
        out << QRect(mx, t, 5, 5) << QRect(mx, bt - 5, 5, 5) << QRect(l, my, 5, 5)
            << QRect(r - 5, my, 5, 5);
    }
    return out;
}

// ---- keyboard ---------------------------------------------------------------

bool TKHandle::KeyStep(int key, bool size) {
    if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    const QList<TKGraphicControl*> sel = SelectedObjects();
    if (sel.isEmpty())
        return true;
    if (!keyFrameShown_) {
        keyFrame_ = InnerRect();
        keyFrameShown_ = true;
    }
    const int pw = panel_->Width(), ph = panel_->Height();
    QRect& f = keyFrame_;
    // Shift sizes a single object; with several it moves them like a plain arrow.
    if (size && sel.size() == 1) {
        switch (key) {
        case Qt::Key_Left:
            if (f.width() > kMinKeySize)
                f.setWidth(f.width() - 1);
            break;
        case Qt::Key_Up:
            if (f.height() > kMinKeySize)
                f.setHeight(f.height() - 1);
            break;
        case Qt::Key_Right:
            if (f.left() + f.width() < pw)
                f.setWidth(f.width() + 1);
            break;
        case Qt::Key_Down:
            if (f.top() + f.height() < ph)
                f.setHeight(f.height() + 1);
            break;
        }
    } else {
        switch (key) {
        case Qt::Key_Left:
            if (f.left() > 0)
                f.translate(-1, 0);
            break;
        case Qt::Key_Up:
            if (f.top() > 0)
                f.translate(0, -1);
            break;
        case Qt::Key_Right:
            if (f.left() + f.width() < pw)
                f.translate(1, 0);
            break;
        case Qt::Key_Down:
            if (f.top() + f.height() < ph)
                f.translate(0, 1);
            break;
        }
    }
    RepaintMarks();
    return true;
}

void TKHandle::KeyApply() {
    if (!keyFrameShown_)
        return;
    keyFrameShown_ = false;
    ApplyInner(keyFrame_);
    RepaintMarks();
}

// ---- mouse ------------------------------------------------------------------

void TKHandle::UpdateCursor(GrabZone zone) {
    switch (zone) {
    case GrabZone::TopLeft:
    case GrabZone::BottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case GrabZone::TopRight:
    case GrabZone::BottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case GrabZone::Top:
    case GrabZone::Bottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case GrabZone::Left:
    case GrabZone::Right:
        setCursor(Qt::SizeHorCursor);
        break;
    case GrabZone::Move:
        setCursor(dragging_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
        break;
    }
}

void TKHandle::HolderMouseDown(Qt::MouseButton button, const QPoint& pos,
                               Qt::KeyboardModifiers mods, qint64 time) {
    const QPoint onPanel = pos + holder_.topLeft();
    if (!panel_->Pointing()) {
        panel_->PanelMouseDown(button, onPanel, mods);
        return;
    }
    // The object under the cursor: a press on an object that is not selected
    // reaches that object, as it would without the holder above it.
    TKGraphicControl* hit = panel_->ObjectAt(onPanel);
    if (mods & Qt::ShiftModifier) {
        if (hit && IsSelected(hit))
            RemoveObject(hit);
        else if (hit)
            panel_->ObjectMouseDown(hit, button, onPanel, mods);
        return;
    }
    if (hit && !IsSelected(hit)) {
        panel_->ObjectMouseDown(hit, button, onPanel, mods);
        return;
    }
    if (button != Qt::LeftButton) {
        if (hit)
            panel_->ObjectMouseDown(hit, button, onPanel, mods);
        else
            panel_->PanelMouseDown(button, onPanel, mods);
        return;
    }
    pressed_ = true;
    dragging_ = false;
    pressTime_ = time;
    origin_ = onPanel;
    dragStart_ = holder_;
    dragFrame_ = InnerRect();
    zone_ = SelectedObjects().size() == 1 ? ZoneAt(pos.x(), pos.y(), width(), height())
                                          : GrabZone::Move;
}

void TKHandle::HolderMouseMove(Qt::MouseButtons buttons, const QPoint& pos, qint64 time) {
    // A band started on the holder (a tool, or an unselectable object under
    // it) is the panel's: the holder has the mouse until the release.
    if (panel_->RubberBanding()) {
        panel_->PanelMouseMove(pos + holder_.topLeft());
        return;
    }
    if (!panel_->Pointing())
        return;
    if (!pressed_ || !(buttons & Qt::LeftButton)) {
        const GrabZone z = SelectedObjects().size() == 1
                               ? ZoneAt(pos.x(), pos.y(), width(), height())
                               : GrabZone::Move;
        UpdateCursor(z);
        return;
    }
    if (!dragging_) {
        if (time - pressTime_ <= kDragStartMs)
            return;
        dragging_ = true;
        UpdateCursor(zone_);
    }
    QPoint m = pos + dragStart_.topLeft();
    m.setX(std::clamp(m.x(), 0, panel_->Width()));
    m.setY(std::clamp(m.y(), 0, panel_->Height()));
    dragFrame_ = DragInner(Inner(dragStart_), zone_, m.x() - origin_.x(), m.y() - origin_.y(),
                           gridX_, gridY_);
    RepaintMarks();
}

void TKHandle::HolderMouseUp(Qt::MouseButton button, const QPoint& pos, qint64 time,
                             Qt::KeyboardModifiers mods) {
    if (panel_->RubberBanding()) {
        panel_->PanelMouseUp(button, pos + holder_.topLeft(), mods);
        return;
    }
    if (button != Qt::LeftButton || !pressed_) {
        doubleClicked_ = false;
        return;
    }
    pressed_ = false;
    const bool wasDragging = dragging_;
    dragging_ = false;
    const bool dbl = doubleClicked_;
    doubleClicked_ = false;
    QPoint m = pos + dragStart_.topLeft();
    m.setX(std::clamp(m.x(), 0, panel_->Width()));
    m.setY(std::clamp(m.y(), 0, panel_->Height()));
    RepaintMarks();
    if (!wasDragging || dbl || time - pressTime_ < kClickMs || m == origin_)
        return;
    ApplyInner(DragInner(Inner(dragStart_), zone_, m.x() - origin_.x(), m.y() - origin_.y(), gridX_,
                         gridY_));
    UpdateCursor(GrabZone::Move);
}

void TKHandle::HolderDoubleClick(const QPoint& pos, const QPoint& globalPos) {
    doubleClicked_ = true;
    dragging_ = false;
    const QList<TKGraphicControl*> sel = SelectedObjects();
    if (sel.size() > 1)
        return;
    if (TKGraphicControl* o = panel_->ObjectAt(pos + holder_.topLeft()))
        o->ShowPopupMenu(globalPos);
}

void TKHandle::mousePressEvent(QMouseEvent* e) {
    HolderMouseDown(e->button(), e->position().toPoint(), e->modifiers(), qint64(e->timestamp()));
}

void TKHandle::mouseMoveEvent(QMouseEvent* e) {
    HolderMouseMove(e->buttons(), e->position().toPoint(), qint64(e->timestamp()));
}

void TKHandle::mouseReleaseEvent(QMouseEvent* e) {
    HolderMouseUp(e->button(), e->position().toPoint(), qint64(e->timestamp()), e->modifiers());
}

void TKHandle::mouseDoubleClickEvent(QMouseEvent* e) {
    HolderDoubleClick(e->position().toPoint(), e->globalPosition().toPoint());
}

void TKHandle::keyPressEvent(QKeyEvent* e) {
    if (!panel_->EditingKeyPress(e->key(), e->modifiers()))
        QWidget::keyPressEvent(e);
}

void TKHandle::keyReleaseEvent(QKeyEvent* e) {
    if (!panel_->EditingKeyRelease(e->key(), e->isAutoRepeat()))
        QWidget::keyReleaseEvent(e);
}

// ---- overlay ----------------------------------------------------------------

TKSelectionOverlay::TKSelectionOverlay(TKBasePanel* panel) : QWidget(panel), panel_(panel) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(panel->rect());
    show();
}

void TKSelectionOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    TKHandle* h = panel_->Handle();
    if (!h)
        return;
    const QList<TKGraphicControl*> sel = h->SelectedObjects();
    const bool single = sel.size() == 1;
    const QColor fill = single ? h->Color() : h->SecondaryColor();
    // Marks follow the objects in child order, so a mark of an object behind
    // another is covered by nothing but later marks.
    for (TKGraphicControl* o : panel_->Objects()) {
        if (!sel.contains(o))
            continue;
        for (const QRect& r : TKHandle::MarkSquares(o->BoundsRect(), single))
            p.fillRect(r, fill);
    }
    if (h->Dragging())
        DrawDottedFrame(p, h->DragFrame());
    if (h->KeyFrameShown())
        DrawDottedFrame(p, h->KeyFrame());
    if (panel_->RubberBanding())
        DrawDottedFrame(p, panel_->RubberBand());
}

} // namespace qb
