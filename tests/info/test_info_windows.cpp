// The About and Quick Help windows as the user meets them: one window per
// command, the blinking version line, the link colours under the pointer,
// the links themselves, the keyboard, and the exact help text.

#include <QFile>
#include <QFrame>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>

#include "app/frmMain.h"
#include "closeinfowindows.h"
#include "common/version.h"
#include "info/frmAbout.h"
#include "info/frmhelp.h"
#include "seamfakes.h"

namespace {

const QColor kNavy(0, 0, 128);

QColor textColour(const QWidget *label) { return label->palette().color(QPalette::WindowText); }

int topLevelsOf(const char *className) {
  int count = 0;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->inherits(className)) ++count;
  return count;
}

}  // namespace

class TestInfoWindows : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { closeInfoWindows(); }

  void helpOnePerCommand();
  void helpTextByteForByte();
  void helpTypingChangesNothing();
  void helpFocusAndTabOrder();
  void helpOkClosesAndReopensAtTop();

  void aboutOnePerCommandWithMainWindowIcon();
  void aboutStaysTopLevelAndKeepsProgramRunning();
  void versionText_data();
  void versionText();
  void blinkSequence();
  void blinkContinuesAfterReopen();
  void hoverColours();
  void spaceOnOkCloses();
  void mailLinkGoesToShell();
  void webLinkOpensItsOwnAddress();
  void addressesAreTheMetadatas();
  void metadataScreenshotsAreInDocs();
  void aboutAddressesFitTheirLabels();
};

void TestInfoWindows::helpOnePerCommand() {
  frmMain main;
  main.mnuHelp_Click();
  QPointer<frmhelp> first = frmhelp::instance();
  QVERIFY(first && first->isVisible());
  QVERIFY(first->isWindow() && first->parentWidget() == nullptr);
  main.mnuHelp_Click();
  QCOMPARE(frmhelp::instance(), first.data());
  QCOMPARE(topLevelsOf("frmhelp"), 1);
}

// The help text as bytes in the Windows Latin-1 code page, line by line.
void TestInfoWindows::helpTextByteForByte() {
  const QByteArray expected =
      "With this utility you can extract your PowerPoint PPT files to jpg fast and easy. \r\n"
      "\r\n"
      "A flexible and powerful user interface.\xA0\r\n"
      "Can automate thousands of image extract in a single click.\r\n"
      "Support for files on network.\r\n"
      "Drag and drop folder from Windows Explorer.\r\n"
      "Support Office97, 2k, 2003 and XP Powerpoint files.\r\n"
      "\r\n"
      "How do I Install?\r\n"
      "Morvane is a standalone software.  No installation \r\n"
      "are needed. It was designed to simply run when you want it, and delete \r\n"
      "if you don't need it anymore.\r\n"
      "\r\n"
      "How do I Uninstall?\r\n"
      "Since there is no installation ,no uninstall require .Just delete the \r\n"
      "main exe.\r\n";
  frmhelp *help = frmhelp::showSingle();
  const QString text = help->Text1->text();
  QCOMPARE(QString::fromLatin1(text.toLatin1()), text);
  QCOMPARE(text.toLatin1(), expected);
  QCOMPARE(text.count(QLatin1String("\r\n")), 16);

  // What the box shows: the same characters, one paragraph per line, the
  // no-break space kept.
  QString shown = QString::fromLatin1(expected);
  shown.replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator));
  QCOMPARE(help->Text1->document()->toRawText(), shown);
}

void TestInfoWindows::helpTypingChangesNothing() {
  frmhelp *help = frmhelp::showSingle();
  help->Text1->setFocus();
  QTest::keyClicks(help->Text1, QStringLiteral("xyz"));
  QTest::keyClick(help->Text1, Qt::Key_Backspace);
  QTest::keyClick(help->Text1, Qt::Key_Delete);
  QCOMPARE(help->Text1->text(), frmhelp::kHelpText);
  QCOMPARE(help->Text1->document()->toRawText(),
           QString(frmhelp::kHelpText)
               .replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator)));
}

