#include "job/folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/error.h"
#include "common/filenames.h"
#include "job/interruption.h"

namespace job {

namespace {

constexpr std::chrono::milliseconds kRetryInterval{100};

bool tryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    // A file system without locks: the job goes on unprotected, as before.
    return true;
  }
  return true;
}

}  // namespace

FolderLock::FolderLock(const QString &folder, const std::function<void()> &wait) {
  const QByteArray native = morvane::fileNameBytes(folder.isEmpty() ? QStringLiteral(".") : folder);
  fd_ = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened fails later with the reason of the
  // operation that needs it.
  if (fd_ < 0) return;
  if (tryLock(fd_)) return;
  if (!wait) {
    ::close(fd_);
    fd_ = -1;
    throw morvane::Error(QStringLiteral("another job is working in this folder"));
  }
  wait();
  while (!tryLock(fd_)) {
    if (interruptionSignal() != 0) {
      ::close(fd_);
      fd_ = -1;
      throwIfInterrupted();
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace job
