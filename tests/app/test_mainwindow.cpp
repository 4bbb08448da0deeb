// The main window: layout, tab order, the status log, drops and Open File.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/ModCmnDlg.h"
#include "app/frmMain.h"
#include "app/statusbox.h"
#include "common/filenames.h"
#include "jobfixture.h"
#include "packagebuilder.h"
#include "platform/opendialog.h"

using jobtest::kCrLf;

namespace {

// Drags data onto the status box and drops it there, as the window system
// would.
void drop(frmMain &w, QMimeData *data) {
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(QPoint(10, 10), actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.txtStatus->viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QCOMPARE(enter.dropAction(), Qt::CopyAction);
  QDropEvent event(QPointF(10, 10), actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.txtStatus->viewport(), &event);
  QVERIFY(event.isAccepted());
  QCOMPARE(event.dropAction(), Qt::CopyAction);
}

std::unique_ptr<QMimeData> fileList(const QStringList &paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const auto &p : paths) urls << QUrl::fromLocalFile(p);
  data->setUrls(urls);
  return data;
}

// The scripted open dialog: records every request and answers from a queue.
struct ScriptedDialog {
  QList<platform::OpenDialogRequest> requests;
  QList<std::optional<platform::OpenDialogResult>> answers;

  void install() {
    platform::setOpenDialog([this](const platform::OpenDialogRequest &request) {
      requests << request;
      return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    });
  }
};

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ModCmnDlg::DialogFilterIndex = 0;
    platform::setOpenDialog({});
  }

  void windowShowsOnlyMenuFrameAndExit() {
    frmMain w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Morvane"));
    QCOMPARE(w.centralWidget()->size(), QSize(512, 197));
    QVERIFY(w.minimumSize() == w.maximumSize());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());

    QStringList menu;
    for (QAction *action : w.menuBar()->actions()) {
      QVERIFY(action->menu() == nullptr);
      menu << action->text();
    }
    QCOMPARE(menu, QStringList({"Open File", "Help", "About"}));
    QCOMPARE(w.Frame2->title(), QStringLiteral("Status"));
    QCOMPARE(w.Frame2->geometry(), QRect(16, 8, 473, 113));
    QCOMPARE(w.txtStatus->parentWidget(), w.Frame2);
    QCOMPARE(w.txtStatus->geometry(), QRect(8, 16, 457, 89));
    QCOMPARE(w.cmdExit->geometry(), QRect(160, 152, 169, 25));
    QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
    QVERIFY(!w.txtStatus->isReadOnly());
    QCOMPARE(w.txtStatus->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(w.txtStatus->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    const QList<QWidget *> unseen{w.txt,     w.pics,        w.grph,        w.txtName,
                                  w.txtPath, w.txtTempfile, w.txtFilename, w.txtDialogResult};
    for (QWidget *control : unseen)
      QVERIFY2(control->y() >= 197, qPrintable(control->objectName()));
    QCOMPARE(w.pics->geometry(), QRect(160, 272, 121, 25));
    QCOMPARE(w.txtDialogResult->geometry(), QRect(0, 384, 305, 19));
    QVERIFY(w.pics->isChecked());
    QVERIFY(!w.txt->isChecked());
    QVERIFY(!w.grph->isChecked());
  }

  void tabVisitsTheUnseenControlsInOrder() {
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(QApplication::focusWidget(), w.txt);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 10; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"txt", "pics", "cmdExit", "grph", "txtStatus", "txtDialogResult",
                                   "txtFilename", "txtTempfile", "txtPath", "txtName", "txt"}));
  }

  // Space on the unseen Graph box ticks it; Space on Pictures unticks it; the
  // next job exports the charts only.
  void spaceOnUnseenBoxesChangesTheNextJob() {
    jobtest::Job job;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture), jobtest::shape(PowerPoint::msoChart)}};
    frmMain w;
    job.useFake(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(w.txt, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.pics);
    QTest::keyClick(w.pics, Qt::Key_Space);
    QTest::keyClick(w.pics, Qt::Key_Tab);
    QTest::keyClick(w.cmdExit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.grph);
    QTest::keyClick(w.grph, Qt::Key_Space);
    QVERIFY(!w.pics->isChecked());
    QVERIFY(w.grph->isChecked());

    QVERIFY(job.run(w, job.makeSource()));
    const QStringList exports = job.calls->calls.filter(QStringLiteral("Export"));
    QCOMPARE(exports,
             QStringList({QStringLiteral("Export %1 3 0 0 1").arg(job.path("Graph0001.Bmp"))}));
  }

  void logPiecesAreKeptByteForByte() {
    frmMain w;
    w.replaceLog(QStringLiteral("Trying\r\n"));
    w.appendLog(QStringLiteral("No images found"));
    w.appendLog(QStringLiteral(" runs on\r\n"));
    w.appendLog(QStringLiteral("lone\nfeed and lone\rreturn"));
    QCOMPARE(w.logText(),
             QStringLiteral("Trying\r\nNo images found runs on\r\nlone\nfeed and lone\rreturn"));
    QCOMPARE(w.txtStatus->toPlainText(),
             QStringLiteral("Trying\nNo images found runs on\nlone\nfeed and lone\nreturn"));
    w.replaceLog(QStringLiteral("No Graphs in the Selected Presentation"));
    QCOMPARE(w.logText(), QStringLiteral("No Graphs in the Selected Presentation"));
    w.replaceLog(QString());
    QCOMPARE(w.logText(), QString());
  }

  void writingNeitherScrollsNorMovesTheCaret() {
    frmMain w;
    w.show();
    QString many;
    for (int i = 0; i < 40; ++i) many += QStringLiteral("line %1\r\n").arg(i);
    w.replaceLog(many);
    QTextCursor caret = w.txtStatus->textCursor();
    caret.setPosition(12);
    w.txtStatus->setTextCursor(caret);
    w.txtStatus->verticalScrollBar()->setValue(3);
    w.appendLog(QStringLiteral("more\r\n"));
    QCOMPARE(w.txtStatus->textCursor().position(), 12);
    QCOMPARE(w.txtStatus->verticalScrollBar()->value(), 3);
    w.replaceLog(many);
    QCOMPARE(w.txtStatus->textCursor().position(), 12);
    QCOMPARE(w.txtStatus->verticalScrollBar()->value(), 3);
  }

  // Typed text becomes the log, line breaks as CR LF, until the next write.
  void typedTextStaysUntilTheNextJobWrites() {
    frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.replaceLog(QStringLiteral("done\r\n"));
    w.txtStatus->setFocus();
    w.txtStatus->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.txtStatus, QStringLiteral("ab"));
    QTest::keyClick(w.txtStatus, Qt::Key_Return);
    QTest::keyClicks(w.txtStatus, QStringLiteral("c"));
    QCOMPARE(w.logText(), QStringLiteral("done\r\nab\r\nc"));
    w.appendLog(QStringLiteral("!\r\n"));
    QCOMPARE(w.logText(), QStringLiteral("done\r\nab\r\nc!\r\n"));
    w.replaceLog(QStringLiteral("Trying"));
    QCOMPARE(w.logText(), QStringLiteral("Trying"));
  }

  void splitPathTakesTheLastSeparator() {
    frmMain w;
    job::ExtractionJob &j = w.job();
    j.SplitPath(QStringLiteral("/home/u/Decks/Talk.ppt"));
    QCOMPARE(j.SourceFolder, QStringLiteral("/home/u/Decks/"));
    QCOMPARE(j.SourceName, QStringLiteral("Talk.ppt"));
    j.SplitPath(QStringLiteral("Talk.ppt"));  // no separator: nothing changes
    QCOMPARE(j.SourceFolder, QStringLiteral("/home/u/Decks/"));
    QCOMPARE(j.SourceName, QStringLiteral("Talk.ppt"));
    j.SplitPath(QStringLiteral("/home/u/Other/"));
    QCOMPARE(j.SourceFolder, QStringLiteral("/home/u/Other/"));
    QCOMPARE(j.SourceName, QString());
    w.acceptSource(QStringLiteral("Talk.ppt"));
    QCOMPARE(w.job().OutputFolder, QString());
  }

  void dropOfAPresentationStartsTheJob() {
    frmMain w;
    w.replaceLog(QStringLiteral("earlier\r\n"));
    drop(w, fileList({QStringLiteral("/x/Talk.PpT"), QStringLiteral("/y/Other.ppt")}).get());
    QCOMPARE(w.txtDialogResult->text(), QStringLiteral("/x/Talk.PpT"));
    QCOMPARE(w.txtFilename->text(), QStringLiteral("/x/Talk.PpT"));
    QCOMPARE(w.job().SourcePath, QStringLiteral("/x/Talk.PpT"));
    QCOMPARE(w.job().OutputFolder, QStringLiteral("/x/"));
    // The job ran and failed at the copy; the failure became the last line.
    QCOMPARE(w.logText(), QStringLiteral("earlier\r\nError: File not found: /x/Talk.PpT\r\n"));
  }

  // PowerPoint 2007 and later presentations are dropped like the older
  // ones, whatever the extension's case; a name that is not UTF-8 reaches the
  // job as the file system's bytes.
  void dropTakesEveryPresentationKind_data() {
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("pptx") << QByteArray("file:///x/Talk.pptx") << QStringLiteral("/x/Talk.pptx");
    QTest::newRow("PPSX") << QByteArray("file:///x/Show.PPSX") << QStringLiteral("/x/Show.PPSX");
    QTest::newRow("Latin-1 name") << QByteArray("file:///x/Vortr%E4ge/f%FCr.ppt")
                                  << morvane::fileNameFromBytes("/x/Vortr\xe4ge/f\xfcr.ppt");
  }

  void dropTakesEveryPresentationKind() {
    QFETCH(QByteArray, url);
    QFETCH(QString, path);
    frmMain w;
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), url + "\r\n");
    drop(w, data.get());
    QCOMPARE(w.job().SourcePath, path);
    QCOMPARE(w.logText(), QStringLiteral("Error: File not found: %1\r\n").arg(path));
  }

  // A dropped PowerPoint 2007+ package goes through the real job: its JPEG
  // comes out byte for byte, its PNG transcoded, the log as for a .ppt, and
  // no working copy is left.
  void dropOfAPackageRunsTheJob() {
    testpptx::Deck deck;
    const QString slide = deck.addSlide(testpptx::picXml(QStringLiteral("rId2")) +
                                        testpptx::picXml(QStringLiteral("rId3")));
    deck.relate(slide, QStringLiteral("image"), QStringLiteral("/ppt/media/image1.jpeg"));
    deck.relate(slide, QStringLiteral("image"), QStringLiteral("/ppt/media/image2.png"));
    const QByteArray jpeg = testpptx::jpegBytes(64, 48, 0x884422);
    deck.addPart(QStringLiteral("/ppt/media/image1.jpeg"), jpeg);
    deck.addPart(QStringLiteral("/ppt/media/image2.png"), testpptx::pngBytes(40, 30, 0x2244AA));
    jobtest::Job job;
    const QString source = job.path(QStringLiteral("Talk.PPTX"));
    jobtest::writeFile(source, deck.build());
    frmMain w;
    drop(w, fileList({source}).get());
    QCOMPARE(w.logText(), QStringLiteral("Trying to open a source file ") + source +
                              QStringLiteral(".....\r\nProcessing ..........\r\n"
                                             "2 image files are save in folder : ") +
                              job.folder() + QStringLiteral("\r\nCompleted !!\r\n"));
    QCOMPARE(jobtest::readAll(job.path(QStringLiteral("Img0001.Jpg"))), jpeg);
    QCOMPARE(QImage(job.path(QStringLiteral("Img0002.Jpg")), "jpeg").size(), QSize(40, 30));
    QVERIFY(!QFileInfo::exists(job.path(QStringLiteral("popo.ppt"))));
  }

  void refusedDropsAreSilent_data() {
    QTest::addColumn<bool>("asText");
    QTest::addColumn<QString>("path");
    QTest::newRow("pptm") << false << QStringLiteral("/x/Talk.pptm");
    QTest::newRow("pot") << false << QStringLiteral("/x/Talk.pot");
    QTest::newRow("short") << false << QStringLiteral("ppt");
    QTest::newRow("plain text") << true << QStringLiteral("/x/Talk.ppt");
  }

  void refusedDropsAreSilent() {
    QFETCH(bool, asText);
    QFETCH(QString, path);
    frmMain w;
    w.acceptSource(QStringLiteral("/kept/Earlier.ppt"));
    w.replaceLog(QStringLiteral("log\r\n"));
    ModCmnDlg::DialogFileName = QStringLiteral("stale");
    auto data = asText ? std::make_unique<QMimeData>() : fileList({path});
    if (asText) data->setText(path);
    drop(w, data.get());
    QCOMPARE(w.txtDialogResult->text(), QString());
    QCOMPARE(ModCmnDlg::DialogFileName, QString());
    QCOMPARE(w.txtFilename->text(), QStringLiteral("/kept/Earlier.ppt"));
    QCOMPARE(w.job().SourcePath, QStringLiteral("/kept/Earlier.ppt"));
    QCOMPARE(w.job().OutputFolder, QStringLiteral("/kept/"));
    QCOMPARE(w.logText(), QStringLiteral("log\r\n"));
    QCOMPARE(w.txtStatus->toPlainText(), QStringLiteral("log\n"));
  }

  void openFileCancelChangesNothing() {
    ScriptedDialog dialog;
    dialog.install();
    frmMain w;
    w.acceptSource(QStringLiteral("/kept/Earlier.ppt"));
    w.replaceLog(QStringLiteral("log"));
    w.mnuOpenfiles->trigger();
    QCOMPARE(dialog.requests.size(), 1);
    QCOMPARE(w.job().SourcePath, QStringLiteral("/kept/Earlier.ppt"));
    QCOMPARE(w.txtDialogResult->text(), QStringLiteral("/kept/Earlier.ppt"));
    QCOMPARE(w.logText(), QStringLiteral("log"));
  }

  // The first dialog shows the first filter; after a confirmation with the
  // second one the next dialog opens with it. Any file is handed to the job.
  void openFileRemembersTheFilterAndRunsTheJob() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString notes = job.makeSource(QStringLiteral("notes.txt"));
    ScriptedDialog dialog;
    dialog.answers << platform::OpenDialogResult{notes, QStringLiteral("notes.txt"), 2};
    dialog.install();

    w.mnuOpenfiles->trigger();
    const auto &first = dialog.requests.at(0);
    QCOMPARE(first.filterIndex, 0);
    QVERIFY(first.hideReadOnly);
    QVERIFY(!first.fileMustExist);
    QVERIFY(first.owner == nullptr);
    QCOMPARE(first.filters.size(), 3);
    QCOMPARE(first.filters.at(0).description, QStringLiteral("Power Point Presentations (*.pps)"));
    QCOMPARE(first.filters.at(0).pattern, QStringLiteral("*.pps"));
    QCOMPARE(first.filters.at(1).description, QStringLiteral("Power Point Template (*.ppt)"));
    QCOMPARE(first.filters.at(2).description, QStringLiteral("All Files (*.*)"));
    QCOMPARE(first.filters.at(2).pattern, QStringLiteral("*.*"));
    QCOMPARE(ModCmnDlg::DialogFileTitle, QStringLiteral("notes.txt"));
    QCOMPARE(w.job().SourcePath, notes);
    QCOMPARE(w.job().OutputFolder, job.folder());
    QVERIFY(w.logText().startsWith(QStringLiteral("Trying to open a source file ") + notes));

    w.mnuOpenfiles->trigger();  // cancelled
    QCOMPARE(dialog.requests.at(1).filterIndex, 2);
    QCOMPARE(ModCmnDlg::DialogFilterIndex, 2);
  }

  void trimAtNullCutsAtTheFirstNul() {
    QCOMPARE(ModCmnDlg::TrimAtNull(QStringLiteral("abc")), QStringLiteral("abc"));
    QCOMPARE(ModCmnDlg::TrimAtNull(QString::fromUtf16(u"ab\0c\0", 5)), QStringLiteral("ab"));
    QCOMPARE(ModCmnDlg::TrimAtNull(QString::fromUtf16(u"\0x", 2)), QString());
  }

  // Qt's dialog: the descriptions as given, the remembered filter selected,
  // and a typed name of a file that does not exist accepted.
  void qtDialogShowsTheFiltersAndTakesANewName() {
    QTemporaryDir dir;
    const QString typed = dir.filePath(QStringLiteral("new talk.ppt"));
    QStringList shownFilters;
    QString selected;
    bool anyFile = false;
    QTimer::singleShot(0, [&] {
      auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
      for (int i = 0; types != nullptr && i < types->count(); ++i)
        shownFilters << types->itemText(i);
      selected = dialog->selectedNameFilter();
      anyFile = dialog->fileMode() == QFileDialog::AnyFile;
      dialog->selectFile(typed);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    platform::OpenDialogRequest request;
    request.initialDir = dir.path();
    request.filters = {
        {QStringLiteral("Power Point Presentations (*.pps)"), QStringLiteral("*.pps")},
        {QStringLiteral("Power Point Template (*.ppt)"), QStringLiteral("*.ppt")},
        {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};
    request.filterIndex = 2;
    const auto result = platform::showOpenDialog(request);
    QCOMPARE(shownFilters, QStringList({"Power Point Presentations (*.pps)",
                                        "Power Point Template (*.ppt)", "All Files (*.*)"}));
    QCOMPARE(selected, QStringLiteral("Power Point Template (*.ppt)"));
    QVERIFY(anyFile);
    QVERIFY(result.has_value());
    QCOMPARE(result->path, typed);
    QCOMPARE(result->fileTitle, QStringLiteral("new talk.ppt"));
    QCOMPARE(result->filterIndex, 2);
  }

  // Exit closes the main window only; another open window keeps running.
  void exitClosesTheMainWindowOnly() {
    QWidget other;
    other.show();
    QPointer<frmMain> w = new frmMain;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->cmdExit->click();
    QTRY_VERIFY(w.isNull());
    QVERIFY(other.isVisible());
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
