#pragma once

// Bounds-checked little-endian reading of untrusted bytes. Every read checks
// the bytes left; a short read throws morvane::Error describing damage at the
// offset. Offsets are 64-bit so that no sum of untrusted values can wrap.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "common/error.h"

namespace morvane {

[[noreturn]] inline void throwDamaged(const QString &what, std::uint64_t offset) {
  throw morvane::Error(
      QStringLiteral("the file is damaged or truncated (%1 at byte %2)").arg(what).arg(offset));
}

class ByteReader {
 public:
  ByteReader() = default;
  // base: the offset of data[0] in the stream, used only in messages.
  ByteReader(const std::uint8_t *data, std::size_t size, std::uint64_t base = 0)
      : data_(data), size_(size), base_(base) {}

  std::size_t size() const { return size_; }
  std::size_t pos() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ >= size_; }
  std::uint64_t streamOffset() const { return base_ + pos_; }
  const std::uint8_t *data() const { return data_; }
  const std::uint8_t *current() const { return data_ + pos_; }

  void seek(std::uint64_t pos) {
    if (pos > size_) throwDamaged(QStringLiteral("seek past the end"), base_ + pos);
    pos_ = static_cast<std::size_t>(pos);
  }
  void skip(std::uint64_t count) { seek(std::uint64_t(pos_) + count); }

  std::uint8_t u8() {
    need(1);
    return data_[pos_++];
  }
  std::uint16_t u16() {
    need(2);
    std::uint16_t v = std::uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::uint32_t u32() {
    need(4);
    std::uint32_t v = std::uint32_t(data_[pos_]) | (std::uint32_t(data_[pos_ + 1]) << 8) |
                      (std::uint32_t(data_[pos_ + 2]) << 16) |
                      (std::uint32_t(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
  }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

  // A reader over the next count bytes, which are consumed.
  ByteReader sub(std::uint64_t count) {
    need(count);
    ByteReader r(data_ + pos_, static_cast<std::size_t>(count), base_ + pos_);
    pos_ += static_cast<std::size_t>(count);
    return r;
  }
  // A reader over [offset, offset + count) of this reader, without moving.
  ByteReader slice(std::uint64_t offset, std::uint64_t count) const {
    if (offset > size_ || count > size_ - offset)
      throwDamaged(QStringLiteral("range outside its container"), base_ + offset);
    return ByteReader(data_ + offset, static_cast<std::size_t>(count), base_ + offset);
  }

 private:
  void need(std::uint64_t count) const {
    if (count > size_ - pos_)
      throwDamaged(QStringLiteral("record runs past its end"), base_ + pos_);
  }

  const std::uint8_t *data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  std::uint64_t base_ = 0;
};

}  // namespace morvane
