// The printer set-up dialog: printer, paper, paper source and orientation for
// one print surface. It serves every printer, the built-in PDF-file printer
// included (the platform's own page set-up dialog does not).
#pragma once

#include <QDialog>

class QComboBox;
class QRadioButton;

namespace qb {

class PrintSurface;

class TPrinterSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPrinterSetupDialog(PrintSurface& surface, QWidget* parent = nullptr);

    QComboBox* PrinterBox() const { return printer_; }
    QComboBox* PaperBox() const { return paper_; }
    QComboBox* SourceBox() const { return source_; }
    QRadioButton* PortraitButton() const { return portrait_; }
    QRadioButton* LandscapeButton() const { return landscape_; }

    // Puts the choices on the surface (done when the dialog is accepted).
    void Apply();

public slots:
    void accept() override;

private:
    void fillForPrinter(const QString& printer);

    PrintSurface& surface_;
    QString originalPaper_;
    QComboBox* printer_ = nullptr;
    QComboBox* paper_ = nullptr;
    QComboBox* source_ = nullptr;
    QRadioButton* portrait_ = nullptr;
    QRadioButton* landscape_ = nullptr;
};

} // namespace qb
