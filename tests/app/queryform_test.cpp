// The query form over a real address file, and saved filter files.
#include "addressbook/addressfile.h"
#include "addressbook/tagid.h"
#include "app/addressfilter.h"
#include "app/filterfile.h"
#include "app/messages.h"
#include "app/queryform.h"
#include "storage/dataset.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;
using C = AddressFilter::Criterion;

namespace {

class TableTarget : public FilterTarget {
public:
    explicit TableTarget(TableDataset& t) : table(t) {}
    bool setEngineFilter(const QString& expression, QString* error) override {
        installed = expression;
        if (table.setFilter(expression))
            return true;
        *error = table.errorText();
        return false;
    }
    uint32_t visibleCount() override { return table.recordCount(); }
    TableDataset& table;
    QString installed;
};

class QueryFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetGlobalTagId(QStringLiteral("T1"));
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        const char* const rows[][5] = {
            {"Jones", "Boston", "MA", "", "T1"},
            {"Jolly", "Boston", "MA", "Joe's \"Diner\"", ""},
            {"Adams", "Boston", "MA", "", ""},
            {"Jonas", "Denver", "CO", "", "T1"},
        };
        for (const auto& r : rows) {
            ASSERT_TRUE(table.insert());
            table.setString(QStringLiteral("LNAME"), QString::fromLatin1(r[0]));
            table.setString(QStringLiteral("CITY"), QString::fromLatin1(r[1]));
            table.setString(QStringLiteral("STATE"), QString::fromLatin1(r[2]));
            table.setString(QStringLiteral("ORG"), QString::fromLatin1(r[3]));
            table.setString(QStringLiteral("TAG"), QString::fromLatin1(r[4]));
            ASSERT_TRUE(table.post());
        }
        ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
        ASSERT_TRUE(table.setFilter(AddressFilter::BaseFilter));
    }
    void TearDown() override { SetGlobalTagId(QString()); }
    QString file(const char* name) const {
        return dir.path() + QLatin1Char('/') + QString::fromLatin1(name);
    }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
    TableTarget target{table};
    AddressFilter filter;
};

} // namespace

TEST_F(QueryFormTest, FormShowsTheCriteriaAndItsTexts) {
    filter.setCriterion(C::City, QStringLiteral("bos"));
    filter.setCriterion(C::Codes, QStringLiteral("$c"));
    filter.setTaggedOnly(true);
    TAddressQueryForm form(filter, target);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Address Filter"));
    EXPECT_EQ(form.entry(C::City)->text(), QStringLiteral("bos"));
    EXPECT_EQ(form.entry(C::Codes)->text(), QStringLiteral("$c"));
    EXPECT_TRUE(form.entry(C::LastName)->text().isEmpty());
    EXPECT_TRUE(form.taggedBox()->isChecked());
    EXPECT_EQ(form.taggedBox()->text(), QStringLiteral("Tagged"));
    const QList<QLabel*> labels = form.findChildren<QLabel*>();
    const bool hasHint = std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
        return l->text() == TAddressQueryForm::HintText;
    });
    EXPECT_TRUE(hasHint);
    EXPECT_TRUE(
        TAddressQueryForm::HintText.startsWith(QStringLiteral("Hint: to look for only part")));
    EXPECT_TRUE(TAddressQueryForm::HintText.endsWith(QStringLiteral("for more helpful tips")));

    // The date format is shown under the date entry only while it has the focus.
    EXPECT_TRUE(form.dateFormatLabel()->isHidden());
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(form.entry(C::Date), &in);
    EXPECT_FALSE(form.dateFormatLabel()->isHidden());
    EXPECT_EQ(form.dateFormatLabel()->text(), QStringLiteral("(YYYYMMDD)"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(form.entry(C::Date), &out);
    EXPECT_TRUE(form.dateFormatLabel()->isHidden());
}

TEST_F(QueryFormTest, TestAppliesTheEntriesAndCounts) {
    int tests = 0;
    TAddressQueryForm form(filter, target, [&] {
        ++tests;
        table.first();
    });
    struct Case {
        const char *lname, *city;
        bool tagged;
        const char* count;
        const char* firstLname;
    } cases[] = {
        {"jo", "boston", false, "2 matches", "Jolly"},
        {"jo;ad", "", false, "4 matches", "Adams"},
        {"", "", true, "2 matches", "Jonas"},
        {"$ll", "", false, "1 matches", "Jolly"},
        // Blanks only: no criterion at all.
        {"   ", "", false, "No filter set", "Adams"},
        // Matching nothing: the filter is dropped.
        {"zz", "", false, "No filter set", "Adams"},
    };
    for (const Case& c : cases) {
        form.entry(C::LastName)->setText(QString::fromLatin1(c.lname));
        form.entry(C::City)->setText(QString::fromLatin1(c.city));
        form.taggedBox()->setChecked(c.tagged);
        EXPECT_TRUE(form.qSetFilterButtonClick());
        EXPECT_EQ(form.countLabel()->text(), QString::fromLatin1(c.count)) << c.lname;
        EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QString::fromLatin1(c.firstLname))
            << c.lname;
    }
    EXPECT_EQ(tests, 6);
    // The dropped filter took its criteria with it.
    EXPECT_TRUE(filter.criterion(C::LastName).isEmpty());
    EXPECT_EQ(target.installed, AddressFilter::BaseFilter);

    form.entry(C::LastName)->setText(QStringLiteral("jo"));
    form.entry(C::City)->setText(QStringLiteral("boston"));
    ASSERT_TRUE(form.qSetFilterButtonClick());
    EXPECT_EQ(target.installed,
              QStringLiteral("UPPER(LNAME)=\"JO\" and UPPER(CITY+STATE)=\"BOSTON\".and. !ISDEL"));
    form.qClearButtonClick();
    EXPECT_TRUE(form.entry(C::LastName)->text().isEmpty());
    EXPECT_FALSE(form.taggedBox()->isChecked());
    EXPECT_EQ(form.countLabel()->text(), QStringLiteral("No filter set"));
    EXPECT_FALSE(filter.isSet());
    EXPECT_EQ(table.recordCount(), 4u);
}

