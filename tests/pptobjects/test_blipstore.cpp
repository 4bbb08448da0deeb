// The picture store: every blip header layout, inline and "Pictures" stream
// entries, empty and unknown entries keeping their index, damage, and capped
// decompression.

#include <QTest>

#include "office/ppt/blipstore.h"
#include "recordwriter.h"

using namespace testsupport;
using office::ppt::PictureStore;
using office::render::BlipFormat;

Q_DECLARE_METATYPE(office::render::BlipFormat)

namespace {

constexpr std::uint16_t kFbse = 0xF007;

// A blip record: UIDs (one or two by instance), then a bitmap's tag byte or
// a metafile's header, then the payload.
struct BlipSpec {
  std::uint16_t type = 0xF01E;
  std::uint16_t instance = 0x6E0;
  bool metafile = false;
  int uids = 1;
  QByteArray payload;  // the picture bytes as they come out
  bool compressed = false;
  std::uint32_t cbSizeOverride = 0;  // 0: the payload's size
};

QByteArray blip(const BlipSpec &s) {
  LeWriter w;
  w.fill(16 * s.uids, 'U');
  if (s.metafile) {
    const QByteArray stored = s.compressed ? zlibCompress(s.payload) : s.payload;
    w.u32(s.cbSizeOverride ? s.cbSizeOverride : std::uint32_t(s.payload.size()));
    w.i32(-10).i32(20).i32(1000).i32(720);  // rcBounds
    w.i32(914400).i32(457200);              // ptSize, EMUs
    w.u32(std::uint32_t(stored.size())).u8(s.compressed ? 0x00 : 0xFE).u8(0xFE);
    w.raw(stored);
  } else {
    w.u8(0xFF).raw(s.payload);
  }
  return atom(s.type, w.bytes(), s.instance);
}

QByteArray fbse(std::uint8_t btWin32, std::uint8_t btMacOS, std::uint32_t size,
                std::uint32_t foDelay, const QByteArray &name = {},
                const QByteArray &inlineBlip = {}) {
  LeWriter w;
  w.u8(btWin32).u8(btMacOS).fill(16, 'I').u16(0xFF).u32(size).u32(1).u32(foDelay);
  w.u8(0).u8(std::uint32_t(name.size())).u8(0).u8(0).raw(name).raw(inlineBlip);
  return record(2, btWin32, kFbse, w.bytes());
}

QByteArray pngPayload(char fill = 'P') {
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, fill);
}

// A "Pictures" stream that counts the bytes read from it.
class CountingStream : public office::ppt::MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  QByteArray read(std::uint64_t offset, std::uint32_t length) const override {
    bytesRead += length;
    return MemoryStream::read(offset, length);
  }
  mutable std::uint64_t bytesRead = 0;
};

struct StoreUnderTest {
  QByteArray body;  // must outlive the store
  std::shared_ptr<CountingStream> pictures;
  std::optional<PictureStore> store;

  StoreUnderTest(QByteArray storeBody, QByteArray stream)
      : body(std::move(storeBody)), pictures(std::make_shared<CountingStream>(std::move(stream))) {
    store.emplace(readerOver(body), pictures);
  }
};

}  // namespace

class BlipStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void everyBlipHeaderLayout_data();
  void everyBlipHeaderLayout();
  void inlineAndStreamEntriesReadOnlyTheirBytes();
  void emptyAndUnknownEntriesKeepIndices();
  void macPictDeclaredAsWmf();
  void damageIsReported();
  void compressedMetafileCappedAtDeclaredSize();
  void sharedPicturesLoadOnceAndMetafilesAreBounded();
};

