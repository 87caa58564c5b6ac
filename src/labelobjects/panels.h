// The panels that hold label objects: TKBasePanel (design and print surface),
// TKDataPanel (bound to the open address file) and TKLabelPanel (with the
// label designer's drawing tools). The same panel is visible and editable in
// a designer and works hidden as the source of printed labels.
#pragma once

#include "labelobjects/graphiccontrol.h"
#include "labelobjects/properties.h"
#include "storage/dataset.h"

#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

namespace qb {

class PrintSurface;
class TableDataset;

enum TLabelShapeType { lsRectangle, lsRoundRect, lsEllipse };
enum TGridSize { gs4x4, gs8x8 };

class TKBasePanel : public QWidget {
    Q_OBJECT
public:
    // owner: the form whose components get unique names ("Special" + N,
    // "Component" + N); by default the window the panel is in.
    explicit TKBasePanel(QWidget* parent = nullptr, QObject* owner = nullptr);
    ~TKBasePanel() override;

    QObject* Owner() const;
    void SetOwner(QObject* owner) { owner_ = owner; }

    // ---- published ------------------------------------------------------------
    bool Pointing() const { return pointing_; }
    void SetPointing(bool v) { pointing_ = v; }
    bool DrawOutline() const { return drawOutline_; }
    void SetDrawOutline(bool v) {
        drawOutline_ = v;
        update();
    }
    TKPicture& Picture() { return picture_; }
    TKPicture& ColorPicture() { return colorPicture_; }
    bool Printing() const { return printing_; }
    void SetPrinting(bool v) { printing_ = v; }
    int Shape() const { return shape_; }
    void SetShape(int v) {
        shape_ = v;
        update();
    }
    int GridSize() const { return gridSize_; }
    void SetGridSize(int v) { gridSize_ = v; }
    // The snap step in pixels: 4 or 8.
    int GridStep() const { return gridSize_ == gs8x8 ? 8 : 4; }
    bool ShowGrid() const { return showGrid_; }
    void SetShowGrid(bool v) {
        showGrid_ = v;
        update();
    }
    bool SnapToGrid() const { return snapToGrid_; }
    void SetSnapToGrid(bool v) { snapToGrid_ = v; }
    std::function<void(const QRect&)> DroppedObjectEvent;
    std::function<void()> LabelChangedEvent;
    // The font new text objects take.
    TKFont& PanelFont() { return panelFont_; }

    int Width() const { return width(); }
    int Height() const { return height(); }

    // ---- run-time ---------------------------------------------------------------
    float Zoom() const { return zoom_; }
    void SetZoom(float z);
    bool ZoomInProgress() const { return zooming_; }
    QString ClipboardFile() const { return clipboardFile_; }
    QString TempFile() const { return tempFile_; }
    qint64 LastPasteTime() const { return lastPaste_; }
    void SetLastPasteTime(qint64 ms) { lastPaste_ = ms; }

    // The label objects in child order (back to front).
    QList<TKGraphicControl*> Objects() const;
    // The selection (the holder that draws and drags it comes with the
    // editing commands); objects in selection order.
    QList<TKGraphicControl*> Selection() const;
    void SetSelection(const QList<TKGraphicControl*>& objects);
    void ClearSelection();
    // The selection holder's frame around the selected objects: 2 pixels
    // outside the smallest left and top, 6 wider and higher than they span.
    QRect SelectionFrame() const;
    // Asks for a later re-fit of the selection frame (after bounds changes).
    void PostSelectionRefit();

    // ---- virtual operations ---------------------------------------------------------
    virtual TKGraphicControl* CreateObjectInRect(const QRect& rect) {
        (void)rect;
        return nullptr;
    }
    virtual void ObjectMouseDown(TKGraphicControl* object, Qt::MouseButton button,
                                 const QPoint& panelPos);
    virtual void RefreshAllData() {}
    virtual void PrintObjects(PrintSurface& surface, double x0, double y0);
    virtual void ClampObjects();
    virtual void RemoveStrayObjects();

    // ---- operations ---------------------------------------------------------------------
    void SaveToFile(const QString& path);
    void LoadFromFile(const QString& path);
    void AddObject(TKGraphicControl* object, const QRect& rect);
    void ClearObjects();
    void AdvanceCounters();
    void ResetCounters();
    // Routes an object's events to the panel and gives it the panel's zoom.
    void AdoptObject(TKGraphicControl* object);
    void AdoptLoadedObjects(const QList<TKGraphicControl*>& objects);

