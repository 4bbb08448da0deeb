// Walks every file of the reference corpus through the object model and
// compares what it finds with the reference readings in corpus-truth.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <map>

#include "common/error.h"
#include "common/symbolfonts.h"
#include "corpussuite.h"
#include "disagreements.h"
#include "office/powerpoint/application.h"
#include "office/ppt/application.h"

namespace {

// Where our reading differs from the reference after checking the bytes.
using corpussuite::Disagreement;

const Disagreement kDisagreements[] = {
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-4624961081573376.ppt", "status", "error",
     "the compound file's block allocation table is inconsistent, so libgsf refuses it; the "
     "reference's lenient reader went on and found an OOXML EncryptionInfo stream"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-4838893004128256.ppt", "status", "error",
     "as above: inconsistent block allocation table"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-6032591399288832.ppt", "status", "error",
     "inconsistent block allocation table; the reference read no slides from it anyway"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-5306877435838464.ppt", "status", "ok",
     "the document, slide list and the one slide are intact; the reference failed on a "
     "missing drawing elsewhere (a null PPDrawing) that the slide walk never needs"},
};

const Disagreement *disagreement(const QString &file, const QString &aspect) {
  return corpussuite::findDisagreement(kDisagreements, file, aspect);
}

QString sharedDir() { return qEnvironmentVariable("MORVANE_SHARED_DIR"); }

QJsonObject readTruth(const QString &file) {
  QFile f(sharedDir() + QStringLiteral("/corpus-truth/") + file + QStringLiteral(".json"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

QString statusOf(const morvane::Error &e) {
  return e.description().contains(QLatin1String("encrypted")) ? QStringLiteral("encrypted")
                                                              : QStringLiteral("error");
}

// One slide as a comparable line: the shape types in order.
QString typeLine(const QJsonObject &slide) {
  QStringList types;
  for (const QJsonValue &shape : slide.value(QLatin1String("shapes")).toArray())
    types << QString::number(shape.toObject().value(QLatin1String("msoType")).toInt());
  for (qsizetype i = 0; i < slide.value(QLatin1String("comments")).toArray().size(); ++i)
    types << QStringLiteral("4");
  return types.join(QLatin1Char(' '));
}

QString typeLine(PowerPoint::Shapes &shapes) {
  QStringList types;
  for (std::int32_t i = 1; i <= shapes.Count(); ++i)
    types << QString::number(shapes.Item(i)->Type());
  return types.join(QLatin1Char(' '));
}

// The stored text the reference expects for a shape of type 17, 15 or 19;
// null when it gives none to compare. A table cell that a merged cell covers
// is an empty field.
QString expectedText(const QJsonObject &shape) {
  const int type = shape.value(QLatin1String("msoType")).toInt();
  if (type == 17) return shape.value(QLatin1String("rawText")).toString(QStringLiteral(""));
  if (type == 15) return shape.value(QLatin1String("wordArtText")).toString();
  if (type != 19) return QString();
  QString text;
  for (const QJsonValue &row :
       shape.value(QLatin1String("table")).toObject().value(QLatin1String("rawCells")).toArray()) {
    const QJsonArray cells = row.toArray();
    for (qsizetype i = 0; i < cells.size(); ++i) {
      text += cells[i].toString() + (i + 1 < cells.size() ? u'\t' : u'\r');
    }
  }
  return text;
}

QString formatName(office::render::BlipFormat format) {
  using office::render::BlipFormat;
  switch (format) {
    case BlipFormat::Emf:
      return QStringLiteral("EMF");
    case BlipFormat::Wmf:
      return QStringLiteral("WMF");
    case BlipFormat::Pict:
      return QStringLiteral("PICT");
    case BlipFormat::Jpeg:
      return QStringLiteral("JPEG");
    case BlipFormat::Png:
      return QStringLiteral("PNG");
    case BlipFormat::Dib:
      return QStringLiteral("DIB");
    case BlipFormat::Tiff:
      return QStringLiteral("TIFF");
    case BlipFormat::Unknown:
      break;
  }
  return QStringLiteral("unknown");
}

// Whether ours is the stored text with symbol-font codes turned into the
// characters they stand for (the reference gives the codes as stored); counts
// the characters mapped.
bool matchesWithSymbolsMapped(const QString &ours, const QString &stored, int &mapped) {
  if (ours.size() != stored.size()) return false;
  static const morvane::SymbolFont kFonts[] = {
      morvane::SymbolFont::Symbol,     morvane::SymbolFont::Wingdings,
      morvane::SymbolFont::Wingdings2, morvane::SymbolFont::Wingdings3,
      morvane::SymbolFont::Webdings,   morvane::SymbolFont::OtherSymbolFont};
  int count = 0;
  for (qsizetype i = 0; i < ours.size(); ++i) {
    if (ours[i] == stored[i]) continue;
    const bool symbol = std::any_of(std::begin(kFonts), std::end(kFonts), [&](auto font) {
      return morvane::symbolCharacter(font, stored[i].unicode()) == ours[i].unicode();
    });
    if (!symbol) return false;
    ++count;
  }
  mapped += count;
  return true;
}

bool hashCompared(office::render::BlipFormat format) {
  using office::render::BlipFormat;
  return format == BlipFormat::Jpeg || format == BlipFormat::Png || format == BlipFormat::Emf;
}

}  // namespace

class PptCorpusTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (sharedDir().isEmpty() || !QDir(sharedDir() + QStringLiteral("/corpus")).exists())
      QSKIP("The reference corpus (MORVANE_SHARED_DIR/corpus) is not available");
  }

  void corpus_data() {
    QTest::addColumn<QString>("file");
    const QDir dir(sharedDir() + QStringLiteral("/corpus"));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
      QTest::newRow(qPrintable(name)) << name;
  }

  void corpus() {
    QFETCH(QString, file);
    const QJsonObject truth = readTruth(file);
    QVERIFY2(!truth.isEmpty(), "no reference reading for this file");
    auto app = office::powerpoint::createApplication();
    QString status = QStringLiteral("ok");
    std::shared_ptr<PowerPoint::Presentation> presentation;
    try {
      presentation = app->Presentations()->Open(sharedDir() + QStringLiteral("/corpus/") + file);
    } catch (const morvane::Error &e) {
      status = statusOf(e);
      qInfo("%s: %s", qPrintable(file), qPrintable(e.description()));
    }
    compareAspect(file, QStringLiteral("status"), status,
                  truth.value(QLatin1String("status")).toString());
    if (status != QLatin1String("ok") || disagreement(file, QStringLiteral("status"))) return;

    auto slides = presentation->Slides();
    const QJsonArray truthSlides = truth.value(QLatin1String("slides")).toArray();
    QCOMPARE(slides->Count(), truthSlides.size());
    for (std::int32_t i = 1; i <= slides->Count(); ++i)
      compareSlide(file, i, *slides->Item(i), truthSlides[i - 1].toObject());
  }

  void cleanupTestCase() {
    qInfo("%d pictures and charts compared; %d symbol-font characters mapped", picturesCompared_,
          symbolsMapped_);
  }

 private:
  int picturesCompared_ = 0;
  int symbolsMapped_ = 0;

  void comparePicture(const QString &file, std::int32_t slide, std::int32_t index,
                      PowerPoint::Shape &shape, const QJsonObject &truth);

  void compareAspect(const QString &file, const QString &aspect, const QString &ours,
                     const QString &reference) {
    corpussuite::compareAspect(kDisagreements, file, aspect, ours, reference);
  }

  void compareSlide(const QString &file, std::int32_t index, PowerPoint::Slide &slide,
                    const QJsonObject &truth) {
    auto shapes = slide.Shapes();
    const QString aspect = QStringLiteral("slide %1").arg(index);
    compareAspect(file, aspect, typeLine(*shapes), typeLine(truth));
    if (disagreement(file, aspect)) return;
    const QJsonArray truthShapes = truth.value(QLatin1String("shapes")).toArray();
    for (std::int32_t i = 1; i <= truthShapes.size(); ++i) {
      comparePicture(file, index, i, *shapes->Item(i), truthShapes[i - 1].toObject());
      const QString expected = expectedText(truthShapes[i - 1].toObject());
      if (expected.isNull()) continue;
      const QString ours = shapes->Item(i)->TextFrame()->TextRange()->Text();
      if (matchesWithSymbolsMapped(ours, expected, symbolsMapped_)) continue;
      compareAspect(file, QStringLiteral("slide %1 shape %2 text").arg(index).arg(i), ours,
                    expected);
    }
    // Comments follow the drawing's shapes, in their stored order.
    const QJsonArray comments = truth.value(QLatin1String("comments")).toArray();
    for (qsizetype c = 0; c < comments.size(); ++c) {
      const std::int32_t i = std::int32_t(truthShapes.size() + c + 1);
      compareAspect(file, QStringLiteral("slide %1 comment %2").arg(index).arg(c + 1),
                    shapes->Item(i)->TextFrame()->TextRange()->Text(),
                    comments[c].toObject().value(QLatin1String("text")).toString());
    }
  }
};

