#include "app/recordrules.h"

#include <QDir>
#include <QRegularExpression>

namespace qb {

// ---- memo ---------------------------------------------------------------------

QString MemoTextForSaving(const QString& editorText) {
    if (editorText.isEmpty())
        return QString();
    QString stored = editorText;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (stored.size() % 4 == 0)
        stored += QLatin1Char(' ');
    return stored;
}

QString MemoTextForEditor(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool MemoMatches(const QString& memo, const QString& searchText) {
    if (memo.isEmpty() || searchText.isEmpty())
        return false;
    return memo.left(32767).contains(searchText.left(255), Qt::CaseInsensitive);
}

// ---- adding records ------------------------------------------------------------------

QList<QPair<QString, QString>> NewRecordValues(const AddingOptions& options,
                                                const CarryForward& carried,
                                                const NewRecordAnswers& answers,
                                                const QDate& today) {
    QList<QPair<QString, QString>> values;
    auto set = [&values](const char* field, const QString& value) {
        if (!value.isEmpty())
            values.append({QString::fromLatin1(field), value});
    };
    set("FNAME", answers.firstName);
    set("LNAME", answers.lastName);
    set("ZIP", answers.zip);
    set("CITY", answers.foundCity);
    set("STATE", answers.foundState);

    const QString country = options.carryCountry ? carried.country : QString();
    if (answers.zip.isEmpty() && options.carryZip)
        set("ZIP", carried.zip);
    if (answers.foundCity.isEmpty() && options.carryCity)
        set("CITY", carried.city);
    if (answers.foundState.isEmpty() && options.carryState)
        set("STATE", carried.state);
    if (options.carryCountry)
        set("COUNTRY", country);
    if (options.carrySA1)
        set("STREET", carried.street);
    if (options.carrySA2)
        set("STREET2", carried.street2);
    if (country.isEmpty())
        set("COUNTRY", options.defaultCountry);
    if (options.plugDate)
        set("DATE", today.toString(QStringLiteral("yyyyMMdd")));
    if (options.carryOrg)
        set("ORG", carried.org);
    return values;
}

QString FirstFocusField(const AddingOptions& o, bool lastNameEmpty, bool firstNameEmpty) {
    if (!o.skipLastName && lastNameEmpty)
        return QStringLiteral("Last");
    if (!o.skipFirstName && firstNameEmpty)
        return QStringLiteral("First");
    if (!o.skipMiddleInitial)
        return QStringLiteral("MI");
    if (!o.skipPrefix)
        return QStringLiteral("Prefix");
    if (!o.skipTitle)
        return QStringLiteral("Title");
    if (!o.skipOrganization)
        return QStringLiteral("Org");
    return QStringLiteral("Address 1");
}

QString DuplicateNameKey(const QString& lastName, const QString& firstName) {
    auto fit = [](const QString& s) { return s.left(30).leftJustified(30, QLatin1Char(' ')); };
    return (fit(lastName) + fit(firstName)).toUpper();
}

QString DuplicateQuestion(const QString& fname, const QString& lname, const QString& street,
                          const QString& city, const QString& state, const QString& zip) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Possible duplicate: ") + crlf + crlf + fname + QLatin1Char(' ') + lname +
           crlf + street + crlf + city + QLatin1Char(',') + state + QLatin1Char(' ') + zip + crlf +
           crlf + QStringLiteral("Continue adding?");
}

// ---- recently used files -------------------------------------------------------------------

namespace {
const QString kMruSection = QStringLiteral("MRU");
QString itemKey(int n) { return QStringLiteral("Item") + QString::number(n); }
} // namespace

QStringList GetMRUList(const IniFile& ini) {
    QStringList list;
    for (int n = 1; n <= MaxRecentFiles; ++n) {
        const QString value = ini.readString(kMruSection, itemKey(n));
        if (!value.isEmpty())
            list << value;
    }
    return list;
}

void PutMRUList(const QStringList& list, IniFile& ini) {
    QList<QPair<QString, QString>> values;
    for (int i = 0; i < list.size() && i < MaxRecentFiles; ++i)
        values.append({itemKey(i + 1), list[i]});
    if (!values.isEmpty())
        ini.writeStrings(kMruSection, values);
}

QStringList UpdatedMRUList(const QStringList& old, const QString& path) {
    QStringList list{path};
    for (const QString& entry : old) {
        if (list.size() >= MaxRecentFiles)
            break;
        if (entry != path)
            list << entry;
    }
    return list;
}

// ---- new address files ------------------------------------------------------------------------

QString ProposeDatabaseName(const QString& dataDir) {
    for (int i = 1; i <= 9999; ++i) {
        const QString name = QStringLiteral("ADD") + QString::number(i + 10000).mid(1);
        if (findFileCaseInsensitive(dataDir, name + QStringLiteral(".DBF")).isEmpty())
            return name;
    }
    return QStringLiteral("ADD0001");
}

bool IsValidDatabaseName(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,7}$"));
    return re.match(name).hasMatch();
}

// ---- keyboard ---------------------------------------------------------------------------------------

namespace {
bool g_insertMode = false;
}
bool InsertModeOn() { return g_insertMode; }
void SetInsertModeOn(bool on) { g_insertMode = on; }

} // namespace qb
