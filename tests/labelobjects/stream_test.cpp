// The layout stream: value encodings, byte-exact records, round trips, the
// reader's errors, names given on reading, paste, clone and report sections.
#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "stream_support.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace qb;
using qbtest::Bytes;

namespace {

QString ReadError(const QByteArray& bytes, TKBasePanel& panel) {
    TKLabelObjectFiler filer;
    try {
        filer.ReadBytes(bytes, panel);
    } catch (const StreamError& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

QByteArray IntegerBytes(int64_t v) {
    LayoutWriter w;
    w.WriteInteger(v);
    return w.Data();
}

} // namespace

TEST(LayoutStream, IntegersUseTheSmallestType) {
    const struct {
        int64_t value;
        QByteArray bytes;
    } cases[] = {
        {0, QByteArray::fromHex("0200")},
        {200, QByteArray::fromHex("03c800")},
        {-5, QByteArray::fromHex("02fb")},
        {127, QByteArray::fromHex("027f")},
        {128, QByteArray::fromHex("038000")},
        {-128, QByteArray::fromHex("0280")},
        {-129, QByteArray::fromHex("037fff")},
        {32767, QByteArray::fromHex("03ff7f")},
        {-32768, QByteArray::fromHex("030080")},
        {32768, QByteArray::fromHex("0400800000")},
        {-32769, QByteArray::fromHex("04ff7fffff")},
        {std::numeric_limits<int32_t>::min(), QByteArray::fromHex("0400000080")},
        {std::numeric_limits<int32_t>::max(), QByteArray::fromHex("04ffffff7f")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IntegerBytes(c.value).toHex(), c.bytes.toHex()) << c.value;
        LayoutReader r(c.bytes);
        EXPECT_EQ(r.ReadInteger(), c.value);
        EXPECT_TRUE(r.AtEnd());
    }
}

TEST(LayoutStream, StringsSwitchToLongFormAt256Bytes) {
    LayoutWriter w;
    w.WriteString(QString(255, QLatin1Char('a')));
    EXPECT_EQ(w.Data().left(2).toHex(), "06ff");
    EXPECT_EQ(w.Data().size(), 2 + 255);

    LayoutWriter l;
    l.WriteString(QString(256, QLatin1Char('b')));
    EXPECT_EQ(l.Data().left(5).toHex(), "0c00010000");
    EXPECT_EQ(l.Data().size(), 5 + 256);

    LayoutReader r(w.Data() + l.Data());
    EXPECT_EQ(r.ReadString(), QString(255, QLatin1Char('a')));
    EXPECT_EQ(r.ReadString(), QString(256, QLatin1Char('b')));
}

TEST(LayoutStream, TextIsWindowsAnsi) {
    LayoutWriter w;
    w.WriteString(QString::fromUtf8("Müller €5"));
    EXPECT_EQ(w.Data().toHex(), QByteArray("06") + QByteArray("094dfc6c6c657220803"
                                                              "5"));
    LayoutReader r(w.Data());
    EXPECT_EQ(r.ReadString(), QString::fromUtf8("Müller €5"));
}

TEST(LayoutStream, ShortStringsAreCutAt255Bytes) {
    LayoutWriter w;
    w.WriteShortString(QString(300, QLatin1Char('x')));
    EXPECT_EQ(uint8_t(w.Data()[0]), 255);
    EXPECT_EQ(w.Data().size(), 256);
}

TEST(ExtendedFloat, KnownEncodings) {
    const struct {
        double value;
        const char* hex;
    } cases[] = {
        {0.0, "00000000000000000000"},
        {-0.0, "00000000000000000080"},
        {1.0, "0000000000000080ff3f"},
        {-1.0, "0000000000000080ffbf"},
        {2.5, "00000000000000a00040"},
        {0.1, "00d0cccccccccccc"
              "fb3f"},
        {std::numeric_limits<double>::infinity(), "0000000000000080ff7f"},
        {-std::numeric_limits<double>::infinity(), "0000000000000080ffff"},
    };
    for (const auto& c : cases) {
        const QByteArray hex(c.hex);
        const Extended80 e = DoubleToExtended(c.value);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(e.data()), 10).toHex(), hex) << c.value;
        const double back = ExtendedToDouble(e);
        EXPECT_EQ(std::signbit(back), std::signbit(c.value));
        EXPECT_EQ(back, c.value);
    }
}