void TestInfoWindows::helpFocusAndTabOrder() {
  frmhelp *help = frmhelp::showSingle();
  QVERIFY(QTest::qWaitForWindowActive(help));
  QCOMPARE(QApplication::focusWidget(), help->cmdCLOSE);
  QTest::keyClick(help->cmdCLOSE, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), help->Text1);
}

void TestInfoWindows::helpOkClosesAndReopensAtTop() {
  QPointer<frmhelp> help = frmhelp::showSingle();
  QVERIFY(QTest::qWaitForWindowExposed(help));
  help->Text1->setFixedHeight(60);  // make sure there is something to scroll
  QScrollBar *bar = help->Text1->verticalScrollBar();
  QTRY_VERIFY(bar->maximum() > 0);
  bar->setValue(bar->maximum());
  QTest::mouseClick(help->cmdCLOSE, Qt::LeftButton);
  QTRY_VERIFY(help.isNull());
  QVERIFY(frmhelp::instance() == nullptr);

  frmhelp *again = frmhelp::showSingle();
  QVERIFY(QTest::qWaitForWindowExposed(again));
  QCOMPARE(again->Text1->verticalScrollBar()->value(), 0);
  QCOMPARE(again->Text1->text(), frmhelp::kHelpText);
}

void TestInfoWindows::aboutOnePerCommandWithMainWindowIcon() {
  frmMain main;
  QPixmap red(32, 32);
  red.fill(Qt::red);
  main.setWindowIcon(QIcon(red));
  main.mnuAbout_Click();
  QPointer<frmAbout> first = frmAbout::instance();
  QVERIFY(first && first->isVisible());
  main.mnuAbout_Click();
  QCOMPARE(frmAbout::instance(), first.data());
  QCOMPARE(topLevelsOf("frmAbout"), 1);
  QCOMPARE(first->imgIcon->pixmap().toImage().pixelColor(16, 16), QColor(Qt::red));
}

// A tool window (no taskbar entry) of its own, not owned by the main window,
// which still counts as an open window for the program's lifetime.
void TestInfoWindows::aboutStaysTopLevelAndKeepsProgramRunning() {
  frmAbout *about = frmAbout::showSingle(nullptr);
  QVERIFY(about->isWindow() && about->parentWidget() == nullptr);
  QCOMPARE(about->windowType(), Qt::Tool);
  QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QVERIFY(about->testAttribute(Qt::WA_QuitOnClose));
  QCOMPARE(about->minimumSize(), QSize(338, 327));
  QCOMPARE(about->maximumSize(), QSize(338, 327));
}

void TestInfoWindows::versionText_data() {
  QTest::addColumn<int>("major");
  QTest::addColumn<int>("minor");
  QTest::addColumn<int>("revision");
  QTest::addColumn<QString>("expected");
  QTest::newRow("2.13.105") << 2 << 13 << 105 << QStringLiteral("Version 2.13.105");
  QTest::newRow("no zero filling") << 1 << 0 << 0 << QStringLiteral("Version 1.0.0");
  QTest::newRow("large") << 10 << 9999 << 32767 << QStringLiteral("Version 10.9999.32767");
}

void TestInfoWindows::versionText() {
  QFETCH(int, major);
  QFETCH(int, minor);
  QFETCH(int, revision);
  QFETCH(QString, expected);
  QCOMPARE(::versionText(major, minor, revision), expected);
}

void TestInfoWindows::blinkSequence() {
  frmAbout::BlinkIndex = 0;
  frmAbout *about = frmAbout::showSingle(nullptr);
  const QString version =
      ::versionText(morvane::kVersionMajor, morvane::kVersionMinor, morvane::kVersionPatch);
  QCOMPARE(about->lbAppVersion[0]->text(), version);
  QVERIFY(!about->lbAppVersion[0]->isVisibleTo(about));
  QVERIFY(about->Timer1->isActive());
  QCOMPARE(about->Timer1->interval(), 500);
  QCOMPARE(about->lbAppVersionorg->text(), QString());
  // Empty for the first half second, then the version, then empty...
  const QStringList expected = {version, QString(), version, QString(), version};
  QStringList seen;
  for (int tick = 0; tick < expected.size(); ++tick) {
    about->Timer1_Timer();
    seen << about->lbAppVersionorg->text();
  }
  QCOMPARE(seen, expected);
}

