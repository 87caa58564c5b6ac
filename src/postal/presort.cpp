#include "postal/presort.h"

#include "app/messages.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"
#include "storage/settings.h"
#include "xbase/table.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <map>

namespace qb {

namespace {

const QString kZipField = QStringLiteral("ZIP");
const QString kZipTag = QStringLiteral("ZIP");
constexpr int kGroupMinimum = 10;

// Byte-wise comparison of plain ASCII keys (what the ZIP keys are).
bool KeyLess(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseSensitive) < 0;
}

} // namespace

// ---- the presort file ------------------------------------------------------------------------

QString PresortFileName() {
    return QStringLiteral("PRESORT.PSL");
}

QString PresortFilePath() {
    return ProgramDirectory() + PresortFileName();
}

QString FiveDigitHeader(const QString& zip) {
    return QStringLiteral("** 5-digit ") + zip;
}

QString ThreeDigitHeader(const QString& prefix) {
    return QStringLiteral("** 3-digit ") + prefix;
}

QString AdcHeader(const QString& name) {
    return QStringLiteral("** ADC ") + name;
}

QString UnknownHeader() {
    return QStringLiteral("** Unknown");
}

bool IsPresortHeader(const QString& line) {
    return line.contains(QLatin1String("**"));
}

bool WritePresortFile(const QString& path, const QStringList& lines, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += QByteArray::fromStdString(ToDisk(line));
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ReadPresortFile(const QString& path, QStringList& lines) {
    lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray all = file.readAll();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        QByteArray line = all.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines << FromDisk(std::string_view(line.constData(), size_t(line.size())));
        start = end + 1;
    }
    return true;
}

// ---- counting and grouping -------------------------------------------------------------------

QString PresortKey(const QString& zip) {
    const QString z = zip.left(5);
    if (z.isEmpty() || !z.front().isDigit() || z.front().unicode() > '9')
        return {};
    if (KeyLess(z, QStringLiteral("00000")) || KeyLess(QStringLiteral("99999-999"), z))
        return {};
    return z;
}

TallyRecord MakeTallyRecord(int value) {
    return TallyRecord{value};
}

QStringList GroupPresortCounts(const std::vector<std::pair<QString, TallyRecord>>& tallies) {
    using Entry = std::pair<QString, int>;
    // One list per first digit, each sorted ascending.
    std::array<std::vector<Entry>, 10> digitLists;
    for (const auto& [key, tally] : tallies) {
        if (key.isEmpty())
            continue;
        const int d = key.front().unicode() - '0';
        if (d < 0 || d > 9)
            continue;
        digitLists[size_t(d)].emplace_back(key, tally.Value);
    }
    QStringList output, threeDigit, remainder;
    for (auto& list : digitLists) {
        std::sort(list.begin(), list.end(),
                  [](const Entry& a, const Entry& b) { return KeyLess(a.first, b.first); });
        // 5-digit groups: one ZIP with enough pieces of its own.
        std::vector<Entry> rest;
        for (const Entry& e : list) {
            if (e.second >= kGroupMinimum)
                output << FiveDigitHeader(e.first) << e.first;
            else
                rest.push_back(e);
        }
        // 3-digit groups: runs of ZIPs sharing their first three characters.
        size_t i = 0;
        while (i < rest.size()) {
            const QString prefix = rest[i].first.left(3);
            size_t j = i;
            int sum = 0;
            while (j < rest.size() && rest[j].first.left(3) == prefix)
                sum += rest[j++].second;
            if (sum >= kGroupMinimum) {
                threeDigit << ThreeDigitHeader(prefix);
                for (size_t k = i; k < j; ++k)
                    threeDigit << rest[k].first;
            } else {
                for (size_t k = i; k < j; ++k)
                    remainder << rest[k].first;
            }
            i = j;
        }
    }
    // ADC groups in table order. A ZIP belongs to the centre that lists its
    // first three characters as one of its prefixes.
    const auto& table = AdcTable();
    std::vector<QStringList> byRow(table.size());
    QStringList unknown;
    for (const QString& zip : remainder) {
        const int row = AdcRowOfPrefix(zip.left(3));
        if (row < 0)
            unknown << zip;
        else
            byRow[size_t(row)] << zip;
    }
    output << threeDigit;
    for (size_t r = 0; r < table.size(); ++r) {
        if (byRow[r].isEmpty())
            continue;
        output << AdcHeader(table[r].name) << byRow[r];
    }
    if (!unknown.isEmpty())
        output << UnknownHeader() << unknown;
    return output;
}