TEST(ExtendedFloat, RoundTripIsExactAcrossTheRange) {
    const double values[] = {1e300,
                             -1e300,
                             1e-300,
                             DBL_MAX,
                             DBL_MIN,
                             DBL_TRUE_MIN,
                             -DBL_TRUE_MIN,
                             4.9406564584124654e-324 * 3,
                             2.2250738585072009e-308 /* largest denormal */,
                             123456789.125,
                             1.0 / 3.0,
                             0.001,
                             96.0 / 72.0};
    for (double v : values) {
        const double back = ExtendedToDouble(DoubleToExtended(v));
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << v;
    }
    // NaN stays NaN.
    EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));
}

TEST(ExtendedFloat, ValuesBeyondDoubleRoundToNearestEven) {
    // 1 + 2^-53 exactly halfway between 1 and the next double: ties to even (1).
    Extended80 half{};
    const uint64_t mant = (uint64_t(1) << 63) | (uint64_t(1) << 10);
    for (int i = 0; i < 8; ++i)
        half[i] = uint8_t(mant >> (8 * i));
    half[8] = 0xFF;
    half[9] = 0x3F;
    EXPECT_EQ(ExtendedToDouble(half), 1.0);
    // Just above halfway rounds up.
    Extended80 above = half;
    above[0] = 1;
    EXPECT_EQ(ExtendedToDouble(above), std::nextafter(1.0, 2.0));
    // An extended far beyond the double range is infinity; far below is zero.
    Extended80 huge = DoubleToExtended(1.0);
    huge[8] = 0xFE;
    huge[9] = 0x7F;
    EXPECT_TRUE(std::isinf(ExtendedToDouble(huge)));
    Extended80 tiny = DoubleToExtended(1.0);
    tiny[8] = 0x01;
    tiny[9] = 0x00;
    EXPECT_EQ(ExtendedToDouble(tiny), 0.0);
}

// Where the compiler's long double is the x87 format, it is the reference.
TEST(ExtendedFloat, AgreesWithTheX87FormatBothWays) {
    if (std::numeric_limits<long double>::digits != 64)
        GTEST_SKIP() << "long double is not the 80-bit format here";
    std::mt19937_64 rng(1234);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isnan(d))
            continue;
        const long double ld = d;
        const Extended80 e = DoubleToExtended(d);
        ASSERT_EQ(std::memcmp(e.data(), &ld, 10), 0) << d;
    }
    for (int i = 0; i < 20000; ++i) {
        Extended80 e;
        uint64_t mant = rng() | (uint64_t(1) << 63);
        // exponents around the whole double range, denormals included
        const int exp = 16383 - 1100 + int(rng() % 2200);
        if (exp <= 0)
            continue;
        for (int k = 0; k < 8; ++k)
            e[k] = uint8_t(mant >> (8 * k));
        const uint16_t se = uint16_t(exp | ((rng() & 1) ? 0x8000 : 0));
        e[8] = uint8_t(se);
        e[9] = uint8_t(se >> 8);
        long double ld = 0;
        std::memcpy(&ld, e.data(), 10);
        const double expect = double(ld);
        const double got = ExtendedToDouble(e);
        ASSERT_EQ(std::memcmp(&got, &expect, sizeof got), 0) << "exp " << exp << " mant " << mant;
    }
}

TEST(Colors, NamesAndValues) {
    EXPECT_EQ(ColorToIdent(0xFFFFFF).value_or(""), "clWhite");
    EXPECT_EQ(ColorToIdent(0x808080).value_or(""), "clGray");
    EXPECT_EQ(ColorToIdent(int32_t(0x8000000F)).value_or(""), "clBtnFace");
    EXPECT_EQ(ColorToIdent(0x1FFFFFFF).value_or(""), "clNone");
    EXPECT_FALSE(ColorToIdent(0x123456));
    EXPECT_EQ(IdentToColor("clAqua").value_or(-1), 0xFFFF00);
    EXPECT_EQ(IdentToColor("CLNAVY").value_or(-1), 0x800000);
    EXPECT_EQ(IdentToColor("cl3DLight").value_or(-1), int32_t(0x80000016));
    EXPECT_FALSE(IdentToColor("clPink"));
}

