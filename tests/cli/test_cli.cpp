// morvane-extract as a user runs it: arguments, exit status and output.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Run extract(const QStringList &args, const QString &workingDir = QString()) {
  QProcess process;
  if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
  process.start(QStringLiteral(MORVANE_EXTRACT), args);
  Run run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
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
  }

  void usageErrors() {
    QFETCH(QStringList, args);
    const Run run = extract(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("Usage: morvane-extract"), run.err.constData());
  }

  void helpDescribesTheOptions() {
    const Run run = extract({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char *text :
         {"Usage: morvane-extract", "--no-pictures", "--graph", "--text NAME", "Exit status"})
      QVERIFY2(run.out.contains(text), text);
  }

  // Each failed job prints its log, ending in one "Error:" line naming the
  // file by its absolute path; the exit status is 1.
  void missingFilesFail() {
    QTemporaryDir dir;
    const Run run = extract({QStringLiteral("gone.ppt"), QStringLiteral("--graph"),
                             QStringLiteral("--"), QStringLiteral("--odd.pps")},
                            dir.path());
    QCOMPARE(run.exitCode, 1);
    const QString folder = QFileInfo(dir.path()).absoluteFilePath();
    QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("Error: File not found: %1/gone.ppt\r\n"
                                                        "Error: File not found: %1/--odd.pps\r\n")
                                             .arg(folder));
  }

  // A file the reader cannot take: the two opening lines, then one clear
  // "Error:" line naming the source; no working copy stays behind.
  void foreignFileFailsWithItsOpeningLines() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("notes.ppt"));
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("just some text, not a presentation\n");
    file.close();
    const Run run = extract({source});
    QCOMPARE(run.exitCode, 1);
    const QString out = QString::fromUtf8(run.out);
    QVERIFY2(out.startsWith(QStringLiteral("Trying to open a source file %1.....\r\n"
                                           "Processing ..........\r\nError: ")
                                .arg(source)),
             qPrintable(out));
    QVERIFY(out.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(out.count(QStringLiteral("Error: ")), 1);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("popo.ppt"))));
  }

  // A corpus file extracts and exits 0, with nothing on stderr even without a
  // desktop session (no XDG_RUNTIME_DIR, as under root or cron).
  void corpusFileExtracts() {
    qunsetenv("XDG_RUNTIME_DIR");
    const QString corpus =
        qEnvironmentVariable("MORVANE_SHARED_DIR") + QStringLiteral("/corpus/37625.ppt");
    if (!QFileInfo::exists(corpus)) QSKIP("the reference corpus is absent");
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("37625.ppt"));
    QVERIFY(QFile::copy(corpus, source));
    const Run run = extract({source});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith(
        QStringLiteral("Trying to open a source file %1.....\r\nProcessing ..........\r\n")
            .arg(source)
            .toUtf8()));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("popo.ppt"))));
    QVERIFY2(run.err.isEmpty(), run.err.constData());
  }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
