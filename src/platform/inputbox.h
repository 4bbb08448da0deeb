#pragma once

// The modal text-input prompt. The window asks through the process-wide
// instance, which is the platform's input dialog unless a caller installs
// another one (tests answer with scripted answers).

#include <QString>
#include <memory>

namespace platform {

class InputBox {
 public:
  virtual ~InputBox() = default;
  // Shows the prompt with the given message, caption and default answer and
  // returns the answer; an empty text when the user cancels.
  virtual QString ask(const QString &prompt, const QString &title, const QString &defaultText) = 0;
};

// The platform's modal input dialog, centred on the active window.
class DialogInputBox : public InputBox {
 public:
  QString ask(const QString &prompt, const QString &title, const QString &defaultText) override;
};

// The instance the program asks through; a DialogInputBox until replaced.
InputBox &inputBox();
// Replaces the instance; nullptr brings back the input dialog.
void setInputBox(std::unique_ptr<InputBox> box);

}  // namespace platform
