// Selection and editing on a panel, driven by simulated mouse and keys:
// selection marks, click / Shift / rubber-band selection, dragging and sizing
// with the grab zones and the grid, keyboard moves, align and centre, stacking
// order, the clipboard file with its paste guard, clone, lock and
// selectability, the popup menus and the font for the selection.
#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/handles.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "labelobjects/textdialogs.h"

#include <QDir>
#include <QFile>
#include <QFontDialog>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>

using namespace qb;

namespace {

QStringList Captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.resize(400, 300);
        panel = new TKLabelPanel(&form);
        panel->resize(300, 150);
        panel->PopupHook = [this](QMenu* menu, const QPoint&) { opened << menu; };
        panel->LabelChangedEvent = [this] { ++changes; };
        panel->Clock = [this] { return clock; };
        QFile::remove(panel->ClipboardFile());
    }
    void TearDown() override { delete panel; }

    TKLabelShapes* Shape(const QRect& r) {
        auto* o = new TKLabelShapes;
        panel->AddObject(o, r);
        o->SetBounds(r.x(), r.y(), r.width(), r.height()); // below the tools' minimum too
        return o;
    }
    // A press on the holder at a point of the panel.
    QPoint OnHolder(const QPoint& panelPos) const {
        return panelPos - panel->Handle()->HolderRect().topLeft();
    }
    // Press, move after `moveDelay` ms, release after `releaseDelay` more.
    void DragHolder(const QPoint& from, const QPoint& to, int moveDelay = 20,
                    int releaseDelay = 200) {
        TKHandle* h = panel->Handle();
        const QPoint base = h->HolderRect().topLeft();
        QTest::mousePress(h, Qt::LeftButton, {}, from - base);
        QTest::mouseMove(h, to - base, moveDelay);
        QTest::mouseRelease(h, Qt::LeftButton, {}, to - base, releaseDelay);
    }

    QWidget form;
    TKLabelPanel* panel = nullptr;
    QList<QMenu*> opened;
    int changes = 0;
    qint64 clock = 5000;
};

// ---- marks and holder -------------------------------------------------------

TEST_F(EditingTest, MarkSquaresSitInsideTheMarkRectangle) {
    // R = (8, 18) - (42, 37) for an object at (10, 20) of 30 x 15.
    const QList<QRect> single = TKHandle::MarkSquares(QRect(10, 20, 30, 15), true);
    EXPECT_EQ(single, (QList<QRect>{QRect(8, 18, 5, 5), QRect(37, 18, 5, 5), QRect(8, 32, 5, 5),
                                    QRect(37, 32, 5, 5),
                                    // middles: x = 8 + 34 / 2 - 2, y = 18 + 19 / 2 - 2
                                    QRect(23, 18, 5, 5), QRect(23, 32, 5, 5), QRect(8, 25, 5, 5),
                                    QRect(37, 25, 5, 5)}));
    EXPECT_EQ(TKHandle::MarkSquares(QRect(10, 20, 30, 15), false), single.mid(0, 4));
}

TEST_F(EditingTest, MarksAreDrawnInTheHoldersColours) {
    panel->SetShape(lsRectangle);
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 40, 40, 30));
    a->SetTransparent(true);
    b->SetTransparent(true);
    a->Pen()->SetStyle(psClear);
    b->Pen()->SetStyle(psClear);
    panel->SetSelection({a});
    QImage img = panel->grab().toImage();
    EXPECT_EQ(img.pixelColor(19, 19), QColor(Qt::black)) << "corner mark";
    EXPECT_EQ(img.pixelColor(39, 19), QColor(Qt::black)) << "top middle mark";
    EXPECT_EQ(img.pixelColor(98, 38), QColor(Qt::white)) << "b is not selected";
    panel->SetSelection({a, b});
    img = panel->grab().toImage();
    EXPECT_EQ(img.pixelColor(19, 19), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(img.pixelColor(99, 39), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(img.pixelColor(39, 19), QColor(Qt::white)) << "no middle marks with several";
    panel->ClearSelection();
    img = panel->grab().toImage();
    EXPECT_EQ(img.pixelColor(19, 19), QColor(Qt::white));
}

TEST_F(EditingTest, HolderCoversTheSelectionAndShrinksWhenEmpty) {
    auto* a = Shape(QRect(10, 20, 30, 15));
    auto* b = Shape(QRect(50, 5, 20, 40));
    TKHandle* h = panel->Handle();
    EXPECT_FALSE(h->isEnabled());
    EXPECT_EQ(h->HolderRect().size(), QSize(24, 24));
    panel->SetSelection({a});
    EXPECT_EQ(h->HolderRect(), QRect(8, 18, 35, 20));
    EXPECT_TRUE(h->isEnabled());
    EXPECT_FALSE(h->isHidden());
    panel->SetSelection({a, b});
    // left 8, top 3, right max(43 - 3, 70) = 70, bottom max(38 - 3, 45) = 45
    EXPECT_EQ(h->HolderRect(), QRect(8, 3, 70 - 8 + 3, 45 - 3 + 3));
    EXPECT_EQ(h->geometry(), h->HolderRect());
    h->RemoveObject(b);
    EXPECT_EQ(h->HolderRect(), QRect(8, 18, 35, 20));
    h->RemoveObject(a);
    EXPECT_TRUE(h->isHidden());
    EXPECT_FALSE(h->isEnabled());
    EXPECT_EQ(h->HolderRect().size(), QSize(24, 24));
    // The holder and the overlay stay above objects added later.
    Shape(QRect(0, 0, 20, 20));
    const QObjectList kids = panel->children();
    EXPECT_GT(kids.indexOf(h), kids.indexOf(panel->Objects().last()));
}

// ---- selecting --------------------------------------------------------------

TEST_F(EditingTest, ClickAndShiftClickSelect) {
    auto* a = Shape(QRect(10, 10, 40, 20));
    auto* b = Shape(QRect(100, 10, 40, 20));
    auto* c = Shape(QRect(200, 10, 40, 20));
    QTest::mousePress(a, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a}));
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{b}));
    QTest::mousePress(c, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mouseRelease(c, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mousePress(a, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    QTest::mouseRelease(a, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{b, c, a})) << "selection order";
    // The holder now covers all three; Shift + press on it over c removes c.
    TKHandle* h = panel->Handle();
    QTest::mousePress(h, Qt::LeftButton, Qt::ShiftModifier, OnHolder(QPoint(210, 15)));
    QTest::mouseRelease(h, Qt::LeftButton, Qt::ShiftModifier, OnHolder(QPoint(210, 15)));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{b, a}));
    // A plain press on an object inside the holder's area that is not selected
    // selects it alone.
    QTest::mousePress(h, Qt::LeftButton, {}, OnHolder(QPoint(210, 15)));
    QTest::mouseRelease(h, Qt::LeftButton, {}, OnHolder(QPoint(210, 15)));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{c}));
}

