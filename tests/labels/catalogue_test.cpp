// The supplied stock catalogue and the label-art pictures.
#include "app/messages.h"
#include "labels/labelart.h"
#include "labels/labeldefinition.h"
#include "labels/labelstockdialogs.h"
#include "labels/support/temporary_home.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace qb;

namespace {

class Catalogue : public TemporaryHomeTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TemporaryHomeTest::SetUp());
        table.setExclusive(false);
        ASSERT_TRUE(OpenTemplateTable(table));
        for (bool more = table.first(); more && !table.eof(); more = table.next())
            stocks.push_back(LabelTemplate::FromRecord(table));
    }
    void TearDown() override {
        table.close();
        TemporaryHomeTest::TearDown();
    }
    const LabelTemplate* Find(const QString& descript) const {
        for (const LabelTemplate& t : stocks)
            if (t.descript == descript)
                return &t;
        return nullptr;
    }
    TableDataset table;
    std::vector<LabelTemplate> stocks;
};

} // namespace

TEST_F(Catalogue, EveryStockIsCompleteAndFitsItsSheet) {
    ASSERT_GE(stocks.size(), 150u);
    const QStringList types = {"ADDRESS/SHIPPING LABELS", "CARD PRODUCTS",  "DISKETTE LABELS",
                               "FILE FOLDER LABELS",      "INDEX PRODUCTS", "MISCELLANEOUS"};
    QSet<QString> names;
    for (const LabelTemplate& t : stocks) {
        const std::string d = t.descript.toStdString();
        EXPECT_FALSE(names.contains(t.descript)) << "twice: " << d;
        names.insert(t.descript);
        EXPECT_LE(t.descript.size(), 60) << d;
        EXPECT_TRUE(QStringList({"LJ", "IJ", "DM", "LP"}).contains(t.printer)) << d;
        EXPECT_TRUE(QStringList({"AVERY", "COSTAR", "NEBS"}).contains(t.manufac)) << d;
        EXPECT_TRUE(types.contains(t.prodType)) << d;
        EXPECT_TRUE(QStringList({"RR", "SR", "EL"}).contains(t.lblShape)) << d;
        const PaperSizeInfo* paper = FindPaperSize(t.paperSize);
        ASSERT_NE(paper, nullptr) << d;
        if (paper->named()) {
            EXPECT_DOUBLE_EQ(t.sheetWidth, paper->width) << d;
            EXPECT_DOUBLE_EQ(t.sheetDepth, paper->height) << d;
        }
        EXPECT_GE(t.nbrAcross, 1) << d;
        EXPECT_GE(t.nbrDown, 1) << d;
        EXPECT_GE(t.lblHeight, 0.3) << d;
        EXPECT_GE(t.lblWidth, 0.5) << d;
        if (t.nbrAcross > 1) {
            EXPECT_GE(t.horizPitch + 1e-9, t.lblWidth) << d;
        }
        if (t.nbrDown > 1) {
            EXPECT_GE(t.vertPitch + 1e-9, t.lblHeight) << d;
        }
        // Every label on the paper (to the stored precision).
        const QRectF last = t.PositionRect(t.PositionCount() - 1);
        EXPECT_GE(t.PositionRect(0).left(), -1e-9) << d;
        EXPECT_LE(last.right(), t.sheetWidth + 0.02) << d;
        EXPECT_LE(last.bottom(), t.sheetDepth + 0.02) << d;
        if (!t.art.isEmpty()) {
            const QSizeF art = LabelArtSize(t.art);
            ASSERT_FALSE(art.isEmpty()) << d << " art " << t.art.toStdString();
            EXPECT_NEAR(art.width() / art.height(), t.lblWidth / t.lblHeight, 0.02) << d;
        }
    }
}

