// Printing the main window's current record: its fields as labelled values,
// one per line, then its memo text, on the printer or into a preview.
#pragma once

#include "printing/jobstatuswindow.h"

#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QCheckBox;

namespace qb {

class PrintSurface;
class TableDataset;

// The field boxes of the window, in screen order.
enum class RecordPrintField {
    Last,
    First,
    Middle,
    Title,
    Organization,
    Address1,
    Address2,
    City,
    State,
    Zip,
    Country,
    Prefix,
    Phone1,
    Phone2,
    Fax,
    Email,
    Comment1,
    Comment2,
    Codes,
    Date,
    Memo,
};
constexpr int RecordPrintFieldCount = 21;
using RecordPrintChoice = std::array<bool, RecordPrintFieldCount>;

// The caption of a field's box ("State/Province").
QString RecordPrintBoxCaption(RecordPrintField field);

// Breaks `text` into lines as a multi-line edit box `widthPixels` wide
// showing it in `font` would; a text that gives a single blank line gives none.
QStringList BreakIntoLines(const QString& text, const QFont& font, int widthPixels);

// The page layout of one record.
class SingleRecordReport {
public:
    // Printed label and value of each chosen field, in print order.
    std::vector<std::pair<QString, QString>> Items;
    bool PrintMemo = false;
    QString Memo;
    // The font the memo is broken into lines with (the window's font).
    QFont MemoFont;
    // The time of day printed under the page number.
    QString TimeOfDay;
    // Asked at every page break; true ends the job there (a preview's Stop).
    std::function<bool()> Stopped;

    // The current record of an address dataset with the chosen fields.
    static SingleRecordReport FromRecord(const TableDataset& table,
                                         const RecordPrintChoice& choice);

    void PrintTheReport(PrintSurface& surface);
    void PrintHeaderFooter(PrintSurface& surface);

private:
    void PrintItem(PrintSurface& surface, const QString& label, const QString& value);
    void PrinttheMemo(PrintSurface& surface);
    void fullWidthColumn(PrintSurface& surface, bool ruled);
};

// The job window of a record printout.
class TSingleRecordPrint : public JobStatusWindow {
    Q_OBJECT
public:
    TSingleRecordPrint(Mode mode, SingleRecordReport& report, QWidget* parent = nullptr);

    // Device metrics, margins and the status pattern.
    static void BeforePrintReport(PrintSurface& surface);
};

// The window "Print Current Record".
class TPrintCurrentRecord : public QDialog {
    Q_OBJECT
public:
    explicit TPrintCurrentRecord(TableDataset& table, QWidget* parent = nullptr);

    QCheckBox* Box(RecordPrintField field) const { return boxes_[size_t(field)]; }
    QCheckBox* AllBox() const { return all_; }
    RecordPrintChoice Choice() const;

    // The pages of the last preview (null before one).
    std::shared_ptr<PageFile> LastPreview() const { return lastPreview_; }

public slots:
    void AllClick();
    void PrintClick();
    void PreviewClick();
    void PrinterSetupClick();
    void CancelClick();
    void HelpClick();

private:
    void runJob(JobStatusWindow::Mode mode);

    TableDataset& table_;
    // Printer, paper and orientation chosen with "Printer Setup" for the jobs.
    std::unique_ptr<TReportPrinter> setup_;
    std::array<QCheckBox*, RecordPrintFieldCount> boxes_{};
    QCheckBox* all_ = nullptr;
    std::shared_ptr<PageFile> lastPreview_;
};

} // namespace qb
