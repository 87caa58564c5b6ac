// Labels from the command line: the demo label, a PDF checked with the
// poppler tools (page count, address texts), presort, positions and copies,
// the argument rules, a clear message and a failure code for each error, and
// an address file left exactly as it was.
#include "addressbook/addressfile.h"
#include "app/addressfilter.h"
#include "app/cli.h"
#include "app/filterfile.h"
#include "labels/labeldefinition.h"
#include "printing/printers.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

#include <gtest/gtest.h>

using namespace qb;

namespace {

QByteArray Digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString Tool(const QString& name, const QStringList& args) {
    QProcess p;
    p.start(name, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(name, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
    const QString info = Tool(QStringLiteral("pdfinfo"), {pdf});
    for (const QString& line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

} // namespace

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        previousHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        EnsureHomeLayout();
        addressPath = home.filePath(QStringLiteral("DATA/ADD0001.DBF"));
        TableDataset spare;
        ASSERT_TRUE(CreateAddressFile(addressPath, spare));
        AddressFile::Configure(table);
        table.setDirectory(home.filePath(QStringLiteral("DATA")));
        table.setFileName(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(table.open()) << table.errorText().toStdString();
        err = std::tmpfile();
        ASSERT_NE(err, nullptr);
        ASSERT_EQ(AddDemoLabelCommand(DemoLabelDescription(), err), CliOk)
            << Errors().toStdString();
    }
    void TearDown() override {
        if (err)
            std::fclose(err);
        SetPdfOutputFile(QString());
        SetProgramDirectory(previousHome);
    }

    void Add(const QString& lname, const QString& city, const QString& zip) {
        AddressRecord r;
        r.fname = QStringLiteral("Pat");
        r.lname = lname;
        r.street = QStringLiteral("1 Main St");
        r.city = city;
        r.state = QStringLiteral("NY");
        r.zip = zip;
        ASSERT_TRUE(table.insert());
        ASSERT_TRUE(r.write(table));
        ASSERT_TRUE(table.post()) << table.errorText().toStdString();
    }
    void AddMany(int n) {
        for (int i = 1; i <= n; ++i)
            Add(QStringLiteral("Person%1").arg(i, 3, 10, QLatin1Char('0')),
                QStringLiteral("Albany"),
                QStringLiteral("122%1").arg(i % 10, 2, 10, QLatin1Char('0')));
    }
    // The address file as the command finds it: written out and closed.
    void CloseData() { table.close(); }

    QString Errors() {
        std::fflush(err);
        std::rewind(err);
        QByteArray text;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, err)) > 0)
            text.append(buf, static_cast<qsizetype>(n));
        std::fseek(err, 0, SEEK_END);
        return QString::fromLocal8Bit(text);
    }

    PrintLabelsOptions Options(const QString& pdfName = QStringLiteral("out.pdf")) {
        PrintLabelsOptions o;
        o.label = DemoLabelDescription();
        o.pdf = home.filePath(pdfName);
        o.quiet = true;
        return o;
    }

    QTemporaryDir home;
    QString previousHome;
    QString addressPath;
    TableDataset table;
    FILE* err = nullptr;
};

TEST_F(CliTest, DemoLabelsBecomeAPdfWithEveryAddressAndTheFileStaysAsItWas) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        << "poppler-utils is needed for this test";
    AddMany(31);
    CloseData();
    const QByteArray dbf = Digest(addressPath);
    const QByteArray cdx = Digest(home.filePath(QStringLiteral("DATA/ADD0001.CDX")));

    const PrintLabelsOptions o = Options();
    ASSERT_EQ(PrintLabelsCommand(o, err), CliOk) << Errors().toStdString();
    EXPECT_EQ(PdfPages(o.pdf), 2);
    const QString text = Tool(QStringLiteral("pdftotext"), {o.pdf, QStringLiteral("-")});
    for (int i = 1; i <= 31; ++i)
        EXPECT_TRUE(text.contains(QStringLiteral("Pat Person%1").arg(i, 3, 10, QLatin1Char('0'))))
            << i << "\n"
            << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("1 Main St")));
    EXPECT_TRUE(Errors().contains(QStringLiteral("31 labels for 31 records on 2 pages")))
        << Errors().toStdString();

    EXPECT_EQ(Digest(addressPath), dbf);
    EXPECT_EQ(Digest(home.filePath(QStringLiteral("DATA/ADD0001.CDX"))), cdx);
}

TEST_F(CliTest, PositionsAndCopiesShapeThePages) {
    AddMany(3);
    CloseData();
    PrintLabelsOptions o = Options();
    o.positions = QStringLiteral("2,29-30");
    o.copies = 2;
    ASSERT_EQ(PrintLabelsCommand(o, err), CliOk) << Errors().toStdString();
    // 6 labels, 3 per sheet.
    EXPECT_EQ(PdfPages(o.pdf), 2);
    EXPECT_TRUE(Errors().contains(QStringLiteral("6 labels for 3 records on 2 pages")))
        << Errors().toStdString();
}

