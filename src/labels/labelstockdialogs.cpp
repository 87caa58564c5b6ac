#include "labels/labelstockdialogs.h"

#include "app/messages.h"
#include "app/modal.h"
#include "storage/dataset.h"
#include "storage/home.h"
#include "storage/systemtables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qb {

namespace {

// Adds "Ok", "Cancel" and "Help" in a row, returning the Ok button.
QPushButton* AddButtons(QDialog* dialog, QBoxLayout* layout, int helpTopic,
                        QPushButton** cancelOut) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(QStringLiteral("Ok"), dialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    auto* help = new QPushButton(QStringLiteral("Help"), dialog);
    ok->setDefault(true);
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);
    layout->addLayout(row);
    QObject::connect(help, &QPushButton::clicked, dialog,
                     [helpTopic] { RequestHelpTopic(helpTopic); });
    *cancelOut = cancel;
    return ok;
}

QString Number3(double v) {
    return QString::number(v, 'f', 3);
}

} // namespace

// ---- template choice rules ------------------------------------------------------

QStringList TemplateManufacturerEntries() {
    return {QStringLiteral("Avery Laserjet"), QStringLiteral("Avery Inkjet"),
            QStringLiteral("Avery Dot Matrix"), QStringLiteral("Costar LabelPrinter")};
}

QStringList TemplateProductTypeEntries() {
    return {QStringLiteral("Address/Shipping Labels"),
            QStringLiteral("Card Products"),
            QStringLiteral("Diskette Labels"),
            QStringLiteral("File Folder Labels"),
            QStringLiteral("Index Products"),
            QStringLiteral("Miscellaneous"),
            QStringLiteral("All")};
}

QString TemplateFilterExpression(const QString& manufacturerEntry, const QString& productTypeEntry,
                                 bool europeanOnly) {
    QStringList parts;
    const QString maker = manufacturerEntry.toUpper();
    if (maker.contains(QLatin1String("AVERY")))
        parts << QStringLiteral(" UPPER(manufac)=\"AVERY\" ");
    else if (maker.contains(QLatin1String("NEBS")))
        parts << QStringLiteral(" UPPER(manufac)=\"NEBS\" ");
    else if (maker.contains(QLatin1String("COSTAR")))
        parts << QStringLiteral(" UPPER(manufac)=\"COSTAR\" ");

    if (maker.contains(QLatin1String("LASERJET")))
        parts << QStringLiteral(" UPPER(printer)=\"LJ\" ");
    else if (maker.contains(QLatin1String("INKJET")))
        parts << QStringLiteral(" UPPER(printer)=\"IJ\" ");
    else if (maker.contains(QLatin1String("DOT MATRIX")))
        parts << QStringLiteral(" UPPER(printer)=\"DM\" ");
    else if (maker.contains(QLatin1String("LABELPRINTER")))
        parts << QStringLiteral(" UPPER(printer)=\"LP\" ");

    const QString type = productTypeEntry.toUpper();
    if (!type.isEmpty() && type != QLatin1String("ALL"))
        parts << QStringLiteral(" UPPER(PRODTYPE)=\"") + type + QStringLiteral("\" ");

    if (europeanOnly)
        parts << QStringLiteral(" (\"A4\"$UPPER(PAPERSIZE) OR \"A5\"$UPPER(PAPERSIZE))");
    return parts.join(QStringLiteral(" and "));
}

QString ManufacturerEntryFor(const LabelStock& stock) {
    QString maker = stock.manufac.trimmed().toUpper();
    QString printer = stock.printer.trimmed().toUpper();
    if (maker == QLatin1String("USER")) {
        maker = QStringLiteral("AVERY");
        printer = QStringLiteral("LJ");
    }
    if (maker == QLatin1String("AVERY")) {
        if (printer == QLatin1String("IJ"))
            return QStringLiteral("Avery Inkjet");
        if (printer == QLatin1String("DM"))
            return QStringLiteral("Avery Dot Matrix");
        return QStringLiteral("Avery Laserjet");
    }
    if (maker == QLatin1String("COSTAR"))
        return QStringLiteral("Costar LabelPrinter");
    return QStringLiteral("Avery Laserjet");
}

QString ProductTypeEntryFor(const LabelStock& stock) {
    const QString type = stock.IsUserDefined() ? QStringLiteral("ADDRESS/SHIPPING LABELS")
                                               : stock.prodType.trimmed();
    for (const QString& entry : TemplateProductTypeEntries())
        if (entry.compare(type, Qt::CaseInsensitive) == 0)
            return entry;
    return QStringLiteral("All");
}

