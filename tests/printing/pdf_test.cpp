// Printing for real: jobs through the built-in PDF-file printer, checked with
// poppler's pdfinfo and pdftotext.
#include "print_test_support.h"
#include "printing/printers.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;
using namespace qb::testing;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run("pdfinfo", {path}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfText(const QString& path) {
    return run("pdftotext", {"-layout", path, "-"});
}

// Lays out `pages` pages, each with a heading and a few table rows.
void drawPages(PrintSurface& s, int pages) {
    s.UseFont(QStringLiteral("Arial"), 12);
    for (int n = 1; n <= pages; ++n) {
        if (n > 1)
            s.NewPage();
        s.WriteLine(QStringLiteral("Quillbury test page %1").arg(n));
        s.ClearColumns();
        s.AddColumn(s.AreaLeft(), 2.0, Justify::Left, 2, BorderBottom, 10);
        s.AddColumn(-1, 2.0, Justify::Right, 2, BorderBottom, 0);
        s.WriteLine(QStringLiteral("\tSmith\t%1").arg(n * 100));
    }
}

class PdfPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previousPrinter = CurrentPrinterName();
        ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
        path = dir.filePath(QStringLiteral("job.pdf"));
        SetPdfOutputFile(path);
    }
    void TearDown() override {
        SetPdfOutputFile(QString());
        SelectCurrentPrinter(previousPrinter);
    }
    QTemporaryDir dir;
    QString path;
    QString previousPrinter;
};

} // namespace

TEST(Printers, ThePdfPrinterIsAlwaysAvailable) {
    const QStringList names = AvailablePrinterNames();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.count(PdfPrinterName()), 1);
    EXPECT_TRUE(names.contains(DefaultPrinterName()));
    EXPECT_FALSE(SelectCurrentPrinter(QStringLiteral("No such printer 42")));
    EXPECT_TRUE(names.contains(CurrentPrinterName()));
}

TEST_F(PdfPrinting, PagesReachThePdfWithTheirText) {
    TReportPrinter printer;
    printer.OnBeforePrint = [](PrintSurface& s) {
        s.ReadDeviceMetrics();
        s.ResetArea();
    };
    printer.OnPrint = [](PrintSurface& s) { drawPages(s, 3); };
    printer.RunJob();
    EXPECT_FALSE(printer.JobCancelled());
    EXPECT_EQ(printer.OutputFile(), path);
    EXPECT_EQ(pdfPages(path), 3);
    const QString text = pdfText(path);
    const int p1 = text.indexOf(QStringLiteral("Quillbury test page 1"));
    const int p3 = text.indexOf(QStringLiteral("Quillbury test page 3"));
    EXPECT_GE(p1, 0);
    EXPECT_GT(p3, p1);
    EXPECT_TRUE(text.contains(QStringLiteral("300")));
    EXPECT_TRUE(text.contains(QStringLiteral("Smith")));
}

TEST_F(PdfPrinting, TextLandsAtItsPositionOnTheSheet) {
    TReportPrinter printer;
    printer.OnPrint = [](PrintSurface& s) {
        s.UseFont(QStringLiteral("Arial"), 12);
        s.MoveCursor(2.0, 3.0);
        s.WriteText(QStringLiteral("Marker"));
    };
    printer.RunJob();
    // pdftotext -bbox reports word boxes in points from the top-left corner.
    const QString boxes = run("pdftotext", {"-bbox", path, "-"});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" "
                                          "yMax=\"([0-9.]+)\">Marker<"))
            .match(boxes);
    ASSERT_TRUE(m.hasMatch()) << boxes.toStdString();
    EXPECT_NEAR(m.captured(1).toDouble(), 144.0, 1.5); // 2 inches
    EXPECT_LT(m.captured(2).toDouble(), 216.0);        // top above the baseline
    EXPECT_NEAR(m.captured(3).toDouble(), 216.0, 4.0); // baseline at 3 inches
}

