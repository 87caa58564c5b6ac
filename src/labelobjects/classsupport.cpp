#include "labelobjects/classsupport.h"

#include <utility>

namespace qb {

ClassInfo MakeInfo(const char* name, const ClassInfo* base, std::vector<PropertyDef> props,
                   std::function<TKGraphicControl*()> create) {
    ClassInfo c;
    c.name = QString::fromLatin1(name);
    c.base = base;
    c.own.props = std::move(props);
    c.create = std::move(create);
    return c;
}

const QStringList& AlignmentNames() {
    static const QStringList names{"taLeftJustify", "taRightJustify", "taCenter"};
    return names;
}

} // namespace qb
