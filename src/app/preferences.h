// The Preferences dialog: the options for adding new records.
#pragma once

#include "storage/settings.h"

#include <QDialog>
#include <QMap>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace qb {

class TPreferences : public QDialog {
    Q_OBJECT
public:
    // Reads the settings file into the controls; the dialog is centred.
    explicit TPreferences(QWidget* parent = nullptr);

    // Fill the controls from the settings file / write every key from them.
    void LoadPreferences();
    void SavePreferences();

    AddingOptions options() const;
    void setOptions(const AddingOptions& options);

    // The check box bound to a key of section "Adding" (e.g. "Skiptitle"), or
    // null; the edit of "DefaultCountry".
    QCheckBox* checkBoxForKey(const QString& key) const;
    QLineEdit* defaultCountryEdit() const { return defaultCountry_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }

public slots:
    void OKButtonClick();     // write all keys, close with Accepted
    void CancelButtonClick(); // close with Rejected, write nothing
    void HelpButtonClick();

private:
    QCheckBox* addBox(QGridLayout* grid, int index, int columns, const QString& caption,
                      const char* key);

    QMap<QString, QCheckBox*> boxes_; // key name -> control
    QLineEdit* defaultCountry_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
};

// Runs the dialog modally; true when "Ok" was pressed. Whatever the answer,
// callers re-read the settings afterwards.
bool ShowPreferences(QWidget* parent);

} // namespace qb
