#include "labelobjects/graphiccontrol.h"

#include "labelobjects/panels.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qb {

TKGraphicControl::TKGraphicControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
}

TKGraphicControl::~TKGraphicControl() = default;

const ClassInfo& TKGraphicControl::StaticInfo() {
    static const ClassInfo info = [] {
        ClassInfo c;
        c.name = QStringLiteral("TKGraphicControl");
        PropertyDef tag = IntProp<TKGraphicControl, int>("Tag", &TKGraphicControl::Tag,
                                                         &TKGraphicControl::SetTag, 0);
        c.own.props = {
            tag,
            IntProp<TKGraphicControl, int>("Left", &TKGraphicControl::Left,
                                           &TKGraphicControl::SetLeft),
            IntProp<TKGraphicControl, int>("Top", &TKGraphicControl::Top,
                                           &TKGraphicControl::SetTop),
            IntProp<TKGraphicControl, int>("Width", &TKGraphicControl::Width,
                                           &TKGraphicControl::SetWidth),
            IntProp<TKGraphicControl, int>("Height", &TKGraphicControl::Height,
                                           &TKGraphicControl::SetHeight),
            IntProp<TKGraphicControl, int>("Cursor", &TKGraphicControl::CursorId,
                                           &TKGraphicControl::SetCursorId, 0),
            StringProp<TKGraphicControl>("Hint", &TKGraphicControl::Hint,
                                         &TKGraphicControl::SetHint),
        };
        return c;
    }();
    return info;
}

TKBasePanel* TKGraphicControl::Panel() const {
    return qobject_cast<TKBasePanel*>(parentWidget());
}

void TKGraphicControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    // The widget cannot be negative in size; the stored values may be.
    setGeometry(left, top, std::max(0, width), std::max(0, height));
    if (!loading_)
        BoundsChanged();
    update();
}

void TKGraphicControl::BoundsChanged() {
    const QRect now = BoundsRect();
    if (lastBounds_ == QRect(0, 0, 0, 0))
        lastBounds_ = now;
    if (now != lastBounds_) {
        NotifyChange();
        lastBounds_ = now;
        if (TKBasePanel* panel = Panel())
            panel->PostSelectionRefit();
    }
}

void TKGraphicControl::NotifyChange() {
    if (loading_)
        return;
    if (TKBasePanel* panel = Panel())
        panel->NotifyChange();
}

void TKGraphicControl::SetLocked(bool v) {
    locked_ = v;
    if (lockedItem_)
        lockedItem_->setChecked(v);
}

void TKGraphicControl::Loaded() {
    // The bounds read are the reference for the next change, so the first
    // move after loading is reported like any other.
    lastBounds_ = BoundsRect();
    delete popup_;
    popup_ = new QMenu(this);
    // Each entry asks the panel the object is on at the time it is chosen.
    auto add = [this](const QString& caption, void (TKBasePanel::*command)(TKGraphicControl*)) {
        QAction* a = popup_->addAction(caption);
        connect(a, &QAction::triggered, this, [this, command] {
            if (TKBasePanel* panel = Panel())
                panel->RunGuarded([&] { (panel->*command)(this); });
        });
        return a;
    };
    add(tr("Bring To Front"), &TKBasePanel::BringObjectToFront);
    add(tr("Send To Back"), &TKBasePanel::SendObjectToBack);
    add(tr("Cut"), &TKBasePanel::CutObject);
    add(tr("Copy"), &TKBasePanel::CopyObject);
    add(tr("Delete"), &TKBasePanel::DeleteObject);
    QAction* clone = popup_->addAction(tr("Clone"));
    connect(clone, &QAction::triggered, this, [this] {
        if (TKBasePanel* panel = Panel())
            panel->RunGuarded([&] { panel->CloneObject(this); });
    });
    popup_->addSeparator();
    lockedItem_ = popup_->addAction(tr("Locked"));
    lockedItem_->setCheckable(true);
    lockedItem_->setChecked(locked_);
    connect(lockedItem_, &QAction::triggered, this, [this](bool on) { SetLocked(on); });
    add(tr("Unselectable"), &TKBasePanel::MarkObjectUnselectable);
    popup_->addSeparator();
    add(tr("Center Vertically"), &TKBasePanel::CenterObjectVertically);
    add(tr("Center Horizontally"), &TKBasePanel::CenterObjectHorizontally);
    AddMenuItems(*popup_);
}

QAction* TKGraphicControl::MenuAction(const QString& caption) const {
    if (!popup_)
        return nullptr;
    for (QAction* a : popup_->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void TKGraphicControl::ShowPopupMenu(const QPoint& globalPos) {
    if (!popup_)
        Loaded();
    UpdateMenuChecks();
    lockedItem_->setChecked(locked_);
    if (TKBasePanel* panel = Panel())
        panel->ShowMenu(popup_, globalPos);
    else
        popup_->popup(globalPos);
}

void TKGraphicControl::enterEvent(QEnterEvent* event) {
    if (TKBasePanel* panel = Panel(); panel && routed_)
        setCursor(panel->Pointing() ? Qt::PointingHandCursor : Qt::DragMoveCursor);
    QWidget::enterEvent(event);
}

void TKGraphicControl::leaveEvent(QEvent* event) {
    unsetCursor();
    QWidget::leaveEvent(event);
}

void TKGraphicControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter);
}

void TKGraphicControl::mousePressEvent(QMouseEvent* event) {
    TKBasePanel* panel = Panel();
    if (!routed_ || !panel) {
        QWidget::mousePressEvent(event);
        return;
    }
    panel->ObjectMouseDown(this, event->button(), event->position().toPoint() + QPoint(left_, top_),
                           event->modifiers());
}

void TKGraphicControl::mouseMoveEvent(QMouseEvent* event) {
    TKBasePanel* panel = Panel();
    if (!routed_ || !panel) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    panel->PanelMouseMove(event->position().toPoint() + QPoint(left_, top_));
}

void TKGraphicControl::mouseReleaseEvent(QMouseEvent* event) {
    TKBasePanel* panel = Panel();
    if (!routed_ || !panel) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    panel->PanelMouseUp(event->button(), event->position().toPoint() + QPoint(left_, top_),
                        event->modifiers());
}

void TKGraphicControl::mouseDoubleClickEvent(QMouseEvent* event) {
    TKBasePanel* panel = Panel();
    if (!routed_ || !panel) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    // With several objects selected a double-click opens no object's menu.
    if (panel->Selection().size() <= 1 && !unselectable_ && panel->Pointing())
        ShowPopupMenu(event->globalPosition().toPoint());
}

} // namespace qb
