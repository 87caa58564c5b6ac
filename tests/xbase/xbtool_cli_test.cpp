// xbtool driven as a user drives it: through the binary, its output and its
// exit status.
#include "peer_fixture.h"
#include "table_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int code;
    std::string out, err;
};

Result run(const std::string& args, const std::string& input = "") {
    static int counter = 0;
    std::string base = (std::filesystem::temp_directory_path() / ("xbtool_cli_" + std::to_string(getpid()) + "_" +
                                                                   std::to_string(counter++)))
                           .string();
    std::string cmd = std::string(QB_XBTOOL) + " " + args + " 2>" + base + ".err";
    if (!input.empty()) {
        std::ofstream(base + ".in", std::ios::binary) << input;
        cmd += " <" + base + ".in";
    }
    FILE* p = popen(cmd.c_str(), "r");
    Result r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(base + ".err");
    r.err.assign(std::istreambuf_iterator<char>(err), {});
    std::filesystem::remove(base + ".err");
    std::filesystem::remove(base + ".in");
    return r;
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> v;
    std::string cur;
    for (char c : s) {
        if (c == '\n') {
            v.push_back(cur);
            cur.clear();
        } else
            cur.push_back(c);
    }
    if (!cur.empty())
        v.push_back(cur);
    return v;
}

class Xbtool : public ::testing::Test {
protected:
    tabletest::TempDir dir;
};

TEST_F(Xbtool, DumpWritesUtf8WithEscapesAndAppendCopiesATableExactly) {
    std::string src = peer::copyTable("ADDRPEER", dir.path());
    Result dump = run("dump " + src);
    ASSERT_EQ(dump.code, 0) << dump.err;
    std::vector<std::string> ls = lines(dump.out);
    ASSERT_EQ(ls.size(), 300u);
    // Record 9: accented name; record 18: the deletion mark; record 8: memo lines.
    EXPECT_EQ(ls[8].substr(0, 18), "9\t\tM\xC3\xBCller\tJ\xC3\xBCrgen");
    EXPECT_EQ(ls[17].substr(0, 4), "18\t*");
    EXPECT_NE(ls[7].find("\\r\\n"), std::string::npos);
    EXPECT_EQ(ls[14].find("\xC3\x85str\xC3\xB6m"), 4u); // Åström
    EXPECT_NE(ls[15].find("Dvo\xC5\xA1\xC3\xA1k"), std::string::npos); // Dvošák: 0x9A via UTF-8
    EXPECT_EQ(std::count(ls[0].begin(), ls[0].end(), '\t'), 24);

    std::string copy = dir.file("COPY.DBF");
    Result info = run("info " + src);
    ASSERT_EQ(info.code, 0);
    std::string fields;
    for (const std::string& l : lines(info.out))
        if (l.size() > 2 && l.substr(0, 2) == "  " && l.find('(') == std::string::npos && l.find(' ', 2) < 12) {
            std::istringstream ss(l);
            std::string name, type, width, dec;
            ss >> name >> type >> width >> dec;
            if (dec.empty() || !std::isdigit(static_cast<unsigned char>(dec[0])))
                continue;
            fields += (fields.empty() ? "" : ",") + name + ":" + type + ":" + width + ":" + dec;
        }
    EXPECT_EQ(run("create " + copy + " --fields " + fields).code, 0);
    EXPECT_EQ(run("index " + copy + " --tag LNAME --expr \"UPPER(LNAME)+UPPER(FNAME)\"").code, 0);
    Result app = run("append " + copy, dump.out);
    ASSERT_EQ(app.code, 0) << app.err;
    Result again = run("dump " + copy);
    EXPECT_EQ(again.out, dump.out);
    // The tag was kept up to date while appending: same order as the peer's.
    EXPECT_EQ(run("dump " + copy + " --tag LNAME").out, run("dump " + src + " --tag LNAME").out);
    EXPECT_EQ(run("check " + copy).code, 0);
}

