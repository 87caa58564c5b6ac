#include "labels/designscreen.h"

#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/panels.h"
#include "labels/designicons.h"
#include "labels/labelart.h"
#include "labels/labelstockdialogs.h"
#include "storage/dataset.h"
#include "storage/home.h"
#include "storage/systemtables.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace qb {

namespace {

// Nearest integer, halves to the even neighbour.
int Nearest(double x) {
    return int(std::nearbyint(x));
}

// A label narrower than this cannot hold a POSTNET bar code.
constexpr double kPostNetMinWidth = 2.85;

constexpr int kMinZoomTenths = 4;
constexpr int kMaxZoomTenths = 16;

struct ToolDef {
    int state;
    const char* hint;
    DesignIcon icon;
};

// In the order the tool box shows them.
const ToolDef kTools[] = {
    {psPointing, "Selection tool", DesignIcon::Pointer},
    {psLabel, "Text tool", DesignIcon::Text},
    {psMultiLineLabel, "Multi-line text tool", DesignIcon::MultiLineText},
    {psCounterLabel, "Counter tool", DesignIcon::Counter},
    {psSymbolLabel, "Symbol tool", DesignIcon::Symbol},
    {psRectangle, "Rectangle tool", DesignIcon::Rectangle},
    {psEllipse, "Ellipse tool", DesignIcon::Ellipse},
    {psRoundRectangle, "Round Rectangle tool", DesignIcon::RoundRectangle},
    {psLine, "Line Tool", DesignIcon::Line},
    {psImage, "Clip Art Tool", DesignIcon::ClipArt},
    {psPostNetBarCode, "Postnet Barcode tool", DesignIcon::PostNet},
    {psDataLabel, "Database Field tool", DesignIcon::DataField},
    {psMultiLineDataLabel, "Database Memo Field tool", DesignIcon::MemoField},
    {psAddressLabel, "Database Mailing Address tool", DesignIcon::AddressBlock},
};

QToolButton* MakeToolButton(QWidget* parent, DesignIcon icon, const QString& hint, bool checkable) {
    auto* b = new QToolButton(parent);
    b->setIcon(DesignButtonIcon(icon));
    b->setIconSize(QSize(24, 24));
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QString InchesCaption(const char* prefix, double inches) {
    return QLatin1String(prefix) + QString::number(inches, 'f', 2);
}

} // namespace

// ---- running -----------------------------------------------------------------------------

bool TLabelDesignScreen::Edit(LabelDefinition& def, TableDataset* addresses, QWidget* parent) {
    if (!IsSafeLayoutFileName(def.binary)) {
        Inform(UnsafeLayoutNameMessage(def.binary));
        return false;
    }
    const QString path = LayoutFilePath(def.binary);
    TLabelDesignScreen screen(def, addresses, parent);
    if (!def.isNew) {
        try {
            screen.LoadLayout(path);
        } catch (const std::exception& e) {
            // Opening a layout that cannot be read in full would lose the
            // objects beyond the fault when it is saved again.
            Warn(QString::fromUtf8(e.what()));
            return false;
        }
    }
    // "Save" writes the layout before the window closes, so that a file that
    // cannot be written leaves the window open with the work in it.
    screen.SetLayoutPath(path);
    CenterOnScreen(&screen);
    const int result = RunModal(screen);
    if (result != QDialog::Accepted)
        return false;
    def = screen.Definition();
    return true;
}

// ---- construction ---------------------------------------------------------------------

TLabelDesignScreen::TLabelDesignScreen(const LabelDefinition& def, TableDataset* addresses,
                                       QWidget* parent)
    : QDialog(parent), def_(def), addresses_(addresses) {
    setWindowTitle(QStringLiteral("Label Design Screen"));
    setObjectName(QStringLiteral("TLabelDesignScreen"));
    shapeCode_ = def_.Shape();
    BuildWindow();
    layoutChooser_ = [](LabelDefinition& d, QWidget* p) { return ChangeLabelLayout(d, p); };
}

TLabelDesignScreen::~TLabelDesignScreen() {
    // The panel and its objects outlive this part of the window while the
    // window's children are deleted: they must no longer call back here.
    if (panel_) {
        panel_->LabelChangedEvent = nullptr;
        panel_->DroppedObjectEvent = nullptr;
        panel_->removeEventFilter(this);
        for (QObject* child : panel_->children())
            child->removeEventFilter(this);
    }
}

void TLabelDesignScreen::BuildWindow() {
    auto* outer = new QVBoxLayout(this);

    // Description and layout.
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Description:"), this), 0, 0);
    description_ = new QLineEdit(this);
    description_->setMaxLength(60);
    description_->setText(def_.descript);
    top->addWidget(description_, 0, 1);
    top->addWidget(new QLabel(QStringLiteral("Layout:"), this), 1, 0);
    layoutCaption_ = new QLabel(this);
    top->addWidget(layoutCaption_, 1, 1);
    top->setColumnStretch(1, 1);
    outer->addLayout(top);
    connect(description_, &QLineEdit::textEdited, this, [this] { RevealSave(); });

    // Option buttons, zoom, default font.
    auto* options = new QHBoxLayout;
    showGrid_ = MakeToolButton(this, DesignIcon::ShowGrid, QStringLiteral("Show grid"), true);
    snap_ = MakeToolButton(this, DesignIcon::SnapToGrid, QStringLiteral("Snap to Grid"), true);
    art_ = MakeToolButton(this, DesignIcon::ShowArt, QStringLiteral("Show art"), true);
    fieldNames_ =
        MakeToolButton(this, DesignIcon::FieldNames,
                       QStringLiteral("Toggle display of field names or field values"), true);
    for (QToolButton* b : {showGrid_, snap_, art_, fieldNames_})
        options->addWidget(b);
    connect(showGrid_, &QToolButton::toggled, this, &TLabelDesignScreen::ShowGridClick);
    connect(snap_, &QToolButton::toggled, this, &TLabelDesignScreen::SnapToGridClick);
    connect(art_, &QToolButton::toggled, this, &TLabelDesignScreen::ShowArtClick);
    connect(fieldNames_, &QToolButton::toggled, this, &TLabelDesignScreen::FieldNamesClick);
    options->addSpacing(12);

    const QString zoomHint =
        QStringLiteral("Press plus (+) or minus (-) to \rincrease or decrease the zoom percentage");
    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    zoomUp_ = new QToolButton(this);
    zoomUp_->setArrowType(Qt::UpArrow);
    zoomDown_ = new QToolButton(this);
    zoomDown_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {zoomUp_, zoomDown_}) {
        b->setToolTip(zoomHint);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(20, 14);
        spin->addWidget(b);
    }
    zoomUp_->setAccessibleName(QStringLiteral("Zoom in"));
    zoomDown_->setAccessibleName(QStringLiteral("Zoom out"));
    connect(zoomUp_, &QToolButton::clicked, this, &TLabelDesignScreen::ZoomUpClick);
    connect(zoomDown_, &QToolButton::clicked, this, &TLabelDesignScreen::ZoomDownClick);
    options->addLayout(spin);
    zoomCaption_ = new QLabel(QStringLiteral("100%"), this);
    zoomCaption_->setToolTip(zoomHint);
    zoomCaption_->setMinimumWidth(40);
    options->addWidget(zoomCaption_);
    options->addSpacing(12);

