#include "printing/printsurface.h"

#include "app/messages.h"
#include "printing/printers.h"
#include "printing/printersetupdialog.h"
#include "printing/tintcolor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cmath>

namespace qb {

namespace {

// Text is measured on a virtual device this fine, so widths in inches do not
// depend on the screen or on the printer's hinting.
constexpr double kMeasureDpi = 1200.0;
constexpr double kEpsilon = 1e-9;

int roundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

QString displayStatus(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QPageSize defaultPdfPaper() {
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
               ? QPageSize(QPageSize::Letter)
               : QPageSize(QPageSize::A4);
}

QList<QPageSize> pdfPapers() {
    static const QPageSize::PageSizeId ids[] = {
        QPageSize::Letter,
        QPageSize::Legal,
        QPageSize::Executive,
        QPageSize::Tabloid,
        QPageSize::Ledger,
        QPageSize::Statement,
        QPageSize::A3,
        QPageSize::A4,
        QPageSize::A5,
        QPageSize::A6,
        QPageSize::B4,
        QPageSize::B5,
        QPageSize::Envelope10,
        QPageSize::Envelope9,
        QPageSize::Envelope11,
        QPageSize::Envelope12,
        QPageSize::Envelope14,
        QPageSize::EnvelopeMonarch,
        QPageSize::EnvelopePersonal,
        QPageSize::EnvelopeDL,
        QPageSize::EnvelopeC5,
        QPageSize::EnvelopeC6,
        QPageSize::EnvelopeC4,
    };
    QList<QPageSize> list;
    for (auto id : ids)
        list << QPageSize(id);
    return list;
}

QList<QPageSize> papersOf(const QString& printer) {
    if (IsPdfPrinter(printer))
        return pdfPapers();
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    QList<QPageSize> list = info.supportedPageSizes();
    return list.isEmpty() ? pdfPapers() : list;
}

// The platform's paper codes the program hands over.
QPageSize::PageSizeId paperFromCode(int code) {
    switch (code) {
    case 1:
    case 2:
        return QPageSize::Letter;
    case 3:
        return QPageSize::Tabloid;
    case 4:
        return QPageSize::Ledger;
    case 5:
        return QPageSize::Legal;
    case 6:
        return QPageSize::Statement;
    case 7:
        return QPageSize::Executive;
    case 8:
        return QPageSize::A3;
    case 9:
    case 10:
        return QPageSize::A4;
    case 11:
        return QPageSize::A5;
    case 12:
        return QPageSize::B4;
    case 13:
        return QPageSize::B5;
    case 14:
        return QPageSize::Folio;
    case 19:
        return QPageSize::Envelope9;
    case 20:
        return QPageSize::Envelope10;
    case 21:
        return QPageSize::Envelope11;
    case 22:
        return QPageSize::Envelope12;
    case 23:
        return QPageSize::Envelope14;
    case 27:
        return QPageSize::EnvelopeDL;
    case 28:
        return QPageSize::EnvelopeC5;
    case 29:
        return QPageSize::EnvelopeC3;
    case 30:
        return QPageSize::EnvelopeC4;
    case 31:
        return QPageSize::EnvelopeC6;
    case 37:
        return QPageSize::EnvelopeMonarch;
    case 38:
        return QPageSize::EnvelopePersonal;
    default:
        return QPageSize::Custom;
    }
}

const std::pair<QPrinter::PaperSource, const char*> kBinNames[] = {
    {QPrinter::Auto, "Automatically Select"}, {QPrinter::OnlyOne, "Only One"},
    {QPrinter::Lower, "Lower Tray"},          {QPrinter::Middle, "Middle Tray"},
    {QPrinter::Upper, "Upper Tray"},          {QPrinter::Manual, "Manual Feed"},
    {QPrinter::Envelope, "Envelope Feed"},    {QPrinter::EnvelopeManual, "Manual Envelope Feed"},
    {QPrinter::Tractor, "Tractor Feed"},      {QPrinter::SmallFormat, "Small Format"},
    {QPrinter::LargeFormat, "Large Format"},  {QPrinter::LargeCapacity, "Large Capacity"},
    {QPrinter::Cassette, "Cassette"},         {QPrinter::FormSource, "Form Source"},
};

QList<QPrinter::PaperSource> sourcesOf(const QString& printer) {
    if (IsPdfPrinter(printer))
        return {QPrinter::Auto};
    // The platform does not enumerate a system printer's trays; these are the
    // feeds the print system understands, and a printer without the chosen
    // one feeds from its default tray.
    return {QPrinter::Auto,           QPrinter::Upper,        QPrinter::Lower,
            QPrinter::Middle,         QPrinter::Manual,       QPrinter::Envelope,
            QPrinter::EnvelopeManual, QPrinter::LargeCapacity};
}

QString binName(QPrinter::PaperSource source) {
    for (const auto& [s, name] : kBinNames)
        if (s == source)
            return QString::fromLatin1(name);
    return QStringLiteral("Bin %1").arg(int(source));
}

QString uniquePdfPath(const QString& title) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    QString base = title.trimmed();
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : base)
        if (bad.contains(c) || c < QLatin1Char(' '))
            c = QLatin1Char('_');
    if (base.isEmpty())
        base = QStringLiteral("Quillbury");
    QString path = QDir(dir).filePath(base + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(dir).filePath(QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    return path;
}

} // namespace

// ---- life cycle --------------------------------------------------------------

PrintSurface::PrintSurface() {
    ReadDeviceMetrics();
    UseFont(QStringLiteral("Arial"), 10);
    ResetArea();
    UsePen(Qt::black, PenStyle::Solid, 1);
}

PrintSurface::~PrintSurface() = default;

// ---- job control -----------------------------------------------------------

void PrintSurface::RunJob() {
    if (running_)
        return;
    if (!DeviceAvailable()) {
        Inform(QStringLiteral("No printers are defined, aborting print job."));
        cancelled_ = true;
        return;
    }
    cancelled_ = false;
    pageNumber_ = 0;
    running_ = true;
    try {
        BeginDocument();
        if (OnBeforePrint)
            OnBeforePrint(*this);
        pageNumber_ = 1;
        startPage();
        if (OnPrint)
            OnPrint(*this);
        if (!cancelled_)
            finishPage();
    } catch (...) {
        // The document is incomplete: it must not reach the printer or the preview.
        running_ = false;
        cancelled_ = true;
        page_.ops.clear();
        EndDocument(true);
        throw;
    }
    running_ = false;
    page_.ops.clear();
    EndDocument(cancelled_);
    if (OnAfterPrint)
        OnAfterPrint(*this);
}

void PrintSurface::startPage() {
    pageInRange_ = pageNumber_ >= firstPage_ && pageNumber_ <= lastPage_;
    page_.number = pageNumber_;
    page_.paperWidth = metrics_.paperWidth;
    page_.paperHeight = metrics_.paperHeight;
    page_.ops.clear();
    RefreshStatus();
    currentColumn_ = -1;
    ResetArea();
    CursorHome();
    if (OnNewPage)
        OnNewPage(*this);
}

void PrintSurface::finishPage() {
    if (pageInRange_)
        OutputPage(page_);
    page_.ops.clear();
}

void PrintSurface::NewPage() {
    if (!running_ || cancelled_)
        return;
    finishPage();
    ++pageNumber_;
    startPage();
}

void PrintSurface::CancelJob() {
    cancelled_ = true;
}

QString PrintSurface::ExpandStatus(const QString& format, int page, int first, int last,
                                   const QStringList& lines) {
    QString out;
    out.reserve(format.size() + 16);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar k = format.at(++i);
        switch (k.toLower().unicode()) {
        case 'p':
            out += QString::number(page);
            break;
        case 'f':
            out += QString::number(first);
            break;
        case 'l':
            out += QString::number(last);
            break;
        case '%':
            out += QLatin1Char('%');
            break;
        default:
            if (k >= QLatin1Char('0') && k <= QLatin1Char('9')) {
                const int n = k.digitValue();
                if (n < lines.size())
                    out += lines.at(n);
            } else {
                out += QStringLiteral("<ERROR-%") + k + QLatin1Char('>');
            }
        }
    }
    return out;
}

QString PrintSurface::StatusText() const {
    return ExpandStatus(StatusFormat, pageNumber_, firstPage_, lastPage_, StatusLines);
}

void PrintSurface::RefreshStatus() {
    if (StatusLabel)
        StatusLabel->setText(displayStatus(StatusText()));
    QCoreApplication::processEvents();
}

int PrintSurface::Copies() const {
    return PrintCopies();
}
void PrintSurface::SetCopies(int copies) {
    SetPrintCopies(copies);
}

void PrintSurface::SetOrientation(PrintOrientation o) {
    orientation_ = o;
    if (!fakeMetrics_)
        ReadDeviceMetrics();
}

bool PrintSurface::AskPrintOptions(QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setMinMax(1, lastPage_);
    if (firstPage_ != 1 || lastPage_ != 9999) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(firstPage_, lastPage_);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        SelectCurrentPrinter(PdfPrinterName());
        SetPdfOutputFile(printer.outputFileName());
    } else {
        SelectCurrentPrinter(printer.printerName());
    }
    SetPrintCopies(printer.copyCount());
    SetPrintCollate(printer.collateCopies());
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        firstPage_ = std::max(1, dialog.fromPage());
        lastPage_ = std::max(firstPage_, dialog.toPage());
    } else {
        firstPage_ = 1;
        lastPage_ = 9999;
    }
    ReadDeviceMetrics();
    return true;
}

