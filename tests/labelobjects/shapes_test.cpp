// Lines, shapes and images: where they print, how they draw on screen, their
// menu commands, the image chooser and the stored pictures of every kind.
#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/imagebrowser.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "labelobjects/picture.h"
#include "labelobjects/shapes.h"
#include "labelobjects/wmf.h"
#include "printing/print_test_support.h"
#include "printing/printsurface.h"
#include "wmf_builder.h"

#include <QBuffer>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;
using qbtest::WmfBuilder;

namespace {

std::vector<PageOp> Printed(TKGraphicControl& object, double x0, double y0) {
    const auto file = qb::testing::Record([&](PrintSurface& s) { object.PrintTo(s, x0, y0); });
    if (file->PageCount() == 0)
        return {};
    return file->Page(0).ops;
}

// The object painted on a white image of its size.
QImage Painted(TKGraphicControl& object) {
    QImage img(std::max(1, object.Width()), std::max(1, object.Height()), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    object.Paint(p);
    p.end();
    return img;
}

// Every entry of a menu and its submenus ("-" for separators), depth first.
void Collect(const QMenu* menu, QStringList* out) {
    for (QAction* a : menu->actions()) {
        *out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        if (a->menu())
            Collect(a->menu(), out);
    }
}

QAction* Find(const QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction* inner = Find(a->menu(), text))
                return inner;
    }
    return nullptr;
}

void Trigger(TKGraphicControl& object, const char* text) {
    if (!object.PopupMenu())
        object.Loaded();
    object.UpdateMenuChecks();
    QAction* a = Find(object.PopupMenu(), QString::fromLatin1(text));
    ASSERT_NE(a, nullptr) << text;
    a->trigger();
}

QByteArray FileBytes(const QImage& image, const char* format) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, format);
    return out;
}

// A 4 x 3 picture: red, green, blue and white columns, black last row.
QImage SampleImage() {
    QImage img(4, 3, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            img.setPixel(x, y, y == 2 ? qRgb(0, 0, 0) : colours[x]);
    return img;
}

bool Near(QRgb a, QRgb b, int tolerance = 40) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

// ---- printing ---------------------------------------------------------------------------

struct LineCase {
    int style;
    int penWidth;
    // expected, in inches, with the panel corner at (0.5, 0.25) and the line
    // at left 96, top 48, 192 x 24 pixels
    double x1, y1, x2, y2;
};

TEST(LineShapeTest, PrintsAtTheCoordinatesOfItsStyle) {
    const double h1 = 0.25 + 49 / 96.0; // top + pen width div 2 (3 div 2 = 1)
    const double h2 = 0.25 + 73 / 96.0; // bottom + 1
    const double z1 = 0.25 + 48 / 96.0; // pen width 1: div 2 = 0
    const double z2 = 0.25 + 72 / 96.0;
    const LineCase cases[] = {
        {stHorizontal, 3, 1.5, h1, 3.5, h1},
        {stVertical, 3, 1.5, h1, 1.5, h2},
        {stAngleSlopingUp, 1, 1.5, z2, 3.5, z1},
        {stAngleSlopingDown, 1, 1.5, z1, 3.5, z2},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.style);
        TKLineShape line;
        line.SetBounds(96, 48, 192, 24);
        line.SetLineStyle(c.style);
        line.Pen()->SetWidth(c.penWidth);
        line.Pen()->SetColor(0x0000FF); // red
        const auto ops = Printed(line, 0.5, 0.25);
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_EQ(ops[0].kind, PageOp::Line);
        EXPECT_NEAR(ops[0].x1, c.x1, 1e-9);
        EXPECT_NEAR(ops[0].y1, c.y1, 1e-9);
        EXPECT_NEAR(ops[0].x2, c.x2, 1e-9);
        EXPECT_NEAR(ops[0].y2, c.y2, 1e-9);
        // The width counts hundredths of an inch on paper.
        EXPECT_NEAR(ops[0].pen.width, c.penWidth / 100.0, 1e-9);
        EXPECT_EQ(ops[0].pen.color, QColor(255, 0, 0));
    }
}

struct ShapeCase {
    int shape;
    int width, height, penWidth;
    bool transparent;
    PageOp::Kind kind;
    double corner; // expected corner size in inches (round shapes)
    double penInches;
};