    fontButton_ = MakeButton(this, QString());
    connect(fontButton_, &QPushButton::clicked, this, &TLabelDesignScreen::DefaultFontClick);
    options->addWidget(fontButton_);
    options->addStretch(1);
    outer->addLayout(options);

    // Tool box, panel.
    auto* middle = new QHBoxLayout;
    auto* toolBox = new QGridLayout;
    toolBox->setSpacing(2);
    tools_ = new QButtonGroup(this);
    tools_->setExclusive(true);
    int i = 0;
    for (const ToolDef& t : kTools) {
        QToolButton* b = MakeToolButton(this, t.icon, QString::fromLatin1(t.hint), true);
        tools_->addButton(b, t.state);
        toolBox->addWidget(b, i / 2, i % 2);
        ++i;
    }
    tools_->button(psPointing)->setChecked(true);
    connect(tools_, &QButtonGroup::idClicked, this, &TLabelDesignScreen::SelectTool);
    auto* toolColumn = new QVBoxLayout;
    toolColumn->addLayout(toolBox);
    toolColumn->addStretch(1);
    middle->addLayout(toolColumn);

    scrollBox_ = new QScrollArea(this);
    scrollBox_->setWidgetResizable(false);
    scrollBox_->setAlignment(Qt::AlignCenter);
    scrollBox_->setFocusPolicy(Qt::NoFocus);
    scrollBox_->setBackgroundRole(QPalette::Dark);
    scrollBox_->setMinimumSize(420, 300);

