// Metafile rendering on hand-built EMF and WMF files: mapping, objects,
// state, text, bitmaps, and damaged input.

#include <QRandomGenerator>
#include <QtTest>

#include "common/error.h"
#include "metafile_builder.h"
#include "office/render/metafile/metafile.h"

using namespace metafile_test;
using office::render::BlipFormat;
using office::render::PictureSource;

namespace {

enum Emr : quint32 {
  SetWindowExtEx = 9,
  SetViewportExtEx = 11,
  SetMapMode = 17,
  SetBkMode = 18,
  SetTextAlign = 22,
  SaveDc = 33,
  RestoreDc = 34,
  SetWorldTransform = 35,
  SelectObject = 37,
  CreatePen = 38,
  CreateBrush = 39,
  DeleteObject = 40,
  Rectangle = 43,
  IntersectClipRect = 30,
  StretchDiBits = 81,
  CreateFont = 82,
  ExtTextOutW = 84,
  Polygon16 = 86
};
enum Meta : quint16 {
  MetaSetWindowOrg = 0x020B,
  MetaSetWindowExt = 0x020C,
  MetaSelectObject = 0x012D,
  MetaDeleteObject = 0x01F0,
  MetaCreatePen = 0x02FA,
  MetaCreateBrush = 0x02FC,
  MetaCreateFont = 0x02FB,
  MetaRectangle = 0x041B,
  MetaTextOut = 0x0521,
  MetaPolygon = 0x0324
};
constexpr quint32 kBlackBrush = 0x80000004, kNullPen = 0x80000008;
constexpr QSize kImage(100, 100);

PictureSource emf(const QByteArray &data) {
  PictureSource p;
  p.format = BlipFormat::Emf;
  p.data = data;
  return p;
}

PictureSource wmf(const QByteArray &data, QRect bounds = QRect(0, 0, 1000, 1000)) {
  PictureSource p;
  p.format = BlipFormat::Wmf;
  p.data = data;
  p.metafileBounds = bounds;
  p.metafileSizeEmu = QSize(914400, 914400);
  return p;
}

QImage render(const PictureSource &p) { return office::render::renderMetafile(p, kImage); }

bool near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
         std::abs(a.blue() - b.blue()) < 40;
}

int inkPixels(const QImage &image, QRect area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) != QColor(Qt::white)) ++count;
  return count;
}

// EMF: a solid brush at object index 1, selected, with the null pen.
void selectSolidBrush(EmfBuilder &b, quint32 index, quint32 color) {
  b.record(CreateBrush, LeBytes().u32(index).u32(0).u32(color).u32(0));
  b.record(SelectObject, LeBytes().u32(index));
  b.record(SelectObject, LeBytes().u32(kNullPen));
}

// Logical units 0..100 cover the whole 400-pixel device.
void anisotropic100(EmfBuilder &b) {
  b.record(SetMapMode, LeBytes().u32(8));
  b.record(SetWindowExtEx, LeBytes().i32s({100, 100}));
  b.record(SetViewportExtEx, LeBytes().i32s({400, 400}));
}

LeBytes textRecord(QPoint at, const QString &text) {
  LeBytes t;
  t.i32s({0, 0, 0, 0}).u32(1).f32(0).f32(0).i32s({at.x(), at.y()});
  quint32 offString = 76;
  quint32 stringBytes = quint32(text.size() * 2 + 3) / 4 * 4;
  t.u32(quint32(text.size())).u32(offString).u32(0).i32s({0, 0, 0, 0}).u32(offString + stringBytes);
  QByteArray s = LeBytes().utf16(text).data;
  s.resize(stringBytes, '\0');
  t.bytes(s);
  for (qsizetype i = 0; i < text.size(); ++i) t.i32(8);
  return t;
}

LeBytes fontRecord(quint32 index, qint32 height) {
  LeBytes f;
  f.u32(index).i32s({height, 0, 0, 0, 400}).u8(0).u8(0).u8(0).u8(0).u32(0);
  QByteArray face = LeBytes().utf16(QStringLiteral("Arial")).data;
  face.resize(64, '\0');
  return f.bytes(face);
}

}  // namespace

class TestMetafile : public QObject {
  Q_OBJECT

