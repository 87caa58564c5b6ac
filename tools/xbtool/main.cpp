// xbtool: look at and change xBase tables from the command line.
#include "xbase/table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace xbase;

namespace {

const char* kHelp = R"(Usage: xbtool COMMAND FILE.DBF [OPTIONS]

Commands:
  info FILE.DBF
      Version, record count, fields (name, type, width, decimals) and the
      tags of the production index (name, key expression, FOR condition).
  dump FILE.DBF [--tag NAME] [--filter EXPR] [--hide-deleted]
      One line per record: the record number, a tab, "*" when the record is
      marked for deletion (else nothing), then a tab before each field value in
      file order. Text is written as UTF-8; a backslash is written \\, a tab
      \t, a carriage return \r and a line feed \n. Logical values T/F (empty
      when never set), dates yyyymmdd, numbers as stored without padding, memo
      fields as their text. With --tag in that tag's order.
  append FILE.DBF < LINES
      Append records given in the dump format (the record number column is
      ignored, the mark column honoured). Every tag is kept up to date. A
      line with a value its field cannot take (a number that is not one, a
      logical other than T or F) stops the append: the lines before it stay,
      the line itself adds nothing, and the message names it.
  keys FILE.DBF --tag NAME
      Each key of the tag in order: the key bytes in hex, a tab, the record
      number.
  seek FILE.DBF --tag NAME [--soft] [--exact] [--hide-deleted]
              (KEY | --keys-from FILE)
      For each key: "found N", "not found N" (soft seek: the record it landed
      on) or "not found eof". Numeric tags take a number, date tags yyyymmdd,
      logical tags T or F.
  check FILE.DBF
      Verify the table, its memo pointers and every tag (tree structure, one
      correct key per record, order). Prints each fault.
  create FILE.DBF --fields NAME:TYPE:WIDTH[:DEC],...
      Create an empty table (types C N F L D M).
  index FILE.DBF --tag NAME --expr EXPR [--for EXPR] [--descending] [--unique]
      Create or replace a tag in the production index (the index file is
      created with its first tag).
  reindex FILE.DBF
      Rebuild every tag of the production index.
  pack FILE.DBF
      Remove the records marked for deletion, compact the memo file and
      rebuild every tag.

An index that a process left open for writing without closing it may hold
stale tags: info says so, dump --tag, keys and seek refuse it, check names
the tags and reindex repairs them. An index that cannot be read at all is a
fault check reports; info and dump without --tag still show the table.

Exit status: 0 success, 1 when check finds faults or a sought key is not
found, 2 on errors, including an unknown option or an extra argument (the
message goes to standard error).
)";

// ---- Windows-1252 <-> UTF-8 ----------------------------------------------------

const uint16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void putUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

std::string escapeValue(const std::string& raw) {
    std::string out;
    for (unsigned char c : raw) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default:
            if (c >= 0x80 && c < 0xA0)
                putUtf8(out, kHigh1252[c - 0x80]);
            else
                putUtf8(out, c);
        }
    }
    return out;
}

// UTF-8 with escapes back to 1252 bytes; false when a character has no
// 1252 form or the text is not UTF-8.
bool unescapeValue(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size();) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == '\\' && i + 1 < in.size()) {
            char e = in[i + 1];
            out.push_back(e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e);
            i += 2;
            continue;
        }
        uint32_t cp;
        int len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else {
            return false;
        }
        if (i + size_t(len) > in.size())
            return false;
        for (int k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(in[i + size_t(k)]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += size_t(len);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(char(cp));
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (kHigh1252[k] == cp)
                found = k;
        if (found < 0)
            return false;
        out.push_back(char(0x80 + found));
    }
    return true;
}

// ---- arguments -------------------------------------------------------------

