// The information windows under a dark desktop palette (qt6ct's "darker"
// scheme with Fusion): the help text and the About window's title and links
// stay readable, and both windows look exactly as under the light palette,
// since every colour their design fixes comes with its partner.

#include <QPointer>
#include <QStyle>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>

#include "closeinfowindows.h"
#include "darkpalette.h"
#include "info/frmAbout.h"
#include "info/frmhelp.h"

namespace {

// WCAG 2 relative luminance of an sRGB colour.
double luminance(const QColor &colour) {
  const auto linear = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
         0.0722 * linear(colour.blueF());
}

// WCAG 2 contrast ratio, from 1 (none) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of what is drawn in `area`: its most frequent colour is the
// background, and the text's contrast is the one that at least kTextPixels
// of its pixels reach (the stems of the letters; a stray edge pixel does not
// count).
double drawnContrast(const QImage &picture, const QRect &area) {
  constexpr qsizetype kTextPixels = 20;
  QHash<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) ++counts[picture.pixel(x, y)];
  const QRgb background =
      std::max_element(counts.cbegin(), counts.cend(), [](int a, int b) { return a < b; }).key();
  QList<double> contrasts;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      contrasts << contrastRatio(QColor(background), QColor(picture.pixel(x, y)));
  std::sort(contrasts.begin(), contrasts.end(), std::greater<>());
  return contrasts.size() < kTextPixels ? 1.0 : contrasts.at(kTextPixels - 1);
}

QRect placeIn(const QWidget *window, const QWidget *child) {
  return QRect(child->mapTo(window, QPoint(0, 0)), child->size());
}

QImage picture(QWidget *window) {
  QApplication::processEvents();
  return window->grab().toImage();
}

// WCAG's level AA for text.
constexpr double kReadable = 4.5;

}  // namespace

class TestInfoPalette : public QObject {
  Q_OBJECT

 private slots:
  void init() { darkdesktop::apply(); }
  void cleanup() { closeInfoWindows(); }

  void helpTextReadable();
  void aboutTitleAndLinksReadable_data();
  void aboutTitleAndLinksReadable();
  void samePictureUnderLightAndDarkPalettes();
};

void TestInfoPalette::helpTextReadable() {
  frmhelp *help = frmhelp::showSingle();
  QVERIFY(QTest::qWaitForWindowExposed(help));
  const QImage shown = picture(help);
  const QRect text = placeIn(help, help->Text1->viewport());
  QCOMPARE(shown.pixelColor(text.topLeft() + QPoint(1, 1)), QColor(Qt::white));
  const double contrast = drawnContrast(shown, text);
  QVERIFY2(contrast >= kReadable, qPrintable(QString::number(contrast)));
}

void TestInfoPalette::aboutTitleAndLinksReadable_data() {
  using State = std::function<QLabel *(frmAbout *)>;
  QTest::addColumn<State>("state");
  QTest::newRow("title") << State([](frmAbout *a) { return a->lbAppTitle; });
  QTest::newRow("mail link as opened") << State([](frmAbout *a) { return a->lblEmailme; });
  QTest::newRow("web link as opened") << State([](frmAbout *a) { return a->lblMyweb; });
  QTest::newRow("mail link, pointer on the window") << State([](frmAbout *a) {
    a->Form_MouseMove();
    return a->lblEmailme;
  });
  QTest::newRow("mail link under the pointer") << State([](frmAbout *a) {
    a->lblEmailme_MouseMove();
    return a->lblEmailme;
  });
  QTest::newRow("web link under the pointer") << State([](frmAbout *a) {
    a->lblMyweb_MouseMove();
    return a->lblMyweb;
  });
}

void TestInfoPalette::aboutTitleAndLinksReadable() {
  QFETCH(std::function<QLabel *(frmAbout *)>, state);
  frmAbout *about = frmAbout::showSingle(nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(about));
  const QLabel *label = state(about);
  const double contrast = drawnContrast(picture(about), placeIn(about, label));
  QVERIFY2(contrast >= kReadable, qPrintable(QString::number(contrast)));
}

// Nothing of the desktop's colours shows through: pixel for pixel the same
// windows under Fusion's light palette and under the dark one.
void TestInfoPalette::samePictureUnderLightAndDarkPalettes() {
  const auto pictures = [] {
    frmAbout::BlinkIndex = 0;
    frmAbout *about = frmAbout::showSingle(nullptr);
    about->Timer1->stop();
    about->Timer1_Timer();
    frmhelp *help = frmhelp::showSingle();
    const QList<QImage> shown = {picture(about), picture(help)};
    closeInfoWindows();
    return shown;
  };
  const QList<QImage> dark = pictures();
  QApplication::setPalette(QApplication::style()->standardPalette());
  const QList<QImage> light = pictures();
  QVERIFY(light.at(0) == dark.at(0));
  QVERIFY(light.at(1) == dark.at(1));
}

QTEST_MAIN(TestInfoPalette)
#include "test_info_palette.moc"
