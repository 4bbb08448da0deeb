// Reads the picture store and the external object list of every real file of
// the reference corpus and compares them with the independent reference
// readings: each picture's bytes against the reference's SHA-256, each OLE
// frame's object against its ExObjList entry.

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>

#include "compoundfile.h"
#include "corpussuite.h"
#include "office/ppt/blipstore.h"
#include "office/ppt/exobjlist.h"

using office::ppt::PictureStore;
using office::render::BlipFormat;
using office::render::PictureSource;

namespace {

QString sharedDir() { return qEnvironmentVariable("MORVANE_SHARED_DIR"); }

QJsonObject readTruth(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

void putU16(QByteArray &out, std::uint32_t v) {
  out.append(char(v & 0xFF));
  out.append(char((v >> 8) & 0xFF));
}

// The reference reader hands out WMF pictures with a placeable header built
// from the stored bounds (at 72 units per inch), PICT pictures behind 512
// zero bytes and DIBs with a bitmap file header; EMF, JPEG and PNG as stored.
QByteArray asReferenceGivesIt(const PictureSource &p) {
  if (p.format == BlipFormat::Wmf) {
    const QRect &b = p.metafileBounds;
    const std::uint32_t inch = 72;
    QByteArray h;
    putU16(h, 0xCDD7);
    putU16(h, 0x9AC6);
    putU16(h, 0);
    putU16(h, std::uint32_t(b.left()));
    putU16(h, std::uint32_t(b.top()));
    putU16(h, std::uint32_t(b.left() + b.width()));
    putU16(h, std::uint32_t(b.top() + b.height()));
    putU16(h, inch);
    putU16(h, 0);
    putU16(h, 0);
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum ^= std::uint8_t(h[i]) | (std::uint8_t(h[i + 1]) << 8);
    putU16(h, sum);
    return h + p.data;
  }
  if (p.format == BlipFormat::Pict) return QByteArray(512, '\0') + p.data;
  return p.data;
}

QString formatName(BlipFormat f) {
  switch (f) {
    case BlipFormat::Emf:
      return "EMF";
    case BlipFormat::Wmf:
      return "WMF";
    case BlipFormat::Pict:
      return "PICT";
    case BlipFormat::Jpeg:
      return "JPEG";
    case BlipFormat::Png:
      return "PNG";
    case BlipFormat::Dib:
      return "DIB";
    case BlipFormat::Tiff:
      return "TIFF";
    default:
      return "Unknown";
  }
}

struct Tally {
  int checked = 0;
  int matched = 0;
  QSet<QString> matchedPlaces;  // "file slide/shape"
  QStringList mismatches;
};

// Pictures whose reference hash cannot match by construction, with the
// reason. Key: "file slide/shape".
const QMap<QString, QString> &knownPictureDifferences() {
  static const QMap<QString, QString> known = {};
  return known;
}

}  // namespace

class PptObjectsCorpusTest : public QObject {
  Q_OBJECT

 private slots:
  void picturesMatchReference();
  void exObjListMatchesReference();
  void everyEntryLoadsOrFailsCleanly();

