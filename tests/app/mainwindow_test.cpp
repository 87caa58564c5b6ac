// The main window on a real address file in a temporary home: start-up,
// opening and creating files, adding, editing, saving, deleting, the
// keyboard, the recently used list and the window's layout.
#include "addressbook/addressfile.h"
#include "addressbook/tagid.h"
#include "app/addressmain.h"
#include "app/browsewindow.h"
#include "app/copyrecord.h"
#include "app/dialer.h"
#include "app/gettingstarted.h"
#include "app/maindialogs.h"
#include "app/messages.h"
#include "app/modal.h"
#include "app/preferences.h"
#include "app/queryform.h"
#include "app/searchdialog.h"
#include "app/tagall.h"
#include "printing/jobstatuswindow.h"
#include "printing/pagefile.h"
#include "printing/previewform.h"
#include "reports/printcurrentrecord.h"
#include "storage/dataset.h"
#include "storage/reindex.h"
#include "storage/settings.h"
#include "xbase/table.h"

#include <QAction>
#include <QLineEdit>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace qb;

namespace {

using Values = QList<QPair<QString, QString>>;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        SetProgramDirectory(home.path());
        EnsureHomeLayout();
    }

    // Every dialog is answered by `answer` (rejected when none is set); the
    // class names of the dialogs shown are collected.
    int onDialog(QDialog& dialog) {
        shown << QString::fromLatin1(dialog.metaObject()->className());
        if (answer)
            return answer(dialog);
        return QDialog::Rejected;
    }

    std::unique_ptr<TAddressMain> start() {
        auto w = std::make_unique<TAddressMain>();
        w->FormActivate();
        return w;
    }

    static QString dataDir() { return ProgramDirectory() + "DATA/"; }

    static void add(TAddressMain& w, const Values& values, const QString& memo = {}) {
        ASSERT_TRUE(w.table().insert());
        for (const auto& [field, value] : values)
            ASSERT_TRUE(w.table().setString(field, value)) << field.toStdString();
        if (!memo.isEmpty()) {
            ASSERT_TRUE(w.table().setMemo("MEMO", memo));
        }
        ASSERT_TRUE(w.table().post()) << w.table().errorText().toStdString();
        w.SetButtons();
    }

    static QString value(TAddressMain& w, const char* field) { return w.table().asString(field); }

    static void setOption(const char* key, const QString& value) {
        IniFile().writeString("Adding", key, value);
    }

    QTemporaryDir home;
    MessageScript messages;
    QStringList shown;
    std::function<int(QDialog&)> answer;
    ModalScript modals{[this](QDialog& d) { return onDialog(d); }};
};

void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(w, k, mods);
}

} // namespace

// ---- start-up ----------------------------------------------------------------------------

TEST_F(MainWindowTest, FirstStartCreatesAndOpensTheStandardFile) {
    ASSERT_FALSE(QFile::exists(IniFileName()));
    auto w = start();
    const QString path = dataDir() + "add0001.DBF";
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_TRUE(w->table().isOpen());
    EXPECT_EQ(w->table().engine()->fields().size(), 23u);
    EXPECT_EQ(w->table().engine()->tagCount(), 26);
    EXPECT_TRUE(w->indexValid());
    EXPECT_EQ(w->currentFileName(), path);
    EXPECT_EQ(w->windowTitle(), "Quillbury - " + path);
    EXPECT_EQ(w->table().filterText(), "!ISDEL");
    EXPECT_EQ(w->table().order(), "LNAME");
    EXPECT_EQ(w->sortStatus()->text(), "Sorted by Last Name");
    EXPECT_EQ(w->filterStatus()->text(), "No records");
    EXPECT_FALSE(w->noDataPanel()->isVisibleTo(w.get()));

    IniFile ini;
    const QString id = ini.readString("Misc", "GlobalTagId");
    EXPECT_FALSE(id.isEmpty());
    EXPECT_LE(id.size(), 7);
    EXPECT_EQ(id, GlobalTagId());
    EXPECT_EQ(ini.readString("MRU", "Item1"), path);
    EXPECT_EQ(ini.sectionKeys("Misc"), QStringList{"GlobalTagId"});
    // Getting Started is shown unless the user turned it off.
    EXPECT_EQ(shown, QStringList{"qb::TGettingStarted"});
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('|').toStdString();
}

