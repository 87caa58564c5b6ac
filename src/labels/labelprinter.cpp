#include "labels/labelprinter.h"

#include "labelobjects/panels.h"
#include "labels/labeldefinition.h"
#include "postal/presort.h"
#include "storage/dataset.h"
#include "xbase/table.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace qb {

// ---- sheet ---------------------------------------------------------------------------

LabelSheet LabelSheet::FromRecord(const TableDataset& t) {
    LabelSheet s;
    s.description = t.asString(QStringLiteral("DESCRIPT"));
    s.lblHeight = t.asNumber(QStringLiteral("LBLHEIGHT"));
    s.lblWidth = t.asNumber(QStringLiteral("LBLWIDTH"));
    s.nbrAcross = static_cast<int>(t.asNumber(QStringLiteral("NBRACROSS")));
    s.nbrDown = static_cast<int>(t.asNumber(QStringLiteral("NBRDOWN")));
    s.topMarg = t.asNumber(QStringLiteral("TOPMARG"));
    s.leftMarg = t.asNumber(QStringLiteral("LEFTMARG"));
    s.horizPitch = t.asNumber(QStringLiteral("HORIZPITCH"));
    s.vertPitch = t.asNumber(QStringLiteral("VERTPITCH"));
    s.sheetWidth = t.asNumber(QStringLiteral("SHEETWIDTH"));
    s.sheetDepth = t.asNumber(QStringLiteral("SHEETDEPTH"));
    s.midExtraX = t.asNumber(QStringLiteral("MIDEXTRAX"));
    s.midExtraY = t.asNumber(QStringLiteral("MIDEXTRAY"));
    s.paperSize = t.asString(QStringLiteral("PAPERSIZE")).trimmed().toUpper();
    s.shape = t.asString(QStringLiteral("LBLSHAPE")).trimmed().toUpper();
    s.binary = t.asString(QStringLiteral("BINARY")).trimmed();
    return s;
}

LabelSheet LabelSheet::FromDefinition(const LabelDefinition& d) {
    LabelSheet s;
    s.description = d.descript;
    s.lblHeight = d.lblHeight;
    s.lblWidth = d.lblWidth;
    s.nbrAcross = d.nbrAcross;
    s.nbrDown = d.nbrDown;
    s.topMarg = d.topMarg;
    s.leftMarg = d.leftMarg;
    s.horizPitch = d.horizPitch;
    s.vertPitch = d.vertPitch;
    s.sheetWidth = d.sheetWidth;
    s.sheetDepth = d.sheetDepth;
    s.midExtraX = d.midExtraX;
    s.midExtraY = d.midExtraY;
    s.paperSize = d.paperSize.trimmed().toUpper();
    s.shape = d.lblShape.trimmed().toUpper();
    s.binary = d.binary.trimmed();
    return s;
}

QPointF LabelSheet::Position(int col, int row) const {
    double x = leftMarg + col * horizPitch;
    if (col >= Across() / 2 && midExtraX > 0)
        x += midExtraX;
    double y = topMarg + row * vertPitch;
    if (row >= Down() / 2 && midExtraY > 0)
        y += midExtraY;
    return {x, y};
}

bool LabelSheet::Landscape() const {
    return paperSize == QLatin1String("LTRL") || paperSize == QLatin1String("A4L") ||
           paperSize == QLatin1String("USERL");
}

QSizeF LabelSheet::PrinterPaper() const {
    return Landscape() ? QSizeF(sheetDepth, sheetWidth) : QSizeF(sheetWidth, sheetDepth);
}

int LabelSheet::PaperCode() const {
    if (paperSize == QLatin1String("LTR") || paperSize == QLatin1String("LTRL"))
        return 1;
    if (paperSize == QLatin1String("A4") || paperSize == QLatin1String("A4L"))
        return 9;
    if (paperSize == QLatin1String("A5"))
        return 11;
    return 0;
}

// ---- positions ---------------------------------------------------------------------------

bool PositionMask::On(int index) const {
    return index < 0 || index >= static_cast<int>(off_.size()) || off_[index] == 0;
}

void PositionMask::Set(int index, bool on) {
    if (index < 0)
        return;
    if (index >= static_cast<int>(off_.size())) {
        if (on)
            return;
        off_.resize(index + 1, 0);
    }
    off_[index] = on ? 0 : 1;
}

void PositionMask::SetAll(int count, bool on) {
    for (int i = 0; i < count; ++i)
        Set(i, on);
}

bool PositionMask::AnyOn(int count) const {
    return CountOn(count) > 0;
}

