#include "office/render/atomicfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/error.h"

namespace office::render {

namespace {

constexpr int kNameAttempts = 64;

QString randomSuffix() {
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  QString suffix;
  for (int i = 0; i < 10; ++i)
    suffix += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(36)]);
  return suffix;
}

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

AtomicFile::AtomicFile(const QString &path) : path_(path) {
  const QFileInfo target(path);
  const QString folder = target.absolutePath();
  const QString base = target.fileName();
  if (base.isEmpty())
    throw morvane::Error(QStringLiteral("Cannot write %1: no file name").arg(path));
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const QString candidate = folder + QLatin1String("/.") + base + QLatin1Char('.') +
                              randomSuffix() + QLatin1String(".tmp");
    const QByteArray native = QFile::encodeName(candidate);
    // O_EXCL with O_CREAT refuses an existing name, links included.
    const int fd =
        ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
      fd_ = fd;
      tempPath_ = candidate;
      return;
    }
    if (errno != EEXIST) fail(QStringLiteral("cannot create a file in %1").arg(folder), errno);
  }
  fail(QStringLiteral("no free temporary name in %1").arg(folder), EEXIST);
}

AtomicFile::~AtomicFile() {
  if (!committed_) discard();
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.isEmpty()) {
    ::unlink(QFile::encodeName(tempPath_).constData());
    tempPath_.clear();
  }
}

void AtomicFile::fail(const QString &what, int error) {
  discard();
  throw morvane::Error(
      QStringLiteral("Cannot write %1: %2 (%3)").arg(path_, what, errorText(error)));
}

void AtomicFile::write(const char *data, qint64 size) {
  if (fd_ < 0) throw morvane::Error(QStringLiteral("Cannot write %1: file is closed").arg(path_));
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, static_cast<size_t>(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(QStringLiteral("write failed"), errno);
    }
    data += written;
    size -= written;
  }
}

void AtomicFile::commit() {
  if (fd_ < 0) throw morvane::Error(QStringLiteral("Cannot write %1: file is closed").arg(path_));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(QStringLiteral("closing the file failed"), errno);
  if (::rename(QFile::encodeName(tempPath_).constData(), QFile::encodeName(path_).constData()) != 0)
    fail(QStringLiteral("cannot replace the file"), errno);
  committed_ = true;
  tempPath_.clear();
}

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
  AtomicFile file(path);
  file.write(bytes);
  file.commit();
}

}  // namespace office::render
