// The program's own design tables in ProgramDirectory() + "sysdata/": label
// layouts, label stock templates, envelope layouts, letters, report layouts
// and the state/zip reference table. Four are created when they cannot be
// opened; the stock templates and the state/zip table are supplied and only
// opened. A missing index file is recreated silently on open.
#pragma once

#include "xbase/expr.h"

#include <QString>

#include <vector>

namespace qb {

class TableDataset;

struct SystemTableDef {
    QString fileName;                    // "LABEL.DBF"
    std::vector<xbase::FieldDef> fields; // in file order
    QString tag;                         // the one index tag
    QString keyExpr;
    bool createWhenMissing;
    QString failMessage; // told once when opening fails
};

const SystemTableDef& LabelTableDef();
const SystemTableDef& TemplateTableDef();
const SystemTableDef& EnvelopeTableDef();
const SystemTableDef& LetterTableDef();
const SystemTableDef& ReportTableDef();
const SystemTableDef& StateZipTableDef();

// ProgramDirectory() + "sysdata/".
QString SystemDirectory();

// Open (or create, then open) a system table in `table`, exclusive or shared
// as the dataset is set. False, after telling the table's failure message,
// when the table is not open afterwards.
bool OpenLabelTable(TableDataset& table);
bool OpenTemplateTable(TableDataset& table);
bool OpenEnvelopeTable(TableDataset& table);
bool OpenLetterTable(TableDataset& table);
bool OpenReportTable(TableDataset& table);
bool OpenStateZipTable(TableDataset& table);
bool OpenSystemTable(const SystemTableDef& def, TableDataset& table);

// Create an empty table at `path` (no index yet) and open it exclusively in
// `table`. False when the engine refuses or the new file cannot be opened.
bool CreateLabelTable(const QString& path, TableDataset& table);
bool CreateEnvelopeTable(const QString& path, TableDataset& table);
bool CreateLetterTable(const QString& path, TableDataset& table);
bool CreateReportTable(const QString& path, TableDataset& table);
bool CreateSystemTable(const SystemTableDef& def, const QString& path, TableDataset& table);

} // namespace qb
