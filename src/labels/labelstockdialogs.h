// Choosing a label stock: from the catalogue of templates or by entering the
// geometry by hand. The rules (filter expression, unit conversion,
// validation) live in plain functions and classes; the dialogs are thin and
// can be driven through their slots without running an event loop.
#pragma once

#include "labels/labeldefinition.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace qb {

class TableDataset;

// ---- template choice rules ------------------------------------------------------

QStringList TemplateManufacturerEntries(); // "Avery Laserjet" ... "Costar LabelPrinter"
QStringList TemplateProductTypeEntries();  // "Address/Shipping Labels" ... "All"

// The engine filter for the template table from the list entries and the
// European paper check box.
QString TemplateFilterExpression(const QString& manufacturerEntry, const QString& productTypeEntry,
                                 bool europeanOnly);

// The entries the lists start on for a definition (a user-defined stock
// counts as an Avery laser address stock).
QString ManufacturerEntryFor(const LabelStock& stock);
QString ProductTypeEntryFor(const LabelStock& stock);

// ---- user-defined geometry rules ------------------------------------------------

// The values of the user-defined geometry dialog, lengths in the current unit.
class LabelGeometryForm {
public:
    enum Length {
        Height,
        Width,
        HorizPitch,
        VertPitch,
        LeftMargin,
        TopMargin,
        PaperWidth,
        PaperHeight
    };
    static constexpr int LengthCount = 8;

    // Starts from a definition's geometry, in inches.
    void Load(const LabelStock& stock);

    bool millimetres() const { return millimetres_; }
    // Switches the unit, converting the eight lengths (as shown, three decimals).
    void SetMillimetres(bool on);

    double length(Length which) const { return lengths_[which]; }
    void setLength(Length which, double value) { lengths_[which] = value; }
    int across() const { return across_; }
    int down() const { return down_; }
    void setAcross(int n) { across_ = n; }
    void setDown(int n) { down_ = n; }
    QString paperSize() const { return paperSize_; }
    QString shapeCode() const { return shape_; }
    void setShapeCode(const QString& code) { shape_ = code; }

    // Leaving the width (height) with a value above the horizontal (vertical)
    // pitch sets that pitch to it.
    void LeaveWidth();
    void LeaveHeight();
    // Choosing a paper code; a named size fills paper width and height in
    // the current unit.
    void ChoosePaperSize(const QString& code);
    // Sets the paper code alone (sizes as typed).
    void setPaperCode(const QString& code);

    // The lengths in inches rounded to three decimals and checked in order;
    // "" when valid, else the first failure's message. On success the
    // definition takes the geometry and becomes user defined.
    QString Apply(LabelDefinition& def) const;
    // The same check without changing anything.
    QString Validate() const;

    // Lengths shown with three decimals.
    static QString Format(double value);

private:
    double inches(Length which) const;
    double lengths_[LengthCount] = {};
    int across_ = 1;
    int down_ = 1;
    QString paperSize_ = QStringLiteral("LTR");
    QString shape_ = QStringLiteral("RR");
    bool millimetres_ = false;
};

// ---- the dialogs -------------------------------------------------------------------

// "Label Layout": from the catalogue or entered by hand.
class TChooseLabelLayout : public QDialog {
    Q_OBJECT
public:
    enum Choice { FromTemplates, UserDefined };
    explicit TChooseLabelLayout(QWidget* parent = nullptr);
    Choice choice() const;
    void setChoice(Choice c);

    QRadioButton* TemplatesButton() const { return templates_; }
    QRadioButton* ManualButton() const { return manual_; }

public slots:
    void OKButtonClick() { accept(); }
    void CancelButtonClick() { reject(); }

private:
    QRadioButton* templates_;
    QRadioButton* manual_;
};

// "Select Label Template": a template from LBLTPL.DBF.
class TSelectLabel : public QDialog {
    Q_OBJECT
public:
    // Opens the template table itself; check Opened() (a missing table was
    // reported already).
    TSelectLabel(const LabelDefinition& current, QWidget* parent = nullptr);
    ~TSelectLabel() override;

    bool Opened() const { return opened_; }
    // The filter expression in force.
    QString FilterText() const;
    // The templates the filter shows, in description order.
    const std::vector<LabelTemplate>& Templates() const { return shown_; }
    int CurrentIndex() const;
    void SetCurrentIndex(int row);
    // The current template (only valid while Templates() is not empty).
    const LabelTemplate* CurrentTemplate() const;
    bool OkEnabled() const;

    QComboBox* ManufacturerBox() const { return manufacturer_; }
    QComboBox* ProductTypeBox() const { return productType_; }
    QCheckBox* EuropeanBox() const { return european_; }
    QTableWidget* Grid() const { return grid_; }

    // On acceptance: the definition takes the current template's stock.
    void ApplyTo(LabelDefinition& def) const;

public slots:
    void FilterChanged();
    void OKButtonClick();
    void CancelButtonClick() { reject(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDetails();
    std::unique_ptr<TableDataset> table_;
    bool opened_ = false;
    std::vector<LabelTemplate> shown_;
    QComboBox* manufacturer_;
    QComboBox* productType_;
    QCheckBox* european_;
    QTableWidget* grid_;
    QLabel* details_[6];
    QPushButton* ok_;
};

// "User Defined Label Layout": the geometry entered by hand.
class TLabelEdit : public QDialog {
    Q_OBJECT
public:
    explicit TLabelEdit(const LabelDefinition& current, QWidget* parent = nullptr);

    LabelGeometryForm& Form() { return form_; }
    QLineEdit* LengthEdit(LabelGeometryForm::Length which) const { return edits_[which]; }
    QSpinBox* AcrossSpin() const { return across_; }
    QSpinBox* DownSpin() const { return down_; }
    QComboBox* PaperBox() const { return paper_; }
    QComboBox* ShapeBox() const { return shape_; }
    QRadioButton* InchesButton() const { return inches_; }
    QRadioButton* MillimetresButton() const { return millimetres_; }

    // The definition as accepted (valid after OK succeeded).
    const LabelDefinition& Result() const { return result_; }

public slots:
    void UnitsChanged();
    void WidthExit();
    void HeightExit();
    void PaperSizeChange();
    // Validates; on success accepts, else tells the first failure and stays.
    void OKButtonClick();
    void CancelButtonClick() { reject(); }

private:
    void readScreen();
    void showForm();
    LabelGeometryForm form_;
    LabelDefinition result_;
    QLineEdit* edits_[LabelGeometryForm::LengthCount];
    QSpinBox* across_;
    QSpinBox* down_;
    QComboBox* paper_;
    QComboBox* shape_;
    QRadioButton* inches_;
    QRadioButton* millimetres_;
};

// "Change Layout": the layout chooser, then the template list or the
// user-defined dialog. True when `def` took a new stock.
bool ChangeLabelLayout(LabelDefinition& def, QWidget* parent);

} // namespace qb
