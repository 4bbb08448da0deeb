#pragma once

#include <QPlainTextEdit>

// The multi-line status log. It accepts dropped files and hands every drop to
// its owner instead of inserting the dropped data as text.
class StatusBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit StatusBox(QWidget *parent = nullptr);

 signals:
  void filesDropped(const QMimeData *data);

 protected:
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;
};