    void NotifyChange();

    // Names: the first prefix + N (N from `first` to 1000) that no component
    // of the owner has; empty when all are taken.
    QString UniqueName(const QString& prefix, int first, QObject* owner = nullptr) const;
    bool NameExists(const QString& name, QObject* owner = nullptr) const;

    // ---- drawing --------------------------------------------------------------------
    // The label's outline and clip shape, covering (0,0) to (Width+1, Height+1).
    QPainterPath ShapePath() const;
    // The background composed off screen: white, label art, outline, grid.
    QImage ComposeBackground() const;
    // The 8 x 8 grid pattern (white with green dots).
    static QImage GridPattern();

    // Mouse handling in panel coordinates (objects route theirs here).
    void PanelMouseDown(Qt::MouseButton button, const QPoint& pos);
    void PanelMouseMove(const QPoint& pos);
    void PanelMouseUp(Qt::MouseButton button, const QPoint& pos);
    bool RubberBanding() const { return rubberBanding_; }
    QRect RubberBand() const { return QRect(bandStart_, bandEnd_).normalized(); }

signals:
    void SelectionRefitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    // Sets an object's bounds for a new zoom (ratio from its own zoom).
    static void ZoomObject(TKGraphicControl* object, float z);

private:
    QPointer<QObject> owner_;
    bool pointing_ = true;
    bool drawOutline_ = false;
    TKPicture picture_;
    TKPicture colorPicture_;
    bool printing_ = false;
    int shape_ = lsRoundRect;
    int gridSize_ = gs4x4;
    bool showGrid_ = false;
    bool snapToGrid_ = false;
    TKFont panelFont_;
    float zoom_ = 1.0f;
    bool zooming_ = false;
    qint64 lastPaste_ = 0;
    QString clipboardFile_;
    QString tempFile_;
    QList<QPointer<TKGraphicControl>> selection_;
    bool refitPosted_ = false;
    bool rubberBanding_ = false;
    QPoint bandStart_;
    QPoint bandEnd_;
};

class TKDataPanel : public TKBasePanel {
    Q_OBJECT
public:
    explicit TKDataPanel(QWidget* parent = nullptr, QObject* owner = nullptr);

    bool DisplayDataValues() const { return displayDataValues_; }
    void SetDisplayDataValues(bool v);
    TableDataset* Dataset() const { return dataset_; }
    void SetDataset(TableDataset* dataset) { dataset_ = dataset; }
    TableDataset* LabelTable() const { return labelTable_; }
    void SetLabelTable(TableDataset* table) { labelTable_ = table; }
    bool DatasetOpen() const;

    // Data objects find their field by its display label; an empty QVariant
    // when the data set is closed or has no such field.
    QVariant FieldValueByLabel(const QString& displayLabel) const;
    // The field name a display label stands for (empty when none).
    QString FieldNameByLabel(const QString& displayLabel) const;

    void RefreshAllData() override;

private:
    bool displayDataValues_ = true;
    QPointer<TableDataset> dataset_;
    QPointer<TableDataset> labelTable_;
};

enum TLPanelState {
    psPointing,
    psLabel,
    psCounterLabel,
    psSymbolLabel,
    psDataLabel,
    psMultiLineLabel,
    psMultiLineDataLabel,
    psAddressLabel,
    psRectangle,
    psEllipse,
    psRoundRectangle,
    psLine,
    psImage,
    psPostNetBarCode
};

class TKLabelPanel : public TKDataPanel {
    Q_OBJECT
public:
    explicit TKLabelPanel(QWidget* parent = nullptr, QObject* owner = nullptr);

    // The classes a label layout may hold (made known to the filer).
    static void MakeClassesKnown();

    int PanelState() const { return state_; }
    void SetPanelState(int state);

    // The tool's rule: narrower than 25 becomes 50 wide, lower than 15
    // becomes 15 high.
    static QRect ToolRect(const QRect& rect);
    TKGraphicControl* CreateObjectInRect(const QRect& rect) override;

private:
    int state_ = psPointing;
};

} // namespace qb
