#include "cli/pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <map>
#include <utility>

#include "common/error.h"
#include "common/posixio.h"
#include "job/interruption.h"

namespace cli {

namespace {

constexpr int kPollMilliseconds = 200;

bool sendFrame(int fd, const QByteArray &bytes) {
  const std::uint32_t size = std::uint32_t(bytes.size());
  return morvane::writeAll(fd, reinterpret_cast<const char *>(&size), sizeof size) &&
         morvane::writeAll(fd, bytes.constData(), bytes.size());
}

bool receiveFrame(int fd, QByteArray &bytes) {
  std::uint32_t size = 0;
  if (!morvane::readFully(fd, reinterpret_cast<char *>(&size), sizeof size)) return false;
  bytes.resize(qsizetype(size));
  return morvane::readFully(fd, bytes.data(), size);
}

struct Worker {
  pid_t pid = -1;
  int requests = -1;  // deck numbers to the worker
  int results = -1;   // results from it
  int deck = -1;      // the deck it works on, or -1 when idle
};

// The worker's life: take a deck number, run it, send the result; until
// the pipe closes or a signal ends the run.
[[noreturn]] void serve(const Options &options, const std::vector<Deck> &decks, int requests,
                        int results) {
  for (;;) {
    std::int32_t index = -1;
    if (!morvane::readFully(requests, reinterpret_cast<char *>(&index), sizeof index) ||
        index < 0 || std::size_t(index) >= decks.size())
      ::_exit(0);
    const DeckResult result = runDeck(options, decks[std::size_t(index)]);
    if (!sendFrame(results, serialize(result))) ::_exit(1);
    if (job::interruptionSignal() != 0) ::_exit(0);
  }
}

// others: the workers started before, whose pipe ends the new process must
// not keep open (a worker sees the end of its requests only when every copy
// of their write end is closed).
Worker startWorker(const Options &options, const std::vector<Deck> &decks,
                   const std::vector<Worker> &others) {
  int toWorker[2];
  int fromWorker[2];
  if (::pipe2(toWorker, O_CLOEXEC) != 0 || ::pipe2(fromWorker, O_CLOEXEC) != 0)
    throw morvane::Error(QStringLiteral("Cannot start a worker: no pipe"));
  const pid_t pid = ::fork();
  if (pid < 0) throw morvane::Error(QStringLiteral("Cannot start a worker process"));
  if (pid == 0) {
    ::close(toWorker[1]);
    ::close(fromWorker[0]);
    for (const Worker &other : others) {
      if (other.requests >= 0) ::close(other.requests);
      if (other.results >= 0) ::close(other.results);
    }
    serve(options, decks, toWorker[0], fromWorker[1]);
  }
  ::close(toWorker[0]);
  ::close(fromWorker[1]);
  return {pid, toWorker[1], fromWorker[0], -1};
}

void stopWorker(Worker &worker) {
  if (worker.requests >= 0) ::close(worker.requests);
  if (worker.results >= 0) ::close(worker.results);
  worker.requests = worker.results = -1;
  if (worker.pid > 0) {
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  worker.pid = -1;
}

class Scheduler {
 public:
  Scheduler(const Options &options, const std::vector<Deck> &decks,
            const std::function<void(const DeckResult &)> &done)
      : options_(options), decks_(decks), done_(done) {}

  int run() {
    // A worker that died must not kill this process when it is sent a deck.
    std::signal(SIGPIPE, SIG_IGN);
    const std::size_t count = std::min<std::size_t>(std::size_t(options_.jobs), decks_.size());
    for (std::size_t i = 0; i < count; ++i)
      workers_.push_back(startWorker(options_, decks_, workers_));
    for (Worker &worker : workers_) assign(worker);
    while (busyWorkers() > 0) {
      forwardInterruption();
      collect();
    }
    for (Worker &worker : workers_) ::close(std::exchange(worker.requests, -1));
    for (Worker &worker : workers_) stopWorker(worker);
    return job::interruptionSignal();
  }

 private:
  void assign(Worker &worker) {
    worker.deck = -1;
    if (job::interruptionSignal() != 0 || next_ >= decks_.size()) return;
    const std::int32_t index = std::int32_t(next_);
    if (!morvane::writeAll(worker.requests, reinterpret_cast<const char *>(&index), sizeof index))
      return;
    worker.deck = index;
    ++next_;
  }

  int busyWorkers() const {
    int busy = 0;
    for (const Worker &worker : workers_) busy += worker.deck >= 0 ? 1 : 0;
    return busy;
  }

  // A signal that reached this process only (kill -TERM) is passed on.
  void forwardInterruption() {
    const int signalNumber = job::interruptionSignal();
    if (signalNumber == 0 || forwarded_) return;
    forwarded_ = true;
    for (const Worker &worker : workers_)
      if (worker.deck >= 0) ::kill(worker.pid, signalNumber);
  }

  void collect() {
    std::vector<pollfd> fds;
    for (const Worker &worker : workers_)
      fds.push_back({worker.deck >= 0 ? worker.results : -1, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), kPollMilliseconds) <= 0) return;
    for (std::size_t i = 0; i < workers_.size(); ++i)
      if (fds[i].revents != 0) receive(workers_[i]);
  }

  void receive(Worker &worker) {
    QByteArray frame;
    DeckResult result;
    const bool received = receiveFrame(worker.results, frame);
    if (received) {
      result = deserialize(frame);
    } else {
      // The worker died (a crash in a decoder, say): the deck fails and a
      // new worker takes its place.
      result.source = decks_[std::size_t(worker.deck)].source;
      result.outputFolder = decks_[std::size_t(worker.deck)].outputFolder;
      result.outcome = DeckResult::Outcome::Failed;
      result.error =
          QStringLiteral("The worker process for %1 ended unexpectedly").arg(result.source);
    }
    finished_[worker.deck] = result;
    printInOrder();
    if (!received) {
      stopWorker(worker);
      worker = startWorker(options_, decks_, workers_);
    }
    assign(worker);
  }

  void printInOrder() {
    for (auto it = finished_.find(int(printed_)); it != finished_.end();
         it = finished_.find(int(printed_))) {
      done_(it->second);
      finished_.erase(it);
      ++printed_;
    }
  }

  const Options &options_;
  const std::vector<Deck> &decks_;
  const std::function<void(const DeckResult &)> &done_;
  std::vector<Worker> workers_;
  std::map<int, DeckResult> finished_;
  std::size_t next_ = 0;
  std::size_t printed_ = 0;
  bool forwarded_ = false;
};

}  // namespace

int runDecksInParallel(const Options &options, const std::vector<Deck> &decks,
                       const std::function<void(const DeckResult &)> &done) {
  return Scheduler(options, decks, done).run();
}

}  // namespace cli