void BlipStoreTest::everyBlipHeaderLayout_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<int>("instance");
  QTest::addColumn<int>("uids");
  QTest::addColumn<BlipFormat>("format");
  QTest::addColumn<bool>("compressed");

  struct Row {
    const char *name;
    int type, instance, uids;
    BlipFormat format;
  };
  const Row rows[] = {
      {"EMF one UID", 0xF01A, 0x3D4, 1, BlipFormat::Emf},
      {"EMF two UIDs", 0xF01A, 0x3D5, 2, BlipFormat::Emf},
      {"WMF one UID", 0xF01B, 0x216, 1, BlipFormat::Wmf},
      {"WMF two UIDs", 0xF01B, 0x217, 2, BlipFormat::Wmf},
      {"PICT one UID", 0xF01C, 0x542, 1, BlipFormat::Pict},
      {"PICT two UIDs", 0xF01C, 0x543, 2, BlipFormat::Pict},
      {"JPEG RGB one UID", 0xF01D, 0x46A, 1, BlipFormat::Jpeg},
      {"JPEG RGB two UIDs", 0xF01D, 0x46B, 2, BlipFormat::Jpeg},
      {"JPEG CMYK one UID", 0xF01D, 0x6E2, 1, BlipFormat::Jpeg},
      {"JPEG CMYK two UIDs", 0xF01D, 0x6E3, 2, BlipFormat::Jpeg},
      {"JPEG CMYK record one UID", 0xF02A, 0x6E2, 1, BlipFormat::Jpeg},
      {"JPEG CMYK record two UIDs", 0xF02A, 0x6E3, 2, BlipFormat::Jpeg},
      {"PNG one UID", 0xF01E, 0x6E0, 1, BlipFormat::Png},
      {"PNG two UIDs", 0xF01E, 0x6E1, 2, BlipFormat::Png},
      {"DIB one UID", 0xF01F, 0x7A8, 1, BlipFormat::Dib},
      {"DIB two UIDs", 0xF01F, 0x7A9, 2, BlipFormat::Dib},
      {"TIFF one UID", 0xF029, 0x6E4, 1, BlipFormat::Tiff},
      {"TIFF two UIDs", 0xF029, 0x6E5, 2, BlipFormat::Tiff},
  };
  for (const Row &r : rows) {
    const bool metafile = r.type <= 0xF01C;
    QTest::newRow(r.name) << r.type << r.instance << r.uids << r.format << false;
    if (metafile)
      QTest::newRow(qPrintable(QString(r.name) + " deflated"))
          << r.type << r.instance << r.uids << r.format << true;
  }
}

// Each layout, once inline after a named entry and once in the stream: the
// payload must come out exactly, whatever the header length.
void BlipStoreTest::everyBlipHeaderLayout() {
  QFETCH(int, type);
  QFETCH(int, instance);
  QFETCH(int, uids);
  QFETCH(BlipFormat, format);
  QFETCH(bool, compressed);
  BlipSpec spec;
  spec.type = std::uint16_t(type);
  spec.instance = std::uint16_t(instance);
  spec.uids = uids;
  spec.metafile = type <= 0xF01C;
  spec.compressed = compressed;
  spec.payload = "0123456789abcdef-payload-" + QByteArray(300, char('a' + uids));
  const QByteArray blipRecord = blip(spec);

  const QByteArray padding(13, 'x');
  StoreUnderTest s(fbse(2, 2, std::uint32_t(blipRecord.size()), 0, "name", blipRecord) +
                       fbse(2, 2, std::uint32_t(blipRecord.size()), std::uint32_t(padding.size())),
                   padding + blipRecord);
  QCOMPARE(s.store->count(), std::size_t(2));
  for (std::uint32_t pib : {1u, 2u}) {
    const auto picture = s.store->load(pib);
    QVERIFY(picture);
    QCOMPARE(picture->format, format);
    QCOMPARE(picture->data, spec.payload);
    if (spec.metafile) {
      QCOMPARE(picture->metafileBounds, QRect(-10, 20, 1010, 700));
      QCOMPARE(picture->metafileSizeEmu, QSize(914400, 457200));
    } else {
      QVERIFY(picture->metafileBounds.isNull());
    }
    QVERIFY(picture->crop.isNone());
    QVERIFY(picture->shapeSizeInches.isEmpty());
  }
}

// Pictures at offsets of the stream and inline ones side by side; the stream
// is read for the one picture asked for, never as a whole.
void BlipStoreTest::inlineAndStreamEntriesReadOnlyTheirBytes() {
  BlipSpec png;
  png.payload = pngPayload('A');
  BlipSpec jpeg{0xF01D, 0x46A, false, 1, QByteArray("\xFF\xD8jpeg-bytes\xFF\xD9"), false, 0};
  const QByteArray first = blip(png), second = blip(jpeg);
  png.payload = pngPayload('C');
  const QByteArray inlined = blip(png);
  const QByteArray stream = first + QByteArray(1000, 'z') + second;
  StoreUnderTest s(fbse(6, 6, std::uint32_t(first.size()), 0) +
                       fbse(6, 6, std::uint32_t(inlined.size()), 0, "inline.png", inlined) +
                       fbse(5, 5, std::uint32_t(second.size()), std::uint32_t(first.size() + 1000)),
                   stream);
  QCOMPARE(s.store->load(3)->data, jpeg.payload);
  QCOMPARE(s.pictures->bytesRead, std::uint64_t(8 + second.size()));  // header, then the record
  QCOMPARE(s.store->load(2)->data, pngPayload('C'));
  QCOMPARE(s.pictures->bytesRead, std::uint64_t(8 + second.size()));
  QCOMPARE(s.store->load(1)->data, pngPayload('A'));
  QCOMPARE(s.store->load(1)->format, BlipFormat::Png);

  // Bytes after an entry's name that are no blip record: the stream counts.
  StoreUnderTest padded(fbse(6, 6, std::uint32_t(first.size()), 0, "n", QByteArray(12, '\0')),
                        stream);
  QCOMPARE(padded.store->load(1)->data, pngPayload('A'));
}

