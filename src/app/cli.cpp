#include "app/cli.h"

#include "addressbook/addressfile.h"
#include "app/addressfilter.h"
#include "app/filterfile.h"
#include "app/messages.h"
#include "app/recordrules.h"
#include "labelobjects/barcodes.h"
#include "labelobjects/panels.h"
#include "labelobjects/textlabels.h"
#include "labels/labeldefinition.h"
#include "labels/labelprinter.h"
#include "postal/presort.h"
#include "printing/printers.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "storage/systemtables.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace qb {

namespace {

const QStringList& Commands() {
    static const QStringList list = {QStringLiteral("print-labels"),
                                     QStringLiteral("add-demo-label")};
    return list;
}

void Say(FILE* err, const QString& text) {
    std::fprintf(err, "quillbury: %s\n", qPrintable(text));
    std::fflush(err);
}

int Fail(FILE* err, const QString& text) {
    Say(err, text);
    return CliFailed;
}

// Message boxes have no one to answer them here: their texts are reported.
QString OneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

QString Messages(const MessageScript& script) {
    QStringList out;
    for (const ShownMessage& m : script.shown)
        out << OneLine(m.text);
    return out.join(QStringLiteral("; "));
}

// Opens a table of the program shared and read-only.
bool OpenReadOnly(TableDataset& table, const QString& path, QString* error) {
    const QFileInfo info(path);
    table.setDirectory(info.absolutePath());
    table.setFileName(info.fileName());
    table.setExclusive(false);
    table.setReadOnly(true);
    if (!table.open()) {
        *error = table.errorText();
        return false;
    }
    return true;
}

QString DefaultAddressFile() {
    const QStringList recent = GetMRUList(IniFile());
    for (const QString& path : recent)
        if (QFileInfo::exists(path))
            return path;
    const QString dataDir = ProgramDirectory() + QStringLiteral("DATA/");
    return findFileCaseInsensitive(dataDir, QStringLiteral("add0001.DBF"));
}

bool TakeValue(const QStringList& args, int& i, QString& out, QString* error) {
    const QString& a = args.at(i);
    const int eq = a.indexOf(QLatin1Char('='));
    if (a.startsWith(QLatin1String("--")) && eq > 0) {
        out = a.mid(eq + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        *error = a + QStringLiteral(" needs a value");
        return false;
    }
    out = args.at(++i);
    return true;
}

} // namespace

QString DemoLabelDescription() {
    return QStringLiteral("Demo Address Labels");
}

QString CommandOf(const QStringList& args) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--home")) {
            ++i;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')))
            continue;
        return Commands().contains(a) ? a : QString();
    }
    return {};
}

const char* CommandUsage() {
    return "Commands (run without a window; progress and errors on standard error):\n"
           "\n"
           "  print-labels --label DESCRIPTION (--pdf OUT.pdf | --printer NAME)\n"
           "               [--file ADDRESSFILE.DBF] [--records all|filter|tagged]\n"
           "               [--filter FILE.FLT] [--order TAG] [--presort] [--copies N]\n"
           "               [--positions 1,2,5-30] [--start-record N] [--any-paper] [--quiet]\n"
           "      Prints the labels of a label definition for the records of an\n"
           "      address file (the one used last unless --file is given), exactly\n"
           "      as the Print Labels window does. The address file is only read.\n"
           "      --records    all (default), filter (the saved filter of --filter;\n"
           "                   given alone, --filter implies it) or tagged\n"
           "      --order      an index tag such as LNAME or ZIP (default: record order)\n"
           "      --presort    bulk-mail presort with separator labels (one label each)\n"
           "      --copies     labels per record, 1 to 99\n"
           "      --positions  the positions of each sheet to use, numbered from 1\n"
           "                   along each row, row after row (default: all)\n"
           "      --start-record  start at this record number instead of the first\n"
           "      --any-paper  print even when the printer does not confirm the paper\n"
           "  add-demo-label [--label DESCRIPTION]\n"
           "      Adds a label definition (default \"Demo Address Labels\") on the\n"
           "      30-up letter stock with an address block and a POSTNET bar code.\n"
           "\n"
           "  Exit status: 0 done, 1 the command failed (the message says why),\n"
           "  2 the command line is wrong.\n";
}

