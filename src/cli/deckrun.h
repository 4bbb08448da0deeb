#pragma once

// One deck's job and everything it reported, kept so that decks worked on
// in parallel can be printed whole and in command-line order.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "cli/decks.h"
#include "cli/options.h"
#include "job/extractionjob.h"

namespace cli {

struct DeckResult {
  enum class Outcome { Completed, Failed, Interrupted };
  Outcome outcome = Outcome::Completed;
  int signalNumber = 0;  // Interrupted
  QString source;
  QString outputFolder;
  QString log;      // as the window shows it (CR LF), warnings included
  QString printed;  // the log for standard output: no warnings, no error
  QString error;    // the failure's description
  QStringList warnings;
  std::vector<job::OutputRecord> outputs;
  std::vector<job::TextRecord> texts;
  QString document;
  qint64 documentBytes = -1;

  int pictureCount() const;  // written, or listed
  int chartCount() const;
};

// Runs the job on deck; never throws.
DeckResult runDeck(const Options &options, const Deck &deck);

// For the worker processes of --jobs.
QByteArray serialize(const DeckResult &result);
DeckResult deserialize(const QByteArray &bytes);

}  // namespace cli
