// Tags kept up to date by this engine: tables rebuilt from the peer tables'
// records, with their tags created first and maintained record by record,
// must read in exactly the orders the peer engine produced; so must a bulk
// rebuild. Seeks, scopes, filters and temporary indexes on top.
#include "peer_fixture.h"
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <random>

using namespace xbase;
using tabletest::TempDir;

namespace {

std::vector<unsigned> orderOf(Table& t, const std::string& tag) {
    t.setOrder(std::string_view(tag));
    std::vector<unsigned> got;
    for (t.goTop(); !t.eof(); t.skip())
        got.push_back(t.recno());
    return got;
}

// Write the expected records of a peer table into `path` (tags created first).
void rebuild(const peer::Expected& e, const std::string& path) {
    std::vector<FieldDef> fields;
    for (const peer::Field& f : e.fields)
        fields.push_back({f.name, f.type, f.width, f.decimals, 0});
    Table::create(path, fields);
    auto t = Table::open(path);
    std::vector<const peer::Tag*> byOrder(e.tags.size());
    for (const peer::Tag& tag : e.tags)
        byOrder[size_t(std::stoi(tag.props.at("order")) - 1)] = &tag;
    for (const peer::Tag* tag : byOrder)
        t->createTag(tag->name, tag->props.at("key"), tag->props.at("for"), tag->props.at("descending") == "T",
                     tag->props.at("unique") == "T");
    for (const peer::Record& r : e.records) {
        t->appendBlank();
        for (size_t i = 0; i < r.values.size(); ++i)
            if (!r.values[i].empty())
                t->putString(int(i), r.values[i]);
        if (r.marked)
            t->deleteRecord();
        t->commit();
    }
    t->close();
}

class RebuiltPeer : public ::testing::TestWithParam<std::string> {};

TEST_P(RebuiltPeer, TagsMaintainedRecordByRecordMatchThePeerOrders) {
    TempDir dir;
    peer::Expected e = peer::load(peer::fixtureDir() + "/" + GetParam() + ".expected.txt");
    std::string path = dir.file(GetParam() + ".DBF");
    rebuild(e, path);
    auto t = Table::open(path);
    EXPECT_EQ(t->indexFileName(), dir.file(GetParam() + ".CDX"));
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "maintained" : "rebuilt");
        for (const peer::Tag& tag : e.tags) {
            SCOPED_TRACE(tag.name);
            EXPECT_EQ(orderOf(*t, tag.name), tag.order);
        }
        std::vector<std::string> faults;
        t->check(faults);
        EXPECT_TRUE(faults.empty()) << faults.front();
        t->reindex();
    }
    // Values read back, memos included.
    t->setOrder(0);
    t->goTop();
    for (const peer::Record& r : e.records) {
        ASSERT_EQ(t->recno(), r.recno);
        for (size_t i = 0; i < r.values.size(); ++i) {
            std::string got = t->getString(int(i));
            if (t->fields()[i].type == 'L' && got.empty())
                got = "F";
            if (t->fields()[i].type == 'N')
                EXPECT_DOUBLE_EQ(t->getNumber(int(i)), std::stod(r.values[i].empty() ? "0" : r.values[i]));
            else
                EXPECT_EQ(got, r.values[i]) << "record " << r.recno << " " << t->fields()[i].name;
        }
        t->skip();
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RebuiltPeer, ::testing::ValuesIn(peer::tableNames()),
                         [](const auto& info) { return info.param; });