struct Args {
    std::string command, file;
    std::map<std::string, std::string> options; // --name value
    std::vector<std::string> flags;             // --name
    std::vector<std::string> positional;
    bool has(const std::string& f) const {
        for (const auto& x : flags)
            if (x == f)
                return true;
        return false;
    }
    std::string opt(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What each command takes besides the table: a misspelt or misplaced option
// is an error, never silently ignored (a dump without the --hide-deleted the
// user meant to give would look like a right answer).
struct CommandSyntax {
    const char* name;
    std::vector<std::string> options; // --name VALUE
    std::vector<std::string> flags;   // --name
    size_t positional;                // arguments after the table
};

const std::vector<CommandSyntax>& syntax() {
    static const std::vector<CommandSyntax> all = {
        {"info", {}, {}, 0},
        {"dump", {"--tag", "--filter"}, {"--hide-deleted"}, 0},
        {"append", {}, {}, 0},
        {"keys", {"--tag"}, {}, 0},
        {"seek", {"--tag", "--keys-from"}, {"--soft", "--exact", "--hide-deleted"}, 1},
        {"check", {}, {}, 0},
        {"create", {"--fields"}, {}, 0},
        {"index", {"--tag", "--expr", "--for"}, {"--descending", "--unique"}, 0},
        {"reindex", {}, {}, 0},
        {"pack", {}, {}, 0},
    };
    return all;
}

bool listed(const std::vector<std::string>& names, const std::string& s) {
    return std::find(names.begin(), names.end(), s) != names.end();
}

Args parse(int argc, char** argv) {
    Args a;
    if (argc < 2)
        throw UsageError("no command given (try xbtool --help)");
    a.command = argv[1];
    const CommandSyntax* cmd = nullptr;
    for (const CommandSyntax& c : syntax())
        if (a.command == c.name)
            cmd = &c;
    if (!cmd)
        throw UsageError("unknown command \"" + a.command + "\" (try xbtool --help)");
    for (int i = 2; i < argc; ++i) {
        std::string s = argv[i];
        if (listed(cmd->options, s)) {
            if (i + 1 >= argc)
                throw UsageError(s + " needs a value");
            if (a.options.count(s))
                throw UsageError(a.command + ": " + s + " given twice");
            a.options[s] = argv[++i];
        } else if (listed(cmd->flags, s)) {
            a.flags.push_back(s);
        } else if (s.size() > 2 && s.rfind("--", 0) == 0) {
            throw UsageError(a.command + ": unknown option " + s + " (try xbtool --help)");
        } else if (a.file.empty()) {
            a.file = s;
        } else if (a.positional.size() < cmd->positional) {
            a.positional.push_back(s);
        } else {
            throw UsageError(a.command + ": unexpected argument \"" + s + "\"");
        }
    }
    if (a.file.empty())
        throw UsageError(a.command + ": no table file given");
    return a;
}

std::unique_ptr<Table> openRead(const std::string& file) {
    OpenOptions o;
    o.readOnly = true;
    o.exclusive = false;
    return Table::open(file, o);
}

std::unique_ptr<Table> openWrite(const std::string& file) { return Table::open(file, OpenOptions{}); }

// Opens for reading; when only the production index is damaged (the table
// opens without it), opens the table alone and puts the index's error in
// `indexError`, so its records can still be looked at.
std::unique_ptr<Table> openReadWithoutBrokenIndex(const std::string& file, std::string& indexError) {
    try {
        return openRead(file);
    } catch (const Error& e) {
        if (e.code() != Error::Code::Corrupt)
            throw;
        OpenOptions o;
        o.readOnly = true;
        o.exclusive = false;
        o.openProductionIndex = false;
        std::unique_ptr<Table> t;
        try {
            t = Table::open(file, o);
        } catch (const Error&) {
            throw e;
        }
        indexError = e.what();
        return t;
    }
}

std::string untrustedText(const Table& t) {
    return t.indexProblem() + " (xbtool reindex " + t.path() + " rebuilds them)";
}

void selectTag(Table& t, const Args& a, bool required) {
    std::string tag = a.opt("--tag");
    if (tag.empty()) {
        if (required)
            throw UsageError(a.command + ": --tag NAME is required");
        return;
    }
    if (t.tagOrder(tag) == 0)
        throw Error(Error::Code::Argument, t.path() + ": no tag named " + tag);
    // A tag that may be stale would give a wrong order or a wrong seek
    // result that looks right: refuse, and say how to repair it.
    if (!t.indexTrustworthy())
        throw Error(Error::Code::State, untrustedText(t));
    t.setOrder(std::string_view(tag));
}

// ---- commands ----------------------------------------------------------------

const char* versionName(uint8_t v) {
    switch (v) {
    case 0x03: return "FoxPro 2.x / dBASE III, no memo";
    case 0x83: return "dBASE III with DBT memo";
    case 0x8B: return "dBASE IV with memo";
    case 0xF5: return "FoxPro 2.x with FPT memo";
    case 0x30: return "Visual FoxPro";
    case 0x31: return "Visual FoxPro with auto-increment";
    case 0x32: return "Visual FoxPro with varchar/blob";
    default: return "unknown";
    }
}

int cmdInfo(const Args& a) {
    std::string indexError;
    auto t = openReadWithoutBrokenIndex(a.file, indexError);
    char buf[64];
    std::snprintf(buf, sizeof buf, "0x%02X", unsigned(t->version()));
    std::cout << "file: " << t->path() << "\n";
    std::cout << "version: " << buf << " (" << versionName(uint8_t(t->version())) << ")\n";
    std::snprintf(buf, sizeof buf, "0x%02X", unsigned(t->codePage()));
    std::cout << "code page: " << buf << "\n";
    std::cout << "records: " << t->recCount() << "\n";
    std::cout << "header length: " << t->headerLength() << "\n";
    std::cout << "record length: " << t->recordLength() << "\n";
    std::cout << "fields: " << t->fields().size() << "\n";
    for (const FieldDef& f : t->fields())
        std::cout << "  " << f.name << " " << f.type << " " << f.width << " " << f.decimals << "\n";
    if (!indexError.empty())
        std::cout << "index: cannot be read (" << indexError << ")";
    else
        std::cout << "index: " << (t->indexFileName().empty() ? "(none)" : t->indexFileName());
    if (!t->indexFileName().empty() && !t->indexTrustworthy())
        std::cout << " (not trustworthy: " << t->indexProblem() << "; run xbtool reindex)";
    std::cout << "\n";
    std::cout << "tags: " << t->tagCount() << "\n";
    for (int i = 1; i <= t->tagCount(); ++i) {
        TagInfo info = t->tagInfo(i);
        std::cout << "  " << info.name << " " << info.keyExpr;
        if (!info.forExpr.empty())
            std::cout << " FOR " << info.forExpr;
        if (info.descending)
            std::cout << " DESCENDING";
        if (info.unique)
            std::cout << " UNIQUE";
        std::cout << "\n";
    }
    if (!indexError.empty()) {
        std::cerr << "xbtool: " << indexError << "\n";
        return 2;
    }
    return 0;
}

int cmdDump(const Args& a) {
    // A damaged index does not keep a dump in file order from the records.
    std::string indexError;
    auto t = a.opt("--tag").empty() ? openReadWithoutBrokenIndex(a.file, indexError) : openRead(a.file);
    if (!indexError.empty())
        std::cerr << "xbtool: warning: " << indexError << "\n";
    t->setTurboRead(true);
    selectTag(*t, a, false);
    if (a.has("--hide-deleted"))
        t->setDeleted(true);
    if (!a.opt("--filter").empty())
        t->setFilter(a.opt("--filter"));
    std::string line;
    const int n = int(t->fields().size());
    for (t->goTop(); !t->eof(); t->skip()) {
        line.clear();
        line += std::to_string(t->recno());
        line += '\t';
        if (t->deleted())
            line += '*';
        for (int i = 0; i < n; ++i) {
            line += '\t';
            try {
                line += escapeValue(t->getString(i));
            } catch (const Error& e) {
                // Say where: a damaged memo pointer stops the dump at its record.
                throw Error(e.code(), "record " + std::to_string(t->recno()) + " field " + t->fields()[size_t(i)].name +
                                          ": " + e.what());
            }
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

std::vector<std::string> splitTabs(const std::string& s) {
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == '\t')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

// A logical value as dump writes it (T, F or empty for never set); Y and N
// are taken too. Anything else is refused rather than stored as false.
bool logicalText(const std::string& v) {
    return v.size() == 1 && std::strchr("TtFfYyNn", v[0]) != nullptr;
}

// Why `v` cannot go into field `f` of `t`, or "" when it can. Append checks
// every value of a line before it adds the record, so a bad line adds
// nothing (a record appended and then refused a value would stay behind half
// filled).
std::string refusal(const Table& t, const FieldDef& f, const std::string& v) {
    if (v.empty())
        return {};
    switch (f.type) {
    case 'N':
    case 'F':
    case 'I':
    case 'B':
    case 'Y': {
        size_t b = v.find_first_not_of(' ');
        if (b == std::string::npos)
            return {};
        // Plain decimal text, as a table stores numbers: no exponent, no
        // hexadecimal, no infinity.
        size_t e = v.find_last_not_of(' ');
        size_t i = b + (v[b] == '-' || v[b] == '+' ? 1 : 0);
        size_t digits = 0, points = 0;
        for (; i <= e; ++i) {
            if (std::isdigit(static_cast<unsigned char>(v[i])))
                ++digits;
            else if (v[i] == '.')
                ++points;
            else
                break;
        }
        if (i <= e || digits == 0 || points > 1)
            return "\"" + v + "\" is not a number";
        double d = std::strtod(v.c_str() + b, nullptr);
        // The field would hold asterisks instead.
        if ((f.type == 'N' || f.type == 'F') && numberText(f, d).find('*') != std::string::npos)
            return v + " does not fit in " + std::to_string(f.width) + " characters with " +
                   std::to_string(f.decimals) + " decimals";
        if (f.type == 'I' && !(std::nearbyint(d) >= -2147483648.0 && std::nearbyint(d) <= 2147483647.0))
            return v + " is out of range for an integer field";
        if (f.type == 'Y' && !(std::fabs(d) < 9.2e14))
            return v + " is out of range for a currency field";
        return {};
    }
    case 'L':
        return logicalText(v) ? std::string() : "\"" + v + "\" is not a logical value (T or F)";
    case 'T':
        return "datetime fields cannot be written";
    case 'M':
        // dBASE III and IV tables keep memos in a DBT file, which is read only.
        return uint8_t(t.version()) == 0x83 || uint8_t(t.version()) == 0x8B ? "dBASE memo files cannot be written"
                                                                             : std::string();
    default:
        return {};
    }
}

int cmdAppend(const Args& a) {
    auto t = openWrite(a.file);
    if (!t->indexFileName().empty() && !t->indexTrustworthy())
        std::cerr << "xbtool: warning: " << untrustedText(*t) << "\n";
    const size_t n = t->fields().size();
    std::string line;
    std::vector<std::string> values(n);
    size_t lineNo = 0;
    auto fail = [&](const std::string& why) {
        std::string text = why;
        if (text.rfind(t->path() + ": ", 0) == 0)
            text.erase(0, t->path().size() + 2);
        return Error(Error::Code::Argument, t->path() + ": line " + std::to_string(lineNo) + ": " + text);
    };
    while (std::getline(std::cin, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::vector<std::string> cols = splitTabs(line);
        if (cols.size() != n + 2)
            throw fail(std::to_string(cols.size() < 2 ? 0 : cols.size() - 2) + " values for " + std::to_string(n) +
                       " fields");
        if (cols[1] != "" && cols[1] != "*")
            throw fail("the mark column must be empty or *");
        for (size_t i = 0; i < n; ++i) {
            const FieldDef& f = t->fields()[i];
            if (!unescapeValue(cols[i + 2], values[i]))
                throw fail("field " + f.name + ": text that Windows-1252 cannot hold");
            std::string why = refusal(*t, f, values[i]);
            if (!why.empty())
                throw fail("field " + f.name + ": " + why);
        }
        try {
            t->appendBlank();
            for (size_t i = 0; i < n; ++i) {
                if (values[i].empty())
                    continue;
                if (t->fields()[i].type == 'M')
                    t->putMemo(int(i), values[i]);
                else
                    t->putString(int(i), values[i]);
            }
            if (cols[1] == "*")
                t->deleteRecord();
            t->commit();
        } catch (const Error& e) {
            throw fail(e.what());
        }
    }
    t->close();
    return 0;
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

int cmdKeys(const Args& a) {
    auto t = openRead(a.file);
    selectTag(*t, a, true);
    std::string line;
    for (t->goTop(); !t->eof(); t->skip()) {
        line = hex(t->currentKey());
        line += '\t';
        line += std::to_string(t->recno());
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

int cmdSeek(const Args& a) {
    auto t = openRead(a.file);
    selectTag(*t, a, true);
    t->setSoftSeek(a.has("--soft"));
    t->setExact(a.has("--exact"));
    t->setDeleted(a.has("--hide-deleted"));
    const bool logicalTag = t->tagInfo(t->order()).type == KeyType::Logical;
    bool allFound = true;
    std::string out, raw;
    auto seekOne = [&](const std::string& k) {
        if (!unescapeValue(k, raw))
            throw Error(Error::Code::Argument, "key \"" + k + "\": text that Windows-1252 cannot hold");
        if (logicalTag && !logicalText(raw))
            throw Error(Error::Code::Argument,
                        "key \"" + k + "\": tag " + t->orderName() + " is logical and takes T or F");
        bool found = t->seek(raw);
        if (found)
            out = "found " + std::to_string(t->recno());
        else if (t->eof())
            out = "not found eof";
        else
            out = "not found " + std::to_string(t->recno());
        allFound = allFound && found;
        out += '\n';
        std::fwrite(out.data(), 1, out.size(), stdout);
    };
    if (!a.opt("--keys-from").empty()) {
        if (!a.positional.empty())
            throw UsageError("seek: give one KEY or --keys-from FILE, not both");
        // Keys are sought as they are read: a key file may be far larger
        // than the memory worth spending on it.
        std::ifstream in(a.opt("--keys-from"), std::ios::binary);
        if (!in)
            throw Error(Error::Code::NotFound, a.opt("--keys-from") + ": cannot read the key file");
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            seekOne(line);
        }
    } else {
        if (a.positional.size() != 1)
            throw UsageError("seek: give one KEY or --keys-from FILE");
        seekOne(a.positional[0]);
    }
    return allFound ? 0 : 1;
}

int cmdCheck(const Args& a) {
    // A damaged production index is a fault to report, and the table is
    // still checked.
    std::vector<std::string> faults;
    std::string indexError;
    auto t = openReadWithoutBrokenIndex(a.file, indexError);
    if (!indexError.empty())
        faults.push_back(indexError);
    t->check(faults);
    for (const std::string& f : faults)
        std::cout << f << "\n";
    if (faults.empty()) {
        std::cout << a.file << ": sound (" << t->recCount() << " records, " << t->tagCount() << " tags)\n";
        return 0;
    }
    return 1;
}

int cmdCreate(const Args& a) {
    std::string spec = a.opt("--fields");
    if (spec.empty())
        throw UsageError("create: --fields NAME:TYPE:WIDTH[:DEC],... is required");
    std::vector<FieldDef> fields;
    std::stringstream ss(spec);
    std::string item;
    while (std::getline(ss, item, ',')) {
        std::vector<std::string> p;
        std::stringstream is(item);
        std::string part;
        while (std::getline(is, part, ':'))
            p.push_back(part);
        if (p.size() < 2 || p.size() > 4 || p[1].size() != 1)
            throw UsageError("create: field \"" + item + "\" is not NAME:TYPE:WIDTH[:DEC]");
        FieldDef f;
        f.name = p[0];
        f.type = p[1][0];
        auto number = [&](const std::string& text) {
            // The whole text: "12abc" is not a width of 12.
            size_t used = 0;
            int v = -1;
            try {
                v = std::stoi(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (text.empty() || used != text.size())
                throw UsageError("create: field \"" + item + "\" has a width or decimals that is not a number");
            return v;
        };
        f.width = p.size() > 2 ? number(p[2]) : 0;
        f.decimals = p.size() > 3 ? number(p[3]) : 0;
        fields.push_back(f);
    }
    Table::create(a.file, fields);
    return 0;
}

int cmdIndex(const Args& a) {
    if (a.opt("--tag").empty() || a.opt("--expr").empty())
        throw UsageError("index: --tag NAME and --expr EXPR are required");
    auto t = openWrite(a.file);
    t->createTag(a.opt("--tag"), a.opt("--expr"), a.opt("--for"), a.has("--descending"), a.has("--unique"));
    t->close();
    return 0;
}

int cmdReindex(const Args& a) {
    std::unique_ptr<Table> t;
    try {
        t = openWrite(a.file);
    } catch (const Error& e) {
        // The tag definitions live in the index itself: when it cannot be
        // read at all they are lost, and the way out is to make them anew.
        std::string ignored;
        if (e.code() != Error::Code::Corrupt || !openReadWithoutBrokenIndex(a.file, ignored) || ignored.empty())
            throw;
        throw Error(e.code(), std::string(e.what()) +
                                  "; the tag definitions cannot be read from it: remove the index file and "
                                  "create the tags again with xbtool index");
    }
    if (t->tagCount() == 0)
        throw Error(Error::Code::State, a.file + ": has no production index to rebuild");
    t->reindex();
    t->close();
    return 0;
}

int cmdPack(const Args& a) {
    auto t = openWrite(a.file);
    t->pack();
    t->close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                      std::strcmp(argv[1], "help") == 0)) {
        std::cout << kHelp;
        return 0;
    }
    try {
        Args a = parse(argc, argv);
        const std::map<std::string, int (*)(const Args&)> commands = {
            {"info", cmdInfo},   {"dump", cmdDump},     {"append", cmdAppend},   {"keys", cmdKeys},
            {"seek", cmdSeek},   {"check", cmdCheck},   {"create", cmdCreate},   {"index", cmdIndex},
            {"reindex", cmdReindex}, {"pack", cmdPack},
        };
        int rc = commands.at(a.command)(a);
        std::cout.flush();
        std::fflush(stdout);
        return rc;
    } catch (const UsageError& e) {
        std::cerr << "xbtool: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "xbtool: " << e.what() << "\n";
        return 2;
    }
}
