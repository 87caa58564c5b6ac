// Stored dates (yyyymmdd), their display in the short date format, the
// conversion of imported dates, and tag ids.
#include "addressbook/addressfile.h"
#include "addressbook/dates.h"
#include "addressbook/tagid.h"
#include "storage/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

// Fixes the display format for one test and forgets it afterwards.
struct FormatScope {
    explicit FormatScope(const QString& format) { SetDisplayDateFormat(format); }
    ~FormatScope() { SetDisplayDateFormat(QString()); }
};

} // namespace

TEST(StoredDates, ParseAcceptsOnlyRealDatesOfEightDigits) {
    struct Case {
        const char* text;
        int year, month, day; // 0 = not a date
    } cases[] = {
        {"19970428", 1997, 4, 28},
        {"20000229", 2000, 2, 29},      // leap year
        {"19970428     ", 1997, 4, 28}, // the blank rest of the 15-wide field
        {"19970431", 0, 0, 0},          // no such day
        {"19000229", 0, 0, 0},          // 1900 is not a leap year
        {"19971301", 0, 0, 0},
        {"ABCDEFGH", 0, 0, 0},
        {"1997 428", 0, 0, 0}, // a blank inside a part
        {"1997-4-2", 0, 0, 0},
        {"1997042", 0, 0, 0},  // too short
        {"00000101", 0, 0, 0}, // there is no year 0
        {"", 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto date = ParseStoredDate(QString::fromLatin1(c.text));
        if (c.year == 0) {
            EXPECT_FALSE(date.has_value()) << c.text;
        } else {
            ASSERT_TRUE(date.has_value()) << c.text;
            EXPECT_EQ(*date, QDate(c.year, c.month, c.day)) << c.text;
        }
    }
}

TEST(StoredDates, FormatShowsValidDatesInTheDisplayFormatAndNothingElse) {
    FormatScope scope(QStringLiteral("mm/dd/yyyy"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("19970428")), QStringLiteral("04/28/1997"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("20260105")), QStringLiteral("01/05/2026"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("19970431")), QString());
    EXPECT_EQ(FormatStoredDate(QStringLiteral("ABCDEFGH")), QString());
    EXPECT_EQ(FormatStoredDate(QString()), QString());
    EXPECT_EQ(StoredDate(QDate(1997, 4, 28)), QStringLiteral("19970428"));
    EXPECT_EQ(StoredDate(QDate(12, 1, 2)), QStringLiteral("00120102"));
}

TEST(StoredDates, WindowsFormatLettersBecomeOutput) {
    const QDate date(1997, 4, 8);
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"mm/dd/yyyy", "04/08/1997"}, {"M/d/yy", "4/8/97"},
        {"dd.MM.yyyy", "08.04.1997"}, {"yyyy-MM-dd", "1997-04-08"},
        {"d/m/y", "8/4/97"},          {"'Day' d", "Day 8"}, // quoted text is copied
        {"dd\"mm\"yy", "08mm97"},     {"yy-mm", "97-04"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDate(date, QString::fromLatin1(c.format)), QString::fromLatin1(c.expected))
            << c.format;
    const QLocale locale = QLocale::system();
    EXPECT_EQ(FormatDate(date, QStringLiteral("d MMMM yyyy")),
              QStringLiteral("8 ") + locale.monthName(4, QLocale::LongFormat) +
                  QStringLiteral(" 1997"));
    EXPECT_EQ(FormatDate(date, QStringLiteral("ddd d")),
              locale.dayName(2, QLocale::ShortFormat) + QStringLiteral(" 8"));
}

TEST(StoredDates, ImportedDatesBecomeStoredDatesOrEmpty) {
    FormatScope scope(QStringLiteral("mm/dd/yyyy"));
    const int thisCentury = QDate::currentDate().year() / 100 * 100;
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        {QString(), QString()},
        {QStringLiteral("19970428"), QStringLiteral("19970428")}, // already stored form
        {QStringLiteral("04/28/1997"), QStringLiteral("19970428")},
        {QStringLiteral("4/28/1997"), QStringLiteral("19970428")},
        {QStringLiteral("4-28-1997"), QStringLiteral("19970428")}, // any separator
        {QStringLiteral("04/28/97"), QStringLiteral("19970428")},  // within 50 years
        {QStringLiteral("01/02/%1").arg(thisCentury % 100 + 5, 2, 10, QLatin1Char('0')),
         QStringLiteral("%1%2").arg(thisCentury + 5).arg(QStringLiteral("0102"))},
        {QStringLiteral("28/04/1997"), QString()}, // month 28
        {QStringLiteral("02/30/2001"), QString()},
        {QStringLiteral("19970431"), QString()},
        {QStringLiteral("next tuesday"), QString()},
        {QStringLiteral("1/2/3/4"), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToStoredDate(c.text), c.expected) << c.text.toStdString();
}

