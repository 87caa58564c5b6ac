// Record-handling rules of the main window that need no window.
#include "app/recordrules.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qb;

using Values = QMap<QString, QString>;

Q_DECLARE_METATYPE(qb::AddingOptions)
Q_DECLARE_METATYPE(qb::NewRecordAnswers)

namespace {
Values toMap(const QList<QPair<QString, QString>>& list) {
    Values m;
    for (const auto& [k, v] : list)
        m[k] = v; // later assignments win, as in the record
    return m;
}
void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}
} // namespace

class TestRecordRules : public QObject {
    Q_OBJECT
private slots:
    void memoSaving_data();
    void memoSaving();
    void memoSearch_data();
    void memoSearch();
    void newRecord_data();
    void newRecord();
    void focus_data();
    void focus();
    void duplicateKeyAndQuestion();
    void mruUpdate_data();
    void mruUpdate();
    void mruFileKeepsHigherKeys();
    void proposedNames();
    void validNames_data();
    void validNames();
};

void TestRecordRules::memoSaving_data() {
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("4 chars") << "abcd" << "abcd ";
    QTest::newRow("5 with break") << "ab\nc" << "ab\r\nc";
    QTest::newRow("6 with break") << "ab\ncd" << "ab\r\ncd";
    QTest::newRow("8 with break") << "abc\ndef" << "abc\r\ndef ";
    QTest::newRow("3 chars") << "abc" << "abc";
    QTest::newRow("trailing empty line, 4") << "ab\n" << "ab\r\n ";
    QTest::newRow("12 chars, two breaks") << "abc\nde\nfgh" << "abc\r\nde\r\nfgh ";
    QTest::newRow("CR LF from a paste") << "ab\r\ncd" << "ab\r\ncd";
}

void TestRecordRules::memoSaving() {
    QFETCH(QString, editor);
    QFETCH(QString, stored);
    QCOMPARE(MemoTextForSaving(editor), stored);
    // Saving a memo as it was loaded stores it unchanged: it never grows.
    QCOMPARE(MemoTextForSaving(MemoTextForEditor(stored)), stored);
}

void TestRecordRules::memoSearch_data() {
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("case ignored") << "Met at the Fair\r\nlikes tea" << "FAIR" << true;
    QTest::newRow("across lines no") << "fair\r\ntea" << "fair tea" << false;
    QTest::newRow("empty memo") << "" << "a" << false;
    QTest::newRow("empty text") << "abc" << "" << false;
    QTest::newRow("past the first 32767") << QString(32762, 'x') + "needle" << "needle" << false;
    QTest::newRow("at the limit") << QString(32761, 'x') + "needle" << "needle" << true;
    QTest::newRow("text cut to 255") << "q" + QString(255, 'z') << QString(255, 'z') + "tail" << true;
}

void TestRecordRules::memoSearch() {
    QFETCH(QString, memo);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(MemoMatches(memo, text), match);
}

void TestRecordRules::newRecord_data() {
    QTest::addColumn<AddingOptions>("options");
    QTest::addColumn<NewRecordAnswers>("answers");
    QTest::addColumn<Values>("expected");

    AddingOptions none;
    QTest::newRow("nothing set") << none << NewRecordAnswers{} << Values{};

    AddingOptions defCountry;
    defCountry.defaultCountry = "USA";
    QTest::newRow("default country") << defCountry << NewRecordAnswers{} << Values{{"COUNTRY", "USA"}};

    AddingOptions carryCountry = defCountry;
    carryCountry.carryCountry = true;
    QTest::newRow("carried country wins") << carryCountry << NewRecordAnswers{}
                                          << Values{{"COUNTRY", "Canada"}};

    AddingOptions carryAll;
    carryAll.carryOrg = carryAll.carrySA1 = carryAll.carrySA2 = carryAll.carryCity =
        carryAll.carryState = carryAll.carryZip = true;
    QTest::newRow("carry all but country")
        << carryAll << NewRecordAnswers{}
        << Values{{"ORG", "Acme"}, {"STREET", "1 Main St"}, {"STREET2", "Suite 2"},
                  {"CITY", "Boston"}, {"STATE", "MA"}, {"ZIP", "02101"}};

    QTest::newRow("looked-up city and state beat carried ones")
        << carryAll << NewRecordAnswers{"Mary", "Jones", "62701", "Springfield", "IL"}
        << Values{{"ORG", "Acme"}, {"STREET", "1 Main St"}, {"STREET2", "Suite 2"},
                  {"CITY", "Springfield"}, {"STATE", "IL"}, {"ZIP", "62701"},
                  {"FNAME", "Mary"}, {"LNAME", "Jones"}};

    QTest::newRow("zip not found: carried city and state")
        << carryAll << NewRecordAnswers{"", "", "99999", "", ""}
        << Values{{"ORG", "Acme"}, {"STREET", "1 Main St"}, {"STREET2", "Suite 2"},
                  {"CITY", "Boston"}, {"STATE", "MA"}, {"ZIP", "99999"}};

    QTest::newRow("zip not found, no carry: empty")
        << none << NewRecordAnswers{"", "", "99999", "", ""} << Values{{"ZIP", "99999"}};

    AddingOptions date;
    date.plugDate = true;
    QTest::newRow("today's date") << date << NewRecordAnswers{} << Values{{"DATE", "20260428"}};
}

