#pragma once

#include <QPlainTextEdit>
#include <QString>

// The multi-line status log. The log is kept exactly as written (CR LF pairs
// included, which the text widget would fold into its own line breaks) and
// shown in the box; text the user types is read back with every line break as
// CR LF. Writing to the log neither scrolls the box nor moves its caret.
// Dropped data is never inserted: every drop is handed to the owner.
class StatusBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit StatusBox(QWidget *parent = nullptr);

  void replaceLog(const QString &piece);
  void appendLog(const QString &piece);
  const QString &logText() const { return log_; }

 signals:
  void filesDropped(const QMimeData *data);

 protected:
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;

 private:
  void readBackUserEdit();
  template <class Edit>
  void writeKeepingView(Edit edit);

  QString log_;
  bool writing_ = false;
};
