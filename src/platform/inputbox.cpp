#include "platform/inputbox.h"

#include <QApplication>
#include <QInputDialog>

namespace platform {
namespace {

std::unique_ptr<InputBox> &instance() {
  static std::unique_ptr<InputBox> box;
  return box;
}

}  // namespace

QString DialogInputBox::ask(const QString &prompt, const QString &title,
                            const QString &defaultText) {
  bool accepted = false;
  const QString answer = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &accepted);
  return accepted ? answer : QString();
}

InputBox &inputBox() {
  if (!instance()) instance() = std::make_unique<DialogInputBox>();
  return *instance();
}

void setInputBox(std::unique_ptr<InputBox> box) { instance() = std::move(box); }

}  // namespace platform