 private slots:
  void emfMappingAndFills();
  void emfStateAndObjects();
  void emfTextDrawsAndAligns();
  void emfTransformsAndClipping();
  void emfDibRowsAndColours();
  void emfMetricMapModeAndAlpha();
  void emfPathsRegionsAndPatternBlits();
  void wmfFramesAndPlaceableHeader();
  void wmfObjectTableReusesFreeSlots();
  void wmfTextAndPolygon();
  void naturalSizes();
  void damagedInputRendersWhatItCan();
  void damagedInputThatCannotRenderThrows();
  void mutatedFilesNeverCrash();
  void fuzzFindingsStayFixed();
  void workBudgetStopsEndlessFills();
  void hostileRecordsAreRefusedBeforeTheyCost();
  void drawnOnTheBackgroundAndOnlyWhereVisible();
};

void TestMetafile::workBudgetStopsEndlessFills() {
  // Thousands of full-frame fills spend the picture's work budget: playback
  // stops, keeping what was drawn. One fill stays far below it.
  EmfBuilder many;
  anisotropic100(many);
  selectSolidBrush(many, 1, rgb(255, 0, 0));
  for (int i = 0; i < 5000; ++i) many.record(Rectangle, LeBytes().i32s({0, 0, 100, 100}));
  office::render::DrawingOutcome outcome;
  QImage image = office::render::renderMetafile(emf(many.finish()), kImage, &outcome);
  QVERIFY(outcome.stoppedEarly);
  QVERIFY(outcome.drawn > 0);
  QVERIFY(near(image.pixelColor(50, 50), Qt::red));

  EmfBuilder one;
  anisotropic100(one);
  selectSolidBrush(one, 1, rgb(255, 0, 0));
  one.record(Rectangle, LeBytes().i32s({0, 0, 100, 100}));
  office::render::renderMetafile(emf(one.finish()), kImage, &outcome);
  QVERIFY(!outcome.stoppedEarly);
  QCOMPARE(outcome.drawn, 1);
}

void TestMetafile::emfMappingAndFills() {
  // A red rectangle at logical 25..75 of a 0..100 window lands in the middle.
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(Rectangle, LeBytes().i32s({25, 25, 75, 75}));
  QImage image = render(emf(b.finish()));
  QCOMPARE(image.size(), kImage);
  QVERIFY(near(image.pixelColor(50, 50), Qt::red));
  QVERIFY(near(image.pixelColor(30, 70), Qt::red));
  QCOMPARE(image.pixelColor(10, 10), QColor(Qt::white));
  QCOMPARE(image.pixelColor(85, 50), QColor(Qt::white));

  // Without a mapping mode, page units are device pixels: 100 of 400.
  EmfBuilder text;
  selectSolidBrush(text, 1, rgb(0, 0, 255));
  text.record(Polygon16, LeBytes().i32s({0, 0, 0, 0}).u32(3).i16s({0, 0, 200, 0, 0, 200}));
  image = render(emf(text.finish()));
  QVERIFY(near(image.pixelColor(10, 10), Qt::blue));
  QCOMPARE(image.pixelColor(40, 40), QColor(Qt::white));  // beyond the diagonal
  QCOMPARE(image.pixelColor(60, 10), QColor(Qt::white));
}

void TestMetafile::emfStateAndObjects() {
  // SaveDC / RestoreDC(-1) brings back the brush selected before.
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(SaveDc);
  selectSolidBrush(b, 2, rgb(0, 255, 0));
  b.record(RestoreDc, LeBytes().i32(-1));
  b.record(Rectangle, LeBytes().i32s({0, 0, 50, 50}));
  // A stock brush, then a deleted object and an index out of range leave it selected.
  b.record(SelectObject, LeBytes().u32(kBlackBrush));
  b.record(DeleteObject, LeBytes().u32(2));
  b.record(SelectObject, LeBytes().u32(2));
  b.record(SelectObject, LeBytes().u32(70000));
  b.record(Rectangle, LeBytes().i32s({50, 50, 100, 100}));
  // A pen of width 5 logical units draws a thick frame with no fill.
  b.record(CreatePen, LeBytes().u32(3).u32(0).i32s({5, 0}).u32(rgb(0, 0, 255)));
  b.record(SelectObject, LeBytes().u32(3));
  b.record(SelectObject, LeBytes().u32(0x80000005));  // NULL_BRUSH
  b.record(Rectangle, LeBytes().i32s({60, 5, 95, 40}));
  QImage image = render(emf(b.finish()));
  QVERIFY(near(image.pixelColor(25, 25), Qt::red));
  QVERIFY(near(image.pixelColor(75, 75), Qt::black));
  QVERIFY(near(image.pixelColor(60, 20), Qt::blue));
  QCOMPARE(image.pixelColor(77, 22), QColor(Qt::white));
}

