// The text label objects: one-line texts, data fields, counters, symbols,
// dates and page numbers, and the multi-line texts and the address block.
#pragma once

#include "labelobjects/classsupport.h"

#include <QDateTime>
#include <QFont>
#include <QRect>

#include <functional>
#include <optional>

class QAction;
class QFontMetrics;

namespace qb {

class TKDataPanel;

// ---- text helpers shared by the text objects -----------------------------------------------

// The font a text object draws with on screen at `zoom`: the face, style and
// trunc(points x zoom) points, measured in design pixels (kPixelsPerInch).
QFont ScreenFont(const TKFont& font, double zoom = 1.0);

// Breaks `lines` into lines no wider than `width` as `measure` measures them:
// breaks at blanks (which are dropped at the break), and a word wider than
// the width is broken between characters (at least one per line). Every
// input line starts a new line; an empty one stays empty.
QStringList WrapText(const QStringList& lines, int width,
                     const std::function<int(const QString&)>& measure);

// The data panel an object lives on, if any.
TKDataPanel* DataPanelOf(const TKGraphicControl* object);
// The name of the last field of the panel's open data set whose display
// label equals `displayLabel` exactly; empty when none.
QString FieldByDisplayLabel(const TKDataPanel* panel, const QString& displayLabel);

// The options of an address block.
struct AddressOptions {
    bool useName = true, useTitle = true, useCompany = true, useStreet = true, useStreet2 = true,
         useCityState = true, useZip = true, usePhone = false, useCountry = true, upperCase = false;
    int zipOptions = zoAfterState;
};
// Composes the address lines of a record. `field` gives a field's text
// (trailing blanks removed) or nothing when the data set has no such field;
// a missing field ends the composition with the lines made so far.
QStringList ComposeAddress(const AddressOptions& options,
                           const std::function<std::optional<QString>(const QString&)>& field);

// ---- one-line text ------------------------------------------------------------------------
class TKBaseLabel : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    TKBaseLabel();

    int Alignment() const { return alignment_; }
    void SetAlignment(int v);
    int DepthHighlight() const { return depthHighlight_; }
    void SetDepthHighlight(int v) {
        depthHighlight_ = v;
        Dirty();
    }
    int DepthShadow() const { return depthShadow_; }
    void SetDepthShadow(int v) {
        depthShadow_ = v;
        Dirty();
    }
    int DirectionHighlight() const { return directionHighlight_; }
    void SetDirectionHighlight(int v) {
        directionHighlight_ = v;
        Dirty();
    }
    int DirectionShadow() const { return directionShadow_; }
    void SetDirectionShadow(int v) {
        directionShadow_ = v;
        Dirty();
    }
    int32_t ColorHighlight() const { return colorHighlight_; }
    void SetColorHighlight(int32_t v) {
        colorHighlight_ = v;
        update();
    }
    int32_t ColorShadow() const { return colorShadow_; }
    void SetColorShadow(int32_t v) {
        colorShadow_ = v;
        update();
    }
    int Angle() const { return angle_; }
    // 0, 90, 180 or 270; other values are ignored.
    void SetAngle(int v);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& v);
    TKFont* Font() { return &font_; }
    const TKFont& FontRef() const { return font_; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    int32_t BackColor() const { return backColor_; }
    void SetBackColor(int32_t v);

    bool LayoutDirty() const { return dirty_; }
    void ApplyFont(const TKFont& font) override;

    // The laid-out text: face (T), shadow (S) and highlight (H) rectangles in
    // object pixels, with the point each copy of the text starts from.
    struct Layout {
        QRect face, shadow, highlight; // left, top, right, bottom as laid out
        QPoint faceOrigin, shadowOrigin, highlightOrigin;
        int textWidth = 0; // caption and one blank
        int lineHeight = 0;
    };
    // Lays the text out when marked dirty (may fit the box); the result.
    const Layout& DoLayout();
    // Shadow and highlight offsets from direction and depth.
    QPoint ShadowOffset() const;
    QPoint HighlightOffset() const;
    // Widens and heightens an unrotated label to hold its caption.
    void GrowToFit();

    void BoundsChanged() override;
    void UpdateMenuChecks() override;
    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    // The font dialog for this object.
    virtual void EditFont();
    // The "Text 3D Effects" dialog.
    void Edit3DEffects();
    void EditBackColor();

protected:
    void Dirty() {
        dirty_ = true;
        update();
    }
    void AddMenuItems(QMenu& menu) override;
    void AddRotationMenu(QMenu& menu);
    // The caption as drawn on screen (the counter shows its current value).
    virtual QString ShownCaption() const { return caption_; }
    // Whether laying out fits the box to the text (the symbol sizes itself
    // to its glyph instead; both rules together would fight on every paint).
    virtual bool FitsBoxToText() const { return true; }
    // Sets the caption without telling the panel (captions made while
    // painting or printing are no change of the layout).
    void SetCaptionQuietly(const QString& v) {
        if (v == caption_)
            return;
        caption_ = v;
        dirty_ = true;
    }

private:
    QRect FaceRect(const Layout& l, int which) const;
    QList<QAction*> alignItems_;
    QList<QAction*> rotationItems_;
    QAction* transparentItem_ = nullptr;
    Layout layout_;
    int alignment_ = taLeftJustify;
    int depthHighlight_ = 0;
    int depthShadow_ = 0;
    int directionHighlight_ = hdUpLeft;
    int directionShadow_ = sdDownRight;
    int32_t colorHighlight_ = 0xFFFF00;
    int32_t colorShadow_ = 0x808080;
    int angle_ = 0;
    QString caption_ = QStringLiteral("Text");
    TKFont font_;
    bool transparent_ = true;
    int32_t backColor_ = 0xFFFFFF;
    bool dirty_ = true;
};

class TKPLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    // The "Text" dialog; on OK the caption takes the text and the label grows.
    virtual void EditText();
    void EditAfterPlacing() override { EditText(); }

protected:
    void AddMenuItems(QMenu& menu) override;
};

class TKPDLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    QString DataFieldName() const { return dataFieldName_; }
    void SetDataFieldName(const QString& v) {
        dataFieldName_ = v;
        Dirty();
    }
    QString DataFieldDescript() const { return dataFieldDescript_; }
    void SetDataFieldDescript(const QString& v) {
        dataFieldDescript_ = v;
        Dirty();
    }
    int LengthOfText() const { return lengthOfText_; }
    void SetLengthOfText(int v) { lengthOfText_ = v; }

    void RefreshData() override;
    void ClearData() override {
        SetCaptionQuietly(QString());
        update();
    }
    // The "Select Field" dialog.
    void EditField();
    void EditAfterPlacing() override { EditField(); }

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    QString dataFieldName_;
    QString dataFieldDescript_;
    int lengthOfText_ = 0;
};

class TKCounterLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    TKCounterLabel();
    QString TextBefore() const { return textBefore_; }
    void SetTextBefore(const QString& v) {
        textBefore_ = v;
        UpdateCaption();
    }
    QString TextAfter() const { return textAfter_; }
    void SetTextAfter(const QString& v) {
        textAfter_ = v;
        UpdateCaption();
    }
    int Startingnumber() const { return startingNumber_; }
    // A different starting number resets the counter.
    void SetStartingnumber(int v);
    int RepeatEach() const { return repeatEach_; }
    void SetRepeatEach(int v) { repeatEach_ = v; }
    int Value() const { return value_; }
    void AdvanceCounter() override;
    void ResetCounter() override;
    void Paint(QPainter& painter) override;
    // The "Counter" dialog.
    void EditCounter();
    // What OK in the counter dialog does.
    void ApplyCounterSettings(int start, int repeatEach, const QString& before,
                              const QString& after);

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    void UpdateCaption();
    QString textBefore_;
    QString textAfter_;
    int startingNumber_ = 1;
    int repeatEach_ = 1;
    int value_ = 1;
    int repeatCount_ = 0;
};

class TKSymbolLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    TKSymbolLabel();
    void ApplyFont(const TKFont&) override {}
    void BoundsChanged() override;
    // The "Symbol Selector" dialog.
    void EditSymbol();
    void EditAfterPlacing() override { EditSymbol(); }
    // Sizes the object to 110 % of its glyph.
    void FitToGlyph();

protected:
    bool FitsBoxToText() const override { return false; }
    void AddMenuItems(QMenu& menu) override;
};

class TKDateTimeLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    int DateFormat() const { return dateFormat_; }
    void SetDateFormat(int v) {
        dateFormat_ = v;
        Dirty();
    }
    int TimeFormat() const { return timeFormat_; }
    void SetTimeFormat(int v) {
        timeFormat_ = v;
        Dirty();
    }
    // The caption for a moment: the date in the chosen form, then a blank and
    // the time when a time format is chosen.
    QString TextFor(const QDateTime& moment) const;
    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void UpdateMenuChecks() override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    QList<QAction*> dateItems_;
    QList<QAction*> timeItems_;
    int dateFormat_ = dtfDateShort;
    int timeFormat_ = dtfTimeNone;
};

class TKPageNumberLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
public:
    // "##" in the designer, the page number on paper.
    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
};

