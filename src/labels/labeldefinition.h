// Label stocks and label definitions.
//
// A label definition is one record of LABEL.DBF plus its layout file in
// sysdata/: the record describes the stock (size of one label, how many a
// sheet holds and where they sit, the paper, the label shape) and names the
// file holding the label's objects. LBLTPL.DBF is the supplied catalogue of
// stocks (LabelTemplate) whose geometry a definition can take over.
//
// Units: every length is in inches, stored with three decimals.
#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace qb {

class TableDataset;
class TKBasePanel;

// ---- paper sizes --------------------------------------------------------------

struct PaperSizeInfo {
    QString code;        // PAPERSIZE value: "LTR", "LTRL", "A4", "A4L", "A5", "USERP", "USERL"
    QString dialogEntry; // the entry of the user-defined geometry dialog's list
    double width = 0;    // inches as the paper lies for printing; 0 for user sizes
    double height = 0;
    double widthMm = 0; // the same in millimetres
    double heightMm = 0;
    bool landscape = false;
    int platformCode = 0; // 1 letter, 9 A4, 11 A5, 0 custom
    bool named() const { return width > 0; }
};

// The seven paper codes in the dialog's order.
const std::vector<PaperSizeInfo>& PaperSizes();
// The entry of `code` (compared without regard to case); nullptr when unknown.
const PaperSizeInfo* FindPaperSize(const QString& code);
// "LTRL", "A4L" and "USERL" lie landscape.
bool IsLandscapePaper(const QString& code);

// ---- label shapes -------------------------------------------------------------

// LBLSHAPE codes and the panel's shape (TLabelShapeType): "RR" rounded
// rectangle, "SR" rectangle, "EL" ellipse. An unknown code reads as "RR".
int ShapeFromCode(const QString& code);
QString ShapeCode(int shape);
// The user-defined dialog's list, in order "RR", "SR", "EL".
QStringList ShapeDialogEntries();
QStringList ShapeCodesInDialogOrder();

// Millimetres per inch conversion factor used for every entered length.
constexpr double InchesPerMillimetre = 0.039370078740157480314;
// Rounds a length to the three decimals it is stored with.
double RoundToStored(double inches);

// ---- sheet positions ----------------------------------------------------------

// A place on the sheet, 0-based; index = row * NBRACROSS + col.
struct SheetPosition {
    int col = 0;
    int row = 0;
    bool operator==(const SheetPosition&) const = default;
};

// ---- the stock ----------------------------------------------------------------

// The geometry and description of a label stock: the fields LBLTPL.DBF and
// LABEL.DBF share.
struct LabelStock {
    QString printer;       // "LJ" laser, "IJ" ink-jet, "DM" dot matrix, "LP" label printer, "" user
    double lblHeight = 0;  // height of one label
    double lblWidth = 0;   // width of one label
    int nbrAcross = 1;     // labels per row
    int nbrDown = 1;       // rows per sheet
    double topMarg = 0;    // sheet top edge to the top of the first row
    double leftMarg = 0;   // sheet left edge to the left of the first column
    double horizPitch = 0; // left edge of one column to the left edge of the next
    double vertPitch = 0;  // top of one row to the top of the next
    double sheetWidth = 0; // paper width as it lies for printing
    double sheetDepth = 0; // paper height, likewise
    QString paperSize;     // PAPERSIZE code
    QString lblShape;      // "RR", "SR", "EL"
    QString manufac;       // maker in capitals; "USER" for a user-defined stock
    QString prodType;      // product category in capitals
    double midExtraX = 0;  // extra gap once in the middle of each row (0 none)
    double midExtraY = 0;  // extra gap once in the middle of the sheet (0 none)
    QString art;           // label-art picture name, e.g. "AV5196.BMP"; "" none

    // Number of labels on one sheet (NBRACROSS x NBRDOWN; 0 when either is
    // not positive). Stocks may hold more than 200.
    int PositionCount() const;
    // The position of sheet index `index` (row by row).
    SheetPosition PositionAt(int index) const;
    int IndexOf(SheetPosition p) const { return p.row * nbrAcross + p.col; }
    // Top-left corner of the label at `p` on the paper, in inches, middle
    // gaps included: MIDEXTRAX from column NBRACROSS div 2 on, MIDEXTRAY from
    // row NBRDOWN div 2 on (when positive).
    double PositionX(int col) const;
    double PositionY(int row) const;
    // The label's rectangle on the paper (inches) for a position / an index.
    QRectF PositionRect(SheetPosition p) const;
    QRectF PositionRect(int index) const;