void TestMetafile::emfTextDrawsAndAligns() {
  EmfBuilder b;
  anisotropic100(b);
  b.record(CreateFont, fontRecord(1, -10));
  b.record(SelectObject, LeBytes().u32(1));
  b.record(SetBkMode, LeBytes().u32(1));  // transparent
  b.record(ExtTextOutW, textRecord(QPoint(10, 10), QStringLiteral("HH")));
  b.record(SetTextAlign, LeBytes().u32(2));  // TA_RIGHT: the text ends at the point
  b.record(ExtTextOutW, textRecord(QPoint(90, 60), QStringLiteral("HH")));
  QImage image = render(emf(b.finish()));
  QVERIFY(inkPixels(image, QRect(10, 10, 20, 12)) > 10);
  QVERIFY(inkPixels(image, QRect(70, 60, 20, 12)) > 10);
  QCOMPARE(inkPixels(image, QRect(40, 55, 25, 20)), 0);
  QCOMPARE(inkPixels(image, QRect(91, 55, 9, 20)), 0);
  QCOMPARE(inkPixels(image, QRect(0, 30, 100, 25)), 0);
}

void TestMetafile::emfTransformsAndClipping() {
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  // World transform scales by 2: logical 0..25 covers half the picture.
  b.record(SetWorldTransform, LeBytes().f32(2).f32(0).f32(0).f32(2).f32(0).f32(0));
  b.record(IntersectClipRect, LeBytes().i32s({0, 0, 25, 50}));
  b.record(Rectangle, LeBytes().i32s({0, 0, 50, 50}));
  QImage image = render(emf(b.finish()));
  QVERIFY(near(image.pixelColor(25, 50), Qt::red));
  QCOMPARE(image.pixelColor(75, 50), QColor(Qt::white));  // clipped away
}

