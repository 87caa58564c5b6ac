// The address filter model: conditions built from criteria, the length limit,
// dropping a filter that matches nothing, the status text and saved lines.
#include "app/addressfilter.h"
#include "app/messages.h"

#include <QtTest>

using qb::AddressFilter;

namespace {

// A table stand-in: counts records by the installed expression.
class FakeTarget : public qb::FilterTarget {
public:
    QStringList installed;
    uint32_t matches = 5;     // visible records under any filter but the base one
    uint32_t all = 9;         // visible records under the base filter
    bool refuse = false;

    bool setEngineFilter(const QString& expression, QString* error) override {
        if (refuse && expression != AddressFilter::BaseFilter) {
            *error = QStringLiteral("Syntax error in expression");
            return false;
        }
        installed << expression;
        return true;
    }
    uint32_t visibleCount() override {
        return installed.last() == AddressFilter::BaseFilter ? all : matches;
    }
};

} // namespace

class TestAddressFilter : public QObject {
    Q_OBJECT
private slots:
    void fieldCondition_data();
    void fieldCondition();
    void queryString_data();
    void queryString();
    void taggedOnlyUsesCurrentId();
    void lengthLimit_data();
    void lengthLimit();
    void filterMatchingNothingIsDropped();
    void refusedFilterIsDroppedWithMessage();
    void noFilterInstallsBase();
    void statusText();
    void savedLinesUseFileOrder();
    void restoreNeedsAllLines();
};

void TestAddressFilter::fieldCondition_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("condition");
    QTest::newRow("plain") << "LNAME" << "jones" << R"(UPPER(LNAME)="JONES")";
    QTest::newRow("contains") << "CODES" << "$x" << R"("X"$UPPER(CODES))";
    QTest::newRow("or") << "LNAME" << "jones;lee"
                        << R"(((UPPER(LNAME)="JONES").or.(UPPER(LNAME)="LEE")))";
    QTest::newRow("and") << "CODES" << "a+b"
                         << R"(((UPPER(CODES)="A").and.(UPPER(CODES)="B")))";
    QTest::newRow("contains both") << "CODES" << "$a+$b"
                                   << R"((("A"$UPPER(CODES)).and.("B"$UPPER(CODES))))";
    QTest::newRow("and not") << "CODES" << "a^b"
                             << R"(((UPPER(CODES)="A").and..not.(UPPER(CODES)="B")))";
    QTest::newRow("nested separators")
        << "F" << "a;b+c^d"
        << R"(((UPPER(F)="A").or.(((UPPER(F)="B").and.(((UPPER(F)="C").and..not.(UPPER(F)="D")))))))";
    QTest::newRow("trailing separator gives an empty item")
        << "LNAME" << "jones;" << R"(((UPPER(LNAME)="JONES").or.(UPPER(LNAME)="")))";
    QTest::newRow(">=") << "DATE" << ">=19970101" << R"(UPPER(DATE)>="19970101")";
    QTest::newRow(">") << "ZIP" << ">6" << R"(UPPER(ZIP)>"6")";
    QTest::newRow("<=") << "ZIP" << "<=6" << R"(UPPER(ZIP)<="6")";
    QTest::newRow("<") << "ZIP" << "<6" << R"(UPPER(ZIP)<"6")";
    QTest::newRow("blanks kept") << "LNAME" << " jo " << R"(UPPER(LNAME)=" JO ")";
    QTest::newRow("operator value cut to 99")
        << "USER1" << ">" + QString(120, 'a') << "UPPER(USER1)>\"" + QString(99, 'A') + "\"";
    QTest::newRow("plain value not cut")
        << "USER1" << QString(120, 'a') << "UPPER(USER1)=\"" + QString(120, 'A') + "\"";
    QTest::newRow("double quote in value") << "ORG" << "the \"best\"" << R"(UPPER(ORG)='THE "BEST"')";
    QTest::newRow("both quotes in value") << "ORG" << "o'neil \"x\"" << R"(UPPER(ORG)=[O'NEIL "X"])";
    QTest::newRow("accented upper case") << "LNAME" << "müller" << R"(UPPER(LNAME)="MÜLLER")";
}