TEST_F(QueryFormTest, QuotesInValuesAreSearchedOrRefused) {
    TAddressQueryForm form(filter, target);
    // A double quote and an apostrophe: the value still finds its record.
    form.entry(C::Organization)->setText(QStringLiteral("joe's \"d"));
    ASSERT_TRUE(form.qSetFilterButtonClick());
    EXPECT_EQ(form.countLabel()->text(), QStringLiteral("1 matches"));
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('|').toStdString();

    // All three delimiters: refused before anything changes.
    form.entry(C::Organization)->setText(QStringLiteral("a\"b'c]"));
    EXPECT_FALSE(form.qSetFilterButtonClick());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Organization")));
    EXPECT_EQ(filter.criterion(C::Organization), QStringLiteral("joe's \"d"));
    EXPECT_EQ(table.recordCount(), 1u);

    const struct {
        const char* text;
        bool refused;
    } cases[] = {
        {"plain", false}, {"a\"b", false}, {"a\"b'c", false}, {"a'b]", false}, {"]'\"", true}};
    for (const auto& c : cases)
        EXPECT_EQ(CriterionUnquotable(QString::fromLatin1(c.text)), c.refused) << c.text;
}

TEST_F(QueryFormTest, OkClosesAndCancelPutsTheCriteriaBack) {
    filter.setCriterion(C::LastName, QStringLiteral("ad"));
    ASSERT_EQ(filter.ApplyFilter(target), 1);

    // Cancel after a test run: the old criteria come back and are applied.
    int n = RunFilterForm(filter, target, {}, {}, {}, {}, nullptr, [](TAddressQueryForm& f) {
        f.entry(C::LastName)->setText(QStringLiteral("jo"));
        f.qSetFilterButtonClick();
        f.CancelbuttonClick();
    });
    EXPECT_EQ(n, 1);
    EXPECT_EQ(filter.criterion(C::LastName), QStringLiteral("ad"));
    EXPECT_EQ(table.recordCount(), 1u);

    // Ok keeps what the form found.
    n = RunFilterForm(filter, target, {}, {}, {}, {}, nullptr, [](TAddressQueryForm& f) {
        f.entry(C::LastName)->setText(QStringLiteral("jo"));
        f.OKButtonClick();
        EXPECT_EQ(f.result(), QDialog::Accepted);
    });
    EXPECT_EQ(n, 3);
    EXPECT_EQ(filter.criterion(C::LastName), QStringLiteral("jo"));
}

TEST_F(QueryFormTest, EntriesGoWhereTheCallerPlacesThem) {
    QVector<QueryEntryPlace> places;
    for (int i = 0; i < AddressFilter::CriterionCount; ++i)
        places << QueryEntryPlace{QStringLiteral("Field %1").arg(i),
                                  QRect(100, 30 + 25 * i, 150 + i, 21), QRect()};
    TAddressQueryForm form(filter, target, {}, places, QRect(300, 10, 80, 20));
    EXPECT_EQ(QueryEntryRect(QRect(10, 40, 120, 21)), QRect(10, 65, 120, 21));
    EXPECT_EQ(QueryEntryRect(QRect(10, 40, 120, 21), 90), QRect(10, 155, 120, 21));
    EXPECT_EQ(form.entry(C::Zip)->geometry(), QRect(100, 30 + 25 * 6, 156, 21));
    EXPECT_EQ(form.taggedBox()->geometry(), QRect(300, 10, 80, 20));
    const QList<QLabel*> labels = form.findChildren<QLabel*>();
    const bool captioned = std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
        return l->text() == QStringLiteral("Field 6") && l->buddy() == form.entry(C::Zip);
    });
    EXPECT_TRUE(captioned);
}

