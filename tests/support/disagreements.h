#pragma once

// Where a reader's answer differs from the reference corpus's after checking
// the bytes. Each corpus suite keeps its own list; a listed aspect must give
// what the list says we report, every other aspect the reference's answer.

#include <QString>
#include <QtTest>
#include <span>

namespace corpussuite {

struct Disagreement {
  const char *file;
  const char *aspect;  // "status", "slide N", "slide N shape M text" ...
  const char *ours;    // what we report instead of the reference
  const char *reason;
};

inline const Disagreement *findDisagreement(std::span<const Disagreement> list, const QString &file,
                                            const QString &aspect) {
  for (const Disagreement &d : list)
    if (file == QLatin1String(d.file) && aspect == QLatin1String(d.aspect)) return &d;
  return nullptr;
}

inline void compareAspect(std::span<const Disagreement> list, const QString &file,
                          const QString &aspect, const QString &ours, const QString &reference) {
  if (const Disagreement *d = findDisagreement(list, file, aspect)) {
    QCOMPARE(ours, QString::fromUtf8(d->ours));
    return;
  }
  if (ours != reference)
    QFAIL(qPrintable(QStringLiteral("%1, %2: ours \"%3\", reference \"%4\"")
                         .arg(file, aspect, ours, reference)));
}

}  // namespace corpussuite
