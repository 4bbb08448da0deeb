#include "platform/process.h"

#include <QProcess>

namespace platform {
namespace {

class DetachedProcess final : public Process {
 public:
  bool startDetached(const QString &program, const QStringList &arguments) override {
    return QProcess::startDetached(program, arguments);
  }
};

Process *replacementProcess = nullptr;

}  // namespace

Process &Process::current() {
  static DetachedProcess real;
  return replacementProcess ? *replacementProcess : real;
}

void Process::replace(Process *replacement) { replacementProcess = replacement; }

}  // namespace platform