void BlipStoreTest::emptyAndUnknownEntriesKeepIndices() {
  BlipSpec png;
  png.payload = pngPayload();
  const QByteArray picture = blip(png);
  const QByteArray body = fbse(0, 0, 0, 0)                                   // deleted entry
                          + atom(0xF00B, QByteArray(6, '\0'))                // not an entry
                          + fbse(6, 6, std::uint32_t(picture.size()), 5000)  // past the stream
                          + atom(0xF018, QByteArray(30, '\0'))  // blip-range type, not a picture
                          + picture                             // a bare blip, no FBSE
                          + fbse(6, 6, std::uint32_t(picture.size()), 0);
  StoreUnderTest s(body, picture);
  QCOMPARE(s.store->count(), std::size_t(6));
  for (std::uint32_t pib : {0u, 1u, 2u, 3u}) QVERIFY(!s.store->load(pib));
  QCOMPARE(s.store->load(5)->data, png.payload);
  QCOMPARE(s.store->load(6)->data, png.payload);
  QVERIFY_THROWS_EXCEPTION(morvane::Error, s.store->load(7));

  // Without a "Pictures" stream, entries stored there are simply absent.
  const PictureStore noStream(readerOver(body), nullptr);
  QVERIFY(!noStream.load(6));
  QCOMPARE(noStream.load(5)->data, png.payload);
}

// A Mac PICT: the entry declares WMF for Windows and PICT for the Mac; the
// stored record is a PICT blip, and that is what counts.
void BlipStoreTest::macPictDeclaredAsWmf() {
  BlipSpec pict{0xF01C, 0x542, true, 1, QByteArray("\x00\x11\x02\xFF pict opcodes", 16), true, 0};
  const QByteArray record = blip(pict);
  StoreUnderTest s(fbse(3, 4, std::uint32_t(record.size()), 0), record);
  const auto picture = s.store->load(1);
  QCOMPARE(picture->format, BlipFormat::Pict);
  QCOMPARE(picture->data, pict.payload);
  QCOMPARE(s.store->declaredFormat(1), BlipFormat::Wmf);
  QCOMPARE(s.store->declaredMacFormat(1), BlipFormat::Pict);
}

void BlipStoreTest::damageIsReported() {
  BlipSpec png;
  png.payload = pngPayload();
  const QByteArray picture = blip(png);

  // The picture's record runs past the end of the stream.
  StoreUnderTest truncated(fbse(6, 6, std::uint32_t(picture.size()), 0),
                           picture.left(picture.size() - 5));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, truncated.store->load(1));
  StoreUnderTest headerCut(fbse(6, 6, std::uint32_t(picture.size()), 2), picture.left(6));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, headerCut.store->load(1));

  // An entry too short to be an FBSE is damaged; the next keeps its index.
  // The last entry overruns the store: it is damaged too.
  const QByteArray body = atom(kFbse, QByteArray(20, '\0')) +
                          fbse(6, 6, std::uint32_t(picture.size()), 0) +
                          fbse(6, 6, 100, 0).left(30);
  StoreUnderTest shortEntry(body, picture);
  QCOMPARE(shortEntry.store->count(), std::size_t(3));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, shortEntry.store->load(1));
  QCOMPARE(shortEntry.store->load(2)->data, png.payload);
  QVERIFY_THROWS_EXCEPTION(morvane::Error, shortEntry.store->load(3));

  // An inline blip whose record overruns its entry.
  QByteArray cut = picture;
  cut.chop(10);
  StoreUnderTest inlineCut(fbse(6, 6, 0, 0, {}, cut), {});
  QVERIFY_THROWS_EXCEPTION(morvane::Error, inlineCut.store->load(1));

  // A metafile header too short, an unknown compression, data that is not
  // zlib at all.
  BlipSpec emf{0xF01A, 0x3D4, true, 1, QByteArray(64, 'E'), false, 0};
  QByteArray shortHeader = atom(0xF01A, QByteArray(16 + 20, '\0'), 0x3D4);
  QByteArray badCompression = blip(emf);
  badCompression[8 + 16 + 32] = char(0x07);
  QByteArray notZlib = blip(emf);
  notZlib[8 + 16 + 32] = char(0x00);
  for (const QByteArray &bad : {shortHeader, badCompression, notZlib}) {
    StoreUnderTest s(fbse(2, 2, std::uint32_t(bad.size()), 0), bad);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, s.store->load(1));
  }
}

