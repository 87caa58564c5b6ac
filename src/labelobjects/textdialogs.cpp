#include "labelobjects/textdialogs.h"

#include "app/modal.h"
#include "labelobjects/symbolfonts.h"
#include "storage/dataset.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <climits>

namespace qb {

// ---- running the dialogs ------------------------------------------------------------------

bool ChooseColor(QWidget* parent, int32_t& color) {
    QColorDialog dlg(ToQColor(color), parent);
    if (RunModal(dlg) != QDialog::Accepted)
        return false;
    // The current colour is the one accepted (a script sets it without a click).
    color = FromQColor(dlg.currentColor());
    return true;
}

namespace {
// A font dialog with the font's colour beside it: the platform's font dialog
// has no colour of its own.
class FontWithColorDialog : public QDialog {
public:
    FontWithColorDialog(const TKFont& font, bool withColor, QWidget* parent) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Font"));
        auto* layout = new QVBoxLayout(this);
        fonts = new QFontDialog(this);
        fonts->setOptions(QFontDialog::NoButtons);
        QFont f(font.Name());
        f.setPointSize(std::max(1, font.Size()));
        f.setBold(font.Style() & fsBold);
        f.setItalic(font.Style() & fsItalic);
        f.setUnderline(font.Style() & fsUnderline);
        f.setStrikeOut(font.Style() & fsStrikeOut);
        fonts->setCurrentFont(f);
        layout->addWidget(fonts);
        color = font.Color();
        if (withColor) {
            colorButton = new QPushButton(QStringLiteral("&Color..."), this);
            connect(colorButton, &QPushButton::clicked, this, [this] { ChooseColor(this, color); });
            layout->addWidget(colorButton);
        }
        layout->addWidget(DialogButtons(*this));
    }
    QFontDialog* fonts;
    QPushButton* colorButton = nullptr;
    int32_t color = 0;
};
} // namespace

bool ChooseFont(QWidget* parent, TKFont& font, bool withColor) {
    FontWithColorDialog dlg(font, withColor, parent);
    if (RunModal(dlg) != QDialog::Accepted)
        return false;
    const QFont f = dlg.fonts->currentFont();
    font.SetName(f.family());
    if (f.pointSize() > 0)
        font.SetSize(f.pointSize());
    font.SetStyle((f.bold() ? fsBold : 0) | (f.italic() ? fsItalic : 0) |
                  (f.underline() ? fsUnderline : 0) | (f.strikeOut() ? fsStrikeOut : 0));
    if (withColor)
        font.SetColor(dlg.color);
    return true;
}

// ---- common frame ------------------------------------------------------------------------

TextObjectDialog::TextObjectDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

void TextObjectDialog::FinishLayout(QVBoxLayout* layout) {
    layout->addWidget(DialogButtons(*this, [] { QWhatsThis::enterWhatsThisMode(); }));
}

// ---- "Text" ------------------------------------------------------------------------------

