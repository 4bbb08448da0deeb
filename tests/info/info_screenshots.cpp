// Shows the About and Quick Help windows as the Help and About commands do
// and saves a picture of each: info_screenshots OUTPUT_FOLDER. Run it under
// an X server (xvfb-run) to see the windows as the desktop draws them.

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/frmMain.h"
#include "info/frmAbout.h"
#include "info/frmhelp.h"

namespace {

bool save(QWidget *window, const QString &path) {
  QApplication::processEvents();
  const QPixmap shot = window->screen()->grabWindow(window->winId());
  const bool saved = !shot.isNull() && shot.save(path);
  std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qPrintable(path), shot.width(),
              shot.height());
  return saved;
}

}  // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  frmMain main;
  main.setWindowIcon(QIcon(QStringLiteral(":/icons/morvane-32.png")));
  bool ok = true;

  QTimer::singleShot(300, [&] {
    main.mnuAbout_Click();
    frmAbout *about = frmAbout::instance();
    about->Timer1->stop();
    about->Timer1_Timer();  // the half second in which the version shows
  });
  QTimer::singleShot(900, [&] {
    ok &= save(frmAbout::instance(), out.filePath(QStringLiteral("about-window.png")));
    frmAbout::instance()->close();
    main.mnuHelp_Click();
  });
  QTimer::singleShot(1500, [&] {
    ok &= save(frmhelp::instance(), out.filePath(QStringLiteral("help-window.png")));
    QApplication::exit(ok ? 0 : 1);
  });
  return QApplication::exec();
}