TEST(FontHeight, PointsAndPixelsAt96PerInch) {
    const struct {
        int points;
        int height;
    } toHeight[] = {{10, -13}, {8, -11},  {9, -12},  {12, -16}, {7, -9},
                    {11, -15}, {24, -32}, {72, -96}, {0, 0}};
    for (const auto& c : toHeight)
        EXPECT_EQ(TKFont::PointsToHeight(c.points), c.height) << c.points;
    const struct {
        int height;
        int points;
    } toPoints[] = {{-13, 10}, {-11, 8}, {-16, 12}, {-15, 11},
                    {-2, 2},   {-6, 5},  {-96, 72}, {13, -10}};
    for (const auto& c : toPoints)
        EXPECT_EQ(TKFont::HeightToPoints(c.height), c.points) << c.height;
    TKFont f;
    EXPECT_EQ(f.Height(), -13);
    EXPECT_EQ(f.Size(), 10);
}

class FilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TKLabelPanel::MakeClassesKnown();
        ClassRegistry::MakeKnown(qbtest::TestGauge::StaticInfo());
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    static QByteArray FileBytes(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    QTemporaryDir dir;
    QWidget form;
};

TEST_F(FilerTest, EmptyPanelIsTwoBytes) {
    TKLabelPanel panel(&form);
    TKLabelObjectFiler::SavePanel(panel, Path("empty.L"));
    EXPECT_EQ(FileBytes(Path("empty.L")).toHex(), "0100");
}

TEST_F(FilerTest, LabelWithCaptionHelloIsWrittenByteForByte) {
    TKLabelPanel panel(&form);
    auto* label = new TKPLabel;
    label->setParent(&panel);
    label->setObjectName("Special1");
    label->SetBounds(8, 16, 142, 33);
    label->SetCaption("Hello");
    TKLabelObjectFiler::SavePanel(panel, Path("hello.L"));

    const QByteArray expected = Bytes()
                                    .b({0x01})
                                    .record("TKPLabel", "Special1")
                                    .prop("Left")
                                    .i8(8)
                                    .prop("Top")
                                    .i8(16)
                                    .prop("Width")
                                    .i16(142)
                                    .prop("Height")
                                    .i8(33)
                                    .prop("Caption")
                                    .str("Hello")
                                    .prop("Font.Color")
                                    .ident("clBlack")
                                    .prop("Font.Height")
                                    .i8(-13)
                                    .prop("Font.Name")
                                    .str("Arial")
                                    .prop("Font.Style")
                                    .b({0x0B, 0x00})
                                    .prop("Transparent")
                                    .b({0x09})
                                    .prop("BackColor")
                                    .ident("clWhite")
                                    .b({0x00, 0x00, 0x00})
                                    .data;
    EXPECT_EQ(FileBytes(Path("hello.L")).toHex(), expected.toHex());
}

TEST_F(FilerTest, NonDefaultValuesOfEveryKindAreWritten) {
    TKLabelPanel panel(&form);
    auto* label = new TKPLabel;
    label->setParent(&panel);
    label->setObjectName("A");
    label->SetBounds(-5, 200, 40000, 33);
    label->SetAlignment(taCenter);
    label->SetColorShadow(0x123456); // no name: an integer
    label->SetAngle(90);             // alignment goes back to left
    label->Font()->SetStyle(fsBold | fsUnderline);
    label->Font()->SetPitch(fpFixed);
    label->SetCaption(QString());
    LayoutWriter w;
    TKLabelObjectFiler::WriteRecord(w, *label);
    const QByteArray expected = Bytes()
                                    .record("TKPLabel", "A")
                                    .prop("Left")
                                    .i8(-5)
                                    .prop("Top")
                                    .i16(200)
                                    .prop("Width")
                                    .b({0x02, 33}) // swapped by the rotation
                                    .prop("Height")
                                    .b({0x04, 0x40, 0x9c, 0x00, 0x00})
                                    .prop("colorShadow")
                                    .b({0x04, 0x56, 0x34, 0x12, 0x00})
                                    .prop("Angle")
                                    .i8(90)
                                    .prop("Caption") // cleared: stays cleared
                                    .str("")
                                    .prop("Font.Color")
                                    .ident("clBlack")
                                    .prop("Font.Height")
                                    .i8(-13)
                                    .prop("Font.Name")
                                    .str("Arial")
                                    .prop("Font.Pitch")
                                    .ident("fpFixed")
                                    .prop("Font.Style")
                                    .b({0x0B})
                                    .ss("fsBold")
                                    .ss("fsUnderline")
                                    .b({0x00})
                                    .prop("Transparent")
                                    .b({0x09})
                                    .prop("BackColor")
                                    .ident("clWhite")
                                    .b({0x00, 0x00})
                                    .data;
    EXPECT_EQ(w.Data().toHex(), expected.toHex());
}