void TestMetafile::emfDibRowsAndColours() {
  // A bottom-up 2x2 24-bit DIB stretched over the whole device.
  LeBytes r;
  r.i32s({0, 0, 0, 0}).i32s({0, 0, 0, 0, 2, 2});
  r.u32(80).u32(40).u32(120).u32(16).u32(0).u32(0x00CC0020).i32s({400, 400});
  r.u32(40).i32s({2, 2}).u16(1).u16(24).u32(0).u32(16).i32s({0, 0}).u32(0).u32(0);
  // Rows bottom first, pixels blue-green-red, each row padded to 4 bytes.
  r.bytes(QByteArray("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8));  // bottom: red, green
  r.bytes(QByteArray("\xFF\x00\x00\xFF\xFF\xFF\x00\x00", 8));  // top: blue, white
  EmfBuilder b;
  b.record(StretchDiBits, r);
  QImage image = render(emf(b.finish()));
  QVERIFY(near(image.pixelColor(15, 15), Qt::blue));
  QVERIFY(near(image.pixelColor(85, 15), Qt::white));
  QVERIFY(near(image.pixelColor(15, 85), Qt::red));
  QVERIFY(near(image.pixelColor(85, 85), Qt::green));
}

void TestMetafile::emfMetricMapModeAndAlpha() {
  // MM_LOMETRIC: 0.1 mm units, y upwards from a viewport origin at the bottom.
  EmfBuilder b;
  b.record(SetMapMode, LeBytes().u32(2));
  b.record(12, LeBytes().i32s({0, 400}));  // EMR_SETVIEWPORTORGEX, device pixels
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(Rectangle, LeBytes().i32s({0, 0, 500, 500}));
  // ALPHABLEND (in device pixels) of a 2x1 bitmap: opaque blue, then fully transparent.
  LeBytes a;
  a.i32s({0, 0, 0, 0}).i32s({200, 0, 200, 200}).u8(0).u8(0).u8(255).u8(1).i32s({0, 0});
  a.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0);
  a.u32(108).u32(40).u32(148).u32(8).i32s({2, 1});
  a.u32(40).i32s({2, 1}).u16(1).u16(32).u32(0).u32(8).i32s({0, 0}).u32(0).u32(0);
  a.bytes(QByteArray("\xFF\x00\x00\xFF\x00\x00\x00\x00", 8));
  QImage image = render(emf(b.finish()));
  QVERIFY(near(image.pixelColor(25, 75), Qt::red));
  QCOMPARE(image.pixelColor(25, 25), QColor(Qt::white));
  EmfBuilder blend;
  blend.record(114, a);
  image = render(emf(blend.finish()));
  QVERIFY(near(image.pixelColor(60, 25), Qt::blue));
  QCOMPARE(image.pixelColor(90, 25), QColor(Qt::white));
}

void TestMetafile::emfPathsRegionsAndPatternBlits() {
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  // A clip region in device pixels: the left half of the device.
  LeBytes region;
  region.u32(48).u32(5).u32(32).u32(1).u32(1).u32(16).i32s({0, 0, 200, 400}).i32s({0, 0, 200, 400});
  b.record(75, region);  // EMR_EXTSELECTCLIPRGN, RGN_COPY
  // A triangle built in a path bracket and filled.
  b.record(59);                            // BEGINPATH
  b.record(27, LeBytes().i32s({0, 0}));    // MOVETOEX
  b.record(54, LeBytes().i32s({100, 0}));  // LINETO
  b.record(54, LeBytes().i32s({0, 100}));
  b.record(61);                                // CLOSEFIGURE
  b.record(60);                                // ENDPATH
  b.record(62, LeBytes().i32s({0, 0, 0, 0}));  // FILLPATH
  // BITBLT without a bitmap: PATCOPY paints the brush.
  selectSolidBrush(b, 2, rgb(0, 0, 255));
  LeBytes blit;
  blit.i32s({0, 0, 0, 0}).i32s({0, 80, 100, 20}).u32(0x00F00021).i32s({0, 0});
  blit.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
  b.record(76, blit);
  b.record(75, LeBytes().u32(0).u32(5));  // RGN_COPY without data: no clip
  b.record(76, blit);
  QImage image = render(emf(b.finish()));
  QVERIFY(near(image.pixelColor(20, 20), Qt::red));
  QCOMPARE(image.pixelColor(60, 20), QColor(Qt::white));  // in the triangle, clipped away
  QCOMPARE(image.pixelColor(40, 70), QColor(Qt::white));  // outside the triangle
  QVERIFY(near(image.pixelColor(25, 90), Qt::blue));
  QVERIFY(near(image.pixelColor(75, 90), Qt::blue));
}

void TestMetafile::wmfFramesAndPlaceableHeader() {
  WmfBuilder w;
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(255, 0, 0)).u16(0));
  w.record(MetaSelectObject, LeBytes().u16(0));
  w.record(MetaRectangle, LeBytes().i16s({750, 750, 250, 250}));
  QByteArray data = w.finish();
  // Frame from the stored header's bounds.
  QImage image = render(wmf(data));
  QVERIFY(near(image.pixelColor(50, 50), Qt::red));
  QCOMPARE(image.pixelColor(15, 15), QColor(Qt::white));
  // Declared as EMF by mistake: the bytes decide.
  PictureSource mislabelled = wmf(data);
  mislabelled.format = BlipFormat::Emf;
  QVERIFY(near(render(mislabelled).pixelColor(50, 50), Qt::red));
  // The same records behind a placeable header whose box is the upper-left quarter.
  PictureSource placeable = wmf(WmfBuilder::placeable(QRect(0, 0, 500, 500), 500) + data, QRect());
  image = render(placeable);
  QVERIFY(near(image.pixelColor(90, 90), Qt::red));
  QCOMPARE(image.pixelColor(40, 40), QColor(Qt::white));
  // Window records of the metafile override the stored frame.
  WmfBuilder windowed;
  windowed.record(MetaSetWindowOrg, LeBytes().i16s({250, 250}));  // y, x
  windowed.record(MetaSetWindowExt, LeBytes().i16s({500, 500}));
  windowed.records.append(w.records);
  image = render(wmf(windowed.finish()));
  QVERIFY(near(image.pixelColor(10, 10), Qt::red));
  QVERIFY(near(image.pixelColor(90, 90), Qt::red));
}

