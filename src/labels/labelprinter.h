// Label printing: the sheet geometry of a label definition, the positions a
// run uses, the print loop that places one label per record (with copies,
// presort separators and counters) on a print surface, the paper set-up of a
// run, and the status window that runs the loop as a job.
//
// The loop is a plain class: the label window's status window and the
// command line run the same LabelPrintLoop, and tests run it on a recording
// surface and read the page file back.
#pragma once

#include "printing/jobstatuswindow.h"
#include "printing/printsurface.h"

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qb {

class TableDataset;
class TKBasePanel;
struct LabelDefinition;

// Geometry and paper of one label stock, in inches (a LABEL.DBF record).
struct LabelSheet {
    QString description;
    double lblHeight = 1.0;
    double lblWidth = 2.625;
    int nbrAcross = 3;
    int nbrDown = 10;
    double topMarg = 0.5;
    double leftMarg = 0.188;
    double horizPitch = 2.75;
    double vertPitch = 1.0;
    double sheetWidth = 8.5;
    double sheetDepth = 11.0;
    double midExtraX = 0.0;
    double midExtraY = 0.0;
    QString paperSize = QStringLiteral("LTR");
    QString shape = QStringLiteral("RR");
    QString binary; // the layout file's name in the system directory

    // The current record of an open LABEL.DBF dataset.
    static LabelSheet FromRecord(const TableDataset& labelTable);
    static LabelSheet FromDefinition(const LabelDefinition& definition);

    int Across() const { return nbrAcross < 1 ? 1 : nbrAcross; }
    int Down() const { return nbrDown < 1 ? 1 : nbrDown; }
    int PositionCount() const { return Across() * Down(); }
    // Top-left corner of the label at (col, row), from the sheet's corner;
    // the middle gaps count from column Across() div 2 and row Down() div 2.
    QPointF Position(int col, int row) const;
    // "LTRL", "A4L" and "USERL" lie in landscape.
    bool Landscape() const;
    // The paper as handed to the printer: portrait measures of the sheet.
    QSizeF PrinterPaper() const;
    // The platform paper code: 1 letter, 9 A4, 11 A5, 0 custom size.
    int PaperCode() const;
};

// Which positions of every sheet a run uses: index row * across + col.
// Any stock size fits; positions never set are on.
class PositionMask {
public:
    PositionMask() = default;

    bool On(int index) const;
    void Set(int index, bool on);
    void Toggle(int index) { Set(index, !On(index)); }
    // Every position of a stock with `count` positions.
    void SetAll(int count, bool on);
    bool AnyOn(int count) const;
    int CountOn(int count) const;

    // A list such as "1,2,5-30" of 1-based positions (numbered along each row,
    // row after row): those on, every other one off. False, with the reason
    // in `error`, for a malformed list or a position outside 1 .. count.
    bool ParseList(const QString& list, int count, QString* error);

private:
    std::vector<char> off_; // 1 = switched off
};

// The labels of one run, placed record after record on a print surface.
class LabelPrintLoop {
public:
    struct Settings {
        LabelSheet sheet;
        PositionMask mask;
        int copies = 1; // 1 .. 99; a presorted run prints each record once
        bool presort = false;
        QStringList presortLines; // the presort file's lines, walked in ZIP order
    };

    LabelPrintLoop(TKBasePanel& panel, TableDataset& data, Settings settings);

    // Asked before each position: true ends the run (a stopped preview).
    std::function<bool()> StopRequested;
    // Called after each record is done, so a window can let input run and a
    // command line can show progress; the default lets pending events run.
    std::function<void(const LabelPrintLoop&)> AfterRecord;

    // The print loop, for the surface's OnPrint.
    void Run(PrintSurface& surface);

    int LabelsPrinted() const { return labels_; }   // copies included
    int RecordsPrinted() const { return records_; } // each record once
    int SeparatorsPrinted() const { return separators_; }

private:
    TKBasePanel& panel_;
    TableDataset& data_;
    Settings settings_;
    int labels_ = 0;
    int records_ = 0;
    int separators_ = 0;
};

// The records a run prints.
enum class LabelScope { AllRecords, MatchingFilter, CurrentRecord, Tagged };

// The engine filter of the tagged records (not deleted, TAG holding `tagId`).
QString TaggedFilter(const QString& tagId);

// A run's hold on the address table: remembers the order, filter and record
// when made, narrows the table to the run's records, and puts everything
// back when it ends (also when the run throws).
class LabelRunScope {
public:
    explicit LabelRunScope(TableDataset& data);
    ~LabelRunScope();
    LabelRunScope(const LabelRunScope&) = delete;
    LabelRunScope& operator=(const LabelRunScope&) = delete;

    // Sets the filter of `scope` ("NOT ISDEL" for all records, `filter` for
    // matching and tagged records - empty keeps the table's filter - and the
    // remembered record alone for the current record) and moves to the
    // first record, or with `startFromCurrent` to the remembered one. When
    // that record is outside the scope the run starts at the first record
    // and `notice` gets the message to tell. False, with the engine's reason
    // in `error`, when the filter is refused.
    bool Apply(LabelScope scope, bool startFromCurrent, const QString& filter, QString* notice,
               QString* error);
    // ZIP order with partial-key seeks, as a presorted run walks the table.
    bool UsePresortOrder(QString* error);
    // The table as it was; runs once (the destructor calls it too).
    void Restore();

    uint32_t RememberedRecno() const { return recno_; }
    const QString& RememberedFilter() const { return filter_; }

private:
    TableDataset& data_;
    QString order_;
    QString filter_;
    uint32_t recno_ = 0;
    bool exact_ = false;
    bool restored_ = false;
};

// The message of a run that cannot start at the current record.
QString OutOfRangeMessage();

// Selects the stock's paper and orientation on `surface` for `printerName`.
// Returns the paper-confirmation question when the paper could not be
// confirmed (the printer does not take it, or the printer is one whose paper
// cannot be set), else an empty text.
QString SelectLabelPaper(PrintSurface& surface, const LabelSheet& sheet,
                         const QString& printerName);

// The status window of a label run: "Print Status" with "Cancel" when
// printing, "Preview Status" with "Stop" when previewing; it runs the loop
// as a job on its surface when shown (or when Run() is called).
class TLabelPrinter : public JobStatusWindow {
    Q_OBJECT
public:
    TLabelPrinter(Mode mode, TKBasePanel& panel, TableDataset& data,
                  LabelPrintLoop::Settings settings, QWidget* parent = nullptr);
    ~TLabelPrinter() override;

    LabelPrintLoop& Loop() { return loop_; }

private:
    LabelPrintLoop loop_;
};

} // namespace qb
