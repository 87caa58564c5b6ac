// Builds small Windows metafiles record by record for the picture tests.
// Coordinates are given in the natural order (x before y, left top right
// bottom); the builder writes them in the file's reversed order.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

namespace qbtest {

class WmfBuilder {
public:
    // A record with 16-bit parameters as they appear in the file.
    WmfBuilder& rec(uint16_t function, std::initializer_list<int> words) {
        QByteArray params;
        for (int w : words)
            put16(params, w);
        return raw(function, params);
    }
    // A record with raw parameter bytes (padded to whole words).
    WmfBuilder& raw(uint16_t function, QByteArray params) {
        if (params.size() % 2)
            params.append('\0');
        put32(records_, uint32_t(3 + params.size() / 2));
        put16(records_, function);
        records_.append(params);
        maxRecord_ = std::max<uint32_t>(maxRecord_, uint32_t(3 + params.size() / 2));
        return *this;
    }

    WmfBuilder& window(int x, int y, int w, int h) {
        rec(0x020B, {y, x});
        return rec(0x020C, {h, w});
    }
    WmfBuilder& pen(int style, int width, uint32_t color) {
        ++objects_;
        return rec(0x02FA, {style, width, 0, int(color & 0xFFFF), int(color >> 16)});
    }
    WmfBuilder& brush(int style, uint32_t color, int hatch = 0) {
        ++objects_;
        return rec(0x02FC, {style, int(color & 0xFFFF), int(color >> 16), hatch});
    }
    WmfBuilder& font(int height, const char* face, int weight = 400, int escapement = 0) {
        ++objects_;
        QByteArray p;
        for (int w : {height, 0, escapement, escapement, weight})
            put16(p, w);
        p.append(QByteArray(8, '\0'));
        QByteArray name(face);
        name.resize(32, '\0');
        p.append(name);
        return raw(0x02FB, p);
    }
    WmfBuilder& select(int index) { return rec(0x012D, {index}); }
    WmfBuilder& remove(int index) { return rec(0x01F0, {index}); }
    WmfBuilder& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    WmfBuilder& ellipse(int l, int t, int r, int b) { return rec(0x0418, {b, r, t, l}); }
    WmfBuilder& moveTo(int x, int y) { return rec(0x0214, {y, x}); }
    WmfBuilder& lineTo(int x, int y) { return rec(0x0213, {y, x}); }
    WmfBuilder& polygon(std::initializer_list<int> xy) {
        QByteArray p;
        put16(p, int(xy.size() / 2));
        for (int v : xy)
            put16(p, v);
        return raw(0x0324, p);
    }
    WmfBuilder& pie(int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
        return rec(0x081A, {ye, xe, ys, xs, b, r, t, l});
    }
    WmfBuilder& textOut(int x, int y, const char* text) {
        QByteArray p;
        const QByteArray t(text);
        put16(p, int(t.size()));
        p.append(t);
        if (t.size() % 2)
            p.append('\0');
        put16(p, y);
        put16(p, x);
        return raw(0x0521, p);
    }
    // A DIB drawn into (x, y, w, h) with StretchDIBits, copying the source.
    WmfBuilder& stretchDib(int x, int y, int w, int h, const QByteArray& dib, int srcW, int srcH) {
        QByteArray p;
        put32(p, 0x00CC0020);
        for (int v : {0, srcH, srcW, 0, 0, h, w, y, x})
            put16(p, v);
        p.append(dib);
        return raw(0x0F43, p);
    }

    // The finished file without the placeable header.
    QByteArray plain() const {
        QByteArray out;
        QByteArray body = records_;
        put32(body, 3);
        put16(body, 0); // end of file
        put16(out, 1);
        put16(out, 9);
        put16(out, 0x0300);
        put32(out, uint32_t(9 + body.size() / 2));
        put16(out, objects_);
        put32(out, std::max<uint32_t>(maxRecord_, 3));
        put16(out, 0);
        out.append(body);
        return out;
    }
    // With a placeable header: bounding box and units per inch.
    QByteArray placeable(int l, int t, int r, int b, int inch) const {
        QByteArray head;
        put32(head, 0x9AC6CDD7u);
        put16(head, 0);
        for (int v : {l, t, r, b, inch})
            put16(head, v);
        put32(head, 0);
        uint16_t sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= uint16_t(uint8_t(head[i]) | (uint8_t(head[i + 1]) << 8));
        put16(head, sum);
        return head + plain();
    }

    // A bottom-up 24-bit DIB of w x h pixels given top row first (0xRRGGBB).
    static QByteArray Dib24(int w, int h, std::initializer_list<uint32_t> topDown) {
        QByteArray d;
        for (uint32_t v : {40u, uint32_t(w), uint32_t(h)})
            put32(d, v);
        put16(d, 1);
        put16(d, 24);
        for (int i = 0; i < 6; ++i)
            put32(d, 0);
        const int stride = ((w * 24 + 31) / 32) * 4;
        const uint32_t* px = topDown.begin();
        for (int row = h - 1; row >= 0; --row) {
            QByteArray line;
            for (int x = 0; x < w; ++x) {
                const uint32_t c = px[row * w + x];
                line.append(char(c & 0xFF))
                    .append(char((c >> 8) & 0xFF))
                    .append(char((c >> 16) & 0xFF));
            }
            line.resize(stride, '\0');
            d.append(line);
        }
        return d;
    }

    int objects() const { return objects_; }

private:
    static void put16(QByteArray& b, int v) {
        b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    }
    static void put32(QByteArray& b, uint32_t v) {
        put16(b, int(v & 0xFFFF));
        put16(b, int(v >> 16));
    }
    QByteArray records_;
    int objects_ = 0;
    uint32_t maxRecord_ = 0;
};

} // namespace qbtest
