// The label design window: tools, zoom, the save button, saving and
// reloading layouts, change of stock, the new label's address block, the
// position captions and the record buttons with counters.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/panels.h"
#include "labels/designscreen.h"
#include "labels/labeldefinition.h"
#include "labels/labellistwindow.h"
#include "labels/support/temporary_home.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace qb;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

LabelDefinition Stock(double width, double height, bool isNew = false) {
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.descript = QStringLiteral("Test label");
    def.lblWidth = width;
    def.lblHeight = height;
    def.horizPitch = std::max(def.horizPitch, width);
    def.vertPitch = std::max(def.vertPitch, height);
    def.isNew = isNew;
    return def;
}

// Drags a rectangle on the panel with the mouse.
void Drag(TKBasePanel* panel, const QPoint& from, const QPoint& to) {
    QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(panel, to);
    QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier, to);
}

template <class T> QList<T*> ObjectsOf(const TKBasePanel* panel) {
    QList<T*> out;
    for (TKGraphicControl* o : panel->Objects())
        if (auto* t = dynamic_cast<T*>(o))
            out << t;
    return out;
}

class DesignTest : public TemporaryHomeTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TemporaryHomeTest::SetUp());
        ASSERT_TRUE(QDir(SystemDirectory()).exists());
    }
    void TearDown() override {
        designer.reset();
        TemporaryHomeTest::TearDown();
    }

    // An address file with `n` records whose last names are "Name1" ...
    void OpenAddresses(int n) {
        AddressFile::Configure(addresses);
        const QString path = home.filePath(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(CreateAddressFile(path, addresses));
        ASSERT_TRUE(OpenTableFile(path, addresses));
        for (int i = 1; i <= n; ++i) {
            ASSERT_TRUE(addresses.append());
            addresses.setString(QStringLiteral("LNAME"), QStringLiteral("Name%1").arg(i));
            addresses.setString(QStringLiteral("STREET"), QStringLiteral("%1 Main Street").arg(i));
            addresses.setString(QStringLiteral("ZIP"), QStringLiteral("1234%1").arg(i % 10));
            ASSERT_TRUE(addresses.post());
        }
        ASSERT_TRUE(addresses.first());
    }

    // Runs the designer window through `drive` from now on; the dialogs it
    // opens itself (completing a new object, the font, the stock) are
    // cancelled.
    void SetDesigner(std::function<int(TLabelDesignScreen&)> drive) {
        designer.reset();
        designer.emplace([drive = std::move(drive)](QDialog& d) {
            if (auto* s = qobject_cast<TLabelDesignScreen*>(&d))
                return drive(*s);
            return int(QDialog::Rejected);
        });
    }

    TableDataset addresses;
    std::optional<ModalScript> designer;
};

const char* const kNewLabelMessage =
    "A new label has been created using the Avery 5160\rformat. To change to another label "
    "format, click on\rthe Change Layout button.\r\rA Database Mailing Address object has "
    "already been \radded to the label.\r\rFor additional assistance, click the Help button";

const char* const kPostNetRefused =
    "This label is not wide enough for a \rpostnet barcode. At least 2.85 inches are needed";

} // namespace

