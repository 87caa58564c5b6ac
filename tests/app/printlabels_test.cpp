// "Print Labels" from the main window: the records choice follows the main
// window's filter, and after a label run the main window's filter, order and
// record are current again.
#include "app/addressmain.h"
#include "app/cli.h"
#include "app/messages.h"
#include "app/modal.h"
#include "labels/labellistwindow.h"
#include "labels/labelprintpanel.h"
#include "labels/selectspecificlabels.h"
#include "printing/jobstatuswindow.h"
#include "printing/previewform.h"
#include "printing/printers.h"
#include "storage/dataset.h"
#include "storage/settings.h"

#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdio>

#include <gtest/gtest.h>

using namespace qb;

namespace {

class PrintLabelsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        previousHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        EnsureHomeLayout();
        ASSERT_TRUE(SelectCurrentPrinter(PdfPrinterName()));
        ASSERT_EQ(AddDemoLabelCommand(DemoLabelDescription(), stderr), CliOk);
        w = std::make_unique<TAddressMain>();
        w->FormActivate();
        ASSERT_TRUE(w->table().isOpen());
        for (const char* name : {"Adams", "Baker", "Clark", "Davis"}) {
            ASSERT_TRUE(w->table().insert());
            ASSERT_TRUE(w->table().setString("LNAME", QString::fromLatin1(name)));
            ASSERT_TRUE(w->table().setString("CITY", name[0] < 'C' ? "Boston" : "Albany"));
            ASSERT_TRUE(w->table().setString("ZIP", "12345"));
            ASSERT_TRUE(w->table().post()) << w->table().errorText().toStdString();
        }
        w->SetButtons();
        shown.clear();
    }
    void TearDown() override {
        w.reset();
        SetProgramDirectory(previousHome);
    }

    int onDialog(QDialog& d) {
        shown << QString::fromLatin1(d.metaObject()->className());
        if (auto* screen = qobject_cast<TLabelSetupScreen*>(&d)) {
            panel = screen->findChild<TLabelPrintPanel*>();
            if (panel) {
                filterEnabled = panel->FilterButton()->isEnabled();
                allChecked = panel->AllRecordsButton()->isChecked();
                if (preview)
                    panel->PreviewClick();
                labels = panel->LastLabelsPrinted();
            }
            return QDialog::Accepted;
        }
        if (auto* p = qobject_cast<TSelectSpecificLabels*>(&d)) {
            p->OKButtonClick();
            return p->result();
        }
        if (auto* j = qobject_cast<JobStatusWindow*>(&d)) {
            j->Run();
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }

    QTemporaryDir home;
    QString previousHome;
    MessageScript messages;
    std::unique_ptr<TAddressMain> w;
    QStringList shown;
    TLabelPrintPanel* panel = nullptr;
    bool filterEnabled = true;
    bool allChecked = false;
    bool preview = false;
    int labels = -1;
    ModalScript modals{[this](QDialog& d) { return onDialog(d); }};
};

} // namespace

TEST_F(PrintLabelsCommandTest, WithoutAFilterAllRecordsIsChosenAndTheFilterChoiceIsOff) {
    w->mnuPrintLabelsClick();
    ASSERT_TRUE(shown.contains(QStringLiteral("qb::TLabelSetupScreen")));
    EXPECT_FALSE(filterEnabled);
    EXPECT_TRUE(allChecked);
}

TEST_F(PrintLabelsCommandTest, FilteredRunPrintsTheFilterAndPutsEverythingBack) {
    w->filter().setCriterion(AddressFilter::City, QStringLiteral("Albany"));
    ASSERT_EQ(w->ApplyFilter(), 2);
    ASSERT_TRUE(w->table().last());
    const QString filter = w->table().filterText();
    const QString order = w->table().order();
    const uint32_t recno = w->table().recno();
    preview = true;
    w->mnuPrintLabelsClick();
    EXPECT_TRUE(filterEnabled);
    EXPECT_FALSE(allChecked); // "Records matching filter" is the default
    EXPECT_EQ(labels, 2);
    EXPECT_TRUE(shown.contains(QStringLiteral("qb::TPreviewForm")));
    EXPECT_EQ(w->table().filterText(), filter);
    EXPECT_EQ(w->table().order(), order);
    EXPECT_EQ(w->table().recno(), recno);
}
