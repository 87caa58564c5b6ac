// The dialogs of the text objects: "Text", "Text 3D Effects", "Select Field",
// "Counter", "Symbol Selector", "Multi-line Text Editor" and "Address Label
// Layout". Each reads its object in Load and writes it back in Apply; the
// object runs it through RunModal, which a test can answer instead of a user.
#pragma once

#include "labelobjects/properties.h"
#include "labelobjects/textlabels.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;

namespace qb {

class TableDataset;

// A colour or font chosen through the platform's dialogs, run like the others.
bool ChooseColor(QWidget* parent, int32_t& color);
bool ChooseFont(QWidget* parent, TKFont& font, bool withColor = true);

// The common frame: caption, "Ok", "Cancel", "Help" (what's-this mode).
class TextObjectDialog : public QDialog {
    Q_OBJECT
public:
    explicit TextObjectDialog(const QString& caption, QWidget* parent = nullptr);

protected:
    // Adds the button row under the dialog's content.
    void FinishLayout(QVBoxLayout* layout);
};

// "Text": one line of text.
class TGetLabelText : public TextObjectDialog {
    Q_OBJECT
public:
    explicit TGetLabelText(QWidget* parent = nullptr);
    void Load(const TKBaseLabel& label);
    void Apply(TKPLabel& label) const;
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_;
};

// "Text 3D Effects": shadow and highlight with a live sample.
class TKFont3DEffects : public TextObjectDialog {
    Q_OBJECT
public:
    explicit TKFont3DEffects(QWidget* parent = nullptr);
    void Load(const TKBaseLabel& label);
    void Apply(TKBaseLabel& label) const;

    QComboBox* ShadowDirection() const { return shadowDir_; }
    QComboBox* ShadowDepth() const { return shadowDepth_; }
    QComboBox* HighlightDirection() const { return highDir_; }
    QComboBox* HighlightDepth() const { return highDepth_; }
    void SetShadowColor(int32_t c);
    void SetHighlightColor(int32_t c);
    void SetFontColor(int32_t c);
    TKPLabel* Sample() const { return sample_; }

private:
    void UpdateSample();
    QComboBox* shadowDir_;
    QComboBox* shadowDepth_;
    QComboBox* highDir_;
    QComboBox* highDepth_;
    QPushButton* shadowColor_;
    QPushButton* highColor_;
    QPushButton* fontColor_;
    TKPLabel* sample_;
    int32_t shadow_ = 0x808080;
    int32_t highlight_ = 0xFFFF00;
    TKFont font_;
};

// "Select Field": the display labels of the data set's fields.
class TFieldSelectionBox : public TextObjectDialog {
    Q_OBJECT
public:
    // memo: list memo fields instead of character fields.
    TFieldSelectionBox(const TableDataset* dataset, bool memo, const QString& current,
                       QWidget* parent = nullptr);
    QListWidget* List() const { return list_; }
    QString Chosen() const;
    // The field name the chosen display label stands for (the last such field).
    QString ChosenFieldName() const;
    // The display labels offered for a data set.
    static QStringList Entries(const TableDataset* dataset, bool memo);

private:
    const TableDataset* dataset_;
    QListWidget* list_;
};

// "Counter": starting number, repeat count, texts before and after.
class TGetCounter : public TextObjectDialog {
    Q_OBJECT
public:
    explicit TGetCounter(QWidget* parent = nullptr);
    void Load(const TKCounterLabel& counter);
    void Apply(TKCounterLabel& counter) const;
    QSpinBox* Start() const { return start_; }
    QSpinBox* Repeat() const { return repeat_; }
    QLineEdit* Before() const { return before_; }
    QLineEdit* After() const { return after_; }

private:
    QSpinBox* start_;
    QSpinBox* repeat_;
    QLineEdit* before_;
    QLineEdit* after_;
};

// "Symbol Selector": the characters 32..255 of a font.
class TGetSymbol : public TextObjectDialog {
    Q_OBJECT
public:
    explicit TGetSymbol(QWidget* parent = nullptr);
    void Load(const TKSymbolLabel& symbol);
    void Apply(TKSymbolLabel& symbol) const;
    // Columns of the list for a font size in points.
    static int ColumnsForSize(int points);
    // The caption of the font button's label: name, size "pt ", style.
    static QString FontCaption(const TKFont& font);

    void SetFont(const TKFont& font);
    const TKFont& Font() const { return font_; }
    // The chosen character code (32..255).
    int Code() const;
    void SetCode(int code);
    QTableWidget* Table() const { return table_; }
    QLabel* Preview() const { return preview_; }
    QLabel* FontLabel() const { return fontLabel_; }

private:
    void Fill();
    void UpdatePreview();
    QTableWidget* table_;
    QLabel* preview_;
    QLabel* fontLabel_;
    QPushButton* fontButton_;
    TKFont font_;
    int code_ = '[';
};

// "Multi-line Text Editor": up to 254 characters.
class TMultiLineTextEditor : public TextObjectDialog {
    Q_OBJECT
public:
    static constexpr int kMaxChars = 254;
    explicit TMultiLineTextEditor(QWidget* parent = nullptr);
    void Load(const TKMultiLineBaseLabel& label);
    QStringList Lines() const;
    QPlainTextEdit* Editor() const { return edit_; }

private:
    QPlainTextEdit* edit_;
};

// "Address Label Layout": which lines the address block holds.
class TAddressLayout : public TextObjectDialog {
    Q_OBJECT
public:
    explicit TAddressLayout(QWidget* parent = nullptr);
    void Load(const AddressOptions& options);
    AddressOptions Options() const;
    QCheckBox* Box(int index) const { return boxes_[index]; } // in caption order
    QRadioButton* ZipRadio(int option) const { return radios_[option]; }

private:
    void UpdateRadios();
    QCheckBox* boxes_[10] = {};
    QRadioButton* radios_[4] = {};
};

} // namespace qb
