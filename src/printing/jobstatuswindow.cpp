#include "printing/jobstatuswindow.h"

#include "app/messages.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace qb {

JobWording JobWording::Report() {
    JobWording w;
    w.cancelQuestion = QStringLiteral("Cancel Report Printing?");
    w.printCanceled = QStringLiteral("\rReport Print Canceled!");
    w.previewCanceled = QStringLiteral("\rReport Preview Canceled!");
    w.previewStopped = QStringLiteral("\rPreview Stopped at page %p!");
    w.printCompleted = QStringLiteral("\rReport Print Completed!");
    w.previewReady = QStringLiteral("\rReport Preview Ready!");
    return w;
}

JobWording JobWording::Label() {
    JobWording w;
    w.cancelQuestion = QStringLiteral("Cancel Label Printing?");
    w.printCanceled = QStringLiteral("\rLabel Print Canceled!");
    w.previewCanceled = QStringLiteral("\rLabel Preview Canceled!");
    w.previewStopped = QStringLiteral("\rPreview Stopped at page %p!");
    w.printCompleted = QStringLiteral("\rLabel Print Completed!");
    w.previewReady = QStringLiteral("\rLabel Preview Ready!");
    w.closeWhenPreviewReady = true;
    return w;
}

namespace {
QString forDisplay(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace

JobStatusWindow::JobStatusWindow(Mode mode, const JobWording& wording, QWidget* parent)
    : QDialog(parent), mode_(mode), wording_(wording), pages_(std::make_shared<PageFile>()),
      printer_(std::make_unique<TReportPrinter>()), filer_(std::make_unique<TReportFiler>(pages_)) {
    setModal(true);
    setWindowTitle(mode == Mode::Print ? QStringLiteral("Print Status")
                                       : QStringLiteral("Preview Status"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setAlignment(Qt::AlignCenter);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);
    status_->setMinimumSize(260, 70);
    layout->addWidget(status_, 1);
    button_ = new QPushButton(
        mode == Mode::Print ? QStringLiteral("Cancel") : QStringLiteral("Stop"), this);
    button_->setDefault(true);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    connect(button_, &QPushButton::clicked, this, &JobStatusWindow::CancelButtonClick);
    printer_->StatusLabel = status_;
    filer_->StatusLabel = status_;
}

JobStatusWindow::~JobStatusWindow() = default;

PrintSurface& JobStatusWindow::Surface() {
    if (mode_ == Mode::Print)
        return *printer_;
    return *filer_;
}

bool JobStatusWindow::JobCancelled() const {
    return mode_ == Mode::Print ? printer_->JobCancelled() : filer_->JobCancelled();
}

QString JobStatusWindow::ButtonCaption() const {
    return button_->text();
}

void JobStatusWindow::Run() {
    if (started_)
        return;
    started_ = true;
    PrintSurface& surface = Surface();
    try {
        surface.RunJob();
    } catch (const std::exception& e) {
        // The job has been aborted; tell the user why, as any failing command would.
        Warn(QString::fromStdString(e.what()));
    } catch (...) {
        Warn(QStringLiteral("The print job failed."));
    }
    finished_ = true;
    const bool print = mode_ == Mode::Print;
    if (surface.JobCancelled())
        finalStatus_ = print ? wording_.printCanceled : wording_.previewCanceled;
    else if (stopRequested_)
        finalStatus_ = wording_.previewStopped;
    else
        finalStatus_ = print ? wording_.printCompleted : wording_.previewReady;
    finalStatus_ = PrintSurface::ExpandStatus(finalStatus_, surface.PageNumber(),
                                              surface.FirstPage(), surface.LastPage(), {});
    QString shown = forDisplay(finalStatus_);
    // A job printed to the PDF-file printer says where the file went.
    if (print && !surface.JobCancelled() && !printer_->OutputFile().isEmpty())
        shown += QStringLiteral("\nSaved as %1").arg(printer_->OutputFile());
    status_->setText(shown);
    status_->setWordWrap(true);
    button_->setText(QStringLiteral("Ok"));
    if (!print && !surface.JobCancelled() && !stopRequested_ && wording_.closeWhenPreviewReady)
        QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
}

void JobStatusWindow::CancelButtonClick() {
    const QString caption = button_->text().toUpper();
    if (caption != QLatin1String("CANCEL") && caption != QLatin1String("STOP")) {
        accept();
        return;
    }
    if (mode_ == Mode::Preview) {
        stopRequested_ = true;
        return;
    }
    if (Confirm(wording_.cancelQuestion, QStringLiteral("Print Status")))
        printer_->CancelJob();
}

void JobStatusWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous() || started_)
        return;
    if (QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    QTimer::singleShot(0, this, &JobStatusWindow::Run);
}

void JobStatusWindow::reject() {
    // Escape or the title bar's close box act like the button while the job runs.
    if (started_ && !finished_) {
        CancelButtonClick();
        return;
    }
    QDialog::reject();
}

} // namespace qb
