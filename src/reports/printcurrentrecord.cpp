#include "reports/printcurrentrecord.h"

#include "addressbook/addressfile.h"
#include "app/modal.h"
#include "labelobjects/properties.h"
#include "printing/previewform.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"
#include "storage/home.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QTextLayout>
#include <QTime>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <cmath>

namespace qb {

namespace {

struct FieldDef {
    RecordPrintField field;
    const char* box;     // caption of the window's box
    const char* printed; // label on paper
    const char* name;    // dataset field
};

// In print order.
const FieldDef kFields[] = {
    {RecordPrintField::Prefix, "Prefix", "Prefix", "PREFIX"},
    {RecordPrintField::Last, "Last", "Last", "LNAME"},
    {RecordPrintField::First, "First", "First", "FNAME"},
    {RecordPrintField::Middle, "Middle", "Middle", "MIDDLE"},
    {RecordPrintField::Title, "Title", "Title", "TITLE"},
    {RecordPrintField::Organization, "Organization", "Organization", "ORG"},
    {RecordPrintField::Address1, "Address 1", "Address 1", "STREET"},
    {RecordPrintField::Address2, "Address 2", "Address 2", "STREET2"},
    {RecordPrintField::City, "City", "City", "CITY"},
    {RecordPrintField::State, "State/Province", "State", "STATE"},
    {RecordPrintField::Zip, "Zip/Postal Code", "Zip/Postal", "ZIP"},
    {RecordPrintField::Country, "Country", "Country", "COUNTRY"},
    {RecordPrintField::Phone1, "Phone 1", "Phone 1", "PHONE"},
    {RecordPrintField::Phone2, "Phone 2", "Phone 2", "PHONE2"},
    {RecordPrintField::Fax, "Fax", "Fax", "FAX"},
    {RecordPrintField::Email, "E-mail", "E-Mail", "EMAIL"},
    {RecordPrintField::Comment1, "Comment 1", "Comment 1", "USER1"},
    {RecordPrintField::Comment2, "Comment 2", "Comment 2", "USER2"},
    {RecordPrintField::Codes, "Codes", "Codes", "CODES"},
    {RecordPrintField::Date, "Date", "Date", "DisplayDate"},
    {RecordPrintField::Memo, "Memo", "Memo", "MEMO"},
};

const QString kFont = QStringLiteral("Times");
constexpr double kFontPoints = 10;
constexpr double kMargin = 1.0;
constexpr double kHeaderTop = 0.5;
constexpr double kLabelWidth = 1.25;
constexpr double kValueWidth = 5.25;
constexpr double kTextMarginHundredths = 2;

// A tab on the surface means "next column"; in a printed value it is a blank.
QString flat(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

QString timeOfDay() {
    // The long time format without a time-zone name.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLocale::system().toString(QTime::currentTime(), format.trimmed());
}

} // namespace

QString RecordPrintBoxCaption(RecordPrintField field) {
    for (const FieldDef& f : kFields)
        if (f.field == field)
            return QString::fromLatin1(f.box);
    return QString();
}

QStringList BreakIntoLines(const QString& text, const QFont& font, int widthPixels) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    normal.replace(QLatin1Char('\t'), QLatin1Char(' '));
    QStringList lines;
    const qreal width = std::max(1, widthPixels);
    for (const QString& paragraph : normal.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << TrimRight(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    if (lines.size() == 1 && Trim(lines.front()).isEmpty())
        lines.clear();
    return lines;
}

// ---- the page layout -----------------------------------------------------------------

SingleRecordReport SingleRecordReport::FromRecord(const TableDataset& table,
                                                  const RecordPrintChoice& choice) {
    SingleRecordReport r;
    for (const FieldDef& f : kFields) {
        if (!choice[size_t(f.field)])
            continue;
        if (f.field == RecordPrintField::Memo) {
            r.PrintMemo = true;
            r.Memo = table.memo(QString::fromLatin1(f.name));
            continue;
        }
        r.Items.emplace_back(QString::fromLatin1(f.printed),
                             TrimRight(table.asString(QString::fromLatin1(f.name))));
    }
    r.TimeOfDay = timeOfDay();
    return r;
}

void SingleRecordReport::PrintHeaderFooter(PrintSurface& s) {
    s.SetMarginTop(kHeaderTop);
    s.ResetArea();
    s.CursorHome();
    s.WriteRightAt(QStringLiteral("Page %1").arg(s.PageNumber()), s.AreaRight());
    s.EndLine();
    s.WriteRightAt(TimeOfDay, s.AreaRight());

    s.SetMarginTop(kMargin);
    s.ResetArea();
    s.MoveTo(s.AreaLeft(), s.AreaTop());
    s.LineTo(s.AreaRight(), s.AreaTop());
    s.MoveTo(s.AreaLeft(), s.AreaBottom());
    s.LineTo(s.AreaRight(), s.AreaBottom());
    s.CursorHome();
    s.EndLine();
}

void SingleRecordReport::PrintItem(PrintSurface& s, const QString& label, const QString& value) {
    s.NextColumn();
    s.SetBold(true);
    s.WriteText(flat(label));
    s.SetBold(false);
    s.NextColumn();
    s.WriteText(flat(value));
    s.EndLine();
}

void SingleRecordReport::PrintTheReport(PrintSurface& s) {
    s.UseFont(kFont, kFontPoints);
    s.SetMarginLeft(kMargin);
    s.SetMarginRight(kMargin);
    s.SetMarginTop(kMargin);
    s.SetMarginBottom(kMargin);
    s.ResetArea();
    s.ClearColumns();
    s.AddColumn(s.AreaLeft(), kLabelWidth, Justify::Left, kTextMarginHundredths, 0, 0);
    s.AddColumn(-1, kValueWidth, Justify::Left, kTextMarginHundredths, 0, 0);
    PrintHeaderFooter(s);
    for (const auto& [label, value] : Items)
        PrintItem(s, label, value);
    s.EndLine();
    if (PrintMemo)
        PrinttheMemo(s);
}

void SingleRecordReport::fullWidthColumn(PrintSurface& s, bool ruled) {
    s.ClearColumns();
    s.AddColumn(s.MarginLeft(), s.AreaRight() - s.MarginLeft(), Justify::Left,
                kTextMarginHundredths, ruled ? BorderBottom : 0, 0);
}

void SingleRecordReport::PrinttheMemo(PrintSurface& s) {
    s.SetItalic(true);
    const int width = int(std::trunc((s.PaperWidth() - 2.0) * kPixelsPerInch));
    const QStringList lines = BreakIntoLines(Memo, MemoFont, width);

    s.PushColumns();
    fullWidthColumn(s, true);
    // An empty line ruled underneath separates the memo from the fields.
    s.NextColumn();
    s.WriteLine(QString());
    fullWidthColumn(s, false);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        s.NextColumn();
        s.WriteLine(flat(lines.at(i)));
        if (s.LinesRemaining() == 0 && i + 1 < lines.size()) {
            s.PopColumns();
            s.SetItalic(false);
            if (s.JobCancelled() || (Stopped && Stopped()))
                return;
            s.NewPage();
            PrintHeaderFooter(s);
            s.PushColumns();
            s.SetItalic(true);
            fullWidthColumn(s, false);
        }
    }
    s.PopColumns();
}

// ---- the job window -----------------------------------------------------------------

TSingleRecordPrint::TSingleRecordPrint(Mode mode, SingleRecordReport& report, QWidget* parent)
    : JobStatusWindow(mode, JobWording::Report(), parent) {
    PrintSurface& s = Surface();
    s.SetTitle(QStringLiteral("Single Record Report"));
    s.OnBeforePrint = &TSingleRecordPrint::BeforePrintReport;
    s.OnPrint = [&report](PrintSurface& surface) { report.PrintTheReport(surface); };
    s.OnNewPage = nullptr;
    s.OnAfterPrint = nullptr;
    report.Stopped = [this] { return StopRequested(); };
}

void TSingleRecordPrint::BeforePrintReport(PrintSurface& s) {
    s.ReadDeviceMetrics();
    s.ResetArea();
    s.StatusFormat = QStringLiteral("Printing Page %p\r%0\r%1");
    s.StatusLines = QStringList{QString(), QString()};
}

// ---- the window -------------------------------------------------------------------------

TPrintCurrentRecord::TPrintCurrentRecord(TableDataset& table, QWidget* parent)
    : QDialog(parent), table_(table), setup_(std::make_unique<TReportPrinter>()) {
    setWindowTitle(QStringLiteral("Print Current Record"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Fields to Print"), this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < RecordPrintFieldCount; ++i) {
        auto* box = new QCheckBox(RecordPrintBoxCaption(RecordPrintField(i)), group);
        box->setChecked(true);
        boxes_[size_t(i)] = box;
        grid->addWidget(box, i % 7, i / 7);
    }
    all_ = new QCheckBox(QStringLiteral("All"), group);
    all_->setChecked(true);
    grid->addWidget(all_, 7, 0);
    connect(all_, &QCheckBox::clicked, this, &TPrintCurrentRecord::AllClick);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    auto add = [&](const QString& caption, void (TPrintCurrentRecord::*slot)()) {
        auto* b = new QPushButton(caption, this);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    add(QStringLiteral("Help"), &TPrintCurrentRecord::HelpClick);
    auto* mouseHelp = new QPushButton(QStringLiteral("?"), this);
    mouseHelp->setToolTip(QStringLiteral("What's this?"));
    connect(mouseHelp, &QPushButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
    buttons->addWidget(mouseHelp);
    add(QStringLiteral("Printer &Setup"), &TPrintCurrentRecord::PrinterSetupClick);
    add(QStringLiteral("Pre&view"), &TPrintCurrentRecord::PreviewClick);
    add(QStringLiteral("&Print"), &TPrintCurrentRecord::PrintClick)->setDefault(true);
    add(QStringLiteral("&Cancel"), &TPrintCurrentRecord::CancelClick);
    layout->addLayout(buttons);
}

RecordPrintChoice TPrintCurrentRecord::Choice() const {
    RecordPrintChoice c{};
    for (size_t i = 0; i < c.size(); ++i)
        c[i] = boxes_[i]->isChecked();
    return c;
}

void TPrintCurrentRecord::AllClick() {
    const bool on = all_->isChecked();
    for (QCheckBox* box : boxes_)
        box->setChecked(on);
}

void TPrintCurrentRecord::runJob(JobStatusWindow::Mode mode) {
    SingleRecordReport report = SingleRecordReport::FromRecord(table_, Choice());
    report.MemoFont = font();
    TSingleRecordPrint job(mode, report, this);
    PrintSurface& s = job.Surface();
    // The paper chosen in "Printer Setup" applies to this job.
    s.SetOrientation(setup_->Orientation());
    if (!setup_->PaperName().isEmpty())
        s.SelectPaperByName(setup_->PaperName());
    s.SelectBinByIndex(setup_->CurrentBinIndex());
    RunModal(job);
    if (!job.Started())
        job.Run();
    if (mode != JobStatusWindow::Mode::Preview || job.JobCancelled())
        return;
    lastPreview_ = job.Pages();
    TPreviewForm preview(this);
    preview.setWindowTitle(QStringLiteral("Preview Report"));
    preview.InitialZoom = 2;
    preview.SetPageFile(job.Pages());
    RunModal(preview);
}

void TPrintCurrentRecord::PrintClick() {
    runJob(JobStatusWindow::Mode::Print);
}

void TPrintCurrentRecord::PreviewClick() {
    runJob(JobStatusWindow::Mode::Preview);
}

void TPrintCurrentRecord::PrinterSetupClick() {
    setup_->AskPrinterSetup(this);
}

void TPrintCurrentRecord::CancelClick() {
    reject();
}

void TPrintCurrentRecord::HelpClick() {
    RequestHelpTopic(HelpTopic::Contents);
}

} // namespace qb
