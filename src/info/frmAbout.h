#pragma once

// The About window: product name, the blinking version line, the main
// window's icon, a banner, credit and contact lines, and two links (mail and
// web). At most one is open; closing it deletes its controls, while the blink
// position, which belongs to the window object, carries over to the next
// opening. It keeps its design's light palette whatever the desktop's.

#include <QLabel>
#include <QWidget>
#include <array>
#include <cstdint>

class QFrame;
class QPushButton;
class QTimer;

// "Version " + major.minor.revision, plain decimal numbers.
QString versionText(int major, int minor, int revision);

// A label that reports clicks and every pointer movement over it.
class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit LinkLabel(const QString &text, QWidget *parent);

 signals:
  void clicked();
  void mouseMoved();

 protected:
  void mouseMoveEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

 private:
  bool pressed_ = false;
};

class frmAbout : public QWidget {
  Q_OBJECT

 public:
  // The project's addresses: mail, web page (the web link shows and opens
  // it) and issue tracker (the contact lines). The AppStream metadata and
  // README give the same ones.
  static const QString kEmailAddress;
  static const QString kWebAddress;
  static const QString kIssuesAddress;

  // Which member of lbAppVersion the next blink copies. It belongs to the
  // window object, which outlives each opening, so closing does not reset it.
  static std::int16_t BlinkIndex;

  // The open About window, or nullptr.
  static frmAbout *instance();
  // Opens the single About window, or brings the open one forward; the icon
  // is copied from `mainWindow` when the window loads.
  static frmAbout *showSingle(const QWidget *mainWindow);

  void Form_Load();
  void Timer1_Timer();
  void Form_MouseMove();
  void lblEmailme_MouseMove();
  void lblMyweb_MouseMove();
  void lblEmailme_Click();
  void lblMyweb_Click();
  void cmdExit_Click();

  QLabel *lpAppImage = nullptr;
  std::array<QLabel *, 2> lbAppVersion{};
  QLabel *lbAppTitle = nullptr;
  QLabel *imgIcon = nullptr;
  QLabel *lbAppVersionorg = nullptr;
  QLabel *Label7 = nullptr;
  LinkLabel *lblEmailme = nullptr;
  QLabel *Label2 = nullptr;
  LinkLabel *lblMyweb = nullptr;
  QLabel *Label3 = nullptr;
  QLabel *Label4 = nullptr;
  QFrame *Picture1 = nullptr;
  QLabel *lbAppCopyright = nullptr;
  QLabel *lbAInfo = nullptr;
  QLabel *Label10 = nullptr;
  QPushButton *cmdExit = nullptr;
  QTimer *Timer1 = nullptr;

 protected:
  void closeEvent(QCloseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

 private:
  explicit frmAbout(const QWidget *mainWindow);
  QLabel *addLabel(const QString &text, QWidget *container, QRect place);
  void buildControls();
  void buildLinks();
  void buildCredits();

  const QWidget *mainWindow_;
};
