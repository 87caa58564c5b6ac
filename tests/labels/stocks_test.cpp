// Label stocks: sheet positions, the built-in stocks, record round trips and
// layout file names.
#include "app/messages.h"
#include "labels/labeldefinition.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

LabelStock Stock(int across, int down) {
    LabelStock s;
    s.nbrAcross = across;
    s.nbrDown = down;
    s.leftMarg = 0.188;
    s.topMarg = 0.5;
    s.horizPitch = 2.75;
    s.vertPitch = 1.0;
    s.lblWidth = 2.625;
    s.lblHeight = 1.0;
    return s;
}

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

class HomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        oldHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("sysdata")));
    }
    void TearDown() override { SetProgramDirectory(oldHome); }

    QTemporaryDir home;
    QString oldHome;
    MessageScript messages;
};

} // namespace

TEST(SheetPositions, MiddleColumnGapStartsAtHalfTheColumns) {
    LabelStock s = Stock(3, 10);
    s.midExtraX = 0.1;
    EXPECT_NEAR(s.PositionX(0), 0.188, 1e-9);
    EXPECT_NEAR(s.PositionX(1), 3.038, 1e-9);
    EXPECT_NEAR(s.PositionX(2), 5.788, 1e-9);

    // One column: the gap applies from the first (1 div 2 = 0).
    LabelStock one = Stock(1, 10);
    one.midExtraX = 0.1;
    EXPECT_NEAR(one.PositionX(0), 0.288, 1e-9);

    // Four columns: from the third.
    LabelStock four = Stock(4, 10);
    four.midExtraX = 0.5;
    EXPECT_NEAR(four.PositionX(1), 0.188 + 2.75, 1e-9);
    EXPECT_NEAR(four.PositionX(2), 0.188 + 5.5 + 0.5, 1e-9);
}

TEST(SheetPositions, MiddleRowGapStartsAtHalfTheRows) {
    LabelStock s = Stock(3, 10);
    s.midExtraY = 0.25;
    for (int row = 0; row < 10; ++row) {
        const double expected = 0.5 + row * 1.0 + (row >= 5 ? 0.25 : 0.0);
        EXPECT_NEAR(s.PositionY(row), expected, 1e-9) << "row " << row;
    }
    // A negative gap is not applied.
    s.midExtraY = -0.25;
    EXPECT_NEAR(s.PositionY(9), 9.5, 1e-9);
}

TEST(SheetPositions, IndexRunsRowByRowAndGivesTheLabelRectangle) {
    LabelStock s = Stock(3, 10);
    EXPECT_EQ(s.PositionCount(), 30);
    EXPECT_EQ(s.PositionAt(0), (SheetPosition{0, 0}));
    EXPECT_EQ(s.PositionAt(4), (SheetPosition{1, 1}));
    EXPECT_EQ(s.PositionAt(29), (SheetPosition{2, 9}));
    EXPECT_EQ(s.IndexOf(SheetPosition{2, 3}), 11);
    const QRectF r = s.PositionRect(4);
    EXPECT_NEAR(r.left(), 0.188 + 2.75, 1e-9);
    EXPECT_NEAR(r.top(), 1.5, 1e-9);
    EXPECT_NEAR(r.width(), 2.625, 1e-9);
    EXPECT_NEAR(r.height(), 1.0, 1e-9);
}

TEST(SheetPositions, StocksBeyondTwoHundredPositionsAreCountedWhole) {
    // 10 x 30 is allowed by the user-defined dialog.
    LabelStock s = Stock(10, 30);
    EXPECT_EQ(s.PositionCount(), 300);
    EXPECT_EQ(s.PositionAt(299), (SheetPosition{9, 29}));
    EXPECT_EQ(Stock(0, 5).PositionCount(), 0);
}

TEST(BuiltInStocks, DefaultAndNewDifferOnlyWhereTheyShould) {
    const LabelDefinition d = LabelDefinition::BuiltInDefault();
    EXPECT_EQ(d.descript, "Default Label Setup");
    EXPECT_EQ(d.tplDescrip, "Avery 5160  Address");
    EXPECT_EQ(d.prodType, "ADDRESS LABELS");
    EXPECT_DOUBLE_EQ(d.horizPitch, 2.75);
    EXPECT_DOUBLE_EQ(d.vertPitch, 1.0);
    EXPECT_TRUE(d.binary.isEmpty());
    EXPECT_EQ(d.SheetName(), "Avery 5160  Address");

    const LabelDefinition n = LabelDefinition::NewLabelDefault();
    EXPECT_TRUE(n.descript.isEmpty());
    EXPECT_TRUE(n.isNew);
    EXPECT_DOUBLE_EQ(n.horizPitch, 2.765);
    EXPECT_DOUBLE_EQ(n.vertPitch, 1.01);
    EXPECT_EQ(n.prodType, "ADDRESS/SHIPPING LABELS");
    EXPECT_EQ(n.printer, "LJ");
    EXPECT_EQ(n.paperSize, "LTR");
    EXPECT_EQ(n.lblShape, "RR");
    EXPECT_EQ(n.nbrAcross * n.nbrDown, 30);

    LabelDefinition u = n;
    u.MakeUserDefined();
    EXPECT_EQ(u.SheetName(), "[User Defined]");
    EXPECT_TRUE(u.IsUserDefined());
}