// Random edits of an address file with its 26 tags: after every kind of
// change each tag still holds exactly one correct key per record, in order.
TEST(TableIndex, RandomEditsKeepEveryTagExact) {
    TempDir dir;
    std::string path = dir.file("ADDR.DBF");
    Table::create(path, tabletest::addressFields());
    auto t = Table::open(path);
    for (const auto& tag : tabletest::addressTags())
        t->createTag(tag.name, tag.expr);
    ASSERT_EQ(t->tagCount(), 26);
    std::mt19937 rng(7);
    const char* names[] = {"smith", "Smith", "SMITH", "jones", "Müller", "d'Athé", "", "  lead", "zed", "Ng"};
    int lname = t->fieldIndex("LNAME"), fname = t->fieldIndex("FNAME"), isdel = t->fieldIndex("ISDEL");
    int memo = t->fieldIndex("MEMO"), state = t->fieldIndex("STATE"), zip = t->fieldIndex("ZIP");
    auto fill = [&]() {
        t->putString(lname, names[rng() % 10]);
        t->putString(fname, names[rng() % 10]);
        t->putString(state, names[rng() % 10]);
        t->putString(zip, std::to_string(rng() % 100000));
        t->putLogical(isdel, rng() % 4 == 0);
        if (rng() % 3 == 0)
            t->putMemo(memo, std::string(rng() % 200, 'm'));
    };
    for (int i = 0; i < 400; ++i) {
        t->appendBlank();
        fill();
        t->commit();
    }
    for (int i = 0; i < 600; ++i) {
        t->go(1 + rng() % t->recCount());
        switch (rng() % 4) {
        case 0: fill(); t->commit(); break;
        case 1: t->deleteRecord(); break;
        case 2: t->recall(); break;
        default: t->putString(lname, names[rng() % 10]); t->skip(); break; // committed by navigation
        }
    }
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    // The DELETED() tag sees every mark.
    t->setOrder(std::string_view("DELETED"));
    t->setSoftSeek(false);
    uint32_t marked = 0;
    for (bool f = t->seek("T"); f && !t->eof() && t->currentKey() == "T"; t->skip()) {
        ++marked;
        EXPECT_TRUE(t->deleted());
    }
    t->setOrder(0);
    uint32_t expectMarked = 0;
    for (t->goTop(); !t->eof(); t->skip())
        expectMarked += t->deleted() ? 1 : 0;
    EXPECT_EQ(marked, expectMarked);
    EXPECT_GT(marked, 0u);
    // Pack renumbers: every tag is rebuilt and still exact.
    t->pack();
    EXPECT_EQ(t->recCount(), 400u - expectMarked);
    faults.clear();
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    t->zap();
    faults.clear();
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    t->setOrder(std::string_view("LNAME"));
    t->goTop();
    EXPECT_TRUE(t->eof());
}

class Keyed : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("K.DBF");
        Table::create(path, {{"NAME", 'C', 10, 0, 0}, {"AMT", 'N', 8, 2, 0}, {"BORN", 'D', 8, 0, 0}});
        t = Table::open(path);
        const struct {
            const char* name;
            double amt;
            const char* born;
        } rows[] = {{"alpha", 5, "20000101"},  {"bravo", -2, "19991231"}, {"charlie", 12.5, "20200229"},
                    {"bravo", 7, ""},          {"delta", 0, "20000101"},  {"echo", 100, "19700101"}};
        for (const auto& r : rows) {
            t->appendBlank();
            t->putString(0, r.name);
            t->putNumber(1, r.amt);
            t->putString(2, r.born);
        }
        t->go(4);
        t->deleteRecord();
        t->createTag("NAME", "UPPER(NAME)");
        t->createTag("AMT", "AMT");
        t->createTag("BORN", "BORN");
        t->createTag("DESC", "UPPER(NAME)", "", true);
    }
    std::vector<unsigned> visible() {
        std::vector<unsigned> r;
        for (t->goTop(); !t->eof(); t->skip())
            r.push_back(t->recno());
        return r;
    }
    TempDir dir;
    std::string path;
    std::unique_ptr<Table> t;
};

