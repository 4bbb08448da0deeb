#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

#include "app/frmMain.h"
#include "common/version.h"
#include "job/interruption.h"

namespace {

// SIGTERM, SIGHUP and SIGINT end the program as closing its windows would;
// a job that runs then stops at its next picture or shape and removes its
// working copy first. The signal handler wakes the event loop through a
// pipe.
void quitOnSignals(QApplication &app) {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    job::installInterruptionHandlers();
    return;
  }
  job::installInterruptionHandlers(wake[1]);
  auto *notifier = new QSocketNotifier(wake[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [wake] {
    char byte;
    while (::read(wake[0], &byte, 1) > 0) {
    }
    QApplication::quit();
  });
}

}  // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(morvane::kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(morvane::kVersionString));
  // Lets Wayland desktops match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Morvane"));
  // The program ends when its last window closes; Exit closes the main
  // window only, so an open About or Help window keeps the program running.
  QApplication::setQuitOnLastWindowClosed(true);
  quitOnSignals(app);
  auto *window = new frmMain;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return QApplication::exec();
}