int PositionMask::CountOn(int count) const {
    int n = 0;
    for (int i = 0; i < count; ++i)
        n += On(i) ? 1 : 0;
    return n;
}

bool PositionMask::ParseList(const QString& list, int count, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    std::vector<char> wanted(count, 0);
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"));
    const QStringList parts = list.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const auto m = item.match(part);
        if (!m.hasMatch())
            return fail(QStringLiteral("'%1' is not a position or a range of positions")
                            .arg(part.trimmed()));
        bool ok1 = false, ok2 = true;
        const long long from = m.captured(1).toLongLong(&ok1);
        const long long to = m.captured(2).isEmpty() ? from : m.captured(2).toLongLong(&ok2);
        if (!ok1 || !ok2 || from < 1 || to < 1 || from > count || to > count)
            return fail(QStringLiteral("positions run from 1 to %1 on this stock: '%2' is outside")
                            .arg(count)
                            .arg(part.trimmed()));
        if (to < from)
            return fail(QStringLiteral("the range '%1' runs backwards").arg(part.trimmed()));
        for (long long p = from; p <= to; ++p)
            wanted[p - 1] = 1;
    }
    for (int i = 0; i < count; ++i)
        Set(i, wanted[i] != 0);
    return true;
}

// ---- the loop ---------------------------------------------------------------------------

LabelPrintLoop::LabelPrintLoop(TKBasePanel& panel, TableDataset& data, Settings settings)
    : panel_(panel), data_(data), settings_(std::move(settings)) {
    if (settings_.copies < 1)
        settings_.copies = 1;
    if (settings_.presort)
        settings_.copies = 1;
    AfterRecord = [](const LabelPrintLoop&) { QCoreApplication::processEvents(); };
}

void LabelPrintLoop::Run(PrintSurface& s) {
    const LabelSheet& sheet = settings_.sheet;
    const int across = sheet.Across();
    const int down = sheet.Down();
    labels_ = records_ = separators_ = 0;
    int copy = 0;
    // A mask with no position on would never place a label: nothing to print.
    if (!settings_.mask.AnyOn(sheet.PositionCount()))
        return;
    std::optional<PresortedRun> presort;
    if (settings_.presort) {
        presort.emplace(data_);
        presort->SetLines(settings_.presortLines);
        presort->GetNextSortedZip();
    }
    int col = -1, row = 0;
    while (!data_.eof() && !(presort && presort->AtEnd()) && !(StopRequested && StopRequested()) &&
           !s.JobCancelled()) {
        ++col;
        if (col == across) {
            col = 0;
            ++row;
            if (row == down) {
                row = 0;
                col = 0;
                s.NewPage();
            }
        }
        if (!settings_.mask.On(row * across + col))
            continue;
        const QPointF at = sheet.Position(col, row);
        s.UseBrush(Qt::black, BrushStyle::Clear);
        s.UsePen(Qt::black, PenStyle::Solid, -1, PenMode::pmCopy);
        s.UseFont(QStringLiteral("Arial"), 8);
        if (presort && presort->SeparatorPending()) {
            PrintSeparatorLabel(s, at.x(), at.y(), sheet.horizPitch, sheet.vertPitch,
                                presort->CurrentLine());
            ++separators_;
            presort->SeparatorPrinted();
            continue;
        }
        panel_.RefreshAllData();
        panel_.PrintObjects(s, at.x(), at.y());
        panel_.AdvanceCounters();
        ++labels_;
        if (++copy < settings_.copies)
            continue;
        copy = 0;
        ++records_;
        if (presort)
            presort->RecordPrinted();
        else
            data_.next();
        if (AfterRecord)
            AfterRecord(*this);
    }
}

// ---- scope ------------------------------------------------------------------------------

QString TaggedFilter(const QString& tagId) {
    QString id = tagId.toUpper();
    id.remove(QLatin1Char('"'));
    return QStringLiteral("!ISDEL .AND. UPPER(TAG)=\"") + id + QLatin1Char('"');
}

LabelRunScope::LabelRunScope(TableDataset& data)
    : data_(data), order_(data.order()), filter_(data.filterText()), recno_(data.recno()) {
    if (xbase::Table* t = data_.engine())
        exact_ = t->exact();
}

LabelRunScope::~LabelRunScope() {
    Restore();
}

