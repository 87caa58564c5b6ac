// Applying a filter to a large address file and counting the records it
// shows, the way the main window does after the filter form is confirmed.
// Usage: bench_filter_count FILE.DBF [TAG] [FILTER]
#include "xbase/table.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

namespace {

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double msSince(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.DBF [TAG] [FILTER]\n", argv[0]);
        return 2;
    }
    const std::string tag = argc > 2 ? argv[2] : "LNAME";
    const std::string filter = argc > 3 ? argv[3] : "UPPER(LNAME)=\"SM\" .and. !ISDEL";
    try {
        auto clock = std::chrono::steady_clock::now();
        xbase::OpenOptions options;
        options.readOnly = true;
        options.exclusive = false;
        auto table = xbase::Table::open(argv[1], options);
        table->setOrder(tag);
        table->goTop();
        const double openMs = msSince(clock);

        clock = std::chrono::steady_clock::now();
        table->setFilter(filter);
        const uint32_t shown = table->countVisible();
        const double countMs = msSince(clock);
        const long rssCount = peakRssKb();

        clock = std::chrono::steady_clock::now();
        table->goTop();
        const double topMs = msSince(clock);

        // The same count taken by walking the order record by record, as
        // navigation does: the cost a count had when it followed the order.
        clock = std::chrono::steady_clock::now();
        uint32_t walked = 0;
        for (table->goTop(); !table->eof(); table->skip(1))
            ++walked;
        const double walkMs = msSince(clock);

        std::printf("records          %u\n", table->recCount());
        std::printf("order            %s\n", tag.empty() ? "(physical)" : tag.c_str());
        std::printf("filter           %s\n", filter.c_str());
        std::printf("shown            %u\n", shown);
        std::printf("open table       %.1f ms\n", openMs);
        std::printf("filter + count   %.1f ms\n", countMs);
        std::printf("first shown      %.1f ms\n", topMs);
        std::printf("walked in order  %u in %.1f ms\n", walked, walkMs);
        std::printf("peak RSS count   %ld KB\n", rssCount);
        std::printf("peak RSS         %ld KB\n", peakRssKb());
        if (walked != shown) {
            std::fprintf(stderr, "the count (%u) differs from the walk (%u)\n", shown, walked);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
