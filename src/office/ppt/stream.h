#pragma once

// Random access to one stream of a compound file, so that pictures can be
// read one at a time instead of loading a whole stream.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>

#include "office/ppt/records.h"

namespace office::ppt {

class RandomAccessStream {
 public:
  virtual ~RandomAccessStream() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly length bytes at offset; throws morvane::Error when the
  // range lies outside the stream.
  virtual QByteArray read(std::uint64_t offset, std::uint32_t length) const = 0;
};

// A stream held in memory (tests, and streams small enough to load).
class MemoryStream : public RandomAccessStream {
 public:
  explicit MemoryStream(QByteArray bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return std::uint64_t(bytes_.size()); }
  QByteArray read(std::uint64_t offset, std::uint32_t length) const override {
    if (offset > size() || length > size() - offset)
      morvane::throwDamaged(QStringLiteral("read outside the stream"), offset);
    return bytes_.mid(qsizetype(offset), qsizetype(length));
  }

 private:
  QByteArray bytes_;
};

// Looks up the record that a persist object identifier refers to in the
// "PowerPoint Document" stream (through the persist directory).
using PersistLookup = std::function<std::optional<Record>(std::uint32_t persistId)>;

}  // namespace office::ppt
