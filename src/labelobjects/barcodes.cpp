#include "labelobjects/barcodes.h"

#include <utility>

namespace qb {

// ---- postal
// -------------------------------------------------------------------------------------------

const ClassInfo& TKPostNetBarCode::StaticInfo() {
    using T = TKPostNetBarCode;
    static const ClassInfo info =
        MakeInfo("TKPostNetBarCode", &TKGraphicControl::StaticInfo(),
                 {
                     StringProp<T>("ZipCodeField", &T::ZipCodeField, &T::SetZipCodeField),
                     StringProp<T>("AddressField", &T::AddressField, &T::SetAddressField),
                     EnumProp<T>("BarCodeType", {"pnbc5Digit", "pnbc9Digit", "pnbc11Digit"},
                                 &T::BarCodeType, &T::SetBarCodeType),
                 },
                 Factory<T>());
    return info;
}

const ClassInfo& TKFIMBarCode::StaticInfo() {
    using T = TKFIMBarCode;
    static const ClassInfo info =
        MakeInfo("TKFIMBarCode", &TKGraphicControl::StaticInfo(),
                 {
                     EnumProp<T>("FIMType", {"fimTypeA", "fimTypeB", "fimTypeC"}, &T::FIMType,
                                 &T::SetFIMType, fimTypeA),
                 },
                 Factory<T>());
    return info;
}

} // namespace qb
