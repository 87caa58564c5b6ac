#include "labelobjects/textlabels.h"

#include <utility>

namespace qb {

// ---- TKBaseLabel ------------------------------------------------------------------------

TKBaseLabel::TKBaseLabel() {
    SetBounds(0, 0, 142, 33);
    font_.OnChange = [this] {
        Dirty();
        NotifyChange();
    };
}

void TKBaseLabel::SetAlignment(int v) {
    alignment_ = v;
    Dirty();
    NotifyChange();
}

void TKBaseLabel::SetAngle(int v) {
    if (v != 0 && v != 90 && v != 180 && v != 270)
        return;
    angle_ = v;
    if (v != 0)
        alignment_ = taLeftJustify;
    if (!Loading()) {
        const bool upright = v == 90 || v == 270;
        if ((upright && Width() > Height()) || (!upright && Height() > Width()))
            SetBounds(Left(), Top(), Height(), Width());
    }
    Dirty();
}

void TKBaseLabel::SetCaption(const QString& v) {
    if (v == caption_)
        return;
    caption_ = v;
    Dirty();
    NotifyChange();
}

void TKBaseLabel::SetTransparent(bool v) {
    transparent_ = v;
    NotifyChange();
    update();
}

void TKBaseLabel::SetBackColor(int32_t v) {
    backColor_ = v;
    NotifyChange();
    update();
}

const ClassInfo& TKBaseLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKBaseLabel", &TKGraphicControl::StaticInfo(),
        {
            EnumProp<TKBaseLabel>("Alignment", AlignmentNames(), &TKBaseLabel::Alignment,
                                  &TKBaseLabel::SetAlignment, taLeftJustify),
            IntProp<TKBaseLabel, int>("DepthHighlight", &TKBaseLabel::DepthHighlight,
                                      &TKBaseLabel::SetDepthHighlight, 0),
            IntProp<TKBaseLabel, int>("DepthShadow", &TKBaseLabel::DepthShadow,
                                      &TKBaseLabel::SetDepthShadow, 0),
            EnumProp<TKBaseLabel>("DirectionHighlight",
                                  {"hdNone", "hdright", "hdLeft", "hdUpRight", "hdUpLeft", "hdUp"},
                                  &TKBaseLabel::DirectionHighlight,
                                  &TKBaseLabel::SetDirectionHighlight, hdUpLeft),
            EnumProp<TKBaseLabel>(
                "DirectionShadow",
                {"sdNone", "sdRight", "sdLeft", "sdDownRight", "sdDownLeft", "sdDown"},
                &TKBaseLabel::DirectionShadow, &TKBaseLabel::SetDirectionShadow, sdDownRight),
            ColorProp<TKBaseLabel>("colorHighlight", &TKBaseLabel::ColorHighlight,
                                   &TKBaseLabel::SetColorHighlight, 0xFFFF00),
            ColorProp<TKBaseLabel>("colorShadow", &TKBaseLabel::ColorShadow,
                                   &TKBaseLabel::SetColorShadow, 0x808080),
            IntProp<TKBaseLabel, int>("Angle", &TKBaseLabel::Angle, &TKBaseLabel::SetAngle, 0),
            StringProp<TKBaseLabel>("Caption", &TKBaseLabel::Caption, &TKBaseLabel::SetCaption),
            ObjectProp<TKBaseLabel, TKFont>("Font", &TKBaseLabel::Font, TKFont::Table()),
            BoolProp<TKBaseLabel>("Transparent", &TKBaseLabel::Transparent,
                                  &TKBaseLabel::SetTransparent),
            ColorProp<TKBaseLabel>("BackColor", &TKBaseLabel::BackColor,
                                   &TKBaseLabel::SetBackColor),
        },
        nullptr);
    return info;
}

const ClassInfo& TKPLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKPLabel>());
    return info;
}

const ClassInfo& TKPDLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPDLabel", &TKBaseLabel::StaticInfo(),
                 {
                     StringProp<TKPDLabel>("DataFieldName", &TKPDLabel::DataFieldName,
                                           &TKPDLabel::SetDataFieldName),
                     StringProp<TKPDLabel>("DataFieldDescript", &TKPDLabel::DataFieldDescript,
                                           &TKPDLabel::SetDataFieldDescript),
                     IntProp<TKPDLabel, int>("LengthOfText", &TKPDLabel::LengthOfText,
                                             &TKPDLabel::SetLengthOfText),
                 },
                 Factory<TKPDLabel>());
    return info;
}

// ---- TKCounterLabel ----------------------------------------------------------------------------

TKCounterLabel::TKCounterLabel() {
    UpdateCaption();
}

void TKCounterLabel::SetStartingnumber(int v) {
    if (v == startingNumber_)
        return;
    startingNumber_ = v;
    ResetCounter();
}

void TKCounterLabel::ResetCounter() {
    value_ = startingNumber_;
    repeatCount_ = 0;
    UpdateCaption();
}

void TKCounterLabel::AdvanceCounter() {
    ++repeatCount_;
    if (repeatCount_ == repeatEach_) {
        ++value_;
        repeatCount_ = 0;
        UpdateCaption();
    }
}

void TKCounterLabel::UpdateCaption() {
    SetCaption(textBefore_ + QString::number(value_) + textAfter_);
}

