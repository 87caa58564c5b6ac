// The "Print Labels" window: its grid and details, and New, Modify, Clone
// and Delete on a temporary home.
#include "app/messages.h"
#include "labelobjects/panels.h"
#include "labels/labellistwindow.h"
#include "labels/support/temporary_home.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

class LabelList : public TemporaryHomeTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TemporaryHomeTest::SetUp());
        sys = SystemDirectory();
    }

    // A designer stand-in: puts `objects` rectangles on the panel, renames
    // the label and saves.
    static std::function<bool(TLabelSetupScreen&, LabelDefinition&)>
    Designer(QString name, int objects, int* calls = nullptr) {
        return [name, objects, calls](TLabelSetupScreen& w, LabelDefinition& def) {
            if (calls)
                ++*calls;
            QWidget host;
            TKLabelPanel panel(&host, &host);
            panel.resize(LabelPanelSize(def));
            if (LayoutFileExists(def.binary))
                panel.LoadFromFile(LayoutFilePath(def.binary));
            panel.SetPanelState(psRectangle);
            for (int i = 0; i < objects; ++i)
                panel.CreateObjectInRect(QRect(4 + 10 * i, 4, 40, 20));
            def.descript = name;
            return SaveLabelDefinition(w.LabelTable(), def, panel);
        };
    }
    static int ObjectsIn(const QString& binary) {
        QWidget host;
        TKLabelPanel panel(&host, &host);
        panel.resize(400, 400);
        panel.LoadFromFile(LayoutFilePath(binary));
        return static_cast<int>(panel.Objects().size());
    }
    void AddLabel(TLabelSetupScreen& w, const QString& name, int objects) {
        w.OpenDesigner = Designer(name, objects);
        w.NewClick();
    }

    QString sys;
};

} // namespace

TEST_F(LabelList, EmptyTableIsCreatedAndDisablesTheRecordCommands) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    EXPECT_TRUE(QFile::exists(sys + "LABEL.DBF"));
    EXPECT_TRUE(QFile::exists(sys + "LABEL.CDX"));
    EXPECT_EQ(w.windowTitle(), "Print Labels");
    EXPECT_FALSE(w.HasDefinitions());
    EXPECT_TRUE(w.Descriptions().isEmpty());
    EXPECT_FALSE(w.Grid()->isEnabled());
    for (const char* c : {"Modify", "Delete", "Clone"})
        EXPECT_FALSE(w.Button(c)->isEnabled()) << c;
    EXPECT_TRUE(w.Button("New")->isEnabled());
    EXPECT_TRUE(w.PrintPanelSlot()->isHidden());
    // The working copy is the built-in default, so New starts from it.
    EXPECT_EQ(w.Commands().Working().descript, "Default Label Setup");
    // The record commands do nothing and say nothing.
    w.ModifyClick();
    w.CloneClick();
    w.DeleteClick();
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LabelList, NewStoresRecordAndLayoutAndCancelStoresNothing) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    LabelDefinition seen;
    w.OpenDesigner = [&](TLabelSetupScreen&, LabelDefinition& def) {
        seen = def;
        return false; // cancelled
    };
    w.NewClick();
    EXPECT_EQ(seen.descript, "<New Label>");
    EXPECT_TRUE(seen.isNew);
    EXPECT_EQ(seen.binary, "BIN00001.L");
    EXPECT_DOUBLE_EQ(seen.horizPitch, 2.765);
    EXPECT_FALSE(w.HasDefinitions());
    EXPECT_FALSE(QFile::exists(sys + "BIN00001.L"));

    AddLabel(w, "Return Address", 2);
    ASSERT_TRUE(w.HasDefinitions());
    EXPECT_EQ(w.Descriptions(), QStringList{"Return Address"});
    EXPECT_EQ(w.DetailText("Sheet Name"), "Avery 5160  Address");
    EXPECT_EQ(w.DetailText("Label Width"), "2.625");
    EXPECT_EQ(w.DetailText("# Across"), "3");
    EXPECT_EQ(w.DetailText("Paper Size"), "LTR");
    EXPECT_EQ(w.DetailText("Paper Height"), "11.000");
    EXPECT_FALSE(w.PrintPanelSlot()->isHidden());
    EXPECT_EQ(ObjectsIn("BIN00001.L"), 2);
    EXPECT_EQ(w.CurrentDefinition().binary, "BIN00001.L");
    EXPECT_EQ(w.CurrentDefinition().prodType, "ADDRESS/SHIPPING LABELS");

    // The grid lists by description.
    AddLabel(w, "Alpha", 1);
    EXPECT_EQ(w.Descriptions(), (QStringList{"Alpha", "Return Address"}));
    EXPECT_EQ(w.CurrentDefinition().descript, "Alpha");
    EXPECT_EQ(w.CurrentDefinition().binary, "BIN00002.L");
}