// ---- user-defined geometry rules ------------------------------------------------

void LabelGeometryForm::Load(const LabelStock& s) {
    millimetres_ = false;
    lengths_[Height] = s.lblHeight;
    lengths_[Width] = s.lblWidth;
    lengths_[HorizPitch] = s.horizPitch;
    lengths_[VertPitch] = s.vertPitch;
    lengths_[LeftMargin] = s.leftMarg;
    lengths_[TopMargin] = s.topMarg;
    lengths_[PaperWidth] = s.sheetWidth;
    lengths_[PaperHeight] = s.sheetDepth;
    for (double& v : lengths_)
        v = RoundToStored(v);
    across_ = s.nbrAcross;
    down_ = s.nbrDown;
    paperSize_ =
        FindPaperSize(s.paperSize) ? FindPaperSize(s.paperSize)->code : QStringLiteral("LTR");
    shape_ = ShapeCode(s.Shape());
}

QString LabelGeometryForm::Format(double value) {
    return Number3(value);
}

void LabelGeometryForm::SetMillimetres(bool on) {
    if (on == millimetres_)
        return;
    for (double& v : lengths_)
        v = RoundToStored(on ? v / InchesPerMillimetre : v * InchesPerMillimetre);
    millimetres_ = on;
}

void LabelGeometryForm::setPaperCode(const QString& code) {
    if (const PaperSizeInfo* p = FindPaperSize(code))
        paperSize_ = p->code;
}

void LabelGeometryForm::LeaveWidth() {
    if (lengths_[Width] > lengths_[HorizPitch])
        lengths_[HorizPitch] = lengths_[Width];
}

void LabelGeometryForm::LeaveHeight() {
    if (lengths_[Height] > lengths_[VertPitch])
        lengths_[VertPitch] = lengths_[Height];
}

void LabelGeometryForm::ChoosePaperSize(const QString& code) {
    const PaperSizeInfo* p = FindPaperSize(code);
    if (!p)
        return;
    paperSize_ = p->code;
    if (!p->named())
        return;
    lengths_[PaperWidth] = millimetres_ ? p->widthMm : p->width;
    lengths_[PaperHeight] = millimetres_ ? p->heightMm : p->height;
}

double LabelGeometryForm::inches(Length which) const {
    const double v = lengths_[which];
    return RoundToStored(millimetres_ ? v * InchesPerMillimetre : v);
}

QString LabelGeometryForm::Validate() const {
    const double height = inches(Height);
    const double width = inches(Width);
    if (height < 0.3)
        return QStringLiteral("Label Height must be at least .3 inches (or 7mm)");
    if (width < 0.5)
        return QStringLiteral("Label Width must be at least .5 inch (or 13mm)");
    if (across_ >= 2 && width > inches(HorizPitch))
        return QStringLiteral("Horizontal Pitch must be at least = Label Width");
    if (down_ >= 2 && height > inches(VertPitch))
        return QStringLiteral("Vertical Pitch must be at least = Label Height");
    if (inches(PaperWidth) < 0.3)
        return QStringLiteral("Page Width must be at least .3 inch");
    if (inches(PaperHeight) < 0.3)
        return QStringLiteral("Page Height must be at least .3 inches");
    return QString();
}

QString LabelGeometryForm::Apply(LabelDefinition& def) const {
    const QString failure = Validate();
    if (!failure.isEmpty())
        return failure;
    def.lblHeight = inches(Height);
    def.lblWidth = inches(Width);
    def.horizPitch = inches(HorizPitch);
    def.vertPitch = inches(VertPitch);
    def.leftMarg = inches(LeftMargin);
    def.topMarg = inches(TopMargin);
    def.sheetWidth = inches(PaperWidth);
    def.sheetDepth = inches(PaperHeight);
    def.nbrAcross = across_;
    def.nbrDown = down_;
    def.paperSize = paperSize_;
    def.lblShape = shape_;
    def.MakeUserDefined();
    return QString();
}

// ---- TChooseLabelLayout ------------------------------------------------------------

