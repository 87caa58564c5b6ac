// The metafile player: headers and natural sizes, the drawing records checked
// pixel by pixel on small hand-built files, and damaged files.
#include "labelobjects/wmf.h"
#include "printing/pagefile.h"
#include "wmf_builder.h"

#include <QDataStream>
#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace qb;
using qbtest::WmfBuilder;

namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBlack = 0;

QImage Render(const QByteArray& wmf, int size = 100) {
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    EXPECT_TRUE(PlayWmf(p, wmf, QRectF(0, 0, size, size)));
    p.end();
    return img;
}

bool Near(QRgb a, QRgb b, int tolerance = 40) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

const QRgb kWhitePx = qRgb(255, 255, 255);
const QRgb kRedPx = qRgb(255, 0, 0);
const QRgb kGreenPx = qRgb(0, 255, 0);
const QRgb kBluePx = qRgb(0, 0, 255);
const QRgb kBlackPx = qRgb(0, 0, 0);

// Pixels expected in a rendering.
struct Probe {
    int x, y;
    QRgb colour;
};

void ExpectPixels(const QImage& img, std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
        const QRgb got = img.pixel(p.x, p.y);
        EXPECT_TRUE(Near(got, p.colour))
            << "at " << p.x << "," << p.y << ": got " << std::hex << got << " want " << p.colour;
    }
}

} // namespace

TEST(WmfTest, HeadersAndNaturalSize) {
    WmfHeader h;
    const QByteArray placeable =
        WmfBuilder().rectangle(0, 0, 10, 10).placeable(-100, 0, 1340, 720, 1440);
    ASSERT_TRUE(ReadWmfHeader(placeable, &h));
    EXPECT_TRUE(h.placeable);
    EXPECT_EQ(h.frame, QRectF(-100, 0, 1440, 720));
    EXPECT_EQ(WmfNaturalSize(placeable), QSize(96, 48)); // one inch by half an inch

    // Without the placeable header the window gives the frame.
    const QByteArray windowed =
        WmfBuilder().window(10, 20, 300, 200).rectangle(10, 20, 310, 220).plain();
    ASSERT_TRUE(ReadWmfHeader(windowed, &h));
    EXPECT_FALSE(h.placeable);
    EXPECT_EQ(h.frame, QRectF(10, 20, 300, 200));
    EXPECT_EQ(WmfNaturalSize(windowed), QSize(300, 200));

    // Neither: what the records draw.
    const QByteArray bare =
        WmfBuilder().brush(0, kRed).select(0).rectangle(50, 40, 150, 100).plain();
    ASSERT_TRUE(ReadWmfHeader(bare, &h));
    EXPECT_NEAR(h.frame.left(), 50, 2);
    EXPECT_NEAR(h.frame.right(), 150, 2);
    EXPECT_NEAR(h.frame.top(), 40, 2);

    EXPECT_FALSE(ReadWmfHeader(QByteArray("BM not a metafile"), nullptr));
    EXPECT_FALSE(ReadWmfHeader(WmfBuilder().plain(), nullptr)) << "nothing drawn, no frame";
    EXPECT_TRUE(WmfNaturalSize(QByteArray()).isEmpty());
}

TEST(WmfTest, FiguresPensBrushesAndPolygons) {
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .pen(5, 0, 0) // 0: no outline
                               .select(0)
                               .brush(0, kRed) // 1
                               .select(1)
                               .rectangle(10, 10, 50, 50)
                               .brush(0, kBlue) // 2
                               .select(2)
                               .ellipse(50, 50, 90, 90)
                               .brush(0, kGreen) // 3
                               .select(3)
                               .polygon({10, 60, 40, 60, 10, 90})
                               .pen(0, 4, kBlack) // 4
                               .select(4)
                               .moveTo(60, 10)
                               .lineTo(90, 10)
                               .placeable(0, 0, 100, 100, 96);
    const QImage img = Render(wmf);
    ExpectPixels(img, {{20, 20, kRedPx},
                       {48, 48, kRedPx},
                       {55, 30, kWhitePx},
                       {70, 70, kBluePx},
                       {53, 53, kWhitePx}, // outside the ellipse, inside its box
                       {15, 65, kGreenPx},
                       {36, 86, kWhitePx}, // beyond the triangle's slanted side
                       {75, 10, kBlackPx},
                       {75, 11, kBlackPx},
                       {75, 16, kWhitePx}});
}