void TestAddressFilter::fieldCondition() {
    QFETCH(QString, field);
    QFETCH(QString, criterion);
    QFETCH(QString, condition);
    QCOMPARE(AddressFilter::BuildFieldCondition(field, criterion), condition);
}

void TestAddressFilter::queryString_data() {
    QTest::addColumn<QList<int>>("criteria");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("expression");
    QTest::newRow("none") << QList<int>{} << QStringList{} << QString();
    QTest::newRow("last name and city")
        << QList<int>{AddressFilter::LastName, AddressFilter::City} << QStringList{"jo", "boston"}
        << R"(UPPER(LNAME)="JO" and UPPER(CITY+STATE)="BOSTON")";
    QTest::newRow("only blanks ignored")
        << QList<int>{AddressFilter::LastName, AddressFilter::Zip} << QStringList{"   ", "627"}
        << R"(UPPER(ZIP)="627")";
    QTest::newRow("leading blank kept")
        << QList<int>{AddressFilter::LastName} << QStringList{" jo"} << R"(UPPER(LNAME)=" JO")";
    // Joined in table order, not in the order of the saved file.
    QTest::newRow("table order")
        << QList<int>{AddressFilter::Codes, AddressFilter::Date, AddressFilter::Comment1}
        << QStringList{"c", "1997", "x"}
        << R"(UPPER(USER1)="X" and UPPER(DATE)="1997" and UPPER(CODES)="C")";
}

void TestAddressFilter::queryString() {
    QFETCH(QList<int>, criteria);
    QFETCH(QStringList, texts);
    QFETCH(QString, expression);
    AddressFilter f;
    for (int i = 0; i < criteria.size(); ++i)
        f.setCriterion(AddressFilter::Criterion(criteria[i]), texts[i]);
    f.BuildQueryString();
    QCOMPARE(f.filterExpression(), expression);
    QCOMPARE(f.isSet(), !expression.isEmpty());
}

void TestAddressFilter::taggedOnlyUsesCurrentId() {
    AddressFilter f;
    f.setTagId("V72WSZ1");
    f.setTaggedOnly(true);
    f.BuildQueryString();
    QCOMPARE(f.filterExpression(), QString(R"((UPPER(TAG)="V72WSZ1"))"));
    f.setCriterion(AddressFilter::State, "il");
    f.BuildQueryString();
    QCOMPARE(f.filterExpression(), QString(R"(UPPER(STATE)="IL" and (UPPER(TAG)="V72WSZ1"))"));
    QCOMPARE(f.engineFilter(), QString(R"(UPPER(STATE)="IL" and (UPPER(TAG)="V72WSZ1").and. !ISDEL)"));
}

void TestAddressFilter::lengthLimit_data() {
    QTest::addColumn<int>("expressionLength");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("243 accepted") << 243 << true;
    QTest::newRow("244 refused") << 244 << false;
}

void TestAddressFilter::lengthLimit() {
    QFETCH(int, expressionLength);
    QFETCH(bool, accepted);
    // UPPER(USER1)="..." is 15 characters around the value.
    AddressFilter f;
    f.setCriterion(AddressFilter::Comment1, QString(expressionLength - 15, 'q'));
    f.BuildQueryString();
    QCOMPARE(f.filterExpression().size(), expressionLength);

    qb::MessageScript script;
    FakeTarget target;
    const int n = f.ApplyFilter(target);
    if (accepted) {
        QCOMPARE(n, 5);
        QCOMPARE(target.installed.last().size(), 255);
        QVERIFY(target.installed.last().endsWith("QQQ\".and. !ISDEL"));
        QVERIFY(script.shown.empty());
        QCOMPARE(f.criterion(AddressFilter::Comment1).size(), expressionLength - 15);
    } else {
        QCOMPARE(n, 0);
        QCOMPARE(target.installed, QStringList{"!ISDEL"});
        QCOMPARE(script.texts(), QStringList{"Sorry - filter is too complex.Please simplify it."});
        QVERIFY(f.criterion(AddressFilter::Comment1).isEmpty());
        QVERIFY(!f.isSet());
    }
}

