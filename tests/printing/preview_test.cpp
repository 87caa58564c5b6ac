#include "print_test_support.h"
#include "printing/previewform.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace qb;
using namespace qb::testing;

namespace {

std::shared_ptr<PageFile> samplePages(int pages) {
    return Record(
        [pages](PrintSurface& s) {
            for (int n = 1; n <= pages; ++n) {
                if (n > 1)
                    s.NewPage();
                s.UseFont(QStringLiteral("Arial"), 14);
                s.SetBold(true);
                s.WriteLine(QStringLiteral("Membership list — page %1").arg(n));
                s.UseFont(QStringLiteral("Arial"), 10);
                s.ClearColumns();
                s.AddColumn(s.AreaLeft(), 2.5, Justify::Left, 2, BorderBottom, 0);
                s.AddColumn(-1, 3.0, Justify::Left, 2, BorderBottom, 0);
                s.AddColumn(-1, 1.5, Justify::Right, 2, BorderBottom, 0);
                const char* names[] = {"Abbott, Ruth", "Baker, Tom", "Cortez, Ana", "Dunn, Paul"};
                for (int r = 0; r < 12; ++r) {
                    s.NextColumn(r % 2 ? 0 : 15);
                    s.WriteText(QString::fromUtf8(names[r % 4]));
                    s.WriteText(QStringLiteral("\t%1 Elm Street, Springfield\t%2")
                                    .arg(100 + r)
                                    .arg(62700 + r));
                    s.EndLine();
                }
                s.UsePen(Qt::darkBlue, PenStyle::Solid, -2);
                s.UseBrush(QColor(220, 230, 255), BrushStyle::Solid);
                s.RoundRect(1.0, 5.0, 4.0, 6.5, 0.3, 0.3);
                s.Ellipse(5.0, 5.0, 7.0, 6.5);
                s.MoveCursor(1.2, 5.5);
                s.WriteText(QStringLiteral("Tinted box"));
            }
        },
        FakeDevice(300));
}

} // namespace

TEST(PreviewZoom, FitsAreComputedFromPaperPlusMargins) {
    const QSizeF letter(8.5, 11);
    // At 96 dpi a letter page plus 2.5 % margins is 856.8 x 1096.8 pixels at 100 %.
    EXPECT_NEAR(TFilePreview::FitWidthZoom(letter, 96, QSize(857, 2000), 17, 2.5),
                857 / 856.8 * 100, 1e-9);
    EXPECT_NEAR(TFilePreview::FitWidthZoom(letter, 96, QSize(857, 600), 17, 2.5),
                (857 - 17) / 856.8 * 100, 1e-9)
        << "a page taller than the view leaves room for the scroll bar";
    EXPECT_NEAR(TFilePreview::FitPageZoom(letter, 96, QSize(2000, 548), 2.5), 548 / 1096.8 * 100,
                1e-9);
    EXPECT_NEAR(TFilePreview::FitPageZoom(letter, 96, QSize(428, 2000), 2.5), 428 / 856.8 * 100,
                1e-9);
    EXPECT_DOUBLE_EQ(TFilePreview::FitPageZoom(letter, 96, QSize(40, 40), 2.5), 10);
    EXPECT_DOUBLE_EQ(TFilePreview::FitWidthZoom(letter, 96, QSize(4000, 9000), 17, 2.5), 200);
}

TEST(PreviewZoom, ButtonsAndClicksStepAndClamp) {
    TPreviewForm form;
    form.InitialZoom = 100;
    form.SetPageFile(samplePages(1));
    form.Prepare();
    TFilePreview* v = form.Viewer();
    struct Case {
        double from;
        bool in;
        double to;
    } cases[] = {{195, true, 200}, {15, false, 10},  {100, true, 110},
                 {100, false, 90}, {200, true, 200}, {10, false, 10}};
    for (const Case& c : cases) {
        v->SetZoomFactor(c.from);
        c.in ? form.ZoomInClick() : form.ZoomOutClick();
        EXPECT_DOUBLE_EQ(v->ZoomFactor(), c.to) << c.from;
    }
    v->SetZoomFactor(100);
    QTest::mouseClick(v, Qt::LeftButton, {}, v->PageRect().center());
    EXPECT_DOUBLE_EQ(v->ZoomFactor(), 110);
    QTest::mouseClick(v, Qt::RightButton, {}, v->PageRect().center());
    QTest::mouseClick(v, Qt::MiddleButton, {}, v->PageRect().center());
    EXPECT_DOUBLE_EQ(v->ZoomFactor(), 90);
    QTest::mouseClick(v, Qt::LeftButton, {}, v->PageRect().topLeft() - QPoint(3, 3));
    EXPECT_DOUBLE_EQ(v->ZoomFactor(), 90) << "a click beside the page does not zoom";
    form.Zoom100Click();
    EXPECT_DOUBLE_EQ(v->ZoomFactor(), 100);
    EXPECT_EQ(v->PageRect().width(), qRound(8.5 * v->ScreenDpi()));
}