void TestRecordRules::newRecord() {
    QFETCH(AddingOptions, options);
    QFETCH(NewRecordAnswers, answers);
    QFETCH(Values, expected);
    const CarryForward carried{"Acme", "1 Main St", "Suite 2", "Boston", "MA", "02101", "Canada"};
    QCOMPARE(toMap(NewRecordValues(options, carried, answers, QDate(2026, 4, 28))), expected);
}

void TestRecordRules::focus_data() {
    QTest::addColumn<QStringList>("skips");
    QTest::addColumn<bool>("lastEmpty");
    QTest::addColumn<bool>("firstEmpty");
    QTest::addColumn<QString>("field");
    QTest::newRow("empty record") << QStringList{} << true << true << "Last";
    QTest::newRow("last given") << QStringList{} << false << true << "First";
    QTest::newRow("names given") << QStringList{} << false << false << "MI";
    QTest::newRow("last skipped") << QStringList{"last"} << true << true << "First";
    QTest::newRow("all four skipped")
        << QStringList{"last", "first", "mi", "prefix", "title", "org"} << true << true
        << "Address 1";
    QTest::newRow("mi and prefix skipped") << QStringList{"mi", "prefix"} << false << false
                                           << "Title";
}

void TestRecordRules::focus() {
    QFETCH(QStringList, skips);
    QFETCH(bool, lastEmpty);
    QFETCH(bool, firstEmpty);
    QFETCH(QString, field);
    AddingOptions o;
    o.skipLastName = skips.contains("last");
    o.skipFirstName = skips.contains("first");
    o.skipMiddleInitial = skips.contains("mi");
    o.skipPrefix = skips.contains("prefix");
    o.skipTitle = skips.contains("title");
    o.skipOrganization = skips.contains("org");
    QCOMPARE(FirstFocusField(o, lastEmpty, firstEmpty), field);
}

void TestRecordRules::duplicateKeyAndQuestion() {
    const QString key = DuplicateNameKey("jones", "mary");
    QCOMPARE(key.size(), 60);
    QCOMPARE(key, QString("JONES").leftJustified(30) + QString("MARY").leftJustified(30));
    QCOMPARE(DuplicateNameKey(QString(35, 'a'), "b"), QString(30, 'A') + QString("B").leftJustified(30));
    QCOMPARE(DuplicateQuestion("Mary", "Jones", "1 Elm St", "Springfield", "IL", "62701"),
             QString("Possible duplicate: \r\n\r\nMary Jones\r\n1 Elm St\r\nSpringfield,IL 62701"
                     "\r\n\r\nContinue adding?"));
}

void TestRecordRules::mruUpdate_data() {
    QTest::addColumn<QStringList>("old");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("first use") << QStringList{} << "/a.DBF" << QStringList{"/a.DBF"};
    QTest::newRow("move to front")
        << QStringList{"/a.DBF", "/b.DBF", "/c.DBF"} << "/c.DBF"
        << QStringList{"/c.DBF", "/a.DBF", "/b.DBF"};
    QTest::newRow("fifth drops oldest")
        << QStringList{"/a.DBF", "/b.DBF", "/c.DBF", "/d.DBF"} << "/e.DBF"
        << QStringList{"/e.DBF", "/a.DBF", "/b.DBF", "/c.DBF"};
    QTest::newRow("case matters")
        << QStringList{"/a.DBF"} << "/A.DBF" << QStringList{"/A.DBF", "/a.DBF"};
}

void TestRecordRules::mruUpdate() {
    QFETCH(QStringList, old);
    QFETCH(QString, path);
    QFETCH(QStringList, expected);
    QCOMPARE(UpdatedMRUList(old, path), expected);
}

void TestRecordRules::mruFileKeepsHigherKeys() {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("QUILLB.ini"));
    PutMRUList({"/1", "/2", "/3"}, ini);
    PutMRUList({"/9"}, ini);
    // Only Item1 is rewritten: Item2 and Item3 stay as they were.
    QCOMPARE(GetMRUList(ini), (QStringList{"/9", "/2", "/3"}));
    ini.writeString("MRU", "Item2", "");
    QCOMPARE(GetMRUList(ini), (QStringList{"/9", "/3"}));
}

void TestRecordRules::proposedNames() {
    QTemporaryDir dir;
    QCOMPARE(ProposeDatabaseName(dir.path()), QString("ADD0001"));
    touch(dir.filePath("add0001.DBF")); // the start-up file, lower case
    touch(dir.filePath("ADD0002.dbf"));
    QCOMPARE(ProposeDatabaseName(dir.path()), QString("ADD0003"));
    touch(dir.filePath("ADD0004.DBF"));
    QCOMPARE(ProposeDatabaseName(dir.path()), QString("ADD0003"));
}

void TestRecordRules::validNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ADD0003") << "ADD0003" << true;
    QTest::newRow("underscore first") << "_list" << true;
    QTest::newRow("eight") << "abcdefgh" << true;
    QTest::newRow("nine") << "abcdefghi" << false;
    QTest::newRow("digit first") << "9LIST" << false;
    QTest::newRow("hyphen") << "MY-LIST" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "MY LIST" << false;
    QTest::newRow("accented") << "MÜLLER" << false;
    QTest::newRow("extension") << "LIST.DBF" << false;
}

void TestRecordRules::validNames() {
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(IsValidDatabaseName(name), valid);
}

QTEST_MAIN(TestRecordRules)
#include "tst_recordrules.moc"
