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

class QMenu;
class QAction;

namespace qb {

class PrintSurface;
class TableDataset;
class TKHandle;
class TKSelectionOverlay;

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

    // ---- published ----------------------------------------------------------
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
    void SetGridSize(int v);
    // The snap step in pixels: 4 or 8.
    int GridStep() const { return gridSize_ == gs8x8 ? 8 : 4; }
    bool ShowGrid() const { return showGrid_; }
    void SetShowGrid(bool v) {
        showGrid_ = v;
        update();
    }
    bool SnapToGrid() const { return snapToGrid_; }
    // Drives the holder: on sets both its steps to GridStep(), off to 1.
    void SetSnapToGrid(bool v);
    std::function<void(const QRect&)> DroppedObjectEvent;
    std::function<void()> LabelChangedEvent;
    // The font new text objects take.
    TKFont& PanelFont() { return panelFont_; }

    int Width() const { return width(); }
    int Height() const { return height(); }

    // ---- run-time -----------------------------------------------------------
    float Zoom() const { return zoom_; }
    void SetZoom(float z);
    bool ZoomInProgress() const { return zooming_; }
    QString ClipboardFile() const { return clipboardFile_; }
    QString TempFile() const { return tempFile_; }
    qint64 LastPasteTime() const { return lastPaste_; }
    void SetLastPasteTime(qint64 ms) { lastPaste_ = ms; }
    // Milliseconds of a steady clock (the paste guard); tests may replace it.
    std::function<qint64()> Clock;
    qint64 Now() const;

    // The label objects in child order (back to front).
    QList<TKGraphicControl*> Objects() const;
    // The selection holder and the selection it keeps, in selection order.
    TKHandle* Handle() const { return handle_; }
    TKSelectionOverlay* Overlay() const { return overlay_; }
    QList<TKGraphicControl*> Selection() const;
    void SetSelection(const QList<TKGraphicControl*>& objects);
    void ClearSelection();
    // The selection holder's frame around the selected objects: 2 pixels
    // outside the smallest left and top, 3 beyond the largest right and
    // bottom (null when nothing is selected).
    QRect SelectionFrame() const;
    // Asks for a later re-fit of the selection frame (after bounds changes).
    void PostSelectionRefit();
    // Keeps the holder and the overlay above every object.
    void KeepHolderOnTop();

    // ---- editing commands ---------------------------------------------------
    void SelectAll();
    void AlignLeft();
    void AlignRight();
    void AlignTops();
    void AlignBottoms();
    void CenterVertically();
    void CenterHorizontally();
    void CenterObjectVertically(TKGraphicControl* object);
    void CenterObjectHorizontally(TKGraphicControl* object);
    void BringToFront();
    void SendToBack();
    void BringObjectToFront(TKGraphicControl* object);
    void SendObjectToBack(TKGraphicControl* object);
    void CopySelection();
    void CutSelection();
    void DeleteSelection();
    // Pastes the clipboard file unless the last paste was under 1000 ms ago;
    // the pasted objects (selected afterwards).
    QList<TKGraphicControl*> Paste();
    // An object's own menu: the whole selection when the object is selected,
    // else the object alone.
    void CopyObject(TKGraphicControl* object);
    void CutObject(TKGraphicControl* object);
    void DeleteObject(TKGraphicControl* object);
    TKGraphicControl* CloneObject(TKGraphicControl* object);
    void ToggleObjectLocked(TKGraphicControl* object);
    void MarkObjectUnselectable(TKGraphicControl* object);
    void LockAll();
    void UnlockAll();
    void MarkAllSelectable();
    void MarkAllUnselectable();
    // The font dialog (run like the objects' dialogs) with the panel's font;
    // on OK every selected object takes the chosen font. True when applied.
    bool SelectionFont();

