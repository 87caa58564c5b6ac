// Text objects: stream round trips, the cleared caption, layout and fitting,
// printing of one-line and multi-line texts, symbol fonts, data fields,
// counters, word wrap, the address block and the dialogs.
#include "addressbook/addressfile.h"
#include "app/modal.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "labelobjects/symbolfonts.h"
#include "labelobjects/textdialogs.h"
#include "printing/print_test_support.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace qb;
using qb::testing::FakeDevice;
using qb::testing::OpsOfKind;
using qb::testing::Record;
using qb::testing::TextOps;

namespace {

constexpr double kP = kPixelsPerInch;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The action of a popup menu (submenus searched too) by its text.
QAction* MenuItem(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction* sub = MenuItem(a->menu(), text))
                return sub;
    }
    return nullptr;
}

// Bounding box of the non-white pixels of an image.
QRect InkBox(const QImage& img) {
    int l = img.width(), t = img.height(), r = -1, b = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160) {
                l = std::min(l, x);
                t = std::min(t, y);
                r = std::max(r, x);
                b = std::max(b, y);
            }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

QImage PlayAt(const RecordedPage& page, double dpi) {
    QImage img(int(8.5 * dpi), int(11 * dpi), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    PlayPage(p, page, DeviceMapping{dpi, dpi, 0, 0});
    p.end();
    return img;
}

} // namespace

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Saves `panel`, loads the file into a fresh panel and saves that again.
    void ExpectRoundTrip(TKLabelPanel& panel, const char* name) {
        const QString a = Path(name), b = Path("again.L");
        panel.SaveToFile(a);
        QWidget otherForm;
        TKLabelPanel fresh(&otherForm);
        fresh.resize(panel.size());
        fresh.LoadFromFile(a);
        fresh.SaveToFile(b);
        EXPECT_EQ(ReadAll(a).toHex(), ReadAll(b).toHex()) << name;
        loaded = fresh.Objects().size();
    }

    // Opens an address file with the given records (field name -> value).
    void OpenAddresses(const std::vector<std::map<QString, QString>>& records) {
        TableDataset spare;
        ASSERT_TRUE(CreateAddressFile(dir.filePath(QStringLiteral("ADD0001.DBF")), spare));
        AddressFile::Configure(table);
        table.setDirectory(dir.path());
        table.setFileName(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(table.open()) << table.errorText().toStdString();
        for (const auto& r : records) {
            ASSERT_TRUE(table.insert());
            for (const auto& [k, v] : r)
                ASSERT_TRUE(table.setValue(k, v)) << k.toStdString();
            ASSERT_TRUE(table.post()) << table.errorText().toStdString();
        }
        table.first();
    }

    QTemporaryDir dir;
    QWidget form;
    TableDataset table;
    qsizetype loaded = 0;
};

// ---- stream -------------------------------------------------------------------------------------

TEST_F(TextTest, EveryTextClassRoundTripsByteForByteWithNonDefaultValues) {
    const auto base = [](TKBaseLabel* l) {
        l->SetAlignment(taCenter);
        l->SetDepthHighlight(2);
        l->SetDepthShadow(3);
        l->SetDirectionHighlight(hdUpRight);
        l->SetDirectionShadow(sdDownLeft);
        l->SetColorHighlight(0x00FFFF);
        l->SetColorShadow(0x123456);
        l->Font()->SetName(QStringLiteral("Liberation Serif"));
        l->Font()->SetSize(13);
        l->Font()->SetStyle(fsBold | fsItalic);
        l->Font()->SetColor(0x0000FF);
        l->SetTransparent(false);
        l->SetBackColor(0x00FF00);
    };
    const std::vector<std::pair<const char*, std::function<TKGraphicControl*()>>> cases = {
        {"plain",
         [&] {
             auto* l = new TKPLabel;
             base(l);
             l->SetCaption(QStringLiteral("Hello world"));
             return l;
         }},
        {"rotated",
         [&] {
             auto* l = new TKPLabel;
             l->SetCaption(QStringLiteral("Up"));
             l->SetAngle(270);
             return l;
         }},
        {"data",
         [&] {
             auto* l = new TKPDLabel;
             base(l);
             l->SetDataFieldName(QStringLiteral("CITY"));
             l->SetDataFieldDescript(QStringLiteral("City"));
             l->SetLengthOfText(7);
             return l;
         }},
        {"counter",
         [&] {
             auto* l = new TKCounterLabel;
             base(l);
             l->SetTextBefore(QStringLiteral("No. "));
             l->SetTextAfter(QStringLiteral(" of many"));
             l->SetStartingnumber(-40);
             l->SetRepeatEach(3);
             return l;
         }},
        {"symbol",
         [&] {
             auto* l = new TKSymbolLabel;
             l->SetCaption(QStringLiteral("J"));
             return l;
         }},
        {"multi",
         [&] {
             auto* l = new TKMultiLineLabel;
             l->Items()->SetLines({"one", "", "three blind mice"});
             l->SetAlignment(taRightJustify);
             l->SetWordWrap(true);
             l->Font()->SetSize(12);
             return l;
         }},
        {"memo",
         [&] {
             auto* l = new TKDMultiLineLabel;
             l->SetDataFieldName(QStringLiteral("Notes"));
             l->SetDataFieldDescript(QStringLiteral("NOTES"));
             l->SetAlignment(taCenter);
             return l;
         }},
        {"address",
         [&] {
             auto* l = new TKDMultiLineAddressLabel;
             l->SetUseTitle(false);
             l->SetUseStreet2(false);
             l->SetUsePhone(true);
             l->SetZipOptions(zoAfterCountry);
             l->SetUpperCase(true);
             l->Items()->SetLines({"JOHN PUBLIC"});
             return l;
         }},
    };
    for (const auto& [name, make] : cases) {
        TKLabelPanel panel(&form);
        panel.resize(400, 300);
        TKGraphicControl* o = make();
        panel.AddObject(o, QRect(12, 14, 150, 40));
        o->setObjectName(QStringLiteral("Component0")); // the name a reader gives it
        ExpectRoundTrip(panel, name);
        EXPECT_EQ(loaded, 1) << name;
    }
}