TChooseLabelLayout::TChooseLabelLayout(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Label Layout"));
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(this);
    auto* inner = new QVBoxLayout(box);
    templates_ = new QRadioButton(QStringLiteral("&Select layout from a list of templates"), box);
    manual_ = new QRadioButton(
        QStringLiteral("&Enter the layout values manually (user defined layout)"), box);
    templates_->setChecked(true);
    inner->addWidget(templates_);
    inner->addWidget(manual_);
    layout->addWidget(box);
    QPushButton* cancel = nullptr;
    QPushButton* ok = AddButtons(this, layout, HelpTopic::LabelDesign, &cancel);
    connect(ok, &QPushButton::clicked, this, &TChooseLabelLayout::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TChooseLabelLayout::CancelButtonClick);
}

TChooseLabelLayout::Choice TChooseLabelLayout::choice() const {
    return manual_->isChecked() ? UserDefined : FromTemplates;
}

void TChooseLabelLayout::setChoice(Choice c) {
    (c == UserDefined ? manual_ : templates_)->setChecked(true);
}

// ---- TSelectLabel ------------------------------------------------------------------

TSelectLabel::TSelectLabel(const LabelDefinition& current, QWidget* parent)
    : QDialog(parent), table_(std::make_unique<TableDataset>()) {
    setWindowTitle(QStringLiteral("Select Label Template"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Manufacturer"), this), 0, 0);
    manufacturer_ = new QComboBox(this);
    manufacturer_->addItems(TemplateManufacturerEntries());
    top->addWidget(manufacturer_, 1, 0);
    top->addWidget(new QLabel(QStringLiteral("Product Type"), this), 0, 1);
    productType_ = new QComboBox(this);
    productType_->addItems(TemplateProductTypeEntries());
    top->addWidget(productType_, 1, 1);
    european_ = new QCheckBox(QStringLiteral("European paper sizes only (A4, A5)"), this);
    top->addWidget(european_, 2, 0, 1, 2);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    grid_ = new QTableWidget(0, 1, this);
    grid_->setHorizontalHeaderLabels({QStringLiteral("Description")});
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setMinimumWidth(300);
    grid_->installEventFilter(this);
    middle->addWidget(grid_, 1);
    auto* form = new QFormLayout;
    const char* captions[6] = {"Label Height", "Label Width", "# Across",
                               "# Down",       "Paper Width", "Paper Height"};
    for (int i = 0; i < 6; ++i) {
        details_[i] = new QLabel(this);
        details_[i]->setMinimumWidth(60);
        form->addRow(QString::fromLatin1(captions[i]), details_[i]);
    }
    middle->addLayout(form);
    layout->addLayout(middle, 1);
    QPushButton* cancel = nullptr;
    ok_ = AddButtons(this, layout, HelpTopic::LabelDesign, &cancel);
    connect(ok_, &QPushButton::clicked, this, &TSelectLabel::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TSelectLabel::CancelButtonClick);
    resize(620, 420);

    table_->setExclusive(false);
    table_->setReadOnly(true);
    table_->setInitialOrder(QStringLiteral("DESCRIPT"));
    opened_ = OpenTemplateTable(*table_);
    if (opened_ && table_->order().isEmpty())
        table_->setOrder(QStringLiteral("DESCRIPT"));

    // Lists positioned from the current definition before any filtering.
    const bool user = current.IsUserDefined();
    manufacturer_->setCurrentText(ManufacturerEntryFor(current));
    productType_->setCurrentText(ProductTypeEntryFor(current));
    FilterChanged();
    if (!user) {
        for (size_t i = 0; i < shown_.size(); ++i) {
            if (shown_[i].descript == current.tplDescrip) {
                SetCurrentIndex(static_cast<int>(i));
                break;
            }
        }
    }
    connect(manufacturer_, &QComboBox::currentIndexChanged, this, &TSelectLabel::FilterChanged);
    connect(productType_, &QComboBox::currentIndexChanged, this, &TSelectLabel::FilterChanged);
    connect(european_, &QCheckBox::toggled, this, &TSelectLabel::FilterChanged);
    connect(grid_, &QTableWidget::currentCellChanged, this, [this] { showDetails(); });
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &TSelectLabel::OKButtonClick);
}

TSelectLabel::~TSelectLabel() = default;

QString TSelectLabel::FilterText() const {
    return opened_ ? table_->filterText() : QString();
}

void TSelectLabel::FilterChanged() {
    shown_.clear();
    if (opened_) {
        table_->setFilter(TemplateFilterExpression(
            manufacturer_->currentText(), productType_->currentText(), european_->isChecked()));
        for (bool more = table_->first(); more && !table_->eof(); more = table_->next())
            shown_.push_back(LabelTemplate::FromRecord(*table_));
    }
    QSignalBlocker block(grid_);
    grid_->setRowCount(static_cast<int>(shown_.size()));
    for (size_t i = 0; i < shown_.size(); ++i)
        grid_->setItem(static_cast<int>(i), 0, new QTableWidgetItem(shown_[i].descript));
    if (!shown_.empty())
        grid_->setCurrentCell(0, 0);
    const bool any = !shown_.empty();
    grid_->setEnabled(any);
    ok_->setEnabled(any);
    showDetails();
}

int TSelectLabel::CurrentIndex() const {
    return shown_.empty() ? -1 : grid_->currentRow();
}

void TSelectLabel::SetCurrentIndex(int row) {
    if (row >= 0 && row < static_cast<int>(shown_.size()))
        grid_->setCurrentCell(row, 0);
    showDetails();
}

const LabelTemplate* TSelectLabel::CurrentTemplate() const {
    const int row = CurrentIndex();
    if (row < 0 || row >= static_cast<int>(shown_.size()))
        return nullptr;
    return &shown_[static_cast<size_t>(row)];
}

bool TSelectLabel::OkEnabled() const {
    return ok_->isEnabled();
}

void TSelectLabel::showDetails() {
    const LabelTemplate* t = CurrentTemplate();
    const QString values[6] = {
        t ? Number3(t->lblHeight) : QString(),         t ? Number3(t->lblWidth) : QString(),
        t ? QString::number(t->nbrAcross) : QString(), t ? QString::number(t->nbrDown) : QString(),
        t ? Number3(t->sheetWidth) : QString(),        t ? Number3(t->sheetDepth) : QString()};
    for (int i = 0; i < 6; ++i)
        details_[i]->setText(values[i]);
}

void TSelectLabel::ApplyTo(LabelDefinition& def) const {
    if (const LabelTemplate* t = CurrentTemplate())
        def.TakeTemplate(*t);
}

void TSelectLabel::OKButtonClick() {
    if (!OkEnabled() || !CurrentTemplate())
        return;
    accept();
}

bool TSelectLabel::eventFilter(QObject* watched, QEvent* event) {
    // Insert must not add a template.
    if (watched == grid_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Insert)
        return true;
    return QDialog::eventFilter(watched, event);
}

// ---- TLabelEdit --------------------------------------------------------------------

TLabelEdit::TLabelEdit(const LabelDefinition& current, QWidget* parent)
    : QDialog(parent), result_(current) {
    setWindowTitle(QStringLiteral("User Defined Label Layout"));
    form_.Load(current);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* captions[LabelGeometryForm::LengthCount] = {
        "Label Height", "Label Width", "Horizontal Pitch", "Vertical Pitch",
        "Left Margin",  "Top Margin",  "Paper Width",      "Paper Height"};
    auto* validator = new QDoubleValidator(0, 99999, 3, this);
    validator->setLocale(QLocale::c());
    validator->setNotation(QDoubleValidator::StandardNotation);
    for (int i = 0; i < LabelGeometryForm::LengthCount; ++i) {
        edits_[i] = new QLineEdit(this);
        edits_[i]->setValidator(validator);
        edits_[i]->setAlignment(Qt::AlignRight);
        edits_[i]->setMaximumWidth(90);
    }
    across_ = new QSpinBox(this);
    across_->setRange(1, 10);
    down_ = new QSpinBox(this);
    down_->setRange(1, 30);
    paper_ = new QComboBox(this);
    for (const PaperSizeInfo& p : PaperSizes())
        paper_->addItem(p.dialogEntry, p.code);
    shape_ = new QComboBox(this);
    const QStringList shapeCodes = ShapeCodesInDialogOrder();
    const QStringList shapeEntries = ShapeDialogEntries();
    for (int i = 0; i < shapeCodes.size(); ++i)
        shape_->addItem(shapeEntries[i], shapeCodes[i]);

    int row = 0;
    auto put = [&](const char* caption, QWidget* w, int col) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), this), row, col * 2);
        grid->addWidget(w, row, col * 2 + 1);
    };
    put(captions[0], edits_[0], 0);
    put(captions[1], edits_[1], 1);
    ++row;
    put(captions[2], edits_[2], 0);
    put(captions[3], edits_[3], 1);
    ++row;
    put("# across", across_, 0);
    put("# down", down_, 1);
    ++row;
    put(captions[4], edits_[4], 0);
    put(captions[5], edits_[5], 1);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Paper size"), this), row, 0);
    grid->addWidget(paper_, row, 1, 1, 3);
    ++row;
    put(captions[6], edits_[6], 0);
    put(captions[7], edits_[7], 1);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("Label Shape"), this), row, 0);
    grid->addWidget(shape_, row, 1, 1, 3);
    layout->addLayout(grid);

    auto* units = new QGroupBox(this);
    auto* unitRow = new QHBoxLayout(units);
    inches_ = new QRadioButton(QStringLiteral("Use &Inches"), units);
    millimetres_ = new QRadioButton(QStringLiteral("Use &Millimeters"), units);
    inches_->setChecked(true);
    unitRow->addWidget(inches_);
    unitRow->addWidget(millimetres_);
    layout->addWidget(units);

    QPushButton* cancel = nullptr;
    QPushButton* ok = AddButtons(this, layout, HelpTopic::LabelDesign, &cancel);
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, &TLabelEdit::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TLabelEdit::CancelButtonClick);

    showForm();
    connect(millimetres_, &QRadioButton::toggled, this, &TLabelEdit::UnitsChanged);
    connect(edits_[LabelGeometryForm::Width], &QLineEdit::editingFinished, this,
            &TLabelEdit::WidthExit);
    connect(edits_[LabelGeometryForm::Height], &QLineEdit::editingFinished, this,
            &TLabelEdit::HeightExit);
    connect(paper_, &QComboBox::activated, this, &TLabelEdit::PaperSizeChange);
}

