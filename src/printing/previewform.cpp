#include "printing/previewform.h"

#include "app/messages.h"

#include <QBitmap>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qb {

namespace {

// A magnifying-glass cursor for the page, drawn rather than loaded.
QCursor magnifierCursor() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 4));
    p.drawEllipse(QPointF(12, 12), 8, 8);
    p.drawLine(QPointF(18, 18), QPointF(28, 28));
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(QPointF(12, 12), 8, 8);
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(QPointF(18, 18), QPointF(28, 28));
    p.end();
    return QCursor(pm, 12, 12);
}

} // namespace

// ---- viewer ----------------------------------------------------------------------

TFilePreview::TFilePreview(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

double TFilePreview::ScreenDpi() const {
    const int dpi = logicalDpiX();
    return dpi > 0 ? dpi : 96.0;
}

double TFilePreview::ClampZoom(double percent) {
    return std::clamp(percent, MinZoom, MaxZoom);
}

double TFilePreview::FitWidthZoom(QSizeF paper, double dpi, QSize viewport, int scrollBarWidth,
                                  double marginPercent) {
    const double m = marginPercent / 100.0;
    const double totalW = paper.width() * dpi * (1 + 2 * m); // at 100 %
    const double totalH = (paper.height() + 2 * m * paper.width()) * dpi;
    if (totalW <= 0)
        return 100.0;
    double z = viewport.width() / totalW;
    if (totalH * z > viewport.height())
        z = (viewport.width() - scrollBarWidth) / totalW;
    return ClampZoom(z * 100.0);
}

double TFilePreview::FitPageZoom(QSizeF paper, double dpi, QSize viewport, double marginPercent) {
    const double m = marginPercent / 100.0;
    const double totalW = paper.width() * dpi * (1 + 2 * m);
    const double totalH = (paper.height() + 2 * m * paper.width()) * dpi;
    if (totalW <= 0 || totalH <= 0)
        return 100.0;
    return ClampZoom(std::min(viewport.width() / totalW, viewport.height() / totalH) * 100.0);
}

void TFilePreview::SetPageFile(std::shared_ptr<PageFile> pages) {
    pages_ = std::move(pages);
    pageIndex_ = -1;
    page_ = RecordedPage();
    SetPageIndex(0);
}

void TFilePreview::SetPageIndex(int index) {
    const int count = PageCount();
    if (count == 0) {
        pageIndex_ = 0;
        page_ = RecordedPage();
        page_.ops.clear();
    } else {
        index = std::clamp(index, 0, count - 1);
        if (index == pageIndex_)
            return;
        pageIndex_ = index;
        page_ = pages_->Page(index);
    }
    updateSize();
    update();
    emit Changed();
}

void TFilePreview::SetZoomFactor(double percent) {
    zoom_ = ClampZoom(percent);
    updateSize();
    update();
    emit Changed();
}

QSize TFilePreview::pagePixels() const {
    const double scale = ScreenDpi() * zoom_ / 100.0;
    return QSize(std::max(1, int(std::lround(page_.paperWidth * scale))),
                 std::max(1, int(std::lround(page_.paperHeight * scale))));
}

int TFilePreview::marginPixels() const {
    return int(std::lround(pagePixels().width() * MarginPercent / 100.0));
}

QSize TFilePreview::sizeHint() const {
    const QSize p = pagePixels();
    const int m = marginPixels();
    return QSize(p.width() + 2 * m, p.height() + 2 * m);
}

void TFilePreview::SetViewportSize(QSize size) {
    viewport_ = size;
    updateSize();
}

void TFilePreview::updateSize() {
    const QSize hint = sizeHint();
    resize(std::max(hint.width(), viewport_.width()), std::max(hint.height(), viewport_.height()));
}

QRect TFilePreview::PageRect() const {
    const QSize p = pagePixels();
    const int m = marginPixels();
    const int x = std::max(m, (width() - p.width()) / 2);
    const int y = std::max(m, (height() - p.height()) / 2);
    return QRect(QPoint(x, y), p);
}

void TFilePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = PageRect();
    painter.fillRect(r, Qt::white);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(r.adjusted(-1, -1, 0, 0));
    if (PageCount() == 0)
        return;
    painter.setClipRect(r);
    painter.translate(r.topLeft());
    const double scale = ScreenDpi() * zoom_ / 100.0;
    PlayPage(painter, page_, DeviceMapping{scale, scale, 0, 0});
}