TEST(BuiltInStocks, ArtNameIsThePartBeforeTheDotInCapitals) {
    LabelStock s;
    s.art = QStringLiteral("av5196.bmp");
    EXPECT_EQ(s.ArtResourceName(), "AV5196");
    s.art = QStringLiteral("AVWSD5");
    EXPECT_EQ(s.ArtResourceName(), "AVWSD5");
    s.art.clear();
    EXPECT_TRUE(s.ArtResourceName().isEmpty());
}

TEST(LayoutNames, OnlyPlainNamesInsideSysdataAreAccepted) {
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"BIN00001.L", true}, {"bin00042.l", true},     {"OLD.L", true},
        {"", false},          {"../QUILLB.ini", false}, {"..", false},
        {".", false},         {"a/b.L", false},         {"..\\x.L", false},
        {"C:BIN1.L", false},  {"/etc/passwd", false},   {"BIN000001.L.X", false},
        {" BIN1.L", false},   {"BIN\x01.L", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeLayoutFileName(QString::fromLatin1(c.name)), c.safe) << c.name;
        if (!c.safe) {
            EXPECT_TRUE(
                LayoutFilePath(QString::fromLatin1(c.name), QStringLiteral("/tmp")).isEmpty())
                << c.name;
        }
    }
}

TEST_F(HomeTest, NewLayoutNameTakesTheFirstGapIgnoringCase) {
    const QString sys = SystemDirectory();
    EXPECT_EQ(NewLayoutFileName(), "BIN00001.L");
    Touch(sys + "BIN00001.L");
    Touch(sys + "bin00003.l");
    EXPECT_EQ(NewLayoutFileName(), "BIN00002.L");
    Touch(sys + "BIN00002.L");
    EXPECT_EQ(NewLayoutFileName(), "BIN00004.L");
    // Envelope and report names do not take label names.
    EXPECT_EQ(NewLayoutFileName(sys, ".E"), "BIN00001.E");
    EXPECT_TRUE(LayoutFileExists("BIN00003.L"));
    EXPECT_FALSE(LayoutFileExists("BIN00009.L"));
    EXPECT_FALSE(LayoutFileExists("../sysdata/BIN00001.L"));
}

TEST_F(HomeTest, DefinitionRoundTripsThroughTheLabelTable) {
    TableDataset table;
    ASSERT_TRUE(OpenLabelTable(table));
    LabelDefinition d = LabelDefinition::NewLabelDefault();
    d.descript = QStringLiteral("Return Address");
    d.lblHeight = 1.23456; // rounded to three decimals on writing
    d.midExtraX = 0.125;
    d.midExtraY = 0.25;
    d.art = QStringLiteral("AV5160.BMP");
    d.binary = QStringLiteral("BIN00007.L");
    ASSERT_TRUE(table.append());
    ASSERT_TRUE(d.WriteToRecord(table));
    ASSERT_TRUE(table.post());
    ASSERT_TRUE(table.first());
    const LabelDefinition r = LabelDefinition::FromRecord(table);
    EXPECT_EQ(r.descript, "Return Address");
    EXPECT_DOUBLE_EQ(r.lblHeight, 1.235);
    EXPECT_DOUBLE_EQ(r.horizPitch, 2.765);
    EXPECT_EQ(r.nbrAcross, 3);
    EXPECT_EQ(r.nbrDown, 10);
    EXPECT_DOUBLE_EQ(r.midExtraX, 0.125);
    EXPECT_DOUBLE_EQ(r.midExtraY, 0.25);
    EXPECT_EQ(r.tplDescrip, "Avery 5160  Address");
    EXPECT_EQ(r.manufac, "AVERY");
    EXPECT_EQ(r.prodType, "ADDRESS/SHIPPING LABELS");
    EXPECT_EQ(r.art, "AV5160.BMP");
    EXPECT_EQ(r.binary, "BIN00007.L");
    EXPECT_FALSE(r.isNew);
}
