#include <QApplication>

#include "app/frmMain.h"
#include "common/version.h"

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(morvane::kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(morvane::kVersionString));
  auto *window = new frmMain;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return QApplication::exec();
}