TEST(StoredDates, ImportFollowsTheOrderOfTheDisplayFormat) {
    FormatScope scope(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(ToStoredDate(QStringLiteral("28.04.1997")), QStringLiteral("19970428"));
    EXPECT_EQ(ToStoredDate(QStringLiteral("04.28.1997")), QString());
}

TEST(StoredDates, DisplayFormatComesFromTheSettingsFileOnceForTheRun) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString before = ProgramDirectory();
    SetProgramDirectory(home.path());
    SetDisplayDateFormat(QString());

    // No key: the fallback format.
    EXPECT_EQ(DisplayDateFormat(), QStringLiteral("mm/dd/yyyy"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("19970428")), QStringLiteral("04/28/1997"));

    SetDisplayDateFormat(QString());
    IniFile ini(IniFileName());
    ini.writeString(QStringLiteral("intl"), QStringLiteral("sShortDate"),
                    QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("19970428")), QStringLiteral("28.04.1997"));
    // Kept: a later change of the file does not reach this run.
    ini.writeString(QStringLiteral("intl"), QStringLiteral("sShortDate"),
                    QStringLiteral("yyyy/MM/dd"));
    EXPECT_EQ(FormatStoredDate(QStringLiteral("19970428")), QStringLiteral("28.04.1997"));

    SetDisplayDateFormat(QString());
    SetProgramDirectory(before);
}

TEST(TagIds, Base36DigitsMostSignificantFirst) {
    const struct {
        qint64 n;
        const char* expected;
    } cases[] = {
        {0, ""},
        {-5, ""},
        {1, "1"},
        {35, "Z"},
        {36, "10"},
        {31, "V"},
        {428153005, "72WSZ1"},
        {2176782335LL, "ZZZZZZ"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToBase36(c.n), QString::fromLatin1(c.expected)) << c.n;
}

TEST(TagIds, NewIdFromDateAndTime) {
    EXPECT_EQ(NewTagId(QDateTime(QDate(2026, 4, 28), QTime(15, 30, 5))), QStringLiteral("V72WSZ1"));
    // The month's leading zero is dropped: 0102030405 is read as 102030405.
    EXPECT_EQ(NewTagId(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
              QStringLiteral("V") + ToBase36(102030405));
    // Largest stamp of a year still fits in six digits.
    EXPECT_EQ(NewTagId(QDateTime(QDate(1996, 12, 31), QTime(23, 59, 59))),
              QStringLiteral("1") + ToBase36(1231235959));
    EXPECT_LE(ToBase36(1231235959).size(), 6);
}

TEST(CalculatedValues, NamesFollowTheTrimmingRules) {
    const struct {
        const char *prefix, *fname, *middle, *lname;
        const char *fullName, *withPrefix;
    } cases[] = {
        {"Dr.", "John", "Q", "Smith", "John Q Smith", "Dr. John Q Smith"},
        {"", "", "", "Smith", " Smith", " Smith"}, // leading blank stays
        {"", "John", "", "Smith", "John Smith", "John Smith"},
        {"Mr.", "", "", "Smith", " Smith", "Mr. Smith"},
        {"", "", "Q", "Smith", " Q Smith", "Q Smith"},
        {"", "John", "Q", "", "John Q ", "John Q "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CalcFullName(c.fname, c.middle, c.lname), QString::fromLatin1(c.fullName))
            << c.lname << "/" << c.fname;
        EXPECT_EQ(CalcFullNameWithPrefix(c.prefix, c.fname, c.middle, c.lname),
                  QString::fromLatin1(c.withPrefix))
            << c.lname << "/" << c.fname;
    }
    // Cut to the fields' size of 35.
    const QString lname(30, QLatin1Char('L'));
    const QString fname(30, QLatin1Char('F'));
    EXPECT_EQ(CalcFullName(fname, QStringLiteral("Q"), lname),
              (fname + QStringLiteral(" Q ") + lname).left(35));
    EXPECT_EQ(
        CalcFullNameWithPrefix(QStringLiteral("Dr."), fname, QStringLiteral("Q"), lname).size(),
        35);
}

TEST(CalculatedValues, CityStateZipHasNoComma) {
    const struct {
        const char *city, *state, *zip, *expected;
    } cases[] = {
        {"Springfield", "IL", "62701", "Springfield IL 62701"},
        {"", "IL", "62701", "IL 62701"},
        {"", "", "62701", "62701"},
        {"Springfield", "", "62701", "Springfield 62701"},
        {"Springfield", "IL", "", "Springfield IL "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CalcCityStateZip(c.city, c.state, c.zip), QString::fromLatin1(c.expected))
            << c.city << "/" << c.state << "/" << c.zip;
    EXPECT_EQ(CalcCityStateZip(QString(30, QLatin1Char('C')), QStringLiteral("IL"),
                               QStringLiteral("62701"))
                  .size(),
              35);
}

TEST(CalculatedValues, TrimRemovesBlanksOnly) {
    EXPECT_EQ(Trim(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(TrimLeft(QStringLiteral("\t a ")), QStringLiteral("\t a "));
    EXPECT_EQ(TrimRight(QStringLiteral(" a \t")), QStringLiteral(" a \t"));
    EXPECT_EQ(TrimRight(QStringLiteral("   ")), QString());
}
