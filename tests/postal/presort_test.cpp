// Bulk-mail presort: the distribution-centre table, counting keys, grouping,
// the presort file, the presort window and the walk of a presorted run.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "postal/presort.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "xbase/table.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;

namespace {

using Tallies = std::vector<std::pair<QString, TallyRecord>>;

Tallies Counts(std::initializer_list<std::pair<const char*, int>> list) {
    Tallies t;
    for (const auto& [zip, n] : list)
        t.emplace_back(QString::fromLatin1(zip), MakeTallyRecord(n));
    return t;
}

} // namespace

// ---- the distribution-centre table ----------------------------------------------------------

TEST(AdcTable, NinetySixRowsEachPrefixOnceNineHundredThirtyCovered) {
    const auto& table = AdcTable();
    ASSERT_EQ(table.size(), 96u);
    QSet<QString> seen;
    QSet<QString> names;
    for (const AdcRow& row : table) {
        EXPECT_FALSE(row.name.isEmpty());
        EXPECT_FALSE(names.contains(row.name)) << row.name.toStdString();
        names.insert(row.name);
        const QStringList prefixes = row.prefixes.split(QLatin1Char(' '));
        EXPECT_EQ(prefixes.join(QLatin1Char(' ')), row.prefixes) << "single blanks only";
        for (const QString& p : prefixes) {
            EXPECT_EQ(p.size(), 3) << row.name.toStdString() << ": '" << p.toStdString() << "'";
            bool digits = true;
            for (QChar c : p)
                digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
            EXPECT_TRUE(digits) << p.toStdString();
            EXPECT_FALSE(seen.contains(p)) << "prefix " << p.toStdString() << " in two rows";
            seen.insert(p);
        }
    }
    EXPECT_EQ(seen.size(), 930);
}

