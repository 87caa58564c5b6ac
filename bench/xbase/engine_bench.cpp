// Timing harness for the storage engine on an address file (23 fields, 26
// tags). Not a test: prints the median of several runs and the peak memory.
// Usage: bench_engine_bench [RECORDS=100000] [RUNS=3] [DIR=/tmp] [only-tagged-append|only-seeks]
// With "only-tagged-append" as the fourth argument, only the append with the
// 26 tags kept up to date is timed (the phase whose growth matters most).
// With "only-seeks", the table is filled and given its LNAME tag only, and
// just the random seeks are timed. The environment variable QB_BENCH_SEEKS
// sets the number of seeks (one per record unless set), so that a fixed
// number of seeks can be compared across table sizes. With QB_BENCH_REUSE
// set, "only-seeks" keeps its table for the next run and seeks on a table
// left by an earlier one (for profiling the seeks alone).
#include "xbase/table.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace xbase;
namespace fs = std::filesystem;

namespace {

std::vector<FieldDef> addressFields() {
    return {{"LNAME", 'C', 30, 0, 0},   {"FNAME", 'C', 30, 0, 0},   {"MIDDLE", 'C', 1, 0, 0},
            {"PREFIX", 'C', 12, 0, 0},  {"TITLE", 'C', 30, 0, 0},   {"ORG", 'C', 30, 0, 0},
            {"STREET", 'C', 40, 0, 0},  {"STREET2", 'C', 40, 0, 0}, {"CITY", 'C', 30, 0, 0},
            {"STATE", 'C', 20, 0, 0},   {"ZIP", 'C', 10, 0, 0},     {"COUNTRY", 'C', 30, 0, 0},
            {"DATE", 'C', 15, 0, 0},    {"PHONE", 'C', 30, 0, 0},   {"PHONE2", 'C', 30, 0, 0},
            {"FAX", 'C', 30, 0, 0},     {"EMAIL", 'C', 30, 0, 0},   {"CODES", 'C', 30, 0, 0},
            {"USER1", 'C', 40, 0, 0},   {"USER2", 'C', 40, 0, 0},   {"ISDEL", 'L', 1, 0, 0},
            {"TAG", 'C', 8, 0, 0},      {"MEMO", 'M', 10, 0, 0}};
}

const std::pair<const char*, const char*> kTags[] = {
    {"NAME", "UPPER(LNAME-FNAME)"}, {"LNAME", "UPPER(LNAME)+UPPER(FNAME)"}, {"FNAME", "UPPER(FNAME)"},
    {"TITLE", "UPPER(TITLE)"},      {"ORG", "UPPER(ORG)"},                  {"STREET", "UPPER(STREET)"},
    {"STREET2", "UPPER(STREET2)"},  {"CITY", "UPPER(CITY+STATE)"},          {"STATE", "UPPER(STATE)"},
    {"ZIP", "UPPER(ZIP)"},          {"COUNTRY", "UPPER(COUNTRY)"},          {"PHONE", "UPPER(PHONE)"},
    {"PHONE2", "UPPER(PHONE2)"},    {"EMAIL", "UPPER(EMAIL)"},              {"FAX", "UPPER(FAX)"},
    {"USER1", "UPPER(USER1)"},      {"USER2", "UPPER(USER2)"},              {"DATE", "UPPER(DATE)"},
    {"TAG", "UPPER(TAG)"},          {"CODES", "UPPER(CODES)"},              {"PREFIX", "UPPER(PREFIX)"},
    {"MIDDLE", "UPPER(MIDDLE)"},    {"DELETED", "DELETED()"},               {"STATEZIP", "UPPER(STATE-ZIP)"},
    {"ISDEL", "ISDEL"},             {"NOTISDEL", "!ISDEL"}};

const char* kLast[] = {"Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis", "Martinez",
                       "Lopez", "Wilson", "Anderson", "Thomas", "Taylor", "Moore", "Jackson", "Martin", "Lee",
                       "Smythe", "Small", "Snow", "Perez", "White", "Harris", "Sanchez", "Clark", "Lewis"};

std::string word(std::mt19937& rng, size_t len) {
    std::string s;
    for (size_t i = 0; i < len; ++i)
        s.push_back(char('a' + rng() % 26));
    return s;
}

// Fill every field of the current record.
void fill(Table& t, std::mt19937& rng, uint32_t i) {
    t.putString(0, std::string(kLast[rng() % 27]) + word(rng, 4) + std::to_string(i % 1000));
    for (int f = 1; f < 20; ++f)
        t.putString(f, word(rng, size_t(t.fields()[size_t(f)].width)));
    t.putLogical(20, rng() % 10 == 0);
    t.putString(21, word(rng, 8));
}

double cpuNow() {
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU time (user and system) of the last phase timed: on a shared machine
// it shows the work done even when the wall time shows mostly waiting.
double lastCpu = 0;

double seconds(const std::function<void()>& fn) {
    auto a = std::chrono::steady_clock::now();
    double c = cpuNow();
    fn();
    lastCpu = cpuNow() - c;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void removeTable(const std::string& dbf) {
    for (const char* ext : {".DBF", ".FPT", ".CDX"})
        fs::remove(dbf.substr(0, dbf.size() - 4) + ext);
}

} // namespace

int main(int argc, char** argv) {
    uint32_t records = argc > 1 ? uint32_t(std::atol(argv[1])) : 100000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string dir = argc > 3 ? argv[3] : "/tmp";
    std::string path = dir + "/QBBENCH.DBF";
    const bool onlyTagged = argc > 4 && std::string(argv[4]) == "only-tagged-append";
    const bool onlySeeks = argc > 4 && std::string(argv[4]) == "only-seeks";
    uint32_t seekCount = records;
    if (const char* env = std::getenv("QB_BENCH_SEEKS"); env && std::atol(env) > 0)
        seekCount = uint32_t(std::atol(env));
    std::map<std::string, std::vector<double>> times;
    std::vector<std::string> names;
    std::map<std::string, double> peakAfter;
    std::map<std::string, std::vector<double>> cpu;
    auto record = [&](const std::string& name, double s) {
        if (!times.count(name))
            names.push_back(name);
        times[name].push_back(s);
        cpu[name].push_back(lastCpu);
        // The peak so far, read after each phase, shows which phase raised it.
        rusage now {};
        getrusage(RUSAGE_SELF, &now);
        peakAfter[name] = std::max(peakAfter[name], double(now.ru_maxrss) / 1024.0);
    };
    const bool reuse = onlySeeks && std::getenv("QB_BENCH_REUSE") != nullptr;
    uint32_t found = 0, counted = 0;
    double harnessKeys = 0; // MB the harness itself holds during the seeks
    for (int run = 0; run < runs; ++run) {
        const bool kept = reuse && fs::exists(path);
        if (!kept) {
            removeTable(path);
            Table::create(path, addressFields());
        }
        std::mt19937 rng(run + 1);
        if (!onlyTagged && !kept) {
            auto t = Table::open(path);
            record("append " + std::to_string(records) + ", no index", seconds([&] {
                for (uint32_t i = 0; i < records; ++i) {
                    t->appendBlank();
                    fill(*t, rng, i);
                }
                t->commit();
            }));
            if (onlySeeks) {
                t->createTag("LNAME", "UPPER(LNAME)+UPPER(FNAME)");
            } else {
                record("create the 26 tags one by one", seconds([&] {
                    for (const auto& [name, expr] : kTags)
                        t->createTag(name, expr);
                }));
                record("rebuild the 26 tags in one pass", seconds([&] { t->reindex(); }));
            }
            t->close();
        }
        if (!onlySeeks) {
            std::string path2 = dir + "/QBBENCH2.DBF";
            removeTable(path2);
            Table::create(path2, addressFields());
            auto t = Table::open(path2);
            for (const auto& [name, expr] : kTags)
                t->createTag(name, expr);
            std::mt19937 rng2(run + 100);
            record("append " + std::to_string(records) + " with 26 tags", seconds([&] {
                for (uint32_t i = 0; i < records; ++i) {
                    t->appendBlank();
                    fill(*t, rng2, i);
                }
                // Closing writes whatever index work is still pending.
                t->close();
            }));
            removeTable(path2);
        }
        if (!onlyTagged) {
            auto t = Table::open(path);
            t->setOrder(std::string_view("LNAME"));
            {
                // Keys: three in four taken from records, the rest made up. Held
                // in one buffer: a million separate strings would cost the harness
                // more memory than the engine it measures.
                std::string keyBytes;
                std::vector<uint32_t> keyEnds;
                keyEnds.reserve(seekCount);
                keyBytes.reserve(size_t(seekCount) * 26);
                std::mt19937 krng(run + 7);
                t->setOrder(0);
                for (uint32_t i = 0; i < seekCount; ++i) {
                    if (i % 4 == 3) {
                        keyBytes += "QX" + word(krng, 8);
                    } else {
                        t->go(1 + krng() % t->recCount());
                        for (char c : t->getString(0))
                            keyBytes.push_back(char(std::toupper(static_cast<unsigned char>(c))));
                    }
                    keyEnds.push_back(uint32_t(keyBytes.size()));
                }
                t->setOrder(std::string_view("LNAME"));
                found = 0;
                record(std::to_string(seekCount) + " random seeks on LNAME", seconds([&] {
                    size_t from = 0;
                    for (uint32_t end : keyEnds) {
                        found += t->seek(std::string_view(keyBytes).substr(from, end - from)) ? 1 : 0;
                        from = end;
                    }
                }));
                harnessKeys = double(keyBytes.capacity() + keyEnds.capacity() * 4) / (1 << 20);
            }
            t->setOrder(0);
            if (onlySeeks) {
                t->close();
                if (!reuse)
                    removeTable(path);
                continue;
            }
            record("count UPPER(LNAME)=\"SM\" .and. !ISDEL, full scan", seconds([&] {
                t->setFilter("UPPER(LNAME)=\"SM\" .and. !ISDEL");
                counted = t->countVisible();
                t->setFilter("");
            }));
            std::mt19937 drng(run + 9);
            for (uint32_t i = 0; i < records / 10; ++i) {
                t->go(1 + drng() % t->recCount());
                if (!t->deleted())
                    t->deleteRecord();
                else
                    --i;
            }
            record("pack 10% marked, 26 tags rebuilt", seconds([&] { t->pack(); }));
            t->close();
        }
        removeTable(path);
    }
    std::printf("records: %u, runs: %d (median shown)\n", records, runs);
    for (const std::string& n : names) {
        std::vector<double> v = times[n], c = cpu[n];
        std::sort(v.begin(), v.end());
        std::sort(c.begin(), c.end());
        std::printf("%-50s %8.3f s  cpu %8.3f s   (peak RSS so far %.1f MB)\n", n.c_str(), v[v.size() / 2],
                    c[c.size() / 2], peakAfter[n]);
    }
    std::printf("seeks found: %u of %u; counted: %u\n", found, seekCount, counted);
    std::printf("seek keys held by the harness during the seeks: %.1f MB\n", harnessKeys);
    rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak RSS: %.1f MB\n", double(ru.ru_maxrss) / 1024.0);
    return 0;
}
