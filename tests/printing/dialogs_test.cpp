// The platform's print and page set-up dialogs, answered by a timer so that
// nothing waits for a user.
#include "print_test_support.h"
#include "printing/printers.h"
#include "printing/printersetupdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QPrintDialog>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qb;

namespace {
// Closes the next modal dialog with `accept` once it is up.
void answerNextDialog(bool accept, const std::function<void(QDialog*)>& before = {}) {
    QTimer::singleShot(0, [accept, before] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no dialog came up";
            return;
        }
        if (before)
            before(dialog);
        accept ? dialog->accept() : dialog->reject();
    });
}

class PrintDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        previous = CurrentPrinterName();
        SelectCurrentPrinter(PdfPrinterName());
    }
    void TearDown() override {
        SelectCurrentPrinter(previous);
        SetPdfOutputFile(QString());
        SetPrintCopies(1);
    }
    QString previous;
};
} // namespace

TEST_F(PrintDialogs, PrintOptionsCarryTheRangeBothWays) {
    TReportFiler s;
    s.SetFirstPage(2);
    s.SetLastPage(3);
    answerNextDialog(false);
    EXPECT_FALSE(s.AskPrintOptions());
    EXPECT_EQ(s.FirstPage(), 2) << "cancelling changes nothing";
    EXPECT_EQ(s.LastPage(), 3);

    answerNextDialog(true, [](QDialog* d) {
        auto* print = qobject_cast<QPrintDialog*>(d);
        ASSERT_NE(print, nullptr);
        EXPECT_EQ(print->minPage(), 1);
        EXPECT_EQ(print->maxPage(), 3) << "the range offered ends at LastPage";
    });
    EXPECT_TRUE(s.AskPrintOptions());
    EXPECT_EQ(s.FirstPage(), 2) << "the range shown is the range kept";
    EXPECT_EQ(s.LastPage(), 3);
    EXPECT_TRUE(AvailablePrinterNames().contains(CurrentPrinterName()));
}

TEST_F(PrintDialogs, AllPagesResetsTheRange) {
    TReportFiler s;
    answerNextDialog(true);
    ASSERT_TRUE(s.AskPrintOptions());
    EXPECT_EQ(s.FirstPage(), 1);
    EXPECT_EQ(s.LastPage(), 9999);
}

TEST_F(PrintDialogs, PrinterSetupChoosesPaperSourceAndOrientation) {
    TReportFiler s;
    s.SetCustomPaper(1, 0, 0);
    s.SetOrientation(PrintOrientation::poPortrait);
    answerNextDialog(false, [](QDialog* d) {
        auto* setup = qobject_cast<TPrinterSetupDialog*>(d);
        ASSERT_NE(setup, nullptr);
        setup->LandscapeButton()->setChecked(true);
    });
    EXPECT_FALSE(s.AskPrinterSetup());
    EXPECT_EQ(s.Orientation(), PrintOrientation::poPortrait) << "cancel changes nothing";

    answerNextDialog(true, [](QDialog* d) {
        auto* setup = qobject_cast<TPrinterSetupDialog*>(d);
        ASSERT_NE(setup, nullptr);
        EXPECT_EQ(setup->PrinterBox()->currentText(), PdfPrinterName());
        EXPECT_EQ(setup->PaperBox()->currentText(), QPageSize(QPageSize::Letter).name());
        EXPECT_TRUE(setup->PortraitButton()->isChecked());
        setup->PaperBox()->setCurrentText(QPageSize(QPageSize::Legal).name());
        setup->LandscapeButton()->setChecked(true);
    });
    ASSERT_TRUE(s.AskPrinterSetup());
    EXPECT_EQ(s.Orientation(), PrintOrientation::poLandScape);
    EXPECT_NEAR(s.PaperWidth(), 14.0, 0.01);
    EXPECT_NEAR(s.PaperHeight(), 8.5, 0.01);
}

TEST_F(PrintDialogs, PrinterSetupKeepsAPaperSetBySize) {
    TReportFiler s;
    s.SetCustomPaper(0, 4.0, 6.0);
    TPrinterSetupDialog setup(s);
    EXPECT_TRUE(setup.PaperBox()->currentText().startsWith(QStringLiteral("Custom")))
        << setup.PaperBox()->currentText().toStdString();
    setup.accept();
    EXPECT_NEAR(s.PaperWidth(), 4.0, 0.01);
    EXPECT_NEAR(s.PaperHeight(), 6.0, 0.01);
}
