// qbgen: writes a fictional address file (DBF, memo file and the 26 address
// tags) for demonstrations and benchmarks. The same seed always gives the
// same file.
//
//   qbgen OUT.DBF --records N [--seed S] [--force] [--check | --check-only]
//
// --force replaces an existing file (and its .CDX and .FPT); --check reopens
// the finished file, runs the engine's structure check and compares every
// record with the values generated again from the seed; --check-only does
// that to an existing file without writing it.
#include "data.h"
#include "xbase/expr.h"
#include "xbase/table.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace qbgen;

// The address record, fields in file order.
const std::vector<xbase::FieldDef> kFields = {
    {"LNAME", 'C', 30, 0, 0},  {"FNAME", 'C', 30, 0, 0},   {"MIDDLE", 'C', 1, 0, 0},
    {"PREFIX", 'C', 12, 0, 0}, {"TITLE", 'C', 30, 0, 0},   {"ORG", 'C', 30, 0, 0},
    {"STREET", 'C', 40, 0, 0}, {"STREET2", 'C', 40, 0, 0}, {"CITY", 'C', 30, 0, 0},
    {"STATE", 'C', 20, 0, 0},  {"ZIP", 'C', 10, 0, 0},     {"COUNTRY", 'C', 30, 0, 0},
    {"DATE", 'C', 15, 0, 0},   {"PHONE", 'C', 30, 0, 0},   {"PHONE2", 'C', 30, 0, 0},
    {"FAX", 'C', 30, 0, 0},    {"EMAIL", 'C', 30, 0, 0},   {"CODES", 'C', 30, 0, 0},
    {"USER1", 'C', 40, 0, 0},  {"USER2", 'C', 40, 0, 0},   {"ISDEL", 'L', 1, 0, 0},
    {"TAG", 'C', 8, 0, 0},     {"MEMO", 'M', 10, 0, 0},
};
enum Field {
    LNAME,
    FNAME,
    MIDDLE,
    PREFIX,
    TITLE,
    ORG,
    STREET,
    STREET2,
    CITY,
    STATE,
    ZIP,
    COUNTRY,
    DATE,
    PHONE,
    PHONE2,
    FAX,
    EMAIL,
    CODES,
    USER1,
    USER2,
    ISDEL,
    TAG,
    MEMO,
    kFieldCount
};

// The production index: tag name and key, in creation order.
const std::array<std::pair<const char*, const char*>, 26> kTags = {{
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
}};

// splitmix64: small, fast and the same on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % uint64_t(n)); }
    bool percent(int p) { return below(100) < p; }
    template <class T> const T& pick(const T* items, int count) { return items[below(count)]; }

private:
    uint64_t s_;
};