    panel_ = new TKLabelPanel(nullptr, this);
    panel_->resize(baseSize_);
    panel_->SetDrawOutline(true);
    panel_->SetGridSize(gs4x4);
    panel_->PanelFont().SetName(QStringLiteral("Arial"));
    panel_->PanelFont().SetSize(8);
    panel_->SetDataset(addresses_);
    panel_->SetDisplayDataValues(true);
    panel_->setFocusPolicy(Qt::StrongFocus);
    panel_->setMouseTracking(true);
    panel_->installEventFilter(this);
    for (QObject* child : panel_->children())
        WatchObject(child);
    panel_->hide(); // shown by the first activation
    scrollBox_->setWidget(panel_);
    panel_->DroppedObjectEvent = [this](const QRect&) {
        const QList<TKGraphicControl*> objects = panel_->Objects();
        if (!objects.isEmpty())
            KeepPlacedObjectVisible(objects.last());
        // After placing an object the window returns to the selection tool.
        SelectTool(psPointing);
    };
    middle->addWidget(scrollBox_, 1);
    outer->addLayout(middle, 1);

    // Position, records.
    auto* status = new QHBoxLayout;
    leftCaption_ = new QLabel(QStringLiteral("Left:"), this);
    topCaption_ = new QLabel(QStringLiteral("Top:"), this);
    leftCaption_->setMinimumWidth(80);
    topCaption_->setMinimumWidth(80);
    status->addWidget(leftCaption_);
    status->addWidget(topCaption_);
    status->addStretch(1);
    first_ = MakeToolButton(this, DesignIcon::FirstRecord, QStringLiteral("First record"), false);
    prior_ = MakeToolButton(this, DesignIcon::PriorRecord, QStringLiteral("Prior record"), false);
    next_ = MakeToolButton(this, DesignIcon::NextRecord, QStringLiteral("Next record"), false);
    last_ = MakeToolButton(this, DesignIcon::LastRecord, QStringLiteral("Last record"), false);
    for (QToolButton* b : {first_, prior_, next_, last_})
        status->addWidget(b);
    connect(first_, &QToolButton::clicked, this, &TLabelDesignScreen::FirstRecordClick);
    connect(prior_, &QToolButton::clicked, this, &TLabelDesignScreen::PriorRecordClick);
    connect(next_, &QToolButton::clicked, this, &TLabelDesignScreen::NextRecordClick);
    connect(last_, &QToolButton::clicked, this, &TLabelDesignScreen::LastRecordClick);
    outer->addLayout(status);

    // Buttons.
    auto* buttons = new QHBoxLayout;
    changeLayout_ = MakeButton(this, QStringLiteral("Change Layout"));
    save_ = MakeButton(this, QStringLiteral("Save"));
    cancel_ = MakeButton(this, QStringLiteral("Cancel"));
    help_ = MakeButton(this, QStringLiteral("Help"));
    buttons->addWidget(changeLayout_);
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help_);
    connect(changeLayout_, &QPushButton::clicked, this, &TLabelDesignScreen::ChangeLayoutClick);
    connect(save_, &QPushButton::clicked, this, &TLabelDesignScreen::SaveClick);
    connect(cancel_, &QPushButton::clicked, this, &TLabelDesignScreen::CancelClick);
    connect(help_, &QPushButton::clicked, this, &TLabelDesignScreen::HelpClick);
    outer->addLayout(buttons);
    save_->hide();

    UpdateLayoutCaption();
    UpdateFontCaption();
    UpdateRecordButtons();
    art_->setEnabled(false);
    setFocusPolicy(Qt::StrongFocus);
    resize(760, 520);
}

// ---- first activation ----------------------------------------------------------------

void TLabelDesignScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_)
        FormActivate();
}