TEST(AdcTable, RowsAndLookUp) {
    const auto& table = AdcTable();
    EXPECT_EQ(table.front().name, QStringLiteral("ALBANY NY 120"));
    EXPECT_EQ(table.back().name, QStringLiteral("WILMINGTON DE 197"));
    EXPECT_EQ(table.back().prefixes, QStringLiteral("197 198 199"));
    // Names are printed as they stand, double blanks included.
    EXPECT_EQ(table[25].name, QStringLiteral("FARGO ND  580"));
    EXPECT_EQ(table[36].name, QStringLiteral("LAS VEGAS  NV 890"));
    EXPECT_EQ(table[73].name, QStringLiteral("SAN JUAN PR  006"));
    EXPECT_EQ(table[93].prefixes, QStringLiteral("054 050 053 051 052"));
    const struct {
        const char* prefix;
        int row;
    } cases[] = {{"120", 0},   {"129", 0},  {"865", 1},  {"090", 2},  {"999", 74},
                 {"495", 27},  {"050", 93}, {"000", -1}, {"001", -1}, {"12", -1},
                 {"1234", -1}, {"1 2", -1}, {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(AdcRowOfPrefix(QString::fromLatin1(c.prefix)), c.row) << c.prefix;
}

// ---- keys and grouping -------------------------------------------------------------------------

TEST(Presort, KeyOfAZipField) {
    const struct {
        const char* zip;
        const char* key;
    } cases[] = {
        {"12345", "12345"}, {"12345-6789", "12345"}, {"1234", "1234"},
        {"00012", "00012"}, {"99999", "99999"},      {"", ""},
        {" 1234", ""},      {"ABCDE", ""},           {"K1A 0B1", ""},
        {"-1234", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PresortKey(QString::fromLatin1(c.zip)), QString::fromLatin1(c.key)) << c.zip;
}

TEST(Presort, Grouping) {
    const struct {
        const char* what;
        Tallies tallies;
        QStringList lines;
    } cases[] = {
        {"five-digit group, leftover under its centre",
         Counts({{"12345", 12}, {"12346", 3}}),
         {"** 5-digit 12345", "12345", "** ADC ALBANY NY 120", "12346"}},
        {"three-digit run summing to ten",
         Counts({{"12399", 2}, {"12345", 4}, {"12350", 4}}),
         {"** 3-digit 123", "12345", "12350", "12399"}},
        {"nine pieces are not a group", Counts({{"12345", 9}}), {"** ADC ALBANY NY 120", "12345"}},
        {"prefix of no centre", Counts({{"00012", 1}}), {"** Unknown", "00012"}},
        {"ZIPs of a 5-digit group do not count towards the 3-digit run",
         Counts({{"12345", 10}, {"12346", 5}, {"12347", 4}}),
         {"** 5-digit 12345", "12345", "** ADC ALBANY NY 120", "12346", "12347"}},
        {"a short key groups with its prefix",
         Counts({{"1234", 6}, {"12345", 4}}),
         {"** 3-digit 123", "1234", "12345"}},
        {"only whole prefixes find a centre",
         Counts({{"1 234", 1}, {"12", 1}}),
         {"** Unknown", "1 234", "12"}},
        {"nothing counted", Counts({}), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GroupPresortCounts(c.tallies), c.lines) << c.what;
}

TEST(Presort, GroupOrderAcrossDigitsAndCentres) {
    // 5-digit groups ascending, then 3-digit groups ascending, then centres
    // in table order (ANCHORAGE 995 is row 4, ALBUQUERQUE 870 row 2, ALBANY
    // 120 row 1), Unknown last.
    const Tallies tallies = Counts({{"99501", 1},
                                    {"87001", 2},
                                    {"12001", 1},
                                    {"00012", 3},
                                    {"00501", 1},
                                    {"90210", 11},
                                    {"01001", 10},
                                    {"60601", 6},
                                    {"60602", 4},
                                    {"30301", 7},
                                    {"30399", 3},
                                    {"12002", 2}});
    const QStringList expected{"** 5-digit 01001",
                               "01001",
                               "** 5-digit 90210",
                               "90210",
                               "** 3-digit 303",
                               "30301",
                               "30399",
                               "** 3-digit 606",
                               "60601",
                               "60602",
                               "** ADC ALBANY NY 120",
                               "12001",
                               "12002",
                               "** ADC ALBUQUERQUE NM 870",
                               "87001",
                               "** ADC ANCHORAGE AK 995",
                               "99501",
                               "** ADC LONG ISLAND NY 117",
                               "00501",
                               "** Unknown",
                               "00012"};
    EXPECT_EQ(GroupPresortCounts(tallies), expected);
}

TEST(Presort, FileRoundTripWithCrLf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PRESORT.PSL"));
    const QStringList lines{"** 5-digit 12345", "12345", "** Unknown", "00012"};
    ASSERT_TRUE(WritePresortFile(path, lines));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("** 5-digit 12345\r\n12345\r\n** Unknown\r\n00012\r\n"));
    QStringList back;
    ASSERT_TRUE(ReadPresortFile(path, back));
    EXPECT_EQ(back, lines);
    // An empty presort is an empty file.
    ASSERT_TRUE(WritePresortFile(path, {}));
    ASSERT_TRUE(ReadPresortFile(path, back));
    EXPECT_TRUE(back.isEmpty());
    EXPECT_FALSE(ReadPresortFile(dir.filePath(QStringLiteral("missing.psl")), back));
    QString error;
    EXPECT_FALSE(
        WritePresortFile(dir.filePath(QStringLiteral("no/such/dir/P.PSL")), lines, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(IsPresortHeader(QStringLiteral("** Unknown")));
    EXPECT_FALSE(IsPresortHeader(QStringLiteral("12345")));
}

// ---- over an address file ----------------------------------------------------------------------

namespace {

class PresortFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectory(dir.path());
        TableDataset spare;
        const QString path = dir.filePath(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
    }
    void add(const QString& lname, const QString& zip, const QString& state = QString()) {
        ASSERT_TRUE(table.insert());
        table.setString(QStringLiteral("LNAME"), lname);
        table.setString(QStringLiteral("ZIP"), zip);
        table.setString(QStringLiteral("STATE"), state);
        ASSERT_TRUE(table.post());
    }
    void addMany(const QString& prefix, const QString& zip, int n) {
        for (int i = 1; i <= n; ++i)
            add(prefix + QString::number(i), zip);
    }
    // What a presorted run prints: "[header]" for a separator, else the last
    // name of each record's label.
    QStringList walk(const QStringList& lines, int limit = 1000) {
        EXPECT_TRUE(PreparePresortedTable(table));
        PresortedRun run(table);
        run.SetLines(lines);
        run.GetNextSortedZip();
        QStringList out;
        while (!run.AtEnd() && limit-- > 0) {
            if (run.SeparatorPending()) {
                out << QLatin1Char('[') + run.CurrentLine() + QLatin1Char(']');
                run.SeparatorPrinted();
            } else {
                out << table.asString(QStringLiteral("LNAME"));
                run.RecordPrinted();
            }
        }
        EXPECT_GT(limit, 0) << "the run did not end";
        EXPECT_TRUE(run.AtEnd());
        return out;
    }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
};

} // namespace

TEST_F(PresortFileTest, CountsTheVisibleRecordsAndKeepsThePosition) {
    addMany(QStringLiteral("A"), QStringLiteral("12345"), 6);
    addMany(QStringLiteral("B"), QStringLiteral("12345-6789"), 6);
    addMany(QStringLiteral("C"), QStringLiteral("12346"), 3);
    add(QStringLiteral("Empty"), QString());
    add(QStringLiteral("Blank"), QStringLiteral(" 12345"));
    add(QStringLiteral("Letters"), QStringLiteral("K1A 0B1"));
    add(QStringLiteral("Short"), QStringLiteral("1234"));
    add(QStringLiteral("Elsewhere"), QStringLiteral("99501"), QStringLiteral("AK"));
    ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
    ASSERT_TRUE(table.setFilter(QStringLiteral("STATE <> \"AK\"")));
    ASSERT_TRUE(table.first());
    ASSERT_TRUE(table.next());
    const uint32_t where = table.recno();

    BulkMailSorter sorter(table);
    QStringList statuses;
    sorter.OnStatus = [&](const QString& s) { statuses << s; };
    const QString path = dir.filePath(QStringLiteral("out.psl"));
    ASSERT_TRUE(sorter.Run(path));
    EXPECT_EQ(statuses, (QStringList{"Reading database records...", "Sorting Zip Codes..."}));
    const Tallies tallies = sorter.Tallies();
    ASSERT_EQ(tallies.size(), 3u);
    EXPECT_EQ(tallies[0].first, QStringLiteral("1234"));
    EXPECT_EQ(tallies[0].second.Value, 1);
    EXPECT_EQ(tallies[1].first, QStringLiteral("12345"));
    EXPECT_EQ(tallies[1].second.Value, 12);
    EXPECT_EQ(tallies[2].first, QStringLiteral("12346"));
    EXPECT_EQ(tallies[2].second.Value, 3);
    const QStringList expected{"** 5-digit 12345", "12345", "** ADC ALBANY NY 120", "1234",
                               "12346"};
    EXPECT_EQ(sorter.Lines(), expected);
    QStringList onDisk;
    ASSERT_TRUE(ReadPresortFile(path, onDisk));
    EXPECT_EQ(onDisk, expected);
    // The table is where it was: same order, filter and record.
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.filterText(), QStringLiteral("STATE <> \"AK\""));
    EXPECT_EQ(table.recno(), where);
    EXPECT_FALSE(table.controlsDisabled());
}

TEST_F(PresortFileTest, WindowWritesThePresortFileAndClosesItself) {
    for (int i = 0; i < 250; ++i)
        add(QStringLiteral("N%1").arg(i),
            QStringLiteral("606%1").arg(i % 20, 2, 10, QLatin1Char('0')));
    TSortBulkMail window(table);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Bulk Mail Presorting"));
    EXPECT_EQ(window.Label1->text(), QStringLiteral("Label1"));
    EXPECT_TRUE(window.Label1->font().bold());
    EXPECT_TRUE(window.DoneCheck->isHidden());
    EXPECT_EQ(window.OutputPath, dir.path() + QStringLiteral("/PRESORT.PSL"));
    QStringList statuses;
    window.Sorter().OnStatus = [&](const QString& s) {
        statuses << s;
        window.SetLabel1(s);
    };
    window.show();
    for (int i = 0; i < 100 && window.isVisible(); ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible()) << "the window closes by itself";
    EXPECT_TRUE(window.Done());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(statuses.contains(QStringLiteral("Reading record 100")));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Reading record 200")));
    EXPECT_FALSE(statuses.contains(QStringLiteral("Reading record 150")));
    QStringList lines;
    ASSERT_TRUE(ReadPresortFile(PresortFilePath(), lines));
    ASSERT_EQ(lines.size(), 40);
    EXPECT_EQ(lines.first(), QStringLiteral("** 5-digit 60600"));
    EXPECT_EQ(lines.last(), QStringLiteral("60619"));
}

TEST_F(PresortFileTest, CancelAsksAndWritesNothing) {
    for (int i = 0; i < 30; ++i)
        add(QStringLiteral("N%1").arg(i), QStringLiteral("12345"));
    for (bool yes : {false, true}) {
        QFile::remove(PresortFilePath());
        messages.clear();
        messages.answers.clear();
        messages.answer(yes);
        TSortBulkMail window(table);
        int seen = 0;
        window.Sorter().OnRecord = [&] {
            if (++seen == 5)
                window.CancelButtonClick();
        };
        window.DoTheSort();
        QCoreApplication::processEvents();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, QStringLiteral("Cancel PRESORT?"));
        EXPECT_EQ(window.Done(), !yes);
        EXPECT_EQ(window.result(), yes ? QDialog::Rejected : QDialog::Accepted);
        EXPECT_EQ(QFile::exists(PresortFilePath()), !yes);
        EXPECT_EQ(seen, yes ? 5 : 30);
        EXPECT_FALSE(table.controlsDisabled());
    }
}

TEST_F(PresortFileTest, NoValidZipGivesAnEmptyFile) {
    add(QStringLiteral("Nobody"), QString());
    TSortBulkMail window(table);
    window.DoTheSort();
    EXPECT_TRUE(window.Done());
    QStringList lines{"stale"};
    ASSERT_TRUE(ReadPresortFile(PresortFilePath(), lines));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(walk(lines), QStringList{});
}

TEST_F(PresortFileTest, UnwritableFileIsReportedNotDone) {
    add(QStringLiteral("A"), QStringLiteral("12345"));
    TSortBulkMail window(table);
    window.OutputPath = dir.filePath(QStringLiteral("missing/PRESORT.PSL"));
    window.DoTheSort();
    EXPECT_FALSE(window.Done());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("The presort file")));
}

