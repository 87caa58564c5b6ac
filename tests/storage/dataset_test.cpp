// The table dataset over a real engine table: states, the edit buffer,
// navigation ends, order/filter/position, notifications and the code page.
#include "storage/dataset.h"
#include "storage/support/failing_table.h"
#include "xbase/table.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

class DatasetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.path() + QStringLiteral("/PEOPLE.DBF");
        std::vector<xbase::FieldDef> fields;
        auto add = [&](const char* name, char type, int width, int dec = 0) {
            xbase::FieldDef f;
            f.name = name;
            f.type = type;
            f.width = width;
            f.decimals = dec;
            fields.push_back(f);
        };
        add("NAME", 'C', 20);
        add("CITY", 'C', 12);
        add("AMOUNT", 'N', 8, 2);
        add("OK", 'L', 1);
        add("NOTE", 'M', 10);
        xbase::Table::create(path.toStdString(), fields);
        {
            auto t = xbase::Table::open(path.toStdString());
            t->createTag("NAME", "UPPER(NAME)");
            t->createTag("CITY", "UPPER(CITY)");
            t->close();
        }
        ds.setDirectory(dir.path());
        ds.setFileName(QStringLiteral("PEOPLE.DBF"));
    }

    // Appends rows (name, city) through the dataset.
    void fill(std::initializer_list<std::pair<const char*, const char*>> rows) {
        for (const auto& [name, city] : rows) {
            ASSERT_TRUE(ds.insert());
            ds.setString(QStringLiteral("NAME"), QString::fromUtf8(name));
            ds.setString(QStringLiteral("CITY"), QString::fromUtf8(city));
            ASSERT_TRUE(ds.post()) << ds.errorText().toStdString();
        }
    }

    QStringList namesInOrder() {
        QStringList out;
        if (!ds.first())
            return out;
        while (ds.hasRecord()) {
            out << ds.asString(QStringLiteral("NAME"));
            ds.next();
            if (ds.eof())
                break;
        }
        return out;
    }

    QTemporaryDir dir;
    QString path;
    TableDataset ds;
};

} // namespace

TEST_F(DatasetTest, OpenBuildsFieldsAndRefusesMissingFiles) {
    ASSERT_TRUE(ds.open()) << ds.errorText().toStdString();
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    EXPECT_EQ(ds.fieldNames(), QStringList({"NAME", "CITY", "AMOUNT", "OK", "NOTE"}));
    EXPECT_EQ(ds.field(QStringLiteral("amount")).type, 'N');
    EXPECT_EQ(ds.field(QStringLiteral("AMOUNT")).decimals, 2);
    EXPECT_EQ(ds.field(QStringLiteral("CITY")).size, 12);
    EXPECT_THROW(ds.field(QStringLiteral("NOPE")), std::out_of_range);
    ds.close();
    EXPECT_EQ(ds.state(), TableDataset::State::Inactive);
    EXPECT_FALSE(ds.isOpen());

    TableDataset other;
    other.setDirectory(dir.path());
    other.setFileName(QStringLiteral("MISSING.DBF"));
    EXPECT_FALSE(other.open());
    EXPECT_FALSE(other.errorText().isEmpty());
    EXPECT_FALSE(other.isOpen());
}

TEST_F(DatasetTest, EmptyTableHasNoRecordAndBothEnds) {
    ASSERT_TRUE(ds.open());
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.bof());
    EXPECT_TRUE(ds.eof());
    EXPECT_FALSE(ds.hasRecord());
    EXPECT_EQ(ds.recno(), 0u);
    EXPECT_TRUE(ds.next());
    EXPECT_TRUE(ds.prior());
    EXPECT_FALSE(ds.hasRecord());
    EXPECT_FALSE(ds.edit());
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QString());
    EXPECT_FALSE(ds.deleteRecord());
}