// The picture of each picture and chart: its format, whether it is cropped,
// and for bitmaps and EMF the very bytes the reference found.
void PptCorpusTest::comparePicture(const QString &file, std::int32_t slide, std::int32_t index,
                                   PowerPoint::Shape &shape, const QJsonObject &truth) {
  const int type = truth.value(QLatin1String("msoType")).toInt();
  const QJsonObject expected = truth.value(QLatin1String("picture")).toObject();
  if ((type != 13 && type != 3) || expected.isEmpty() ||
      expected.value(QLatin1String("dataMissing")).toBool())
    return;
  const QString aspect = QStringLiteral("slide %1 shape %2 picture").arg(slide).arg(index);
  QString ours;
  try {
    const office::render::PictureSource picture = office::ppt::pictureOf(shape);
    ours = formatName(picture.format) + (picture.crop.isNone() ? "" : " cropped");
    if (hashCompared(picture.format))
      ours += QLatin1Char(' ') +
              QString::fromLatin1(
                  QCryptographicHash::hash(picture.data, QCryptographicHash::Sha256).toHex());
  } catch (const morvane::Error &e) {
    ours = QStringLiteral("error: ") + e.description();
  }
  QString reference = expected.value(QLatin1String("format")).toString() +
                      (expected.value(QLatin1String("crop")).toBool() ? " cropped" : "");
  const QString format = expected.value(QLatin1String("format")).toString();
  if (format == QLatin1String("JPEG") || format == QLatin1String("PNG") ||
      format == QLatin1String("EMF"))
    reference += QLatin1Char(' ') + expected.value(QLatin1String("sha256")).toString();
  ++picturesCompared_;
  compareAspect(file, aspect, ours, reference);
}

MORVANE_CORPUS_TEST_GUILESS_MAIN(PptCorpusTest, "corpus")
#include "test_ppt_corpus.moc"
