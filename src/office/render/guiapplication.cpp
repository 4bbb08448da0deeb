#include "office/render/guiapplication.h"

#include <QGuiApplication>

namespace office::render {

void ensureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  // The arguments must outlive the application object, which lives until
  // the program ends.
  static int argc = 3;
  static char program[] = "morvane";
  static char platformOption[] = "-platform";
  static char offscreen[] = "offscreen";
  static char *argv[] = {program, platformOption, offscreen, nullptr};
  static auto *application = new QGuiApplication(argc, argv);
  (void)application;
}

}  // namespace office::render
