// Replays the inputs the fuzzers found. Each must either export or fail with
// morvane::Error, never crash; PICT pictures must stay within their work
// budget, and the inputs that once hung must still reach the PICT or the
// metafile player.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "common/error.h"
#include "office/ppt/application.h"
#include "office/render/export.h"
#include "office/render/metafile/metafile.h"
#include "office/render/pict.h"
#include "office/render/raster.h"

using office::render::BlipFormat;
using office::render::PictRenderStats;

namespace {

QByteArray readAll(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
  return file.readAll();
}

QStringList inputsIn(const QString &folder) {
  QStringList paths;
  const QDir dir(QStringLiteral(FUZZFOUND_DIR "/") + folder);
  for (const QFileInfo &info : dir.entryInfoList(QDir::Files, QDir::Name))
    paths << info.absoluteFilePath();
  return paths;
}

// True when the input is named for a hang or a slow unit: it must hold a
// PICT picture.
bool isHang(const QString &path) {
  const QString name = QFileInfo(path).fileName();
  return name.startsWith(QLatin1String("timeout-")) || name.startsWith(QLatin1String("slow-"));
}

// The pixel size export draws a PICT at: the shape's size, else the
// picture's own, at the metafile resolution.
QSize pictPixelSize(const office::render::PictureSource &picture) {
  QSizeF inches = picture.shapeSizeInches;
  if (!(inches.width() > 0 && inches.height() > 0))
    inches = office::render::pictNaturalSizeInches(picture.data);
  const double dpi = office::render::kMetafileDpi;
  const double limit = office::render::kMaxPixelEdge;
  return office::render::clampPixelSize(
      QSize(int(std::clamp(std::round(inches.width() * dpi), 1.0, limit)),
            int(std::clamp(std::round(inches.height() * dpi), 1.0, limit))));
}

struct Replay {
  int exported = 0;
  int failed = 0;
  int pictsChecked = 0;
  int metafilesRendered = 0;
};

// True when the input once hung the Windows metafile player.
bool isMetafileHang(const QString &path) {
  return QFileInfo(path).fileName().startsWith(QLatin1String("metafile-hang-"));
}

// Renders an EMF/WMF picture at the shape's size, as the export does.
void checkMetafileBudget(const office::render::PictureSource &picture, Replay &replay) {
  if (picture.format != BlipFormat::Emf && picture.format != BlipFormat::Wmf) return;
  if (office::render::looksLikePict(picture.data)) return;
  const double dpi = office::render::kMetafileDpi;
  const QSize size(int(std::clamp(picture.shapeSizeInches.width() * dpi, 1.0, 4000.0)),
                   int(std::clamp(picture.shapeSizeInches.height() * dpi, 1.0, 4000.0)));
  try {
    office::render::renderMetafile(picture, size);
    ++replay.metafilesRendered;
  } catch (const morvane::Error &) {
  }
}

// Renders a PICT picture directly and checks the work stayed within budget.
void checkPictBudget(const office::render::PictureSource &picture, Replay &replay) {
  if (!office::render::looksLikePict(picture.data)) return;
  PictRenderStats stats;
  try {
    office::render::renderPict(picture.data, pictPixelSize(picture), &stats);
  } catch (const morvane::Error &) {
  }
  if (qEnvironmentVariableIsSet("FUZZFOUND_VERBOSE"))
    qInfo() << "PICT" << pictPixelSize(picture) << "work" << stats.work << "of" << stats.workLimit
            << "opcodes" << stats.opcodes << (stats.stoppedEarly ? "stopped early" : "");
  QVERIFY(stats.work <= stats.workLimit);
  ++replay.pictsChecked;
}

void exportShape(PowerPoint::Shape &shape, const QString &folder, Replay &replay) {
  const std::int32_t type = shape.Type();
  try {
    shape.TextFrame()->TextRange()->Text();
  } catch (const morvane::Error &) {
  }
  if (type != PowerPoint::msoPicture && type != PowerPoint::msoChart) return;
  try {
    if (type == PowerPoint::msoPicture) {
      checkPictBudget(office::ppt::pictureOf(shape), replay);
      checkMetafileBudget(office::ppt::pictureOf(shape), replay);
      shape.Export(folder + QStringLiteral("/Img.Jpg"), PowerPoint::ppShapeFormatJPG);
    } else {
      shape.Export(folder + QStringLiteral("/Graph.Bmp"), PowerPoint::ppShapeFormatBMP);
    }
    ++replay.exported;
  } catch (const morvane::Error &) {
    ++replay.failed;
  }
}

Replay replayPresentation(const QByteArray &bytes, const QString &folder) {
  Replay replay;
  try {
    auto presentation = office::ppt::openPresentation(bytes);
    auto slides = presentation->Slides();
    for (std::int32_t i = 1; i <= slides->Count(); ++i) {
      auto shapes = slides->Item(i)->Shapes();
      for (std::int32_t j = 1; j <= shapes->Count(); ++j)
        exportShape(*shapes->Item(j), folder, replay);
    }
  } catch (const morvane::Error &) {
    ++replay.failed;
  }
  return replay;
}

BlipFormat formatForSuffix(const QString &suffix) {
  if (suffix == QLatin1String("pict")) return BlipFormat::Pict;
  if (suffix == QLatin1String("png")) return BlipFormat::Png;
  if (suffix == QLatin1String("jpg")) return BlipFormat::Jpeg;
  if (suffix == QLatin1String("dib")) return BlipFormat::Dib;
  if (suffix == QLatin1String("tif")) return BlipFormat::Tiff;
  return BlipFormat::Unknown;
}

}  // namespace