void TLabelEdit::readScreen() {
    for (int i = 0; i < LabelGeometryForm::LengthCount; ++i) {
        bool ok = false;
        const double v = QLocale::c().toDouble(edits_[i]->text().trimmed(), &ok);
        form_.setLength(static_cast<LabelGeometryForm::Length>(i), ok ? v : 0.0);
    }
    form_.setAcross(across_->value());
    form_.setDown(down_->value());
    form_.setShapeCode(shape_->currentData().toString());
    form_.setPaperCode(paper_->currentData().toString());
}

void TLabelEdit::showForm() {
    for (int i = 0; i < LabelGeometryForm::LengthCount; ++i)
        edits_[i]->setText(
            LabelGeometryForm::Format(form_.length(static_cast<LabelGeometryForm::Length>(i))));
    QSignalBlocker b1(across_), b2(down_), b3(paper_), b4(shape_), b5(inches_), b6(millimetres_);
    across_->setValue(form_.across());
    down_->setValue(form_.down());
    paper_->setCurrentIndex(std::max(0, paper_->findData(form_.paperSize())));
    shape_->setCurrentIndex(std::max(0, shape_->findData(form_.shapeCode())));
    (form_.millimetres() ? millimetres_ : inches_)->setChecked(true);
}

void TLabelEdit::UnitsChanged() {
    readScreen();
    form_.SetMillimetres(millimetres_->isChecked());
    showForm();
}

