#include "addressbook/dates.h"

#include "storage/settings.h"

#include <QLocale>
#include <QRegularExpression>

#include <vector>

namespace qb {

namespace {

std::optional<int> digitsToInt(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

QString& keptFormat() {
    static QString format;
    return format;
}

// One element of a date format.
struct Token {
    enum Kind { Literal, Day, Month, Year } kind;
    int count;    // letters in the run
    QString text; // for literals
};

std::vector<Token> tokenize(const QString& format) {
    std::vector<Token> out;
    auto literal = [&](const QString& s) {
        if (!out.empty() && out.back().kind == Token::Literal)
            out.back().text += s;
        else
            out.push_back({Token::Literal, 0, s});
    };
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype end = format.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end;
            literal(format.mid(i + 1, stop - i - 1));
            i = end < 0 ? n : end + 1;
            continue;
        }
        const QChar lower = c.toLower();
        if (lower == QLatin1Char('d') || lower == QLatin1Char('m') || lower == QLatin1Char('y')) {
            qsizetype j = i;
            while (j < n && format.at(j).toLower() == lower)
                ++j;
            const int count = static_cast<int>(j - i);
            const Token::Kind kind = lower == QLatin1Char('d')   ? Token::Day
                                     : lower == QLatin1Char('m') ? Token::Month
                                                                 : Token::Year;
            out.push_back({kind, count, QString()});
            i = j;
            continue;
        }
        literal(QString(c));
        ++i;
    }
    return out;
}

} // namespace

std::optional<QDate> ParseStoredDate(const QString& text) {
    if (text.size() < 8)
        return std::nullopt;
    const auto y = digitsToInt(text.mid(0, 4));
    const auto m = digitsToInt(text.mid(4, 2));
    const auto d = digitsToInt(text.mid(6, 2));
    if (!y || !m || !d)
        return std::nullopt;
    const QDate date(*y, *m, *d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString StoredDate(const QDate& date) {
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1%2%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString FormatStoredDate(const QString& text) {
    if (text.trimmed().isEmpty())
        return QString();
    const auto date = ParseStoredDate(text);
    if (!date)
        return QString();
    return FormatDate(*date, DisplayDateFormat());
}

QString ToStoredDate(const QString& text) {
    if (text.isEmpty())
        return QString();
    if (ParseStoredDate(text))
        return text;
    const auto date = ParseDate(text, DisplayDateFormat());
    return date ? StoredDate(*date) : QString();
}

QString DisplayDateFormat() {
    QString& kept = keptFormat();
    if (kept.isEmpty())
        kept = ShortDateFormat(IniFile(IniFileName()));
    if (kept.isEmpty())
        kept = QStringLiteral("mm/dd/yyyy");
    return kept;
}

void SetDisplayDateFormat(const QString& format) {
    keptFormat() = format;
}

QString FormatDate(const QDate& date, const QString& format) {
    if (!date.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    QString out;
    for (const Token& t : tokenize(format)) {
        switch (t.kind) {
        case Token::Literal:
            out += t.text;
            break;
        case Token::Day:
            if (t.count == 1)
                out += QString::number(date.day());
            else if (t.count == 2)
                out += QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
            else if (t.count == 3)
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case Token::Month:
            if (t.count == 1)
                out += QString::number(date.month());
            else if (t.count == 2)
                out += QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
            else if (t.count == 3)
                out += locale.monthName(date.month(), QLocale::ShortFormat);
            else
                out += locale.monthName(date.month(), QLocale::LongFormat);
            break;
        case Token::Year:
            if (t.count <= 2)
                out += QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'));
            else
                out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            break;
        }
    }
    return out;
}

std::optional<QDate> ParseDate(const QString& text, const QString& format) {
    // The order in which the format names day, month and year.
    std::vector<Token::Kind> order;
    bool monthByName = false;
    for (const Token& t : tokenize(format)) {
        if (t.kind == Token::Literal)
            continue;
        if (t.kind == Token::Day && t.count >= 3)
            continue; // a weekday name carries no part of the date
        bool seen = false;
        for (auto k : order)
            seen = seen || k == t.kind;
        if (!seen)
            order.push_back(t.kind);
        if (t.kind == Token::Month && t.count >= 3)
            monthByName = true;
    }
    if (order.size() != 3)
        return std::nullopt;

    // Split the text into numbers and words; anything else separates them.
    static const QRegularExpression parts(QStringLiteral("(\\d+)|([^\\W\\d_]+)"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    std::vector<QString> numbers;
    int month = 0;
    const QLocale locale = QLocale::system();
    auto it = parts.globalMatch(text.trimmed());
    while (it.hasNext()) {
        const auto m = it.next();
        if (!m.captured(1).isEmpty()) {
            numbers.push_back(m.captured(1));
            continue;
        }
        if (!monthByName)
            return std::nullopt;
        const QString word = m.captured(2);
        int found = 0;
        for (int i = 1; i <= 12 && !found; ++i) {
            if (word.compare(locale.monthName(i, QLocale::LongFormat), Qt::CaseInsensitive) == 0 ||
                word.compare(locale.monthName(i, QLocale::ShortFormat), Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (!found) {
            // A weekday name may precede the date.
            bool weekday = false;
            for (int i = 1; i <= 7 && !weekday; ++i)
                weekday =
                    word.compare(locale.dayName(i, QLocale::LongFormat), Qt::CaseInsensitive) ==
                        0 ||
                    word.compare(locale.dayName(i, QLocale::ShortFormat), Qt::CaseInsensitive) == 0;
            if (!weekday)
                return std::nullopt;
            continue;
        }
        if (month)
            return std::nullopt;
        month = found;
    }
    std::vector<Token::Kind> wanted;
    for (auto k : order)
        if (!(k == Token::Month && monthByName))
            wanted.push_back(k);
    if (monthByName && !month)
        return std::nullopt;
    // A missing year is the current one.
    if (numbers.size() + 1 == wanted.size()) {
        std::vector<Token::Kind> noYear;
        for (auto k : wanted)
            if (k != Token::Year)
                noYear.push_back(k);
        wanted = noYear;
    }
    if (numbers.size() != wanted.size())
        return std::nullopt;
    int day = 0;
    int year = QDate::currentDate().year();
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (numbers[i].size() > 4)
            return std::nullopt;
        const int v = numbers[i].toInt();
        if (wanted[i] == Token::Day) {
            day = v;
        } else if (wanted[i] == Token::Month) {
            month = v;
        } else {
            year = v;
            if (numbers[i].size() <= 2) {
                // Two-digit years: the one within 50 years of today.
                const int now = QDate::currentDate().year();
                int candidate = now - now % 100 + v;
                if (candidate > now + 49)
                    candidate -= 100;
                else if (candidate < now - 50)
                    candidate += 100;
                year = candidate;
            }
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1)
        return std::nullopt;
    return date;
}

} // namespace qb