TEST_F(FilerTest, NestedListsAndFloatsAndEvents) {
    TKLabelPanel panel(&form);
    auto* memo = new TKMultiLineLabel;
    memo->setParent(&panel);
    memo->setObjectName("M");
    memo->Items()->SetLines({"one", "two"});
    LayoutWriter w;
    TKLabelObjectFiler::WriteRecord(w, *memo);
    const QByteArray items =
        Bytes().prop("Items.Strings").b({0x01}).str("one").str("two").b({0x00}).data;
    EXPECT_TRUE(w.Data().contains(items));

    auto* gauge = new qbtest::TestGauge;
    gauge->setParent(&panel);
    gauge->setObjectName("G");
    LayoutWriter zero;
    TKLabelObjectFiler::WriteRecord(zero, *gauge);
    EXPECT_FALSE(zero.Data().contains("Ratio")) << "a zero float is not written";
    EXPECT_FALSE(zero.Data().contains("OnChanged")) << "an unassigned event is not written";
    gauge->ratio = 2.5;
    gauge->handler = "GaugeChanged";
    LayoutWriter some;
    TKLabelObjectFiler::WriteRecord(some, *gauge);
    EXPECT_TRUE(some.Data().contains(
        Bytes().prop("Ratio").b({0x05, 0, 0, 0, 0, 0, 0, 0, 0xa0, 0x00, 0x40}).data));
    EXPECT_TRUE(some.Data().contains(Bytes().prop("OnChanged").ident("GaugeChanged").data));

    TKLabelPanel fresh(&form);
    const auto read =
        TKLabelObjectFiler().ReadBytes(Bytes().b({0x01}).raw(some.Data()).b({0x00}).data, fresh);
    ASSERT_EQ(read.size(), 1);
    auto* back = dynamic_cast<qbtest::TestGauge*>(read[0]);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->ratio, 2.5);
    EXPECT_EQ(back->handler, "") << "handler names are not resolvable: the event stays unassigned";
}

TEST_F(FilerTest, RoundTripGivesTheSameObjectsAndTheSameBytes) {
    TKLabelPanel panel(&form);
    qbtest::FillPanel(panel);
    const QByteArray first = TKLabelObjectFiler::PanelBytes(panel);

    QWidget otherForm;
    TKLabelPanel fresh(&otherForm);
    const auto read = LabelLayoutStream::ToPanel(first, fresh);
    ASSERT_EQ(read.size(), panel.Objects().size());
    EXPECT_EQ(LabelLayoutStream::FromObjects(fresh.Objects()).toHex(), first.toHex());

    // A few values checked on the objects themselves.
    auto* d = dynamic_cast<TKPDLabel*>(read[1]);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->DataFieldDescript(), "Last Name");
    EXPECT_EQ(d->FontRef().Size(), 14);
    EXPECT_EQ(d->FontRef().Color(), 0x0000FF);
    auto* c = dynamic_cast<TKCounterLabel*>(read[2]);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Value(), 1000) << "setting Startingnumber resets the counter";
    EXPECT_EQ(c->Caption(), "No. 1000");
    auto* img = dynamic_cast<TKImage*>(read[9]);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->PictureRef().Kind(), "TBitmap");
    EXPECT_EQ(img->PictureRef().Image().pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_TRUE(img->AutoSize());
    EXPECT_FALSE(img->Stretch());
    auto* sh = dynamic_cast<TKLabelShapes*>(read[8]);
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(sh->BrushRef().Style(), bsClear);
    EXPECT_EQ(dynamic_cast<TKPLabel*>(read[0])->Caption(), QString(300, QLatin1Char('L')));
}

