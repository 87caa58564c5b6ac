#include "addressbook/addressfile.h"

#include "addressbook/dates.h"
#include "addressbook/tagid.h"
#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qb {

namespace {

const QString kTagged = QStringLiteral("Tagged");
const QString kFullName = QStringLiteral("FullName");
const QString kFullNameWithPrefix = QStringLiteral("FullNameWithPrefix");
const QString kCityStateZip = QStringLiteral("CityStateZip");
const QString kDisplayDate = QStringLiteral("DisplayDate");

} // namespace

// ---- definitions ------------------------------------------------------------------

namespace AddressFile {

const std::vector<AddressFieldDef>& Fields() {
    static const std::vector<AddressFieldDef> fields = {
        {"LNAME", 'C', 30, 0, "Last Name", 20},
        {"FNAME", 'C', 30, 0, "First Name", 15},
        {"MIDDLE", 'C', 1, 0, "Middle", 1},
        {"PREFIX", 'C', 12, 0, "Prefix", 4},
        {"TITLE", 'C', 30, 0, "Title", 20},
        {"ORG", 'C', 30, 0, "Organization", 20},
        {"STREET", 'C', 40, 0, "Address 1", 40},
        {"STREET2", 'C', 40, 0, "Address 2", 20},
        {"CITY", 'C', 30, 0, "City", 15},
        {"STATE", 'C', 20, 0, "State", 5},
        {"ZIP", 'C', 10, 0, "Zip/Postal Code", 10},
        {"COUNTRY", 'C', 30, 0, "Country", 15},
        {"DATE", 'C', 15, 0, "Actual Date", 0},
        {"PHONE", 'C', 30, 0, "Phone 1", 15},
        {"PHONE2", 'C', 30, 0, "Phone 2", 15},
        {"FAX", 'C', 30, 0, "Fax", 30},
        {"EMAIL", 'C', 30, 0, "Email", 30},
        {"CODES", 'C', 30, 0, "Codes", 30},
        {"USER1", 'C', 40, 0, "Comment 1", 15},
        {"USER2", 'C', 40, 0, "Comment 2", 15},
        {"ISDEL", 'L', 1, 0, "Deleted", 0},
        {"TAG", 'C', 8, 0, "TAG", 0},
        {"MEMO", 'M', 10, 0, "MEMO", 0},
    };
    return fields;
}

const std::vector<AddressCalcDef>& CalculatedFields() {
    static const std::vector<AddressCalcDef> fields = {
        {"Tagged", 'L', 1, "Tagged", true},
        {"FullName", 'C', 35, "Full Name", false},
        {"FullNameWithPrefix", 'C', 35, "Full Name & Prefix", false},
        {"CityStateZip", 'C', 35, "City, State & Zip", false},
        {"DisplayDate", 'C', 12, "Date", true},
    };
    return fields;
}

const std::vector<AddressTagDef>& Tags() {
    static const std::vector<AddressTagDef> tags = {
        {"NAME", "UPPER(LNAME-FNAME)"},
        {"LNAME", "UPPER(LNAME)+UPPER(FNAME)"},
        {"FNAME", "UPPER(FNAME)"},
        {"TITLE", "UPPER(TITLE)"},
        {"ORG", "UPPER(ORG)"},
        {"STREET", "UPPER(STREET)"},
        {"STREET2", "UPPER(STREET2)"},
        {"CITY", "UPPER(CITY+STATE)"},
        {"STATE", "UPPER(STATE)"},
        {"ZIP", "UPPER(ZIP)"},
        {"COUNTRY", "UPPER(COUNTRY)"},
        {"PHONE", "UPPER(PHONE)"},
        {"PHONE2", "UPPER(PHONE2)"},
        {"EMAIL", "UPPER(EMAIL)"},
        {"FAX", "UPPER(FAX)"},
        {"USER1", "UPPER(USER1)"},
        {"USER2", "UPPER(USER2)"},
        {"DATE", "UPPER(DATE)"},
        {"TAG", "UPPER(TAG)"},
        {"CODES", "UPPER(CODES)"},
        {"PREFIX", "UPPER(PREFIX)"},
        {"MIDDLE", "UPPER(MIDDLE)"},
        {"DELETED", "DELETED()"},
        {"STATEZIP", "UPPER(STATE-ZIP)"},
        {"ISDEL", "ISDEL"},
        {"NOTISDEL", "!ISDEL"},
    };
    return tags;
}

const QStringList& CheckedTagNames() {
    static const QStringList names = {"NAME",     "LNAME", "FNAME", "TITLE",   "ORG",      "STREET",
                                      "STREET2",  "CITY",  "STATE", "ZIP",     "COUNTRY",  "PHONE",
                                      "PHONE2",   "EMAIL", "FAX",   "DATE",    "CODES",    "PREFIX",
                                      "MIDDLE",   "USER1", "USER2", "DELETED", "STATEZIP", "ISDEL",
                                      "NOTISDEL", "TAG"};
    return names;
}

const QStringList& DatasetFieldOrder() {
    static const QStringList order = {"Tagged",       "FullName", "FullNameWithPrefix",
                                      "CityStateZip", "LNAME",    "FNAME",
                                      "MIDDLE",       "PREFIX",   "TITLE",
                                      "ORG",          "STREET",   "STREET2",
                                      "CITY",         "STATE",    "ZIP",
                                      "COUNTRY",      "PHONE",    "PHONE2",
                                      "FAX",          "EMAIL",    "CODES",
                                      "USER1",        "USER2",    "MEMO",
                                      "ISDEL",        "DATE",     "DisplayDate",
                                      "TAG"};
    return order;
}

QStringList StoredFieldsInDatasetOrder() {
    QStringList out;
    for (const QString& name : DatasetFieldOrder())
        if (name == name.toUpper())
            out << name;
    return out;
}

void Configure(TableDataset& table) {
    for (const auto& f : Fields())
        table.defineField(QLatin1String(f.name), QLatin1String(f.label), f.gridWidth,
                          f.gridWidth > 0);
    for (const auto& c : CalculatedFields())
        table.addCalculatedField(QLatin1String(c.name), c.type, c.size, QLatin1String(c.label),
                                 c.shown);
    table.setFieldOrder(DatasetFieldOrder());
    table.setCalcHandler(&CalcFields);
}

void CalcFields(TableDataset& table) {
    if (!table.hasField(QStringLiteral("TAG")))
        return; // not an address table
    const QString id = GlobalTagId();
    table.setCalcValue(kTagged, !id.isEmpty() && table.asString(QStringLiteral("TAG")) == id);
    table.setCalcValue(kDisplayDate, FormatStoredDate(table.asString(QStringLiteral("DATE"))));
    if (!ExtraFieldsOn(table))
        return;
    const QString lname = table.asString(QStringLiteral("LNAME"));
    const QString fname = table.asString(QStringLiteral("FNAME"));
    const QString middle = table.asString(QStringLiteral("MIDDLE"));
    table.setCalcValue(kFullName, CalcFullName(fname, middle, lname));
    table.setCalcValue(
        kFullNameWithPrefix,
        CalcFullNameWithPrefix(table.asString(QStringLiteral("PREFIX")), fname, middle, lname));
    table.setCalcValue(kCityStateZip, CalcCityStateZip(table.asString(QStringLiteral("CITY")),
                                                       table.asString(QStringLiteral("STATE")),
                                                       table.asString(QStringLiteral("ZIP"))));
}

void SetExtraFields(TableDataset& table, bool on) {
    table.setFieldVisible(kFullName, on);
    table.setFieldVisible(kFullNameWithPrefix, on);
    table.setFieldVisible(kCityStateZip, on);
    if (table.isOpen())
        table.resync();
}

bool ExtraFieldsOn(const TableDataset& table) {
    return table.isFieldVisible(kFullName);
}

} // namespace AddressFile

