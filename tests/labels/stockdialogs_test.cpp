// Choosing a label stock: the template filter, the user-defined geometry
// rules and the dialogs driven through their slots.
#include "app/messages.h"
#include "app/modal.h"
#include "labels/labelstockdialogs.h"
#include "labels/support/temporary_home.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace qb;
using L = LabelGeometryForm;

namespace {

using CatalogueHome = TemporaryHomeTest;

// "Change Layout" on `def`, each dialog answered by `answer`.
bool ChangeLayoutAnswering(LabelDefinition& def, const ModalHook& answer) {
    ModalScript script(answer);
    return ChangeLabelLayout(def, nullptr);
}

LabelGeometryForm FormOf(double h, double w, double hp, double vp, int across, int down,
                         double pw = 8.5, double ph = 11) {
    LabelGeometryForm f;
    LabelStock s;
    s.lblHeight = h;
    s.lblWidth = w;
    s.horizPitch = hp;
    s.vertPitch = vp;
    s.nbrAcross = across;
    s.nbrDown = down;
    s.sheetWidth = pw;
    s.sheetDepth = ph;
    s.paperSize = QStringLiteral("LTR");
    f.Load(s);
    return f;
}

} // namespace

TEST(TemplateFilter, PartsAreJoinedExactlyAsTheEngineGetsThem) {
    EXPECT_EQ(TemplateFilterExpression("Avery Inkjet", "Card Products", true).toStdString(),
              " UPPER(manufac)=\"AVERY\"  and  UPPER(printer)=\"IJ\"  and  "
              "UPPER(PRODTYPE)=\"CARD PRODUCTS\"  and  (\"A4\"$UPPER(PAPERSIZE) OR "
              "\"A5\"$UPPER(PAPERSIZE))");
    EXPECT_EQ(TemplateFilterExpression("Avery Laserjet", "All", false).toStdString(),
              " UPPER(manufac)=\"AVERY\"  and  UPPER(printer)=\"LJ\" ");
    EXPECT_EQ(TemplateFilterExpression("Costar LabelPrinter", "Address/Shipping Labels", false)
                  .toStdString(),
              " UPPER(manufac)=\"COSTAR\"  and  UPPER(printer)=\"LP\"  and  "
              "UPPER(PRODTYPE)=\"ADDRESS/SHIPPING LABELS\" ");
    EXPECT_EQ(TemplateFilterExpression("Avery Dot Matrix", "Diskette Labels", false).toStdString(),
              " UPPER(manufac)=\"AVERY\"  and  UPPER(printer)=\"DM\"  and  "
              "UPPER(PRODTYPE)=\"DISKETTE LABELS\" ");
    EXPECT_EQ(TemplateFilterExpression("NEBS", "All", false).toStdString(),
              " UPPER(manufac)=\"NEBS\" ");
}

TEST(TemplateFilter, ListsStartFromTheDefinition) {
    const struct {
        const char* maker;
        const char* printer;
        const char* type;
        const char* makerEntry;
        const char* typeEntry;
    } cases[] = {
        {"AVERY", "LJ", "ADDRESS/SHIPPING LABELS", "Avery Laserjet", "Address/Shipping Labels"},
        {"AVERY", "IJ", "card products", "Avery Inkjet", "Card Products"},
        {"AVERY", "DM", "INDEX PRODUCTS", "Avery Dot Matrix", "Index Products"},
        {"COSTAR", "LP", "MISCELLANEOUS", "Costar LabelPrinter", "Miscellaneous"},
        {"NEBS", "LJ", "ADDRESS LABELS", "Avery Laserjet", "All"},     // unknown type: All
        {"USER", "", "", "Avery Laserjet", "Address/Shipping Labels"}, // user-defined
        {"USER", "DM", "DISKETTE LABELS", "Avery Laserjet", "Address/Shipping Labels"},
    };
    for (const auto& c : cases) {
        LabelStock s;
        s.manufac = c.maker;
        s.printer = c.printer;
        s.prodType = c.type;
        EXPECT_EQ(ManufacturerEntryFor(s), c.makerEntry) << c.maker << " " << c.printer;
        EXPECT_EQ(ProductTypeEntryFor(s), c.typeEntry) << c.type;
    }
}

