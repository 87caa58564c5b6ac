// Copying the current record to the clipboard as plain text, with the parts
// of the record the user chooses.
#pragma once

#include "addressbook/addressfile.h"

#include <QDialog>

class QCheckBox;

namespace qb {

// The parts of a record that go into the text.
struct RecordTextParts {
    bool nameOrgTitle = true;
    bool address = true;
    bool phones = true;
    bool codes = true;
    bool comments = true;
};

// The longest text placed on the clipboard.
constexpr int MaxRecordTextLength = 1000;

// The record as text lines, each ended by CR LF; lines with nothing in them
// are left out; at most MaxRecordTextLength characters.
QString GetRecordAsString(const AddressRecord& record, const RecordTextParts& parts);

// Replaces the clipboard's contents with `text` as plain text.
void PutTextOnClipboard(const QString& text);

// The dialog "Copy Record To Clipboard".
class TCopyRecordToClipboard : public QDialog {
    Q_OBJECT
public:
    explicit TCopyRecordToClipboard(const AddressRecord& record, QWidget* parent = nullptr);

    RecordTextParts Parts() const;
    QCheckBox* Box(int index) const { return boxes_[index]; } // 0..4 in screen order

public slots:
    // Copies the chosen parts, tells the user and closes with Accepted.
    void OKButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

private:
    AddressRecord record_;
    QCheckBox* boxes_[5] = {};
};

} // namespace qb
