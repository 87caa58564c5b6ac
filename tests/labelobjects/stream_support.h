// Helpers for the label object tests: a byte builder for expected streams and
// a test object class with a float and an event property.
#pragma once

#include "labelobjects/graphiccontrol.h"
#include "labelobjects/layoutstream.h"

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
                qb::StringProp<TestGauge>("OnChanged", &TestGauge::OnChanged, &TestGauge::SetOnChanged,
                                          qb::PropKind::Event),
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

} // namespace qbtest
