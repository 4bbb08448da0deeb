#include "info/frmAbout.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "common/version.h"
#include "info/fonts.h"
#include "info/layout.h"
#include "info/mOpenURL.h"
#include "info/palette.h"
#include "info/pictures.h"
#include "platform/shell.h"

namespace {

using info::kTwipsPerPixel;
using info::setTextColour;
using info::twips;

const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);

QFont tahoma(qreal points, bool bold) {
  return info::windowsFont(QStringLiteral("Tahoma"), points, bold);
}

// A separator line: drawn on the window's surface, so it takes no mouse
// events of its own.
struct SeparatorLine {
  QLine twipsLine;
  QColor colour;
};

const SeparatorLine kLines[] = {
    {QLine(240, 3240, 5385, 3240), kGrey},       // Line1(0)
    {QLine(-120, 3240, 5280, 3240), Qt::white},  // Line1(1)
    {QLine(-360, 4680, 5160, 4680), Qt::white},  // Line2
};

QPointer<frmAbout> openAbout;

}  // namespace

QString versionText(int major, int minor, int revision) {
  return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {
  setMouseTracking(true);
}

void LinkLabel::mouseMoveEvent(QMouseEvent *event) {
  event->accept();
  emit mouseMoved();
}

void LinkLabel::mousePressEvent(QMouseEvent *event) {
  event->accept();
  if (event->button() == Qt::LeftButton) pressed_ = true;
}

// A click is a press and a release of the left button, both on the label.
void LinkLabel::mouseReleaseEvent(QMouseEvent *event) {
  event->accept();
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) emit clicked();
}

const QString frmAbout::kEmailAddress = QStringLiteral("morvane@example.org");
const QString frmAbout::kWebAddress = QStringLiteral("https://example.org/morvane");
const QString frmAbout::kIssuesAddress = QStringLiteral("https://example.org/morvane/issues");

std::int16_t frmAbout::BlinkIndex = 0;

frmAbout *frmAbout::instance() { return openAbout.data(); }

frmAbout *frmAbout::showSingle(const QWidget *mainWindow) {
  if (!openAbout) {
    openAbout = new frmAbout(mainWindow);
    openAbout->Form_Load();
    const QRect screen = openAbout->screen()->availableGeometry();
    openAbout->move(screen.center() - openAbout->rect().center());
  }
  openAbout->show();
  openAbout->raise();
  openAbout->activateWindow();
  return openAbout;
}

// A fixed, title-only tool window: no minimise or maximise box and no
// taskbar entry. Tool windows do not keep the program running by default;
// this one does, like every other top-level window of the program.
frmAbout::frmAbout(const QWidget *mainWindow) : QWidget(nullptr), mainWindow_(mainWindow) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setAttribute(Qt::WA_QuitOnClose, true);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About This Software ..."));
  setFixedSize(5070 / kTwipsPerPixel, 4905 / kTwipsPerPixel);
  setFont(tahoma(8.25, true));
  setPalette(info::designPalette());
  setMouseTracking(true);
  buildControls();

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
  Timer1->start();
}

// Every control stops the pointer's movements at itself, so only the bare
// window surface reports them to the window.
QLabel *frmAbout::addLabel(const QString &text, QWidget *container, QRect place) {
  auto *label = new QLabel(text, container);
  label->setGeometry(place);
  label->setFont(tahoma(8.25, false));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAttribute(Qt::WA_NoMousePropagation);
  return label;
}

void frmAbout::buildControls() {
  lpAppImage = addLabel({}, this, twips(120, 120, 1125, 3000));
  lpAppImage->setPixmap(QPixmap::fromImage(info::bannerPicture()));

  lbAppVersion[1] = addLabel({}, this, twips(1920, 120, 1005, 195));

  lbAppTitle = addLabel(QStringLiteral("Morvane"), this, twips(1320, 360, 2610, 210));
  lbAppTitle->setFont(tahoma(9, true));
  setTextColour(lbAppTitle, kNavy);

  imgIcon = addLabel({}, this, twips(4080, 360, 480, 480));

  lbAppVersionorg = addLabel({}, this, twips(1320, 720, 1215, 255));
  lbAppVersionorg->setFont(font());

  lbAppVersion[0] = addLabel(QStringLiteral("Version 1.0.0"), this, twips(2760, 720, 960, 195));
  lbAppVersion[0]->setVisible(false);

  buildLinks();
  Label3 = addLabel(QStringLiteral("Report a problem:"), this, twips(1320, 1560, 1695, 255));
  Label4 = addLabel(kIssuesAddress, this, twips(1320, 1800, 2895, 255));
  buildCredits();

  cmdExit = new QPushButton(QStringLiteral("&Ok"), this);
  cmdExit->setGeometry(twips(1800, 3840, 1275, 375));
  cmdExit->setFont(tahoma(8.25, false));
  cmdExit->setAttribute(Qt::WA_NoMousePropagation);
  connect(cmdExit, &QPushButton::clicked, this, &frmAbout::cmdExit_Click);
  cmdExit->setFocus();
}