bool PrintSurface::AskPrinterSetup(QWidget* parent) {
    TPrinterSetupDialog dialog(*this, parent);
    return dialog.exec() == QDialog::Accepted;
}

// ---- device ----------------------------------------------------------------

void PrintSurface::ConfigurePrinter(QPrinter& printer) const {
    const QString name = CurrentPrinterName();
    if (IsPdfPrinter(name)) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setFullPage(true);
    } else {
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(name);
        printer.setFullPage(false);
    }
    QPageSize size = pageSize_;
    if (!size.isValid() && IsPdfPrinter(name))
        size = defaultPdfPaper();
    if (size.isValid())
        printer.setPageSize(size);
    if (IsPdfPrinter(name))
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    if (orientation_ == PrintOrientation::poPortrait)
        printer.setPageOrientation(QPageLayout::Portrait);
    else if (orientation_ == PrintOrientation::poLandScape)
        printer.setPageOrientation(QPageLayout::Landscape);
    const QList<QPrinter::PaperSource> sources = sourcesOf(name);
    if (binIndex_ > 0 && binIndex_ < sources.size())
        printer.setPaperSource(sources.at(binIndex_));
    printer.setCopyCount(PrintCopies());
    printer.setCollateCopies(PrintCollate());
    printer.setDocName(title_.left(31));
    printer.setCreator(QStringLiteral("Quillbury"));
}

