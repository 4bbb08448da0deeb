#include "app/frmMain.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <new>

#include "app/ModCmnDlg.h"
#include "app/statusbox.h"
#include "common/error.h"
#include "common/filenames.h"
#include "job/interruption.h"
#include "platform/inputbox.h"

// Paths: this system's folder separator is "/", so wherever a path is split
// into folder and file name, the folder is everything up to and including the
// last "/".

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kOpenFilter = QStringLiteral(
    "Power Point Presentations (*.pps)|*.pps|Power Point Template (*.ppt)|*.ppt|"
    "All Files (*.*)|*.*");
constexpr std::int32_t kOpenFlags = ModCmnDlg::OFN_READONLY | ModCmnDlg::OFN_HIDEREADONLY;

// Geometry in twips, shown at 15 twips per pixel.
QRect twips(int left, int top, int width, int height) {
  return {left / 15, top / 15, width / 15, height / 15};
}

// The first entry of a dropped file list; empty when the data holds none.
// The path is taken as the file system's bytes (a name that is not UTF-8
// stays reachable), not as Qt decodes it.
QString firstDroppedFile(const QMimeData *data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.isEmpty() || !urls.constFirst().isLocalFile()) return {};
  const QByteArray encoded = urls.constFirst().path(QUrl::FullyEncoded).toLatin1();
  return morvane::fileNameFromBytes(QByteArray::fromPercentEncoding(encoded));
}

// The drop takes presentations by their extension, whatever its case.
bool hasPresentationExtension(const QString &path) {
  const QString upper = path.toUpper();
  for (const char *extension : {".PPT", ".PPS", ".PPTX", ".PPSX"})
    if (upper.endsWith(QLatin1String(extension))) return true;
  return false;
}

// A description fit for one log line.
QString oneLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

}  // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Morvane"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/morvane-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/morvane.svg"));
  setWindowIcon(icon);

  // The menu bar stays in the window (no desktop-wide menu), so the window's
  // size is the menu bar plus the client area everywhere.
  menuBar()->setNativeMenuBar(false);
  mnuOpenfiles = menuBar()->addAction(QStringLiteral("Open File"));
  mnuHelp = menuBar()->addAction(QStringLiteral("Help"));
  mnuAbout = menuBar()->addAction(QStringLiteral("About"));
  mnuOpenfiles->setObjectName(QStringLiteral("mnuOpenfiles"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
  connect(mnuOpenfiles, &QAction::triggered, this, [this] { mnuOpenfiles_Click(); });
  // The information windows' handlers end in the same catch as the other
  // commands, so a failure there is reported and the window stays usable.
  connect(mnuHelp, &QAction::triggered, this,
          [this] { runUserCommand([this] { mnuHelp_Click(); }); });
  connect(mnuAbout, &QAction::triggered, this,
          [this] { runUserCommand([this] { mnuAbout_Click(); }); });

  auto *client = new QWidget(this);
  client->setFixedSize(7680 / 15, 2955 / 15);
  setCentralWidget(client);
  placeControls(client);
  setTabOrderOfControls();
  connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
  connect(txtStatus, &StatusBox::filesDropped, this,
          [this](const QMimeData *dropped) { txtStatus_OLEDragDrop(dropped); });

  setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  txt->setFocus();
  // A signal that arrives while the prompt is open ends the job rather than
  // asking again.
  job_.askName = [](const QString &prompt, const QString &caption) {
    const QString answer = platform::inputBox().ask(prompt, caption, QString());
    job::throwIfInterrupted();
    return answer;
  };
}

frmMain::~frmMain() = default;

void frmMain::placeControls(QWidget *client) {
  Frame2 = new QGroupBox(QStringLiteral("Status"), client);
  Frame2->setGeometry(twips(240, 120, 7095, 1695));
  txtStatus = new StatusBox(Frame2);
  txtStatus->setGeometry(twips(120, 240, 6855, 1335));
  cmdExit = new QPushButton(QStringLiteral("Exit"), client);
  cmdExit->setGeometry(twips(2400, 2280, 2535, 375));
  cmdExit->setAutoDefault(false);

  // Below the visible client area: never seen, but in the tab order.
  txt = new QCheckBox(QStringLiteral("Save Text As Document"), client);
  txt->setGeometry(twips(0, 4080, 2175, 375));
  pics = new QCheckBox(QStringLiteral("Pictures"), client);
  pics->setGeometry(twips(2400, 4080, 1815, 375));
  pics->setChecked(true);
  grph = new QCheckBox(QStringLiteral("Graph"), client);
  grph->setGeometry(twips(4560, 4080, 2175, 375));
  txtName = new QLineEdit(client);
  txtName->setGeometry(twips(3120, 4560, 2895, 375));
  txtPath = new QLineEdit(client);
  txtPath->setGeometry(twips(0, 4560, 2775, 375));
  txtTempfile = new QLineEdit(client);
  txtTempfile->setGeometry(twips(0, 5010, 6015, 285));
  txtFilename = new QLineEdit(client);
  txtFilename->setGeometry(twips(0, 5400, 4455, 285));
  txtDialogResult = new QLineEdit(client);
  txtDialogResult->setGeometry(twips(0, 5760, 4575, 285));

  Frame2->setObjectName(QStringLiteral("Frame2"));
  txtStatus->setObjectName(QStringLiteral("txtStatus"));
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  txt->setObjectName(QStringLiteral("txt"));
  pics->setObjectName(QStringLiteral("pics"));
  grph->setObjectName(QStringLiteral("grph"));
  txtName->setObjectName(QStringLiteral("txtName"));
  txtPath->setObjectName(QStringLiteral("txtPath"));
  txtTempfile->setObjectName(QStringLiteral("txtTempfile"));
  txtFilename->setObjectName(QStringLiteral("txtFilename"));
  txtDialogResult->setObjectName(QStringLiteral("txtDialogResult"));
}

void frmMain::setTabOrderOfControls() {
  const QList<QWidget *> order{
      txt,         pics,        cmdExit, grph,   txtStatus, txtDialogResult,
      txtFilename, txtTempfile, txtPath, txtName};
  for (QWidget *control : order) control->setFocusPolicy(Qt::StrongFocus);
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order.at(i - 1), order.at(i));
}

