// Bulk-mail presort: counting the pieces per ZIP code over the records a
// label run will print, grouping the ZIP codes into 5-digit, 3-digit,
// distribution-centre (ADC) and "Unknown" groups, the presort file
// "PRESORT.PSL" that holds the result, and the walk a presorted label run
// makes through that file.
//
// The presort file holds one entry a line (CR LF ended). A line that
// contains "**" is a group header ("** 5-digit 12345", "** 3-digit 123",
// "** ADC ALBANY NY 120", "** Unknown"); every other line is a ZIP key, the
// first five characters of the ZIP field as stored. Headers are followed by
// the ZIP keys of their group in ascending order; 5-digit groups come first,
// then 3-digit groups, then the ADC groups in table order, then "Unknown".
//
// A label run over the presort:
//
//     PreparePresortedTable(table);              // ZIP order, partial-key seeks
//     PresortedRun run(table);
//     if (!run.LoadFile(PresortFilePath())) ...  // file missing: nothing to print
//     run.GetNextSortedZip();                    // positions on the first group
//     while (!run.AtEnd() && !cancelled) {
//         if (run.SeparatorPending()) {
//             PrintSeparatorLabel(surface, x, y, horizPitch, vertPitch, run.CurrentLine());
//             run.SeparatorPrinted();            // one separator a header, no copies
//         } else {
//             ... print the current record's label (with its copies) ...
//             run.RecordPrinted();               // next record of the group, or next group
//         }
//         ... next label position ...
//     }
//
// The run never reads past the end of the list: once every line is used up
// (or the lines left match no record) AtEnd() is true and stays true.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

namespace qb {

class PrintSurface;
class TableDataset;

// ---- the distribution-centre table ---------------------------------------------------------

struct AdcRow {
    QString name;     // the text after "** ADC " in a header
    QString prefixes; // 3-digit ZIP prefixes separated by single blanks
};
// The 96 distribution centres, in the order their groups are written.
const std::vector<AdcRow>& AdcTable();
// The row index of a 3-character ZIP prefix, -1 when no centre has it.
int AdcRowOfPrefix(const QString& prefix3);

// ---- the presort file ------------------------------------------------------------------------

// "PRESORT.PSL"
QString PresortFileName();
// ProgramDirectory() + "PRESORT.PSL"
QString PresortFilePath();
// Header line texts.
QString FiveDigitHeader(const QString& zip);     // "** 5-digit " + zip
QString ThreeDigitHeader(const QString& prefix); // "** 3-digit " + prefix
QString AdcHeader(const QString& name);          // "** ADC " + name
QString UnknownHeader();                         // "** Unknown"
// True for a header line (it contains "**").
bool IsPresortHeader(const QString& line);
// Writes the lines, CR LF ended, replacing any earlier file (through a
// temporary file, so a failed write leaves no half file). False with a
// reason in `error` when the file cannot be written.
bool WritePresortFile(const QString& path, const QStringList& lines, QString* error = nullptr);
// Reads the lines back (CR LF or LF); false when the file cannot be read.
bool ReadPresortFile(const QString& path, QStringList& lines);

// ---- counting and grouping -------------------------------------------------------------------

// The key a ZIP field counts under: its first five characters, when they
// compare (byte-wise) between "00000" and "99999-999" and the first is a
// digit; otherwise "" (the record is not counted and is left out of a
// presorted run).
QString PresortKey(const QString& zip);

// One count attached to a ZIP key.
struct TallyRecord {
    int Value = 0;
};
TallyRecord MakeTallyRecord(int value);

// Groups counted keys into the lines of the presort file. `tallies` holds
// each distinct key once with its number of pieces, in any order.
// Thresholds: a 5-digit group needs 10 pieces of its ZIP; a 3-digit group 10
// pieces over the ZIPs of its prefix that formed no 5-digit group; ADC and
// "Unknown" groups have no minimum.
QStringList GroupPresortCounts(const std::vector<std::pair<QString, TallyRecord>>& tallies);

// Counts the visible records of an address table (its current filter is the
// run's scope) and groups them. Plain logic: the window below drives it.
class BulkMailSorter {
public:
    explicit BulkMailSorter(TableDataset& table);

