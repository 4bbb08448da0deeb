#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "common/error.h"
#include "office/render/export.h"
#include "office/render/pict.h"
#include "pictbuilder.h"
#include "pictureblips.h"

using namespace office::render;

namespace {

// Fraction of pixels that are not (nearly) white.
double inkFraction(const QImage &image) {
  qint64 ink = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) < 240 || qGreen(p) < 240 || qBlue(p) < 240) ++ink;
    }
  return double(ink) / (qint64(image.width()) * image.height());
}

PictBuilder &pixMapFields(PictBuilder &b, int width, int height, int packType, int pixelType,
                          int pixelSize, int cmpCount, int cmpSize) {
  b.rect(0, 0, width, height).word(0).word(packType).longWord(0).fixed(72).fixed(72);
  return b.word(pixelType)
      .word(pixelSize)
      .word(cmpCount)
      .word(cmpSize)
      .longWord(0)
      .longWord(0)
      .longWord(0);
}

// 8 x 2, 8-bit indexed, PackBits: top row colour 1, bottom row alternating 0 and 1.
QByteArray packBitsPicture() {
  PictBuilder b(0, 0, 8, 2);
  b.word(0x98).word(0x8000 | 8);
  pixMapFields(b, 8, 2, 0, 0, 8, 1, 8);
  b.longWord(0).word(0).word(1);  // colour table: two entries
  b.word(0).word(0xFFFF).word(0xFFFF).word(0xFFFF);
  b.word(1).word(0).word(0x8000).word(0);
  b.rect(0, 0, 8, 2).rect(0, 0, 8, 2).word(0);
  b.byte(2).byte(0xF9).byte(1);  // repeat 1 eight times
  b.byte(9).byte(7);
  for (int x = 0; x < 8; ++x) b.byte(x % 2);
  return b.end();
}

// 8 x 1, 32-bit direct, planes packed separately: red 255, green 0, blue 0..210.
QByteArray directBitsPicture() {
  PictBuilder b(0, 0, 8, 1);
  b.word(0x9A).longWord(0xFF).word(0x8000 | 32);
  pixMapFields(b, 8, 1, 4, 16, 32, 3, 8);
  b.rect(0, 0, 8, 1).rect(0, 0, 8, 1).word(0);
  b.byte(13).byte(0xF9).byte(255).byte(0xF9).byte(0).byte(7);
  for (int x = 0; x < 8; ++x) b.byte(x * 30);
  return b.end();
}

}  // namespace

class PictTest : public QObject {
  Q_OBJECT

 private slots:
  void detectsHeaderWithAndWithoutPreamble() {
    PictBuilder plain(0, 0, 100, 50);
    QVERIFY(looksLikePict(plain.end()));
    QVERIFY(looksLikePict(PictBuilder(0, 0, 100, 50).withPreamble()));
    QVERIFY(!looksLikePict(QByteArray(600, '\0')));
    QVERIFY(!looksLikePict(QByteArray("\x01\x00\x09\x00", 4)));
  }

  void naturalSize() {
    QCOMPARE(pictNaturalSizeInches(PictBuilder(0, 0, 144, 72).end()), QSizeF(2, 1));
    // Extended header: coordinates at 144 dpi.
    QCOMPARE(pictNaturalSizeInches(PictBuilder(10, -20, 298, 124, true, 144).end()), QSizeF(2, 1));
  }

  void drawsShapesInFrameCoordinates() {
    // Frame with a non-zero origin, drawn at twice its size.
    PictBuilder b(100, 200, 200, 300);
    b.rgbFore(255, 0, 0).paintRect(100, 200, 150, 250);        // red top-left quarter
    b.rgbFore(0, 0, 255).word(0x51).rect(150, 250, 200, 300);  // blue oval, bottom right
    b.rgbFore(0, 128, 0).word(0x07).word(4).word(4);           // pen 4 x 4
    b.word(0x20).word(210).word(150).word(210).word(200);      // line across the right top
    b.word(0x71).word(10 + 3 * 4).rect(100, 260, 140, 300);    // green triangle, bottom left
    b.word(260).word(100).word(300).word(100).word(300).word(140);
    const QImage image = renderPict(b.withPreamble(), QSize(200, 200));
    QCOMPARE(image.size(), QSize(200, 200));
    QCOMPARE(QColor(image.pixel(40, 40)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(150, 150)), QColor(Qt::blue));
    QCOMPARE(QColor(image.pixel(104, 104)), QColor(Qt::white));  // just outside the oval's corner
    QCOMPARE(QColor(image.pixel(150, 24)), QColor(0, 128, 0));
    QCOMPARE(QColor(image.pixel(10, 190)), QColor(0, 128, 0));
  }

