// The address filter: the query criteria the user typed, the xBase condition
// built from them and its application to the open address file.
//
// Every view of the address file hides records the user deleted (!ISDEL).
// A filter narrows that further; it is dropped again when it matches nothing,
// so the main window never shows an empty file just because of a filter.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace qb {

// What a filter is applied to: the main window's table (or a test double).
class FilterTarget {
public:
    virtual ~FilterTarget() = default;
    // Installs an engine filter expression; false (with `error` set) when the
    // engine refuses it.
    virtual bool setEngineFilter(const QString& expression, QString* error) = 0;
    // Records visible under the installed filter.
    virtual uint32_t visibleCount() = 0;
};

class AddressFilter {
public:
    // The criteria in the order their conditions are joined.
    enum Criterion {
        LastName, FirstName, Title, Organization, Address1, Address2, Zip, City, State,
        Country, Phone1, Phone2, Fax, Email, Comment1, Comment2, Date, Codes,
        CriterionCount
    };
    static constexpr int MaxEngineFilterLength = 255;
    static const QString BaseFilter; // "!ISDEL"

    // The field expression a criterion is compared with (CITY+STATE for the city).
    static QString fieldExpression(Criterion c);
    // Line (1-based) of a criterion in a saved filter file.
    static int savedLine(Criterion c);

    // One condition for a field expression and a criterion as typed:
    // ";" separates alternatives, "+" conditions that must all hold, "^"
    // conditions that must not hold; a leading >=, >, <=, < compares, "$"
    // looks for the value anywhere in the field, anything else asks for a
    // field that begins with the value (case ignored).
    static QString BuildFieldCondition(const QString& field, const QString& criterion);

    const QString& criterion(Criterion c) const { return criteria_[c]; }
    void setCriterion(Criterion c, const QString& text) { criteria_[c] = text; }
    bool taggedOnly() const { return taggedOnly_; }
    void setTaggedOnly(bool on) { taggedOnly_ = on; }
    // The current tag id, used by the tagged-only condition.
    void setTagId(const QString& id) { tagId_ = id; }
    const QString& tagId() const { return tagId_; }

    // FilterExpression from the criteria (empty when none is set).
    void BuildQueryString();
    const QString& filterExpression() const { return expression_; }
    bool isSet() const { return !expression_.isEmpty(); }
    // The engine filter for the current expression.
    QString engineFilter() const;

    // Builds the expression and installs it on `target`. Returns the number
    // of visible records, 0 when no filter is set afterwards: a filter that
    // is too long, that the engine refuses or that matches nothing is dropped
    // (criteria emptied) and the base filter installed instead.
    int ApplyFilter(FilterTarget& target);
    void ClearQueryVars();

    // The right-hand status text for `visible` records.
    QString statusText(uint32_t visible) const;

    // The 18 lines of a saved filter file, in file order.
    QStringList savedLines() const;
    // Sets the criteria from saved lines; false (nothing changed) when fewer
    // than 18 lines are given. The tagged-only flag is not touched.
    bool restoreLines(const QStringList& lines);

    bool operator==(const AddressFilter&) const = default;

private:
    std::array<QString, CriterionCount> criteria_;
    bool taggedOnly_ = false;
    QString tagId_;
    QString expression_;
};

} // namespace qb
