// A write the file system refuses (a full disk, a file-size limit) must reach
// the caller as an error naming the file, never pass as success, and must not
// cost the records already committed: the index is then known to need a
// rebuild. The refusal is made real with a file-size limit in a child
// process, so the test process itself is never limited.
#include "table_support.h"

#include "xbase/error.h"
#include "xbase/table.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace xbase;

namespace {

// What the child saw, as its exit code.
enum ChildResult { kErrorNamingIndex = 0, kNoError = 1, kOtherError = 2, kWrongFileNamed = 3 };

std::string word(std::mt19937& rng, size_t len) {
    std::string s;
    for (size_t i = 0; i < len; ++i)
        s.push_back(char('a' + rng() % 26));
    return s;
}

TEST(WriteFailure, RefusedIndexWritesAreReportedAndCommittedRecordsSurvive) {
    tabletest::TempDir dir;
    const std::string path = dir.file("FULL.DBF");
    // Wide keys on five tags: the index grows about five times faster than
    // the table, so the limit below refuses index pages while every record
    // still fits.
    Table::create(path, {{"TEXT", 'C', 200, 0, 0}, {"SEQ", 'N', 8, 0, 0}});
    {
        auto t = Table::open(path);
        t->createTag("PLAIN", "TEXT");
        t->createTag("UPPER", "UPPER(TEXT)");
        t->createTag("LOWER", "LOWER(TEXT)");
        t->createTag("TRIMMED", "TRIM(TEXT)");
        t->createTag("SEQ", "SEQ");
    }
    const uint32_t records = 3000;   // table: 3000 x 209 bytes, about 0.6 MB
    const rlim_t limit = 1u << 20;   // index: well over 1 MB once written

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a refused write then fails with EFBIG
        rlimit rl {};
        getrlimit(RLIMIT_FSIZE, &rl);
        rl.rlim_cur = limit;
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
            _exit(kOtherError);
        try {
            auto t = Table::open(path);
            std::mt19937 rng(5);
            for (uint32_t i = 1; i <= records; ++i) {
                t->appendBlank();
                t->putString(0, word(rng, 200));
                t->putNumber(1, i);
                t->commit();
            }
            t->close();
        } catch (const Error& e) {
            const std::string what = e.what();
            if (e.code() != Error::Code::Io)
                _exit(kOtherError);
            _exit(what.find("FULL.CDX") != std::string::npos ? kErrorNamingIndex : kWrongFileNamed);
        } catch (...) {
            _exit(kOtherError);
        }
        _exit(kNoError);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended with " << status;
    ASSERT_EQ(WEXITSTATUS(status), kErrorNamingIndex);

    // Every record is there; the index says it cannot be trusted, and a
    // rebuild (without the limit) makes it right again.
    auto t = Table::open(path);
    EXPECT_FALSE(t->indexTrustworthy());
    ASSERT_EQ(t->recCount(), records);
    std::mt19937 rng(5);
    for (uint32_t i = 1; i <= records; ++i) {
        t->go(i);
        ASSERT_EQ(t->getString(0), word(rng, 200)) << "record " << i;
        ASSERT_EQ(t->getNumber(1), double(i)) << "record " << i;
    }
    t->reindex();
    t->setOrder(std::string_view("SEQ"));
    uint32_t expect = 1;
    for (t->goTop(); !t->eof(); t->skip())
        ASSERT_EQ(t->recno(), expect++);
    EXPECT_EQ(expect, records + 1);
    t->setOrder(std::string_view("PLAIN"));
    std::string prev;
    uint32_t seen = 0;
    for (t->goTop(); !t->eof(); t->skip(), ++seen) {
        std::string cur = t->getString(0);
        ASSERT_LE(prev, cur);
        prev = cur;
    }
    EXPECT_EQ(seen, records);
    t->close();
    auto again = Table::open(path);
    EXPECT_TRUE(again->indexTrustworthy());
}

} // namespace