void TLabelDesignScreen::FormActivate() {
    if (activated_)
        return;
    activated_ = true;
    SizePanelToStock();
    UpdateLayoutCaption();
    panel_->show();
    art_->setEnabled(!def_.art.trimmed().isEmpty());
    {
        const QSignalBlocker block(art_);
        art_->setChecked(art_->isEnabled());
    }
    UpdateArt();

    panel_->LabelChangedEvent = [this] {
        if (!suppressChanges_)
            RevealSave();
    };
    save_->hide();

    if (def_.isNew) {
        panel_->SetPanelState(psAddressLabel);
        KeepPlacedObjectVisible(panel_->CreateObjectInRect(
            QRect(QPoint(10, 10), QPoint(panel_->Width() - 10, panel_->Height() - 10))));
        SelectTool(psPointing);
        panel_->SetSelection(panel_->Objects());
        Inform(QStringLiteral(
            "A new label has been created using the Avery 5160\rformat. To change to another "
            "label format, click on\rthe Change Layout button.\r\rA Database Mailing Address "
            "object has already been \radded to the label.\r\rFor additional assistance, click "
            "the Help button"));
    }
    panel_->setFocus();
}

void TLabelDesignScreen::KeepPlacedObjectVisible(TKGraphicControl* object) {
    // An object that fits itself to text it does not have yet (an address
    // block over an empty address file) would shrink to nothing and be
    // dropped as a stray object on saving; it keeps the smallest size a
    // tool gives.
    if (!object)
        return;
    if (object->Width() < 10 || object->Height() < 15)
        object->SetBounds(object->Left(), object->Top(), std::max(10, object->Width()),
                          std::max(15, object->Height()));
}

void TLabelDesignScreen::SizePanelToStock() {
    const QSize size(Nearest(def_.lblWidth * kPixelsPerInch),
                     Nearest(def_.lblHeight * kPixelsPerInch));
    const int shape = def_.Shape();
    const int tenths = zoomTenths_;
    if (tenths == 10 && baseSize_ == size && panel_->size() == size && panel_->Shape() == shape) {
        shapeCode_ = shape;
        return;
    }
    const bool was = suppressChanges_;
    suppressChanges_ = true;
    if (tenths != 10)
        panel_->SetZoom(1.0f);
    baseSize_ = QSize(std::max(1, size.width()), std::max(1, size.height()));
    panel_->resize(baseSize_);
    panel_->SetShape(shape);
    shapeCode_ = shape;
    if (tenths != 10) {
        panel_->SetZoom(float(tenths) / 10.0f);
        // The panel's size follows from the size at zoom 1, so that zooming
        // back and forth never lets it drift by rounding.
        panel_->resize(Nearest(baseSize_.width() * tenths / 10.0),
                       Nearest(baseSize_.height() * tenths / 10.0));
    }
    suppressChanges_ = was;
}

// ---- captions --------------------------------------------------------------------------

void TLabelDesignScreen::UpdateLayoutCaption() {
    if (def_.IsUserDefined())
        layoutCaption_->setText(QStringLiteral("User Defined Label Layout"));
    else
        layoutCaption_->setText(def_.tplDescrip);
}

QString TLabelDesignScreen::LayoutCaption() const {
    return layoutCaption_->text();
}

void TLabelDesignScreen::UpdateFontCaption() {
    const TKFont& f = panel_->PanelFont();
    QString text = QStringLiteral("Default Font: ") + f.Name() + QStringLiteral(", ") +
                   QString::number(f.Size()) + QStringLiteral(" pt ");
    if (f.Style() & fsBold)
        text += QStringLiteral(", bold");
    if (f.Style() & fsItalic)
        text += QStringLiteral(", italic");
    fontButton_->setText(text);
}

QString TLabelDesignScreen::DefaultFontCaption() const {
    return fontButton_->text();
}

QString TLabelDesignScreen::LeftCaption() const {
    return leftCaption_->text();
}

QString TLabelDesignScreen::TopCaption() const {
    return topCaption_->text();
}

QString TLabelDesignScreen::DescriptionText() const {
    return description_->text();
}

void TLabelDesignScreen::SetDescriptionText(const QString& text) {
    description_->setText(text.left(description_->maxLength()));
    RevealSave();
}

bool TLabelDesignScreen::SaveVisible() const {
    return !save_->isHidden();
}

void TLabelDesignScreen::RevealSave() {
    save_->show();
}

// ---- buttons' state ----------------------------------------------------------------------

QAbstractButton* TLabelDesignScreen::ToolButton(int state) const {
    return tools_->button(state);
}

int TLabelDesignScreen::CurrentTool() const {
    return panel_->PanelState();
}

QAbstractButton* TLabelDesignScreen::ShowGridButton() const {
    return showGrid_;
}
QAbstractButton* TLabelDesignScreen::SnapButton() const {
    return snap_;
}
QAbstractButton* TLabelDesignScreen::ArtButton() const {
    return art_;
}
QAbstractButton* TLabelDesignScreen::FieldNamesButton() const {
    return fieldNames_;
}
QAbstractButton* TLabelDesignScreen::SaveButton() const {
    return save_;
}