TEST_F(CliTest, PresortPutsSeparatorsInFrontOfTheGroups) {
    for (int i = 0; i < 12; ++i)
        Add(QStringLiteral("Five%1").arg(i), QStringLiteral("Albany"), QStringLiteral("12210"));
    Add(QStringLiteral("Lone"), QStringLiteral("Nowhere"), QStringLiteral("00012"));
    Add(QStringLiteral("NoZip"), QStringLiteral("Nowhere"), QString());
    CloseData();
    PrintLabelsOptions o = Options();
    o.presort = true;
    ASSERT_EQ(PrintLabelsCommand(o, err), CliOk) << Errors().toStdString();
    const QString text = Tool(QStringLiteral("pdftotext"), {o.pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("** 5-digit 12210")));
    EXPECT_TRUE(text.contains(QStringLiteral("** Unknown")));
    EXPECT_FALSE(text.contains(QStringLiteral("NoZip")));
    EXPECT_TRUE(Errors().contains(QStringLiteral("13 labels for 13 records and 2 separators")))
        << Errors().toStdString();
}

TEST_F(CliTest, SavedFilterAndOrderChooseTheRecords) {
    AddMany(5);
    Add(QStringLiteral("Zed"), QStringLiteral("Boston"), QStringLiteral("02110"));
    CloseData();
    AddressFilter f;
    f.setCriterion(AddressFilter::City, QStringLiteral("Boston"));
    const QString flt = home.filePath(QStringLiteral("BOSTON.FLT"));
    ASSERT_TRUE(SaveFilterTo(flt, f));
    PrintLabelsOptions o = Options();
    o.filterFile = flt;
    o.records = QStringLiteral("filter");
    o.order = QStringLiteral("lname");
    ASSERT_EQ(PrintLabelsCommand(o, err), CliOk) << Errors().toStdString();
    const QString text = Tool(QStringLiteral("pdftotext"), {o.pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Pat Zed")));
    EXPECT_FALSE(text.contains(QStringLiteral("Person001")));
}

TEST_F(CliTest, TaggedRecordsAreThoseWithTheCurrentTagId) {
    AddMany(3);
    ASSERT_TRUE(table.first());
    ASSERT_TRUE(table.edit());
    ASSERT_TRUE(table.setString(QStringLiteral("TAG"), QStringLiteral("K7QX")));
    ASSERT_TRUE(table.post());
    CloseData();
    PrintLabelsOptions o = Options();
    o.records = QStringLiteral("tagged");
    EXPECT_EQ(PrintLabelsCommand(o, err), CliFailed);
    EXPECT_TRUE(Errors().contains(QStringLiteral("no record is tagged")));
    IniFile().writeString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId"),
                          QStringLiteral("K7QX"));
    ASSERT_EQ(PrintLabelsCommand(o, err), CliOk) << Errors().toStdString();
    const QString text = Tool(QStringLiteral("pdftotext"), {o.pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Pat Person001")));
    EXPECT_FALSE(text.contains(QStringLiteral("Person002")));
}

// The program itself: the command word is routed past the window, and the
// exit status tells success, a failed job and a wrong command line apart.
TEST_F(CliTest, ProgramExitStatus) {
    const QString program =
        qEnvironmentVariable("QB_BINARY_DIR") + QStringLiteral("/src/quillbury");
    if (!QFile::exists(program))
        GTEST_SKIP() << "the program is not built in " << program.toStdString();
    AddMany(2);
    CloseData();
    const QString pdf = home.filePath(QStringLiteral("run.pdf"));
    struct Case {
        QStringList args;
        int status;
    } cases[] = {
        {{"print-labels", "--label", "Demo Address Labels", "--pdf", pdf}, 0},
        {{"print-labels", "--label", "Nothing Like It", "--pdf", pdf}, 1},
        {{"print-labels", "--label", "Demo Address Labels"}, 2},
        {{"print-labels", "--help"}, 0},
    };
    for (const Case& c : cases) {
        QProcess p;
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start(program, QStringList{QStringLiteral("--home"), home.path()} + c.args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), c.status)
            << c.args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
    }
    EXPECT_EQ(PdfPages(pdf), 1);
}

TEST_F(CliTest, EveryErrorEndsWithAMessageAndAFailureCode) {
    AddMany(2);
    CloseData();
    const QString nothing = home.filePath(QStringLiteral("NOBODY.FLT"));
    {
        AddressFilter f;
        f.setCriterion(AddressFilter::City, QStringLiteral("Atlantis"));
        ASSERT_TRUE(SaveFilterTo(nothing, f));
    }
    const QString shortFile = home.filePath(QStringLiteral("SHORT.FLT"));
    {
        QFile f(shortFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Smith\r\n");
    }
    struct Case {
        const char* what;
        std::function<void(PrintLabelsOptions&)> change;
        const char* message;
    } cases[] = {
        {"unknown label", [](PrintLabelsOptions& o) { o.label = QStringLiteral("No Such Label"); },
         "there is no label definition \"No Such Label\"; the definitions are: \"Demo Address "
         "Labels\""},
        {"bad filter file",
         [&](PrintLabelsOptions& o) {
             o.records = QStringLiteral("filter");
             o.filterFile = shortFile;
         },
         "cannot be used"},
        {"missing filter file",
         [&](PrintLabelsOptions& o) {
             o.records = QStringLiteral("filter");
             o.filterFile = home.filePath(QStringLiteral("GONE.FLT"));
         },
         "cannot be used"},
        {"no records",
         [&](PrintLabelsOptions& o) {
             o.records = QStringLiteral("filter");
             o.filterFile = nothing;
         },
         "no records to print"},
        {"unknown order", [](PrintLabelsOptions& o) { o.order = QStringLiteral("NOSUCH"); },
         "there is no order 'NOSUCH'"},
        {"bad positions", [](PrintLabelsOptions& o) { o.positions = QStringLiteral("31"); },
         "--positions: positions run from 1 to 30"},
        {"unknown printer",
         [](PrintLabelsOptions& o) {
             o.pdf.clear();
             o.printer = QStringLiteral("Nowhere 9000");
         },
         "there is no printer \"Nowhere 9000\""},
        {"missing address file",
         [&](PrintLabelsOptions& o) { o.file = home.filePath(QStringLiteral("DATA/NONE.DBF")); },
         "does not exist"},
        {"unwritable pdf",
         [&](PrintLabelsOptions& o) {
             o.pdf = home.filePath(QStringLiteral("no/such/dir/out.pdf"));
         },
         "printing failed"},
    };
    for (const Case& c : cases) {
        PrintLabelsOptions o = Options();
        c.change(o);
        const QString before = Errors();
        EXPECT_EQ(PrintLabelsCommand(o, err), CliFailed) << c.what;
        const QString said = Errors().mid(before.size());
        EXPECT_TRUE(said.startsWith(QStringLiteral("quillbury: ")) &&
                    said.contains(QString::fromUtf8(c.message)))
            << c.what << ": " << said.toStdString();
    }

    // The layout file is gone.
    TableDataset labels;
    ASSERT_TRUE(OpenLabelTable(labels));
    const QString layout = LayoutFilePath(LabelDefinition::FromRecord(labels).binary);
    labels.close();
    ASSERT_TRUE(QFile::remove(layout));
    const QString before = Errors();
    EXPECT_EQ(PrintLabelsCommand(Options(), err), CliFailed);
    EXPECT_TRUE(Errors().mid(before.size()).contains(MissingLayoutFileMessage()));
}

TEST(CliArgumentsTest, OptionRules) {
    struct Case {
        QStringList args;
        bool ok;
        const char* error; // part of the message
    } cases[] = {
        {{"--label", "L", "--pdf", "a.pdf"}, true, ""},
        {{"--label=L", "--printer=P", "--copies", "99", "--positions", "1,3-4"}, true, ""},
        {{"--pdf", "a.pdf"}, false, "--label DESCRIPTION is required"},
        {{"--label", "L"}, false, "either --pdf"},
        {{"--label", "L", "--pdf", "a", "--printer", "P"}, false, "either --pdf"},
        {{"--label", "L", "--pdf", "a", "--copies", "0"}, false, "1 to 99"},
        {{"--label", "L", "--pdf", "a", "--copies", "100"}, false, "1 to 99"},
        {{"--label", "L", "--pdf", "a", "--presort", "--copies", "2"}, false, "once"},
        {{"--label", "L", "--pdf", "a", "--records", "some"}, false, "all, filter or tagged"},
        {{"--label", "L", "--pdf", "a", "--records", "filter"}, false, "needs --filter"},
        {{"--label", "L", "--pdf", "a", "--records", "tagged", "--filter", "x.flt"},
         false,
         "only goes with"},
        {{"--label", "L", "--pdf", "a", "--start-record", "x"}, false, "record number"},
        {{"--label", "L", "--pdf", "a", "--bogus"}, false, "unknown option '--bogus'"},
        {{"--label", "L", "--pdf"}, false, "--pdf needs a value"},
        {{"--home", "/x", "--label", "L", "--pdf", "a"}, true, ""},
    };
    for (const Case& c : cases) {
        PrintLabelsOptions o;
        QString error;
        EXPECT_EQ(ParsePrintLabels(c.args, o, &error), c.ok) << c.args.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << error.toStdString();
    }
    PrintLabelsOptions o;
    QString error;
    ASSERT_TRUE(ParsePrintLabels({"--label", "L", "--pdf", "a", "--filter", "x.flt"}, o, &error));
    EXPECT_EQ(o.records, QStringLiteral("filter"));
}

TEST(CliArgumentsTest, CommandWordIsFoundPastTheHomeOption) {
    EXPECT_EQ(CommandOf({"quillbury", "--home", "print-labels"}), QString());
    EXPECT_EQ(CommandOf({"quillbury", "--home", "/h", "print-labels", "--label", "x"}),
              QStringLiteral("print-labels"));
    EXPECT_EQ(CommandOf({"quillbury", "add-demo-label"}), QStringLiteral("add-demo-label"));
    EXPECT_EQ(CommandOf({"quillbury", "--home=/h"}), QString());
    EXPECT_EQ(CommandOf({"quillbury", "frobnicate"}), QString());
}
