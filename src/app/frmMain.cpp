#include "app/frmMain.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "app/statusbox.h"
#include "common/error.h"
#include "office/doc/wordapp.h"
#include "office/ppt/application.h"

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent),
      WordApp(office::doc::createApplication),
      PowerPointApp(office::ppt::createApplication) {
  setWindowTitle(QStringLiteral("Morvane"));
  auto *client = new QWidget(this);
  setCentralWidget(client);
  mnuOpenfiles = menuBar()->addAction(QStringLiteral("Open File"));
  mnuHelp = menuBar()->addAction(QStringLiteral("Help"));
  mnuAbout = menuBar()->addAction(QStringLiteral("About"));
  Frame2 = new QGroupBox(QStringLiteral("Status"), client);
  txtStatus = new StatusBox(Frame2);
  cmdExit = new QPushButton(QStringLiteral("Exit"), client);
  txt = new QCheckBox(QStringLiteral("Save Text As Document"), client);
  pics = new QCheckBox(QStringLiteral("Pictures"), client);
  pics->setChecked(true);
  grph = new QCheckBox(QStringLiteral("Graph"), client);
  txtName = new QLineEdit(client);
  txtPath = new QLineEdit(client);
  txtTempfile = new QLineEdit(client);
  txtFilename = new QLineEdit(client);
  txtDialogResult = new QLineEdit(client);
}

frmMain::~frmMain() = default;

void frmMain::replaceLog(const QString &piece) { txtStatus->setPlainText(piece); }

void frmMain::appendLog(const QString &piece) { txtStatus->setPlainText(logText() + piece); }

QString frmMain::logText() const { return txtStatus->toPlainText(); }

void frmMain::raiseRunningCount() {
  if (RunningCount == INT16_MAX) throw morvane::Error(QStringLiteral("Overflow"));
  ++RunningCount;
}

void frmMain::cmdExit_Click() { close(); }
void frmMain::mnuOpenfiles_Click() { OpenSourceFile(); }
void frmMain::txtStatus_OLEDragDrop(const QMimeData *) {}
void frmMain::OpenSourceFile() {}
void frmMain::ProcessSource() {}
void frmMain::SplitPath(const QString &) {}
