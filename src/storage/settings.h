// The program's settings file and home directory.
//
// All user settings live in one text file of sections and key=value lines,
// QUILLB.ini, in the program's home directory. Every read opens the file,
// reads and closes it; every write goes to disk at once (atomically, through
// a temporary file and a rename), so windows never see stale values and a
// crash never leaves half a file. Section and key names are matched without
// regard to case, as on Windows; everything in the file this program does not
// own (comments, blank lines, other sections, line endings) is kept.
#pragma once

#include <QString>
#include <QStringList>

namespace qb {

// ---- program home --------------------------------------------------------

// The program's home directory: holds DATA/, sysdata/ and QUILLB.ini. Always
// an absolute path with '/' separators ending in '/'.
QString ProgramDirectory();
// Sets the home directory (made absolute, '/'-terminated).
void SetProgramDirectory(const QString& dir);
// The home named by the command line (--home DIR or --home=DIR), else by the
// environment variable QUILLBURY_HOME, else $XDG_DATA_HOME/quillbury/
// (~/.local/share/quillbury/ when XDG_DATA_HOME is unset or empty).
QString ResolveHomeDirectory(const QStringList& args);
// Creates DATA/ and sysdata/ under the home. On a new home (no sysdata/ yet)
// the supplied system tables (label catalogue and state/zip table) are
// installed; afterwards a missing one is left missing.
void EnsureHomeLayout();
// ProgramDirectory() + "QUILLB.ini".
QString IniFileName();
// The path of the existing entry `name` in `dir` whose name matches without
// regard to case (an exact match is preferred); "" when there is none.
// `name` may hold subdirectories ("DATA/abc.dbf"): each part is matched.
QString findFileCaseInsensitive(const QString& dir, const QString& name);

// ---- the settings file -------------------------------------------------------

class IniFile {
public:
    explicit IniFile(const QString& path = IniFileName());

    const QString& path() const { return path_; }

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // Decimal integer (surrounding blanks allowed); anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Stored as an integer: non-zero is true, zero false; a value that is not
    // an integer reads false; a missing key gives the default.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // Create the file, section or key as needed. Failures are silent.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value); // "1"/"0"
    // Several keys of one section in a single rewrite of the file.
    void writeStrings(const QString& section, const QList<QPair<QString, QString>>& values);

    // The key names of a section in file order (as written in the file).
    QStringList sectionKeys(const QString& section) const;
    bool hasSection(const QString& section) const;
    void eraseKey(const QString& section, const QString& key);
    void eraseSection(const QString& section);

private:
    QString path_;
};

// ---- typed groups of settings ---------------------------------------------------

// The options for adding new records (section "Adding"), written by the
// Preferences dialog and read by the main window.
struct AddingOptions {
    bool plugDate = false;
    bool plugCityState = false;
    bool autoDupCheck = false;
    QString defaultCountry;

    bool carryOrg = false;
    bool carrySA1 = false;
    bool carrySA2 = false;
    bool carryCity = false;
    bool carryState = false;
    bool carryZip = false;
    bool carryCountry = false;

    bool skipLastName = false;
    bool skipFirstName = false;
    bool skipMiddleInitial = false;
    bool skipPrefix = false;
    bool skipTitle = false;
    bool skipOrganization = false;
    bool skipAddress2 = false;
    bool skipState = false;
    bool skipZip = false;
    bool skipCountry = false;
    bool skipPhone1 = false;
    bool skipPhone2 = false;
    bool skipFax = false;
    bool skipEmail = false;
    bool skipCodes = false;
    bool skipComments1 = false;
    bool skipComments2 = false;
    bool skipDate = false;

    static AddingOptions load(const IniFile& ini = IniFile());
    // Writes all 29 keys of the section.
    void save(IniFile& ini) const;
    void save() const;

    bool operator==(const AddingOptions&) const = default;
};

// Names of the keys of section "Adding", in the order they are written.
QStringList AddingKeyNames();
// The yes/no option a key of section "Adding" stands for (exact key spelling),
// or null for "DefaultCountry" and unknown keys.
bool AddingOptions::*AddingOptionForKey(const QString& key);

// Section "Misc".
bool ReadGettingStartedSuppressed(const IniFile& ini = IniFile());
void WriteGettingStartedSuppressed(bool suppressed);

// The display date format: key sShortDate of section "intl", "mm/dd/yyyy"
// when absent or blank.
QString ShortDateFormat(const IniFile& ini = IniFile());

} // namespace qb
