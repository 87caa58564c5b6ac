#include "app/helpviewer.h"
#include "app/whatsthis.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <memory>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using namespace qb::HelpTopic;

const int kTopicsInUse[] = {
    Contents,
    HowToUseHelp,
    GettingStarted,
    SearchingHelp,
    TechnicalSupport,
    DBaseImport,
    AsciiImport,
    Finding,
    MainWindow,
    AddingChanging,
    NewFile,
    Preferences,
    RebuildIndexes,
    RebuildSystemIndexes,
    Faq,
    Deleting,
    Version1Import,
    Filters,
    Tags,
    Dialer,
    Labels,
    LabelDesign,
    Envelopes,
    Letters,
    Reports,
    Preview,
    StateZipCheck,
    DuplicateCheck,
    Export,
    BulkEdits,
    ZipCounts,
};

TEST(HelpPages, EveryTopicHasItsOwnRealPage) {
    const qb::HelpIndex& index = qb::HelpIndex::instance();
    QStringList files, titles;
    for (int topic : kTopicsInUse) {
        SCOPED_TRACE(topic);
        ASSERT_TRUE(index.hasTopic(topic));
        const qb::HelpPage& page = index.page(topic);
        EXPECT_EQ(page.topic, topic);
        EXPECT_FALSE(page.title.isEmpty());
        EXPECT_GT(page.text.size(), 300); // a page, not a placeholder
        files << page.file;
        titles << page.title;
    }
    files.removeDuplicates();
    titles.removeDuplicates();
    EXPECT_EQ(files.size(), int(std::size(kTopicsInUse)));
    EXPECT_EQ(titles.size(), int(std::size(kTopicsInUse)));
    // An unknown number opens the contents rather than nothing.
    EXPECT_EQ(index.page(4711).topic, Contents);
    EXPECT_FALSE(index.hasTopic(4711));
}

TEST(HelpPages, EveryLinkBetweenPagesLeadsToAPage) {
    const qb::HelpIndex& index = qb::HelpIndex::instance();
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    QSet<int> linkedTo;
    for (const qb::HelpPage& page : index.pages()) {
        QFile file(page.file);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.file.toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        for (const auto& m : href.globalMatch(html)) {
            const int topic = index.topicForUrl(QUrl(m.captured(1)));
            EXPECT_NE(topic, 0) << page.file.toStdString() << " -> " << m.captured(1).toStdString();
            linkedTo.insert(topic);
        }
    }
    // The contents page reaches every other page.
    for (int topic : kTopicsInUse) {
        if (topic != Contents) {
            EXPECT_TRUE(linkedTo.contains(topic)) << topic;
        }
    }
}

TEST(HelpPages, Search) {
    const qb::HelpIndex& index = qb::HelpIndex::instance();
    struct Case {
        const char* query;
        QVector<int> mustStartWith; // in this order
        QVector<int> mustContain;
        QVector<int> mustNotContain;
    };
    const Case cases[] = {
        // Title matches come first, whatever the case of the query.
        {"PREFERENCES", {Preferences}, {AddingChanging, Faq}, {}},
        {"rebuilding", {RebuildIndexes, RebuildSystemIndexes}, {Deleting}, {}},
        // Every word must be present, anywhere in the page.
        {"comma quotes", {}, {AsciiImport}, {DBaseImport, Preferences}},
        {"  deleted   records  ", {}, {Deleting, RebuildIndexes}, {Preferences}},
        {"xylophone", {}, {}, {Contents}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const QVector<int> found = index.search(QString::fromLatin1(c.query));
        ASSERT_GE(found.size(), c.mustStartWith.size());
        for (int i = 0; i < c.mustStartWith.size(); ++i)
            EXPECT_EQ(found[i], c.mustStartWith[i]);
        for (int t : c.mustContain)
            EXPECT_TRUE(found.contains(t)) << t;
        for (int t : c.mustNotContain)
            EXPECT_FALSE(found.contains(t)) << t;
    }
    EXPECT_TRUE(index.search("xylophone").isEmpty());
    EXPECT_TRUE(index.search("   ").isEmpty());
}

TEST(HelpWindow, OpensTopicsContentsAndSearch) {
    qb::ShowHelpTopic(AddingChanging);
    qb::HelpViewer* viewer = qb::HelpViewer::existing();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->currentTopic(), AddingChanging);
    EXPECT_TRUE(viewer->browser()->source().toString().endsWith("adding.html"));
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("Adding a record"));

    // Following a link in the page moves the topic along; Back returns.
    viewer->browser()->setSource(QUrl("preferences.html"));
    EXPECT_EQ(viewer->currentTopic(), Preferences);
    viewer->browser()->backward();
    EXPECT_EQ(viewer->currentTopic(), AddingChanging);

    qb::ShowHelpContents();
    EXPECT_EQ(qb::HelpViewer::instance(), viewer); // one window for the program
    EXPECT_EQ(viewer->currentTopic(), Contents);
    EXPECT_EQ(viewer->tabs()->currentWidget(), viewer->contentsList());

    qb::ShowHowToUseHelp();
    EXPECT_EQ(viewer->currentTopic(), HowToUseHelp);

    qb::ShowHelpSearch();
    EXPECT_EQ(viewer->tabs()->currentIndex(), 1);
    viewer->searchEdit()->setText("duplicate names");
    ASSERT_GT(viewer->searchResults()->count(), 0);
    // Clicking a result opens its page.
    QListWidgetItem* first = viewer->searchResults()->item(0);
    const int topic = first->data(Qt::UserRole).toInt();
    emit viewer->searchResults()->itemClicked(first);
    EXPECT_EQ(viewer->currentTopic(), topic);
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("duplicate", Qt::CaseInsensitive));

    viewer->searchEdit()->setText("xylophone");
    ASSERT_EQ(viewer->searchResults()->count(), 1);
    EXPECT_EQ(viewer->searchResults()->item(0)->text(), "No topics found");
    EXPECT_EQ(viewer->searchResults()->item(0)->flags(), Qt::NoItemFlags);

    // Closing hides it; it is not a window that keeps the program running.
    viewer->close();
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->testAttribute(Qt::WA_QuitOnClose));
    qb::ShowHelpTopic(Faq);
    EXPECT_TRUE(viewer->isVisible());
    viewer->close();
}