void frmMain::replaceLog(const QString &piece) { txtStatus->replaceLog(piece); }

void frmMain::appendLog(const QString &piece) { txtStatus->appendLog(piece); }

QString frmMain::logText() const { return txtStatus->logText(); }

bool frmMain::runUserCommand(const std::function<void()> &command) {
  try {
    command();
    return true;
  } catch (const morvane::Error &error) {
    appendErrorLine(error.description());
  } catch (const std::bad_alloc &) {
    appendErrorLine(QStringLiteral("Out of memory"));
  } catch (const std::exception &error) {
    appendErrorLine(QString::fromLocal8Bit(error.what()));
  }
  return false;
}

// Some log pieces end without a line break ("No images found in the selected
// presentation", "Please Enter A Valid Filename..."); the error still gets a
// line of its own.
void frmMain::appendErrorLine(const QString &description) {
  const QString log = logText();
  const bool midLine = !log.isEmpty() && !log.endsWith(kLineBreak);
  appendLog((midLine ? kLineBreak : QString()) + QStringLiteral("Error: ") + oneLine(description) +
            kLineBreak);
}

void frmMain::acceptSource(const QString &path) {
  txtDialogResult->setText(path);
  txtFilename->setText(txtDialogResult->text());
  job_.acceptSource(txtFilename->text());
}

void frmMain::cmdExit_Click() { close(); }

void frmMain::mnuOpenfiles_Click() { OpenSourceFile(); }

void frmMain::OpenSourceFile() {
  runUserCommand([this] {
    ModCmnDlg::DialogFileName.clear();
    ModCmnDlg::DialogFilter = kOpenFilter;
    ModCmnDlg::DialogFlags = kOpenFlags;
    ModCmnDlg::ShowOpenDialog();
    if (ModCmnDlg::DialogFileName.isEmpty()) return;
    acceptSource(ModCmnDlg::DialogFileName);
    ProcessSource();
  });
}

void frmMain::txtStatus_OLEDragDrop(const QMimeData *Data) {
  runUserCommand([this, Data] {
    ModCmnDlg::DialogFileName.clear();
    const QString dropped = firstDroppedFile(Data);
    if (dropped.isEmpty() || !hasPresentationExtension(dropped)) {
      txtDialogResult->clear();
      ModCmnDlg::DialogFileName.clear();
      return;
    }
    acceptSource(dropped);
    ProcessSource();
  });
}

// The job reads the boxes' options once, when it starts; nothing can change
// them while it runs.
void frmMain::ProcessSource() {
  job_.ShownPath = txtDialogResult->text();
  job_.options.pictures = pics->isChecked();
  job_.options.text = txt->isChecked();
  job_.options.graph = grph->isChecked();
  job_.options.workingCopy = true;
  try {
    job_.ProcessSource();
  } catch (...) {
    showJobHolders();
    throw;
  }
  showJobHolders();
}

void frmMain::showJobHolders() {
  txtPath->setText(job_.SourceFolder);
  txtName->setText(job_.SourceName);
  txtTempfile->setText(job_.WorkingCopyPath);
}
