#include "labelobjects/barcodes.h"

#include "app/modal.h"
#include "labelobjects/panels.h"
#include "labelobjects/textdialogs.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QPainter>

#include <cmath>
#include <utility>

namespace qb {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int NearestInt(double v) {
    return int(std::nearbyint(v)); // halves to even
}

const char* const kTypeCaptions[3] = {"5-Digit ZIP Code Barcode", "ZIP+4 Barcode",
                                      "ZIP+4 with Delivery Point Barcode"};
const char* const kFIMCaptions[3] = {"Set FIM to Type A", "Set FIM to Type B", "Set FIM to Type C"};

} // namespace

// ---- POSTNET digits and bars ----------------------------------------------------------------

QString DeliveryPointDigits(const QString& address) {
    const QString text = address.toUpper();
    const QString none = QStringLiteral("99");
    if (text.isEmpty() || text.contains(QLatin1String("APO")) ||
        text.contains(QLatin1String("FPO")))
        return none;
    QChar tens = QLatin1Char(' ');
    QChar units = QLatin1Char(' ');
    bool hasUnits = false, hasTens = false, afterSlash = false, afterOrdinal = false;
    // From the right: the last two digits of the rightmost number that is not
    // part of a fraction or an ordinal ("5TH").
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text.at(i);
        if (IsAsciiDigit(c)) {
            if (afterSlash || afterOrdinal || (hasUnits && hasTens))
                continue;
            if (!hasUnits) {
                units = c;
                hasUnits = true;
            } else {
                tens = c;
                hasTens = true;
            }
        } else if (c == QLatin1Char(' ')) {
            if (hasUnits || hasTens)
                break;
            afterSlash = afterOrdinal = false;
        } else if (c == QLatin1Char('/') && (hasUnits || hasTens)) {
            afterSlash = true;
            hasUnits = hasTens = false;
            tens = units = QLatin1Char(' ');
        } else if (hasUnits && !hasTens) {
            tens = QLatin1Char('0');
            hasTens = true;
        } else if (i + 1 < text.size()) {
            const QString pair = text.mid(i, 2);
            if (pair == QLatin1String("ST") || pair == QLatin1String("ND") ||
                pair == QLatin1String("RD") || pair == QLatin1String("TH"))
                afterOrdinal = true;
        }
    }
    if (tens == QLatin1Char(' ') && units == QLatin1Char(' '))
        return none;
    if (tens == QLatin1Char(' '))
        tens = QLatin1Char('0');
    return QString(tens) + units;
}

bool PostNetZipValid(const QString& zip) {
    if (zip.size() < 5)
        return false;
    // A ZIP such as "1ABCD" or "12A45" compares within the range but would
    // encode the wrong code: the first five characters must all be digits.
    for (int i = 0; i < 5; ++i)
        if (!IsAsciiDigit(zip.at(i)))
            return false;
    return zip.compare(QLatin1String("99999-9999"), Qt::CaseSensitive) <= 0;
}

int PostNetCorrectionDigit(const QString& digits) {
    int sum = 0;
    for (QChar c : digits)
        if (IsAsciiDigit(c))
            sum += c.unicode() - '0';
    return (10 - sum % 10) % 10;
}

QString PostNetDigits(const QString& zip, const QString& address, int type) {
    if (!PostNetZipValid(zip))
        return {};
    QString digits;
    for (QChar c : zip)
        if (IsAsciiDigit(c))
            digits += c;
    // Sorting machines read codes of 5, 9 or 11 data digits only, and
    // delivery-point digits mean nothing without the ZIP+4. A ZIP that does
    // not hold exactly nine digits is coded by its five-digit ZIP.
    if (type == pnbc5Digit || digits.size() != 9)
        digits.truncate(5);
    else if (type == pnbc11Digit)
        digits += DeliveryPointDigits(address);
    digits += QChar('0' + PostNetCorrectionDigit(digits));
    return digits;
}

