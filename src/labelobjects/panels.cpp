#include "labelobjects/panels.h"

#include "labelobjects/handles.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/picture.h"
#include "printing/printsurface.h"
#include "storage/settings.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace qb {

namespace {
// Nearest integer, halves to the even neighbour.
int Nearest(double x) {
    return int(std::nearbyint(x));
}
} // namespace

// ---- TKBasePanel ------------------------------------------------------------

TKBasePanel::TKBasePanel(QWidget* parent, QObject* owner) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // The clipboard file lives in the program home: the program's own folder
    // may be read-only, and every window of the program shares the home.
    clipboardFile_ = ProgramDirectory() + QStringLiteral("Clipbrd.tmp");
    tempFile_ = ProgramDirectory() + QStringLiteral("TempFile.tmp");
    handle_ = new TKHandle(this);
    overlay_ = new TKSelectionOverlay(this);
    BuildPanelMenu();
    connect(this, &TKBasePanel::SelectionRefitRequested, this, [this] { handle_->Refit(); });
}

qint64 TKBasePanel::Now() const {
    if (Clock)
        return Clock();
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    // Never 0, which stands for "no paste yet".
    return timer.elapsed() + 1;
}

void TKBasePanel::KeepHolderOnTop() {
    if (handle_)
        handle_->raise();
    if (overlay_)
        overlay_->raise();
}

bool TKBasePanel::event(QEvent* e) {
    if (e->type() == QEvent::ChildAdded) {
        // A new object goes on top of the others but stays below the holder.
        auto* ce = static_cast<QChildEvent*>(e);
        if (dynamic_cast<TKGraphicControl*>(ce->child()))
            KeepHolderOnTop();
    } else if (e->type() == QEvent::ChildRemoved && handle_) {
        // An object deleted from elsewhere leaves the selection; the holder
        // shrinks to what remains.
        PostSelectionRefit();
    }
    return QWidget::event(e);
}

void TKBasePanel::resizeEvent(QResizeEvent* e) {
    if (overlay_)
        overlay_->setGeometry(rect());
    QWidget::resizeEvent(e);
}

void TKBasePanel::SetGridSize(int v) {
    gridSize_ = v;
    if (snapToGrid_) {
        handle_->SetGridX(GridStep());
        handle_->SetGridY(GridStep());
    }
}

void TKBasePanel::SetSnapToGrid(bool v) {
    snapToGrid_ = v;
    handle_->SetSnapToGrid(v);
    if (v) {
        handle_->SetGridX(GridStep());
        handle_->SetGridY(GridStep());
    }
}

TKGraphicControl* TKBasePanel::ObjectAt(const QPoint& pos) const {
    const QList<TKGraphicControl*> all = Objects();
    for (int i = all.size() - 1; i >= 0; --i)
        if (all[i]->BoundsRect().contains(pos))
            return all[i];
    return nullptr;
}

TKBasePanel::~TKBasePanel() {
    // Errors while deleting are of no consequence here.
    QFile::remove(clipboardFile_);
    QFile::remove(tempFile_);
}

QObject* TKBasePanel::Owner() const {
    if (owner_)
        return owner_;
    return const_cast<QWidget*>(window());
}

QList<TKGraphicControl*> TKBasePanel::Objects() const {
    QList<TKGraphicControl*> out;
    for (QObject* child : children())
        if (auto* o = dynamic_cast<TKGraphicControl*>(child))
            out << o;
    return out;
}

QList<TKGraphicControl*> TKBasePanel::Selection() const {
    return handle_->SelectedObjects();
}

void TKBasePanel::SetSelection(const QList<TKGraphicControl*>& objects) {
    handle_->Clear();
    for (TKGraphicControl* o : objects)
        handle_->AddObject(o);
}

void TKBasePanel::ClearSelection() {
    handle_->Clear();
}

QRect TKBasePanel::SelectionFrame() const {
    if (Selection().isEmpty())
        return {};
    handle_->Refit();
    return handle_->HolderRect();
}

void TKBasePanel::PostSelectionRefit() {
    if (refitPosted_)
        return;
    refitPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            refitPosted_ = false;
            emit SelectionRefitRequested();
        },
        Qt::QueuedConnection);
}