TEST(PreviewWindow, InitialZoomChoosesTheFit) {
    struct Case {
        int initial;
        double expected; // < 0: compute the fit
    } cases[] = {{1, -1}, {2, -2}, {100, 100}, {75, 75}};
    for (const Case& c : cases) {
        TPreviewForm form;
        form.resize(700, 500);
        form.InitialZoom = c.initial;
        form.SetPageFile(samplePages(1));
        form.Prepare();
        const QSize vp = form.ScrollBox()->maximumViewportSize();
        const QSizeF paper(8.5, 11);
        const double dpi = form.Viewer()->ScreenDpi();
        double expected = c.expected;
        if (c.expected == -1)
            expected = TFilePreview::FitPageZoom(paper, dpi, vp, 2.5);
        else if (c.expected == -2)
            expected = TFilePreview::FitWidthZoom(
                paper, dpi, vp, form.ScrollBox()->verticalScrollBar()->sizeHint().width(), 2.5);
        EXPECT_NEAR(form.Viewer()->ZoomFactor(), expected, 1e-9) << c.initial;
    }
}

TEST(PreviewWindow, OnePageHidesThePageButtons) {
    TPreviewForm form;
    form.InitialZoom = 100;
    form.SetPageFile(samplePages(1));
    form.show();
    EXPECT_EQ(form.Caption(), QStringLiteral("Preview Page 1 of 1 ( 100% )"));
    for (const char* name :
         {"FirstPageButton", "PriorPageButton", "NextPageButton", "LastPageButton"})
        EXPECT_FALSE(form.Button(QString::fromLatin1(name))->isVisible()) << name;
    EXPECT_TRUE(form.Button(QStringLiteral("Zoom100Button"))->isVisible());
}

TEST(PreviewWindow, PageButtonsMoveAndTheCaptionFollows) {
    TPreviewForm form;
    form.setWindowTitle(QStringLiteral("Preview Report"));
    form.InitialZoom = 75;
    form.SetPageFile(samplePages(5));
    EXPECT_EQ(form.Caption(), QStringLiteral("Preview Report")) << "read on first activation";
    form.show();
    EXPECT_TRUE(form.Button(QStringLiteral("NextPageButton"))->isVisible());
    EXPECT_EQ(form.Caption(), QStringLiteral("Preview Page 1 of 5 ( 75% )"));
    struct Step {
        const char* button;
        const char* caption;
    } steps[] = {
        {"PriorPageButton", "Preview Page 1 of 5 ( 75% )"},
        {"NextPageButton", "Preview Page 2 of 5 ( 75% )"},
        {"NextPageButton", "Preview Page 3 of 5 ( 75% )"},
        {"LastPageButton", "Preview Page 5 of 5 ( 75% )"},
        {"NextPageButton", "Preview Page 5 of 5 ( 75% )"},
        {"ZoomOutButton", "Preview Page 5 of 5 ( 65% )"},
        {"FirstPageButton", "Preview Page 1 of 5 ( 65% )"},
    };
    for (const Step& s : steps) {
        form.Button(QString::fromLatin1(s.button))->click();
        EXPECT_EQ(form.Caption(), QString::fromLatin1(s.caption)) << s.button;
    }
    EXPECT_EQ(TextOps(form.Viewer()->CurrentPage()).at(0).text,
              QStringLiteral("Membership list — page 1"));
}

TEST(PreviewWindow, ArrowKeysScrollWithinTheView) {
    TPreviewForm form;
    form.resize(700, 400);
    form.InitialZoom = 150;
    form.SetPageFile(samplePages(1));
    form.show();
    QScrollBar* v = form.ScrollBox()->verticalScrollBar();
    ASSERT_GT(v->maximum(), 0);
    QTest::keyClick(&form, Qt::Key_Up);
    EXPECT_EQ(v->value(), 0);
    QTest::keyClick(&form, Qt::Key_Down);
    EXPECT_EQ(v->value(), v->singleStep());
    for (int i = 0; i < 2000 && v->value() < v->maximum(); ++i)
        QTest::keyClick(&form, Qt::Key_Down);
    QTest::keyClick(&form, Qt::Key_Down);
    EXPECT_EQ(v->value(), v->maximum());
}

TEST(PreviewWindow, EnterEscapeAndOkCloseAndReleaseThePages) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        auto pages = samplePages(2);
        std::weak_ptr<PageFile> watch = pages;
        TPreviewForm form;
        form.SetPageFile(std::move(pages));
        form.show();
        QTest::keyClick(&form, key);
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(watch.expired()) << "closing the window releases the page file";
    }
    TPreviewForm form;
    form.SetPageFile(samplePages(1));
    form.show();
    form.Button(QStringLiteral("OkButton"))->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(PreviewWindow, RendersThePageAsItPrints) {
    TPreviewForm form;
    form.resize(900, 760);
    form.setWindowTitle(QStringLiteral("Preview Report"));
    form.InitialZoom = 2;
    form.SetPageFile(samplePages(3));
    form.show();
    form.NextPageClick();
    QApplication::processEvents(); // let the scroll box lay itself out
    EXPECT_FALSE(form.ScrollBox()->horizontalScrollBar()->isVisible())
        << "at page width the page never scrolls sideways";
    const QImage shot = form.grab().toImage();
    const QString dir = qEnvironmentVariable("QB_BINARY_DIR", QStringLiteral("."));
    shot.save(dir + QStringLiteral("/preview_window.png"));
    // The page is white paper with ink on it inside the grey scroll box.
    TFilePreview* v = form.Viewer();
    const QImage page = v->grab(v->PageRect()).toImage();
    int ink = 0, paper = 0;
    for (int y = 0; y < page.height(); y += 2)
        for (int x = 0; x < page.width(); x += 2) {
            const int g = qGray(page.pixel(x, y));
            (g > 250 ? paper : g < 100 ? ink : paper) += (g > 250 || g < 100) ? 1 : 0;
        }
    EXPECT_GT(paper, ink * 5);
    EXPECT_GT(ink, 50);
}
