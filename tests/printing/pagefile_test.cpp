#include "print_test_support.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace qb;
using namespace qb::testing;

TEST(PageFile, EveryKindOfOperationSurvivesTheRoundTrip) {
    RecordedPage page;
    page.number = 7;
    page.paperWidth = 4.0;
    page.paperHeight = 9.5;
    PageOp text;
    text.kind = PageOp::Text;
    text.x1 = 1.25;
    text.y1 = 2.5;
    text.text = QStringLiteral("Zoë Ångström");
    text.font = PageFont{QStringLiteral("Times"), 9.5, true, true, true, true, 45, Qt::darkRed};
    PageOp clipped = text;
    clipped.kind = PageOp::ClippedText;
    clipped.clip = QRectF(1, 2, 3, 0.5);
    clipped.hasFill = true;
    clipped.fill = QColor(1, 2, 3);
    PageOp rect;
    rect.kind = PageOp::RoundRect;
    rect.x1 = 0.1;
    rect.y1 = 0.2;
    rect.x2 = 0.3;
    rect.y2 = 0.4;
    rect.rx = 0.05;
    rect.ry = 0.06;
    rect.pen = PagePen{Qt::green, PenStyle::DashDot, 0.02};
    rect.brush.style = BrushStyle::DiagCross;
    rect.brush.color = Qt::blue;
    PageOp image;
    image.kind = PageOp::Image;
    image.image = QImage(3, 2, QImage::Format_ARGB32);
    image.image.fill(QColor(10, 20, 30));
    page.ops = {text, clipped, rect, image};

    PageFile file;
    file.AddPage(page);
    file.AddPage(RecordedPage{8, 8.5, 11, {}});
    ASSERT_EQ(file.PageCount(), 2);
    const RecordedPage back = file.Page(0);
    EXPECT_EQ(back.number, 7);
    EXPECT_DOUBLE_EQ(back.paperHeight, 9.5);
    ASSERT_EQ(back.ops.size(), 4u);
    EXPECT_EQ(back.ops[0].text, text.text);
    EXPECT_EQ(back.ops[0].font.family, QStringLiteral("Times"));
    EXPECT_DOUBLE_EQ(back.ops[0].font.points, 9.5);
    EXPECT_TRUE(back.ops[0].font.strikeout);
    EXPECT_DOUBLE_EQ(back.ops[0].font.angle, 45);
    EXPECT_EQ(back.ops[0].font.color, QColor(Qt::darkRed));
    EXPECT_EQ(back.ops[1].clip, clipped.clip);
    EXPECT_EQ(back.ops[1].fill, QColor(1, 2, 3));
    EXPECT_DOUBLE_EQ(back.ops[2].ry, 0.06);
    EXPECT_EQ(back.ops[2].pen.style, PenStyle::DashDot);
    EXPECT_EQ(back.ops[2].brush.style, BrushStyle::DiagCross);
    EXPECT_EQ(back.ops[3].image.pixelColor(2, 1), QColor(10, 20, 30));
    EXPECT_EQ(file.Page(1).number, 8);
    EXPECT_THROW(file.Page(2), std::out_of_range);
    EXPECT_THROW(file.Page(-1), std::out_of_range);
}

TEST(PageFile, LongJobsMoveToATemporaryFileAndStayReadable) {
    PageFile file(4 * 1024); // small, so a short job passes it
    RecordedPage page;
    PageOp op;
    op.kind = PageOp::Text;
    for (int i = 0; i < 200; ++i) {
        op.text = QStringLiteral("line %1 of a fairly long page").arg(i);
        page.ops.push_back(op);
    }
    for (int n = 1; n <= 60; ++n) {
        page.number = n;
        file.AddPage(page);
    }
    EXPECT_TRUE(file.OnDisk());
    EXPECT_EQ(file.PageCount(), 60);
    EXPECT_EQ(file.Page(0).number, 1);
    EXPECT_EQ(file.Page(59).number, 60);
    EXPECT_EQ(file.Page(31).ops[199].text, QStringLiteral("line 199 of a fairly long page"));
    file.Clear();
    EXPECT_EQ(file.PageCount(), 0);
    EXPECT_FALSE(file.OnDisk());
}

// Plays a page onto a 100 dpi image of a device whose printable area starts
// 0.25 inch from the left and 0.5 inch from the top.
TEST(Playback, LinesLandOnTheDevicePixelsOfTheirInches) {
    auto file = Record(
        [](PrintSurface& s) {
            s.UsePen(Qt::black, PenStyle::Solid, 1);
            s.MoveTo(1.0, 1.0);
            s.LineTo(1.0, 3.0); // vertical at 1 inch
            s.MoveTo(2.0, 2.0);
            s.LineTo(4.0, 2.0); // horizontal at 2 inches
            s.UseBrush(Qt::red, BrushStyle::Solid);
            s.UsePen(Qt::red, PenStyle::Clear, 1);
            s.Rectangle(5.0, 5.0, 6.0, 6.0);
        },
        FakeDevice(100));
    QImage img(850, 1100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    PlayPage(p, file->Page(0), DeviceMapping{100, 100, 0.25, 0.5});
    p.end();
    const auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 128; };
    EXPECT_TRUE(dark(75, 100)); // (1.0 - 0.25) * 100, between y 50 and 250
    EXPECT_FALSE(dark(74, 100));
    EXPECT_FALSE(dark(76, 100));
    EXPECT_TRUE(dark(250, 150)); // (2.0 - 0.5) * 100
    EXPECT_FALSE(dark(250, 149));
    EXPECT_FALSE(dark(250, 151));
    EXPECT_EQ(img.pixelColor(520, 480), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(470, 480), QColor(Qt::white));
}

TEST(Playback, RotatedTextRunsUpThePage) {
    auto file = Record(
        [](PrintSurface& s) {
            s.UseFont(QStringLiteral("Arial"), 24);
            s.SetTextAngle(90);
            s.WriteLeftAt(QStringLiteral("WWWWWW"), 4.0);
        },
        FakeDevice(100));
    const RecordedPage page = file->Page(0);
    const double baseline = TextOps(page).at(0).y1;
    QImage img(850, 1100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    PlayPage(p, page, DeviceMapping{100, 100, 0, 0});
    p.end();
    // Ink lies above the start point in a narrow column left of x = 4 inches.
    int inkAbove = 0, inkRight = 0;
    for (int y = 0; y < 1100; ++y)
        for (int x = 0; x < 850; ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                if (y < baseline * 100 && x >= 360 && x <= 402)
                    ++inkAbove;
                else
                    ++inkRight;
            }
    EXPECT_GT(inkAbove, 200);
    EXPECT_EQ(inkRight, 0);
}