class TestFuzzFound : public QObject {
  Q_OBJECT

 private slots:
  void presentations_data() {
    QTest::addColumn<QString>("path");
    for (const QString &path : inputsIn(QStringLiteral("ppt")))
      QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
  }

  // Whole files through the reader and export: no crash, and the hangs cut short.
  void presentations() {
    QFETCH(QString, path);
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const Replay replay = replayPresentation(readAll(path), out.path());
    if (QTest::currentTestFailed()) return;
    if (isHang(path)) QVERIFY(replay.pictsChecked > 0);
    if (isMetafileHang(path)) QVERIFY(replay.metafilesRendered > 0);
  }

  void pictures_data() {
    QTest::addColumn<QString>("path");
    for (const QString &path : inputsIn(QStringLiteral("picture")))
      QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
    if (inputsIn(QStringLiteral("picture")).isEmpty()) QTest::newRow("none") << QString();
  }

  // Single pictures through both encoders, with and without a shape size.
  void pictures() {
    QFETCH(QString, path);
    if (path.isEmpty()) QSKIP("no single-picture inputs");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    office::render::PictureSource picture;
    picture.format = formatForSuffix(QFileInfo(path).suffix());
    QVERIFY(picture.format != BlipFormat::Unknown);
    picture.data = readAll(path);
    Replay replay;
    for (const QSizeF shape : {QSizeF(), QSizeF(4, 3)}) {
      picture.shapeSizeInches = shape;
      checkPictBudget(picture, replay);
      try {
        office::render::exportJpeg(picture, out.filePath(QStringLiteral("p.jpg")));
        office::render::exportBmp(picture, out.filePath(QStringLiteral("p.bmp")));
      } catch (const morvane::Error &) {
      }
    }
    if (isHang(path)) QVERIFY(replay.pictsChecked > 0);
  }