TEST(LabelShapesTest, PrintsItsFigureWithPenAndBrush) {
    // 192 x 96 at (96, 48) with the corner at (0.5, 0.25): x 1.5-3.5, y 0.75-1.75.
    const ShapeCase cases[] = {
        {stRectangle, 192, 96, 2, false, PageOp::Rectangle, 0, 0.02},
        {stSquare, 192, 96, 1, true, PageOp::Rectangle, 0, 0.01},
        // Wider than high: a quarter of the width.
        {stRoundRect, 192, 96, 1, false, PageOp::RoundRect, 0.25 * 2.0, 0.01},
        // Not wider than high: a quarter of the height.
        {stRoundSquare, 96, 96, 1, false, PageOp::RoundRect, 0.25 * 1.0, 0.01},
        // 10 pixels are 10.4 hundredths: truncated to 10.
        {stEllipse, 192, 96, 10, false, PageOp::Ellipse, 0, 0.10},
        {stCircle, 192, 96, 0, false, PageOp::Ellipse, 0, 0.0},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.shape);
        TKLabelShapes s;
        s.SetBounds(96, 48, c.width, c.height);
        s.SetShape(c.shape);
        s.Pen()->SetWidth(c.penWidth);
        s.Brush()->SetColor(0x00FF00); // green
        s.SetTransparent(c.transparent);
        const auto ops = Printed(s, 0.5, 0.25);
        ASSERT_EQ(ops.size(), 1u);
        const PageOp& op = ops[0];
        EXPECT_EQ(op.kind, c.kind);
        EXPECT_NEAR(op.x1, 1.5, 1e-9);
        EXPECT_NEAR(op.y1, 0.75, 1e-9);
        EXPECT_NEAR(op.x2, 1.5 + c.width / 96.0, 1e-9);
        EXPECT_NEAR(op.y2, 0.75 + c.height / 96.0, 1e-9);
        if (c.kind == PageOp::RoundRect) {
            EXPECT_NEAR(op.rx, c.corner, 1e-9);
            EXPECT_NEAR(op.ry, c.corner, 1e-9);
        }
        EXPECT_NEAR(op.pen.width, c.penInches, 1e-9);
        EXPECT_EQ(op.brush.style, c.transparent ? BrushStyle::Clear : BrushStyle::Solid);
        EXPECT_EQ(op.brush.color, QColor(0, 255, 0));
    }
}

