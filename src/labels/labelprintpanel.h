// The printing controls of the label list window: "What to Print" (the
// records, the start record, bulk-mail presort), "Printer", and the
// "Print" and "Preview" buttons with the run they start: position dialog,
// layout, scope, presort, paper, status window, preview, and the address
// table put back as it was.
#pragma once

#include "labels/labeldefinition.h"
#include "labels/labelprinter.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDialog;
class QPushButton;
class QRadioButton;

namespace qb {

class TableDataset;
class TKLabelPanel;
class TLabelSetupScreen;

class TLabelPrintPanel : public QWidget {
    Q_OBJECT
public:
    // `address`: the address table the labels are printed from (the main
    // window's, handed to the label window).
    TLabelPrintPanel(TLabelSetupScreen& screen, TableDataset* address, QWidget* parent = nullptr);
    ~TLabelPrintPanel() override;

    // The main window calls this when its filter expression is empty:
    // "Records matching filter" is disabled and "All records" selected.
    void SetFilterAvailable(bool available);
    // The main window's filter (its engine expression; "" for none): the
    // records "Records matching filter" prints, whatever filter the address
    // table carries while the label window is open.
    void SetMainFilter(const QString& engineFilter);

    LabelScope Scope() const;
    bool StartFromCurrent() const;
    bool PresortTicked() const;
    bool PresortDone() const { return presortDone_; }
    const PositionMask& Mask() const { return mask_; }
    int LastCopies() const { return copies_; }

    QRadioButton* AllRecordsButton() const { return all_; }
    QRadioButton* FilterButton() const { return filtered_; }
    QRadioButton* CurrentRecordButton() const { return current_; }
    QCheckBox* StartFromCurrentBox() const { return startCurrent_; }
    QCheckBox* PresortBox() const { return presort_; }
    QComboBox* PrinterList() const { return printers_; }
    TKLabelPanel& LabelPanel() { return *panel_; }

    // The last run's status window texts and outcome, for the caller.
    QString LastStatus() const { return lastStatus_; }
    bool LastRunCancelled() const { return lastCancelled_; }
    int LastLabelsPrinted() const { return lastLabels_; }
    int LastPageCount() const { return lastPages_; }

public slots:
    void PrintClick();
    void PreviewClick();
    // The first activation: panel bound to the address table, printer list
    // on the current printer, the old presort file removed.
    void Activate();

private:
    void run(bool preview);
    void scopeChanged();

    TLabelSetupScreen& screen_;
    TableDataset* address_;
    std::unique_ptr<TKLabelPanel> panel_;
    PositionMask mask_;
    int copies_ = 1;
    bool presortDone_ = false;
    QString mainFilter_;
    bool activated_ = false;
    QRadioButton* all_ = nullptr;
    QRadioButton* filtered_ = nullptr;
    QRadioButton* current_ = nullptr;
    QCheckBox* startCurrent_ = nullptr;
    QCheckBox* presort_ = nullptr;
    QComboBox* printers_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* preview_ = nullptr;
    QString lastStatus_;
    bool lastCancelled_ = false;
    int lastLabels_ = 0;
    int lastPages_ = 0;
};

// Puts the printing controls into the label window's print panel slot.
TLabelPrintPanel* InstallLabelPrintPanel(TLabelSetupScreen& screen);

} // namespace qb
