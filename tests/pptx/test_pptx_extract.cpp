// morvane-extract on every file of the PowerPoint 2007+ corpus, each copied
// into a folder of its own and run as a user runs it: the exit status, the
// pictures and charts written (numbered as the reference orders them, a
// picture whose part is missing keeping its number without a file), stored
// JPEG bytes unchanged, and the text document where the deck has text to
// harvest. The log's wording belongs to the command line and is not checked.
// Then the batch options on packages: --original, --list, --json with
// --every-picture and --every-text, and -r.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "corpussuite.h"
#include "corpustruth.h"

namespace {

using testpptx::readTruth;
using testpptx::sharedDir;

QString fourDigits(int n) { return QString::number(n).rightJustified(4, QLatin1Char('0')); }

QString sha256Of(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(
      QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

// Whether the default harvest (text boxes, WordArt, tables, comments) finds text.
bool hasHarvestedText(const QJsonObject &truth) {
  for (const QJsonValue &slide : truth.value(QLatin1String("slides")).toArray())
    for (const QJsonValue &shape : slide.toObject().value(QLatin1String("shapes")).toArray()) {
      const QJsonObject s = shape.toObject();
      const int type = s.value(QLatin1String("msoType")).toInt();
      if ((type == 17 || type == 15 || type == 19 || type == 4) &&
          !s.value(QLatin1String("text")).toString().isEmpty())
        return true;
    }
  return false;
}

struct Run {
  int exitCode = -1;
  QByteArray out;
};

Run extract(const QStringList &arguments, const QString &folder) {
  QProcess process;
  process.setWorkingDirectory(folder);
  process.start(QStringLiteral(MORVANE_EXTRACT), arguments);
  Run run;
  if (!process.waitForFinished(120000)) return run;
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  return run;
}

QString copyOfCorpusFile(const QString &file, const QString &target) {
  QDir().mkpath(QFileInfo(target).path());
  return QFile::copy(sharedDir() + QStringLiteral("/corpus-pptx/") + file, target) ? target
                                                                                   : QString();
}

}  // namespace

class PptxExtractTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!testpptx::corpusAvailable())
      QSKIP("The reference corpus (MORVANE_SHARED_DIR/corpus-pptx) is not available");
  }

  void corpus_data() { testpptx::addCorpusRows(); }

  void corpus() {
    QFETCH(QString, file);
    const QJsonObject truth = readTruth(file);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString deck = dir.filePath(file);
    QVERIFY(QFile::copy(sharedDir() + QStringLiteral("/corpus-pptx/") + file, deck));
    QProcess extract;
    extract.setProcessChannelMode(QProcess::MergedChannels);
    extract.start(
        QStringLiteral(MORVANE_EXTRACT),
        {QStringLiteral("--graph"), QStringLiteral("--text"), QStringLiteral("notes"), deck});
    QVERIFY(extract.waitForFinished(120000));
    const QByteArray log = extract.readAll();
    const bool ok = truth.value(QLatin1String("status")).toString() == QLatin1String("ok");
    QVERIFY2(extract.exitStatus() == QProcess::NormalExit, log.constData());
    QCOMPARE(extract.exitCode() == 0, ok);
    if (!ok) return;

    const QJsonObject summary = truth.value(QLatin1String("summary")).toObject();
    for (const QJsonValue &entry : summary.value(QLatin1String("imgSequence")).toArray()) {
      const QJsonObject picture = entry.toObject();
      const QString path = dir.filePath(
          QStringLiteral("Img%1.Jpg").arg(fourDigits(picture.value(QLatin1String("n")).toInt())));
      const bool missing =
          picture.value(QLatin1String("format")).toString() == QLatin1String("null");
      QVERIFY2(QFile::exists(path) != missing,
               qPrintable(path + QLatin1Char('\n') + QString::fromUtf8(log)));
      if (missing) continue;
      QVERIFY(!QImage(path, "jpeg").isNull());
    }
    // Uncropped JPEG pictures are their stored bytes.
    int n = 0;
    for (const QJsonValue &slide : truth.value(QLatin1String("slides")).toArray())
      for (const QJsonValue &shape : slide.toObject().value(QLatin1String("shapes")).toArray()) {
        const QJsonObject s = shape.toObject();
        if (s.value(QLatin1String("msoType")).toInt() != 13) continue;
        ++n;
        const QJsonObject picture = s.value(QLatin1String("picture")).toObject();
        if (picture.value(QLatin1String("format")).toString() != QLatin1String("JPEG") ||
            picture.value(QLatin1String("crop")).toBool())
          continue;
        QCOMPARE(sha256Of(dir.filePath(QStringLiteral("Img%1.Jpg").arg(fourDigits(n)))),
                 picture.value(QLatin1String("sha256")).toString());
      }
    const int charts = int(summary.value(QLatin1String("graphSequence")).toArray().size());
    for (int i = 1; i <= charts; ++i) {
      const QString path = dir.filePath(QStringLiteral("Graph%1.Bmp").arg(fourDigits(i)));
      QVERIFY2(!QImage(path, "bmp").isNull(), qPrintable(path));
    }
    QVERIFY(
        !QFile::exists(dir.filePath(QStringLiteral("Graph%1.Bmp").arg(fourDigits(charts + 1)))));
    QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("notes.doc"))), hasHarvestedText(truth));
  }

  // --original writes every picture's part as stored: the reference's
  // SHA-256 for every picture it could read.
  void original_data() { testpptx::addCorpusRows(); }

  void original() {
    QFETCH(QString, file);
    const QJsonObject truth = readTruth(file);
    if (truth.value(QLatin1String("status")).toString() != QLatin1String("ok")) return;
    QTemporaryDir dir;
    const QString deck = copyOfCorpusFile(file, dir.filePath(file));
    QVERIFY(!deck.isEmpty());
    extract({QStringLiteral("--original"), QStringLiteral("-o"), QStringLiteral("out"), deck},
            dir.path());
    const QDir out(dir.filePath(QStringLiteral("out")));
    int n = 0;
    for (const QJsonValue &slide : truth.value(QLatin1String("slides")).toArray())
      for (const QJsonValue &shape : slide.toObject().value(QLatin1String("shapes")).toArray()) {
        const QJsonObject s = shape.toObject();
        if (s.value(QLatin1String("msoType")).toInt() != 13) continue;
        ++n;
        const QString expected =
            s.value(QLatin1String("picture")).toObject().value(QLatin1String("sha256")).toString();
        if (expected.isEmpty()) continue;
        const QStringList written =
            out.entryList({QStringLiteral("Img%1.*").arg(fourDigits(n))}, QDir::Files);
        QCOMPARE(written.size(), 1);
        QCOMPARE(sha256Of(out.filePath(written.first())), expected);
      }
  }

  // A deck with groups, charts, a background picture and right-to-left text:
  // --list names what a run would write; --json with --every-picture and
  // --every-text describes what it wrote and the texts per slide.
  void batchOptionsOnAPackage() {
    QTemporaryDir dir;
    const QString deck =
        copyOfCorpusFile(QStringLiteral("stress021.pptx"), dir.filePath(QStringLiteral("s.pptx")));
    QVERIFY(!deck.isEmpty());
    const Run list =
        extract({QStringLiteral("--list"), QStringLiteral("--graph"), deck}, dir.path());
    QCOMPARE(list.exitCode, 0);
    QStringList listed;
    for (const QByteArray &line : list.out.split('\n'))
      if (!line.isEmpty()) listed << QString::fromUtf8(line.split('\t').last());
    QCOMPARE(listed, (QStringList{"Img0001.Jpg", "Graph0001.Bmp", "Graph0002.Bmp", "Graph0003.Bmp",
                                  "Graph0004.Bmp", "Graph0005.Bmp"}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("s.pptx")});

    const Run json =
        extract({QStringLiteral("--json"), QStringLiteral("--every-picture"),
                 QStringLiteral("--every-text"), QStringLiteral("--text"), QStringLiteral("Every"),
                 QStringLiteral("--graph"), QStringLiteral("-o"), QStringLiteral("out"), deck},
                dir.path());
    QCOMPARE(json.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    const QJsonObject result = report.value(QLatin1String("decks")).toArray().first().toObject();
    QCOMPARE(result.value(QLatin1String("outcome")).toString(), QStringLiteral("completed"));
    const QDir out(dir.filePath(QStringLiteral("out")));
    const QJsonArray pictures = result.value(QLatin1String("pictures")).toArray();
    QVERIFY(pictures.size() > 1);  // the background comes first, then the slide's own
    QCOMPARE(pictures.first().toObject().value(QLatin1String("shape")).toString(),
             QStringLiteral("background"));
    QJsonArray outputs = pictures;
    for (const QJsonValue &chart : result.value(QLatin1String("charts")).toArray())
      outputs.append(chart);
    for (const QJsonValue &value : outputs) {
      const QJsonObject output = value.toObject();
      const QFileInfo written(out.filePath(output.value(QLatin1String("output")).toString()));
      QVERIFY2(written.isFile(), qPrintable(written.filePath()));
      QCOMPARE(written.size(), qint64(output.value(QLatin1String("bytes")).toDouble()));
    }
    QVERIFY(out.exists(QStringLiteral("Every.doc")));
    QSet<int> slidesWithText;
    for (const QJsonValue &text : result.value(QLatin1String("texts")).toArray())
      slidesWithText << text.toObject().value(QLatin1String("slide")).toInt();
    QVERIFY2(slidesWithText.size() > 30, qPrintable(QString::number(slidesWithText.size())));
  }

  // -r takes .pptx and .ppsx below a folder, whatever the extension's case,
  // beside .ppt, sorted by path.
  void recursiveTakesPackages() {
    QTemporaryDir dir;
    const QString pptx = QStringLiteral("stress021.pptx");
    QVERIFY(!copyOfCorpusFile(pptx, dir.filePath(QStringLiteral("talks/b.PPTX"))).isEmpty());
    QVERIFY(!copyOfCorpusFile(pptx, dir.filePath(QStringLiteral("talks/a/show.ppsx"))).isEmpty());
    QVERIFY(!copyOfCorpusFile(pptx, dir.filePath(QStringLiteral("talks/a/notes.xml"))).isEmpty());
    const Run run = extract(
        {QStringLiteral("-r"), QStringLiteral("--list"), QStringLiteral("talks")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QStringList decks;
    for (const QByteArray &line : run.out.split('\n'))
      if (!line.isEmpty() && !decks.contains(QString::fromUtf8(line.split('\t').first())))
        decks << QString::fromUtf8(line.split('\t').first());
    QCOMPARE(decks, (QStringList{dir.filePath(QStringLiteral("talks/a/show.ppsx")),
                                 dir.filePath(QStringLiteral("talks/b.PPTX"))}));
  }
};

MORVANE_CORPUS_TEST_MAIN(PptxExtractTest, "corpus-pptx")
#include "test_pptx_extract.moc"
