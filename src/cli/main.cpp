// morvane-extract: the extraction job without a window, for batch use and
// scripts. It links no Qt Widgets and creates no application object until a
// picture has to be drawn.

#include <unistd.h>

#include <QStringList>
#include <cstdio>

#include "cli/deckrun.h"
#include "cli/decks.h"
#include "cli/options.h"
#include "cli/pool.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "common/filenames.h"
#include "common/version.h"
#include "job/interruption.h"

namespace {

constexpr int kAllCompleted = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;
constexpr int kSignalBase = 128;

// Qt warns on every start when it runs without a desktop session (as under
// root or in a batch job): the runtime folder it would never use here is
// unset. That line is noise in a command-line tool's output; every other
// message passes through.
void dropSessionNoise(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')), stderr);
}

int usageError(const QString &message) {
  cli::writeOut(stderr, "morvane-extract: " + morvane::terminalBytes(message) + '\n' +
                            cli::usageText().toUtf8() +
                            "Try 'morvane-extract --help' for more information.\n");
  return kUsageError;
}

// One deck after the other in this process; stops at an interruption.
int runInOrder(const cli::Options &options, const std::vector<cli::Deck> &decks,
               cli::Report &report) {
  cli::ProgressBar progress(qsizetype(decks.size()), !options.quiet);
  for (std::size_t i = 0; i < decks.size(); ++i) {
    progress.show(qsizetype(i), decks[i].source);
    const cli::DeckResult result = cli::runDeck(options, decks[i]);
    progress.clear();
    report.deck(result);
    if (const int signalNumber = job::interruptionSignal()) return signalNumber;
  }
  return 0;
}

int run(const cli::Options &options) {
  qInstallMessageHandler(dropSessionNoise);
  job::installInterruptionHandlers();
  std::vector<cli::Deck> decks;
  try {
    decks = cli::planDecks(options);
  } catch (const cli::UsageError &error) {
    return usageError(error.message);
  }
  cli::Report report(options);
  const int signalNumber =
      options.jobs > 1 && decks.size() > 1
          ? cli::runDecksInParallel(options, decks,
                                    [&](const cli::DeckResult &result) { report.deck(result); })
          : runInOrder(options, decks, report);
  report.finish(signalNumber != 0);
  if (signalNumber != 0) return kSignalBase + signalNumber;
  return report.totals().failed == 0 ? kAllCompleted : kSomeFailed;
}

}  // namespace

int main(int argc, char *argv[]) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << morvane::fileNameFromBytes(QByteArray(argv[i]));
  cli::Options options;
  int status = kAllCompleted;
  try {
    switch (cli::parseArguments(arguments, options)) {
      case cli::Request::Help:
        cli::writeOut(stdout, cli::helpText().toUtf8());
        return kAllCompleted;
      case cli::Request::Version:
        std::printf("morvane-extract %s\n", morvane::kVersionString);
        return kAllCompleted;
      case cli::Request::Run:
        status = run(options);
        break;
    }
  } catch (const cli::UsageError &error) {
    return usageError(error.message);
  }
  // Everything is written and flushed; the application objects' teardown
  // (the font database in particular) would only cost time.
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(status);
}
