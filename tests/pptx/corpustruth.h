#pragma once

// The reference corpus of PowerPoint 2007+ files and its readings
// (MORVANE_SHARED_DIR/corpus-pptx and corpus-pptx-truth).

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

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

}  // namespace testpptx