bool ParsePrintLabels(const QStringList& args, PrintLabelsOptions& o, QString* error) {
    QString value;
    bool recordsGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const QString name = a.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--home")) {
            if (!a.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        if (name == QLatin1String("--presort")) {
            o.presort = true;
        } else if (name == QLatin1String("--any-paper")) {
            o.anyPaper = true;
        } else if (name == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (name == QLatin1String("--label")) {
            if (!TakeValue(args, i, o.label, error))
                return false;
        } else if (name == QLatin1String("--file")) {
            if (!TakeValue(args, i, o.file, error))
                return false;
        } else if (name == QLatin1String("--records")) {
            if (!TakeValue(args, i, o.records, error))
                return false;
            o.records = o.records.toLower();
            if (o.records != QLatin1String("all") && o.records != QLatin1String("filter") &&
                o.records != QLatin1String("tagged")) {
                *error = QStringLiteral("--records takes all, filter or tagged, not '%1'")
                             .arg(o.records);
                return false;
            }
            recordsGiven = true;
        } else if (name == QLatin1String("--filter")) {
            if (!TakeValue(args, i, o.filterFile, error))
                return false;
        } else if (name == QLatin1String("--order")) {
            if (!TakeValue(args, i, o.order, error))
                return false;
        } else if (name == QLatin1String("--copies")) {
            if (!TakeValue(args, i, value, error))
                return false;
            bool ok = false;
            o.copies = value.toInt(&ok);
            if (!ok || o.copies < 1 || o.copies > 99) {
                *error =
                    QStringLiteral("--copies takes a number from 1 to 99, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--positions")) {
            if (!TakeValue(args, i, o.positions, error))
                return false;
        } else if (name == QLatin1String("--start-record")) {
            if (!TakeValue(args, i, o.startRecord, error))
                return false;
            bool ok = false;
            if (o.startRecord.toUInt(&ok) == 0 || !ok) {
                *error = QStringLiteral("--start-record takes a record number, not '%1'")
                             .arg(o.startRecord);
                return false;
            }
        } else if (name == QLatin1String("--pdf")) {
            if (!TakeValue(args, i, o.pdf, error))
                return false;
        } else if (name == QLatin1String("--printer")) {
            if (!TakeValue(args, i, o.printer, error))
                return false;
        } else {
            *error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        }
    }
    if (o.label.trimmed().isEmpty()) {
        *error = QStringLiteral("--label DESCRIPTION is required");
        return false;
    }
    if (o.pdf.isEmpty() == o.printer.isEmpty()) {
        *error = QStringLiteral("give either --pdf OUT.pdf or --printer NAME");
        return false;
    }
    if (!o.filterFile.isEmpty() && !recordsGiven)
        o.records = QStringLiteral("filter");
    if (o.records == QLatin1String("filter") && o.filterFile.isEmpty()) {
        *error = QStringLiteral("--records filter needs --filter FILE.FLT");
        return false;
    }
    if (!o.filterFile.isEmpty() && o.records != QLatin1String("filter")) {
        *error = QStringLiteral("--filter only goes with --records filter");
        return false;
    }
    if (o.presort && o.copies != 1) {
        *error = QStringLiteral("a presorted run prints each label once: leave out --copies");
        return false;
    }
    return true;
}

int PrintLabelsCommand(const PrintLabelsOptions& o, FILE* err) {
    MessageScript script; // nothing may wait for a click here
    script.defaultAnswer = false;

    // ---- the label definition and its layout ----
    const QString labelPath = findFileCaseInsensitive(SystemDirectory(), LabelTableDef().fileName);
    if (labelPath.isEmpty())
        return Fail(err,
                    QStringLiteral("there are no label definitions in %1 (LABEL.DBF is missing)")
                        .arg(QDir::toNativeSeparators(SystemDirectory())));
    TableDataset labels;
    QString error;
    if (!OpenReadOnly(labels, labelPath, &error))
        return Fail(err, QStringLiteral("cannot read %1: %2").arg(labelPath, error));
    LabelDefinition def;
    bool found = false;
    QStringList known;
    for (labels.first(); !labels.eof(); labels.next()) {
        const LabelDefinition d = LabelDefinition::FromRecord(labels);
        known << QLatin1Char('"') + d.descript + QLatin1Char('"');
        if (!found && d.descript.trimmed().compare(o.label.trimmed(), Qt::CaseInsensitive) == 0) {
            def = d;
            found = true;
        }
    }
    labels.close();
    if (!found)
        return Fail(err,
                    QStringLiteral("there is no label definition \"%1\"; the definitions are: %2")
                        .arg(o.label, known.isEmpty() ? QStringLiteral("(none)")
                                                      : known.join(QStringLiteral(", "))));
    const QString layout = LayoutFilePath(def.binary);
    if (layout.isEmpty() || !QFileInfo::exists(layout))
        return Fail(err, MissingLayoutFileMessage() +
                             QStringLiteral(" (\"%1\" needs %2)")
                                 .arg(def.descript, def.binary.isEmpty()
                                                        ? QStringLiteral("a layout file")
                                                        : def.binary));
    const LabelSheet sheet = LabelSheet::FromDefinition(def);

    // ---- the address file ----
    const QString file =
        o.file.isEmpty() ? DefaultAddressFile() : QFileInfo(o.file).absoluteFilePath();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return Fail(err, file.isEmpty()
                             ? QStringLiteral("there is no address file in %1DATA/ (use --file)")
                                   .arg(ProgramDirectory())
                             : QStringLiteral("the address file %1 does not exist").arg(file));
    TableDataset table;
    AddressFile::Configure(table);
    if (!OpenReadOnly(table, file, &error))
        return Fail(err, QStringLiteral("cannot open the address file %1: %2").arg(file, error));
    AddressFile::SetExtraFields(table, true);

    // ---- the layout on its panel ----
    TKLabelPanel::MakeClassesKnown();
    TKLabelPanel panel;
    panel.resize(LabelPanelSize(def));
    panel.SetShape(def.Shape());
    panel.SetDataset(&table);
    try {
        panel.LoadFromFile(layout);
    } catch (const std::exception& e) {
        return Fail(err, QStringLiteral("the layout file %1 cannot be read: %2")
                             .arg(layout, QString::fromStdString(e.what())));
    }
    panel.SetPrinting(true);

    // ---- the records ----
    LabelScope scope = LabelScope::AllRecords;
    QString filter;
    if (o.records == QLatin1String("filter")) {
        AddressFilter saved;
        if (!RestoreFilterFrom(o.filterFile, saved))
            return Fail(err, QStringLiteral("the filter file %1 cannot be used: %2")
                                 .arg(o.filterFile, Messages(script)));
        saved.BuildQueryString();
        if (!saved.isSet())
            return Fail(err,
                        QStringLiteral("the filter file %1 sets no condition").arg(o.filterFile));
        scope = LabelScope::MatchingFilter;
        filter = saved.engineFilter();
    } else if (o.records == QLatin1String("tagged")) {
        const QString id =
            IniFile().readString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId"));
        if (id.isEmpty())
            return Fail(err, QStringLiteral("no record is tagged"));
        scope = LabelScope::Tagged;
        filter = TaggedFilter(id);
    }
    if (!o.order.isEmpty() && !o.presort && !table.setOrder(o.order.toUpper()))
        return Fail(err, QStringLiteral("there is no order '%1' in the address file").arg(o.order));
    if (!o.startRecord.isEmpty() && !table.gotoRecno(o.startRecord.toUInt()))
        return Fail(err, QStringLiteral("the address file has no record %1").arg(o.startRecord));
    LabelRunScope run(table);
    QString notice;
    if (!run.Apply(scope, !o.startRecord.isEmpty(), filter, &notice, &error))
        return Fail(err, QStringLiteral("the filter cannot be used: %1").arg(error));
    if (!notice.isEmpty())
        Say(err, OneLine(notice));
    if (table.eof())
        return Fail(err, QStringLiteral("no records to print"));

    LabelPrintLoop::Settings settings;
    settings.sheet = sheet;
    settings.copies = o.copies;
    if (!o.positions.isEmpty() &&
        !settings.mask.ParseList(o.positions, sheet.PositionCount(), &error))
        return Fail(err, QStringLiteral("--positions: %1").arg(error));

    if (o.presort) {
        BulkMailSorter sorter(table);
        if (!o.quiet)
            sorter.OnStatus = [err](const QString& s) {
                if (!s.startsWith(QLatin1String("Reading record ")) ||
                    s.endsWith(QLatin1String("0000")))
                    Say(err, s);
            };
        QTemporaryDir scratch;
        const QString path = scratch.filePath(PresortFileName());
        if (!scratch.isValid() || !sorter.Run(path, &error))
            return Fail(err, QStringLiteral("the presort failed: %1").arg(error));
        if (sorter.Lines().isEmpty())
            return Fail(err, QStringLiteral("no record to print has a ZIP code a presort can use"));
        if (!run.UsePresortOrder(&error))
            return Fail(err, QStringLiteral("the presort needs the ZIP order: %1").arg(error));
        settings.presort = true;
        settings.presortLines = sorter.Lines();
    }

    // ---- the printer and its paper ----
    if (!o.pdf.isEmpty()) {
        SelectCurrentPrinter(PdfPrinterName());
        SetPdfOutputFile(QFileInfo(o.pdf).absoluteFilePath());
    } else if (!SelectCurrentPrinter(o.printer)) {
        return Fail(err, QStringLiteral("there is no printer \"%1\"; the printers are: %2")
                             .arg(o.printer, AvailablePrinterNames().join(QStringLiteral(", "))));
    }
    SetPrintCopies(1);
    TReportPrinter surface;
    surface.SetTitle(QStringLiteral("Quillbury"));
    const QString question = SelectLabelPaper(surface, sheet, CurrentPrinterName());
    if (!question.isEmpty()) {
        if (!o.anyPaper)
            return Fail(err, OneLine(question).replace(
                                 QStringLiteral(" Would you like to try printing anyways?"),
                                 QStringLiteral(" Use --any-paper to print anyway.")));
        Say(err, QStringLiteral("the paper size is not confirmed; printing anyway"));
    }

    // ---- the run ----
    LabelPrintLoop loop(panel, table, settings);
    const bool tty = isatty(fileno(err));
    loop.AfterRecord = [&](const LabelPrintLoop& l) {
        if (o.quiet)
            return;
        const int n = l.RecordsPrinted();
        if (n % (tty ? 500 : 10000) == 0) {
            std::fprintf(
                err, tty ? "\rquillbury: %d records, page %d" : "quillbury: %d records, page %d\n",
                n, surface.PageNumber());
            std::fflush(err);
        }
    };
    surface.OnPrint = [&](PrintSurface& s) { loop.Run(s); };
    try {
        surface.RunJob();
    } catch (const std::exception& e) {
        if (tty && !o.quiet)
            std::fputs("\n", err);
        return Fail(err,
                    QStringLiteral("printing failed: %1").arg(QString::fromStdString(e.what())));
    }
    if (tty && !o.quiet && loop.RecordsPrinted() >= 500)
        std::fputs("\n", err);
    if (surface.JobCancelled())
        return Fail(err, QStringLiteral("printing failed: %1").arg(Messages(script)));
    const QString where = o.pdf.isEmpty()
                              ? QStringLiteral("sent to %1").arg(o.printer)
                              : QStringLiteral("written to %1").arg(surface.OutputFile());
    Say(err, QStringLiteral("%1 labels for %2 records%3 on %4 pages %5")
                 .arg(loop.LabelsPrinted())
                 .arg(loop.RecordsPrinted())
                 .arg(loop.SeparatorsPrinted()
                          ? QStringLiteral(" and %1 separators").arg(loop.SeparatorsPrinted())
                          : QString())
                 .arg(surface.PagesOutput())
                 .arg(where));
    return CliOk;
}

int AddDemoLabelCommand(const QString& description, FILE* err) {
    MessageScript script;
    script.defaultAnswer = false;
    TableDataset labels;
    if (!OpenLabelTable(labels))
        return Fail(err,
                    QStringLiteral("cannot open or create LABEL.DBF: %1").arg(Messages(script)));
    for (labels.first(); !labels.eof(); labels.next()) {
        if (labels.asString(QStringLiteral("DESCRIPT"))
                .trimmed()
                .compare(description, Qt::CaseInsensitive) == 0) {
            Say(err, QStringLiteral("the label definition \"%1\" exists already").arg(description));
            return CliOk;
        }
    }
    LabelDefinition def = LabelDefinition::NewLabelDefault();
    def.descript = description.left(LabelDefinition::DescriptionLength);
    def.horizPitch = 2.75; // the stock's own pitches, as the built-in default
    def.vertPitch = 1.0;

    TKLabelPanel::MakeClassesKnown();
    TKLabelPanel panel;
    const QSize size = LabelPanelSize(def);
    panel.resize(size);
    panel.SetShape(def.Shape());
    auto* address = new TKDMultiLineAddressLabel;
    address->Font()->SetName(QStringLiteral("Arial"));
    address->Font()->SetSize(7);
    // Six lines (name, title, company, two streets, city) and the country fit
    // above the bar code.
    panel.AddObject(address, QRect(12, 4, size.width() - 20, 72));
    auto* barcode = new TKPostNetBarCode;
    barcode->SetZipCodeField(QStringLiteral("ZIP"));
    barcode->SetAddressField(QStringLiteral("STREET"));
    // A delivery-point code (62 bars, 2.82") is wider than this 2.625" label;
    // ZIP+4 (at most 52 bars, 2.36") stays inside it.
    barcode->SetBarCodeType(pnbc9Digit);
    panel.AddObject(barcode, QRect(12, 80, size.width() - 40, 14));
    if (!SaveLabelDefinition(labels, def, panel))
        return Fail(
            err,
            QStringLiteral("the label definition could not be stored: %1").arg(Messages(script)));
    Say(err, QStringLiteral("added the label definition \"%1\" (layout %2)")
                 .arg(def.descript, def.binary));
    return CliOk;
}

int RunCommandLine(int& argc, char** argv, const QStringList& args) {
    const QString command = CommandOf(args);
    int at = 1;
    while (at < args.size() && args.at(at) != command)
        ++at;
    const QStringList rest = args.mid(at + 1);
    if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
        std::fputs(CommandUsage(), stdout);
        return CliOk;
    }
    // Printing needs fonts and a paint engine, not a screen.
    bool display = false;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = std::getenv(name);
        display = display || (v && *v);
    }
    if (!display)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbury"));
    SetProgramDirectory(ResolveHomeDirectory(args));
    EnsureHomeLayout();

    if (command == QLatin1String("add-demo-label")) {
        QString description = DemoLabelDescription();
        for (int i = 0; i < rest.size(); ++i) {
            const QString name = rest.at(i).section(QLatin1Char('='), 0, 0);
            QString error;
            if (name == QLatin1String("--label")) {
                if (!TakeValue(rest, i, description, &error)) {
                    Say(stderr, error);
                    return CliUsage;
                }
            } else if (name == QLatin1String("--home")) {
                if (!rest.at(i).contains(QLatin1Char('=')))
                    ++i;
            } else {
                Say(stderr, QStringLiteral("unknown option '%1' (see --help)").arg(rest.at(i)));
                return CliUsage;
            }
        }
        return AddDemoLabelCommand(description, stderr);
    }
    PrintLabelsOptions options;
    QString error;
    if (!ParsePrintLabels(rest, options, &error)) {
        Say(stderr, error + QStringLiteral(" (see quillbury print-labels --help)"));
        return CliUsage;
    }
    return PrintLabelsCommand(options, stderr);
}

} // namespace qb