TEST_F(DatasetTest, InsertAppendsOnlyWhenPosted) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    const uint32_t adams = ds.recno();

    ASSERT_TRUE(ds.insert());
    EXPECT_EQ(ds.state(), TableDataset::State::Insert);
    EXPECT_EQ(ds.physicalCount(), 1u);
    EXPECT_EQ(ds.recordCount(), 1u);
    EXPECT_EQ(ds.recno(), 0u);
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QString()); // a blank buffer
    ds.setString(QStringLiteral("NAME"), QStringLiteral("Baker"));
    ds.cancel();
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    EXPECT_EQ(ds.physicalCount(), 1u);
    EXPECT_EQ(ds.recno(), adams);
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Adams"));

    ASSERT_TRUE(ds.append());
    ds.setString(QStringLiteral("NAME"), QStringLiteral("Baker"));
    ds.setValue(QStringLiteral("AMOUNT"), 12.5);
    ds.setBool(QStringLiteral("OK"), true);
    ds.setMemo(QStringLiteral("NOTE"), QStringLiteral("line 1\r\nline 2"));
    ASSERT_TRUE(ds.post());
    EXPECT_EQ(ds.physicalCount(), 2u);
    EXPECT_EQ(ds.recno(), 2u);
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Baker"));

    ds.close();
    ASSERT_TRUE(ds.open());
    ASSERT_TRUE(ds.gotoRecno(2));
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Baker"));
    EXPECT_DOUBLE_EQ(ds.asNumber(QStringLiteral("AMOUNT")), 12.5);
    EXPECT_EQ(ds.asString(QStringLiteral("AMOUNT")), QStringLiteral("12.50"));
    EXPECT_TRUE(ds.asBool(QStringLiteral("OK")));
    EXPECT_EQ(ds.asString(QStringLiteral("OK")), QStringLiteral("T"));
    EXPECT_EQ(ds.memo(QStringLiteral("NOTE")), QStringLiteral("line 1\r\nline 2"));
}

TEST_F(DatasetTest, EditBufferReachesTheFileOnlyOnPost) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    // Typing into a field in Browse starts the edit by itself.
    ASSERT_TRUE(ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome")));
    EXPECT_EQ(ds.state(), TableDataset::State::Edit);
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("Rome"));
    // The stored record is untouched while editing.
    EXPECT_EQ(ds.readRecord(1).values.value(QStringLiteral("CITY")).toString(),
              QStringLiteral("Paris"));
    ds.cancel();
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("Paris"));

    ASSERT_TRUE(ds.edit());
    ds.setString(QStringLiteral("CITY"), QStringLiteral("A city name far too long"));
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("A city name ").trimmed());
    ASSERT_TRUE(ds.post());
    ds.close();
    ASSERT_TRUE(ds.open());
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("A city name"));
}

TEST_F(DatasetTest, MovingAwayPostsAPendingEdit) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}, {"Baker", "Oslo"}});
    ASSERT_TRUE(ds.first());
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome"));
    ASSERT_TRUE(ds.next());
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    EXPECT_EQ(ds.readRecord(1).values.value(QStringLiteral("CITY")).toString(),
              QStringLiteral("Rome"));
}

TEST_F(DatasetTest, FailedPostKeepsTheEditAndItsBuffer) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    ds.close();

    auto inner = xbase::Table::open(path.toStdString());
    auto* failing = new qbtest::FailingTable(std::move(inner));
    ASSERT_TRUE(ds.attach(std::unique_ptr<xbase::Table>(failing)));

    ASSERT_TRUE(ds.edit());
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome"));
    ds.setMemo(QStringLiteral("NOTE"), QStringLiteral("new note"));
    failing->failCommit = true;
    EXPECT_FALSE(ds.post());
    EXPECT_NE(ds.errorText().indexOf(QStringLiteral("disk full")), -1);
    EXPECT_EQ(ds.state(), TableDataset::State::Edit);
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("Rome"));
    EXPECT_EQ(ds.memo(QStringLiteral("NOTE")), QStringLiteral("new note"));
    // Moving away needs a post too, and fails the same way without moving.
    EXPECT_FALSE(ds.first());
    EXPECT_EQ(ds.state(), TableDataset::State::Edit);

    failing->failCommit = false;
    ASSERT_TRUE(ds.post()) << ds.errorText().toStdString();
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    ds.close();
    ASSERT_TRUE(ds.open());
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("Rome"));
    EXPECT_EQ(ds.memo(QStringLiteral("NOTE")), QStringLiteral("new note"));
}

TEST_F(DatasetTest, FailedEditPostThenCancelLeavesTheRecordAsItWas) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}, {"Baker", "Oslo"}});
    ds.close();
    auto* failing = new qbtest::FailingTable(xbase::Table::open(path.toStdString()));
    ASSERT_TRUE(ds.attach(std::unique_ptr<xbase::Table>(failing)));
    ASSERT_TRUE(ds.gotoRecno(1));
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome"));
    failing->failCommit = true;
    EXPECT_FALSE(ds.post());
    failing->failCommit = false;
    ds.cancel();
    // The engine's own record buffer must not carry the failed values into
    // the file on the next move.
    ASSERT_TRUE(ds.gotoRecno(2));
    ds.close();
    ASSERT_TRUE(ds.open());
    ASSERT_TRUE(ds.gotoRecno(1));
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("Paris"));
}

