// The preview window: shows the recorded pages of a job one at a time, with
// zoom and page buttons. TFilePreview is the viewer inside its scroll box.
#pragma once

#include "printing/pagefile.h"

#include <QDialog>
#include <QWidget>

#include <memory>

class QPushButton;
class QScrollArea;

namespace qb {

class TFilePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr double MinZoom = 10.0;
    static constexpr double MaxZoom = 200.0;

    explicit TFilePreview(QWidget* parent = nullptr);

    void SetPageFile(std::shared_ptr<PageFile> pages);
    std::shared_ptr<PageFile> Pages() const { return pages_; }
    int PageCount() const { return pages_ ? pages_->PageCount() : 0; }
    int PageIndex() const { return pageIndex_; } // 0-based
    void SetPageIndex(int index);
    const RecordedPage& CurrentPage() const { return page_; }

    double ZoomFactor() const { return zoom_; } // percent
    void SetZoomFactor(double percent);         // clamped to MinZoom .. MaxZoom
    double ZoomInc = 10.0;
    double MarginPercent = 2.5; // of the page width, around the page
    // Screen resolution used for 100 % (the widget's logical resolution).
    double ScreenDpi() const;

    // The zoom at which the page plus its margins fills `viewport`'s width,
    // allowing for a vertical scroll bar of `scrollBarWidth` pixels when the
    // page is then taller than the viewport.
    static double FitWidthZoom(QSizeF paperInches, double dpi, QSize viewport, int scrollBarWidth,
                               double marginPercent);
    // The zoom at which the whole page plus its margins fits `viewport`.
    static double FitPageZoom(QSizeF paperInches, double dpi, QSize viewport, double marginPercent);
    static double ClampZoom(double percent);

    // Where the page lies inside the widget, in widget pixels.
    QRect PageRect() const;
    QSize sizeHint() const override;
    void SetViewportSize(QSize size); // the visible area, for centring

signals:
    void ZoomRequested(bool in); // a click on the page: true for the left button
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void updateSize();
    QSize pagePixels() const;
    int marginPixels() const;

    std::shared_ptr<PageFile> pages_;
    RecordedPage page_;
    int pageIndex_ = 0;
    double zoom_ = 100.0;
    QSize viewport_;
};

class TPreviewForm : public QDialog {
    Q_OBJECT
public:
    explicit TPreviewForm(QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // 1 = whole page, 2 = page width, anything else = that percentage.
    int InitialZoom = 1;

    void SetPageFile(std::shared_ptr<PageFile> pages);
    // Reads the page file and applies the initial zoom; done on the first
    // activation of the window, and only then.
    void Prepare();
    bool Prepared() const { return prepared_; }

    TFilePreview* Viewer() const { return viewer_; }
    QScrollArea* ScrollBox() const { return scroll_; }
    QPushButton* Button(const QString& objectName) const;
    QString Caption() const { return windowTitle(); }

public slots:
    void ZoomInClick();
    void ZoomOutClick();
    void ZoomWidthClick();
    void ZoomPageClick();
    void Zoom100Click();
    void FirstPageClick();
    void PriorPageClick();
    void NextPageClick();
    void LastPageClick();
    void HelpClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void updateCaption();
    void updateButtons();
    void syncViewport();
    void zoomAround(double percent);

    TFilePreview* viewer_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* pageButtons_[4] = {};
    std::shared_ptr<PageFile> pending_; // read on the first activation
    bool prepared_ = false;
};

} // namespace qb