void TestMetafile::wmfObjectTableReusesFreeSlots() {
  WmfBuilder w;
  w.record(MetaCreatePen, LeBytes().u16(5).i16s({0, 0}).u32(0));           // slot 0: null pen
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(255, 0, 0)).u16(0));  // slot 1
  w.record(MetaSelectObject, LeBytes().u16(0));
  w.record(MetaDeleteObject, LeBytes().u16(1));
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(0, 0, 255)).u16(0));  // slot 1 again
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(0, 255, 0)).u16(0));  // slot 2
  w.record(MetaSelectObject, LeBytes().u16(1));
  w.record(MetaSelectObject, LeBytes().u16(40));  // no such object: ignored
  w.record(MetaRectangle, LeBytes().i16s({500, 500, 0, 0}));
  w.record(MetaSelectObject, LeBytes().u16(2));
  w.record(MetaRectangle, LeBytes().i16s({1000, 1000, 500, 500}));
  QImage image = render(wmf(w.finish(2)));
  QVERIFY(near(image.pixelColor(25, 25), Qt::blue));
  QVERIFY(near(image.pixelColor(75, 75), Qt::green));
}

void TestMetafile::wmfTextAndPolygon() {
  WmfBuilder w;
  LeBytes font;
  font.i16s({-120, 0, 0, 0, 700}).u8(0).u8(0).u8(0).u8(0).u32(0).bytes("Times New Roman");
  font.u8(0);
  w.record(MetaCreateFont, font);
  w.record(MetaSelectObject, LeBytes().u16(0));
  w.record(MetaTextOut, LeBytes().i16(4).bytes("Text").i16s({100, 100}));  // y, x; TA_TOP
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(0, 128, 0)).u16(0));
  w.record(MetaSelectObject, LeBytes().u16(1));
  w.record(MetaPolygon, LeBytes().u16(4).i16s({500, 500, 900, 500, 900, 900, 500, 900}));
  QImage image = render(wmf(w.finish()));
  QVERIFY(inkPixels(image, QRect(10, 10, 40, 15)) > 20);
  QVERIFY(near(image.pixelColor(70, 70), QColor(0, 128, 0)));
  QCOMPARE(image.pixelColor(30, 70), QColor(Qt::white));
}

void TestMetafile::naturalSizes() {
  // EMF: the frame, 100 mm.
  QSizeF inches = office::render::metafileNaturalSizeInches(emf(EmfBuilder().finish()));
  QVERIFY(std::abs(inches.width() - 100 / 25.4) < 0.01);
  // The stored size wins when there is one.
  PictureSource stored = emf(EmfBuilder().finish());
  stored.metafileSizeEmu = QSize(914400 * 2, 914400);
  QCOMPARE(office::render::metafileNaturalSizeInches(stored), QSizeF(2, 1));
  // WMF with a placeable header only: its box over its units per inch.
  PictureSource placeable =
      wmf(WmfBuilder::placeable(QRect(0, 0, 1440, 720), 1440) + WmfBuilder().finish(), QRect());
  placeable.metafileSizeEmu = QSize();
  QCOMPARE(office::render::metafileNaturalSizeInches(placeable), QSizeF(1, 0.5));
}

void TestMetafile::damagedInputRendersWhatItCan() {
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(Rectangle, LeBytes().i32s({0, 0, 50, 50}));
  QByteArray good = b.out;

  // Cut in the middle of a record, a record of size 0, a record larger than the file.
  QByteArray truncated = good + LeBytes().u32(Rectangle).u32(24).i32s({50, 50}).data;
  QByteArray zeroSize = good + LeBytes().u32(Rectangle).u32(0).data;
  QByteArray huge = good + LeBytes().u32(Rectangle).u32(0xFFFFFFF0).i32s({50, 50, 100, 100}).data;
  // A record too short for its fields, and counts far beyond the bytes present.
  QByteArray shortRecord =
      good + LeBytes().u32(Rectangle).u32(12).i32(5).data +
      LeBytes().u32(Polygon16).u32(28).i32s({0, 0, 0, 0}).u32(0xFFFFFFFF).data +
      LeBytes().u32(Rectangle).u32(24).i32s({50, 50, 100, 100}).data;
  for (const QByteArray &data : {truncated, zeroSize, huge, shortRecord}) {
    QImage image = render(emf(data));
    QVERIFY(near(image.pixelColor(25, 25), Qt::red));
  }
  QVERIFY(near(render(emf(shortRecord)).pixelColor(75, 75), Qt::red));

  // WMF: a record whose size runs past the end; an object index out of range.
  WmfBuilder w;
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(255, 0, 0)).u16(0));
  w.record(MetaSelectObject, LeBytes().u16(0));
  w.record(MetaSelectObject, LeBytes().u16(0xFFFF));
  w.record(MetaRectangle, LeBytes().i16s({500, 500, 0, 0}));
  QByteArray wmfData = w.finish() + LeBytes().u32(0x7FFFFFFF).u16(MetaRectangle).data;
  QVERIFY(near(render(wmf(wmfData)).pixelColor(25, 25), Qt::red));

  // A huge requested size is capped rather than allocated.
  QImage capped = office::render::renderMetafile(emf(good), QSize(100000, 100000));
  QVERIFY(qint64(capped.width()) * capped.height() <= office::render::kMaxMetafilePixels);
  QVERIFY(!capped.isNull());
}

