#include "job/workingcopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/error.h"
#include "common/filenames.h"
#include "common/posixio.h"

using morvane::readSome;
using morvane::writeAll;

namespace workingcopy {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// A POSIX file descriptor that closes itself.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd &) = delete;
  Fd &operator=(const Fd &) = delete;
  Fd(Fd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd &operator=(Fd &&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

 private:
  int fd_;
};

QByteArray local(const QString &path) { return morvane::fileNameBytes(path); }

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)).toLower(); }

bool isPermissionError(int error) { return error == EACCES || error == EPERM || error == EROFS; }

QString folderOf(const QString &path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return QStringLiteral(".");
  return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

Fd openSource(const QString &source) {
  struct stat info {};
  if (::stat(local(source).constData(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      throw morvane::Error(QStringLiteral("File not found: %1").arg(source));
    throw morvane::Error(QStringLiteral("Cannot read %1: %2").arg(source, reason(errno)));
  }
  if (S_ISDIR(info.st_mode))
    throw morvane::Error(QStringLiteral("%1 is a folder, not a presentation file").arg(source));
  if (!S_ISREG(info.st_mode))
    throw morvane::Error(QStringLiteral("%1 is not a regular file").arg(source));
  Fd fd(::open(local(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.isOpen()) {
    if (isPermissionError(errno))
      throw morvane::Error(
          QStringLiteral("Cannot read %1: permission denied (the file is not readable)")
              .arg(source));
    throw morvane::Error(QStringLiteral("Cannot read %1: %2").arg(source, reason(errno)));
  }
  return fd;
}

bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the two open files hold the same bytes.
bool sameContent(int a, int b) {
  if (::lseek(a, 0, SEEK_SET) != 0 || ::lseek(b, 0, SEEK_SET) != 0) return false;
  std::array<char, kBufferSize> left{};
  std::array<char, kBufferSize> right{};
  for (;;) {
    const ssize_t n = readSome(a, left.data(), left.size());
    if (n < 0) return false;
    std::size_t have = 0;
    while (have < std::size_t(n)) {
      const ssize_t m = readSome(b, right.data() + have, std::size_t(n) - have);
      if (m <= 0) return false;
      have += std::size_t(m);
    }
    if (n == 0) return readSome(b, right.data(), 1) == 0;
    if (std::memcmp(left.data(), right.data(), std::size_t(n)) != 0) return false;
  }
}

[[noreturn]] void inTheWay(const QString &copyPath, const QString &what) {
  throw morvane::Error(
      QStringLiteral("Cannot make the working copy %1: %2 of that name is already there and "
                     "was left untouched (rename or move it, then try again)")
          .arg(copyPath, what));
}

// Clears the way for a new copy. Returns true when the source itself sits at
// copyPath.
bool clearTheWay(int sourceFd, const QString &copyPath) {
  struct stat existing {};
  if (::lstat(local(copyPath).constData(), &existing) != 0) return false;
  struct stat source {};
  if (::fstat(sourceFd, &source) == 0 && sameFile(source, existing)) return true;
  if (S_ISLNK(existing.st_mode)) inTheWay(copyPath, QStringLiteral("a symbolic link"));
  if (S_ISDIR(existing.st_mode)) inTheWay(copyPath, QStringLiteral("a folder"));
  if (!S_ISREG(existing.st_mode)) inTheWay(copyPath, QStringLiteral("a special file"));
  Fd old(::open(local(copyPath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!old.isOpen() || existing.st_size != source.st_size || !sameContent(sourceFd, old.get()))
    inTheWay(copyPath, QStringLiteral("a different file"));
  // A leftover copy of this very source from an earlier job: replace it.
  if (::unlink(local(copyPath).constData()) != 0)
    throw morvane::Error(
        QStringLiteral("Cannot replace the old working copy %1: %2").arg(copyPath, reason(errno)));
  return false;
}

Fd createCopy(const QString &copyPath) {
  Fd fd(::open(local(copyPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               0644));
  if (fd.isOpen()) return fd;
  const int error = errno;
  if (isPermissionError(error))
    throw morvane::Error(QStringLiteral("Cannot make the working copy %1: the folder %2 is "
                                        "read-only (Morvane needs to write there)")
                             .arg(copyPath, folderOf(copyPath)));
  if (error == EEXIST) inTheWay(copyPath, QStringLiteral("a file"));
  throw morvane::Error(
      QStringLiteral("Cannot make the working copy %1: %2").arg(copyPath, reason(error)));
}

void copyBytes(int from, int to, const QString &source, const QString &copyPath) {
  if (::lseek(from, 0, SEEK_SET) != 0)
    throw morvane::Error(QStringLiteral("Cannot read %1: %2").arg(source, reason(errno)));
  std::array<char, kBufferSize> buffer{};
  for (;;) {
    const ssize_t n = readSome(from, buffer.data(), buffer.size());
    if (n == 0) return;
    if (n < 0)
      throw morvane::Error(QStringLiteral("Cannot read %1: %2").arg(source, reason(errno)));
    if (!writeAll(to, buffer.data(), std::size_t(n)))
      throw morvane::Error(
          QStringLiteral("Cannot write the working copy %1: %2").arg(copyPath, reason(errno)));
  }
}

}  // namespace

void checkSource(const QString &source) { openSource(source); }

Kind kindAt(const QString &path) {
  struct stat info {};
  if (::lstat(local(path).constData(), &info) != 0) return Kind::None;
  if (S_ISLNK(info.st_mode)) return Kind::Link;
  if (S_ISDIR(info.st_mode)) return Kind::Folder;
  return S_ISREG(info.st_mode) ? Kind::File : Kind::Other;
}

Made make(const QString &source, const QString &copyPath) {
  Fd from = openSource(source);
  if (clearTheWay(from.get(), copyPath)) return Made::InPlace;
  Fd to = createCopy(copyPath);
  try {
    copyBytes(from.get(), to.get(), source, copyPath);
  } catch (...) {
    ::unlink(local(copyPath).constData());
    throw;
  }
  return Made::NewCopy;
}

void remove(const QString &copyPath) {
  if (::unlink(local(copyPath).constData()) != 0 && errno != ENOENT)
    throw morvane::Error(
        QStringLiteral("Cannot delete the working copy %1: %2").arg(copyPath, reason(errno)));
}

}  // namespace workingcopy
