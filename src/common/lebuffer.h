#pragma once

// A growing little-endian byte buffer for binary file structures (the Word
// document, BMP headers): values are appended in order or patched in place
// once known.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace morvane {

class LeBuffer {
 public:
  std::uint32_t size() const { return std::uint32_t(bytes_.size()); }
  const QByteArray &bytes() const { return bytes_; }
  void reserve(qsizetype bytes) { bytes_.reserve(bytes); }

  void u8(std::uint8_t v) { bytes_.append(char(v)); }
  void u16(std::uint16_t v) {
    const char pair[2] = {char(std::uint8_t(v)), char(std::uint8_t(v >> 8))};
    bytes_.append(pair, 2);
  }
  void u32(std::uint32_t v) {
    u16(std::uint16_t(v));
    u16(std::uint16_t(v >> 16));
  }
  void append(const QByteArray &b) { bytes_.append(b); }
  // The UTF-16 code units of s, without a terminator.
  void utf16(const QString &s) {
    const qsizetype at = bytes_.size();
    bytes_.resize(at + 2 * s.size());
    char *out = bytes_.data() + at;
    for (const QChar c : s) {
      *out++ = char(std::uint8_t(c.unicode()));
      *out++ = char(std::uint8_t(c.unicode() >> 8));
    }
  }
  void zeros(std::uint32_t count) { bytes_.append(qsizetype(count), '\0'); }
  void padTo(std::uint32_t total) {
    if (size() < total) zeros(total - size());
  }
  void alignTo(std::uint32_t unit) { padTo((size() + unit - 1) / unit * unit); }

  void putU16(std::uint32_t at, std::uint16_t v) {
    bytes_[at] = char(std::uint8_t(v));
    bytes_[at + 1] = char(std::uint8_t(v >> 8));
  }
  void putU32(std::uint32_t at, std::uint32_t v) {
    putU16(at, std::uint16_t(v));
    putU16(at + 2, std::uint16_t(v >> 16));
  }

 private:
  QByteArray bytes_;
};

}  // namespace morvane
