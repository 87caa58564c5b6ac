// Helpers for the label object tests: a byte builder for expected streams and
// a test object class with a float and an event property.
#pragma once

#include "labelobjects/graphiccontrol.h"
#include "labelobjects/labelclasses.h"
#include "labelobjects/layoutstream.h"
#include "labelobjects/panels.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

namespace qbtest {

class Bytes {
public:
    Bytes& b(std::initializer_list<int> bytes) {
        for (int x : bytes)
            data.append(char(uint8_t(x)));
        return *this;
    }
    Bytes& raw(const QByteArray& bytes) {
        data.append(bytes);
        return *this;
    }
    // A short string: length byte and text.
    Bytes& ss(const char* text) {
        const QByteArray t(text);
        data.append(char(uint8_t(t.size())));
        data.append(t);
        return *this;
    }
    Bytes& prop(const char* name) { return ss(name); }
    Bytes& i8(int v) { return b({0x02, v & 0xFF}); }
    Bytes& i16(int v) { return b({0x03, v & 0xFF, (v >> 8) & 0xFF}); }
    Bytes& str(const char* text) { return b({0x06}).ss(text); }
    Bytes& ident(const char* text) { return b({0x07}).ss(text); }
    Bytes& record(const char* cls, const char* name) { return raw("TPF0").ss(cls).ss(name); }
    QByteArray data;
};

// An object class with a float and an event property (no label class has
// them, but the stream carries both).
class TestGauge : public qb::TKGraphicControl {
public:
    static const qb::ClassInfo& StaticInfo() {
        static const qb::ClassInfo info = [] {
            qb::ClassInfo c;
            c.name = QStringLiteral("TTestGauge");
            c.base = &qb::TKGraphicControl::StaticInfo();
            c.own.props = {
                qb::FloatProp<TestGauge>("Ratio", &TestGauge::Ratio, &TestGauge::SetRatio),
                qb::StringProp<TestGauge>("OnChanged", &TestGauge::OnChanged,
                                          &TestGauge::SetOnChanged, qb::PropKind::Event),
            };
            c.create = qb::Factory<TestGauge>();
            return c;
        }();
        return info;
    }
    const qb::ClassInfo& Info() const override { return StaticInfo(); }
    double Ratio() const { return ratio; }
    void SetRatio(double v) { ratio = v; }
    QString OnChanged() const { return handler; }
    void SetOnChanged(const QString& v) { handler = v; }
    double ratio = 0.0;
    QString handler;
};

using namespace qb; // the object classes below

// One object of every label class with settings away from the defaults.
inline void FillPanel(TKBasePanel& panel) {
    auto add = [&](TKGraphicControl* o, const QRect& r) {
        o->setParent(&panel);
        o->setObjectName(QStringLiteral("Component%1").arg(panel.Objects().size() - 1));
        o->SetBounds(r.x(), r.y(), r.width(), r.height());
        return o;
    };
    auto* l = new qb::TKPLabel;
    add(l, {1, 2, 100, 20});
    l->SetCaption(QString(300, QLatin1Char('L')));
    l->SetDepthShadow(2);
    l->SetDirectionShadow(sdDown);
    l->SetBackColor(0x8000000F);
    l->SetTransparent(false);
    auto* d = new TKPDLabel;
    add(d, {3, 40, 120, 20});
    d->SetDataFieldName("LNAME");
    d->SetDataFieldDescript("Last Name");
    d->Font()->SetSize(14);
    d->Font()->SetColor(0x0000FF);
    auto* c = new TKCounterLabel;
    add(c, {5, 60, 50, 18});
    c->SetTextBefore("No. ");
    c->SetStartingnumber(1000);
    c->SetRepeatEach(2);
    auto* s = new TKSymbolLabel;
    add(s, {60, 60, 30, 30});
    auto* m = new TKMultiLineLabel;
    add(m, {0, 90, 190, 40});
    m->Items()->SetLines({"first line", "", "third"});
    m->SetWordWrap(true);
    auto* dm = new TKDMultiLineLabel;
    add(dm, {0, 130, 190, 40});
    dm->SetDataFieldName("Memo");
    dm->SetDataFieldDescript("MEMO");
    auto* a = new TKDMultiLineAddressLabel;
    add(a, {10, 10, 200, 80});
    a->SetUsePhone(true);
    a->SetZipOptions(zoBeforeCountry);
    a->SetUpperCase(true);
    auto* line = new TKLineShape;
    add(line, {4, 4, 2, 90});
    line->SetLineStyle(stVertical);
    line->Pen()->SetWidth(3);
    line->Pen()->SetStyle(psDot);
    auto* sh = new TKLabelShapes;
    add(sh, {20, 20, 60, 30});
    sh->SetShape(stRoundRect);
    sh->SetRoundPerc(40);
    sh->SetTransparent(true);
    sh->Pen()->SetColor(0x00FF00);
    auto* img = new TKImage;
    add(img, {100, 5, 40, 30});
    QImage pic(4, 3, QImage::Format_RGB32);
    pic.fill(qRgb(10, 200, 30));
    pic.setPixel(1, 1, qRgb(255, 0, 0));
    img->Picture()->SetImage(pic);
    img->SetAutoSize(true);
    auto* pn = new TKPostNetBarCode;
    add(pn, {0, 170, 270, 16});
    pn->SetZipCodeField("ZIP");
    pn->SetAddressField("STREET");
}

} // namespace qbtest
