// Rules of the main window's record handling that need no window: how a
// memo is stored, what a new record starts with, the duplicate-name key,
// the memo search match, the recently used files and new file names.
#pragma once

#include "storage/settings.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace qb {

// ---- memo ---------------------------------------------------------------------

// The memo text as stored: lines (separated by '\n' in the editor) joined by
// CR LF. A text whose stored length is a positive multiple of 4 gets one
// blank after its last line: such memos are not stored bare.
QString MemoTextForSaving(const QString& editorText);
// The stored memo as the editor shows it ('\n' line breaks).
QString MemoTextForEditor(const QString& stored);
// A memo matches when it holds the search text, case ignored; only the first
// 32767 characters of the memo and 255 of the text count; an empty memo (or
// text) never matches.
bool MemoMatches(const QString& memo, const QString& searchText);

// ---- adding records ------------------------------------------------------------------

// Values remembered from the record that was current when adding started.
struct CarryForward {
    QString org, street, street2, city, state, zip, country;
};

// What the "New Record" dialog and the zip look-up gave.
struct NewRecordAnswers {
    QString firstName, lastName, zip;
    QString foundCity, foundState;
};

// The field assignments a new record starts with, in the order they are made.
QList<QPair<QString, QString>> NewRecordValues(const AddingOptions& options,
                                                const CarryForward& carried,
                                                const NewRecordAnswers& answers,
                                                const QDate& today);

// The edit that takes the focus in a new record: "Last", "First", "MI",
// "Prefix", "Title", "Org" or "Address 1".
QString FirstFocusField(const AddingOptions& options, bool lastNameEmpty, bool firstNameEmpty);

// The key of the LNAME order for a last and first name (each padded or cut
// to 30 characters, upper case).
QString DuplicateNameKey(const QString& lastName, const QString& firstName);
QString DuplicateQuestion(const QString& fname, const QString& lname, const QString& street,
                          const QString& city, const QString& state, const QString& zip);

// ---- recently used files -------------------------------------------------------------------

constexpr int MaxRecentFiles = 4;
QStringList GetMRUList(const IniFile& ini = IniFile());
// Writes "Item1".."ItemN" for the N entries; higher keys are left alone.
void PutMRUList(const QStringList& list, IniFile& ini);
// `path` first, then the old entries that differ from it, at most four.
QStringList UpdatedMRUList(const QStringList& old, const QString& path);

// ---- new address files ------------------------------------------------------------------------

// The first "ADDnnnn" (nnnn from 0001) with no such .DBF in `dataDir`
// (compared without regard to case), "ADD0001" when all are taken.
QString ProposeDatabaseName(const QString& dataDir);
// One to eight characters: a letter or underscore, then letters, digits or underscores.
bool IsValidDatabaseName(const QString& name);

// ---- keyboard ---------------------------------------------------------------------------------------

// Typing replaces the character after the caret unless the Insert key has
// toggled insert mode on (it starts off). Shared by every text field.
bool InsertModeOn();
void SetInsertModeOn(bool on);

} // namespace qb