TEST_F(DesignTest, FirstActivationSizesThePanelToTheStock) {
    const struct {
        double width, height;
        const char* shape;
        int panelShape;
        int w, h;
    } cases[] = {
        {2.625, 1.0, "RR", lsRoundRect, 252, 96},
        {4.0, 1.5, "SR", lsRectangle, 384, 144},
        {2.5, 2.5, "EL", lsEllipse, 240, 240},
        // nearest with halves to even: 0.3125 x 96 = 30 exactly, 1.0052 x 96 = 96.4992
        {0.3125, 1.0052, "RR", lsRoundRect, 30, 96},
    };
    for (const auto& c : cases) {
        LabelDefinition def = Stock(c.width, c.height);
        def.lblShape = QLatin1String(c.shape);
        TLabelDesignScreen screen(def, nullptr);
        EXPECT_EQ(screen.Panel()->size(), QSize(264, 265)); // before activation
        screen.FormActivate();
        EXPECT_EQ(screen.Panel()->Width(), c.w) << c.width;
        EXPECT_EQ(screen.Panel()->Height(), c.h) << c.height;
        EXPECT_EQ(screen.Panel()->Shape(), c.panelShape) << c.shape;
        EXPECT_FALSE(screen.SaveVisible());
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DesignTest, NewPanelHasTheDesignerDefaults) {
    TLabelDesignScreen screen(Stock(2.625, 1.0), nullptr);
    TKLabelPanel* p = screen.Panel();
    EXPECT_TRUE(p->DrawOutline());
    EXPECT_EQ(p->GridSize(), gs4x4);
    EXPECT_TRUE(p->DisplayDataValues());
    EXPECT_EQ(p->PanelFont().Name(), QStringLiteral("Arial"));
    EXPECT_EQ(p->PanelFont().Size(), 8);
    EXPECT_EQ(screen.DefaultFontCaption(), QStringLiteral("Default Font: Arial, 8 pt "));
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("100%"));
    EXPECT_EQ(screen.windowTitle(), QStringLiteral("Label Design Screen"));
    EXPECT_EQ(screen.LayoutCaption(), QStringLiteral("Avery 5160  Address"));

    TKFont font;
    font.SetName(QStringLiteral("Liberation Mono"));
    font.SetSize(12);
    font.SetStyle(fsBold | fsItalic);
    screen.SetDefaultFont(font);
    EXPECT_EQ(screen.DefaultFontCaption(),
              QStringLiteral("Default Font: Liberation Mono, 12 pt , bold, italic"));
    EXPECT_EQ(p->PanelFont().Name(), QStringLiteral("Liberation Mono"));

    // The font dialog starts on the panel's font; Cancel keeps it.
    {
        ModalScript font([](QDialog& d) {
            auto* fd = qobject_cast<QFontDialog*>(&d);
            EXPECT_NE(fd, nullptr);
            if (!fd)
                return int(QDialog::Rejected);
            EXPECT_EQ(fd->currentFont().family(), QStringLiteral("Liberation Mono"));
            QFont f(QStringLiteral("Liberation Serif"));
            f.setPointSize(14);
            fd->setCurrentFont(f);
            return int(QDialog::Rejected);
        });
        screen.DefaultFontClick();
        EXPECT_EQ(font.dialogsShown, 1);
    }
    EXPECT_EQ(screen.DefaultFontCaption(),
              QStringLiteral("Default Font: Liberation Mono, 12 pt , bold, italic"));
    {
        ModalScript font([](QDialog& d) {
            auto* fd = qobject_cast<QFontDialog*>(&d);
            EXPECT_NE(fd, nullptr);
            if (!fd)
                return int(QDialog::Rejected);
            QFont f(QStringLiteral("Liberation Serif"));
            f.setPointSize(14);
            f.setBold(true);
            fd->setCurrentFont(f);
            return int(QDialog::Accepted);
        });
        screen.DefaultFontClick();
    }
    EXPECT_EQ(screen.DefaultFontCaption(),
              QStringLiteral("Default Font: Liberation Serif, 14 pt , bold"));
    EXPECT_FALSE(screen.SaveVisible()); // the default font is no change of the layout

    // A new text object takes the panel's font.
    screen.FormActivate();
    screen.SelectTool(psCounterLabel);
    Drag(p, QPoint(20, 20), QPoint(120, 40));
    const auto counters = ObjectsOf<TKCounterLabel>(p);
    ASSERT_EQ(counters.size(), 1);
    EXPECT_EQ(counters[0]->FontRef().Name(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(counters[0]->FontRef().Size(), 14);
    EXPECT_EQ(counters[0]->FontRef().Style(), fsBold);
}

TEST_F(DesignTest, EveryToolPlacesItsObjectAndReturnsToTheSelectionTool) {
    const struct {
        int state;
        const char* className;
    } tools[] = {
        {psLabel, "TKPLabel"},
        {psMultiLineLabel, "TKMultiLineLabel"},
        {psCounterLabel, "TKCounterLabel"},
        {psSymbolLabel, "TKSymbolLabel"},
        {psRectangle, "TKLabelShapes"},
        {psEllipse, "TKLabelShapes"},
        {psRoundRectangle, "TKLabelShapes"},
        {psLine, "TKLineShape"},
        {psImage, "TKImage"},
        {psPostNetBarCode, "TKPostNetBarCode"},
        {psDataLabel, "TKPDLabel"},
        {psMultiLineDataLabel, "TKDMultiLineLabel"},
        {psAddressLabel, "TKDMultiLineAddressLabel"},
    };
    TLabelDesignScreen screen(Stock(4.0, 1.5), nullptr);
    screen.show();
    TKLabelPanel* panel = screen.Panel();
    ASSERT_TRUE(screen.Activated());
    int expected = 0;
    for (const auto& t : tools) {
        QAbstractButton* button = screen.ToolButton(t.state);
        ASSERT_NE(button, nullptr) << t.className;
        button->click();
        EXPECT_EQ(panel->PanelState(), t.state) << t.className;
        EXPECT_FALSE(panel->Pointing());
        Drag(panel, QPoint(30, 30), QPoint(150, 70));
        ++expected;
        const QList<TKGraphicControl*> objects = panel->Objects();
        ASSERT_EQ(objects.size(), expected) << t.className;
        EXPECT_EQ(objects.last()->ClassName(), QLatin1String(t.className));
        EXPECT_TRUE(objects.last()->objectName().startsWith(QStringLiteral("Special")));
        EXPECT_EQ(panel->PanelState(), psPointing) << t.className;
        EXPECT_TRUE(panel->Pointing());
        EXPECT_TRUE(screen.ToolButton(psPointing)->isChecked()) << t.className;
    }
    const auto shapes = ObjectsOf<TKLabelShapes>(panel);
    ASSERT_EQ(shapes.size(), 3);
    EXPECT_EQ(shapes[0]->Shape(), stRectangle);
    EXPECT_EQ(shapes[1]->Shape(), stEllipse);
    EXPECT_EQ(shapes[2]->Shape(), stRoundRect);
    EXPECT_TRUE(screen.SaveVisible());
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('|').toStdString();
}

TEST_F(DesignTest, PostNetToolNeedsALabelAtLeast285InchesWide) {
    const struct {
        double width;
        bool accepted;
    } cases[] = {{2.625, false}, {2.849, false}, {2.85, true}, {4.0, true}};
    for (const auto& c : cases) {
        messages.clear();
        TLabelDesignScreen screen(Stock(c.width, 1.0), nullptr);
        screen.FormActivate();
        screen.ToolButton(psPostNetBarCode)->click();
        if (c.accepted) {
            EXPECT_EQ(screen.CurrentTool(), psPostNetBarCode) << c.width;
            EXPECT_TRUE(messages.shown.empty()) << c.width;
        } else {
            EXPECT_EQ(screen.CurrentTool(), psPointing) << c.width;
            EXPECT_TRUE(screen.ToolButton(psPointing)->isChecked());
            ASSERT_EQ(messages.shown.size(), 1u) << c.width;
            EXPECT_EQ(messages.shown[0].text, QLatin1String(kPostNetRefused));
            EXPECT_EQ(messages.shown[0].kind, ShownMessage::Information);
        }
    }
}

TEST_F(DesignTest, ZoomStepsByTenthsBetween40And160Percent) {
    TLabelDesignScreen screen(Stock(2.625, 1.0), nullptr);
    screen.FormActivate();
    TKLabelPanel* panel = screen.Panel();
    panel->SetPanelState(psRectangle);
    Drag(panel, QPoint(20, 20), QPoint(61, 51));
    TKGraphicControl* box = panel->Objects().value(0);
    ASSERT_NE(box, nullptr);
    const QRect atOne = box->BoundsRect();
    screen.SaveButton()->hide();

    for (int i = 1; i <= 7; ++i)
        screen.ZoomUpClick();
    EXPECT_EQ(screen.ZoomTenths(), 16);
    EXPECT_FLOAT_EQ(screen.Zoom(), 1.6f);
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("160%"));
    EXPECT_EQ(panel->size(), QSize(403, 154)); // nearest(252 x 1.6), nearest(96 x 1.6)

    // Down from 1.6 to 0.4 in twelve steps; a thirteenth does nothing.
    for (int i = 1; i <= 13; ++i)
        screen.ZoomDownClick();
    EXPECT_EQ(screen.ZoomTenths(), 4);
    EXPECT_FLOAT_EQ(screen.Zoom(), 0.4f);
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("40%"));

    // The numeric keypad's plus and minus act on release.
    QKeyEvent plusPress(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    QKeyEvent plusRelease(QEvent::KeyRelease, Qt::Key_Plus, Qt::KeypadModifier,
                          QStringLiteral("+"));
    QApplication::sendEvent(&screen, &plusPress);
    EXPECT_EQ(screen.ZoomTenths(), 4);
    QApplication::sendEvent(&screen, &plusRelease);
    EXPECT_EQ(screen.ZoomTenths(), 5);
    QKeyEvent minusRelease(QEvent::KeyRelease, Qt::Key_Minus, Qt::KeypadModifier,
                           QStringLiteral("-"));
    QApplication::sendEvent(panel, &minusRelease);
    EXPECT_EQ(screen.ZoomTenths(), 4);
    // The minus of the main keyboard is no zoom key.
    QKeyEvent mainMinus(QEvent::KeyRelease, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QApplication::sendEvent(&screen, &mainMinus);
    EXPECT_EQ(screen.ZoomTenths(), 4);

    // Back at 100% nothing has moved by rounding, and zooming was no change.
    for (int i = 0; i < 6; ++i)
        screen.ZoomUpClick();
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("100%"));
    EXPECT_EQ(panel->size(), QSize(252, 96));
    EXPECT_EQ(box->BoundsRect(), atOne);
    EXPECT_FALSE(screen.SaveVisible());
}

TEST_F(DesignTest, ZoomClearsTheSelection) {
    TLabelDesignScreen screen(Stock(2.625, 1.0), nullptr);
    screen.FormActivate();
    screen.SelectTool(psRectangle);
    Drag(screen.Panel(), QPoint(20, 20), QPoint(60, 50));
    screen.Panel()->SetSelection(screen.Panel()->Objects());
    ASSERT_EQ(screen.Panel()->Selection().size(), 1);
    screen.ZoomUpClick();
    EXPECT_TRUE(screen.Panel()->Selection().isEmpty());
}

TEST_F(DesignTest, SaveAppearsOnChangeOnly) {
    LabelDefinition def = Stock(2.625, 1.0);
    {
        // A change of the panel's objects.
        TLabelDesignScreen screen(def, nullptr);
        screen.FormActivate();
        EXPECT_FALSE(screen.SaveVisible());
        screen.ShowGridClick(true);
        screen.SnapToGridClick(true);
        screen.FieldNamesClick(true);
        screen.ZoomUpClick();
        screen.ZoomDownClick();
        screen.PanelMouseMoved(QPoint(10, 10));
        EXPECT_FALSE(screen.SaveVisible());
        EXPECT_TRUE(screen.Panel()->ShowGrid());
        EXPECT_TRUE(screen.Panel()->SnapToGrid());
        EXPECT_FALSE(screen.Panel()->DisplayDataValues());
        screen.FieldNamesClick(false);
        EXPECT_TRUE(screen.Panel()->DisplayDataValues());
        screen.SelectTool(psLine);
        Drag(screen.Panel(), QPoint(50, 10), QPoint(52, 80));
        EXPECT_TRUE(screen.SaveVisible());
    }
    {
        // Typing in the description.
        TLabelDesignScreen screen(def, nullptr);
        screen.FormActivate();
        EXPECT_FALSE(screen.SaveVisible());
        screen.SetDescriptionText(QStringLiteral("Return address"));
        EXPECT_TRUE(screen.SaveVisible());
    }
    {
        // A change of stock.
        TLabelDesignScreen screen(def, nullptr);
        screen.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
            d.lblHeight = 1.5;
            return true;
        });
        screen.FormActivate();
        screen.ChangeLayoutClick();
        EXPECT_TRUE(screen.SaveVisible());
    }
    {
        // A cancelled change of stock is none.
        TLabelDesignScreen screen(def, nullptr);
        screen.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
            d.lblHeight = 3;
            return false;
        });
        screen.FormActivate();
        screen.ChangeLayoutClick();
        EXPECT_FALSE(screen.SaveVisible());
        EXPECT_EQ(screen.Definition().lblHeight, 1.0);
        EXPECT_EQ(screen.Panel()->Height(), 96);
    }
}