TEST_F(DatasetTest, FailedInsertKeepsTheInsertAndLeavesNoVisibleRecord) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    ds.close();
    auto* failing = new qbtest::FailingTable(xbase::Table::open(path.toStdString()));
    ASSERT_TRUE(ds.attach(std::unique_ptr<xbase::Table>(failing)));

    for (int mode = 0; mode < 2; ++mode) {
        SCOPED_TRACE(mode == 0 ? "append fails" : "commit fails");
        ASSERT_TRUE(ds.insert());
        ds.setString(QStringLiteral("NAME"), QStringLiteral("Baker"));
        (mode == 0 ? failing->failAppend : failing->failCommit) = true;
        EXPECT_FALSE(ds.post());
        EXPECT_EQ(ds.state(), TableDataset::State::Insert);
        EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Baker"));
        failing->failAppend = failing->failCommit = false;
        ds.cancel();
        EXPECT_EQ(ds.recordCount(), 1u);
    }
    ASSERT_TRUE(ds.insert());
    ds.setString(QStringLiteral("NAME"), QStringLiteral("Baker"));
    failing->failCommit = true;
    EXPECT_FALSE(ds.post());
    failing->failCommit = false;
    ASSERT_TRUE(ds.post());
    EXPECT_EQ(ds.recordCount(), 2u);
    EXPECT_EQ(namesInOrder(), QStringList({"Adams", "Baker"}));
}

TEST_F(DatasetTest, ReadOnlyTablesRefuseEdits) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    ds.close();
    ds.setReadOnly(true);
    ds.setExclusive(false);
    ASSERT_TRUE(ds.open()) << ds.errorText().toStdString();
    EXPECT_FALSE(ds.edit());
    EXPECT_FALSE(ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome")));
    EXPECT_FALSE(ds.insert());
    EXPECT_EQ(ds.state(), TableDataset::State::Browse);
    EXPECT_FALSE(ds.errorText().isEmpty());
}

TEST_F(DatasetTest, NavigationStopsAtTheEndsOnARecord) {
    ASSERT_TRUE(ds.open());
    fill({{"Carter", "Paris"}, {"adams", "Oslo"}, {"Baker", "Rome"}});
    ASSERT_TRUE(ds.setOrder(QStringLiteral("NAME")));
    EXPECT_EQ(namesInOrder(), QStringList({"adams", "Baker", "Carter"}));

    ASSERT_TRUE(ds.first());
    EXPECT_TRUE(ds.bof());
    EXPECT_FALSE(ds.eof());
    ASSERT_TRUE(ds.prior());
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("adams"));
    ASSERT_TRUE(ds.last());
    EXPECT_TRUE(ds.eof());
    ASSERT_TRUE(ds.next());
    EXPECT_TRUE(ds.eof());
    EXPECT_TRUE(ds.hasRecord());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Carter"));
    ASSERT_TRUE(ds.moveBy(-5));
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("adams"));
    ASSERT_TRUE(ds.moveBy(2));
    EXPECT_FALSE(ds.bof());
    EXPECT_FALSE(ds.eof());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Carter"));
    EXPECT_FALSE(ds.gotoRecno(99));
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Carter"));
    EXPECT_EQ(ds.recordCount(), 3u);
}

TEST_F(DatasetTest, OrderChangeKeepsTheRecordAndFilterLimitsTheView) {
    ASSERT_TRUE(ds.open());
    fill({{"Carter", "Paris"}, {"Adams", "Oslo"}, {"Baker", "Paris"}});
    ASSERT_TRUE(ds.gotoRecno(3));
    ASSERT_TRUE(ds.setOrder(QStringLiteral("NAME")));
    EXPECT_EQ(ds.order(), QStringLiteral("NAME"));
    EXPECT_EQ(ds.recno(), 3u);
    EXPECT_FALSE(ds.setOrder(QStringLiteral("NOSUCHTAG")));
    EXPECT_EQ(ds.order(), QStringLiteral("NAME"));

    ASSERT_TRUE(ds.setFilter(QStringLiteral("CITY = 'Paris'")));
    EXPECT_EQ(ds.filterText(), QStringLiteral("CITY = 'Paris'"));
    EXPECT_EQ(namesInOrder(), QStringList({"Baker", "Carter"}));
    EXPECT_EQ(ds.recordCount(), 2u);
    EXPECT_FALSE(ds.setFilter(QStringLiteral("CITY = ")));
    EXPECT_FALSE(ds.errorText().isEmpty());
    ASSERT_TRUE(ds.setFilter(QString()));
    EXPECT_EQ(ds.recordCount(), 3u);
    ASSERT_TRUE(ds.setOrder(QString()));
    EXPECT_EQ(namesInOrder(), QStringList({"Carter", "Adams", "Baker"}));
}