void TFilePreview::mousePressEvent(QMouseEvent* event) {
    if (PageRect().contains(event->position().toPoint()))
        emit ZoomRequested(event->button() == Qt::LeftButton);
}

void TFilePreview::mouseMoveEvent(QMouseEvent* event) {
    // The magnifier shows where a click zooms: over the page only.
    static const QCursor magnifier = magnifierCursor();
    if (PageRect().contains(event->position().toPoint()))
        setCursor(magnifier);
    else
        unsetCursor();
}

// ---- window ------------------------------------------------------------------------

TPreviewForm::TPreviewForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Label Preview"));
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(800, 640);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setBackgroundRole(QPalette::Dark);
    viewer_ = new TFilePreview;
    scroll_->setWidget(viewer_);
    layout->addWidget(scroll_, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ButtonBar"));
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    bar->setPalette(pal);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(bar);

    auto add = [&](const char* name, const QString& text, const QString& tip,
                   QStyle::StandardPixmap icon, void (TPreviewForm::*slot)()) {
        auto* b = new QPushButton(text, bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        if (icon != QStyle::SP_CustomBase)
            b->setIcon(style()->standardIcon(icon));
        row->addWidget(b);
        if (slot)
            connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    QPushButton* ok = add("OkButton", QStringLiteral("Ok"), QStringLiteral("Close the preview"),
                          QStyle::SP_CustomBase, nullptr);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addSpacing(12);
    add("ZoomInButton", QStringLiteral("Zoom In"), QStringLiteral("Zoom in"), QStyle::SP_CustomBase,
        &TPreviewForm::ZoomInClick);
    add("ZoomOutButton", QStringLiteral("Zoom Out"), QStringLiteral("Zoom out"),
        QStyle::SP_CustomBase, &TPreviewForm::ZoomOutClick);
    add("ZoomWidthButton", QStringLiteral("Page Width"), QStringLiteral("Zoom to page width"),
        QStyle::SP_CustomBase, &TPreviewForm::ZoomWidthClick);
    add("ZoomPageButton", QStringLiteral("Whole Page"), QStringLiteral("Zoom to whole page"),
        QStyle::SP_CustomBase, &TPreviewForm::ZoomPageClick);
    add("Zoom100Button", QStringLiteral("100%"), QStringLiteral("Actual size"),
        QStyle::SP_CustomBase, &TPreviewForm::Zoom100Click);
    row->addSpacing(12);
    pageButtons_[0] = add("FirstPageButton", QString(), QStringLiteral("First page"),
                          QStyle::SP_MediaSkipBackward, &TPreviewForm::FirstPageClick);
    pageButtons_[1] = add("PriorPageButton", QString(), QStringLiteral("Previous page"),
                          QStyle::SP_MediaSeekBackward, &TPreviewForm::PriorPageClick);
    pageButtons_[2] = add("NextPageButton", QString(), QStringLiteral("Next page"),
                          QStyle::SP_MediaSeekForward, &TPreviewForm::NextPageClick);
    pageButtons_[3] = add("LastPageButton", QString(), QStringLiteral("Last page"),
                          QStyle::SP_MediaSkipForward, &TPreviewForm::LastPageClick);
    row->addStretch(1);
    add("HelpButton", QStringLiteral("Help"), QStringLiteral("Help on the preview"),
        QStyle::SP_CustomBase, &TPreviewForm::HelpClick);

    connect(viewer_, &TFilePreview::ZoomRequested, this,
            [this](bool in) { in ? ZoomInClick() : ZoomOutClick(); });
    connect(viewer_, &TFilePreview::Changed, this, [this] {
        syncViewport();
        if (prepared_)
            updateCaption();
    });
}

TPreviewForm::~TPreviewForm() = default;

QPushButton* TPreviewForm::Button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void TPreviewForm::SetPageFile(std::shared_ptr<PageFile> pages) {
    pending_ = std::move(pages);
}

void TPreviewForm::Prepare() {
    if (prepared_)
        return;
    prepared_ = true;
    viewer_->SetPageFile(std::move(pending_));
    updateButtons();
    if (InitialZoom == 1)
        ZoomPageClick();
    else if (InitialZoom == 2)
        ZoomWidthClick();
    else
        viewer_->SetZoomFactor(InitialZoom);
    updateCaption();
}

void TPreviewForm::syncViewport() {
    // The page is centred in what remains visible once the scroll bars the
    // page needs are shown, so a page that fits one way never scrolls that way.
    QSize vp = scroll_->maximumViewportSize();
    const QSize page = viewer_->sizeHint();
    const int sbWidth = scroll_->verticalScrollBar()->sizeHint().width();
    const int sbHeight = scroll_->horizontalScrollBar()->sizeHint().height();
    bool vertical = page.height() > vp.height();
    bool horizontal = page.width() > vp.width() - (vertical ? sbWidth : 0);
    vertical = vertical || page.height() > vp.height() - (horizontal ? sbHeight : 0);
    if (vertical)
        vp.rwidth() -= sbWidth;
    if (horizontal)
        vp.rheight() -= sbHeight;
    viewer_->SetViewportSize(vp);
}

void TPreviewForm::updateCaption() {
    const int count = viewer_->PageCount();
    const int page = count == 0 ? 0 : viewer_->PageIndex() + 1;
    setWindowTitle(QStringLiteral("Preview Page %1 of %2 ( %3% )")
                       .arg(page)
                       .arg(count)
                       .arg(std::lround(viewer_->ZoomFactor())));
}

void TPreviewForm::updateButtons() {
    const bool several = viewer_->PageCount() >= 2;
    for (QWidget* b : pageButtons_)
        b->setVisible(several);
}

void TPreviewForm::zoomAround(double percent) {
    // Keep the point at the centre of the view where it was.
    QScrollBar* h = scroll_->horizontalScrollBar();
    QScrollBar* v = scroll_->verticalScrollBar();
    const QSize vp = scroll_->viewport()->size();
    const double fx = (h->value() + vp.width() / 2.0) / std::max(1, viewer_->width());
    const double fy = (v->value() + vp.height() / 2.0) / std::max(1, viewer_->height());
    viewer_->SetZoomFactor(percent);
    h->setValue(int(fx * viewer_->width() - vp.width() / 2.0));
    v->setValue(int(fy * viewer_->height() - vp.height() / 2.0));
}

void TPreviewForm::ZoomInClick() {
    zoomAround(viewer_->ZoomFactor() + viewer_->ZoomInc);
}
void TPreviewForm::ZoomOutClick() {
    zoomAround(viewer_->ZoomFactor() - viewer_->ZoomInc);
}

void TPreviewForm::ZoomWidthClick() {
    const RecordedPage& p = viewer_->CurrentPage();
    viewer_->SetZoomFactor(TFilePreview::FitWidthZoom(
        QSizeF(p.paperWidth, p.paperHeight), viewer_->ScreenDpi(), scroll_->maximumViewportSize(),
        scroll_->verticalScrollBar()->sizeHint().width(), viewer_->MarginPercent));
}

void TPreviewForm::ZoomPageClick() {
    const RecordedPage& p = viewer_->CurrentPage();
    viewer_->SetZoomFactor(
        TFilePreview::FitPageZoom(QSizeF(p.paperWidth, p.paperHeight), viewer_->ScreenDpi(),
                                  scroll_->maximumViewportSize(), viewer_->MarginPercent));
}

void TPreviewForm::Zoom100Click() {
    viewer_->SetZoomFactor(100.0);
}

void TPreviewForm::FirstPageClick() {
    viewer_->SetPageIndex(0);
}
void TPreviewForm::PriorPageClick() {
    if (viewer_->PageIndex() > 0)
        viewer_->SetPageIndex(viewer_->PageIndex() - 1);
}
void TPreviewForm::NextPageClick() {
    if (viewer_->PageIndex() + 1 < viewer_->PageCount())
        viewer_->SetPageIndex(viewer_->PageIndex() + 1);
}
void TPreviewForm::LastPageClick() {
    viewer_->SetPageIndex(viewer_->PageCount() - 1);
}

void TPreviewForm::HelpClick() {
    Inform(QStringLiteral(
        "The preview shows the pages exactly as they will print.\n\n"
        "Click the page with the left mouse button to zoom in and with the right button to "
        "zoom out, or use the zoom buttons. The page buttons move between pages; the Up and "
        "Down arrow keys scroll the page. Ok, Enter or Escape closes the preview.\n\n"
        "To print, close the preview and press Print in the window you came from."));
}

void TPreviewForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Prepare();
}

void TPreviewForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    syncViewport();
}

void TPreviewForm::keyPressEvent(QKeyEvent* event) {
    QScrollBar* v = scroll_->verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        accept();
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TPreviewForm::done(int result) {
    // Closing the window releases the pages.
    viewer_->SetPageFile(nullptr);
    pending_.reset();
    QDialog::done(result);
}

} // namespace qb