void TestMetafile::damagedInputThatCannotRenderThrows() {
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(emf(QByteArray())));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(emf(QByteArray(200, 'x'))));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(emf(EmfBuilder().finish().left(60))));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(wmf(QByteArray("\x01\x00\x09", 3))));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(wmf(QByteArray(40, '\x07'))));
  QVERIFY_THROWS_EXCEPTION(morvane::Error,
                           office::render::renderMetafile(emf(EmfBuilder().finish()), QSize(0, 5)));
  PictureSource notMetafile = emf(EmfBuilder().finish());
  notMetafile.format = BlipFormat::Png;
  QVERIFY_THROWS_EXCEPTION(morvane::Error, render(notMetafile));
}

void TestMetafile::mutatedFilesNeverCrash() {
  // Random byte changes over files that use every kind of record above.
  EmfBuilder b;
  anisotropic100(b);
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(SaveDc);
  b.record(CreateFont, fontRecord(2, -10));
  b.record(SelectObject, LeBytes().u32(2));
  b.record(ExtTextOutW, textRecord(QPoint(10, 10), QStringLiteral("Text")));
  b.record(Polygon16, LeBytes().i32s({0, 0, 0, 0}).u32(3).i16s({0, 0, 20, 0, 0, 20}));
  b.record(RestoreDc, LeBytes().i32(-1));
  b.record(Rectangle, LeBytes().i32s({0, 0, 50, 50}));
  const QByteArray emfSeed = b.finish();
  WmfBuilder w;
  w.record(MetaCreateBrush, LeBytes().u16(0).u32(rgb(255, 0, 0)).u16(0));
  w.record(MetaSelectObject, LeBytes().u16(0));
  w.record(MetaTextOut, LeBytes().i16(4).bytes("Text").i16s({100, 100}));
  w.record(MetaPolygon, LeBytes().u16(3).i16s({0, 0, 900, 0, 0, 900}));
  const QByteArray wmfSeed = w.finish();

  QRandomGenerator random(1234);
  int rendered = 0;
  for (int round = 0; round < 3000; ++round) {
    bool isEmf = round % 2 == 0;
    QByteArray data = isEmf ? emfSeed : wmfSeed;
    int changes = 1 + int(random.bounded(8));
    for (int i = 0; i < changes; ++i)
      data[qsizetype(random.bounded(quint32(data.size())))] = char(random.bounded(256));
    if (round % 7 == 0) data.truncate(qsizetype(random.bounded(quint32(data.size()))));
    try {
      render(isEmf ? emf(data) : wmf(data));
      ++rendered;
    } catch (const morvane::Error &) {
    }
  }
  QVERIFY(rendered > 1000);
}

void TestMetafile::fuzzFindingsStayFixed() {
  // Inputs the fuzzer found, in its format: the first byte picks EMF (odd) or
  // WMF and the image size, the rest is the metafile. Each must finish.
  QDir dir(QStringLiteral(METAFILE_TEST_DATA));
  const QStringList files = dir.entryList({QStringLiteral("fuzz-*.bin")}, QDir::Files);
  QVERIFY(!files.isEmpty());
  for (const QString &name : files) {
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray input = file.readAll();
    QVERIFY(!input.isEmpty());
    PictureSource picture = (input[0] & 1) ? emf(input.mid(1)) : wmf(input.mid(1));
    int side = 16 + (quint8(input[0]) >> 1) * 2;
    try {
      office::render::renderMetafile(picture, QSize(side, side));
    } catch (const morvane::Error &) {
    }
  }
}