TEST_F(PresortFileTest, RunPrintsGroupByGroupWithSeparators) {
    add(QStringLiteral("Z1"), QStringLiteral("12346"));
    addMany(QStringLiteral("A"), QStringLiteral("12345"), 11);
    add(QStringLiteral("Plus4"), QStringLiteral("12345-6789"));
    add(QStringLiteral("Z2"), QStringLiteral("12346"));
    add(QStringLiteral("Short"), QStringLiteral("1234"));
    add(QStringLiteral("Unk"), QStringLiteral("00012"));
    add(QStringLiteral("NoZip"), QString());
    add(QStringLiteral("Lower"), QStringLiteral("1a2b3"));
    BulkMailSorter sorter(table);
    ASSERT_TRUE(sorter.Run(PresortFilePath()));
    const QStringList expectedLines{"** 5-digit 12345",
                                    "12345",
                                    "** ADC ALBANY NY 120",
                                    "1234",
                                    "12346",
                                    "** Unknown",
                                    "00012",
                                    "1a2b3"};
    ASSERT_EQ(sorter.Lines(), expectedLines);

    QStringList lines;
    ASSERT_TRUE(ReadPresortFile(PresortFilePath(), lines));
    const QStringList printed = walk(lines);
    QStringList expected{"[** 5-digit 12345]"};
    for (int i = 1; i <= 11; ++i)
        expected << QStringLiteral("A%1").arg(i);
    expected << "Plus4"
             << "[** ADC ALBANY NY 120]"
             << "Short"
             << "Z1"
             << "Z2"
             << "[** Unknown]"
             << "Unk"
             << "Lower";
    EXPECT_EQ(printed.size(), expected.size());
    // Within one ZIP the ZIP order decides: plus-four after the plain ZIPs.
    EXPECT_EQ(printed, expected);
}

