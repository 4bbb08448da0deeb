#pragma once

// An advisory lock on an output folder for the length of a job, so that two
// jobs (two windows, two command lines) never write into one folder at once.
// The lock belongs to the open folder, so it ends with the process however
// the process ends.

#include <QString>
#include <functional>

namespace job {

class FolderLock {
 public:
  // Takes the lock on folder. When another job holds it: without wait,
  // throws morvane::Error "another job is working in this folder"; with
  // wait, calls wait once and waits, checking for interruption.
  FolderLock(const QString &folder, const std::function<void()> &wait);
  ~FolderLock();
  FolderLock(const FolderLock &) = delete;
  FolderLock &operator=(const FolderLock &) = delete;

 private:
  int fd_ = -1;
};

}  // namespace job