TEST_F(FilerTest, PictureDataHoldsClassNameLengthAndBmp) {
    TKImage img;
    QImage pic(2, 2, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    img.Picture()->SetImage(pic);
    const QByteArray data = img.PictureRef().Data();
    ASSERT_GT(data.size(), 12);
    EXPECT_EQ(data.left(8), QByteArray("\x07TBitmap"));
    LayoutReader r(data.mid(8));
    const uint32_t n = r.ReadUInt32();
    EXPECT_EQ(qsizetype(n), data.size() - 12);
    EXPECT_EQ(data.mid(12, 2), "BM");
}

TEST_F(FilerTest, ReaderErrors) {
    const QByteArray good = Bytes().record("TKPLabel", "X").prop("Left").i8(1).b({0x00, 0x00}).data;
    const struct {
        const char* what;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"no list start", Bytes().b({0x02}).raw(good).b({0x00}).data, "Invalid property value"},
        {"bad signature", Bytes().b({0x01}).raw("TPF1").ss("TKPLabel").ss("X").b({0, 0, 0}).data,
         "Invalid stream format"},
        {"unknown class", Bytes().b({0x01}).record("TKNoSuchThing", "X").b({0, 0, 0}).data,
         "Class TKNoSuchThing not found"},
        {"unknown property",
         Bytes().b({0x01}).record("TKPLabel", "X").prop("Colour").i8(1).b({0, 0, 0}).data,
         "Property does not exist"},
        {"unknown nested property",
         Bytes().b({0x01}).record("TKPLabel", "X").prop("Font.Weight").i8(1).b({0, 0, 0}).data,
         "Property does not exist"},
        {"path through a plain property",
         Bytes().b({0x01}).record("TKPLabel", "X").prop("Caption.Length").i8(1).b({0, 0, 0}).data,
         "Property does not exist"},
        {"string for an integer",
         Bytes().b({0x01}).record("TKPLabel", "X").prop("Left").str("1").b({0, 0, 0}).data,
         "Invalid property value"},
        {"integer for a boolean",
         Bytes().b({0x01}).record("TKPLabel", "X").prop("Transparent").i8(1).b({0, 0, 0}).data,
         "Invalid property value"},
        {"unknown enumeration value",
         Bytes()
             .b({0x01})
             .record("TKPLabel", "X")
             .prop("Alignment")
             .ident("taJustify")
             .b({0, 0, 0})
             .data,
         "Invalid property value"},
        {"unknown colour name",
         Bytes()
             .b({0x01})
             .record("TKPLabel", "X")
             .prop("BackColor")
             .ident("clPink")
             .b({0, 0, 0})
             .data,
         "Invalid property value"},
        {"unknown set member",
         Bytes()
             .b({0x01})
             .record("TKPLabel", "X")
             .prop("Font.Style")
             .b({0x0B})
             .ss("fsWide")
             .b({0, 0, 0, 0})
             .data,
         "Invalid property value"},
        {"list expected for strings",
         Bytes()
             .b({0x01})
             .record("TKMultiLineLabel", "X")
             .prop("Items.Strings")
             .str("a")
             .b({0, 0, 0})
             .data,
         "Invalid property value"},
        {"bad picture class",
         Bytes()
             .b({0x01})
             .record("TKImage", "X")
             .prop("Picture.Data")
             .b({0x0A, 5, 0, 0, 0})
             .ss("TGif")
             .b({0, 0, 0})
             .data,
         "Invalid property value"},
        {"child records", Bytes().b({0x01}).raw(good.left(good.size() - 1)).b({0x01, 0x00}).data,
         "Invalid stream format"},
        {"truncated", good.left(7).prepend('\x01'), "Invalid stream format"},
        {"empty input", QByteArray(), "Invalid stream format"},
        {"absurd long string length",
         Bytes()
             .b({0x01})
             .record("TKPLabel", "X")
             .prop("Caption")
             .b({0x0C, 0xff, 0xff, 0xff, 0x7f})
             .data,
         "Invalid stream format"},
        {"absurd byte block length",
         Bytes()
             .b({0x01})
             .record("TKImage", "X")
             .prop("Picture.Data")
             .b({0x0A, 0xff, 0xff, 0xff, 0xff})
             .data,
         "Invalid stream format"},
    };
    for (const auto& c : cases) {
        TKLabelPanel panel(&form);
        EXPECT_EQ(ReadError(c.bytes, panel), c.message) << c.what;
    }
}