TEST_F(EditingTest, RightClickOpensTheObjectMenuOnlyForASingleSelection) {
    auto* a = Shape(QRect(10, 10, 40, 20));
    auto* b = Shape(QRect(100, 10, 40, 20));
    QTest::mouseClick(a, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(opened, (QList<QMenu*>{a->PopupMenu()}));
    opened.clear();
    QTest::mouseClick(b, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_EQ(panel->Selection().size(), 2);
    EXPECT_TRUE(opened.isEmpty()) << "two selected: no menu";
    // Right button on the empty panel opens the panel menu.
    QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(250, 120));
    EXPECT_EQ(opened, (QList<QMenu*>{panel->PanelPopupMenu()}));
    // A double-click on an object opens its menu.
    opened.clear();
    panel->ClearSelection();
    QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(opened, (QList<QMenu*>{b->PopupMenu()}));
}

TEST_F(EditingTest, RubberBandSelectsOrTogglesIntersectingObjects) {
    auto* a = Shape(QRect(10, 10, 40, 20));
    auto* b = Shape(QRect(60, 10, 40, 20));
    auto* c = Shape(QRect(10, 80, 40, 20));
    auto* d = Shape(QRect(200, 80, 40, 20));
    d->SetUnselectable(true);
    auto band = [&](QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
        QTest::mousePress(panel, Qt::LeftButton, mods, from);
        QTest::mouseMove(panel, (from + to) / 2, 5);
        EXPECT_TRUE(panel->RubberBanding());
        QTest::mouseMove(panel, to, 5);
        QTest::mouseRelease(panel, Qt::LeftButton, mods, to);
        EXPECT_FALSE(panel->RubberBanding());
    };
    // Dragged up and to the left: the band is normalised; touching is enough.
    band(QPoint(70, 90), QPoint(45, 25), {});
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a, b, c}));
    band(QPoint(5, 5), QPoint(20, 15), {});
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a}));
    // With Shift: a is toggled off, b added.
    band(QPoint(30, 0), QPoint(70, 12), Qt::ShiftModifier);
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{b}));
    // An unselectable object is never caught, and a press on it starts a band.
    QTest::mousePress(d, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(panel->RubberBanding());
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(260, 140));
    EXPECT_TRUE(panel->Selection().isEmpty());
    // A click on the empty panel clears the selection.
    panel->SetSelection({a});
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(150, 140));
    EXPECT_TRUE(panel->Selection().isEmpty());
}

TEST_F(EditingTest, BandsStartedOverTheHolderReachThePanel) {
    auto* a = Shape(QRect(20, 20, 100, 60));
    panel->SetSelection({a});
    TKHandle* h = panel->Handle();
    // A tool draws a new object over the selected one.
    panel->SetPanelState(psRectangle);
    QRect dropped;
    panel->DroppedObjectEvent = [&](const QRect& r) { dropped = r; };
    QTest::mousePress(h, Qt::LeftButton, {}, OnHolder(QPoint(50, 40)));
    QTest::mouseMove(h, OnHolder(QPoint(90, 70)), 20);
    QTest::mouseRelease(h, Qt::LeftButton, {}, OnHolder(QPoint(90, 70)), 20);
    EXPECT_EQ(dropped, QRect(50, 40, 40, 30));
    EXPECT_EQ(panel->Objects().size(), 2);
    EXPECT_FALSE(panel->RubberBanding());
    panel->SetPanelState(psPointing);
}

