#pragma once

// Builds the little-endian record streams of the PowerPoint binary format and
// of OfficeArt: an 8-byte header (recVer and recInstance in one 16-bit word,
// recType, recLen) followed by the body. Containers are opened, filled and
// closed; closing writes the container's length into its header.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace morvane::pptgen {

class RecordWriter {
 public:
  void u8(std::uint8_t v) { bytes_.append(static_cast<char>(v)); }
  void u16(std::uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void raw(const QByteArray &data) { bytes_.append(data); }
  void zeros(int count) { bytes_.append(count, '\0'); }
  // UTF-16LE code units, no terminator.
  void utf16(const QString &text) {
    for (QChar c : text) u16(c.unicode());
  }

  void header(std::uint16_t ver, std::uint16_t instance, std::uint16_t type, std::uint32_t len) {
    u16(static_cast<std::uint16_t>((ver & 0xF) | (instance << 4)));
    u16(type);
    u32(len);
  }
  void atom(std::uint16_t ver, std::uint16_t instance, std::uint16_t type, const QByteArray &body) {
    header(ver, instance, type, static_cast<std::uint32_t>(body.size()));
    raw(body);
  }
  void open(std::uint16_t type, std::uint16_t instance = 0) {
    open_.push_back(bytes_.size());
    header(0xF, instance, type, 0);
  }
  void close() {
    const qsizetype start = open_.back();
    open_.pop_back();
    patchU32(start + 4, static_cast<std::uint32_t>(bytes_.size() - start - 8));
  }
  void patchU32(qsizetype at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }

  qsizetype size() const { return bytes_.size(); }
  const QByteArray &bytes() const { return bytes_; }

 private:
  QByteArray bytes_;
  std::vector<qsizetype> open_;
};

}  // namespace morvane::pptgen
