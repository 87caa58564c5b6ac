// Opening the browse grid over a large address file: time to build the
// model, to show the window, to go to the last record and back, and the
// peak memory. Usage: bench_browse_open FILE.DBF [TAG]
#include "addressbook/addressfile.h"
#include "app/browsewindow.h"
#include "app/messages.h"
#include "storage/dataset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void settle() {
    QApplication::processEvents();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.DBF [TAG]\n", argv[0]);
        return 2;
    }
    qb::MessageScript quiet;
    const QString tag = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("LNAME");
    qb::TableDataset table;
    qb::AddressFile::Configure(table);
    QElapsedTimer clock;
    clock.start();
    if (!qb::OpenTableFile(QString::fromLocal8Bit(argv[1]), table)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(table.errorText()));
        return 1;
    }
    table.setOrder(tag);
    table.first();
    const qint64 openMs = clock.restart();
    const long rssOpen = peakRssKb();

    qb::TBrowseWindow window(table, {}, {});
    const qint64 modelMs = clock.restart();
    const long rssModel = peakRssKb();
    window.show();
    settle();
    const qint64 showMs = clock.restart();

    window.LastButtonClick();
    settle();
    const qint64 lastMs = clock.restart();
    window.FirstButtonClick();
    settle();
    const qint64 firstMs = clock.restart();
    // Page through the top of the grid the way a user scrolls.
    for (int i = 0; i < 200; ++i)
        window.NextButtonClick();
    settle();
    const qint64 stepMs = clock.restart();
    // Read a long stretch of rows as a fast scroll would: the cache stays bounded.
    auto* model = window.model();
    const int stretch = std::min(model->rowCount(), 20000);
    for (int row = 0; row < stretch; ++row)
        model->data(model->index(row, 0));
    const qint64 stretchMs = clock.restart();

    std::printf("records          %d\n", window.model()->rowCount());
    std::printf("open table       %lld ms\n", static_cast<long long>(openMs));
    std::printf("build model      %lld ms\n", static_cast<long long>(modelMs));
    std::printf("show window      %lld ms\n", static_cast<long long>(showMs));
    std::printf("go to last       %lld ms\n", static_cast<long long>(lastMs));
    std::printf("back to first    %lld ms\n", static_cast<long long>(firstMs));
    std::printf("200 x next       %lld ms\n", static_cast<long long>(stepMs));
    std::printf("read %d rows  %lld ms\n", stretch, static_cast<long long>(stretchMs));
    std::printf("cached rows      %d (bound %d)\n", model->cachedRows(),
                qb::AddressBrowseModel::CacheRows);
    std::printf("peak RSS open    %ld KB\n", rssOpen);
    std::printf("peak RSS model   %ld KB\n", rssModel);
    std::printf("peak RSS browse  %ld KB\n", peakRssKb());
    return 0;
}
