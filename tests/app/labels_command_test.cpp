// "Print Labels" from the main window: the label list window on the open
// address file through the tool hand-over, and a label made from there.
#include "app/addressmain.h"
#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/panels.h"
#include "labels/designscreen.h"
#include "labels/labellistwindow.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

class LabelsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        SetProgramDirectory(home.path());
        EnsureHomeLayout();
    }
    std::unique_ptr<TAddressMain> start() {
        auto w = std::make_unique<TAddressMain>();
        w->FormActivate();
        shown.clear(); // the Getting Started window
        messages.clear();
        return w;
    }
    static void addPeople(TAddressMain& w) {
        for (const char* name : {"Adams", "Baker", "Jones"}) {
            ASSERT_TRUE(w.table().insert());
            ASSERT_TRUE(w.table().setString("LNAME", name));
            ASSERT_TRUE(w.table().post());
        }
        w.RecordFirstClick();
        w.RecordNextClick();
        w.SetButtons();
    }
    int onDialog(QDialog& d) {
        shown << QString::fromLatin1(d.metaObject()->className());
        return answer ? answer(d) : int(QDialog::Rejected);
    }

    QTemporaryDir home;
    MessageScript messages;
    QStringList shown;
    std::function<int(QDialog&)> answer;
    ModalScript modals{[this](QDialog& d) { return onDialog(d); }};
};

} // namespace

TEST_F(LabelsCommand, OpensTheListOnTheAddressFileAndPutsItBack) {
    auto w = start();
    addPeople(*w);
    const uint32_t recno = w->table().bookmark();
    const QString filter = w->table().filterText();
    ASSERT_TRUE(w->action("Print &Labels")->isEnabled());
    ASSERT_TRUE(w->button("Labels")->isEnabled());

    bool checked = false;
    answer = [&](QDialog& d) {
        auto* list = qobject_cast<TLabelSetupScreen*>(&d);
        EXPECT_NE(list, nullptr);
        if (!list)
            return int(QDialog::Rejected);
        checked = true;
        EXPECT_EQ(list->windowTitle(), "Print Labels");
        EXPECT_EQ(list->AddressTable(), &w->table());
        EXPECT_TRUE(list->LabelTable().isOpen());
        EXPECT_TRUE(QFile::exists(SystemDirectory() + "LABEL.DBF"));
        EXPECT_EQ(w->table().filterText(), "not DELETED()");
        EXPECT_TRUE(w->extraFieldsOn());
        return int(QDialog::Accepted);
    };
    w->action("Print &Labels")->trigger();
    EXPECT_TRUE(checked);
    EXPECT_EQ(shown, QStringList{"qb::TLabelSetupScreen"});
    EXPECT_EQ(w->table().bookmark(), recno);
    EXPECT_EQ(w->table().filterText(), filter);
    EXPECT_FALSE(w->extraFieldsOn());

    // The button does the same.
    shown.clear();
    answer = {};
    w->button("Labels")->click();
    EXPECT_EQ(shown, QStringList{"qb::TLabelSetupScreen"});
}

TEST_F(LabelsCommand, NothingHappensWithoutRecords) {
    auto w = start();
    EXPECT_FALSE(w->action("Print &Labels")->isEnabled());
    w->mnuPrintLabelsClick();
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(LabelsCommand, NewLabelIsDesignedAndStored) {
    auto w = start();
    addPeople(*w);
    answer = [&](QDialog& d) {
        if (auto* list = qobject_cast<TLabelSetupScreen*>(&d)) {
            list->NewClick();
            EXPECT_EQ(list->Descriptions(), QStringList{"Members"});
            return int(QDialog::Accepted);
        }
        if (auto* design = qobject_cast<TLabelDesignScreen*>(&d)) {
            design->FormActivate(); // as when shown: a new label gets its address block
            design->SetDescriptionText("Members");
            design->SaveClick();
            return d.result();
        }
        return int(QDialog::Rejected);
    };
    w->action("Print &Labels")->trigger();
    EXPECT_EQ(shown, (QStringList{"qb::TLabelSetupScreen", "qb::TLabelDesignScreen"}));
    ASSERT_TRUE(QFile::exists(SystemDirectory() + "BIN00001.L"));

    // Stored: the record and a layout holding the new label's address block.
    TableDataset labels;
    ASSERT_TRUE(OpenLabelTable(labels));
    ASSERT_TRUE(labels.first());
    const LabelDefinition def = LabelDefinition::FromRecord(labels);
    EXPECT_EQ(def.descript, "Members");
    EXPECT_EQ(def.binary, "BIN00001.L");
    EXPECT_DOUBLE_EQ(def.horizPitch, 2.765);
    QWidget host;
    TKLabelPanel panel(&host, &host);
    panel.resize(LabelPanelSize(def));
    panel.LoadFromFile(LayoutFilePath(def.binary));
    EXPECT_FALSE(panel.Objects().isEmpty());
}
