// Tagging every record a filter shows on a large address file, the way
// "Tag All Filter Matches" does it (the "Tagging" window's run, offscreen).
// The file is changed: run it on a copy.
// Usage: bench_tag_all FILE.DBF [FILTER]
#include "addressbook/tagid.h"
#include "app/tagall.h"
#include "storage/dataset.h"

#include <QApplication>
#include <QFileInfo>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.DBF [FILTER]\n", argv[0]);
        return 2;
    }
    const QString filter = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : QStringLiteral("UPPER(LNAME)=\"SMITH\" .and. !ISDEL");
    const QFileInfo file(QString::fromLocal8Bit(argv[1]));
    qb::TableDataset table;
    table.setDirectory(file.absolutePath() + '/');
    table.setFileName(file.fileName());
    auto clock = std::chrono::steady_clock::now();
    if (!table.open()) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    table.setOrder(QStringLiteral("LNAME"));
    std::printf("open:                %8.1f ms\n", msSince(clock));
    clock = std::chrono::steady_clock::now();
    if (!table.setFilter(filter)) {
        std::fprintf(stderr, "filter refused\n");
        return 2;
    }
    const uint32_t matches = table.recordCount();
    std::printf("filter and count:    %8.1f ms  (%u records)\n", msSince(clock), matches);

    qb::SetGlobalTagId(QStringLiteral("BENCH01"));
    qb::TTagAllRecords window(table);
    clock = std::chrono::steady_clock::now();
    window.run();
    const double ms = msSince(clock);
    std::printf("tag all:             %8.1f ms  (%d tagged, %s)\n", ms, window.taggedCount(),
                window.cancelled() ? "cancelled" : "complete");
    std::printf("peak RSS:            %8.1f MB\n", peakRssKb() / 1024.0);
    return window.taggedCount() == int(matches) ? 0 : 1;
}
