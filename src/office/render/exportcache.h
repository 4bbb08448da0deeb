#pragma once

// Outputs already made from the pictures of one presentation. A picture that
// several shapes share is decoded and encoded once: a later export with the
// same picture, crop, background and size writes the bytes kept here. The
// reader that owns the pictures owns the cache and names each picture by an
// id of its own. Bounded in memory: the least recently used outputs go first.

#include <QByteArray>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>

namespace office::render {

struct Crop;

class ExportCache {
 public:
  static constexpr qsizetype kDefaultCapacity = 64 * 1024 * 1024;
  // Looked up one by one: a few hundred entries keep a look-up cheap.
  static constexpr std::size_t kMaxEntries = 256;
  explicit ExportCache(qsizetype capacityBytes = kDefaultCapacity) : capacity_(capacityBytes) {}

  struct Key {
    std::uint64_t pictureId = 0;
    char output = 'J';  // 'J' JPEG, 'B' BMP
    double crop[4] = {0, 0, 0, 0};
    QRgb background = 0;
    QSizeF shapeSizeInches;  // only for pictures drawn at the shape's size
    bool operator==(const Key &other) const;
  };

  struct Output {
    QByteArray bytes;
    QString damage;
  };

  std::optional<Output> find(const Key &key);
  void insert(const Key &key, const Output &output);

 private:
  struct Entry {
    Key key;
    Output output;
  };
  std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  qsizetype capacity_;
  qsizetype used_ = 0;
};

}  // namespace office::render