// A deflate bomb stops at the size the header declares; a metafile whose
// compressed tail is cut keeps what precedes the cut.
void BlipStoreTest::compressedMetafileCappedAtDeclaredSize() {
  const QByteArray huge(8 * 1024 * 1024, '\0');
  BlipSpec bomb{0xF01A, 0x3D4, true, 1, huge, true, 1000};
  const QByteArray bombRecord = blip(bomb);
  QVERIFY(bombRecord.size() < 20000);
  StoreUnderTest s(fbse(2, 2, std::uint32_t(bombRecord.size()), 0), bombRecord);
  QCOMPARE(s.store->load(1)->data.size(), 1000);

  const auto inflated = office::ppt::inflateCapped(
      reinterpret_cast<const std::uint8_t *>(bombRecord.constData()) + 8 + 16 + 34,
      std::size_t(bombRecord.size() - 8 - 16 - 34), 100000);
  QCOMPARE(inflated.data.size(), 100000);
  QCOMPARE(inflated.end, office::ppt::Inflated::End::Capped);

  QByteArray text;
  for (int i = 0; i < 20000; ++i) text += QByteArray::number(i * 7919 % 10007) + ',';
  const QByteArray compressed = zlibCompress(text);
  const auto cut = office::ppt::inflateCapped(
      reinterpret_cast<const std::uint8_t *>(compressed.constData()),
      std::size_t(compressed.size() / 2), office::ppt::kMaxInflatedBytes);
  QCOMPARE(cut.end, office::ppt::Inflated::End::InputEnded);
  QVERIFY(cut.data.size() > 0 && text.startsWith(cut.data));

  BlipSpec wmf{0xF01B, 0x216, true, 1, text, true, 0};
  QByteArray cutRecord = blip(wmf);
  const int keep = 8 + 16 + 34 + int(compressed.size() / 2);
  cutRecord = cutRecord.left(keep);
  cutRecord[4] = char((keep - 8) & 0xFF);
  cutRecord[5] = char(((keep - 8) >> 8) & 0xFF);
  cutRecord[6] = char(((keep - 8) >> 16) & 0xFF);
  StoreUnderTest partial(fbse(3, 3, std::uint32_t(cutRecord.size()), 0), cutRecord);
  const auto picture = partial.store->load(1);
  QVERIFY(picture->data.size() > 0 && picture->data.size() < text.size());
  QVERIFY(text.startsWith(picture->data));
}

// Shapes sharing a picture: it is read from the stream once, and every copy
// carries the store's export cache under the entry's number. A metafile
// declaring more than 128 MB is refused before anything is inflated, and
// what cannot be read at all is a PictureError.
void BlipStoreTest::sharedPicturesLoadOnceAndMetafilesAreBounded() {
  const QByteArray png = blip({0xF01E, 0x6E0, false, 1, pngPayload(), false, 0});
  BlipSpec bomb{0xF01A, 0x3D4, true, 1, QByteArray(1000, '\0'), true, 240u << 20};
  const QByteArray bombRecord = blip(bomb);
  StoreUnderTest s(fbse(6, 6, std::uint32_t(png.size()), 0) +
                       fbse(2, 2, std::uint32_t(bombRecord.size()), std::uint32_t(png.size())),
                   png + bombRecord);
  const auto first = s.store->load(1);
  const std::uint64_t afterFirst = s.pictures->bytesRead;
  const auto second = s.store->load(1);
  QCOMPARE(s.pictures->bytesRead, afterFirst);
  QVERIFY(first->cache && first->cache == second->cache);
  QCOMPARE(first->cacheId, std::uint64_t(1));
  try {
    s.store->load(2);
    QFAIL("a metafile of 240 MB was inflated");
  } catch (const morvane::PictureError &error) {
    QVERIFY2(error.description().contains(QLatin1String("240 MB")),
             qPrintable(error.description()));
  }
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, s.store->load(3));
}

QTEST_GUILESS_MAIN(BlipStoreTest)
#include "test_blipstore.moc"
