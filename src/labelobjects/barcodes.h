// The postal bar code label objects: the POSTNET bar code of a record's ZIP
// code (5-digit, ZIP+4, or ZIP+4 with the delivery-point digits taken from
// the street line) and the Facing Identification Mark (FIM) of envelopes.
#pragma once

#include "labelobjects/classsupport.h"

#include <QDialog>
#include <QImage>

#include <vector>

class QAction;
class QComboBox;

namespace qb {

// ---- POSTNET digits and bars ----------------------------------------------------------------

// Bar geometry in inches.
inline constexpr double kPostNetPitch = 0.046; // from one bar's left edge to the next
inline constexpr double kPostNetBarWidth = 0.015;
inline constexpr double kPostNetFullHeight = 0.125;
inline constexpr double kPostNetHalfTop = 0.070; // a half bar starts this far below the top

// The two delivery-point digits of a street line ("99" when it holds no
// usable number, or is a military APO/FPO address).
QString DeliveryPointDigits(const QString& address);
// Whether a ZIP text may be bar-coded: at least five characters, the first
// five all digits, and no greater than "99999-9999".
bool PostNetZipValid(const QString& zip);
// The data digits of a bar code of `type` (TPostNetBarCodeType) with the
// correction digit appended; empty when the ZIP text is not valid. The
// digits of the ZIP text are taken in order (hyphen, blanks and letters
// dropped); a ZIP that gives other than nine digits is coded as a 5-digit
// ZIP whatever the type, so every code has 5, 9 or 11 data digits.
QString PostNetDigits(const QString& zip, const QString& address, int type);
// The digit that makes the sum of `digits` a multiple of ten.
int PostNetCorrectionDigit(const QString& digits);
// The five bars of a digit, left to right, true for a full bar.
std::vector<bool> PostNetDigitBars(int digit);
// Every bar of a code for `digits` (correction digit included), frame bars
// at both ends: 5n + 2 entries.
std::vector<bool> PostNetBars(const QString& digits);

// ---- FIM --------------------------------------------------------------------------------------

inline constexpr double kFIMColumnWidth = 1.0 / 32.0; // inches
inline constexpr double kFIMHeight = 0.5625;
inline constexpr int kFIMColumns = 17;
// The 1-based columns (of 17) that hold a bar; empty for an unknown type.
std::vector<int> FIMBarColumns(int fimType);

// ---- the objects -----------------------------------------------------------------------------

class TKPostNetBarCode : public TKGraphicControl {
    Q_OBJECT
    QB_STREAMABLE_CLASS
public:
    explicit TKPostNetBarCode(QWidget* parent = nullptr);

    QString ZipCodeField() const { return zipCodeField_; }
    void SetZipCodeField(const QString& v) { zipCodeField_ = v; }
    QString AddressField() const { return addressField_; }
    void SetAddressField(const QString& v) { addressField_ = v; }
    int BarCodeType() const { return barCodeType_; }
    void SetBarCodeType(int v) { barCodeType_ = v; }

    // The current record's texts (run time, never stored).
    QString ZipText() const { return zipText_; }
    QString AddressText() const { return addressText_; }
    void SetZipText(const QString& v) { zipText_ = v; }
    void SetAddressText(const QString& v) { addressText_ = v; }

    // The picture shown on screen in place of real bars (270 x 16 pixels).
    static QImage SampleBitmap();
    const QImage& SamplePicture() const { return sample_; }
    void SetSamplePicture(const QImage& picture) {
        sample_ = picture;
        update();
    }

    // The popup entries: the bar code kinds and the field dialog.
    QAction* TypeMenuItem(int type) const;
    QAction* FieldsMenuItem() const { return fieldsItem_; }
    // Opens the dialog that chooses the ZIP and street fields.
    void EditFields();

    void UpdateMenuChecks() override;
    void RefreshData() override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void Paint(QPainter& painter) override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    QString zipCodeField_;
    QString addressField_;
    int barCodeType_ = pnbc11Digit;
    QString zipText_;
    QString addressText_;
    QImage sample_;
    QAction* typeItems_[3] = {nullptr, nullptr, nullptr};
    QAction* fieldsItem_ = nullptr;
};

class TKFIMBarCode : public TKGraphicControl {
    Q_OBJECT
    QB_STREAMABLE_CLASS
public:
    explicit TKFIMBarCode(QWidget* parent = nullptr);

    int FIMType() const { return fimType_; }
    void SetFIMType(int v);

    // "Set FIM to Type A" ... (null before the menu is built).
    QAction* TypeMenuItem(int type) const;

    void UpdateMenuChecks() override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void Paint(QPainter& painter) override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    int fimType_ = fimTypeA;
    QAction* typeItems_[3] = {nullptr, nullptr, nullptr};
};

// Chooses the fields a POSTNET bar code reads: the ZIP code and the street
// line. The lists hold the data set's fields (by display label); a layout's
// field that the data set lacks stays selectable as it is.
class TPostNetFieldsDialog : public QDialog {
    Q_OBJECT
public:
    // `fields`: field name and display label pairs.
    TPostNetFieldsDialog(const std::vector<std::pair<QString, QString>>& fields,
                         const QString& zipField, const QString& addressField,
                         QWidget* parent = nullptr);
    QComboBox* ZipCombo = nullptr;
    QComboBox* AddressCombo = nullptr;
    QString ZipField() const;
    QString AddressField() const;
};

} // namespace qb