TEST_F(FilerTest, ObjectsReadBeforeAnErrorStay) {
    TKLabelPanel panel(&form);
    const QByteArray bytes = Bytes()
                                 .b({0x01})
                                 .record("TKPLabel", "X")
                                 .prop("Left")
                                 .i8(7)
                                 .b({0, 0})
                                 .record("TKPLabel", "Y")
                                 .prop("Bogus")
                                 .i8(1)
                                 .b({0, 0})
                                 .b({0x00})
                                 .data;
    EXPECT_EQ(ReadError(bytes, panel), "Property does not exist");
    ASSERT_EQ(panel.Objects().size(), 1);
    EXPECT_EQ(panel.Objects()[0]->Left(), 7);
    EXPECT_NE(panel.Objects()[0]->PopupMenu(), nullptr) << "the after-load step ran";
}

TEST_F(FilerTest, PrefixByteIsAcceptedAndIgnored) {
    for (const QByteArray& prefix :
         {QByteArray::fromHex("f0"), QByteArray::fromHex("f1"), QByteArray::fromHex("f20205"),
          QByteArray::fromHex("f3030001"), QByteArray::fromHex("fc"),
          QByteArray::fromHex("ff0400000100")}) {
        TKLabelPanel panel(&form);
        const QByteArray bytes = Bytes()
                                     .b({0x01})
                                     .raw("TPF0")
                                     .raw(prefix)
                                     .ss("TKPLabel")
                                     .ss("X")
                                     .prop("Caption")
                                     .str("P")
                                     .b({0, 0, 0})
                                     .data;
        const auto read = TKLabelObjectFiler().ReadBytes(bytes, panel);
        ASSERT_EQ(read.size(), 1) << prefix.toHex().constData();
        EXPECT_EQ(dynamic_cast<TKPLabel*>(read[0])->Caption(), "P");
    }
}

TEST_F(FilerTest, ReadersAcceptColoursAsIntegersAndNamesInAnyCase) {
    TKLabelPanel panel(&form);
    const QByteArray bytes = Bytes()
                                 .b({0x01})
                                 .record("tkplabel", "X")
                                 .prop("backcolor")
                                 .b({0x04, 0x00, 0x00, 0xff, 0x00})
                                 .prop("FONT.COLOR")
                                 .ident("CLRED")
                                 .prop("alignment")
                                 .ident("TACENTER")
                                 .b({0, 0, 0})
                                 .data;
    const auto read = TKLabelObjectFiler().ReadBytes(bytes, panel);
    ASSERT_EQ(read.size(), 1);
    auto* l = dynamic_cast<TKPLabel*>(read[0]);
    EXPECT_EQ(l->BackColor(), 0xFF0000);
    EXPECT_EQ(l->FontRef().Color(), 0x0000FF);
    EXPECT_EQ(l->Alignment(), taCenter);
    // Written back, the named colour is an identifier again.
    LayoutWriter w;
    TKLabelObjectFiler::WriteRecord(w, *l);
    EXPECT_TRUE(w.Data().contains(Bytes().prop("BackColor").ident("clBlue").data));
}

TEST_F(FilerTest, StoredNamesAreReplacedBySmallestFreeComponentNumbers) {
    TKLabelPanel source(&form);
    qbtest::FillPanel(source);
    const QByteArray bytes = TKLabelObjectFiler::PanelBytes(source);
    const int n = source.Objects().size();

    QWidget otherForm;
    TKLabelPanel panel(&otherForm);
    TKLabelObjectFiler().ReadBytes(bytes, panel);
    TKLabelObjectFiler().ReadBytes(bytes, panel);
    const auto objects = panel.Objects();
    ASSERT_EQ(objects.size(), 2 * n);
    for (int i = 0; i < 2 * n; ++i)
        EXPECT_EQ(objects[i]->objectName(), QStringLiteral("Component%1").arg(i));
    // A gap is filled first.
    delete objects[3];
    const auto again = TKLabelObjectFiler().ReadBytes(bytes, panel);
    EXPECT_EQ(again[0]->objectName(), "Component3");
    EXPECT_EQ(again[1]->objectName(), QStringLiteral("Component%1").arg(2 * n));
}

TEST_F(FilerTest, NamesAreUniqueAcrossAllPanelsOfTheOwnerForm) {
    TKLabelPanel a(&form), b(&form);
    const QByteArray one = Bytes().b({0x01}).record("TKPLabel", "Special9").b({0, 0, 0}).data;
    TKLabelObjectFiler().ReadBytes(one, a);
    TKLabelObjectFiler().ReadBytes(one, b);
    EXPECT_EQ(a.Objects()[0]->objectName(), "Component0");
    EXPECT_EQ(b.Objects()[0]->objectName(), "Component1");
}