TEST(HelpWindow, LowerLayersReachItThroughTheHook) {
    // As a dialog of the storage layer asks for its topic.
    qb::RequestHelpTopic(RebuildSystemIndexes);
    qb::HelpViewer* viewer = qb::HelpViewer::existing();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->currentTopic(), RebuildSystemIndexes);
    EXPECT_TRUE(viewer->isVisible());
    viewer->close();

    // A replaced handler receives the requests instead.
    int asked = 0;
    auto previous = qb::SetHelpTopicHandler([&](int topic) { asked = topic; });
    qb::RequestHelpTopic(Faq);
    EXPECT_EQ(asked, Faq);
    EXPECT_EQ(viewer->currentTopic(), RebuildSystemIndexes);
    qb::SetHelpTopicHandler(previous);
}

TEST(HelpWindow, StaysUsableWhileAModalDialogRuns) {
    auto* outer = new QDialog;
    outer->setModal(true);
    outer->show();
    ASSERT_EQ(QApplication::activeModalWidget(), outer);

    // Opened from a dialog's Help button, help belongs to that dialog's
    // window group, which the dialog's modality does not block.
    qb::ShowHelpTopic(Preferences);
    qb::HelpViewer* viewer = qb::HelpViewer::existing();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->parentWidget(), outer);
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_TRUE(viewer->isVisible());

    // A dialog opened from the first one takes it over; closing it hands
    // help back to the first.
    auto* inner = new QDialog(outer);
    inner->setModal(true);
    inner->show();
    qb::ShowHelpTopic(Faq);
    EXPECT_EQ(viewer->parentWidget(), inner);
    inner->accept();
    EXPECT_EQ(viewer->parentWidget(), outer);
    EXPECT_TRUE(viewer->isVisible());
    delete inner;

    // Destroying the dialog leaves help open on its own, same page.
    delete outer;
    ASSERT_EQ(qb::HelpViewer::existing(), viewer);
    EXPECT_EQ(viewer->parentWidget(), nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->currentTopic(), Faq);
    viewer->close();
}

QStringList actionTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            out << a->text();
    return out;
}

TEST(WhatsThis, ContextMenuOffersTheText) {
    QPushButton button("Dial");
    EXPECT_EQ(qb::CreateWhatsThisMenu(&button, {}), nullptr); // nothing to offer yet
    qb::SetWhatsThis(&button, "Dials the number.");
    EXPECT_EQ(button.whatsThis(), "Dials the number.");
    EXPECT_EQ(button.contextMenuPolicy(), Qt::CustomContextMenu);
    std::unique_ptr<QMenu> menu(qb::CreateWhatsThisMenu(&button, {}));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu.get()), QStringList({"What's this?"}));

    // Triggering it pops the text up.
    button.show();
    menu->actions().last()->trigger();
    bool shown = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QWhatsThat") && w->isVisible())
            shown = true;
    EXPECT_TRUE(shown);
}

TEST(WhatsThis, TextEditorsKeepTheirEditingCommands) {
    QLineEdit edit;
    qb::SetWhatsThis(&edit, "The last name.");
    qb::SetWhatsThis(&edit, "The person's last name."); // replacing the text
    std::unique_ptr<QMenu> menu(qb::CreateWhatsThisMenu(&edit, {}));
    ASSERT_NE(menu, nullptr);
    const QStringList texts = actionTexts(menu.get());
    EXPECT_EQ(texts.count("What's this?"), 1);
    EXPECT_EQ(texts.last(), "What's this?");
    EXPECT_TRUE(texts.filter("Paste").size() == 1) << texts.join(',').toStdString();
    EXPECT_EQ(edit.whatsThis(), "The person's last name.");

    // Removing the text leaves the editing commands only.
    qb::SetWhatsThis(&edit, QString());
    menu.reset(qb::CreateWhatsThisMenu(&edit, {}));
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(actionTexts(menu.get()).contains("What's this?"));
    EXPECT_FALSE(actionTexts(menu.get()).filter("Paste").isEmpty());
}

} // namespace
