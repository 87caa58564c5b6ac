// Panels: tools and naming, zoom, clamping and stray objects, saving and
// loading, change notification, data refresh, printing order, background.
#include "app/modal.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "labelobjects/textdialogs.h"
#include "printing/printsurface.h"
#include "stream_support.h"
#include "wmf_builder.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

using namespace qb;

namespace {

TKPLabel* Place(TKBasePanel& panel, const QRect& r) {
    auto* o = new TKPLabel;
    panel.AddObject(o, r);
    return o;
}

// Records the order in which objects print.
class PrintProbe : public TKGraphicControl {
public:
    explicit PrintProbe(std::vector<QString>* log) : log_(log) {}
    void PrintTo(PrintSurface&, double x0, double y0) override {
        log_->push_back(objectName() + QStringLiteral("@%1,%2").arg(x0).arg(y0));
    }
    void RefreshData() override { ++refreshed; }
    void AdvanceCounter() override { ++advanced; }
    void ResetCounter() override { advanced = 0; }
    int refreshed = 0;
    int advanced = 0;

private:
    std::vector<QString>* log_;
};

} // namespace

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    QWidget form;
    // Tools open their object's dialog after placing it: cancelled here.
    ModalScript dialogs{[](QDialog&) { return int(QDialog::Rejected); }};
};

TEST_F(PanelTest, NewPanelDefaults) {
    TKLabelPanel panel(&form);
    EXPECT_TRUE(panel.Pointing());
    EXPECT_FALSE(panel.DrawOutline());
    EXPECT_FALSE(panel.Printing());
    EXPECT_EQ(panel.Shape(), lsRoundRect);
    EXPECT_EQ(panel.GridSize(), gs4x4);
    EXPECT_FALSE(panel.ShowGrid());
    EXPECT_FALSE(panel.SnapToGrid());
    EXPECT_EQ(panel.Zoom(), 1.0f);
    EXPECT_TRUE(panel.DisplayDataValues());
    EXPECT_EQ(panel.PanelState(), psPointing);
    EXPECT_TRUE(panel.ClipboardFile().endsWith("/Clipbrd.tmp"));
    // The label panel makes its eleven classes known.
    for (const char* cls : {"TKLineShape", "TKPostNetBarCode", "TKImage", "TKLabelShapes",
                            "TKPLabel", "TKPDLabel", "TKCounterLabel", "TKSymbolLabel",
                            "TKMultiLineLabel", "TKDMultiLineLabel", "TKDMultiLineAddressLabel"})
        EXPECT_TRUE(ClassRegistry::IsKnown(cls)) << cls;
}

TEST_F(PanelTest, AddObjectNamesWithSmallestFreeSpecialNumberAndEnforcesMinimumSize) {
    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    auto* a = Place(panel, QRect(5, 6, 3, 3));
    auto* b = Place(panel, QRect(20, 30, 40, 20));
    EXPECT_EQ(a->objectName(), "Special1");
    EXPECT_EQ(b->objectName(), "Special2");
    EXPECT_EQ(a->BoundsRect(), QRect(5, 6, 10, 15));
    EXPECT_EQ(b->BoundsRect(), QRect(20, 30, 40, 20));
    delete a;
    EXPECT_EQ(Place(panel, QRect(0, 0, 50, 50))->objectName(), "Special1");
    EXPECT_EQ(Place(panel, QRect(0, 0, 50, 50))->objectName(), "Special3");
    // Another component of the form with such a name counts too.
    QObject other(&form);
    other.setObjectName("Special4");
    EXPECT_EQ(Place(panel, QRect(0, 0, 50, 50))->objectName(), "Special5");
}

