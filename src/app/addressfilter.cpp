#include "app/addressfilter.h"

#include "app/messages.h"

namespace qb {

const QString AddressFilter::BaseFilter = QStringLiteral("!ISDEL");

namespace {

struct CriterionInfo {
    const char* field;
    int savedLine;
};

constexpr CriterionInfo kCriteria[AddressFilter::CriterionCount] = {
    {"LNAME", 1},  {"FNAME", 2},   {"TITLE", 3},   {"ORG", 4},      {"STREET", 5},
    {"STREET2", 6}, {"ZIP", 7},    {"CITY+STATE", 8}, {"STATE", 9}, {"COUNTRY", 10},
    {"PHONE", 11}, {"PHONE2", 12}, {"FAX", 13},    {"EMAIL", 14},   {"USER1", 17},
    {"USER2", 18}, {"DATE", 15},   {"CODES", 16},
};

constexpr int kSavedLines = AddressFilter::CriterionCount;
constexpr int kMaxValueLength = 99;

// A string literal for `value`. Double quotes delimit it as a rule; a value
// holding a double quote is delimited by single quotes or brackets instead,
// so that what the user typed can never break the expression apart.
QString Literal(const QString& value) {
    if (!value.contains(QLatin1Char('"')))
        return QLatin1Char('"') + value + QLatin1Char('"');
    if (!value.contains(QLatin1Char('\'')))
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    if (!value.contains(QLatin1Char(']')))
        return QLatin1Char('[') + value + QLatin1Char(']');
    // No delimiter fits: the engine will refuse the expression and the
    // filter is dropped with its message.
    return QLatin1Char('"') + value + QLatin1Char('"');
}

} // namespace

QString AddressFilter::fieldExpression(Criterion c) { return QString::fromLatin1(kCriteria[c].field); }

int AddressFilter::savedLine(Criterion c) { return kCriteria[c].savedLine; }

QString AddressFilter::BuildFieldCondition(const QString& field, const QString& criterion) {
    struct Split {
        QChar separator;
        const char* joiner;
    };
    static const Split splits[] = {{QLatin1Char(';'), ".or."},
                                   {QLatin1Char('+'), ".and."},
                                   {QLatin1Char('^'), ".and..not."}};
    for (const Split& s : splits) {
        if (!criterion.contains(s.separator))
            continue;
        const QStringList items = criterion.split(s.separator, Qt::KeepEmptyParts);
        QString result = QStringLiteral("(");
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i > 0)
                result += QLatin1String(s.joiner);
            result += QLatin1Char('(') + BuildFieldCondition(field, items[i]) + QLatin1Char(')');
        }
        return result + QLatin1Char(')');
    }

    static const char* const operators[] = {">=", ">", "<=", "<", "$"};
    QString op = QStringLiteral("=");
    QString value = criterion;
    for (const char* candidate : operators) {
        const QLatin1String o(candidate);
        if (criterion.startsWith(o)) {
            op = o;
            value = criterion.mid(o.size(), kMaxValueLength);
            break;
        }
    }
    value = value.toUpper();
    if (op == QLatin1String("$"))
        return Literal(value) + QStringLiteral("$UPPER(") + field + QLatin1Char(')');
    return QStringLiteral("UPPER(") + field + QLatin1Char(')') + op + Literal(value);
}

void AddressFilter::BuildQueryString() {
    QString result;
    QString joiner;
    for (int i = 0; i < CriterionCount; ++i) {
        const QString& text = criteria_[i];
        if (text.trimmed().isEmpty())
            continue;
        result += joiner + BuildFieldCondition(fieldExpression(Criterion(i)), text);
        joiner = QStringLiteral(" and ");
    }
    if (taggedOnly_)
        result += joiner + QStringLiteral("(UPPER(TAG)=") + Literal(tagId_) + QLatin1Char(')');
    expression_ = result;
}

QString AddressFilter::engineFilter() const {
    if (expression_.isEmpty())
        return BaseFilter;
    return expression_ + QStringLiteral(".and. ") + BaseFilter;
}

int AddressFilter::ApplyFilter(FilterTarget& target) {
    BuildQueryString();
    QString error;
    if (expression_.isEmpty()) {
        target.setEngineFilter(BaseFilter, &error);
        return 0;
    }
    if (expression_.size() + 12 > MaxEngineFilterLength) {
        Inform(QStringLiteral("Sorry - filter is too complex.Please simplify it."));
        ClearQueryVars();
        target.setEngineFilter(BaseFilter, &error);
        return 0;
    }
    if (!target.setEngineFilter(engineFilter(), &error)) {
        // The engine could not read the condition (for instance a value that
        // no string delimiter can hold): say why and fall back to no filter.
        Warn(error);
        ClearQueryVars();
        target.setEngineFilter(BaseFilter, &error);
        return 0;
    }
    const uint32_t n = target.visibleCount();
    if (n == 0) {
        ClearQueryVars();
        target.setEngineFilter(BaseFilter, &error);
        return 0;
    }
    return int(n);
}

void AddressFilter::ClearQueryVars() {
    for (QString& c : criteria_)
        c.clear();
    taggedOnly_ = false;
    expression_.clear();
}

QString AddressFilter::statusText(uint32_t visible) const {
    if (isSet())
        return QString::number(visible) + QStringLiteral(" filter matches");
    if (visible > 0)
        return QString::number(visible) + QStringLiteral(" records (no filter)");
    return QStringLiteral("No records");
}

QStringList AddressFilter::savedLines() const {
    QStringList lines;
    for (int i = 0; i < kSavedLines; ++i)
        lines << QString();
    for (int c = 0; c < CriterionCount; ++c)
        lines[savedLine(Criterion(c)) - 1] = criteria_[c];
    return lines;
}

bool AddressFilter::restoreLines(const QStringList& lines) {
    if (lines.size() < kSavedLines)
        return false;
    for (int c = 0; c < CriterionCount; ++c)
        criteria_[c] = lines[savedLine(Criterion(c)) - 1];
    return true;
}

} // namespace qb
