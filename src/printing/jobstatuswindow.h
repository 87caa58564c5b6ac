// The small modal window a print or preview job runs in: it shows the page
// being composed, lets the user cancel (print) or stop (preview), and reports
// how the job ended.
#pragma once

#include "printing/printsurface.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace qb {

// The words a job window uses; reports and record printing use Report(),
// label printing Label(), other callers fill in their own.
struct JobWording {
    QString cancelQuestion;
    QString printCanceled;
    QString previewCanceled;
    QString previewStopped; // %p is the page reached
    QString printCompleted;
    QString previewReady;
    // A preview that completes closes the window by itself instead of
    // waiting for "Ok".
    bool closeWhenPreviewReady = false;

    static JobWording Report();
    static JobWording Label();
};

class JobStatusWindow : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Print, Preview };

    explicit JobStatusWindow(Mode mode, const JobWording& wording = JobWording::Report(),
                             QWidget* parent = nullptr);
    ~JobStatusWindow() override;

    Mode JobMode() const { return mode_; }
    // The surface of the mode: the printer when printing, the page-file
    // recorder (on a new, empty page file) when previewing.
    PrintSurface& Surface();
    TReportPrinter& Printer() { return *printer_; }
    TReportFiler& Filer() { return *filer_; }
    // The recorded pages of a preview (shared so the preview window can keep
    // them after this window is gone).
    std::shared_ptr<PageFile> Pages() const { return pages_; }

    // Runs the job once; returns when it has ended. Showing the window runs
    // it automatically on first activation.
    void Run();
    bool Started() const { return started_; }
    bool Finished() const { return finished_; }
    bool JobCancelled() const;
    bool StopRequested() const { return stopRequested_; }
    // The final status as set after the job (with its line breaks as "\r").
    QString FinalStatus() const { return finalStatus_; }
    QString ButtonCaption() const;
    QLabel* StatusLabel() const { return status_; }

public slots:
    // The Cancel / Stop / Ok button.
    void CancelButtonClick();
    // Escape or the title bar's close box: the button while the job runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Mode mode_;
    JobWording wording_;
    std::shared_ptr<PageFile> pages_;
    std::unique_ptr<TReportPrinter> printer_;
    std::unique_ptr<TReportFiler> filer_;
    QLabel* status_ = nullptr;
    QPushButton* button_ = nullptr;
    bool started_ = false;
    bool finished_ = false;
    bool stopRequested_ = false;
    QString finalStatus_;
};

} // namespace qb