 private:
  QStringList truthFiles() {
    const QDir truth(sharedDir() + "/corpus-truth");
    if (sharedDir().isEmpty() || !truth.exists()) return {};
    return truth.entryList({"*.json"}, QDir::Files, QDir::Name);
  }
};

void PptObjectsCorpusTest::picturesMatchReference() {
  const QStringList files = truthFiles();
  if (files.isEmpty()) QSKIP("the reference corpus (MORVANE_SHARED_DIR) is not available");
  Tally tally;
  for (const QString &name : files) {
    const QJsonObject truth = readTruth(sharedDir() + "/corpus-truth/" + name);
    if (truth["status"].toString() != "ok") continue;
    const QString pptName = truth["file"].toString();
    const auto presentation = testsupport::openPresentation(sharedDir() + "/corpus/" + pptName);
    if (!presentation) continue;  // a compound file libgsf refuses; listed below if it matters
    const auto doc = testsupport::lastDocumentContainer(presentation->document);
    if (!doc) continue;
    const auto bstore = testsupport::findPath(doc->body, {0x040B, 0xF000, 0xF001});
    std::shared_ptr<office::ppt::RandomAccessStream> stream;
    if (presentation->hasPictures)
      stream = std::make_shared<office::ppt::MemoryStream>(presentation->pictures);
    std::optional<PictureStore> store;
    if (bstore) store.emplace(bstore->body, stream);

    for (const QJsonValue &slide : truth["slides"].toArray()) {
      for (const QJsonValue &shapeValue : slide["shapes"].toArray()) {
        const QJsonObject picture = shapeValue["picture"].toObject();
        if (picture.isEmpty() || !picture.contains("sha256")) continue;
        const QString where = QStringLiteral("%1 %2/%3")
                                  .arg(pptName)
                                  .arg(slide["index"].toInt())
                                  .arg(shapeValue["index"].toInt());
        ++tally.checked;
        QString outcome;
        try {
          const auto loaded =
              store ? store->load(std::uint32_t(picture["pib"].toInt())) : std::nullopt;
          if (!loaded) {
            outcome = "no picture";
          } else {
            const QByteArray hash =
                QCryptographicHash::hash(asReferenceGivesIt(*loaded), QCryptographicHash::Sha256)
                    .toHex();
            if (formatName(loaded->format) != picture["format"].toString())
              outcome = "format " + formatName(loaded->format);
            else if (hash != picture["sha256"].toString().toLatin1())
              outcome = QStringLiteral("hash differs (%1 bytes, reference %2)")
                            .arg(asReferenceGivesIt(*loaded).size())
                            .arg(picture["bytes"].toInt());
          }
        } catch (const morvane::Error &e) {
          outcome = QString("error: ") + e.what();
        }
        if (outcome.isEmpty()) {
          ++tally.matched;
          tally.matchedPlaces.insert(where);
        } else if (!knownPictureDifferences().contains(where)) {
          tally.mismatches << where + " " + picture["format"].toString() + ": " + outcome;
        }
      }
    }
  }
  // Every picture that the picture export would write must have been found.
  int exported = 0;
  for (const QString &name : files) {
    const QJsonObject truth = readTruth(sharedDir() + "/corpus-truth/" + name);
    for (const QJsonValue &item : truth["summary"]["imgSequence"].toArray()) {
      ++exported;
      const QString where = QStringLiteral("%1 %2/%3")
                                .arg(truth["file"].toString())
                                .arg(item["slide"].toInt())
                                .arg(item["shape"].toInt());
      if (!tally.matchedPlaces.contains(where) && !knownPictureDifferences().contains(where))
        tally.mismatches << where + ": exported picture not checked";
    }
  }
  qInfo("pictures checked: %d, matching the reference: %d, of them exported pictures: %d",
        tally.checked, tally.matched, exported);
  QVERIFY(tally.checked > 0);
  QVERIFY2(tally.mismatches.isEmpty(), qPrintable(tally.mismatches.join('\n')));
}

void PptObjectsCorpusTest::exObjListMatchesReference() {
  const QStringList files = truthFiles();
  if (files.isEmpty()) QSKIP("the reference corpus (MORVANE_SHARED_DIR) is not available");
  int checked = 0;
  QStringList mismatches;
  for (const QString &name : files) {
    const QJsonObject truth = readTruth(sharedDir() + "/corpus-truth/" + name);
    if (truth["status"].toString() != "ok") continue;
    const QString pptName = truth["file"].toString();
    const auto presentation = testsupport::openPresentation(sharedDir() + "/corpus/" + pptName);
    if (!presentation) continue;
    const auto doc = testsupport::lastDocumentContainer(presentation->document);
    if (!doc) continue;
    const auto list = testsupport::findPath(doc->body, {0x0409});
    std::map<std::uint32_t, office::ppt::ExObject> objects;
    if (list)
      objects = office::ppt::readExObjList(list->body,
                                           testsupport::persistLookup(presentation->document));
    for (const QJsonValue &slide : truth["slides"].toArray()) {
      for (const QJsonValue &shapeValue : slide["shapes"].toArray()) {
        const QJsonObject shape = shapeValue.toObject();
        const QJsonObject ole = shape.contains("ole") ? shape["ole"].toObject() : shape;
        if (!ole.contains("exObjIdRef") || !ole.contains("exObj")) continue;
        const QJsonObject exObj = ole["exObj"].toObject();
        const QString where = QStringLiteral("%1 %2/%3")
                                  .arg(pptName)
                                  .arg(slide["index"].toInt())
                                  .arg(shape["index"].toInt());
        ++checked;
        const auto it = objects.find(std::uint32_t(ole["exObjIdRef"].toInteger()));
        if (it == objects.end()) {
          mismatches << where + ": no entry";
          continue;
        }
        const bool media = exObj["media"].toBool();
        if ((it->second.kind == office::ppt::ExObjKind::Media) != media)
          mismatches << where + ": media kind differs";
        if (!media && it->second.progId != exObj["progId"].toString())
          mismatches << where + ": ProgID " + it->second.progId;
        if (it->second.isChart != (shape["msoType"].toInt() == 3))
          mismatches << where + ": chart flag differs";
      }
    }
  }
  qInfo("OLE and media frames checked: %d", checked);
  QVERIFY(checked > 0);
  QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join('\n')));
}