void PrintSurface::ReadDeviceMetrics() {
    fakeMetrics_ = false;
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer);
    const double dpiX = printer.logicalDpiX() > 0 ? printer.logicalDpiX() : 96;
    const double dpiY = printer.logicalDpiY() > 0 ? printer.logicalDpiY() : 96;
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    DeviceMetrics m;
    m.dpiX = dpiX;
    m.dpiY = dpiY;
    if (paper.width() > 0 && paper.height() > 0) {
        m.paperWidth = paper.width() / dpiX;
        m.paperHeight = paper.height() / dpiY;
        if (!printer.fullPage()) {
            m.unprintableLeft = std::max(0.0, (page.left() - paper.left()) / dpiX);
            m.unprintableTop = std::max(0.0, (page.top() - paper.top()) / dpiY);
            m.unprintableRight = std::max(0.0, (paper.right() - page.right()) / dpiX);
            m.unprintableBottom = std::max(0.0, (paper.bottom() - page.bottom()) / dpiY);
        }
    } else {
        // No usable device: screen resolution, the last paper size given.
        m.dpiX = m.dpiY = 96;
        const QSizeF size =
            (pageSize_.isValid() ? pageSize_ : defaultPdfPaper()).size(QPageSize::Inch);
        const bool landscape = orientation_ == PrintOrientation::poLandScape;
        m.paperWidth = landscape ? size.height() : size.width();
        m.paperHeight = landscape ? size.width() : size.height();
    }
    metrics_ = m;
    UsePen(pen_.color, pen_.style, penRequest_);
}