void TLabelEdit::WidthExit() {
    readScreen();
    form_.LeaveWidth();
    showForm();
}

void TLabelEdit::HeightExit() {
    readScreen();
    form_.LeaveHeight();
    showForm();
}

void TLabelEdit::PaperSizeChange() {
    readScreen();
    form_.ChoosePaperSize(paper_->currentData().toString());
    showForm();
}

void TLabelEdit::OKButtonClick() {
    readScreen();
    LabelDefinition def = result_;
    const QString failure = form_.Apply(def);
    if (!failure.isEmpty()) {
        Inform(failure);
        return;
    }
    result_ = def;
    accept();
}

// ---- Change Layout -------------------------------------------------------------------

bool ChangeLabelLayout(LabelDefinition& def, QWidget* parent) {
    TChooseLabelLayout choose(parent);
    if (RunModal(choose) != QDialog::Accepted)
        return false;
    if (choose.choice() == TChooseLabelLayout::FromTemplates) {
        TSelectLabel select(def, parent);
        if (!select.Opened())
            return false;
        if (RunModal(select) != QDialog::Accepted || !select.CurrentTemplate())
            return false;
        select.ApplyTo(def);
        return true;
    }
    TLabelEdit edit(def, parent);
    if (RunModal(edit) != QDialog::Accepted)
        return false;
    def = edit.Result();
    return true;
}

} // namespace qb