TEST_F(EditingTest, SelectAllAfterMarkAllUnselectableSelectsNothing) {
    auto* a = Shape(QRect(10, 10, 40, 20));
    auto* b = Shape(QRect(60, 10, 40, 20));
    panel->SelectAll();
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a, b}));
    panel->MarkAllUnselectable();
    EXPECT_TRUE(panel->Selection().isEmpty());
    panel->SelectAll();
    EXPECT_TRUE(panel->Selection().isEmpty());
    panel->MarkAllSelectable();
    panel->SelectAll();
    EXPECT_EQ(panel->Selection().size(), 2);
    // The object menu's "Unselectable" drops the object from the selection.
    b->MenuAction("Unselectable")->trigger();
    EXPECT_TRUE(b->Unselectable());
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a}));
}

// ---- dragging ---------------------------------------------------------------

TEST_F(EditingTest, GrabZones) {
    const struct {
        QPoint p;
        GrabZone zone;
    } cases[] = {
        {{0, 0}, GrabZone::TopLeft},        {{7, -7}, GrabZone::TopLeft},
        {{100, 50}, GrabZone::BottomRight}, {{100, 0}, GrabZone::TopRight},
        {{0, 50}, GrabZone::BottomLeft},    {{50, 0}, GrabZone::Top},
        {{45, 3}, GrabZone::Top},           {{44, 3}, GrabZone::Move},
        {{50, 50}, GrabZone::Bottom},       {{0, 25}, GrabZone::Left},
        {{100, 25}, GrabZone::Right},       {{50, 25}, GrabZone::Move},
        {{8, 0}, GrabZone::Move},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TKHandle::ZoneAt(c.p.x(), c.p.y(), 100, 50), c.zone) << c.p.x() << "," << c.p.y();
    // On a small holder the later tests win: the top-left corner is the left middle.
    EXPECT_EQ(TKHandle::ZoneAt(0, 0, 10, 10), GrabZone::Left);
}

TEST_F(EditingTest, SnappingArithmetic) {
    const struct {
        int v, step, out;
    } cases[] = {{13, 8, 8},   {21, 8, 16}, {16, 8, 16}, {7, 8, 0},  {-3, 8, 0},
                 {-13, 8, -8}, {13, 4, 12}, {13, 1, 13}, {-5, 1, -5}};
    for (const auto& c : cases)
        EXPECT_EQ(TKHandle::Snap(c.v, c.step), c.out) << c.v << "/" << c.step;
    // Moving: left and top land on the grid; sizing right/bottom snaps the size;
    // sizing left/top keeps the opposite edge.
    const QRect inner(10, 20, 30, 17);
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::Move, 3, 1, 8, 8), QRect(8, 16, 30, 17));
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::Move, 3, 1, 1, 1), QRect(13, 21, 30, 17));
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::BottomRight, 5, 6, 8, 8), QRect(10, 20, 32, 16));
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::Left, 6, 9, 8, 8), QRect(16, 20, 24, 17));
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::Top, 6, 4, 1, 1), QRect(10, 24, 30, 13));
    EXPECT_EQ(TKHandle::DragInner(inner, GrabZone::Left, 50, 0, 1, 1), QRect(40, 20, 0, 17))
        << "the left edge stops at the right one";
}

TEST_F(EditingTest, DraggingMovesUnlockedObjectsByTheMouseDisplacement) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 40, 40, 30));
    auto* locked = Shape(QRect(160, 60, 20, 20));
    locked->SetLocked(true);
    panel->SetSelection({a, b, locked});
    changes = 0;
    DragHolder(QPoint(30, 30), QPoint(47, 22));
    EXPECT_EQ(a->BoundsRect(), QRect(37, 12, 40, 30));
    EXPECT_EQ(b->BoundsRect(), QRect(117, 32, 40, 30));
    EXPECT_EQ(locked->BoundsRect(), QRect(160, 60, 20, 20)) << "a locked object stays";
    EXPECT_GE(changes, 1);
    EXPECT_EQ(panel->Handle()->HolderRect().topLeft(), QPoint(35, 10));
}

TEST_F(EditingTest, QuickReleaseOrReleaseAtTheOriginMovesNothing) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    panel->SetSelection({a});
    DragHolder(QPoint(40, 35), QPoint(80, 70), 20, 80); // released 100 ms after the press
    EXPECT_EQ(a->BoundsRect(), QRect(20, 20, 40, 30));
    DragHolder(QPoint(40, 35), QPoint(40, 35), 20, 300);
    EXPECT_EQ(a->BoundsRect(), QRect(20, 20, 40, 30));
    // A move within the first 10 ms starts no drag: no frame shows.
    TKHandle* h = panel->Handle();
    QTest::mousePress(h, Qt::LeftButton, {}, OnHolder(QPoint(40, 35)));
    QTest::mouseMove(h, OnHolder(QPoint(60, 35)), 1);
    EXPECT_FALSE(h->Dragging());
    QTest::mouseMove(h, OnHolder(QPoint(60, 36)), 30);
    EXPECT_TRUE(h->Dragging());
    EXPECT_EQ(h->DragFrame(), QRect(40, 21, 40, 30)) << "the frame shows where it lands";
    QTest::mouseRelease(h, Qt::LeftButton, {}, OnHolder(QPoint(60, 36)), 200);
    EXPECT_EQ(a->BoundsRect(), QRect(40, 21, 40, 30));
}