    // ---- popup menus --------------------------------------------------------
    QMenu* PanelPopupMenu() const { return panelMenu_; }
    // The panel menu's entry with this caption (null when none).
    QAction* PanelMenuAction(const QString& caption) const;
    // Enables the panel menu's entries for the current selection and clipboard.
    void UpdatePanelMenu();
    void ShowPanelMenu(const QPoint& globalPos);
    // Every popup (panel or object menu) opens through here; a test may set
    // PopupHook to see which menu would open instead of showing it.
    void ShowMenu(QMenu* menu, const QPoint& globalPos);
    std::function<void(QMenu*, const QPoint&)> PopupHook;
    // Runs a command from a menu or key: a stream error it raises is shown
    // to the user instead of leaving the event handler.
    void RunGuarded(const std::function<void()>& command);
    // Handles a key for the selection; false when the key is not an editing key.
    bool EditingKeyPress(int key, Qt::KeyboardModifiers mods);
    bool EditingKeyRelease(int key, bool autoRepeat);

    // ---- virtual operations -------------------------------------------------
    virtual TKGraphicControl* CreateObjectInRect(const QRect& rect) {
        (void)rect;
        return nullptr;
    }
    virtual void ObjectMouseDown(TKGraphicControl* object, Qt::MouseButton button,
                                 const QPoint& panelPos, Qt::KeyboardModifiers mods = {});
    virtual void RefreshAllData() {}
    virtual void PrintObjects(PrintSurface& surface, double x0, double y0);
    virtual void ClampObjects();
    virtual void RemoveStrayObjects();

    // ---- operations ---------------------------------------------------------
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

    // ---- drawing ------------------------------------------------------------
    // The label's outline and clip shape, covering (0,0) to (Width+1, Height+1).
    QPainterPath ShapePath() const;
    // The background composed off screen: white, label art, outline, grid.
    QImage ComposeBackground() const;
    // The 8 x 8 grid pattern (white with green dots).
    static QImage GridPattern();

    // Mouse handling in panel coordinates (objects route theirs here).
    void PanelMouseDown(Qt::MouseButton button, const QPoint& pos, Qt::KeyboardModifiers mods = {});
    void PanelMouseMove(const QPoint& pos);
    void PanelMouseUp(Qt::MouseButton button, const QPoint& pos, Qt::KeyboardModifiers mods = {});
    bool RubberBanding() const { return rubberBanding_; }
    // The topmost object whose bounds hold the point (null when none).
    TKGraphicControl* ObjectAt(const QPoint& pos) const;
    QRect RubberBand() const { return QRect(bandStart_, bandEnd_).normalized(); }

signals:
    void SelectionRefitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

    // Sets an object's bounds for a new zoom (ratio from its own zoom).
    static void ZoomObject(TKGraphicControl* object, float z);

private:
    void BuildPanelMenu();
    // Runs fn with the objects at their zoom-1 bounds (streams hold those).
    void AtZoomOne(const QList<TKGraphicControl*>& objects, const std::function<void()>& fn);
    // Detaches and destroys an object (safe from its own menu's handler).
    void DestroyObject(TKGraphicControl* object);
    // The objects a command from an object's menu acts on.
    QList<TKGraphicControl*> ObjectOrSelection(TKGraphicControl* object) const;
    void WriteClipboard(const QList<TKGraphicControl*>& objects);

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
    TKHandle* handle_ = nullptr;
    TKSelectionOverlay* overlay_ = nullptr;
    QMenu* panelMenu_ = nullptr;
    bool refitPosted_ = false;
    bool rubberBanding_ = false;
    bool bandSelects_ = false; // a selection band (else a tool's)
    // What the kept background image was composed from.
    struct BackgroundKey {
        QSize size;
        int shape = 0;
        bool outline = false;
        bool grid = false;
        QString pictureKind;
        size_t picture = 0; // hash of the picture file
        QString colorKind;
        size_t colorPicture = 0;
        bool operator==(const BackgroundKey&) const = default;
    };
    BackgroundKey backgroundKey_;
    QImage background_;
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