TEST_F(DesignTest, NewLabelStartsWithAnAddressBlockAndTellsSo) {
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.isNew = true;
    def.descript = QStringLiteral("<New Label>");
    TLabelDesignScreen screen(def, nullptr);
    screen.FormActivate();
    const QList<TKGraphicControl*> objects = screen.Panel()->Objects();
    ASSERT_EQ(objects.size(), 1);
    auto* block = dynamic_cast<TKDMultiLineAddressLabel*>(objects[0]);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->Left(), 10);
    EXPECT_EQ(block->Top(), 10);
    EXPECT_EQ(block->objectName(), QStringLiteral("Special1"));
    EXPECT_LE(block->Left() + block->Width(), 252);
    EXPECT_EQ(screen.Panel()->Selection(), objects);
    EXPECT_EQ(screen.CurrentTool(), psPointing);
    EXPECT_TRUE(screen.SaveVisible());
    EXPECT_EQ(screen.DescriptionText(), QStringLiteral("<New Label>"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QLatin1String(kNewLabelMessage));
    EXPECT_EQ(messages.shown[0].kind, ShownMessage::Information);

    // Activation runs once.
    screen.FormActivate();
    EXPECT_EQ(screen.Panel()->Objects().size(), 1);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(DesignTest, DesignSaveCloseReopenAndModify) {
    OpenAddresses(3);
    // Design a new label from nothing: the address block plus more objects.
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.isNew = true;
    def.lblWidth = 4.0;
    def.horizPitch = 4.125;
    def.binary = NewLayoutFileName();
    ASSERT_EQ(def.binary, QStringLiteral("BIN00001.L"));
    const QString path = LayoutFilePath(def.binary);

    QList<QRect> designed;
    SetDesigner([&](TLabelDesignScreen& s) {
        s.FormActivate();
        s.SelectTool(psRectangle);
        Drag(s.Panel(), QPoint(4, 4), QPoint(380, 90));
        s.SelectTool(psCounterLabel);
        Drag(s.Panel(), QPoint(300, 60), QPoint(370, 80));
        s.SelectTool(psPostNetBarCode);
        Drag(s.Panel(), QPoint(20, 70), QPoint(250, 85));
        for (TKGraphicControl* o : s.Panel()->Objects())
            designed << o->BoundsRect();
        // Saved at any zoom, the layout is written at zoom 1.
        s.ZoomUpClick();
        s.ZoomUpClick();
        s.SetDescriptionText(QStringLiteral("Shipping label with a description longer than "
                                            "fifty characters"));
        s.SaveClick();
        return int(s.result());
    });
    ASSERT_TRUE(TLabelDesignScreen::Edit(def, &addresses));
    EXPECT_EQ(def.descript, QStringLiteral("Shipping label with a description longer than fift"));
    EXPECT_EQ(def.descript.size(), 50);
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_EQ(designed.size(), 4);

    // Reopened: the same objects at their zoom-1 bounds. Read objects are
    // named afresh, so from the first reload on the file stays byte for
    // byte the same however often it is opened and saved unchanged.
    def.isNew = false;
    QList<QRect> bounds;
    QStringList classes;
    auto reopenAndSave = [&] {
        bounds.clear();
        classes.clear();
        SetDesigner([&](TLabelDesignScreen& s) {
            s.FormActivate();
            for (TKGraphicControl* o : s.Panel()->Objects()) {
                bounds << o->BoundsRect();
                classes << o->ClassName();
            }
            EXPECT_FALSE(s.SaveVisible());
            s.ZoomDownClick();
            s.SaveClick();
            return int(s.result());
        });
        EXPECT_TRUE(TLabelDesignScreen::Edit(def, &addresses));
        return ReadAll(path);
    };
    const QByteArray once = reopenAndSave();
    EXPECT_EQ(classes, (QStringList{"TKDMultiLineAddressLabel", "TKLabelShapes", "TKCounterLabel",
                                    "TKPostNetBarCode"}));
    EXPECT_EQ(bounds, designed);
    EXPECT_EQ(bounds.value(1), QRect(QPoint(4, 4), QPoint(379, 89)));
    const QByteArray twice = reopenAndSave();
    EXPECT_EQ(bounds, designed);
    EXPECT_EQ(twice, once);

    // Modified: one object deleted; cancelling leaves the file alone.
    SetDesigner([](TLabelDesignScreen& s) {
        s.FormActivate();
        delete s.Panel()->Objects().value(1);
        s.CancelClick();
        return int(s.result());
    });
    EXPECT_FALSE(TLabelDesignScreen::Edit(def, &addresses));
    EXPECT_EQ(ReadAll(path), once);
    SetDesigner([](TLabelDesignScreen& s) {
        s.FormActivate();
        delete s.Panel()->Objects().value(1);
        s.SaveClick();
        return int(s.result());
    });
    ASSERT_TRUE(TLabelDesignScreen::Edit(def, &addresses));
    TLabelDesignScreen check(def, &addresses);
    check.LoadLayout(path);
    EXPECT_EQ(check.Panel()->Objects().size(), 3);
    EXPECT_TRUE(ObjectsOf<TKLabelShapes>(check.Panel()).isEmpty());
}

TEST_F(DesignTest, SaveDropsStrayObjects) {
    LabelDefinition def = Stock(2.625, 1.0);
    def.binary = QStringLiteral("BIN00007.L");
    SetDesigner([](TLabelDesignScreen& s) {
        s.FormActivate();
        TKLabelPanel* p = s.Panel();
        s.SelectTool(psRectangle);
        Drag(p, QPoint(10, 10), QPoint(60, 40));
        s.SelectTool(psRectangle);
        Drag(p, QPoint(100, 10), QPoint(160, 40));
        p->Objects().value(1)->SetLeft(p->Width() - 5); // beyond the right edge
        s.SaveClick();
        return int(s.result());
    });
    ASSERT_TRUE(TLabelDesignScreen::Edit(def, nullptr));
    TLabelDesignScreen check(def, nullptr);
    check.LoadLayout(LayoutFilePath(def.binary));
    ASSERT_EQ(check.Panel()->Objects().size(), 1);
    EXPECT_EQ(check.Panel()->Objects()[0]->Left(), 10);
}

TEST_F(DesignTest, EditRefusesUnsafeLayoutNamesAndReportsUnreadableLayouts) {
    int runs = 0;
    SetDesigner([&](TLabelDesignScreen& s) {
        ++runs;
        s.SaveClick();
        return int(s.result());
    });
    for (const char* name : {"../BIN00001.L", "sub/BIN1.L", ""}) {
        messages.clear();
        LabelDefinition def = Stock(2.625, 1.0);
        def.binary = QLatin1String(name);
        EXPECT_FALSE(TLabelDesignScreen::Edit(def, nullptr)) << name;
        EXPECT_EQ(messages.shown.size(), 1u) << name;
    }
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("BIN00001.L"))));

    // A layout file that is not a layout: the message, and the file stays.
    messages.clear();
    LabelDefinition def = Stock(2.625, 1.0);
    def.binary = QStringLiteral("BIN00002.L");
    const QString path = LayoutFilePath(def.binary);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a layout at all");
    }
    EXPECT_FALSE(TLabelDesignScreen::Edit(def, nullptr));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(ReadAll(path), QByteArray("not a layout at all"));
}