// ---- multi-line text --------------------------------------------------------------------------
class TKMultiLineBaseLabel : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    TKMultiLineBaseLabel();
    TKStrings* Items() { return &items_; }
    const TKStrings& ItemsRef() const { return items_; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v) { autoSize_ = v; }
    int Alignment() const { return alignment_; }
    void SetAlignment(int v) {
        alignment_ = v;
        Dirty();
        NotifyChange();
    }
    TKFont* Font() { return &font_; }
    const TKFont& FontRef() const { return font_; }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v) {
        wordWrap_ = v;
        if (v && !Loading())
            wrapped_ = WrapToWidth(items_.Lines());
        Dirty();
    }
    void Loaded() override;
    bool LayoutDirty() const { return dirty_; }
    void ApplyFont(const TKFont& font) override;

    // The lines painted and printed: the wrapped lines when WordWrap is on.
    QStringList Lines() const { return wordWrap_ ? wrapped_ : items_.Lines(); }
    QStringList WrappedLines() const { return wrapped_; }
    // Recomputes the wrapped lines (the memo object reads its memo again).
    virtual void Rewrap();
    // Height to the lines, width at least the widest line.
    void FitToText();
    // Lines of `text` broken at the object's width in its zoomed font.
    QStringList WrapToWidth(const QStringList& lines) const;
    // The line height on screen: the text height of "XXX".
    int LineHeight() const;

    void BoundsChanged() override;
    void UpdateMenuChecks() override;
    void Paint(QPainter& painter) override;
    void PrintTo(PrintSurface& surface, double x0, double y0) override;
    void EditFont();

protected:
    void Dirty() {
        dirty_ = true;
        update();
    }
    void AddMenuItems(QMenu& menu) override;
    void AddWordWrapItem(QMenu& menu);
    // The placeholder shown on screen for no lines ("<blank>").
    virtual QString BlankText() const { return QStringLiteral("<blank>"); }
    void SetWrapped(const QStringList& lines) { wrapped_ = lines; }

private:
    QList<QAction*> alignItems_;
    QAction* wrapItem_ = nullptr;
    QStringList wrapped_;
    TKStrings items_;
    bool autoSize_ = false;
    int alignment_ = taLeftJustify;
    TKFont font_;
    bool wordWrap_ = false;
    bool dirty_ = true;
};

class TKMultiLineLabel : public TKMultiLineBaseLabel {
    QB_STREAMABLE_CLASS
public:
    // The "Multi-line Text Editor"; on OK the lines are taken and the object
    // fits itself to them.
    void EditText();
    void EditAfterPlacing() override;

protected:
    void AddMenuItems(QMenu& menu) override;
};

class TKDMultiLineLabel : public TKMultiLineBaseLabel {
    QB_STREAMABLE_CLASS
public:
    QString DataFieldName() const { return dataFieldName_; }
    void SetDataFieldName(const QString& v) {
        dataFieldName_ = v;
        Dirty();
    }
    QString DataFieldDescript() const { return dataFieldDescript_; }
    void SetDataFieldDescript(const QString& v) {
        dataFieldDescript_ = v;
        Dirty();
    }
    void RefreshData() override;
    void ClearData() override;
    void Rewrap() override { RefreshData(); }
    // A memo placed by its tool fits itself to the memo it shows.
    void EditAfterPlacing() override { FitToText(); }
    // The memo field chooser.
    void EditField();

protected:
    void AddMenuItems(QMenu& menu) override;
    QString BlankText() const override { return QStringLiteral("<blank memo>"); }

private:
    QString dataFieldName_;
    QString dataFieldDescript_;
};

class TKDMultiLineAddressLabel : public TKMultiLineBaseLabel {
    QB_STREAMABLE_CLASS
public:
#define QB_BOOL_OPTION(Name, member, init)                                                         \
public:                                                                                            \
    bool Name() const {                                                                            \
        return member;                                                                             \
    }                                                                                              \
    void Set##Name(bool v) {                                                                       \
        member = v;                                                                                \
        Dirty();                                                                                   \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    bool member = init;
    QB_BOOL_OPTION(UseName, useName_, true)
    QB_BOOL_OPTION(UseTitle, useTitle_, true)
    QB_BOOL_OPTION(UseCompany, useCompany_, true)
    QB_BOOL_OPTION(UseStreet, useStreet_, true)
    QB_BOOL_OPTION(UseStreet2, useStreet2_, true)
    QB_BOOL_OPTION(UseCityState, useCityState_, true)
    QB_BOOL_OPTION(UseZip, useZip_, true)
    QB_BOOL_OPTION(UsePhone, usePhone_, false)
    QB_BOOL_OPTION(UseCountry, useCountry_, true)
    QB_BOOL_OPTION(UpperCase, upperCase_, false)
#undef QB_BOOL_OPTION
public:
    int ZipOptions() const {
        return zipOptions_;
    }
    void SetZipOptions(int v) {
        zipOptions_ = v;
        Dirty();
    }
    AddressOptions Options() const;
    void SetOptions(const AddressOptions& o);
    void RefreshData() override;
    void ClearData() override;
    // The "Address Label Layout" dialog.
    void EditLayout();
    void EditAfterPlacing() override;

protected:
    void AddMenuItems(QMenu& menu) override;

private:
    int zipOptions_ = zoAfterState;
};

} // namespace qb
