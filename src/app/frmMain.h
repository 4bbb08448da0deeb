#pragma once

// The main window: menu, status log, the unseen option and holder boxes, and
// the state that source selection, the job and the extractors share. Its
// procedures take no arguments and communicate through this state, so the
// members are public: the extractors (extract/) and the information windows'
// menu handlers (info/) are members of this class defined in their folders.

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "extract/createonuse.h"
#include "extract/powerpoint.h"
#include "extract/word.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class StatusBox;

class frmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit frmMain(QWidget *parent = nullptr);
  ~frmMain() override;

  // Status log: the text of txtStatus. No separator is added; pieces that
  // end a line carry their own CR LF.
  void replaceLog(const QString &piece);
  void appendLog(const QString &piece);
  QString logText() const;

  // Raises RunningCount by one; past 32767 it fails with an overflow error.
  void raiseRunningCount();

  // Runs one user command (a menu command, a drop, one file of the
  // command-line extractor). A failure ends the command and is appended to
  // the log as "Error: " + description + CR LF; the window stays usable.
  // Returns whether the command completed.
  bool runUserCommand(const std::function<void()> &command);

  // Stores an accepted choice of source: txtDialogResult, txtFilename,
  // SourcePath and OutputFolder.
  void acceptSource(const QString &path);

  // Event handlers.
  void cmdExit_Click();
  void mnuOpenfiles_Click();
  void mnuHelp_Click();   // info/
  void mnuAbout_Click();  // info/
  void txtStatus_OLEDragDrop(const QMimeData *Data);

  // Procedures.
  void OpenSourceFile();
  void ProcessSource();
  void SplitPath(const QString &path);
  void pics_extract();  // extract/
  void Txt_Save();      // extract/
  void GRPH_Save();     // extract/

  // Controls.
  QAction *mnuOpenfiles = nullptr;
  QAction *mnuHelp = nullptr;
  QAction *mnuAbout = nullptr;
  QGroupBox *Frame2 = nullptr;
  StatusBox *txtStatus = nullptr;
  QPushButton *cmdExit = nullptr;
  QCheckBox *txt = nullptr;
  QCheckBox *pics = nullptr;
  QCheckBox *grph = nullptr;
  QLineEdit *txtName = nullptr;
  QLineEdit *txtPath = nullptr;
  QLineEdit *txtTempfile = nullptr;
  QLineEdit *txtFilename = nullptr;
  QLineEdit *txtDialogResult = nullptr;

  // Form-level state.
  QString SourcePath;
  CreateOnUse<Word::Application> WordApp;
  std::shared_ptr<Word::Document> WordDoc;
  CreateOnUse<PowerPoint::Application> PowerPointApp;
  std::shared_ptr<PowerPoint::Slide> CurrentSlide;
  std::shared_ptr<PowerPoint::Shape> CurrentShape;
  std::int16_t RunningCount = 0;
  QString OutputFolder;
  QString GatheredText;

 private:
  // Appends "Error: " + description + CR LF as a line of its own.
  void appendErrorLine(const QString &description);
  void placeControls(QWidget *client);
  void setTabOrderOfControls();
  void openWorkingCopy();
  void abandonJob(const QString &ownWorkingCopy);
};