TEST_F(LabelList, ModifyKeepsTheFileOrStartsANewOneWhenItIsMissing) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    AddLabel(w, "Return Address", 1);
    int calls = 0;
    w.OpenDesigner = Designer("Return Address 2", 1, &calls);
    w.ModifyClick();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(w.Descriptions(), QStringList{"Return Address 2"});
    EXPECT_EQ(w.CurrentDefinition().binary, "BIN00001.L");
    EXPECT_EQ(ObjectsIn("BIN00001.L"), 2); // loaded, one added

    ASSERT_TRUE(QFile::remove(sys + "BIN00001.L"));
    {
        QFile other(sys + "BIN00001.L.bak");
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    }
    LabelDefinition seen;
    w.OpenDesigner = [&](TLabelSetupScreen& window, LabelDefinition& def) {
        seen = def;
        return Designer("Return Address 2", 1)(window, def);
    };
    w.ModifyClick();
    EXPECT_EQ(seen.binary, "BIN00001.L"); // the first free name again
    EXPECT_FALSE(seen.isNew);
    EXPECT_EQ(w.Descriptions().size(), 1);
    EXPECT_EQ(ObjectsIn(w.CurrentDefinition().binary), 1);
}

TEST_F(LabelList, CloneCopiesRecordAndObjectsUnderANewName) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    AddLabel(w, "Return Address", 3);
    LabelDefinition original = w.CurrentDefinition();

    messages.answer(false);
    w.CloneClick();
    EXPECT_EQ(messages.shown.back().text, "Clone \"Return Address\"?");
    EXPECT_EQ(messages.shown.back().title, "CLONE");
    EXPECT_EQ(w.Descriptions().size(), 1);

    messages.answer(true);
    w.CloneClick();
    ASSERT_EQ(w.Descriptions(), (QStringList{"Clone of :Return Address", "Return Address"}));
    const LabelDefinition clone = w.CurrentDefinition();
    EXPECT_EQ(clone.descript, "Clone of :Return Address");
    EXPECT_EQ(clone.binary, "BIN00002.L");
    EXPECT_EQ(ObjectsIn("BIN00002.L"), 3);
    EXPECT_EQ(clone.tplDescrip, original.tplDescrip);
    EXPECT_DOUBLE_EQ(clone.horizPitch, original.horizPitch);
    EXPECT_EQ(clone.paperSize, original.paperSize);

    // Cloning the clone cuts the description to 50 characters in all.
    AddLabel(w, QString(48, QLatin1Char('x')), 1);
    messages.answer(true);
    w.CloneClick();
    EXPECT_EQ(w.CurrentDefinition().descript,
              ("Clone of :" + QString(48, QLatin1Char('x'))).left(50));
    EXPECT_EQ(w.CurrentDefinition().descript.size(), 50);
}

TEST_F(LabelList, CloneAndPrintRefuseAMissingLayoutFile) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    AddLabel(w, "Return Address", 1);
    ASSERT_TRUE(QFile::remove(sys + "BIN00001.L"));
    messages.answer(true);
    w.CloneClick();
    EXPECT_EQ(messages.shown.back().text,
              "Label definition file has been removed from the sysdata directory");
    EXPECT_EQ(w.Descriptions().size(), 1);
    EXPECT_TRUE(w.Commands().ExistingLayoutPath().isEmpty());
    EXPECT_EQ(messages.shown.back().text,
              "Label definition file has been removed from the sysdata directory");
}