TEST_F(DesignTest, ChangeLayoutResizesClampsAndUpdatesTheCaption) {
    LabelDefinition def = Stock(4.0, 1.5);
    TLabelDesignScreen screen(def, nullptr);
    screen.FormActivate();
    TKLabelPanel* p = screen.Panel();
    screen.SelectTool(psRectangle);
    Drag(p, QPoint(300, 100), QPoint(370, 130));
    screen.SelectTool(psEllipse);
    Drag(p, QPoint(10, 10), QPoint(50, 40));
    ASSERT_EQ(p->Objects().size(), 2);

    screen.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
        d.MakeUserDefined();
        d.lblWidth = 2.0;
        d.lblHeight = 1.0;
        d.lblShape = QStringLiteral("EL");
        return true;
    });
    screen.ChangeLayoutClick();
    EXPECT_EQ(p->size(), QSize(192, 96));
    EXPECT_EQ(p->Shape(), lsEllipse);
    EXPECT_EQ(p->Objects()[0]->Left(), 192 - 20);
    EXPECT_EQ(p->Objects()[0]->Top(), 96 - 10);
    EXPECT_EQ(p->Objects()[1]->BoundsRect(), QRect(10, 10, 40, 30));
    EXPECT_EQ(screen.LayoutCaption(), QStringLiteral("User Defined Label Layout"));
    EXPECT_EQ(screen.Definition().manufac, QStringLiteral("USER"));
    EXPECT_TRUE(messages.shown.empty());

    // At another zoom the new size applies and the zoom stays.
    screen.ZoomUpClick();
    screen.ZoomUpClick();
    screen.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
        LabelTemplate tpl;
        static_cast<LabelStock&>(tpl) = d;
        tpl.descript = QStringLiteral("Avery 5163  Shipping");
        tpl.manufac = QStringLiteral("AVERY");
        tpl.lblWidth = 4.0;
        tpl.lblHeight = 2.0;
        tpl.lblShape = QStringLiteral("SR");
        d.TakeTemplate(tpl);
        return true;
    });
    screen.ChangeLayoutClick();
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("120%"));
    EXPECT_EQ(p->size(), QSize(461, 230)); // nearest(384 x 1.2), nearest(192 x 1.2)
    EXPECT_EQ(p->Shape(), lsRectangle);
    EXPECT_EQ(screen.LayoutCaption(), QStringLiteral("Avery 5163  Shipping"));
}