bool TLabelDesignScreen::ArtEnabled() const {
    return art_->isEnabled();
}

bool TLabelDesignScreen::ArtShown() const {
    return !panel_->Picture().IsEmpty();
}

// ---- tools and toggles -------------------------------------------------------------------

void TLabelDesignScreen::SelectTool(int state) {
    if (state == psPostNetBarCode && def_.lblWidth < kPostNetMinWidth) {
        Inform(QStringLiteral("This label is not wide enough for a \rpostnet barcode. At least "
                              "2.85 inches are needed"));
        state = psPointing;
    }
    if (state < psPointing || state > psPostNetBarCode)
        state = psPointing;
    panel_->SetPanelState(state);
    if (QAbstractButton* b = tools_->button(state)) {
        const QSignalBlocker block(tools_);
        b->setChecked(true);
    }
}

void TLabelDesignScreen::ShowGridClick(bool down) {
    if (showGrid_->isChecked() != down) {
        const QSignalBlocker block(showGrid_);
        showGrid_->setChecked(down);
    }
    panel_->SetShowGrid(down);
}

void TLabelDesignScreen::SnapToGridClick(bool down) {
    if (snap_->isChecked() != down) {
        const QSignalBlocker block(snap_);
        snap_->setChecked(down);
    }
    panel_->SetSnapToGrid(down);
}

void TLabelDesignScreen::ShowArtClick(bool down) {
    if (art_->isChecked() != down) {
        const QSignalBlocker block(art_);
        art_->setChecked(down);
    }
    UpdateArt();
}

void TLabelDesignScreen::FieldNamesClick(bool down) {
    if (fieldNames_->isChecked() != down) {
        const QSignalBlocker block(fieldNames_);
        fieldNames_->setChecked(down);
    }
    panel_->SetDisplayDataValues(!down);
    panel_->update();
}

// ---- label art -------------------------------------------------------------------------------

QImage TLabelDesignScreen::ArtImage(const QString& art, const QSize& size) {
    // The picture's name is ART up to its first ".", in capitals.
    const QString name = art.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    const QImage picture = name.isEmpty() ? QImage() : LabelArtPicture(name);
    if (picture.isNull() || size.isEmpty())
        return {};
    const QImage scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                              .convertToFormat(QImage::Format_RGB32);
    QImage out(size, QImage::Format_RGB32);
    out.fill(Qt::white);
    const QRgb silver = qRgb(0xC0, 0xC0, 0xC0);
    for (int y = 0; y < size.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            if (qGray(src[x]) < 128)
                dst[x] = silver;
    }
    return out;
}

void TLabelDesignScreen::UpdateArt() {
    if (art_->isChecked() && !def_.art.trimmed().isEmpty()) {
        const QImage image = ArtImage(def_.art, baseSize_);
        if (!image.isNull()) {
            panel_->Picture().SetImage(image);
            panel_->update();
            return;
        }
    }
    panel_->Picture().Clear();
    panel_->update();
}

// ---- zoom
// ----------------------------------------------------------------------------------------

float TLabelDesignScreen::Zoom() const {
    return panel_->Zoom();
}

QString TLabelDesignScreen::ZoomCaption() const {
    return zoomCaption_->text();
}

void TLabelDesignScreen::ApplyZoom(int tenths) {
    panel_->ClearSelection();
    const bool was = suppressChanges_;
    suppressChanges_ = true;
    zoomTenths_ = tenths;
    panel_->SetZoom(float(tenths) / 10.0f);
    panel_->resize(Nearest(baseSize_.width() * tenths / 10.0),
                   Nearest(baseSize_.height() * tenths / 10.0));
    suppressChanges_ = was;
    zoomCaption_->setText(QString::number(tenths * 10) + QStringLiteral("%"));
}

void TLabelDesignScreen::ZoomUpClick() {
    // Kept in tenths so that repeated steps never drift past a limit.
    if (zoomTenths_ <= 15)
        ApplyZoom(std::min(kMaxZoomTenths, zoomTenths_ + 1));
    else
        panel_->ClearSelection();
}

void TLabelDesignScreen::ZoomDownClick() {
    if (zoomTenths_ >= 5)
        ApplyZoom(std::max(kMinZoomTenths, zoomTenths_ - 1));
    else
        panel_->ClearSelection();
}

