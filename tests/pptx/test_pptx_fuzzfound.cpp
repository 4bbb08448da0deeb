// Replays what pptx_fuzzer found (tests/fuzzfound/pptx): each input is
// walked through everything the reader offers and must end with pictures
// written or errors reported, never a crash, and within its time: inputs
// named slow-* or timeout-* once took seconds.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "deckwalk.h"
#include "office/pptx/application.h"

namespace {

// Far above what these inputs take now, far below what they once took.
constexpr qint64 kMaxMilliseconds = 3000;

}  // namespace

class PptxFuzzFoundTest : public QObject {
  Q_OBJECT

 private slots:
  void inputs_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(FUZZFOUND_DIR));
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files, QDir::Name))
      QTest::newRow(qPrintable(info.fileName())) << info.absoluteFilePath();
    if (dir.entryList(QDir::Files).isEmpty()) QTest::newRow("none") << QString();
  }

  void inputs() {
    QFETCH(QString, path);
    if (path.isEmpty()) QSKIP("nothing found yet");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QTemporaryDir out;
    testpptx::DeckWalk walk(out.path());
    QElapsedTimer timer;
    timer.start();
    try {
      walk.walk(*office::pptx::openPresentation(bytes));
    } catch (const morvane::Error &e) {
      qInfo("%s", qPrintable(e.description()));
    }
    const qint64 elapsed = timer.elapsed();
    qInfo("%lld ms, %d shapes, %d exported, %d failures", elapsed, walk.count().shapes,
          walk.count().exported, walk.count().failures);
    QVERIFY2(elapsed < kMaxMilliseconds, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
  }
};

QTEST_MAIN(PptxFuzzFoundTest)
#include "test_pptx_fuzzfound.moc"