TEST_F(EditingTest, DraggingSnapsToTheGrid) {
    auto* a = Shape(QRect(8, 16, 40, 30));
    panel->SetGridSize(gs8x8);
    panel->SetSnapToGrid(true);
    EXPECT_EQ(panel->Handle()->GridX(), 8);
    EXPECT_TRUE(panel->Handle()->SnapToGrid());
    panel->SetSelection({a});
    DragHolder(QPoint(30, 30), QPoint(35, 35)); // 8 + 5 = 13 -> 8, 16 + 5 = 21 -> 16
    EXPECT_EQ(a->BoundsRect(), QRect(8, 16, 40, 30));
    DragHolder(QPoint(30, 30), QPoint(43, 43)); // 21 -> 16, 29 -> 24
    EXPECT_EQ(a->BoundsRect(), QRect(16, 24, 40, 30));
    panel->SetSnapToGrid(false);
    EXPECT_EQ(panel->Handle()->GridX(), 1);
    EXPECT_FALSE(panel->Handle()->SnapToGrid());
    DragHolder(QPoint(30, 30), QPoint(35, 35));
    EXPECT_EQ(a->BoundsRect(), QRect(21, 29, 40, 30));
    // Turning snapping on again restores the panel's step.
    panel->SetGridSize(gs4x4);
    panel->SetSnapToGrid(true);
    EXPECT_EQ(panel->Handle()->GridY(), 4);
}

TEST_F(EditingTest, DraggingAGrabZoneSizesTheSingleObject) {
    const struct {
        QPoint grab; // on the panel
        QPoint delta;
        QRect result;
    } cases[] = {
        // holder (18, 18, 45, 35): corners at 18 / 63 and 18 / 53
        {{63, 53}, {10, 5}, QRect(20, 20, 50, 35)},  // bottom right
        {{19, 19}, {-4, 6}, QRect(16, 26, 44, 24)},  // top left (holder point (1, 1))
        {{18, 35}, {-6, 9}, QRect(14, 20, 46, 30)},  // left middle: only the left edge
        {{40, 53}, {3, -10}, QRect(20, 20, 40, 20)}, // bottom middle: only the height
        {{63, 18}, {5, 5}, QRect(20, 25, 45, 25)},   // top right
        {{40, 35}, {5, 5}, QRect(25, 25, 40, 30)},   // inside: a move
    };
    for (const auto& c : cases) {
        auto* a = Shape(QRect(20, 20, 40, 30));
        panel->SetSelection({a});
        ASSERT_EQ(panel->Handle()->HolderRect(), QRect(18, 18, 45, 35));
        DragHolder(c.grab, c.grab + c.delta);
        EXPECT_EQ(a->BoundsRect(), c.result) << c.grab.x() << "," << c.grab.y();
        panel->ClearObjects();
    }
}

TEST_F(EditingTest, DragIsClampedToThePanelAndKeepsObjectsVisible) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    panel->SetSelection({a});
    // The mouse leaves the panel at the left: its position counts as x = 0.
    DragHolder(QPoint(30, 30), QPoint(-100, 30));
    EXPECT_EQ(a->BoundsRect(), QRect(-10, 20, 40, 30));
    // Shrinking past the opposite edge leaves at least one pixel.
    auto* b = Shape(QRect(100, 60, 30, 30));
    panel->SetSelection({b});
    DragHolder(QPoint(133, 93), QPoint(60, 93));
    EXPECT_EQ(b->Width(), 1);
    EXPECT_EQ(b->Left(), 100);
}

// ---- keyboard ---------------------------------------------------------------

TEST_F(EditingTest, ArrowKeysMoveAndShiftArrowsSize) {
    auto* a = Shape(QRect(2, 20, 40, 30));
    panel->SetSelection({a});
    panel->setFocus();
    changes = 0;
    QTest::keyPress(panel, Qt::Key_Left);
    QTest::keyPress(panel, Qt::Key_Left);
    QTest::keyPress(panel, Qt::Key_Left); // stops at the left edge
    EXPECT_TRUE(panel->Handle()->KeyFrameShown());
    EXPECT_EQ(a->Left(), 2) << "applied on release";
    QTest::keyRelease(panel, Qt::Key_Left);
    EXPECT_EQ(a->BoundsRect(), QRect(0, 20, 40, 30));
    EXPECT_GE(changes, 1);
    QTest::keyClick(panel, Qt::Key_Down);
    QTest::keyClick(panel, Qt::Key_Right);
    EXPECT_EQ(a->BoundsRect(), QRect(1, 21, 40, 30));
    QTest::keyClick(panel, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(panel, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(a->BoundsRect(), QRect(1, 21, 41, 29));
    // The right edge stops at the panel's.
    a->SetBounds(258, 21, 41, 29);
    panel->Handle()->Refit();
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(panel, Qt::Key_Right);
    EXPECT_EQ(a->Left(), 259);
    QTest::keyClick(panel, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(a->Width(), 41);
}

TEST_F(EditingTest, KeyboardFrameGoesWithTheSelectionItStartedFrom) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 60, 40, 30));
    panel->SetSelection({a});
    QTest::keyPress(panel, Qt::Key_Right);
    QTest::keyPress(panel, Qt::Key_Right);
    panel->SetSelection({b}); // a click elsewhere before the key is released
    QTest::keyRelease(panel, Qt::Key_Right);
    EXPECT_EQ(a->BoundsRect(), QRect(20, 20, 40, 30));
    EXPECT_EQ(b->BoundsRect(), QRect(100, 60, 40, 30));
}

