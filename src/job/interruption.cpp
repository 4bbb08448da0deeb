#include "job/interruption.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace job {

namespace {

volatile std::sig_atomic_t requestedSignal = 0;
int wakeDescriptor = -1;

void onSignal(int signalNumber) {
  requestInterruption(signalNumber);
  if (wakeDescriptor >= 0) {
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(wakeDescriptor, &byte, 1);
  }
}

QString signalName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return QStringLiteral("SIGINT");
    case SIGTERM:
      return QStringLiteral("SIGTERM");
    case SIGHUP:
      return QStringLiteral("SIGHUP");
    default:
      return QStringLiteral("signal %1").arg(signalNumber);
  }
}

}  // namespace

Interrupted::Interrupted(int signalNumber)
    : morvane::Error(QStringLiteral("Interrupted by %1").arg(signalName(signalNumber))),
      signal_(signalNumber) {}

void installInterruptionHandlers(int wakeFd) {
  wakeDescriptor = wakeFd;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signalNumber, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

int interruptionSignal() noexcept { return requestedSignal; }

void requestInterruption(int signalNumber) noexcept {
  if (requestedSignal == 0) requestedSignal = signalNumber;
}

void clearInterruption() noexcept { requestedSignal = 0; }

void throwIfInterrupted() {
  if (const int signalNumber = requestedSignal) throw Interrupted(signalNumber);
}

}  // namespace job