TGetLabelText::TGetLabelText(QWidget* parent) : TextObjectDialog(QStringLiteral("Text"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter Text"), this));
    edit_ = new QLineEdit(this);
    edit_->setWhatsThis(QStringLiteral("The text the label shows."));
    edit_->setMinimumWidth(280);
    layout->addWidget(edit_);
    FinishLayout(layout);
}

void TGetLabelText::Load(const TKBaseLabel& label) {
    edit_->setText(label.Caption());
    edit_->selectAll();
}

void TGetLabelText::Apply(TKPLabel& label) const {
    label.SetCaption(edit_->text());
    label.GrowToFit();
    label.update();
}

// ---- "Text 3D Effects" ----------------------------------------------------------------------

namespace {
QComboBox* DepthList(QWidget* parent) {
    auto* c = new QComboBox(parent);
    for (int i = 0; i <= 10; ++i)
        c->addItem(QString::number(i));
    return c;
}
void PaintSwatch(QPushButton* b, int32_t color) {
    QPixmap pm(24, 12);
    pm.fill(ToQColor(color));
    b->setIcon(QIcon(pm));
}
} // namespace

TKFont3DEffects::TKFont3DEffects(QWidget* parent)
    : TextObjectDialog(QStringLiteral("Text 3D Effects"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    shadowDir_ = new QComboBox(this);
    shadowDir_->addItems({"None", "Right", "Left", "Lower Right", "Lower Left", "Down"});
    shadowDepth_ = DepthList(this);
    shadowColor_ = new QPushButton(QStringLiteral("Shadow Color"), this);
    highDir_ = new QComboBox(this);
    highDir_->addItems({"None", "Right", "Left", "Upper Right", "Upper Left", "Up"});
    highDepth_ = DepthList(this);
    highColor_ = new QPushButton(QStringLiteral("Highlight Color"), this);
    fontColor_ = new QPushButton(QStringLiteral("Font Color"), this);
    form->addRow(QStringLiteral("Shadow Direction"), shadowDir_);
    form->addRow(QStringLiteral("Shadow Depth"), shadowDepth_);
    form->addRow(QString(), shadowColor_);
    form->addRow(QStringLiteral("Highlight Direction"), highDir_);
    form->addRow(QStringLiteral("Highlight Depth"), highDepth_);
    form->addRow(QString(), highColor_);
    form->addRow(QString(), fontColor_);
    layout->addLayout(form);
    auto* sampleBox = new QWidget(this);
    sampleBox->setMinimumSize(260, 70);
    sampleBox->setAutoFillBackground(true);
    QPalette pal = sampleBox->palette();
    pal.setColor(QPalette::Window, Qt::white);
    sampleBox->setPalette(pal);
    sample_ = new TKPLabel;
    sample_->setParent(sampleBox);
    sample_->SetCaption(QStringLiteral("Sample"));
    sample_->SetBounds(8, 8, 240, 50);
    layout->addWidget(sampleBox);
    shadowDir_->setWhatsThis(QStringLiteral("Where the shadow falls."));
    highDir_->setWhatsThis(QStringLiteral("Where the highlight lies."));
    for (QComboBox* c : {shadowDir_, shadowDepth_, highDir_, highDepth_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateSample(); });
    connect(shadowColor_, &QPushButton::clicked, this, [this] {
        int32_t c = shadow_;
        if (ChooseColor(this, c))
            SetShadowColor(c);
    });
    connect(highColor_, &QPushButton::clicked, this, [this] {
        int32_t c = highlight_;
        if (ChooseColor(this, c))
            SetHighlightColor(c);
    });
    connect(fontColor_, &QPushButton::clicked, this, [this] {
        int32_t c = font_.Color();
        if (ChooseColor(this, c))
            SetFontColor(c);
    });
    FinishLayout(layout);
}

void TKFont3DEffects::Load(const TKBaseLabel& label) {
    font_.Assign(label.FontRef());
    shadow_ = label.ColorShadow();
    highlight_ = label.ColorHighlight();
    shadowDir_->setCurrentIndex(label.DirectionShadow());
    shadowDepth_->setCurrentIndex(std::clamp(label.DepthShadow(), 0, 10));
    highDir_->setCurrentIndex(label.DirectionHighlight());
    highDepth_->setCurrentIndex(std::clamp(label.DepthHighlight(), 0, 10));
    UpdateSample();
}

void TKFont3DEffects::SetShadowColor(int32_t c) {
    shadow_ = c;
    UpdateSample();
}
void TKFont3DEffects::SetHighlightColor(int32_t c) {
    highlight_ = c;
    UpdateSample();
}
void TKFont3DEffects::SetFontColor(int32_t c) {
    font_.SetColor(c);
    UpdateSample();
}

void TKFont3DEffects::UpdateSample() {
    sample_->Font()->Assign(font_);
    sample_->SetDirectionShadow(std::max(0, shadowDir_->currentIndex()));
    sample_->SetDepthShadow(std::max(0, shadowDepth_->currentIndex()));
    sample_->SetDirectionHighlight(std::max(0, highDir_->currentIndex()));
    sample_->SetDepthHighlight(std::max(0, highDepth_->currentIndex()));
    sample_->SetColorShadow(shadow_);
    sample_->SetColorHighlight(highlight_);
    PaintSwatch(shadowColor_, shadow_);
    PaintSwatch(highColor_, highlight_);
    PaintSwatch(fontColor_, font_.Color());
}

void TKFont3DEffects::Apply(TKBaseLabel& label) const {
    label.Font()->Assign(font_);
    label.SetDepthShadow(shadowDepth_->currentIndex());
    label.SetDepthHighlight(highDepth_->currentIndex());
    label.SetDirectionShadow(shadowDir_->currentIndex());
    label.SetDirectionHighlight(highDir_->currentIndex());
    label.SetColorShadow(shadow_);
    label.SetColorHighlight(highlight_);
}

// ---- "Select Field" -----------------------------------------------------------------------------

QStringList TFieldSelectionBox::Entries(const TableDataset* dataset, bool memo) {
    QStringList out;
    if (!dataset || !dataset->isOpen())
        return out;
    for (int i = 0; i < dataset->fieldCount(); ++i) {
        const DatasetField& f = dataset->fieldAt(i);
        // Memo fields are listed whether or not a grid shows them: the
        // address file keeps its memo out of the browse grid.
        if (memo ? f.type == 'M' : (f.type == 'C' && f.visible))
            out << f.displayLabel;
    }
    return out;
}

TFieldSelectionBox::TFieldSelectionBox(const TableDataset* dataset, bool memo,
                                       const QString& current, QWidget* parent)
    : TextObjectDialog(QStringLiteral("Select Field"), parent), dataset_(dataset) {
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->addItems(Entries(dataset, memo));
    list_->setWhatsThis(QStringLiteral("The field the object shows."));
    const QList<QListWidgetItem*> found = list_->findItems(current, Qt::MatchExactly);
    if (!found.isEmpty())
        list_->setCurrentItem(found.first());
    else if (list_->count() > 0)
        list_->setCurrentRow(0);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(list_);
    FinishLayout(layout);
}

QString TFieldSelectionBox::Chosen() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->text() : QString();
}

QString TFieldSelectionBox::ChosenFieldName() const {
    const QString label = Chosen();
    QString name;
    if (dataset_ && dataset_->isOpen())
        for (int i = 0; i < dataset_->fieldCount(); ++i)
            if (dataset_->fieldAt(i).displayLabel == label)
                name = dataset_->fieldAt(i).name;
    return name;
}

// ---- "Counter" ------------------------------------------------------------------------------

TGetCounter::TGetCounter(QWidget* parent) : TextObjectDialog(QStringLiteral("Counter"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    start_ = new QSpinBox(this);
    start_->setRange(INT_MIN, INT_MAX);
    repeat_ = new QSpinBox(this);
    repeat_->setRange(1, 999);
    before_ = new QLineEdit(this);
    after_ = new QLineEdit(this);
    form->addRow(QStringLiteral("Starting Number"), start_);
    form->addRow(QStringLiteral("Repeat number for #of  labels?"), repeat_);
    form->addRow(QStringLiteral("Text  before"), before_);
    form->addRow(QStringLiteral("Text after"), after_);
    start_->setWhatsThis(QStringLiteral("The number on the first label."));
    repeat_->setWhatsThis(QStringLiteral("How many labels in a row carry the same number."));
    layout->addLayout(form);
    FinishLayout(layout);
}

void TGetCounter::Load(const TKCounterLabel& counter) {
    start_->setValue(counter.Startingnumber());
    repeat_->setValue(std::clamp(counter.RepeatEach(), 1, 999));
    before_->setText(counter.TextBefore());
    after_->setText(counter.TextAfter());
}

void TGetCounter::Apply(TKCounterLabel& counter) const {
    counter.ApplyCounterSettings(start_->value(), repeat_->value(), before_->text(),
                                 after_->text());
}

// ---- "Symbol Selector" --------------------------------------------------------------------------

int TGetSymbol::ColumnsForSize(int points) {
    if (points >= 6 && points <= 10)
        return 14;
    if (points >= 11 && points <= 20)
        return 10;
    if (points >= 21 && points <= 30)
        return 8;
    if (points >= 31 && points <= 40)
        return 6;
    if (points >= 41 && points <= 50)
        return 4;
    if (points >= 51 && points <= 60)
        return 3;
    if (points >= 61 && points <= 72)
        return 2;
    return 1;
}

QString TGetSymbol::FontCaption(const TKFont& font) {
    QString s =
        font.Name() + QLatin1Char(' ') + QString::number(font.Size()) + QStringLiteral("pt ");
    if (font.Style() & fsItalic)
        s += QStringLiteral("Italic ");
    else if (font.Style() & fsBold)
        s += QStringLiteral("Bold ");
    return s;
}

TGetSymbol::TGetSymbol(QWidget* parent)
    : TextObjectDialog(QStringLiteral("Symbol Selector"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    table_ = new QTableWidget(this);
    table_->horizontalHeader()->hide();
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setMinimumSize(420, 300);
    table_->setWhatsThis(QStringLiteral("Click the symbol the label shows."));
    preview_ = new QLabel(this);
    preview_->setMinimumSize(110, 110);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::Box);
    preview_->setAutoFillBackground(true);
    QPalette pal = preview_->palette();
    pal.setColor(QPalette::Window, Qt::white);
    preview_->setPalette(pal);
    top->addWidget(table_, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(preview_);
    fontButton_ = new QPushButton(QStringLiteral("&Font"), this);
    side->addWidget(fontButton_);
    fontLabel_ = new QLabel(this);
    side->addWidget(fontLabel_);
    side->addStretch();
    top->addLayout(side);
    layout->addLayout(top);
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int col) {
        if (row < 0 || col < 0)
            return;
        const int index = row * table_->columnCount() + col;
        if (index < 224) {
            code_ = index + 32;
            UpdatePreview();
        }
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    connect(fontButton_, &QPushButton::clicked, this, [this] {
        TKFont f;
        f.Assign(font_);
        if (ChooseFont(this, f))
            SetFont(f);
    });
    FinishLayout(layout);
    Fill();
}

void TGetSymbol::Fill() {
    const int cols = ColumnsForSize(font_.Size());
    const int code = code_;
    const QSignalBlocker block(table_);
    table_->clear();
    table_->setColumnCount(cols);
    table_->setRowCount((224 + cols - 1) / cols);
    QFont f = ScreenFont(font_);
    const bool translated = ResolveSymbolText(font_.Name(), QString()).translated;
    for (int i = 0; i < 224; ++i) {
        const QString ch = ResolveSymbolText(font_.Name(), QString(QChar(i + 32))).text;
        auto* item = new QTableWidgetItem(ch);
        item->setFont(f);
        item->setForeground(font_.ToQColor());
        item->setTextAlignment(Qt::AlignCenter);
        table_->setItem(i / cols, i % cols, item);
    }
    (void)translated;
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    fontLabel_->setText(FontCaption(font_));
    code_ = code;
    table_->setCurrentCell((code_ - 32) / cols, (code_ - 32) % cols);
    UpdatePreview();
}

void TGetSymbol::UpdatePreview() {
    QFont f = ScreenFont(font_);
    f.setPixelSize(std::min(96, std::max(24, f.pixelSize() * 2)));
    preview_->setFont(f);
    QPalette pal = preview_->palette();
    pal.setColor(QPalette::WindowText, font_.ToQColor());
    preview_->setPalette(pal);
    preview_->setText(ResolveSymbolText(font_.Name(), QString(QChar(code_))).text);
}

void TGetSymbol::SetFont(const TKFont& font) {
    font_.Assign(font);
    Fill();
}

int TGetSymbol::Code() const {
    return code_;
}

void TGetSymbol::SetCode(int code) {
    if (code < 32 || code > 255)
        code = 32;
    code_ = code;
    const int cols = table_->columnCount();
    table_->setCurrentCell((code - 32) / cols, (code - 32) % cols);
    UpdatePreview();
}

void TGetSymbol::Load(const TKSymbolLabel& symbol) {
    const QString c = symbol.Caption();
    int code = c.isEmpty() ? 32 : c.at(0).unicode();
    if (code < 32 || code > 255)
        code = 32;
    code_ = code;
    SetFont(symbol.FontRef());
}

void TGetSymbol::Apply(TKSymbolLabel& symbol) const {
    symbol.Font()->Assign(font_);
    symbol.SetCaption(QString(QChar(code_)));
}

// ---- "Multi-line Text Editor" -------------------------------------------------------------------

TMultiLineTextEditor::TMultiLineTextEditor(QWidget* parent)
    : TextObjectDialog(QStringLiteral("Multi-line Text Editor"), parent) {
    auto* layout = new QVBoxLayout(this);
    edit_ = new QPlainTextEdit(this);
    edit_->setMinimumSize(360, 180);
    edit_->setWhatsThis(QStringLiteral("The lines of the text (at most 254 characters)."));
    connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = edit_->toPlainText();
        if (t.size() <= kMaxChars)
            return;
        const QSignalBlocker block(edit_);
        edit_->setPlainText(t.left(kMaxChars));
        QTextCursor c = edit_->textCursor();
        c.movePosition(QTextCursor::End);
        edit_->setTextCursor(c);
    });
    layout->addWidget(edit_);
    FinishLayout(layout);
}

void TMultiLineTextEditor::Load(const TKMultiLineBaseLabel& label) {
    edit_->setFont(ScreenFont(label.FontRef()));
    edit_->setPlainText(label.ItemsRef().Lines().join(QLatin1Char('\n')).left(kMaxChars));
}

QStringList TMultiLineTextEditor::Lines() const {
    const QString t = edit_->toPlainText().left(kMaxChars);
    if (t.isEmpty())
        return {};
    return t.split(QLatin1Char('\n'));
}

// ---- "Address Label Layout"
// ------------------------------------------------------------------------

TAddressLayout::TAddressLayout(QWidget* parent)
    : TextObjectDialog(QStringLiteral("Address Label Layout"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* captions[10] = {"&Name",      "&Title",        "&Organization",    "Address &1",
                                "Address &2", "City + &State", "&Zip/Postal code", "&Phone #1",
                                "&Country",   "&Uppercase"};
    for (int i = 0; i < 10; ++i) {
        boxes_[i] = new QCheckBox(QString::fromLatin1(captions[i]), this);
        grid->addWidget(boxes_[i], i % 5, i / 5);
    }
    layout->addLayout(grid);
    auto* zipBox = new QGroupBox(QStringLiteral("Zip/Postal code"), this);
    auto* zipLayout = new QVBoxLayout(zipBox);
    const char* radios[4] = {"&After state", "&Before city", "A&fter country", "B&efore country"};
    for (int i = 0; i < 4; ++i) {
        radios_[i] = new QRadioButton(QString::fromLatin1(radios[i]), zipBox);
        zipLayout->addWidget(radios_[i]);
    }
    layout->addWidget(zipBox);
    boxes_[6]->setWhatsThis(
        QStringLiteral("Print the ZIP or postal code where the buttons below say."));
    connect(boxes_[6], &QCheckBox::toggled, this, [this] { UpdateRadios(); });
    FinishLayout(layout);
    Load(AddressOptions());
}

void TAddressLayout::UpdateRadios() {
    for (QRadioButton* r : radios_)
        r->setEnabled(boxes_[6]->isChecked());
}

void TAddressLayout::Load(const AddressOptions& o) {
    const bool values[10] = {o.useName,      o.useTitle, o.useCompany, o.useStreet,  o.useStreet2,
                             o.useCityState, o.useZip,   o.usePhone,   o.useCountry, o.upperCase};
    for (int i = 0; i < 10; ++i)
        boxes_[i]->setChecked(values[i]);
    radios_[std::clamp(o.zipOptions, 0, 3)]->setChecked(true);
    UpdateRadios();
}

AddressOptions TAddressLayout::Options() const {
    AddressOptions o;
    o.useName = boxes_[0]->isChecked();
    o.useTitle = boxes_[1]->isChecked();
    o.useCompany = boxes_[2]->isChecked();
    o.useStreet = boxes_[3]->isChecked();
    o.useStreet2 = boxes_[4]->isChecked();
    o.useCityState = boxes_[5]->isChecked();
    o.useZip = boxes_[6]->isChecked();
    o.usePhone = boxes_[7]->isChecked();
    o.useCountry = boxes_[8]->isChecked();
    o.upperCase = boxes_[9]->isChecked();
    for (int i = 0; i < 4; ++i)
        if (radios_[i]->isChecked())
            o.zipOptions = i;
    return o;
}

} // namespace qb