TEST_F(EditingTest, HolderFollowsObjectsDeletedElsewhere) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 60, 40, 30));
    panel->SetSelection({a, b});
    delete b;
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a}));
    EXPECT_EQ(panel->Handle()->HolderRect(), QRect(18, 18, 45, 35));
    delete a;
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel->Handle()->isHidden());
}

TEST_F(EditingTest, ShiftLeftDoesNotShrinkBelowTenPixels) {
    auto* a = Shape(QRect(20, 20, 10, 12));
    auto* b = Shape(QRect(60, 20, 30, 30));
    panel->SetSelection({a});
    QTest::keyClick(panel, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(panel, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(panel, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(panel, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(a->BoundsRect(), QRect(20, 20, 10, 10));
    // Sizing takes exactly one selected object; several move instead.
    panel->SetSelection({a, b});
    QTest::keyClick(panel, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(a->BoundsRect(), QRect(21, 20, 10, 10));
    EXPECT_EQ(b->BoundsRect(), QRect(61, 20, 30, 30));
}

TEST_F(EditingTest, DeleteAndClipboardKeys) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    QPointer<TKGraphicControl> b = Shape(QRect(80, 20, 40, 30));
    panel->SetSelection({a});
    QTest::keyClick(panel, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(panel->ClipboardFile()));
    QTest::keyClick(panel, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(panel->Objects().size(), 3);
    EXPECT_EQ(panel->Objects().last()->BoundsRect(), QRect(35, 35, 40, 30));
    panel->SetSelection({b});
    changes = 0;
    QTest::keyClick(panel, Qt::Key_Delete);
    EXPECT_EQ(panel->Objects().size(), 2);
    EXPECT_EQ(changes, 1);
    panel->SetSelection({a});
    QTest::keyClick(panel, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(panel->Objects().size(), 1);
    clock += 1000;
    QTest::keyClick(panel, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(panel->Objects().size(), 2);
    EXPECT_EQ(panel->Objects().last()->BoundsRect(), QRect(35, 35, 40, 30));
}

// ---- align, centre, order ---------------------------------------------------

TEST_F(EditingTest, AlignAndCentre) {
    panel->resize(301, 151);
    const struct {
        void (TKBasePanel::*command)();
        QRect a, b;
    } cases[] = {
        {&TKBasePanel::AlignLeft, QRect(10, 5, 50, 20), QRect(10, 60, 30, 11)},
        {&TKBasePanel::AlignRight, QRect(20, 5, 50, 20), QRect(40, 60, 30, 11)},
        {&TKBasePanel::AlignTops, QRect(10, 5, 50, 20), QRect(40, 5, 30, 11)},
        {&TKBasePanel::AlignBottoms, QRect(10, 51, 50, 20), QRect(40, 60, 30, 11)},
        // 151 div 2 - 20 div 2 = 65, 151 div 2 - 11 div 2 = 70
        {&TKBasePanel::CenterVertically, QRect(10, 65, 50, 20), QRect(40, 70, 30, 11)},
        // 301 div 2 - 50 div 2 = 125, 150 - 15 = 135
        {&TKBasePanel::CenterHorizontally, QRect(125, 5, 50, 20), QRect(135, 60, 30, 11)},
    };
    for (const auto& c : cases) {
        auto* a = Shape(QRect(10, 5, 50, 20));
        auto* b = Shape(QRect(40, 60, 30, 11));
        panel->SetSelection({a, b});
        changes = 0;
        (panel->*c.command)();
        EXPECT_EQ(a->BoundsRect(), c.a);
        EXPECT_EQ(b->BoundsRect(), c.b);
        EXPECT_GE(changes, 1);
        panel->ClearObjects();
    }
    // An object's own menu centres that object only.
    auto* a = Shape(QRect(10, 5, 50, 20));
    auto* b = Shape(QRect(40, 60, 30, 11));
    panel->SetSelection({a, b});
    a->MenuAction("Center Horizontally")->trigger();
    a->MenuAction("Center Vertically")->trigger();
    EXPECT_EQ(a->BoundsRect(), QRect(125, 65, 50, 20));
    EXPECT_EQ(b->BoundsRect(), QRect(40, 60, 30, 11));
}

TEST_F(EditingTest, BringToFrontAndSendToBack) {
    auto* a = Shape(QRect(10, 10, 20, 20));
    auto* b = Shape(QRect(20, 20, 20, 20));
    auto* c = Shape(QRect(30, 30, 20, 20));
    using L = QList<TKGraphicControl*>;
    panel->SetSelection({b, a});
    panel->BringToFront();
    EXPECT_EQ(panel->Objects(), (L{c, b, a}));
    EXPECT_EQ(panel->Selection().size(), 2);
    const QObjectList kids = panel->children();
    EXPECT_GT(kids.indexOf(panel->Handle()), kids.indexOf(a)) << "holder stays on top";
    panel->SetSelection({a, b});
    panel->SendToBack();
    EXPECT_EQ(panel->Objects(), (L{a, b, c}));
    EXPECT_TRUE(panel->Selection().isEmpty());
    // A locked holder does neither.
    panel->Handle()->SetLocked(true);
    panel->SetSelection({a});
    panel->BringToFront();
    EXPECT_EQ(panel->Objects(), (L{a, b, c}));
    panel->Handle()->SetLocked(false);
    // The object menu moves that object only; its "Send To Back" clears the selection.
    panel->SetSelection({b, c});
    a->MenuAction("Bring To Front")->trigger();
    EXPECT_EQ(panel->Objects(), (L{b, c, a}));
    EXPECT_EQ(panel->Selection().size(), 2);
    c->MenuAction("Send To Back")->trigger();
    EXPECT_EQ(panel->Objects(), (L{c, b, a}));
    EXPECT_TRUE(panel->Selection().isEmpty());
}

// ---- clipboard and clone ----------------------------------------------------

TEST_F(EditingTest, PasteIsGuardedForOneSecondAndOffsetBy15) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 50, 30, 20));
    panel->SetSelection({b, a});
    panel->CopySelection();
    // The clipboard file holds the selection in selection order.
    QFile f(panel->ClipboardFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), LabelLayoutStream::FromObjects({b, a}));
    f.close();

    changes = 0;
    const QList<TKGraphicControl*> first = panel->Paste();
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0]->BoundsRect(), QRect(115, 65, 30, 20));
    EXPECT_EQ(first[1]->BoundsRect(), QRect(35, 35, 40, 30));
    EXPECT_EQ(first[0]->objectName(), "Component0");
    EXPECT_TRUE(first[0]->RoutesEventsToPanel());
    EXPECT_EQ(panel->Selection(), first) << "the pasted copies are selected";
    EXPECT_EQ(changes, 1);
    clock += 999;
    EXPECT_TRUE(panel->Paste().isEmpty()) << "second paste within a second is dropped";
    EXPECT_EQ(panel->Objects().size(), 4);
    clock += 1;
    EXPECT_EQ(panel->Paste().size(), 2);
    EXPECT_EQ(panel->Objects().size(), 6);
}

TEST_F(EditingTest, PasteWithoutClipboardFileAndPanelMenuEnabling) {
    EXPECT_TRUE(panel->Paste().isEmpty());
    EXPECT_EQ(Captions(panel->PanelPopupMenu()), (QStringList{"Bring To Front",
                                                              "Send To Back",
                                                              "-",
                                                              "Cut",
                                                              "Copy",
                                                              "Paste",
                                                              "-",
                                                              "Delete",
                                                              "-",
                                                              "Align Left",
                                                              "Align Right",
                                                              "Align Tops",
                                                              "Align Bottoms",
                                                              "-",
                                                              "Center Vertically",
                                                              "Center Horizontally",
                                                              "-",
                                                              "Lock All",
                                                              "Unlock All",
                                                              "-",
                                                              "Mark All Selectable",
                                                              "Mark All Unselectable",
                                                              "Select All",
                                                              "-",
                                                              "Font"}));
    auto enabled = [&] {
        QStringList on;
        for (QAction* a : panel->PanelPopupMenu()->actions())
            if (!a->isSeparator() && a->isEnabled())
                on << a->text();
        return on;
    };
    panel->UpdatePanelMenu();
    EXPECT_EQ(enabled(),
              (QStringList{"Mark All Selectable", "Mark All Unselectable", "Select All"}));
    auto* a = Shape(QRect(20, 20, 40, 30));
    panel->UpdatePanelMenu();
    EXPECT_EQ(enabled(), (QStringList{"Lock All", "Unlock All", "Mark All Selectable",
                                      "Mark All Unselectable", "Select All"}));
    panel->SetSelection({a});
    panel->CopySelection();
    panel->UpdatePanelMenu();
    EXPECT_EQ(enabled().size(), 18) << "every entry";
    // The menu is brought up to date when it opens.
    panel->ClearSelection();
    panel->ShowPanelMenu(QPoint());
    EXPECT_FALSE(panel->PanelMenuAction("Cut")->isEnabled());
    EXPECT_TRUE(panel->PanelMenuAction("Paste")->isEnabled());
}

TEST_F(EditingTest, ObjectMenuEntriesAndTheirCommands) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 20, 40, 30));
    const QStringList base{"Bring To Front",
                           "Send To Back",
                           "Cut",
                           "Copy",
                           "Delete",
                           "Clone",
                           "-",
                           "Locked",
                           "Unselectable",
                           "-",
                           "Center Vertically",
                           "Center Horizontally"};
    EXPECT_EQ(Captions(a->PopupMenu()).mid(0, base.size()), base);
    // "Locked" toggles the flag and its check mark.
    a->MenuAction("Locked")->trigger();
    EXPECT_TRUE(a->Locked());
    EXPECT_TRUE(a->LockedMenuItem()->isChecked());
    a->MenuAction("Locked")->trigger();
    EXPECT_FALSE(a->Locked());
    panel->LockAll();
    EXPECT_TRUE(a->Locked() && b->Locked());
    panel->UnlockAll();
    EXPECT_FALSE(a->Locked() || b->Locked());
    // Copy from an unselected object's menu writes just that object.
    panel->SetSelection({b});
    a->MenuAction("Copy")->trigger();
    QFile f(panel->ClipboardFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), LabelLayoutStream::FromObjects({a}));
    f.close();
    // Cut and Delete notify a change first and take the object away.
    changes = 0;
    QPointer<TKGraphicControl> gone = a;
    a->MenuAction("Cut")->trigger();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(panel->Objects(), (QList<TKGraphicControl*>{b}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    b->MenuAction("Delete")->trigger();
    EXPECT_TRUE(panel->Objects().isEmpty());
    EXPECT_TRUE(panel->Selection().isEmpty());
}

TEST_F(EditingTest, ClipboardErrorsAreShownAndCutKeepsWhatItCouldNotWrite) {
    MessageScript messages;
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(80, 20, 40, 30));
    // A damaged clipboard file: the object before the damage stays, the error shows.
    panel->SetSelection({a, b});
    panel->CopySelection();
    QFile f(panel->ClipboardFile());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QByteArray whole = f.readAll();
    f.resize(whole.size() - 6);
    f.close();
    QTest::keyClick(panel, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, ShownMessage::Warning);
    EXPECT_EQ(panel->Objects().size(), 3);
    // A clipboard file that cannot be written: Cut takes nothing away.
    QFile::remove(panel->ClipboardFile());
    ASSERT_TRUE(QDir().mkdir(panel->ClipboardFile()));
    panel->SetSelection({a});
    clock += 5000;
    QTest::keyClick(panel, Qt::Key_X, Qt::ControlModifier);
    a->MenuAction("Cut")->trigger();
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(panel->Objects().size(), 3);
    EXPECT_EQ(panel->Objects().first(), a);
    EXPECT_TRUE(QDir().rmdir(panel->ClipboardFile()));
}