TEST_F(TextTest, ClearedCaptionIsWrittenAndReadsBackEmpty) {
    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    auto* l = new TKPLabel;
    panel.AddObject(l, QRect(5, 5, 100, 20));
    l->SetCaption(QString());
    panel.SaveToFile(Path("empty.L"));
    const QByteArray bytes = ReadAll(Path("empty.L"));
    EXPECT_TRUE(bytes.contains(QByteArray("\x07"
                                          "Caption"
                                          "\x06\x00",
                                          10)))
        << "an empty string value for the caption";

    QWidget otherForm;
    TKLabelPanel fresh(&otherForm);
    fresh.resize(300, 100);
    fresh.LoadFromFile(Path("empty.L"));
    ASSERT_EQ(fresh.Objects().size(), 1);
    auto* back = dynamic_cast<TKPLabel*>(fresh.Objects().first());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Caption(), QString());
    // Other empty strings still stay out of the stream.
    EXPECT_FALSE(bytes.contains("DataFieldName"));
    EXPECT_FALSE(bytes.contains("Hint"));
}

// ---- layout -------------------------------------------------------------------------------------

TEST_F(TextTest, ShadowAndHighlightSetMarginsAndBlockHeight) {
    TKPLabel l;
    l.SetCaption(QStringLiteral("Raised"));
    l.SetDepthShadow(3);
    l.SetDirectionShadow(sdDownRight);
    l.SetDepthHighlight(2);
    l.SetDirectionHighlight(hdUpLeft);
    l.SetBounds(0, 0, 200, 4); // too low: grows to the block height
    const TKBaseLabel::Layout& lay = l.DoLayout();
    EXPECT_EQ(lay.face.topLeft(), QPoint(2, 2)) << "margins mx = my = 2";
    EXPECT_EQ(l.Height(), lay.lineHeight + 3 + 2);
    EXPECT_EQ(lay.shadow.topLeft(), QPoint(5, 5));
    EXPECT_EQ(lay.highlight.topLeft(), QPoint(0, 0));
    EXPECT_EQ(lay.shadowOrigin - lay.faceOrigin, QPoint(3, 3));
    EXPECT_EQ(lay.highlightOrigin - lay.faceOrigin, QPoint(-2, -2));
    // Too high a box comes down to 1.2 block heights.
    l.SetBounds(0, 0, 200, 300);
    l.DoLayout();
    EXPECT_EQ(l.Height(), int(1.2 * (lay.lineHeight + 5)));
}

TEST_F(TextTest, RightAnglesOnlyAndQuarterTurnsSwapTheBox) {
    TKPLabel l;
    l.SetAlignment(taCenter);
    l.SetAngle(45);
    EXPECT_EQ(l.Angle(), 0);
    EXPECT_EQ(l.Alignment(), taCenter);
    EXPECT_EQ(QSize(l.Width(), l.Height()), QSize(142, 33));
    l.SetAngle(90);
    EXPECT_EQ(QSize(l.Width(), l.Height()), QSize(33, 142));
    EXPECT_EQ(l.Alignment(), taLeftJustify);
    l.SetAngle(270);
    EXPECT_EQ(QSize(l.Width(), l.Height()), QSize(33, 142)) << "already upright";
    l.SetAngle(0);
    EXPECT_EQ(QSize(l.Width(), l.Height()), QSize(142, 33));
}

TEST_F(TextTest, GrowingToFitWidensButNeverShrinks) {
    TKPLabel l;
    l.SetBounds(0, 0, 10, 10);
    l.SetCaption(QStringLiteral("A rather long caption"));
    l.GrowToFit();
    const QFontMetrics fm(ScreenFont(l.FontRef()));
    EXPECT_GE(l.Width(), fm.horizontalAdvance(QStringLiteral("A rather long caption     ")));
    EXPECT_GE(l.Height(), fm.ascent() + fm.descent());
    l.SetBounds(0, 0, 500, l.Height());
    l.GrowToFit();
    EXPECT_EQ(l.Width(), 500);
}

// ---- printing one-line texts
// ---------------------------------------------------------------------

TEST_F(TextTest, AlignmentPlacesTheFaceOnPaper) {
    const double x0 = 1.0, y0 = 2.0;
    for (int align : {taLeftJustify, taCenter, taRightJustify}) {
        TKPLabel l;
        l.SetCaption(QStringLiteral("Mailing"));
        l.SetAlignment(align);
        l.SetBounds(48, 24, 300, 20);
        double tw = 0;
        auto file = Record([&](PrintSurface& s) {
            l.PrintTo(s, x0, y0);
            tw = l.DoLayout().textWidth / kP;
        });
        const auto texts = TextOps(file->Page(0));
        ASSERT_EQ(texts.size(), 1u) << "depth 0: the face only";
        const PageOp& t = texts[0];
        EXPECT_EQ(t.text, "Mailing");
        EXPECT_EQ(t.font.family, "Arial");
        EXPECT_DOUBLE_EQ(t.font.points, 10);
        EXPECT_FALSE(t.hasFill) << "text has no background";
        const double left = x0 + 48 / kP, right = x0 + (48 + 300) / kP;
        if (align == taLeftJustify)
            EXPECT_DOUBLE_EQ(t.x1, left);
        else if (align == taRightJustify)
            EXPECT_NEAR(t.x1 + tw, right, 1e-9);
        else
            EXPECT_NEAR(t.x1 + tw / 2, (left + right) / 2, 1.0 / kP);
        // The clip reaches 0.03 inch beyond the laid-out rectangle, left and up.
        EXPECT_NEAR(t.clip.left(), left - 0.03, 1e-9);
        EXPECT_NEAR(t.clip.top(), y0 + 24 / kP - 0.03, 1e-9);
        EXPECT_NEAR(t.clip.right(), right, 1e-9);
    }
}

