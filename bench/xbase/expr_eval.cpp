// Expression evaluation speed: a filter over 100,000 address records and the
// keys of the 26 address tags over the same records.
#include "xbase/expr.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace xbase;

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::vector<FieldDef> fields = {
        {"LNAME", 'C', 30, 0, 0},  {"FNAME", 'C', 30, 0, 0},   {"MIDDLE", 'C', 1, 0, 0},
        {"PREFIX", 'C', 12, 0, 0}, {"TITLE", 'C', 30, 0, 0},   {"ORG", 'C', 30, 0, 0},
        {"STREET", 'C', 40, 0, 0}, {"STREET2", 'C', 40, 0, 0}, {"CITY", 'C', 30, 0, 0},
        {"STATE", 'C', 20, 0, 0},  {"ZIP", 'C', 10, 0, 0},     {"COUNTRY", 'C', 30, 0, 0},
        {"DATE", 'C', 15, 0, 0},   {"PHONE", 'C', 30, 0, 0},   {"PHONE2", 'C', 30, 0, 0},
        {"FAX", 'C', 30, 0, 0},    {"EMAIL", 'C', 30, 0, 0},   {"CODES", 'C', 30, 0, 0},
        {"USER1", 'C', 40, 0, 0},  {"USER2", 'C', 40, 0, 0},   {"ISDEL", 'L', 1, 0, 0},
        {"TAG", 'C', 8, 0, 0},     {"MEMO", 'M', 10, 0, 0}};
    int off = 1;
    for (auto& f : fields) {
        f.offset = off;
        off += f.width;
    }
    const int recLen = off;
    const char* names[] = {"Smith", "Jones",     "Smythe", "Brown",
                           "Small", "M\xFCller", "Garcia", "Lee"};
    std::vector<uint8_t> data(size_t(records) * size_t(recLen), ' ');
    for (int r = 0; r < records; ++r) {
        uint8_t* rec = &data[size_t(r) * size_t(recLen)];
        auto put = [&](int field, const std::string& v) {
            std::memcpy(rec + fields[size_t(field)].offset, v.data(),
                        std::min<size_t>(v.size(), size_t(fields[size_t(field)].width)));
        };
        put(0, names[r % 8]);
        put(1, "John" + std::to_string(r % 97));
        put(8, "Springfield");
        put(9, "IL");
        put(10, std::to_string(62700 + r % 50));
        put(12, "1997042" + std::to_string(r % 10));
        rec[fields[20].offset] = r % 13 == 0 ? 'T' : 'F';
    }

    using clock = std::chrono::steady_clock;
    auto ms = [](clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };

    auto filter = Expression::compile("UPPER(LNAME)=\"SM\" .and. !ISDEL", fields);
    EvalContext ctx;
    int hits = 0;
    auto t0 = clock::now();
    for (int r = 0; r < records; ++r) {
        ctx.record = &data[size_t(r) * size_t(recLen)];
        ctx.recno = uint32_t(r + 1);
        hits += filter->evalLogical(ctx);
    }
    auto t1 = clock::now();
    std::printf("filter UPPER(LNAME)=\"SM\" .and. !ISDEL over %d records: %.1f ms (%d match)\n",
                records, ms(t1 - t0), hits);

    const char* tags[] = {"UPPER(LNAME-FNAME)",
                          "UPPER(LNAME)+UPPER(FNAME)",
                          "UPPER(FNAME)",
                          "UPPER(TITLE)",
                          "UPPER(ORG)",
                          "UPPER(STREET)",
                          "UPPER(STREET2)",
                          "UPPER(CITY+STATE)",
                          "UPPER(STATE)",
                          "UPPER(ZIP)",
                          "UPPER(COUNTRY)",
                          "UPPER(PHONE)",
                          "UPPER(PHONE2)",
                          "UPPER(EMAIL)",
                          "UPPER(FAX)",
                          "UPPER(USER1)",
                          "UPPER(USER2)",
                          "UPPER(DATE)",
                          "UPPER(TAG)",
                          "UPPER(CODES)",
                          "UPPER(PREFIX)",
                          "UPPER(MIDDLE)",
                          "DELETED()",
                          "UPPER(STATE-ZIP)",
                          "ISDEL",
                          "!ISDEL"};
    std::vector<std::unique_ptr<Expression>> keys;
    for (const char* t : tags)
        keys.push_back(Expression::compile(t, fields));
    uint8_t key[256];
    unsigned sum = 0;
    t0 = clock::now();
    for (int r = 0; r < records; ++r) {
        ctx.record = &data[size_t(r) * size_t(recLen)];
        for (auto& k : keys) {
            k->evalKey(ctx, key, k->width());
            sum += key[0];
        }
    }
    t1 = clock::now();
    std::printf("26 tag keys over %d records: %.1f ms (checksum %u)\n", records, ms(t1 - t0), sum);
    return 0;
}
