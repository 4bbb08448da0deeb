#include "common/posixio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/error.h"
#include "common/filenames.h"

namespace morvane {

namespace {

[[noreturn]] void fail(const QString &reason) { throw Error(reason); }

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

ssize_t readSome(int fd, char *buffer, std::size_t size) {
  ssize_t n;
  do n = ::read(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

bool readFully(int fd, char *buffer, std::size_t size) {
  while (size > 0) {
    const ssize_t n = readSome(fd, buffer, size);
    if (n <= 0) return false;
    buffer += n;
    size -= std::size_t(n);
  }
  return true;
}

bool writeAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

QByteArray readFileHead(const QString &path, std::size_t count) {
  // Non-blocking, so that a named pipe given as the file cannot hang us.
  const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) fail(QStringLiteral("the file does not exist"));
    if (error == EACCES) fail(QStringLiteral("the file cannot be read (permission denied)"));
    fail(QStringLiteral("the file cannot be opened (%1)").arg(errnoText(error)));
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    ::close(fd);
    fail(S_ISDIR(info.st_mode) ? QStringLiteral("the path is a folder, not a file")
                               : QStringLiteral("the path is not a regular file"));
  }
  QByteArray head(qsizetype(count), Qt::Uninitialized);
  const ssize_t got = readSome(fd, head.data(), count);
  const int error = errno;
  ::close(fd);
  if (got < 0) fail(QStringLiteral("the file cannot be read (%1)").arg(errnoText(error)));
  head.truncate(qsizetype(got));
  return head;
}

}  // namespace morvane
