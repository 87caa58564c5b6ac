// Label runs on the recorded page file: positions on the sheet, the mask on
// every sheet, copies, counters, page starts, presorted runs with their
// separator labels, the run's scope and starting record, the paper set-up,
// and the position list of the command line.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/panels.h"
#include "labelobjects/textlabels.h"
#include "labels/labellistwindow.h"
#include "labels/labelprinter.h"
#include "labels/labelprintpanel.h"
#include "labels/selectspecificlabels.h"
#include "postal/presort.h"
#include "printing/previewform.h"
#include "printing/printers.h"
#include "storage/dataset.h"
#include "storage/settings.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace qb;

namespace {

// A label object that prints the record's last name and its own counter at
// the label's corner, so a test can tell which record went where.
class Probe : public TKGraphicControl {
public:
    int counter = 1000;
    int start = 1000;
    QString name;
    void RefreshData() override {
        auto* panel = qobject_cast<TKDataPanel*>(Panel());
        name = panel && panel->Dataset() ? panel->Dataset()->asString(QStringLiteral("LNAME"))
                                         : QString();
    }
    void AdvanceCounter() override { ++counter; }
    void ResetCounter() override { counter = start; }
    void PrintTo(PrintSurface& s, double x0, double y0) override {
        s.WriteClipped(QRectF(x0, y0, 1, 1), x0, y0,
                       name + QLatin1Char('#') + QString::number(counter));
    }
};

struct Placed {
    int page;
    double x, y;
    QString text;
};

std::vector<Placed> Labels(const PageFile& pages) {
    std::vector<Placed> out;
    for (int p = 0; p < pages.PageCount(); ++p)
        for (const PageOp& op : pages.Page(p).ops)
            if (op.kind == PageOp::ClippedText)
                out.push_back({p, op.clip.left(), op.clip.top(), op.text});
    return out;
}

} // namespace

class LabelPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        ASSERT_TRUE(CreateAddressFile(dir.filePath(QStringLiteral("ADD0001.DBF")), spare));
        AddressFile::Configure(table);
        table.setDirectory(dir.path());
        table.setFileName(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(table.open()) << table.errorText().toStdString();
        panel.SetDataset(&table);
        probe = new Probe;
        panel.AddObject(probe, QRect(0, 0, 50, 20));
    }

    void Add(const QString& lname, const QString& zip = QStringLiteral("12345"), bool isDel = false,
             const QString& tag = QString()) {
        AddressRecord r;
        r.lname = lname;
        r.zip = zip;
        r.isDel = isDel;
        r.tag = tag;
        ASSERT_TRUE(table.insert());
        ASSERT_TRUE(r.write(table));
        ASSERT_TRUE(table.post()) << table.errorText().toStdString();
    }
    void AddMany(int n) {
        for (int i = 1; i <= n; ++i)
            Add(QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0')));
    }

    // Runs the loop as a recorded job from the first record.
    std::vector<Placed> Run(LabelPrintLoop::Settings settings, int* labels = nullptr) {
        table.first();
        TReportFiler filer(pages);
        LabelPrintLoop loop(panel, table, std::move(settings));
        loop.AfterRecord = nullptr;
        filer.OnPrint = [&](PrintSurface& s) { loop.Run(s); };
        filer.RunJob();
        if (labels)
            *labels = loop.LabelsPrinted();
        return Labels(*pages);
    }

    QTemporaryDir dir;
    TableDataset table;
    TKDataPanel panel;
    Probe* probe = nullptr;
    std::shared_ptr<PageFile> pages = std::make_shared<PageFile>();
};

TEST_F(LabelPrintTest, FullSheetThenOneLabelOnASecondPageAndNoThird) {
    AddMany(31);
    const auto placed = Run({});
    ASSERT_EQ(pages->PageCount(), 2);
    ASSERT_EQ(placed.size(), 31u);
    const LabelSheet sheet;
    for (int i = 0; i < 30; ++i) {
        const QPointF at = sheet.Position(i % 3, i / 3);
        EXPECT_EQ(placed[i].page, 0);
        EXPECT_DOUBLE_EQ(placed[i].x, at.x()) << i;
        EXPECT_DOUBLE_EQ(placed[i].y, at.y()) << i;
        EXPECT_TRUE(
            placed[i].text.startsWith(QStringLiteral("R%1#").arg(i + 1, 3, 10, QLatin1Char('0'))));
    }
    EXPECT_EQ(placed[30].page, 1);
    EXPECT_DOUBLE_EQ(placed[30].x, 0.188);
    EXPECT_DOUBLE_EQ(placed[30].y, 0.5);
    EXPECT_TRUE(placed[30].text.startsWith(QStringLiteral("R031#")));
}