// Closed after an odd number of ticks (the version showing), the window
// opens again with an empty line, and the alternation goes on where it
// stopped: the next tick leaves it empty, the one after shows the version.
void TestInfoWindows::blinkContinuesAfterReopen() {
  frmAbout::BlinkIndex = 0;
  QPointer<frmAbout> about = frmAbout::showSingle(nullptr);
  for (int tick = 0; tick < 3; ++tick) about->Timer1_Timer();
  const QString version = about->lbAppVersion[0]->text();
  QCOMPARE(about->lbAppVersionorg->text(), version);
  about->cmdExit_Click();
  QVERIFY(!about->Timer1->isActive());
  QTRY_VERIFY(about.isNull());
  QCOMPARE(frmAbout::BlinkIndex, std::int16_t(1));

  about = frmAbout::showSingle(nullptr);
  QCOMPARE(about->lbAppVersionorg->text(), QString());
  about->Timer1_Timer();
  QCOMPARE(about->lbAppVersionorg->text(), QString());
  about->Timer1_Timer();
  QCOMPARE(about->lbAppVersionorg->text(), version);
}

// Real pointer movements: each control stops them at itself; only the bare
// window surface (lines included) turns both links black.
void TestInfoWindows::hoverColours() {
  frmAbout *about = frmAbout::showSingle(nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(about));
  QCOMPARE(textColour(about->lblEmailme), about->palette().color(QPalette::ButtonText));
  QCOMPARE(textColour(about->lblMyweb), QColor(Qt::black));

  auto moveOnto = [&](QWidget *target, QPoint at = QPoint(3, 3)) {
    QTest::mouseMove(about, target->mapTo(about, at));
  };
  auto colours = [&] {
    return QList<QColor>{textColour(about->lblEmailme), textColour(about->lblMyweb)};
  };
  const QList<QColor> bothNavy = {kNavy, kNavy};
  const QList<QColor> bothBlack = {Qt::black, Qt::black};

  moveOnto(about->lblEmailme);
  QCOMPARE(colours(), (QList<QColor>{kNavy, Qt::black}));
  moveOnto(about->lblMyweb);
  QCOMPARE(colours(), bothNavy);
  for (QWidget *plain : std::initializer_list<QWidget *>{
           about->Label7, about->lpAppImage, about->Picture1, about->lbAInfo, about->lbAppTitle,
           about->imgIcon, about->cmdExit}) {
    moveOnto(plain);
    QVERIFY2(colours() == bothNavy, plain->metaObject()->className());
  }
  QTest::mouseMove(about, QPoint(300, 216));  // on a separator line
  QCOMPARE(colours(), bothBlack);
  moveOnto(about->lblMyweb);
  QCOMPARE(colours(), (QList<QColor>{Qt::black, kNavy}));
  QTest::mouseMove(about, QPoint(330, 320));
  QCOMPARE(colours(), bothBlack);
}

void TestInfoWindows::spaceOnOkCloses() {
  QPointer<frmAbout> about = frmAbout::showSingle(nullptr);
  QVERIFY(QTest::qWaitForWindowActive(about));
  QCOMPARE(QApplication::focusWidget(), about->cmdExit);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  QTRY_VERIFY(about.isNull());
}

// The mail link hands "mailto:" + the address to the shell; when nothing
// opens it, the window shows nothing and stays as it was.
void TestInfoWindows::mailLinkGoesToShell() {
  FakeShell shell;
  frmAbout *about = frmAbout::showSingle(nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(about));
  QTest::mouseClick(about->lblEmailme, Qt::LeftButton);
  QCOMPARE(shell.opened, QStringList{QStringLiteral("mailto:") + frmAbout::kEmailAddress});
  QCOMPARE(frmAbout::instance(), about);
  QCOMPARE(topLevelsOf("QMessageBox"), 0);
}

