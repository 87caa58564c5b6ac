#include "app/messages.h"
#include "print_test_support.h"
#include "printing/jobstatuswindow.h"
#include "printing/printers.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;
using namespace qb::testing;

namespace {

// The usual status set-up and a record loop of `pages` pages that clicks the
// window's button while composing page `clickOnPage` (0: never).
void attachJob(JobStatusWindow& w, int pages, int clickOnPage, bool preview) {
    w.Surface().OnBeforePrint = [preview](PrintSurface& s) {
        s.ReadDeviceMetrics();
        s.ResetArea();
        s.StatusFormat = preview ? QStringLiteral("Preparing Preview Page %p\r%0\r%1")
                                 : QStringLiteral("Printing Page %p\r%0\r%1");
        s.StatusLines = QStringList{QString(), QString()};
    };
    w.Surface().OnPrint = [&w, pages, clickOnPage](PrintSurface& s) {
        for (int n = 1; n <= pages; ++n) {
            if (w.StopRequested() || s.JobCancelled())
                return;
            if (n > 1)
                s.NewPage();
            s.WriteLine(QStringLiteral("record %1").arg(n));
            if (n == clickOnPage)
                w.CancelButtonClick();
        }
    };
}

class JobWindow : public ::testing::Test {
protected:
    void SetUp() override {
        previous = CurrentPrinterName();
        SelectCurrentPrinter(PdfPrinterName());
        pdf = dir.filePath(QStringLiteral("status.pdf"));
        SetPdfOutputFile(pdf);
    }
    void TearDown() override {
        SetPdfOutputFile(QString());
        SelectCurrentPrinter(previous);
    }
    QTemporaryDir dir;
    QString pdf;
    QString previous;
    MessageScript script;
};

} // namespace

TEST_F(JobWindow, CaptionsAndButtonsFollowTheMode) {
    JobStatusWindow print(JobStatusWindow::Mode::Print);
    EXPECT_EQ(print.windowTitle(), QStringLiteral("Print Status"));
    EXPECT_EQ(print.ButtonCaption(), QStringLiteral("Cancel"));
    EXPECT_EQ(&print.Surface(), static_cast<PrintSurface*>(&print.Printer()));
    JobStatusWindow preview(JobStatusWindow::Mode::Preview);
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Preview Status"));
    EXPECT_EQ(preview.ButtonCaption(), QStringLiteral("Stop"));
    EXPECT_EQ(&preview.Surface(), static_cast<PrintSurface*>(&preview.Filer()));
    EXPECT_EQ(preview.Pages()->PageCount(), 0);
}

