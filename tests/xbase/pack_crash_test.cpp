// A pack that dies at any moment leaves either the table as it was or the
// packed table, each record with its own memo: never a mixture. The process
// is killed at points along the pack (chosen through its progress reports)
// and the table is checked on the next open.
#include "table_support.h"

#include "xbase/error.h"
#include "xbase/table.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace xbase;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRecords = 3000;

std::string memoFor(uint32_t seq) {
    std::string s;
    for (uint32_t i = 0; i <= seq % 5; ++i)
        s += "memo of record " + std::to_string(seq) + " ";
    return s;
}

void makeTable(const std::string& path) {
    Table::create(path, {{"NAME", 'C', 12, 0, 0}, {"SEQ", 'N', 8, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
    auto t = Table::open(path);
    t->createTag("SEQ", "SEQ");
    for (uint32_t i = 1; i <= kRecords; ++i) {
        t->appendBlank();
        t->putString(0, "name" + std::to_string(i));
        t->putNumber(1, i);
        t->putMemo(2, memoFor(i));
        t->commit();
    }
    for (uint32_t i = 3; i <= kRecords; i += 3) {
        t->go(i);
        t->deleteRecord();
    }
    t->close();
}

// Packs in a child process that kills itself at the first progress report
// of at least `killAt` (never, when above 100).
void packAndDie(const std::string& path, int killAt) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            auto t = Table::open(path);
            t->setProgressHook([killAt](int p) {
                if (p >= killAt)
                    raise(SIGKILL);
            });
            t->pack();
            t->close();
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (killAt <= 100)
        ASSERT_TRUE(WIFSIGNALED(status)) << "the pack ended before progress " << killAt;
    else
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

void expectOldTable(Table& t) {
    ASSERT_EQ(t.recCount(), kRecords);
    for (uint32_t i = 1; i <= kRecords; ++i) {
        t.go(i);
        ASSERT_EQ(t.getNumber(1), double(i));
        ASSERT_EQ(t.deleted(), i % 3 == 0) << "record " << i;
        ASSERT_EQ(t.getMemo(2), memoFor(i)) << "record " << i;
    }
}

void expectPackedTable(Table& t) {
    ASSERT_EQ(t.recCount(), kRecords - kRecords / 3);
    uint32_t seq = 0;
    for (uint32_t n = 1; n <= t.recCount(); ++n) {
        if (++seq % 3 == 0)
            ++seq;
        t.go(n);
        ASSERT_EQ(t.getNumber(1), double(seq)) << "record " << n;
        ASSERT_FALSE(t.deleted());
        ASSERT_EQ(t.getString(0), "name" + std::to_string(seq));
        ASSERT_EQ(t.getMemo(2), memoFor(seq)) << "record " << n;
    }
}

struct KillCase {
    const char* when;
    int killAt;      // progress at which the process dies (above 100: never)
    bool packed;     // what the next open must find
};

class PackCrash : public ::testing::TestWithParam<KillCase> {};

TEST_P(PackCrash, NextOpenFindsTheOldOrThePackedTable) {
    const KillCase& c = GetParam();
    tabletest::TempDir dir;
    const std::string path = dir.file("PACKME.DBF");
    makeTable(path);
    packAndDie(path, c.killAt);
    if (HasFatalFailure())
        return;
    if (c.packed && c.killAt <= 50) {
        // Killed between the copies being complete and their swap: a
        // reader cannot finish the pack and says so.
        OpenOptions ro;
        ro.readOnly = true;
        ro.exclusive = false;
        try {
            Table::open(path, ro);
            ADD_FAILURE() << "a read-only open of an interrupted pack succeeded";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("interrupted"), std::string::npos) << e.what();
        }
    }
    {
        auto t = Table::open(path);
        if (c.packed)
            expectPackedTable(*t);
        else
            expectOldTable(*t);
        if (HasFatalFailure())
            return;
        if (c.killAt <= 100) {
            // Killed with the tags unfinished or describing the old records.
            EXPECT_EQ(t->indexTrustworthy(), !c.packed);
        }
        if (!t->indexTrustworthy()) {
            t->reindex();
            t->close();
            t = Table::open(path);
            EXPECT_TRUE(t->indexTrustworthy());
        }
        std::vector<std::string> faults;
        t->check(faults);
        EXPECT_TRUE(faults.empty()) << faults.front();
        t->setOrder(std::string_view("SEQ"));
        t->goTop();
        EXPECT_EQ(t->getNumber(1), 1.0);
    }
    // No copies or markers are left behind.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "PACKME.DBF" || name == "PACKME.FPT" || name == "PACKME.CDX") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Moments, PackCrash,
    ::testing::Values(KillCase{"copying_memos", 10, false}, KillCase{"copying_records", 35, false},
                      KillCase{"copies_complete_not_swapped", 50, true},
                      KillCase{"rebuilding_tags", 80, true}, KillCase{"not_killed", 101, true}),
    [](const ::testing::TestParamInfo<KillCase>& info) { return std::string(info.param.when); });

TEST(Pack, NeedsTheTableOpenedExclusively) {
    tabletest::TempDir dir;
    const std::string path = dir.file("SHARED.DBF");
    makeTable(path);
    OpenOptions shared;
    shared.exclusive = false;
    auto t = Table::open(path, shared);
    try {
        t->pack();
        ADD_FAILURE() << "a shared table was packed";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::State);
    }
    expectOldTable(*t);
}

} // namespace

namespace {

TEST(Pack, ThroughALinkPacksTheLinkedTableAndKeepsTheLink) {
    tabletest::TempDir dir;
    fs::create_directory(dir.file("real"));
    const std::string real = dir.file("real/PACKME.DBF");
    makeTable(real);
    const std::string link = dir.file("LINKED.DBF");
    fs::create_symlink(real, link);
    fs::create_symlink(dir.file("real/PACKME.FPT"), dir.file("LINKED.FPT"));
    fs::create_symlink(dir.file("real/PACKME.CDX"), dir.file("LINKED.CDX"));
    {
        auto t = Table::open(link);
        t->pack();
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(dir.file("LINKED.FPT")));
    auto t = Table::open(real);
    expectPackedTable(*t);
}

} // namespace
