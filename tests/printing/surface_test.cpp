#include "print_test_support.h"
#include "printing/tintcolor.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace qb;
using namespace qb::testing;

TEST(TintColor, KeepsThePercentOfTheColourAndFillsUpWithWhite) {
    struct Case {
        QColor color;
        int percent;
        QColor expected;
    } cases[] = {
        {Qt::red, 100, QColor(255, 0, 0)},
        {Qt::red, 0, QColor(255, 255, 255)},
        {Qt::black, 50, QColor(127, 127, 127)},
        {QColor(10, 20, 30), 75, QColor(71, 78, 86)}, // truncating integer arithmetic
        {Qt::red, 150, QColor(255, 0, 0)},            // more than 100 % is the colour
        {Qt::blue, -5, QColor(255, 255, 255)},
        {QColor(QStringLiteral("navy")), 60, QColor(102, 102, 178)}, // named colours resolved
        {QColor::fromHsv(0, 255, 255), 100, QColor(255, 0, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TintColor(c.color, c.percent), c.expected)
            << c.color.name().toStdString() << " at " << c.percent;
}

TEST(StatusText, ExpandsEveryPlaceholder) {
    struct Case {
        const char* format;
        QStringList lines;
        const char* expected;
    } cases[] = {
        {"Printing Page %p\r%0\r%1", {"", ""}, "Printing Page 3\r\r"},
        {"%P of %f-%L", {}, "3 of 2-9"},
        {"100%% done", {}, "100% done"},
        {"%0|%1|%5", {"first", "second"}, "first|second|"},
        {"bad %x and %Q", {}, "bad <ERROR-%x> and <ERROR-%Q>"},
        {"ends in %", {}, "ends in %"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrintSurface::ExpandStatus(QString::fromLatin1(c.format), 3, 2, 9, c.lines),
                  QString::fromLatin1(c.expected))
            << c.format;
}

TEST(DeviceArithmetic, SubtractsTheUnprintableOffsetAndRoundsHalvesToEven) {
    TReportFiler s;
    s.SetDeviceMetrics(FakeDevice(600));
    EXPECT_EQ(s.DevicePixelX(1.0), 450); // (1.0 - 0.25) * 600
    EXPECT_EQ(s.DevicePixelY(1.0), 480); // (1.0 - 0.2) * 600
    EXPECT_EQ(s.DevicePixelX(0.25), 0);
    s.SetOriginX(0.5);
    EXPECT_EQ(s.DevicePixelX(1.0), 750);
    EXPECT_EQ(s.DevicePixelY(1.0), 480) << "the origin shift is horizontal only";

    struct Case {
        double inches;
        int pixel;
    } cases[] = {{0.5, 2}, {0.75, 2}, {1.0, 4}, {1.25, 4}, {0.875, 3}};
    const DeviceMapping m{4, 4, 0.125, 0}; // (x - 0.125) * 4: 1.5, 2.5, 3.5, 4.5, 3.0
    for (const Case& c : cases)
        EXPECT_EQ(m.x(c.inches), c.pixel) << c.inches;
}

TEST(Pen, NegativeWidthsAreHundredthsOfAnInchAtLeastOnePixel) {
    struct Case {
        int width;
        double dpi;
        int pixels;
    } cases[] = {{-3, 600, 18}, {-1, 72, 1}, {-1, 30, 1}, {5, 600, 5}, {0, 300, 1}, {-10, 300, 30}};
    for (const Case& c : cases) {
        TReportFiler s;
        s.SetDeviceMetrics(FakeDevice(c.dpi));
        s.UsePen(Qt::black, PenStyle::Solid, c.width);
        EXPECT_EQ(s.PenWidthPixels(), c.pixels) << c.width << " at " << c.dpi;
    }
    // A width in hundredths keeps its meaning when the device changes.
    TReportFiler s;
    s.SetDeviceMetrics(FakeDevice(300));
    s.UsePen(Qt::black, PenStyle::Solid, -3);
    s.SetDeviceMetrics(FakeDevice(1200));
    EXPECT_EQ(s.PenWidthPixels(), 36);
    // The recorded width keeps its size on paper when played at another resolution.
    auto file = Record([](PrintSurface& s) {
        s.UsePen(Qt::black, PenStyle::Solid, -3);
        s.MoveTo(1, 1);
        s.LineTo(2, 1);
    });
    const PageOp line = OpsOfKind(file->Page(0), PageOp::Line).at(0);
    EXPECT_DOUBLE_EQ(line.pen.width, 0.03);
}

TEST(LineModel, LinesRemainingFollowsTheLineBottoms) {
    TReportFiler s;
    s.SetDeviceMetrics(FakeDevice());
    s.UseFont(QStringLiteral("Arial"), 9);
    EXPECT_DOUBLE_EQ(s.LineSpacing(), 0.15);
    EXPECT_DOUBLE_EQ(s.FontHeight(), 0.125);
    s.SetMarginTop(1.0);
    s.SetMarginBottom(0.9); // area 9.1 inches tall
    s.ResetArea();
    s.CursorHome();
    EXPECT_EQ(s.LineNumber(), 1);
    EXPECT_NEAR(s.CursorY() + s.FontDescent(), 1.15, 1e-12) << "baseline sits descent above bottom";
    EXPECT_EQ(s.LinesRemaining(), 60);
    for (int i = 0; i < 59; ++i)
        s.EndLine();
    EXPECT_EQ(s.LineNumber(), 60);
    EXPECT_EQ(s.LinesRemaining(), 1);
    s.EndLine();
    EXPECT_EQ(s.LinesRemaining(), 0);
    EXPECT_DOUBLE_EQ(s.CursorX(), s.AreaLeft());
}

TEST(Fonts, UseFontResetsStylesAndIgnoresNonPositiveSizes) {
    TReportFiler s;
    s.UseFont(QStringLiteral("Times"), 12);
    s.SetBold(true);
    s.SetItalic(true);
    s.SetUnderline(true);
    s.SetTextColor(Qt::red);
    s.SetTextAngle(450);
    EXPECT_DOUBLE_EQ(s.Font().angle, 90);
    s.SetTextAngle(-90);
    EXPECT_DOUBLE_EQ(s.Font().angle, 270);
    const double boldWidth = s.MeasureText(QStringLiteral("Quillbury"));
    s.UseFont(QStringLiteral("Times"), 0);
    EXPECT_DOUBLE_EQ(s.Font().points, 12) << "size 0 is ignored";
    EXPECT_FALSE(s.Font().bold || s.Font().italic || s.Font().underline);
    EXPECT_EQ(s.Font().color, QColor(Qt::black));
    EXPECT_DOUBLE_EQ(s.Font().angle, 0);
    EXPECT_LT(s.MeasureText(QStringLiteral("Quillbury")), boldWidth);
    EXPECT_DOUBLE_EQ(s.LineSpacing(), 0.2);
}

TEST(Text, MeasureTextIsNeverLessThanOneDevicePixel) {
    TReportFiler s;
    s.SetDeviceMetrics(FakeDevice(300));
    EXPECT_DOUBLE_EQ(s.MeasureText(QString()), 1.0 / 300);
    const double w = s.MeasureText(QStringLiteral("W"));
    EXPECT_GT(w, 0.05);
    EXPECT_NEAR(s.MeasureText(QStringLiteral("WWW")), 3 * w, 1e-3);
}

TEST(Text, WritesAdvanceTheCursorAndSitOnTheBaseline) {
    double baseline = 0, afterAb = 0, rightEnd = 0, centre = 0;
    auto file = Record([&](PrintSurface& s) {
        s.UseFont(QStringLiteral("Arial"), 10);
        baseline = s.CursorY();
        s.WriteText(QStringLiteral("ab"));
        afterAb = s.CursorX();
        s.WriteText(QStringLiteral("cd"));
        s.WriteLine(QString());
        s.WriteRightAt(QStringLiteral("right"), 7.0);
        rightEnd = 7.0 - s.MeasureText(QStringLiteral("right"));
        s.WriteCenteredAt(QStringLiteral("mid"), 4.0);
        centre = 4.0 - s.MeasureText(QStringLiteral("mid")) / 2;
        s.WriteLeftAt(QStringLiteral("left"), 2.0);
        EXPECT_NEAR(s.CursorX(), 2.0 + s.MeasureText(QStringLiteral("left")), 1e-12);
        EXPECT_EQ(s.LineNumber(), 2) << "an empty WriteLine only ends the line";
    });
    const auto texts = TextOps(file->Page(0));
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_DOUBLE_EQ(texts[0].x1, 0.5);
    EXPECT_DOUBLE_EQ(texts[0].y1, baseline);
    EXPECT_DOUBLE_EQ(texts[1].x1, afterAb);
    EXPECT_GT(afterAb, 0.5);
    EXPECT_NEAR(texts[2].x1, rightEnd, 1e-12);
    EXPECT_NEAR(texts[2].y1, baseline + 10.0 / 60, 1e-12);
    EXPECT_NEAR(texts[3].x1, centre, 1e-12);
    EXPECT_DOUBLE_EQ(texts[4].x1, 2.0);
}

TEST(Columns, TabsMoveThroughStopsPlacedByTheirJustification) {
    std::vector<double> expected;
    std::vector<ColumnStop> stops;
    auto file = Record([&](PrintSurface& s) {
        s.ClearColumns();
        s.AddColumn(1.0, 2.0, Justify::Left, 2, 0, 0);
        s.AddColumn(-1, 1.5, Justify::Right, 2, 0, 0); // directly after: 3.0
        s.AddColumn(-1, 2.0, Justify::Center, 5, 0, 0);
        stops = s.Columns();
        const auto w = [&](const char* t) { return s.MeasureText(QString::fromLatin1(t)); };
        s.WriteLine(QStringLiteral("\tName\tRight\tMid\tAfter"));
        expected = {1.02, 3.0 + 1.5 - 0.02 - w("Right"), 4.5 + (2.0 - w("Mid")) / 2,
                    4.5 + (2.0 - w("Mid")) / 2 + w("Mid")};
        EXPECT_EQ(s.CurrentColumnIndex(), -1);
        s.NextColumn();
        EXPECT_DOUBLE_EQ(s.ColumnTextLeft(), 1.02) << "EndLine makes the first stop next again";
    });
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_DOUBLE_EQ(stops[1].left, 3.0);
    EXPECT_DOUBLE_EQ(stops[2].left, 4.5);
    EXPECT_DOUBLE_EQ(stops[2].margin, 0.05);
    const auto texts = TextOps(file->Page(0));
    ASSERT_EQ(texts.size(), 4u);
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_NEAR(texts[i].x1, expected[i], 1e-9) << texts[i].text.toStdString();
    EXPECT_EQ(texts[3].text, QStringLiteral("After")) << "past the last stop text follows on";
}

TEST(Columns, ShadeAndBordersDrawTheCellOfTheCurrentLine) {
    double top = 0, bottom = 0;
    auto file = Record([&](PrintSurface& s) {
        s.UsePen(Qt::blue, PenStyle::Solid, 2);
        s.AddColumn(1.0, 2.0, Justify::Left, 2, BorderLeft | BorderBottom, 50);
        s.AddColumn(-1, 1.0, Justify::Left, 2, BorderTop | BorderRight, 0);
        bottom = s.CursorY() + s.FontDescent();
        top = bottom - s.LineSpacing();
        s.NextColumn();
        s.NextColumn(20); // a shade given for this cell only
        s.EndLine();
        s.NextColumn(0); // the stop's own shade suppressed
    });
    const RecordedPage page = file->Page(0);
    const auto fills = OpsOfKind(page, PageOp::FillRect);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].fill, QColor(127, 127, 127));
    EXPECT_DOUBLE_EQ(fills[0].x1, 1.0);
    EXPECT_DOUBLE_EQ(fills[0].x2, 3.0);
    EXPECT_NEAR(fills[0].y1, top, 1e-12);
    EXPECT_NEAR(fills[0].y2, bottom, 1e-12);
    EXPECT_EQ(fills[1].fill, QColor(204, 204, 204));
    EXPECT_DOUBLE_EQ(fills[1].x1, 3.0);

    const auto lines = OpsOfKind(page, PageOp::Line);
    ASSERT_EQ(lines.size(), 6u); // two edges per cell, three cells with borders
    const PageOp& left = lines[0];
    EXPECT_DOUBLE_EQ(left.x1, 1.0);
    EXPECT_DOUBLE_EQ(left.x2, 1.0);
    EXPECT_NEAR(left.y1, top, 1e-12);
    EXPECT_NEAR(left.y2, bottom, 1e-12);
    const PageOp& under = lines[1];
    EXPECT_NEAR(under.y1, bottom, 1e-12);
    EXPECT_DOUBLE_EQ(under.x2, 3.0);
    EXPECT_EQ(under.pen.color, QColor(Qt::blue));
    EXPECT_DOUBLE_EQ(lines[2].x1, 4.0) << "right edge of the second cell";
    EXPECT_DOUBLE_EQ(lines[2].x2, 4.0);
    EXPECT_DOUBLE_EQ(lines[3].y1, lines[3].y2) << "top edge of the second cell";
    EXPECT_NEAR(lines[3].y1, top, 1e-12);
}

TEST(Columns, PushAndPopRestoreTheWholeList) {
    TReportFiler s;
    s.AddColumn(1.0, 1.0, Justify::Left, 2, 0, 0);
    s.AddColumn(-1, 2.0, Justify::Right, 2, 0, 0);
    s.PushColumns();
    s.ClearColumns();
    s.AddColumn(0.5, 7.0, Justify::Left, 2, BorderBottom, 0);
    EXPECT_EQ(s.Columns().size(), 1u);
    s.PopColumns();
    ASSERT_EQ(s.Columns().size(), 2u);
    EXPECT_DOUBLE_EQ(s.Columns()[1].left, 2.0);
    s.PopColumns(); // empty stack: nothing happens
    EXPECT_EQ(s.Columns().size(), 2u);
}

TEST(Drawing, OriginShiftMovesEveryHorizontalCoordinate) {
    double cursorAfter = 0;
    TReportFiler filer;
    filer.SetOriginX(0.5);
    auto file = Record(
        [&](PrintSurface& s) {
            s.WriteLeftAt(QStringLiteral("x"), 1.0);
            cursorAfter = s.CursorX();
            s.Rectangle(1, 1, 2, 2);
            s.MoveTo(1, 3);
            s.LineTo(2, 3);
            s.AddColumn(1.0, 1.0, Justify::Left, 0, BorderLeft, 0);
            s.NextColumn();
            s.WriteClipped(QRectF(1, 4, 1, 1), 1, 4, QStringLiteral("c"));
        },
        FakeDevice(), &filer);
    const RecordedPage page = file->Page(0);
    EXPECT_DOUBLE_EQ(TextOps(page)[0].x1, 1.5);
    EXPECT_LT(cursorAfter, 1.5) << "the cursor stays in the caller's coordinates";
    EXPECT_DOUBLE_EQ(OpsOfKind(page, PageOp::Rectangle)[0].x1, 1.5);
    EXPECT_DOUBLE_EQ(OpsOfKind(page, PageOp::Rectangle)[0].x2, 2.5);
    const auto lines = OpsOfKind(page, PageOp::Line);
    EXPECT_DOUBLE_EQ(lines[0].x1, 1.5);
    EXPECT_DOUBLE_EQ(lines[1].x1, 1.5) << "column border";
    EXPECT_DOUBLE_EQ(TextOps(page)[1].clip.left(), 1.5);
    EXPECT_DOUBLE_EQ(filer.OriginX(), 0.5) << "kept across jobs";
}

TEST(Drawing, ShapesCarryPenBrushAndRotation) {
    const QImage pattern = [] {
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(Qt::green);
        return img;
    }();
    double ascent = 0;
    auto file = Record([&](PrintSurface& s) {
        s.UsePen(Qt::red, PenStyle::Dash, -2);
        s.UseBrush(Qt::yellow, BrushStyle::Solid);
        s.Ellipse(1, 1, 3, 2);
        s.UseBrush(Qt::white, BrushStyle::Clear, pattern);
        s.RoundRect(1, 3, 3, 4, 0.2, 0.1);
        s.SetTextAngle(90);
        s.WriteLeftAt(QStringLiteral("up"), 6);
        s.UseBrush(Qt::cyan, BrushStyle::Solid);
        ascent = s.FontAscent();
        s.WriteClipped(QRectF(1, 5, 2, 0.5), 1.1, 5.1, QStringLiteral("clipped"));
        s.UseBrush(Qt::cyan, BrushStyle::Clear);
        s.WriteClipped(QRectF(1, 6, 2, 0.5), 1.1, 6.1, QStringLiteral("clear"));
    });
    const RecordedPage page = file->Page(0);
    const PageOp ellipse = OpsOfKind(page, PageOp::Ellipse).at(0);
    EXPECT_EQ(ellipse.pen.style, PenStyle::Dash);
    EXPECT_DOUBLE_EQ(ellipse.pen.width, 0.02);
    EXPECT_EQ(ellipse.brush.color, QColor(Qt::yellow));
    const PageOp round = OpsOfKind(page, PageOp::RoundRect).at(0);
    EXPECT_DOUBLE_EQ(round.rx, 0.2);
    EXPECT_DOUBLE_EQ(round.ry, 0.1);
    EXPECT_EQ(round.brush.pattern.pixelColor(3, 3), QColor(Qt::green))
        << "pattern survives the file";
    const auto texts = TextOps(page);
    EXPECT_DOUBLE_EQ(texts[0].font.angle, 90);
    EXPECT_TRUE(texts[1].hasFill);
    EXPECT_EQ(texts[1].fill, QColor(Qt::cyan));
    EXPECT_NEAR(texts[1].y1, 5.1 + ascent, 1e-12) << "top-left corner given, baseline recorded";
    EXPECT_EQ(texts[1].clip, QRectF(1, 5, 2, 0.5));
    EXPECT_FALSE(texts[2].hasFill);
}

TEST(Drawing, BitmapsScaleByDevicePixels) {
    QImage bitmap(60, 30, QImage::Format_RGB32);
    bitmap.fill(Qt::magenta);
    auto file = Record([&](PrintSurface& s) {
        s.DrawBitmap(1, 1, 2, 4, bitmap); // 120 x 120 device pixels at 600 dpi
        s.DrawBitmapRect(2, 2, 4, 3, bitmap);
        QPicture pic;
        QPainter p(&pic);
        p.drawRect(0, 0, 10, 10);
        p.end();
        s.DrawPicture(5, 5, 6, 6, pic);
    });
    const RecordedPage page = file->Page(0);
    const auto images = OpsOfKind(page, PageOp::Image);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_DOUBLE_EQ(images[0].x2, 1.2);
    EXPECT_DOUBLE_EQ(images[0].y2, 1.2);
    EXPECT_EQ(images[1].image.size(), QSize(60, 30));
    EXPECT_FALSE(OpsOfKind(page, PageOp::Picture).at(0).picture.boundingRect().isEmpty());
}

TEST(Job, EventsRunInOrderAndNewPageStartsFresh) {
    std::vector<std::string> events;
    TReportFiler s;
    s.SetStream(std::make_shared<PageFile>());
    EXPECT_EQ(s.PageNumber(), 0);
    s.OnBeforePrint = [&](PrintSurface& p) {
        events.push_back("before");
        p.SetDeviceMetrics(FakeDevice());
    };
    s.OnNewPage = [&](PrintSurface& p) {
        events.push_back("page " + std::to_string(p.PageNumber()));
    };
    s.OnAfterPrint = [&](PrintSurface&) { events.push_back("after"); };
    s.OnPrint = [&](PrintSurface& p) {
        events.push_back("print");
        p.AddColumn(1, 1, Justify::Left, 2, 0, 0);
        p.SetAreaLeft(3.0);
        p.SetAreaTop(4.0);
        p.EndLine();
        p.NextColumn();
        p.NewPage();
        EXPECT_DOUBLE_EQ(p.AreaLeft(), p.MarginLeft()) << "area back at the margins";
        EXPECT_DOUBLE_EQ(p.AreaTop(), p.MarginTop());
        EXPECT_EQ(p.LineNumber(), 1);
        EXPECT_DOUBLE_EQ(p.CursorX(), p.MarginLeft());
        EXPECT_EQ(p.CurrentColumnIndex(), -1);
        EXPECT_EQ(p.Columns().size(), 1u) << "columns are kept";
        p.WriteText(QStringLiteral("second"));
    };
    s.RunJob();
    EXPECT_EQ(events, (std::vector<std::string>{"before", "page 1", "print", "page 2", "after"}));
    ASSERT_EQ(s.Stream()->PageCount(), 2);
    EXPECT_TRUE(s.Stream()->Page(0).ops.empty());
    EXPECT_EQ(TextOps(s.Stream()->Page(1)).at(0).text, QStringLiteral("second"));
    EXPECT_FALSE(s.Running());
}

TEST(Job, PagesOutsideTheRangeAreComposedButNotOutput) {
    TReportFiler s;
    s.SetFirstPage(2);
    s.SetLastPage(3);
    s.StatusFormat = QStringLiteral("Page %p of %f-%l");
    QStringList seen;
    s.OnNewPage = [&](PrintSurface& p) { seen << p.StatusText(); };
    auto file = Record(
        [](PrintSurface& p) {
            for (int i = 1; i <= 5; ++i) {
                if (i > 1)
                    p.NewPage();
                p.WriteLine(QStringLiteral("page %1").arg(i));
            }
        },
        FakeDevice(), &s);
    EXPECT_EQ(seen, (QStringList{"Page 1 of 2-3", "Page 2 of 2-3", "Page 3 of 2-3", "Page 4 of 2-3",
                                 "Page 5 of 2-3"}));
    ASSERT_EQ(file->PageCount(), 2);
    EXPECT_EQ(file->Page(0).number, 2);
    EXPECT_EQ(TextOps(file->Page(0)).at(0).text, QStringLiteral("page 2"));
    EXPECT_EQ(TextOps(file->Page(1)).at(0).text, QStringLiteral("page 3"));
}

TEST(Job, CancelStopsDrawingAndPaging) {
    TReportFiler s;
    auto file = Record(
        [](PrintSurface& p) {
            p.WriteLine(QStringLiteral("kept"));
            p.NewPage();
            p.WriteLine(QStringLiteral("dropped"));
            p.CancelJob();
            p.WriteLine(QStringLiteral("ignored"));
            p.NewPage();
            EXPECT_EQ(p.PageNumber(), 2);
        },
        FakeDevice(), &s);
    EXPECT_TRUE(s.JobCancelled());
    ASSERT_EQ(file->PageCount(), 1);
    EXPECT_EQ(TextOps(file->Page(0)).at(0).text, QStringLiteral("kept"));
}

TEST(Job, AnExceptionInTheDrawingRoutineAbortsTheJob) {
    TReportFiler s;
    s.OnPrint = [](PrintSurface& p) {
        p.WriteLine(QStringLiteral("x"));
        throw std::runtime_error("layout file unreadable");
    };
    EXPECT_THROW(s.RunJob(), std::runtime_error);
    EXPECT_TRUE(s.JobCancelled());
    EXPECT_FALSE(s.Running());
    // The next job on the surface runs normally.
    s.OnPrint = [](PrintSurface& p) { p.WriteLine(QStringLiteral("y")); };
    s.RunJob();
    EXPECT_FALSE(s.JobCancelled());
    EXPECT_EQ(s.Stream()->PageCount(), 1);
}

TEST(Paper, CustomSizesAndOrientation) {
    TReportFiler s;
    s.SetCustomPaper(0, 8.5, 11);
    s.SetOrientation(PrintOrientation::poLandScape);
    EXPECT_NEAR(s.PaperWidth(), 11.0, 0.01);
    EXPECT_NEAR(s.PaperHeight(), 8.5, 0.01);
    s.SetOrientation(PrintOrientation::poPortrait);
    s.SetCustomPaper(9, 0, 0); // A4 by its code
    EXPECT_NEAR(s.PaperWidth(), 210 / 25.4, 0.01);
    EXPECT_NEAR(s.PaperHeight(), 297 / 25.4, 0.01);
    s.SetCustomPaper(0, 4.0, 6.0);
    EXPECT_NEAR(s.PaperWidth(), 4.0, 0.01);
    s.ResetArea();
    EXPECT_NEAR(s.AreaRight(), 4.0 - s.MarginRight(), 0.01);
    EXPECT_TRUE(s.SelectPaperByName(QStringLiteral("Legal")));
    EXPECT_NEAR(s.PaperHeight(), 14.0, 0.01);
    EXPECT_FALSE(s.SelectPaperByName(QStringLiteral("No Such Paper")));
    EXPECT_TRUE(s.PaperNames().contains(QStringLiteral("A4")));
}
