// Composes label-sheet pages (30 labels of three text lines and a 62-bar
// barcode each) and prints them to PDF through the built-in PDF-file printer,
// then records the same job into a page file. Prints wall time and peak
// memory after 100 and after 500 pages: pages are streamed, so the peak
// should not grow with the page count.
#include "printing/printers.h"
#include "printing/printsurface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

using namespace qb;

namespace {

long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void drawSheets(PrintSurface& s, int pages) {
    s.UseFont(QStringLiteral("Arial"), 10);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            s.NewPage();
        for (int row = 0; row < 10; ++row)
            for (int col = 0; col < 3; ++col) {
                const double x = 0.19 + col * 2.75, y = 0.5 + row * 1.0;
                const int n = (page - 1) * 30 + row * 3 + col;
                s.MoveCursor(x + 0.1, y + 0.25);
                s.WriteText(QStringLiteral("Resident %1").arg(n));
                s.MoveCursor(x + 0.1, y + 0.42);
                s.WriteText(QStringLiteral("%1 Maple Avenue").arg(100 + n % 900));
                s.MoveCursor(x + 0.1, y + 0.59);
                s.WriteText(QStringLiteral("Springfield IL 62704-%1")
                                .arg(n % 10000, 4, 10, QLatin1Char('0')));
                s.UseBrush(Qt::black, BrushStyle::Solid);
                s.UsePen(Qt::black, PenStyle::Clear, 1);
                for (int bar = 0; bar < 62; ++bar) {
                    const double bx = x + 0.1 + bar * 0.0217;
                    const double top = (bar + n) % 3 ? y + 0.72 : y + 0.67;
                    s.Rectangle(bx, top, bx + 0.02, y + 0.8);
                }
            }
    }
}

void printJob(int pages, const QString& path) {
    SetPdfOutputFile(path);
    TReportPrinter printer;
    printer.OnPrint = [pages](PrintSurface& s) { drawSheets(s, pages); };
    QElapsedTimer t;
    t.start();
    printer.RunJob();
    std::printf("print   %4d pages to PDF: %7.2f s, %8.1f MB file, peak RSS %6.1f MB\n", pages,
                t.elapsed() / 1000.0, QFileInfo(path).size() / 1048576.0, peakRssKb() / 1024.0);
    QFile::remove(path);
}

void previewJob(int pages) {
    TReportFiler filer;
    filer.OnPrint = [pages](PrintSurface& s) { drawSheets(s, pages); };
    QElapsedTimer t;
    t.start();
    filer.RunJob();
    std::printf("preview %4d pages recorded: %7.2f s, page file %6.1f MB (%s), peak RSS %6.1f MB\n",
                pages, t.elapsed() / 1000.0, filer.Stream()->ByteSize() / 1048576.0,
                filer.Stream()->OnDisk() ? "temporary file" : "memory", peakRssKb() / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SelectCurrentPrinter(PdfPrinterName());
    const QString path = QDir(dir.path()).filePath(QStringLiteral("bench.pdf"));
    std::printf("start: peak RSS %.1f MB\n", peakRssKb() / 1024.0);
    printJob(100, path);
    printJob(500, path);
    previewJob(100);
    previewJob(500);
    return 0;
}