TEST_F(EditingTest, CloneGoes25PixelsLowerAndTakesOverTheSelection) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    auto* b = Shape(QRect(100, 20, 40, 30));
    a->Brush()->SetColor(0x0000FF);
    panel->SetSelection({a});
    a->MenuAction("Clone")->trigger();
    ASSERT_EQ(panel->Objects().size(), 3);
    auto* copy = dynamic_cast<TKLabelShapes*>(panel->Objects().last());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->BoundsRect(), QRect(20, 45, 40, 30));
    EXPECT_EQ(copy->BrushRef().Color(), 0x0000FF);
    EXPECT_NE(copy->objectName(), a->objectName());
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{copy}));
    // Cloning an unselected object leaves the selection alone.
    TKGraphicControl* second = panel->CloneObject(b);
    EXPECT_EQ(second->BoundsRect(), QRect(100, 45, 40, 30));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{copy}));
    EXPECT_EQ(panel->Objects().last(), second) << "the clone is in front";
}

TEST_F(EditingTest, CopyPasteAndCloneWhileZoomedKeepTheSize) {
    auto* a = Shape(QRect(20, 20, 40, 30));
    panel->SetZoom(2.0f);
    EXPECT_EQ(a->BoundsRect(), QRect(40, 40, 80, 60));
    panel->SetSelection({a});
    panel->CopySelection();
    EXPECT_EQ(a->BoundsRect(), QRect(40, 40, 80, 60));
    const QList<TKGraphicControl*> pasted = panel->Paste();
    ASSERT_EQ(pasted.size(), 1);
    // 15 design pixels, 30 on the doubled panel.
    EXPECT_EQ(pasted[0]->BoundsRect(), QRect(70, 70, 80, 60));
    EXPECT_EQ(pasted[0]->Zoom(), 2.0f);
    TKGraphicControl* clone = panel->CloneObject(a);
    EXPECT_EQ(clone->BoundsRect(), QRect(40, 65, 80, 60));
    panel->SetZoom(1.0f);
    EXPECT_EQ(a->BoundsRect(), QRect(20, 20, 40, 30));
    EXPECT_EQ(pasted[0]->BoundsRect(), QRect(35, 35, 40, 30));
}

