#pragma once

// An OLE2 compound file opened with libgsf: the file's kind is checked before
// anything is parsed, so that a foreign file gets a reason a user can act on.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "office/ppt/stream.h"

namespace office::ppt {

class CompoundFile {
 public:
  // Opens path. Throws morvane::Error with a reason (without the file name)
  // when the file is missing, unreadable, not a compound file, or a ZIP.
  static std::unique_ptr<CompoundFile> open(const QString &path);
  // Reads the compound file from memory (the fuzzer); the bytes are copied.
  static std::unique_ptr<CompoundFile> fromMemory(const QByteArray &bytes);
  ~CompoundFile();
  CompoundFile(const CompoundFile &) = delete;
  CompoundFile &operator=(const CompoundFile &) = delete;

  // Makes the storage name the folder that later look-ups search, when the
  // file has such a storage; false otherwise.
  bool enterStorage(const char *name);

  // True for a readable stream (not a storage) of that name.
  bool hasStream(const char *name) const;
  // True when the folder's directory names an entry, readable or not.
  bool isListed(const char *name) const;
  // True when the file ends inside a sector or its folder lists nothing:
  // signs of a file cut short.
  bool looksTruncated() const;
  // The whole stream; throws when it is larger than maxSize or unreadable.
  QByteArray readStream(const char *name, std::uint64_t maxSize) const;
  // Random access to a stream without loading it; null when absent.
  std::shared_ptr<RandomAccessStream> openStream(const char *name) const;

  struct Handles;

 private:
  explicit CompoundFile(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

}  // namespace office::ppt