void PrintSurface::SetDeviceMetrics(const DeviceMetrics& metrics) {
    metrics_ = metrics;
    fakeMetrics_ = true;
    UsePen(pen_.color, pen_.style, penRequest_); // the pen's width means the same on this device
}

DeviceMapping PrintSurface::Mapping() const {
    return DeviceMapping{metrics_.dpiX, metrics_.dpiY, metrics_.unprintableLeft,
                         metrics_.unprintableTop};
}

int PrintSurface::DevicePixelX(double inches) const {
    return Mapping().x(inches + originX_);
}
int PrintSurface::DevicePixelY(double inches) const {
    return Mapping().y(inches);
}

// ---- margins, area, cursor ---------------------------------------------------

void PrintSurface::ResetArea() {
    areaLeft_ = marginLeft_;
    areaRight_ = metrics_.paperWidth - marginRight_;
    areaTop_ = marginTop_;
    areaBottom_ = metrics_.paperHeight - marginBottom_;
}

void PrintSurface::MoveCursor(double x, double y) {
    cursorX_ = x;
    cursorY_ = y;
}

void PrintSurface::CursorHome() {
    lineNumber_ = 1;
    cursorX_ = areaLeft_;
    cursorY_ = areaTop_ + LineSpacing() - descent_;
    currentColumn_ = -1;
}

void PrintSurface::EndLine() {
    cursorX_ = areaLeft_;
    ++lineNumber_;
    cursorY_ += LineSpacing();
    currentColumn_ = -1;
}

int PrintSurface::LinesRemaining() const {
    const double bottom = cursorY_ + descent_;
    if (bottom > areaBottom_ + kEpsilon)
        return 0;
    return static_cast<int>(std::floor((areaBottom_ - bottom) / LineSpacing() + kEpsilon)) + 1;
}

// ---- text --------------------------------------------------------------------

void PrintSurface::record(PageOp&& op) {
    if (recording())
        page_.ops.push_back(std::move(op));
}

void PrintSurface::emitText(const QString& text, double x) {
    if (text.isEmpty())
        return;
    PageOp op;
    op.kind = PageOp::Text;
    op.x1 = rx(x);
    op.y1 = cursorY_;
    op.text = text;
    op.font = font_;
    record(std::move(op));
}

void PrintSurface::placeText(const QString& piece) {
    if (piece.isEmpty())
        return;
    const double w = MeasureText(piece);
    double x = cursorX_;
    if (currentColumn_ >= 0 && currentColumn_ < int(columns_.size())) {
        const ColumnStop& c = columns_[size_t(currentColumn_)];
        if (c.justify == Justify::Right)
            x = c.left + c.width - c.margin - w;
        else if (c.justify == Justify::Center)
            x = c.left + (c.width - w) / 2;
    }
    emitText(piece, x);
    cursorX_ = x + w;
}

void PrintSurface::WriteText(const QString& text) {
    const QStringList pieces = text.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            NextColumn();
        placeText(pieces.at(i));
    }
}

void PrintSurface::WriteLine(const QString& text) {
    WriteText(text);
    EndLine();
}

void PrintSurface::WriteLeftAt(const QString& text, double x) {
    emitText(text, x);
    cursorX_ = x + (text.isEmpty() ? 0.0 : MeasureText(text));
}