TEST_F(DesignTest, NarrowingBelow285InchesRemovesThePostNetBarCode) {
    const struct {
        double newWidth;
        bool removed;
    } cases[] = {{2.625, true}, {2.85, false}, {3.5, false}};
    for (const auto& c : cases) {
        messages.clear();
        TLabelDesignScreen screen(Stock(4.0, 1.0), nullptr);
        screen.FormActivate();
        TKLabelPanel* p = screen.Panel();
        screen.SelectTool(psPostNetBarCode);
        Drag(p, QPoint(10, 60), QPoint(240, 75));
        screen.SelectTool(psRectangle);
        Drag(p, QPoint(5, 5), QPoint(40, 30));
        p->SetSelection(p->Objects());
        ASSERT_EQ(ObjectsOf<TKPostNetBarCode>(p).size(), 1);
        const double w = c.newWidth;
        screen.SetLayoutChooser([w](LabelDefinition& d, QWidget*) {
            d.lblWidth = w;
            return true;
        });
        screen.ChangeLayoutClick();
        if (c.removed) {
            EXPECT_TRUE(ObjectsOf<TKPostNetBarCode>(p).isEmpty()) << w;
            ASSERT_EQ(messages.shown.size(), 1u) << w;
            EXPECT_EQ(messages.shown[0].text,
                      QStringLiteral("Warning: This label is not wide enough for a \rpostnet "
                                     "barcode. At least 2.85 inches are needed"));
        } else {
            EXPECT_EQ(ObjectsOf<TKPostNetBarCode>(p).size(), 1) << w;
            EXPECT_TRUE(messages.shown.empty()) << w;
        }
        EXPECT_EQ(ObjectsOf<TKLabelShapes>(p).size(), 1) << w;
        EXPECT_TRUE(p->Selection().isEmpty());
    }
}

