// The label design window: the objects of one label definition are composed
// on a label panel the size of one label, previewed with the records of the
// open address file, the stock can be changed, and the result saved.
//
// Entry point for the label list window ("Modify" and "New"):
//
//     LabelDefinition def = ...;          // working copy; def.isNew for "New"
//     def.binary = ...;                   // layout file name in sysdata/
//     if (TLabelDesignScreen::Edit(def, addresses, this)) {
//         // def holds the edited fields and the layout file has been
//         // written to sysdata/ + def.binary: store the record now.
//     }
//
// Edit() loads the layout file (a missing one starts an empty layout; a
// new label gets an address block), runs the window through RunModal (tests
// drive it from a ModalScript) and, on "Save",
// writes the panel to the layout file and returns true. It returns false on
// "Cancel", for an unsafe layout file name (after the message) and when the
// layout file cannot be read or written (after the message); the definition
// is then left as it was.
//
// The window itself can also be built and driven directly (tests, other
// callers): every button has a public handler and the state the buttons
// show can be read back.
#pragma once

#include "labels/labeldefinition.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace qb {

class TableDataset;
class TKFont;
class TKGraphicControl;
class TKLabelPanel;

class TLabelDesignScreen : public QDialog {
    Q_OBJECT
public:
    // Runs the designer on `def` (see above).
    static bool Edit(LabelDefinition& def, TableDataset* addresses, QWidget* parent = nullptr);

    // The window on a working copy of `def`; `addresses` is the open address
    // file (may be null: the panel then shows field names and the record
    // buttons are disabled).
    TLabelDesignScreen(const LabelDefinition& def, TableDataset* addresses,
                       QWidget* parent = nullptr);
    ~TLabelDesignScreen() override;

    // "Change Layout" asks for the new stock through this routine: it edits
    // the definition and returns true on OK. By default the layout choice,
    // then the template list or the user-defined geometry dialog.
    using LayoutChooser = std::function<bool(LabelDefinition& def, QWidget* parent)>;
    void SetLayoutChooser(LayoutChooser chooser) { layoutChooser_ = std::move(chooser); }

    // Loads the objects of a layout file (a missing file leaves the panel
    // empty). Reading errors are passed on.
    void LoadLayout(const QString& path);
    // Writes the panel's objects (at zoom 1) to a layout file; errors are
    // passed on.
    void SaveLayout(const QString& path);
    // When set, "Save" writes the layout there before closing; a failure is
    // told and the window stays open.
    void SetLayoutPath(const QString& path) { layoutPath_ = path; }
    QString LayoutPath() const { return layoutPath_; }

    // ---- state ----------------------------------------------------------------------
    const LabelDefinition& Definition() const { return def_; }
    TKLabelPanel* Panel() const { return panel_; }
    bool Activated() const { return activated_; }
    // The zoom in tenths (4 ... 16) and as the panel holds it.
    int ZoomTenths() const { return zoomTenths_; }
    float Zoom() const;
    QString ZoomCaption() const;
    bool SaveVisible() const;
    QString LayoutCaption() const;
    QString DefaultFontCaption() const;
    QString LeftCaption() const;
    QString TopCaption() const;
    QString DescriptionText() const;
    void SetDescriptionText(const QString& text); // as if typed
    bool ArtEnabled() const;
    bool ArtShown() const;
    // The tool button of a panel state (psPointing ... psPostNetBarCode).
    QAbstractButton* ToolButton(int state) const;
    int CurrentTool() const;
    QAbstractButton* ShowGridButton() const;
    QAbstractButton* SnapButton() const;
    QAbstractButton* ArtButton() const;
    QAbstractButton* FieldNamesButton() const;
    QAbstractButton* SaveButton() const;

    // The monochrome label-art picture drawn light grey on white at `size`
    // (empty image when `art` names no known picture).
    static QImage ArtImage(const QString& art, const QSize& size);

public slots:
    // First showing: size the panel to the stock, art, change hook and, for a
    // new label, the address block and its message. Runs once.
    void FormActivate();
    // A tool button: the panel's state for `state` (the POSTNET tool is
    // refused on a label narrower than 2.85 inches).
    void SelectTool(int state);
    void ShowGridClick(bool down);
    void SnapToGridClick(bool down);
    void ShowArtClick(bool down);
    // Down: field names instead of values.
    void FieldNamesClick(bool down);
    void ZoomUpClick();
    void ZoomDownClick();
    void DefaultFontClick();
    // Makes `font` the panel's font for new text objects.
    void SetDefaultFont(const TKFont& font);
    void FirstRecordClick();
    void PriorRecordClick();
    void NextRecordClick();
    void LastRecordClick();
    void ChangeLayoutClick();
    void SaveClick();
    void CancelClick();
    void HelpClick();
    // The mouse is over the panel at `pos` (panel pixels).
    void PanelMouseMoved(const QPoint& pos);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    // Panel size and shape from the working copy, keeping the zoom.
    void SizePanelToStock();
    void KeepPlacedObjectVisible(TKGraphicControl* object);
    void UpdateArt();
    void UpdateLayoutCaption();
    void UpdateFontCaption();
    void ApplyZoom(int tenths);
    void RevealSave();
    void AfterRecordMove(bool first);
    // Moves the address table (nothing without one) and refreshes the label.
    void MoveRecord(bool (TableDataset::*move)(), bool first);
    // Hands a key to the panel once (a key it leaves unused comes back).
    void ForwardKeyToPanel(QKeyEvent* event);
    void UpdateRecordButtons();
    void WatchObject(QObject* object);
    // Page Up/Down, Home/End on the scroll box; true when handled.
    bool ScrollKey(int key);
    // Keypad plus/minus on release; true when handled.
    bool ZoomKey(const QKeyEvent* event);
    bool DescriptionHasFocus() const;

    LabelDefinition def_;
    QPointer<TableDataset> addresses_;
    bool activated_ = false;
    bool suppressChanges_ = false; // while zooming
    bool forwarding_ = false;      // a key is on its way to the panel
    int shapeCode_ = 0;
    int zoomTenths_ = 10;
    QSize baseSize_{264, 265}; // the panel at zoom 1
    LayoutChooser layoutChooser_;
    QString layoutPath_;

    TKLabelPanel* panel_ = nullptr;
    QScrollArea* scrollBox_ = nullptr;
    QButtonGroup* tools_ = nullptr;
    QToolButton* showGrid_ = nullptr;
    QToolButton* snap_ = nullptr;
    QToolButton* art_ = nullptr;
    QToolButton* fieldNames_ = nullptr;
    QToolButton* zoomUp_ = nullptr;
    QToolButton* zoomDown_ = nullptr;
    QLabel* zoomCaption_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLabel* layoutCaption_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    QLabel* leftCaption_ = nullptr;
    QLabel* topCaption_ = nullptr;
    QToolButton* first_ = nullptr;
    QToolButton* prior_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* last_ = nullptr;
    QPushButton* changeLayout_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
    QFontDialog* fontDialog_ = nullptr;
};

} // namespace qb
