#include "storage/systemtables.h"

#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "xbase/table.h"

#include <QFile>
#include <QFileInfo>

namespace qb {

namespace {

xbase::FieldDef F(const char* name, char type, int width, int decimals = 0) {
    xbase::FieldDef f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    return f;
}

QString baseName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

} // namespace

const SystemTableDef& LabelTableDef() {
    static const SystemTableDef def{
        QStringLiteral("LABEL.DBF"),
        {F("DESCRIPT", 'C', 60),    F("PRINTER", 'C', 2),       F("LBLHEIGHT", 'N', 6, 3),
         F("LBLWIDTH", 'N', 6, 3),  F("NBRACROSS", 'N', 2),     F("NBRDOWN", 'N', 2),
         F("TOPMARG", 'N', 6, 3),   F("LEFTMARG", 'N', 6, 3),   F("HORIZPITCH", 'N', 6, 3),
         F("VERTPITCH", 'N', 6, 3), F("SHEETWIDTH", 'N', 6, 3), F("SHEETDEPTH", 'N', 6, 3),
         F("PAPERSIZE", 'C', 5),    F("LBLSHAPE", 'C', 2),      F("TPLDESCRIP", 'C', 60),
         F("MANUFAC", 'C', 10),     F("PRODTYPE", 'C', 25),     F("MIDEXTRAX", 'N', 6, 3),
         F("MIDEXTRAY", 'N', 6, 3), F("ART", 'C', 12),          F("DELETED", 'L', 1),
         F("BINARY", 'C', 12)},
        QStringLiteral("DESCRIPT"),
        QStringLiteral("UPPER(descript)"),
        true,
        QStringLiteral("Unable to Open or Create LABEL.DBF")};
    return def;
}

const SystemTableDef& TemplateTableDef() {
    // Supplied with the program; the fields are listed for reference and for
    // the tool that builds the supplied file.
    static const SystemTableDef def{
        QStringLiteral("LBLTPL.DBF"),
        {F("DESCRIPT", 'C', 60), F("LBLHEIGHT", 'N', 6, 3), F("LBLWIDTH", 'N', 6, 3),
         F("NBRACROSS", 'N', 2), F("NBRDOWN", 'N', 2), F("TOPMARG", 'N', 6, 3),
         F("LEFTMARG", 'N', 6, 3), F("HORIZPITCH", 'N', 6, 3), F("VERTPITCH", 'N', 6, 3),
         F("SHEETWIDTH", 'N', 6, 3), F("SHEETDEPTH", 'N', 6, 3), F("PRINTER", 'C', 2),
         F("PAPERSIZE", 'C', 5), F("LBLSHAPE", 'C', 2), F("MANUFAC", 'C', 10),
         F("PRODTYPE", 'C', 25), F("MIDEXTRAX", 'N', 6, 3), F("MIDEXTRAY", 'N', 6, 3),
         F("ART", 'C', 12)},
        QStringLiteral("DESCRIPT"),
        QStringLiteral("UPPER(descript)"),
        false,
        QStringLiteral("Unable to Open LBLTPL.DBF")};
    return def;
}

const SystemTableDef& EnvelopeTableDef() {
    static const SystemTableDef def{
        QStringLiteral("ENVELOPE.DBF"),
        {F("DESCRIPT", 'C', 60), F("NUMBER", 'N', 5), F("BINARY", 'C', 12)},
        QStringLiteral("DESCRIPT"),
        QStringLiteral("UPPER(descript)"),
        true,
        QStringLiteral("Unable to Open or Create ENVELOPE.DBF")};
    return def;
}

const SystemTableDef& LetterTableDef() {
    static const SystemTableDef def{QStringLiteral("LETTER.DBF"),
                                    {F("DESCRIPT", 'C', 50), F("RTF", 'M', 10)},
                                    QStringLiteral("DESCRIPT"),
                                    QStringLiteral("UPPER(descript)"),
                                    true,
                                    QStringLiteral("Unable to Open or Create LETTER.DBF")};
    return def;
}

const SystemTableDef& ReportTableDef() {
    static const SystemTableDef def{
        QStringLiteral("REPORT.DBF"),
        {F("DESCRIPT", 'C', 60), F("LAYOUT", 'C', 60), F("BINARY", 'C', 12)},
        QStringLiteral("DESCRIPT"),
        QStringLiteral("UPPER(descript)"),
        true,
        QStringLiteral("Unable to Open or Create REPORT.DBF")};
    return def;
}

const SystemTableDef& StateZipTableDef() {
    static const SystemTableDef def{
        QStringLiteral("CSZ.DBF"),
        {F("NAME", 'C', 20), F("STATE", 'C', 4), F("LOW_ZIP", 'C', 10), F("HIGH_ZIP", 'C', 10)},
        QStringLiteral("STATE"),
        QStringLiteral("UPPER(state)"),
        false,
        QStringLiteral("Unable to Open or Create CSZ.DBF")};
    return def;
}

QString SystemDirectory() {
    return ProgramDirectory() + QStringLiteral("sysdata/");
}

bool CreateSystemTable(const SystemTableDef& def, const QString& path, TableDataset& table) {
    table.close();
    try {
        xbase::Table::create(QFile::encodeName(path).toStdString(), def.fields);
    } catch (const std::exception&) {
        return false;
    }
    if (!QFileInfo::exists(path))
        return false;
    const QFileInfo info(path);
    table.setExclusive(true);
    table.setDirectory(info.absolutePath());
    table.setFileName(info.fileName());
    table.setInitialOrder(QString());
    if (!table.open()) {
        table.close();
        return false;
    }
    return true;
}

bool OpenSystemTable(const SystemTableDef& def, TableDataset& table) {
    table.close();
    const QString dir = SystemDirectory();
    // Supplied files may come with their names in another letter case.
    const QString existing = findFileCaseInsensitive(dir, def.fileName);
    const QString fileName = existing.isEmpty() ? def.fileName : QFileInfo(existing).fileName();
    table.setDirectory(dir);
    table.setFileName(fileName);
    table.setInitialOrder(QString());
    if (!table.open()) {
        table.close();
        bool created = false;
        // Only a table that is not there is created: an existing file that
        // cannot be opened (locked, damaged) is never replaced.
        if (def.createWhenMissing && existing.isEmpty())
            created = CreateSystemTable(def, dir + def.fileName, table);
        if (!created) {
            Inform(def.failMessage);
            return false;
        }
    }
    const QString cdx =
        findFileCaseInsensitive(dir, baseName(table.tableName()) + QStringLiteral(".CDX"));
    if (cdx.isEmpty()) {
        try {
            table.engine()->createTag(def.tag.toStdString(), def.keyExpr.toStdString());
            table.engine()->setOrder(0);
        } catch (const std::exception&) {
        }
        table.first();
    }
    return true;
}

bool OpenLabelTable(TableDataset& table) {
    return OpenSystemTable(LabelTableDef(), table);
}
bool OpenTemplateTable(TableDataset& table) {
    return OpenSystemTable(TemplateTableDef(), table);
}
bool OpenEnvelopeTable(TableDataset& table) {
    return OpenSystemTable(EnvelopeTableDef(), table);
}
bool OpenLetterTable(TableDataset& table) {
    return OpenSystemTable(LetterTableDef(), table);
}
bool OpenReportTable(TableDataset& table) {
    return OpenSystemTable(ReportTableDef(), table);
}
bool OpenStateZipTable(TableDataset& table) {
    return OpenSystemTable(StateZipTableDef(), table);
}

bool CreateLabelTable(const QString& path, TableDataset& table) {
    return CreateSystemTable(LabelTableDef(), path, table);
}
bool CreateEnvelopeTable(const QString& path, TableDataset& table) {
    return CreateSystemTable(EnvelopeTableDef(), path, table);
}
bool CreateLetterTable(const QString& path, TableDataset& table) {
    return CreateSystemTable(LetterTableDef(), path, table);
}
bool CreateReportTable(const QString& path, TableDataset& table) {
    return CreateSystemTable(ReportTableDef(), path, table);
}

} // namespace qb