TEST(WmfTest, WindowMappingStretchesAndFlips) {
    // Window 200 x 50 logical units stretched into 100 x 100 pixels.
    const QByteArray wide = WmfBuilder()
                                .window(100, 0, 200, 50)
                                .pen(5, 0, 0)
                                .select(0)
                                .brush(0, kBlue)
                                .select(1)
                                .rectangle(100, 0, 200, 25) // left half, top half
                                .placeable(100, 0, 300, 50, 100);
    ExpectPixels(Render(wide), {{25, 25, kBluePx}, {75, 25, kWhitePx}, {25, 75, kWhitePx}});

    // A negative extent turns y upwards: low y values land at the bottom.
    const QByteArray up = WmfBuilder()
                              .window(0, 100, 100, -100)
                              .pen(5, 0, 0)
                              .select(0)
                              .brush(0, kGreen)
                              .select(1)
                              .rectangle(0, 0, 30, 30)
                              .plain();
    ExpectPixels(Render(up), {{10, 90, kGreenPx}, {10, 10, kWhitePx}});
}

TEST(WmfTest, PieRunsCounterClockwiseFromStartToEnd) {
    // From the right-hand point (0 degrees) to the top point (90 degrees):
    // the upper right quarter.
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .pen(5, 0, 0)
                               .select(0)
                               .brush(0, kRed)
                               .select(1)
                               .pie(10, 10, 90, 90, 90, 50, 50, 10)
                               .placeable(0, 0, 100, 100, 96);
    ExpectPixels(Render(wmf),
                 {{70, 30, kRedPx}, {30, 30, kWhitePx}, {30, 70, kWhitePx}, {70, 70, kWhitePx}});
}

TEST(WmfTest, SaveAndRestoreStateAndDeletedObjects) {
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .pen(5, 0, 0)
                               .select(0)
                               .brush(0, kRed) // 1
                               .select(1)
                               .rec(0x001E, {}) // save
                               .brush(0, kBlue) // 2
                               .select(2)
                               .rectangle(0, 0, 50, 100)
                               .rec(0x0127, {-1}) // restore: red again
                               .rectangle(50, 0, 100, 100)
                               .remove(2)
                               .brush(0, kGreen) // takes the freed slot 2
                               .select(2)
                               .rectangle(40, 40, 60, 60)
                               .placeable(0, 0, 100, 100, 96);
    ExpectPixels(Render(wmf), {{20, 20, kBluePx}, {80, 20, kRedPx}, {50, 50, kGreenPx}});
}

TEST(WmfTest, StretchedBitmapRecordsKeepTheirOrientation) {
    // 2 x 2: red green on top, blue white below.
    const QByteArray dib = WmfBuilder::Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .stretchDib(0, 0, 100, 100, dib, 2, 2)
                               .placeable(0, 0, 100, 100, 96);
    ExpectPixels(Render(wmf),
                 {{10, 10, kRedPx}, {90, 10, kGreenPx}, {10, 90, kBluePx}, {90, 90, kWhitePx}});
}

TEST(WmfTest, TextIsDrawnInTheTextColour) {
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 200, 100)
                               .font(-40, "DejaVu Sans", 700)
                               .select(0)
                               .rec(0x0209, {0x00FF, 0}) // red text
                               .rec(0x0102, {1})         // transparent background
                               .textOut(10, 20, "HH")
                               .placeable(0, 0, 200, 100, 96);
    QImage img(200, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        PlayWmf(p, wmf, QRectF(0, 0, 200, 100));
    }
    int red = 0, outside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const QRgb c = img.pixel(x, y);
            if (c == kWhitePx)
                continue;
            if (x >= 8 && x < 120 && y >= 18 && y < 64)
                red += Near(c, kRedPx, 60);
            else
                ++outside;
        }
    EXPECT_GT(red, 100) << "the letters, top-aligned at (10, 20)";
    EXPECT_EQ(outside, 0);
}

TEST(WmfTest, RecordedPictureHasTheNaturalFrame) {
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .brush(0, kBlue)
                               .select(0)
                               .rectangle(50, 50, 60, 60) // a small part of the frame
                               .placeable(0, 0, 100, 100, 48);
    const QPicture pic = WmfToPicture(wmf);
    EXPECT_EQ(pic.boundingRect(), QRect(0, 0, 200, 200));
    EXPECT_TRUE(WmfToPicture(QByteArray("nonsense")).isNull());
}

