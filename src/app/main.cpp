#include <QApplication>

#include "app/frmMain.h"
#include "common/version.h"

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(morvane::kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(morvane::kVersionString));
  // Lets Wayland desktops match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Morvane"));
  // The program ends when its last window closes; Exit closes the main
  // window only, so an open About or Help window keeps the program running.
  QApplication::setQuitOnLastWindowClosed(true);
  auto *window = new frmMain;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return QApplication::exec();
}