TEST_F(DatasetTest, SeekFindsPrefixesAndStaysPutWhenNothingMatches) {
    ASSERT_TRUE(ds.open());
    fill({{"Carter", "Paris"}, {"M\u00fcller", "Oslo"}, {"Baker", "Paris"}});
    ASSERT_TRUE(ds.setOrder(QStringLiteral("NAME")));
    ASSERT_TRUE(ds.gotoRecno(3));
    const struct {
        QString key;
        bool found;
        const char* name; // the current record afterwards
    } cases[] = {
        {QStringLiteral("CARTER"), true, "Carter"},
        {QStringLiteral("BAK"), true, "Baker"},            // a prefix matches
        {QStringLiteral("ADAMS"), false, "Baker"},         // stays where it was
        {QStringLiteral("M\u00dcL"), true, "M\u00fcller"}, // keys are upper-cased 1252 text
        {QStringLiteral("ZZZ"), false, "M\u00fcller"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ds.seek(c.key), c.found) << c.key.toStdString();
        EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QString::fromUtf8(c.name))
            << c.key.toStdString();
        EXPECT_TRUE(ds.hasRecord());
    }
    // Soft seek lands on the next key.
    ds.engine()->setSoftSeek(true);
    EXPECT_FALSE(ds.seek(QStringLiteral("BZ")));
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Carter"));
    ds.engine()->setSoftSeek(false);
    // A pending edit is posted before the seek.
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Lima"));
    EXPECT_TRUE(ds.seek(QStringLiteral("BAKER")));
    EXPECT_EQ(ds.readRecord(1).values.value(QStringLiteral("CITY")).toString(),
              QStringLiteral("Lima"));
}

TEST_F(DatasetTest, SavedStateComesBackAndSurvivesALostRecord) {
    ASSERT_TRUE(ds.open());
    fill({{"Carter", "Paris"}, {"Adams", "Oslo"}, {"Baker", "Paris"}});
    ASSERT_TRUE(ds.setOrder(QStringLiteral("NAME")));
    ASSERT_TRUE(ds.setFilter(QStringLiteral("CITY = 'Paris'")));
    ASSERT_TRUE(ds.gotoRecno(1));
    {
        DatasetStateGuard guard(ds);
        ASSERT_TRUE(ds.setOrder(QStringLiteral("CITY")));
        ASSERT_TRUE(ds.setFilter(QString()));
        ASSERT_TRUE(ds.gotoRecno(2));
    }
    EXPECT_EQ(ds.order(), QStringLiteral("NAME"));
    EXPECT_EQ(ds.filterText(), QStringLiteral("CITY = 'Paris'"));
    EXPECT_EQ(ds.recno(), 1u);
    EXPECT_EQ(ds.bookmark(), 1u);

    // The saved record was deleted meanwhile: back to the first visible one.
    const DatasetState saved = ds.save();
    ASSERT_TRUE(ds.deleteRecord());
    ASSERT_TRUE(ds.restore(saved));
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Baker"));

    TableDataset closed;
    EXPECT_FALSE(closed.save().valid);
    EXPECT_FALSE(ds.restore(closed.save()));
}

TEST_F(DatasetTest, DeletingHidesTheRecordUnlessDeletedRecordsAreShown) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}, {"Baker", "Oslo"}, {"Carter", "Rome"}});
    ASSERT_TRUE(ds.gotoRecno(2));
    ASSERT_TRUE(ds.deleteRecord());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Carter"));
    ASSERT_TRUE(ds.deleteRecord()); // the last one: back to the new last
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")), QStringLiteral("Adams"));
    EXPECT_EQ(ds.recordCount(), 1u);

    ds.setShowDeleted(true);
    ASSERT_TRUE(ds.first());
    EXPECT_EQ(ds.recordCount(), 3u);
    ASSERT_TRUE(ds.deleteRecord());
    EXPECT_EQ(ds.recno(), 1u); // stays: the main window sets ISDEL on it next
    EXPECT_TRUE(ds.engine()->deleted());
}

