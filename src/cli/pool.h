#pragma once

// Working on several decks at once (--jobs N): N worker processes, each
// taking the next deck when it is done with one. Processes rather than
// threads, because drawing needs a GUI application object per process and
// every deck then starts from a clean state. Results come back whole over a
// pipe and are handed on in command-line order.

#include <functional>
#include <vector>

#include "cli/deckrun.h"
#include "cli/decks.h"
#include "cli/options.h"

namespace cli {

// Calls done(result) for each deck in order; returns the signal that
// interrupted the run, or 0. Decks not started when a signal arrives are
// not reported.
int runDecksInParallel(const Options &options, const std::vector<Deck> &decks,
                       const std::function<void(const DeckResult &)> &done);

}  // namespace cli