// ---- the record --------------------------------------------------------------------

AddressRecord AddressRecord::read(const TableDataset& t) {
    AddressRecord r;
    auto s = [&](const char* name) { return t.asString(QLatin1String(name)); };
    r.lname = s("LNAME");
    r.fname = s("FNAME");
    r.middle = s("MIDDLE");
    r.prefix = s("PREFIX");
    r.title = s("TITLE");
    r.org = s("ORG");
    r.street = s("STREET");
    r.street2 = s("STREET2");
    r.city = s("CITY");
    r.state = s("STATE");
    r.zip = s("ZIP");
    r.country = s("COUNTRY");
    r.date = s("DATE");
    r.phone = s("PHONE");
    r.phone2 = s("PHONE2");
    r.fax = s("FAX");
    r.email = s("EMAIL");
    r.codes = s("CODES");
    r.user1 = s("USER1");
    r.user2 = s("USER2");
    r.tag = s("TAG");
    r.memo = t.memo(QStringLiteral("MEMO"));
    r.isDel = t.asBool(QStringLiteral("ISDEL"));
    return r;
}

bool AddressRecord::write(TableDataset& t) const {
    const std::pair<const char*, const QString*> values[] = {
        {"LNAME", &lname}, {"FNAME", &fname}, {"MIDDLE", &middle}, {"PREFIX", &prefix},
        {"TITLE", &title}, {"ORG", &org},     {"STREET", &street}, {"STREET2", &street2},
        {"CITY", &city},   {"STATE", &state}, {"ZIP", &zip},       {"COUNTRY", &country},
        {"DATE", &date},   {"PHONE", &phone}, {"PHONE2", &phone2}, {"FAX", &fax},
        {"EMAIL", &email}, {"CODES", &codes}, {"USER1", &user1},   {"USER2", &user2},
        {"TAG", &tag},     {"MEMO", &memo}};
    for (const auto& [name, value] : values)
        if (!t.setValue(QLatin1String(name), *value))
            return false;
    return t.setValue(QStringLiteral("ISDEL"), isDel);
}

