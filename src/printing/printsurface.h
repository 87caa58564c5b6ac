// The print surface: the one page-composition interface every printed page of
// the program is drawn on. Positions and sizes are inches from the top-left
// corner of the physical sheet. Two destinations behave identically towards
// the caller: TReportPrinter sends each finished page to the selected printer
// (or the built-in PDF-file printer), TReportFiler records pages into a
// PageFile for the preview window.
#pragma once

#include "printing/pagefile.h"

#include <QColor>
#include <QImage>
#include <QPageSize>
#include <QPicture>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QFontMetricsF;
class QLabel;
class QPrinter;
class QWidget;

namespace qb {

// The geometry of the device a surface composes for.
struct DeviceMetrics {
    double dpiX = 96.0;
    double dpiY = 96.0;
    double paperWidth = 8.5; // inches, orientation applied
    double paperHeight = 11.0;
    double unprintableLeft = 0.0;
    double unprintableTop = 0.0;
    double unprintableRight = 0.0;
    double unprintableBottom = 0.0;
};

enum class Justify { Left, Center, Right };
enum class PrintOrientation { poPortrait, poLandScape, poDefault };
enum class PenMode { pmCopy };

// Border flags of a column stop.
enum ColumnBorder { BorderLeft = 1, BorderRight = 2, BorderTop = 4, BorderBottom = 8 };

struct ColumnStop {
    double left = 0.0;  // inches
    double width = 0.0; // inches
    Justify justify = Justify::Left;
    double margin = 0.0; // inches (given in hundredths when added)
    int borders = 0;
    int shade = 0; // percent, 0 = none
};

// Raised when a job cannot reach its device (the message is for the user).
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit PrintError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class PrintSurface {
public:
    using Event = std::function<void(PrintSurface&)>;

    PrintSurface();
    virtual ~PrintSurface();
    PrintSurface(const PrintSurface&) = delete;
    PrintSurface& operator=(const PrintSurface&) = delete;

    // ---- events -------------------------------------------------------------
    Event OnBeforePrint;
    Event OnPrint;
    Event OnNewPage;
    Event OnAfterPrint;

    // ---- job control --------------------------------------------------------
    // Runs one job synchronously (see the class comment). An exception thrown
    // by OnPrint aborts the document and is passed on to the caller.
    void RunJob();
    void NewPage();
    void CancelJob();
    bool JobCancelled() const { return cancelled_; }
    bool Running() const { return running_; }
    // Writes the expanded status pattern into the status label and lets
    // pending input run so that a Cancel click is seen.
    void RefreshStatus();
    // The platform's print dialog: printer, copies, collation, page range.
    bool AskPrintOptions(QWidget* parent = nullptr);
    // The printer set-up dialog: printer, paper, paper source, orientation.
    bool AskPrinterSetup(QWidget* parent = nullptr);

    int PageNumber() const { return pageNumber_; }
    int FirstPage() const { return firstPage_; }
    int LastPage() const { return lastPage_; }
    void SetFirstPage(int page) { firstPage_ = std::max(1, page); }
    void SetLastPage(int page) { lastPage_ = std::max(1, page); }
    int Copies() const;
    void SetCopies(int copies);
    PrintOrientation Orientation() const { return orientation_; }
    void SetOrientation(PrintOrientation o);
    QString Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

    QPointer<QLabel> StatusLabel;
    QString StatusFormat;
    QStringList StatusLines; // the extra status lines %0 .. %9
    QString StatusText() const;
    // Expands %p %f %l %0..%9 and %% (letters case-insensitive); any other
    // character after % gives "<ERROR-%" + character + ">".
    static QString ExpandStatus(const QString& format, int page, int first, int last,
                                const QStringList& lines);

    // ---- device -------------------------------------------------------------
    // Re-reads resolution, paper size and unprintable strips of the selected
    // printer and paper.
    void ReadDeviceMetrics();
    // Composes for the given device instead (kept until ReadDeviceMetrics).
    void SetDeviceMetrics(const DeviceMetrics& metrics);
    const DeviceMetrics& Metrics() const { return metrics_; }
    double PaperWidth() const { return metrics_.paperWidth; }
    double PaperHeight() const { return metrics_.paperHeight; }
    double UnprintableLeft() const { return metrics_.unprintableLeft; }
    double UnprintableRight() const { return metrics_.unprintableRight; }
    double UnprintableTop() const { return metrics_.unprintableTop; }
    double UnprintableBottom() const { return metrics_.unprintableBottom; }
    // The device pixel an x or y coordinate lands on (origin shift applied).
    int DevicePixelX(double inches) const;
    int DevicePixelY(double inches) const;
    DeviceMapping Mapping() const;

    // ---- margins, area, cursor -----------------------------------------------
    double MarginLeft() const { return marginLeft_; }
    double MarginRight() const { return marginRight_; }
    double MarginTop() const { return marginTop_; }
    double MarginBottom() const { return marginBottom_; }
    void SetMarginLeft(double v) { marginLeft_ = v; }
    void SetMarginRight(double v) { marginRight_ = v; }
    void SetMarginTop(double v) { marginTop_ = v; }
    void SetMarginBottom(double v) { marginBottom_ = v; }
    double AreaLeft() const { return areaLeft_; }
    double AreaRight() const { return areaRight_; }
    double AreaTop() const { return areaTop_; }
    double AreaBottom() const { return areaBottom_; }
    void SetAreaLeft(double v) { areaLeft_ = v; }
    void SetAreaRight(double v) { areaRight_ = v; }
    void SetAreaTop(double v) { areaTop_ = v; }
    void SetAreaBottom(double v) { areaBottom_ = v; }
    void ResetArea();

    double CursorX() const { return cursorX_; }
    double CursorY() const { return cursorY_; }
    void SetCursorX(double x) { cursorX_ = x; }
    void SetCursorY(double y) { cursorY_ = y; }
    void MoveCursor(double x, double y);
    void CursorHome();
    void EndLine();
    int LineNumber() const { return lineNumber_; }
    int LinesRemaining() const;
    double LineSpacing() const { return font_.points / 60.0; }
    double FontHeight() const { return font_.points / 72.0; }
    double FontAscent() const { return ascent_; }
    double FontDescent() const { return descent_; }
    double OriginX() const { return originX_; }
    void SetOriginX(double inches) { originX_ = inches; }

    // ---- text ---------------------------------------------------------------
    void WriteText(const QString& text);
    void WriteLine(const QString& text);
    void WriteLeftAt(const QString& text, double x);
    void WriteCenteredAt(const QString& text, double x);
    void WriteRightAt(const QString& text, double x);
    void WriteClipped(const QRectF& rect, double x, double y, const QString& text);
    double MeasureText(const QString& text) const;

    // ---- fonts --------------------------------------------------------------
    void UseFont(const QString& name, double points);
    void SetBold(bool on);
    void SetItalic(bool on);
    void SetUnderline(bool on);
    void SetStrikeout(bool on);
    void SetTextAngle(double degrees);
    void SetTextColor(const QColor& color) { font_.color = color; }
    const PageFont& Font() const { return font_; }

    // ---- columns ------------------------------------------------------------
    void ClearColumns();
    void AddColumn(double left, double width, Justify justify, double marginHundredths, int borders,
                   int shade);
    void NextColumn();
    void NextColumn(int shade);
    double ColumnTextLeft() const;
    void PushColumns();
    void PopColumns();
    const std::vector<ColumnStop>& Columns() const { return columns_; }
    int CurrentColumnIndex() const; // -1 when no stop is current

    // ---- drawing --------------------------------------------------------------
    // A positive width is in device pixels; a negative width -w is w
    // hundredths of an inch, at least one device pixel.
    void UsePen(const QColor& color, PenStyle style, int width, PenMode mode = PenMode::pmCopy);
    int PenWidthPixels() const { return penPixels_; }
    const PagePen& Pen() const { return pen_; }
    void UseBrush(const QColor& color, BrushStyle style, const QImage& pattern = QImage());
    const PageBrush& Brush() const { return brush_; }
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Rectangle(double x1, double y1, double x2, double y2);
    void Ellipse(double x1, double y1, double x2, double y2);
    void RoundRect(double x1, double y1, double x2, double y2, double cornerWidth,
                   double cornerHeight);
    void DrawPicture(double x1, double y1, double x2, double y2, const QImage& picture);
    void DrawPicture(double x1, double y1, double x2, double y2, const QPicture& picture);
    void DrawBitmap(double x, double y, double scaleX, double scaleY, const QImage& bitmap);
    void DrawBitmapRect(double x1, double y1, double x2, double y2, const QImage& bitmap);

    // ---- printer and paper -----------------------------------------------------
    QStringList PrinterNames() const;
    bool SelectPrinterByName(const QString& name);
    QString PrinterName() const;
    QStringList PaperNames() const;
    static QStringList PaperNamesFor(const QString& printer);
    static QStringList BinNamesFor(const QString& printer);
    bool SelectPaperByName(const QString& name);
    QString PaperName() const;
    QStringList BinNames() const;
    bool SelectBinByName(const QString& name);
    int CurrentBinIndex() const { return binIndex_; }
    bool SelectBinByIndex(int index);
    // Paper by the platform's paper code (1 letter, 5 legal, 9 A4, 11 A5 ...);
    // code 0 is a custom size of width x height inches (portrait measures).
    void SetCustomPaper(int paperCode, double width, double height);

    // The page being composed (for tests and for destinations).
    const RecordedPage& CurrentPage() const { return page_; }

protected:
    // A destination receives every finished page inside FirstPage..LastPage;
    // pages outside the range are composed but never handed over.
    virtual void BeginDocument() = 0;
    virtual void OutputPage(const RecordedPage& page) = 0;
    virtual void EndDocument(bool aborted) = 0;
    // True when the destination can run a job; otherwise RunJob tells the
    // user and produces nothing.
    virtual bool DeviceAvailable() const { return true; }

    // Sets `printer` up for the selected printer, paper, bin and orientation.
    void ConfigurePrinter(QPrinter& printer) const;

private:
    void startPage();
    void finishPage();
    bool recording() const { return running_ && !cancelled_ && pageInRange_; }
    void record(PageOp&& op);
    void fontChanged();
    void placeText(const QString& piece);
    void emitText(const QString& text, double x);
    double rx(double x) const { return x + originX_; }

    DeviceMetrics metrics_;
    bool fakeMetrics_ = false;

    double marginLeft_ = 0.5, marginRight_ = 0.5, marginTop_ = 0.5, marginBottom_ = 0.5;
    double areaLeft_ = 0, areaRight_ = 0, areaTop_ = 0, areaBottom_ = 0;
    double cursorX_ = 0, cursorY_ = 0;
    int lineNumber_ = 1;
    double originX_ = 0;
    double penX_ = 0, penY_ = 0;

    PageFont font_;
    double ascent_ = 0, descent_ = 0;
    std::unique_ptr<QFontMetricsF> measure_; // at kMeasureDpi
    PagePen pen_;
    int penPixels_ = 1;
    int penRequest_ = 1; // the width as given to UsePen
    PageBrush brush_;

    std::vector<ColumnStop> columns_;
    int currentColumn_ = -1;
    std::vector<std::vector<ColumnStop>> columnStack_;

    int pageNumber_ = 0;
    int firstPage_ = 1, lastPage_ = 9999;
    PrintOrientation orientation_ = PrintOrientation::poDefault;
    QString title_ = QStringLiteral("Quillbury");
    bool cancelled_ = false;
    bool running_ = false;
    bool pageInRange_ = false;
    RecordedPage page_;

    // Paper and bin of this surface; the printer itself is shared.
    QPageSize pageSize_;
    int binIndex_ = 0;
};

// Sends each finished page to the selected printer as soon as it is complete.
class TReportPrinter : public PrintSurface {
public:
    TReportPrinter();
    ~TReportPrinter() override;
    // The PDF file the last job wrote (when it went to the PDF-file printer).
    QString OutputFile() const { return outputFile_; }
    // Sheets sent to the device by the last job, copies made here included.
    int PagesOutput() const { return pagesOutput_; }

protected:
    void BeginDocument() override;
    void OutputPage(const RecordedPage& page) override;
    void EndDocument(bool aborted) override;
    bool DeviceAvailable() const override;

private:
    void playOnDevice(const RecordedPage& page);

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<class QPainter> painter_;
    QString outputFile_;
    int pagesOutput_ = 0;
    int copies_ = 1;
    bool collate_ = true;
    bool manualCopies_ = false;
    std::unique_ptr<PageFile> kept_;
};

// Records each finished page into a page file.
class TReportFiler : public PrintSurface {
public:
    explicit TReportFiler(std::shared_ptr<PageFile> stream = nullptr);
    void SetStream(std::shared_ptr<PageFile> stream) { stream_ = std::move(stream); }
    std::shared_ptr<PageFile> Stream() const { return stream_; }

protected:
    void BeginDocument() override;
    void OutputPage(const RecordedPage& page) override;
    void EndDocument(bool) override {}

private:
    std::shared_ptr<PageFile> stream_;
};

} // namespace qb
