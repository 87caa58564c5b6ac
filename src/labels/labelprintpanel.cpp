#include "labels/labelprintpanel.h"

#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/panels.h"
#include "labels/labellistwindow.h"
#include "labels/selectspecificlabels.h"
#include "postal/presort.h"
#include "printing/previewform.h"
#include "printing/printers.h"
#include "storage/dataset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qb {

namespace {

// Clears the panel's printing state however the run ends.
struct PrintingFlag {
    explicit PrintingFlag(TKBasePanel& p) : panel(p) { panel.SetPrinting(true); }
    ~PrintingFlag() { panel.SetPrinting(false); }
    TKBasePanel& panel;
};

} // namespace

TLabelPrintPanel::TLabelPrintPanel(TLabelSetupScreen& screen, TableDataset* address,
                                   QWidget* parent)
    : QWidget(parent), screen_(screen), address_(address),
      panel_(std::make_unique<TKLabelPanel>(nullptr, &screen)) {
    setObjectName(QStringLiteral("LabelPrintPanel"));
    panel_->hide();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* what = new QGroupBox(QStringLiteral("What to Print"), this);
    auto* whatLayout = new QVBoxLayout(what);
    all_ = new QRadioButton(QStringLiteral("All records"), what);
    filtered_ = new QRadioButton(QStringLiteral("Records matching filter"), what);
    current_ = new QRadioButton(QStringLiteral("Only current record"), what);
    startCurrent_ = new QCheckBox(QStringLiteral("Start from current record"), what);
    presort_ = new QCheckBox(QStringLiteral("Presort for Bulk Mail"), what);
    filtered_->setChecked(true);
    for (QWidget* w : {static_cast<QWidget*>(all_), static_cast<QWidget*>(filtered_),
                       static_cast<QWidget*>(current_), static_cast<QWidget*>(startCurrent_),
                       static_cast<QWidget*>(presort_)})
        whatLayout->addWidget(w);
    layout->addWidget(what, 1);
    for (QRadioButton* b : {all_, filtered_, current_})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                scopeChanged();
        });
    connect(startCurrent_, &QCheckBox::toggled, this, [this] { presortDone_ = false; });

    auto* right = new QVBoxLayout;
    auto* printerBox = new QGroupBox(QStringLiteral("Printer"), this);
    auto* printerLayout = new QVBoxLayout(printerBox);
    printers_ = new QComboBox(printerBox);
    printers_->addItems(AvailablePrinterNames());
    printerLayout->addWidget(printers_);
    connect(printers_, &QComboBox::activated, this,
            [this](int) { SelectCurrentPrinter(printers_->currentText()); });
    right->addWidget(printerBox);
    auto* buttons = new QHBoxLayout;
    print_ = new QPushButton(QStringLiteral("Print"), this);
    preview_ = new QPushButton(QStringLiteral("Preview"), this);
    connect(print_, &QPushButton::clicked, this, &TLabelPrintPanel::PrintClick);
    connect(preview_, &QPushButton::clicked, this, &TLabelPrintPanel::PreviewClick);
    buttons->addWidget(print_);
    buttons->addWidget(preview_);
    right->addLayout(buttons);
    right->addStretch(1);
    layout->addLayout(right);
    print_->setEnabled(address_ != nullptr);
    preview_->setEnabled(address_ != nullptr);
}

TLabelPrintPanel::~TLabelPrintPanel() = default;

void TLabelPrintPanel::SetFilterAvailable(bool available) {
    filtered_->setEnabled(available);
    if (!available && filtered_->isChecked())
        all_->setChecked(true);
}

void TLabelPrintPanel::SetMainFilter(const QString& engineFilter) {
    if (mainFilter_ != engineFilter)
        presortDone_ = false;
    mainFilter_ = engineFilter;
    SetFilterAvailable(!engineFilter.isEmpty());
}

LabelScope TLabelPrintPanel::Scope() const {
    if (all_->isChecked())
        return LabelScope::AllRecords;
    if (current_->isChecked())
        return LabelScope::CurrentRecord;
    return LabelScope::MatchingFilter;
}

bool TLabelPrintPanel::StartFromCurrent() const {
    return startCurrent_->isChecked();
}

bool TLabelPrintPanel::PresortTicked() const {
    return presort_->isEnabled() && presort_->isChecked();
}

void TLabelPrintPanel::scopeChanged() {
    presortDone_ = false;
    if (current_->isChecked()) {
        presort_->setChecked(false);
        presort_->setEnabled(false);
    } else {
        presort_->setEnabled(true);
    }
}