const ClassInfo& TKCounterLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKCounterLabel", &TKBaseLabel::StaticInfo(),
                 {
                     StringProp<TKCounterLabel>("TextBefore", &TKCounterLabel::TextBefore,
                                                &TKCounterLabel::SetTextBefore),
                     StringProp<TKCounterLabel>("TextAfter", &TKCounterLabel::TextAfter,
                                                &TKCounterLabel::SetTextAfter),
                     IntProp<TKCounterLabel, int>("Startingnumber", &TKCounterLabel::Startingnumber,
                                                  &TKCounterLabel::SetStartingnumber),
                     IntProp<TKCounterLabel, int>("RepeatEach", &TKCounterLabel::RepeatEach,
                                                  &TKCounterLabel::SetRepeatEach),
                 },
                 Factory<TKCounterLabel>());
    return info;
}

TKSymbolLabel::TKSymbolLabel() {
    Font()->SetName(QStringLiteral("WingDings"));
    Font()->SetSize(24);
    SetCaption(QStringLiteral("["));
}

const ClassInfo& TKSymbolLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKSymbolLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKSymbolLabel>());
    return info;
}

const ClassInfo& TKDateTimeLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKDateTimeLabel", &TKBaseLabel::StaticInfo(),
        {
            EnumProp<TKDateTimeLabel>("DateFormat", {"dtfDateNone", "dtfDateShort", "dtfDateLong"},
                                      &TKDateTimeLabel::DateFormat, &TKDateTimeLabel::SetDateFormat,
                                      dtfDateShort),
            EnumProp<TKDateTimeLabel>("TimeFormat", {"dtfTimeNone", "dtfTimeShort", "dtfTimeLong"},
                                      &TKDateTimeLabel::TimeFormat, &TKDateTimeLabel::SetTimeFormat,
                                      dtfTimeNone),
        },
        Factory<TKDateTimeLabel>());
    return info;
}

const ClassInfo& TKPageNumberLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPageNumberLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKPageNumberLabel>());
    return info;
}

// ---- multi-line
// ------------------------------------------------------------------------------------

TKMultiLineBaseLabel::TKMultiLineBaseLabel() {
    SetBounds(0, 0, 190, 33);
    font_.OnChange = [this] {
        Dirty();
        NotifyChange();
    };
    items_.OnChange = [this] { Dirty(); };
}

const ClassInfo& TKMultiLineBaseLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKMultiLineBaseLabel", &TKGraphicControl::StaticInfo(),
        {
            ObjectProp<TKMultiLineBaseLabel, TKStrings>("Items", &TKMultiLineBaseLabel::Items,
                                                        TKStrings::Table()),
            BoolProp<TKMultiLineBaseLabel>("AutoSize", &TKMultiLineBaseLabel::AutoSize,
                                           &TKMultiLineBaseLabel::SetAutoSize),
            EnumProp<TKMultiLineBaseLabel>("Alignment", AlignmentNames(),
                                           &TKMultiLineBaseLabel::Alignment,
                                           &TKMultiLineBaseLabel::SetAlignment, taLeftJustify),
            ObjectProp<TKMultiLineBaseLabel, TKFont>("Font", &TKMultiLineBaseLabel::Font,
                                                     TKFont::Table()),
            BoolProp<TKMultiLineBaseLabel>("WordWrap", &TKMultiLineBaseLabel::WordWrap,
                                           &TKMultiLineBaseLabel::SetWordWrap, false),
        },
        nullptr);
    return info;
}

const ClassInfo& TKMultiLineLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo("TKMultiLineLabel", &TKMultiLineBaseLabel::StaticInfo(),
                                           {}, Factory<TKMultiLineLabel>());
    return info;
}

const ClassInfo& TKDMultiLineLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKDMultiLineLabel", &TKMultiLineBaseLabel::StaticInfo(),
        {
            StringProp<TKDMultiLineLabel>("DataFieldName", &TKDMultiLineLabel::DataFieldName,
                                          &TKDMultiLineLabel::SetDataFieldName),
            StringProp<TKDMultiLineLabel>("DataFieldDescript",
                                          &TKDMultiLineLabel::DataFieldDescript,
                                          &TKDMultiLineLabel::SetDataFieldDescript),
        },
        Factory<TKDMultiLineLabel>());
    return info;
}

const ClassInfo& TKDMultiLineAddressLabel::StaticInfo() {
    using T = TKDMultiLineAddressLabel;
    static const ClassInfo info = MakeInfo(
        "TKDMultiLineAddressLabel", &TKMultiLineBaseLabel::StaticInfo(),
        {
            BoolProp<T>("UseName", &T::UseName, &T::SetUseName),
            BoolProp<T>("UseTitle", &T::UseTitle, &T::SetUseTitle),
            BoolProp<T>("UseCompany", &T::UseCompany, &T::SetUseCompany),
            BoolProp<T>("UseStreet", &T::UseStreet, &T::SetUseStreet),
            BoolProp<T>("UseStreet2", &T::UseStreet2, &T::SetUseStreet2),
            BoolProp<T>("UseCityState", &T::UseCityState, &T::SetUseCityState),
            BoolProp<T>("UseZip", &T::UseZip, &T::SetUseZip),
            BoolProp<T>("UsePhone", &T::UsePhone, &T::SetUsePhone),
            BoolProp<T>("UseCountry", &T::UseCountry, &T::SetUseCountry),
            EnumProp<T>("ZipOptions",
                        {"zoAfterState", "zoBeforeCity", "zoAfterCountry", "zoBeforeCountry"},
                        &T::ZipOptions, &T::SetZipOptions),
            BoolProp<T>("UpperCase", &T::UpperCase, &T::SetUpperCase),
        },
        Factory<T>());
    return info;
}

} // namespace qb