TEST_F(DatasetTest, HandlerEventsAndStateChangesInOrder) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}});
    QStringList events;
    QObject::connect(&ds, &TableDataset::afterEdit, [&] { events << "edit"; });
    QObject::connect(&ds, &TableDataset::afterInsert, [&] { events << "insert"; });
    QObject::connect(&ds, &TableDataset::afterPost, [&] { events << "post"; });
    QObject::connect(&ds, &TableDataset::afterCancel, [&] { events << "cancel"; });
    QObject::connect(&ds, &TableDataset::stateChanged, [&](TableDataset::State s) {
        events << QStringLiteral("state%1").arg(static_cast<int>(s));
    });
    QSignalSpy fieldSpy(&ds, &TableDataset::fieldChanged);

    ds.edit();
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome"));
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Rome")); // no change, no signal
    ds.post();
    ds.insert();
    ds.cancel();
    EXPECT_EQ(events, QStringList({"edit", "state2", "post", "state1", "insert", "state3", "cancel",
                                   "state1"}));
    ASSERT_EQ(fieldSpy.count(), 1);
    EXPECT_EQ(fieldSpy.at(0).at(0).toString(), QStringLiteral("CITY"));
}

TEST_F(DatasetTest, SuspendedControlsGetOneRefreshOnResume) {
    ASSERT_TRUE(ds.open());
    fill({{"Adams", "Paris"}, {"Baker", "Oslo"}, {"Carter", "Rome"}});
    QSignalSpy data(&ds, &TableDataset::dataChanged);
    QSignalSpy scroll(&ds, &TableDataset::afterScroll);
    QSignalSpy states(&ds, &TableDataset::stateChanged);
    QSignalSpy posts(&ds, &TableDataset::afterPost);

    ds.disableControls();
    ds.disableControls();
    ds.first();
    ds.next();
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Lima"));
    ds.post();
    ds.enableControls();
    EXPECT_TRUE(ds.controlsDisabled());
    EXPECT_EQ(data.count(), 0);
    EXPECT_EQ(scroll.count(), 0);
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(posts.count(), 1); // handler events are never held back
    ds.enableControls();
    EXPECT_FALSE(ds.controlsDisabled());
    EXPECT_EQ(data.count(), 1);
    EXPECT_EQ(scroll.count(), 1);
    EXPECT_EQ(states.count(), 0); // Browse before and after

    // Ending a suspension in another state announces it once.
    ds.disableControls();
    ds.edit();
    ds.enableControls();
    ASSERT_EQ(states.count(), 1);
    EXPECT_EQ(states.at(0).at(0).value<TableDataset::State>(), TableDataset::State::Edit);
    ds.cancel();
    ds.enableControls(); // unbalanced: ignored
    EXPECT_FALSE(ds.controlsDisabled());
}