TEST_F(LabelPrintTest, ExactlyOneSheetStartsNoSecondPage) {
    AddMany(30);
    Run({});
    EXPECT_EQ(pages->PageCount(), 1);
}

TEST_F(LabelPrintTest, MaskAppliesToEverySheet) {
    AddMany(31);
    LabelPrintLoop::Settings s;
    for (int i = 0; i < 5; ++i)
        s.mask.Set(i, false);
    const auto placed = Run(s);
    ASSERT_EQ(pages->PageCount(), 2);
    ASSERT_EQ(placed.size(), 31u);
    const LabelSheet sheet;
    // 25 on the first sheet from (col 2, row 1), the other 6 there again on the second.
    for (int i = 0; i < 31; ++i) {
        const int slot = 5 + (i % 25);
        const QPointF at = sheet.Position(slot % 3, slot / 3);
        EXPECT_EQ(placed[i].page, i / 25) << i;
        EXPECT_DOUBLE_EQ(placed[i].x, at.x()) << i;
        EXPECT_DOUBLE_EQ(placed[i].y, at.y()) << i;
    }
}

TEST_F(LabelPrintTest, CopiesFillRowsAndEveryCopyAdvancesTheCounter) {
    Add(QStringLiteral("Ann"));
    Add(QStringLiteral("Bob"));
    LabelPrintLoop::Settings s;
    s.copies = 3;
    int labels = 0;
    const auto placed = Run(s, &labels);
    EXPECT_EQ(labels, 6);
    const QStringList expected = {"Ann#1000", "Ann#1001", "Ann#1002",
                                  "Bob#1003", "Bob#1004", "Bob#1005"};
    ASSERT_EQ(placed.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(placed[i].text, expected[i]);
        EXPECT_DOUBLE_EQ(placed[i].y, 0.5 + (i / 3) * 1.0);
    }
}

TEST_F(LabelPrintTest, EmptyScopeGivesOneEmptyPage) {
    const auto placed = Run({});
    EXPECT_TRUE(placed.empty());
    EXPECT_EQ(pages->PageCount(), 1);
}

TEST_F(LabelPrintTest, NoPositionSwitchedOnEndsAtOnce) {
    AddMany(3);
    LabelPrintLoop::Settings s;
    s.mask.SetAll(30, false);
    EXPECT_TRUE(Run(s).empty());
    EXPECT_EQ(pages->PageCount(), 1);
}

TEST_F(LabelPrintTest, StopEndsTheRunAndKeepsThePagesSoFar) {
    AddMany(70);
    table.first();
    TReportFiler filer(pages);
    LabelPrintLoop loop(panel, table, {});
    loop.AfterRecord = nullptr;
    loop.StopRequested = [&] { return loop.RecordsPrinted() >= 40; };
    filer.OnPrint = [&](PrintSurface& s) { loop.Run(s); };
    filer.RunJob();
    EXPECT_EQ(loop.RecordsPrinted(), 40);
    EXPECT_EQ(pages->PageCount(), 2);
}

TEST(LabelSheetTest, MiddleGapsCountOnlyWhenPositive) {
    struct Case {
        double midX, midY;
        int col, row;
        double x, y;
    } cases[] = {
        {0.5, 0.25, 1, 4, 0.188 + 2.75, 0.5 + 4.0},       // before the middle
        {0.5, 0.25, 2, 5, 0.188 + 5.5 + 0.5, 0.5 + 5.25}, // from the middle on
        {0.0, 0.0, 3, 9, 0.188 + 8.25, 0.5 + 9.0},        // none
        {-0.5, -0.3, 3, 9, 0.188 + 8.25, 0.5 + 9.0},      // negative adds nothing
    };
    for (const Case& c : cases) {
        LabelSheet s;
        s.nbrAcross = 4;
        s.midExtraX = c.midX;
        s.midExtraY = c.midY;
        const QPointF p = s.Position(c.col, c.row);
        EXPECT_NEAR(p.x(), c.x, 1e-9) << c.col << "," << c.row;
        EXPECT_NEAR(p.y(), c.y, 1e-9) << c.col << "," << c.row;
    }
}