TEST_F(Keyed, SeeksOnEveryKeyType) {
    struct Case {
        const char* tag;
        const char* key;
        bool hide, soft, exact, found;
        unsigned recno; // 0: end of file
    };
    const Case cases[] = {
        {"NAME", "BRAVO", false, false, false, true, 2},
        {"NAME", "B", false, false, false, true, 2},
        {"NAME", "", false, false, false, true, 1},
        {"NAME", "BRAVOS", false, false, false, false, 0},
        {"NAME", "BRAVOS", false, true, false, false, 3},
        {"NAME", "ZULU", false, true, false, false, 0},
        {"NAME", "BRAV", false, false, true, false, 0},  // exact: the whole key must match
        {"NAME", "BRAVO", false, false, true, true, 2},
        {"AMT", "7", false, false, false, true, 4},
        {"AMT", "7", true, false, false, false, 0},       // record 4 is marked and hidden
        {"AMT", "7", true, true, false, false, 3},
        {"AMT", "-2.00", false, false, false, true, 2},
        {"AMT", "6", false, true, false, false, 4},
        {"BORN", "20000101", false, false, false, true, 1},
        {"BORN", "", false, false, false, true, 4},        // blank date sorts first
        {"BORN", "20000102", false, true, false, false, 3},
        {"DESC", "D", false, false, false, true, 5},
        {"DESC", "BRAVO", false, false, false, true, 4},   // descending: record 4 before 2
        {"DESC", "BRAVO", true, false, false, true, 2},
        {"DESC", "BZ", false, true, false, false, 4},      // lands on the next lower key
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " \"" + c.key + "\"");
        t->setOrder(std::string_view(c.tag));
        t->setDeleted(c.hide);
        t->setSoftSeek(c.soft);
        t->setExact(c.exact);
        EXPECT_EQ(t->seek(c.key), c.found);
        EXPECT_EQ(t->found(), c.found);
        EXPECT_EQ(t->eof(), c.recno == 0);
        if (c.recno) {
            EXPECT_EQ(t->recno(), c.recno);
        }
    }
    t->setOrder(std::string_view("AMT"));
    EXPECT_THROW(t->seek("twelve"), Error);
    t->setOrder(0);
    EXPECT_THROW(t->seek("A"), Error);
}

TEST_F(Keyed, FiltersScopesAndCountsAgree) {
    t->setOrder(std::string_view("NAME"));
    EXPECT_EQ(visible(), (std::vector<unsigned>{1, 2, 4, 3, 5, 6}));
    t->setFilter("AMT > 0 .and. !DELETED()");
    EXPECT_EQ(t->filter(), "AMT > 0 .and. !DELETED()");
    EXPECT_EQ(visible(), (std::vector<unsigned>{1, 3, 6}));
    EXPECT_EQ(t->countVisible(), 3u);
    t->setOrder(0);
    EXPECT_EQ(visible(), (std::vector<unsigned>{1, 3, 6}));
    EXPECT_EQ(t->countVisible(), 3u);
    EXPECT_THROW(t->setFilter("AMT >"), ExpressionError);
    EXPECT_THROW(t->setFilter("AMT"), ExpressionError);
    EXPECT_EQ(t->filter(), "AMT > 0 .and. !DELETED()"); // a bad filter leaves the old one
    t->setFilter("");
    EXPECT_EQ(t->countVisible(), 6u);

    t->setOrder(std::string_view("NAME"));
    t->setScope("B", "C");
    EXPECT_EQ(visible(), (std::vector<unsigned>{2, 4, 3}));
    t->goBottom();
    EXPECT_EQ(t->recno(), 3u);
    t->skip(-1);
    EXPECT_EQ(t->recno(), 4u);
    EXPECT_EQ(t->countVisible(), 3u);
    t->setDeleted(true);
    EXPECT_EQ(visible(), (std::vector<unsigned>{2, 3}));
    t->setOrder(std::string_view("DESC"));
    t->setScope("C", "B");
    EXPECT_EQ(visible(), (std::vector<unsigned>{3, 2}));
    t->clearScope();
    EXPECT_EQ(visible(), (std::vector<unsigned>{6, 5, 3, 2, 1}));
    t->go(1);
    EXPECT_TRUE(t->evalLogical("UPPER(NAME) = \"AL\""));
    EXPECT_FALSE(t->evalLogical("AMT > 5"));
}

