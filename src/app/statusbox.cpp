#include "app/statusbox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

StatusBox::StatusBox(QWidget *parent) : QPlainTextEdit(parent) { setAcceptDrops(true); }

void StatusBox::dragEnterEvent(QDragEnterEvent *event) { event->acceptProposedAction(); }

void StatusBox::dragMoveEvent(QDragMoveEvent *event) { event->acceptProposedAction(); }

void StatusBox::dropEvent(QDropEvent *event) {
  event->acceptProposedAction();
  emit filesDropped(event->mimeData());
}