TEST_F(PanelTest, ToolPlacesObjectOfCurrentStateFromRubberBand) {
    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    QRect dropped;
    panel.DroppedObjectEvent = [&](const QRect& r) { dropped = r; };
    const struct {
        int state;
        const char* cls;
    } tools[] = {{psLabel, "TKPLabel"},
                 {psCounterLabel, "TKCounterLabel"},
                 {psSymbolLabel, "TKSymbolLabel"},
                 {psDataLabel, "TKPDLabel"},
                 {psMultiLineLabel, "TKMultiLineLabel"},
                 {psMultiLineDataLabel, "TKDMultiLineLabel"},
                 {psAddressLabel, "TKDMultiLineAddressLabel"},
                 {psRectangle, "TKLabelShapes"},
                 {psEllipse, "TKLabelShapes"},
                 {psRoundRectangle, "TKLabelShapes"},
                 {psLine, "TKLineShape"},
                 {psImage, "TKImage"},
                 {psPostNetBarCode, "TKPostNetBarCode"}};
    for (const auto& t : tools) {
        panel.ClearObjects();
        panel.SetPanelState(t.state);
        EXPECT_FALSE(panel.Pointing());
        // A 3 x 3 band dragged from bottom-right to top-left.
        panel.PanelMouseDown(Qt::LeftButton, QPoint(13, 12));
        panel.PanelMouseMove(QPoint(11, 10));
        EXPECT_TRUE(panel.RubberBanding());
        panel.PanelMouseUp(Qt::LeftButton, QPoint(10, 9));
        EXPECT_EQ(dropped, QRect(10, 9, 3, 3));
        ASSERT_EQ(panel.Objects().size(), 1) << t.cls;
        TKGraphicControl* o = panel.Objects()[0];
        EXPECT_EQ(o->ClassName(), t.cls);
        // Symbols and address blocks then fit themselves to their content.
        const bool fits = t.state == psSymbolLabel || t.state == psAddressLabel;
        if (fits)
            EXPECT_EQ(o->BoundsRect().topLeft(), QPoint(10, 9)) << t.cls;
        else
            EXPECT_EQ(o->BoundsRect(), QRect(10, 9, 50, 15)) << t.cls;
        EXPECT_EQ(o->objectName(), "Special1");
    }
    panel.SetPanelState(psPointing);
    EXPECT_TRUE(panel.Pointing());
}

TEST_F(PanelTest, ToolSettingsOfNewObjects) {
    TKLabelPanel panel(&form);
    panel.resize(300, 100);
    panel.PanelFont().SetName("Times New Roman");
    panel.PanelFont().SetSize(12);
    auto place = [&](int state) {
        panel.SetPanelState(state);
        return panel.CreateObjectInRect(QRect(0, 0, 60, 20));
    };
    auto* label = dynamic_cast<TKPLabel*>(place(psLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Caption(), "<text>");
    EXPECT_EQ(label->FontRef(), panel.PanelFont());
    auto* counter = dynamic_cast<TKCounterLabel*>(place(psCounterLabel));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->Startingnumber(), 1000);
    EXPECT_EQ(counter->Caption(), "1000");
    auto* memo = dynamic_cast<TKDMultiLineLabel*>(place(psMultiLineDataLabel));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->DataFieldName(), "Memo");
    EXPECT_EQ(memo->DataFieldDescript(), "MEMO");
    auto* symbol = dynamic_cast<TKSymbolLabel*>(place(psSymbolLabel));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->FontRef().Name(), "WingDings") << "symbols keep their own font";
    EXPECT_EQ(symbol->FontRef().Size(), 24);
    auto* line = dynamic_cast<TKLineShape*>(place(psLine));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->LineStyle(), stVertical);
    auto* ellipse = dynamic_cast<TKLabelShapes*>(place(psEllipse));
    ASSERT_NE(ellipse, nullptr);
    EXPECT_EQ(ellipse->Shape(), stEllipse);
    auto* bar = dynamic_cast<TKPostNetBarCode*>(place(psPostNetBarCode));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->ZipCodeField(), "ZIP");
    EXPECT_EQ(bar->AddressField(), "STREET");
    EXPECT_EQ(bar->BarCodeType(), pnbc11Digit);
}

