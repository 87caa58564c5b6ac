#include "labelobjects/panels.h"

#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "printing/printsurface.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace qb {

namespace {
// Nearest integer, halves to the even neighbour.
int Nearest(double x) {
    return int(std::nearbyint(x));
}

QString ProgramDirectory() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}
} // namespace

// ---- TKBasePanel ---------------------------------------------------------------------------

TKBasePanel::TKBasePanel(QWidget* parent, QObject* owner) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    clipboardFile_ = ProgramDirectory() + QStringLiteral("Clipbrd.tmp");
    tempFile_ = ProgramDirectory() + QStringLiteral("TempFile.tmp");
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
    QList<TKGraphicControl*> out;
    for (const auto& p : selection_)
        if (p)
            out << p.data();
    return out;
}

void TKBasePanel::SetSelection(const QList<TKGraphicControl*>& objects) {
    selection_.clear();
    for (TKGraphicControl* o : objects)
        if (o && !o->Unselectable())
            selection_ << o;
    PostSelectionRefit();
}

void TKBasePanel::ClearSelection() {
    if (selection_.isEmpty())
        return;
    selection_.clear();
    PostSelectionRefit();
}

QRect TKBasePanel::SelectionFrame() const {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return {};
    int left = sel[0]->Left(), top = sel[0]->Top();
    int right = left + sel[0]->Width(), bottom = top + sel[0]->Height();
    for (const TKGraphicControl* o : sel) {
        left = std::min(left, o->Left());
        top = std::min(top, o->Top());
        right = std::max(right, o->Left() + o->Width());
        bottom = std::max(bottom, o->Top() + o->Height());
    }
    return QRect(left - 2, top - 2, right - left + 6, bottom - top + 6);
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

// ---- zoom
// ----------------------------------------------------------------------------------------

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
        o->SetBounds(now.x(), now.y(), now.width(), now.height());
        o->SetZoomValue(z);
        o->SetZoomMemory({b, o->BoundsRect(), z});
        return;
    }
    const double r = double(z) / double(o->Zoom());
    o->SetBounds(Nearest(o->Left() * r), Nearest(o->Top() * r), Nearest(o->Width() * r),
                 Nearest(o->Height() * r));
    o->SetZoomValue(z);
    o->SetZoomMemory({});
}

void TKBasePanel::SetZoom(float z) {
    if (z == zoom_ || z <= 0.0f)
        return;
    zooming_ = true;
    const double r = double(z) / double(zoom_);
    resize(Nearest(width() * r), Nearest(height() * r));
    zoom_ = z;
    for (TKGraphicControl* o : Objects())
        if (o->Zoom() != z)
            ZoomObject(o, z);
    zooming_ = false;
    update();
}

// ---- objects
// --------------------------------------------------------------------------------------

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

// ---- drawing
// ---------------------------------------------------------------------------------------

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
    if (!picture_.IsEmpty() && !picture_.Image().isNull()) {
        p.save();
        p.setClipPath(shape);
        p.drawImage(all, picture_.Image());
        p.restore();
    }
    if (!colorPicture_.IsEmpty() && !colorPicture_.Image().isNull()) {
        p.save();
        p.setClipPath(shape);
        if (colorPicture_.Kind() == QLatin1String("TBitmap"))
            p.drawImage(all, colorPicture_.Image());
        else
            p.drawImage(all, colorPicture_.Image().scaled(all.size(), Qt::KeepAspectRatio));
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

void TKBasePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, ComposeBackground());
    if (rubberBanding_) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(RubberBand());
    }
}

// ---- mouse
// ------------------------------------------------------------------------------------------

void TKBasePanel::ObjectMouseDown(TKGraphicControl* object, Qt::MouseButton button,
                                  const QPoint& panelPos) {
    if (!pointing_) {
        PanelMouseDown(button, panelPos);
        return;
    }
    if (button == Qt::LeftButton && object && !object->Unselectable())
        SetSelection({object});
}

void TKBasePanel::PanelMouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (button != Qt::LeftButton)
        return;
    if (!pointing_) {
        rubberBanding_ = true;
        bandStart_ = bandEnd_ = pos;
        update();
        return;
    }
    ClearSelection();
}

void TKBasePanel::PanelMouseMove(const QPoint& pos) {
    if (!rubberBanding_)
        return;
    bandEnd_ = pos;
    update();
}

void TKBasePanel::PanelMouseUp(Qt::MouseButton button, const QPoint& pos) {
    if (!rubberBanding_ || button != Qt::LeftButton)
        return;
    bandEnd_ = pos;
    rubberBanding_ = false;
    const QRect band(
        QPoint(std::min(bandStart_.x(), bandEnd_.x()), std::min(bandStart_.y(), bandEnd_.y())),
        QSize(std::abs(bandEnd_.x() - bandStart_.x()), std::abs(bandEnd_.y() - bandStart_.y())));
    update();
    CreateObjectInRect(band);
    if (DroppedObjectEvent)
        DroppedObjectEvent(band);
}

void TKBasePanel::mousePressEvent(QMouseEvent* e) {
    PanelMouseDown(e->button(), e->position().toPoint());
}
void TKBasePanel::mouseMoveEvent(QMouseEvent* e) {
    PanelMouseMove(e->position().toPoint());
}
void TKBasePanel::mouseReleaseEvent(QMouseEvent* e) {
    PanelMouseUp(e->button(), e->position().toPoint());
}

// ---- TKDataPanel
// ---------------------------------------------------------------------------------------

TKDataPanel::TKDataPanel(QWidget* parent, QObject* owner) : TKBasePanel(parent, owner) {}

void TKDataPanel::SetDisplayDataValues(bool v) {
    displayDataValues_ = v;
    RefreshAllData();
}

bool TKDataPanel::DatasetOpen() const {
    return dataset_ && dataset_->isOpen();
}

QString TKDataPanel::FieldNameByLabel(const QString& displayLabel) const {
    if (!DatasetOpen())
        return {};
    for (int i = 0; i < dataset_->fieldCount(); ++i) {
        const DatasetField& f = dataset_->fieldAt(i);
        if (f.displayLabel.compare(displayLabel, Qt::CaseInsensitive) == 0)
            return f.name;
    }
    return {};
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

// ---- TKLabelPanel
// -----------------------------------------------------------------------------------------

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
