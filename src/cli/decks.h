#pragma once

// Which decks one run works on, and where each one's outputs go.

#include <QString>
#include <QStringList>
#include <vector>

#include "cli/options.h"

namespace cli {

struct Deck {
  QString source;             // absolute path
  QString outputFolder;       // absolute, with a trailing "/"
  bool createFolder = false;  // the folder may not exist yet
};

// The decks of the FILE arguments: with --recursive a folder stands for
// every presentation below it. Throws UsageError when two decks would write
// into one folder.
std::vector<Deck> planDecks(const Options &options);

// The absolute form of path (the current folder read as bytes).
QString absolutePath(const QString &path);

// Creates folder and the folders above it that are missing; throws
// morvane::Error with the system's reason.
void makeFolder(const QString &folder);

}  // namespace cli
