#include "app/about.h"
#include "app/gettingstarted.h"
#include "app/helpviewer.h"
#include "storage/settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <gtest/gtest.h>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using namespace qb::HelpTopic;

class GettingStartedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qb::SetProgramDirectory(home.path());
    }
    QTemporaryDir home;
};

TEST(GettingStartedLinks, NamesToTopics) {
    struct Case {
        const char* name;
        int topic;
    };
    const Case cases[] = {
        {"NEW", NewFile},
        {"DBASE", DBaseImport},
        {"ASCII", AsciiImport},
        {"ADD", AddingChanging},
        {"CHANGE", AddingChanging},
        {"FIND", Finding},
        {"DELETE", Deleting},
        {"TECHNICAL SUPPORT", TechnicalSupport},
        {"FREQUENTLY ASKED QUESTIONS", Faq},
        {"new", NewFile},
        {"Frequently Asked Questions", Faq},
        {"NEWS", 0},
        {"", 0},
        {"TECHNICAL", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qb::TGettingStarted::TopicForLink(c.name), c.topic) << c.name;
}

TEST_F(GettingStartedWindow, EveryLinkOnThePageOpensItsTopic) {
    qb::TGettingStarted window;
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.page()->toPlainText().startsWith("Getting Started"));
    QVector<int> opened;
    window.openTopic = [&](int topic) { opened.push_back(topic); };

    static const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    QStringList names;
    for (const auto& m : href.globalMatch(window.page()->toHtml())) {
        names << m.captured(1);
        // As the browser reports the click.
        window.LinkClick(QUrl(m.captured(1)));
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 9);
    ASSERT_EQ(opened.size(), names.size());
    EXPECT_FALSE(opened.contains(0));
    EXPECT_TRUE(opened.contains(TechnicalSupport));
    EXPECT_TRUE(opened.contains(Faq));

    window.LinkClick(QUrl("SOMEWHERE"));
    EXPECT_EQ(opened.size(), names.size()); // an unknown link opens nothing
}

TEST_F(GettingStartedWindow, DoNotShowBoxFollowsTheSetting) {
    qb::IniFile ini;
    struct Case {
        const char* stored; // nullptr: no key
        bool checkedAtStart;
        bool tick;
        bool closeWithOk;
        const char* written;
    };
    const Case cases[] = {
        {nullptr, false, true, true, "1"},
        {"1", true, false, true, "0"},
        {"2", true, true, false, "1"}, // closed without Ok: still written
        {"yes", false, false, false, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        ini.eraseSection("Misc");
        if (c.stored)
            ini.writeString("Misc", "GettingStarted", c.stored);
        qb::TGettingStarted window;
        EXPECT_EQ(window.dontShowBox()->isChecked(), c.checkedAtStart);
        EXPECT_EQ(window.dontShowBox()->text(), "Do not show this screen at start up");
        window.dontShowBox()->setChecked(c.tick);
        if (c.closeWithOk)
            window.okButton()->click();
        else
            window.reject();
        EXPECT_EQ(ini.readString("Misc", "GettingStarted"), c.written);
        EXPECT_EQ(qb::ReadGettingStartedSuppressed(), QString(c.written) == "1");
    }
}

TEST(AboutBox, ShowsNameAndVersion) {
    qb::TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About Quillbury");
    EXPECT_TRUE(qb::ProgramVersion().contains(QRegularExpression("^\\d+\\.\\d+")));
    EXPECT_EQ(box.versionLabel()->text(), "Version " + qb::ProgramVersion());
    bool named = false;
    for (QLabel* l : box.findChildren<QLabel*>())
        named = named || l->text() == "Quillbury";
    EXPECT_TRUE(named);
    box.okButton()->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

} // namespace