// Every entry of every store in the corpus, damaged files included: a
// picture, nothing, or a morvane::Error; and the entries whose stored blip is
// not what the store declares for Windows are only Mac PICTs.
void PptObjectsCorpusTest::everyEntryLoadsOrFailsCleanly() {
  const QDir corpus(sharedDir() + "/corpus");
  if (sharedDir().isEmpty() || !corpus.exists())
    QSKIP("the reference corpus (MORVANE_SHARED_DIR) is not available");
  int loaded = 0, empty = 0, failed = 0;
  QStringList unexpectedMismatches;
  for (const QString &name : corpus.entryList(QDir::Files, QDir::Name)) {
    const auto presentation = testsupport::openPresentation(corpus.filePath(name));
    if (!presentation) continue;
    const auto doc = testsupport::lastDocumentContainer(presentation->document);
    if (!doc) continue;
    const auto bstore = testsupport::findPath(doc->body, {0x040B, 0xF000, 0xF001});
    if (!bstore) continue;
    const PictureStore store(bstore->body,
                             std::make_shared<office::ppt::MemoryStream>(presentation->pictures));
    for (std::uint32_t pib = 1; pib <= store.count(); ++pib) {
      try {
        const auto picture = store.load(pib);
        if (!picture) {
          ++empty;
          continue;
        }
        ++loaded;
        const BlipFormat declared = store.declaredFormat(pib);
        if (picture->format == declared || declared == BlipFormat::Unknown) continue;
        const QString what =
            QStringLiteral("%1 pib %2: declared %3 (Mac %4), stored %5")
                .arg(name)
                .arg(pib)
                .arg(formatName(declared), formatName(store.declaredMacFormat(pib)),
                     formatName(picture->format));
        qInfo("%s", qPrintable(what));
        const bool macPict = declared == BlipFormat::Wmf &&
                             store.declaredMacFormat(pib) == BlipFormat::Pict &&
                             picture->format == BlipFormat::Pict;
        if (!macPict) unexpectedMismatches << what;
      } catch (const morvane::Error &e) {
        ++failed;
        qInfo("%s pib %u: %s", qPrintable(name), pib, e.what());
      }
    }
  }
  qInfo("store entries: %d pictures, %d empty, %d damaged", loaded, empty, failed);
  QVERIFY(loaded > 0);
  QVERIFY2(unexpectedMismatches.isEmpty(), qPrintable(unexpectedMismatches.join('\n')));
}

MORVANE_CORPUS_TEST_GUILESS_MAIN(PptObjectsCorpusTest, "corpus")
#include "test_pptobjects_corpus.moc"
