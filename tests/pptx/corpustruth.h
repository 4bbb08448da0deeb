#pragma once

// The reference corpus of PowerPoint 2007+ files and its readings
// (MORVANE_SHARED_DIR/corpus-pptx and corpus-pptx-truth).

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTest>

#include "corpussuite.h"

namespace testpptx {

inline QString sharedDir() { return qEnvironmentVariable("MORVANE_SHARED_DIR"); }

inline QString corpusFile(const QString &file) {
  return sharedDir() + QStringLiteral("/corpus-pptx/") + file;
}

// The reference reading of a corpus file; empty when there is none.
inline QJsonObject readTruth(const QString &file) {
  QFile f(sharedDir() + QStringLiteral("/corpus-pptx-truth/") + file + QStringLiteral(".json"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

inline bool corpusAvailable() { return corpussuite::present(QStringLiteral("corpus-pptx")); }

// One row "file" per corpus file, for a data-driven test.
inline void addCorpusRows() {
  QTest::addColumn<QString>("file");
  const QDir dir(sharedDir() + QStringLiteral("/corpus-pptx"));
  for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
    QTest::newRow(qPrintable(name)) << name;
}

}  // namespace testpptx