// ---- default font -------------------------------------------------------------------------------

void TLabelDesignScreen::DefaultFontClick() {
    if (!fontDialog_) {
        fontDialog_ = new QFontDialog(this);
        fontDialog_->setWindowTitle(QStringLiteral("Font"));
    }
    fontDialog_->setCurrentFont(panel_->PanelFont().ToQFont());
    const int result = RunModal(*fontDialog_);
    if (result != QDialog::Accepted)
        return;
    const QFont f = fontDialog_->currentFont();
    TKFont font;
    font.Assign(panel_->PanelFont()); // the colour stays
    font.SetName(f.family());
    font.SetSize(f.pointSize() > 0 ? f.pointSize() : panel_->PanelFont().Size());
    int style = 0;
    if (f.bold())
        style |= fsBold;
    if (f.italic())
        style |= fsItalic;
    if (f.underline())
        style |= fsUnderline;
    if (f.strikeOut())
        style |= fsStrikeOut;
    font.SetStyle(style);
    SetDefaultFont(font);
}

void TLabelDesignScreen::SetDefaultFont(const TKFont& font) {
    panel_->PanelFont().Assign(font);
    UpdateFontCaption();
}

// ---- records
// ---------------------------------------------------------------------------------------

void TLabelDesignScreen::UpdateRecordButtons() {
    const bool open = addresses_ && addresses_->isOpen();
    for (QToolButton* b : {first_, prior_, next_, last_})
        b->setEnabled(open);
}

void TLabelDesignScreen::AfterRecordMove(bool first) {
    // Objects that fit themselves to the record's values are no change of
    // the layout.
    const bool was = suppressChanges_;
    suppressChanges_ = true;
    panel_->RefreshAllData();
    if (first)
        panel_->ResetCounters();
    else
        panel_->AdvanceCounters();
    suppressChanges_ = was;
    panel_->update();
}

void TLabelDesignScreen::MoveRecord(bool (TableDataset::*move)(), bool first) {
    if (!addresses_ || !addresses_->isOpen())
        return;
    (addresses_->*move)();
    AfterRecordMove(first);
}

void TLabelDesignScreen::FirstRecordClick() {
    MoveRecord(&TableDataset::first, true);
}

void TLabelDesignScreen::PriorRecordClick() {
    MoveRecord(&TableDataset::prior, false);
}

void TLabelDesignScreen::NextRecordClick() {
    MoveRecord(&TableDataset::next, false);
}

void TLabelDesignScreen::LastRecordClick() {
    MoveRecord(&TableDataset::last, false);
}

// ---- change of stock
// ------------------------------------------------------------------------------

void TLabelDesignScreen::ChangeLayoutClick() {
    if (!layoutChooser_)
        return;
    LabelDefinition changed = def_;
    if (!layoutChooser_(changed, this))
        return;
    def_ = changed;
    SizePanelToStock();
    art_->setEnabled(!def_.art.trimmed().isEmpty());
    {
        const QSignalBlocker block(art_);
        art_->setChecked(art_->isEnabled());
    }
    UpdateArt();
    panel_->ClampObjects();
    UpdateLayoutCaption();
    if (def_.lblWidth < kPostNetMinWidth) {
        QList<TKGraphicControl*> barcodes;
        for (TKGraphicControl* o : panel_->Objects())
            if (dynamic_cast<TKPostNetBarCode*>(o))
                barcodes << o;
        if (!barcodes.isEmpty()) {
            Inform(QStringLiteral("Warning: This label is not wide enough for a \rpostnet "
                                  "barcode. At least 2.85 inches are needed"));
            // Every bar code goes: one left behind would print cut off.
            panel_->ClearSelection();
            for (TKGraphicControl* o : barcodes)
                delete o;
            panel_->update();
        }
    }
    RevealSave();
}

// ---- closing ------------------------------------------------------------------------------------

void TLabelDesignScreen::SaveClick() {
    panel_->RemoveStrayObjects();
    if (!layoutPath_.isEmpty()) {
        try {
            SaveLayout(layoutPath_);
        } catch (const std::exception& e) {
            Warn(QString::fromUtf8(e.what()));
            return;
        }
    }
    def_.descript = description_->text().left(LabelDefinition::DescriptionLength);
    accept();
}

void TLabelDesignScreen::CancelClick() {
    reject();
}