TEST_F(TextTest, ThreeDTextPrintsShadowHighlightThenFace) {
    TKPLabel l;
    l.SetCaption(QStringLiteral("Deep"));
    l.SetBounds(96, 96, 200, 40);
    l.SetDepthShadow(3);
    l.SetDirectionShadow(sdDownRight);
    l.SetDepthHighlight(2);
    l.SetDirectionHighlight(hdUpLeft);
    l.Font()->SetColor(0x0000FF);
    l.Font()->SetStyle(fsBold | fsUnderline);
    auto file = Record([&](PrintSurface& s) { l.PrintTo(s, 0.5, 0.5); });
    const auto texts = TextOps(file->Page(0));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].font.color, QColor(0x80, 0x80, 0x80)) << "shadow first";
    EXPECT_EQ(texts[1].font.color, QColor(0x00, 0xFF, 0xFF)) << "aqua highlight";
    EXPECT_EQ(texts[2].font.color, QColor(0xFF, 0x00, 0x00)) << "red face ($0000FF)";
    EXPECT_NEAR(texts[0].x1 - texts[2].x1, 3 / kP, 1e-9);
    EXPECT_NEAR(texts[0].y1 - texts[2].y1, 3 / kP, 1e-9);
    EXPECT_NEAR(texts[1].x1 - texts[2].x1, -2 / kP, 1e-9);
    EXPECT_NEAR(texts[1].y1 - texts[2].y1, -2 / kP, 1e-9);
    EXPECT_TRUE(texts[2].font.bold);
    EXPECT_FALSE(texts[2].font.underline) << "underline is not passed to paper";
    // Face at the margin: two pixels in from the object's corner.
    EXPECT_DOUBLE_EQ(texts[2].x1, 0.5 + (96 + 2) / kP);
    // A depth with no direction prints no copy.
    l.SetDirectionShadow(sdNone);
    l.SetDepthHighlight(0);
    auto file2 = Record([&](PrintSurface& s) { l.PrintTo(s, 0.5, 0.5); });
    EXPECT_EQ(TextOps(file2->Page(0)).size(), 1u);
}

TEST_F(TextTest, OpaqueBackgroundIsOneFilledRectangle) {
    TKPLabel l;
    l.SetBounds(10, 20, 100, 30);
    l.SetTransparent(false);
    l.SetBackColor(0x00FFFF); // yellow
    auto file = Record([&](PrintSurface& s) { l.PrintTo(s, 1, 1); });
    const auto rects = OpsOfKind(file->Page(0), PageOp::Rectangle);
    ASSERT_EQ(rects.size(), 1u);
    const int h = l.Height();
    EXPECT_DOUBLE_EQ(rects[0].x1, 1 + 10 / kP);
    EXPECT_DOUBLE_EQ(rects[0].y1, 1 + 20 / kP);
    EXPECT_DOUBLE_EQ(rects[0].x2, 1 + 109 / kP);
    EXPECT_DOUBLE_EQ(rects[0].y2, 1 + (20 + h - 1) / kP);
    EXPECT_EQ(rects[0].brush.color, QColor(Qt::yellow));
    EXPECT_EQ(rects[0].pen.style, PenStyle::Clear);
    // The rectangle comes before the text.
    const auto& ops = file->Page(0).ops;
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops.front().kind, PageOp::Rectangle);
}

TEST_F(TextTest, EveryQuarterTurnPrintsInsideTheObject) {
    for (int angle : {0, 90, 180, 270}) {
        TKPLabel l;
        l.Font()->SetSize(24);
        l.SetCaption(QStringLiteral("WWWW"));
        l.SetBounds(96, 96, 300, 300);
        l.SetAngle(angle);
        auto file = Record([&](PrintSurface& s) { l.PrintTo(s, 1.0, 1.0); }, FakeDevice(100));
        const auto texts = TextOps(file->Page(0));
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_DOUBLE_EQ(texts[0].font.angle, angle);
        const QImage img = PlayAt(file->Page(0), 100);
        const QRect ink = InkBox(img);
        ASSERT_FALSE(ink.isNull()) << angle;
        // The object on a 100 dpi page: 1 inch + its pixels.
        const QRectF box((1 + l.Left() / kP) * 100, (1 + l.Top() / kP) * 100, l.Width() / kP * 100,
                         l.Height() / kP * 100);
        EXPECT_TRUE(box.adjusted(-3, -3, 3, 3).contains(ink))
            << angle << ": ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x"
            << ink.height() << " box " << box.x() << "," << box.y() << " " << box.width() << "x"
            << box.height();
        // Upright text is taller than wide, flat text wider than tall.
        if (angle == 90 || angle == 270)
            EXPECT_GT(ink.height(), ink.width()) << angle;
        else
            EXPECT_GT(ink.width(), ink.height()) << angle;
    }
}

// ---- symbol fonts -------------------------------------------------------------------------------

TEST_F(TextTest, PictureFontCodesTranslateToUnicode) {
    const struct {
        SymbolFontKind kind;
        int code;
        char32_t unicode;
    } cases[] = {
        {SymbolFontKind::Wingdings, '[', 0x262F},  // yin yang, the symbol object's default
        {SymbolFontKind::Wingdings, 'J', 0x263A},  // smiling face
        {SymbolFontKind::Wingdings, '(', 0x260E},  // telephone
        {SymbolFontKind::Wingdings, 0xFC, 0x2713}, // check mark
        {SymbolFontKind::Wingdings, 0x81, 0x2460}, // circled one
        {SymbolFontKind::Symbol, 'a', 0x03B1},     {SymbolFontKind::Symbol, 'p', 0x03C0},
        {SymbolFontKind::Symbol, 'W', 0x03A9},     {SymbolFontKind::Symbol, 0xB3, 0x2265},
        {SymbolFontKind::Symbol, '1', '1'},
    };
    for (const auto& c : cases) {
        // Codes above 127 arrive as read from a Windows ANSI layout.
        const QString in = QString(QChar(c.code));
        EXPECT_EQ(SymbolToUnicode(c.kind, in), QString::fromUcs4(&c.unicode, 1))
            << std::hex << c.code;
    }
    // Windows-1252 decoding turns byte 0x80 into the euro sign; it is still code 0x80.
    EXPECT_EQ(SymbolToUnicode(SymbolFontKind::Wingdings, QString(QChar(0x20AC))),
              QString(QChar(0x24EA)));
    EXPECT_EQ(SymbolFontOf(QStringLiteral("WingDings")), SymbolFontKind::Wingdings);
    EXPECT_EQ(SymbolFontOf(QStringLiteral("Arial")), SymbolFontKind::None);
}