TEST_F(MainWindowTest, StartReopensTheFileUsedLastAndKeepsTheTagId) {
    IniFile().writeBool("Misc", "GettingStarted", true);
    QString id;
    {
        auto w = start();
        add(*w, {{"LNAME", "Smith"}});
        w->CreateNewDatabase("OTHER");
        ASSERT_EQ(w->currentFileName(), dataDir() + "OTHER.DBF");
        id = GlobalTagId();
    }
    auto w = start();
    EXPECT_EQ(w->currentFileName(), dataDir() + "OTHER.DBF");
    EXPECT_EQ(GlobalTagId(), id);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(MainWindowTest, MissingFileOfLastSessionLeavesNoFileOpen) {
    IniFile().writeString("MRU", "Item1", dataDir() + "GONE.DBF");
    auto w = start();
    EXPECT_FALSE(w->table().isOpen());
    EXPECT_TRUE(w->currentFileName().isEmpty());
    EXPECT_TRUE(w->noDataPanel()->isVisibleTo(w.get()));
    EXPECT_EQ(static_cast<QLabel*>(w->noDataPanel())->text(),
              "Please Open or Create a Quillbury Address file");
    EXPECT_TRUE(messages.sawText("File " + dataDir() + "GONE.DBF not found"));
    EXPECT_TRUE(messages.sawText("Unable to open " + dataDir() +
                                 "GONE.DBF\r\n\r\n * May not be a Quillbury file.\r\n * May be in "
                                 "use by another program or user"));
    EXPECT_FALSE(w->button("&Add")->isEnabled());
    EXPECT_FALSE(w->action("&Rebuild Indexes for this file")->isEnabled());
    EXPECT_TRUE(w->action("&Open Address DataBase")->isEnabled());
    EXPECT_FALSE(w->filterStatus()->isVisibleTo(w.get()));

    messages.clear();
    w->mnuRebuildIndexesClick();
    EXPECT_EQ(messages.texts(), QStringList{"You need to have a database file open first"});
}

// ---- opening ------------------------------------------------------------------------------

TEST_F(MainWindowTest, SecondOpenOfAnOpenFileIsRefused) {
    auto w = start();
    const QString path = w->currentFileName();
    TAddressMain second;
    messages.clear();
    EXPECT_FALSE(second.OpenQBXDBF(path));
    EXPECT_FALSE(second.table().isOpen());
    EXPECT_EQ(messages.texts(),
              QStringList{"Unable to open " + path +
                          "\r\n\r\n * May not be a Quillbury file.\r\n * May be in use by "
                          "another program or user"});
    EXPECT_EQ(second.windowTitle(), "Quillbury - " + path);
    EXPECT_TRUE(w->table().isOpen()); // the first window keeps its file
}

TEST_F(MainWindowTest, IndexLackingTagAsksForARebuild) {
    // An address file whose index has every tag but TAG.
    const QString path = dataDir() + "NOTAG.DBF";
    {
        std::vector<xbase::FieldDef> fields;
        for (const auto& f : AddressFile::Fields())
            fields.push_back({f.name, f.type, f.width, f.decimals, 0});
        xbase::Table::create(path.toStdString(), fields);
        auto t = xbase::Table::open(path.toStdString());
        for (const auto& tag : AddressFile::Tags())
            if (QByteArray(tag.name) != "TAG")
                t->createTag(tag.name, tag.keyExpr);
        t->appendBlank();
        t->putString(t->fieldIndex("LNAME"), "Brown");
        t->commit();
        t->close();
    }
    const QString question =
        "The index file for " + path + "\r\nis missing or invalid. Rebuild now?";
    auto w = start();

    // No: the file is closed again.
    messages.clear();
    messages.answer(false);
    EXPECT_TRUE(w->OpenQBXDBF(path));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Warning");
    EXPECT_EQ(messages.shown[0].text, question);
    EXPECT_FALSE(w->table().isOpen());
    EXPECT_TRUE(w->noDataPanel()->isVisibleTo(w.get()));
    EXPECT_TRUE(w->currentFileName().isEmpty());

    // Yes: the rebuild dialog runs and the file stays open with 26 tags.
    messages.clear();
    messages.answer(true);
    answer = [](QDialog& d) {
        if (auto* r = qobject_cast<TQBReindex*>(&d))
            r->DoitClick();
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(w->OpenQBXDBF(path));
    EXPECT_TRUE(shown.contains("qb::TQBReindex"));
    ASSERT_TRUE(w->table().isOpen());
    EXPECT_TRUE(w->indexValid());
    EXPECT_EQ(w->table().engine()->tagCount(), 26);
    EXPECT_EQ(value(*w, "LNAME"), "Brown");
    EXPECT_EQ(w->currentFileName(), path);
}

TEST_F(MainWindowTest, RecentFilesMoveToFrontAndTheFifthDropsTheOldest) {
    auto w = start();
    const QStringList names{"A1", "B2", "C3", "D4"};
    for (const QString& n : names)
        w->CreateNewDatabase(n);
    auto p = [this](const QString& n) { return dataDir() + n + ".DBF"; };
    EXPECT_EQ(w->GetMRUList(), (QStringList{p("D4"), p("C3"), p("B2"), p("A1")}));

    w->OpenQBXDBF(p("B2"));
    EXPECT_EQ(w->GetMRUList(), (QStringList{p("B2"), p("D4"), p("C3"), p("A1")}));

    w->OpenQBXDBF(dataDir() + "add0001.DBF");
    const QStringList expected{dataDir() + "add0001.DBF", p("B2"), p("D4"), p("C3")};
    EXPECT_EQ(w->GetMRUList(), expected);
    QStringList menu;
    for (QAction* a : w->mruActions())
        menu << a->text();
    EXPECT_EQ(menu, expected);

    // Choosing a file that cannot be opened goes back to the one that was open.
    QFile::remove(p("C3"));
    w->mruActions().last()->trigger();
    EXPECT_EQ(w->currentFileName(), dataDir() + "add0001.DBF");
    EXPECT_TRUE(w->table().isOpen());
}

TEST_F(MainWindowTest, NewFileDialogProposesAFreeNameAndRefusesBadOnes) {
    auto w = start(); // add0001.DBF exists now
    QFile(dataDir() + "ADD0002.DBF").open(QIODevice::WriteOnly);
    QString proposal;
    QList<bool> okEnabled;
    answer = [&](QDialog& d) {
        auto* dialog = qobject_cast<TNewDataBaseName*>(&d);
        if (!dialog)
            return int(QDialog::Rejected);
        proposal = dialog->name();
        for (const char* name : {"9LIST", "MY-LIST", "", "LIST_9"}) {
            dialog->nameEdit()->setText(name);
            okEnabled << dialog->okButton()->isEnabled();
        }
        EXPECT_TRUE(dialog->invalidLabel()->isHidden());
        return int(QDialog::Accepted);
    };
    w->mnuNewClick();
    EXPECT_EQ(proposal, "ADD0003");
    EXPECT_EQ(okEnabled, (QList<bool>{false, false, false, true}));
    EXPECT_EQ(w->currentFileName(), dataDir() + "LIST_9.DBF");
    EXPECT_EQ(w->table().engine()->tagCount(), 26);

    messages.clear();
    w->CreateNewDatabase("list_9");
    EXPECT_EQ(messages.texts(), QStringList{"That file already exists.Please select another name"});
    EXPECT_EQ(w->currentFileName(), dataDir() + "LIST_9.DBF");
}

// ---- record handling ------------------------------------------------------------------------------

TEST_F(MainWindowTest, MemoIsStoredWithTheBlankRule) {
    struct Case {
        QString typed;
        QString stored;
    };
    const Case cases[] = {
        {"abcd", "abcd "},
        {"ab\nc", "ab\r\nc"},
        {"ab\ncd", "ab\r\ncd"},
        {"abc\ndef", "abc\r\ndef "},
    };
    auto w = start();
    add(*w, {{"LNAME", "Memo"}});
    for (const Case& c : cases) {
        w->EditButtonClick();
        ASSERT_TRUE(w->Editing());
        w->memoEdit()->setPlainText(c.typed);
        w->SaveButtonClick();
        ASSERT_FALSE(w->Editing());
        EXPECT_EQ(w->table().memo("MEMO"), c.stored) << c.typed.toStdString();
        // The stored memo comes back into the editor.
        EXPECT_EQ(w->memoEdit()->toPlainText(), QString(c.stored).replace("\r\n", "\n"));
    }
}

TEST_F(MainWindowTest, TypingInTheMemoStartsAnEdit) {
    auto w = start();
    add(*w, {{"LNAME", "Memo"}}, "old");
    ASSERT_FALSE(w->Editing());
    w->memoEdit()->setPlainText("new text!");
    EXPECT_TRUE(w->Editing());
    w->SaveButtonClick();
    EXPECT_EQ(w->table().memo("MEMO"), "new text!");
}

TEST_F(MainWindowTest, DuplicateNameAnsweredNoAddsNothing) {
    setOption("AutoDupCheck", "1");
    auto w = start();
    add(*w, {{"LNAME", "Jones"}, {"FNAME", "Mary"}, {"STREET", "1 Elm St"},
             {"CITY", "Springfield"}, {"STATE", "IL"}, {"ZIP", "62701"}});
    add(*w, {{"LNAME", "Adams"}, {"FNAME", "Ann"}});
    ASSERT_EQ(value(*w, "LNAME"), "Adams");
    answer = [](QDialog& d) {
        auto* dialog = qobject_cast<TNewRecordDialog*>(&d);
        EXPECT_TRUE(dialog);
        EXPECT_TRUE(dialog->zipEdit()->isHidden());
        dialog->lastEdit()->setText("jones");
        dialog->firstEdit()->setText("mary");
        return int(QDialog::Accepted);
    };
    messages.clear();
    messages.answer(false);
    w->AddButtonClick();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, ShownMessage::QuestionDefaultNo);
    EXPECT_EQ(messages.shown[0].title, "Possible Duplicate");
    EXPECT_EQ(messages.shown[0].text,
              "Possible duplicate: \r\n\r\nMary Jones\r\n1 Elm St\r\nSpringfield,IL 62701\r\n\r\n"
              "Continue adding?");
    EXPECT_EQ(messages.beeps, 1);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(w->table().recordCount(), 2u);
    EXPECT_EQ(value(*w, "LNAME"), "Jones"); // the duplicate is shown
    EXPECT_EQ(w->table().order(), "LNAME");

    // Yes adds the record with the names given, from the record that was current.
    w->RecordLastClick();
    ASSERT_EQ(value(*w, "LNAME"), "Jones");
    w->RecordFirstClick();
    messages.answer(true);
    w->AddButtonClick();
    ASSERT_TRUE(w->Editing());
    EXPECT_EQ(value(*w, "LNAME"), "jones");
    EXPECT_EQ(value(*w, "FNAME"), "mary");
    EXPECT_EQ(QApplication::focusWidget() == w->fieldEdit("MI") || !w->isActiveWindow(), true);
    w->SaveButtonClick();
    EXPECT_EQ(w->table().recordCount(), 3u);
}

TEST_F(MainWindowTest, ZipLookUpFillsCityAndState) {
    setOption("PlugCityState", "1");
    auto w = start();
    add(*w, {{"LNAME", "Lincoln"}, {"CITY", "Springfield"}, {"STATE", "IL"}, {"ZIP", "62701"}});
    add(*w, {{"LNAME", "Adams"}, {"CITY", "Boston"}, {"STATE", "MA"}, {"ZIP", "02101"}});
    ASSERT_EQ(value(*w, "LNAME"), "Adams");

    struct Case {
        QString zip;
        bool carry;
        QString city, state;
    };
    const Case cases[] = {
        {"62701", false, "Springfield", "IL"},
        {"99999", false, "", ""},
        {"99999", true, "Boston", "MA"}, // carried from the current record
    };
    for (const Case& c : cases) {
        setOption("CarryCity", c.carry ? "1" : "0");
        setOption("CarryState", c.carry ? "1" : "0");
        w->LoadPreferences();
        answer = [&c](QDialog& d) {
            auto* dialog = qobject_cast<TNewRecordDialog*>(&d);
            EXPECT_TRUE(dialog && dialog->lastEdit()->isHidden());
            dialog->zipEdit()->setText(c.zip);
            return int(QDialog::Accepted);
        };
        w->AddButtonClick();
        ASSERT_TRUE(w->Editing()) << c.zip.toStdString();
        EXPECT_EQ(value(*w, "ZIP"), c.zip);
        EXPECT_EQ(value(*w, "CITY"), c.city) << c.zip.toStdString();
        EXPECT_EQ(value(*w, "STATE"), c.state) << c.zip.toStdString();
        w->CancelButtonClick();
        ASSERT_EQ(value(*w, "LNAME"), "Adams"); // the look-up left the record where it was
    }

    // Cancelling the dialog adds nothing.
    answer = [](QDialog&) { return int(QDialog::Rejected); };
    w->AddButtonClick();
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(w->table().recordCount(), 2u);
}

TEST_F(MainWindowTest, NewRecordGetsDefaultCountryDateAndCarriedFields) {
    setOption("DefaultCountry", "USA");
    setOption("PlugDate", "1");
    setOption("CarryOrg", "1");
    auto w = start();
    add(*w, {{"LNAME", "Ames"}, {"ORG", "Acme"}, {"COUNTRY", "Canada"}});
    w->AddButtonClick();
    ASSERT_TRUE(w->Editing());
    EXPECT_EQ(value(*w, "COUNTRY"), "USA");
    EXPECT_EQ(value(*w, "ORG"), "Acme");
    EXPECT_EQ(value(*w, "DATE"), QDate::currentDate().toString("yyyyMMdd"));
    EXPECT_TRUE(w->button("&Save")->isVisibleTo(w.get()));
    EXPECT_FALSE(w->button("&Add")->isVisibleTo(w.get()));
    for (QMenu* menu : w->findChildren<QMenu*>()) {
        if (menu->title() == "&File") {
            EXPECT_FALSE(menu->isEnabled());
        }
    }
    w->fieldEdit("Last")->setFocus();
    w->SaveButtonClick();
    EXPECT_EQ(w->table().recordCount(), 2u);
}

TEST_F(MainWindowTest, SkippedFieldsLeaveTheTabOrderOnlyWhileAdding) {
    setOption("SkipPrefix", "1");
    setOption("SkipFax", "1");
    auto w = start();
    add(*w, {{"LNAME", "Ames"}});
    w->AddButtonClick();
    EXPECT_EQ(w->fieldEdit("Prefix")->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(w->fieldEdit("Fax")->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(w->fieldEdit("City")->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(w->fieldEdit("Title")->focusPolicy(), Qt::StrongFocus);
    w->CancelButtonClick();
    EXPECT_EQ(w->fieldEdit("Prefix")->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(w->fieldEdit("Fax")->focusPolicy(), Qt::StrongFocus);
}

TEST_F(MainWindowTest, KeyboardNavigationAndSaving) {
    auto w = start();
    for (const char* name : {"Baker", "Adams", "Cole"})
        add(*w, {{"LNAME", name}});
    w->RecordFirstClick();
    QWidget* field = w->fieldEdit("City");
    ASSERT_EQ(value(*w, "LNAME"), "Adams");

    key(field, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(value(*w, "LNAME"), "Cole");
    messages.clear();
    key(field, Qt::Key_PageDown);
    EXPECT_EQ(value(*w, "LNAME"), "Cole");
    EXPECT_EQ(messages.beeps, 1);
    key(field, Qt::Key_PageUp);
    EXPECT_EQ(value(*w, "LNAME"), "Baker");
    key(field, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(value(*w, "LNAME"), "Adams");
    key(field, Qt::Key_PageUp);
    EXPECT_EQ(messages.beeps, 2);

    // PgDn while editing asks whether to save.
    w->fieldEdit("City")->setText("");
    QTest::keyClicks(field, "Paris");
    ASSERT_TRUE(w->Editing());
    messages.clear();
    messages.answer(false);
    key(field, Qt::Key_PageDown);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Save changes?");
    EXPECT_EQ(messages.shown[0].title, "Save");
    EXPECT_TRUE(w->Editing());
    messages.answer(true);
    key(field, Qt::Key_PageDown);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(value(*w, "CITY"), "Paris");

    // Esc asks before cancelling; No keeps the edit.
    QTest::keyClicks(field, "X");
    ASSERT_TRUE(w->Editing());
    messages.clear();
    messages.answer(false);
    key(field, Qt::Key_Escape);
    EXPECT_EQ(messages.texts(), QStringList{"Cancel changes?"});
    EXPECT_TRUE(w->Editing());
    messages.answer(true);
    key(w->memoEdit(), Qt::Key_Escape);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(value(*w, "CITY"), "Paris");

    // Ctrl+Enter saves; Alt+Enter saves and offers another record.
    w->fieldEdit("City")->setCursorPosition(0);
    QTest::keyClicks(field, "Q");
    key(field, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(w->Editing());
    EXPECT_EQ(value(*w, "CITY"), "Qaris");
    w->fieldEdit("City")->setCursorPosition(0);
    QTest::keyClicks(field, "R");
    messages.clear();
    messages.answer(true);
    key(field, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(messages.texts(), QStringList{"Add another record?"});
    EXPECT_EQ(w->table().state(), TableDataset::State::Insert);
    w->CancelButtonClick();
    EXPECT_EQ(w->table().recordCount(), 3u);
}

TEST_F(MainWindowTest, TypingOverwritesUnlessInsertIsOn) {
    auto w = start();
    add(*w, {{"LNAME", "Smith"}});
    FieldEdit* last = w->fieldEdit("Last");
    struct Case {
        bool insertMode;
        int cursor;
        QString typed;
        QString result;
    };
    const Case cases[] = {
        {false, 0, "Sm", "Smith"},   // overwrite the same letters
        {false, 1, "ay", "Sayth"},   // replaces the next characters
        {false, 5, "s", "Smiths"},   // at the end it appends
        {true, 0, "X", "XSmith"},    // insert mode
    };
    for (const Case& c : cases) {
        SetInsertModeOn(c.insertMode);
        last->setText("Smith");
        last->setCursorPosition(c.cursor);
        QTest::keyClicks(last, c.typed);
        EXPECT_EQ(last->text(), c.result) << c.typed.toStdString();
        EXPECT_EQ(value(*w, "LNAME"), c.result);
    }
    SetInsertModeOn(false);
    key(last, Qt::Key_Insert);
    EXPECT_TRUE(InsertModeOn());
    key(last, Qt::Key_Insert);
    EXPECT_FALSE(InsertModeOn());
    w->CancelButtonClick();
    EXPECT_EQ(value(*w, "LNAME"), "Smith");

    // The middle initial is typed in upper case.
    w->fieldEdit("MI")->setCursorPosition(0);
    QTest::keyClicks(w->fieldEdit("MI"), "q");
    EXPECT_EQ(value(*w, "MIDDLE"), "Q");
}

TEST_F(MainWindowTest, ClosingWhileEditingDiscardsTheChange) {
    auto w = start();
    add(*w, {{"LNAME", "Smith"}});
    const QString path = w->currentFileName();
    w->table().setString("LNAME", "Changed");
    ASSERT_TRUE(w->Editing());
    messages.clear();
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(messages.shown.empty());
    w.reset();
    auto t = xbase::Table::open(path.toStdString());
    t->goTop();
    EXPECT_EQ(t->getString(t->fieldIndex("LNAME")), "Smith");
}

TEST_F(MainWindowTest, DeleteMarksTheRecordAndHidesIt) {
    auto w = start();
    for (const char* name : {"Adams", "Baker", "Cole"})
        add(*w, {{"LNAME", name}});
    w->RecordFirstClick();
    w->RecordNextClick();
    ASSERT_EQ(value(*w, "LNAME"), "Baker");
    messages.clear();
    messages.answer(false);
    w->DeleteButtonClick();
    EXPECT_EQ(w->table().recordCount(), 3u);
    messages.answer(true);
    w->DeleteButtonClick();
    EXPECT_EQ(messages.shown.back().text, "Delete this record?");
    EXPECT_EQ(messages.shown.back().title, "DELETE");
    EXPECT_EQ(w->table().recordCount(), 2u);
    EXPECT_EQ(value(*w, "LNAME"), "Adams"); // the previous record
    EXPECT_EQ(w->filterStatus()->text(), "2 records (no filter)");
    const QString path = w->currentFileName();
    w.reset();
    auto t = xbase::Table::open(path.toStdString());
    t->setDeleted(false);
    int deleted = 0;
    for (t->goTop(); !t->eof(); t->skip()) {
        if (t->getString(t->fieldIndex("LNAME")) == "Baker") {
            EXPECT_TRUE(t->deleted());
            EXPECT_TRUE(t->getLogical(t->fieldIndex("ISDEL")));
            ++deleted;
        }
    }
    EXPECT_EQ(deleted, 1);
}

TEST_F(MainWindowTest, CloneCopiesEverythingButTheTag) {
    auto w = start();
    add(*w, {{"LNAME", "Smith"}, {"FNAME", "John"}, {"MIDDLE", "Q"}, {"CITY", "Boston"},
             {"DATE", "19970428"}, {"USER2", "note"}},
        "line 1\r\nline 2");
    w->ToggleTag();
    ASSERT_TRUE(w->taggedBox()->isChecked());
    const uint32_t original = w->table().recno();
    messages.clear();
    messages.answer(true);
    w->mnuCloneClick();
    EXPECT_EQ(messages.shown[0].title, "Clone");
    EXPECT_EQ(messages.shown[0].text, "Clone this record?");
    EXPECT_EQ(messages.shown.back().text, "Clone completed. Current record is an exact copy");
    EXPECT_NE(w->table().recno(), original);
    EXPECT_EQ(w->table().recordCount(), 2u);
    for (const char* f : {"LNAME", "FNAME", "MIDDLE", "CITY", "DATE", "USER2"}) {
        const QString copy = value(*w, f);
        EXPECT_EQ(copy, w->table().readRecord(original).values.value(f).toString()) << f;
    }
    EXPECT_EQ(w->table().memo("MEMO"), "line 1\r\nline 2");
    EXPECT_TRUE(value(*w, "TAG").isEmpty());
    EXPECT_FALSE(w->taggedBox()->isChecked());
}

TEST_F(MainWindowTest, TagsToggleAndClearTagsLeavesRecordsAlone) {
    auto w = start();
    add(*w, {{"LNAME", "Smith"}});
    w->ToggleTag();
    EXPECT_EQ(value(*w, "TAG"), GlobalTagId());
    EXPECT_TRUE(w->table().asBool("Tagged"));
    EXPECT_FALSE(w->Editing());
    const QString oldId = GlobalTagId();
    QTest::qWait(1100); // a new id needs another second
    w->ClearTags1Click();
    EXPECT_NE(GlobalTagId(), oldId);
    EXPECT_EQ(IniFile().readString("Misc", "GlobalTagId"), GlobalTagId());
    EXPECT_EQ(value(*w, "TAG"), oldId);
    EXPECT_FALSE(w->table().asBool("Tagged"));
    EXPECT_FALSE(w->taggedBox()->isChecked());
}

TEST_F(MainWindowTest, DateDialogSetsOrClearsTheDate) {
    auto w = start();
    add(*w, {{"LNAME", "Smith"}, {"DATE", "19970428"}});
    QDate startDate;
    answer = [&startDate](QDialog& d) {
        auto* dialog = qobject_cast<TSelectDate*>(&d);
        startDate = dialog->date();
        dialog->MonthForwardClick();
        dialog->OKButtonClick();
        return dialog->result();
    };
    w->DateLabelClick();
    EXPECT_EQ(startDate, QDate(1997, 4, 28));
    EXPECT_TRUE(w->Editing());
    EXPECT_EQ(value(*w, "DATE"), "19970528");
    EXPECT_EQ(w->fieldEdit("Date")->text(), "05/28/1997");
    w->SaveButtonClick();

    answer = [](QDialog& d) {
        qobject_cast<TSelectDate*>(&d)->CancelButtonClick();
        return int(QDialog::Rejected);
    };
    w->DateLabelClick();
    EXPECT_FALSE(w->Editing());

    answer = [](QDialog& d) {
        qobject_cast<TSelectDate*>(&d)->NoDateClick();
        return int(QDialog::Accepted);
    };
    w->DateLabelClick();
    EXPECT_TRUE(w->Editing());
    EXPECT_EQ(value(*w, "DATE"), "");
}

TEST_F(MainWindowTest, MemoSearchFindsNextAndBeepsWhenNothingMore) {
    auto w = start();
    add(*w, {{"LNAME", "Adams"}}, "likes TEA");
    add(*w, {{"LNAME", "Baker"}}, "coffee");
    add(*w, {{"LNAME", "Cole"}}, "green tea\r\nno sugar");
    w->RecordLastClick();
    answer = [](QDialog& d) {
        auto* ask = qobject_cast<QInputDialog*>(&d);
        EXPECT_EQ(ask->windowTitle(), "Memo Search");
        EXPECT_EQ(ask->labelText(), "Search For");
        ask->setTextValue("tea");
        return int(QDialog::Accepted);
    };
    messages.clear();
    w->SearchMemoButtonClick();
    EXPECT_TRUE(w->memoFound());
    EXPECT_EQ(value(*w, "LNAME"), "Adams");
    EXPECT_TRUE(w->button("Find &Next")->isVisibleTo(w->button("Find &Next")->parentWidget()));
    w->SearchMemoNextButtonClick();
    EXPECT_EQ(value(*w, "LNAME"), "Cole");
    EXPECT_EQ(messages.beeps, 0);
    w->SearchMemoNextButtonClick();
    EXPECT_FALSE(w->memoFound());
    EXPECT_EQ(value(*w, "LNAME"), "Cole"); // back where the search started
    EXPECT_EQ(messages.beeps, 1);
    EXPECT_TRUE(w->button("Find &Next")->isHidden());
}

TEST_F(MainWindowTest, ControlsFollowTheState) {
    auto w = start();
    // An empty file: adding only.
    EXPECT_TRUE(w->button("&Add")->isEnabled());
    EXPECT_FALSE(w->button("&Edit")->isEnabled());
    EXPECT_FALSE(w->button("&Delete")->isEnabled());
    EXPECT_FALSE(w->action("Create a Duplicate &Record (Clone)")->isEnabled());
    add(*w, {{"LNAME", "Smith"}});
    EXPECT_TRUE(w->Browsing());
    for (const char* b : {"&Add", "&Edit", "&Delete", "First", "Next"})
        EXPECT_TRUE(w->button(b)->isEnabled()) << b;
    EXPECT_TRUE(w->action("Create a Duplicate &Record (Clone)")->isEnabled());
    EXPECT_EQ(w->filterStatus()->text(), "1 records (no filter)");
    for (const char* c : {"&Browse", "&Search", "Set &Filter", "Copy To &Clipboard",
                          "Print C&urrent Record", "Print &Labels"})
        EXPECT_TRUE(w->action(c)->isEnabled()) << c;
    for (const char* b : {"Browse", "Search", "Filter", "Dial Phone &1"})
        EXPECT_TRUE(w->button(b)->isEnabled()) << b;
    // Without a filter there is nothing to save or tag.
    for (const char* c : {"&Save Filter", "&Tag All Filter Matches"})
        EXPECT_FALSE(w->action(c)->isEnabled()) << c;
    // Commands of tool windows not yet present stay off.
    for (const char* a : {"&Export ", "Import from &ASCII File"})
        EXPECT_FALSE(w->action(a)->isEnabled()) << a;

    w->EditButtonClick();
    for (const char* b : {"&Save", "&Cancel"})
        EXPECT_FALSE(w->button(b)->isHidden()) << b;
    for (const char* b : {"&Add", "&Edit", "&Delete", "E&xit"})
        EXPECT_TRUE(w->button(b)->isHidden()) << b;
    EXPECT_FALSE(w->action("E&xit ")->isEnabled());
    EXPECT_FALSE(w->button("First")->isEnabled());
    w->CancelButtonClick();
    EXPECT_FALSE(w->button("&Add")->isHidden());
    EXPECT_TRUE(w->button("&Save")->isHidden());
}

// ---- layout ---------------------------------------------------------------------------------------------

TEST_F(MainWindowTest, LayoutFitsTheFixedWindow) {
    IniFile().writeBool("Misc", "GettingStarted", true);
    const QString shots = qEnvironmentVariable("QB_BINARY_DIR", home.path()) + "/screenshots";
    QDir().mkpath(shots);
    auto w = start();
    add(*w, {{"LNAME", "Fairweather-Smithson"}, {"FNAME", "Alexandra"}, {"MIDDLE", "Q"},
             {"PREFIX", "Dr."}, {"TITLE", "Director of Operations"}, {"ORG", "Northwind Traders"},
             {"STREET", "1234 Meadowbrook Lane"}, {"STREET2", "Suite 500"},
             {"CITY", "Springfield"}, {"STATE", "IL"}, {"ZIP", "62701-1234"}, {"COUNTRY", "USA"},
             {"DATE", "19970428"}, {"PHONE", "(217) 555-0123"}, {"PHONE2", "(217) 555-0199"},
             {"FAX", "(217) 555-0100"}, {"EMAIL", "alex@northwind.example"}, {"CODES", "ABC"},
             {"USER1", "Met at the 1997 trade fair"}, {"USER2", "Prefers e-mail"}});
    w->show();
    QApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(610, 450));

    // Every visible control lies wholly inside the window and its parent.
    auto checkInside = [&](const char* state) {
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow() || !child->parentWidget())
                continue;
            const QRect inWindow(child->mapTo(w.get(), QPoint(0, 0)), child->size());
            EXPECT_TRUE(w->rect().contains(inWindow))
                << state << ": " << child->metaObject()->className() << " '"
                << child->objectName().toStdString() << "' at " << inWindow.x() << ","
                << inWindow.y() << " " << inWindow.width() << "x" << inWindow.height();
            // Labels and buttons show their whole caption.
            auto* label = qobject_cast<QLabel*>(child);
            if (label && !label->text().isEmpty() && !label->wordWrap()) {
                EXPECT_GE(label->width(), label->sizeHint().width() - 2)
                    << state << ": label '" << label->text().toStdString() << "'";
            }
            auto* button = qobject_cast<QPushButton*>(child);
            if (button && !button->text().isEmpty()) {
                EXPECT_GE(button->width(),
                          button->fontMetrics().horizontalAdvance(button->text().remove('&')) + 8)
                    << state << ": button '" << button->text().toStdString() << "'";
            }
        }
    };
    checkInside("file open");
    w->grab().save(shots + "/main-file-open.png");
    w->pages()->setCurrentIndex(1);
    QApplication::processEvents();
    checkInside("memo page");
    w->grab().save(shots + "/main-memo.png");
    w->pages()->setCurrentIndex(0);
    w->EditButtonClick();
    QApplication::processEvents();
    checkInside("editing");
    w->grab().save(shots + "/main-editing.png");
    w->CancelButtonClick();
    IniFile().writeString("MRU", "Item1", dataDir() + "GONE.DBF");
    w->OpenQBXDBF(dataDir() + "GONE.DBF");
    QApplication::processEvents();
    checkInside("no file");
    w->grab().save(shots + "/main-no-file.png");
    EXPECT_EQ(w->noDataPanel()->geometry(), w->centralWidget()->rect());
}

TEST_F(MainWindowTest, SortMenuOrdersAndDoubleClickStartsAnEdit) {
    auto w = start();
    add(*w, {{"LNAME", "Adams"}, {"CITY", "Springfield"}, {"STATE", "MA"}});
    add(*w, {{"LNAME", "Baker"}, {"CITY", "Springfield"}, {"STATE", "IL"}});
    add(*w, {{"LNAME", "Cole"}, {"CITY", "Albany"}, {"STATE", "NY"}});
    w->action("&City")->trigger();
    EXPECT_EQ(w->table().order(), "CITY");
    EXPECT_EQ(w->currentOrder(), "CITY");
    EXPECT_EQ(w->sortStatus()->text(), "Sorted by City");
    EXPECT_TRUE(w->action("&City")->isChecked());
    EXPECT_FALSE(w->action("&Last Name")->isChecked());
    w->RecordFirstClick();
    QStringList seen;
    for (int i = 0; i < 3; ++i, w->RecordNextClick())
        seen << value(*w, "LNAME");
    EXPECT_EQ(seen, (QStringList{"Cole", "Baker", "Adams"})); // Springfield IL before MA

    ASSERT_FALSE(w->Editing());
    QTest::mouseDClick(w->fieldEdit("Codes"), Qt::LeftButton);
    EXPECT_TRUE(w->Editing());
    w->CancelButtonClick();
}

TEST_F(MainWindowTest, RebuildingTheOpenFileKeepsOrderAndRemovesDeletedRecords) {
    auto w = start();
    for (const char* name : {"Adams", "Baker", "Cole"})
        add(*w, {{"LNAME", name}});
    w->RecordFirstClick();
    messages.answer(true);
    w->DeleteButtonClick();
    ASSERT_EQ(w->table().recordCount(), 2u);
    w->action("&Zip")->trigger();
    answer = [](QDialog& d) {
        auto* r = qobject_cast<TQBReindex*>(&d);
        EXPECT_TRUE(r);
        if (r)
            r->DoitClick();
        return int(QDialog::Accepted);
    };
    w->mnuRebuildIndexesClick();
    EXPECT_EQ(shown.last(), "qb::TQBReindex");
    EXPECT_TRUE(w->indexValid());
    EXPECT_EQ(w->table().order(), "ZIP");
    EXPECT_EQ(w->table().physicalCount(), 2u);
    EXPECT_EQ(w->table().filterText(), "!ISDEL");
}

TEST_F(MainWindowTest, FailedSaveShowsTheEngineMessageAndKeepsTheEdit) {
    auto w = start();
    add(*w, {{"LNAME", "Adams"}});
    w->AddButtonClick();
    w->table().setString("LNAME", "Baker");
    // Let the file system refuse to make the table any longer.
    const auto dbfSize = QFileInfo(w->currentFileName()).size();
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = rlim_t(dbfSize);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    messages.clear();
    w->SaveButtonClick();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, ShownMessage::Warning);
    EXPECT_TRUE(messages.shown[0].text.contains("DBF", Qt::CaseInsensitive))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(w->Editing());
    EXPECT_EQ(value(*w, "LNAME"), "Baker");
    EXPECT_FALSE(w->button("&Save")->isHidden());

    // Once the cause is gone the same edit can be saved.
    messages.clear();
    w->SaveButtonClick();
    EXPECT_FALSE(w->Editing());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(value(*w, "LNAME"), "Baker");
}

TEST_F(MainWindowTest, PreferencesTakeEffectForTheNextRecordWhateverTheAnswer) {
    auto w = start();
    add(*w, {{"LNAME", "Ames"}});
    answer = [](QDialog& d) {
        auto* prefs = qobject_cast<TPreferences*>(&d);
        EXPECT_TRUE(prefs);
        prefs->defaultCountryEdit()->setText("Canada");
        prefs->OKButtonClick();
        return d.result();
    };
    w->mnuPreferencesClick();
    EXPECT_EQ(w->addingOptions().defaultCountry, "Canada");
    w->AddButtonClick();
    EXPECT_EQ(value(*w, "COUNTRY"), "Canada");
    w->CancelButtonClick();

    // Cancelled, yet the file is read again (changed behind the dialog's back here).
    setOption("DefaultCountry", "USA");
    answer = [](QDialog& d) {
        qobject_cast<TPreferences*>(&d)->CancelButtonClick();
        return d.result();
    };
    w->mnuPreferencesClick();
    EXPECT_EQ(w->addingOptions().defaultCountry, "USA");
}

// ---- tool windows --------------------------------------------------------------------------

namespace {

// Three people, two of them in Boston; Baker is current.
void addPeople(TAddressMain& w) {
    using V = QList<QPair<QString, QString>>;
    for (const V& v : {V{{"LNAME", "Adams"}, {"CITY", "Boston"}, {"PHONE", "555-0101"}},
                       V{{"LNAME", "Baker"}, {"CITY", "Albany"}, {"PHONE", "555-0202"},
                         {"PHONE2", "555-0203"}},
                       V{{"LNAME", "Jones"}, {"CITY", "Boston"}, {"PHONE", "555-0303"}}}) {
        ASSERT_TRUE(w.table().insert());
        for (const auto& [field, value] : v)
            ASSERT_TRUE(w.table().setString(field, value));
        ASSERT_TRUE(w.table().post());
    }
    w.RecordFirstClick();
    w.RecordNextClick();
    w.SetButtons();
}

QString lastName(TAddressMain& w) { return w.fieldEdit("Last")->text(); }

} // namespace

TEST_F(MainWindowTest, BrowseOpensOnTheCurrentRecordAndTheFormFollowsItsMoves) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    ASSERT_EQ(lastName(*w), "Baker");
    int rowShown = -1;
    answer = [&](QDialog& d) {
        auto* b = qobject_cast<TBrowseWindow*>(&d);
        EXPECT_TRUE(b);
        if (b) {
            rowShown = b->grid()->currentIndex().row();
            b->NextButtonClick();
        }
        return int(QDialog::Accepted);
    };
    w->button("Browse")->click();
    EXPECT_EQ(shown, QStringList{"qb::TBrowseWindow"});
    EXPECT_EQ(rowShown, 1);
    EXPECT_EQ(value(*w, "LNAME"), "Jones");
    EXPECT_EQ(lastName(*w), "Jones");

    // While editing the command only beeps.
    w->EditButtonClick();
    w->BrowseButtonClick();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(messages.beeps, 1);
    w->CancelButtonClick();
}

TEST_F(MainWindowTest, SearchLandsOnTheKeyAndSwitchesTheSortOrder) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    answer = [](QDialog& d) {
        auto* s = qobject_cast<TSearchDialog*>(&d);
        EXPECT_TRUE(s);
        if (!s)
            return int(QDialog::Rejected);
        s->orderCombo()->setCurrentIndex(0);
        s->searchEdit()->setText("jon");
        return int(QDialog::Accepted);
    };
    w->button("Search")->click();
    EXPECT_EQ(lastName(*w), "Jones");

    // Searching by city: the Sort menu and the status follow the chosen order.
    answer = [](QDialog& d) {
        auto* s = qobject_cast<TSearchDialog*>(&d);
        s->orderCombo()->setCurrentIndex(5);
        s->searchEdit()->setText("alb");
        return int(QDialog::Accepted);
    };
    w->action("&Search")->trigger();
    EXPECT_EQ(lastName(*w), "Baker");
    EXPECT_EQ(w->table().order(), "CITY");
    EXPECT_EQ(w->currentOrder(), "CITY");
    EXPECT_EQ(w->sortStatus()->text(), "Sorted by City");
    EXPECT_TRUE(w->action("&City")->isChecked());
    EXPECT_FALSE(w->action("&Last Name")->isChecked());

    // Nothing found: the record stays.
    answer = [](QDialog& d) {
        auto* s = qobject_cast<TSearchDialog*>(&d);
        s->orderCombo()->setCurrentIndex(5);
        s->searchEdit()->setText("zzz");
        return int(QDialog::Accepted);
    };
    w->SearchButtonClick();
    EXPECT_EQ(lastName(*w), "Baker");
}

TEST_F(MainWindowTest, FilterFormAppliesTheFilterAndLaysEntriesOverTheFields) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    int entryLeft = -1;
    answer = [&](QDialog& d) {
        auto* f = qobject_cast<TAddressQueryForm*>(&d);
        EXPECT_TRUE(f);
        if (!f)
            return int(QDialog::Rejected);
        entryLeft = f->entry(AddressFilter::City)->geometry().left();
        f->entry(AddressFilter::City)->setText("boston");
        f->OKButtonClick();
        return f->result();
    };
    w->button("Filter")->click();
    EXPECT_EQ(entryLeft, w->fieldEdit("City")->mapTo(w->centralWidget(), QPoint()).x());
    EXPECT_EQ(w->filterStatus()->text(), "2 filter matches");
    EXPECT_TRUE(w->table().filterText().endsWith(".and. !ISDEL"));
    EXPECT_EQ(lastName(*w), "Adams");
    EXPECT_FALSE(w->button("Clear Filter")->isHidden());
    for (const char* c : {"&Save Filter", "&Tag All Filter Matches", "&Clear Filter"})
        EXPECT_TRUE(w->action(c)->isEnabled()) << c;

    // Cancel after a test run puts the previous filter back.
    answer = [](QDialog& d) {
        auto* f = qobject_cast<TAddressQueryForm*>(&d);
        f->entry(AddressFilter::City)->setText("albany");
        f->qSetFilterButtonClick();
        return int(QDialog::Rejected);
    };
    w->action("Set &Filter")->trigger();
    EXPECT_EQ(w->filterStatus()->text(), "2 filter matches");

    // While editing the command beeps and shows nothing.
    const int dialogs = shown.size();
    w->EditButtonClick();
    w->FilterButtonClick();
    EXPECT_EQ(shown.size(), dialogs);
    EXPECT_EQ(messages.beeps, 1);
    w->CancelButtonClick();
}

TEST_F(MainWindowTest, SavedFilterIsRestoredAfterClearing) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    w->filter().setCriterion(AddressFilter::City, "boston");
    w->ApplyFilter();
    w->SetButtons();
    const QString path = home.filePath("boston.FLT");
    answer = [&](QDialog& d) {
        auto* f = qobject_cast<QFileDialog*>(&d);
        EXPECT_TRUE(f);
        if (!f)
            return int(QDialog::Rejected);
        f->selectFile(path);
        return int(QDialog::Accepted);
    };
    w->action("&Save Filter")->trigger();
    ASSERT_TRUE(QFile::exists(path));

    w->mnuClearFilterClick();
    EXPECT_EQ(w->filterStatus()->text(), "3 records (no filter)");
    EXPECT_FALSE(w->action("&Save Filter")->isEnabled());
    w->action("&Restore Filter")->trigger();
    EXPECT_EQ(w->filter().criterion(AddressFilter::City), "boston");
    EXPECT_EQ(w->filterStatus()->text(), "2 filter matches");
    EXPECT_TRUE(w->action("&Clear Filter")->isEnabled());
}

TEST_F(MainWindowTest, TagAllTagsEveryFilterMatchAndNothingElse) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    w->filter().setCriterion(AddressFilter::City, "boston");
    w->ApplyFilter();
    w->SetButtons();
    bool eventsDuringRun = true;
    answer = [&](QDialog& d) {
        auto* t = qobject_cast<TTagAllRecords*>(&d);
        EXPECT_TRUE(t);
        if (!t)
            return int(QDialog::Rejected);
        eventsDuringRun = w->eventsOn();
        t->run();
        return int(QDialog::Accepted);
    };
    messages.answer(true);
    w->action("&Tag All Filter Matches")->trigger();
    EXPECT_TRUE(messages.sawText("Tag all records matching filter?"));
    EXPECT_FALSE(eventsDuringRun);
    EXPECT_TRUE(w->eventsOn());
    EXPECT_TRUE(w->taggedBox()->isChecked());

    w->mnuClearFilterClick();
    QStringList tagged;
    w->RecordFirstClick();
    for (uint32_t i = 0; i < w->table().recordCount(); ++i, w->RecordNextClick())
        if (value(*w, "TAG") == GlobalTagId())
            tagged << value(*w, "LNAME");
    EXPECT_EQ(tagged, (QStringList{"Adams", "Jones"}));

    // Clearing tags leaves the records as they are but none counts as tagged.
    QTest::qWait(1100); // a new id needs another second
    w->ClearTags1Click();
    w->filter().setTaggedOnly(true);
    EXPECT_EQ(w->ApplyFilter(), 0);
}