TEST_F(LabelList, DeleteAsksAndRemovesRecordAndFile) {
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    AddLabel(w, "Return Address", 1);
    AddLabel(w, "Alpha", 1);
    ASSERT_EQ(w.CurrentDefinition().descript, "Alpha");

    messages.answer(false);
    w.DeleteClick();
    EXPECT_EQ(messages.shown.back().text, "Delete \"Alpha\"?");
    EXPECT_EQ(messages.shown.back().title, "DELETE");
    EXPECT_TRUE(QFile::exists(sys + "BIN00002.L"));

    messages.answer(true);
    w.DeleteClick();
    EXPECT_EQ(w.Descriptions(), QStringList{"Return Address"});
    EXPECT_FALSE(QFile::exists(sys + "BIN00002.L"));
    EXPECT_TRUE(QFile::exists(sys + "BIN00001.L"));
    EXPECT_EQ(w.CurrentDefinition().descript, "Return Address");

    messages.answer(true);
    w.DeleteClick();
    EXPECT_FALSE(w.HasDefinitions());
    EXPECT_FALSE(w.Button("Modify")->isEnabled());
    // A freed name is used again.
    LabelDefinition fresh;
    ASSERT_TRUE(w.Commands().PrepareNew(fresh));
    EXPECT_EQ(fresh.binary, "BIN00001.L");
}

TEST_F(LabelList, LayoutNamesLeadingOutOfSysdataAreNeverFollowed) {
    // A record whose layout name points at a file beside sysdata/.
    {
        QFile outside(home.filePath("KEEP.L"));
        ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
        outside.write("not a layout");
    }
    TLabelSetupScreen w(nullptr);
    ASSERT_TRUE(w.OpenLabelTable());
    AddLabel(w, "Hostile", 1);
    ASSERT_TRUE(w.LabelTable().edit());
    w.LabelTable().setString("BINARY", "../KEEP.L");
    ASSERT_TRUE(w.LabelTable().post());
    w.RefreshList();
    const QString unsafe = UnsafeLayoutNameMessage("../KEEP.L");

    messages.answer(true);
    w.CloneClick();
    EXPECT_EQ(messages.shown.back().text.toStdString(), unsafe.toStdString());
    EXPECT_EQ(w.Descriptions().size(), 1);

    LabelDefinition seen;
    w.OpenDesigner = [&](TLabelSetupScreen&, LabelDefinition& def) {
        seen = def;
        return false;
    };
    messages.clear();
    w.ModifyClick();
    EXPECT_TRUE(messages.sawText(unsafe));
    EXPECT_EQ(seen.binary, "BIN00002.L");

    messages.clear();
    messages.answer(true);
    w.DeleteClick();
    EXPECT_FALSE(w.HasDefinitions());
    EXPECT_TRUE(QFile::exists(home.filePath("KEEP.L")));
    EXPECT_TRUE(messages.sawText(unsafe));
}

TEST_F(LabelList, NoFreeLayoutNameCreatesNothing) {
    QTemporaryDir full;
    ASSERT_TRUE(full.isValid());
    for (int n = 1; n <= 99999; ++n) {
        QFile f(full.filePath(QStringLiteral("BIN%1.L").arg(n, 5, 10, QLatin1Char('0'))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(NewLayoutFileName(full.path()).isEmpty());
    TableDataset table;
    ASSERT_TRUE(OpenLabelTable(table));
    LabelListCommands commands(table, full.path());
    LabelDefinition def;
    EXPECT_FALSE(commands.PrepareNew(def));
    EXPECT_EQ(messages.texts(), QStringList{NoFreeLayoutNameMessage()});

    // A stored label whose layout exists cannot be cloned either.
    QWidget host;
    TKLabelPanel panel(&host, &host);
    LabelDefinition stored = LabelDefinition::NewLabelDefault();
    stored.descript = "Kept";
    stored.binary = "BIN00005.L";
    ASSERT_TRUE(SaveLabelDefinition(table, stored, panel, full.path()));
    messages.clear();
    messages.answer(true);
    ASSERT_TRUE(table.first());
    EXPECT_FALSE(commands.Clone());
    EXPECT_TRUE(messages.sawText(NoFreeLayoutNameMessage()));
    int records = 0;
    for (bool more = table.first(); more && !table.eof(); more = table.next())
        ++records;
    EXPECT_EQ(records, 1);
}
