// The postal bar code label objects.
#pragma once

#include "labelobjects/classsupport.h"

namespace qb {

// ---- postal bar codes ---------------------------------------------------------------------------
class TKPostNetBarCode : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    QString ZipCodeField() const { return zipCodeField_; }
    void SetZipCodeField(const QString& v) {
        zipCodeField_ = v;
        update();
    }
    QString AddressField() const { return addressField_; }
    void SetAddressField(const QString& v) {
        addressField_ = v;
        update();
    }
    int BarCodeType() const { return barCodeType_; }
    void SetBarCodeType(int v) {
        barCodeType_ = v;
        update();
    }

private:
    QString zipCodeField_;
    QString addressField_;
    int barCodeType_ = pnbc11Digit;
};

class TKFIMBarCode : public TKGraphicControl {
    QB_STREAMABLE_CLASS
public:
    int FIMType() const { return fimType_; }
    void SetFIMType(int v) {
        fimType_ = v;
        update();
    }

private:
    int fimType_ = fimTypeA;
};

} // namespace qb