TEST_F(Xbtool, DumpFollowsTagFilterAndHiddenDeletions) {
    std::string src = peer::copyTable("KEYTYPES", dir.path());
    auto first = [](const std::string& out) {
        std::vector<std::string> r;
        for (const std::string& l : lines(out))
            r.push_back(l.substr(0, l.find('\t')));
        return r;
    };
    EXPECT_EQ(first(run("dump " + src + " --tag NAMEFOR").out),
              (std::vector<std::string>{"2", "4", "6", "8", "9", "11", "12", "13"}));
    EXPECT_EQ(first(run("dump " + src + " --filter \"AMOUNT<0\"").out),
              (std::vector<std::string>{"3", "5", "7", "10"}));
    EXPECT_EQ(first(run("dump " + src + " --filter \"AMOUNT<0\" --hide-deleted").out),
              (std::vector<std::string>{"3", "7", "10"}));
    Result bad = run("dump " + src + " --filter \"AMOUNT<\"");
    EXPECT_EQ(bad.code, 2);
    EXPECT_FALSE(bad.err.empty());
}

TEST_F(Xbtool, KeysAndSeeksMatchThePeerEngine) {
    std::string csz = peer::copyTable("CSZ", dir.path());
    Result keys = run("keys " + csz + " --tag STATE");
    ASSERT_EQ(keys.code, 0) << keys.err;
    std::vector<std::string> ls = lines(keys.out);
    ASSERT_EQ(ls.size(), 10u);
    EXPECT_EQ(ls[0], "494C2020\t1"); // "IL  "
    EXPECT_EQ(ls[8], "54582020\t5"); // second "TX  "

    std::string kt = peer::copyTable("KEYTYPES", dir.path());
    EXPECT_EQ(lines(run("keys " + kt + " --tag AMOUNT").out)[0].substr(0, 16), "3F37E329374BC6A7"); // -12345.678: sign bit set, every bit inverted

    peer::Expected e = peer::load(peer::fixtureDir() + "/KEYTYPES.expected.txt");
    for (bool hide : {false, true})
        for (bool soft : {false, true}) {
            std::map<std::string, std::pair<std::string, std::string>> perTag; // keys, expected output
            for (const peer::Seek& s : e.seeks) {
                if (s.hideDeleted != hide || s.soft != soft)
                    continue;
                perTag[s.tag].first += s.key + "\n";
                perTag[s.tag].second += s.found ? "found " + std::to_string(s.recno) + "\n"
                                        : s.recno ? "not found " + std::to_string(s.recno) + "\n"
                                                  : "not found eof\n";
            }
            for (auto& [tag, io] : perTag) {
                SCOPED_TRACE(tag + (hide ? " hide" : "") + (soft ? " soft" : ""));
                std::string keyFile = dir.file("keys.txt");
                std::ofstream(keyFile, std::ios::binary) << io.first;
                Result r = run("seek " + kt + " --tag " + tag + (hide ? " --hide-deleted" : "") +
                               (soft ? " --soft" : "") + " --keys-from " + keyFile);
                EXPECT_EQ(r.out, io.second);
                EXPECT_EQ(r.code, io.second.find("not found") == std::string::npos ? 0 : 1);
            }
        }
    EXPECT_EQ(run("seek " + csz + " --tag STATE TX").out, "found 4\n");
    EXPECT_EQ(run("seek " + csz + " --tag STATE --exact T").code, 1);
}

TEST_F(Xbtool, CheckPassesOnEveryPeerTableAndNamesADamagedTag) {
    for (const std::string& name : peer::tableNames()) {
        SCOPED_TRACE(name);
        std::string p = peer::copyTable(name, dir.path());
        Result r = run("check " + p);
        EXPECT_EQ(r.code, 0) << r.out << r.err;
    }
    // Change a key field behind the index's back.
    std::string p = dir.file("CSZ.DBF");
    {
        std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
        char h[12];
        f.read(h, 12);
        unsigned headerLen = uint8_t(h[8]) | uint8_t(h[9]) << 8;
        f.seekp(headerLen + 1 + 20); // record 1, field STATE
        f.write("ZZZZ", 4);
    }
    Result r = run("check " + p);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("tag STATE"), std::string::npos) << r.out;
    EXPECT_EQ(run("reindex " + p).code, 0);
    EXPECT_EQ(run("check " + p).code, 0);
}

