#include "labels/labeldefinition.h"

#include "app/messages.h"
#include "labelobjects/panels.h"
#include "labelobjects/properties.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>

namespace qb {

// ---- paper sizes --------------------------------------------------------------

const std::vector<PaperSizeInfo>& PaperSizes() {
    static const std::vector<PaperSizeInfo> sizes = {
        {QStringLiteral("LTR"), QStringLiteral("Letter (8.5 x 11\")"), 8.5, 11, 215.9, 279.4, false,
         1},
        {QStringLiteral("LTRL"), QStringLiteral("Letter Landscape (11 x 8.5\")"), 11, 8.5, 279.4,
         215.9, true, 1},
        {QStringLiteral("A4"), QStringLiteral("A4 (210 x 297mm)"), 8.27, 11.69, 210.058, 296.926,
         false, 9},
        {QStringLiteral("A4L"), QStringLiteral("A4 Landscape ( 297 x 210mm)"), 11.69, 8.27, 296.926,
         210.058, true, 9},
        {QStringLiteral("A5"), QStringLiteral("A5 (148 x 210mm)"), 5.82, 8.27, 147.828, 210.058,
         false, 11},
        {QStringLiteral("USERP"), QStringLiteral("Other Portrait (User Defined)"), 0, 0, 0, 0,
         false, 0},
        {QStringLiteral("USERL"), QStringLiteral("Other Landscape (User Defined)"), 0, 0, 0, 0,
         true, 0},
    };
    return sizes;
}

const PaperSizeInfo* FindPaperSize(const QString& code) {
    const QString c = code.trimmed();
    for (const PaperSizeInfo& p : PaperSizes())
        if (p.code.compare(c, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

bool IsLandscapePaper(const QString& code) {
    const PaperSizeInfo* p = FindPaperSize(code);
    return p && p->landscape;
}

// ---- shapes -------------------------------------------------------------------

int ShapeFromCode(const QString& code) {
    const QString c = code.trimmed().toUpper();
    if (c == QLatin1String("SR"))
        return lsRectangle;
    if (c == QLatin1String("EL"))
        return lsEllipse;
    return lsRoundRect;
}

QString ShapeCode(int shape) {
    switch (shape) {
    case lsRectangle:
        return QStringLiteral("SR");
    case lsEllipse:
        return QStringLiteral("EL");
    default:
        return QStringLiteral("RR");
    }
}

QStringList ShapeDialogEntries() {
    return {QStringLiteral("Rectangular with Rounded Edges"), QStringLiteral("Rectangular"),
            QStringLiteral("Round")};
}

QStringList ShapeCodesInDialogOrder() {
    return {QStringLiteral("RR"), QStringLiteral("SR"), QStringLiteral("EL")};
}

double RoundToStored(double inches) {
    // Formatted with three fixed decimals and read back, as the table stores it.
    return QString::number(inches, 'f', 3).toDouble();
}

// ---- positions ----------------------------------------------------------------

int LabelStock::PositionCount() const {
    if (nbrAcross <= 0 || nbrDown <= 0)
        return 0;
    return nbrAcross * nbrDown;
}

SheetPosition LabelStock::PositionAt(int index) const {
    const int across = nbrAcross > 0 ? nbrAcross : 1;
    return SheetPosition{index % across, index / across};
}

double LabelStock::PositionX(int col) const {
    double x = leftMarg + col * horizPitch;
    if (midExtraX > 0 && col >= nbrAcross / 2)
        x += midExtraX;
    return x;
}

double LabelStock::PositionY(int row) const {
    double y = topMarg + row * vertPitch;
    if (midExtraY > 0 && row >= nbrDown / 2)
        y += midExtraY;
    return y;
}

QRectF LabelStock::PositionRect(SheetPosition p) const {
    return QRectF(PositionX(p.col), PositionY(p.row), lblWidth, lblHeight);
}

QRectF LabelStock::PositionRect(int index) const {
    return PositionRect(PositionAt(index));
}

QString LabelStock::ArtResourceName() const {
    const QString a = art.trimmed();
    if (a.isEmpty())
        return QString();
    const int dot = a.indexOf('.');
    return (dot < 0 ? a : a.left(dot)).toUpper();
}

// ---- reading and writing records ----------------------------------------------------

namespace {

QString text(const TableDataset& t, const char* name) {
    const QString n = QString::fromLatin1(name);
    if (!t.hasField(n))
        return QString();
    QString v = t.asString(n);
    while (!v.isEmpty() && v.back() == QLatin1Char(' '))
        v.chop(1);
    return v;
}

double number(const TableDataset& t, const char* name) {
    const QString n = QString::fromLatin1(name);
    return t.hasField(n) ? t.asNumber(n) : 0.0;
}

int integer(const TableDataset& t, const char* name) {
    return static_cast<int>(std::lround(number(t, name)));
}

void readStock(const TableDataset& t, LabelStock& s) {
    s.printer = text(t, "PRINTER");
    s.lblHeight = number(t, "LBLHEIGHT");
    s.lblWidth = number(t, "LBLWIDTH");
    s.nbrAcross = integer(t, "NBRACROSS");
    s.nbrDown = integer(t, "NBRDOWN");
    s.topMarg = number(t, "TOPMARG");
    s.leftMarg = number(t, "LEFTMARG");
    s.horizPitch = number(t, "HORIZPITCH");
    s.vertPitch = number(t, "VERTPITCH");
    s.sheetWidth = number(t, "SHEETWIDTH");
    s.sheetDepth = number(t, "SHEETDEPTH");
    s.paperSize = text(t, "PAPERSIZE");
    s.lblShape = text(t, "LBLSHAPE");
    s.manufac = text(t, "MANUFAC");
    s.prodType = text(t, "PRODTYPE");
    s.midExtraX = number(t, "MIDEXTRAX");
    s.midExtraY = number(t, "MIDEXTRAY");
    s.art = text(t, "ART");
}

} // namespace

LabelTemplate LabelTemplate::FromRecord(const TableDataset& table) {
    LabelTemplate t;
    readStock(table, t);
    t.descript = text(table, "DESCRIPT");
    return t;
}

LabelDefinition LabelDefinition::FromRecord(const TableDataset& table) {
    LabelDefinition d;
    readStock(table, d);
    d.descript = text(table, "DESCRIPT");
    d.tplDescrip = text(table, "TPLDESCRIP");
    d.binary = text(table, "BINARY");
    d.isNew = false;
    d.recno = table.bookmark();
    return d;
}

bool LabelDefinition::WriteToRecord(TableDataset& t) const {
    bool ok = true;
    auto str = [&](const char* name, const QString& v) {
        ok = t.setValue(QString::fromLatin1(name), v) && ok;
    };
    auto num = [&](const char* name, double v) {
        ok = t.setValue(QString::fromLatin1(name), v) && ok;
    };
    str("DESCRIPT", descript.left(DescriptionLength));
    str("PRINTER", printer);
    str("PAPERSIZE", paperSize);
    str("TPLDESCRIP", tplDescrip);
    str("MANUFAC", manufac);
    str("PRODTYPE", prodType);
    str("LBLSHAPE", lblShape);
    str("ART", art);
    str("BINARY", binary);
    ok = t.setValue(QStringLiteral("NBRACROSS"), nbrAcross) && ok;
    ok = t.setValue(QStringLiteral("NBRDOWN"), nbrDown) && ok;
    num("LBLHEIGHT", RoundToStored(lblHeight));
    num("LBLWIDTH", RoundToStored(lblWidth));
    num("TOPMARG", RoundToStored(topMarg));
    num("LEFTMARG", RoundToStored(leftMarg));
    num("HORIZPITCH", RoundToStored(horizPitch));
    num("VERTPITCH", RoundToStored(vertPitch));
    num("SHEETWIDTH", RoundToStored(sheetWidth));
    num("SHEETDEPTH", RoundToStored(sheetDepth));
    num("MIDEXTRAX", midExtraX);
    num("MIDEXTRAY", midExtraY);
    return ok;
}

// ---- defaults -------------------------------------------------------------------

LabelDefinition LabelDefinition::BuiltInDefault() {
    LabelDefinition d;
    d.descript = QStringLiteral("Default Label Setup");
    d.printer = QStringLiteral("LJ");
    d.lblHeight = 1.0;
    d.lblWidth = 2.625;
    d.nbrAcross = 3;
    d.nbrDown = 10;
    d.topMarg = 0.5;
    d.leftMarg = 0.188;
    d.horizPitch = 2.75;
    d.vertPitch = 1.0;
    d.sheetWidth = 8.5;
    d.sheetDepth = 11.0;
    d.paperSize = QStringLiteral("LTR");
    d.tplDescrip = QStringLiteral("Avery 5160  Address");
    d.manufac = QStringLiteral("AVERY");
    d.prodType = QStringLiteral("ADDRESS LABELS");
    d.lblShape = QStringLiteral("RR");
    d.midExtraX = 0;
    d.midExtraY = 0;
    return d;
}

LabelDefinition LabelDefinition::NewLabelDefault() {
    LabelDefinition d = BuiltInDefault();
    d.descript.clear();
    d.horizPitch = 2.765;
    d.vertPitch = 1.01;
    d.prodType = QStringLiteral("ADDRESS/SHIPPING LABELS");
    d.isNew = true;
    return d;
}

QString LabelDefinition::SheetName() const {
    return tplDescrip.isEmpty() ? QStringLiteral("[User Defined]") : tplDescrip;
}

void LabelDefinition::TakeTemplate(const LabelTemplate& tpl) {
    const QString keepDescript = descript;
    const QString keepBinary = binary;
    const bool keepNew = isNew;
    static_cast<LabelStock&>(*this) = static_cast<const LabelStock&>(tpl);
    tplDescrip = tpl.descript;
    descript = keepDescript;
    binary = keepBinary;
    isNew = keepNew;
}

void LabelDefinition::MakeUserDefined() {
    tplDescrip.clear();
    printer.clear();
    manufac = QStringLiteral("USER");
    prodType.clear();
    midExtraX = 0;
    midExtraY = 0;
    art.clear();
}

// ---- layout files ----------------------------------------------------------------

bool IsSafeLayoutFileName(const QString& name) {
    if (name.isEmpty() || name.size() > 12)
        return false;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1Char(':')) || name.contains(QLatin1String("..")))
        return false;
    if (name == QLatin1String("."))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    // A leading or trailing blank would name a different file than the
    // table's trimmed value shows.
    if (name.front().isSpace() || name.back().isSpace())
        return false;
    return true;
}

QString UnsafeLayoutNameMessage(const QString& name) {
    return QStringLiteral("The layout file name \"%1\" in the label table is not a plain file name "
                          "in the sysdata directory. It is not used.")
        .arg(name);
}

QString LayoutFilePath(const QString& name, const QString& sysdataDir) {
    if (!IsSafeLayoutFileName(name))
        return QString();
    const QString found = findFileCaseInsensitive(sysdataDir, name);
    if (!found.isEmpty())
        return found;
    return QDir(sysdataDir).filePath(name);
}

QString LayoutFilePath(const QString& name) {
    return LayoutFilePath(name, SystemDirectory());
}

bool LayoutFileExists(const QString& name, const QString& sysdataDir) {
    if (!IsSafeLayoutFileName(name))
        return false;
    const QString found = findFileCaseInsensitive(sysdataDir, name);
    return !found.isEmpty() && QFileInfo(found).isFile();
}

bool LayoutFileExists(const QString& name) {
    return LayoutFileExists(name, SystemDirectory());
}

QString NewLayoutFileName(const QString& sysdataDir, const QString& ext) {
    // One directory listing instead of up to 99999 look-ups.
    QSet<QString> taken;
    const QStringList entries =
        QDir(sysdataDir)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entries)
        taken.insert(e.toUpper());
    const QString upperExt = ext.toUpper();
    for (int n = 1; n <= 99999; ++n) {
        const QString name = QStringLiteral("BIN%1").arg(n, 5, 10, QLatin1Char('0')) + ext;
        if (!taken.contains(name.left(8) + upperExt))
            return name;
    }
    return QString();
}

QString NewLayoutFileName() {
    return NewLayoutFileName(SystemDirectory());
}

QString NoFreeLayoutNameMessage() {
    return QStringLiteral("No free layout file name is left in the sysdata directory "
                          "(BIN00001.L to BIN99999.L are all in use). Nothing was created.");
}

QString MissingLayoutFileMessage() {
    return QStringLiteral("Label definition file has been removed from the sysdata directory");
}

QSize LabelPanelSize(const LabelStock& stock) {
    return QSize(static_cast<int>(std::lround(stock.lblWidth * kPixelsPerInch)),
                 static_cast<int>(std::lround(stock.lblHeight * kPixelsPerInch)));
}

namespace {

// Puts the definition into the table's edit buffer (appending a new one).
bool BeginStore(TableDataset& table, LabelDefinition& def) {
    if (!table.isOpen()) {
        Inform(QStringLiteral("The label table is not open; the label was not saved."));
        return false;
    }
    if (def.isNew) {
        if (!table.append()) {
            Inform(QStringLiteral("The label could not be added: %1").arg(table.errorText()));
            return false;
        }
    } else if ((def.recno != 0 && table.bookmark() != def.recno &&
                !table.gotoBookmark(def.recno)) ||
               !table.edit()) {
        Inform(QStringLiteral("The label could not be changed: %1").arg(table.errorText()));
        return false;
    }
    if (!def.WriteToRecord(table)) {
        const QString why = table.errorText();
        table.cancel();
        Inform(QStringLiteral("The label could not be saved: %1").arg(why));
        return false;
    }
    return true;
}

bool FinishStore(TableDataset& table, LabelDefinition& def, const QString& layoutPath,
                 bool removeOnFailure) {
    if (!table.post()) {
        const QString why = table.errorText();
        table.cancel();
        if (removeOnFailure)
            QFile::remove(layoutPath);
        Inform(QStringLiteral("The label could not be saved: %1").arg(why));
        return false;
    }
    def.isNew = false;
    def.recno = table.bookmark();
    return true;
}

// A usable layout file name for the definition, choosing a new one when
// needed; false after a message when none is free.
bool EnsureLayoutName(LabelDefinition& def, const QString& sysdataDir) {
    if (IsSafeLayoutFileName(def.binary))
        return true;
    if (!def.binary.isEmpty())
        Inform(UnsafeLayoutNameMessage(def.binary));
    def.binary = NewLayoutFileName(sysdataDir);
    if (def.binary.isEmpty()) {
        Inform(NoFreeLayoutNameMessage());
        return false;
    }
    return true;
}

} // namespace

bool SaveLabelDefinition(TableDataset& table, LabelDefinition& def, TKBasePanel& panel,
                         const QString& sysdataDir) {
    if (!EnsureLayoutName(def, sysdataDir))
        return false;
    const QString path = LayoutFilePath(def.binary, sysdataDir);
    const bool fileExisted = QFileInfo::exists(path);
    if (!BeginStore(table, def))
        return false;
    try {
        panel.SaveToFile(path);
    } catch (const std::exception& e) {
        table.cancel();
        Inform(QStringLiteral("The label layout could not be written to %1: %2")
                   .arg(def.binary, QString::fromLocal8Bit(e.what())));
        return false;
    }
    return FinishStore(table, def, path, !fileExisted);
}

bool StoreLabelRecord(TableDataset& table, LabelDefinition& def, const QString& sysdataDir) {
    if (!IsSafeLayoutFileName(def.binary)) {
        Inform(UnsafeLayoutNameMessage(def.binary));
        return false;
    }
    const QString path = LayoutFilePath(def.binary, sysdataDir);
    const bool wasNew = def.isNew;
    if (!BeginStore(table, def)) {
        if (wasNew)
            QFile::remove(path);
        return false;
    }
    return FinishStore(table, def, path, wasNew);
}

bool StoreLabelRecord(TableDataset& table, LabelDefinition& def) {
    return StoreLabelRecord(table, def, SystemDirectory());
}

bool SaveLabelDefinition(TableDataset& table, LabelDefinition& def, TKBasePanel& panel) {
    return SaveLabelDefinition(table, def, panel, SystemDirectory());
}

} // namespace qb
