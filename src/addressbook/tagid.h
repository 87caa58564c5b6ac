// Tag ids: a record is tagged when its TAG field holds the current id.
// Clearing all tags replaces the id, so no record has to be rewritten.
#pragma once

#include <QDateTime>
#include <QString>

namespace qb {

// n in the digits 0-9A-Z, most significant first, no leading zeros; 0 and
// negative numbers give an empty text.
QString ToBase36(qint64 n);
// ToBase36(year - 1995) followed by ToBase36 of the number "mmddhhnnss".
QString NewTagId(const QDateTime& when);
QString NewTagId();

// The id current in this run (kept in the settings file by its owner). While
// it is empty no record counts as tagged.
QString GlobalTagId();
void SetGlobalTagId(const QString& id);

} // namespace qb
