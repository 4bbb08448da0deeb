// Shows the About and Quick Help windows as the Help and About commands do
// and saves a picture of each: info_screenshots OUTPUT_FOLDER [--dark]. Run it
// under an X server (xvfb-run) to see the windows as the desktop draws them.
// --dark gives the program qt6ct's "darker" scheme with Fusion first, shows
// each window over the main window, so the picture shows the dark desktop
// around it, and names the pictures *-dark.png.

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/frmMain.h"
#include "darkpalette.h"
#include "info/frmAbout.h"
#include "info/frmhelp.h"

namespace {

bool save(const QPixmap &shot, const QString &path) {
  const bool saved = !shot.isNull() && shot.save(path);
  std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qPrintable(path), shot.width(),
              shot.height());
  return saved;
}

QPixmap windowShot(QWidget *window) {
  QApplication::processEvents();
  return window->screen()->grabWindow(window->winId());
}

// The main window at the screen's corner and `window` over its lower right:
// the screen area that holds both.
QPixmap shotOverMain(QWidget *window, QWidget *main) {
  main->move(0, 0);
  window->move(main->width() - 150, 80);
  QApplication::processEvents();
  const QRect area = main->frameGeometry().united(window->frameGeometry());
  return window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

}  // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments().mid(1);
  const bool dark = arguments.contains(QStringLiteral("--dark"));
  if (dark) darkdesktop::apply();
  const QStringList folders = arguments.filter(QRegularExpression(QStringLiteral("^[^-]")));
  const QDir out(folders.isEmpty() ? QStringLiteral(".") : folders.constFirst());
  const QString suffix = dark ? QStringLiteral("-dark.png") : QStringLiteral(".png");
  frmMain main;
  main.setWindowIcon(QIcon(QStringLiteral(":/icons/morvane-32.png")));
  if (dark) main.show();
  const auto shot = [&](QWidget *window) {
    return dark ? shotOverMain(window, &main) : windowShot(window);
  };
  bool ok = true;

  QTimer::singleShot(300, [&] {
    main.mnuAbout_Click();
    frmAbout *about = frmAbout::instance();
    about->Timer1->stop();
    about->Timer1_Timer();  // the half second in which the version shows
  });
  QTimer::singleShot(900, [&] {
    ok &= save(shot(frmAbout::instance()), out.filePath(QStringLiteral("about-window") + suffix));
    frmAbout::instance()->close();
    main.mnuHelp_Click();
  });
  QTimer::singleShot(1500, [&] {
    ok &= save(shot(frmhelp::instance()), out.filePath(QStringLiteral("help-window") + suffix));
    QApplication::exit(ok ? 0 : 1);
  });
  return QApplication::exec();
}