TEST(GeometryForm, MillimetresAreConvertedAndRoundedToThreeDecimals) {
    LabelGeometryForm f = FormOf(1, 2.625, 2.75, 1, 3, 10);
    f.SetMillimetres(true);
    EXPECT_DOUBLE_EQ(f.length(L::Width), 66.675);
    EXPECT_DOUBLE_EQ(f.length(L::PaperHeight), 279.4);
    f.setLength(L::Height, 30);
    f.setLength(L::VertPitch, 30);
    LabelDefinition d = LabelDefinition::NewLabelDefault();
    ASSERT_EQ(f.Apply(d).toStdString(), "");
    EXPECT_DOUBLE_EQ(d.lblHeight, 1.181);
    EXPECT_DOUBLE_EQ(d.vertPitch, 1.181);
    EXPECT_DOUBLE_EQ(d.lblWidth, 2.625);
    EXPECT_DOUBLE_EQ(d.sheetDepth, 11.0);
    // Back to inches: the shown values convert again.
    f.SetMillimetres(false);
    EXPECT_DOUBLE_EQ(f.length(L::Height), 1.181);
    EXPECT_DOUBLE_EQ(f.length(L::HorizPitch), 2.75);
}

TEST(GeometryForm, ValidationTellsTheFirstFailureInOrder) {
    const struct {
        double h, w, hp, vp;
        int across, down;
        double pw, ph;
        const char* message;
    } cases[] = {
        {1, 2.625, 2.5, 1, 1, 10, 8.5, 11, ""}, // one column: pitch below width is fine
        {1, 2.625, 2.5, 1, 3, 10, 8.5, 11, "Horizontal Pitch must be at least = Label Width"},
        {1, 2.625, 2.75, 0.9, 3, 10, 8.5, 11, "Vertical Pitch must be at least = Label Height"},
        {1, 2.625, 2.75, 0.9, 3, 1, 8.5, 11, ""},
        {0.29, 0.4, 0, 0, 2, 2, 0, 0, "Label Height must be at least .3 inches (or 7mm)"},
        {0.3, 0.49, 0, 0, 2, 2, 0, 0, "Label Width must be at least .5 inch (or 13mm)"},
        {0.3, 0.5, 0.5, 0.3, 1, 1, 0.29, 0, "Page Width must be at least .3 inch"},
        {0.3, 0.5, 0.5, 0.3, 1, 1, 0.3, 0.2, "Page Height must be at least .3 inches"},
        {1, 0.8, 0.8, 1, 10, 30, 8.5, 11, ""}, // 300 positions are allowed
    };
    for (const auto& c : cases) {
        LabelGeometryForm f = FormOf(c.h, c.w, c.hp, c.vp, c.across, c.down, c.pw, c.ph);
        LabelDefinition d = LabelDefinition::BuiltInDefault();
        const LabelDefinition before = d;
        EXPECT_EQ(f.Apply(d).toStdString(), c.message) << c.h << " " << c.w << " " << c.across;
        if (*c.message) {
            EXPECT_EQ(d.manufac, before.manufac); // untouched on failure
        } else {
            EXPECT_EQ(d.manufac, "USER");
            EXPECT_TRUE(d.tplDescrip.isEmpty());
            EXPECT_TRUE(d.printer.isEmpty());
            EXPECT_EQ(d.nbrAcross * d.nbrDown, c.across * c.down);
        }
    }
    // Seven millimetres are not enough for the smallest height (0.276").
    LabelGeometryForm mm = FormOf(1, 2, 2, 1, 1, 1);
    mm.SetMillimetres(true);
    mm.setLength(L::Height, 7);
    EXPECT_EQ(mm.Validate(), "Label Height must be at least .3 inches (or 7mm)");
}

TEST(GeometryForm, LeavingSizesRaisesPitchesAndPaperFillsInTheUnit) {
    LabelGeometryForm f = FormOf(1, 2.625, 2.75, 1, 3, 10);
    f.setLength(L::Width, 3);
    f.LeaveWidth();
    EXPECT_DOUBLE_EQ(f.length(L::HorizPitch), 3);
    f.setLength(L::Width, 2);
    f.LeaveWidth(); // a smaller width leaves the pitch
    EXPECT_DOUBLE_EQ(f.length(L::HorizPitch), 3);
    f.setLength(L::Height, 1.5);
    f.LeaveHeight();
    EXPECT_DOUBLE_EQ(f.length(L::VertPitch), 1.5);

    f.ChoosePaperSize("A4L");
    EXPECT_DOUBLE_EQ(f.length(L::PaperWidth), 11.69);
    EXPECT_DOUBLE_EQ(f.length(L::PaperHeight), 8.27);
    f.SetMillimetres(true);
    f.ChoosePaperSize("A5");
    EXPECT_DOUBLE_EQ(f.length(L::PaperWidth), 147.828);
    EXPECT_DOUBLE_EQ(f.length(L::PaperHeight), 210.058);
    // User sizes keep what was typed.
    f.setLength(L::PaperWidth, 100);
    f.ChoosePaperSize("USERL");
    EXPECT_DOUBLE_EQ(f.length(L::PaperWidth), 100);
    EXPECT_EQ(f.paperSize(), "USERL");
}

