#pragma once

// A one-line progress bar on standard error, shown only when it is a
// terminal and there are several decks.

#include <unistd.h>

#include <QString>
#include <cstdio>

#include "common/filenames.h"

namespace cli {

class ProgressBar {
 public:
  ProgressBar(qsizetype total, bool allowed)
      : total_(total), shown_(allowed && total > 1 && ::isatty(2) == 1) {}

  void show(qsizetype done, const QString &file) {
    if (!shown_) return;
    constexpr qsizetype kWidth = 30;
    const qsizetype filled = done * kWidth / total_;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('.'));
    const QString line = QStringLiteral("\r\033[K[%1] %2/%3 %4")
                             .arg(bar)
                             .arg(done)
                             .arg(total_)
                             .arg(file.mid(file.lastIndexOf(QLatin1Char('/')) + 1));
    const QByteArray bytes = morvane::terminalBytes(line);
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
  }

  void clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }

 private:
  qsizetype total_;
  bool shown_;
};

}  // namespace cli