// ---- files -----------------------------------------------------------------------------

bool OpenTableFile(const QString& path, TableDataset& table) {
    table.close();
    QString actual = QDir::fromNativeSeparators(path);
    if (!QFileInfo::exists(actual)) {
        const QFileInfo info(actual);
        const QString found = findFileCaseInsensitive(info.absolutePath(), info.fileName());
        if (found.isEmpty()) {
            Inform(QStringLiteral("File ") + path + QStringLiteral(" not found"));
            return false;
        }
        actual = found;
    }
    const QFileInfo info(actual);
    table.setDirectory(info.absolutePath());
    table.setFileName(info.fileName());
    table.setInitialOrder(QString());
    if (!table.open()) {
        table.close();
        return false;
    }
    return true;
}

bool CreateAddressIndexes(TableDataset& table) {
    xbase::Table* t = table.engine();
    if (!t) {
        Inform(QStringLiteral("Unable to create index files"));
        return false;
    }
    try {
        if (table.isEditing() && !table.post())
            throw std::runtime_error(table.errorText().toStdString());
        if (!t->indexFileName().empty())
            t->deleteIndexFile();
        t->closeIndexes();
        // A stale index file the engine did not open would otherwise be
        // taken up again by the first new tag.
        const QFileInfo dbf(table.filePath());
        const QString cdx = findFileCaseInsensitive(dbf.absolutePath(), dbf.completeBaseName() +
                                                                            QStringLiteral(".CDX"));
        if (!cdx.isEmpty() && !QFile::remove(cdx))
            throw std::runtime_error("Cannot delete " + cdx.toStdString());
        for (const auto& tag : AddressFile::Tags())
            t->createTag(tag.name, tag.keyExpr);
        t->setOrder(0);
    } catch (const std::exception&) {
        table.first();
        Inform(QStringLiteral("Unable to create index files"));
        return false;
    }
    table.first();
    return true;
}

bool CreateAddressFile(const QString& path, TableDataset& table) {
    std::vector<xbase::FieldDef> defs;
    for (const auto& f : AddressFile::Fields()) {
        xbase::FieldDef d;
        d.name = f.name;
        d.type = f.type;
        d.width = f.width;
        d.decimals = f.decimals;
        defs.push_back(d);
    }
    const QString native = QDir::fromNativeSeparators(path);
    try {
        xbase::Table::create(QFile::encodeName(native).toStdString(), defs);
    } catch (const std::exception&) {
        Inform(QStringLiteral("Create failed"));
        return false;
    }
    if (!QFileInfo::exists(native) || !OpenTableFile(native, table)) {
        Inform(QStringLiteral("File creation failed"));
        return false;
    }
    if (!CreateAddressIndexes(table)) {
        table.close();
        Inform(QStringLiteral("File creation failed"));
        return false;
    }
    table.close();
    return true;
}

bool CheckValidIndex(TableDataset& table) {
    xbase::Table* t = table.engine();
    if (!t)
        return false;
    if (!t->indexTrustworthy())
        return false;
    for (const QString& name : AddressFile::CheckedTagNames())
        if (t->tagOrder(name.toStdString()) <= 0)
            return false;
    return true;
}

} // namespace qb
