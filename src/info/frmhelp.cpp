#include "info/frmhelp.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "info/fonts.h"
#include "info/layout.h"
#include "info/palette.h"
#include "info/pictures.h"

namespace {

using info::kTwipsPerPixel;
using info::setTextColour;
using info::twips;

QPointer<frmhelp> openHelp;

}  // namespace

const QString frmhelp::kHelpText = QStringLiteral(
    "With this utility you can extract your PowerPoint PPT files to jpg fast and easy. \r\n"
    "\r\n"
    "A flexible and powerful user interface.\u00A0\r\n"
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
    "main exe.\r\n");

// The box is white by design; its text is black with it, so a desktop
// palette with white text cannot make it vanish.
HelpTextBox::HelpTextBox(QWidget *parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  setPalette(palette);
}

void HelpTextBox::setText(const QString &text) {
  text_ = text;
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  setPlainText(shown);
}

frmhelp *frmhelp::instance() { return openHelp.data(); }

frmhelp *frmhelp::showSingle() {
  if (!openHelp) {
    openHelp = new frmhelp;
    openHelp->Form_Load();
    const QRect screen = openHelp->screen()->availableGeometry();
    openHelp->move(screen.center() - openHelp->rect().center());
  }
  openHelp->show();
  openHelp->raise();
  openHelp->activateWindow();
  return openHelp;
}

frmhelp::frmhelp() : QWidget(nullptr) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Quick Help"));
  setWindowIcon(info::helpIcon());
  setFixedSize(5565 / kTwipsPerPixel, 6495 / kTwipsPerPixel);
  setFont(info::windowsFont(QStringLiteral("MS Sans Serif"), 8.25, false));
  setPalette(info::designPalette());
  buildControls();
}

void frmhelp::buildControls() {
  Frame1 = new QGroupBox(this);
  Frame1->setGeometry(twips(45, 0, 5430, 6420));

  Image1 = new QLabel(Frame1);
  Image1->setGeometry(twips(135, 225, 480, 480));
  Image1->setPixmap(windowIcon().pixmap(32, 32));

  buildTitle();

  Label14 = new QLabel(QStringLiteral("Version 1.0.0"), Frame1);
  Label14->setGeometry(twips(3720, 600, 1455, 255));
  Label14->setFont(info::windowsFont(QStringLiteral("MS Sans Serif"), 8.25, true));

  Label16 = new QLabel(QStringLiteral("4th July 2005"), Frame1);
  Label16->setGeometry(twips(3720, 840, 1575, 255));

  Text1 = new HelpTextBox(Frame1);
  Text1->setGeometry(twips(240, 1320, 4935, 4215));
  Text1->setText(kHelpText);

  cmdCLOSE = new QPushButton(QStringLiteral("Ok"), Frame1);
  cmdCLOSE->setGeometry(twips(2160, 5880, 975, 405));
  cmdCLOSE->setAutoDefault(false);
  cmdCLOSE->setDefault(false);
  connect(cmdCLOSE, &QPushButton::clicked, this, &frmhelp::cmdCLOSE_Click);

  for (QLabel *label : {Image1, lblTitleInitial, lblTitleRest, Label14, Label16})
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTabOrder(cmdCLOSE, Text1);
  cmdCLOSE->setFocus();
}

// The product name in two colours: the capital alone, large and blue; the
// rest of the word small and red beside it, their labels' bottoms level.
void frmhelp::buildTitle() {
  lblTitleInitial = new QLabel(QStringLiteral("M"), Frame1);
  lblTitleInitial->setGeometry(twips(720, 120, 300, 555));
  lblTitleInitial->setFont(info::windowsFont(QStringLiteral("Times New Roman"), 26.25, false));
  setTextColour(lblTitleInitial, QColor(0, 0, 255));

  lblTitleRest = new QLabel(QStringLiteral("orvane"), Frame1);
  lblTitleRest->setGeometry(twips(1050, 360, 1125, 315));
  lblTitleRest->setFont(info::windowsFont(QStringLiteral("Times New Roman"), 14.25, false));
  setTextColour(lblTitleRest, QColor(255, 0, 0));
}

void frmhelp::cmdCLOSE_Click() { close(); }
