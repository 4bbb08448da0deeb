#pragma once

// Seam to the desktop shell: hands a URL (a "mailto:" link, for one) to the
// desktop's default handler for its scheme. Tests install a replacement.

#include <QUrl>

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Asks the desktop to open the URL; true when a handler accepted it.
  virtual bool openUrl(const QUrl &url) = 0;

  // The shell in use: the desktop's, unless a replacement is installed.
  static Shell &current();
  // Installs a replacement (not owned); nullptr puts the desktop's back.
  static void replace(Shell *replacement);
};

}  // namespace platform