TEST_F(TextTest, MissingSymbolFontPrintsTheTranslatedPicture) {
    if (FontInstalled(QStringLiteral("WingDings")))
        GTEST_SKIP() << "a real WingDings face is installed";
    TKSymbolLabel s;
    EXPECT_EQ(s.Caption(), "[");
    EXPECT_EQ(s.FontRef().Name(), "WingDings");
    EXPECT_EQ(s.FontRef().Size(), 24);
    s.SetBounds(10, 10, 5, 5);
    const QFontMetrics fm(ScreenFont(s.FontRef()));
    EXPECT_EQ(s.Width(), int(1.1 * fm.horizontalAdvance(QString(QChar(0x262F)))))
        << "sized to 110 % of the glyph";
    auto file = Record([&](PrintSurface& surface) { s.PrintTo(surface, 0, 0); });
    const auto texts = TextOps(file->Page(0));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, QString(QChar(0x262F)));
    EXPECT_EQ(texts[0].font.family, SymbolFallbackFamily());
    EXPECT_TRUE(FontInstalled(SymbolFallbackFamily()));
    // And the symbol is really drawn.
    EXPECT_FALSE(InkBox(PlayAt(file->Page(0), 100)).isNull());
}

// ---- data fields --------------------------------------------------------------------------------

TEST_F(TextTest, DataFieldShowsValuesNamesAndPlaceholders) {
    OpenAddresses({{{"LNAME", "Public"}, {"CITY", ""}}});
    TKLabelPanel panel(&form);
    panel.resize(300, 200);
    panel.SetDataset(&table);
    auto* name = new TKPDLabel;
    panel.AddObject(name, QRect(0, 0, 100, 20));
    name->SetDataFieldDescript(QStringLiteral("Last Name"));
    auto* city = new TKPDLabel;
    panel.AddObject(city, QRect(0, 30, 100, 20));
    city->SetDataFieldDescript(QStringLiteral("City"));
    auto* wrong = new TKPDLabel;
    panel.AddObject(wrong, QRect(0, 60, 100, 20));
    wrong->SetDataFieldDescript(QStringLiteral("last name")); // labels match exactly
    panel.RefreshAllData();
    EXPECT_EQ(name->Caption(), "Public");
    EXPECT_EQ(city->Caption(), "<blank field>");
    EXPECT_EQ(wrong->Caption(), "<undefined field>");

    panel.SetDisplayDataValues(false);
    EXPECT_EQ(name->Caption(), "[Last Name]");

    // Printing shows real values only: blank stays blank, and an undefined
    // field prints nothing, even when the layout was saved showing the
    // placeholder.
    panel.SetPrinting(true);
    wrong->SetCaption(QStringLiteral("<undefined field>"));
    panel.RefreshAllData();
    EXPECT_EQ(name->Caption(), "Public");
    EXPECT_EQ(city->Caption(), "");
    EXPECT_EQ(wrong->Caption(), "");
    auto file = Record([&](PrintSurface& s) { panel.PrintObjects(s, 0, 0); });
    QStringList printed;
    for (const PageOp& op : TextOps(file->Page(0)))
        printed << op.text;
    EXPECT_FALSE(printed.contains("<blank field>"));
    EXPECT_FALSE(printed.contains("<undefined field>"));
    EXPECT_TRUE(printed.contains("Public"));
}

TEST_F(TextTest, CountersPrintTheirSequenceThroughThePanel) {
    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    auto* c = new TKCounterLabel;
    panel.AddObject(c, QRect(0, 0, 100, 20));
    c->ApplyCounterSettings(1000, 2, QStringLiteral("No. "), QString());
    QStringList printed;
    auto file = Record([&](PrintSurface& s) {
        for (int i = 0; i < 5; ++i) {
            panel.PrintObjects(s, 0, i);
            panel.AdvanceCounters();
        }
    });
    for (const PageOp& op : TextOps(file->Page(0)))
        printed << op.text;
    EXPECT_EQ(printed, (QStringList{"No. 1000", "No. 1000", "No. 1001", "No. 1001", "No. 1002"}));
    panel.ResetCounters();
    EXPECT_EQ(c->Caption(), "No. 1000");
    c->ApplyCounterSettings(-3, 1, QString(), QStringLiteral("!"));
    EXPECT_EQ(c->Caption(), "-3!");
}

// ---- word wrap ----------------------------------------------------------------------------------

TEST_F(TextTest, WordWrapFitsBreaksAtBlanksAndCutsLongWords) {
    const auto tenPerChar = [](const QString& s) { return int(s.size()) * 10; };
    const struct {
        QStringList in;
        int width;
        QStringList out;
    } cases[] = {
        {{"short"}, 100, {"short"}},
        {{"two words here"}, 100, {"two words", "here"}},
        {{"abcdefghijklmnop"}, 50, {"abcde", "fghij", "klmno", "p"}},
        {{"go extraordinarily far"}, 60, {"go", "extrao", "rdinar", "ily", "far"}},
        {{"first", "", "third line"}, 50, {"first", "", "third", "line"}},
        {{"  lead  and   gaps "}, 80, {"lead and", "gaps"}},
        {{"x"}, 5, {"x"}}, // narrower than one character: still one per line
    };
    for (const auto& c : cases) {
        const QStringList got = WrapText(c.in, c.width, tenPerChar);
        EXPECT_EQ(got, c.out) << c.in.join('|').toStdString();
        for (const QString& l : got) {
            if (l.size() > 1) {
                EXPECT_LE(tenPerChar(l), c.width) << l.toStdString();
            }
        }
    }
}

TEST_F(TextTest, WrappedMultiLineObjectKeepsEveryLineInsideItsWidth) {
    TKMultiLineLabel m;
    m.SetBounds(0, 0, 90, 40);
    m.Items()->SetLines({"The quick brown fox jumps over the lazy dog",
                         "Pneumonoultramicroscopicsilicovolcanoconiosis"});
    m.SetWordWrap(true);
    const QFontMetrics fm(ScreenFont(m.FontRef()));
    ASSERT_GT(m.Lines().size(), 4);
    for (const QString& l : m.Lines())
        EXPECT_LE(fm.horizontalAdvance(l), 90) << l.toStdString();
    // Nothing is lost but the blanks at the breaks.
    QString joined = m.Lines().join(QString());
    QString original = m.ItemsRef().Lines().join(QString());
    EXPECT_EQ(joined.remove(' '), original.remove(' '));
    // Resizing rewraps; turning wrap off gives the items back.
    const qsizetype narrow = m.Lines().size();
    m.SetBounds(0, 0, 400, 40);
    EXPECT_LT(m.Lines().size(), narrow);
    m.SetWordWrap(false);
    EXPECT_EQ(m.Lines(), m.ItemsRef().Lines());
    // Fitting: height from the lines, width at least the widest.
    m.FitToText();
    EXPECT_EQ(m.Height(), 2 * std::max(m.LineHeight(), 16)) << "10 points print 1/6 inch apart";
    EXPECT_GE(m.Width(), fm.horizontalAdvance(m.ItemsRef().Lines()[1]));
}

