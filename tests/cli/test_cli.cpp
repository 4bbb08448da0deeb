// morvane-extract as a user and a script run it: arguments, exit status,
// standard output and error, output folders, batches, parallel runs,
// signals, file-size limits, concurrent runs and file names that are not
// UTF-8. The decks are made by the project's generator.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "office/render/export.h"
#include "pptgen.h"

namespace {

using namespace morvane::pptgen;

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Run finish(QProcess &process) {
  Run run;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

Run extract(const QStringList &args, const QString &workingDir = QString()) {
  QProcess process;
  if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
  process.start(QStringLiteral(MORVANE_EXTRACT), args);
  return finish(process);
}

// Runs through the shell, for limits and file names that QProcess would
// re-encode.
Run shell(const QByteArray &script, const QString &workingDir) {
  QProcess process;
  process.setWorkingDirectory(workingDir);
  process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(script),
                                            QStringLiteral("sh"), QStringLiteral(MORVANE_EXTRACT)});
  return finish(process);
}

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A deck of `pictures` JPEG pictures (and a text box) on as many slides.
QString makeDeck(const QString &path, int pictures, int seed = 1,
                 PictureFormat format = PictureFormat::Jpeg, QSize size = QSize(64, 48)) {
  std::vector<GenSlide> slides(std::size_t(std::max(pictures, 1)));
  for (int i = 0; i < pictures; ++i)
    slides[std::size_t(i)].pictures.push_back(makePicture(seed + i, size, format));
  slides[0].texts = {QStringLiteral("Text of deck %1").arg(seed)};
  writePresentation(path, slides);
  return path;
}

// Every file below folder with its content's hash, hidden files included.
QMap<QString, QByteArray> tree(const QString &folder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files.insert(QDir(folder).relativeFilePath(path),
                 QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1));
  }
  return files;
}

QStringList names(const QString &folder) {
  return QDir(folder).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList lines(const QByteArray &out) {
  QStringList result = QString::fromUtf8(out).split(QLatin1Char('\n'));
  if (!result.isEmpty() && result.last().isEmpty()) result.removeLast();
  return result;
}

// Waits until path exists (a job has started writing).
bool waitFor(const QString &path, int milliseconds = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!QFileInfo::exists(path)) {
    if (timer.elapsed() > milliseconds) return false;
    QThread::msleep(5);
  }
  return true;
}

}  // namespace

class TestCli : public QObject {
  Q_OBJECT

