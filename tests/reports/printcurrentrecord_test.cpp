// Printing the current record: the recorded pages of the job (texts, their
// places and fonts, rules, page breaks), the window, and a real PDF.
#include "addressbook/addressfile.h"
#include "addressbook/dates.h"
#include "app/messages.h"
#include "app/modal.h"
#include "printing/previewform.h"
#include "printing/print_test_support.h"
#include "printing/printers.h"
#include "reports/printcurrentrecord.h"
#include "storage/dataset.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace qb;
using namespace qb::testing;

namespace {

constexpr double kEps = 1e-6;

class RecordPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetDisplayDateFormat(QStringLiteral("mm/dd/yyyy"));
        TableDataset spare;
        ASSERT_TRUE(CreateAddressFile(dir.filePath(QStringLiteral("ADD0001.DBF")), spare));
        AddressFile::Configure(table);
        table.setDirectory(dir.path());
        table.setFileName(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(table.open()) << table.errorText().toStdString();
        AddressRecord r;
        r.prefix = QStringLiteral("Dr.");
        r.lname = QStringLiteral("Lee");
        r.fname = QStringLiteral("Ann");
        r.org = QStringLiteral("Acme");
        r.city = QStringLiteral("Boston");
        r.state = QStringLiteral("MA");
        r.zip = QStringLiteral("02110");
        r.email = QStringLiteral("ann@acme.example");
        r.date = QStringLiteral("20240315");
        r.memo = QStringLiteral("Met at the fair.\r\nCall in spring.");
        ASSERT_TRUE(table.insert());
        ASSERT_TRUE(r.write(table));
        ASSERT_TRUE(table.post()) << table.errorText().toStdString();
    }
    void TearDown() override { SetDisplayDateFormat(QString()); }

    static RecordPrintChoice only(std::initializer_list<RecordPrintField> fields) {
        RecordPrintChoice c{};
        for (RecordPrintField f : fields)
            c[size_t(f)] = true;
        return c;
    }
    static RecordPrintChoice all() {
        RecordPrintChoice c;
        c.fill(true);
        return c;
    }

    // Records the printout of the current record on the letter-size test device.
    std::shared_ptr<PageFile> print(const RecordPrintChoice& choice, const QString& memo = {}) {
        SingleRecordReport report = SingleRecordReport::FromRecord(table, choice);
        if (!memo.isNull())
            report.Memo = memo;
        report.TimeOfDay = QStringLiteral("10:11:12 AM");
        return Record([&](PrintSurface& s) {
            report.PrintTheReport(s);
            spacing = s.LineSpacing();
            descent = s.FontDescent();
        });
    }

    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
    double spacing = 0, descent = 0;
};

QStringList texts(const RecordedPage& page) {
    QStringList out;
    for (const PageOp& op : TextOps(page))
        out << op.text;
    return out;
}

// Checks the page header: page number and time right-aligned at 7.5 inches on
// the two lines below 0.5 inch, and the rules at the top and bottom of the area.
void expectHeader(const RecordedPage& page, int number, double spacing) {
    const auto ops = TextOps(page);
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[0].text, QStringLiteral("Page %1").arg(number));
    EXPECT_EQ(ops[1].text, QStringLiteral("10:11:12 AM"));
    EXPECT_NEAR(ops[1].y1 - ops[0].y1, spacing, kEps);
    EXPECT_GT(ops[0].y1, 0.5);
    EXPECT_LT(ops[0].y1, 0.5 + spacing);
    for (int i = 0; i < 2; ++i) {
        const QFontMetricsF fm([&] {
            QFont f(ops[i].font.family);
            f.setPixelSize(1000);
            return f;
        }());
        // Right edge at the area's right edge (to within the width of a pixel
        // of measuring).
        const double right =
            ops[i].x1 + fm.horizontalAdvance(ops[i].text) / 1000.0 * ops[i].font.points / 72.0;
        EXPECT_NEAR(right, 7.5, 0.02) << ops[i].text.toStdString();
    }
    const auto rules = OpsOfKind(page, PageOp::Line);
    ASSERT_GE(rules.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(rules[i].x1, 1.0, kEps);
        EXPECT_NEAR(rules[i].x2, 7.5, kEps);
        EXPECT_NEAR(rules[i].y1, rules[i].y2, kEps);
    }
    EXPECT_NEAR(rules[0].y1, 1.0, kEps);
    EXPECT_NEAR(rules[1].y1, 10.0, kEps);
}

} // namespace