  void regionsAndClipping() {
    // An L-shaped region: rows 0-4 cover x 0-10, rows 5-9 cover x 0-5.
    auto lShape = [](PictBuilder &b) {
      b.word(10 + 3 * 8 + 2).rect(0, 0, 10, 10);
      b.word(0).word(0).word(10).word(0x7FFF);
      b.word(5).word(5).word(10).word(0x7FFF);
      b.word(10).word(0).word(5).word(0x7FFF);
      b.word(0x7FFF);
    };
    PictBuilder painted(0, 0, 10, 10);
    painted.rgbFore(255, 0, 0).word(0x81);
    lShape(painted);
    QImage image = renderPict(painted.end(), QSize(10, 10));
    QCOMPARE(QColor(image.pixel(8, 2)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(2, 8)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(8, 8)), QColor(Qt::white));

    PictBuilder clipped(0, 0, 10, 10);
    clipped.word(0x01);
    lShape(clipped);
    clipped.rgbFore(0, 0, 255).paintRect(0, 0, 10, 10);
    image = renderPict(clipped.end(), QSize(10, 10));
    QCOMPARE(QColor(image.pixel(8, 2)), QColor(Qt::blue));
    QCOMPARE(QColor(image.pixel(8, 8)), QColor(Qt::white));
  }

  // QuickDraw draws nothing while the clip region is empty: what follows an
  // empty clip stays hidden until another clip is set.
  void emptyClipHidesDrawingUntilTheClipChanges() {
    PictBuilder b(0, 0, 10, 10);
    b.rgbFore(255, 0, 0).paintRect(0, 0, 5, 10);
    b.word(0x01).word(10).rect(0, 0, 0, 0);
    b.rgbFore(0, 0, 255).paintRect(0, 0, 10, 10);
    b.word(0x28).word(8).word(1).byte(1).raw("X").align();
    b.word(0x20).word(0).word(0).word(9).word(9);
    b.word(0x01).word(10).rect(5, 0, 10, 5);
    b.rgbFore(0, 255, 0).paintRect(0, 0, 10, 10);
    PictRenderStats stats;
    const QImage image = renderPict(b.end(), QSize(10, 10), &stats, {QRect(), Qt::black});
    QCOMPARE(stats.drawn, 2);
    QCOMPARE(QColor(image.pixel(2, 8)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(7, 2)), QColor(Qt::green));
    QCOMPARE(QColor(image.pixel(7, 8)), QColor(Qt::black));
  }

