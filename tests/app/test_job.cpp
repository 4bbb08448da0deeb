// The extraction job and the picture and chart export against a scripted
// presentation application, the working-copy rules and the failure roads.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include "app/frmMain.h"
#include "job/interruption.h"
#include "jobfixture.h"

using jobtest::kCrLf;

namespace {

// A presentation of one slide holding `count` pictures whose export writes
// nothing: enough to run RunningCount past its limit without 32768 files.
struct ManyPictures {
  std::int32_t count = 0;
  int exports = 0;
  bool quit = false;
};

class CountingPicture : public PowerPoint::Shape {
 public:
  explicit CountingPicture(ManyPictures &state) : state_(state) {}
  std::int32_t Type() const override { return PowerPoint::msoPicture; }
  void Export(const QString &, PowerPoint::PpShapeFormat, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    ++state_.exports;
  }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    throw morvane::Error(QStringLiteral("no text"));
  }

 private:
  ManyPictures &state_;
};

class PictureList : public PowerPoint::Shapes, public PowerPoint::Slide {
 public:
  explicit PictureList(ManyPictures &state)
      : state_(state), picture_(std::make_shared<CountingPicture>(state)) {}
  std::int32_t Count() const override { return state_.count; }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t) override { return picture_; }
  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    return std::make_shared<PictureList>(state_);
  }

 private:
  ManyPictures &state_;
  std::shared_ptr<CountingPicture> picture_;
};

class OneSlide : public PowerPoint::Slides, public PowerPoint::Presentation {
 public:
  explicit OneSlide(ManyPictures &state) : state_(state) {}
  std::int32_t Count() const override { return 1; }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t) override {
    return std::make_shared<PictureList>(state_);
  }
  std::shared_ptr<PowerPoint::Slides> Slides() override {
    return std::make_shared<OneSlide>(state_);
  }

 private:
  ManyPictures &state_;
};

class ManyPicturesApp : public PowerPoint::Application, public PowerPoint::Presentations {
 public:
  explicit ManyPicturesApp(ManyPictures &state) : state_(state) {}
  void put_Visible(PowerPoint::MsoTriState) override {}
  void put_WindowState(PowerPoint::PpWindowState) override {}
  std::shared_ptr<PowerPoint::Presentations> Presentations() override {
    return std::make_shared<ManyPicturesApp>(state_);
  }
  std::shared_ptr<PowerPoint::Presentation> Open(const QString &, PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState) override {
    return ActivePresentation();
  }
  std::shared_ptr<PowerPoint::Presentation> ActivePresentation() override {
    return std::make_shared<OneSlide>(state_);
  }
  void Quit() override { state_.quit = true; }

 private:
  ManyPictures &state_;
};

QString opening(const QString &source) {
  return QStringLiteral("Trying to open a source file ") + source + QStringLiteral(".....\r\n") +
         QStringLiteral("Processing ..........\r\n");
}

QStringList exportsOf(const jobtest::Job &job) {
  return job.calls->calls.filter(QStringLiteral("Export"));
}

}  // namespace

class TestJob : public QObject {
  Q_OBJECT

