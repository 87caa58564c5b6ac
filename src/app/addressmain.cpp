#include "app/addressmain.h"

#include "addressbook/addressfile.h"
#include "addressbook/dates.h"
#include "addressbook/tagid.h"
#include "app/about.h"
#include "app/browsewindow.h"
#include "app/copyrecord.h"
#include "app/dialer.h"
#include "app/filterfile.h"
#include "app/gettingstarted.h"
#include "app/helpviewer.h"
#include "app/maindialogs.h"
#include "app/messages.h"
#include "app/modal.h"
#include "app/preferences.h"
#include "app/searchdialog.h"
#include "app/tagall.h"
#include "app/whatsthis.h"
#include "printing/printers.h"
#include "reports/printcurrentrecord.h"
#include "storage/dataset.h"
#include "storage/reindex.h"
#include "xbase/table.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QWhatsThis>
#include <QWindowStateChangeEvent>

namespace qb {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTitle = QStringLiteral("Quillbury");

// The field edits: caption (also the name focus rules use), field, width in
// pixels is set by the layout.
struct EditDef {
    const char* caption;
    const char* field;
};

// The stored fields a clone copies.
const char* const kCloneFields[] = {"LNAME", "FNAME",  "MIDDLE", "PREFIX", "TITLE",
                                    "ORG",   "STREET", "STREET2", "CITY",  "STATE",
                                    "ZIP",   "COUNTRY", "PHONE", "PHONE2", "EMAIL",
                                    "FAX",   "CODES",  "DATE",   "USER1",  "USER2"};

// The main window's table seen by the filter model.
class DatasetFilterTarget : public FilterTarget {
public:
    explicit DatasetFilterTarget(TableDataset& table) : table_(table) {}
    bool setEngineFilter(const QString& expression, QString* error) override {
        if (!table_.isOpen())
            return true;
        if (table_.setFilter(expression))
            return true;
        *error = table_.errorText();
        return false;
    }
    uint32_t visibleCount() override { return table_.isOpen() ? table_.recordCount() : 0; }

private:
    TableDataset& table_;
};

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

// ---- FieldEdit -------------------------------------------------------------------------------

FieldEdit::FieldEdit(const QString& field, const QString& caption, QWidget* parent)
    : QLineEdit(parent), field_(field), caption_(caption) {
    setObjectName(caption);
}

void FieldEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        SetInsertModeOn(!InsertModeOn());
        return;
    }
    const QString text = event->text();
    const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typed && !isReadOnly() && !InsertModeOn() && !hasSelectedText() &&
        cursorPosition() < this->text().size())
        setSelection(cursorPosition(), 1);
    QLineEdit::keyPressEvent(event);
}

// ---- construction ------------------------------------------------------------------------------

TAddressMain::TAddressMain(QWidget* parent)
    : QMainWindow(parent), TableQBX(new TableDataset(this)), TAbleCreate(new TableDataset(this)),
      sort_(TableQBX) {
    AddressFile::Configure(*TableQBX);
    TableQBX->setExclusive(true);
    FormCreate();

    connect(TableQBX, &TableDataset::afterEdit, this, [this] {
        if (EventsOn)
            SetButtons();
    });
    connect(TableQBX, &TableDataset::afterInsert, this, [this] {
        if (EventsOn) {
            SetButtons();
            focusField(QStringLiteral("Last"));
        }
    });
    connect(TableQBX, &TableDataset::afterPost, this, [this] {
        if (EventsOn)
            SetButtons();
        SetSkipFields(false);
    });
    connect(TableQBX, &TableDataset::afterCancel, this, [this] {
        SetButtons();
        SetSkipFields(false);
    });
    connect(TableQBX, &TableDataset::dataChanged, this, &TAddressMain::DataSourceQBXDataChange);
    qApp->installEventFilter(this);
}

TAddressMain::~TAddressMain() {
    qApp->removeEventFilter(this);
    TableQBX->close();
    TAbleCreate->close();
}

void TAddressMain::FormCreate() {
    setWindowTitle(kTitle);
    buildMenus();
    buildForm();
    setFixedSize(610, 450);
    pages_->setCurrentIndex(0);
    sortStatus_->clear();
    filterStatus_->clear();
    OnOpenQBXFile(false);
    SetButtons();
}

QAction* TAddressMain::addAction(QMenu* menu, const QString& caption, const QKeySequence& shortcut) {
    auto* a = menu->addAction(caption);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    actions_.insert(caption, a);
    return a;
}

QAction* TAddressMain::addLaterAction(QMenu* menu, const QString& caption,
                                      const QKeySequence& shortcut) {
    QAction* a = addAction(menu, caption, shortcut);
    a->setEnabled(false);
    laterActions_ << a;
    return a;
}