  // The budget itself: a picture that fills its whole frame over and over
  // stops at its limit, and an ordinary one is drawn to the end.
  void budgetStopsRepeatedFills() {
    const QSize size(200, 100);
    QByteArray pict = pictWithFrame(size);
    pict += QByteArray::fromHex("0031") + rectBytes(size);  // paintRect once, then paintSameRect
    for (int i = 0; i < 5000; ++i) pict += QByteArray::fromHex("0039");
    pict += QByteArray::fromHex("00FF");
    PictRenderStats stats;
    const QImage image = office::render::renderPict(pict, size * 8, &stats);
    QVERIFY(stats.stoppedEarly);
    QVERIFY(stats.work <= stats.workLimit);
    QVERIFY(stats.opcodes < 5000);
    QCOMPARE(image.pixelColor(400, 400), QColor(Qt::black));  // what was drawn is kept

    QByteArray small = pictWithFrame(size);
    small += QByteArray::fromHex("0031") + rectBytes(size);
    for (int i = 0; i < 20; ++i) small += QByteArray::fromHex("0039");
    small += QByteArray::fromHex("00FF");
    office::render::renderPict(small, size * 8, &stats);
    QVERIFY(!stats.stoppedEarly);
    QCOMPARE(stats.opcodes, 21);
  }

  // A bitmap claiming far more pixels than its bytes could unpack to is
  // refused before its image is allocated.
  void bitmapLargerThanItsDataIsRefused() {
    const QSize frame(100, 100);
    QByteArray pict = pictWithFrame(frame);
    pict += QByteArray::fromHex("0098BFFF") + rectBytes(QSize(16384, 4096));
    pict += QByteArray::fromHex("0000000000000000004800000048000000000008000100080000000000000000");
    pict += QByteArray::fromHex("00000000");              // pmReserved
    pict += QByteArray::fromHex("00000000000000010000");  // colour table: 2 entries
    pict += QByteArray(16, '\0');
    pict += rectBytes(QSize(16384, 4096)) + rectBytes(frame) + QByteArray::fromHex("0000");
    pict += QByteArray(2 * 4096, '\0');  // a zero byte count for every row
    PictRenderStats stats;
    office::render::renderPict(pict, frame, &stats);
    QVERIFY(stats.damage.contains(QLatin1String("16384 x 4096")));
    QCOMPARE(stats.drawn, 0);
  }

  // A polygon of thousands of edges that each cross the whole picture,
  // filled again and again with the two-byte "same polygon" opcode.
  void budgetStopsRepeatedZigzagPolygons() {
    const QSize size(4096, 4096);
    QByteArray polygon = rectBytes(size);
    for (int i = 0; i < 8000; ++i) polygon += pointBytes(i % 2 ? size.height() : 0, i / 2);
    QByteArray pict = pictWithFrame(size);
    pict += QByteArray::fromHex("0074") + bigEndian16(int(polygon.size() + 2)) + polygon;
    for (int i = 0; i < 2000; ++i) pict += QByteArray::fromHex("0079");
    pict += QByteArray::fromHex("00FF");
    PictRenderStats stats;
    office::render::renderPict(pict, size, &stats);
    QVERIFY(stats.stoppedEarly);
    QVERIFY(stats.work <= stats.workLimit);
    QVERIFY(stats.opcodes < 2000);
  }

 private:
  static QByteArray bigEndian16(int v) {
    QByteArray out;
    out += char(v >> 8);
    out += char(v & 0xFF);
    return out;
  }

  static QByteArray pointBytes(int v, int h) { return bigEndian16(v) + bigEndian16(h); }

  static QByteArray rectBytes(QSize size) {
    QByteArray out;
    for (int v : {0, 0, size.height(), size.width()}) {
      out += char(v >> 8);
      out += char(v & 0xFF);
    }
    return out;
  }

  // A version 2 header (picSize, frame, version opcode, header opcode and 24 bytes).
  static QByteArray pictWithFrame(QSize size) {
    QByteArray out = QByteArray::fromHex("0000") + rectBytes(size);
    out += QByteArray::fromHex("001102FF0C00FFFF");
    out += QByteArray(22, '\0');
    return out;
  }
};

QTEST_MAIN(TestFuzzFound)
#include "test_fuzzfound.moc"