TEST_F(RecordPrinting, EveryFieldInPrintOrderWithBoldLabelsInTwoColumns) {
    const auto pages = print(all());
    ASSERT_EQ(pages->PageCount(), 1);
    const RecordedPage page = pages->Page(0);
    expectHeader(page, 1, spacing);
    const auto ops = TextOps(page);
    // Empty values print nothing: the labels and the values there are.
    const QStringList expected = {"Page 1",         "10:11:12 AM",
                                  "Prefix",         "Dr.",
                                  "Last",           "Lee",
                                  "First",          "Ann",
                                  "Middle",         "Title",
                                  "Organization",   "Acme",
                                  "Address 1",      "Address 2",
                                  "City",           "Boston",
                                  "State",          "MA",
                                  "Zip/Postal",     "02110",
                                  "Country",        "Phone 1",
                                  "Phone 2",        "Fax",
                                  "E-Mail",         "ann@acme.example",
                                  "Comment 1",      "Comment 2",
                                  "Codes",          "Date",
                                  "03/15/2024",     "Met at the fair.",
                                  "Call in spring."};
    EXPECT_EQ(texts(page), expected);
    const QStringList labels = {"Prefix",       "Last",      "First",     "Middle",  "Title",
                                "Organization", "Address 1", "Address 2", "City",    "State",
                                "Zip/Postal",   "Country",   "Phone 1",   "Phone 2", "Fax",
                                "E-Mail",       "Comment 1", "Comment 2", "Codes",   "Date"};
    int line = 0;
    double labelY = 0;
    for (const PageOp& op : ops) {
        if (op.text.startsWith(QStringLiteral("Page")) || op.text.contains(QLatin1Char(':')) ||
            op.text.startsWith(QStringLiteral("Met")) || op.text.startsWith(QStringLiteral("Call")))
            continue;
        EXPECT_EQ(op.font.family, QStringLiteral("Times"));
        EXPECT_DOUBLE_EQ(op.font.points, 10.0);
        EXPECT_FALSE(op.font.italic);
        if (labels.contains(op.text)) {
            EXPECT_TRUE(op.font.bold) << op.text.toStdString();
            EXPECT_NEAR(op.x1, 1.02, kEps) << op.text.toStdString();
            if (line > 0) {
                EXPECT_NEAR(op.y1 - labelY, spacing, kEps) << op.text.toStdString();
            }
            labelY = op.y1;
            ++line;
        } else {
            EXPECT_FALSE(op.font.bold) << op.text.toStdString();
            EXPECT_NEAR(op.x1, 2.27, kEps) << op.text.toStdString();
            EXPECT_NEAR(op.y1, labelY, kEps) << op.text.toStdString();
        }
    }
    EXPECT_EQ(line, int(labels.size()));
}

TEST_F(RecordPrinting, LastAndMemoOnly) {
    const auto pages = print(only({RecordPrintField::Last, RecordPrintField::Memo}));
    ASSERT_EQ(pages->PageCount(), 1);
    const RecordedPage page = pages->Page(0);
    expectHeader(page, 1, spacing);
    const auto ops = TextOps(page);
    ASSERT_EQ(texts(page), (QStringList{"Page 1", "10:11:12 AM", "Last", "Lee", "Met at the fair.",
                                        "Call in spring."}));
    // The header's rule at 1.0 inch, then one empty line below the area top.
    const double lastY = ops[2].y1;
    EXPECT_NEAR(lastY, 1.0 + 2 * spacing - descent, kEps);
    // An empty line, then a second empty line with a rule under it across the
    // area, then the memo in italics.
    const auto rules = OpsOfKind(page, PageOp::Line);
    ASSERT_EQ(rules.size(), 3u);
    const double ruledLine = lastY + 2 * spacing;
    EXPECT_NEAR(rules[2].y1, ruledLine + descent, kEps);
    EXPECT_NEAR(rules[2].y2, ruledLine + descent, kEps);
    EXPECT_NEAR(rules[2].x1, 1.0, kEps);
    EXPECT_NEAR(rules[2].x2, 7.5, kEps);
    EXPECT_NEAR(ops[4].y1, ruledLine + spacing, kEps);
    EXPECT_NEAR(ops[5].y1, ruledLine + 2 * spacing, kEps);
    for (int i = 4; i < 6; ++i) {
        EXPECT_TRUE(ops[i].font.italic);
        EXPECT_FALSE(ops[i].font.bold);
        EXPECT_NEAR(ops[i].x1, 1.02, kEps);
    }
}