  // The region forms of the bitmap opcodes clip the copy to their mask.
  void maskRegionClipsTheBitmap() {
    PictBuilder b(0, 0, 8, 2);
    b.word(0x91).word(2).rect(0, 0, 8, 2);  // BitsRgn, 1 bit, rows of 2 bytes
    b.rect(0, 0, 8, 2).rect(0, 0, 8, 2).word(0);
    b.word(10).rect(0, 0, 4, 2);  // mask: the left half
    b.word(0xFFFF).word(0xFFFF);  // every pixel set (foreground black)
    const QImage image = renderPict(b.end(), QSize(8, 2));
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(6, 1)), QColor(Qt::white));
  }

  void drawsText() {
    PictBuilder b(0, 0, 200, 50);
    b.word(0x0D).word(30).word(0x28).word(40).word(10).byte(5).raw("Hello").align();
    const QImage image = renderPict(b.end(), QSize(200, 50));
    double leftInk = 0, rightInk = 0;
    for (int y = 10; y < 45; ++y)
      for (int x = 0; x < 200; ++x)
        (x < 100 ? leftInk : rightInk) += qGray(image.pixel(x, y)) < 128;
    QVERIFY(leftInk > 50);
    QCOMPARE(rightInk, 0.0);
  }

  void skipsReservedOpcodesByTheirLengths() {
    PictBuilder b(0, 0, 10, 10);
    b.word(0x0024).word(3).byte(1).byte(2).byte(3).align();  // length word
    b.word(0x00D0).longWord(5).raw("abcde").align();         // long length
    b.word(0x0300).raw(QByteArray(6, '\x31'));               // (op >> 8) * 2 bytes
    b.word(0x8123).longWord(2).word(0xFFFF);                 // long length
    b.word(0x00A1).word(100).word(4).longWord(0);            // long comment
    b.word(0x00B5);                                          // no data
    b.rgbFore(255, 0, 0).paintRect(0, 0, 10, 10);
    const QImage image = renderPict(b.end(), QSize(10, 10));
    QCOMPARE(QColor(image.pixel(5, 5)), QColor(Qt::red));
  }

  void packBitsRect() {
    const QImage image = renderPict(packBitsPicture(), QSize(8, 2));
    for (int x = 0; x < 8; ++x) {
      QCOMPARE(QColor(image.pixel(x, 0)), QColor(0, 128, 0));
      QCOMPARE(QColor(image.pixel(x, 1)), x % 2 ? QColor(0, 128, 0) : QColor(Qt::white));
    }
  }

  void oneBitBitsRect() {
    // Unpacked 1-bit bitmap (rows shorter than 8 bytes are never packed),
    // drawn over a red background in "or" mode: clear bits stay red.
    PictBuilder b(0, 0, 8, 2);
    b.rgbFore(255, 0, 0).paintRect(0, 0, 8, 2).rgbFore(0, 0, 0);
    b.word(0x90).word(2).rect(0, 0, 8, 2).rect(0, 0, 8, 2).rect(0, 0, 8, 2).word(1);
    b.byte(0xF0).byte(0).byte(0x0F).byte(0);
    const QImage image = renderPict(b.end(), QSize(8, 2));
    for (int x = 0; x < 8; ++x) {
      QCOMPARE(QColor(image.pixel(x, 0)), x < 4 ? QColor(Qt::black) : QColor(Qt::red));
      QCOMPARE(QColor(image.pixel(x, 1)), x < 4 ? QColor(Qt::red) : QColor(Qt::black));
    }
  }

  void versionOnePicture() {
    // One-byte opcodes: FgColor red, PaintRect, EndPic.
    const QByteArray v1(
        "\x00\x00\x00\x00\x00\x00\x00\x0A\x00\x14\x11\x01"
        "\x0E\x00\x00\x00\xCD\x31\x00\x00\x00\x00\x00\x0A\x00\x0A\xFF",
        27);
    QVERIFY(looksLikePict(v1));
    QCOMPARE(pictNaturalSizeInches(v1), QSizeF(20 / 72.0, 10 / 72.0));
    const QImage image = renderPict(v1, QSize(20, 10));
    QCOMPARE(QColor(image.pixel(5, 5)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(15, 5)), QColor(Qt::white));
  }

  void directBitsRect() {
    const QImage image = renderPict(directBitsPicture(), QSize(8, 1));
    for (int x = 0; x < 8; ++x) QCOMPARE(QColor(image.pixel(x, 0)), QColor(255, 0, x * 30));
  }

  void quickTimeJpeg() {
    QImage photo(16, 8, QImage::Format_RGB32);
    photo.fill(QColor(0, 0, 255));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(photo.save(&buffer, "jpg"));
    const QByteArray jpeg = buffer.data();
    PictBuilder b(0, 0, 32, 16);
    b.word(0x8200).longWord(70 + 86 + quint32(jpeg.size())).word(0);
    // Matrix: scale by 2, then identity rows in 16.16 and 2.30 fixed point.
    for (quint32 v : {0x20000u, 0u, 0u, 0u, 0x20000u, 0u, 0u, 0u, 0x40000000u}) b.longWord(v);
    b.longWord(0).rect(0, 0, 0, 0).word(0).rect(0, 0, 16, 8).longWord(0).longWord(0);
    b.longWord(86).raw("jpeg").raw(QByteArray(36, '\0')).longWord(quint32(jpeg.size()));
    b.raw(QByteArray(86 - 48, '\0')).raw(jpeg).align();
    const QImage image = renderPict(b.end(), QSize(32, 16));
    QVERIFY(qBlue(image.pixel(24, 12)) > 200 && qRed(image.pixel(24, 12)) < 40);
  }

  void damageThrows_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("not a picture") << QByteArray(40, 'x');
    QTest::newRow("packbits cut") << packBitsPicture().left(packBitsPicture().size() - 8);
    QByteArray hugeBounds = packBitsPicture();
    hugeBounds[50] = '\x7F';  // high byte of the bounds' right edge
    QTest::newRow("huge bitmap") << hugeBounds;
    QByteArray badColors = packBitsPicture();
    badColors[94] = '\x40';  // high byte of the colour table size
    QTest::newRow("colour table") << badColors;
    QTest::newRow("region length") << PictBuilder(0, 0, 10, 10).word(0x81).word(4).end();
    QTest::newRow("long length")
        << PictBuilder(0, 0, 10, 10).word(0x8200).longWord(0x7FFFFFFF).end();
  }

  // Damage before anything is drawn: the player says why and draws nothing
  // (or, without a header, throws), and the export writes no file.
  void damageThrows() {
    QFETCH(QByteArray, data);
    try {
      PictRenderStats stats;
      renderPict(data, QSize(20, 20), &stats);
      QVERIFY(!stats.damage.isEmpty());
      QCOMPARE(stats.drawn, 0);
    } catch (const morvane::PictureError &) {
    }
    QTemporaryDir dir;
    PictureSource picture;
    picture.format = BlipFormat::Pict;
    picture.data = data;
    QVERIFY_THROWS_EXCEPTION(morvane::PictureError, exportJpeg(picture, dir.filePath("p.jpg")));
    QVERIFY(!QFile::exists(dir.filePath("p.jpg")));
  }

  void corpusPicturesRender_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("sizeEmu");
    const QByteArray shared = qgetenv("MORVANE_SHARED_DIR");
    if (shared.isEmpty() || !QDir(QString::fromLocal8Bit(shared) + "/corpus").exists()) {
      QTest::newRow("corpus absent") << QByteArray() << QSize();
      return;
    }
    for (const char *name : {"bug60345_Jankovic_final_Retreat_2002.ppt", "pictures.ppt"}) {
      const QString path = QString::fromLocal8Bit(shared) + "/corpus/" + name;
      int index = 0;
      for (const StoredMetafile &m : readStoredMetafiles(path)) {
        if (m.recordType != 0xF01C) continue;
        QTest::addRow("%s #%d", name, ++index) << m.data << m.sizeEmu;
      }
      if (index == 0) QTest::addRow("%s: no PICT found", name) << QByteArray("none") << QSize();
    }
  }

  void corpusPicturesRender() {
    QFETCH(QByteArray, data);
    QFETCH(QSize, sizeEmu);
    if (data.isEmpty()) QSKIP("reference corpus not found (MORVANE_SHARED_DIR)");
    if (data == "none") QFAIL("the presentation's PICT pictures could not be read");
    PictureSource picture;
    picture.format = BlipFormat::Wmf;  // as PowerPoint files them for Windows
    picture.data = data;
    picture.shapeSizeInches = QSizeF(sizeEmu) / 914400.0;
    const QSize pixels(qRound(picture.shapeSizeInches.width() * kMetafileDpi),
                       qRound(picture.shapeSizeInches.height() * kMetafileDpi));
    QElapsedTimer timer;
    timer.start();
    PictRenderStats stats;
    const QImage image = renderPict(data, pixels, &stats);
    const qint64 ms = timer.elapsed();
    QCOMPARE(image.size(), pixels);
    QVERIFY2(stats.damage.isEmpty() && !stats.stoppedEarly, qPrintable(stats.damage));
    const double ink = inkFraction(image);
    QVERIFY2(ink > 0.01, qPrintable(QString("only %1 of the pixels drawn").arg(ink)));
    const QString dump = qEnvironmentVariable("MORVANE_RENDER_DUMP");
    if (!dump.isEmpty()) {
      const QString file =
          dump + "/" + QString(QTest::currentDataTag()).replace(' ', '_').remove('#') + ".png";
      image.save(file);
      qInfo("%s: %lld ms, ink %.2f", qPrintable(file), ms, ink);
    }
  }
};

QTEST_MAIN(PictTest)
#include "test_render_pict.moc"