TEST(WmfTest, DamagedFilesNeverCrashOrHang) {
    const QByteArray dib = WmfBuilder::Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    const QByteArray good = WmfBuilder()
                                .window(0, 0, 100, 100)
                                .pen(1, 3, kRed)
                                .select(0)
                                .brush(2, kBlue, 3)
                                .select(1)
                                .font(-12, "Arial")
                                .select(2)
                                .rectangle(10, 10, 50, 50)
                                .polygon({1, 1, 90, 5, 40, 80})
                                .pie(0, 0, 100, 100, 100, 50, 0, 50)
                                .textOut(5, 5, "abc")
                                .stretchDib(0, 0, 50, 50, dib, 2, 2)
                                .placeable(0, 0, 100, 100, 96);
    QImage img(40, 40, QImage::Format_RGB32);
    // Every truncation.
    for (int n = 0; n <= good.size(); ++n) {
        QPainter p(&img);
        // Placeable header and metafile header: 40 bytes.
        EXPECT_EQ(PlayWmf(p, good.left(n), QRectF(0, 0, 40, 40)), n >= 40) << n;
    }
    // Lying counts and sizes.
    const QByteArray liars[] = {
        WmfBuilder().rec(0x0324, {30000, 1, 1}).placeable(0, 0, 10, 10, 96),       // polygon count
        WmfBuilder().rec(0x0538, {2, 3, 30000, 1, 1}).placeable(0, 0, 10, 10, 96), // polypolygon
        WmfBuilder().rec(0x0521, {5000, 0x4141}).placeable(0, 0, 10, 10, 96),      // text length
        WmfBuilder().rec(0x0A32, {0, 0, 200, 6, 0}).placeable(0, 0, 10, 10, 96),   // ext text
        WmfBuilder().rec(0x012D, {65535}).rec(0x01F0, {40000}).placeable(0, 0, 10, 10, 96),
        WmfBuilder().rec(0x0127, {-300}).rec(0x0127, {7}).placeable(0, 0, 10, 10, 96),
        WmfBuilder()
            .window(0, 0, 0, 0)
            .rec(0x0410, {0, 0, 0, 0})
            .rectangle(0, 0, 5, 5)
            .placeable(0, 0, 10, 10, 96),
        WmfBuilder()
            .stretchDib(0, 0, 10, 10, WmfBuilder::Dib24(2, 2, {0, 0, 0, 0}).left(50), 2, 2)
            .placeable(0, 0, 10, 10, 96),
        // A bitmap header announcing a gigantic picture.
        WmfBuilder()
            .stretchDib(0, 0, 10, 10,
                        QByteArray::fromHex("28000000ffff0000ffff00000100180000000000"), 1, 1)
            .placeable(0, 0, 10, 10, 96),
    };
    for (const QByteArray& f : liars) {
        img.fill(Qt::white);
        QPainter p(&img);
        EXPECT_TRUE(PlayWmf(p, f, QRectF(0, 0, 40, 40)));
    }
    // A record claiming size 0 would loop forever if taken at face value.
    QByteArray zero = WmfBuilder().rectangle(0, 0, 5, 5).placeable(0, 0, 10, 10, 96);
    zero[22 + 18] = 0;
    zero[22 + 19] = 0;
    {
        QPainter p(&img);
        EXPECT_TRUE(PlayWmf(p, zero, QRectF(0, 0, 40, 40)));
    }
    // Random damage, reproducibly.
    QRandomGenerator random(20261210);
    for (int round = 0; round < 3000; ++round) {
        QByteArray f = good;
        const int hits = 1 + int(random.bounded(8));
        for (int i = 0; i < hits; ++i)
            f[int(random.bounded(int(f.size())))] = char(random.bounded(256));
        QPainter p(&img);
        PlayWmf(p, f, QRectF(0, 0, 40, 40));
        const QSize natural = WmfNaturalSize(f);
        EXPECT_TRUE(natural.isEmpty() || (natural.width() <= 65535 * 96 && natural.height() >= 1));
    }
}

TEST(WmfTest, RecordedTextPrintsOnAFinerDevice) {
    // "HH" in red, top-left at (10, 20) of a 200 x 100 frame.
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 200, 100)
                               .font(-40, "DejaVu Sans", 700)
                               .select(0)
                               .rec(0x0209, {0x00FF, 0})
                               .rec(0x0102, {1})
                               .textOut(10, 20, "HH")
                               .placeable(0, 0, 200, 100, 96);
    // Through a stream, as the page file keeps it.
    QByteArray stored;
    {
        QDataStream out(&stored, QIODevice::WriteOnly);
        out << WmfToPicture(wmf);
    }
    RecordedPage page;
    PageOp op;
    op.kind = PageOp::Picture;
    op.x1 = 1, op.y1 = 1, op.x2 = 3, op.y2 = 2; // inches: twice the natural size
    QDataStream in(stored);
    in >> op.picture;
    page.ops.push_back(op);
    QImage img(1200, 700, QImage::Format_RGB32);
    img.setDotsPerMeterX(11811); // 300 per inch
    img.setDotsPerMeterY(11811);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        PlayPage(p, page, DeviceMapping{300, 300, 0, 0});
    }
    // One logical unit is 0.01 inch (3 pixels): the letters start 1.1 inches
    // across and 1.2 down, their em 120 pixels.
    int inside = 0, outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (c == kWhitePx)
                continue;
            if (x >= 325 && x < 600 && y >= 355 && y < 520)
                inside += Near(c, kRedPx, 60);
            else
                ++outside;
        }
    EXPECT_GT(inside, 2000);
    EXPECT_EQ(outside, 0);
}
