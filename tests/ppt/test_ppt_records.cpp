// The presentation reader on records built one by one, for what generated
// decks do not hold: stored picture forms (DIB, bare and compressed WMF, PICT
// filed as WMF), colour references (scheme, system index with modification,
// opacity), character runs with every paragraph field, fonts of the symbol
// character set, and damage in masters, tables and deep groups.

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "common/error.h"
#include "office/ppt/application.h"
#include "pptbuilder.h"

using namespace pptbuilder;
using namespace PowerPoint;

namespace {

ShapeSpec frame(std::uint32_t pib, std::vector<std::pair<std::uint16_t, std::uint32_t>> more = {}) {
  ShapeSpec s;
  s.shapeType = 75;
  s.properties = {{0x4104, pib}};
  s.properties.insert(s.properties.end(), more.begin(), more.end());
  return s;
}

ShapeSpec textBox(QList<QByteArray> textbox) {
  ShapeSpec s;
  s.shapeType = 202;
  s.textbox = std::move(textbox);
  return s;
}

ShapeSpec wordArtIn(const QString &font, const QString &text) {
  ShapeSpec s;
  s.shapeType = 136;
  s.wordArt = text;
  s.wordArtFont = font;
  return s;
}

// A 2 x 2 pixel, 24-bit DIB: BITMAPINFOHEADER and two rows of 8 bytes.
QByteArray dib() {
  QByteArray header = u32(40) + u32(2) + u32(2) + u16(1) + u16(24) + u32(0) + u32(16) + u32(0) +
                      u32(0) + u32(0) + u32(0);
  return header + QByteArray(16, char(0x80));
}

// A WMF without placeable header: the 18-byte header and an end record.
QByteArray bareWmf() {
  return u16(1) + u16(9) + u16(0x0300) + u32(12) + u16(0) + u32(3) + u16(0) + u32(3) + u16(0);
}

// A version 2 PICT without its file preamble: size, frame, version opcodes.
QByteArray pict() {
  QByteArray p = u16(0) + QByteArray::fromHex("0000000000320064") + QByteArray::fromHex("001102ff");
  return p + QByteArray::fromHex("0c00fffe0000004800000048000000000000003200640000") +
         QByteArray::fromHex("00ff");
}

QByteArray emf() {
  QByteArray header = u32(1) + u32(108) + QByteArray(32, '\0') + u32(0x464D4520);
  return header + QByteArray(108 - header.size(), '\0');
}

}  // namespace

class PptRecordsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }
  void storedPictureForms();
  void colourReferences();
  void characterRunsAndSymbolCharset();
  void damagedMastersAndTables();
  void deepGroupsAreBounded();

 private:
  std::shared_ptr<Presentation> open(const QList<SlideSpec> &slides, const Options &options) {
    const Streams streams = presentation(slides, options);
    const QString path = dir_.filePath(QStringLiteral("deck%1.ppt").arg(++decks_));
    if (!writeCompoundFile(path, {{QStringLiteral("Current User"), streams.currentUser},
                                  {QStringLiteral("PowerPoint Document"), streams.document}}))
      return nullptr;
    return office::ppt::openPresentationFile(path);
  }

  QTemporaryDir dir_;
  int decks_ = 0;
};

void PptRecordsTest::storedPictureForms() {
  Options options;
  options.documentRecords = {drawingGroup({
      bitmapBlip(0xF01F, dib()), metafileBlip(0xF01B, bareWmf(), true),
      metafileBlip(0xF01B, pict(), false),  // a Mac picture filed as WMF
      metafileBlip(0xF01A, emf(), true),
      QByteArray(),  // an entry without a picture
  })};
  SlideSpec slide;
  for (std::uint32_t pib = 1; pib <= 6; ++pib) slide.shapes << shape(frame(pib));
  const auto shapes = open({slide}, options)->Slides()->Item(1)->Shapes();

  const StoredPicture bitmap = shapes->Item(1)->Picture();
  QCOMPARE(bitmap.format, QStringLiteral("DIB"));
  QCOMPARE(bitmap.extension, QStringLiteral("bmp"));
  QCOMPARE(bitmap.pixelSize, QSize(2, 2));
  QCOMPARE(bitmap.storedBytes, qint64(dib().size()));
  const QByteArray bmp = shapes->Item(1)->OriginalPicture();
  QCOMPARE(bmp.left(2), QByteArray("BM"));
  QCOMPARE(qFromLittleEndian<quint32>(bmp.constData() + 2), quint32(14 + dib().size()));
  QCOMPARE(qFromLittleEndian<quint32>(bmp.constData() + 10), quint32(54));
  QCOMPARE(bmp.mid(14), dib());

  // A compressed WMF is listed by its stored size and written inflated, after
  // a placeable header made from the blip's bounds (0, 0, 100, 50) and size
  // (one inch wide: 100 units per inch).
  const StoredPicture wmf = shapes->Item(2)->Picture();
  QCOMPARE(wmf.format, QStringLiteral("WMF"));
  QCOMPARE(wmf.pixelSize, QSize());
  QCOMPARE(wmf.storedBytes, qint64(qCompress(bareWmf()).size() - 4));
  const QByteArray placeable = shapes->Item(2)->OriginalPicture();
  QCOMPARE(placeable.size(), 22 + bareWmf().size());
  QCOMPARE(qFromLittleEndian<quint32>(placeable.constData()), 0x9AC6CDD7u);
  QCOMPARE(qFromLittleEndian<qint16>(placeable.constData() + 10), qint16(100));
  QCOMPARE(qFromLittleEndian<qint16>(placeable.constData() + 12), qint16(50));
  QCOMPARE(qFromLittleEndian<quint16>(placeable.constData() + 14), quint16(100));
  quint16 checksum = 0;
  for (int i = 0; i < 10; ++i)
    checksum ^= qFromLittleEndian<quint16>(placeable.constData() + 2 * i);
  QCOMPARE(qFromLittleEndian<quint16>(placeable.constData() + 20), checksum);
  QCOMPARE(placeable.mid(22), bareWmf());

  const StoredPicture mac = shapes->Item(3)->Picture();
  QCOMPARE(mac.format, QStringLiteral("PICT"));
  QCOMPARE(mac.extension, QStringLiteral("pct"));
  QCOMPARE(shapes->Item(3)->OriginalPicture(), QByteArray(512, '\0') + pict());

  QCOMPARE(shapes->Item(4)->Picture().format, QStringLiteral("EMF"));
  QCOMPARE(shapes->Item(4)->OriginalPicture(), emf());

  // No picture in the entry, or no entry at all: the picture is missing.
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, shapes->Item(5)->Picture());
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, shapes->Item(5)->OriginalPicture());
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, shapes->Item(6)->Picture());
}