void TLabelPrintPanel::Activate() {
    if (activated_)
        return;
    activated_ = true;
    panel_->SetDataset(address_);
    const int at = printers_->findText(CurrentPrinterName());
    if (at >= 0)
        printers_->setCurrentIndex(at);
    // A presort file from an earlier session belongs to other data.
    QFile::remove(PresortFilePath());
}

void TLabelPrintPanel::PrintClick() {
    run(false);
}

void TLabelPrintPanel::PreviewClick() {
    run(true);
}

void TLabelPrintPanel::run(bool preview) {
    if (!address_ || !address_->isOpen())
        return;
    Activate();
    lastStatus_.clear();
    lastCancelled_ = false;
    lastLabels_ = lastPages_ = 0;
    panel_->ClearObjects();
    const LabelDefinition def = screen_.CurrentDefinition();
    const LabelSheet sheet = LabelSheet::FromDefinition(def);

    // Positions, copies and printer.
    {
        TSelectSpecificLabels positions(sheet, mask_, AvailablePrinterNames(), CurrentPrinterName(),
                                        PresortTicked(), this);
        if (RunModal(positions) != QDialog::Accepted)
            return;
        mask_ = positions.Mask();
        copies_ = positions.Copies();
        if (SelectCurrentPrinter(positions.PrinterName())) {
            const int at = printers_->findText(positions.PrinterName());
            if (at >= 0)
                printers_->setCurrentIndex(at);
        }
    }

    // 1. The layout.
    const QString layout = LayoutFilePath(def.binary);
    if (layout.isEmpty() || !QFile::exists(layout)) {
        Inform(MissingLayoutFileMessage());
        return;
    }
    panel_->resize(LabelPanelSize(def));
    panel_->SetShape(def.Shape());
    try {
        panel_->LoadFromFile(layout);
    } catch (const std::exception& e) {
        Warn(QString::fromStdString(e.what()));
        return;
    }

    // 2-4. Scope and starting record (put back when the run ends).
    LabelRunScope scope(*address_);
    QString notice, error;
    const QString filter = Scope() == LabelScope::MatchingFilter ? mainFilter_ : QString();
    if (!scope.Apply(Scope(), StartFromCurrent(), filter, &notice, &error)) {
        Warn(error);
        return;
    }
    if (!notice.isEmpty())
        Inform(notice);

    // 5-6. Presort.
    const bool presort = PresortTicked();
    LabelPrintLoop::Settings settings;
    settings.sheet = sheet;
    settings.mask = mask_;
    settings.copies = presort ? 1 : copies_;
    if (presort) {
        if (!presortDone_) {
            TSortBulkMail sorter(*address_, this);
            CenterOnScreen(&sorter);
            RunModal(sorter);
            presortDone_ = sorter.Done();
        }
        if (!presortDone_)
            return;
        if (!scope.UsePresortOrder(&error)) {
            Warn(error);
            return;
        }
        Inform(PresortOrderMessage());
        settings.presort = true;
        if (!ReadPresortFile(PresortFilePath(), settings.presortLines)) {
            // The file went away since the presort: run it again next time.
            presortDone_ = false;
            Inform(QStringLiteral("The presort file %1 cannot be read.").arg(PresortFileName()));
            return;
        }
    }

    // 7-11. Status window, paper, job.
    PrintingFlag printing(*panel_);
    TLabelPrinter job(preview ? JobStatusWindow::Mode::Preview : JobStatusWindow::Mode::Print,
                      *panel_, *address_, settings, this);
    const QString question = SelectLabelPaper(job.Surface(), sheet, CurrentPrinterName());
    if (!question.isEmpty() && !Confirm(question, QStringLiteral("Confirm")))
        return;
    RunModal(job);
    if (!job.Started())
        job.Run(); // a runner that only showed the window leaves the job to us
    lastCancelled_ = job.JobCancelled();
    lastStatus_ = job.FinalStatus();
    lastLabels_ = job.Loop().LabelsPrinted();
    lastPages_ = preview ? job.Pages()->PageCount() : job.Printer().PagesOutput();

    // 12. Preview.
    if (preview && !lastCancelled_) {
        TPreviewForm form(this);
        form.setWindowTitle(QStringLiteral("Preview Labels"));
        form.InitialZoom = 2;
        form.SetPageFile(job.Pages());
        RunModal(form);
    }
    // 13. Scope, record and the panel's printing state go back as the run ends.
}

TLabelPrintPanel* InstallLabelPrintPanel(TLabelSetupScreen& screen) {
    auto* panel = new TLabelPrintPanel(screen, screen.AddressTable(), screen.PrintPanelSlot());
    screen.PrintPanelLayout()->addWidget(panel);
    panel->Activate();
    return panel;
}

} // namespace qb