TEST(ImageTest, PrintsBitmapsAndMetafilesButNotIconsOrNothing) {
    TKImage image;
    image.SetBounds(96, 48, 192, 96);
    EXPECT_TRUE(Printed(image, 0.5, 0.25).empty()) << "no picture prints nothing";

    ASSERT_TRUE(image.Picture()->LoadFromData(FileBytes(SampleImage(), "PNG")));
    auto ops = Printed(image, 0.5, 0.25);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].kind, PageOp::Image);
    EXPECT_NEAR(ops[0].x1, 1.5, 1e-9);
    EXPECT_NEAR(ops[0].y2, 1.75, 1e-9);
    EXPECT_EQ(ops[0].image.size(), QSize(4, 3));

    // A red square over the whole frame of a metafile.
    const QByteArray wmf = WmfBuilder()
                               .window(0, 0, 100, 100)
                               .brush(0, 0x0000FF)
                               .select(0)
                               .pen(5, 0, 0)
                               .select(1)
                               .rectangle(0, 0, 100, 100)
                               .placeable(0, 0, 100, 100, 100);
    ASSERT_TRUE(image.Picture()->LoadFromData(wmf));
    EXPECT_EQ(image.Picture()->Kind(), "TMetafile");
    image.SetStretch(false); // printing ignores Stretch and AutoSize
    ops = Printed(image, 0.5, 0.25);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].kind, PageOp::Picture);
    EXPECT_NEAR(ops[0].x2, 3.5, 1e-9);
    EXPECT_EQ(ops[0].picture.boundingRect(), QRect(0, 0, 96, 96));
    // Played back from the page file, the picture fills its rectangle.
    const auto file = qb::testing::Record([&](PrintSurface& s) { image.PrintTo(s, 0.5, 0.25); });
    // A device of 300 pixels per inch, as the mapping says: the picture
    // covers 450..1050 x 225..525 and no more.
    QImage page(1200, 600, QImage::Format_RGB32);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        PlayPage(p, file->Page(0), DeviceMapping{300, 300, 0, 0});
    }
    EXPECT_TRUE(Near(page.pixel(480, 255), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(page.pixel(1020, 495), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(page.pixel(420, 255), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(page.pixel(1080, 495), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(page.pixel(480, 555), qRgb(255, 255, 255)));

    // An icon shows on screen but prints nothing.
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgb(0, 0, 255));
    ASSERT_TRUE(image.Picture()->LoadFromData(FileBytes(icon, "ICO")));
    EXPECT_EQ(image.Picture()->Kind(), "TIcon");
    EXPECT_TRUE(Printed(image, 0.5, 0.25).empty());
    image.SetStretch(true);
    EXPECT_TRUE(Near(Painted(image).pixel(100, 50), qRgb(0, 0, 255)));
}

// ---- screen ------------------------------------------------------------------------------

TEST(LineShapeTest, ScreenGeometryFollowsPenWidthAndZoom) {
    TKLineShape line;
    line.SetBounds(0, 0, 100, 10);
    line.Pen()->SetWidth(3);
    EXPECT_EQ(line.ScreenLine(), QLineF(1, 1, 99, 1));
    const QImage img = Painted(line);
    EXPECT_EQ(img.pixel(50, 1), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(50, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(50, 5), qRgb(255, 255, 255));

    line.SetLineStyle(stVertical);
    line.SetBounds(0, 0, 10, 100);
    EXPECT_EQ(line.ScreenLine(), QLineF(1, 1, 1, 99));
    line.SetZoomValue(2.0f); // width 6, half 3
    EXPECT_EQ(line.ScreenPenWidth(), 6);
    EXPECT_EQ(line.ScreenLine(), QLineF(3, 3, 3, 98));
    line.SetZoomValue(1.0f);
    line.SetLineStyle(stAngleSlopingUp);
    EXPECT_EQ(line.ScreenLine(), QLineF(10, 0, 0, 100));
    line.SetLineStyle(stAngleSlopingDown);
    EXPECT_EQ(line.ScreenLine(), QLineF(0, 0, 10, 100));
}

TEST(LabelShapesTest, ScreenFigureCornersAndFill) {
    TKLabelShapes s;
    s.SetBounds(0, 0, 100, 50);
    s.SetShape(stRoundRect);
    EXPECT_EQ(s.ScreenCorner(), 25);
    EXPECT_EQ(s.ScreenFigure(), QRect(QPoint(0, 0), QPoint(99, 49)));
    s.Pen()->SetWidth(3);
    EXPECT_EQ(s.ScreenFigure(), QRect(QPoint(1, 1), QPoint(98, 48))); // to (99, 49) exclusive
    s.SetZoomValue(0.1f); // 0.3 rounds to 0, but a pen with width stays visible
    EXPECT_EQ(s.ScreenPenWidth(), 1);
    s.SetZoomValue(1.0f);

    s.SetShape(stRectangle);
    s.Pen()->SetWidth(1);
    s.Brush()->SetColor(0xFF0000); // blue
    QImage img = Painted(s);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(99, 49), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(50, 25), qRgb(0, 0, 255));

    s.SetTransparent(true);
    img = Painted(s);
    EXPECT_EQ(img.pixel(50, 25), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(0, 25), qRgb(0, 0, 0));

    // Rounded corners leave the corner pixel blank.
    s.SetTransparent(false);
    s.SetShape(stRoundSquare);
    img = Painted(s);
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(50, 25), qRgb(0, 0, 255));
}

TEST(ImageTest, ScreenTargetStretchAutoSizeAndOutline) {
    TKImage image;
    EXPECT_EQ(image.Width(), 105);
    EXPECT_EQ(image.Height(), 105);
    EXPECT_TRUE(image.Stretch());
    QImage img = Painted(image);
    EXPECT_EQ(img.pixel(0, 50), qRgb(0, 0, 0)) << "outline without a picture";
    EXPECT_EQ(img.pixel(50, 50), qRgb(255, 255, 255));

    ASSERT_TRUE(image.Picture()->LoadFromData(FileBytes(SampleImage(), "BMP")));
    EXPECT_EQ(image.PictureTarget(), QRect(0, 0, 105, 105));
    image.SetStretch(false);
    EXPECT_EQ(image.PictureTarget(), QRect(0, 0, 4, 3));
    image.SetZoomValue(2.0f);
    EXPECT_EQ(image.PictureTarget(), QRect(0, 0, 105, 105));
    image.SetZoomValue(1.0f);

    image.SetAutoSize(true);
    EXPECT_FALSE(image.Stretch());
    EXPECT_EQ(QSize(image.Width(), image.Height()), QSize(4, 3));
    image.SetStretch(true);
    EXPECT_FALSE(image.AutoSize());
    // A new picture with AutoSize set: the object takes its size.
    image.SetAutoSize(true);
    ASSERT_TRUE(
        image.Picture()->LoadFromData(FileBytes(QImage(30, 20, QImage::Format_RGB32), "PNG")));
    EXPECT_EQ(QSize(image.Width(), image.Height()), QSize(30, 20));
}

// ---- menus ---------------------------------------------------------------------------------

TEST(GraphicMenusTest, EntriesOfEachObject) {
    auto tail = [](TKGraphicControl& o, int n) {
        o.Loaded();
        QStringList all;
        Collect(o.PopupMenu(), &all);
        return all.mid(all.size() - n);
    };
    QStringList thickness;
    for (int n = 1; n <= 10; ++n)
        thickness << QStringLiteral("%1 Point").arg(n);

    TKLineShape line;
    QStringList expected = {"-",
                            "Style",
                            "Horizontal",
                            "Vertical",
                            "Angled Sloping Up",
                            "Angled Sloping Down",
                            "Color",
                            "Line Thickness"};
    expected << thickness << "-"
             << "Streth To Edges";
    EXPECT_EQ(tail(line, expected.size()), expected);

    TKLabelShapes rect;
    expected = QStringList{"-", "Background Color", "Line Color", "Line Thickness"};
    expected << thickness << "-"
             << "Transparent";
    EXPECT_EQ(tail(rect, expected.size()), expected);
    EXPECT_EQ(Find(rect.PopupMenu(), "Degree of Rounding"), nullptr);

    Trpshapes round;
    round.SetShape(stRoundRect);
    expected << "-"
             << "Degree of Rounding"
             << "20 %"
             << "30 %"
             << "40 %"
             << "50 %"
             << "60 %"
             << "70 %"
             << "80 %";
    EXPECT_EQ(tail(round, expected.size()), expected);

    TKImage image;
    expected = QStringList{"-", "Load Image From Disk", "-", "Stretch to Fit", "AutoSize"};
    EXPECT_EQ(tail(image, expected.size()), expected);
}

TEST(GraphicMenusTest, CommandsChangeTheObjectAndNotifyThePanel) {
    QWidget form;
    TKLabelPanel panel(&form);
    panel.resize(300, 150);
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };

    auto* line = new TKLineShape;
    panel.AddObject(line, QRect(20, 30, 50, 15));
    changes = 0;
    Trigger(*line, "4 Point");
    EXPECT_EQ(line->PenRef().Width(), 4);
    EXPECT_GE(changes, 1);
    line->UpdateMenuChecks();
    EXPECT_TRUE(Find(line->PopupMenu(), "4 Point")->isChecked());
    EXPECT_FALSE(Find(line->PopupMenu(), "1 Point")->isChecked());

    Trigger(*line, "Streth To Edges");
    EXPECT_EQ(line->BoundsRect(), QRect(0, 30, 300, 15));
    Trigger(*line, "Vertical");
    Trigger(*line, "Streth To Edges");
    EXPECT_EQ(line->BoundsRect(), QRect(0, 0, 300, 150));
    Trigger(*line, "Angled Sloping Up");
    line->SetBounds(5, 6, 40, 30);
    Trigger(*line, "Streth To Edges");
    EXPECT_EQ(line->BoundsRect(), QRect(5, 6, 40, 30)) << "sloping lines stay";

    int asked = 0;
    ModalScript script([&](QDialog& d) {
        auto* colors = qobject_cast<QColorDialog*>(&d);
        EXPECT_NE(colors, nullptr) << "only colours are asked for";
        if (!colors)
            return int(QDialog::Rejected);
        ++asked;
        colors->setCurrentColor(QColor(0, 0, 255));
        return int(QDialog::Accepted);
    });
    Trigger(*line, "Color");
    EXPECT_EQ(line->PenRef().Color(), 0xFF0000);

    auto* shape = new TKLabelShapes;
    panel.AddObject(shape, QRect(100, 20, 40, 40));
    Trigger(*shape, "Transparent");
    EXPECT_TRUE(shape->Transparent());
    EXPECT_EQ(shape->BrushRef().Style(), bsClear);
    auto ops = Printed(*shape, 0, 0);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].brush.style, BrushStyle::Clear) << "only the outline prints";
    Trigger(*shape, "Background Color");
    EXPECT_FALSE(shape->Transparent());
    EXPECT_EQ(shape->BrushRef().Style(), bsSolid);
    EXPECT_EQ(shape->BrushRef().Color(), 0xFF0000);
    Trigger(*shape, "Line Color");
    EXPECT_EQ(shape->PenRef().Color(), 0xFF0000);
    EXPECT_EQ(asked, 3);

    auto* round = new TKLabelShapes;
    round->SetShape(stRoundSquare);
    panel.AddObject(round, QRect(150, 20, 40, 40));
    Trigger(*round, "60 %");
    EXPECT_EQ(round->RoundPerc(), 60);
    round->UpdateMenuChecks();
    EXPECT_TRUE(Find(round->PopupMenu(), "60 %")->isChecked());

    auto* image = new TKImage;
    panel.AddObject(image, QRect(200, 20, 60, 60));
    Trigger(*image, "AutoSize");
    EXPECT_TRUE(image->AutoSize());
    EXPECT_FALSE(image->Stretch());
    Trigger(*image, "Stretch to Fit");
    EXPECT_TRUE(image->Stretch());
    EXPECT_FALSE(image->AutoSize());
}

