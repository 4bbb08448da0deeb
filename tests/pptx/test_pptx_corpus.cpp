// Walks every file of the PowerPoint 2007+ reference corpus through the
// object model and compares what it finds with the reference readings in
// corpus-pptx-truth: status, shape types per slide, texts and comments, each
// picture's format, crop and bytes, the pictures and charts the export
// writes (JPEG bytes identical), and a clear message for each picture whose
// part is missing.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "common/error.h"
#include "corpussuite.h"
#include "corpustruth.h"
#include "disagreements.h"
#include "office/powerpoint/application.h"

namespace {

using testpptx::readTruth;
using testpptx::sharedDir;

// Where our reading differs from the reference after checking the XML.
using corpussuite::Disagreement;

const Disagreement kDisagreements[] = {
    {"", "", "", ""},  // none: every file of the corpus agrees (a row that matches no file)
};

const Disagreement *disagreement(const QString &file, const QString &aspect) {
  return corpussuite::findDisagreement(kDisagreements, file, aspect);
}

QString sha256(const QByteArray &bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString typeLine(const QJsonObject &slide) {
  QStringList types;
  for (const QJsonValue &shape : slide.value(QLatin1String("shapes")).toArray())
    types << QString::number(shape.toObject().value(QLatin1String("msoType")).toInt());
  return types.join(QLatin1Char(' '));
}

QString typeLine(PowerPoint::Shapes &shapes) {
  QStringList types;
  for (std::int32_t i = 1; i <= shapes.Count(); ++i)
    types << QString::number(shapes.Item(i)->Type());
  return types.join(QLatin1Char(' '));
}

// Paragraph and line breaks as the reference writes them (LF), for both.
QString normalized(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QLatin1Char('\v'), QLatin1Char('\n'));
  return text;
}

}  // namespace

class PptxCorpusTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!testpptx::corpusAvailable())
      QSKIP("The reference corpus (MORVANE_SHARED_DIR/corpus-pptx) is not available");
    QVERIFY(out_.isValid());
  }

  void corpus_data() { testpptx::addCorpusRows(); }

  void corpus() {
    QFETCH(QString, file);
    const QJsonObject truth = readTruth(file);
    QVERIFY2(!truth.isEmpty(), "no reference reading for this file");
    auto app = office::powerpoint::createApplication();
    QString status = QStringLiteral("ok");
    std::shared_ptr<PowerPoint::Presentation> presentation;
    try {
      presentation =
          app->Presentations()->Open(sharedDir() + QStringLiteral("/corpus-pptx/") + file);
    } catch (const morvane::Error &e) {
      status = QStringLiteral("error");
      qInfo("%s: %s", qPrintable(file), qPrintable(e.description()));
    }
    compareAspect(file, QStringLiteral("status"), status,
                  truth.value(QLatin1String("status")).toString());
    if (status != QLatin1String("ok")) return;

    auto slides = presentation->Slides();
    const QJsonArray truthSlides = truth.value(QLatin1String("slides")).toArray();
    QCOMPARE(slides->Count(), truthSlides.size());
    try {
      for (std::int32_t i = 1; i <= slides->Count(); ++i) {
        compareSlide(file, i, *slides->Item(i), truthSlides[i - 1].toObject());
        if (QTest::currentTestFailed()) return;
      }
    } catch (const morvane::Error &e) {
      QFAIL(qPrintable(file + QStringLiteral(": ") + e.description()));
    }
  }

  void cleanupTestCase() {
    qInfo("%d texts, %d pictures, %d JPEG exports, %d charts and %d missing pictures compared",
          texts_, pictures_, jpegs_, charts_, missing_);
  }

 private:
  QTemporaryDir out_;
  int pictures_ = 0, jpegs_ = 0, charts_ = 0, missing_ = 0, texts_ = 0;

  void compareAspect(const QString &file, const QString &aspect, const QString &ours,
                     const QString &reference) {
    corpussuite::compareAspect(kDisagreements, file, aspect, ours, reference);
  }

  void compareSlide(const QString &file, std::int32_t index, PowerPoint::Slide &slide,
                    const QJsonObject &truth) {
    auto shapes = slide.Shapes();
    const QString aspect = QStringLiteral("slide %1").arg(index);
    compareAspect(file, aspect, typeLine(*shapes), typeLine(truth));
    if (disagreement(file, aspect) || QTest::currentTestFailed()) return;
    const QJsonArray truthShapes = truth.value(QLatin1String("shapes")).toArray();
    for (std::int32_t i = 1; i <= truthShapes.size(); ++i) {
      const QJsonObject shapeTruth = truthShapes[i - 1].toObject();
      auto shape = shapes->Item(i);
      const QString where = QStringLiteral("slide %1 shape %2").arg(index).arg(i);
      compareText(file, where, *shape, shapeTruth);
      comparePicture(file, where, *shape, shapeTruth);
      compareChart(file, where, *shape, shapeTruth);
      if (QTest::currentTestFailed()) return;
    }
  }

  void compareText(const QString &file, const QString &where, PowerPoint::Shape &shape,
                   const QJsonObject &truth) {
    if (!truth.contains(QLatin1String("text")) || truth.value(QLatin1String("text")).isNull())
      return;
    QCOMPARE(shape.HasTextFrame(), PowerPoint::msoTrue);
    ++texts_;
    compareAspect(file, where + QStringLiteral(" text"),
                  normalized(shape.TextFrame()->TextRange()->Text()),
                  normalized(truth.value(QLatin1String("text")).toString()));
  }

  // Pictures: the stored format, crop and bytes; the exported JPEG bytes;
  // a clear message where the part is missing.
  void comparePicture(const QString &file, const QString &where, PowerPoint::Shape &shape,
                      const QJsonObject &truth) {
    const QJsonObject expected = truth.value(QLatin1String("picture")).toObject();
    if (truth.value(QLatin1String("msoType")).toInt() != PowerPoint::msoPicture) return;
    const QString path = out_.filePath(QStringLiteral("Img.Jpg"));
    QFile::remove(path);
    if (expected.value(QLatin1String("dataMissing")).toBool()) {
      ++missing_;
      QVERIFY_THROWS_EXCEPTION(morvane::PictureError,
                               shape.Export(path, PowerPoint::ppShapeFormatJPG));
      try {
        shape.Picture();
        QFAIL(qPrintable(where + QStringLiteral(": a missing picture was described")));
      } catch (const morvane::PictureError &e) {
        QVERIFY2(!e.description().isEmpty(), qPrintable(where));
      }
      return;
    }
    ++pictures_;
    const PowerPoint::StoredPicture stored = shape.Picture();
    const bool cropped = stored.cropLeft != 0 || stored.cropTop != 0 || stored.cropRight != 0 ||
                         stored.cropBottom != 0;
    const QString ours =
        stored.format + (cropped ? " cropped " : " ") + sha256(shape.OriginalPicture());
    const QString reference = expected.value(QLatin1String("format")).toString() +
                              (expected.value(QLatin1String("crop")).toBool() ? " cropped " : " ") +
                              expected.value(QLatin1String("sha256")).toString();
    compareAspect(file, where + QStringLiteral(" picture"), ours, reference);
    if (expected.contains(QLatin1String("pixelWidth")))
      QCOMPARE(stored.pixelSize, QSize(expected.value(QLatin1String("pixelWidth")).toInt(),
                                       expected.value(QLatin1String("pixelHeight")).toInt()));
    shape.Export(path, PowerPoint::ppShapeFormatJPG);
    QFile written(path);
    QVERIFY2(written.open(QIODevice::ReadOnly), qPrintable(where));
    const QByteArray bytes = written.readAll();
    QVERIFY(!QImage::fromData(bytes, "jpeg").isNull());
    if (stored.format == QLatin1String("JPEG") && !cropped) {
      ++jpegs_;
      compareAspect(file, where + QStringLiteral(" JPEG bytes"), sha256(bytes),
                    expected.value(QLatin1String("sha256")).toString());
    }
  }

  // Charts and chart objects: a picture is written, without a warning for
  // the plot types that are drawn.
  void compareChart(const QString &file, const QString &where, PowerPoint::Shape &shape,
                    const QJsonObject &truth) {
    if (truth.value(QLatin1String("msoType")).toInt() != PowerPoint::msoChart) return;
    ++charts_;
    const QString path = out_.filePath(QStringLiteral("Graph.Bmp"));
    QFile::remove(path);
    shape.Export(path, PowerPoint::ppShapeFormatBMP);
    const QImage image(path, "bmp");
    QVERIFY2(!image.isNull(), qPrintable(file + QLatin1Char(' ') + where));
    // A chart part is described as the chart it is, at the size it is drawn.
    if (truth.contains(QLatin1String("chart"))) {
      const PowerPoint::StoredPicture stored = shape.Picture();
      QCOMPARE(stored.format, QStringLiteral("CHART"));
      QCOMPARE(stored.pixelSize, image.size());
      QVERIFY(shape.OriginalPicture().contains("chartSpace"));
    }
    compareAspect(file, where + QStringLiteral(" chart warning"), shape.ExportWarning(), QString());
  }
};

MORVANE_CORPUS_TEST_MAIN(PptxCorpusTest, "corpus-pptx")
#include "test_pptx_corpus.moc"