TEST_F(PdfPrinting, OnlyThePageRangeIsPrinted) {
    TReportPrinter printer;
    printer.SetFirstPage(2);
    printer.SetLastPage(3);
    printer.OnPrint = [](PrintSurface& s) { drawPages(s, 5); };
    printer.RunJob();
    EXPECT_EQ(printer.PageNumber(), 5);
    EXPECT_EQ(printer.PagesOutput(), 2);
    EXPECT_EQ(pdfPages(path), 2);
    const QString text = pdfText(path);
    EXPECT_FALSE(text.contains(QStringLiteral("Quillbury test page 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Quillbury test page 2")));
    EXPECT_TRUE(text.contains(QStringLiteral("Quillbury test page 3")));
    EXPECT_FALSE(text.contains(QStringLiteral("Quillbury test page 4")));
}

TEST_F(PdfPrinting, ACancelledJobLeavesNoFile) {
    TReportPrinter printer;
    printer.OnPrint = [](PrintSurface& s) {
        drawPages(s, 2);
        s.CancelJob();
    };
    printer.RunJob();
    EXPECT_TRUE(printer.JobCancelled());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(PdfPrinting, AnUnwritableFileIsReportedAsAnError) {
    SetPdfOutputFile(dir.filePath(QStringLiteral("missing/dir/job.pdf")));
    TReportPrinter printer;
    printer.OnPrint = [](PrintSurface& s) { s.WriteLine(QStringLiteral("x")); };
    EXPECT_THROW(printer.RunJob(), PrintError);
    EXPECT_TRUE(printer.JobCancelled());
}

TEST_F(PdfPrinting, ARecordedPageFileWritesTheSamePdf) {
    auto file = Record([](PrintSurface& s) { drawPages(s, 4); }, FakeDevice());
    const QString out = dir.filePath(QStringLiteral("replayed.pdf"));
    QString error;
    ASSERT_TRUE(file->WriteToPdf(out, &error)) << error.toStdString();
    EXPECT_EQ(pdfPages(out), 4);
    EXPECT_TRUE(pdfText(out).contains(QStringLiteral("Quillbury test page 4")));
}

TEST_F(PdfPrinting, CopiesOfAPdfAreMadePageByPageOrDocumentByDocument) {
    struct Case {
        bool collate;
        std::vector<int> order;
    } cases[] = {{true, {1, 2, 3, 1, 2, 3}}, {false, {1, 1, 2, 2, 3, 3}}};
    for (const Case& c : cases) {
        SetPrintCopies(2);
        SetPrintCollate(c.collate);
        TReportPrinter printer;
        printer.OnPrint = [](PrintSurface& s) { drawPages(s, 3); };
        printer.RunJob();
        SetPrintCopies(1);
        SetPrintCollate(true);
        EXPECT_EQ(printer.PagesOutput(), 6);
        ASSERT_EQ(pdfPages(path), 6);
        for (int sheet = 1; sheet <= 6; ++sheet) {
            const QString text = run("pdftotext", {"-f", QString::number(sheet), "-l",
                                                   QString::number(sheet), path, "-"});
            EXPECT_TRUE(text.contains(
                QStringLiteral("Quillbury test page %1").arg(c.order[size_t(sheet - 1)])))
                << "sheet " << sheet << (c.collate ? " collated" : " uncollated");
        }
    }
}

TEST_F(PdfPrinting, TheJobTitleIsCutToThirtyOneCharacters) {
    TReportPrinter printer;
    printer.SetTitle(QStringLiteral("Single Record Report for the Membership Committee"));
    printer.OnPrint = [](PrintSurface& s) { s.WriteLine(QStringLiteral("x")); };
    printer.RunJob();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Title:\\s+(.*)\\n")).match(run("pdfinfo", {path}));
    ASSERT_TRUE(m.hasMatch());
    EXPECT_EQ(m.captured(1).trimmed(), QStringLiteral("Single Record Report for the Me"));
}