// Windows-1252 letter without its accent, for e-mail addresses.
char asciiFold(unsigned char c) {
    static const char latin[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo-ouuuuyty";
    if (c >= 0xC0)
        return latin[c - 0xC0];
    switch (c) {
    case 0x8A:
        return 'S';
    case 0x9A:
        return 's';
    case 0x8E:
        return 'Z';
    case 0x9E:
        return 'z';
    case 0x8C:
        return 'O';
    case 0x9C:
        return 'o';
    case 0x9F:
        return 'Y';
    default:
        return char(c);
    }
}

std::string mailPart(std::string_view s) {
    std::string r;
    for (char ch : s) {
        char c = asciiFold(static_cast<unsigned char>(ch));
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            r += c;
    }
    return r;
}

std::string digits(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += char('0' + rng.below(10));
    return s;
}

// Phone numbers in the range set aside for fiction (555-0100 to 555-0199).
std::string phone(Rng& rng, const char* area) {
    return std::string("(") + area + ") 555-01" + digits(rng, 2);
}

int totalPlaceWeight() {
    int w = 0;
    for (int i = 0; i < kPlaceCount; ++i)
        w += kPlaces[i].zipSpread ? kPlaces[i].zipSpread : 10;
    return w;
}

const Place& pickPlace(Rng& rng) {
    static const int total = totalPlaceWeight();
    int x = rng.below(total);
    for (int i = 0; i < kPlaceCount; ++i) {
        int w = kPlaces[i].zipSpread ? kPlaces[i].zipSpread : 10;
        if (x < w)
            return kPlaces[i];
        x -= w;
    }
    return kPlaces[0];
}

std::string postalCode(Rng& rng, const Place& p) {
    if (p.zipSpread == 0) { // Canadian: FSA, blank, digit letter digit
        static const char letters[] = "ABCEGHJKLMNPRSTVWXYZ";
        std::string s = std::string(p.zipBase) + " ";
        s += char('0' + rng.below(10));
        s += letters[rng.below(20)];
        s += char('0' + rng.below(10));
        return s;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%02d", p.zipBase, 1 + rng.below(p.zipSpread));
    std::string s = buf;
    if (rng.percent(15))
        s += "-" + digits(rng, 4);
    return s;
}

using Values = std::array<std::string, kFieldCount>;

// One record's values (text as stored, without padding; ISDEL "F").
void makeRecord(Rng& rng, Values& v) {
    for (auto& s : v)
        s.clear();
    // A third of the names come from the most common ones, so orders have
    // long runs of equal last names.
    v[LNAME] = rng.percent(35) ? kLastNames[rng.below(25)] : rng.pick(kLastNames, kLastNameCount);
    v[FNAME] = rng.pick(kFirstNames, kFirstNameCount);
    if (rng.percent(40))
        v[MIDDLE] = std::string(1, char('A' + rng.below(26)));
    if (rng.percent(70))
        v[PREFIX] = rng.percent(60) ? kPrefixes[rng.below(3)] : rng.pick(kPrefixes, kPrefixCount);
    if (rng.percent(40))
        v[TITLE] = rng.pick(kTitles, kTitleCount);
    if (rng.percent(45))
        v[ORG] = std::string(rng.pick(kOrgWords, kOrgWordCount)) + " " +
                 std::string(rng.pick(kOrgKinds, kOrgKindCount));
    v[STREET] = std::to_string(1 + rng.below(9999)) + " " +
                std::string(rng.pick(kStreetNames, kStreetNameCount)) + " " +
                std::string(rng.pick(kStreetKinds, kStreetKindCount));
    if (rng.percent(15)) {
        switch (rng.below(4)) {
        case 0:
            v[STREET2] = "Suite " + std::to_string(100 + rng.below(900));
            break;
        case 1:
            v[STREET2] = "Apt " + std::to_string(1 + rng.below(30)) + char('A' + rng.below(6));
            break;
        case 2:
            v[STREET2] = "PO Box " + std::to_string(1 + rng.below(4000));
            break;
        default:
            v[STREET2] = "Floor " + std::to_string(2 + rng.below(40));
            break;
        }
    }
    const Place& place = pickPlace(rng);
    v[CITY] = place.city;
    v[STATE] = place.state;
    v[ZIP] = postalCode(rng, place);
    if (place.zipSpread == 0 || rng.percent(50))
        v[COUNTRY] = place.country;
    if (rng.percent(70)) {
        long from = xbase::julianDay("19900101"), to = xbase::julianDay("20261231");
        v[DATE] = xbase::dateFromJulian(from + rng.below(int(to - from + 1)));
    }
    if (rng.percent(90))
        v[PHONE] = phone(rng, place.areaCode);
    if (rng.percent(30))
        v[PHONE2] = phone(rng, place.areaCode);
    if (rng.percent(15))
        v[FAX] = phone(rng, place.areaCode);
    if (rng.percent(60)) {
        std::string user = mailPart(v[FNAME]).substr(0, 1) + mailPart(v[LNAME]);
        if (rng.percent(30))
            user += std::to_string(rng.below(100));
        std::string mail = user + "@" + std::string(rng.pick(kMailDomains, kMailDomainCount));
        if (mail.size() <= 30)
            v[EMAIL] = mail;
    }
    if (rng.percent(50))
        v[CODES] = rng.pick(kCodes, kCodeCount);
    if (rng.percent(30))
        v[USER1] = rng.pick(kComments, kCommentCount);
    if (rng.percent(15))
        v[USER2] = rng.pick(kComments, kCommentCount);
    v[ISDEL] = "F";
    if (rng.percent(10)) {
        int lines = 1 + rng.below(4);
        for (int i = 0; i < lines; ++i) {
            if (i)
                v[MEMO] += "\r\n";
            v[MEMO] += rng.pick(kMemoLines, kMemoLineCount);
        }
    }
}

struct Options {
    std::string out;
    long records = -1;
    uint64_t seed = 1;
    bool force = false;
    bool check = false;
    bool generate = true;
};

[[noreturn]] void usage(const char* message) {
    if (message)
        std::fprintf(stderr, "qbgen: %s\n", message);
    std::fprintf(
        stderr, "usage: qbgen OUT.DBF --records N [--seed S] [--force] [--check | --check-only]\n");
    std::exit(2);
}

bool parseNumber(const char* s, unsigned long long& out) {
    if (!s || !*s)
        return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoull(s, &end, 10);
    return errno == 0 && *end == '\0' && s[0] != '-';
}

Options parseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        unsigned long long n = 0;
        if (a == "--records") {
            if (!parseNumber(i + 1 < argc ? argv[++i] : nullptr, n) || n > 100000000ull)
                usage("--records needs a number from 0 to 100000000");
            o.records = long(n);
        } else if (a == "--seed") {
            if (!parseNumber(i + 1 < argc ? argv[++i] : nullptr, n))
                usage("--seed needs a non-negative number");
            o.seed = n;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--check-only") {
            o.check = true;
            o.generate = false;
        } else if (a == "--help" || a == "-h") {
            usage(nullptr);
        } else if (!a.empty() && a[0] == '-') {
            usage(("unknown option " + a).c_str());
        } else if (o.out.empty()) {
            o.out = a;
        } else {
            usage("only one output file");
        }
    }
    if (o.out.empty())
        usage("no output file");
    if (o.records < 0)
        usage("--records is required");
    return o;
}

