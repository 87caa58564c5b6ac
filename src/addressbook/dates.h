// Dates of the address file: stored as eight digits yyyymmdd in a character
// field, shown in the user's short date format.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace qb {

// Year from characters 1-4, month 5-6, day 7-8, each all digits; nothing when
// a part is missing or not a number or the date does not exist. Anything
// after the eighth character is ignored.
std::optional<QDate> ParseStoredDate(const QString& text);
// The stored form of a date: yyyymmdd.
QString StoredDate(const QDate& date);
// Empty for an empty or invalid stored date, else the date in DisplayDateFormat().
QString FormatStoredDate(const QString& text);
// For imports of older files: empty stays empty, a valid stored date stays as
// it is, text in the short date format becomes yyyymmdd, anything else empty.
QString ToStoredDate(const QString& text);

// The short date format (key sShortDate of section intl of the settings
// file, "mm/dd/yyyy" when absent), read on first use and kept for the run.
QString DisplayDateFormat();
// Replaces the kept format (an empty text forgets it so that the next use
// reads the settings file again).
void SetDisplayDateFormat(const QString& format);

// A date written in a short date format of the Windows kind: d dd ddd dddd
// (day, two-digit day, short and long day name), m/M mm/MM mmm/MMM mmmm/MMMM
// (month likewise; in a date format m means month), y yy (two-digit year),
// yyy yyyy (four-digit year); text in single or double quotes and every
// other character is copied as it stands.
QString FormatDate(const QDate& date, const QString& format);
// Reads a date written in `format`: the numbers of the text are taken as day,
// month and year in the order the format names them (month names are
// accepted where the format has them); a missing year is the current one and
// a two-digit year lies within 50 years of today. Nothing when it is not a date.
std::optional<QDate> ParseDate(const QString& text, const QString& format);

} // namespace qb