// An EMF of one StretchDIBits whose header claims width x height 24-bit
// pixels over the given bits.
QByteArray stretchDibEmf(int width, int height, const QByteArray &bits) {
  LeBytes r;
  r.i32s({0, 0, 0, 0}).i32s({0, 0, 0, 0, width, height});
  r.u32(80).u32(40).u32(120).u32(quint32(bits.size())).u32(0).u32(0x00CC0020).i32s({400, 400});
  r.u32(40).i32s({width, height}).u16(1).u16(24).u32(0).u32(0).i32s({0, 0}).u32(0).u32(0);
  r.bytes(bits);
  EmfBuilder b;
  for (int i = 0; i < 10; ++i) b.record(StretchDiBits, r);
  return b.finish();
}

void TestMetafile::hostileRecordsAreRefusedBeforeTheyCost() {
  // A polygon of three million points: more than a 100 x 100 picture's
  // budget pays for, refused before a path is built, so nothing is drawn.
  EmfBuilder polygon;
  const int points = 3'000'000;
  LeBytes record;
  record.i32s({0, 0, 0, 0}).u32(points);
  QByteArray coordinates(qsizetype(points) * 4, '\0');
  for (int i = 0; i < points; ++i) coordinates[4 * i] = char(i % 97);
  record.bytes(coordinates);
  polygon.record(Polygon16, record);
  office::render::DrawingOutcome outcome;
  office::render::renderMetafile(emf(polygon.finish()), kImage, &outcome);
  QVERIFY(outcome.stoppedEarly);
  QCOMPARE(outcome.drawn, 0);

  // Ten bitmaps whose headers claim 6324 x 6324 (and 4000 x 4000) pixels
  // over 4 bytes of data are not decoded, let alone drawn.
  for (int side : {6324, 4000}) {
    office::render::renderMetafile(emf(stretchDibEmf(side, side, QByteArray(4, '\x7F'))), kImage,
                                   &outcome);
    QCOMPARE(outcome.drawn, 0);
  }
  // The same bitmap a little short of its rows is padded and drawn.
  QByteArray almost(2 * 8 - 2, '\0');
  office::render::renderMetafile(emf(stretchDibEmf(2, 2, almost)), kImage, &outcome);
  QCOMPARE(outcome.drawn, 10);
}

void TestMetafile::drawnOnTheBackgroundAndOnlyWhereVisible() {
  // A chart preview without a fill of its own: white axes on what lies
  // behind it (a dark slide), not on white.
  EmfBuilder b;
  anisotropic100(b);
  b.record(CreatePen, LeBytes().u32(3).u32(0).i32s({3, 0}).u32(rgb(255, 255, 255)));
  b.record(SelectObject, LeBytes().u32(3));
  b.record(Polygon16, LeBytes().i32s({0, 0, 0, 0}).u32(3).i16s({10, 90, 90, 90, 10, 90}));
  selectSolidBrush(b, 1, rgb(255, 0, 0));
  b.record(Rectangle, LeBytes().i32s({50, 0, 100, 50}));
  const QByteArray data = b.finish();
  office::render::RenderView view;
  view.background = QColor(0, 0, 80);
  QImage image = office::render::renderMetafile(emf(data), QSize(400, 400), nullptr, view);
  QCOMPARE(image.pixelColor(20, 20), QColor(0, 0, 80));
  QVERIFY(near(image.pixelColor(200, 360), Qt::white));
  QVERIFY(near(image.pixelColor(300, 100), Qt::red));

  // Only the visible part is drawn: the top right quarter is all red.
  view.visible = QRect(200, 0, 200, 200);
  image = office::render::renderMetafile(emf(data), QSize(400, 400), nullptr, view);
  QCOMPARE(image.size(), QSize(200, 200));
  QVERIFY(near(image.pixelColor(5, 5), Qt::red));
  QVERIFY(near(image.pixelColor(195, 195), Qt::red));
}

QTEST_MAIN(TestMetafile)
#include "test_metafile.moc"
