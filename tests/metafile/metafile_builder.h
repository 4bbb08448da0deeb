#pragma once

// Test helper: little-endian writers that build small EMF and WMF files
// record by record.

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QtEndian>
#include <cstring>
#include <initializer_list>

namespace metafile_test {

class LeBytes {
 public:
  LeBytes &u8(quint8 v) { return raw(&v, 1); }
  LeBytes &u16(quint16 v) { return put(v); }
  LeBytes &i16(qint16 v) { return put(v); }
  LeBytes &u32(quint32 v) { return put(v); }
  LeBytes &i32(qint32 v) { return put(v); }
  LeBytes &f32(float v) {
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  LeBytes &i32s(std::initializer_list<qint32> values) {
    for (qint32 v : values) i32(v);
    return *this;
  }
  LeBytes &i16s(std::initializer_list<qint16> values) {
    for (qint16 v : values) i16(v);
    return *this;
  }
  LeBytes &bytes(const QByteArray &b) {
    data.append(b);
    return *this;
  }
  LeBytes &utf16(const QString &s) {
    for (QChar c : s) u16(c.unicode());
    return *this;
  }
  QByteArray data;

 private:
  template <typename T>
  LeBytes &put(T v) {
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    data.append(b, sizeof(T));
    return *this;
  }
  LeBytes &raw(const void *p, int n) {
    data.append(static_cast<const char *>(p), n);
    return *this;
  }
};

inline quint32 rgb(int r, int g, int b) { return quint32(r | (g << 8) | (b << 16)); }

// An EMF whose frame is 100 mm square on a reference device of 4 pixels per
// millimetre (400 x 400 device pixels).
class EmfBuilder {
 public:
  EmfBuilder() {
    LeBytes h;
    h.i32s({0, 0, 399, 399})       // bounds
        .i32s({0, 0, 9999, 9999})  // frame, 0.01 mm
        .u32(0x464D4520)           // signature
        .u32(0x10000)              // version
        .u32(0)                    // bytes (fixed at the end)
        .u32(0)                    // records
        .u16(16)                   // handles
        .u16(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .i32s({400, 400})   // device pixels
        .i32s({100, 100});  // device millimetres
    record(1, h);
  }
  EmfBuilder &record(quint32 type, const LeBytes &payload = {}) {
    LeBytes r;
    QByteArray body = payload.data;
    while (body.size() % 4) body.append('\0');
    r.u32(type).u32(quint32(8 + body.size())).bytes(body);
    out.append(r.data);
    return *this;
  }
  QByteArray finish() {
    record(14, LeBytes().u32(0).u32(16).u32(20));
    qToLittleEndian(quint32(out.size()), out.data() + 48);
    return out;
  }
  QByteArray out;
};

// A WMF without a placeable header (as PowerPoint stores it).
class WmfBuilder {
 public:
  WmfBuilder &record(quint16 function, const LeBytes &params = {}) {
    QByteArray body = params.data;
    if (body.size() % 2) body.append('\0');
    LeBytes r;
    r.u32(quint32(3 + body.size() / 2)).u16(function).bytes(body);
    records.append(r.data);
    return *this;
  }
  QByteArray finish(quint16 objects = 8) {
    record(0);
    LeBytes h;
    h.u16(1).u16(9).u16(0x300).u32(quint32((18 + records.size()) / 2)).u16(objects).u32(0).u16(0);
    return h.data + records;
  }
  static QByteArray placeable(QRect bbox, quint16 inch) {
    LeBytes p;
    p.u32(0x9AC6CDD7)
        .u16(0)
        .i16s({qint16(bbox.left()), qint16(bbox.top()), qint16(bbox.right() + 1),
               qint16(bbox.bottom() + 1)});
    p.u16(inch).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2) sum ^= qFromLittleEndian<quint16>(p.data.constData() + i);
    p.u16(sum);
    return p.data;
  }
  QByteArray records;
};

}  // namespace metafile_test