// ---- font -------------------------------------------------------------------

TEST_F(EditingTest, FontForTheSelectionGoesToEverySelectedObject) {
    auto* t1 = new TKPLabel;
    panel->AddObject(t1, QRect(10, 10, 80, 20));
    auto* t2 = new TKPLabel;
    panel->AddObject(t2, QRect(10, 40, 80, 20));
    auto* other = new TKPLabel;
    panel->AddObject(other, QRect(10, 70, 80, 20));
    auto* shape = Shape(QRect(150, 10, 40, 40));
    panel->PanelFont().SetName("Arial");
    panel->PanelFont().SetSize(10);
    QString shownFamily;
    std::optional<ModalScript> script;
    script.emplace([&](QDialog& d) {
        auto* fd = d.findChild<QFontDialog*>();
        if (!fd)
            return int(QDialog::Rejected);
        shownFamily = fd->currentFont().family();
        QFont f(QStringLiteral("Liberation Mono"));
        f.setPointSize(14);
        f.setBold(true);
        fd->setCurrentFont(f);
        return int(QDialog::Accepted);
    });
    panel->SetSelection({t1, shape, t2});
    changes = 0;
    EXPECT_TRUE(panel->SelectionFont());
    EXPECT_FALSE(shownFamily.isEmpty());
    EXPECT_GE(changes, 1);
    for (TKPLabel* t : {t1, t2}) {
        EXPECT_EQ(t->FontRef().Size(), 14);
        EXPECT_EQ(t->FontRef().Style() & fsBold, fsBold);
    }
    EXPECT_EQ(other->FontRef().Size(), 10) << "not selected";
    // Cancel applies nothing.
    script.reset();
    script.emplace([](QDialog&) { return int(QDialog::Rejected); });
    panel->SetSelection({other});
    EXPECT_FALSE(panel->SelectionFont());
    EXPECT_EQ(other->FontRef().Size(), 10);
}