 private slots:
  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no file") << QStringList{};
    QTest::newRow("unknown option") << QStringList{"--pics", "a.ppt"};
    QTest::newRow("both picture options") << QStringList{"--pictures", "--no-pictures", "a.ppt"};
    QTest::newRow("text without name") << QStringList{"a.ppt", "--text"};
    QTest::newRow("nothing to extract") << QStringList{"--no-pictures", "a.ppt"};
    QTest::newRow("jobs zero") << QStringList{"-j", "0", "a.ppt"};
    QTest::newRow("jobs word") << QStringList{"--jobs", "many", "a.ppt"};
    QTest::newRow("every text alone") << QStringList{"--every-text", "a.ppt"};
    QTest::newRow("original without pictures")
        << QStringList{"--original", "--no-pictures", "--graph", "a.ppt"};
  }

  void usageErrors() {
    QFETCH(QStringList, args);
    const Run run = extract(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("Usage: morvane-extract"), run.err.constData());
  }

  void helpDescribesEveryOption() {
    const Run run = extract({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char *text : {"Usage: morvane-extract", "--pictures", "--no-pictures", "--graph",
                             "--text NAME", "--every-picture", "--every-text", "--original",
                             "-o, --output DIR", "-r, --recursive", "-j, --jobs N", "--list",
                             "--json", "-q, --quiet", "-h, --help", "--version", "Exit status"})
      QVERIFY2(run.out.contains(text), text);
    const Run version = extract({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith("morvane-extract "));
  }

  // One deck: its log on standard output with LF line ends, the pictures
  // beside it, nothing on standard error, no working copy.
  void oneDeckPrintsItsLogWithLfLineEnds() {
    qunsetenv("XDG_RUNTIME_DIR");
    QTemporaryDir dir;
    const QString deck = makeDeck(dir.filePath("talk.ppt"), 2);
    const Run run = extract({deck});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             QStringLiteral("Trying to open a source file %1.....\nProcessing ..........\n"
                            "2 image files are save in folder : %2/\nCompleted !!\n")
                 .arg(deck, dir.path()));
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    QCOMPARE(names(dir.path()), (QStringList{"Img0001.Jpg", "Img0002.Jpg", "talk.ppt"}));
  }

  // Failed decks: their "Error:" lines on standard error, exit status 1.
  void failuresGoToStandardError() {
    QTemporaryDir dir;
    QFile text(dir.filePath("notes.ppt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("just some text, not a presentation\n");
    text.close();
    const Run run = extract({QStringLiteral("gone.ppt"), QStringLiteral("notes.ppt")}, dir.path());
    QCOMPARE(run.exitCode, 1);
    const QStringList err = lines(run.err);
    QCOMPARE(err.size(), 2);
    QCOMPARE(err[0], QStringLiteral("Error: File not found: %1/gone.ppt").arg(dir.path()));
    QVERIFY2(err[1].startsWith(QStringLiteral("Error: Cannot open %1/notes.ppt: the file is not "
                                              "a PowerPoint presentation")
                                   .arg(dir.path())),
             qPrintable(err[1]));
    QCOMPARE(lines(run.out).last(),
             QStringLiteral("2 decks: 0 completed, 2 failed; 0 pictures, 0 charts, 0 documents"));
    QVERIFY(!run.out.contains('\r'));
  }

  // A picture of which nothing can be read: the deck completes, the warning
  // goes to standard error with its reason, the later picture keeps its
  // number, and the summary counts the warning.
  void unreadablePictureIsAWarning() {
    QTemporaryDir dir;
    const GenPicture png = makePicture(3, QSize(40, 30), PictureFormat::Png);
    std::vector<GenSlide> slides(3);
    slides[0].pictures.push_back(png);
    slides[1].pictures.push_back({PictureFormat::Png, png.data.left(8) + QByteArray(64, 'x'), {}});
    slides[2].pictures.push_back(png);
    writePresentation(dir.filePath("talk.ppt"), slides);
    QVERIFY(QFile::copy(dir.filePath("talk.ppt"), dir.filePath("other.ppt")));
    const Run run = extract({QStringLiteral("talk.ppt"), QStringLiteral("other.ppt")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    const QStringList err = lines(run.err);
    QCOMPARE(err.size(), 2);
    const QString warning = QStringLiteral(
        "Warning: Img0002.Jpg was not written: the picture of slide 2 cannot be read (");
    QVERIFY2(err[0].startsWith(warning) && err[0].endsWith(QLatin1Char(')')), qPrintable(err[0]));
    QVERIFY(!run.out.contains("Warning"));
    QCOMPARE(names(dir.filePath("talk")), QStringList({"Img0001.Jpg", "Img0003.Jpg"}));
    QCOMPARE(lines(run.out).last(), QStringLiteral("2 decks: 2 completed, 0 failed; 4 pictures, "
                                                   "0 charts, 0 documents; 2 warnings"));
  }

  // Several decks: each writes into a folder named after it; --text gives
  // each its document; a last line sums up. -q prints nothing.
  void severalDecksGetFoldersOfTheirOwn() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 2, 1);
    makeDeck(dir.filePath("b.pps"), 1, 10);
    const Run run = extract({QStringLiteral("--text"), QStringLiteral("Notes"),
                             QStringLiteral("a.ppt"), QStringLiteral("b.pps")},
                            dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(names(dir.filePath("a")), (QStringList{"Img0001.Jpg", "Img0002.Jpg", "Notes.doc"}));
    QCOMPARE(names(dir.filePath("b")), (QStringList{"Img0001.Jpg", "Notes.doc"}));
    QCOMPARE(lines(run.out).last(),
             QStringLiteral("2 decks: 2 completed, 0 failed; 3 pictures, 0 charts, 2 documents"));
    QVERIFY(lines(run.out).contains(
        QStringLiteral("2 image files are save in folder : %1/a/").arg(dir.path())));

    const Run quiet = extract(
        {QStringLiteral("-q"), QStringLiteral("a.ppt"), QStringLiteral("b.pps")}, dir.path());
    QCOMPARE(quiet.exitCode, 0);
    QVERIFY(quiet.out.isEmpty());
    QVERIFY(quiet.err.isEmpty());
  }

  // Two decks that would share a folder stop the run before anything is
  // written.
  void collidingDecksAreAUsageError() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("talk.ppt"), 1, 1);
    makeDeck(dir.filePath("talk.pptx.ppt"), 1, 2);
    makeDeck(dir.filePath("talk.PPS"), 1, 3);
    const QStringList before = names(dir.path());
    const Run run = extract({QStringLiteral("talk.ppt"), QStringLiteral("talk.PPS")}, dir.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("would both write into"), run.err.constData());
    QCOMPARE(names(dir.path()), before);
  }

  // --output: created when missing; one deck writes straight into it,
  // several into folders of their own inside it.
  void outputFolder() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 1, 1);
    makeDeck(dir.filePath("b.ppt"), 2, 5);
    const Run one = extract(
        {QStringLiteral("-o"), QStringLiteral("out/one"), QStringLiteral("a.ppt")}, dir.path());
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(names(dir.filePath("out/one")), QStringList{"Img0001.Jpg"});
    const Run two = extract(
        {QStringLiteral("a.ppt"), QStringLiteral("b.ppt"), QStringLiteral("--output=out/two")},
        dir.path());
    QCOMPARE(two.exitCode, 0);
    QCOMPARE(names(dir.filePath("out/two")), (QStringList{"a", "b"}));
    QCOMPARE(names(dir.filePath("out/two/b")), (QStringList{"Img0001.Jpg", "Img0002.Jpg"}));
    QCOMPARE(names(dir.path()), (QStringList{"a.ppt", "b.ppt", "out"}));
  }

  // -r: every presentation below a folder, by extension whatever its case,
  // sorted by path; symbolic links are not followed.
  void recursiveFindsEveryDeck() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("talks/2024/old"));
    makeDeck(dir.filePath("talks/b.PPT"), 1, 1);
    makeDeck(dir.filePath("talks/2024/a.pps"), 1, 2);
    makeDeck(dir.filePath("talks/2024/old/c.ppt"), 1, 3);
    QFile::copy(dir.filePath("talks/b.PPT"), dir.filePath("talks/readme.txt"));
    QVERIFY(QFile::link(dir.filePath("talks/b.PPT"), dir.filePath("talks/link.ppt")));
    QVERIFY(QFile::link(dir.filePath("talks/2024"), dir.filePath("talks/loop")));
    const Run run = extract(
        {QStringLiteral("-r"), QStringLiteral("--list"), QStringLiteral("talks")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QStringList decks;
    for (const QString &line : lines(run.out)) decks << line.section(QLatin1Char('\t'), 0, 0);
    QCOMPARE(decks,
             (QStringList{dir.filePath("talks/2024/a.pps"), dir.filePath("talks/2024/old/c.ppt"),
                          dir.filePath("talks/b.PPT")}));
  }

  // -j 2 writes the same files as one at a time and prints the logs whole,
  // in command-line order.
  void parallelRunsMatchOneAtATime() {
    QTemporaryDir one;
    QTemporaryDir two;
    QStringList decks;
    for (int i = 0; i < 6; ++i) {
      const QString name = QStringLiteral("deck%1.ppt").arg(i);
      makeDeck(one.filePath(name), 1 + i % 3, 10 * i,
               i % 2 ? PictureFormat::Png : PictureFormat::Jpeg);
      QVERIFY(QFile::copy(one.filePath(name), two.filePath(name)));
      decks << name;
    }
    const Run serial = extract(QStringList{"--text", "Notes"} + decks, one.path());
    const Run parallel = extract(QStringList{"--text", "Notes", "-j", "2"} + decks, two.path());
    QCOMPARE(serial.exitCode, 0);
    QCOMPARE(parallel.exitCode, 0);
    QCOMPARE(QString::fromUtf8(parallel.out).replace(two.path(), one.path()),
             QString::fromUtf8(serial.out));
    auto a = tree(one.path());
    auto b = tree(two.path());
    // The documents differ in their save time only.
    for (auto *t : {&a, &b})
      for (auto it = t->begin(); it != t->end(); ++it)
        if (it.key().endsWith(".doc")) it.value() = "doc";
    QCOMPARE(b, a);
  }

  // --json: one document a script can read, with each deck's outcome, log
  // and written files.
  void jsonDescribesTheRun() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 2, 1);
    QFile bad(dir.filePath("bad.ppt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("no presentation");
    bad.close();
    const Run run = extract(
        {QStringLiteral("--json"), QStringLiteral("a.ppt"), QStringLiteral("bad.ppt")}, dir.path());
    QCOMPARE(run.exitCode, 1);
    QJsonParseError error;
    const QJsonObject doc = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray decks = doc.value("decks").toArray();
    QCOMPARE(decks.size(), 2);
    const QJsonObject a = decks[0].toObject();
    QCOMPARE(a.value("outcome").toString(), QStringLiteral("completed"));
    QCOMPARE(a.value("deck").toString(), dir.filePath("a.ppt"));
    QVERIFY(a.value("log").toString().endsWith("Completed !!\n"));
    const QJsonArray pictures = a.value("pictures").toArray();
    QCOMPARE(pictures.size(), 2);
    const QJsonObject first = pictures[0].toObject();
    QCOMPARE(first.value("output").toString(), QStringLiteral("Img0001.Jpg"));
    QCOMPARE(first.value("slide").toInt(), 1);
    QCOMPARE(first.value("format").toString(), QStringLiteral("JPEG"));
    QCOMPARE(first.value("written").toBool(), true);
    QCOMPARE(first.value("bytes").toInteger(), QFileInfo(dir.filePath("a/Img0001.Jpg")).size());
    QCOMPARE(decks[1].toObject().value("outcome").toString(), QStringLiteral("failed"));
    QVERIFY(!decks[1].toObject().value("error").toString().isEmpty());
    const QJsonObject summary = doc.value("summary").toObject();
    QCOMPARE(summary.value("decks").toInt(), 2);
    QCOMPARE(summary.value("failed").toInt(), 1);
    QCOMPARE(summary.value("pictures").toInt(), 2);
  }

  // --list writes nothing and names every picture with what is stored.
  void listWritesNothing() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 2, 1, PictureFormat::Png, QSize(40, 30));
    const Run run = extract({QStringLiteral("--list"), QStringLiteral("a.ppt")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(names(dir.path()), QStringList{"a.ppt"});
    const QStringList listed = lines(run.out);
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[1].split(QLatin1Char('\t')).mid(1, 4),
             (QStringList{"slide 2", "1", "picture", "PNG"}));
    QCOMPARE(listed[1].section(QLatin1Char('\t'), 5, 5), QStringLiteral("40x30"));
    QCOMPARE(listed[1].section(QLatin1Char('\t'), 8, 8), QStringLiteral("Img0002.Jpg"));
  }

  // --original: the stored bytes under the stored format's extension.
  void originalKeepsTheStoredBytes() {
    QTemporaryDir dir;
    std::vector<GenSlide> slides(2);
    slides[0].pictures.push_back(makePicture(3, QSize(30, 20), PictureFormat::Png));
    slides[1].pictures.push_back(makePicture(4, QSize(30, 20), PictureFormat::Jpeg));
    slides[1].pictures.back().crop = Crop{0.25, 0, 0, 0};
    writePresentation(dir.filePath("a.ppt"), slides);
    const Run run = extract({QStringLiteral("--original"), QStringLiteral("a.ppt")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(dir.filePath("Img0001.png")), slides[0].pictures[0].data);
    QCOMPARE(readAll(dir.filePath("Img0002.jpg")), slides[1].pictures[0].data);
  }

  // SIGINT, SIGTERM, SIGHUP: the run stops after the picture being written,
  // leaves no temporary file, prints the summary and exits 128 + the signal.
  void signalsStopCleanly_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
  }

  void signalsStopCleanly() {
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 1, 1);
    makeDeck(dir.filePath("slow.ppt"), 12, 20, PictureFormat::Png, QSize(1600, 1200));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(MORVANE_EXTRACT), {"a.ppt", "slow.ppt"});
    QVERIFY(waitFor(dir.filePath("slow/Img0001.Jpg")));
    ::kill(pid_t(process.processId()), signalNumber);
    const Run run = finish(process);
    QCOMPARE(run.exitCode, 128 + signalNumber);
    QVERIFY2(lines(run.out).last().endsWith("; interrupted"), run.out.constData());
    QVERIFY(names(dir.filePath("slow")).size() < 12);
    for (const QString &name : names(dir.filePath("slow")))
      QVERIFY2(name.startsWith("Img") && name.endsWith(".Jpg"), qPrintable(name));
  }

  // A file-size limit gives one "Error:" line, not a death by SIGXFSZ, and
  // leaves no temporary file.
  void fileSizeLimitIsAnError() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("big.ppt"), 1, 3, PictureFormat::Png, QSize(800, 600));
    const Run run = shell("ulimit -f 8; exec \"$1\" big.ppt", dir.path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("Error: Cannot write"), run.err.constData());
    QVERIFY2(run.err.contains("File too large"), run.err.constData());
    QCOMPARE(names(dir.path()), QStringList{"big.ppt"});
  }

  // Two runs into one folder at once: the second waits for the first, and
  // the folder ends up with one run's complete output, never a mix.
  void concurrentRunsInOneFolderWait() {
    QTemporaryDir dir;
    makeDeck(dir.filePath("a.ppt"), 6, 1, PictureFormat::Png, QSize(900, 700));
    makeDeck(dir.filePath("b.ppt"), 6, 50, PictureFormat::Png, QSize(900, 700));
    QTemporaryDir reference;
    QVERIFY(extract({"-o", reference.filePath("a"), dir.filePath("a.ppt")}).exitCode == 0);
    QVERIFY(extract({"-o", reference.filePath("b"), dir.filePath("b.ppt")}).exitCode == 0);
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(MORVANE_EXTRACT),
                {"-o", dir.filePath("out"), dir.filePath("a.ppt")});
    QVERIFY(waitFor(dir.filePath("out")));
    second.start(QStringLiteral(MORVANE_EXTRACT),
                 {"-o", dir.filePath("out"), dir.filePath("b.ppt")});
    const Run a = finish(first);
    const Run b = finish(second);
    QCOMPARE(a.exitCode, 0);
    QCOMPARE(b.exitCode, 0);
    const auto result = tree(dir.filePath("out"));
    QVERIFY(result == tree(reference.filePath("a")) || result == tree(reference.filePath("b")));
  }

  // Names that are not UTF-8 (Latin-1 bytes) are carried as the file
  // system's bytes, in the folder and in the deck's name.
  void fileNamesThatAreNotUtf8() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/Vortr\xe4ge";
    QCOMPARE(::mkdir(folder.constData(), 0755), 0);
    const QString generated = makeDeck(dir.filePath("deck.ppt"), 1);
    QCOMPARE(
        ::rename(QFile::encodeName(generated).constData(), (folder + "/f\xfcr.ppt").constData()),
        0);
    const Run run = shell("exec \"$1\" \"$(printf 'Vortr\\344ge/f\\374r.ppt')\"", dir.path());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("Trying to open a source file " + folder + "/f\xfcr.ppt....."),
             run.out.constData());
    QCOMPARE(::access((folder + "/Img0001.Jpg").constData(), F_OK), 0);
  }

  // The command line carries no widgets, and nothing that draws or decodes
  // pictures: its dynamic section names neither QtWidgets nor Qt Gui,
  // libjpeg or libpng (those come with the drawing module).
  void linksNoWidgetsNorDrawing() {
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"),
                  {QStringLiteral("-d"), QStringLiteral(MORVANE_EXTRACT)});
    if (!readelf.waitForFinished() || readelf.exitCode() != 0) QSKIP("readelf is not available");
    const QByteArray dynamic = readelf.readAllStandardOutput();
    QVERIFY(dynamic.contains("(NEEDED)"));
    for (const char *library : {"Widgets", "libQt6Gui", "libjpeg", "libpng"})
      QVERIFY2(!dynamic.contains(library), dynamic.constData());
  }

  // A job that copies JPEG pictures as stored never loads the drawing module
  // (nor Qt Gui); the first PNG picture loads it, and its output is what the
  // drawing code linked into this test makes of the same picture.
  void loadsDrawingModuleOnFirstNeed() {
    QTemporaryDir dir;
    const auto loaded = [&](const QString &deck, const QString &out) {
      QProcess process;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
      process.setProcessEnvironment(env);
      process.start(QStringLiteral(MORVANE_EXTRACT), {QStringLiteral("-o"), out, deck});
      return finish(process);
    };
    const Run jpegRun = loaded(makeDeck(dir.filePath("jpeg.ppt"), 2), dir.filePath("jpeg-out"));
    QCOMPARE(jpegRun.exitCode, 0);
    const QByteArray &jpegOnly = jpegRun.err;
    QVERIFY2(jpegOnly.contains("file=libgsf"), "LD_DEBUG gave no list of loaded files");
    QVERIFY2(!jpegOnly.contains("libQt6Gui"), jpegOnly.constData());
    QVERIFY2(!jpegOnly.contains("libmorvane-draw"), jpegOnly.constData());
    QCOMPARE(names(dir.filePath("jpeg-out")), QStringList({"Img0001.Jpg", "Img0002.Jpg"}));

    // A second PNG whose data is damaged: the module's PictureError reaches
    // the job.
    const GenPicture png = makePicture(7, QSize(40, 30), PictureFormat::Png);
    std::vector<GenSlide> slides(2);
    slides[0].pictures.push_back(png);
    slides[1].pictures.push_back({PictureFormat::Png, png.data.left(8) + QByteArray(64, 'x'), {}});
    writePresentation(dir.filePath("png.ppt"), slides);
    const Run pngRun = loaded(dir.filePath("png.ppt"), dir.filePath("png-out"));
    QCOMPARE(pngRun.exitCode, 0);
    const QByteArray &withPng = pngRun.err;
    QVERIFY2(withPng.contains("libmorvane-draw.so"), withPng.constData());
    QVERIFY2((pngRun.out + withPng).contains("Img0002.Jpg was not written"),
             pngRun.out.constData());
    office::render::PictureSource source;
    source.format = office::render::BlipFormat::Png;
    source.data = png.data;
    office::render::exportJpeg(source, dir.filePath("linked.jpg"));
    QCOMPARE(readAll(dir.filePath("png-out/Img0001.Jpg")), readAll(dir.filePath("linked.jpg")));
  }

  // Without the drawing module a picture that needs it is not written, the
  // module named as the reason; the job goes on and copies the JPEG.
  void withoutDrawingModule() {
    QTemporaryDir dir;
    const QString program = dir.filePath("morvane-extract");
    QVERIFY(QFile::copy(QStringLiteral(MORVANE_EXTRACT), program));
    std::vector<GenSlide> slides(2);
    slides[0].pictures.push_back(makePicture(3, QSize(40, 30), PictureFormat::Png));
    slides[1].pictures.push_back(makePicture(4, QSize(40, 30), PictureFormat::Jpeg));
    writePresentation(dir.filePath("deck.ppt"), slides);
    QProcess process;
    process.start(program, {QStringLiteral("--json"), QStringLiteral("-o"), dir.filePath("out"),
                            dir.filePath("deck.ppt")});
    const Run run = finish(process);
    QCOMPARE(run.exitCode, 0);
    const QJsonArray pictures = QJsonDocument::fromJson(run.out)["decks"][0]["pictures"].toArray();
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(pictures[0]["written"].toBool(), false);
    const QString problem = pictures[0]["problem"].toString();
    QVERIFY2(problem.contains("drawing module libmorvane-draw.so, which cannot be loaded (") &&
                 problem.contains("No such file"),
             qPrintable(problem));
    QCOMPARE(pictures[1]["written"].toBool(), true);
    QCOMPARE(names(dir.filePath("out")), QStringList({"Img0002.Jpg"}));
    QCOMPARE(readAll(dir.filePath("out/Img0002.Jpg")), slides[1].pictures[0].data);
  }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