    // The panel shape for LBLSHAPE.
    int Shape() const { return ShapeFromCode(lblShape); }
    // Picture resource name of ART: the part before the first "." in
    // capitals ("AV5196.BMP" -> "AV5196"); "" for none.
    QString ArtResourceName() const;
    bool IsUserDefined() const {
        return manufac.trimmed().compare(QLatin1String("USER"), Qt::CaseInsensitive) == 0;
    }
};

// One row of the stock catalogue LBLTPL.DBF.
struct LabelTemplate : LabelStock {
    QString descript; // e.g. "Avery 5160  Address"

    // The current record of an open LBLTPL.DBF dataset.
    static LabelTemplate FromRecord(const TableDataset& table);
};

// One record of LABEL.DBF and the name of its layout file.
struct LabelDefinition : LabelStock {
    QString descript;   // the user's name (up to 50 characters used)
    QString tplDescrip; // template the stock came from; "" user defined
    QString binary;     // layout file name in sysdata/ ("BIN" + 5 digits + ".L")
    bool isNew = false; // made by "New", not stored yet
    uint32_t recno = 0; // the record it was read from (0: none)

    // Maximum length of a description.
    static constexpr int DescriptionLength = 50;

    // The stock the label list shows for an empty table.
    static LabelDefinition BuiltInDefault();
    // The stock "New" starts from (description left empty).
    static LabelDefinition NewLabelDefault();

    // The current record of an open LABEL.DBF dataset (trailing blanks removed).
    static LabelDefinition FromRecord(const TableDataset& table);
    // Writes every field into the dataset's edit buffer (the dataset must be
    // editing or inserting): texts as they are, counts as integers, the
    // eight sheet lengths rounded to three decimals, the middle gaps as they
    // are. False when a field could not be set.
    bool WriteToRecord(TableDataset& table) const;

    // "Sheet Name" of the list window: TPLDESCRIP, or "[User Defined]".
    QString SheetName() const;

    // Takes the stock of a catalogue template (TPLDESCRIP = its DESCRIPT).
    void TakeTemplate(const LabelTemplate& tpl);
    // Marks the stock as user defined: no template, printer, category, gaps
    // or art; maker "USER". The geometry is set by the caller.
    void MakeUserDefined();
};

// ---- layout files -------------------------------------------------------------

// True when `name` (a BINARY value) is a plain file name that stays inside
// sysdata/: not empty, at most 12 characters, no path separator, no drive
// colon, no "..", no control characters.
bool IsSafeLayoutFileName(const QString& name);
// The message shown when a table names an unsafe layout file.
QString UnsafeLayoutNameMessage(const QString& name);

// The full path of layout file `name` in `sysdataDir` (an existing file is
// matched without regard to case); "" when the name is not safe.
QString LayoutFilePath(const QString& name, const QString& sysdataDir);
QString LayoutFilePath(const QString& name); // in SystemDirectory()
// True when the layout file exists (false for an unsafe name).
bool LayoutFileExists(const QString& name, const QString& sysdataDir);
bool LayoutFileExists(const QString& name);

// The first of "BIN00001" + ext ... "BIN99999" + ext with no file of that
// name (without regard to case) in `sysdataDir`; "" when all are taken.
// ext is ".L" for labels, ".E" envelopes, ".R" reports.
QString NewLayoutFileName(const QString& sysdataDir, const QString& ext = QStringLiteral(".L"));
QString NewLayoutFileName(); // labels, in SystemDirectory()
// The message shown when no free layout file name is left.
QString NoFreeLayoutNameMessage();

// The message shown when a definition's layout file is missing.
QString MissingLayoutFileMessage();

// ---- storing a label -------------------------------------------------------------

// The panel size in design pixels (zoom 1) of one label of the stock.
QSize LabelPanelSize(const LabelStock& stock);

// Stores a definition with its objects: a new definition is appended (and
// is no longer new afterwards), a stored one changes its own record; every
// field is written, the panel saved to the layout file in `sysdataDir` and
// the record posted. A definition without a usable layout file name gets a
// new one. False after telling the user why when anything fails; a layout
// file written for a record that could not be posted is removed again.
bool SaveLabelDefinition(TableDataset& labelTable, LabelDefinition& def, TKBasePanel& panel,
                         const QString& sysdataDir);
bool SaveLabelDefinition(TableDataset& labelTable, LabelDefinition& def, TKBasePanel& panel);

// Stores the record alone, after the layout file `def.binary` was written
// (by the designer): appended when new, else its own record changed. False
// after telling why; a new definition's layout file is then removed again.
bool StoreLabelRecord(TableDataset& labelTable, LabelDefinition& def, const QString& sysdataDir);
bool StoreLabelRecord(TableDataset& labelTable, LabelDefinition& def);

} // namespace qb