TEST(LabelSheetTest, PaperCodesAndLandscape) {
    struct Case {
        const char* code;
        int paper;
        bool landscape;
    } cases[] = {{"LTR", 1, false}, {"LTRL", 1, true},  {"A4", 9, false},   {"A4L", 9, true},
                 {"A5", 11, false}, {"USER", 0, false}, {"USERL", 0, true}, {"LGL", 0, false}};
    for (const Case& c : cases) {
        LabelSheet s;
        s.paperSize = QString::fromLatin1(c.code);
        EXPECT_EQ(s.PaperCode(), c.paper) << c.code;
        EXPECT_EQ(s.Landscape(), c.landscape) << c.code;
    }
}

TEST(LabelPaperTest, UserLandscapeStockGoesToThePrinterAsPortraitCustomPaper) {
    LabelSheet s;
    s.paperSize = QStringLiteral("USERL");
    s.sheetWidth = 11.0;
    s.sheetDepth = 8.5;
    EXPECT_EQ(s.PrinterPaper(), QSizeF(8.5, 11.0));

    ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
    TReportFiler filer;
    EXPECT_TRUE(SelectLabelPaper(filer, s, PdfPrinterName()).isEmpty());
    EXPECT_EQ(filer.Orientation(), PrintOrientation::poLandScape);
    EXPECT_NEAR(filer.PaperWidth(), 11.0, 0.01);
    EXPECT_NEAR(filer.PaperHeight(), 8.5, 0.01);

    // A printer whose paper cannot be set is never confirmed.
    const QString question = SelectLabelPaper(filer, s, QStringLiteral("hpfdj 1200C"));
    EXPECT_EQ(question, QStringLiteral("Unable to confirm that the paper size was set to\r\n\r\n"
                                       "8.50\" by 11.00\"\r\n\r\n"
                                       "(you may have the wrong printer selected)\r\n\r\n"
                                       "Would you like to try printing anyways?"));
}

TEST(LabelPaperTest, LetterStockIsConfirmedOnThePdfPrinter) {
    ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
    TReportFiler filer;
    EXPECT_TRUE(SelectLabelPaper(filer, LabelSheet{}, PdfPrinterName()).isEmpty());
    EXPECT_NEAR(filer.PaperWidth(), 8.5, 0.01);
    EXPECT_EQ(filer.Orientation(), PrintOrientation::poPortrait);
}

TEST(PositionMaskTest, ListsOfPositions) {
    struct Case {
        const char* list;
        bool ok;
        QList<int> on; // 0-based
    } cases[] = {
        {"1,2,5-7", true, {0, 1, 4, 5, 6}},
        {" 3 - 4 ,10", true, {2, 3, 9}},
        {"10", true, {9}},
        {"0", false, {}},
        {"11", false, {}},
        {"4-2", false, {}},
        {"1,,2", false, {}},
        {"a", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        PositionMask m;
        QString error;
        EXPECT_EQ(m.ParseList(QString::fromLatin1(c.list), 10, &error), c.ok) << c.list;
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty()) << c.list;
            EXPECT_EQ(m.CountOn(10), 10) << "a refused list changes nothing: " << c.list;
            continue;
        }
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(m.On(i), c.on.contains(i)) << c.list << " position " << i;
    }
}

TEST(PositionMaskTest, GrowsForLargeStocksWithNewPositionsOn) {
    PositionMask m;
    m.Set(250, false);
    EXPECT_FALSE(m.On(250));
    EXPECT_TRUE(m.On(249));
    EXPECT_TRUE(m.On(5000));
    EXPECT_EQ(m.CountOn(300), 299);
    m.SetAll(300, false);
    EXPECT_FALSE(m.AnyOn(300));
}

// ---- presorted runs ------------------------------------------------------------------------

class PresortRunTest : public LabelPrintTest {
protected:
    std::vector<Placed> RunPresorted(const QStringList& lines, int copies = 1) {
        LabelRunScope scope(table);
        QString notice, error;
        EXPECT_TRUE(scope.Apply(LabelScope::AllRecords, false, QString(), &notice, &error));
        EXPECT_TRUE(scope.UsePresortOrder(&error)) << error.toStdString();
        LabelPrintLoop::Settings s;
        s.presort = true;
        s.presortLines = lines;
        s.copies = copies;
        TReportFiler filer(pages);
        LabelPrintLoop loop(panel, table, s);
        loop.AfterRecord = nullptr;
        filer.OnPrint = [&](PrintSurface& surface) { loop.Run(surface); };
        filer.RunJob();
        return Labels(*pages);
    }
    static QStringList Texts(const std::vector<Placed>& placed) {
        QStringList out;
        for (const Placed& p : placed)
            out << p.text.section(QLatin1Char('#'), 0, 0);
        return out;
    }
};