// The web link opens exactly the address it shows.
void TestInfoWindows::webLinkOpensItsOwnAddress() {
  FakeDefaultApp lookup(42, QStringLiteral("/opt/browser/run"));
  FakeProcess process;
  frmAbout *about = frmAbout::showSingle(nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(about));
  QTest::mouseClick(about->lblMyweb, Qt::LeftButton);
  QCOMPARE(process.argumentLists, QList<QStringList>{{about->lblMyweb->text()}});
  QCOMPARE(about->lblMyweb->text(), frmAbout::kWebAddress);

  lookup.answer = {31, {}};  // nothing registered: nothing starts, nothing shows
  QTest::mouseClick(about->lblMyweb, Qt::LeftButton);
  QCOMPARE(process.programs.size(), 1);
  QCOMPARE(frmAbout::instance(), about);
}

namespace {

// The elements of the AppStream metadata named `name`: type attribute, text,
// and the size attributes an image has.
struct MetainfoElement {
  QString type;
  QString text;
  QSize size;
};

QList<MetainfoElement> metainfoElements(const QString &name) {
  QFile metainfo(QStringLiteral(MORVANE_SOURCE_DIR "/data/org.example.Morvane.metainfo.xml"));
  if (!metainfo.open(QIODevice::ReadOnly)) return {};
  QList<MetainfoElement> found;
  QXmlStreamReader xml(&metainfo);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != name) continue;
    const QXmlStreamAttributes attributes = xml.attributes();
    MetainfoElement element{attributes.value(QLatin1String("type")).toString(),
                            {},
                            QSize(attributes.value(QLatin1String("width")).toInt(),
                                  attributes.value(QLatin1String("height")).toInt())};
    element.text = xml.readElementText();
    found << element;
  }
  return xml.hasError() ? QList<MetainfoElement>{} : found;
}

}  // namespace

// The addresses of the About window are the ones the AppStream metadata gives
// software centres.
void TestInfoWindows::addressesAreTheMetadatas() {
  QMap<QString, QString> urls;
  for (const MetainfoElement &url : metainfoElements(QStringLiteral("url")))
    urls.insert(url.type, url.text);
  QCOMPARE(urls.value(QStringLiteral("homepage")), frmAbout::kWebAddress);
  QCOMPARE(urls.value(QStringLiteral("bugtracker")), frmAbout::kIssuesAddress);

  frmAbout *about = frmAbout::showSingle(nullptr);
  QCOMPARE(about->lblMyweb->text(), frmAbout::kWebAddress);
  QCOMPARE(about->lblEmailme->text(), frmAbout::kEmailAddress);
  QVERIFY(about->Label4->text().contains(frmAbout::kIssuesAddress));
}

// Every screenshot the metadata lists is a picture in docs/ of the size it
// states, published below the web page.
void TestInfoWindows::metadataScreenshotsAreInDocs() {
  const QList<MetainfoElement> images = metainfoElements(QStringLiteral("image"));
  QVERIFY(images.size() >= 3);
  const QString published = frmAbout::kWebAddress + QStringLiteral("/docs/");
  for (const MetainfoElement &image : images) {
    QVERIFY2(image.text.startsWith(published), qPrintable(image.text));
    const QString file =
        QStringLiteral(MORVANE_SOURCE_DIR "/docs/") + image.text.mid(published.size());
    QCOMPARE(QImage(file).size(), image.size);
  }
}

// An address wider than its label would be cut off at the label's edge.
void TestInfoWindows::aboutAddressesFitTheirLabels() {
  frmAbout *about = frmAbout::showSingle(nullptr);
  for (const QLabel *label : std::initializer_list<const QLabel *>{
           about->lblEmailme, about->lblMyweb, about->Label3, about->Label4}) {
    const int width = label->fontMetrics().horizontalAdvance(label->text());
    QVERIFY2(width <= label->width(), qPrintable(QStringLiteral("\"%1\" needs %2 of %3 pixels")
                                                     .arg(label->text())
                                                     .arg(width)
                                                     .arg(label->width())));
  }
}

QTEST_MAIN(TestInfoWindows)
#include "test_info_windows.moc"