TEST_F(Xbtool, CreateIndexPackAndErrors) {
    std::string p = dir.file("NEW.DBF");
    ASSERT_EQ(run("create " + p + " --fields name:C:10,amt:N:6:1,ok:L,notes:M").code, 0);
    EXPECT_EQ(run("append " + p, "0\t\tcarol\t1.5\tT\tfirst\\nsecond\n0\t*\talice\t2\tF\t\n0\t\tbob\t\t\t\n").code, 0);
    EXPECT_EQ(run("index " + p + " --tag NAME --expr \"UPPER(NAME)\"").code, 0);
    EXPECT_EQ(run("index " + p + " --tag POS --expr AMT --for \"AMT>0\" --descending").code, 0);
    Result info = run("info " + p);
    EXPECT_NE(info.out.find("records: 3"), std::string::npos);
    EXPECT_NE(info.out.find("  NAME UPPER(NAME)\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  POS AMT FOR AMT>0 DESCENDING\n"), std::string::npos) << info.out;
    EXPECT_EQ(run("dump " + p + " --tag POS").out, "2\t*\talice\t2.0\tF\t\n1\t\tcarol\t1.5\tT\tfirst\\nsecond\n");
    EXPECT_EQ(run("pack " + p).code, 0);
    EXPECT_EQ(run("dump " + p + " --tag NAME").out, "2\t\tbob\t\t\t\n1\t\tcarol\t1.5\tT\tfirst\\nsecond\n");
    EXPECT_EQ(run("check " + p).code, 0);

    struct Case {
        std::string args, input;
    };
    const Case errors[] = {
        {"info " + dir.file("MISSING.DBF"), ""},
        {"frobnicate " + p, ""},
        {"dump", ""},
        {"create " + p + " --fields a:C:5", ""},          // exists
        {"create " + dir.file("X.DBF") + " --fields a:Q:5", ""},
        {"create " + dir.file("X.DBF") + " --fields a:C:12abc", ""}, // not a width of 12
        {"keys " + p, ""},                                 // --tag missing
        {"keys " + p + " --tag NOPE", ""},
        {"append " + p, "0\t\tonly one value\n"},
        {"index " + p + " --tag BAD --expr \"UPPER(\"", ""},
        // A misspelt or misplaced option or argument is refused, not ignored.
        {"dump " + p + " --hide-delted", ""},
        {"dump " + p + " --tag NAME --tag POS", ""},
        {"info " + p + " extra", ""},
        {"keys " + p + " --tag NAME --soft", ""},
        {"seek " + p + " --tag NAME --keys-from " + p + " BOB", ""},
        {"seek " + p + " --tag NAME BOB CAROL", ""},
    };
    for (const Case& c : errors) {
        SCOPED_TRACE(c.args);
        Result r = run(c.args, c.input);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("xbtool: "), std::string::npos) << r.err;
    }
    Result help = run("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--keys-from"), std::string::npos);
}