TEST(LabelEditDialog, OkStaysOpenWithTheMessageAndAcceptsValidValues) {
    MessageScript messages;
    LabelDefinition def = LabelDefinition::BuiltInDefault();
    TLabelEdit dialog(def);
    EXPECT_EQ(dialog.windowTitle(), "User Defined Label Layout");
    EXPECT_EQ(dialog.LengthEdit(L::Width)->text(), "2.625");
    dialog.AcrossSpin()->setValue(3);
    dialog.LengthEdit(L::HorizPitch)->setText("2.5");
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(messages.texts(), QStringList{"Horizontal Pitch must be at least = Label Width"});

    // Leaving the width field puts the pitch right; then millimetres.
    dialog.LengthEdit(L::Width)->setText("2.9");
    dialog.WidthExit();
    EXPECT_EQ(dialog.LengthEdit(L::HorizPitch)->text(), "2.900");
    dialog.MillimetresButton()->setChecked(true);
    EXPECT_EQ(dialog.LengthEdit(L::HorizPitch)->text(), "73.660");
    dialog.LengthEdit(L::Height)->setText("30");
    dialog.HeightExit();
    EXPECT_EQ(dialog.LengthEdit(L::VertPitch)->text(), "30.000");
    dialog.ShapeBox()->setCurrentIndex(2);
    dialog.PaperBox()->setCurrentIndex(dialog.PaperBox()->findData("A4"));
    dialog.PaperSizeChange();
    EXPECT_EQ(dialog.LengthEdit(L::PaperWidth)->text(), "210.058");
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const LabelDefinition& r = dialog.Result();
    EXPECT_DOUBLE_EQ(r.lblHeight, 1.181);
    EXPECT_DOUBLE_EQ(r.lblWidth, 2.9);
    EXPECT_DOUBLE_EQ(r.sheetWidth, 8.27);
    EXPECT_EQ(r.paperSize, "A4");
    EXPECT_EQ(r.lblShape, "EL");
    EXPECT_EQ(r.manufac, "USER");
    EXPECT_EQ(r.SheetName(), "[User Defined]");
    EXPECT_EQ(r.art, "");
    EXPECT_EQ(r.descript, def.descript); // the name is not the dialog's
}

TEST_F(CatalogueHome, TemplateListFiltersAndStartsOnTheDefinitionsTemplate) {
    LabelDefinition def = LabelDefinition::BuiltInDefault();
    TSelectLabel dialog(def);
    ASSERT_TRUE(dialog.Opened());
    EXPECT_EQ(dialog.FilterText(), TemplateFilterExpression("Avery Laserjet", "All", false));
    ASSERT_NE(dialog.CurrentTemplate(), nullptr);
    EXPECT_EQ(dialog.CurrentTemplate()->descript, "Avery 5160  Address");
    EXPECT_TRUE(dialog.OkEnabled());
    for (const LabelTemplate& t : dialog.Templates()) {
        EXPECT_EQ(t.manufac, "AVERY");
        EXPECT_EQ(t.printer, "LJ");
    }

    dialog.ManufacturerBox()->setCurrentText("Costar LabelPrinter");
    ASSERT_FALSE(dialog.Templates().empty());
    for (const LabelTemplate& t : dialog.Templates())
        EXPECT_EQ(t.printer, "LP") << t.descript.toStdString();

    dialog.ManufacturerBox()->setCurrentText("Avery Inkjet");
    dialog.EuropeanBox()->setChecked(true);
    ASSERT_FALSE(dialog.Templates().empty());
    for (const LabelTemplate& t : dialog.Templates())
        EXPECT_TRUE(t.paperSize.startsWith("A4") || t.paperSize.startsWith("A5"));
    EXPECT_EQ(dialog.FilterText(), TemplateFilterExpression("Avery Inkjet", "All", true));

    // A combination without templates disables Ok and the grid.
    dialog.ManufacturerBox()->setCurrentText("Costar LabelPrinter");
    EXPECT_TRUE(dialog.Templates().empty());
    EXPECT_FALSE(dialog.OkEnabled());
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), 0);

    dialog.EuropeanBox()->setChecked(false);
    dialog.ProductTypeBox()->setCurrentText("All");
    dialog.SetCurrentIndex(0);
    const LabelTemplate chosen = *dialog.CurrentTemplate();
    LabelDefinition d = LabelDefinition::BuiltInDefault();
    d.binary = "BIN00004.L";
    dialog.ApplyTo(d);
    EXPECT_EQ(d.tplDescrip, chosen.descript);
    EXPECT_EQ(d.manufac, "COSTAR");
    EXPECT_DOUBLE_EQ(d.lblWidth, chosen.lblWidth);
    EXPECT_EQ(d.descript, "Default Label Setup");
    EXPECT_EQ(d.binary, "BIN00004.L");

    // Insert does nothing in the grid.
    const size_t count = dialog.Templates().size();
    QTest::keyClick(dialog.Grid(), Qt::Key_Insert);
    EXPECT_EQ(dialog.Templates().size(), count);
}