TEST_F(DesignTest, PositionCaptionsFollowTheMouseOrTheSelection) {
    TLabelDesignScreen screen(Stock(4.0, 1.5), nullptr);
    screen.show();
    TKLabelPanel* p = screen.Panel();
    QTest::mouseMove(p, QPoint(48, 24));
    EXPECT_EQ(screen.LeftCaption(), QStringLiteral("Left: 0.50"));
    EXPECT_EQ(screen.TopCaption(), QStringLiteral("Top: 0.25"));
    screen.PanelMouseMoved(QPoint(100, 5));
    EXPECT_EQ(screen.LeftCaption(), QStringLiteral("Left: 1.04"));
    EXPECT_EQ(screen.TopCaption(), QStringLiteral("Top: 0.05"));

    // With a selection: the selection frame's corner, whatever the mouse.
    screen.SelectTool(psRectangle);
    Drag(p, QPoint(98, 50), QPoint(150, 90));
    p->SetSelection(p->Objects());
    screen.PanelMouseMoved(QPoint(300, 120));
    EXPECT_EQ(screen.LeftCaption(), QStringLiteral("Left: 1.00")); // (98 - 2) / 96
    EXPECT_EQ(screen.TopCaption(), QStringLiteral("Top: 0.50"));   // (50 - 2) / 96

    // Zoomed, the captions still read inches on the label.
    p->ClearSelection();
    screen.ZoomUpClick();
    screen.ZoomUpClick(); // 120%
    screen.PanelMouseMoved(QPoint(144, 0));
    EXPECT_EQ(screen.LeftCaption(), QStringLiteral("Left: 1.25"));
}

TEST_F(DesignTest, RecordButtonsRefreshDataAndStepCounters) {
    OpenAddresses(8);
    TLabelDesignScreen screen(Stock(4.0, 1.5), &addresses);
    screen.FormActivate();
    TKLabelPanel* p = screen.Panel();
    screen.SelectTool(psCounterLabel);
    Drag(p, QPoint(10, 10), QPoint(100, 30));
    auto* counter = ObjectsOf<TKCounterLabel>(p).value(0);
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->Value(), 1000);
    screen.SaveButton()->hide();

    for (int i = 0; i < 5; ++i)
        screen.NextRecordClick();
    EXPECT_EQ(counter->Value(), 1005);
    EXPECT_EQ(addresses.asString(QStringLiteral("LNAME")), QStringLiteral("Name6"));
    screen.PriorRecordClick();
    EXPECT_EQ(counter->Value(), 1006);
    EXPECT_EQ(addresses.asString(QStringLiteral("LNAME")), QStringLiteral("Name5"));
    screen.LastRecordClick();
    EXPECT_EQ(counter->Value(), 1007);
    EXPECT_EQ(addresses.asString(QStringLiteral("LNAME")), QStringLiteral("Name8"));
    screen.FirstRecordClick();
    EXPECT_EQ(counter->Value(), 1000);
    EXPECT_EQ(addresses.asString(QStringLiteral("LNAME")), QStringLiteral("Name1"));
    EXPECT_FALSE(screen.SaveVisible());
}

TEST_F(DesignTest, RecordButtonsNeedAnOpenAddressFile) {
    TLabelDesignScreen screen(Stock(2.625, 1.0), nullptr);
    screen.FormActivate();
    screen.SelectTool(psCounterLabel);
    Drag(screen.Panel(), QPoint(10, 10), QPoint(100, 30));
    auto* counter = ObjectsOf<TKCounterLabel>(screen.Panel()).value(0);
    ASSERT_NE(counter, nullptr);
    screen.NextRecordClick();
    EXPECT_EQ(counter->Value(), 1000);
}

TEST_F(DesignTest, PageKeysScrollAndOtherKeysReachThePanel) {
    TLabelDesignScreen screen(Stock(8.0, 6.0), nullptr);
    screen.resize(500, 400);
    screen.show();
    QApplication::processEvents();
    QScrollArea* box = screen.findChild<QScrollArea*>();
    ASSERT_NE(box, nullptr);
    QScrollBar* bar = box->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    QTest::keyClick(&screen, Qt::Key_End);
    EXPECT_EQ(bar->value(), bar->maximum());
    QTest::keyClick(&screen, Qt::Key_PageUp);
    EXPECT_EQ(bar->value(), bar->maximum() - bar->singleStep());
    QTest::keyClick(&screen, Qt::Key_Home);
    EXPECT_EQ(bar->value(), 0);
    QTest::keyClick(&screen, Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), bar->singleStep());

    // Other keys go to the panel: they do not close the window.
    QTest::keyClick(&screen, Qt::Key_Escape);
    QTest::keyClick(&screen, Qt::Key_Return);
    EXPECT_TRUE(screen.isVisible());
    EXPECT_EQ(screen.result(), 0);
}

TEST_F(DesignTest, EditingKeysReachThePanelThroughTheWindow) {
    TLabelDesignScreen screen(Stock(4.0, 1.5), nullptr);
    screen.show();
    TKLabelPanel* p = screen.Panel();
    screen.SelectTool(psRectangle);
    Drag(p, QPoint(40, 20), QPoint(100, 60));
    TKGraphicControl* box = p->Objects().value(0);
    ASSERT_NE(box, nullptr);
    p->SetSelection({box});
    QTest::keyClick(&screen, Qt::Key_Right);
    EXPECT_EQ(box->Left(), 41);
    QTest::keyClick(p, Qt::Key_Down);
    EXPECT_EQ(box->Top(), 21);
    QTest::keyClick(&screen, Qt::Key_Delete);
    EXPECT_TRUE(p->Objects().isEmpty());

    // While the description has the focus, keys are the edit's.
    screen.SelectTool(psRectangle);
    Drag(p, QPoint(40, 20), QPoint(100, 60));
    p->SetSelection(p->Objects());
    QLineEdit* description = screen.findChild<QLineEdit*>();
    ASSERT_NE(description, nullptr);
    description->setFocus();
    QTest::keyClick(description, Qt::Key_Delete);
    QTest::keyClick(description, Qt::Key_End);
    EXPECT_EQ(p->Objects().size(), 1);
}

