#pragma once

// The compound file around the document's streams: WordDocument, 1Table,
// the CompObj stream naming the document's type, and the summary and
// document summary property sets.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace office::doc {

struct DocumentStreams {
  QByteArray wordDocument;
  QByteArray table;
};

struct DocumentProperties {
  QString title;
  QDateTime created;
  QDateTime saved;
  qsizetype characters = 0;
  qsizetype paragraphs = 0;
};

QByteArray compoundFile(const DocumentStreams &streams, const DocumentProperties &properties);

}  // namespace office::doc
