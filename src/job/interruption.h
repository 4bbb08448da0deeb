#pragma once

// Stopping a job when the user or the system asks the program to end
// (SIGINT, SIGTERM, SIGHUP). The signal handler only records the signal; the
// job checks between pictures and shapes, stops there (the picture being
// written is finished or its temporary removed) and cleans up like after any
// failure.

#include "common/error.h"

namespace job {

class Interrupted : public morvane::Error {
 public:
  explicit Interrupted(int signalNumber);
  int signalNumber() const { return signal_; }

 private:
  int signal_;
};

// Records SIGINT, SIGTERM and SIGHUP for the job (restarting interrupted
// system calls), and ignores SIGXFSZ so that writing past a file-size limit
// fails with an error instead of killing the program. When wakeFd is not
// -1, the handler also writes a byte to it, so that an event loop waiting on
// its other end wakes up.
void installInterruptionHandlers(int wakeFd = -1);

// The signal that asked the program to end, or 0.
int interruptionSignal() noexcept;
// Safe to call from a signal handler.
void requestInterruption(int signalNumber) noexcept;
void clearInterruption() noexcept;
// Throws Interrupted when a signal asked the program to end.
void throwIfInterrupted();

}  // namespace job
