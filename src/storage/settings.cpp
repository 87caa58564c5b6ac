#include "storage/settings.h"

#include <QFile>
#include <QSaveFile>

#include <optional>
#include <vector>

namespace qb {

namespace {

// One line of the file as it stands, so that a rewrite reproduces every line
// this program did not change byte for byte.
struct Line {
    QByteArray text;       // without the line terminator
    QByteArray terminator; // "\r\n", "\n", "\r" or "" (last line without one)
};

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;  // section or key name, trimmed
    QString value; // entry value, trimmed
};

QString decode(const QByteArray& bytes) {
    // Files written by this program are UTF-8; a hand-edited file from Windows
    // may be in the ANSI code page, so bytes that are not valid UTF-8 are read
    // as Windows-1252 (Latin-1 for the characters this program writes).
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"))
        return QString::fromLatin1(bytes);
    return text;
}

ParsedLine parse(const QByteArray& raw) {
    ParsedLine out;
    QString line = decode(raw).trimmed();
    if (line.startsWith(QChar(0xFEFF)))
        line = line.mid(1).trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
        return out;
    if (line.startsWith('[')) {
        const qsizetype close = line.indexOf(']');
        if (close > 0) {
            out.kind = LineKind::Section;
            out.name = line.mid(1, close - 1).trimmed();
        }
        return out;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return out;
    out.kind = LineKind::Entry;
    out.name = line.left(eq).trimmed();
    out.value = line.mid(eq + 1).trimmed();
    // A value enclosed in double quotes is read without them (as Windows does).
    if (out.value.size() >= 2 && out.value.startsWith('"') && out.value.endsWith('"'))
        out.value = out.value.mid(1, out.value.size() - 2);
    return out;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value as written: line breaks would end the line early, so they become
// blanks; a value that reading would alter (blanks at either end, enclosing
// quotes) is written inside quotes, which reading removes again.
QString storedForm(QString value) {
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const bool quoted = value.size() >= 2 && value.startsWith('"') && value.endsWith('"');
    if (value != value.trimmed() || quoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

class Document {
public:
    explicit Document(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QByteArray all = file.readAll();
        qsizetype start = 0;
        while (start < all.size()) {
            qsizetype end = start;
            while (end < all.size() && all[end] != '\n' && all[end] != '\r')
                ++end;
            Line line;
            line.text = all.mid(start, end - start);
            if (end < all.size()) {
                if (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
                    line.terminator = "\r\n";
                else
                    line.terminator = QByteArray(1, all[end]);
            }
            start = end + line.terminator.size();
            if (line.terminator == "\r\n")
                newline_ = "\r\n";
            lines_.push_back(std::move(line));
        }
        parsed_.reserve(lines_.size());
        for (const Line& line : lines_)
            parsed_.push_back(parse(line.text));
    }

    // Index of the first header of `section`, or nullopt.
    std::optional<size_t> findSection(const QString& section) const {
        for (size_t i = 0; i < parsed_.size(); ++i)
            if (parsed_[i].kind == LineKind::Section && sameName(parsed_[i].name, section))
                return i;
        return std::nullopt;
    }

    // One past the last line belonging to the section that starts at `header`.
    size_t sectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < parsed_.size() && parsed_[i].kind != LineKind::Section)
            ++i;
        return i;
    }

    std::optional<size_t> findKey(const QString& section, const QString& key) const {
        const auto header = findSection(section);
        if (!header)
            return std::nullopt;
        const size_t end = sectionEnd(*header);
        for (size_t i = *header + 1; i < end; ++i)
            if (parsed_[i].kind == LineKind::Entry && sameName(parsed_[i].name, key))
                return i;
        return std::nullopt;
    }

    std::optional<QString> value(const QString& section, const QString& key) const {
        const auto at = findKey(section, key);
        if (!at)
            return std::nullopt;
        return parsed_[*at].value;
    }

    QStringList keys(const QString& section) const {
        QStringList out;
        const auto header = findSection(section);
        if (!header)
            return out;
        const size_t end = sectionEnd(*header);
        for (size_t i = *header + 1; i < end; ++i)
            if (parsed_[i].kind == LineKind::Entry &&
                !out.contains(parsed_[i].name, Qt::CaseInsensitive))
                out << parsed_[i].name;
        return out;
    }

    void set(const QString& section, const QString& key, const QString& value) {
        const QByteArray text = (key + QLatin1Char('=') + storedForm(value)).toUtf8();
        if (const auto at = findKey(section, key)) {
            lines_[*at].text = text;
            parsed_[*at] = parse(text);
            return;
        }
        const auto header = findSection(section);
        if (!header) {
            // A blank line between the previous section and the new one.
            if (!lines_.empty() && !decode(lines_.back().text).trimmed().isEmpty())
                insert(lines_.size(), QByteArray());
            insert(lines_.size(), ('[' + section + ']').toUtf8());
            insert(lines_.size(), text);
            return;
        }
        // After the section's last non-blank line, so a blank line that
        // separates it from the next section stays where it is.
        size_t at = sectionEnd(*header);
        while (at > *header + 1 && decode(lines_[at - 1].text).trimmed().isEmpty())
            --at;
        insert(at, text);
    }

    bool erase(const QString& section, const QString& key) {
        const auto at = findKey(section, key);
        if (!at)
            return false;
        lines_.erase(lines_.begin() + *at);
        parsed_.erase(parsed_.begin() + *at);
        return true;
    }

    bool eraseSection(const QString& section) {
        const auto header = findSection(section);
        if (!header)
            return false;
        const size_t end = sectionEnd(*header);
        lines_.erase(lines_.begin() + *header, lines_.begin() + end);
        parsed_.erase(parsed_.begin() + *header, parsed_.begin() + end);
        return true;
    }

    void save(const QString& path) const {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        for (size_t i = 0; i < lines_.size(); ++i) {
            file.write(lines_[i].text);
            // Every line ends with a terminator except a last line that had none
            // and was not followed by anything new.
            file.write(lines_[i].terminator);
        }
        file.commit();
    }

private:
    void insert(size_t at, const QByteArray& text) {
        // The line before a new last line gains a terminator if it had none.
        if (at == lines_.size() && !lines_.empty() && lines_.back().terminator.isEmpty())
            lines_.back().terminator = newline_;
        lines_.insert(lines_.begin() + at, Line{text, newline_});
        parsed_.insert(parsed_.begin() + at, parse(text));
    }

    std::vector<Line> lines_;
    std::vector<ParsedLine> parsed_;
    QByteArray newline_ = "\n";
};

std::optional<int> toInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

IniFile::IniFile(const QString& path) : path_(path) {}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    return Document(path_).value(section, key).value_or(defaultValue);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const auto text = Document(path_).value(section, key);
    if (!text)
        return defaultValue;
    return toInteger(*text).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    const auto text = Document(path_).value(section, key);
    if (!text)
        return defaultValue;
    return toInteger(*text).value_or(0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    Document doc(path_);
    doc.set(section, key, value);
    doc.save(path_);
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeStrings(const QString& section, const QList<QPair<QString, QString>>& values) {
    Document doc(path_);
    for (const auto& [key, value] : values)
        doc.set(section, key, value);
    doc.save(path_);
}

QStringList IniFile::sectionKeys(const QString& section) const {
    return Document(path_).keys(section);
}

bool IniFile::hasSection(const QString& section) const {
    return Document(path_).findSection(section).has_value();
}

void IniFile::eraseKey(const QString& section, const QString& key) {
    Document doc(path_);
    if (doc.erase(section, key))
        doc.save(path_);
}

void IniFile::eraseSection(const QString& section) {
    Document doc(path_);
    if (doc.eraseSection(section))
        doc.save(path_);
}

// ---- Adding ----------------------------------------------------------------------

namespace {

const QString kAdding = QStringLiteral("Adding");

// Key names as the file has always spelled them (mixed case included).
struct BoolKey {
    const char* key;
    bool AddingOptions::*member;
};

const BoolKey kAddingBools[] = {
    {"PlugDate", &AddingOptions::plugDate},
    {"PlugCityState", &AddingOptions::plugCityState},
    {"AutoDupCheck", &AddingOptions::autoDupCheck},
    {"CarryOrg", &AddingOptions::carryOrg},
    {"CarrySA1", &AddingOptions::carrySA1},
    {"CarrySA2", &AddingOptions::carrySA2},
    {"CarryCity", &AddingOptions::carryCity},
    {"CarryState", &AddingOptions::carryState},
    {"CarryZip", &AddingOptions::carryZip},
    {"CarryCountry", &AddingOptions::carryCountry},
    {"SkipLastName", &AddingOptions::skipLastName},
    {"SkipfirstName", &AddingOptions::skipFirstName},
    {"SkipMiddleInitial", &AddingOptions::skipMiddleInitial},
    {"SkipPrefix", &AddingOptions::skipPrefix},
    {"Skiptitle", &AddingOptions::skipTitle},
    {"SkipOrganization", &AddingOptions::skipOrganization},
    {"SkipAddress2", &AddingOptions::skipAddress2},
    {"SkipState", &AddingOptions::skipState},
    {"SkipZip", &AddingOptions::skipZip},
    {"SkipCountry", &AddingOptions::skipCountry},
    {"SkipPhone1", &AddingOptions::skipPhone1},
    {"SkipPhone2", &AddingOptions::skipPhone2},
    {"SkipFax", &AddingOptions::skipFax},
    {"SkipEmail", &AddingOptions::skipEmail},
    {"SkipCodes", &AddingOptions::skipCodes},
    {"SkipComments1", &AddingOptions::skipComments1},
    {"Skipcomments2", &AddingOptions::skipComments2},
    {"SkipDate", &AddingOptions::skipDate},
};

const char* const kDefaultCountry = "DefaultCountry";

} // namespace

QStringList AddingKeyNames() {
    QStringList names;
    for (const BoolKey& k : kAddingBools) {
        names << QString::fromLatin1(k.key);
        if (qstrcmp(k.key, "AutoDupCheck") == 0)
            names << QString::fromLatin1(kDefaultCountry);
    }
    return names;
}

bool AddingOptions::*AddingOptionForKey(const QString& key) {
    for (const BoolKey& k : kAddingBools) {
        if (key == QLatin1String(k.key))
            return k.member;
    }
    return nullptr;
}

AddingOptions AddingOptions::load(const IniFile& ini) {
    // One read of the file for the whole section.
    const Document doc(ini.path());
    AddingOptions o;
    for (const BoolKey& k : kAddingBools) {
        if (const auto text = doc.value(kAdding, QString::fromLatin1(k.key)))
            o.*(k.member) = toInteger(*text).value_or(0) != 0;
    }
    o.defaultCountry = doc.value(kAdding, QString::fromLatin1(kDefaultCountry)).value_or(QString());
    return o;
}

void AddingOptions::save(IniFile& ini) const {
    QList<QPair<QString, QString>> values;
    for (const BoolKey& k : kAddingBools) {
        values.append({QString::fromLatin1(k.key),
                       this->*(k.member) ? QStringLiteral("1") : QStringLiteral("0")});
        if (qstrcmp(k.key, "AutoDupCheck") == 0)
            values.append({QString::fromLatin1(kDefaultCountry), defaultCountry});
    }
    ini.writeStrings(kAdding, values);
}

void AddingOptions::save() const {
    IniFile ini;
    save(ini);
}

bool ReadGettingStartedSuppressed(const IniFile& ini) {
    return ini.readBool(QStringLiteral("Misc"), QStringLiteral("GettingStarted"), false);
}

void WriteGettingStartedSuppressed(bool suppressed) {
    IniFile().writeBool(QStringLiteral("Misc"), QStringLiteral("GettingStarted"), suppressed);
}

QString ShortDateFormat(const IniFile& ini) {
    const QString format = ini.readString(QStringLiteral("intl"), QStringLiteral("sShortDate"));
    return format.trimmed().isEmpty() ? QStringLiteral("mm/dd/yyyy") : format.trimmed();
}

} // namespace qb
