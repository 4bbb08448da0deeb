#pragma once

// Documents for the readers to check: samples written through the word
// processor's object model as the text harvest drives it, and the documents
// the real job writes for the decks of the reference corpus.

#include <QString>
#include <QStringList>
#include <vector>

namespace docsamples {

struct ParagraphSpec {
  QString text;  // without its paragraph mark
  bool heading = false;
  bool rightToLeft = false;  // what the writer must find
};

struct Sample {
  QString name;
  QString path;  // the written document
  QString title;
  std::vector<ParagraphSpec> paragraphs;
  QString symbolFont;  // the font named for the characters U+F020-U+F0FF
  QString text;        // the text given to the word processor
  QString expected;    // the document text the writer makes of it
};

// Writes every sample into folder.
std::vector<Sample> writeSamples(const QString &folder);

struct CorpusDocument {
  QString deck;
  QString path;      // the written document
  QString expected;  // the document text for the job's gathered text
  bool everyText = false;
};

// Runs the text harvest (no pictures, no working copy, the name "Notes"),
// with or without --every-text, over every deck of the reference corpus,
// each into a folder of its own below folder; decks without text give no
// document, decks the job fails on are listed in failures. Empty when the
// corpus is absent (MORVANE_SHARED_DIR).
std::vector<CorpusDocument> writeCorpusDocuments(const QString &folder, bool everyText,
                                                 QStringList *failures);

// Whether a failure was a member of the object model that the presentation
// reader does not offer (yet).
bool readerLacksMembers(const QStringList &failures);

}  // namespace docsamples