// ---- multi-line printing ------------------------------------------------------------------------

TEST_F(TextTest, MultiLinePrintsLineByLineClippedToTheObject) {
    TKMultiLineLabel m;
    m.Items()->SetLines({"alpha", "beta", "gamma", "delta"});
    m.Font()->SetSize(12);
    const double pitch = std::nearbyint(12 / 60.0 * 600) / 600;
    // Room for two lines and a bit: the third crosses the bottom, the fourth is out.
    const int height = int(std::ceil(2.5 * pitch * kP));
    m.SetBounds(48, 96, 200, height);
    for (int align : {taLeftJustify, taRightJustify, taCenter}) {
        m.SetAlignment(align);
        auto file = Record([&](PrintSurface& s) { m.PrintTo(s, 1.0, 1.0); });
        const auto texts = TextOps(file->Page(0));
        ASSERT_EQ(texts.size(), 3u) << align;
        const QRectF clip(QPointF(1 + 48 / kP, 1 + 96 / kP),
                          QPointF(1 + 248 / kP, 1 + (96 + height) / kP));
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i].clip, clip);
            EXPECT_DOUBLE_EQ(texts[i].font.points, 12);
        }
        EXPECT_EQ(texts[0].text, "alpha");
        EXPECT_EQ(texts[2].text, "gamma");
        EXPECT_NEAR(texts[1].y1 - texts[0].y1, pitch, 1e-9);
        if (align == taLeftJustify) {
            EXPECT_DOUBLE_EQ(texts[0].x1, clip.left());
        } else {
            // Device pixels at 600 dpi, e = 600 / 96 = 6.
            TReportFiler probe;
            probe.SetDeviceMetrics(FakeDevice());
            probe.UseFont("Arial", 12);
            const int w = int(std::nearbyint(probe.MeasureText("alpha") * 600));
            const int rectW = int(std::nearbyint(200 / kP * 600));
            const int dx = align == taRightJustify ? rectW - w - 6 : rectW / 2 + 6 - w / 2;
            EXPECT_NEAR(texts[0].x1, clip.left() + dx / 600.0, 1e-9) << align;
        }
    }
}

// ---- memo and address ---------------------------------------------------------------------------

TEST_F(TextTest, AddressCompositionFollowsItsOptions) {
    std::map<QString, QString> rec = {
        {"PREFIX", ""},          {"FNAME", "John"}, {"MIDDLE", "Q"},      {"LNAME", "Public"},
        {"TITLE", "Clerk"},      {"ORG", "Acme"},   {"STREET", "1 Main"}, {"STREET2", ""},
        {"CITY", "Springfield"}, {"STATE", "IL"},   {"ZIP", "12345"},     {"COUNTRY", "USA"},
        {"PHONE", "555-0100"}};
    const auto from = [](const std::map<QString, QString>& r) {
        return [r](const QString& name) -> std::optional<QString> {
            auto it = r.find(name);
            if (it == r.end())
                return std::nullopt;
            return it->second;
        };
    };
    AddressOptions all;
    EXPECT_EQ(ComposeAddress(all, from(rec)),
              (QStringList{"John Q. Public ", "Clerk", "Acme", "1 Main", "Springfield  IL 12345",
                           "USA"}));
    struct Case {
        const char* what;
        std::function<void(AddressOptions&, std::map<QString, QString>&)> set;
        QStringList expected;
    };
    const Case cases[] = {
        {"blank middle: no dot",
         [](AddressOptions& o, auto& r) {
             r["MIDDLE"] = " ";
             o = {};
             o.useTitle = o.useCompany = o.useStreet = o.useCityState = o.useCountry = false;
             o.useZip = false;
         },
         {"John Public "}},
        {"prefix",
         [](AddressOptions& o, auto& r) {
             r["PREFIX"] = "Dr";
             o.useTitle = o.useCompany = o.useStreet = o.useCityState = o.useCountry = false;
             o.useZip = false;
         },
         {"Dr John Q. Public "}},
        {"zip before city",
         [](AddressOptions& o, auto&) {
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useCountry = false;
             o.zipOptions = zoBeforeCity;
         },
         {"12345 Springfield IL "}},
        {"zip off",
         [](AddressOptions& o, auto&) {
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useCountry = false;
             o.useZip = false;
         },
         {"Springfield IL"}},
        {"all of city, state and zip empty",
         [](AddressOptions& o, auto& r) {
             r["CITY"] = r["STATE"] = r["ZIP"] = "";
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useCountry = false;
         },
         {}},
        {"zip after country",
         [](AddressOptions& o, auto& r) {
             r = {{"CITY", "Ottawa"}, {"STATE", "ON"}, {"COUNTRY", "Canada"}, {"ZIP", "K1A 0B6"}};
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useStreet2 = false;
             o.zipOptions = zoAfterCountry;
         },
         {"Ottawa ON", "Canada K1A 0B6"}},
        {"zip before country",
         [](AddressOptions& o, auto& r) {
             r = {{"CITY", "Ottawa"}, {"STATE", "ON"}, {"COUNTRY", "Canada"}, {"ZIP", "K1A 0B6"}};
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useStreet2 = false;
             o.zipOptions = zoBeforeCountry;
         },
         {"Ottawa ON", "K1A 0B6 Canada"}},
        {"country off, zip for the country alone",
         [](AddressOptions& o, auto&) {
             o.useName = o.useTitle = o.useCompany = o.useStreet = false;
             o.useCountry = false;
             o.zipOptions = zoBeforeCountry;
         },
         {"Springfield IL", "12345"}},
        {"city off, zip with the state alone",
         [](AddressOptions& o, auto&) {
             o.useName = o.useTitle = o.useCompany = o.useStreet = o.useCountry = false;
             o.useCityState = false;
         },
         {"12345"}},
        {"phone and capitals (a-z only)",
         [](AddressOptions& o, auto& r) {
             r["LNAME"] = "Müller";
             o.useTitle = o.useCompany = o.useStreet = o.useCityState = o.useCountry = false;
             o.useZip = false;
             o.usePhone = true;
             o.upperCase = true;
         },
         {"JOHN Q. MüLLER ", "555-0100"}},
        {"a missing field stops the composition",
         [](AddressOptions& o, auto& r) {
             r.erase("STREET");
             (void)o;
         },
         {"John Q. Public ", "Clerk", "Acme"}},
    };
    for (const Case& c : cases) {
        AddressOptions o;
        auto r = rec;
        c.set(o, r);
        EXPECT_EQ(ComposeAddress(o, from(r)), c.expected) << c.what;
    }
}

