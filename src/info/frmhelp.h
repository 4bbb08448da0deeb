#pragma once

// The Quick Help window: a fixed page of help text under the product's
// two-colour title, with an "Ok" button that closes it. At most one exists;
// closing it deletes it, so the next Help command opens it afresh. It keeps
// its design's light palette whatever the desktop's.

#include <QPlainTextEdit>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

// A read-only text box that keeps its text exactly as given (CR LF line
// ends) and shows it with one paragraph per line.
class HelpTextBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit HelpTextBox(QWidget *parent = nullptr);
  void setText(const QString &text);
  QString text() const { return text_; }

 private:
  QString text_;
};

class frmhelp : public QWidget {
  Q_OBJECT

 public:
  // The help text, byte for byte as the window shows it.
  static const QString kHelpText;

  // The open Quick Help window, or nullptr.
  static frmhelp *instance();
  // Opens the single Quick Help window, or brings the open one forward.
  static frmhelp *showSingle();

  void Form_Load() {}
  void cmdCLOSE_Click();

  QGroupBox *Frame1 = nullptr;
  QLabel *Image1 = nullptr;
  QLabel *lblTitleInitial = nullptr;
  QLabel *lblTitleRest = nullptr;
  QLabel *Label14 = nullptr;
  QLabel *Label16 = nullptr;
  HelpTextBox *Text1 = nullptr;
  QPushButton *cmdCLOSE = nullptr;

 private:
  frmhelp();
  void buildControls();
  void buildTitle();
};