std::vector<bool> PostNetDigitBars(int digit) {
    // Weights 7 4 2 1 0; two full bars whose weights add up to the digit,
    // 11 standing for 0.
    static const char* const patterns[10] = {"11000", "00011", "00101", "00110", "01001",
                                             "01010", "01100", "10001", "10010", "10100"};
    std::vector<bool> bars;
    if (digit < 0 || digit > 9)
        return bars;
    for (const char* p = patterns[digit]; *p; ++p)
        bars.push_back(*p == '1');
    return bars;
}

std::vector<bool> PostNetBars(const QString& digits) {
    std::vector<bool> bars{true};
    for (QChar c : digits) {
        if (!IsAsciiDigit(c))
            continue;
        const std::vector<bool> five = PostNetDigitBars(c.unicode() - '0');
        bars.insert(bars.end(), five.begin(), five.end());
    }
    bars.push_back(true);
    return bars;
}

std::vector<int> FIMBarColumns(int fimType) {
    switch (fimType) {
    case fimTypeA:
        return {1, 3, 9, 15, 17};
    case fimTypeB:
        return {1, 5, 7, 11, 13, 17};
    case fimTypeC:
        return {1, 3, 7, 11, 15, 17};
    default:
        return {};
    }
}

// ---- TKPostNetBarCode ------------------------------------------------------------------------

const ClassInfo& TKPostNetBarCode::StaticInfo() {
    using T = TKPostNetBarCode;
    static const ClassInfo info =
        MakeInfo("TKPostNetBarCode", &TKGraphicControl::StaticInfo(),
                 {
                     StringProp<T>("ZipCodeField", &T::ZipCodeField, &T::SetZipCodeField),
                     StringProp<T>("AddressField", &T::AddressField, &T::SetAddressField),
                     EnumProp<T>("BarCodeType", {"pnbc5Digit", "pnbc9Digit", "pnbc11Digit"},
                                 &T::BarCodeType, &T::SetBarCodeType),
                 },
                 Factory<T>());
    return info;
}

TKPostNetBarCode::TKPostNetBarCode(QWidget* parent)
    : TKGraphicControl(parent), sample_(SampleBitmap()) {
    // Until the first paint fits it to the sample picture: 2.6 x 0.125 inch.
    SetLoading(true);
    SetBounds(0, 0, int(2.6 * kPixelsPerInch), int(0.125 * kPixelsPerInch));
    SetLoading(false);
}

QImage TKPostNetBarCode::SampleBitmap() {
    // A ZIP+4 with delivery point code, 62 bars, drawn in 16 colours: black
    // bars on white, a grey baseline shadow so it reads as a sample.
    static const QImage picture = [] {
        QImage img(270, 16, QImage::Format_Indexed8);
        QList<QRgb> colors;
        const QRgb vga[16] = {0xff000000, 0xff800000, 0xff008000, 0xff808000,
                              0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
                              0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
                              0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
        for (QRgb c : vga)
            colors << c;
        img.setColorTable(colors);
        img.fill(15);
        const QString digits =
            PostNetDigits(QStringLiteral("12345-6789"), QStringLiteral("123 MAIN ST"), pnbc11Digit);
        const std::vector<bool> bars = PostNetBars(digits);
        const int n = int(bars.size());
        for (int i = 0; i < n; ++i) {
            const int x = 2 + (i * 264) / (n - 1);
            const int top = bars[size_t(i)] ? 1 : 8;
            for (int y = top; y <= 14; ++y)
                for (int dx = 0; dx < 2; ++dx)
                    img.setPixel(x + dx, y, 0);
        }
        for (int x = 1; x < 269; ++x)
            if (img.pixelIndex(x, 14) != 0)
                img.setPixel(x, 15, 7);
        return img;
    }();
    return picture;
}

QAction* TKPostNetBarCode::TypeMenuItem(int type) const {
    return type >= 0 && type < 3 ? typeItems_[type] : nullptr;
}

void TKPostNetBarCode::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    for (int type = pnbc5Digit; type <= pnbc11Digit; ++type) {
        QAction* item = menu.addAction(QString::fromLatin1(kTypeCaptions[type]));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, type] {
            if (barCodeType_ == type)
                return;
            NotifyChange();
            SetBarCodeType(type);
            UpdateMenuChecks();
        });
        typeItems_[type] = item;
    }
    fieldsItem_ = menu.addAction(QStringLiteral("Barcode Fields..."));
    connect(fieldsItem_, &QAction::triggered, this, &TKPostNetBarCode::EditFields);
}

