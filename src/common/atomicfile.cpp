#include "common/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/error.h"
#include "common/filenames.h"

namespace morvane {

namespace {

constexpr int kNameAttempts = 64;
constexpr int kRandomLength = 10;
const QByteArray kTemporarySuffix = QByteArrayLiteral(".morvane.tmp");

QString randomSuffix() {
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  QString suffix;
  for (int i = 0; i < kRandomLength; ++i)
    suffix += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(36)]);
  return suffix;
}

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The target's name as the temporary's name holds it: cut, a character at a
// time, until the temporary's name fits where the target's does.
QString temporaryStem(QString base) {
  constexpr qsizetype kNameMax = 255;
  const qsizetype added = 2 + kRandomLength + kTemporarySuffix.size();
  while (base.size() > 1 && fileNameBytes(base).size() + added > kNameMax)
    base.chop(base.size() > 1 && base.back().isLowSurrogate() &&
                      base[base.size() - 2].isHighSurrogate()
                  ? 2
                  : 1);
  return base;
}

}  // namespace

AtomicFile::AtomicFile(const QString &path) : path_(path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash < 0 ? QStringLiteral(".") : path.left(std::max<qsizetype>(slash, 1));
  const QString base = path.mid(slash + 1);
  if (base.isEmpty())
    throw morvane::Error(QStringLiteral("Cannot write %1: no file name").arg(path));
  const QString stem = temporaryStem(base);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const QString candidate = folder + QLatin1String("/.") + stem + QLatin1Char('.') +
                              randomSuffix() + QString::fromLatin1(kTemporarySuffix);
    const QByteArray native = fileNameBytes(candidate);
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
    ::unlink(fileNameBytes(tempPath_).constData());
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
  if (::rename(fileNameBytes(tempPath_).constData(), fileNameBytes(path_).constData()) != 0)
    fail(QStringLiteral("cannot replace the file"), errno);
  committed_ = true;
  tempPath_.clear();
}

// link() refuses an existing target, links included, so the check and the
// placing are one step.
void AtomicFile::commitWithoutReplacing() {
  if (fd_ < 0) throw morvane::Error(QStringLiteral("Cannot write %1: file is closed").arg(path_));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(QStringLiteral("closing the file failed"), errno);
  if (::link(fileNameBytes(tempPath_).constData(), fileNameBytes(path_).constData()) != 0)
    fail(errno == EEXIST ? QStringLiteral("a file of that name exists")
                         : QStringLiteral("cannot place the file"),
         errno);
  discard();
  committed_ = true;
}

void writeFileAtomically(const QString &path, const QByteArray &bytes) {
  AtomicFile file(path);
  file.write(bytes);
  file.commit();
}

namespace {

// ".<name>.<random>.morvane.tmp", the random part of our alphabet.
bool isOurTemporaryName(const QByteArray &name) {
  if (!name.startsWith('.') || !name.endsWith(kTemporarySuffix)) return false;
  const QByteArray stem = name.chopped(kTemporarySuffix.size());
  const qsizetype dot = stem.lastIndexOf('.');
  if (dot <= 1 || stem.size() - dot - 1 != kRandomLength) return false;
  for (qsizetype i = dot + 1; i < stem.size(); ++i) {
    const char c = stem.at(i);
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

}  // namespace

int removeStaleTemporaries(const QString &folder) {
  const QByteArray native = fileNameBytes(folder.isEmpty() ? QStringLiteral(".") : folder);
  DIR *dir = ::opendir(native.constData());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent *entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    if (!isOurTemporaryName(name)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode)) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace morvane