// ---- a picture to look at ---------------------------------------------------

TEST_F(EditingTest, DesignerPictureWithGridShapesAndSelection) {
    // A 4 x 2 inch label with a rounded outline, the grid, lines, shapes, a
    // picture and a text, two objects selected; written under the build
    // directory for inspection.
    panel->resize(384, 192);
    panel->SetShape(lsRoundRect);
    panel->SetDrawOutline(true);
    panel->SetShowGrid(true);
    auto* rule = new TKLineShape;
    panel->AddObject(rule, QRect(16, 100, 352, 8));
    rule->SetLineStyle(stHorizontal);
    rule->Pen()->SetWidth(2);
    auto* bar = new TKLineShape;
    panel->AddObject(bar, QRect(200, 16, 10, 76));
    bar->SetLineStyle(stVertical);
    auto* box = new TKLabelShapes;
    panel->AddObject(box, QRect(20, 20, 80, 60));
    box->SetShape(stRectangle);
    box->Brush()->SetColor(0x00FFFF); // yellow
    auto* oval = new TKLabelShapes;
    panel->AddObject(oval, QRect(110, 24, 72, 52));
    oval->SetShape(stEllipse);
    oval->Brush()->SetColor(0xFFCC99);
    auto* round = new TKLabelShapes;
    panel->AddObject(round, QRect(220, 120, 140, 50));
    round->SetShape(stRoundRect);
    round->SetTransparent(true);
    round->Pen()->SetWidth(2);
    round->Pen()->SetColor(0x800000);
    auto* picture = new TKImage;
    panel->AddObject(picture, QRect(230, 20, 64, 64));
    QImage art(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            art.setPixel(x, y, ((x / 8 + y / 8) % 2) ? qRgb(30, 90, 200) : qRgb(240, 240, 240));
    picture->Picture()->SetImage(art);
    auto* text = new TKPLabel;
    panel->AddObject(text, QRect(24, 130, 150, 24));
    text->SetCaption(QStringLiteral("Quillbury"));
    panel->SetSelection({box, picture});

    const QString dir = qEnvironmentVariable("QB_BINARY_DIR", QDir::tempPath());
    QImage multi = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(multi.save(dir + "/editing_multi_selection.png"));
    panel->SetSelection({round});
    QImage single = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(single.save(dir + "/editing_single_selection.png"));
    // Twice the size, to judge the marks.
    EXPECT_TRUE(single.scaled(768, 384).save(dir + "/editing_single_selection_x2.png"));

    // A drag under way: the dotted frame shows where the object lands.
    TKHandle* h = panel->Handle();
    QTest::mousePress(h, Qt::LeftButton, {}, OnHolder(QPoint(290, 145)));
    QTest::mouseMove(h, OnHolder(QPoint(250, 130)), 30);
    ASSERT_TRUE(h->Dragging());
    const QRect frame = h->DragFrame();
    EXPECT_EQ(frame, QRect(180, 105, 140, 50));
    QImage dragging = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(dragging.save(dir + "/editing_dragging.png"));
    QTest::mouseRelease(h, Qt::LeftButton, {}, OnHolder(QPoint(250, 130)), 200);
    EXPECT_EQ(round->BoundsRect(), frame);
    // A rubber band being drawn.
    QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(panel, QPoint(150, 90), 10);
    EXPECT_TRUE(panel->grab().toImage().save(dir + "/editing_rubber_band.png"));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(150, 90));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{box, oval}));

    // At zoom 2 everything doubles; the marks keep their size.
    panel->SetZoom(2.0f);
    panel->SetSelection({oval, rule});
    const QImage zoomed = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(zoomed.save(dir + "/editing_zoom2.png"));
    EXPECT_EQ(zoomed.size(), QSize(768, 384));
    EXPECT_EQ(zoomed.pixel(2 * 110 - 1, 2 * 24 - 1), qRgb(0x80, 0x80, 0x80));
    panel->SetZoom(1.0f);

    EXPECT_EQ(multi.size(), QSize(384, 192));
    // Grey corner marks on both selected objects, black with one selected.
    EXPECT_EQ(multi.pixel(19, 19), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(multi.pixel(295, 85), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(single.pixel(219, 119), qRgb(0, 0, 0));
    EXPECT_NE(single.pixel(19, 19), qRgb(0x80, 0x80, 0x80)) << "the mark goes with the selection";
}

TEST_F(EditingTest, MouseThroughTheWindowReachesObjectsHolderAndPanel) {
    // Events dispatched by the window system find the topmost widget under
    // the mouse: the object, then the holder above the selection.
    panel->move(0, 0);
    auto* a = Shape(QRect(20, 20, 40, 30));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWindow* w = form.windowHandle();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(panel->Selection(), (QList<TKGraphicControl*>{a}));
    EXPECT_EQ(panel->childAt(QPoint(30, 30)), panel->Handle());
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseMove(w, QPoint(50, 45), 30);
    EXPECT_TRUE(panel->Handle()->Dragging());
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(50, 45), 200);
    EXPECT_EQ(a->BoundsRect(), QRect(40, 35, 40, 30));
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(200, 120));
    EXPECT_EQ(opened, (QList<QMenu*>{panel->PanelPopupMenu()}));
    form.hide();
}