void PrintSurface::WriteCenteredAt(const QString& text, double x) {
    if (!text.isEmpty())
        emitText(text, x - MeasureText(text) / 2);
}

void PrintSurface::WriteRightAt(const QString& text, double x) {
    if (!text.isEmpty())
        emitText(text, x - MeasureText(text));
}

void PrintSurface::WriteClipped(const QRectF& rect, double x, double y, const QString& text) {
    PageOp op;
    op.kind = PageOp::ClippedText;
    op.x1 = rx(x);
    op.y1 = y + ascent_;
    op.text = text;
    op.font = font_;
    op.clip = rect.normalized().translated(originX_, 0);
    op.hasFill = brush_.style == BrushStyle::Solid;
    op.fill = brush_.color;
    record(std::move(op));
}

double PrintSurface::MeasureText(const QString& text) const {
    const double w = measure_ ? measure_->horizontalAdvance(text) / kMeasureDpi : 0.0;
    return std::max(w, 1.0 / metrics_.dpiX);
}

// ---- fonts -------------------------------------------------------------------

void PrintSurface::fontChanged() {
    QFont f(font_.family);
    f.setPixelSize(std::max(1, roundHalfEven(font_.points / 72.0 * kMeasureDpi)));
    f.setBold(font_.bold);
    f.setItalic(font_.italic);
    f.setUnderline(font_.underline);
    f.setStrikeOut(font_.strikeout);
    measure_ = std::make_unique<QFontMetricsF>(f);
    ascent_ = measure_->ascent() / kMeasureDpi;
    descent_ = measure_->descent() / kMeasureDpi;
}

void PrintSurface::UseFont(const QString& name, double points) {
    if (!name.isEmpty())
        font_.family = name;
    if (points > 0)
        font_.points = points;
    font_.color = Qt::black;
    font_.bold = font_.italic = font_.underline = font_.strikeout = false;
    font_.angle = 0;
    fontChanged();
}

void PrintSurface::SetBold(bool on) {
    font_.bold = on;
    fontChanged();
}
void PrintSurface::SetItalic(bool on) {
    font_.italic = on;
    fontChanged();
}
void PrintSurface::SetUnderline(bool on) {
    font_.underline = on;
}
void PrintSurface::SetStrikeout(bool on) {
    font_.strikeout = on;
}

void PrintSurface::SetTextAngle(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0)
        a += 360.0;
    font_.angle = a;
}

// ---- columns -----------------------------------------------------------------

void PrintSurface::ClearColumns() {
    columns_.clear();
    currentColumn_ = -1;
}

void PrintSurface::AddColumn(double left, double width, Justify justify, double marginHundredths,
                             int borders, int shade) {
    ColumnStop c;
    if (left < 0)
        left = columns_.empty() ? areaLeft_ : columns_.back().left + columns_.back().width;
    c.left = left;
    c.width = width;
    c.justify = justify;
    c.margin = marginHundredths / 100.0;
    c.borders = borders;
    c.shade = shade;
    columns_.push_back(c);
}

void PrintSurface::NextColumn() {
    const int next = currentColumn_ + 1;
    NextColumn(next >= 0 && next < int(columns_.size()) ? columns_[size_t(next)].shade : 0);
}

void PrintSurface::NextColumn(int shade) {
    // Past the last stop nothing is current, and stays so until the line ends.
    if (currentColumn_ >= int(columns_.size()))
        return;
    ++currentColumn_;
    if (currentColumn_ >= int(columns_.size()))
        return;
    const ColumnStop& c = columns_[size_t(currentColumn_)];
    const double bottom = cursorY_ + descent_;
    const double top = bottom - LineSpacing();
    const double left = rx(c.left), right = rx(c.left + c.width);
    if (shade > 0) {
        PageOp op;
        op.kind = PageOp::FillRect;
        op.x1 = left;
        op.y1 = top;
        op.x2 = right;
        op.y2 = bottom;
        op.fill = TintColor(Qt::black, shade);
        record(std::move(op));
    }
    auto edge = [&](double x1, double y1, double x2, double y2) {
        PageOp op;
        op.kind = PageOp::Line;
        op.x1 = x1;
        op.y1 = y1;
        op.x2 = x2;
        op.y2 = y2;
        op.pen = pen_;
        record(std::move(op));
    };
    if (c.borders & BorderLeft)
        edge(left, top, left, bottom);
    if (c.borders & BorderRight)
        edge(right, top, right, bottom);
    if (c.borders & BorderTop)
        edge(left, top, right, top);
    if (c.borders & BorderBottom)
        edge(left, bottom, right, bottom);
    cursorX_ = c.left + c.margin;
}