TEST_F(TextTest, AddressAndMemoObjectsReadTheRecord) {
    OpenAddresses({{{"FNAME", "Ada"},
                    {"LNAME", "Lovelace"},
                    {"CITY", "London"},
                    {"ZIP", "W1"},
                    {"COUNTRY", "UK"},
                    {"MEMO", "Analytical\r\nEngine"}},
                   {{"LNAME", "Empty"}}});
    TKLabelPanel panel(&form);
    panel.resize(400, 300);
    panel.SetDataset(&table);
    auto* a = new TKDMultiLineAddressLabel;
    panel.AddObject(a, QRect(0, 0, 200, 60));
    auto* memo = new TKDMultiLineLabel;
    panel.AddObject(memo, QRect(0, 100, 200, 60));
    memo->SetDataFieldDescript(QStringLiteral("MEMO"));
    auto* lost = new TKDMultiLineLabel;
    panel.AddObject(lost, QRect(0, 200, 200, 60));
    lost->SetDataFieldDescript(QStringLiteral("Notes"));
    panel.RefreshAllData();
    EXPECT_EQ(a->ItemsRef().Lines(), (QStringList{"Ada Lovelace ", "London  W1", "UK"}));
    EXPECT_EQ(memo->ItemsRef().Lines(), (QStringList{"Analytical", "Engine"}));
    EXPECT_EQ(lost->ItemsRef().Lines(), (QStringList{"<undefined memo>"}));

    panel.SetDisplayDataValues(false);
    EXPECT_EQ(a->ItemsRef().Lines(), (QStringList{"[Address Label]"}));
    EXPECT_EQ(memo->ItemsRef().Lines(), (QStringList{"[MEMO]"}));

    // The second record has no memo: nothing printed, nothing undefined printed.
    panel.SetDisplayDataValues(true);
    panel.SetPrinting(true);
    table.next();
    panel.RefreshAllData();
    EXPECT_TRUE(memo->ItemsRef().Lines().isEmpty());
    EXPECT_TRUE(lost->ItemsRef().Lines().isEmpty());
    auto file = Record([&](PrintSurface& s) { panel.PrintObjects(s, 0, 0); });
    QStringList printed;
    for (const PageOp& op : TextOps(file->Page(0)))
        printed << op.text;
    EXPECT_EQ(printed, (QStringList{"Empty "}));
}

// ---- dialogs and menus ------------------------------------------------------------------------

