#include "platform/shell.h"

#include <QDesktopServices>

namespace platform {
namespace {

class DesktopShell final : public Shell {
 public:
  bool openUrl(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

Shell *replacementShell = nullptr;

}  // namespace

Shell &Shell::current() {
  static DesktopShell desktop;
  return replacementShell ? *replacementShell : desktop;
}

void Shell::replace(Shell *replacement) { replacementShell = replacement; }

}  // namespace platform