TEST_F(DatasetTest, CalculatedFieldsFollowTheRecordAndTheBuffer) {
    ds.addCalculatedField(QStringLiteral("Label"), 'C', 10, QStringLiteral("Label"));
    ds.addCalculatedField(QStringLiteral("InParis"), 'L', 0, QStringLiteral("In Paris"));
    ds.setFieldOrder({"InParis", "CITY", "Label"});
    ds.defineField(QStringLiteral("NAME"), QStringLiteral("Name"), 15, true);
    ds.defineField(QStringLiteral("NOTE"), QString(), 0, false);
    int calls = 0;
    ds.setCalcHandler([&](TableDataset& t) {
        ++calls;
        t.setCalcValue(QStringLiteral("Label"), t.asString(QStringLiteral("NAME")) +
                                                    QStringLiteral(" of ") +
                                                    t.asString(QStringLiteral("CITY")));
        t.setCalcValue(QStringLiteral("InParis"), t.asString(QStringLiteral("CITY")) == "Paris");
    });
    ASSERT_TRUE(ds.open());
    EXPECT_EQ(ds.fieldNames(),
              QStringList({"InParis", "CITY", "Label", "NAME", "AMOUNT", "OK", "NOTE"}));
    EXPECT_EQ(ds.field(QStringLiteral("NAME")).displayLabel, QStringLiteral("Name"));
    EXPECT_EQ(ds.field(QStringLiteral("NAME")).displayWidth, 15);
    EXPECT_FALSE(ds.field(QStringLiteral("NOTE")).visible);
    EXPECT_EQ(ds.field(QStringLiteral("CITY")).displayLabel, QStringLiteral("CITY"));
    EXPECT_TRUE(ds.field(QStringLiteral("Label")).calculated);

    fill({{"Adams", "Paris"}, {"Baker", "Oslo"}});
    ASSERT_TRUE(ds.first());
    EXPECT_EQ(ds.asString(QStringLiteral("Label")), QStringLiteral("Adams of P")); // cut to 10
    EXPECT_TRUE(ds.asBool(QStringLiteral("InParis")));
    ds.next();
    EXPECT_FALSE(ds.asBool(QStringLiteral("InParis")));
    ds.setString(QStringLiteral("CITY"), QStringLiteral("Paris"));
    EXPECT_TRUE(ds.asBool(QStringLiteral("InParis")));
    EXPECT_FALSE(ds.setValue(QStringLiteral("InParis"), false)); // calculated: not writable
    ds.cancel();
    EXPECT_FALSE(ds.asBool(QStringLiteral("InParis")));

    // Reading another record computes its values without moving or touching the current ones.
    const RecordValues other = ds.readRecord(1);
    EXPECT_EQ(other.values.value(QStringLiteral("LABEL")).toString(), QStringLiteral("Adams of P"));
    EXPECT_TRUE(other.values.value(QStringLiteral("INPARIS")).toBool());
    EXPECT_EQ(ds.recno(), 2u);
    EXPECT_FALSE(ds.asBool(QStringLiteral("InParis")));
    EXPECT_GT(calls, 0);

    // Definitions outlive a close.
    ds.close();
    EXPECT_FALSE(ds.isFieldVisible(QStringLiteral("NOTE")));
    ASSERT_TRUE(ds.open());
    EXPECT_EQ(ds.fieldNames().first(), QStringLiteral("InParis"));
}

TEST_F(DatasetTest, VisibleRecordNumbersFollowOrderAndFilterWithoutMoving) {
    ASSERT_TRUE(ds.open());
    fill({{"Carter", "Paris"}, {"Adams", "Oslo"}, {"Baker", "Paris"}});
    ASSERT_TRUE(ds.setOrder(QStringLiteral("NAME")));
    ASSERT_TRUE(ds.gotoRecno(3));
    EXPECT_EQ(ds.visibleRecnos(), std::vector<uint32_t>({2, 3, 1}));
    EXPECT_EQ(ds.recno(), 3u);
    ASSERT_TRUE(ds.setFilter(QStringLiteral("CITY = 'Paris'")));
    EXPECT_EQ(ds.visibleRecnos(), std::vector<uint32_t>({3, 1}));
}

TEST_F(DatasetTest, UnicodeIsStoredAsWindows1252) {
    ASSERT_TRUE(ds.open());
    ASSERT_TRUE(ds.insert());
    ds.setString(QStringLiteral("NAME"), QStringLiteral("M\u00fcller \u20ac \u0161\u0160"));
    ds.setString(QStringLiteral("CITY"), QStringLiteral("\u4e2d\u6587"));
    ds.setMemo(QStringLiteral("NOTE"), QStringLiteral("K\u00f6nigstra\u00dfe \u201cx\u201d"));
    ASSERT_TRUE(ds.post());
    ds.close();
    ASSERT_TRUE(ds.open());
    EXPECT_EQ(ds.asString(QStringLiteral("NAME")),
              QStringLiteral("M\u00fcller \u20ac \u0161\u0160"));
    EXPECT_EQ(ds.asString(QStringLiteral("CITY")), QStringLiteral("??"));
    EXPECT_EQ(ds.memo(QStringLiteral("NOTE")),
              QStringLiteral("K\u00f6nigstra\u00dfe \u201cx\u201d"));
    xbase::Table* t = ds.engine();
    EXPECT_EQ(t->getString(t->fieldIndex("NAME")), std::string("M\xfcller \x80 \x9a\x8a"));
    EXPECT_EQ(t->getMemo(t->fieldIndex("NOTE")), std::string("K\xf6nigstra\xdf"
                                                             "e \x93x\x94"));
}
