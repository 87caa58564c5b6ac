#include "printing/printersetupdialog.h"

#include "printing/printers.h"
#include "printing/printsurface.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qb {

TPrinterSetupDialog::TPrinterSetupDialog(PrintSurface& surface, QWidget* parent)
    : QDialog(parent), surface_(surface), originalPaper_(surface.PaperName()) {
    setWindowTitle(QStringLiteral("Print Setup"));
    auto* layout = new QVBoxLayout(this);

    auto* printerGroup = new QGroupBox(QStringLiteral("Printer"), this);
    auto* printerForm = new QFormLayout(printerGroup);
    printer_ = new QComboBox(printerGroup);
    printer_->addItems(surface.PrinterNames());
    printer_->setCurrentText(surface.PrinterName());
    printerForm->addRow(QStringLiteral("&Name:"), printer_);
    layout->addWidget(printerGroup);

    auto* row = new QHBoxLayout;
    auto* paperGroup = new QGroupBox(QStringLiteral("Paper"), this);
    auto* paperForm = new QFormLayout(paperGroup);
    paper_ = new QComboBox(paperGroup);
    source_ = new QComboBox(paperGroup);
    paperForm->addRow(QStringLiteral("Si&ze:"), paper_);
    paperForm->addRow(QStringLiteral("&Source:"), source_);
    row->addWidget(paperGroup, 1);

    auto* orientationGroup = new QGroupBox(QStringLiteral("Orientation"), this);
    auto* orientationBox = new QVBoxLayout(orientationGroup);
    portrait_ = new QRadioButton(QStringLiteral("P&ortrait"), orientationGroup);
    landscape_ = new QRadioButton(QStringLiteral("L&andscape"), orientationGroup);
    orientationBox->addWidget(portrait_);
    orientationBox->addWidget(landscape_);
    row->addWidget(orientationGroup);
    layout->addLayout(row);

    const bool landscape = surface.Orientation() == PrintOrientation::poLandScape ||
                           (surface.Orientation() == PrintOrientation::poDefault &&
                            surface.PaperWidth() > surface.PaperHeight());
    (landscape ? landscape_ : portrait_)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TPrinterSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    fillForPrinter(surface.PrinterName());
    source_->setCurrentIndex(surface.CurrentBinIndex());
    connect(printer_, &QComboBox::currentTextChanged, this, &TPrinterSetupDialog::fillForPrinter);
}

void TPrinterSetupDialog::fillForPrinter(const QString& printer) {
    const QString paper = paper_->currentText().isEmpty() ? originalPaper_ : paper_->currentText();
    paper_->clear();
    const QStringList papers = PrintSurface::PaperNamesFor(printer);
    // A paper set by size (a label sheet, say) is offered as it stands.
    if (!papers.contains(originalPaper_) && !originalPaper_.isEmpty())
        paper_->addItem(originalPaper_);
    paper_->addItems(papers);
    paper_->setCurrentText(paper);
    source_->clear();
    source_->addItems(PrintSurface::BinNamesFor(printer));
}

void TPrinterSetupDialog::Apply() {
    if (printer_->currentText() != surface_.PrinterName())
        surface_.SelectPrinterByName(printer_->currentText());
    // A paper the printer does not list (a size set by a caller) stays as it is.
    surface_.SelectPaperByName(paper_->currentText());
    surface_.SelectBinByIndex(source_->currentIndex());
    surface_.SetOrientation(landscape_->isChecked() ? PrintOrientation::poLandScape
                                                    : PrintOrientation::poPortrait);
}

void TPrinterSetupDialog::accept() {
    Apply();
    QDialog::accept();
}

} // namespace qb