void TKBasePanel::NotifyChange() {
    if (zooming_ || !LabelChangedEvent)
        return;
    LabelChangedEvent();
}

QString TKBasePanel::UniqueName(const QString& prefix, int first, QObject* owner) const {
    for (int n = first; n <= 1000; ++n) {
        const QString name = prefix + QString::number(n);
        if (!NameExists(name, owner))
            return name;
    }
    return {};
}

bool TKBasePanel::NameExists(const QString& name, QObject* owner) const {
    if (name.isEmpty())
        return false;
    QObject* o = owner ? owner : Owner();
    if (!o)
        return false;
    if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
        return true;
    const QList<QObject*> all = o->findChildren<QObject*>();
    for (const QObject* c : all)
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// ---- zoom -------------------------------------------------------------------

void TKBasePanel::ZoomObject(TKGraphicControl* o, float z) {
    const TKGraphicControl::ZoomMemo& memo = o->ZoomMemory();
    const bool untouched = memo.zoom == o->Zoom() && memo.zoomed == o->BoundsRect();
    if (untouched || o->Zoom() == 1.0f) {
        // From the bounds at zoom 1: exact when returning to 1.
        const double r = double(z);
        const QRect b = untouched ? memo.base : o->BoundsRect();
        const QRect now = z == 1.0f ? b
                                    : QRect(Nearest(b.x() * r), Nearest(b.y() * r),
                                            Nearest(b.width() * r), Nearest(b.height() * r));
        // The zoom first: objects that fit themselves to their content measure
        // it at the new zoom when their bounds change.
        o->SetZoomValue(z);
        o->SetBounds(now.x(), now.y(), now.width(), now.height());
        o->SetZoomMemory({b, o->BoundsRect(), z});
        return;
    }
    const double r = double(z) / double(o->Zoom());
    const QRect b = o->BoundsRect();
    o->SetZoomValue(z);
    o->SetBounds(Nearest(b.x() * r), Nearest(b.y() * r), Nearest(b.width() * r),
                 Nearest(b.height() * r));
    o->SetZoomMemory({});
}

void TKBasePanel::SetZoom(float z) {
    if (z == zoom_ || z <= 0.0f)
        return;
    zooming_ = true;
    const double r = double(z) / double(zoom_);
    resize(Nearest(width() * r), Nearest(height() * r));
    zoom_ = z;
    ClearSelection();
    for (TKGraphicControl* o : Objects())
        if (o->Zoom() != z)
            ZoomObject(o, z);
    zooming_ = false;
    update();
}

// ---- objects ----------------------------------------------------------------

void TKBasePanel::AdoptObject(TKGraphicControl* object) {
    object->SetRouteEventsToPanel(true);
    if (object->Zoom() != zoom_)
        ZoomObject(object, zoom_);
}

void TKBasePanel::AdoptLoadedObjects(const QList<TKGraphicControl*>& objects) {
    const bool was = zooming_;
    zooming_ = true; // giving the panel's zoom is no change of the layout
    for (TKGraphicControl* o : objects)
        AdoptObject(o);
    zooming_ = was;
}

void TKBasePanel::AddObject(TKGraphicControl* object, const QRect& rect) {
    object->hide();
    object->setParent(this);
    const QString name = UniqueName(QStringLiteral("Special"), 1);
    if (!name.isEmpty())
        object->setObjectName(name);
    object->SetBounds(rect.left(), rect.top(), std::max(10, rect.width()),
                      std::max(15, rect.height()));
    object->SetRouteEventsToPanel(true);
    object->SetZoomValue(zoom_);
    object->SetZoomMemory({});
    if (!object->PopupMenu())
        object->Loaded();
    object->show();
    NotifyChange();
}

void TKBasePanel::ClearObjects() {
    ClearSelection();
    for (TKGraphicControl* o : Objects())
        delete o;
}

void TKBasePanel::AdvanceCounters() {
    for (TKGraphicControl* o : Objects())
        o->AdvanceCounter();
}

void TKBasePanel::ResetCounters() {
    for (TKGraphicControl* o : Objects())
        o->ResetCounter();
}

void TKBasePanel::PrintObjects(PrintSurface& surface, double x0, double y0) {
    for (TKGraphicControl* o : Objects())
        o->PrintTo(surface, x0, y0);
}

void TKBasePanel::ClampObjects() {
    ClearSelection();
    for (TKGraphicControl* o : Objects()) {
        if (o->Top() > Height() - 10)
            o->SetTop(Height() - 10);
        if (o->Left() > Width() - 20)
            o->SetLeft(Width() - 20);
    }
}

void TKBasePanel::RemoveStrayObjects() {
    ClearSelection();
    for (TKGraphicControl* o : Objects())
        if (o->Top() > Height() - 10 || o->Left() > Width() - 10 || o->Width() < 1 ||
            o->Height() < 1)
            delete o;
}

void TKBasePanel::SaveToFile(const QString& path) {
    const float was = zoom_;
    if (was != 1.0f)
        SetZoom(1.0f);
    auto restore = [&] {
        RefreshAllData();
        if (was != 1.0f)
            SetZoom(was);
    };
    try {
        TKLabelObjectFiler::SavePanel(*this, path);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TKBasePanel::LoadFromFile(const QString& path) {
    if (!QFile::exists(path))
        return;
    TKLabelObjectFiler filer(Owner());
    filer.LoadPanel(*this, path);
    RefreshAllData();
}

// ---- drawing ----------------------------------------------------------------

QPainterPath TKBasePanel::ShapePath() const {
    QPainterPath path;
    const QRectF r(0, 0, width() + 1, height() + 1);
    switch (shape_) {
    case lsRectangle:
        path.addRect(r);
        break;
    case lsEllipse:
        path.addEllipse(r);
        break;
    default:
        path.addRoundedRect(r, 12, 12); // corners of a 24 x 24 ellipse
        break;
    }
    return path;
}

QImage TKBasePanel::GridPattern() {
    QImage pattern(8, 8, QImage::Format_RGB32);
    pattern.fill(Qt::white);
    const QRgb green = qRgb(0, 0x80, 0);
    for (int y : {2, 6})
        for (int x : {0, 4})
            pattern.setPixel(x, y, green);
    return pattern;
}

QImage TKBasePanel::ComposeBackground() const {
    QImage image(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const QPainterPath shape = ShapePath();
    const QRect all(0, 0, width(), height());
    if (!picture_.IsEmpty()) {
        p.save();
        p.setClipPath(shape);
        PaintPicture(p, picture_, all);
        p.restore();
    }
    if (!colorPicture_.IsEmpty()) {
        p.save();
        p.setClipPath(shape);
        // A bitmap is stretched over the panel; a metafile is played into the
        // panel rectangle, the parts it does not paint showing the art below.
        PaintPicture(p, colorPicture_, all);
        p.restore();
    }
    if (drawOutline_) {
        // The outline is drawn just inside the panel so that every edge shows.
        QPainterPath outline;
        const QRectF r(0.5, 0.5, width() - 1, height() - 1);
        if (shape_ == lsRectangle)
            outline.addRect(r);
        else if (shape_ == lsEllipse)
            outline.addEllipse(r);
        else
            outline.addRoundedRect(r, 12, 12);
        p.save();
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        p.restore();
    }
    if (showGrid_) {
        p.save();
        p.setClipPath(shape);
        p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        p.fillRect(all, QBrush(GridPattern()));
        p.restore();
    }
    return image;
}

void TKBasePanel::paintEvent(QPaintEvent* e) {
    // The background is composed again only when something it shows changed;
    // drags and selection changes repaint from the kept image.
    const BackgroundKey key{size(),
                            shape_,
                            drawOutline_,
                            showGrid_,
                            picture_.Kind(),
                            qHash(picture_.FileData()),
                            colorPicture_.Kind(),
                            qHash(colorPicture_.FileData())};
    if (background_.isNull() || !(key == backgroundKey_)) {
        background_ = ComposeBackground();
        backgroundKey_ = key;
    }
    QPainter p(this);
    p.drawImage(e->rect(), background_, e->rect());
}

// ---- mouse ------------------------------------------------------------------

void TKBasePanel::ObjectMouseDown(TKGraphicControl* object, Qt::MouseButton button,
                                  const QPoint& panelPos, Qt::KeyboardModifiers mods) {
    setFocus(Qt::MouseFocusReason);
    if (!pointing_ || !object || object->Unselectable()) {
        PanelMouseDown(button, panelPos, mods);
        return;
    }
    if (!(mods & Qt::ShiftModifier))
        handle_->Clear();
    handle_->AddObject(object);
    if (button == Qt::RightButton && Selection().size() == 1)
        object->ShowPopupMenu(mapToGlobal(panelPos));
}

void TKBasePanel::PanelMouseDown(Qt::MouseButton button, const QPoint& pos,
                                 Qt::KeyboardModifiers mods) {
    (void)mods;
    setFocus(Qt::MouseFocusReason);
    if (button != Qt::LeftButton) {
        if (pointing_)
            ShowPanelMenu(mapToGlobal(pos));
        return;
    }
    rubberBanding_ = true;
    bandSelects_ = pointing_;
    bandStart_ = bandEnd_ = pos;
    overlay_->update();
}

void TKBasePanel::PanelMouseMove(const QPoint& pos) {
    if (!rubberBanding_)
        return;
    bandEnd_ = pos;
    overlay_->update();
}

void TKBasePanel::PanelMouseUp(Qt::MouseButton button, const QPoint& pos,
                               Qt::KeyboardModifiers mods) {
    if (!rubberBanding_ || button != Qt::LeftButton)
        return;
    bandEnd_ = pos;
    rubberBanding_ = false;
    overlay_->update();
    const QRect band(
        QPoint(std::min(bandStart_.x(), bandEnd_.x()), std::min(bandStart_.y(), bandEnd_.y())),
        QSize(std::abs(bandEnd_.x() - bandStart_.x()), std::abs(bandEnd_.y() - bandStart_.y())));
    if (bandSelects_) {
        // The band's edges count: a band one pixel wide still catches objects.
        const QRect touched(band.topLeft(), band.size() + QSize(1, 1));
        QList<TKGraphicControl*> hits;
        for (TKGraphicControl* o : Objects())
            if (!o->Unselectable() && o->Width() > 0 && o->Height() > 0 &&
                o->BoundsRect().intersects(touched))
                hits << o;
        if (mods & Qt::ShiftModifier) {
            for (TKGraphicControl* o : hits) {
                if (handle_->IsSelected(o))
                    handle_->RemoveObject(o);
                else
                    handle_->AddObject(o);
            }
        } else {
            SetSelection(hits);
        }
        return;
    }
    CreateObjectInRect(band);
    if (DroppedObjectEvent)
        DroppedObjectEvent(band);
}

void TKBasePanel::mousePressEvent(QMouseEvent* e) {
    PanelMouseDown(e->button(), e->position().toPoint(), e->modifiers());
}
void TKBasePanel::mouseMoveEvent(QMouseEvent* e) {
    PanelMouseMove(e->position().toPoint());
}
void TKBasePanel::mouseReleaseEvent(QMouseEvent* e) {
    PanelMouseUp(e->button(), e->position().toPoint(), e->modifiers());
}

void TKBasePanel::keyPressEvent(QKeyEvent* e) {
    if (!EditingKeyPress(e->key(), e->modifiers()))
        QWidget::keyPressEvent(e);
}

void TKBasePanel::keyReleaseEvent(QKeyEvent* e) {
    if (!EditingKeyRelease(e->key(), e->isAutoRepeat()))
        QWidget::keyReleaseEvent(e);
}

// ---- TKDataPanel ------------------------------------------------------------

TKDataPanel::TKDataPanel(QWidget* parent, QObject* owner) : TKBasePanel(parent, owner) {}

void TKDataPanel::SetDisplayDataValues(bool v) {
    displayDataValues_ = v;
    RefreshAllData();
}

bool TKDataPanel::DatasetOpen() const {
    return dataset_ && dataset_->isOpen();
}

QString TKDataPanel::FieldNameByLabel(const QString& displayLabel) const {
    // Display labels are compared exactly; when two fields share a label the
    // later one wins, as layouts made so far expect.
    if (displayLabel.isEmpty() || !DatasetOpen())
        return {};
    QString found;
    for (int i = 0; i < dataset_->fieldCount(); ++i) {
        const DatasetField& f = dataset_->fieldAt(i);
        if (f.displayLabel == displayLabel)
            found = f.name;
    }
    return found;
}

QVariant TKDataPanel::FieldValueByLabel(const QString& displayLabel) const {
    const QString name = FieldNameByLabel(displayLabel);
    if (name.isEmpty())
        return {};
    return dataset_->value(name);
}

void TKDataPanel::RefreshAllData() {
    if (!DatasetOpen())
        return;
    for (TKGraphicControl* o : Objects()) {
        o->RefreshData();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

// ---- TKLabelPanel -----------------------------------------------------------

TKLabelPanel::TKLabelPanel(QWidget* parent, QObject* owner) : TKDataPanel(parent, owner) {
    MakeClassesKnown();
}

void TKLabelPanel::MakeClassesKnown() {
    for (const ClassInfo* info :
         {&TKLineShape::StaticInfo(), &TKPostNetBarCode::StaticInfo(), &TKImage::StaticInfo(),
          &TKLabelShapes::StaticInfo(), &TKPLabel::StaticInfo(), &TKPDLabel::StaticInfo(),
          &TKCounterLabel::StaticInfo(), &TKSymbolLabel::StaticInfo(),
          &TKMultiLineLabel::StaticInfo(), &TKDMultiLineLabel::StaticInfo(),
          &TKDMultiLineAddressLabel::StaticInfo()})
        ClassRegistry::MakeKnown(*info);
}

void TKLabelPanel::SetPanelState(int state) {
    state_ = state;
    SetPointing(state == psPointing);
    if (state == psPointing)
        unsetCursor();
    else
        setCursor(Qt::DragMoveCursor);
}

QRect TKLabelPanel::ToolRect(const QRect& rect) {
    QRect r = rect;
    if (r.width() < 25)
        r.setWidth(50);
    if (r.height() < 15)
        r.setHeight(15);
    return r;
}

TKGraphicControl* TKLabelPanel::CreateObjectInRect(const QRect& rect) {
    const QRect r = ToolRect(rect);
    TKGraphicControl* object = nullptr;
    bool data = false;
    bool edit = false;
    switch (state_) {
    case psLabel: {
        auto* o = new TKPLabel;
        o->SetCaption(QStringLiteral("<text>"));
        o->Font()->Assign(PanelFont());
        object = o;
        edit = true;
        break;
    }
    case psCounterLabel: {
        auto* o = new TKCounterLabel;
        o->SetStartingnumber(1000);
        o->Font()->Assign(PanelFont());
        object = o;
        break;
    }
    case psSymbolLabel:
        object = new TKSymbolLabel;
        edit = true;
        break;
    case psDataLabel: {
        auto* o = new TKPDLabel;
        o->SetDataFieldName(QStringLiteral("<field>"));
        o->Font()->Assign(PanelFont());
        object = o;
        data = edit = true;
        break;
    }
    case psMultiLineLabel: {
        auto* o = new TKMultiLineLabel;
        o->Font()->Assign(PanelFont());
        object = o;
        edit = true;
        break;
    }
    case psMultiLineDataLabel: {
        auto* o = new TKDMultiLineLabel;
        o->SetDataFieldName(QStringLiteral("Memo"));
        o->SetDataFieldDescript(QStringLiteral("MEMO"));
        o->Font()->Assign(PanelFont());
        object = o;
        data = true;
        break;
    }
    case psAddressLabel: {
        auto* o = new TKDMultiLineAddressLabel;
        o->Font()->Assign(PanelFont());
        object = o;
        data = edit = true;
        break;
    }
    case psRectangle:
    case psEllipse:
    case psRoundRectangle: {
        auto* o = new TKLabelShapes;
        o->SetShape(state_ == psRectangle ? stRectangle
                    : state_ == psEllipse ? stEllipse
                                          : stRoundRect);
        object = o;
        break;
    }
    case psLine: {
        auto* o = new TKLineShape;
        o->SetLineStyle(stVertical);
        object = o;
        break;
    }
    case psImage:
        object = new TKImage;
        break;
    case psPostNetBarCode: {
        auto* o = new TKPostNetBarCode;
        o->SetZipCodeField(QStringLiteral("ZIP"));
        o->SetAddressField(QStringLiteral("STREET"));
        object = o;
        data = true;
        break;
    }
    default:
        return nullptr;
    }
    AddObject(object, r);
    if (data)
        RefreshAllData();
    if (edit)
        object->EditAfterPlacing();
    return object;
}

} // namespace qb