// ---- chooser -----------------------------------------------------------------------------

class ImageBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Write("Sample.BMP", FileBytes(SampleImage(), "BMP"));
        Write(
            "clip.wmf",
            WmfBuilder().window(0, 0, 50, 50).rectangle(5, 5, 45, 45).placeable(0, 0, 50, 50, 100));
        Write("photo.png", FileBytes(SampleImage(), "PNG"));
        Write("broken.bmp", "BM this is not a bitmap");
        Write("notes.txt", "text");
    }
    void Write(const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir;
};

TEST_F(ImageBrowserTest, ListsPicturesPreviewsAndRejectsBadFiles) {
    MessageScript messages;
    TKImageBrowser browser;
    EXPECT_EQ(browser.windowTitle(), "Load Image File (BMP/WMF)");
    ASSERT_TRUE(browser.SetDirectory(dir.path()));
    EXPECT_EQ(browser.FileNames(), (QStringList{"broken.bmp", "clip.wmf", "Sample.BMP"}));
    browser.FilterBox()->setCurrentIndex(1);
    EXPECT_EQ(browser.FileNames(), (QStringList{"photo.png"}));
    browser.FilterBox()->setCurrentIndex(0);

    EXPECT_TRUE(browser.SelectFile("clip.wmf"));
    EXPECT_EQ(browser.Preview().Kind(), "TMetafile");
    EXPECT_FALSE(browser.SelectFile("broken.bmp"));
    EXPECT_TRUE(messages.sawText("Error loading file!"));
    EXPECT_TRUE(browser.Preview().IsEmpty());
    EXPECT_TRUE(browser.FileName().isEmpty());

    browser.SetAutoSize(true);
    EXPECT_FALSE(browser.Stretch());
    browser.SetStretch(true);
    EXPECT_FALSE(browser.AutoSize());
    EXPECT_TRUE(browser.SelectFile("Sample.BMP"));
    EXPECT_EQ(browser.Preview().Image().size(), QSize(4, 3));
}