void PptRecordsTest::colourReferences() {
  constexpr std::uint32_t kSchemeBackground = 0x08000000;
  const QList<std::uint32_t> schemeA{0x336699, 0, 0, 0, 0, 0, 0, 0};
  const QList<std::uint32_t> schemeB{0x996633, 0, 0, 0, 0, 0, 0, 0};
  constexpr std::uint32_t kMasterId = 0x80000000;
  SlideSpec master;
  master.background = backgroundShape({{0x01BF, 0x00100010}, {0x0181, kSchemeBackground}});
  master.extraRecords = {colorScheme(schemeB)};
  Options options;
  options.persistRecords = {slideRecord(master, 0x03F8)};
  options.documentRecords = {persistList(1, {{5, kMasterId}}),
                             drawingGroup({bitmapBlip(0xF01E, QByteArray("png"))})};

  // Own background in the slide's own scheme.
  SlideSpec own;
  own.background = backgroundShape({{0x01BF, 0x00100010}, {0x0181, kSchemeBackground}});
  own.extraRecords = {colorScheme(schemeA)};
  // A frame with a gradient from blue to blue darkened by half, one with
  // red at half opacity, and one whose colour is to be ignored (white).
  own.shapes = {
      shape(
          frame(1, {{0x01BF, 0x00100010}, {0x0180, 4}, {0x0181, 0xFF0000}, {0x0183, 0x108001F0}})),
      shape(frame(1, {{0x01BF, 0x00100010}, {0x0181, 0x0000FF}, {0x0182, 0x8000}})),
      shape(frame(1, {{0x01BF, 0x00100010}, {0x0181, 0xFF000000}}))};
  // The master's background, resolved with the slide's scheme: the master's
  // objects and background, not its colours.
  SlideSpec follows;
  follows.slideAtom = slideAtom(kMasterId, 0, 0x0004);
  follows.extraRecords = {colorScheme(schemeA)};
  follows.shapes = {shape(frame(1))};
  // The master's colours as well.
  SlideSpec followsScheme = follows;
  followsScheme.slideAtom = slideAtom(kMasterId, 0, 0x0006);

  const auto slides = open({own, follows, followsScheme}, options)->Slides();
  QCOMPARE(slides->Count(), 3);
  const auto behind = [&](int slide, int shape) {
    return office::ppt::pictureOf(*slides->Item(slide)->Shapes()->Item(shape)).background;
  };
  const auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
           std::abs(a.blue() - b.blue()) <= 1;
  };
  QVERIFY(near(behind(1, 1), QColor(0, 0, 191)));    // the mean of 255 and 128 blue
  QVERIFY(near(behind(1, 2), QColor(153, 51, 77)));  // half red over 0x336699
  QCOMPARE(behind(1, 3), qRgb(255, 255, 255));
  QCOMPARE(slides->Item(2)->FollowMasterBackground(), msoTrue);
  QCOMPARE(behind(2, 1), QColor(0x33, 0x66, 0x99));
  QCOMPARE(behind(3, 1), QColor(0x99, 0x66, 0x33));
  QCOMPARE(slides->Item(1)->FollowMasterBackground(), msoFalse);
}