void TestAddressFilter::filterMatchingNothingIsDropped() {
    qb::MessageScript script;
    AddressFilter f;
    f.setCriterion(AddressFilter::LastName, "zz");
    f.setTaggedOnly(true);
    FakeTarget target;
    target.matches = 0;
    QCOMPARE(f.ApplyFilter(target), 0);
    QCOMPARE(target.installed,
             (QStringList{R"(UPPER(LNAME)="ZZ" and (UPPER(TAG)="").and. !ISDEL)", "!ISDEL"}));
    QVERIFY(!f.isSet());
    QVERIFY(!f.taggedOnly());
    QVERIFY(f.criterion(AddressFilter::LastName).isEmpty());
    QVERIFY(script.shown.empty()); // silently
    QCOMPARE(f.statusText(target.visibleCount()), QString("9 records (no filter)"));
}

void TestAddressFilter::refusedFilterIsDroppedWithMessage() {
    qb::MessageScript script;
    AddressFilter f;
    f.setCriterion(AddressFilter::Organization, "a'b\"c]");
    FakeTarget target;
    target.refuse = true;
    QCOMPARE(f.ApplyFilter(target), 0);
    QCOMPARE(target.installed, QStringList{"!ISDEL"});
    QCOMPARE(script.texts(), QStringList{"Syntax error in expression"});
    QVERIFY(!f.isSet());
}

void TestAddressFilter::noFilterInstallsBase() {
    AddressFilter f;
    FakeTarget target;
    QCOMPARE(f.ApplyFilter(target), 0);
    QCOMPARE(target.installed, QStringList{"!ISDEL"});
}

void TestAddressFilter::statusText() {
    AddressFilter f;
    QCOMPARE(f.statusText(12), QString("12 records (no filter)"));
    QCOMPARE(f.statusText(0), QString("No records"));
    f.setCriterion(AddressFilter::Zip, "6");
    f.BuildQueryString();
    QCOMPARE(f.statusText(3), QString("3 filter matches"));
}

void TestAddressFilter::savedLinesUseFileOrder() {
    AddressFilter f;
    f.setCriterion(AddressFilter::Date, ">=1997");
    f.setCriterion(AddressFilter::Codes, "$c");
    f.setCriterion(AddressFilter::Comment1, "one");
    f.setCriterion(AddressFilter::Comment2, "two");
    f.setCriterion(AddressFilter::LastName, "smith");
    const QStringList lines = f.savedLines();
    QCOMPARE(lines.size(), 18);
    QCOMPARE(lines[0], QString("smith"));
    QCOMPARE(lines[14], QString(">=1997"));
    QCOMPARE(lines[15], QString("$c"));
    QCOMPARE(lines[16], QString("one"));
    QCOMPARE(lines[17], QString("two"));

    AddressFilter g;
    g.setTaggedOnly(true);
    QVERIFY(g.restoreLines(lines));
    for (int c = 0; c < AddressFilter::CriterionCount; ++c)
        QCOMPARE(g.criterion(AddressFilter::Criterion(c)), f.criterion(AddressFilter::Criterion(c)));
    QVERIFY(g.taggedOnly()); // the flag is not part of a saved filter
}

void TestAddressFilter::restoreNeedsAllLines() {
    AddressFilter f;
    f.setCriterion(AddressFilter::City, "boston");
    QVERIFY(!f.restoreLines(QStringList(17, "x")));
    QCOMPARE(f.criterion(AddressFilter::City), QString("boston"));
    QCOMPARE(f.criterion(AddressFilter::LastName), QString());
}

QTEST_MAIN(TestAddressFilter)
#include "tst_addressfilter.moc"