 private slots:
  void picturesJobCallsInOrderAndReports() {
    jobtest::Job job;
    job.slides = {
        {jobtest::shape(PowerPoint::msoPicture), jobtest::shape(PowerPoint::msoPicture),
         jobtest::shape(PowerPoint::msoTextBox)},
        {jobtest::shape(PowerPoint::msoGroup), jobtest::shape(PowerPoint::msoLinkedPicture)},
        {jobtest::shape(PowerPoint::msoChart), jobtest::shape(PowerPoint::msoPicture)}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(job.run(w, source));

    const QString copy = job.path(QStringLiteral("popo.ppt"));
    QCOMPARE(
        job.calls->calls,
        QStringList({"create", "Visible -1", "WindowState 2",
                     QStringLiteral("Open %1 0 0 -1").arg(copy),
                     QStringLiteral("Export %1 1 0 0 1").arg(job.path("Img0001.Jpg")),
                     QStringLiteral("Export %1 1 0 0 1").arg(job.path("Img0002.Jpg")),
                     QStringLiteral("Export %1 1 0 0 1").arg(job.path("Img0003.Jpg")), "Quit"}));
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("3 image files are save in folder : ") +
                              job.folder() + kCrLf + QStringLiteral("Completed !!\r\n"));
    QCOMPARE(w.txtPath->text(), job.folder());
    QCOMPARE(w.txtName->text(), QStringLiteral("Talk.PpT"));
    QCOMPARE(w.txtTempfile->text(), copy);
    QCOMPARE(w.job().RunningCount, std::int16_t(3));
    QVERIFY(w.job().PowerPointApp.isEmpty());
    QVERIFY(w.job().CurrentSlide == nullptr);
    QVERIFY(!QFileInfo::exists(copy));
    QVERIFY(QFileInfo::exists(job.path("Img0003.Jpg")));
    QCOMPARE(jobtest::readAll(source), jobtest::kSourceBytes);

    // The next job starts a new application object and numbers from 1 again.
    job.calls->calls.clear();
    QVERIFY(job.run(w, source));
    QCOMPARE(job.created, 2);
    QCOMPARE(exportsOf(job).first(),
             QStringLiteral("Export %1 1 0 0 1").arg(job.path("Img0001.Jpg")));
  }