TEST_F(PanelTest, ToolRectRule) {
    const struct {
        QRect in, out;
    } cases[] = {
        {QRect(4, 5, 3, 3), QRect(4, 5, 50, 15)},   {QRect(0, 0, 24, 14), QRect(0, 0, 50, 15)},
        {QRect(0, 0, 25, 15), QRect(0, 0, 25, 15)}, {QRect(7, 8, 100, 40), QRect(7, 8, 100, 40)},
        {QRect(0, 0, 30, 2), QRect(0, 0, 30, 15)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TKLabelPanel::ToolRect(c.in), c.out);
}

TEST_F(PanelTest, ZoomRoundsHalvesToEven) {
    TKLabelPanel panel(&form);
    panel.resize(101, 51);
    auto* o = Place(panel, QRect(10, 11, 33, 15));
    o->SetBounds(10, 11, 33, 15);
    const struct {
        float zoom;
        QRect bounds;
        QSize panel;
    } cases[] = {
        // 11 x 1.5 = 16.5 -> 16, 33 x 1.5 = 49.5 -> 50, 15 x 1.5 = 22.5 -> 22, 101 x 1.5 = 151.5 ->
        // 152
        {1.5f, QRect(15, 16, 50, 22), QSize(152, 76)},
        {2.0f, QRect(20, 22, 66, 30), QSize(202, 102)},
        {0.5f, QRect(5, 6, 16, 8),
         QSize(50, 26)}, // 5.5 -> 6, 16.5 -> 16, 7.5 -> 8, 50.5 -> 50, 25.5 -> 26
    };
    for (const auto& c : cases) {
        panel.SetZoom(c.zoom);
        EXPECT_EQ(o->BoundsRect(), c.bounds) << c.zoom;
        EXPECT_EQ(o->Zoom(), c.zoom);
        EXPECT_EQ(panel.size(), c.panel) << c.zoom;
        panel.SetZoom(1.0f);
        EXPECT_EQ(o->BoundsRect(), QRect(10, 11, 33, 15)) << "back from " << c.zoom;
    }
}

TEST_F(PanelTest, ObjectMovedWhileZoomedScalesFromItsZoomedBounds) {
    TKLabelPanel panel(&form);
    panel.resize(200, 100);
    auto* o = Place(panel, QRect(10, 10, 40, 20));
    panel.SetZoom(2.0f);
    o->SetBounds(30, 40, 80, 40);
    panel.SetZoom(1.0f);
    EXPECT_EQ(o->BoundsRect(), QRect(15, 20, 40, 20));
}

TEST_F(PanelTest, SaveWhileZoomedWritesZoomOneBoundsAndStaysZoomed) {
    TKLabelPanel panel(&form);
    panel.resize(250, 100);
    qbtest::FillPanel(panel);
    const QByteArray atOne = TKLabelObjectFiler::PanelBytes(panel);
    panel.SetZoom(1.5f);
    const QRect zoomed = panel.Objects()[2]->BoundsRect();
    panel.SaveToFile(Path("z.L"));
    QFile f(Path("z.L"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toHex(), atOne.toHex());
    EXPECT_EQ(panel.Zoom(), 1.5f);
    EXPECT_EQ(panel.Objects()[2]->BoundsRect(), zoomed);
}

TEST_F(PanelTest, SavedAndLoadedIntoAFreshPanelGivesIdenticalBytes) {
    TKLabelPanel panel(&form);
    panel.resize(250, 100);
    qbtest::FillPanel(panel);
    panel.SaveToFile(Path("a.L"));

    QWidget otherForm;
    TKLabelPanel fresh(&otherForm);
    fresh.resize(250, 100);
    fresh.LoadFromFile(Path("a.L"));
    fresh.SaveToFile(Path("b.L"));
    QFile a(Path("a.L")), b(Path("b.L"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll().toHex(), b.readAll().toHex());
    for (TKGraphicControl* o : fresh.Objects()) {
        EXPECT_TRUE(o->RoutesEventsToPanel());
        EXPECT_FALSE(o->Locked());
        EXPECT_FALSE(o->Unselectable());
    }
}

TEST_F(PanelTest, LoadIntoZoomedPanelGivesObjectsThePanelZoom) {
    TKLabelPanel source(&form);
    Place(source, QRect(10, 20, 40, 30));
    source.SaveToFile(Path("s.L"));
    TKLabelPanel panel(&form);
    panel.resize(200, 100);
    panel.SetZoom(2.0f);
    panel.LoadFromFile(Path("s.L"));
    ASSERT_EQ(panel.Objects().size(), 1);
    EXPECT_EQ(panel.Objects()[0]->Zoom(), 2.0f);
    EXPECT_EQ(panel.Objects()[0]->BoundsRect(), QRect(20, 40, 80, 60));
}

TEST_F(PanelTest, LoadingAMissingFileDoesNothing) {
    TKLabelPanel panel(&form);
    panel.LoadFromFile(Path("missing.L"));
    EXPECT_TRUE(panel.Objects().isEmpty());
}

TEST_F(PanelTest, ClampObjects) {
    TKLabelPanel panel(&form);
    panel.resize(100, 50);
    const struct {
        QRect in;
        QPoint out;
    } cases[] = {
        {QRect(10, 10, 20, 20), QPoint(10, 10)}, {QRect(80, 40, 20, 20), QPoint(80, 40)},
        {QRect(81, 41, 20, 20), QPoint(80, 40)}, {QRect(500, 300, 20, 20), QPoint(80, 40)},
        {QRect(-5, 45, 20, 20), QPoint(-5, 40)},
    };
    QList<TKGraphicControl*> objects;
    for (const auto& c : cases)
        objects << Place(panel, c.in);
    panel.SetSelection(objects);
    panel.ClampObjects();
    EXPECT_TRUE(panel.Selection().isEmpty());
    for (int i = 0; i < objects.size(); ++i)
        EXPECT_EQ(objects[i]->BoundsRect().topLeft(), cases[i].out) << i;
}

TEST_F(PanelTest, RemoveStrayObjects) {
    TKLabelPanel panel(&form);
    panel.resize(100, 50);
    const struct {
        QRect bounds;
        bool kept;
    } cases[] = {
        {QRect(10, 10, 20, 20), true},  {QRect(90, 40, 20, 20), true},
        {QRect(91, 10, 20, 20), false}, {QRect(10, 41, 20, 20), false},
        {QRect(10, 10, 0, 20), false},  {QRect(10, 10, 20, 0), false},
        {QRect(10, 10, -3, 20), false}, {QRect(-50, -50, 20, 20), true},
    };
    std::vector<QPointer<TKGraphicControl>> objects;
    for (const auto& c : cases) {
        // Shapes keep any size given (text objects grow to hold their text).
        auto* o = new TKLabelShapes;
        panel.AddObject(o, QRect(0, 0, 20, 20));
        o->SetBounds(c.bounds.x(), c.bounds.y(), c.bounds.width(), c.bounds.height());
        objects.emplace_back(o);
    }
    panel.RemoveStrayObjects();
    for (size_t i = 0; i < objects.size(); ++i)
        EXPECT_EQ(!objects[i].isNull(), cases[i].kept) << i;
}

TEST_F(PanelTest, ChangeNotification) {
    TKLabelPanel panel(&form);
    panel.resize(200, 100);
    int changes = 0;
    panel.LabelChangedEvent = [&] { ++changes; };
    auto* o = Place(panel, QRect(0, 0, 40, 20));
    EXPECT_GE(changes, 1);
    changes = 0;
    o->SetBounds(5, 0, 40, 20);
    EXPECT_EQ(changes, 1) << "a move notifies";
    changes = 0;
    o->SetBounds(5, 0, 40, 20);
    EXPECT_EQ(changes, 0) << "no change, no notification";
    panel.SetZoom(2.0f);
    panel.SetZoom(1.0f);
    EXPECT_EQ(changes, 0) << "zooming is no change";
    o->SetCaption("other");
    EXPECT_EQ(changes, 1) << "a text change notifies";
    o->Font()->SetSize(20);
    EXPECT_EQ(changes, 2) << "a font change notifies";
    panel.SaveToFile(Path("n.L"));
    changes = 0;
    TKLabelPanel reader(&form);
    reader.LabelChangedEvent = [&] { ++changes; };
    reader.LoadFromFile(Path("n.L"));
    EXPECT_EQ(changes, 0) << "loading is no change";
    ASSERT_EQ(reader.Objects().size(), 1);
    TKGraphicControl* loaded = reader.Objects()[0];
    // Even onto the bounds a new label starts with before it is read.
    loaded->SetBounds(0, 0, 142, 33);
    EXPECT_EQ(changes, 1) << "the first move after loading is a change";
}

TEST_F(PanelTest, TemporaryFilesAreDeletedWithThePanel) {
    auto* panel = new TKLabelPanel(&form);
    const QString clip = panel->ClipboardFile();
    QFile f(clip);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x01\x00", 2);
    f.close();
    delete panel;
    EXPECT_FALSE(QFile::exists(clip));
}

TEST_F(PanelTest, SelectionFrameSurroundsSelectedObjects) {
    TKLabelPanel panel(&form);
    panel.resize(200, 100);
    auto* a = Place(panel, QRect(10, 20, 30, 15));
    auto* b = Place(panel, QRect(50, 5, 20, 40));
    EXPECT_TRUE(panel.SelectionFrame().isNull());
    panel.SetSelection({a, b});
    // left = 10 - 2, top = 5 - 2, width = 70 - 10 + 5, height = 45 - 5 + 5
    EXPECT_EQ(panel.SelectionFrame(), QRect(8, 3, 65, 45));
    b->SetUnselectable(true);
    panel.SetSelection({a, b});
    EXPECT_EQ(panel.Selection(), QList<TKGraphicControl*>{a});
}

TEST_F(PanelTest, PrintCountersAndDataGoToEveryObjectInChildOrder) {
    TKLabelPanel panel(&form);
    std::vector<QString> log;
    QList<PrintProbe*> probes;
    for (const char* name : {"back", "middle", "front"}) {
        auto* p = new PrintProbe(&log);
        p->setObjectName(name);
        panel.AddObject(p, QRect(0, 0, 20, 20));
        p->setObjectName(name);
        probes << p;
    }
    probes[0]->raise(); // "back" moves to the front
    TReportFiler surface;
    panel.PrintObjects(surface, 1.5, 2.25);
    EXPECT_EQ(log, (std::vector<QString>{"middle@1.5,2.25", "front@1.5,2.25", "back@1.5,2.25"}));
    panel.AdvanceCounters();
    panel.AdvanceCounters();
    EXPECT_EQ(probes[1]->advanced, 2);
    panel.ResetCounters();
    EXPECT_EQ(probes[1]->advanced, 0);
    // Without an open data set there is nothing to refresh.
    panel.RefreshAllData();
    EXPECT_EQ(probes[0]->refreshed, 0);
    EXPECT_TRUE(panel.FieldValueByLabel("Last Name").isNull());
}

TEST_F(PanelTest, CounterAdvancesEveryRepeatEachLabels) {
    TKCounterLabel c;
    c.SetStartingnumber(1000);
    c.SetRepeatEach(2);
    QStringList seen;
    for (int i = 0; i < 5; ++i) {
        seen << c.Caption();
        c.AdvanceCounter();
    }
    EXPECT_EQ(seen, (QStringList{"1000", "1000", "1001", "1001", "1002"}));
    c.ResetCounter();
    EXPECT_EQ(c.Caption(), "1000");
}

TEST_F(PanelTest, AngleSetterAcceptsRightAnglesOnly) {
    TKPLabel l;
    l.SetBounds(0, 0, 142, 33);
    l.SetAlignment(taCenter);
    l.SetAngle(45);
    EXPECT_EQ(l.Angle(), 0);
    EXPECT_EQ(l.BoundsRect(), QRect(0, 0, 142, 33));
    l.SetAngle(90);
    EXPECT_EQ(l.Angle(), 90);
    EXPECT_EQ(l.BoundsRect(), QRect(0, 0, 33, 142));
    EXPECT_EQ(l.Alignment(), taLeftJustify);
}

TEST_F(PanelTest, ImageAutoSizeAndStretchExcludeEachOther) {
    TKImage img;
    EXPECT_TRUE(img.Stretch());
    img.SetAutoSize(true);
    EXPECT_FALSE(img.Stretch());
    img.SetStretch(true);
    EXPECT_FALSE(img.AutoSize());
}

TEST_F(PanelTest, GridIsTheSameFourPixelDotGridForBothSizes) {
    TKLabelPanel panel(&form);
    panel.resize(40, 30);
    panel.SetShape(lsRectangle);
    panel.SetShowGrid(true);
    const QRgb green = qRgb(0, 0x80, 0), white = qRgb(255, 255, 255);
    QImage images[2];
    for (int g : {gs4x4, gs8x8}) {
        panel.SetGridSize(g);
        images[g] = panel.ComposeBackground();
    }
    EXPECT_EQ(images[0], images[1]);
    const QImage& img = images[0];
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool dot = x % 4 == 0 && y % 4 == 2;
            ASSERT_EQ(img.pixel(x, y), dot ? green : white) << x << "," << y;
        }
    EXPECT_EQ(panel.GridStep(), 8);
}

TEST_F(PanelTest, GridIsClippedToTheLabelShapeAndDarkensArt) {
    TKLabelPanel panel(&form);
    panel.resize(96, 48);
    panel.SetShowGrid(true);
    panel.SetShape(lsEllipse);
    QImage img = panel.ComposeBackground();
    EXPECT_EQ(img.pixel(0, 2), qRgb(255, 255, 255)) << "corner lies outside the ellipse";
    EXPECT_EQ(img.pixel(48, 26), qRgb(0, 0x80, 0));
    panel.SetShape(lsRoundRect);
    img = panel.ComposeBackground();
    EXPECT_EQ(img.pixel(0, 2), qRgb(255, 255, 255)) << "rounded corner";
    EXPECT_EQ(img.pixel(0, 22), qRgb(0, 0x80, 0));
    // Label art in red: the green dots combine with it by AND (red & green = black).
    QImage art(8, 8, QImage::Format_RGB32);
    art.fill(qRgb(255, 0, 0));
    panel.Picture().SetImage(art);
    panel.SetShape(lsRectangle);
    img = panel.ComposeBackground();
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(4, 6), qRgb(0, 0, 0));
}

TEST_F(PanelTest, OutlineIsDotted) {
    TKLabelPanel panel(&form);
    panel.resize(60, 30);
    panel.SetShape(lsRectangle);
    panel.SetDrawOutline(true);
    const QImage img = panel.ComposeBackground();
    int dark = 0, light = 0;
    for (int x = 0; x < 60; ++x)
        (qGray(img.pixel(x, 0)) < 128 ? dark : light)++;
    EXPECT_GT(dark, 10);
    EXPECT_GT(light, 10);
    EXPECT_LT(qGray(img.pixel(0, 1)) + qGray(img.pixel(0, 2)), 2 * 255) << "left edge drawn";
    EXPECT_EQ(img.pixel(30, 15), qRgb(255, 255, 255));
}

TEST_F(PanelTest, HiddenPanelWorksLikeAVisibleOne) {
    TKLabelPanel visible(&form);
    visible.resize(250, 100);
    qbtest::FillPanel(visible);
    visible.SaveToFile(Path("v.L"));
    TKLabelPanel hidden; // never shown, no parent
    hidden.resize(250, 100);
    hidden.SetPrinting(true);
    hidden.LoadFromFile(Path("v.L"));
    EXPECT_FALSE(hidden.isVisible());
    EXPECT_EQ(TKLabelObjectFiler::PanelBytes(hidden), TKLabelObjectFiler::PanelBytes(visible));
}

TEST_F(PanelTest, PanelPictureForInspection) {
    TKLabelPanel panel(&form);
    panel.resize(252, 96); // 2.625 x 1 inch
    panel.SetShowGrid(true);
    panel.SetDrawOutline(true);
    panel.SetShape(lsRoundRect);
    const QImage img = panel.ComposeBackground();
    const QString out =
        qEnvironmentVariable("QB_BINARY_DIR", QDir::tempPath()) + "/labelpanel_grid.png";
    EXPECT_TRUE(img.save(out));
    // A 4x enlargement of the top-left corner, to see the clipping.
    EXPECT_TRUE(
        img.copy(0, 0, 64, 40).scaled(256, 160).save(QString(out).replace(".png", "_corner.png")));
    EXPECT_EQ(img.size(), QSize(252, 96));
    // The widget paints exactly the composed background.
    const QImage painted = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted, img);
}

