#pragma once

// What morvane-extract prints: each deck's log on standard output with LF
// line ends, warnings and errors on standard error, --list lines, the
// --json document, and the summary.

#include <QByteArray>
#include <vector>

#include "cli/deckrun.h"
#include "cli/options.h"

namespace cli {

struct Totals {
  int decks = 0, completed = 0, failed = 0;
  int pictures = 0, charts = 0, documents = 0, warnings = 0;
  void add(const DeckResult &result);
};

class Report {
 public:
  explicit Report(const Options &options) : options_(options) {}
  // Prints one deck's results (text mode) or keeps them (JSON).
  void deck(const DeckResult &result);
  // The summary line (text mode, several decks or an interrupted run) or
  // the whole JSON document.
  void finish(bool interrupted);
  const Totals &totals() const { return totals_; }

 private:
  void printText(const DeckResult &result);
  void printList(const DeckResult &result);
  void writeJson(const DeckResult &result);

  const Options &options_;
  Totals totals_;
  std::vector<QByteArray> jsonDecks_;
};

// Writes bytes to a stream and flushes it.
void writeOut(FILE *stream, const QByteArray &bytes);

}  // namespace cli
