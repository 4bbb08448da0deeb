#pragma once

// Writing an output file so that it appears whole or not at all. The bytes go
// to a fresh temporary file in the target's folder (created exclusively, so a
// planted file or link there is never opened), which is renamed over the
// target at the end. rename() replaces a symbolic link at the target instead
// of following it, and replaces an existing file of the same name.
//
// Temporary files are named ".<target>.<random>.morvane.tmp". One left by a
// job that was killed is recognised by that name: the next job in the folder
// removes it (removeStaleTemporaries) while it holds the folder's lock.

#include <QByteArray>
#include <QString>

namespace morvane {

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
  // The same, but fails when a file (or link) of the target's name exists
  // by then: nothing is ever replaced.
  void commitWithoutReplacing();

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

// Removes the temporary files that earlier, interrupted writes left in
// folder; returns how many it removed. Only call it while no other writer
// works in the folder (the job holds the folder's lock).
int removeStaleTemporaries(const QString &folder);

}  // namespace morvane