BulkMailSorter::BulkMailSorter(TableDataset& table) : table_(table) {}

bool BulkMailSorter::Count() {
    cancelled_ = false;
    tallies_.clear();
    std::map<QString, int> counts;
    const auto status = [this](const QString& text) {
        if (OnStatus)
            OnStatus(text);
    };
    if (!table_.isOpen())
        return true;
    DatasetStateGuard guard(table_);
    table_.disableControls();
    table_.setOrder(QString());
    if (xbase::Table* engine = table_.engine())
        engine->setTurboRead(true);
    table_.first();
    status(QStringLiteral("Reading database records..."));
    while (!table_.eof() && table_.hasRecord()) {
        const QString key = PresortKey(table_.asString(kZipField));
        if (!key.isEmpty())
            ++counts[key];
        table_.next();
        if (!table_.eof() && table_.recno() % 100 == 0)
            status(QStringLiteral("Reading record %1").arg(table_.recno()));
        if (OnRecord)
            OnRecord();
        if (cancelled_)
            break;
    }
    // Turbo reading only pays for this one forward pass; leaving it on would
    // change how the table reads for whoever uses it next.
    if (xbase::Table* engine = table_.engine())
        engine->setTurboRead(false);
    table_.enableControls();
    if (cancelled_)
        return false;
    status(QStringLiteral("Sorting Zip Codes..."));
    for (const auto& [key, n] : counts)
        tallies_.emplace_back(key, MakeTallyRecord(n));
    std::sort(tallies_.begin(), tallies_.end(),
              [](const auto& a, const auto& b) { return KeyLess(a.first, b.first); });
    return true;
}

std::vector<std::pair<QString, TallyRecord>> BulkMailSorter::Tallies() const {
    return tallies_;
}

bool BulkMailSorter::Run(const QString& path, QString* error) {
    lines_.clear();
    if (!Count())
        return false;
    QStringList lines = GroupPresortCounts(tallies_);
    if (!WritePresortFile(path, lines, error))
        return false;
    lines_ = std::move(lines);
    return true;
}

// ---- the presort window ----------------------------------------------------------------------

TSortBulkMail::TSortBulkMail(TableDataset& table, QWidget* parent)
    : QDialog(parent), sorter_(table) {
    setWindowTitle(QStringLiteral("Bulk Mail Presorting"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    Label1 = new QLabel(QStringLiteral("Label1"), this);
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    Label1->setFont(f);
    Label1->setMinimumWidth(260);
    Label1->setAlignment(Qt::AlignCenter);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    DoneCheck = new QCheckBox(this);
    DoneCheck->setVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CancelButton);
    row->addStretch();
    layout->addLayout(row);
    connect(CancelButton, &QPushButton::clicked, this, &TSortBulkMail::CancelButtonClick);
    sorter_.OnStatus = [this](const QString& text) { SetLabel1(text); };
    sorter_.OnRecord = [] { QCoreApplication::processEvents(); };
    OutputPath = PresortFilePath();
}

void TSortBulkMail::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_)
        QTimer::singleShot(0, this, &TSortBulkMail::DoTheSort);
}

void TSortBulkMail::SetLabel1(const QString& text) {
    Label1->setText(text);
    QCoreApplication::processEvents();
}

bool TSortBulkMail::Done() const {
    return DoneCheck->isChecked();
}

void TSortBulkMail::CancelButtonClick() {
    if (!running_) {
        if (!started_)
            done(QDialog::Rejected);
        return;
    }
    if (Confirm(QStringLiteral("Cancel PRESORT?"), QStringLiteral("PRESORT")))
        sorter_.Cancel();
}