TEST_F(PresortRunTest, GroupsComeOutBehindTheirSeparatorsOncePerRecord) {
    Add(QStringLiteral("B1"), QStringLiteral("12346"));
    Add(QStringLiteral("A1"), QStringLiteral("12345"));
    Add(QStringLiteral("C1"), QStringLiteral("00012"));
    Add(QStringLiteral("A2"), QStringLiteral("12345-6789"));
    Add(QStringLiteral("D1"), QStringLiteral("1234"));
    Add(QStringLiteral("X1"), QString()); // no ZIP: not in the presort file
    const auto placed = RunPresorted({"** 5-digit 12345", "12345", "** ADC ALBANY NY 120", "1234",
                                      "12346", "** Unknown", "00012"},
                                     3);
    EXPECT_EQ(Texts(placed), QStringList({"** 5-digit 12345", "A1", "A2", "** ADC ALBANY NY 120",
                                          "D1", "B1", "** Unknown", "C1"}));
}

TEST_F(PresortRunTest, SeparatorIsClippedToItsCellBelowTheTop) {
    Add(QStringLiteral("A1"), QStringLiteral("12345"));
    const auto placed = RunPresorted({"** 5-digit 12345", "12345"});
    ASSERT_EQ(placed.size(), 2u);
    const RecordedPage page = pages->Page(0);
    const PageOp& sep = page.ops.front();
    ASSERT_EQ(sep.kind, PageOp::ClippedText);
    EXPECT_EQ(sep.text, QStringLiteral("** 5-digit 12345"));
    EXPECT_EQ(sep.clip, QRectF(0.188, 0.5, 2.75, 1.0));
    EXPECT_DOUBLE_EQ(sep.x1, 0.188 + 0.15);
    EXPECT_EQ(sep.font.family, QStringLiteral("Arial"));
    EXPECT_EQ(sep.font.points, 8.0);
    EXPECT_FALSE(sep.hasFill);
    // The group's first record takes the next position.
    EXPECT_DOUBLE_EQ(placed[1].x, 0.188 + 2.75);
}

TEST_F(PresortRunTest, LinesMatchingNoRecordAreSkippedAndTheRunEndsCleanly) {
    Add(QStringLiteral("A1"), QStringLiteral("12345"));
    Add(QStringLiteral("B1"), QStringLiteral("55555"));
    // The file is older than the data: 99999 and 77777 are gone.
    const auto placed =
        RunPresorted({"** ADC ALBANY NY 120", "99999", "12345", "77777", "** Unknown", "88888"});
    // A group none of whose ZIPs is left gets no separator.
    EXPECT_EQ(Texts(placed), QStringList({"** ADC ALBANY NY 120", "A1"}));
    // The table is back as it was.
    EXPECT_TRUE(table.order().isEmpty());
}

TEST_F(PresortRunTest, EmptyFilePrintsNothing) {
    Add(QStringLiteral("A1"), QStringLiteral("12345"));
    EXPECT_TRUE(RunPresorted({}).empty());
    EXPECT_EQ(pages->PageCount(), 1);
}

// ---- scope and starting record ----------------------------------------------------------------

