#pragma once

// The command line of morvane-extract: its options, their checks, and the
// help text.

#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

struct Options {
  bool pictures = true;
  bool graph = false;
  std::optional<QString> textName;
  QString outputFolder;  // --output; empty: beside each deck
  bool recursive = false;
  bool list = false;
  bool json = false;
  bool original = false;
  bool everyPicture = false;
  bool everyText = false;
  bool quiet = false;
  int jobs = 1;
  QStringList files;
};

enum class Request { Run, Help, Version };

// A mistake on the command line; exit status 2.
struct UsageError {
  QString message;
};

// Parses the arguments (without the program name). Throws UsageError.
Request parseArguments(const QStringList &arguments, Options &options);

// The full --help text.
QString helpText();
// The usage line.
QString usageText();

}  // namespace cli