TEST_F(ImageBrowserTest, LoadImageFromDiskTakesPictureAndOptions) {
    MessageScript messages;
    TKImage image;
    const QString before = QDir::currentPath();
    int shown = 0;
    {
        ModalScript script([&](QDialog& d) {
            auto* b = qobject_cast<TKImageBrowser*>(&d);
            EXPECT_NE(b, nullptr);
            if (!b)
                return int(QDialog::Rejected);
            ++shown;
            EXPECT_TRUE(b->Stretch()); // as on the object
            EXPECT_FALSE(b->AutoSize());
            b->SetDirectory(dir.path());
            b->SelectFile("Sample.BMP");
            b->SetAutoSize(true);
            return int(QDialog::Accepted);
        });
        EXPECT_TRUE(image.LoadImageFromDisk());
    }
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(image.PictureRef().Kind(), "TBitmap");
    EXPECT_TRUE(image.AutoSize());
    EXPECT_FALSE(image.Stretch());
    EXPECT_EQ(QSize(image.Width(), image.Height()), QSize(4, 3));
    EXPECT_EQ(QDir::currentPath(), before);

    // Cancel leaves everything as it was.
    ModalScript cancel([&](QDialog& d) {
        auto* b = qobject_cast<TKImageBrowser*>(&d);
        EXPECT_NE(b, nullptr);
        if (b) {
            b->SetDirectory(dir.path());
            b->SelectFile("clip.wmf");
        }
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(image.LoadImageFromDisk());
    EXPECT_EQ(image.PictureRef().Kind(), "TBitmap");
}

// ---- stored pictures ---------------------------------------------------------------------

TEST(PictureStreamTest, EveryKindRoundTripsByteForByte) {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgb(10, 20, 30));
    const struct {
        const char* kind;
        QByteArray file;
    } cases[] = {
        {"TBitmap", FileBytes(SampleImage(), "BMP")},
        {"TMetafile",
         WmfBuilder().window(0, 0, 10, 10).ellipse(1, 1, 9, 9).placeable(0, 0, 10, 10, 96)},
        {"TPngImage", FileBytes(SampleImage(), "PNG")},
        {"TJPEGImage", FileBytes(SampleImage(), "JPEG")},
        {"TIcon", FileBytes(icon, "ICO")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QWidget form;
        TKLabelPanel panel(&form);
        auto* image = new TKImage;
        panel.AddObject(image, QRect(10, 10, 50, 50));
        ASSERT_TRUE(image->Picture()->LoadFromData(c.file));
        EXPECT_EQ(image->PictureRef().Kind(), c.kind);
        // The stored form: class name, then the file as loaded (a bitmap with
        // its length in front).
        QByteArray expected;
        expected.append(char(strlen(c.kind))).append(c.kind);
        if (QByteArray(c.kind) == "TBitmap") {
            const quint32 n = quint32(c.file.size());
            expected.append(char(n & 0xFF))
                .append(char((n >> 8) & 0xFF))
                .append(char((n >> 16) & 0xFF))
                .append(char(n >> 24));
        }
        expected.append(c.file);
        EXPECT_EQ(image->PictureRef().Data(), expected);

        QTemporaryDir dir;
        const QString a = dir.filePath("a.lbl"), b = dir.filePath("b.lbl");
        panel.SaveToFile(a);
        QWidget form2;
        TKLabelPanel fresh(&form2);
        fresh.LoadFromFile(a);
        const auto loaded = fresh.Objects();
        ASSERT_EQ(loaded.size(), 1);
        auto* back = dynamic_cast<TKImage*>(loaded[0]);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->PictureRef().Kind(), c.kind);
        EXPECT_EQ(back->PictureRef().FileData(), c.file);
        // Loaded objects are renamed once ("Component" + N); from then on
        // saving and loading gives the same bytes.
        fresh.SaveToFile(b);
        QWidget form3;
        TKLabelPanel again(&form3);
        again.LoadFromFile(b);
        const QString c2 = dir.filePath("c.lbl");
        again.SaveToFile(c2);
        QFile fb(b), fc(c2);
        ASSERT_TRUE(fb.open(QIODevice::ReadOnly));
        ASSERT_TRUE(fc.open(QIODevice::ReadOnly));
        const QByteArray saved = fb.readAll();
        EXPECT_TRUE(saved.contains(image->PictureRef().Data()));
        EXPECT_EQ(fc.readAll(), saved);
    }
}

TEST(PictureStreamTest, DamagedPicturesAreRefused) {
    TKPicture picture;
    // Files that claim a kind but cannot be read are not taken.
    const QByteArray files[] = {
        QByteArray("BM broken"),
        QByteArray::fromHex("89504e470d0a1a0a0000"),
        QByteArray::fromHex("ffd8ffe000"),
        QByteArray::fromHex("d7cdc69a0000"), // placeable header cut short
        QByteArray::fromHex("0100090000"),   // metafile header cut short
    };
    for (const QByteArray& f : files) {
        EXPECT_FALSE(picture.LoadFromData(f)) << f.toHex().constData();
        EXPECT_TRUE(picture.IsEmpty());
    }
    // Stored data of a damaged PNG or JPEG is an invalid property value.
    for (const char* kind : {"TPngImage", "TJPEGImage"}) {
        QByteArray data;
        data.append(char(strlen(kind))).append(kind).append("garbage");
        EXPECT_THROW(picture.SetData(data), StreamError) << kind;
    }
}
