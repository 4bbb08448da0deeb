#pragma once

// Writing an output file so that it appears whole or not at all. The bytes go
// to a fresh temporary file in the target's folder (created exclusively, so a
// planted file or link there is never opened), which is renamed over the
// target at the end. rename() replaces a symbolic link at the target instead
// of following it, and replaces an existing file of the same name.

#include <QByteArray>
#include <QString>

namespace office::render {

class AtomicFile {
 public:
  // Creates the temporary file next to path; throws morvane::Error on failure.
  explicit AtomicFile(const QString &path);
  // Removes the temporary file unless commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;

  void write(const char *data, qint64 size);
  void write(const QByteArray &bytes) { write(bytes.constData(), bytes.size()); }
  // Closes the temporary file and renames it to the target path.
  void commit();

  // The temporary file's path (for tests).
  const QString &temporaryPath() const { return tempPath_; }

 private:
  [[noreturn]] void fail(const QString &what, int error);
  void discard();

  QString path_;
  QString tempPath_;
  int fd_ = -1;
  bool committed_ = false;
};

// Writes bytes to path through an AtomicFile.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

}  // namespace office::render