void TSortBulkMail::reject() {
    CancelButtonClick();
}

void TSortBulkMail::DoTheSort() {
    if (started_)
        return;
    started_ = true;
    running_ = true;
    QString error;
    bool completed = false;
    try {
        completed = sorter_.Run(OutputPath, &error);
        if (!completed && !sorter_.Cancelled())
            Warn(QStringLiteral("The presort file %1 could not be written: %2")
                     .arg(OutputPath, error));
    } catch (const std::exception& e) {
        Warn(QString::fromLocal8Bit(e.what()));
        completed = false;
    }
    running_ = false;
    DoneCheck->setChecked(completed);
    setResult(completed ? QDialog::Accepted : QDialog::Rejected);
    const int code = result();
    QMetaObject::invokeMethod(
        this, [this, code] { QDialog::done(code); }, Qt::QueuedConnection);
}

// ---- the presorted label run ---------------------------------------------------------------

QString PresortOrderMessage() {
    return QStringLiteral("Labels will print/preview in the following order:\r\n"
                          "  1. 5-Digit presort\r\n  2. 3-Digit presort\r\n  3. ADC presort");
}

bool PreparePresortedTable(TableDataset& table) {
    if (!table.setOrder(kZipTag))
        return false;
    if (xbase::Table* engine = table.engine())
        engine->setExact(false);
    return true;
}

PresortedRun::PresortedRun(TableDataset& table) : table_(table) {}

bool PresortedRun::LoadFile(const QString& path) {
    QStringList lines;
    const bool ok = ReadPresortFile(path, lines);
    SetLines(lines);
    return ok;
}

void PresortedRun::SetLines(const QStringList& lines) {
    lines_ = lines;
    current_.clear();
    separator_ = false;
    finished_ = false;
}

QString PresortedRun::currentZipKey() const {
    return table_.asString(kZipField).left(5);
}

bool PresortedRun::seekLine(const QString& line) {
    if (line.isEmpty())
        return false;
    // The ZIP tag holds upper-cased keys; the line itself is compared as stored.
    if (!table_.seek(line.toUpper()))
        return false;
    return !table_.eof() && table_.hasRecord() && currentZipKey() == line;
}

void PresortedRun::finish() {
    lines_.clear();
    separator_ = false;
    finished_ = true;
    if (table_.isOpen() && table_.last())
        table_.next();
}

void PresortedRun::GetNextSortedZip() {
    separator_ = false;
    while (!lines_.isEmpty()) {
        const QString line = lines_.takeFirst();
        if (IsPresortHeader(line)) {
            // A group whose ZIPs all vanished since the presort gets no separator.
            bool any = false;
            while (!lines_.isEmpty() && !IsPresortHeader(lines_.front())) {
                if (seekLine(lines_.front())) {
                    any = true;
                    break;
                }
                lines_.removeFirst();
            }
            if (!any)
                continue;
            current_ = line;
            table_.first();
            separator_ = true;
            return;
        }
        if (seekLine(line)) {
            current_ = line;
            return;
        }
        // No record of this ZIP (any more): skip the line.
    }
    finish();
}

void PresortedRun::SeparatorPrinted() {
    separator_ = false;
    GetNextSortedZip();
}

void PresortedRun::RecordPrinted() {
    if (finished_)
        return;
    table_.next();
    if (table_.eof() || !table_.hasRecord() || currentZipKey() != current_)
        GetNextSortedZip();
}

bool PresortedRun::AtEnd() const {
    return finished_ || !table_.isOpen() || table_.eof();
}

void PrintSeparatorLabel(PrintSurface& surface, double x, double y, double horizPitch,
                         double vertPitch, const QString& text) {
    surface.UseBrush(Qt::black, BrushStyle::Clear);
    surface.UsePen(Qt::black, PenStyle::Solid, -1, PenMode::pmCopy);
    surface.UseFont(QStringLiteral("Arial"), 8);
    surface.WriteClipped(QRectF(QPointF(x, y), QPointF(x + horizPitch, y + vertPitch)), x + 0.15,
                         y + vertPitch / 3.0, text);
}

} // namespace qb