TEST_F(FilerTest, ClassesOfOtherPanelsAreUnknownUntilMadeKnown) {
    TKLabelPanel panel(&form);
    const QByteArray bytes = Bytes().b({0x01}).record("TKPageNumberLabel", "X").b({0, 0, 0}).data;
    if (!ClassRegistry::IsKnown("TKPageNumberLabel")) {
        EXPECT_EQ(ReadError(bytes, panel), "Class TKPageNumberLabel not found");
    }
    ClassRegistry::MakeKnown(TKPageNumberLabel::StaticInfo());
    EXPECT_EQ(ReadError(bytes, panel), "<no error>");
}

TEST_F(FilerTest, PasteMovesObjectsAndCloneCopiesThem) {
    TKLabelPanel panel(&form);
    qbtest::FillPanel(panel);
    auto* first = panel.Objects()[0];
    TKLabelObjectFiler::SaveSelection({first, panel.Objects()[8]}, Path("clip.tmp"));
    const auto pasted = TKLabelObjectFiler().Paste(panel, Path("clip.tmp"));
    ASSERT_EQ(pasted.size(), 2);
    EXPECT_EQ(pasted[0]->BoundsRect(), first->BoundsRect().translated(15, 15));
    EXPECT_EQ(pasted[1]->BoundsRect(), panel.Objects()[8]->BoundsRect().translated(15, 15));

    TKGraphicControl* clone = TKLabelObjectFiler::Clone(*first, panel);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, first);
    EXPECT_EQ(clone->BoundsRect(), first->BoundsRect());
    LayoutWriter a, b;
    TKLabelObjectFiler::WriteRecord(a, *first);
    TKLabelObjectFiler::WriteRecord(b, *clone);
    // The same record apart from the name in its header.
    const qsizetype headerA = 4 + 1 + 8 + 1 + first->objectName().size();
    const qsizetype headerB = 4 + 1 + 8 + 1 + clone->objectName().size();
    EXPECT_EQ(a.Data().mid(headerA).toHex(), b.Data().mid(headerB).toHex());

    // An empty selection writes nothing; a missing file pastes nothing.
    TKLabelObjectFiler::SaveSelection({}, Path("none.tmp"));
    EXPECT_FALSE(QFile::exists(Path("none.tmp")));
    EXPECT_TRUE(TKLabelObjectFiler().Paste(panel, Path("none.tmp")).isEmpty());
    TKLabelObjectFiler::SaveObject(*first, Path("one.tmp"));
    EXPECT_EQ(FileBytes(Path("one.tmp")), QByteArray("\x01") + a.Data() + QByteArray(1, '\0'));
}

TEST_F(FilerTest, ReportSectionsHoldFourLists) {
    TKLabelPanel header(&form), detail(&form), footer(&form);
    qbtest::FillPanel(detail);
    auto* t = new TKPLabel;
    t->setParent(&footer);
    t->setObjectName("F");
    TKLabelObjectFiler::SaveSections(
        header, detail, footer,
        [](LayoutWriter& w) {
            w.WriteShortString("Orientation");
            w.WriteInteger(1);
        },
        Path("r.R"));
    const QByteArray bytes = FileBytes(Path("r.R"));
    EXPECT_TRUE(
        bytes.startsWith(QByteArray::fromHex("0100") + TKLabelObjectFiler::PanelBytes(detail)));
    EXPECT_TRUE(bytes.endsWith(Bytes().b({0x01}).ss("Orientation").i8(1).b({0x00}).data));

    QWidget other;
    TKLabelPanel h(&other), d(&other), f(&other);
    QString key;
    int64_t value = 0;
    TKLabelObjectFiler().LoadSections(
        {&h, &d, &f},
        [&](LayoutReader& r) {
            key = r.ReadShortString();
            value = r.ReadInteger();
        },
        Path("r.R"));
    EXPECT_TRUE(h.Objects().isEmpty());
    EXPECT_EQ(d.Objects().size(), detail.Objects().size());
    EXPECT_EQ(f.Objects().size(), 1);
    EXPECT_EQ(key, "Orientation");
    EXPECT_EQ(value, 1);
}

TEST_F(FilerTest, WriteFailureIsReported) {
    TKLabelPanel panel(&form);
    EXPECT_THROW(TKLabelObjectFiler::SavePanel(panel, Path("no/such/dir/x.L")), StreamError);
}