// ---- saved filter files ------------------------------------------------------------------

TEST_F(QueryFormTest, SavedFileHoldsEighteenLinesInFileOrder) {
    filter.setCriterion(C::LastName, QStringLiteral("jo"));
    filter.setCriterion(C::Comment1, QStringLiteral("c1"));
    filter.setCriterion(C::Date, QStringLiteral(">=1997"));
    filter.setCriterion(C::Codes, QStringLiteral("$a+$b"));
    ASSERT_TRUE(SaveFilterAs(file("list"), filter));
    QFile f(file("list.FLT"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("jo\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                                      ">=1997\r\n$a+$b\r\nc1\r\n\r\n"));

    AddressFilter back;
    back.setTaggedOnly(true);
    ASSERT_TRUE(RestoreFilterFile(file("list.FLT"), back));
    for (int i = 0; i < AddressFilter::CriterionCount; ++i)
        EXPECT_EQ(back.criterion(C(i)), filter.criterion(C(i))) << i;
    EXPECT_TRUE(back.taggedOnly());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(QueryFormTest, SaveNamesAndOverwriteQuestion) {
    filter.setCriterion(C::LastName, QStringLiteral("jo"));
    struct Case {
        const char *chosen, *written, *message;
    } cases[] = {
        {"a", "a.FLT", nullptr},
        {"b.flt", "b.flt", nullptr},
        {"c.txt", nullptr, "Must have a .FLT extension"},
        {"d.FLT.bak", nullptr, "Must have a .FLT extension"},
    };
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_EQ(SaveFilterAs(file(c.chosen), filter), c.written != nullptr) << c.chosen;
        if (c.written) {
            EXPECT_TRUE(QFile::exists(file(c.written))) << c.chosen;
        }
        EXPECT_EQ(messages.texts(),
                  c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList())
            << c.chosen;
    }
    EXPECT_FALSE(QFile::exists(file("c.txt")));

    // An existing file: No (the default) keeps it, Yes replaces it.
    filter.setCriterion(C::LastName, QStringLiteral("changed"));
    messages.clear();
    messages.answer(false);
    EXPECT_FALSE(SaveFilterAs(file("a"), filter));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, ShownMessage::QuestionDefaultNo);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Warning!"));
    EXPECT_EQ(messages.shown[0].text,
              file("a.FLT") + QStringLiteral(" already exists.\r\nDo you want to overwrite it?"));
    AddressFilter back;
    ASSERT_TRUE(RestoreFilterFrom(file("a.FLT"), back));
    EXPECT_EQ(back.criterion(C::LastName), QStringLiteral("jo"));
    messages.answer(true);
    EXPECT_TRUE(SaveFilterAs(file("a"), filter));
    ASSERT_TRUE(RestoreFilterFrom(file("a.FLT"), back));
    EXPECT_EQ(back.criterion(C::LastName), QStringLiteral("changed"));
}

TEST_F(QueryFormTest, RestoreRefusesWrongShortOrMissingFiles) {
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    QByteArray seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "x\r\n";
    write("short.FLT", seventeen);
    write("full.txt", seventeen + "x\r\n");
    // Eighteen lines without the final line break are complete.
    write("lf.flt", QByteArray("zed\n").repeated(17) + "last");

    filter.setCriterion(C::LastName, QStringLiteral("keep"));
    const AddressFilter before = filter;
    struct Case {
        const char* name;
        const char* messageStart;
    } cases[] = {
        {"full.txt", "Must be a Filter (.FLT) file"},
        {"short.FLT", "The filter file "},
        {"missing.FLT", "Unable to read the filter file "},
    };
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_FALSE(RestoreFilterFile(file(c.name), filter)) << c.name;
        ASSERT_EQ(messages.shown.size(), 1u) << c.name;
        EXPECT_TRUE(messages.shown[0].text.startsWith(QString::fromLatin1(c.messageStart)))
            << messages.shown[0].text.toStdString();
        EXPECT_TRUE(filter == before) << c.name;
    }
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("not changed")));

    messages.clear();
    ASSERT_TRUE(RestoreFilterFile(file("lf.flt"), filter));
    EXPECT_EQ(filter.criterion(C::LastName), QStringLiteral("zed"));
    EXPECT_EQ(filter.criterion(C::Comment2), QStringLiteral("last"));
}