TEST_F(PresortFileTest, StaleLinesAreSkippedAndTheRunEndsCleanly) {
    add(QStringLiteral("A"), QStringLiteral("12345"));
    add(QStringLiteral("B"), QStringLiteral("12346"));
    add(QStringLiteral("C"), QStringLiteral("12347"));
    const struct {
        const char* what;
        QStringList lines;
        QStringList printed;
    } cases[] = {
        {"empty list", {}, {}},
        {"ZIP line without a record in the middle",
         {"** 3-digit 123", "12345", "12300", "12347"},
         {"[** 3-digit 123]", "A", "C"}},
        {"last lines match nothing",
         {"** ADC ALBANY NY 120", "12346", "12399", "99999"},
         {"[** ADC ALBANY NY 120]", "B"}},
        {"a group whose ZIPs all vanished gets no separator",
         {"** 5-digit 55555", "55555", "** Unknown", "12345", "** ADC X", "77777"},
         {"[** Unknown]", "A"}},
        {"a header alone at the end", {"12345", "** Unknown"}, {"A"}},
        {"a shorter key is not a longer ZIP", {"** Unknown", "1234"}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(walk(c.lines), c.printed) << c.what;
}

TEST(PresortLabel, SeparatorIsClippedEightPointArial) {
    TReportFiler filer;
    filer.SetStream(std::make_shared<PageFile>());
    filer.OnPrint = [](PrintSurface& s) {
        s.UseBrush(Qt::red, BrushStyle::Solid);
        PrintSeparatorLabel(s, 1.0, 2.0, 2.75, 1.0, QStringLiteral("** 3-digit 123"));
    };
    filer.RunJob();
    ASSERT_EQ(filer.Stream()->PageCount(), 1);
    const RecordedPage page = filer.Stream()->Page(0);
    ASSERT_EQ(page.ops.size(), 1u);
    const PageOp& op = page.ops[0];
    EXPECT_EQ(op.kind, PageOp::ClippedText);
    EXPECT_EQ(op.text, QStringLiteral("** 3-digit 123"));
    EXPECT_EQ(op.font.family, QStringLiteral("Arial"));
    EXPECT_EQ(op.font.points, 8.0);
    EXPECT_FALSE(op.hasFill) << "clear background";
    EXPECT_DOUBLE_EQ(op.x1, 1.15);
    EXPECT_GT(op.y1, 2.0 + 1.0 / 3.0) << "baseline below the top of the text";
    EXPECT_LT(op.y1, 2.0 + 1.0 / 3.0 + 8.0 / 72.0);
    EXPECT_EQ(op.clip, QRectF(1.0, 2.0, 2.75, 1.0));
    EXPECT_TRUE(PresortOrderMessage().startsWith(
        QStringLiteral("Labels will print/preview in the following order:\r\n  1. 5-Digit")));
}

TEST_F(PresortFileTest, RunKeepsToTheRecordsOfTheScope) {
    add(QStringLiteral("Out1"), QStringLiteral("12345"), QStringLiteral("NY"));
    add(QStringLiteral("In1"), QStringLiteral("12345"), QStringLiteral("CA"));
    add(QStringLiteral("Out2"), QStringLiteral("12345"), QStringLiteral("NY"));
    add(QStringLiteral("In2"), QStringLiteral("12345"), QStringLiteral("CA"));
    add(QStringLiteral("Out3"), QStringLiteral("12346"), QStringLiteral("NY"));
    add(QStringLiteral("In3"), QStringLiteral("12347"), QStringLiteral("CA"));
    ASSERT_TRUE(table.setFilter(QStringLiteral("STATE = \"CA\"")));
    BulkMailSorter sorter(table);
    ASSERT_TRUE(sorter.Run(PresortFilePath()));
    const QStringList lines{"** ADC ALBANY NY 120", "12345", "12347"};
    ASSERT_EQ(sorter.Lines(), lines);
    EXPECT_EQ(walk(lines), (QStringList{"[** ADC ALBANY NY 120]", "In1", "In2", "In3"}));
    // A line whose records all fall outside the scope prints nothing.
    EXPECT_EQ(walk({"** Unknown", "12346"}), QStringList{});
}
