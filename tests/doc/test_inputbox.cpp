// The input dialog behind the prompt: OK gives the typed text, Cancel an
// empty one; the process-wide instance can be replaced and restored.

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include "common/error.h"
#include "platform/inputbox.h"

namespace {

// Answers the next modal input dialog once it shows.
void answerNextDialog(const QString &text, bool accept) {
  QTimer::singleShot(0, [=] {
    auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
    if (!dialog) return answerNextDialog(text, accept);
    dialog->setTextValue(text);
    if (accept)
      dialog->accept();
    else
      dialog->reject();
  });
}

}  // namespace

class TestInputBox : public QObject {
  Q_OBJECT

 private slots:
  void dialogGivesTypedTextOrEmptyOnCancel() {
    platform::setInputBox(nullptr);
    answerNextDialog(QStringLiteral("Notes"), true);
    QCOMPARE(platform::inputBox().ask(QStringLiteral("Enter"), QStringLiteral("Saving"), QString()),
             QStringLiteral("Notes"));
    answerNextDialog(QStringLiteral("typed, then cancelled"), false);
    QCOMPARE(platform::inputBox().ask(QStringLiteral("Enter"), QStringLiteral("Saving"), QString()),
             QString());
  }

  void dialogShowsPromptAndCaption() {
    QString label;
    QString caption;
    QTimer::singleShot(0, [&] {
      auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      label = dialog->labelText();
      caption = dialog->windowTitle();
      dialog->reject();
    });
    platform::DialogInputBox box;
    box.ask(QStringLiteral("Enter New File Name.....(Location: /tmp/)"), QStringLiteral("Saving"),
            QString());
    QCOMPARE(label, QStringLiteral("Enter New File Name.....(Location: /tmp/)"));
    QCOMPARE(caption, QStringLiteral("Saving"));
  }
};

QTEST_MAIN(TestInputBox)
#include "test_inputbox.moc"
