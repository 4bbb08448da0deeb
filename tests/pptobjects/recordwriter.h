#pragma once

// Test helper: builds little-endian records of the presentation format and
// OfficeArt in memory.

#include <zlib.h>

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "common/bytereader.h"

namespace testsupport {

class LeWriter {
 public:
  LeWriter &u8(std::uint32_t v) {
    bytes_.append(char(v & 0xFF));
    return *this;
  }
  LeWriter &u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
  LeWriter &u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  LeWriter &i32(std::int32_t v) { return u32(std::uint32_t(v)); }
  LeWriter &raw(const QByteArray &b) {
    bytes_.append(b);
    return *this;
  }
  LeWriter &fill(int count, char c) {
    bytes_.append(QByteArray(count, c));
    return *this;
  }
  const QByteArray &bytes() const { return bytes_; }

 private:
  QByteArray bytes_;
};

inline QByteArray record(std::uint16_t ver, std::uint16_t instance, std::uint16_t type,
                         const QByteArray &body) {
  LeWriter w;
  w.u16(std::uint32_t(ver & 0xF) | std::uint32_t(instance << 4))
      .u16(type)
      .u32(std::uint32_t(body.size()));
  return w.raw(body).bytes();
}

inline QByteArray atom(std::uint16_t type, const QByteArray &body, std::uint16_t instance = 0) {
  return record(0, instance, type, body);
}

inline QByteArray container(std::uint16_t type, const QByteArray &body) {
  return record(0xF, 0, type, body);
}

inline QByteArray zlibCompress(const QByteArray &in) {
  uLongf size = compressBound(uLong(in.size()));
  QByteArray out(qsizetype(size), '\0');
  compress(reinterpret_cast<Bytef *>(out.data()), &size,
           reinterpret_cast<const Bytef *>(in.constData()), uLong(in.size()));
  out.truncate(qsizetype(size));
  return out;
}

inline QByteArray utf16(const QString &text) {
  LeWriter w;
  for (QChar c : text) w.u16(c.unicode());
  return w.bytes();
}

inline morvane::ByteReader readerOver(const QByteArray &bytes) {
  return morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             std::size_t(bytes.size()));
}

}  // namespace testsupport
