// Postal bar codes: delivery-point digits, POSTNET digits and bars, the
// printed geometry bar by bar, FIM patterns, screen drawing, menus, data.
#include "addressbook/addressfile.h"
#include "app/modal.h"
#include "labelobjects/barcodes.h"
#include "labelobjects/panels.h"
#include "labelobjects/textdialogs.h"
#include "printing/print_test_support.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;

namespace {

// The rectangles one object prints with its panel corner at (x0, y0).
std::vector<PageOp> Printed(TKGraphicControl& object, double x0, double y0) {
    const auto file = qb::testing::Record([&](PrintSurface& s) { object.PrintTo(s, x0, y0); });
    if (file->PageCount() == 0)
        return {};
    return file->Page(0).ops;
}

QString Bars(const std::vector<bool>& bars) {
    QString s;
    for (bool full : bars)
        s += full ? QLatin1Char('|') : QLatin1Char('.');
    return s;
}

} // namespace

// ---- digits -------------------------------------------------------------------------------------

TEST(PostNet, DeliveryPointDigits) {
    const struct {
        const char* street;
        const char* digits;
    } cases[] = {
        {"123 MAIN ST", "23"},
        {"1 MAIN ST", "01"},
        {"100 5TH AVE", "00"},
        {"PO BOX 1234", "34"},
        {"1ST AVE", "99"},
        {"123 MAIN ST APT 4B", "04"},
        {"12 1/2 ELM", "12"},
        {"NAPOLEON AVE 12", "99"},
        {"", "99"},
        {"PSC 1234 BOX 5 FPO AE 09499", "99"},
        {"123 main st", "23"},
        {"5 1/2 MAIN", "05"},
        {"RR 2 BOX 152", "52"},
        {"22ND ST", "99"},
        {"MAIN STREET", "99"},
        {"4567", "67"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DeliveryPointDigits(QString::fromLatin1(c.street)), QString::fromLatin1(c.digits))
            << "'" << c.street << "'";
}

TEST(PostNet, DataAndCorrectionDigits) {
    const struct {
        const char* zip;
        const char* street;
        int type;
        const char* digits; // correction digit last; "" = nothing printed
    } cases[] = {
        {"12345", "", pnbc5Digit, "123455"},
        {"12345-6789", "", pnbc9Digit, "1234567895"},
        {"12345-6789", "123 MAIN ST", pnbc11Digit, "123456789230"},
        {"12345-6789", "123 MAIN ST", pnbc5Digit, "123455"},
        {"12345-6789", "NAPOLEON AVE 12", pnbc11Digit, "123456789997"},
        {"12345-6789", "", pnbc11Digit, "123456789997"},
        // Only a complete ZIP+4 takes the longer codes; anything else is
        // coded by its 5-digit ZIP, so no code has an unreadable length.
        {"12345", "", pnbc9Digit, "123455"},
        {"12345", "123 MAIN ST", pnbc11Digit, "123455"},
        {"12345-67", "123 MAIN ST", pnbc11Digit, "123455"},
        {"12345-67890", "", pnbc9Digit, "123455"},
        {"12345-6789 1", "", pnbc9Digit, "123455"},
        {"12345 6789", "", pnbc9Digit, "1234567895"},
        {"00000", "", pnbc5Digit, "000000"},
        {"1234", "", pnbc5Digit, ""},
        {"ABCDE", "", pnbc5Digit, ""},
        {"", "", pnbc11Digit, ""},
        // The first five characters must be digits, or the code would be
        // of a different ZIP.
        {"1ABCD", "", pnbc9Digit, ""},
        {"12A45", "", pnbc9Digit, ""},
        {"1234-", "", pnbc9Digit, ""},
        {" 12345", "", pnbc5Digit, ""},
        {"99999-9999", "", pnbc9Digit, "9999999999"},
        {"99999-99999", "", pnbc9Digit, ""},
        {"99999X", "", pnbc5Digit, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PostNetDigits(QString::fromLatin1(c.zip), QString::fromLatin1(c.street), c.type),
                  QString::fromLatin1(c.digits))
            << "'" << c.zip << "' '" << c.street << "' type " << c.type;
}

TEST(PostNet, DigitPatterns) {
    EXPECT_EQ(Bars(PostNetDigitBars(0)), QStringLiteral("||..."));
    EXPECT_EQ(Bars(PostNetDigitBars(1)), QStringLiteral("...||"));
    EXPECT_EQ(Bars(PostNetDigitBars(7)), QStringLiteral("|...|"));
    const int weights[5] = {7, 4, 2, 1, 0};
    for (int d = 0; d <= 9; ++d) {
        const std::vector<bool> bars = PostNetDigitBars(d);
        ASSERT_EQ(bars.size(), 5u);
        int full = 0, sum = 0;
        for (int i = 0; i < 5; ++i)
            if (bars[size_t(i)]) {
                ++full;
                sum += weights[i];
            }
        EXPECT_EQ(full, 2) << d;
        EXPECT_EQ(sum, d == 0 ? 11 : d) << d;
    }
    EXPECT_EQ(Bars(PostNetBars(QStringLiteral("10"))), QStringLiteral("|...||||...|"));
}

// ---- printing -----------------------------------------------------------------------------------

TEST(PostNet, PrintsEveryBarInPlace) {
    const struct {
        const char* zip;
        int type;
        size_t bars;
        double length;
    } cases[] = {{"12345", pnbc5Digit, 32, 1.441},
                 {"12345-6789", pnbc9Digit, 52, 2.361},
                 {"12345-6789", pnbc11Digit, 62, 2.821}};
    for (const auto& c : cases) {
        TKPostNetBarCode code;
        code.SetBounds(96, 48, 270, 16);
        code.SetBarCodeType(c.type);
        code.SetZipText(QString::fromLatin1(c.zip));
        code.SetAddressText(QStringLiteral("123 MAIN ST"));
        const std::vector<PageOp> ops = Printed(code, 0.5, 0.25);
        ASSERT_EQ(ops.size(), c.bars) << c.zip;
        const std::vector<bool> expected =
            PostNetBars(PostNetDigits(code.ZipText(), code.AddressText(), c.type));
        ASSERT_EQ(expected.size(), c.bars);
        const double left = 1.5, top = 0.75;
        for (size_t i = 0; i < ops.size(); ++i) {
            const PageOp& op = ops[i];
            SCOPED_TRACE(::testing::Message() << c.zip << " bar " << i);
            EXPECT_EQ(op.kind, PageOp::Rectangle);
            EXPECT_NEAR(op.x1, left + double(i) * 0.046, 1e-9);
            EXPECT_NEAR(op.x2 - op.x1, 0.015, 1e-9);
            EXPECT_NEAR(op.y2, top + 0.125, 1e-9) << "common baseline";
            EXPECT_NEAR(op.y1, expected[i] ? top : top + 0.070, 1e-9);
            EXPECT_EQ(op.brush.style, BrushStyle::Solid);
            EXPECT_EQ(op.brush.color, QColor(Qt::black));
            EXPECT_EQ(op.pen.style, PenStyle::Solid);
            EXPECT_EQ(op.pen.color, QColor(Qt::black));
        }
        EXPECT_NEAR(ops.back().x2 - ops.front().x1, c.length, 1e-9);
        EXPECT_TRUE(expected.front() && expected.back()) << "frame bars";
    }
}

TEST(PostNet, PrintsNothingForABadZip) {
    for (const char* zip : {"", "1234", "ABCDE", "1ABCD", "12A45", "1234-"}) {
        TKPostNetBarCode code;
        code.SetBounds(0, 0, 270, 16);
        code.SetZipText(QString::fromLatin1(zip));
        code.SetAddressText(QStringLiteral("123 MAIN ST"));
        EXPECT_TRUE(Printed(code, 0, 0).empty()) << "'" << zip << "'";
    }
}

TEST(FIM, PatternsPrintColumnByColumn) {
    const struct {
        int type;
        std::vector<int> columns;
    } cases[] = {{fimTypeA, {1, 3, 9, 15, 17}},
                 {fimTypeB, {1, 5, 7, 11, 13, 17}},
                 {fimTypeC, {1, 3, 7, 11, 15, 17}}};
    for (const auto& c : cases) {
        TKFIMBarCode fim;
        fim.SetBounds(192, 24, 60, 60);
        fim.SetFIMType(c.type);
        const std::vector<PageOp> ops = Printed(fim, 1.0, 0.5);
        ASSERT_EQ(ops.size(), c.columns.size()) << c.type;
        for (size_t i = 0; i < ops.size(); ++i) {
            const int k = c.columns[i];
            EXPECT_EQ(ops[i].kind, PageOp::Rectangle);
            EXPECT_NEAR(ops[i].x1, 3.0 + (k - 1) / 32.0, 1e-9) << c.type << " col " << k;
            EXPECT_NEAR(ops[i].x2, 3.0 + k / 32.0, 1e-9);
            EXPECT_NEAR(ops[i].y1, 0.75, 1e-9);
            EXPECT_NEAR(ops[i].y2, 0.75 + 0.5625, 1e-9);
            EXPECT_EQ(ops[i].brush.color, QColor(Qt::black));
            EXPECT_EQ(ops[i].brush.style, BrushStyle::Solid);
        }
        EXPECT_NEAR(ops.back().x2 - ops.front().x1, 17.0 / 32.0, 1e-9);
    }
    TKFIMBarCode odd;
    odd.SetFIMType(7);
    EXPECT_TRUE(Printed(odd, 0, 0).empty()) << "an unknown type prints nothing";
}

// ---- screen -----------------------------------------------------------------------------------

TEST(PostNet, ScreenShowsTheSamplePictureFittedToZoom) {
    TKPostNetBarCode code;
    EXPECT_EQ(code.Width(), 249);
    EXPECT_EQ(code.Height(), 12);
    const QImage sample = TKPostNetBarCode::SampleBitmap();
    ASSERT_EQ(sample.size(), QSize(270, 16));
    EXPECT_LE(sample.colorCount(), 16);
    const struct {
        float zoom;
        QSize size;
    } cases[] = {{1.0f, {270, 16}}, {0.4f, {108, 6}}, {1.5f, {405, 24}}, {0.5f, {135, 8}}};
    for (const auto& c : cases) {
        code.SetZoomValue(c.zoom);
        QImage canvas(500, 40, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        code.Paint(p);
        p.end();
        EXPECT_EQ(QSize(code.Width(), code.Height()), c.size) << c.zoom;
    }
    // At zoom 1 the picture is drawn as it is.
    code.SetZoomValue(1.0f);
    QImage canvas(270, 16, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    QPainter p(&canvas);
    code.Paint(p);
    p.end();
    EXPECT_EQ(canvas, sample.convertToFormat(QImage::Format_RGB32));
}

TEST(PostNet, WithoutPictureDrawsADashedOutline) {
    TKPostNetBarCode code;
    code.SetSamplePicture(QImage());
    code.SetBounds(0, 0, 100, 20);
    QImage canvas(100, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    code.Paint(p);
    p.end();
    EXPECT_EQ(QSize(code.Width(), code.Height()), QSize(100, 20));
    int dark = 0, light = 0;
    for (int x = 0; x < 100; ++x)
        (canvas.pixelColor(x, 0) == Qt::black ? dark : light)++;
    EXPECT_GT(dark, 20);
    EXPECT_GT(light, 20) << "dashed";
    EXPECT_EQ(canvas.pixelColor(50, 10), QColor(Qt::white)) << "clear inside";
}

TEST(FIM, ScreenBarsAndSquareSize) {
    const struct {
        float zoom;
        int side, w, h;
    } cases[] = {{1.0f, 60, 3, 54}, {1.5f, 90, 4, 81}, {0.4f, 24, 1, 21}};
    for (const auto& c : cases) {
        TKFIMBarCode fim;
        EXPECT_EQ(fim.Height(), 54);
        fim.SetFIMType(fimTypeB);
        fim.SetZoomValue(c.zoom);
        QImage canvas(100, 100, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        fim.Paint(p);
        p.end();
        EXPECT_EQ(fim.Width(), c.side) << c.zoom;
        EXPECT_EQ(fim.Height(), c.side);
        const std::vector<int> bars{1, 5, 7, 11, 13, 17};
        for (int k = 1; k <= 17; ++k) {
            const bool bar = std::find(bars.begin(), bars.end(), k) != bars.end();
            const QColor want = bar ? QColor(Qt::black) : QColor(Qt::white);
            EXPECT_EQ(canvas.pixelColor((k - 1) * c.w, 0), want) << c.zoom << " col " << k;
            EXPECT_EQ(canvas.pixelColor(k * c.w - 1, c.h - 1), want) << c.zoom << " col " << k;
            EXPECT_EQ(canvas.pixelColor((k - 1) * c.w, c.h), QColor(Qt::white));
        }
        EXPECT_EQ(canvas.pixelColor(17 * c.w, 0), QColor(Qt::white));
    }
}

// ---- menus --------------------------------------------------------------------------------------

TEST(FIM, MenuSetsTheTypeAfterNotifying) {
    QWidget form;
    TKDataPanel panel(&form);
    auto* fim = new TKFIMBarCode;
    panel.AddObject(fim, QRect(10, 10, 60, 60));
    fim->Loaded();
    int changes = 0;
    int typeAtChange = -1;
    panel.LabelChangedEvent = [&] {
        ++changes;
        typeAtChange = fim->FIMType();
    };
    const QList<QAction*> actions = fim->PopupMenu()->actions();
    ASSERT_GE(actions.size(), 4);
    EXPECT_TRUE(actions[actions.size() - 4]->isSeparator());
    EXPECT_EQ(actions[actions.size() - 3]->text(), QStringLiteral("Set FIM to Type A"));
    EXPECT_EQ(actions[actions.size() - 2]->text(), QStringLiteral("Set FIM to Type B"));
    EXPECT_EQ(actions[actions.size() - 1]->text(), QStringLiteral("Set FIM to Type C"));
    fim->TypeMenuItem(fimTypeC)->trigger();
    EXPECT_EQ(fim->FIMType(), fimTypeC);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(typeAtChange, fimTypeA) << "the change is announced before it is made";
    fim->SetFIMType(fimTypeB);
    fim->UpdateMenuChecks();
    for (int t = fimTypeA; t <= fimTypeC; ++t)
        EXPECT_EQ(fim->TypeMenuItem(t)->isChecked(), t == fimTypeB) << t;
}

TEST(PostNet, MenuChoosesTheKindOfCode) {
    QWidget form;
    TKDataPanel panel(&form);
    auto* code = new TKPostNetBarCode;
    panel.AddObject(code, QRect(0, 0, 270, 16));
    code->Loaded();
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };
    code->UpdateMenuChecks();
    EXPECT_TRUE(code->TypeMenuItem(pnbc11Digit)->isChecked());
    EXPECT_FALSE(code->TypeMenuItem(pnbc5Digit)->isChecked());
    code->TypeMenuItem(pnbc5Digit)->trigger();
    EXPECT_EQ(code->BarCodeType(), pnbc5Digit);
    EXPECT_EQ(changes, 1);
    code->TypeMenuItem(pnbc5Digit)->trigger();
    EXPECT_EQ(changes, 1) << "choosing the current kind changes nothing";
    code->UpdateMenuChecks();
    EXPECT_TRUE(code->TypeMenuItem(pnbc5Digit)->isChecked());
    EXPECT_FALSE(code->TypeMenuItem(pnbc11Digit)->isChecked());
}

// ---- data -------------------------------------------------------------------------------------

class PostNetDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        const QString path = dir.filePath(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        ASSERT_TRUE(table.insert());
        table.setString(QStringLiteral("ZIP"), QStringLiteral("12345-6789"));
        table.setString(QStringLiteral("STREET"), QStringLiteral("123 Main St"));
        table.setString(QStringLiteral("STREET2"), QStringLiteral("PO Box 77"));
        ASSERT_TRUE(table.post());
        panel.SetDataset(&table);
        code = new TKPostNetBarCode;
        panel.AddObject(code, QRect(0, 0, 270, 16));
        code->SetZipCodeField(QStringLiteral("ZIP"));
        code->SetAddressField(QStringLiteral("STREET"));
    }
    QTemporaryDir dir;
    TableDataset table;
    QWidget form;
    TKDataPanel panel{&form};
    TKPostNetBarCode* code = nullptr;
};

TEST_F(PostNetDataTest, RefreshReadsTheRecordAndPrintsIt) {
    panel.RefreshAllData();
    EXPECT_EQ(code->ZipText(), QStringLiteral("12345-6789"));
    EXPECT_EQ(code->AddressText(), QStringLiteral("123 Main St"));
    EXPECT_EQ(Printed(*code, 0, 0).size(), 62u);
    // A field the file lacks reads as empty, and nothing is printed.
    code->SetZipCodeField(QStringLiteral("POSTCODE"));
    panel.SetPrinting(true);
    panel.RefreshAllData();
    EXPECT_TRUE(code->ZipText().isEmpty());
    EXPECT_TRUE(Printed(*code, 0, 0).empty());
}

TEST_F(PostNetDataTest, FieldDialogChoosesTheFields) {
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };
    int shown = 0;
    {
        ModalScript script([&](QDialog& d) {
            auto& dialog = dynamic_cast<TPostNetFieldsDialog&>(d);
            ++shown;
            EXPECT_EQ(dialog.ZipField(), QStringLiteral("ZIP"));
            EXPECT_EQ(dialog.AddressField(), QStringLiteral("STREET"));
            dialog.AddressCombo->setCurrentIndex(dialog.AddressCombo->findData("STREET2"));
            return int(QDialog::Accepted);
        });
        code->EditFields();
    }
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(code->AddressField(), QStringLiteral("STREET2"));
    EXPECT_EQ(code->AddressText(), QStringLiteral("PO Box 77"));
    EXPECT_EQ(changes, 1);
    {
        ModalScript script([&](QDialog& d) {
            auto& dialog = dynamic_cast<TPostNetFieldsDialog&>(d);
            dialog.ZipCombo->setCurrentIndex(0);
            return int(QDialog::Rejected);
        });
        code->EditFields();
    }
    EXPECT_EQ(code->ZipCodeField(), QStringLiteral("ZIP")) << "Cancel keeps the fields";
    EXPECT_EQ(changes, 1);
}

// ---- layout files -----------------------------------------------------------------------------

TEST(PostalLayout, BarCodesKeepTheirSettingsThroughALayoutFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ClassRegistry::MakeKnown(TKFIMBarCode::StaticInfo());
    QWidget form;
    TKLabelPanel source(&form);
    auto* code = new TKPostNetBarCode;
    source.AddObject(code, QRect(12, 30, 270, 16));
    code->SetZipCodeField(QStringLiteral("ZIP"));
    code->SetAddressField(QStringLiteral("STREET2"));
    code->SetBarCodeType(pnbc9Digit);
    code->SetZipText(QStringLiteral("12345")); // run-time only
    auto* fim = new TKFIMBarCode;
    source.AddObject(fim, QRect(200, 4, 60, 60));
    fim->SetFIMType(fimTypeC);
    auto* plainFim = new TKFIMBarCode;
    source.AddObject(plainFim, QRect(100, 4, 60, 60));
    const QString path = dir.filePath(QStringLiteral("BIN00001.L"));
    source.SaveToFile(path);

    QWidget otherForm;
    TKLabelPanel loaded(&otherForm);
    loaded.LoadFromFile(path);
    const QList<TKGraphicControl*> objects = loaded.Objects();
    ASSERT_EQ(objects.size(), 3);
    auto* code2 = dynamic_cast<TKPostNetBarCode*>(objects[0]);
    auto* fim2 = dynamic_cast<TKFIMBarCode*>(objects[1]);
    auto* plain2 = dynamic_cast<TKFIMBarCode*>(objects[2]);
    ASSERT_TRUE(code2 && fim2 && plain2);
    EXPECT_EQ(code2->BoundsRect(), QRect(12, 30, 270, 16));
    EXPECT_EQ(code2->ZipCodeField(), QStringLiteral("ZIP"));
    EXPECT_EQ(code2->AddressField(), QStringLiteral("STREET2"));
    EXPECT_EQ(code2->BarCodeType(), pnbc9Digit);
    EXPECT_TRUE(code2->ZipText().isEmpty()) << "record texts are never stored";
    EXPECT_EQ(fim2->FIMType(), fimTypeC);
    EXPECT_EQ(fim2->BoundsRect(), QRect(200, 4, 60, 60));
    EXPECT_EQ(plain2->FIMType(), fimTypeA);
    // The FIM menu is built when the object is loaded.
    ASSERT_NE(fim2->TypeMenuItem(fimTypeB), nullptr);
    fim2->TypeMenuItem(fimTypeB)->trigger();
    EXPECT_EQ(fim2->FIMType(), fimTypeB);
}

TEST(PostNet, APlacedCodeFitsItsPictureWhenFirstShown) {
    QWidget form;
    form.resize(400, 200);
    TKLabelPanel panel(&form);
    panel.resize(400, 200);
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };
    auto* code = new TKPostNetBarCode;
    panel.AddObject(code, QRect(20, 30, 50, 15));
    form.show();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(code->BoundsRect(), QRect(20, 30, 270, 16));
    EXPECT_GE(changes, 1) << "the new size is a change of the layout";
    const QImage shot = code->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(270, 16));
    EXPECT_EQ(shot.pixelColor(3, 1), QColor(Qt::black)) << "the first frame bar";
}
