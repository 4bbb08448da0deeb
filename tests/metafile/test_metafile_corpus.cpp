// Every EMF and WMF picture stored in the reference presentations (pictures
// and chart previews) renders to an image with something drawn on it.

#include <QDir>
#include <QtTest>

#include "common/error.h"
#include "corpus_metafiles.h"
#include "corpussuite.h"
#include "office/render/metafile/metafile.h"

using office::render::BlipFormat;

namespace {

bool hasInk(const QImage &image) {
  for (int y = 0; y < image.height(); ++y) {
    const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((row[x] & 0xFFFFFF) != 0xFFFFFF) return true;
  }
  return false;
}

// Metafiles that draw nothing: only escape records, no drawing records.
const QStringList kEmptyMetafiles = {
    QStringLiteral("23884_defense_FINAL_OOimport_edit.ppt@21867"),
    QStringLiteral("23884_defense_FINAL_OOimport_edit.ppt@406209"),
};

}  // namespace

class TestMetafileCorpus : public QObject {
  Q_OBJECT

 private slots:
  void everyStoredMetafileRenders();
};

void TestMetafileCorpus::everyStoredMetafileRenders() {
  QDir corpus(qEnvironmentVariable("MORVANE_SHARED_DIR") + QStringLiteral("/corpus"));
  if (qEnvironmentVariable("MORVANE_SHARED_DIR").isEmpty() || !corpus.exists())
    QSKIP("the reference corpus (MORVANE_SHARED_DIR/corpus) is not available");
  int emf = 0, wmf = 0;
  QStringList blank, failed, cut;
  for (const QString &name :
       corpus.entryList({QStringLiteral("*.ppt"), QStringLiteral("*.pps")}, QDir::Files)) {
    std::vector<metafile_test::StoredMetafile> blips;
    try {
      blips = metafile_test::storedMetafiles(corpus.filePath(name));
    } catch (const morvane::Error &) {
      continue;  // not a compound file: the reader's business, not ours
    }
    for (const auto &blip : blips) {
      QString id = QStringLiteral("%1@%2").arg(name).arg(blip.offset);
      (blip.picture.format == BlipFormat::Emf ? emf : wmf)++;
      try {
        QSizeF inches = office::render::metafileNaturalSizeInches(blip.picture);
        QSize size = (inches * 96).toSize().expandedTo(QSize(16, 16)).boundedTo(QSize(2000, 2000));
        office::render::DrawingOutcome outcome;
        QImage image = office::render::renderMetafile(blip.picture, size, &outcome);
        QCOMPARE(image.size(), size);
        // Real pictures stay within their budget and hold no damage.
        if (outcome.stoppedEarly || !outcome.damage.isEmpty())
          cut << id + QStringLiteral(": ") + outcome.damage;
        if (!hasInk(image) && !kEmptyMetafiles.contains(id)) blank << id;
      } catch (const morvane::Error &e) {
        failed << id + QStringLiteral(": ") + e.description();
      }
    }
  }
  qInfo("rendered %d EMF and %d WMF pictures", emf, wmf);
  QVERIFY2(emf + wmf > 100, "expected the corpus's metafiles");
  QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
  QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("cut short: ") + cut.join(QLatin1Char('\n'))));
  QVERIFY2(blank.isEmpty(), qPrintable(QStringLiteral("blank: ") + blank.join(QLatin1Char(' '))));
}

MORVANE_CORPUS_TEST_MAIN(TestMetafileCorpus, "corpus")
#include "test_metafile_corpus.moc"
