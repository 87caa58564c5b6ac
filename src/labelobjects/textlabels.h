// The text label objects: one-line texts, data fields, counters, symbols,
// dates and page numbers, and the multi-line texts and the address block.
#pragma once

#include "labelobjects/classsupport.h"

namespace qb {

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
    void ApplyFont(const TKFont& font) override { font_.Assign(font); }

protected:
    void Dirty() {
        dirty_ = true;
        update();
    }

private:
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

private:
    int dateFormat_ = dtfDateShort;
    int timeFormat_ = dtfTimeNone;
};

class TKPageNumberLabel : public TKBaseLabel {
    QB_STREAMABLE_CLASS
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
        Dirty();
    }
    bool LayoutDirty() const { return dirty_; }
    void ApplyFont(const TKFont& font) override { font_.Assign(font); }

protected:
    void Dirty() {
        dirty_ = true;
        update();
    }

private:
    TKStrings items_;
    bool autoSize_ = false;
    int alignment_ = taLeftJustify;
    TKFont font_;
    bool wordWrap_ = false;
    bool dirty_ = true;
};

class TKMultiLineLabel : public TKMultiLineBaseLabel {
    QB_STREAMABLE_CLASS
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

private:
    int zipOptions_ = zoAfterState;
};

} // namespace qb