int PrintSurface::CurrentColumnIndex() const {
    return currentColumn_ >= 0 && currentColumn_ < int(columns_.size()) ? currentColumn_ : -1;
}

double PrintSurface::ColumnTextLeft() const {
    const int i = CurrentColumnIndex();
    return i < 0 ? 0.0 : columns_[size_t(i)].left + columns_[size_t(i)].margin;
}

void PrintSurface::PushColumns() {
    columnStack_.push_back(columns_);
}

void PrintSurface::PopColumns() {
    if (columnStack_.empty())
        return;
    columns_ = std::move(columnStack_.back());
    columnStack_.pop_back();
    currentColumn_ = -1;
}

// ---- drawing -------------------------------------------------------------------

void PrintSurface::UsePen(const QColor& color, PenStyle style, int width, PenMode) {
    pen_.color = color;
    pen_.style = style;
    penRequest_ = width;
    if (width < 0)
        penPixels_ = std::max(1, roundHalfEven(-width / 100.0 * metrics_.dpiX));
    else
        penPixels_ = std::max(1, width);
    // Width 0 asks for the device's thinnest line; it is kept that way on
    // every device the page is played on.
    pen_.width = width == 0 ? 0.0 : penPixels_ / metrics_.dpiX;
}

void PrintSurface::UseBrush(const QColor& color, BrushStyle style, const QImage& pattern) {
    brush_.color = color;
    brush_.style = style;
    brush_.pattern = pattern;
}

void PrintSurface::MoveTo(double x, double y) {
    penX_ = x;
    penY_ = y;
}

void PrintSurface::LineTo(double x, double y) {
    PageOp op;
    op.kind = PageOp::Line;
    op.x1 = rx(penX_);
    op.y1 = penY_;
    op.x2 = rx(x);
    op.y2 = y;
    op.pen = pen_;
    record(std::move(op));
    penX_ = x;
    penY_ = y;
}

namespace {
PageOp shapeOp(PageOp::Kind kind, double x1, double y1, double x2, double y2) {
    PageOp op;
    op.kind = kind;
    op.x1 = x1;
    op.y1 = y1;
    op.x2 = x2;
    op.y2 = y2;
    return op;
}
} // namespace

void PrintSurface::Rectangle(double x1, double y1, double x2, double y2) {
    PageOp op = shapeOp(PageOp::Rectangle, rx(x1), y1, rx(x2), y2);
    op.pen = pen_;
    op.brush = brush_;
    record(std::move(op));
}

void PrintSurface::Ellipse(double x1, double y1, double x2, double y2) {
    PageOp op = shapeOp(PageOp::Ellipse, rx(x1), y1, rx(x2), y2);
    op.pen = pen_;
    op.brush = brush_;
    record(std::move(op));
}

void PrintSurface::RoundRect(double x1, double y1, double x2, double y2, double cornerWidth,
                             double cornerHeight) {
    PageOp op = shapeOp(PageOp::RoundRect, rx(x1), y1, rx(x2), y2);
    op.rx = cornerWidth;
    op.ry = cornerHeight;
    op.pen = pen_;
    op.brush = brush_;
    record(std::move(op));
}

void PrintSurface::DrawPicture(double x1, double y1, double x2, double y2, const QImage& picture) {
    DrawBitmapRect(x1, y1, x2, y2, picture);
}