TEST_F(Catalogue, EveryListEntryFindsStocksAndTheRangeIsCovered) {
    // Every maker entry shows stocks; every product type has some.
    for (const QString& maker : TemplateManufacturerEntries()) {
        ASSERT_TRUE(table.setFilter(TemplateFilterExpression(maker, "All", false)));
        EXPECT_TRUE(table.first() && !table.eof()) << maker.toStdString();
    }
    ASSERT_TRUE(table.setFilter(TemplateFilterExpression("Avery Inkjet", "All", true)));
    EXPECT_TRUE(table.first() && !table.eof());
    for (const QString& type : TemplateProductTypeEntries()) {
        ASSERT_TRUE(table.setFilter(TemplateFilterExpression("Avery Laserjet", type, false)));
        EXPECT_TRUE(table.first() && !table.eof()) << type.toStdString();
    }
    // The kinds of stock a mailing-list user looks for.
    for (const char* kind : {"Address", "Shipping", "Return Address", "File Folder", "Diskette",
                             "Index Card", "Postcard", "Name Badge", "Business Card"}) {
        bool found = false;
        for (const LabelTemplate& t : stocks)
            found = found || t.descript.contains(QLatin1String(kind));
        EXPECT_TRUE(found) << kind;
    }
    // The built-in default names a stock of the catalogue with the same geometry.
    const LabelDefinition def = LabelDefinition::BuiltInDefault();
    const LabelTemplate* t = Find(def.tplDescrip);
    ASSERT_NE(t, nullptr);
    EXPECT_DOUBLE_EQ(t->lblWidth, def.lblWidth);
    EXPECT_DOUBLE_EQ(t->horizPitch, def.horizPitch);
    EXPECT_EQ(t->nbrAcross * t->nbrDown, 30);
}

TEST_F(Catalogue, SampleMatchesThePublishedDimensions) {
    // label height x width (inches or millimetres as published), across x down.
    const struct {
        const char* descript;
        double height, width;
        bool mm;
        int across, down;
    } cases[] = {
        {"Avery 5160  Address", 1, 2.625, false, 3, 10},
        {"Avery 5163  Shipping", 2, 4, false, 2, 5},
        {"Avery 5167  Return Address", 0.5, 1.75, false, 4, 20},
        {"Avery 5366  File Folder", 0.667, 3.438, false, 2, 15},
        {"Avery 5371  Business Card", 2, 3.5, false, 2, 5},
        {"Avery 5196  Diskette 3.5\"", 2.75, 2.75, false, 3, 3},
        {"Avery 5389  Postcard", 4, 6, false, 1, 2},
        {"Avery L7160  Address", 38.1, 63.5, true, 3, 7},
        {"Avery L7163  Address", 38.1, 99.1, true, 2, 7},
        {"Avery J8651  Mini Address", 21.2, 38.1, true, 5, 13},
        {"Costar 30252  Address", 28, 89, true, 1, 1},
    };
    for (const auto& c : cases) {
        const LabelTemplate* t = Find(QString::fromLatin1(c.descript));
        ASSERT_NE(t, nullptr) << c.descript;
        const double k = c.mm ? InchesPerMillimetre : 1.0;
        EXPECT_NEAR(t->lblHeight, c.height * k, 0.0015) << c.descript;
        EXPECT_NEAR(t->lblWidth, c.width * k, 0.0015) << c.descript;
        EXPECT_EQ(t->nbrAcross, c.across) << c.descript;
        EXPECT_EQ(t->nbrDown, c.down) << c.descript;
    }
}

TEST(LabelArt, EveryNamedPictureIsAnOutlineOfItsStock) {
    const QStringList names = LabelArtNames();
    EXPECT_EQ(names.size(), 25);
    for (const QString& name : names) {
        const QImage image = LabelArtPicture(name + ".BMP");
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        const QSizeF inches = LabelArtSize(name);
        EXPECT_NEAR(image.width(), inches.width() * 96, 1) << name.toStdString();
        EXPECT_NEAR(image.height(), inches.height() * 96, 1) << name.toStdString();
        // Dark outline, white inside somewhere, never a blank picture.
        int dark = 0;
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, image.height() / 2)) < 128;
        EXPECT_GE(dark, 2) << name.toStdString();
        EXPECT_EQ(qGray(image.pixel(image.width() / 2 + 3, image.height() - 6)) > 128 ||
                      qGray(image.pixel(image.width() / 4, image.height() / 2)) > 128,
                  true)
            << name.toStdString();
    }
    EXPECT_TRUE(LabelArtPicture("av5196.bmp").size() == LabelArtPicture("AV5196").size());
    EXPECT_TRUE(LabelArtPicture("AV9999.BMP").isNull());
    EXPECT_TRUE(LabelArtPicture("").isNull());
    EXPECT_TRUE(LabelArtSize("nothing").isEmpty());
}