// Values dump must escape, and bytes 0x80-0x9F of Windows-1252 (including
// those it leaves undefined), survive dump | append unchanged.
TEST_F(Xbtool, EscapesAndWindows1252SurviveDumpAndAppend) {
    std::string p = dir.file("ESC.DBF");
    {
        xbase::Table::create(p, {{"TEXT", 'C', 20, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
        auto t = xbase::Table::open(p);
        t->appendBlank();
        t->putString(0, "a\\b\tc\rd\ne");
        t->putMemo(1, "\x80\x81\x8D\x9F\xFF\\n");
        t->close();
    }
    Result dump = run("dump " + p);
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_EQ(dump.out, "1\t\ta\\\\b\\tc\\rd\\ne\t\xE2\x82\xAC\xC2\x81\xC2\x8D\xC5\xB8\xC3\xBF\\\\n\n");
    std::string copy = dir.file("COPY.DBF");
    ASSERT_EQ(run("create " + copy + " --fields TEXT:C:20,NOTES:M").code, 0);
    Result app = run("append " + copy, dump.out);
    ASSERT_EQ(app.code, 0) << app.err;
    auto t = xbase::Table::open(copy);
    t->goTop();
    EXPECT_EQ(t->getString(0), "a\\b\tc\rd\ne");
    EXPECT_EQ(t->getMemo(1), "\x80\x81\x8D\x9F\xFF\\n");
}

// A line append cannot take adds nothing: the lines before it stay, the
// line itself leaves no half-filled record, and the message names the line.
TEST_F(Xbtool, AppendRefusesABadLineWhole) {
    std::string p = dir.file("APP.DBF");
    ASSERT_EQ(run("create " + p + " --fields NAME:C:8,AMT:N:6:2,OK:L").code, 0);
    struct Case {
        const char* line;
        const char* field;
    };
    const Case bad[] = {
        {"0\t\tbob\t12x\tT\n", "AMT"},
        {"0\t\tbob\t1e3\tT\n", "AMT"},   // numbers as a table stores them: no exponent
        {"0\t\tbob\t1234\tT\n", "AMT"},  // "1234.00" would not fit in 6: stored as asterisks
        {"0\t\tbob\t12\tX\n", "OK"},
        {"0\t\tbob\t12\tyes\n", "OK"},
        {"0\t\tbob\t\xC4\x80\tT\n", "AMT"}, // a character Windows-1252 cannot hold
    };
    int records = 0;
    for (const Case& c : bad) {
        SCOPED_TRACE(c.line);
        Result r = run("append " + p, "0\t\tgood\t1.5\tF\n" + std::string(c.line));
        ++records;
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.field), std::string::npos) << r.err;
        std::vector<std::string> rows = lines(run("dump " + p).out);
        ASSERT_EQ(rows.size(), size_t(records));
        EXPECT_EQ(rows.back(), std::to_string(records) + "\t\tgood\t1.50\tF");
    }
    EXPECT_EQ(run("append " + p, "0\t\tlow\t\tt\n").code, 0);
    EXPECT_EQ(lines(run("dump " + p).out).back(), std::to_string(records + 1) + "\t\tlow\t\tT");
}

// Seeks on a logical tag take T or F; anything else is an error, not a
// silent seek for F.
TEST_F(Xbtool, LogicalTagsSeekTOrF) {
    std::string p = dir.file("LOG.DBF");
    ASSERT_EQ(run("create " + p + " --fields NAME:C:8,OK:L").code, 0);
    ASSERT_EQ(run("append " + p, "0\t\ta\tF\n0\t\tb\tT\n0\t\tc\t\n").code, 0);
    ASSERT_EQ(run("index " + p + " --tag OK --expr OK").code, 0);
    EXPECT_EQ(run("seek " + p + " --tag OK T").out, "found 2\n");
    EXPECT_EQ(run("seek " + p + " --tag OK f").out, "found 1\n");
    for (const char* key : {"X", "TRUE", "\"\""}) {
        Result r = run("seek " + p + " --tag OK " + key);
        EXPECT_EQ(r.code, 2) << key;
        EXPECT_NE(r.err.find("T or F"), std::string::npos) << r.err;
    }
}

// An index left open for writing by a process that died is not trusted:
// the commands that read in a tag's order refuse and point at reindex,
// info says so, and after reindex they work again.
TEST_F(Xbtool, StaleIndexIsRefusedUntilReindexed) {
    std::string p = dir.file("DIED.DBF");
    ASSERT_EQ(run("create " + p + " --fields NAME:C:8").code, 0);
    ASSERT_EQ(run("index " + p + " --tag NAME --expr NAME").code, 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            auto t = xbase::Table::open(p);
            for (int i = 0; i < 40; ++i) {
                t->appendBlank();
                t->putString(0, "n" + std::to_string(i));
                t->commit();
            }
            _exit(0); // with the table still open: the index keeps its open-for-writing mark
        } catch (...) {
            _exit(3);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    for (const std::string& args : {"dump " + p + " --tag NAME", "keys " + p + " --tag NAME",
                                    "seek " + p + " --tag NAME n1"}) {
        SCOPED_TRACE(args);
        Result r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("reindex"), std::string::npos) << r.err;
    }
    EXPECT_NE(run("info " + p).out.find("not trustworthy: " + dir.file("DIED.CDX") + ": left open for writing"),
              std::string::npos);
    EXPECT_EQ(lines(run("dump " + p).out).size(), 40u); // physical order needs no index
    ASSERT_EQ(run("reindex " + p).code, 0);
    EXPECT_EQ(run("seek " + p + " --tag NAME n1").out, "found 2\n");
    EXPECT_EQ(lines(run("keys " + p + " --tag NAME").out).size(), 40u);
    EXPECT_EQ(run("info " + p).out.find("not trustworthy"), std::string::npos);
}

// A memo pointer past the end of the memo file stops dump at that record
// with exit 2, and the message says which record and field.
TEST_F(Xbtool, DumpNamesTheRecordOfADamagedMemo) {
    std::string p = dir.file("HURT.DBF");
    ASSERT_EQ(run("create " + p + " --fields NAME:C:5,NOTES:M").code, 0);
    ASSERT_EQ(run("append " + p, "0\t\ta\tm1\n0\t\tb\tm2\n").code, 0);
    {
        std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
        char h[12];
        f.read(h, 12);
        unsigned headerLen = uint8_t(h[8]) | uint8_t(h[9]) << 8, recLen = uint8_t(h[10]) | uint8_t(h[11]) << 8;
        f.seekp(headerLen + recLen + 1 + 5); // record 2, NOTES
        f.write("     99999", 10);
    }
    Result r = run("dump " + p);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "1\t\ta\tm1\n");
    EXPECT_NE(r.err.find("record 2 field NOTES"), std::string::npos) << r.err;
}

