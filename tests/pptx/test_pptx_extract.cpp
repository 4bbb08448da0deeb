// morvane-extract on every file of the PowerPoint 2007+ corpus, each copied
// into a folder of its own and run as a user runs it: the exit status, the
// pictures and charts written (numbered as the reference orders them, a
// picture whose part is missing keeping its number without a file), stored
// JPEG bytes unchanged, and the text document where the deck has text to
// harvest. The log's wording belongs to the command line and is not checked.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
};

MORVANE_CORPUS_TEST_MAIN(PptxExtractTest, "corpus-pptx")
#include "test_pptx_extract.moc"