void TKPostNetBarCode::UpdateMenuChecks() {
    for (int type = pnbc5Digit; type <= pnbc11Digit; ++type)
        if (typeItems_[type])
            typeItems_[type]->setChecked(barCodeType_ == type);
}

void TKPostNetBarCode::EditFields() {
    std::vector<std::pair<QString, QString>> fields;
    if (auto* panel = qobject_cast<TKDataPanel*>(Panel()); panel && panel->DatasetOpen()) {
        TableDataset* data = panel->Dataset();
        for (int i = 0; i < data->fieldCount(); ++i) {
            const DatasetField& f = data->fieldAt(i);
            if (!f.calculated && f.type == 'C')
                fields.emplace_back(f.name, f.displayLabel);
        }
    }
    TPostNetFieldsDialog dialog(fields, zipCodeField_, addressField_, window());
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    const QString zip = dialog.ZipField();
    const QString street = dialog.AddressField();
    if (zip == zipCodeField_ && street == addressField_)
        return;
    NotifyChange();
    SetZipCodeField(zip);
    SetAddressField(street);
    RefreshData();
}

void TKPostNetBarCode::RefreshData() {
    auto* panel = qobject_cast<TKDataPanel*>(Panel());
    TableDataset* data = panel && panel->DatasetOpen() ? panel->Dataset() : nullptr;
    const auto text = [data](const QString& name) {
        return data && !name.isEmpty() && data->hasField(name) ? data->asString(name) : QString();
    };
    addressText_ = text(addressField_);
    zipText_ = text(zipCodeField_);
    if (!panel || !panel->Printing())
        update();
}

void TKPostNetBarCode::PrintTo(PrintSurface& surface, double x0, double y0) {
    const QString digits = PostNetDigits(zipText_, addressText_, barCodeType_);
    if (digits.isEmpty())
        return;
    surface.UsePen(Qt::black, PenStyle::Solid, 1, PenMode::pmCopy);
    surface.UseBrush(Qt::black, BrushStyle::Solid);
    double x = Left() / double(kPixelsPerInch) + x0;
    const double y = Top() / double(kPixelsPerInch) + y0;
    for (bool full : PostNetBars(digits)) {
        surface.Rectangle(x, full ? y : y + kPostNetHalfTop, x + kPostNetBarWidth,
                          y + kPostNetFullHeight);
        x += kPostNetPitch;
    }
}

void TKPostNetBarCode::Paint(QPainter& painter) {
    if (sample_.isNull()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, Width() - 1, Height() - 1);
        return;
    }
    const float z = Zoom();
    const int w = z != 1.0f ? NearestInt(sample_.width() * double(z)) : sample_.width();
    const int h = z != 1.0f ? NearestInt(sample_.height() * double(z)) : sample_.height();
    if (Width() != w || Height() != h)
        SetBounds(Left(), Top(), w, h);
    painter.drawImage(QRect(0, 0, Width(), Height()), sample_);
}

// ---- TKFIMBarCode ------------------------------------------------------------------------------

const ClassInfo& TKFIMBarCode::StaticInfo() {
    using T = TKFIMBarCode;
    static const ClassInfo info =
        MakeInfo("TKFIMBarCode", &TKGraphicControl::StaticInfo(),
                 {
                     EnumProp<T>("FIMType", {"fimTypeA", "fimTypeB", "fimTypeC"}, &T::FIMType,
                                 &T::SetFIMType, fimTypeA),
                 },
                 Factory<T>());
    return info;
}