  void noPicturesLeavesTheLineOpen() {
    jobtest::Job job;
    job.slides = {{}, {jobtest::shape(PowerPoint::msoTextBox)}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(job.run(w, source));
    QCOMPARE(w.logText(),
             opening(source) + QStringLiteral("No images found in the selected presentation"));
  }

  void picturesAndChartsNumberTheirOwnFiles() {
    jobtest::Job job;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture), jobtest::shape(PowerPoint::msoTextBox)},
                  {jobtest::shape(PowerPoint::msoChart), jobtest::shape(PowerPoint::msoChart)}};
    frmMain w;
    job.useFake(w);
    w.grph->setChecked(true);
    const QString source = job.makeSource();
    QVERIFY(job.run(w, source));
    QCOMPARE(exportsOf(job),
             QStringList({QStringLiteral("Export %1 1 0 0 1").arg(job.path("Img0001.Jpg")),
                          QStringLiteral("Export %1 3 0 0 1").arg(job.path("Graph0001.Bmp")),
                          QStringLiteral("Export %1 3 0 0 1").arg(job.path("Graph0002.Bmp"))}));
    // Charts found: the chart export adds nothing to the log.
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("1 image files are save in folder : ") +
                              job.folder() + QStringLiteral("\r\nCompleted !!\r\n"));
  }

  void noChartsReplacesTheWholeLog() {
    jobtest::Job job;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture)}};
    frmMain w;
    job.useFake(w);
    w.grph->setChecked(true);
    QVERIFY(job.run(w, job.makeSource()));
    QCOMPARE(w.logText(), QStringLiteral("No Graphs in the Selected Presentation"));
    QVERIFY(QFileInfo::exists(job.path("Img0001.Jpg")));
  }

  // With no box ticked the job only says so: no application is started, and
  // the working copy it made is gone again.
  void noBoxTickedAsksForAChoice() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    w.pics->setChecked(false);
    w.replaceLog(QStringLiteral("typed"));
    QVERIFY(job.run(w, job.makeSource()));
    QCOMPARE(w.logText(),
             QStringLiteral("Select What You want to Extract (Pictures / Text / Chart)..."));
    QCOMPARE(job.created, 0);
    QCOMPARE(w.txtTempfile->text(), job.path("popo.ppt"));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  void runningCountOverflowsPast32767() {
    frmMain w;
    w.job().RunningCount = 32766;
    w.job().raiseRunningCount();
    QCOMPARE(w.job().RunningCount, std::int16_t(32767));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, w.job().raiseRunningCount());
    QCOMPARE(w.job().RunningCount, std::int16_t(32767));

    jobtest::Job job;
    ManyPictures pictures;
    pictures.count = 40000;
    w.job().PowerPointApp.setFactory([&] { return std::make_shared<ManyPicturesApp>(pictures); });
    const QString source = job.makeSource();
    QVERIFY(!job.run(w, source));
    QCOMPARE(pictures.exports, 32767);
    QVERIFY(pictures.quit);
    QVERIFY(w.job().PowerPointApp.isEmpty());
    QVERIFY(w.logText().startsWith(opening(source) + QStringLiteral("Error: Overflow")));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  // A failed job quits the application, deletes its working copy and keeps
  // the files already written.
  void failedExportCleansUp() {
    jobtest::Job job;
    fake::ShapeSpec failing = jobtest::shape(PowerPoint::msoPicture);
    failing.failExport = true;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture), failing}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(!job.run(w, source));
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("Error: export failed\r\n"));
    QCOMPARE(job.calls->calls.last(), QStringLiteral("Quit"));
    QVERIFY(w.job().PowerPointApp.isEmpty());
    QVERIFY(w.job().CurrentSlide == nullptr);
    QVERIFY(QFileInfo::exists(job.path("Img0001.Jpg")));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  // A failure after a piece without a line break still gets a line of its
  // own: here the chart export fails after "No images found ...".
  void errorAfterAnOpenLineStartsItsOwnLine() {
    jobtest::Job job;
    fake::ShapeSpec failing = jobtest::shape(PowerPoint::msoChart);
    failing.failExport = true;
    job.slides = {{failing}};
    frmMain w;
    job.useFake(w);
    w.grph->setChecked(true);
    const QString source = job.makeSource();
    QVERIFY(!job.run(w, source));
    QCOMPARE(w.logText(),
             opening(source) + QStringLiteral("No images found in the selected presentation\r\n"
                                              "Error: export failed\r\n"));
  }

  void failedOpenNamesTheSource() {
    jobtest::Job job;
    job.failOpen = true;
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(!job.run(w, source));
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("Error: Cannot open ") + source +
                              QStringLiteral(": it is encrypted\r\n"));
    QCOMPARE(job.calls->calls.last(), QStringLiteral("Quit"));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  void applicationThatCannotStart() {
    jobtest::Job job;
    frmMain w;
    w.job().PowerPointApp.setFactory([]() -> std::shared_ptr<PowerPoint::Application> {
      throw morvane::Error(QStringLiteral("cannot start"));
    });
    const QString source = job.makeSource();
    QVERIFY(!job.run(w, source));
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("Error: cannot start\r\n"));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  // Failures before the job writes to the log leave the earlier log and add
  // the error line; nothing is started.
  void sourceThatCannotBeRead_data() {
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << "missing"
                             << "Error: File not found: %1\r\n";
    QTest::newRow("folder") << "folder"
                            << "Error: %1 is a folder, not a presentation file\r\n";
    QTest::newRow("unreadable")
        << "unreadable"
        << "Error: Cannot read %1: permission denied (the file is not readable)\r\n";
  }

  void sourceThatCannotBeRead() {
    QFETCH(QString, problem);
    QFETCH(QString, expected);
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    w.replaceLog(QStringLiteral("previous job\r\n"));
    const QString source = job.path(QStringLiteral("Talk.ppt"));
    if (problem == QStringLiteral("folder")) QVERIFY(QDir().mkdir(source));
    if (problem == QStringLiteral("unreadable")) {
      job.makeSource(QStringLiteral("Talk.ppt"));
      QVERIFY(QFile::setPermissions(
          job.dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadOther | QFileDevice::ExeOther));
      QVERIFY(QFile::setPermissions(source, {}));
    }
    bool completed = true;
    if (problem == QStringLiteral("unreadable")) {
      jobtest::AsOrdinaryUser user;
      if (jobtest::canOpenForReading(source))
        QSKIP("file permissions are not enforced for this user");
      completed = job.run(w, source);
    } else {
      completed = job.run(w, source);
    }
    QVERIFY(!completed);
    QCOMPARE(w.logText(), QStringLiteral("previous job\r\n") + expected.arg(source));
    QCOMPARE(job.created, 0);
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  void readOnlyFolder() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(QFile::setPermissions(job.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther));
    bool completed = true;
    {
      jobtest::AsOrdinaryUser user;
      completed = job.run(w, source);
    }
    QFile::setPermissions(job.dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (completed) QSKIP("folder permissions are not enforced for this user");
    QCOMPARE(w.logText(), QStringLiteral("Error: Cannot make the working copy %1: the folder %2 is "
                                         "read-only (Morvane needs to write there)\r\n")
                              .arg(job.path("popo.ppt"), job.dir.path()));
    QCOMPARE(job.created, 0);
  }

  // A source named popo.ppt is worked on in place and kept.
  void sourceNamedLikeTheWorkingCopy() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource(QStringLiteral("popo.ppt"));
    QVERIFY(job.run(w, source));
    QVERIFY(job.calls->calls.contains(QStringLiteral("Open %1 0 0 -1").arg(source)));
    QCOMPARE(jobtest::readAll(source), jobtest::kSourceBytes);

    job.failOpen = true;  // and kept after a failure too
    QVERIFY(!job.run(w, source));
    QCOMPARE(jobtest::readAll(source), jobtest::kSourceBytes);
  }

  void somethingElseNamedLikeTheWorkingCopy_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("what");
    QTest::newRow("different file") << "file"
                                    << "a different file";
    QTest::newRow("link to a victim") << "link"
                                      << "a symbolic link";
    QTest::newRow("dangling link") << "dangling"
                                   << "a symbolic link";
    QTest::newRow("folder") << "folder"
                            << "a folder";
  }

  void somethingElseNamedLikeTheWorkingCopy() {
    QFETCH(QString, kind);
    QFETCH(QString, what);
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    const QString copy = job.path(QStringLiteral("popo.ppt"));
    const QString victim = job.path(QStringLiteral("victim.txt"));
    jobtest::writeFile(victim, QByteArrayLiteral("precious"));
    if (kind == QStringLiteral("file")) jobtest::writeFile(copy, QByteArrayLiteral("user's own"));
    if (kind == QStringLiteral("link")) QVERIFY(QFile::link(victim, copy));
    if (kind == QStringLiteral("dangling")) QVERIFY(QFile::link(job.path("nowhere"), copy));
    if (kind == QStringLiteral("folder")) QVERIFY(QDir().mkdir(copy));

    QVERIFY(!job.run(w, source));
    QCOMPARE(w.logText(), QStringLiteral("Error: Cannot make the working copy %1: %2 of that name "
                                         "is already there and was left untouched (rename or move "
                                         "it, then try again)\r\n")
                              .arg(copy, what));
    QCOMPARE(job.created, 0);
    QCOMPARE(jobtest::readAll(victim), QByteArrayLiteral("precious"));
    QVERIFY(!QFileInfo::exists(job.path("nowhere")));
    if (kind == QStringLiteral("file"))
      QCOMPARE(jobtest::readAll(copy), QByteArrayLiteral("user's own"));
    if (kind != QStringLiteral("file") && kind != QStringLiteral("folder"))
      QVERIFY(QFileInfo(copy).isSymLink());
  }

  // A byte-identical leftover of an earlier job is replaced and removed.
  void leftoverCopyIsReplaced() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    jobtest::writeFile(job.path("popo.ppt"), jobtest::kSourceBytes);
    QVERIFY(job.run(w, source));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }

  void bigSourceIsCopiedWhole() {
    jobtest::Job job;
    QByteArray big(300 * 1024 + 7, '\0');
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = char(i * 31 % 251);
    big.replace(0, 8, jobtest::kSourceBytes.left(8));
    frmMain w;
    QByteArray seen;
    const QString source = job.makeSource(QStringLiteral("Big.pps"), big);
    // Look at the working copy while the job runs.
    w.pics->setChecked(false);
    w.grph->setChecked(true);
    w.job().PowerPointApp.setFactory([&] {
      seen = jobtest::readAll(job.path("popo.ppt"));
      return std::make_shared<fake::Application>(job.slides, job.calls);
    });
    QVERIFY(job.run(w, source));
    QCOMPARE(seen, big);
  }

  // A picture that cannot be read keeps its number, gets a warning line
  // before the report and writes nothing; the job goes on and completes.
  void unreadablePictureIsSkippedWithAWarning() {
    jobtest::Job job;
    fake::ShapeSpec broken = jobtest::shape(PowerPoint::msoPicture);
    broken.unreadable = true;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture)},
                  {},
                  {broken},
                  {jobtest::shape(PowerPoint::msoPicture)}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    QVERIFY(job.run(w, source));
    QCOMPARE(w.logText(),
             opening(source) +
                 QStringLiteral("Warning: Img0002.Jpg was not written: the picture of slide 3 "
                                "cannot be read\r\n"
                                "2 image files are save in folder : %1\r\nCompleted !!\r\n")
                     .arg(job.folder()));
    QVERIFY(QFileInfo::exists(job.path("Img0001.Jpg")));
    QVERIFY(!QFileInfo::exists(job.path("Img0002.Jpg")));
    QVERIFY(QFileInfo::exists(job.path("Img0003.Jpg")));
  }

  // Another job holds the folder: the window's job ends at once with one
  // clear line and touches nothing.
  void folderHeldByAnotherJob() {
    jobtest::Job job;
    job.slides = {{jobtest::shape(PowerPoint::msoPicture)}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    const int held = ::open(QFile::encodeName(job.dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
    QVERIFY(!job.run(w, source));
    ::close(held);
    QCOMPARE(w.logText(), QStringLiteral("Error: another job is working in this folder\r\n"));
    QCOMPARE(QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Talk.PpT"});
    QVERIFY(job.run(w, source));
  }

  // A signal during the job (SIGTERM from the session, say) stops it after
  // the picture being written: the working copy goes, the files written
  // stay, and the log says why.
  void signalStopsTheJobAndRemovesTheWorkingCopy() {
    jobtest::Job job;
    fake::ShapeSpec second = jobtest::shape(PowerPoint::msoPicture);
    second.duringExport = [] { job::requestInterruption(SIGTERM); };
    job.slides = {
        {jobtest::shape(PowerPoint::msoPicture), second, jobtest::shape(PowerPoint::msoPicture)}};
    frmMain w;
    job.useFake(w);
    const QString source = job.makeSource();
    const bool completed = job.run(w, source);
    job::clearInterruption();
    QVERIFY(!completed);
    QCOMPARE(w.logText(), opening(source) + QStringLiteral("Error: Interrupted by SIGTERM\r\n"));
    QCOMPARE(QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"Img0001.Jpg", "Img0002.Jpg", "Talk.PpT"}));
    QVERIFY(w.job().PowerPointApp.isEmpty());
  }

  // A large file that no reader can open is refused by its first bytes,
  // before any copy is made.
  void foreignFileIsRefusedBeforeTheCopy() {
    jobtest::Job job;
    frmMain w;
    job.useFake(w);
    const QString source = job.path("zeros.ppt");
    QFile zeros(source);
    QVERIFY(zeros.open(QIODevice::WriteOnly));
    QVERIFY(zeros.resize(qint64(2) << 30));  // sparse: 2 GB of zeros
    zeros.close();
    QVERIFY(!job.run(w, source));
    QVERIFY2(w.logText().startsWith(QStringLiteral("Error: Cannot open %1: the file is not a "
                                                   "PowerPoint presentation")
                                        .arg(source)),
             qPrintable(w.logText()));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
    QCOMPARE(job.created, 0);
  }

  // The real reader: a corpus file opens and the job writes its two opening
  // lines.
  void realReaderOnACorpusFile() {
    const QByteArray shared = qgetenv("MORVANE_SHARED_DIR");
    const QString corpusFile = QString::fromLocal8Bit(shared) + QStringLiteral("/corpus/37625.ppt");
    if (shared.isEmpty() || !QFileInfo::exists(corpusFile)) QSKIP("the reference corpus is absent");
    jobtest::Job job;
    const QString source = job.path(QStringLiteral("37625.ppt"));
    QVERIFY(QFile::copy(corpusFile, source));
    frmMain w;
    const bool completed = job.run(w, source);
    QVERIFY2(completed, qPrintable(w.logText()));
    QVERIFY(w.logText().startsWith(opening(source)));
    QVERIFY(!QFileInfo::exists(job.path("popo.ppt")));
  }
};

QTEST_MAIN(TestJob)
#include "test_job.moc"