TEST_F(DesignTest, ScreenshotOfTheDesigner) {
    OpenAddresses(3);
    addresses.first();
    ASSERT_TRUE(addresses.edit());
    addresses.setString(QStringLiteral("FNAME"), QStringLiteral("Ada"));
    addresses.setString(QStringLiteral("LNAME"), QStringLiteral("Lovelace"));
    addresses.setString(QStringLiteral("CITY"), QStringLiteral("Springfield"));
    addresses.setString(QStringLiteral("STATE"), QStringLiteral("IL"));
    addresses.setString(QStringLiteral("ZIP"), QStringLiteral("62704"));
    ASSERT_TRUE(addresses.post());
    LabelDefinition def = Stock(4.0, 2.0);
    def.isNew = true;
    TLabelDesignScreen screen(def, &addresses);
    screen.resize(820, 600);
    screen.show();
    TKLabelPanel* p = screen.Panel();
    screen.SelectTool(psRoundRectangle);
    Drag(p, QPoint(4, 4), QPoint(380, 188));
    if (auto* frame = ObjectsOf<TKLabelShapes>(p).value(0))
        frame->SetTransparent(true);
    screen.SelectTool(psLine);
    Drag(p, QPoint(280, 20), QPoint(282, 110));
    screen.SelectTool(psCounterLabel);
    Drag(p, QPoint(292, 24), QPoint(370, 40));
    screen.SelectTool(psPostNetBarCode);
    Drag(p, QPoint(20, 150), QPoint(300, 166));
    screen.ShowGridClick(true);
    p->SetSelection({p->Objects().value(2)});
    screen.PanelMouseMoved(QPoint(100, 50));
    QApplication::processEvents();

    const QImage shot = screen.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    const QString dir = qEnvironmentVariable("QB_BINARY_DIR", home.path());
    EXPECT_TRUE(shot.save(dir + QStringLiteral("/design_screen.png")));

    // The panel shows its objects: dark pixels inside the label.
    const QImage panel = p->grab().toImage();
    int dark = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            if (qGray(panel.pixel(x, y)) < 80)
                ++dark;
    EXPECT_GT(dark, 200);
    EXPECT_EQ(panel.size(), QSize(384, 192));
}

TEST_F(DesignTest, LabelArtShowsLightGreyUnderTheObjects) {
    LabelDefinition def = Stock(2.625, 1.0);
    def.art = QStringLiteral("av5160.bmp"); // not a picture the program carries
    {
        TLabelDesignScreen screen(def, nullptr);
        screen.FormActivate();
        EXPECT_TRUE(screen.ArtEnabled());
        EXPECT_FALSE(screen.ArtShown());
    }
    def.art = QStringLiteral("av5196.bmp");
    def.lblWidth = 2.75;
    def.lblHeight = 2.75;
    TLabelDesignScreen screen(def, nullptr);
    EXPECT_FALSE(screen.ArtEnabled()); // before the first activation
    screen.FormActivate();
    EXPECT_TRUE(screen.ArtEnabled());
    EXPECT_TRUE(screen.ArtButton()->isChecked());
    ASSERT_TRUE(screen.ArtShown());
    const QImage art = screen.Panel()->Picture().Image();
    EXPECT_EQ(art.size(), QSize(264, 264));
    int grey = 0, other = 0;
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) {
            const QRgb c = art.pixel(x, y) & 0xFFFFFF;
            if (c == 0xC0C0C0)
                ++grey;
            else if (c != 0xFFFFFF)
                ++other;
        }
    EXPECT_GT(grey, 0);
    EXPECT_EQ(other, 0);

    // Zoomed, the art keeps the size of the label at zoom 1.
    screen.ZoomUpClick();
    screen.ShowArtClick(false);
    EXPECT_FALSE(screen.ArtShown());
    screen.ShowArtClick(true);
    EXPECT_EQ(screen.Panel()->Picture().Image().size(), QSize(264, 264));
    EXPECT_FALSE(screen.SaveVisible());

    // A stock without art switches the button off and empties the picture.
    screen.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
        d.MakeUserDefined();
        return true;
    });
    screen.ChangeLayoutClick();
    EXPECT_FALSE(screen.ArtEnabled());
    EXPECT_FALSE(screen.ArtButton()->isChecked());
    EXPECT_FALSE(screen.ArtShown());
}

TEST_F(DesignTest, ScreenshotWithLabelArtZoomed) {
    LabelDefinition def = Stock(2.75, 2.75);
    def.art = QStringLiteral("AV5196.BMP");
    def.lblShape = QStringLiteral("SR");
    TLabelDesignScreen screen(def, nullptr);
    screen.resize(820, 640);
    screen.show();
    screen.SelectTool(psEllipse);
    Drag(screen.Panel(), QPoint(60, 60), QPoint(200, 200));
    for (int i = 0; i < 6; ++i)
        screen.ZoomUpClick();
    QApplication::processEvents();
    const QImage shot = screen.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    const QString dir = qEnvironmentVariable("QB_BINARY_DIR", home.path());
    EXPECT_TRUE(shot.save(dir + QStringLiteral("/design_screen_art.png")));
    // The art is drawn over the whole zoomed panel.
    const QImage panel = screen.Panel()->grab().toImage();
    EXPECT_EQ(panel.size(), QSize(422, 422)); // nearest(264 x 1.6)
    int grey = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            if ((panel.pixel(x, y) & 0xFFFFFF) == 0xC0C0C0)
                ++grey;
    EXPECT_GT(grey, 100);
    EXPECT_EQ(screen.ZoomCaption(), QStringLiteral("160%"));
}

TEST_F(DesignTest, ALayoutThatCannotBeWrittenKeepsTheWindowOpen) {
    OpenAddresses(0);
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.isNew = true;
    def.binary = QStringLiteral("BIN00003.L");
    // A directory of that name: the file cannot be created.
    ASSERT_TRUE(QDir(SystemDirectory()).mkdir(def.binary));
    bool stayedOpen = false;
    SetDesigner([&](TLabelDesignScreen& s) {
        s.FormActivate();
        messages.clear();
        s.SaveClick();
        stayedOpen = s.result() != QDialog::Accepted;
        EXPECT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown.empty() ? -1 : int(messages.shown[0].kind),
                  int(ShownMessage::Warning));
        EXPECT_EQ(s.Panel()->Objects().size(), 1); // the work is still there
        s.CancelClick();
        return int(s.result());
    });
    EXPECT_FALSE(TLabelDesignScreen::Edit(def, &addresses));
    EXPECT_TRUE(stayedOpen);
}