std::filesystem::path sibling(const std::string& path, const char* ext) {
    return std::filesystem::path(path).replace_extension(ext);
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void generate(const Options& o) {
    for (const char* ext : {".DBF", ".CDX", ".FPT"}) {
        std::filesystem::path p =
            ext == std::string(".DBF") ? std::filesystem::path(o.out) : sibling(o.out, ext);
        std::error_code ec;
        if (std::filesystem::exists(p, ec)) {
            if (!o.force)
                throw xbase::Error(xbase::Error::Code::Argument,
                                   p.string() + " exists (use --force to replace it)");
            std::filesystem::remove(p);
        }
        // The lower-case spellings the engine may also use.
        if (ext != std::string(".DBF")) {
            std::string lower = ext;
            for (char& c : lower)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            std::filesystem::path q = sibling(o.out, lower.c_str());
            if (std::filesystem::exists(q, ec)) {
                if (!o.force)
                    throw xbase::Error(xbase::Error::Code::Argument,
                                       q.string() + " exists (use --force to replace it)");
                std::filesystem::remove(q);
            }
        }
    }
    auto t0 = std::chrono::steady_clock::now();
    xbase::Table::create(o.out, kFields);
    auto table = xbase::Table::open(o.out);
    Rng rng(o.seed);
    Values v;
    for (long r = 0; r < o.records; ++r) {
        makeRecord(rng, v);
        table->appendBlank();
        for (int f = 0; f < kFieldCount; ++f) {
            if (f == ISDEL)
                table->putLogical(f, false);
            else if (f == MEMO) {
                if (!v[MEMO].empty())
                    table->putMemo(f, v[MEMO]);
            } else if (!v[size_t(f)].empty())
                table->putString(f, v[size_t(f)]);
        }
    }
    table->commit();
    std::fprintf(stderr, "qbgen: %ld records written in %.2f s\n", o.records, seconds(t0));
    auto t1 = std::chrono::steady_clock::now();
    for (const auto& [name, key] : kTags)
        table->createTag(name, key);
    std::fprintf(stderr, "qbgen: %zu tags built in %.2f s\n", kTags.size(), seconds(t1));
    table->close();
}

// Reopen the file, let the engine check it, and compare every record with
// the values the seed gives.
int check(const Options& o) {
    auto t0 = std::chrono::steady_clock::now();
    int faults = 0;
    auto report = [&](const std::string& s) {
        if (++faults <= 20)
            std::fprintf(stderr, "qbgen check: %s\n", s.c_str());
    };
    xbase::OpenOptions oo;
    oo.readOnly = true;
    auto table = xbase::Table::open(o.out, oo);
    if (table->fields().size() != kFields.size())
        report("the table has " + std::to_string(table->fields().size()) + " fields");
    for (size_t i = 0; i < kFields.size() && i < table->fields().size(); ++i) {
        const auto& f = table->fields()[i];
        if (f.name != kFields[i].name || f.type != kFields[i].type || f.width != kFields[i].width)
            report("field " + std::to_string(i + 1) + " is " + f.name);
    }
    if (table->tagCount() != int(kTags.size()))
        report("the index has " + std::to_string(table->tagCount()) + " tags");
    for (int i = 1; i <= table->tagCount() && i <= int(kTags.size()); ++i) {
        xbase::TagInfo t = table->tagInfo(i);
        if (t.name != kTags[size_t(i - 1)].first || t.keyExpr != kTags[size_t(i - 1)].second)
            report("tag " + std::to_string(i) + " is " + t.name + " " + t.keyExpr);
    }
    if (table->recCount() != uint32_t(o.records))
        report("the table has " + std::to_string(table->recCount()) + " records");
    std::vector<std::string> engineFaults;
    table->check(engineFaults);
    for (const auto& f : engineFaults)
        report(f);

    table->setOrder(0);
    Rng rng(o.seed);
    Values v;
    for (long r = 1; r <= o.records && r <= long(table->recCount()); ++r) {
        makeRecord(rng, v);
        table->go(uint32_t(r));
        for (int f = 0; f < kFieldCount; ++f) {
            std::string got = f == MEMO ? table->getMemo(f) : table->getString(f);
            if (got != v[size_t(f)])
                report("record " + std::to_string(r) + " field " + kFields[size_t(f)].name +
                       " reads \"" + got + "\", expected \"" + v[size_t(f)] + "\"");
        }
    }
    table->close();
    std::fprintf(stderr, "qbgen: check %s (%d faults) in %.2f s\n", faults ? "FAILED" : "passed",
                 faults, seconds(t0));
    return faults ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o = parseArgs(argc, argv);
    try {
        if (o.generate)
            generate(o);
        return o.check ? check(o) : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qbgen: %s\n", e.what());
        return 1;
    }
}