void TAddressMain::buildMenus() {
    QMenuBar* bar = menuBar();
    // &File
    fileMenu_ = bar->addMenu(QStringLiteral("&File"));
    connect(addAction(fileMenu_, QStringLiteral("&New Address Database")), &QAction::triggered,
            this, &TAddressMain::mnuNewClick);
    connect(addAction(fileMenu_, QStringLiteral("&Open Address DataBase")), &QAction::triggered,
            this, &TAddressMain::mnuOpenClick);
    connect(addAction(fileMenu_, QStringLiteral("&Browse"), QKeySequence(Qt::CTRL | Qt::Key_B)),
            &QAction::triggered, this, &TAddressMain::BrowseButtonClick);
    connect(addAction(fileMenu_, QStringLiteral("&Search"), QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &TAddressMain::SearchButtonClick);
    // wired by the tool hand-over
    QMenu* import = fileMenu_->addMenu(QStringLiteral("&Import"));
    addLaterAction(import, QStringLiteral("Import from &DBF File"));
    addLaterAction(import, QStringLiteral("Import from &ASCII File"));
    addLaterAction(import, QStringLiteral("Import from Quillbury 1.x DBF"));
    addLaterAction(fileMenu_, QStringLiteral("&Export "));
    fileMenu_->addSeparator();
    connect(addAction(fileMenu_, QStringLiteral("Set &Filter"), QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, &TAddressMain::FilterButtonClick);
    connect(addAction(fileMenu_, QStringLiteral("&Clear Filter")), &QAction::triggered, this,
            &TAddressMain::mnuClearFilterClick);
    connect(addAction(fileMenu_, QStringLiteral("&Save Filter")), &QAction::triggered, this,
            &TAddressMain::mnuSaveFilterClick);
    connect(addAction(fileMenu_, QStringLiteral("&Restore Filter")), &QAction::triggered, this,
            &TAddressMain::mnuRestoreFilterClick);
    fileMenu_->addSeparator();
    connect(addAction(fileMenu_, QStringLiteral("Clear &Tags")), &QAction::triggered, this,
            &TAddressMain::ClearTags1Click);
    connect(addAction(fileMenu_, QStringLiteral("&Tag All Filter Matches")), &QAction::triggered,
            this, &TAddressMain::mnuTagAllFilterMatchesClick);
    fileMenu_->addSeparator();
    connect(addAction(fileMenu_, QStringLiteral("&Rebuild Indexes for this file")),
            &QAction::triggered, this, &TAddressMain::mnuRebuildIndexesClick);
    connect(addAction(fileMenu_, QStringLiteral("Rebuild S&ystem File indexes")),
            &QAction::triggered, this, &TAddressMain::mnuRebuildSystemIndexesClick);
    connect(addAction(fileMenu_, QStringLiteral("Pre&ferences")), &QAction::triggered, this,
            &TAddressMain::mnuPreferencesClick);
    fileMenu_->addSeparator();
    connect(addAction(fileMenu_, QStringLiteral("E&xit ")), &QAction::triggered, this,
            &QWidget::close);
    exitSeparator_ = fileMenu_->addSeparator();

    // Ed&it: hidden, it gives the text fields their editing shortcuts.
    editMenu_ = bar->addMenu(QStringLiteral("Ed&it"));
    editMenu_->menuAction()->setVisible(false);
    enum EditOp { Undo, Cut, Copy, Paste };
    struct EditCommand {
        const char* caption;
        QKeySequence key;
        EditOp op;
    };
    const EditCommand editCommands[] = {
        {"&Undo typing", QKeySequence(Qt::CTRL | Qt::Key_Z), Undo},
        {"Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), Cut},
        {"&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), Copy},
        {"&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), Paste},
    };
    for (const EditCommand& c : editCommands) {
        QAction* a = addAction(editMenu_, QString::fromLatin1(c.caption), c.key);
        // The fields handle these keys themselves; the items serve the menu.
        a->setShortcutContext(Qt::WidgetShortcut);
        const EditOp op = c.op;
        connect(a, &QAction::triggered, this, [op] {
            QWidget* w = QApplication::focusWidget();
            if (auto* e = qobject_cast<QLineEdit*>(w)) {
                switch (op) {
                case Undo: e->undo(); break;
                case Cut: e->cut(); break;
                case Copy: e->copy(); break;
                case Paste: e->paste(); break;
                }
            } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
                switch (op) {
                case Undo: m->undo(); break;
                case Cut: m->cut(); break;
                case Copy: m->copy(); break;
                case Paste: m->paste(); break;
                }
            }
        });
    }

    // &Record
    recordMenu_ = bar->addMenu(QStringLiteral("&Record"));
    connect(addAction(recordMenu_, QStringLiteral("&First"), QKeySequence(Qt::CTRL | Qt::Key_Up)),
            &QAction::triggered, this, &TAddressMain::RecordFirstClick);
    connect(addAction(recordMenu_, QStringLiteral("&Previous"), QKeySequence(Qt::CTRL | Qt::Key_Left)),
            &QAction::triggered, this, &TAddressMain::RecordPrevClick);
    connect(addAction(recordMenu_, QStringLiteral("&Next"), QKeySequence(Qt::CTRL | Qt::Key_Right)),
            &QAction::triggered, this, &TAddressMain::RecordNextClick);
    connect(addAction(recordMenu_, QStringLiteral("&Last"), QKeySequence(Qt::CTRL | Qt::Key_Down)),
            &QAction::triggered, this, &TAddressMain::RecordLastClick);
    recordMenu_->addSeparator();
    // The menu's Add/Edit/Delete are found under "Record/..." so they do not
    // clash with the buttons of the same caption.
    QAction* add = recordMenu_->addAction(QStringLiteral("&Add"));
    actions_.insert(QStringLiteral("Record/&Add"), add);
    connect(add, &QAction::triggered, this, &TAddressMain::AddButtonClick);
    QAction* edit = recordMenu_->addAction(QStringLiteral("&Edit"));
    actions_.insert(QStringLiteral("Record/&Edit"), edit);
    connect(edit, &QAction::triggered, this, &TAddressMain::EditButtonClick);
    QAction* del = recordMenu_->addAction(QStringLiteral("&Delete"));
    actions_.insert(QStringLiteral("Record/&Delete"), del);
    connect(del, &QAction::triggered, this, &TAddressMain::DeleteButtonClick);
    recordMenu_->addSeparator();
    connect(addAction(recordMenu_, QStringLiteral("Copy To &Clipboard")), &QAction::triggered,
            this, &TAddressMain::mnuCopyToClipboardClick);
    connect(addAction(recordMenu_, QStringLiteral("Create a Duplicate &Record (Clone)")),
            &QAction::triggered, this, &TAddressMain::mnuCloneClick);

    // &Sort
    sortMenu_ = bar->addMenu(QStringLiteral("&Sort"));
    for (const SortOrderDef& o : SortOrders()) {
        QAction* a = addAction(sortMenu_, QString::fromLatin1(o.caption));
        a->setCheckable(true);
        sortActions_ << a;
        connect(a, &QAction::triggered, this,
                [this, a] { SetOrderTo(a->text().mid(1).left(30)); });
    }

    // &Utilities and &Print: every item opens a tool window.
    utilitiesMenu_ = bar->addMenu(QStringLiteral("&Utilities"));
    // wired by the tool hand-over
    addLaterAction(utilitiesMenu_, QStringLiteral("Check && Repair &Duplicates"));
    addLaterAction(utilitiesMenu_, QStringLiteral("Check && Repair &State and Zip Codes"));
    addLaterAction(utilitiesMenu_, QStringLiteral("Count &Zip Codes"));
    utilitiesMenu_->addSeparator();
    addLaterAction(utilitiesMenu_, QStringLiteral("Con&vert Case"));
    addLaterAction(utilitiesMenu_, QStringLiteral("Delete &Records"));
    addLaterAction(utilitiesMenu_, QStringLiteral("&Search && Replace Field Values"));

    printMenu_ = bar->addMenu(QStringLiteral("&Print"));
    // wired by the tool hand-over
    connect(addAction(printMenu_, QStringLiteral("Print &Labels"), QKeySequence(Qt::CTRL | Qt::Key_L)),
            &QAction::triggered, this, &TAddressMain::mnuPrintLabelsClick);
    addLaterAction(printMenu_, QStringLiteral("Print Le&tters"), QKeySequence(Qt::CTRL | Qt::Key_T));
    addLaterAction(printMenu_, QStringLiteral("Print &Envelopes"), QKeySequence(Qt::CTRL | Qt::Key_E));
    addLaterAction(printMenu_, QStringLiteral("Print &Reports"), QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(addAction(printMenu_, QStringLiteral("Print C&urrent Record"),
                      QKeySequence(Qt::CTRL | Qt::Key_P)),
            &QAction::triggered, this, &TAddressMain::mnuPrintCurrentRecordClick);

    // &Help
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    connect(addAction(help, QStringLiteral("&Contents")), &QAction::triggered, this,
            [] { ShowHelpContents(); });
    connect(addAction(help, QStringLiteral("&Getting Started")), &QAction::triggered, this, [this] {
        TGettingStarted window(this);
        RunModal(window);
    });
    connect(addAction(help, QStringLiteral("&About...")), &QAction::triggered, this, [this] {
        TAboutBox box(this);
        RunModal(box);
    });
    help->addSeparator();
    connect(addAction(help, QStringLiteral("Search for Help On")), &QAction::triggered, this,
            [] { ShowHelpSearch(); });
    connect(addAction(help, QStringLiteral("How to Use Help")), &QAction::triggered, this,
            [] { ShowHowToUseHelp(); });
}

QPushButton* TAddressMain::addButton(QWidget* parent, const QString& caption, const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    buttons_.insert(caption, b);
    return b;
}

void TAddressMain::buildForm() {
    form_ = new QWidget(this);
    setCentralWidget(form_);
    QFont small = font();
    small.setPointSizeF(8.5);
    form_->setFont(small);

    // ---- top bar of large buttons ----
    struct TopButton {
        const char* caption;
        const char* hint;
    };
    const TopButton top[] = {
        {"Labels", "Click here or press CTRL+L to print/design labels"},
        {"Letters", "Click here or press CTRL+T to print/design letters"},
        {"Envelopes", "Click here or press CTRL+E to print/design envelopes"},
        {"Reports", "Click here or press CTRL+R to print/design reports"},
        {"Browse", "Click here or press CTRL+B for a table view of the database"},
        {"Search", "Click here or press CTRL+S to search for a specific value"},
        {"Filter", "Click here or press CTRL+F to set or change a filter"},
    };
    int x = 4;
    for (const TopButton& t : top) {
        QPushButton* b = addButton(form_, QString::fromLatin1(t.caption), QRect(x, 3, 72, 32));
        b->setToolTip(QString::fromLatin1(t.hint));
        QFont big = b->font();
        big.setBold(true);
        b->setFont(big);
        x += 74;
    }
    connect(button(QStringLiteral("Browse")), &QPushButton::clicked, this,
            &TAddressMain::BrowseButtonClick);
    connect(button(QStringLiteral("Search")), &QPushButton::clicked, this,
            &TAddressMain::SearchButtonClick);
    connect(button(QStringLiteral("Filter")), &QPushButton::clicked, this,
            &TAddressMain::FilterButtonClick);
    // wired by the tool hand-over
    for (const char* caption : {"Letters", "Envelopes", "Reports"})
        button(QString::fromLatin1(caption))->setEnabled(false);
    connect(button(QStringLiteral("Labels")), &QPushButton::clicked, this,
            &TAddressMain::mnuPrintLabelsClick);
    QPushButton* mouseHelp = addButton(form_, QStringLiteral("?"), QRect(574, 3, 32, 32));
    mouseHelp->setToolTip(QStringLiteral("Click here for mouse help"));
    connect(mouseHelp, &QPushButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
    SetWhatsThis(mouseHelp, QStringLiteral("Click this button, then click any part of the window "
                                           "to learn what it does."));

    auto makeEdit = [this](QWidget* parent, const char* caption, const char* field, int labelX,
                           int labelW, int editX, int editW, int y) {
        auto* label = new QLabel(QString::fromLatin1(caption), parent);
        label->setGeometry(labelX, y + 2, labelW, 18);
        auto* edit = new FieldEdit(QString::fromLatin1(field), QString::fromLatin1(caption), parent);
        edit->setGeometry(editX, y, editW, 21);
        label->setBuddy(edit);
        if (!QString::fromLatin1(field).isEmpty()) {
            const int width = AddressFile::Fields().end() != std::find_if(
                                  AddressFile::Fields().begin(), AddressFile::Fields().end(),
                                  [&](const AddressFieldDef& d) { return field == QByteArray(d.name); })
                                  ? std::find_if(AddressFile::Fields().begin(),
                                                 AddressFile::Fields().end(),
                                                 [&](const AddressFieldDef& d) {
                                                     return field == QByteArray(d.name);
                                                 })->width
                                  : 0;
            if (width > 0)
                edit->setMaxLength(width);
        }
        edits_.insert(edit->caption(), edit);
        editList_ << edit;
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this,
                [this, edit](const QString& text) { fieldEdited(edit, text); });
        return edit;
    };

    // ---- name panel ----
    auto* names = new QFrame(form_);
    names->setFrameShape(QFrame::StyledPanel);
    names->setGeometry(2, 38, 606, 56);
    makeEdit(names, "Last", "LNAME", 6, 40, 50, 190, 4);
    makeEdit(names, "First", "FNAME", 250, 34, 286, 190, 4);
    makeEdit(names, "MI", "MIDDLE", 488, 22, 512, 26, 4);
    makeEdit(names, "Prefix", "PREFIX", 6, 40, 50, 80, 30);
    makeEdit(names, "Title", "TITLE", 138, 30, 170, 170, 30);
    makeEdit(names, "Org", "ORG", 348, 26, 376, 222, 30);

    // ---- the two pages ----
    pages_ = new QTabWidget(form_);
    pages_->setGeometry(2, 97, 606, 240);
    auto* address = new QWidget;
    pages_->addTab(address, QStringLiteral("Address &Information"));
    const int lx = 6, lw = 78, ex = 86, rx = 344, rw = 50, rex = 396;
    auto row = [](int r) { return 8 + r * 29; };
    makeEdit(address, "Address 1", "STREET", lx, lw, ex, 250, row(0));
    makeEdit(address, "Address 2", "STREET2", lx, lw, ex, 250, row(1));
    makeEdit(address, "City", "CITY", lx, lw, ex, 250, row(2));
    makeEdit(address, "State or Prov", "STATE", lx, lw, ex, 70, row(3));
    makeEdit(address, "Zip or Postal ", "ZIP", 162, 78, 244, 92, row(3));
    makeEdit(address, "Country", "COUNTRY", lx, lw, ex, 250, row(4));
    QPushButton* dateButton = addButton(address, QStringLiteral("Date"), QRect(lx, row(5) - 1, 74, 23));
    connect(dateButton, &QPushButton::clicked, this, &TAddressMain::DateLabelClick);
    FieldEdit* date = makeEdit(address, "", "", 0, 0, ex, 100, row(5));
    date->setObjectName(QStringLiteral("Date"));
    edits_.remove(QString());
    edits_.insert(QStringLiteral("Date"), date);
    date->setReadOnly(true);
    makeEdit(address, "Phone 1", "PHONE", rx, rw, rex, 118, row(0));
    makeEdit(address, "Phone 2", "PHONE2", rx, rw, rex, 118, row(1));
    makeEdit(address, "Fax", "FAX", rx, rw, rex, 200, row(2));
    makeEdit(address, "E-mail", "EMAIL", rx, rw, rex, 200, row(3));
    makeEdit(address, "Codes", "CODES", rx, rw, rex, 200, row(4));
    QPushButton* dial1 = addButton(address, QStringLiteral("Dial Phone &1"), QRect(518, row(0) - 1, 78, 23));
    QPushButton* dial2 = addButton(address, QStringLiteral("Dial Phone &2"), QRect(518, row(1) - 1, 78, 23));
    connect(dial1, &QPushButton::clicked, this, &TAddressMain::DialPhone1Click);
    connect(dial2, &QPushButton::clicked, this, &TAddressMain::DialPhone2Click);
    tagged_ = new QCheckBox(QStringLiteral("Tagged"), address);
    tagged_->setGeometry(rex, row(5), 100, 21);
    connect(tagged_, &QCheckBox::clicked, this, [this] { ToggleTag(); });
    makeEdit(address, "Comment 1", "USER1", lx, lw, ex, 510, row(6));
    makeEdit(address, "Comment 2", "USER2", lx, lw, ex, 510, row(7));

    auto* memoPage = new QWidget;
    pages_->addTab(memoPage, QStringLiteral("&Memo"));
    auto* memoLabel = new QLabel(QStringLiteral("Memo"), memoPage);
    memoLabel->setGeometry(6, 4, 100, 16);
    memo_ = new QPlainTextEdit(memoPage);
    memo_->setGeometry(6, 22, 480, 184);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->installEventFilter(this);
    connect(memo_, &QPlainTextEdit::textChanged, this, &TAddressMain::MemoChange);
    connect(addButton(memoPage, QStringLiteral("Search &Memo"), QRect(494, 22, 102, 26)),
            &QPushButton::clicked, this, &TAddressMain::SearchMemoButtonClick);
    QPushButton* findNext = addButton(memoPage, QStringLiteral("Find &Next"), QRect(494, 52, 102, 26));
    findNext->setVisible(false);
    connect(findNext, &QPushButton::clicked, this, &TAddressMain::SearchMemoNextButtonClick);

    // ---- bottom bar (moved to the bottom edge by layoutForm) ----
    const int by = 341;
    connect(addButton(form_, QStringLiteral("E&xit"), QRect(4, by, 60, 28)), &QPushButton::clicked,
            this, &QWidget::close);
    struct Nav {
        const char* caption;
        QStyle::StandardPixmap icon;
        const char* hint;
        void (TAddressMain::*slot)();
    };
    const Nav nav[] = {
        {"First", QStyle::SP_MediaSkipBackward, "First record", &TAddressMain::RecordFirstClick},
        {"Prior", QStyle::SP_MediaSeekBackward, "Previous record", &TAddressMain::RecordPrevClick},
        {"Next", QStyle::SP_MediaSeekForward, "Next record", &TAddressMain::RecordNextClick},
        {"Last record", QStyle::SP_MediaSkipForward, "Last record", &TAddressMain::RecordLastClick},
    };
    x = 72;
    for (const Nav& n : nav) {
        QPushButton* b = addButton(form_, QString::fromLatin1(n.caption), QRect(x, by, 34, 28));
        b->setText(QString());
        b->setIcon(style()->standardIcon(n.icon));
        b->setToolTip(QString::fromLatin1(n.hint));
        connect(b, &QPushButton::clicked, this, n.slot);
        x += 36;
    }
    connect(addButton(form_, QStringLiteral("&Add"), QRect(226, by, 72, 28)), &QPushButton::clicked,
            this, &TAddressMain::AddButtonClick);
    connect(addButton(form_, QStringLiteral("&Edit"), QRect(302, by, 72, 28)), &QPushButton::clicked,
            this, &TAddressMain::EditButtonClick);
    connect(addButton(form_, QStringLiteral("&Delete"), QRect(378, by, 72, 28)),
            &QPushButton::clicked, this, &TAddressMain::DeleteButtonClick);
    connect(addButton(form_, QStringLiteral("&Save"), QRect(226, by, 72, 28)), &QPushButton::clicked,
            this, &TAddressMain::SaveButtonClick);
    connect(addButton(form_, QStringLiteral("&Cancel"), QRect(302, by, 72, 28)),
            &QPushButton::clicked, this, &TAddressMain::CancelButtonClick);
    connect(addButton(form_, QStringLiteral("Clear Filter"), QRect(506, by, 100, 28)),
            &QPushButton::clicked, this, [this] {
                mnuClearFilterClick();
                SetButtons();
            });

    for (const char* caption : {"E&xit", "First", "Prior", "Next", "Last record", "&Add", "&Edit",
                                "&Delete", "&Save", "&Cancel", "Clear Filter"})
        bottomBar_ << button(QString::fromLatin1(caption));
    form_->installEventFilter(this);
    memoPage->installEventFilter(this);
    memoPage_ = memoPage;

    // ---- status line ----
    sortStatus_ = new QLabel;
    filterStatus_ = new QLabel;
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(sortStatus_, 1);
    statusBar()->addPermanentWidget(filterStatus_);

    // ---- no file open ----
    noData_ = new QLabel(QStringLiteral("Please Open or Create a Quillbury Address file"), form_);
    noData_->setAlignment(Qt::AlignCenter);
    noData_->setAutoFillBackground(true);
    QFont noDataFont = noData_->font();
    noDataFont.setPointSizeF(12);
    noDataFont.setBold(true);
    noData_->setFont(noDataFont);
    noData_->setFrameShape(QFrame::Panel);

    // ---- "What's this?" texts ----
    const QPair<const char*, const char*> texts[] = {
        {"Last", "The person's last name. Records are sorted by it unless you choose another order "
                 "in the Sort menu."},
        {"First", "The person's first name."},
        {"MI", "The middle initial; it is typed in upper case."},
        {"Prefix", "The salutation prefix, such as Mr., Ms. or Dr."},
        {"Title", "The person's job title."},
        {"Org", "The organization the person belongs to."},
        {"Address 1", "The first line of the street address."},
        {"Address 2", "The second line of the street address (suite, building, PO box)."},
        {"City", "The city or town."},
        {"State or Prov", "The state or province."},
        {"Zip or Postal ", "The zip code or postal code."},
        {"Country", "The country. New records can get a default country (File, Preferences)."},
        {"Date", "A date for this record. Click the Date button to choose it from a calendar."},
        {"Phone 1", "The first phone number."},
        {"Phone 2", "The second phone number."},
        {"Fax", "The fax number."},
        {"E-mail", "The e-mail address."},
        {"Codes", "Your own codes for grouping records; a filter can select records by them."},
        {"Comment 1", "A free comment."},
        {"Comment 2", "A second free comment."},
    };
    for (const auto& [caption, text] : texts)
        SetWhatsThis(edits_.value(QString::fromLatin1(caption)), QString::fromLatin1(text));
    SetWhatsThis(tagged_, QStringLiteral("Click to tag or untag this record. Tagged records can be "
                                         "printed or filtered together."));
    SetWhatsThis(memo_, QStringLiteral("Free notes about this record. Typing here starts editing; "
                                       "press Save to keep the changes."));
    SetWhatsThis(button(QStringLiteral("Search &Memo")),
                 QStringLiteral("Finds the first record whose memo contains a text."));
    SetWhatsThis(findNext, QStringLiteral("Finds the next record whose memo contains the text."));
    SetWhatsThis(dateButton, QStringLiteral("Choose this record's date from a calendar."));
    SetWhatsThis(button(QStringLiteral("&Add")), QStringLiteral("Adds a new record."));
    SetWhatsThis(button(QStringLiteral("&Edit")), QStringLiteral("Starts changing this record."));
    SetWhatsThis(button(QStringLiteral("&Delete")), QStringLiteral("Deletes this record."));
    SetWhatsThis(button(QStringLiteral("&Save")),
                 QStringLiteral("Saves your changes (also Ctrl+Enter)."));
    SetWhatsThis(button(QStringLiteral("&Cancel")),
                 QStringLiteral("Throws your changes away (also Esc)."));
    SetWhatsThis(button(QStringLiteral("E&xit")), QStringLiteral("Closes Quillbury."));
    SetWhatsThis(button(QStringLiteral("Clear Filter")),
                 QStringLiteral("Shows all records again."));
    SetWhatsThis(button(QStringLiteral("First")), QStringLiteral("Goes to the first record (Ctrl+PgUp)."));
    SetWhatsThis(button(QStringLiteral("Prior")), QStringLiteral("Goes to the previous record (PgUp)."));
    SetWhatsThis(button(QStringLiteral("Next")), QStringLiteral("Goes to the next record (PgDn)."));
    SetWhatsThis(button(QStringLiteral("Last record")),
                 QStringLiteral("Goes to the last record (Ctrl+PgDn)."));
    for (const TopButton& t : top)
        SetWhatsThis(button(QString::fromLatin1(t.caption)), QString::fromLatin1(t.hint));
}

// ---- activation and closing ------------------------------------------------------------------

void TAddressMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FirstActivate)
        QTimer::singleShot(0, this, &TAddressMain::FormActivate);
}

void TAddressMain::FormActivate() {
    if (!FirstActivate)
        return;
    FirstActivate = false;
    EventsOn = true;
    filter_.ClearQueryVars();
    LoadPreferences();

    // The file used last, else the standard file, created when missing.
    const QString mru = GetMRUFile();
    if (!mru.isEmpty()) {
        OpenQBXDBF(mru);
    } else {
        const QString dataDir = ProgramDirectory() + QStringLiteral("DATA/");
        const QString existing = findFileCaseInsensitive(dataDir, QStringLiteral("add0001.DBF"));
        if (!existing.isEmpty()) {
            OpenQBXDBF(existing);
        } else {
            const QString path = dataDir + QStringLiteral("add0001.DBF");
            if (CreateAddressFile(path, *TAbleCreate))
                OpenQBXDBF(path);
        }
    }
    if (TableQBX->isOpen())
        ApplyFilter();
    UpdateMenuMRUList();
    SetButtons();
    CheckPrinters();
    if (!gettingStartedOff_) {
        TGettingStarted window(this);
        RunModal(window);
    }
}

void TAddressMain::closeEvent(QCloseEvent* event) {
    // A pending edit is dropped without a question.
    if (TableQBX->isEditing())
        TableQBX->cancel();
    event->accept();
}

void TAddressMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMaximized()) {
        // The window has one size; on a small screen it is shrunk to fit.
        const QRect area = screen() ? screen()->availableGeometry() : QRect();
        if (area.isValid() && (area.width() < 610 || area.height() < 450))
            setFixedSize(std::min(610, area.width()), std::min(450, area.height()));
    }
}

void TAddressMain::LoadPreferences() {
    IniFile ini;
    adding_ = AddingOptions::load(ini);
    gettingStartedOff_ = ReadGettingStartedSuppressed(ini);
    QString id = ini.readString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId"));
    if (id.isEmpty())
        id = NewTagId();
    SetGlobalTagId(id);
    SaveTagPref();
}

void TAddressMain::SaveTagPref() {
    IniFile ini;
    ini.writeString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId"), GlobalTagId());
}

bool TAddressMain::CheckPrinters() {
    const QString unable = kCrLf + QStringLiteral("Unable to perform printer related operations");
    if (AvailablePrinterNames().isEmpty()) {
        Inform(QStringLiteral("There are no installed printers.") + unable);
        return false;
    }
    // Ask once more for the default before giving up.
    if (DefaultPrinterName().isEmpty() && DefaultPrinterName().isEmpty()) {
        Inform(QStringLiteral("There is no default printer selected.") + unable);
        return false;
    }
    return true;
}

// ---- the open file ------------------------------------------------------------------------------

bool TAddressMain::OpenQBXFile(const QString& path, TableDataset& table) {
    table.setExclusive(true);
    if (!OpenTableFile(path, table))
        return false;
    if (&table == TableQBX)
        CheckValidIndex();
    return true;
}

bool TAddressMain::CheckValidIndex() {
    IndexValid = false;
    IndexValid = TableQBX->isOpen() && qb::CheckValidIndex(*TableQBX);
    return IndexValid;
}

bool TAddressMain::OpenQBXDBF(const QString& path) {
    if (path.isEmpty())
        return false;
    TableQBX->disableControls();
    if (TableQBX->isOpen())
        TableQBX->setFilter(QString());
    const bool opened = OpenQBXFile(path, *TableQBX);
    if (!opened) {
        Inform(QStringLiteral("Unable to open ") + path + kCrLf + kCrLf + QStringLiteral(" * May not be ") +
               QStringLiteral("a Quillbury") + QStringLiteral(" file.") + kCrLf +
               QStringLiteral(" * May be in use by another program or user"));
    } else if (!IndexValid) {
        if (Confirm(QStringLiteral("The index file for ") + path + kCrLf +
                        QStringLiteral("is missing or invalid. Rebuild now?"),
                    QStringLiteral("Warning"))) {
            TQBReindex rebuild(*TableQBX, [](TableDataset& t) { return CreateAddressIndexes(t); }, this);
            RunModal(rebuild);
            if (!CheckValidIndex())
                TableQBX->close();
        } else {
            TableQBX->close();
        }
    }
    OnOpenQBXFile(TableQBX->isOpen());
    TableQBX->enableControls();
    QCoreApplication::processEvents();

    // Only a file that stays open is remembered: one whose index could not
    // be made whole is not offered again as the file of the last session.
    if (TableQBX->isOpen()) {
        UpdateMRUList(path);
        CurrentFileName = path;
    } else {
        CurrentFileName.clear();
    }
    setWindowTitle(kTitle + QStringLiteral(" - ") + path);
    MemoFound = false;
    button(QStringLiteral("Find &Next"))->setVisible(false);
    SetButtons();
    return opened;
}

void TAddressMain::OnOpenQBXFile(bool active) {
    if (!active) {
        noData_->setGeometry(form_->rect());
        noData_->raise();
        noData_->setVisible(true);
        sort_ = SortOrderState(TableQBX);
        sortStatus_->clear();
        for (QAction* a : sortActions_)
            a->setChecked(false);
        memo_->blockSignals(true);
        memo_->clear();
        memo_->blockSignals(false);
        refreshFields();
        return;
    }
    noData_->setVisible(false);
    SetOrderTo(sortActions_.first()->text().mid(1).left(30));
    ApplyFilter();
    TableQBX->first();
}

QString TAddressMain::GetDatabasePath() const {
    QString dir = TableQBX->directory();
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

void TAddressMain::SetExtraFields(bool on) { AddressFile::SetExtraFields(*TableQBX, on); }

// ---- recently used files ---------------------------------------------------------------------------

QStringList TAddressMain::GetMRUList() const { return qb::GetMRUList(IniFile()); }

void TAddressMain::PutMRUList(const QStringList& list) {
    IniFile ini;
    qb::PutMRUList(list, ini);
}

void TAddressMain::UpdateMRUList(const QString& path) {
    PutMRUList(UpdatedMRUList(GetMRUList(), path));
    UpdateMenuMRUList();
}

QString TAddressMain::GetMRUFile() const {
    const QStringList list = GetMRUList();
    return list.isEmpty() ? QString() : list.first();
}

void TAddressMain::UpdateMenuMRUList() {
    for (QAction* a : mruActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    mruActions_.clear();
    for (const QString& path : GetMRUList()) {
        QAction* a = fileMenu_->addAction(path);
        connect(a, &QAction::triggered, this, [this, path] { OpenSelectedFile(path); });
        mruActions_ << a;
    }
}

void TAddressMain::OpenSelectedFile(const QString& path) {
    const QString previous = TableQBX->isOpen() ? CurrentFileName : QString();
    OpenQBXDBF(path);
    if (!TableQBX->isOpen() && !previous.isEmpty())
        OpenQBXDBF(previous);
    SetButtons();
}

// ---- new and open -----------------------------------------------------------------------------------

void TAddressMain::mnuOpenClick() {
    QFileDialog dialog(this, QString(), ProgramDirectory() + QStringLiteral("DATA/"),
                       QStringLiteral("DBF Files (*.dbf *.DBF)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("DBF"));
    if (RunModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().first();
        if (QFileInfo(path).suffix().toUpper() != QLatin1String("DBF"))
            Inform(QStringLiteral("Must be a DBF file"));
        else
            OpenQBXDBF(path);
    }
    SetButtons();
}

void TAddressMain::mnuNewClick() {
    TNewDataBaseName dialog(ProposeDatabaseName(ProgramDirectory() + QStringLiteral("DATA/")), this);
    if (RunModal(dialog) == QDialog::Accepted)
        CreateNewDatabase(dialog.name());
    SetButtons();
}

void TAddressMain::CreateNewDatabase(const QString& name) {
    const QString dataDir = ProgramDirectory() + QStringLiteral("DATA/");
    const QString path = dataDir + name + QStringLiteral(".DBF");
    if (!findFileCaseInsensitive(dataDir, name + QStringLiteral(".DBF")).isEmpty()) {
        Inform(QStringLiteral("That file already exists.Please select another name"));
        return;
    }
    if (CreateAddressFile(path, *TAbleCreate)) {
        TAbleCreate->close();
        TableQBX->close();
        QCoreApplication::processEvents();
        OpenQBXDBF(path);
    }
}

// ---- state -----------------------------------------------------------------------------------------------

bool TAddressMain::Editing() const { return TableQBX->isEditing(); }
bool TAddressMain::HasRecord() const { return TableQBX->hasRecord(); }
bool TAddressMain::Browsing() const { return TableQBX->isOpen() && !Editing() && HasRecord(); }

void TAddressMain::SetButtons() {
    const bool open = TableQBX->isOpen();
    const bool editing = Editing();
    const bool browsing = Browsing();
    auto enable = [this](const QString& caption, bool on) {
        if (QPushButton* b = button(caption))
            b->setEnabled(on);
        if (QAction* a = action(caption))
            a->setEnabled(on);
    };

    editMenu_->setEnabled(open);
    enable(QStringLiteral("&Rebuild Indexes for this file"), open);
    for (const char* caption : {"&Edit", "&Delete", "First", "Prior", "Next", "Last record",
                                "Browse", "&Browse", "Search", "&Search", "Copy To &Clipboard",
                                "Print C&urrent Record", "Dial Phone &1", "Dial Phone &2"})
        enable(QString::fromLatin1(caption), browsing);
    for (const char* caption : {"Print &Labels", "Labels"})
        enable(QString::fromLatin1(caption), browsing);
    for (const char* caption : {"&First", "&Previous", "&Next", "&Last", "Record/&Edit",
                                "Record/&Delete", "Create a Duplicate &Record (Clone)"})
        enable(QString::fromLatin1(caption), browsing);
    sortMenu_->setEnabled(browsing);
    printMenu_->setEnabled(browsing);
    utilitiesMenu_->setEnabled(browsing);
    for (QAction* a : sortActions_)
        a->setEnabled(browsing);

    enable(QStringLiteral("&Add"), open && !editing);
    enable(QStringLiteral("Record/&Add"), open && !editing);
    for (const char* caption : {"&Save", "&Cancel"}) {
        button(QString::fromLatin1(caption))->setVisible(editing);
        button(QString::fromLatin1(caption))->setEnabled(editing);
    }
    for (const char* caption : {"&Add", "&Edit", "&Delete", "E&xit"})
        button(QString::fromLatin1(caption))->setVisible(!editing);
    button(QStringLiteral("Search &Memo"))->setVisible(browsing);
    button(QStringLiteral("Search &Memo"))->setEnabled(browsing);
    if (editing)
        button(QStringLiteral("Find &Next"))->setVisible(false);
    else
        button(QStringLiteral("Find &Next"))->setVisible(MemoFound && browsing);
    button(QStringLiteral("Dial Phone &1"))->setVisible(browsing);
    button(QStringLiteral("Dial Phone &2"))->setVisible(browsing);
    button(QStringLiteral("Date"))->setEnabled(open && (editing || HasRecord()));
    tagged_->setEnabled(open && (editing || HasRecord()));

    fileMenu_->setEnabled(!editing);
    enable(QStringLiteral("E&xit "), !editing);
    recordMenu_->setEnabled(open && !editing);

    // Filter controls.
    const bool filterSet = filter_.isSet();
    enable(QStringLiteral("&Clear Filter"), filterSet && open);
    enable(QStringLiteral("&Save Filter"), filterSet && open);
    enable(QStringLiteral("&Tag All Filter Matches"), filterSet && open);
    enable(QStringLiteral("&Restore Filter"), open);
    enable(QStringLiteral("Filter"), open && (filterSet || browsing));
    enable(QStringLiteral("Set &Filter"), open && (filterSet || browsing));
    QPushButton* clear = button(QStringLiteral("Clear Filter"));
    clear->setVisible(filterSet && open);
    clear->setEnabled(filterSet && open && !editing);

    // Edits take typing only where there is a record to change.
    for (FieldEdit* e : editList_)
        if (!e->field().isEmpty())
            e->setReadOnly(!open || !(editing || HasRecord()));
    memo_->setReadOnly(!open || !(editing || HasRecord()));

    // Commands whose windows come with the tool hand-over stay off.
    for (QAction* a : laterActions_)
        a->setEnabled(false);

    if (editing) {
        QWidget* focus = QApplication::focusWidget();
        const bool onField = focus && (focus == memo_ || editList_.contains(qobject_cast<FieldEdit*>(focus)));
        if (!onField)
            focusField(QStringLiteral("Last"));
    }
    UpdateFilterStatus();
}

void TAddressMain::focusField(const QString& caption) {
    pages_->setCurrentIndex(0);
    if (FieldEdit* e = fieldEdit(caption))
        e->setFocus();
}

// ---- showing the record ------------------------------------------------------------------------------

void TAddressMain::refreshFields() {
    const bool open = TableQBX->isOpen();
    for (FieldEdit* e : editList_) {
        QString text;
        if (open) {
            const QString field = e->field().isEmpty() ? QStringLiteral("DisplayDate") : e->field();
            text = TableQBX->asString(field);
        }
        if (e->text() != text) {
            const int pos = e->cursorPosition();
            e->setText(text);
            if (e->hasFocus())
                e->setCursorPosition(std::min<int>(pos, text.size()));
        }
    }
    tagged_->setChecked(open && TableQBX->asBool(QStringLiteral("Tagged")));
}

void TAddressMain::DataSourceQBXDataChange() {
    refreshFields();
    if (TableQBX->isOpen() && TableQBX->state() == TableDataset::State::Browse) {
        MemoLoading = true;
        const QString text = MemoTextForEditor(TableQBX->memo(QStringLiteral("MEMO")));
        if (memo_->toPlainText() != text)
            memo_->setPlainText(text);
        MemoLoading = false;
    }
    UpdateFilterStatus();
}

void TAddressMain::fieldEdited(FieldEdit* edit, const QString& text) {
    if (edit->field().isEmpty() || !TableQBX->isOpen())
        return;
    QString value = text;
    if (edit->field() == QLatin1String("MIDDLE") && value != value.toUpper()) {
        value = value.toUpper();
        const int pos = edit->cursorPosition();
        edit->setText(value);
        edit->setCursorPosition(pos);
    }
    if (!TableQBX->setString(edit->field(), value)) {
        Beep();
        refreshFields();
    }
}

void TAddressMain::MemoChange() {
    if (!MemoLoading && !Editing() && button(QStringLiteral("&Edit"))->isEnabled())
        EditButtonClick();
}

void TAddressMain::EditFieldClick() {
    if (!Editing() && button(QStringLiteral("&Edit"))->isEnabled())
        EditButtonClick();
}

void TAddressMain::UpdateFilterStatus() {
    if (!TableQBX->isOpen()) {
        filterStatus_->setVisible(false);
        return;
    }
    filterStatus_->setVisible(true);
    filterStatus_->setText(filter_.statusText(TableQBX->recordCount()));
}

// ---- order and filter ------------------------------------------------------------------------------------

void TAddressMain::SetOrderTo(const QString& text) {
    sort_.SetOrderTo(text);
    showSortState();
}

void TAddressMain::showSortState() {
    sortStatus_->setText(sort_.statusText());
    for (int i = 0; i < sortActions_.size(); ++i)
        sortActions_[i]->setChecked(sort_.isChecked(i));
}

void TAddressMain::SetCurrentOrder(const QString& tagName) {
    sort_.SetCurrentOrder(tagName);
}

int TAddressMain::ApplyFilter() {
    BusyCursor busy;
    filter_.setTagId(GlobalTagId());
    DatasetFilterTarget target(*TableQBX);
    return filter_.ApplyFilter(target);
}

void TAddressMain::mnuClearFilterClick() {
    filter_.ClearQueryVars();
    ApplyFilter();
    TableQBX->first();
    SetButtons();
}

void TAddressMain::ClearTags1Click() {
    IniFile ini;
    ClearAllTags(ini);
    ApplyFilter();
    TableQBX->resync();
    SetButtons();
}

// ---- tool windows ------------------------------------------------------------------------

bool TAddressMain::fileOpen() const { return TableQBX->isOpen(); }

bool TAddressMain::extraFieldsOn() const { return AddressFile::ExtraFieldsOn(*TableQBX); }

void TAddressMain::BrowseButtonClick() {
    if (RunBrowse(*TableQBX, Editing(), [this] { ToggleTag(); }, this, QString(),
                  [](TBrowseWindow& w) { RunModal(w); })) {
        refreshFields();
        SetButtons();
    }
}

void TAddressMain::SearchButtonClick() {
    if (!Browsing()) {
        Beep();
        return;
    }
    RunSearchDialog(
        *TableQBX, sort_, this, [this](int) { showSortState(); },
        [](TSearchDialog& d) { RunModal(d); });
    refreshFields();
    SetButtons();
}

QVector<QueryEntryPlace> TAddressMain::queryPlaces() const {
    // The field each entry stands for, by criterion.
    static const char* const captions[AddressFilter::CriterionCount] = {
        "Last",      "First",     "Title",   "Org",     "Address 1",  "Address 2",
        "Zip or Postal ", "City", "State or Prov", "Country", "Phone 1", "Phone 2",
        "Fax",       "E-mail",    "Comment 1", "Comment 2", "Date",     "Codes"};
    // The address page's fields are placed as if the page began at the top of
    // its tab area, so the form is as compact as the window's own layout.
    QVector<QueryEntryPlace> places;
    for (const char* c : captions) {
        FieldEdit* e = fieldEdit(QString::fromLatin1(c));
        QueryEntryPlace p;
        if (e) {
            const QRect field(e->mapTo(form_, QPoint(0, 0)), e->size());
            p.entry = QueryEntryRect(field);
            if (QLabel* label = [&]() -> QLabel* {
                    for (QLabel* l : e->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                        if (l->buddy() == e)
                            return l;
                    return nullptr;
                }()) {
                p.caption = label->text().trimmed();
                p.label = QueryEntryRect(QRect(label->mapTo(form_, QPoint(0, 0)), label->size()));
            }
        }
        places << p;
    }
    return places;
}

void TAddressMain::FilterButtonClick() {
    if (Editing()) {
        Beep();
        return;
    }
    if (!TableQBX->isOpen())
        return;
    DatasetFilterTarget target(*TableQBX);
    const QRect tagged(tagged_->mapTo(form_, QPoint(0, 0)), tagged_->size());
    RunFilterForm(
        filter_, target,
        [this] {
            TableQBX->first();
            refreshFields();
            UpdateFilterStatus();
        },
        queryPlaces(), QueryEntryRect(tagged), QueryEntryRect(form_->rect()), this,
        [](TAddressQueryForm& f) { RunModal(f); });
    refreshFields();
    SetButtons();
}

void TAddressMain::mnuSaveFilterClick() {
    if (!filter_.isSet())
        return;
    const QString chosen = ChooseFilterSaveName(this, filterDirectory_);
    if (!chosen.isEmpty())
        SaveFilterAs(chosen, filter_);
    SetButtons();
}

void TAddressMain::mnuRestoreFilterClick() {
    const QString chosen = ChooseFilterRestoreName(this, filterDirectory_);
    if (!chosen.isEmpty() && RestoreFilterFile(chosen, filter_))
        ApplyFilter();
    refreshFields();
    SetButtons();
}

void TAddressMain::mnuTagAllFilterMatchesClick() {
    if (!filter_.isSet() || Editing())
        return;
    EventsOn = false;
    TagAllFilterMatches(*TableQBX, this, [](TTagAllRecords& w) { RunModal(w); });
    EventsOn = true;
    refreshFields();
    SetButtons();
}

void TAddressMain::mnuPrintCurrentRecordClick() {
    if (!Browsing() || !CheckPrinters())
        return;
    TPrintCurrentRecord w(*TableQBX, this);
    RunModal(w);
    refreshFields();
}

void TAddressMain::mnuCopyToClipboardClick() {
    if (!Browsing())
        return;
    TCopyRecordToClipboard d(AddressRecord::read(*TableQBX), this);
    RunModal(d);
}

void TAddressMain::dial(const char* field) {
    if (!Browsing())
        return;
    TQBDialer d(this);
    d.SetNumber(TableQBX->asString(QString::fromLatin1(field)));
    RunModal(d);
}

void TAddressMain::DialPhone1Click() { dial("PHONE"); }

void TAddressMain::DialPhone2Click() { dial("PHONE2"); }

void TAddressMain::ToggleTag() {
    if (!TableQBX->isOpen() || !(Editing() || HasRecord())) {
        refreshFields();
        return;
    }
    const bool wasEditing = Editing();
    if (!wasEditing) {
        EventsOn = false;
        TableQBX->edit();
    }
    const QString id = GlobalTagId();
    TableQBX->setString(QStringLiteral("TAG"), TableQBX->asString(QStringLiteral("TAG")) != id ? id : QString());
    if (!wasEditing) {
        if (!TableQBX->post()) {
            Warn(TableQBX->errorText());
            TableQBX->cancel();
        }
        EventsOn = true;
    }
    if (TableQBX->recordCount() == 0)
        ApplyFilter();
    // The box shows the stored state (or the pending one while editing).
    tagged_->setChecked(TableQBX->asString(QStringLiteral("TAG")) == id && !id.isEmpty());
    SetButtons();
}

// ---- navigation ------------------------------------------------------------------------------------------

void TAddressMain::RecordFirstClick() {
    TableQBX->first();
    SetButtons();
}

void TAddressMain::RecordLastClick() {
    TableQBX->last();
    SetButtons();
}

void TAddressMain::RecordNextClick() {
    TableQBX->next();
    if (TableQBX->eof())
        Beep();
    SetButtons();
}

void TAddressMain::RecordPrevClick() {
    TableQBX->prior();
    if (TableQBX->bof())
        Beep();
    SetButtons();
}

// ---- editing -----------------------------------------------------------------------------------------------

void TAddressMain::EditButtonClick() {
    if (!TableQBX->edit())
        Warn(TableQBX->errorText());
    SetButtons();
}

void TAddressMain::SaveButtonClick() {
    if (!Editing())
        return;
    const QString memo = MemoTextForSaving(memo_->toPlainText());
    if (memo != TableQBX->memo(QStringLiteral("MEMO")))
        TableQBX->setMemo(QStringLiteral("MEMO"), memo);
    if (!TableQBX->post()) {
        // The engine's reason; the record stays in edit state for another try.
        Warn(TableQBX->errorText());
        SetButtons();
        return;
    }
    if (TableQBX->recordCount() == 0)
        ApplyFilter();
    DataSourceQBXDataChange();
    SetButtons();
}

void TAddressMain::CancelButtonClick() {
    TableQBX->cancel();
    DataSourceQBXDataChange();
    SetButtons();
}

void TAddressMain::AddButtonClick() {
    if (!TableQBX->isOpen() || Editing())
        return;
    pages_->setCurrentIndex(0);

    CarryForward carried;
    if (HasRecord()) {
        auto v = [this](const char* f) { return TableQBX->asString(QString::fromLatin1(f)); };
        carried = {v("ORG"), v("STREET"), v("STREET2"), v("CITY"), v("STATE"), v("ZIP"),
                   adding_.carryCountry ? v("COUNTRY") : QString()};
    }
    carry_ = carried;

    NewRecordAnswers answers;
    if (adding_.plugCityState || adding_.autoDupCheck) {
        TNewRecordDialog dialog(adding_.plugCityState, adding_.autoDupCheck, this);
        if (RunModal(dialog) != QDialog::Accepted)
            return;
        answers.zip = dialog.zip();
        answers.lastName = dialog.lastName();
        answers.firstName = dialog.firstName();
    }
    if (adding_.plugCityState && !answers.zip.isEmpty()) {
        const auto [city, state] = FillCityState(answers.zip);
        answers.foundCity = city;
        answers.foundState = state;
    }
    if (!CheckDupName(answers.firstName, answers.lastName)) {
        SetButtons();
        return;
    }

    MemoLoading = true;
    memo_->clear();
    MemoLoading = false;
    if (!TableQBX->insert()) {
        Warn(TableQBX->errorText());
        return;
    }
    for (const auto& [field, value] : NewRecordValues(adding_, carried, answers, QDate::currentDate()))
        TableQBX->setString(field, value);
    refreshFields();
    SetButtons();
    focusField(FirstFocusField(adding_, TableQBX->asString(QStringLiteral("LNAME")).isEmpty(),
                               TableQBX->asString(QStringLiteral("FNAME")).isEmpty()));
    SetSkipFields(true);
}

void TAddressMain::SetSkipFields(bool on) {
    const AddingOptions& o = adding_;
    const QPair<const char*, bool> skips[] = {
        {"Last", o.skipLastName},        {"First", o.skipFirstName},  {"MI", o.skipMiddleInitial},
        {"Org", o.skipOrganization},     {"Phone 1", o.skipPhone1},   {"E-mail", o.skipEmail},
        {"State or Prov", o.skipState},  {"Zip or Postal ", o.skipZip}, {"Country", o.skipCountry},
        {"Address 2", o.skipAddress2},   {"Title", o.skipTitle},      {"Phone 2", o.skipPhone2},
        {"Fax", o.skipFax},              {"Codes", o.skipCodes},      {"Prefix", o.skipPrefix},
        {"Comment 1", o.skipComments1},  {"Date", o.skipDate},        {"Comment 2", o.skipComments2},
    };
    for (const auto& [caption, skip] : skips)
        if (FieldEdit* e = fieldEdit(QString::fromLatin1(caption)))
            e->setFocusPolicy(on && skip ? Qt::ClickFocus : Qt::StrongFocus);
}

QPair<QString, QString> TAddressMain::FillCityState(const QString& zip) {
    QPair<QString, QString> result;
    xbase::Table* engine = TableQBX->engine();
    if (!engine)
        return result;
    const DatasetState saved = TableQBX->save();
    const bool exact = engine->exact();
    TableQBX->disableControls();
    try {
        if (TableQBX->setOrder(QStringLiteral("ZIP"))) {
            engine->setExact(false);
            if (engine->seek(ToDisk(zip.toUpper()))) {
                TableQBX->resync();
                result = {TableQBX->asString(QStringLiteral("CITY")),
                          TableQBX->asString(QStringLiteral("STATE"))};
            }
        }
    } catch (const std::exception&) {
        // No look-up then: the new record simply gets no city and state.
    }
    try {
        engine->setExact(exact);
        TableQBX->restore(saved);
    } catch (...) {
    }
    TableQBX->enableControls();
    return result;
}

bool TAddressMain::CheckDupName(const QString& first, const QString& last) {
    if (first.isEmpty() || last.isEmpty())
        return true;
    xbase::Table* engine = TableQBX->engine();
    if (!engine)
        return true;
    const DatasetState saved = TableQBX->save();
    const bool exact = engine->exact();
    bool found = false;
    TableQBX->disableControls();
    try {
        if (TableQBX->setOrder(QStringLiteral("LNAME"))) {
            engine->setExact(true);
            found = engine->seek(ToDisk(DuplicateNameKey(last, first)));
            if (found)
                TableQBX->resync();
        }
    } catch (const std::exception&) {
        found = false;
    }
    bool answer = true;
    if (found) {
        Beep();
        auto v = [this](const char* f) { return TableQBX->asString(QString::fromLatin1(f)); };
        answer = ConfirmDefaultNo(DuplicateQuestion(v("FNAME"), v("LNAME"), v("STREET"), v("CITY"),
                                                    v("STATE"), v("ZIP")),
                                  QStringLiteral("Possible Duplicate"));
    }
    try {
        engine->setExact(exact);
        if (answer || !found) {
            TableQBX->restore(saved);
        } else {
            // Stay on the duplicate, in the order the user had.
            const uint32_t dup = TableQBX->recno();
            DatasetState onDuplicate = saved;
            onDuplicate.recno = dup;
            TableQBX->restore(onDuplicate);
        }
    } catch (...) {
    }
    TableQBX->enableControls();
    return answer;
}

void TAddressMain::DeleteButtonClick() {
    if (!Browsing())
        return;
    if (Confirm(QStringLiteral("Delete this record?"), QStringLiteral("DELETE"))) {
        TableQBX->setShowDeleted(true);
        QCoreApplication::processEvents();
        bool ok = TableQBX->deleteRecord() && TableQBX->setBool(QStringLiteral("ISDEL"), true) &&
                  TableQBX->post();
        if (!ok) {
            Warn(TableQBX->errorText());
            TableQBX->cancel();
        }
        TableQBX->setShowDeleted(false);
        TableQBX->prior();
        if (!TableQBX->hasRecord())
            TableQBX->first();
    }
    if (TableQBX->recordCount() == 0)
        ApplyFilter();
    SetButtons();
}

void TAddressMain::mnuCloneClick() {
    if (!Browsing())
        return;
    if (!Confirm(QStringLiteral("Clone this record?"), QStringLiteral("Clone")))
        return;
    {
        BusyCursor busy;
        TableQBX->disableControls();
        EventsOn = false;
        QList<QPair<QString, QString>> values;
        for (const char* f : kCloneFields)
            values.append({QString::fromLatin1(f), TableQBX->asString(QString::fromLatin1(f))});
        const QString memo = TableQBX->memo(QStringLiteral("MEMO"));
        bool ok = TableQBX->insert();
        for (const auto& [field, value] : values)
            ok = ok && TableQBX->setString(field, value);
        ok = ok && TableQBX->setMemo(QStringLiteral("MEMO"), memo) && TableQBX->post();
        if (!ok) {
            const QString error = TableQBX->errorText();
            TableQBX->cancel();
            TableQBX->enableControls();
            EventsOn = true;
            Warn(error);
            SetButtons();
            return;
        }
        TableQBX->enableControls();
        EventsOn = true;
    }
    SetButtons();
    Inform(QStringLiteral("Clone completed. Current record is an exact copy"));
}

void TAddressMain::DateLabelClick() {
    if (!TableQBX->isOpen() || !(Editing() || HasRecord()))
        return;
    const auto shown = ParseDate(TableQBX->asString(QStringLiteral("DisplayDate")), DisplayDateFormat());
    TSelectDate dialog(shown.value_or(QDate::currentDate()), this);
    RunModal(dialog);
    if (dialog.choice() == TSelectDate::Cancelled)
        return;
    if (!Editing())
        TableQBX->edit();
    TableQBX->setString(QStringLiteral("DATE"), dialog.storedValue());
    refreshFields();
    SetButtons();
}

// ---- memo search ---------------------------------------------------------------------------------------------

void TAddressMain::SearchMemoButtonClick() {
    QInputDialog ask(this);
    ask.setWindowTitle(QStringLiteral("Memo Search"));
    ask.setLabelText(QStringLiteral("Search For"));
    ask.setTextValue(QString());
    if (RunModal(ask) != QDialog::Accepted)
        return;
    MemoFound = false;
    SearchText = ask.textValue();
    FindTextInMemo(true);
    button(QStringLiteral("Find &Next"))->setVisible(MemoFound);
}

void TAddressMain::SearchMemoNextButtonClick() {
    FindTextInMemo(false);
    button(QStringLiteral("Find &Next"))->setVisible(MemoFound);
}

bool TAddressMain::FindTextInMemo(bool fromStart) {
    if (!Browsing())
        return false;
    TMemoSearching window(SearchText, this);
    window.show();
    TableQBX->disableControls();
    const uint32_t start = TableQBX->recno();
    bool found = false;
    bool more = true;
    if (fromStart) {
        TableQBX->first();
    } else {
        TableQBX->next();
        more = !TableQBX->eof();
    }
    while (more && TableQBX->hasRecord() && !window.cancelled()) {
        if (MemoMatches(TableQBX->memo(QStringLiteral("MEMO")), SearchText)) {
            found = true;
            break;
        }
        TableQBX->next();
        if (TableQBX->eof())
            break;
        QCoreApplication::processEvents();
    }
    MemoFound = found;
    if (!found) {
        TableQBX->gotoRecno(start);
        Beep();
    }
    TableQBX->enableControls();
    window.close();
    SetButtons();
    return found;
}

// ---- other commands --------------------------------------------------------------------------------------

void TAddressMain::mnuPreferencesClick() {
    TPreferences dialog(this);
    RunModal(dialog);
    LoadPreferences();
}

void TAddressMain::mnuRebuildIndexesClick() {
    if (!TableQBX->isOpen()) {
        Inform(QStringLiteral("You need to have a database file open first"));
        return;
    }
    QApplication::restoreOverrideCursor();
    RunTool(*this, ToolHandOver::Reindex(), [this] {
        TQBReindex dialog(*TableQBX, [](TableDataset& t) { return CreateAddressIndexes(t); }, this);
        RunModal(dialog);
    });
    CheckValidIndex();
    SetButtons();
}

void TAddressMain::mnuRebuildSystemIndexesClick() {
    TSystemReindex dialog(this);
    RunModal(dialog);
}

// ---- keyboard ----------------------------------------------------------------------------------------------------

void TAddressMain::layoutForm() {
    // The bottom bar sits on the lower edge of the form; the pages take the
    // height in between, whatever the menu and status bars need.
    const int by = form_->height() - 32;
    for (QPushButton* b : bottomBar_)
        b->move(b->x(), by);
    pages_->setGeometry(2, 97, 606, by - 97 - 3);
    noData_->setGeometry(form_->rect());
}

bool TAddressMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == form_)
            layoutForm();
        else if (watched == memoPage_)
            memo_->resize(memo_->width(), memoPage_->height() - memo_->y() - 6);
    }
    if (event->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        // Every key meant for this window (not for a dialog it opened) is seen here first.
        if (w && (w == this || isAncestorOf(w)) && w->window() == this &&
            FormKeyDown(static_cast<QKeyEvent*>(event)))
            return true;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (editList_.contains(qobject_cast<FieldEdit*>(watched)))
            EditFieldClick();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TAddressMain::FormKeyDown(QKeyEvent* event) {
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool editing = Editing();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (editing && mods == Qt::AltModifier) {
            SaveButtonClick();
            if (!Editing() && Confirm(QStringLiteral("Add another record?"), QStringLiteral("Add")))
                AddButtonClick();
            return true;
        }
        if (editing && mods == Qt::ControlModifier) {
            SaveButtonClick();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_PageDown) {
        if (!TableQBX->isOpen())
            return true;
        if (!editing) {
            if (mods & Qt::ControlModifier)
                RecordLastClick();
            else
                RecordNextClick();
        } else if (Confirm(QStringLiteral("Save changes?"), QStringLiteral("Save"))) {
            SaveButtonClick();
        }
        return true;
    }
    if (key == Qt::Key_PageUp) {
        if (TableQBX->isOpen() && !editing) {
            if (mods & Qt::ControlModifier)
                RecordFirstClick();
            else
                RecordPrevClick();
        }
        return true;
    }
    if (key == Qt::Key_Escape && editing) {
        // The answer is final, in the memo too: No keeps the changes.
        if (Confirm(QStringLiteral("Cancel changes?"), QStringLiteral("Cancel")))
            CancelButtonClick();
        return true;
    }
    if (key == Qt::Key_Insert && mods == Qt::NoModifier && event->isAutoRepeat() == false &&
        qobject_cast<QPlainTextEdit*>(QApplication::focusWidget()) == memo_ && memo_) {
        SetInsertModeOn(!InsertModeOn());
        memo_->setOverwriteMode(!InsertModeOn());
        return true;
    }
    if (memo_ && QApplication::focusWidget() == memo_)
        memo_->setOverwriteMode(!InsertModeOn());
    return false;
}

} // namespace qb
