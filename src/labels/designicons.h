// Pictures of the label designer's buttons, drawn at run time so that they
// stay sharp on any screen and need no image files.
#pragma once

#include <QIcon>

namespace qb {

enum class DesignIcon {
    Pointer,
    Text,
    MultiLineText,
    Counter,
    Symbol,
    Rectangle,
    Ellipse,
    RoundRectangle,
    Line,
    ClipArt,
    PostNet,
    DataField,
    MemoField,
    AddressBlock,
    ShowGrid,
    SnapToGrid,
    ShowArt,
    FieldNames,
    FirstRecord,
    PriorRecord,
    NextRecord,
    LastRecord,
};

QIcon DesignButtonIcon(DesignIcon which);

} // namespace qb