    // Status texts ("Reading database records...", "Reading record 100",
    // "Sorting Zip Codes...").
    std::function<void(const QString&)> OnStatus;
    // Called after every record (the window lets pending input run here, so
    // a Cancel click is seen); the scan stops once Cancel() was called.
    std::function<void()> OnRecord;
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

    // Counts every visible record in record-number order. The table's order
    // and record are the same afterwards. False when cancelled.
    bool Count();
    // The counted keys with their pieces, ascending.
    std::vector<std::pair<QString, TallyRecord>> Tallies() const;
    // Count, group and write `path`. False when cancelled (nothing written)
    // or when the file cannot be written (`error` says why).
    bool Run(const QString& path, QString* error = nullptr);
    // The lines of the last completed run.
    const QStringList& Lines() const { return lines_; }

private:
    TableDataset& table_;
    bool cancelled_ = false;
    std::vector<std::pair<QString, TallyRecord>> tallies_;
    QStringList lines_;
};

// The presort window "Bulk Mail Presorting": starts the sort when it is
// shown, shows its progress, asks "Cancel PRESORT?" on Cancel and closes by
// itself when done. After it closes, DoneCheck is checked exactly when the
// presort completed and the file was written. A caller that answers the
// dialog through a hook instead of showing it calls DoTheSort() itself.
class TSortBulkMail : public QDialog {
    Q_OBJECT
public:
    explicit TSortBulkMail(TableDataset& table, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* CancelButton = nullptr;
    QCheckBox* DoneCheck = nullptr; // hidden; carries the outcome
    // Where the file goes (PresortFilePath() unless set).
    QString OutputPath;

    // Counts, groups and writes the file; then sets the result (Accepted when
    // completed, Rejected when cancelled or failed), DoneCheck, and closes
    // the window through a posted call. Runs once.
    void DoTheSort();
    void SetLabel1(const QString& text);
    bool Done() const;
    BulkMailSorter& Sorter() { return sorter_; }

public slots:
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape asks like Cancel

private:
    BulkMailSorter sorter_;
    bool started_ = false;
    bool running_ = false;
};

// ---- the presorted label run ---------------------------------------------------------------

// "Labels will print/preview in the following order:\r\n  1. 5-Digit presort\r\n
// 2. 3-Digit presort\r\n  3. ADC presort"
QString PresortOrderMessage();
// Puts the printed table into the order of its ZIP tag with partial-key
// seeks. False (errorText() of the table) when the tag is missing.
bool PreparePresortedTable(TableDataset& table);

// Walks the presort file over a table prepared by PreparePresortedTable.
class PresortedRun {
public:
    explicit PresortedRun(TableDataset& table);

    bool LoadFile(const QString& path);
    void SetLines(const QStringList& lines);
    const QStringList& RemainingLines() const { return lines_; }

    // Takes the next line off the list. A header sets SeparatorPending()
    // (the table is put on its first record, so it is not at end of data);
    // a ZIP line is sought in the ZIP order and the table is left on the
    // first record of that ZIP. Lines that match no record are skipped, and
    // a header whose ZIP lines all match no record is skipped with them. When
    // no line is left the table is moved past its last record (AtEnd()).
    void GetNextSortedZip();
    // The line taken last: the header of a pending separator, else the ZIP
    // key the current record belongs to.
    QString CurrentLine() const { return current_; }
    bool SeparatorPending() const { return separator_; }
    // The separator label for CurrentLine() was printed: clear the flag and
    // go on to the group's first ZIP.
    void SeparatorPrinted();
    // The current record's label was printed: move to the next record in ZIP
    // order; when it belongs to another ZIP (or there is none) take the next
    // line.
    void RecordPrinted();
    // End of the run: no line left and the table past its end.
    bool AtEnd() const;

private:
    bool seekLine(const QString& line);
    QString currentZipKey() const;
    void finish();

    TableDataset& table_;
    QStringList lines_;
    QString current_;
    bool separator_ = false;
    bool finished_ = false;
};

// Draws a separator label: the header text in 8-point Arial, 0.15 inch right
// of the cell's left edge and a third of the vertical pitch below its top,
// clipped to the cell (x, y, x + horizPitch, y + vertPitch), no background.
void PrintSeparatorLabel(PrintSurface& surface, double x, double y, double horizPitch,
                         double vertPitch, const QString& text);

} // namespace qb