void TLabelDesignScreen::HelpClick() {
    RequestHelpTopic(HelpTopic::LabelDesign);
}

void TLabelDesignScreen::LoadLayout(const QString& path) {
    panel_->LoadFromFile(path);
    for (QObject* child : panel_->children())
        WatchObject(child);
}

void TLabelDesignScreen::SaveLayout(const QString& path) {
    panel_->SaveToFile(path);
}

// ---- mouse position
// -------------------------------------------------------------------------------

void TLabelDesignScreen::PanelMouseMoved(const QPoint& pos) {
    const QList<TKGraphicControl*> selection = panel_->Selection();
    // Inches on the label: design pixels at zoom 1 are 96 to the inch.
    const double scale = 96.0 * double(panel_->Zoom());
    if (selection.isEmpty()) {
        leftCaption_->setText(InchesCaption("Left: ", pos.x() / scale));
        topCaption_->setText(InchesCaption("Top: ", pos.y() / scale));
    } else {
        const QRect frame = panel_->SelectionFrame();
        leftCaption_->setText(InchesCaption("Left: ", frame.left() / scale));
        topCaption_->setText(InchesCaption("Top: ", frame.top() / scale));
    }
}

void TLabelDesignScreen::WatchObject(QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || w == panel_)
        return;
    w->removeEventFilter(this);
    w->installEventFilter(this);
    w->setMouseTracking(true);
}

// ---- keys
// ---------------------------------------------------------------------------------------------

bool TLabelDesignScreen::DescriptionHasFocus() const {
    return description_->hasFocus();
}

bool TLabelDesignScreen::ScrollKey(int key) {
    QScrollBar* bar = scrollBox_->verticalScrollBar();
    switch (key) {
    case Qt::Key_PageUp:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
    case Qt::Key_PageDown:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_Home:
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        return true;
    case Qt::Key_End:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        return true;
    default:
        return false;
    }
}

bool TLabelDesignScreen::ZoomKey(const QKeyEvent* event) {
    if (!(event->modifiers() & Qt::KeypadModifier))
        return false;
    if (event->key() == Qt::Key_Minus) {
        ZoomDownClick();
        return true;
    }
    if (event->key() == Qt::Key_Plus) {
        ZoomUpClick();
        return true;
    }
    return false;
}

void TLabelDesignScreen::keyPressEvent(QKeyEvent* event) {
    if (DescriptionHasFocus()) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (ScrollKey(event->key())) {
        event->accept();
        return;
    }
    // Every other key is the panel's (arrows, Delete, clipboard keys).
    ForwardKeyToPanel(event);
}

void TLabelDesignScreen::ForwardKeyToPanel(QKeyEvent* event) {
    // A key the panel leaves unused comes back here through its parents.
    if (forwarding_) {
        event->ignore();
        return;
    }
    forwarding_ = true;
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), ushort(event->count()));
    QCoreApplication::sendEvent(panel_, &copy);
    forwarding_ = false;
    event->accept();
}

void TLabelDesignScreen::keyReleaseEvent(QKeyEvent* event) {
    if (!DescriptionHasFocus() && ZoomKey(event)) {
        event->accept();
        return;
    }
    if (!DescriptionHasFocus()) {
        ForwardKeyToPanel(event);
        return;
    }
    QDialog::keyReleaseEvent(event);
}

bool TLabelDesignScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_) {
        switch (event->type()) {
        case QEvent::ChildAdded:
            WatchObject(static_cast<QChildEvent*>(event)->child());
            break;
        case QEvent::MouseMove:
            PanelMouseMoved(static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        case QEvent::KeyPress:
            if (ScrollKey(static_cast<QKeyEvent*>(event)->key()))
                return true;
            break;
        case QEvent::KeyRelease:
            if (ZoomKey(static_cast<QKeyEvent*>(event)))
                return true;
            break;
        default:
            break;
        }
        return QDialog::eventFilter(watched, event);
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && w->parentWidget() == panel_) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint local = static_cast<QMouseEvent*>(event)->position().toPoint();
            PanelMouseMoved(w->mapTo(panel_, local));
        } else if (event->type() == QEvent::KeyPress) {
            if (ScrollKey(static_cast<QKeyEvent*>(event)->key()))
                return true;
        } else if (event->type() == QEvent::KeyRelease) {
            if (ZoomKey(static_cast<QKeyEvent*>(event)))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qb
