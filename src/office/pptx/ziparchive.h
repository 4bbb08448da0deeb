#pragma once

// The ZIP container of a PowerPoint 2007+ package, read with libzip. Every
// entry is checked when the archive is opened (count, name length, declared
// sizes against what the archive can hold) and again when it is read (size
// limit of the caller, actual against declared size, the CRC, and a budget
// of inflated bytes per archive), so that a ZIP bomb or an entry declaring
// gigabytes is refused with a clear message before any large allocation.
// An entry is read up to its declared size and no further; its CRC is not
// checked: data that inflates whole to its declared size is used even where
// the CRC disagrees (a damaged byte then shows, if at all, when the part is
// parsed or the picture decoded), as other readers of these files do.
//
// An archive whose central directory is missing or unreadable (a file cut
// off while it was copied) is read from its local file headers instead, as
// far as they go; recovered() tells that this happened.
//
// Entry names are compared as package part names are: ASCII letters without
// regard to case, percent-encoded octets decoded. Every failure throws
// morvane::Error with a description that names the entry.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace office::pptx {

struct ZipLimits {
  std::uint64_t maxEntries = 20000;
  int maxNameBytes = 1024;
  // Deflate cannot shrink data by more than about 1032:1; an entry that
  // declares more is a bomb or damaged.
  std::uint64_t maxCompressionRatio = 1100;
  // Bytes inflated from deflated entries over the archive's life.
  std::uint64_t maxInflatedBytes = 1ull << 30;
};

struct ZipEntry {
  QString name;             // as stored (UTF-8, or CP437 when not flagged)
  std::uint64_t index = 0;  // libzip's index, or the local header's offset
  std::uint64_t size = 0;   // declared uncompressed size
  std::uint64_t compressedSize = 0;
  std::uint16_t method = 0;  // 0 stored, 8 deflated
  std::uint32_t crc = 0;
  bool encrypted = false;
};

class ZipArchive {
 public:
  // Opens the ZIP file at path; throws when it is not a ZIP file or is
  // damaged beyond recovery.
  static std::unique_ptr<ZipArchive> open(const QString &path, const ZipLimits &limits = {});
  // The same over bytes in memory (the fuzzer, tests).
  static std::unique_ptr<ZipArchive> fromBytes(const QByteArray &bytes,
                                               const ZipLimits &limits = {});
  ~ZipArchive();
  ZipArchive(const ZipArchive &) = delete;
  ZipArchive &operator=(const ZipArchive &) = delete;

  // The entry stored under name, or null.
  const ZipEntry *find(const QString &name) const;
  const std::vector<ZipEntry> &entries() const { return entries_; }
  // The entry's bytes; throws when it declares more than maxBytes, or cannot
  // be inflated to its declared size.
  QByteArray read(const ZipEntry &entry, std::uint64_t maxBytes);
  // Read from the local file headers because the central directory was unusable.
  bool recovered() const { return recovered_; }
  // The key under which a name is looked up (see the top of this file).
  static QString lookupKey(const QString &name);

 private:
  struct Backend;
  ZipArchive(std::unique_ptr<Backend> backend, const ZipLimits &limits);
  void index(std::vector<ZipEntry> entries, std::uint64_t archiveBytes);
  void chargeInflation(const ZipEntry &entry);

  std::unique_ptr<Backend> backend_;
  ZipLimits limits_;
  std::vector<ZipEntry> entries_;
  QHash<QString, std::size_t> byKey_;
  std::uint64_t inflated_ = 0;
  bool recovered_ = false;
};

}  // namespace office::pptx
