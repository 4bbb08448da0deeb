#include "app/statusbox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

StatusBox::StatusBox(QWidget *parent) : QPlainTextEdit(parent) {
  setAcceptDrops(true);
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(document(), &QTextDocument::contentsChanged, this, &StatusBox::readBackUserEdit);
}

// Runs one programmatic change of the text, then puts the caret, the
// selection and the scroll position back where they were (as far as the new
// text reaches).
template <class Edit>
void StatusBox::writeKeepingView(Edit edit) {
  const QTextCursor before = textCursor();
  const int anchor = before.anchor();
  const int position = before.position();
  const int vertical = verticalScrollBar()->value();
  const int horizontal = horizontalScrollBar()->value();
  writing_ = true;
  edit();
  writing_ = false;
  const int end = document()->characterCount() - 1;
  QTextCursor after(document());
  after.setPosition(std::min(anchor, end));
  after.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
  setTextCursor(after);
  verticalScrollBar()->setValue(vertical);
  horizontalScrollBar()->setValue(horizontal);
}

void StatusBox::replaceLog(const QString &piece) {
  writeKeepingView([&] { setPlainText(piece); });
  log_ = piece;
}

void StatusBox::appendLog(const QString &piece) {
  writeKeepingView([&] {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(piece);
  });
  log_ += piece;
}

// The user changed the text: the log becomes what the box shows, with the
// box's paragraph and line separators read back as CR LF.
void StatusBox::readBackUserEdit() {
  if (writing_) return;
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  log_ = text;
}

// Drops are taken as copies, so the source of a drag never deletes what it
// handed over; whether the drop is used is the owner's decision.
void StatusBox::dragEnterEvent(QDragEnterEvent *event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void StatusBox::dragMoveEvent(QDragMoveEvent *event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void StatusBox::dropEvent(QDropEvent *event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
  emit filesDropped(event->mimeData());
}
