#pragma once

// Seam to process start: starts a program detached from this one, with its
// arguments passed as they are (no shell, no splitting on blanks). Tests
// install a replacement.

#include <QString>
#include <QStringList>

namespace platform {

class Process {
 public:
  virtual ~Process() = default;
  // Starts the program and does not wait for it; true when a process started.
  virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;

  // The starter in use: the real one, unless a replacement is installed.
  static Process &current();
  // Installs a replacement (not owned); nullptr puts the real one back.
  static void replace(Process *replacement);
};

}  // namespace platform