TEST_F(CatalogueHome, UserDefinedStockStartsWithoutPreselection) {
    LabelDefinition def = LabelDefinition::BuiltInDefault();
    def.MakeUserDefined();
    def.tplDescrip = QStringLiteral("Avery 5163  Shipping"); // ignored for a user stock
    TSelectLabel dialog(def);
    ASSERT_TRUE(dialog.Opened());
    EXPECT_EQ(dialog.ProductTypeBox()->currentText(), "Address/Shipping Labels");
    EXPECT_EQ(dialog.CurrentIndex(), 0);
}

TEST_F(CatalogueHome, MissingCatalogueIsToldAndNotCreated) {
    ASSERT_TRUE(QFile::remove(SystemDirectory() + "LBLTPL.DBF"));
    LabelDefinition def = LabelDefinition::BuiltInDefault();
    TSelectLabel dialog(def);
    EXPECT_FALSE(dialog.Opened());
    EXPECT_TRUE(messages.sawText("Unable to Open LBLTPL.DBF"));
    EXPECT_FALSE(QFile::exists(SystemDirectory() + "LBLTPL.DBF"));
    LabelDefinition d = def;
    int shown = 0;
    EXPECT_FALSE(ChangeLayoutAnswering(d, [&](QDialog& dlg) {
        ++shown;
        return dlg.windowTitle() == "Label Layout" ? int(QDialog::Accepted)
                                                   : int(QDialog::Rejected);
    }));
    EXPECT_EQ(shown, 1);
}

TEST_F(CatalogueHome, ChangeLayoutRunsTheChosenDialog) {
    LabelDefinition def = LabelDefinition::BuiltInDefault();
    QStringList titles;
    // Manual entry of a 10 x 30 stock.
    EXPECT_TRUE(ChangeLayoutAnswering(def, [&](QDialog& d) {
        titles << d.windowTitle();
        if (auto* c = qobject_cast<TChooseLabelLayout*>(&d)) {
            c->ManualButton()->setChecked(true);
            c->OKButtonClick();
        } else if (auto* e = qobject_cast<TLabelEdit*>(&d)) {
            e->AcrossSpin()->setValue(10);
            e->DownSpin()->setValue(30);
            e->LengthEdit(L::Width)->setText("0.75");
            e->LengthEdit(L::HorizPitch)->setText("0.8");
            e->LengthEdit(L::Height)->setText("0.3");
            e->LengthEdit(L::VertPitch)->setText("0.35");
            e->OKButtonClick();
        }
        return d.result();
    }));
    EXPECT_EQ(titles, (QStringList{"Label Layout", "User Defined Label Layout"}));
    EXPECT_EQ(def.PositionCount(), 300);
    EXPECT_EQ(def.manufac, "USER");

    // From the catalogue; Cancel in the list changes nothing.
    titles.clear();
    const LabelDefinition before = def;
    EXPECT_FALSE(ChangeLayoutAnswering(def, [&](QDialog& d) {
        titles << d.windowTitle();
        return qobject_cast<TChooseLabelLayout*>(&d) ? int(QDialog::Accepted)
                                                     : int(QDialog::Rejected);
    }));
    EXPECT_EQ(titles, (QStringList{"Label Layout", "Select Label Template"}));
    EXPECT_EQ(def.PositionCount(), before.PositionCount());
    EXPECT_TRUE(ChangeLayoutAnswering(def, [](QDialog&) { return int(QDialog::Accepted); }));
    EXPECT_EQ(def.manufac, "AVERY");
    EXPECT_FALSE(def.tplDescrip.isEmpty());
}