TEST_F(PanelTest, PaintedBackgroundFollowsEveryChangeOfWhatItShows) {
    TKLabelPanel panel(&form);
    panel.resize(80, 40);
    auto painted = [&] { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    QImage art(4, 4, QImage::Format_RGB32);
    art.fill(qRgb(200, 0, 0));
    const std::vector<std::function<void()>> changes = {
        [&] { panel.SetShape(lsRectangle); }, [&] { panel.SetShowGrid(true); },
        [&] { panel.SetDrawOutline(true); },  [&] { panel.Picture().SetImage(art); },
        [&] { panel.resize(90, 40); },        [&] { panel.SetShape(lsEllipse); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        EXPECT_EQ(painted(), panel.ComposeBackground()) << "after change " << i;
    }
}

TEST_F(PanelTest, MetafileLabelArtIsPlayedIntoThePanelAndClipped) {
    TKLabelPanel panel(&form);
    panel.resize(100, 50);
    panel.SetShape(lsEllipse);
    // A red rectangle over the left half of a 100 x 50 metafile.
    const QByteArray wmf = qbtest::WmfBuilder()
                               .window(0, 0, 100, 50)
                               .brush(0, 0x0000FF)
                               .select(0)
                               .pen(5, 0, 0)
                               .select(1)
                               .rectangle(0, 0, 50, 50)
                               .placeable(0, 0, 100, 50, 96);
    ASSERT_TRUE(panel.ColorPicture().LoadFromData(wmf));
    const QImage img = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(25, 25), qRgb(255, 0, 0)) << "played";
    EXPECT_EQ(img.pixel(75, 25), qRgb(255, 255, 255)) << "unpainted part stays white";
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255)) << "clipped to the ellipse";
    // A new picture shows at once.
    panel.ColorPicture().Clear();
    EXPECT_EQ(panel.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(25, 25),
              qRgb(255, 255, 255));
}