TEST_F(LabelPrintTest, ScopesAndStartingRecord) {
    Add(QStringLiteral("A"));
    Add(QStringLiteral("B"), QStringLiteral("12345"), true); // marked deleted
    Add(QStringLiteral("C"), QStringLiteral("12345"), false, QStringLiteral("T1"));
    Add(QStringLiteral("D"), QStringLiteral("12345"), false, QStringLiteral("T1"));
    Add(QStringLiteral("E"));
    ASSERT_TRUE(table.setFilter(QStringLiteral("LNAME>=\"C\"")));
    ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
    ASSERT_TRUE(table.gotoRecno(4)); // D

    struct Case {
        LabelScope scope;
        bool fromCurrent;
        QString filter;
        QStringList names;
        bool outOfRange;
    } cases[] = {
        {LabelScope::AllRecords, false, {}, {"A", "C", "D", "E"}, false},
        {LabelScope::AllRecords, true, {}, {"D", "E"}, false},
        {LabelScope::MatchingFilter, false, {}, {"C", "D", "E"}, false},
        {LabelScope::MatchingFilter, true, {}, {"D", "E"}, false},
        {LabelScope::CurrentRecord, false, {}, {"D"}, false},
        {LabelScope::Tagged, false, TaggedFilter(QStringLiteral("t1")), {"C", "D"}, false},
        {LabelScope::MatchingFilter, true, QStringLiteral("LNAME=\"A\""), {"A"}, true},
    };
    for (const Case& c : cases) {
        QStringList names;
        QString notice, error;
        {
            LabelRunScope scope(table);
            ASSERT_TRUE(scope.Apply(c.scope, c.fromCurrent, c.filter, &notice, &error))
                << error.toStdString();
            for (; !table.eof(); table.next())
                names << table.asString(QStringLiteral("LNAME"));
        }
        EXPECT_EQ(names, c.names) << c.filter.toStdString();
        EXPECT_EQ(notice == OutOfRangeMessage(), c.outOfRange) << c.filter.toStdString();
        // Filter, order and record are back after every run.
        EXPECT_EQ(table.filterText(), QStringLiteral("LNAME>=\"C\""));
        EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
        EXPECT_EQ(table.recno(), 4u);
    }
}

TEST_F(LabelPrintTest, RefusedFilterIsReportedAndChangesNothing) {
    AddMany(2);
    LabelRunScope scope(table);
    QString notice, error;
    EXPECT_FALSE(scope.Apply(LabelScope::MatchingFilter, false, QStringLiteral("NOSUCHFIELD=1"),
                             &notice, &error));
    EXPECT_FALSE(error.isEmpty());
}

// ---- the position dialog ---------------------------------------------------------------------

TEST(SelectSpecificLabelsTest, SheetPictureFollowsTheStockAtAFifthOfScreenScale) {
    LabelSheet s; // 3 x 10, left 0.188, top 0.5, pitch 2.75 x 1.0, label 2.625 x 1.0
    EXPECT_EQ(TSheetPicture::SheetRect(s), QRect(QPoint(10, 10), QPoint(10 + 163, 10 + 211)));
    // trunc(0.188 * 19.2) = 3, trunc(2.75 * 19.2) = 52, trunc(2.625 * 19.2) = 50
    EXPECT_EQ(TSheetPicture::PositionRect(s, 0, 0), QRect(13, 19, 50, 19));
    EXPECT_EQ(TSheetPicture::PositionRect(s, 2, 9), QRect(13 + 104, 19 + 9 * 19, 50, 19));
    s.midExtraX = 0.5; // trunc(9.6) = 9 from the middle column on
    EXPECT_EQ(TSheetPicture::PositionRect(s, 0, 0).left(), 13);
    EXPECT_EQ(TSheetPicture::PositionRect(s, 1, 0).left(), 13 + 52 + 9);
    s.midExtraX = -0.5;
    EXPECT_EQ(TSheetPicture::PositionRect(s, 1, 0).left(), 13 + 52);
    EXPECT_EQ(TSheetPicture::PositionAt(s, QPoint(14, 20)), 0);
    EXPECT_EQ(TSheetPicture::PositionAt(s, QPoint(13 + 52 + 1, 19 + 19 + 1)), 4);
    EXPECT_EQ(TSheetPicture::PositionAt(s, QPoint(5, 5)), -1);
}

TEST(SelectSpecificLabelsTest, LargeSheetsEnlargeThePicture) {
    const LabelSheet s;
    LabelSheet big;
    big.sheetWidth = 11.0;
    big.sheetDepth = 17.0;
    PositionMask m;
    TSheetPicture letter(s, m);
    TSheetPicture tabloid(big, m);
    EXPECT_GT(tabloid.sizeHint().width(), letter.sizeHint().width());
    EXPECT_GT(tabloid.sizeHint().height(), letter.sizeHint().height());
    EXPECT_GE(tabloid.sizeHint().height(), 10 + static_cast<int>(17.0 * 19.2));
}

