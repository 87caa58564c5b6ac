// The address file: a DBF table of address records with a memo file and a
// production index of 26 tags, and the routines that create, open and check
// it. The field names are the vocabulary of filters, index keys, merge
// fields, label data fields and import matching.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace qb {

class TableDataset;

// A stored field of the address file.
struct AddressFieldDef {
    const char* name;
    char type;
    int width;
    int decimals;
    const char* label; // display label; the field name where it has none
    int gridWidth;     // default column width in characters; 0 = hidden
};

// A calculated field of the address file's dataset.
struct AddressCalcDef {
    const char* name;
    char type; // 'L' boolean, 'C' string
    int size;
    const char* label;
    bool shown;
};

struct AddressTagDef {
    const char* name;
    const char* keyExpr;
};

// The values of one address record (trailing blanks removed).
struct AddressRecord {
    QString lname, fname, middle, prefix, title, org, street, street2, city, state, zip, country,
        date, phone, phone2, fax, email, codes, user1, user2, tag, memo;
    bool isDel = false;

    // The current record of an address dataset (the edit buffer while editing).
    static AddressRecord read(const TableDataset& table);
    // Writes every stored field into the dataset's edit buffer (starting an
    // edit in Browse); posting is left to the caller.
    bool write(TableDataset& table) const;
    bool operator==(const AddressRecord&) const = default;
};

namespace AddressFile {

// The 23 stored fields in file order.
const std::vector<AddressFieldDef>& Fields();
// The 5 calculated fields: Tagged, FullName, FullNameWithPrefix, CityStateZip, DisplayDate.
const std::vector<AddressCalcDef>& CalculatedFields();
// The 26 index tags in creation order.
const std::vector<AddressTagDef>& Tags();
// Tag names in the order the index check looks them up.
const QStringList& CheckedTagNames();
// Field order inside the dataset (calculated fields included).
const QStringList& DatasetFieldOrder();
// The stored fields in dataset order (what lists of fields show the user).
QStringList StoredFieldsInDatasetOrder();

// Gives a dataset the address file's labels, widths, calculated fields,
// field order and calculation handler (before or after it is opened).
void Configure(TableDataset& table);
// The calculation handler: Tagged and DisplayDate always; FullName,
// FullNameWithPrefix and CityStateZip only while ExtraFieldsOn.
void CalcFields(TableDataset& table);
// Marks FullName, FullNameWithPrefix and CityStateZip visible or hidden together.
void SetExtraFields(TableDataset& table, bool on);
bool ExtraFieldsOn(const TableDataset& table);

} // namespace AddressFile

// The calculated values, from values as read (trailing blanks removed), cut
// to the fields' sizes.
QString CalcFullName(const QString& fname, const QString& middle, const QString& lname);
QString CalcFullNameWithPrefix(const QString& prefix, const QString& fname, const QString& middle,
                               const QString& lname);
QString CalcCityStateZip(const QString& city, const QString& state, const QString& zip);

// Blank-only trimming (tabs and other white space stay).
QString Trim(const QString& s);
QString TrimLeft(const QString& s);
QString TrimRight(const QString& s);

// Creates an empty address file at `path` with its 26 tags; `table` is a
// spare dataset used for the indexing and closed again on success. Failures
// are told to the user ("Create failed", "File creation failed", "Unable to
// create index files").
bool CreateAddressFile(const QString& path, TableDataset& table);
// Deletes the open table's index file and creates the 26 tags. On failure
// "Unable to create index files" is told and false returned.
bool CreateAddressIndexes(TableDataset& table);
// Opens any DBF by full path in `table` (no order selected). A missing file
// is told ("File " + path + " not found"); other failures close the dataset
// and return false silently, with the cause in table.errorText().
bool OpenTableFile(const QString& path, TableDataset& table);
// True when all 26 tags exist (looked up by name) and the engine trusts the
// index file; key expressions are not compared.
bool CheckValidIndex(TableDataset& table);

} // namespace qb