void frmAbout::buildLinks() {
  Label7 = addLabel(QStringLiteral("Email    :"), this, twips(1320, 1080, 615, 255));
  lblEmailme = new LinkLabel(kEmailAddress, this);
  lblEmailme->setGeometry(twips(1920, 1080, 1815, 255));
  lblEmailme->setFont(tahoma(8.25, false));
  lblEmailme->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTextColour(lblEmailme, palette().color(QPalette::ButtonText));
  lblEmailme->setCursor(info::envelopeCursor());
  connect(lblEmailme, &LinkLabel::mouseMoved, this, &frmAbout::lblEmailme_MouseMove);
  connect(lblEmailme, &LinkLabel::clicked, this, &frmAbout::lblEmailme_Click);

  Label2 = addLabel(QStringLiteral("URL      :"), this, twips(1320, 1320, 615, 255));
  lblMyweb = new LinkLabel(kWebAddress, this);
  lblMyweb->setGeometry(twips(1920, 1320, 3015, 255));
  lblMyweb->setFont(tahoma(8.25, false));
  lblMyweb->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTextColour(lblMyweb, Qt::black);
  lblMyweb->setCursor(info::handCursor());
  connect(lblMyweb, &LinkLabel::mouseMoved, this, &frmAbout::lblMyweb_MouseMove);
  connect(lblMyweb, &LinkLabel::clicked, this, &frmAbout::lblMyweb_Click);
}

// The credit panel: a sunken box; its lines are placed inside its border.
void frmAbout::buildCredits() {
  Picture1 = new QFrame(this);
  Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Picture1->setLineWidth(2);
  Picture1->setGeometry(twips(1320, 2160, 3615, 975));
  Picture1->setAttribute(Qt::WA_NoMousePropagation);
  const QPoint inside = Picture1->contentsRect().topLeft();
  lbAppCopyright = addLabel(QStringLiteral("Morvane is free software"), Picture1,
                            twips(120, 120, 3285, 195).translated(inside));
  lbAInfo = addLabel(QStringLiteral("Built with Qt 6 and libgsf"), Picture1,
                     twips(120, 360, 2640, 195).translated(inside));
  Label10 = addLabel(QStringLiteral("Made on Earth"), Picture1,
                     twips(120, 600, 1260, 195).translated(inside));
}

void frmAbout::Form_Load() {
  lbAppVersion[0]->setText(
      versionText(morvane::kVersionMajor, morvane::kVersionMinor, morvane::kVersionPatch));
  if (mainWindow_) imgIcon->setPixmap(mainWindow_->windowIcon().pixmap(32, 32));
}

void frmAbout::Timer1_Timer() {
  lbAppVersionorg->setText(lbAppVersion.at(BlinkIndex)->text());
  BlinkIndex = static_cast<std::int16_t>((BlinkIndex + 1) % 2);
}

void frmAbout::Form_MouseMove() {
  setTextColour(lblMyweb, Qt::black);
  setTextColour(lblEmailme, Qt::black);
}

void frmAbout::lblEmailme_MouseMove() { setTextColour(lblEmailme, kNavy); }

void frmAbout::lblMyweb_MouseMove() { setTextColour(lblMyweb, kNavy); }

// The desktop's handler for "mailto:" starts a new message; when there is
// none, nothing happens.
void frmAbout::lblEmailme_Click() {
  platform::Shell::current().openUrl(QUrl(QStringLiteral("mailto:") + kEmailAddress));
}

void frmAbout::lblMyweb_Click() { mOpenURL::OpenURL(kWebAddress); }

void frmAbout::cmdExit_Click() { close(); }

// Unloading: the blink stops at once, so no tick can move BlinkIndex while
// the closed window waits to be deleted.
void frmAbout::closeEvent(QCloseEvent *event) {
  Timer1->stop();
  QWidget::closeEvent(event);
}

void frmAbout::mouseMoveEvent(QMouseEvent *event) {
  event->accept();
  Form_MouseMove();
}

void frmAbout::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  for (const SeparatorLine &line : kLines) {
    painter.setPen(line.colour);
    painter.drawLine(line.twipsLine.p1() / kTwipsPerPixel, line.twipsLine.p2() / kTwipsPerPixel);
  }
}