void PrintSurface::DrawPicture(double x1, double y1, double x2, double y2,
                               const QPicture& picture) {
    if (!recording())
        return;
    PageOp op = shapeOp(PageOp::Picture, rx(x1), y1, rx(x2), y2);
    op.picture = picture;
    record(std::move(op));
}

void PrintSurface::DrawBitmap(double x, double y, double scaleX, double scaleY,
                              const QImage& bitmap) {
    const double w = bitmap.width() * scaleX / metrics_.dpiX;
    const double h = bitmap.height() * scaleY / metrics_.dpiY;
    DrawBitmapRect(x, y, x + w, y + h, bitmap);
}

void PrintSurface::DrawBitmapRect(double x1, double y1, double x2, double y2,
                                  const QImage& bitmap) {
    if (!recording() || bitmap.isNull())
        return;
    PageOp op = shapeOp(PageOp::Image, rx(x1), y1, rx(x2), y2);
    op.image = bitmap;
    record(std::move(op));
}

// ---- printer and paper ---------------------------------------------------------

QStringList PrintSurface::PrinterNames() const {
    return AvailablePrinterNames();
}

bool PrintSurface::SelectPrinterByName(const QString& name) {
    if (!SelectCurrentPrinter(name))
        return false;
    binIndex_ = 0;
    if (pageSize_.isValid()) {
        // Keep the paper if the new printer knows it; otherwise its own default.
        bool known = false;
        for (const QPageSize& s : papersOf(name))
            known = known || s.isEquivalentTo(pageSize_);
        if (!known && pageSize_.id() != QPageSize::Custom)
            pageSize_ = QPageSize();
    }
    ReadDeviceMetrics();
    return true;
}

QString PrintSurface::PrinterName() const {
    return CurrentPrinterName();
}

QStringList PrintSurface::PaperNamesFor(const QString& printer) {
    QStringList names;
    for (const QPageSize& s : papersOf(printer))
        names << s.name();
    return names;
}

QStringList PrintSurface::PaperNames() const {
    return PaperNamesFor(CurrentPrinterName());
}

bool PrintSurface::SelectPaperByName(const QString& name) {
    for (const QPageSize& s : papersOf(CurrentPrinterName())) {
        if (s.name().compare(name, Qt::CaseInsensitive) == 0) {
            pageSize_ = s;
            ReadDeviceMetrics();
            return true;
        }
    }
    return false;
}

QString PrintSurface::PaperName() const {
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer);
    return printer.pageLayout().pageSize().name();
}

QStringList PrintSurface::BinNamesFor(const QString& printer) {
    QStringList names;
    for (QPrinter::PaperSource s : sourcesOf(printer))
        names << binName(s);
    return names;
}

QStringList PrintSurface::BinNames() const {
    return BinNamesFor(CurrentPrinterName());
}

bool PrintSurface::SelectBinByName(const QString& name) {
    const QStringList names = BinNames();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return SelectBinByIndex(i);
    return false;
}

bool PrintSurface::SelectBinByIndex(int index) {
    if (index < 0 || index >= BinNames().size())
        return false;
    binIndex_ = index;
    return true;
}