TKFIMBarCode::TKFIMBarCode(QWidget* parent) : TKGraphicControl(parent) {
    // 5/8 inch wide and 9/16 inch high until the first paint makes it square.
    SetLoading(true);
    SetBounds(0, 0, int(0.625 * kPixelsPerInch), int(0.5625 * kPixelsPerInch));
    SetLoading(false);
}

void TKFIMBarCode::SetFIMType(int v) {
    if (v == fimType_)
        return;
    fimType_ = v;
    update();
}

QAction* TKFIMBarCode::TypeMenuItem(int type) const {
    return type >= 0 && type < 3 ? typeItems_[type] : nullptr;
}

void TKFIMBarCode::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    for (int type = fimTypeA; type <= fimTypeC; ++type) {
        QAction* item = menu.addAction(QString::fromLatin1(kFIMCaptions[type]));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, type] {
            NotifyChange();
            SetFIMType(type);
            UpdateMenuChecks();
        });
        typeItems_[type] = item;
    }
}

void TKFIMBarCode::UpdateMenuChecks() {
    for (int type = fimTypeA; type <= fimTypeC; ++type)
        if (typeItems_[type])
            typeItems_[type]->setChecked(fimType_ == type);
}

void TKFIMBarCode::PrintTo(PrintSurface& surface, double x0, double y0) {
    const std::vector<int> columns = FIMBarColumns(fimType_);
    if (columns.empty())
        return;
    surface.UseBrush(Qt::black, BrushStyle::Solid);
    const double x = Left() / double(kPixelsPerInch) + x0;
    const double y = Top() / double(kPixelsPerInch) + y0;
    for (int k : columns)
        surface.Rectangle(x + (k - 1) * kFIMColumnWidth, y, x + k * kFIMColumnWidth,
                          y + kFIMHeight);
}

void TKFIMBarCode::Paint(QPainter& painter) {
    const double z = double(Zoom());
    const int side = int(0.625 * kPixelsPerInch * z);
    if (Width() != side || Height() != side)
        SetBounds(Left(), Top(), side, side);
    const int w = int(kPixelsPerInch * kFIMColumnWidth * z);
    const int h = int(kPixelsPerInch * kFIMHeight * z);
    for (int k : FIMBarColumns(fimType_))
        painter.fillRect(QRect(QPoint((k - 1) * w, 0), QPoint(k * w - 1, h - 1)), Qt::black);
}

// ---- the field dialog ---------------------------------------------------------------------------

TPostNetFieldsDialog::TPostNetFieldsDialog(const std::vector<std::pair<QString, QString>>& fields,
                                           const QString& zipField, const QString& addressField,
                                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Barcode Fields"));
    ZipCombo = new QComboBox(this);
    AddressCombo = new QComboBox(this);
    for (QComboBox* combo : {ZipCombo, AddressCombo}) {
        for (const auto& [name, label] : fields)
            combo->addItem(label.isEmpty() ? name : label, name);
    }
    const auto select = [](QComboBox* combo, const QString& name) {
        int index = -1;
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemData(i).toString().compare(name, Qt::CaseInsensitive) == 0)
                index = i;
        if (index < 0 && !name.isEmpty()) {
            combo->addItem(name, name);
            index = combo->count() - 1;
        }
        combo->setCurrentIndex(index);
    };
    select(ZipCombo, zipField);
    select(AddressCombo, addressField);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Zip code field:"), ZipCombo);
    form->addRow(QStringLiteral("&Street address field:"), AddressCombo);
    form->addRow(DialogButtons(*this));
}

QString TPostNetFieldsDialog::ZipField() const {
    return ZipCombo->currentData().toString();
}

QString TPostNetFieldsDialog::AddressField() const {
    return AddressCombo->currentData().toString();
}

} // namespace qb