bool LabelRunScope::Apply(LabelScope scope, bool startFromCurrent, const QString& filter,
                          QString* notice, QString* error) {
    QString expression;
    switch (scope) {
    case LabelScope::AllRecords:
        expression = QStringLiteral("NOT ISDEL");
        break;
    case LabelScope::MatchingFilter:
    case LabelScope::Tagged:
        expression = filter.isEmpty() ? filter_ : filter;
        break;
    case LabelScope::CurrentRecord:
        expression = QStringLiteral("Recno()=") + QString::number(recno_);
        break;
    }
    if (expression != data_.filterText() && !data_.setFilter(expression)) {
        if (error)
            *error = data_.errorText();
        return false;
    }
    if (startFromCurrent && recno_ > 0) {
        // Going to a record by number reaches it even when the filter hides
        // it, so ask whether the scope still shows it.
        const TableDataset::VisibleRun run = data_.visibleRun(recno_, 0, 1);
        if (!run.recnos.empty() && run.recnos.front() == recno_) {
            data_.gotoRecno(recno_);
        } else {
            if (notice)
                *notice = OutOfRangeMessage();
            data_.first();
        }
    } else {
        data_.first();
    }
    return true;
}

bool LabelRunScope::UsePresortOrder(QString* error) {
    if (!PreparePresortedTable(data_)) {
        if (error)
            *error = data_.errorText();
        return false;
    }
    return true;
}

void LabelRunScope::Restore() {
    if (restored_)
        return;
    restored_ = true;
    try {
        if (!data_.isOpen())
            return;
        if (xbase::Table* t = data_.engine())
            t->setExact(exact_);
        if (data_.filterText() != filter_)
            data_.setFilter(filter_);
        if (data_.order() != order_)
            data_.setOrder(order_);
        if (recno_ > 0)
            data_.gotoRecno(recno_);
    } catch (...) {
        // Putting the table back never throws; whatever failed stays as it is.
    }
}

// ---- messages ---------------------------------------------------------------------------

QString OutOfRangeMessage() {
    return QStringLiteral("Current record is out of range. Starting with first record");
}

// ---- paper ------------------------------------------------------------------------------

QString SelectLabelPaper(PrintSurface& s, const LabelSheet& sheet, const QString& printerName) {
    const QSizeF paper = sheet.PrinterPaper();
    const int code = sheet.PaperCode();
    bool unconfirmed = false;
    if (code != 0)
        s.SetCustomPaper(code, paper.width(), paper.height());
    else if (printerName.contains(QLatin1String("HPFDJ"), Qt::CaseInsensitive))
        unconfirmed = true;
    else
        s.SetCustomPaper(0, paper.width(), paper.height());
    s.SetOrientation(sheet.Landscape() ? PrintOrientation::poLandScape
                                       : PrintOrientation::poPortrait);
    if (!unconfirmed) {
        const double w = std::round(s.PaperWidth() * 100.0) / 100.0;
        const double h = std::round(s.PaperHeight() * 100.0) / 100.0;
        if (std::fabs(w - sheet.sheetWidth) <= 0.05 && std::fabs(h - sheet.sheetDepth) <= 0.05)
            return {};
    }
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Unable to confirm that the paper size was set to") + crlf + crlf +
           QString::number(paper.width(), 'f', 2) + QStringLiteral("\" by ") +
           QString::number(paper.height(), 'f', 2) + QStringLiteral("\"") + crlf + crlf +
           QStringLiteral("(you may have the wrong printer selected)") + crlf + crlf +
           QStringLiteral("Would you like to try printing anyways?");
}

// ---- status window ----------------------------------------------------------------------

TLabelPrinter::TLabelPrinter(Mode mode, TKBasePanel& panel, TableDataset& data,
                             LabelPrintLoop::Settings settings, QWidget* parent)
    : JobStatusWindow(mode, JobWording::Label(), parent), loop_(panel, data, std::move(settings)) {
    loop_.StopRequested = [this] { return StopRequested(); };
    const bool print = mode == Mode::Print;
    for (PrintSurface* s :
         {static_cast<PrintSurface*>(&Printer()), static_cast<PrintSurface*>(&Filer())}) {
        s->SetTitle(QStringLiteral("Quillbury"));
        s->OnNewPage = nullptr;
        s->OnAfterPrint = nullptr;
        s->OnBeforePrint = [print](PrintSurface& surface) {
            surface.StatusFormat = print ? QStringLiteral("Printing Page %p\r%0\r%1")
                                         : QStringLiteral("Preparing Preview Page %p\r%0\r%1");
            surface.StatusLines = QStringList{QString(), QString()};
        };
        s->OnPrint = [this](PrintSurface& surface) { loop_.Run(surface); };
    }
}

TLabelPrinter::~TLabelPrinter() = default;

} // namespace qb