TEST_F(Keyed, ChangingTheCurrentRecordKeepsItsPlaceInTheOrder) {
    t->setOrder(std::string_view("NAME"));
    ASSERT_TRUE(t->seek("CHARLIE"));
    t->putString(0, "aaron"); // moves to the front
    t->commit();
    EXPECT_EQ(t->currentKey(), "AARON     ");
    t->skip();
    EXPECT_EQ(t->recno(), 1u); // alpha follows aaron
    t->skip(-1);
    EXPECT_EQ(t->recno(), 3u);
    t->skip(-1);
    EXPECT_TRUE(t->bof());
    EXPECT_EQ(t->recno(), 3u);
    // An appended record lands in order once committed.
    t->appendBlank();
    t->putString(0, "beta");
    t->commit();
    t->skip();
    EXPECT_EQ(t->recno(), 2u); // bravo
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

TEST_F(Keyed, TagsSurviveCloseAndAreReplacedOrDeleted) {
    t->createTag("NAME", "UPPER(NAME)", "AMT > 0"); // replaces the tag of that name
    EXPECT_EQ(t->tagCount(), 4);
    t->close();
    auto r = Table::open(path);
    EXPECT_TRUE(r->indexTrustworthy());
    EXPECT_EQ(r->tagInfo(r->tagOrder("name")).forExpr, "AMT > 0");
    EXPECT_EQ(orderOf(*r, "NAME"), (std::vector<unsigned>{1, 4, 3, 6}));
    EXPECT_EQ(r->orderName(), "NAME");
    EXPECT_THROW(r->setOrder(std::string_view("NOPE")), Error);
    EXPECT_EQ(r->tagOrder("NOPE"), 0);
    r->deleteIndexFile();
    EXPECT_EQ(r->tagCount(), 0);
    EXPECT_EQ(r->order(), 0);
    EXPECT_EQ(r->indexFileName(), "");
    r->close();
    EXPECT_FALSE(std::filesystem::exists(dir.file("K.CDX")));
    std::string dbf;
    {
        std::ifstream in(path, std::ios::binary);
        dbf.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(uint8_t(dbf[28]) & 1, 0); // flag cleared with the file
}

TEST_F(Keyed, TemporaryIndexOrdersAndTakesAddedKeys) {
    std::string idx = dir.file("TEMP.IDX");
    t->createTempIndex(idx, "AMT");
    EXPECT_EQ(t->order(), t->tagCount() + 1);
    EXPECT_EQ(visible(), (std::vector<unsigned>{2, 5, 1, 4, 3, 6}));
    t->closeTempIndex();
    EXPECT_EQ(t->order(), 0);
    t->createTempIndex(idx, "UPPER(NAME)", true);
    EXPECT_EQ(visible(), (std::vector<unsigned>{}));
    t->setOrder(0);
    for (uint32_t n : {6u, 2u}) {
        t->go(n);
        t->tempKeyAdd();
        t->tempKeyAdd(); // a second add of the same record changes nothing
    }
    t->setOrder(t->tagCount() + 1);
    EXPECT_EQ(visible(), (std::vector<unsigned>{2, 6}));
    t->closeTempIndex();
}

TEST_F(Keyed, ProgressIsMonotoneAndEndsAtHundred) {
    std::vector<int> seen;
    t->setProgressHook([&](int p) { seen.push_back(p); });
    t->reindex();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    seen.clear();
    t->createTag("AMT2", "AMT");
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

} // namespace

namespace {

// A unique tag keeps one entry per key, for the lowest record holding it,
// through changes that take a key away from its holder or give it to an
// earlier record.
TEST(TableIndex, UniqueTagHandsAKeyOnWhenItsHolderChanges) {
    TempDir dir;
    std::string path = dir.file("U.DBF");
    Table::create(path, {{"CODE", 'C', 3, 0, 0}});
    auto t = Table::open(path);
    t->createTag("CODE", "CODE", "", false, true);
    for (const char* c : {"bbb", "aaa", "bbb", "ccc", "bbb"}) {
        t->appendBlank();
        t->putString(0, c);
    }
    EXPECT_EQ(orderOf(*t, "CODE"), (std::vector<unsigned>{2, 1, 4}));
    t->setOrder(0);
    t->go(1);
    t->putString(0, "zzz"); // record 3 now holds "bbb" first
    t->commit();
    EXPECT_EQ(orderOf(*t, "CODE"), (std::vector<unsigned>{2, 3, 4, 1}));
    t->setOrder(0);
    t->go(2);
    t->putString(0, "ccc"); // record 2 comes before record 4 with "ccc"
    t->commit();
    EXPECT_EQ(orderOf(*t, "CODE"), (std::vector<unsigned>{3, 2, 1}));
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

} // namespace