void PrintSurface::SetCustomPaper(int paperCode, double width, double height) {
    const QPageSize::PageSizeId id = paperFromCode(paperCode);
    if (id != QPageSize::Custom) {
        pageSize_ = QPageSize(id);
    } else {
        // The device takes sizes in tenths of a millimetre.
        const double w = std::nearbyint(width * 254.0) / 10.0;
        const double h = std::nearbyint(height * 254.0) / 10.0;
        if (w <= 0 || h <= 0)
            return;
        pageSize_ =
            QPageSize(QSizeF(w, h), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    }
    if (fakeMetrics_) {
        const QSizeF s = pageSize_.size(QPageSize::Inch);
        const bool landscape = orientation_ == PrintOrientation::poLandScape;
        metrics_.paperWidth = landscape ? s.height() : s.width();
        metrics_.paperHeight = landscape ? s.width() : s.height();
    } else {
        ReadDeviceMetrics();
    }
}

// ---- printer destination -----------------------------------------------------------

TReportPrinter::TReportPrinter() = default;

TReportPrinter::~TReportPrinter() {
    if (painter_ && painter_->isActive())
        EndDocument(true);
}

bool TReportPrinter::DeviceAvailable() const {
    return AvailablePrinterNames().contains(CurrentPrinterName());
}

void TReportPrinter::BeginDocument() {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    ConfigurePrinter(*printer_);
    outputFile_.clear();
    pagesOutput_ = 0;
    if (IsPdfPrinter(CurrentPrinterName())) {
        outputFile_ = PdfOutputFile().isEmpty() ? uniquePdfPath(Title()) : PdfOutputFile();
        printer_->setOutputFileName(outputFile_);
    }
    // A device that cannot make copies itself (a PDF file) gets every copy
    // as pages of its own: uncollated copies repeat each page at once,
    // collated copies replay the whole document, kept in a page file, at the end.
    copies_ = std::max(1, PrintCopies());
    collate_ = PrintCollate();
    manualCopies_ = copies_ > 1 && !printer_->supportsMultipleCopies();
    kept_.reset();
    if (manualCopies_) {
        printer_->setCopyCount(1);
        if (collate_)
            kept_ = std::make_unique<PageFile>();
    }
}

void TReportPrinter::playOnDevice(const RecordedPage& page) {
    if (!painter_) {
        // The device is opened with the first page that reaches it, so a job
        // whose pages all lie outside the range produces no document at all.
        painter_ = std::make_unique<QPainter>();
        if (!painter_->begin(printer_.get())) {
            painter_.reset();
            throw PrintError(
                outputFile_.isEmpty()
                    ? QStringLiteral("Unable to print on %1.").arg(CurrentPrinterName())
                    : QStringLiteral("Unable to write the file %1.").arg(outputFile_));
        }
    } else {
        printer_->newPage();
    }
    const double dpiX = printer_->logicalDpiX(), dpiY = printer_->logicalDpiY();
    DeviceMapping m{dpiX, dpiY, 0, 0};
    if (!printer_->fullPage()) {
        const QRectF paper = printer_->paperRect(QPrinter::DevicePixel);
        const QRectF area = printer_->pageRect(QPrinter::DevicePixel);
        m.offsetLeft = (area.left() - paper.left()) / dpiX;
        m.offsetTop = (area.top() - paper.top()) / dpiY;
    }
    PlayPage(*painter_, page, m);
    ++pagesOutput_;
}

void TReportPrinter::OutputPage(const RecordedPage& page) {
    const int times = manualCopies_ && !collate_ ? copies_ : 1;
    for (int i = 0; i < times; ++i)
        playOnDevice(page);
    if (kept_)
        kept_->AddPage(page);
}

void TReportPrinter::EndDocument(bool aborted) {
    if (!aborted && kept_ && painter_) {
        try {
            for (int copy = 2; copy <= copies_; ++copy)
                for (int i = 0; i < kept_->PageCount(); ++i)
                    playOnDevice(kept_->Page(i));
        } catch (...) {
            aborted = true;
        }
    }
    kept_.reset();
    if (painter_) {
        if (aborted && !IsPdfPrinter(CurrentPrinterName()))
            printer_->abort();
        painter_->end();
        painter_.reset();
    }
    // An aborted PDF job leaves no half-written file behind.
    if (aborted && !outputFile_.isEmpty()) {
        QFile::remove(outputFile_);
        outputFile_.clear();
    }
    printer_.reset();
}

// ---- page-file destination ---------------------------------------------------------

TReportFiler::TReportFiler(std::shared_ptr<PageFile> stream) : stream_(std::move(stream)) {}

void TReportFiler::BeginDocument() {
    if (!stream_)
        stream_ = std::make_shared<PageFile>();
    stream_->Clear();
}

void TReportFiler::OutputPage(const RecordedPage& page) {
    stream_->AddPage(page);
}

} // namespace qb