void PptRecordsTest::characterRunsAndSymbolCharset() {
  Options options;
  options.documentRecords = {environment({{QStringLiteral("Arial"), false},
                                          {QStringLiteral("Symbol"), true},
                                          {QStringLiteral("Math1"), true}})};
  const QString stored = QString::fromUtf16(u"ab \uF061 \u0041\u00E5");
  // One paragraph run with every field its masks can announce (tab stops
  // included), then character runs: 3 in Arial, 2 with Symbol for private-use
  // codes, the rest and the paragraph end in Math1.
  const QByteArray paragraph = u32(std::uint32_t(stored.size() + 1)) + u16(0) + u32(0x003FFDFF) +
                               u16(1) + u16(0x2022) + u16(1) + u16(100) + u32(0xFE000000) + u16(0) +
                               u16(100) + u16(0) + u16(0) + u16(0) + u16(0) + u16(576) + u16(2) +
                               u32(0) + u32(0) + u16(0) + u16(0) + u16(0);
  const QByteArray runs = u32(3) + u32(0x00010000) + u16(0) + u32(2) + u32(0x00810001) + u16(1) +
                          u16(0) + u16(1) + u32(3) + u32(0x00830000) + u16(2) + u16(0x0102) +
                          u16(2);
  const QByteArray style = atom(0x0FA1, paragraph + runs);
  SlideSpec slide;
  slide.shapes = {
      shape(textBox({atom(0x0F9F, u32(4)), atom(0x0FA0, utf16(stored)), style})),
      // The same text with its style cut short: the runs before the cut hold.
      shape(textBox({atom(0x0F9F, u32(4)), atom(0x0FA0, utf16(stored)),
                     atom(0x0FA1, paragraph + runs.left(10))})),
      shape(wordArtIn(QStringLiteral("Wingdings"), QString::fromUtf16(u"\u00FCJ\u00FF")))};
  const auto shapes = open({slide}, options)->Slides()->Item(1)->Shapes();
  const auto text = shapes->Item(1)->TextFrame()->TextRange();
  // α from Symbol; Math1 has no table: its codes come as U+F000 + code.
  QCOMPARE(text->Text(), QString::fromUtf16(u"ab \u03B1 \uF041\uF0E5"));
  QCOMPARE(text->Characters(1, 2)->Font()->Name(), QStringLiteral("Arial"));
  QCOMPARE(text->Characters(4, 1)->Font()->Name(), QStringLiteral("Arial"));
  QCOMPARE(text->Characters(6, 2)->Font()->Name(), QStringLiteral("Math1"));
  const auto cut = shapes->Item(2)->TextFrame()->TextRange();
  QCOMPARE(cut->Text(), stored);
  QCOMPARE(cut->Characters(1, 1)->Font()->Name(), QStringLiteral("Arial"));
  // WordArt in a symbol font.
  const auto wordArt = shapes->Item(3)->TextFrame()->TextRange();
  QCOMPARE(wordArt->Text(), QString::fromUtf16(u"\u2714\u263A\uF0FF"));
  QCOMPARE(wordArt->Characters(3, 1)->Font()->Name(), QStringLiteral("Wingdings"));
}

void PptRecordsTest::damagedMastersAndTables() {
  Options options;
  // A master list naming a persist id that does not exist.
  options.documentRecords = {persistList(1, {{77, 0x80000000}})};
  ShapeSpec a, b;
  a.shapeType = b.shapeType = 1;
  a.childAnchor = b.childAnchor = true;
  a.textbox = {atom(0x0F9F, u32(4)), atom(0x0FA0, utf16(QStringLiteral("a")))};
  b.textbox = {atom(0x0F9F, u32(4)), atom(0x0FA0, utf16(QStringLiteral("b")))};
  a.right = b.right = 100;
  a.bottom = 50;
  b.top = 25;  // overlaps a: no grid, cells in reading order
  b.bottom = 75;
  SlideSpec slide;
  slide.shapes = {group({shape(a), shape(b)}, true)};
  const auto presentation = open({slide}, options);
  QCOMPARE(presentation->Designs()->Count(), 1);
  QCOMPARE(presentation->Designs()->Item(1)->SlideMaster()->Shapes()->Count(), 0);
  QCOMPARE(presentation->Slides()->Item(1)->Background()->Fill()->Type(), msoFillSolid);
  QCOMPARE(presentation->Slides()->Item(1)->Shapes()->Item(1)->TextFrame()->TextRange()->Text(),
           QStringLiteral("a\rb\r"));
}

void PptRecordsTest::deepGroupsAreBounded() {
  ShapeSpec leaf;
  QByteArray nested = shape(leaf);
  for (int i = 0; i < 40; ++i) nested = group({nested}, false);
  SlideSpec slide;
  slide.shapes = {nested};
  auto current = open({slide}, Options())->Slides()->Item(1)->Shapes()->Item(1);
  int depth = 0;
  while (current->Type() == msoGroup && current->GroupItems()->Count() > 0) {
    current = current->GroupItems()->Item(1);
    ++depth;
  }
  QCOMPARE(depth, 32);
}

QTEST_GUILESS_MAIN(PptRecordsTest)
#include "test_ppt_records.moc"