TEST_F(RecordPrinting, NothingCheckedGivesTheHeaderAndItsRulesOnly) {
    const auto pages = print(RecordPrintChoice{});
    ASSERT_EQ(pages->PageCount(), 1);
    const RecordedPage page = pages->Page(0);
    expectHeader(page, 1, spacing);
    EXPECT_EQ(texts(page), (QStringList{"Page 1", "10:11:12 AM"}));
    EXPECT_EQ(OpsOfKind(page, PageOp::Line).size(), 2u);
}

TEST_F(RecordPrinting, ALongMemoRunsOnToFurtherPagesEachWithItsHeader) {
    QStringList memo;
    for (int i = 1; i <= 200; ++i)
        memo << QStringLiteral("memo line %1").arg(i);
    const auto pages =
        print(only({RecordPrintField::Last, RecordPrintField::Memo}), memo.join("\r\n"));
    ASSERT_GE(pages->PageCount(), 3);
    QStringList printed;
    for (int p = 0; p < pages->PageCount(); ++p) {
        SCOPED_TRACE(p + 1);
        const RecordedPage page = pages->Page(p);
        expectHeader(page, p + 1, spacing);
        // The memo's rule only once, before its first line.
        EXPECT_EQ(OpsOfKind(page, PageOp::Line).size(), p == 0 ? 3u : 2u);
        const auto ops = TextOps(page);
        for (size_t i = 2; i < ops.size(); ++i) {
            if (ops[i].text.startsWith(QStringLiteral("memo"))) {
                EXPECT_TRUE(ops[i].font.italic);
                EXPECT_LE(ops[i].y1 + descent, 10.0 + kEps); // inside the area
                printed << ops[i].text;
            }
        }
        if (p > 0) { // a continuation page starts right below its header
            EXPECT_NEAR(ops[2].y1, 1.0 + 2 * spacing - descent, kEps);
        }
    }
    EXPECT_EQ(printed, memo);
}

TEST_F(RecordPrinting, DateIsPrintedInItsDisplayForm) {
    SetDisplayDateFormat(QStringLiteral("dd.mm.yyyy"));
    table.resync();
    const auto pages = print(only({RecordPrintField::Date}));
    EXPECT_EQ(texts(pages->Page(0)).mid(2), (QStringList{"Date", "15.03.2024"}));
}

TEST(MemoLines, BrokenAsAnEditBoxWould) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    const QFontMetricsF fm(font);
    struct Case {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"one", {"one"}},
        {"one\r\ntwo", {"one", "two"}},
        {"one\r\n\r\nthree", {"one", "", "three"}},
        {"one\ntwo\rthree", {"one", "two", "three"}},
        {"\r\n", {"", ""}}, // two lines, not a single blank one
    };
    for (const Case& c : cases)
        EXPECT_EQ(BreakIntoLines(QString::fromLatin1(c.text), font, 500), c.lines) << c.text;

    // Words wrap at the width; a word longer than the width is cut.
    const QString words = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota");
    const int width = int(fm.horizontalAdvance(QStringLiteral("alpha beta gamma")) + 2);
    const QStringList wrapped = BreakIntoLines(words, font, width);
    EXPECT_EQ(wrapped.join(' '), words);
    EXPECT_EQ(wrapped.front(), QStringLiteral("alpha beta gamma"));
    for (const QString& line : wrapped)
        EXPECT_LE(fm.horizontalAdvance(line), width) << line.toStdString();
    const QStringList cut = BreakIntoLines(QString(80, QLatin1Char('x')), font, width);
    EXPECT_GT(cut.size(), 1);
    EXPECT_EQ(cut.join(QString()), QString(80, QLatin1Char('x')));
}

// ---- the window --------------------------------------------------------------------