TEST_F(TextTest, TextMenuEntryEditsTheCaptionAndGrows) {
    TKLabelPanel panel(&form);
    panel.resize(400, 100);
    auto* l = new TKPLabel;
    panel.AddObject(l, QRect(0, 0, 20, 15));
    l->Loaded();
    ModalScript script([](QDialog& d) {
        auto& text = dynamic_cast<TGetLabelText&>(d);
        EXPECT_EQ(d.windowTitle(), "Text");
        EXPECT_EQ(text.Edit()->text(), "Text");
        text.Edit()->setText(QStringLiteral("A longer text than before"));
        return int(QDialog::Accepted);
    });
    QAction* item = MenuItem(l->PopupMenu(), QStringLiteral("Text"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(script.dialogsShown, 1);
    EXPECT_EQ(l->Caption(), "A longer text than before");
    const QFontMetrics fm(ScreenFont(l->FontRef()));
    EXPECT_GE(l->Width(), fm.horizontalAdvance(l->Caption()));
    // Rotation and alignment entries set the properties.
    MenuItem(l->PopupMenu(), QStringLiteral("Right"))->trigger();
    EXPECT_EQ(l->Alignment(), taRightJustify);
    MenuItem(l->PopupMenu(), QStringLiteral("90 Degrees"))->trigger();
    EXPECT_EQ(l->Angle(), 90);
    l->UpdateMenuChecks();
    EXPECT_TRUE(MenuItem(l->PopupMenu(), QStringLiteral("Left"))->isChecked());
    EXPECT_TRUE(MenuItem(l->PopupMenu(), QStringLiteral("90 Degrees"))->isChecked());
}

TEST_F(TextTest, SymbolMenuHasNoFontOrAlignment) {
    TKSymbolLabel s;
    s.Loaded();
    EXPECT_EQ(MenuItem(s.PopupMenu(), QStringLiteral("Font")), nullptr);
    EXPECT_EQ(MenuItem(s.PopupMenu(), QStringLiteral("Alignment")), nullptr);
    EXPECT_NE(MenuItem(s.PopupMenu(), QStringLiteral("Symbol Selector")), nullptr);
    EXPECT_NE(MenuItem(s.PopupMenu(), QStringLiteral("3D Effects")), nullptr);
}

TEST_F(TextTest, ThreeDEffectsDialogCopiesEverythingOnOk) {
    TKPLabel l;
    TKFont3DEffects dlg;
    EXPECT_EQ(dlg.windowTitle(), "Text 3D Effects");
    dlg.Load(l);
    EXPECT_EQ(dlg.ShadowDirection()->currentText(), "Lower Right");
    EXPECT_EQ(dlg.HighlightDirection()->currentText(), "Upper Left");
    EXPECT_EQ(dlg.ShadowDepth()->count(), 11);
    dlg.ShadowDirection()->setCurrentText("Left");
    dlg.ShadowDepth()->setCurrentIndex(4);
    dlg.HighlightDirection()->setCurrentText("Up");
    dlg.HighlightDepth()->setCurrentIndex(1);
    dlg.SetShadowColor(0x000080);
    dlg.SetFontColor(0x008000);
    EXPECT_EQ(dlg.Sample()->DepthShadow(), 4) << "the sample follows at once";
    EXPECT_EQ(dlg.Sample()->Caption(), "Sample");
    EXPECT_EQ(l.DepthShadow(), 0) << "nothing before OK";
    dlg.Apply(l);
    EXPECT_EQ(l.DirectionShadow(), sdLeft);
    EXPECT_EQ(l.DepthShadow(), 4);
    EXPECT_EQ(l.DirectionHighlight(), hdUp);
    EXPECT_EQ(l.DepthHighlight(), 1);
    EXPECT_EQ(l.ColorShadow(), 0x000080);
    EXPECT_EQ(l.FontRef().Color(), 0x008000);
}

TEST_F(TextTest, FieldChooserListsDisplayLabelsAndSetsBothNames) {
    OpenAddresses({{{"LNAME", "X"}}});
    const QStringList chars = TFieldSelectionBox::Entries(&table, false);
    EXPECT_TRUE(chars.contains("Last Name"));
    EXPECT_TRUE(chars.contains("Zip/Postal Code"));
    EXPECT_FALSE(chars.contains("MEMO"));
    EXPECT_FALSE(chars.contains("Deleted")) << "logical fields are not offered";
    EXPECT_EQ(TFieldSelectionBox::Entries(&table, true), QStringList{"MEMO"});

    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    panel.SetDataset(&table);
    auto* d = new TKPDLabel;
    panel.AddObject(d, QRect(0, 0, 100, 20));
    d->SetDataFieldDescript(QStringLiteral("City"));
    ModalScript script([](QDialog& dlg) {
        auto& box = dynamic_cast<TFieldSelectionBox&>(dlg);
        EXPECT_EQ(box.Chosen(), "City") << "current field preselected";
        box.List()->setCurrentItem(box.List()->findItems("Last Name", Qt::MatchExactly).first());
        return int(QDialog::Accepted);
    });
    d->EditField();
    EXPECT_EQ(d->DataFieldDescript(), "Last Name");
    EXPECT_EQ(d->DataFieldName(), "LNAME");
    EXPECT_EQ(d->Caption(), "X") << "the panel refreshed";
}

TEST_F(TextTest, CounterDialogAppliesSettings) {
    TKCounterLabel c;
    TGetCounter dlg;
    dlg.Load(c);
    EXPECT_EQ(dlg.Start()->value(), 1);
    EXPECT_EQ(dlg.Repeat()->minimum(), 1);
    EXPECT_EQ(dlg.Repeat()->maximum(), 999);
    dlg.Start()->setValue(-2000000);
    dlg.Repeat()->setValue(4);
    dlg.Before()->setText("#");
    dlg.After()->setText("/x");
    dlg.Apply(c);
    EXPECT_EQ(c.Startingnumber(), -2000000);
    EXPECT_EQ(c.RepeatEach(), 4);
    EXPECT_EQ(c.Caption(), "#-2000000/x");
}

TEST_F(TextTest, SymbolChooserColumnsCaptionAndChoice) {
    const std::pair<int, int> columns[] = {{5, 1},  {6, 14}, {10, 14}, {11, 10}, {20, 10}, {21, 8},
                                           {30, 8}, {31, 6}, {45, 4},  {55, 3},  {72, 2},  {73, 1}};
    for (const auto& [points, cols] : columns)
        EXPECT_EQ(TGetSymbol::ColumnsForSize(points), cols) << points;
    TKFont f;
    f.SetName("WingDings");
    f.SetSize(24);
    f.SetStyle(fsBold | fsItalic);
    EXPECT_EQ(TGetSymbol::FontCaption(f), "WingDings 24pt Italic ");
    f.SetStyle(fsBold);
    EXPECT_EQ(TGetSymbol::FontCaption(f), "WingDings 24pt Bold ");

    TKSymbolLabel s;
    TGetSymbol dlg;
    dlg.Load(s);
    EXPECT_EQ(dlg.Code(), '[');
    EXPECT_EQ(dlg.Table()->columnCount(), 8) << "24 points";
    EXPECT_EQ(dlg.Table()->currentRow() * 8 + dlg.Table()->currentColumn(), '[' - 32);
    dlg.Table()->setCurrentCell(5, 2); // index 42: code 74 'J'
    EXPECT_EQ(dlg.Code(), 'J');
    dlg.Apply(s);
    EXPECT_EQ(s.Caption(), "J");
}

TEST_F(TextTest, MultiLineEditorKeeps254CharactersAndAddressLayoutDialog) {
    TKMultiLineLabel m;
    m.Items()->SetLines({"a", "b"});
    TMultiLineTextEditor ed;
    ed.Load(m);
    EXPECT_EQ(ed.Editor()->toPlainText(), "a\nb");
    ed.Editor()->setPlainText(QString(300, 'x'));
    EXPECT_EQ(ed.Lines(), QStringList{QString(254, 'x')});

    TAddressLayout dlg;
    EXPECT_EQ(dlg.windowTitle(), "Address Label Layout");
    AddressOptions o;
    o.usePhone = true;
    o.zipOptions = zoBeforeCountry;
    dlg.Load(o);
    EXPECT_TRUE(dlg.ZipRadio(zoBeforeCountry)->isChecked());
    EXPECT_TRUE(dlg.ZipRadio(zoAfterState)->isEnabled());
    dlg.Box(6)->setChecked(false); // ZIP off: the placement buttons go grey
    EXPECT_FALSE(dlg.ZipRadio(zoAfterState)->isEnabled());
    dlg.Box(9)->setChecked(true);
    const AddressOptions back = dlg.Options();
    EXPECT_FALSE(back.useZip);
    EXPECT_TRUE(back.usePhone);
    EXPECT_TRUE(back.upperCase);
    EXPECT_EQ(back.zipOptions, zoBeforeCountry);
}

// ---- picture
// --------------------------------------------------------------------------------------

TEST_F(TextTest, LabelPictureForInspection) {
    OpenAddresses({{{"FNAME", "John"},
                    {"MIDDLE", "Q"},
                    {"LNAME", "Public"},
                    {"ORG", "Acme Mail Order"},
                    {"STREET", "1200 Main Street"},
                    {"CITY", "Springfield"},
                    {"STATE", "IL"},
                    {"ZIP", "62704"},
                    {"COUNTRY", "USA"},
                    {"MEMO", "Deliver to the back door, ring twice please"}}});
    TKLabelPanel panel(&form);
    panel.resize(384, 192); // 4 x 2 inches
    panel.SetDrawOutline(true);
    panel.SetDataset(&table);
    auto* raised = new TKPLabel;
    panel.AddObject(raised, QRect(8, 6, 150, 30));
    raised->SetCaption(QStringLiteral("Raised"));
    raised->Font()->SetSize(18);
    raised->Font()->SetStyle(fsBold);
    raised->SetDepthShadow(3);
    raised->SetDirectionShadow(sdDownRight);
    raised->SetDepthHighlight(2);
    raised->SetDirectionHighlight(hdUpLeft);
    raised->GrowToFit();
    auto* turned = new TKPLabel;
    panel.AddObject(turned, QRect(352, 10, 30, 120));
    turned->SetCaption(QStringLiteral("Rotated"));
    turned->SetAngle(90);
    auto* counter = new TKCounterLabel;
    panel.AddObject(counter, QRect(170, 8, 60, 20));
    counter->ApplyCounterSettings(1000, 1, QStringLiteral("No. "), QString());
    auto* symbol = new TKSymbolLabel;
    panel.AddObject(symbol, QRect(300, 8, 30, 30));
    auto* memo = new TKDMultiLineLabel;
    panel.AddObject(memo, QRect(200, 120, 140, 60));
    memo->SetDataFieldDescript(QStringLiteral("MEMO"));
    memo->SetWordWrap(true);
    auto* address = new TKDMultiLineAddressLabel;
    panel.AddObject(address, QRect(10, 60, 180, 60));
    panel.RefreshAllData();
    address->FitToText();
    panel.show();
    const QImage img = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString out =
        qEnvironmentVariable("QB_BINARY_DIR", QDir::tempPath()) + "/label_text_objects.png";
    EXPECT_TRUE(img.save(out));
    // Every object has ink inside its own box.
    for (TKGraphicControl* o : panel.Objects()) {
        const QRect r = o->BoundsRect().intersected(img.rect());
        EXPECT_FALSE(InkBox(img.copy(r)).isNull()) << o->ClassName().toStdString();
    }
    EXPECT_EQ(address->ItemsRef().Lines(),
              (QStringList{"John Q. Public ", "Acme Mail Order", "1200 Main Street",
                           "Springfield  IL 62704", "USA"}));
    EXPECT_GT(memo->Lines().size(), 1) << "the memo wraps at the object's width";

    // The same label on paper, at 150 dpi, half an inch from the corner.
    panel.SetPrinting(true);
    panel.RefreshAllData();
    auto file = Record([&](PrintSurface& s) { panel.PrintObjects(s, 0.5, 0.5); });
    const QImage paper = PlayAt(file->Page(0), 150).copy(75, 75, 600, 300);
    EXPECT_TRUE(paper.save(QString(out).replace(".png", "_printed.png")));
    for (TKGraphicControl* o : panel.Objects()) {
        const QRect r(int(o->Left() * 150 / kP), int(o->Top() * 150 / kP),
                      int(o->Width() * 150 / kP), int(o->Height() * 150 / kP));
        EXPECT_FALSE(InkBox(paper.copy(r)).isNull()) << o->ClassName().toStdString();
    }
}

TEST_F(TextTest, PageNumberAndDateLabelsMakeTheirCaptionWhenPrinted) {
    TKPageNumberLabel n;
    n.SetBounds(0, 0, 60, 20);
    auto file = Record([&](PrintSurface& s) {
        n.PrintTo(s, 0, 0);
        s.NewPage();
        n.PrintTo(s, 0, 0);
    });
    ASSERT_EQ(file->PageCount(), 2);
    EXPECT_EQ(TextOps(file->Page(0)).at(0).text, "1");
    EXPECT_EQ(TextOps(file->Page(1)).at(0).text, "2");

    TKDateTimeLabel d;
    const QDateTime moment(QDate(2026, 3, 4), QTime(9, 5, 0));
    const QLocale locale = QLocale::system();
    EXPECT_EQ(d.TextFor(moment), locale.toString(moment.date(), QLocale::ShortFormat));
    d.SetDateFormat(dtfDateNone);
    d.SetTimeFormat(dtfTimeShort);
    EXPECT_EQ(d.TextFor(moment), " " + locale.toString(moment.time(), QLocale::ShortFormat));
    d.SetDateFormat(dtfDateLong);
    d.SetTimeFormat(dtfTimeNone);
    EXPECT_EQ(d.TextFor(moment), locale.toString(moment.date(), QLocale::LongFormat));
    d.Loaded();
    QAction* item = MenuItem(d.PopupMenu(), QStringLiteral("Windows Long Time"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(d.TimeFormat(), dtfTimeLong);
}

TEST_F(TextTest, PaintingLeavesTheBoxAloneOnceFitted) {
    // Painting lays out and may fit the box once; later paints change nothing,
    // so a painted object never keeps asking to be painted again.
    TKLabelPanel panel(&form);
    panel.resize(300, 200);
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };
    auto* s = new TKSymbolLabel;
    panel.AddObject(s, QRect(10, 10, 40, 40));
    auto* t = new TKPLabel;
    panel.AddObject(t, QRect(60, 10, 100, 200));
    t->SetDepthShadow(4);
    panel.show();
    panel.grab();
    const QRect symbolBox = s->BoundsRect(), textBox = t->BoundsRect();
    changes = 0;
    for (int i = 0; i < 3; ++i)
        panel.grab();
    EXPECT_EQ(s->BoundsRect(), symbolBox);
    EXPECT_EQ(t->BoundsRect(), textBox);
    EXPECT_EQ(changes, 0);
    EXPECT_LT(t->Height(), 200) << "the text's box came down to its text";
}