TEST_F(MainWindowTest, PrintCurrentRecordPreviewMakesAPage) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    int pages = -1;
    answer = [&](QDialog& d) {
        if (auto* p = qobject_cast<TPrintCurrentRecord*>(&d)) {
            p->PreviewClick();
            if (p->LastPreview())
                pages = p->LastPreview()->PageCount();
        } else if (auto* job = qobject_cast<JobStatusWindow*>(&d)) {
            job->Run();
        }
        return int(QDialog::Accepted);
    };
    w->action("Print C&urrent Record")->trigger();
    EXPECT_EQ(shown.first(), "qb::TPrintCurrentRecord");
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(lastName(*w), "Baker");
}

TEST_F(MainWindowTest, CopyToClipboardPutsTheCurrentRecordThere) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    QApplication::clipboard()->setText("old");
    answer = [](QDialog& d) {
        auto* c = qobject_cast<TCopyRecordToClipboard*>(&d);
        EXPECT_TRUE(c);
        if (c)
            c->OKButtonClick();
        return d.result();
    };
    w->action("Copy To &Clipboard")->trigger();
    const QString text = QApplication::clipboard()->text();
    EXPECT_TRUE(text.contains("Baker")) << text.toStdString();
    EXPECT_TRUE(text.contains("Albany")) << text.toStdString();
    EXPECT_FALSE(text.contains("Adams"));
}

TEST_F(MainWindowTest, DialButtonsHandTheirNumberToTheDialer) {
    auto w = start();
    addPeople(*w);
    shown.clear();
    messages.clear();
    QStringList numbers;
    answer = [&](QDialog& d) {
        auto* dialer = qobject_cast<TQBDialer*>(&d);
        EXPECT_TRUE(dialer);
        if (dialer)
            numbers << dialer->NumberEdit()->text();
        return int(QDialog::Rejected);
    };
    w->button("Dial Phone &1")->click();
    w->button("Dial Phone &2")->click();
    EXPECT_EQ(numbers, (QStringList{"555-0202", "555-0203"}));
}