TEST_F(RecordPrinting, WindowBoxesAndTheAllBox) {
    TPrintCurrentRecord window(table);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Print Current Record"));
    EXPECT_EQ(window.Box(RecordPrintField::State)->text(), QStringLiteral("State/Province"));
    EXPECT_EQ(window.Box(RecordPrintField::Zip)->text(), QStringLiteral("Zip/Postal Code"));
    EXPECT_EQ(window.Box(RecordPrintField::Email)->text(), QStringLiteral("E-mail"));
    EXPECT_EQ(window.Choice(), all());
    window.AllBox()->setChecked(false);
    window.AllClick();
    EXPECT_EQ(window.Choice(), RecordPrintChoice{});
    window.AllBox()->setChecked(true);
    window.AllClick();
    EXPECT_EQ(window.Choice(), all());
}

TEST_F(RecordPrinting, PreviewShowsTheRecordedPagesAndKeepsThePosition) {
    TPrintCurrentRecord window(table);
    window.AllBox()->setChecked(false);
    window.AllClick();
    window.Box(RecordPrintField::Last)->setChecked(true);
    QStringList shown;
    int zoom = 0;
    ModalScript script([&](QDialog& d) {
        shown << d.windowTitle();
        if (auto* job = qobject_cast<JobStatusWindow*>(&d))
            job->Run();
        if (auto* preview = qobject_cast<TPreviewForm*>(&d))
            zoom = preview->InitialZoom;
        return int(QDialog::Accepted);
    });
    const uint32_t recno = table.recno();
    window.PreviewClick();
    EXPECT_EQ(shown, (QStringList{"Preview Status", "Preview Report"}));
    EXPECT_EQ(zoom, 2);
    ASSERT_TRUE(window.LastPreview());
    ASSERT_EQ(window.LastPreview()->PageCount(), 1);
    const QStringList printed = texts(window.LastPreview()->Page(0));
    ASSERT_EQ(printed.size(), 4);
    EXPECT_EQ(printed.mid(2), (QStringList{"Last", "Lee"}));
    EXPECT_EQ(table.recno(), recno);
}

TEST_F(RecordPrinting, PrintingToAPdfFileGivesTheRecordsText) {
    const QString previous = CurrentPrinterName();
    ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
    const QString pdf = dir.filePath(QStringLiteral("record.pdf"));
    SetPdfOutputFile(pdf);
    TPrintCurrentRecord window(table);
    QString finalStatus;
    ModalScript script([&](QDialog& d) {
        if (auto* job = qobject_cast<JobStatusWindow*>(&d)) {
            job->Run();
            finalStatus = job->FinalStatus();
        }
        return int(QDialog::Accepted);
    });
    window.PrintClick();
    SetPdfOutputFile(QString());
    SelectCurrentPrinter(previous);
    EXPECT_EQ(finalStatus, QStringLiteral("\rReport Print Completed!"));

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* expected : {"Page 1", "Last", "Lee", "Organization", "Acme", "03/15/2024",
                                 "Met at the fair.", "Call in spring."})
        EXPECT_TRUE(out.contains(QString::fromLatin1(expected))) << expected << "\n"
                                                                 << out.toStdString();
    // Label and value share a line.
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("Zip/Postal +02110"))));

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Title: +Single Record Report"))));
}

TEST_F(RecordPrinting, StoppingAPreviewEndsAtThePageBreakAndShowsWhatWasMade) {
    QStringList memo;
    for (int i = 1; i <= 200; ++i)
        memo << QStringLiteral("memo line %1").arg(i);
    ASSERT_TRUE(table.setMemo(QStringLiteral("MEMO"), memo.join("\r\n")));
    ASSERT_TRUE(table.post());
    TPrintCurrentRecord window(table);
    bool previewShown = false;
    ModalScript script([&](QDialog& d) {
        if (auto* job = qobject_cast<JobStatusWindow*>(&d)) {
            job->CancelButtonClick(); // "Stop", seen at the first page break
            job->Run();
            EXPECT_EQ(job->FinalStatus(), QStringLiteral("\rPreview Stopped at page 1!"));
        }
        if (qobject_cast<TPreviewForm*>(&d))
            previewShown = true;
        return int(QDialog::Accepted);
    });
    window.PreviewClick();
    EXPECT_TRUE(previewShown);
    ASSERT_TRUE(window.LastPreview());
    EXPECT_EQ(window.LastPreview()->PageCount(), 1);
}