// Points the root of tag NAME (the lowest tag header in the tag directory's
// root leaf) of ADDRPEER's index past the end of the file.
void damageNameRoot(const std::string& cdx) {
    std::fstream f(cdx, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    auto rd32 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24); };
    const size_t leaf = rd32(0);
    const int n = b[leaf + 2], recBits = b[leaf + 20], bytes = b[leaf + 23];
    uint32_t header = 0xFFFFFFFF;
    for (int i = 0; i < n; ++i) {
        uint64_t v = 0;
        for (int k = 0; k < bytes; ++k)
            v |= uint64_t(b[leaf + 24 + size_t(i * bytes + k)]) << (8 * k);
        header = std::min(header, uint32_t(v & ((uint64_t(1) << recBits) - 1)));
    }
    const char past[4] = {0x00, char(0xFE), char(0xFF), 0x7F};
    f.clear();
    f.seekp(header);
    f.write(past, 4);
}

// The tag directory's root pointer moved past the end of the file: no tag
// can be found, so the index cannot be opened at all.
void damageDirectoryRoot(const std::string& cdx) {
    std::fstream f(cdx, std::ios::in | std::ios::out | std::ios::binary);
    const char past[4] = {0x00, char(0xFE), char(0xFF), 0x7F};
    f.seekp(0);
    f.write(past, 4);
}

// An index that cannot be opened is a fault check reports (exit 1) while it
// still checks the table; the message names the index and the damage. The
// records stay in reach: info shows the table and dump lists them in file
// order (both saying what is wrong on standard error); a dump in a tag's
// order is refused.
TEST_F(Xbtool, AnIndexThatCannotBeOpenedLeavesTheRecordsInReach) {
    std::string p = peer::copyTable("ADDRPEER", dir.path());
    std::string src = peer::fixtureDir() + "/ADDRPEER.DBF";
    damageDirectoryRoot(dir.file("ADDRPEER.CDX"));
    Result r = run("check " + p);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("ADDRPEER.CDX"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tag directory"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");

    Result info = run("info " + p);
    EXPECT_EQ(info.code, 2);
    EXPECT_NE(info.out.find("records: 300"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("index: cannot be read (" + dir.file("ADDRPEER.CDX")), std::string::npos) << info.out;
    Result dump = run("dump " + p);
    EXPECT_EQ(dump.code, 0);
    EXPECT_EQ(dump.out, run("dump " + src).out);
    EXPECT_NE(dump.err.find("tag directory"), std::string::npos) << dump.err;
    EXPECT_EQ(run("dump " + p + " --tag LNAME").code, 2);
}

// One tag with a damaged root: the index still opens, check names the tag,
// reads in that tag's order are refused, and reindex repairs it.
TEST_F(Xbtool, ReindexRepairsATagWhoseRootIsDamaged) {
    std::string p = peer::copyTable("ADDRPEER", dir.path());
    std::string src = peer::fixtureDir() + "/ADDRPEER.DBF";
    damageNameRoot(dir.file("ADDRPEER.CDX"));
    // The table opens; the damaged tag is named and the index is not trusted
    // until it is rebuilt.
    EXPECT_EQ(run("dump " + p).code, 0);
    Result c = run("check " + p);
    EXPECT_EQ(c.code, 1) << c.err;
    EXPECT_NE(c.out.find("tag NAME"), std::string::npos) << c.out;
    EXPECT_EQ(run("dump " + p + " --tag NAME").code, 2);
    Result r = run("reindex " + p);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(run("check " + p).code, 0);
    EXPECT_EQ(run("dump " + p + " --tag NAME").out, run("dump " + src + " --tag NAME").out);
}

} // namespace