TEST(SelectSpecificLabelsTest, ClicksAllNoneAndTheAtLeastOneRule) {
    MessageScript script;
    LabelSheet s;
    PositionMask start;
    start.Set(7, false);
    TSelectSpecificLabels dialog(s, start, {QStringLiteral("P1"), QStringLiteral("P2")},
                                 QStringLiteral("P2"), false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Labels Print"));
    EXPECT_EQ(dialog.PrinterName(), QStringLiteral("P2"));
    EXPECT_FALSE(dialog.Mask().On(7));
    EXPECT_TRUE(dialog.Picture()->ClickAt(TSheetPicture::PositionRect(s, 1, 2).center()));
    EXPECT_TRUE(dialog.Mask().On(7));
    EXPECT_TRUE(dialog.Picture()->ClickAt(TSheetPicture::PositionRect(s, 0, 0).center()));
    EXPECT_FALSE(dialog.Mask().On(0));
    EXPECT_FALSE(dialog.Picture()->ClickAt(QPoint(2, 2)));

    dialog.NoneClick();
    EXPECT_FALSE(dialog.Mask().AnyOn(30));
    dialog.OKButtonClick();
    EXPECT_EQ(script.texts(),
              QStringList{QStringLiteral("You must select at least one card to print")});
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.AllClick();
    EXPECT_EQ(dialog.Mask().CountOn(30), 30);
    dialog.CopiesSpin()->setValue(150);
    EXPECT_EQ(dialog.Copies(), 99);
    EXPECT_EQ(dialog.CopiesSpin()->value(), 99);
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(SelectSpecificLabelsTest, CopiesStartAtOneAndAreHiddenForPresort) {
    const LabelSheet s;
    TSelectSpecificLabels plain(s, {}, {}, {}, false);
    EXPECT_EQ(plain.Copies(), 1);
    EXPECT_FALSE(plain.CopiesSpin()->isHidden());
    TSelectSpecificLabels presorted(s, {}, {}, {}, true);
    EXPECT_TRUE(presorted.CopiesSpin()->isHidden());
    EXPECT_TRUE(presorted.CopiesCaption()->isHidden());
}

// ---- the label window's print panel ------------------------------------------------------------

class PrintPanelTest : public LabelPrintTest {
protected:
    void SetUp() override {
        LabelPrintTest::SetUp();
        ASSERT_TRUE(home.isValid());
        oldHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        EnsureHomeLayout();
        ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
        for (int i = 1; i <= 5; ++i)
            Add(QStringLiteral("N%1").arg(i), QStringLiteral("1234%1").arg(i));
        screen = std::make_unique<TLabelSetupScreen>(&table);
        ASSERT_TRUE(screen->OpenLabelTable());
        AddDefinition(LabelDefinition::BuiltInDefault());
        panel = screen->findChild<TLabelPrintPanel*>();
        ASSERT_NE(panel, nullptr);
        modals.emplace([this](QDialog& d) { return Answer(d); });
    }
    void TearDown() override {
        modals.reset();
        panel = nullptr;
        screen.reset();
        SetProgramDirectory(oldHome);
    }

    void AddDefinition(LabelDefinition def) {
        MessageScript quiet;
        def.isNew = true;
        TKLabelPanel layout;
        layout.resize(LabelPanelSize(def));
        auto* text = new TKPLabel;
        layout.AddObject(text, QRect(4, 4, 100, 20));
        ASSERT_TRUE(SaveLabelDefinition(screen->LabelTable(), def, layout))
            << quiet.texts().join(QLatin1Char('|')).toStdString();
        stored = def;
        screen->RefreshList(def.recno);
    }

    // Answers the dialogs of a run: Ok in the position dialog, the presort
    // and the job run through, the preview noted.
    int Answer(QDialog& d) {
        shown << d.metaObject()->className();
        if (auto* p = qobject_cast<TSelectSpecificLabels*>(&d)) {
            if (!acceptPositions)
                return QDialog::Rejected;
            p->OKButtonClick();
            return p->result();
        }
        if (auto* s = qobject_cast<TSortBulkMail*>(&d)) {
            s->DoTheSort();
            return s->Done() ? QDialog::Accepted : QDialog::Rejected;
        }
        if (auto* j = qobject_cast<JobStatusWindow*>(&d)) {
            j->Run();
            return QDialog::Accepted;
        }
        if (auto* f = qobject_cast<TPreviewForm*>(&d)) {
            previewCaption = f->windowTitle();
            previewZoom = f->InitialZoom;
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }

    QTemporaryDir home;
    QString oldHome;
    std::unique_ptr<TLabelSetupScreen> screen;
    TLabelPrintPanel* panel = nullptr;
    std::optional<ModalScript> modals;
    LabelDefinition stored;
    QStringList shown;
    bool acceptPositions = true;
    QString previewCaption;
    int previewZoom = 0;
};

TEST_F(PrintPanelTest, PreviewRunsOverTheScopeAndPutsTheTableBack) {
    MessageScript script;
    ASSERT_TRUE(table.setFilter(QStringLiteral("LNAME<=\"N3\"")));
    ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
    ASSERT_TRUE(table.gotoRecno(2));
    panel->AllRecordsButton()->setChecked(true);
    panel->PreviewClick();
    EXPECT_EQ(panel->LastLabelsPrinted(), 5);
    EXPECT_EQ(panel->LastPageCount(), 1);
    EXPECT_FALSE(panel->LastRunCancelled());
    EXPECT_EQ(previewCaption, QStringLiteral("Preview Labels"));
    EXPECT_EQ(previewZoom, 2);
    EXPECT_EQ(table.filterText(), QStringLiteral("LNAME<=\"N3\""));
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.recno(), 2u);
    EXPECT_FALSE(panel->LabelPanel().Printing());

    panel->FilterButton()->setChecked(true);
    panel->PreviewClick();
    EXPECT_EQ(panel->LastLabelsPrinted(), 3);
    panel->CurrentRecordButton()->setChecked(true);
    panel->PreviewClick();
    EXPECT_EQ(panel->LastLabelsPrinted(), 1);
    EXPECT_TRUE(script.texts().isEmpty()) << script.texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(PrintPanelTest, PrintingToThePdfPrinterWritesTheFile) {
    MessageScript script;
    const QString out = home.filePath(QStringLiteral("labels.pdf"));
    SetPdfOutputFile(out);
    panel->AllRecordsButton()->setChecked(true);
    panel->PrintClick();
    SetPdfOutputFile(QString());
    EXPECT_EQ(panel->LastStatus(), QStringLiteral("\rLabel Print Completed!"));
    EXPECT_EQ(panel->LastPageCount(), 1);
    EXPECT_TRUE(QFile::exists(out));
}

TEST_F(PrintPanelTest, CancelledPositionDialogOrMissingLayoutPrintsNothing) {
    MessageScript script;
    acceptPositions = false;
    panel->PreviewClick();
    EXPECT_EQ(shown, QStringList{QStringLiteral("qb::TSelectSpecificLabels")});
    acceptPositions = true;
    shown.clear();
    ASSERT_TRUE(QFile::remove(LayoutFilePath(stored.binary)));
    panel->PreviewClick();
    EXPECT_EQ(script.texts(), QStringList{MissingLayoutFileMessage()});
    EXPECT_FALSE(shown.contains(QStringLiteral("qb::TLabelPrinter")));
}

TEST_F(PrintPanelTest, UnconfirmedPaperAsksAndNoMeansNoOutput) {
    LabelDefinition odd = LabelDefinition::BuiltInDefault();
    odd.descript = QStringLiteral("Odd sheet");
    odd.sheetWidth = 9.0; // the letter paper the code asks for is 8.5 wide
    AddDefinition(odd);
    MessageScript script;
    script.answer(false);
    panel->AllRecordsButton()->setChecked(true);
    panel->PreviewClick();
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_TRUE(script.shown[0].text.startsWith(QStringLiteral(
        "Unable to confirm that the paper size was set to\r\n\r\n9.00\" by 11.00\"")));
    EXPECT_FALSE(shown.contains(QStringLiteral("qb::TLabelPrinter")));
    EXPECT_EQ(panel->LastLabelsPrinted(), 0);
}

TEST_F(PrintPanelTest, ScopeChoicesAndThePresortDoneFlag) {
    MessageScript script;
    panel->AllRecordsButton()->setChecked(true);
    panel->PresortBox()->setChecked(true);
    panel->PreviewClick();
    EXPECT_TRUE(panel->PresortDone());
    EXPECT_EQ(shown.count(QStringLiteral("qb::TSortBulkMail")), 1);
    EXPECT_TRUE(script.sawText(PresortOrderMessage()));
    EXPECT_EQ(table.order(), QString());

    // A second run with the same scope reuses the presort.
    panel->PreviewClick();
    EXPECT_EQ(shown.count(QStringLiteral("qb::TSortBulkMail")), 1);

    // Changing the start option or the scope asks for a new presort.
    panel->StartFromCurrentBox()->setChecked(true);
    EXPECT_FALSE(panel->PresortDone());
    panel->PreviewClick();
    EXPECT_EQ(shown.count(QStringLiteral("qb::TSortBulkMail")), 2);
    panel->FilterButton()->setChecked(true);
    EXPECT_FALSE(panel->PresortDone());
    EXPECT_TRUE(panel->PresortBox()->isChecked());

    // Only the current record: no presort at all.
    panel->CurrentRecordButton()->setChecked(true);
    EXPECT_FALSE(panel->PresortBox()->isChecked());
    EXPECT_FALSE(panel->PresortBox()->isEnabled());
    panel->AllRecordsButton()->setChecked(true);
    EXPECT_TRUE(panel->PresortBox()->isEnabled());
}

TEST_F(PrintPanelTest, NoFilterSelectsAllRecordsAndDisablesTheFilterChoice) {
    EXPECT_TRUE(panel->FilterButton()->isChecked());
    panel->SetFilterAvailable(false);
    EXPECT_FALSE(panel->FilterButton()->isEnabled());
    EXPECT_TRUE(panel->AllRecordsButton()->isChecked());
}

TEST_F(PrintPanelTest, MatchingFilterPrintsTheMainWindowsFilterWhateverTheTableCarries) {
    MessageScript script;
    ASSERT_TRUE(table.setFilter(QStringLiteral("not DELETED()")));
    panel->SetMainFilter(QStringLiteral("LNAME<=\"N2\" .and. !ISDEL"));
    ASSERT_TRUE(panel->FilterButton()->isEnabled());
    panel->FilterButton()->setChecked(true);
    panel->PreviewClick();
    EXPECT_EQ(panel->LastLabelsPrinted(), 2);
    EXPECT_EQ(table.filterText(), QStringLiteral("not DELETED()"));
    panel->SetMainFilter(QString());
    EXPECT_FALSE(panel->FilterButton()->isEnabled());
    EXPECT_TRUE(panel->AllRecordsButton()->isChecked());
}

// ---- the status window
// ---------------------------------------------------------------------------

TEST_F(LabelPrintTest, StoppedPreviewKeepsItsPagesAndSaysWhereItStopped) {
    AddMany(70);
    table.first();
    TLabelPrinter job(JobStatusWindow::Mode::Preview, panel, table, {});
    EXPECT_EQ(job.windowTitle(), QStringLiteral("Preview Status"));
    EXPECT_EQ(job.ButtonCaption(), QStringLiteral("Stop"));
    job.Loop().AfterRecord = [&](const LabelPrintLoop& l) {
        if (l.RecordsPrinted() == 35)
            job.CancelButtonClick();
    };
    job.Run();
    EXPECT_EQ(job.Filer().StatusFormat, QStringLiteral("Preparing Preview Page %p\r%0\r%1"));
    EXPECT_EQ(job.Loop().RecordsPrinted(), 35);
    EXPECT_EQ(job.Pages()->PageCount(), 2);
    EXPECT_EQ(job.FinalStatus(), QStringLiteral("\rPreview Stopped at page 2!"));
    EXPECT_EQ(job.ButtonCaption(), QStringLiteral("Ok"));
    EXPECT_EQ(job.Filer().Title(), QStringLiteral("Quillbury"));
}

TEST_F(LabelPrintTest, CancelledPrintAsksFirstAndLeavesNoFile) {
    AddMany(70);
    table.first();
    QTemporaryDir out;
    ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
    SetPdfOutputFile(out.filePath(QStringLiteral("cancelled.pdf")));
    MessageScript script;
    script.answer(false); // first "Cancel": No, go on
    script.answer(true);  // second: Yes
    TLabelPrinter job(JobStatusWindow::Mode::Print, panel, table, {});
    EXPECT_EQ(job.windowTitle(), QStringLiteral("Print Status"));
    EXPECT_EQ(job.ButtonCaption(), QStringLiteral("Cancel"));
    job.Loop().AfterRecord = [&](const LabelPrintLoop& l) {
        if (l.RecordsPrinted() == 10 || l.RecordsPrinted() == 40)
            job.CancelButtonClick();
    };
    job.Run();
    SetPdfOutputFile(QString());
    EXPECT_EQ(job.Printer().StatusFormat, QStringLiteral("Printing Page %p\r%0\r%1"));
    EXPECT_EQ(script.texts(), QStringList({QStringLiteral("Cancel Label Printing?"),
                                           QStringLiteral("Cancel Label Printing?")}));
    EXPECT_EQ(job.Loop().RecordsPrinted(), 40);
    EXPECT_EQ(job.FinalStatus(), QStringLiteral("\rLabel Print Canceled!"));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("cancelled.pdf"))));
}