TEST_F(JobWindow, ACompletedPrintWaitsForOk) {
    JobStatusWindow w(JobStatusWindow::Mode::Print);
    QString statusOnPage3;
    w.Surface().OnNewPage = [&](PrintSurface& s) {
        if (s.PageNumber() == 3)
            statusOnPage3 = w.StatusLabel()->text();
    };
    attachJob(w, 4, 0, false);
    w.Run();
    EXPECT_EQ(statusOnPage3, QStringLiteral("Printing Page 3\n\n"));
    EXPECT_EQ(w.FinalStatus(), QStringLiteral("\rReport Print Completed!"));
    EXPECT_EQ(w.ButtonCaption(), QStringLiteral("Ok"));
    EXPECT_TRUE(w.StatusLabel()->text().contains(pdf)) << "the user learns where the PDF went";
    EXPECT_TRUE(script.shown.empty());
    EXPECT_TRUE(QFile::exists(pdf));
    w.CancelButtonClick();
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST_F(JobWindow, CancellingAPrintAsksFirst) {
    struct Case {
        bool answer;
        const char* finalStatus;
        bool cancelled;
        int pagesComposed;
    } cases[] = {
        {true, "\rReport Print Canceled!", true, 2},
        {false, "\rReport Print Completed!", false, 5},
    };
    for (const Case& c : cases) {
        script.clear();
        script.answer(c.answer);
        JobStatusWindow w(JobStatusWindow::Mode::Print);
        attachJob(w, 5, 2, false);
        w.Run();
        EXPECT_EQ(script.texts(), QStringList{QStringLiteral("Cancel Report Printing?")});
        EXPECT_EQ(w.FinalStatus(), QString::fromLatin1(c.finalStatus));
        EXPECT_EQ(w.JobCancelled(), c.cancelled);
        EXPECT_EQ(w.Surface().PageNumber(), c.pagesComposed);
        EXPECT_EQ(QFile::exists(pdf), !c.cancelled) << "a cancelled document is aborted";
        QFile::remove(pdf);
    }
}

TEST_F(JobWindow, AClickWaitingInTheQueueIsSeenAtTheNextPageStart) {
    script.answer(true);
    JobStatusWindow w(JobStatusWindow::Mode::Print);
    auto* button = w.findChild<QPushButton*>();
    ASSERT_NE(button, nullptr);
    int composed = 0;
    w.Surface().OnPrint = [&](PrintSurface& s) {
        for (int n = 1; n <= 5; ++n) {
            if (n > 1)
                s.NewPage(); // lets the pending click run
            if (s.JobCancelled())
                break;
            ++composed;
            if (n == 2)
                QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
        }
    };
    w.Run();
    EXPECT_EQ(composed, 2);
    EXPECT_EQ(script.texts(), QStringList{QStringLiteral("Cancel Report Printing?")});
    EXPECT_EQ(w.FinalStatus(), QStringLiteral("\rReport Print Canceled!"));
}

TEST_F(JobWindow, StoppingAPreviewKeepsThePagesSoFar) {
    JobStatusWindow w(JobStatusWindow::Mode::Preview);
    attachJob(w, 6, 3, true);
    w.Run();
    EXPECT_TRUE(script.shown.empty()) << "a preview stops without asking";
    EXPECT_TRUE(w.StopRequested());
    EXPECT_FALSE(w.JobCancelled());
    EXPECT_EQ(w.FinalStatus(), QStringLiteral("\rPreview Stopped at page 3!"));
    ASSERT_EQ(w.Pages()->PageCount(), 3);
    EXPECT_EQ(TextOps(w.Pages()->Page(2)).at(0).text, QStringLiteral("record 3"));
    EXPECT_FALSE(QFile::exists(pdf)) << "a preview never touches the printer";
}

TEST_F(JobWindow, FinalTextsOfTheTwoWordings) {
    struct Case {
        JobWording wording;
        JobStatusWindow::Mode mode;
        const char* ready;
        bool closesByItself;
    } cases[] = {
        {JobWording::Report(), JobStatusWindow::Mode::Preview, "\rReport Preview Ready!", false},
        {JobWording::Label(), JobStatusWindow::Mode::Preview, "\rLabel Preview Ready!", true},
        {JobWording::Label(), JobStatusWindow::Mode::Print, "\rLabel Print Completed!", false},
    };
    for (const Case& c : cases) {
        JobStatusWindow w(c.mode, c.wording);
        attachJob(w, 2, 0, c.mode == JobStatusWindow::Mode::Preview);
        w.Run();
        QApplication::processEvents();
        EXPECT_EQ(w.FinalStatus(), QString::fromLatin1(c.ready));
        EXPECT_EQ(w.result() == QDialog::Accepted, c.closesByItself) << c.ready;
    }
    script.answer(true);
    JobStatusWindow label(JobStatusWindow::Mode::Print, JobWording::Label());
    attachJob(label, 3, 1, false);
    label.Run();
    EXPECT_EQ(script.texts(), QStringList{QStringLiteral("Cancel Label Printing?")});
    EXPECT_EQ(label.FinalStatus(), QStringLiteral("\rLabel Print Canceled!"));
}

TEST_F(JobWindow, AFailingDrawingRoutineEndsTheJobVisibly) {
    JobStatusWindow w(JobStatusWindow::Mode::Preview);
    w.Surface().OnPrint = [](PrintSurface& s) {
        s.WriteLine(QStringLiteral("half"));
        throw std::runtime_error("Layout file is damaged");
    };
    w.Run();
    EXPECT_TRUE(script.sawText(QStringLiteral("Layout file is damaged")));
    EXPECT_TRUE(w.Finished());
    EXPECT_TRUE(w.JobCancelled()) << "no preview of a broken job";
    EXPECT_EQ(w.FinalStatus(), QStringLiteral("\rReport Preview Canceled!"));
    EXPECT_EQ(w.ButtonCaption(), QStringLiteral("Ok"));
}

TEST_F(JobWindow, ShowingTheWindowRunsTheJobOnce) {
    JobStatusWindow w(JobStatusWindow::Mode::Preview);
    int runs = 0;
    w.Surface().OnPrint = [&](PrintSurface& s) {
        ++runs;
        s.WriteLine(QStringLiteral("x"));
    };
    w.show();
    for (int i = 0; i < 100 && !w.Finished(); ++i)
        QApplication::processEvents();
    w.hide();
    w.show();
    QApplication::processEvents();
    EXPECT_TRUE(w.Finished());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(w.Pages()->PageCount(), 1);
}

TEST_F(JobWindow, EscapeWhileRunningActsLikeTheButton) {
    script.answer(true);
    JobStatusWindow w(JobStatusWindow::Mode::Print);
    w.Surface().OnPrint = [&](PrintSurface& s) {
        s.WriteLine(QStringLiteral("x"));
        w.reject();
        EXPECT_TRUE(s.JobCancelled());
    };
    w.Run();
    EXPECT_EQ(script.texts(), QStringList{QStringLiteral("Cancel Report Printing?")});
    EXPECT_NE(w.result(), QDialog::Accepted);
}