TEST_F(DesignTest, AddressBlockOverAnEmptyAddressFileSurvivesSaving) {
    OpenAddresses(0);
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.isNew = true;
    def.binary = QStringLiteral("BIN00004.L");
    SetDesigner([](TLabelDesignScreen& s) {
        s.FormActivate();
        s.SelectTool(psAddressLabel);
        Drag(s.Panel(), QPoint(20, 50), QPoint(200, 52));
        for (TKGraphicControl* o : s.Panel()->Objects())
            EXPECT_GE(o->Height(), 15) << o->objectName().toStdString();
        s.SaveClick();
        return int(s.result());
    });
    ASSERT_TRUE(TLabelDesignScreen::Edit(def, &addresses));
    TLabelDesignScreen check(def, &addresses);
    check.LoadLayout(LayoutFilePath(def.binary));
    EXPECT_EQ(ObjectsOf<TKDMultiLineAddressLabel>(check.Panel()).size(), 2);
}

TEST_F(DesignTest, DesignFromNothingThroughTheLabelListThenReopenAndModify) {
    OpenAddresses(2);
    {
        TLabelSetupScreen list(&addresses);
        ASSERT_TRUE(list.OpenLabelTable());
        SetDesigner([this](TLabelDesignScreen& s) {
            s.FormActivate();
            EXPECT_TRUE(messages.sawText(QLatin1String(kNewLabelMessage)));
            s.SetLayoutChooser([](LabelDefinition& d, QWidget*) {
                d.MakeUserDefined();
                d.lblWidth = 4.0;
                d.horizPitch = 4.0;
                d.lblHeight = 1.5;
                d.vertPitch = 1.5;
                d.lblShape = QStringLiteral("SR");
                return true;
            });
            s.ChangeLayoutClick();
            s.SelectTool(psRectangle);
            Drag(s.Panel(), QPoint(2, 2), QPoint(380, 140));
            s.SelectTool(psCounterLabel);
            Drag(s.Panel(), QPoint(300, 110), QPoint(370, 130));
            s.SetDescriptionText(QStringLiteral("Parcel label"));
            s.SaveClick();
            return int(s.result());
        });
        list.NewClick();
        EXPECT_EQ(list.Descriptions(), QStringList{QStringLiteral("Parcel label")});
    }
    // The program closed and started again: the definition and its layout
    // come back from the files.
    LabelDefinition stored;
    {
        TLabelSetupScreen list(&addresses);
        ASSERT_TRUE(list.OpenLabelTable());
        stored = list.CurrentDefinition();
        EXPECT_EQ(stored.descript, QStringLiteral("Parcel label"));
        EXPECT_EQ(stored.manufac, QStringLiteral("USER"));
        EXPECT_DOUBLE_EQ(stored.lblWidth, 4.0);
        EXPECT_DOUBLE_EQ(stored.lblHeight, 1.5);
        EXPECT_EQ(stored.lblShape, QStringLiteral("SR"));
        EXPECT_TRUE(LayoutFileExists(stored.binary));
        SetDesigner([](TLabelDesignScreen& s) {
            s.FormActivate();
            EXPECT_EQ(s.Panel()->size(), QSize(384, 144));
            EXPECT_EQ(s.Panel()->Shape(), lsRectangle);
            EXPECT_EQ(s.LayoutCaption(), QStringLiteral("User Defined Label Layout"));
            QStringList classes;
            for (TKGraphicControl* o : s.Panel()->Objects())
                classes << o->ClassName();
            EXPECT_EQ(classes,
                      (QStringList{"TKDMultiLineAddressLabel", "TKLabelShapes", "TKCounterLabel"}));
            delete ObjectsOf<TKCounterLabel>(s.Panel()).value(0);
            s.SelectTool(psLine);
            Drag(s.Panel(), QPoint(200, 10), QPoint(202, 100));
            s.SetDescriptionText(QStringLiteral("Parcel label, no counter"));
            s.SaveClick();
            return int(s.result());
        });
        list.ModifyClick();
        EXPECT_EQ(list.Descriptions(), QStringList{QStringLiteral("Parcel label, no counter")});
        EXPECT_EQ(list.CurrentDefinition().binary, stored.binary);
    }
    TLabelDesignScreen check(stored, &addresses);
    check.LoadLayout(LayoutFilePath(stored.binary));
    QStringList classes;
    for (TKGraphicControl* o : check.Panel()->Objects())
        classes << o->ClassName();
    EXPECT_EQ(classes, (QStringList{"TKDMultiLineAddressLabel", "TKLabelShapes", "TKLineShape"}));
}

TEST_F(DesignTest, FieldNamesButtonShowsNamesInsteadOfValues) {
    OpenAddresses(1);
    TLabelDesignScreen screen(Stock(4.0, 1.5), &addresses);
    screen.FormActivate();
    screen.SelectTool(psAddressLabel);
    Drag(screen.Panel(), QPoint(10, 10), QPoint(200, 80));
    auto* block = ObjectsOf<TKDMultiLineAddressLabel>(screen.Panel()).value(0);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(block->Lines().join('|').contains(QStringLiteral("1 Main Street")));
    screen.FieldNamesButton()->click();
    EXPECT_FALSE(screen.Panel()->DisplayDataValues());
    EXPECT_EQ(block->Lines(), QStringList{QStringLiteral("[Address Label]")});
    screen.FieldNamesButton()->click();
    EXPECT_TRUE(screen.Panel()->DisplayDataValues());
    EXPECT_TRUE(block->Lines().join('|').contains(QStringLiteral("1 Main Street")));
}
