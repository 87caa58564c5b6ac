// Saved filters: the criteria as an 18-line text file (".FLT"), and the
// checks made on the names the user picks for such files.
#pragma once

#include <QString>

class QWidget;

namespace qb {

class AddressFilter;

// Writes the 18 lines, each ended by CR LF. False when it cannot be written.
bool SaveFilterTo(const QString& path, const AddressFilter& filter);
// Reads lines 1 to 18 into the criteria (the tagged-only flag stays). A file
// that cannot be read or holds fewer than 18 lines changes nothing and the
// user is told what is wrong. True when the criteria were replaced.
bool RestoreFilterFrom(const QString& path, AddressFilter& filter);

// The name a save goes to: `chosen` with ".FLT" appended when it has no
// extension; empty (after telling the user) when it has another one.
QString FilterSaveName(const QString& chosen);
// The save after the file dialog: the name check, the overwrite question
// (No default) and the write. True when the file was written.
bool SaveFilterAs(const QString& chosen, const AddressFilter& filter);
// The restore after the file dialog: anything but a ".FLT" file is refused
// with a message; otherwise RestoreFilterFrom.
bool RestoreFilterFile(const QString& chosen, AddressFilter& filter);

// The file dialogs. `directory` is where the last one ended (updated; the
// program directory when empty). Empty when the user cancelled.
QString ChooseFilterSaveName(QWidget* parent, QString& directory);
QString ChooseFilterRestoreName(QWidget* parent, QString& directory);

// True when a criterion holds all three of ", ' and ], so no delimiter can
// hold it as a literal value of the filter expression.
bool CriterionUnquotable(const QString& criterion);

} // namespace qb
