#pragma once

// The main window: menu, status log, the unseen option and holder boxes. It
// drives one extraction job: its check boxes give the job's options, its
// status log receives the job's pieces, and its holder boxes show what the
// job found out about its source. The controls are public, as the design's
// procedures share them; the information windows' menu handlers are in
// frmMain_info.cpp.

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "job/extractionjob.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class StatusBox;

class frmMain : public QMainWindow, private job::Log {
  Q_OBJECT

 public:
  explicit frmMain(QWidget *parent = nullptr);
  ~frmMain() override;

  // Status log: the text of txtStatus. No separator is added; pieces that
  // end a line carry their own CR LF.
  void replaceLog(const QString &piece);
  void appendLog(const QString &piece);
  QString logText() const;

  // The job the window drives, with its state (SourcePath, OutputFolder,
  // PowerPointApp ...).
  job::ExtractionJob &job() { return job_; }

  // Runs one user command (a menu command, a drop, one file of the
  // command-line extractor). A failure ends the command and is appended to
  // the log as "Error: " + description + CR LF; the window stays usable.
  // Returns whether the command completed.
  bool runUserCommand(const std::function<void()> &command);

  // Stores an accepted choice of source: txtDialogResult, txtFilename, and
  // the job's SourcePath and OutputFolder.
  void acceptSource(const QString &path);

  // Event handlers.
  void cmdExit_Click();
  void mnuOpenfiles_Click();
  void mnuHelp_Click();   // info/
  void mnuAbout_Click();  // info/
  void txtStatus_OLEDragDrop(const QMimeData *Data);

  // Procedures.
  void OpenSourceFile();
  // Runs the job on the accepted source with the options of the check boxes.
  void ProcessSource();

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

 private:
  // Appends "Error: " + description + CR LF as a line of its own.
  void appendErrorLine(const QString &description);
  void placeControls(QWidget *client);
  void setTabOrderOfControls();
  void showJobHolders();

  // job::Log: the job's pieces go to txtStatus.
  void replace(const QString &piece) override { replaceLog(piece); }
  void append(const QString &piece) override { appendLog(piece); }

  job::ExtractionJob job_{*this};
};
