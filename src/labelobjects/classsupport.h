// Shared pieces of the label object classes: the streamable-class macro,
// the enumerations their properties use, and the class-description helper.
#pragma once

#include "labelobjects/graphiccontrol.h"

#include <QStringList>

namespace qb {

#define QB_STREAMABLE_CLASS                                                                        \
public:                                                                                            \
    static const ClassInfo& StaticInfo();                                                          \
    const ClassInfo& Info() const override {                                                       \
        return StaticInfo();                                                                       \
    }                                                                                              \
                                                                                                   \
private:

enum TAlignmentId { taLeftJustify, taRightJustify, taCenter };
enum THighlightDirection { hdNone, hdright, hdLeft, hdUpRight, hdUpLeft, hdUp };
enum TShadowDirection { sdNone, sdRight, sdLeft, sdDownRight, sdDownLeft, sdDown };
enum TLineStyle { stHorizontal, stVertical, stAngleSlopingUp, stAngleSlopingDown };
enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
enum TZipFormatOptions { zoAfterState, zoBeforeCity, zoAfterCountry, zoBeforeCountry };
enum TPostNetBarCodeType { pnbc5Digit, pnbc9Digit, pnbc11Digit };
enum TFIMBarCodeType { fimTypeA, fimTypeB, fimTypeC };
enum TDateFormatId { dtfDateNone, dtfDateShort, dtfDateLong };
enum TTimeFormatId { dtfTimeNone, dtfTimeShort, dtfTimeLong };

// Builds the description of one class from its own properties in stream order.
ClassInfo MakeInfo(const char* name, const ClassInfo* base, std::vector<PropertyDef> props,
                   std::function<TKGraphicControl*()> create);

// "taLeftJustify", "taRightJustify", "taCenter".
const QStringList& AlignmentNames();

} // namespace qb
