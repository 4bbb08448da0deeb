// The presentation generator: the records it writes are walked with the
// reader's own record primitives, the compound file is read back with
// libgsf, and when LibreOffice is installed it must open the file and show
// the texts and pictures.

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <optional>

#include "office/ppt/records.h"
#include "pptgen.h"

using namespace morvane::pptgen;
using morvane::ByteReader;
using office::ppt::Record;

namespace {

morvane::ByteReader readerOf(const QByteArray &bytes) {
  return morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()));
}

Record recordAt(const QByteArray &stream, std::uint32_t offset) {
  morvane::ByteReader in = readerOf(stream);
  in.seek(offset);
  return office::ppt::readRecord(in);
}

// Every record below a container, depth first, in stream order.
void collect(const Record &container, std::vector<Record> &out) {
  office::ppt::forEachChild(container.body, [&](Record &child) {
    out.push_back(child);
    if (child.isContainer()) collect(child, out);
    return true;
  });
}

std::vector<Record> descendants(const Record &container) {
  std::vector<Record> all;
  collect(container, all);
  return all;
}

std::vector<Record> ofType(const std::vector<Record> &records, std::uint16_t type) {
  std::vector<Record> found;
  for (const Record &r : records) {
    if (r.recType == type) found.push_back(r);
  }
  return found;
}

QByteArray bodyBytes(const Record &r) {
  return QByteArray(reinterpret_cast<const char *>(r.body.data()), qsizetype(r.body.size()));
}

QString utf16Text(const Record &r) {
  return QString(reinterpret_cast<const QChar *>(r.body.data()), qsizetype(r.body.size() / 2));
}

// Property id (without flags) -> value of an OfficeArtFOPT record.
std::map<std::uint16_t, std::uint32_t> properties(Record fopt) {
  std::map<std::uint16_t, std::uint32_t> props;
  for (int i = 0; i < fopt.recInstance; ++i) {
    const std::uint16_t id = fopt.body.u16() & 0x3FFF;
    props[id] = fopt.body.u32();
  }
  return props;
}

// The persist directory of the newest edit: persist id -> offset.
std::map<std::uint32_t, std::uint32_t> persistDirectory(const PresentationStreams &s) {
  Record current = recordAt(s.currentUser, 0);
  current.body.skip(8);  // size, headerToken
  Record edit = recordAt(s.document, current.body.u32());
  if (edit.recType != 0x0FF5) throw std::runtime_error("no UserEditAtom");
  edit.body.skip(12);
  Record dir = recordAt(s.document, edit.body.u32());
  std::map<std::uint32_t, std::uint32_t> offsets;
  while (!dir.body.atEnd()) {
    const std::uint32_t head = dir.body.u32();
    for (std::uint32_t i = 0; i < (head >> 20); ++i) offsets[(head & 0xFFFFF) + i] = dir.body.u32();
  }
  return offsets;
}

GenSlide slideWith(std::vector<QString> texts, std::vector<GenPicture> pictures) {
  GenSlide slide;
  slide.texts = std::move(texts);
  slide.pictures = std::move(pictures);
  return slide;
}

QByteArray readGsfStream(GsfInfile *file, const char *name) {
  GsfInput *stream = gsf_infile_child_by_name(file, name);
  if (!stream) return {};
  QByteArray bytes(qsizetype(gsf_input_size(stream)), '\0');
  gsf_input_read(stream, size_t(bytes.size()), reinterpret_cast<guint8 *>(bytes.data()));
  g_object_unref(stream);
  return bytes;
}

}  // namespace

class TestPptGen : public QObject {
  Q_OBJECT

 private slots:
  void currentUserLeadsToTheDocumentAndEverySlide();
  void textBoxesAndPicturesAreStoredAsShapes();
  void titleIsAPlaceholderWithItsTextInTheSlideList();
  void equalPicturesShareOneStoreEntry();
  void limitsAreRefused();
  void compoundFileHoldsTheStreams();
  void libreOfficeShowsTheTextsAndPictures();
  void libreOfficeShowsTheOtherShapes();

 private:
  static std::optional<QString> flatPresentation(const QString &path, QTemporaryDir &dir);
};

void TestPptGen::currentUserLeadsToTheDocumentAndEverySlide() {
  const std::vector<GenSlide> slides(7);
  const PresentationStreams s = buildStreams(slides);

  Record current = recordAt(s.currentUser, 0);
  QCOMPARE(int(current.recType), 0x0FF6);
  QCOMPARE(current.body.u32(), 0x14u);
  QCOMPARE(current.body.u32(), 0xE391C05Fu);

  const auto dir = persistDirectory(s);
  QCOMPARE(dir.size(), slides.size() + 2);
  QCOMPARE(int(recordAt(s.document, dir.at(1)).recType), 0x03E8);  // DocumentContainer
  QCOMPARE(int(recordAt(s.document, dir.at(2)).recType), 0x03F8);  // MainMasterContainer

  // The slide list names the slides in order, each pointing at a SlideContainer.
  const Record document = recordAt(s.document, dir.at(1));
  std::vector<std::uint32_t> slideIds;
  office::ppt::forEachChild(document.body, [&](Record &child) {
    if (child.recType != 0x0FF0 || child.recInstance != 0) return true;
    for (const Record &atom : ofType(descendants(child), 0x03F3)) {
      morvane::ByteReader body = atom.body;
      const std::uint32_t persistId = body.u32();
      body.skip(8);
      slideIds.push_back(body.u32());
      if (recordAt(s.document, dir.at(persistId)).recType != 0x03EE) slideIds.push_back(0);
    }
    return true;
  });
  QCOMPARE(slideIds.size(), slides.size());
  for (std::size_t i = 0; i < slideIds.size(); ++i) QCOMPARE(slideIds[i], std::uint32_t(0x100 + i));
}

void TestPptGen::textBoxesAndPicturesAreStoredAsShapes() {
  GenPicture jpeg = makePicture(1, QSize(40, 30), PictureFormat::Jpeg);
  GenPicture png = makePicture(2, QSize(30, 40), PictureFormat::Png);
  png.crop = Crop{0.25, 0, 0.5, 0.125};
  const QString text = QStringLiteral("Größe €5\nzweite Zeile");
  const PresentationStreams s = buildStreams({slideWith({text}, {jpeg, png})});
  const Record slide = recordAt(s.document, persistDirectory(s).at(3));
  const std::vector<Record> all = descendants(slide);

  // Shapes: the patriarch group, then the text box and two picture frames.
  std::vector<std::uint16_t> shapeTypes;
  for (const Record &fsp : ofType(all, 0xF00A)) shapeTypes.push_back(fsp.recInstance);
  QCOMPARE(shapeTypes, (std::vector<std::uint16_t>{0, 202, 75, 75}));

  const auto chars = ofType(all, 0x0FA0);
  QCOMPARE(chars.size(), std::size_t(1));
  QCOMPARE(utf16Text(chars[0]), QStringLiteral("Größe €5\rzweite Zeile"));

  const auto fopts = ofType(all, 0xF00B);
  QCOMPARE(fopts.size(), std::size_t(3));
  QCOMPARE(properties(fopts[1]).at(0x104), 1u);  // pib of the JPEG
  const auto cropped = properties(fopts[2]);
  QCOMPARE(cropped.at(0x104), 2u);
  QCOMPARE(cropped.at(0x102), 0x4000u);  // left 0.25 in 16.16 fixed point
  QCOMPARE(cropped.at(0x103), 0x8000u);  // right 0.5
  QCOMPARE(cropped.at(0x101), 0x2000u);  // bottom 0.125
  QCOMPARE(cropped.at(0x100), 0u);

  // The picture store entries point at blips in "Pictures" holding the same bytes.
  const Record document = recordAt(s.document, persistDirectory(s).at(1));
  const auto entries = ofType(descendants(document), 0xF007);
  QCOMPARE(entries.size(), std::size_t(2));
  const GenPicture *pictures[] = {&jpeg, &png};
  const std::uint16_t blipTypes[] = {0xF01D, 0xF01E};
  for (int i = 0; i < 2; ++i) {
    morvane::ByteReader fbse = entries[i].body;
    fbse.skip(2);
    const QByteArray uid = bodyBytes(entries[i]).mid(2, 16);
    fbse.skip(18);
    const std::uint32_t size = fbse.u32();
    QCOMPARE(fbse.u32(), 1u);  // cRef
    const Record blip = recordAt(s.pictures, fbse.u32());
    QCOMPARE(blip.recType, blipTypes[i]);
    QCOMPARE(blip.recLen + 8, size);
    const QByteArray blipBody = bodyBytes(blip);
    QCOMPARE(blipBody.left(16), uid);
    QCOMPARE(blipBody.mid(17), pictures[i]->data);
  }
}

void TestPptGen::titleIsAPlaceholderWithItsTextInTheSlideList() {
  GenSlide titled = slideWith({QStringLiteral("body")}, {});
  titled.title = QStringLiteral("Agenda\nToday");
  const PresentationStreams s = buildStreams({slideWith({}, {}), titled});
  const auto dir = persistDirectory(s);

  // The second slide's drawing: the title shape first, a placeholder of type
  // PT_Title whose text box refers to the slide's text 0.
  const std::vector<Record> shapes = descendants(recordAt(s.document, dir.at(4)));
  const auto fsps = ofType(shapes, 0xF00A);
  QCOMPARE(fsps.size(), std::size_t(3));
  QCOMPARE(int(fsps[1].recInstance), 1);
  const auto placeholders = ofType(shapes, 0x0BC3);
  QCOMPARE(placeholders.size(), std::size_t(1));
  QCOMPARE(int(bodyBytes(placeholders[0]).at(4)), 0x0D);
  const auto refs = ofType(shapes, 0x0F9E);
  QCOMPARE(refs.size(), std::size_t(1));
  QCOMPARE(bodyBytes(refs[0]), QByteArray(4, '\0'));

  // The slide list: the untitled slide has no texts, the titled one a title text.
  const Record document = recordAt(s.document, dir.at(1));
  std::vector<Record> list;
  office::ppt::forEachChild(document.body, [&](Record &child) {
    if (child.recType == 0x0FF0 && child.recInstance == 0) list = descendants(child);
    return true;
  });
  std::vector<std::uint16_t> types;
  for (const Record &r : list) types.push_back(r.recType);
  QCOMPARE(types, (std::vector<std::uint16_t>{0x03F3, 0x03F3, 0x0F9F, 0x0FA0, 0x0FA1}));
  morvane::ByteReader persist = list[1].body;
  persist.skip(8);
  QCOMPARE(persist.i32(), 1);                             // cTexts
  QCOMPARE(morvane::ByteReader(list[2].body).u32(), 0u);  // Tx_TYPE_TITLE
  QCOMPARE(utf16Text(list[3]), QStringLiteral("Agenda\rToday"));
}

void TestPptGen::equalPicturesShareOneStoreEntry() {
  const GenPicture picture = makePicture(7, QSize(16, 16), PictureFormat::Jpeg);
  QVERIFY(picture.data != makePicture(8, QSize(16, 16), PictureFormat::Jpeg).data);
  const PresentationStreams s =
      buildStreams({slideWith({}, {picture}), slideWith({}, {picture, picture})});
  const Record document = recordAt(s.document, persistDirectory(s).at(1));
  const auto entries = ofType(descendants(document), 0xF007);
  QCOMPARE(entries.size(), std::size_t(1));
  morvane::ByteReader fbse = entries[0].body;
  fbse.skip(24);
  QCOMPARE(fbse.u32(), 3u);  // cRef
  QCOMPARE(s.pictures.size(), 8 + 17 + picture.data.size());
}

void TestPptGen::limitsAreRefused() {
  QVERIFY_THROWS_EXCEPTION(morvane::Error, buildStreams(std::vector<GenSlide>(4001)));
  GenSlide crowded;
  crowded.texts.assign(1024, QStringLiteral("x"));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, buildStreams({crowded}));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, makePicture(1, QSize(0, 10), PictureFormat::Png));
  QVERIFY_THROWS_EXCEPTION(morvane::Error,
                           writePresentation(QStringLiteral("/nonexistent-dir/x.ppt"), GenDeck{}));
}

void TestPptGen::compoundFileHoldsTheStreams() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("deck.ppt"));
  const std::vector<GenSlide> slides{
      slideWith({QStringLiteral("one")}, {makePicture(3, QSize(64, 48), PictureFormat::Png)})};
  writePresentation(path, slides);
  const PresentationStreams expected = buildStreams(slides);

  GError *error = nullptr;
  GsfInput *input = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
  QVERIFY(input);
  GsfInfile *file = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  QVERIFY2(file, error ? error->message : "not a compound file");
  QCOMPARE(readGsfStream(file, "Current User"), expected.currentUser);
  QCOMPARE(readGsfStream(file, "PowerPoint Document"), expected.document);
  QCOMPARE(readGsfStream(file, "Pictures"), expected.pictures);
  g_object_unref(file);
}

// LibreOffice's conversion of path to a flat presentation (fodp); nullopt
// when LibreOffice is not installed.
std::optional<QString> TestPptGen::flatPresentation(const QString &path, QTemporaryDir &dir) {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  if (soffice.isEmpty()) return std::nullopt;
  // A profile of its own, so that a LibreOffice already running does not take the job.
  QProcess office;
  office.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath("profile"),
                         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                         QStringLiteral("fodp"), QStringLiteral("--outdir"), dir.path(), path});
  if (!office.waitForFinished(180000)) return QString();
  QFile flat(dir.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".fodp")));
  if (!flat.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(flat.readAll());
}

void TestPptGen::libreOfficeShowsTheTextsAndPictures() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("deck.ppt"));
  GenSlide first = slideWith({QStringLiteral("Erste Folie"), QStringLiteral("Ünïcödé")},
                             {makePicture(4, QSize(80, 60), PictureFormat::Jpeg)});
  first.title = QStringLiteral("Titel der Folie");
  writePresentation(path, {first, slideWith({QStringLiteral("Second slide")},
                                            {makePicture(5, QSize(60, 80), PictureFormat::Png),
                                             makePicture(6, QSize(60, 80), PictureFormat::Jpeg)})});
  const std::optional<QString> xml = flatPresentation(path, dir);
  if (!xml) QSKIP("LibreOffice (soffice) is not installed");
  QCOMPARE(xml->count(QStringLiteral("<draw:page ")), 2);
  QCOMPARE(xml->count(QStringLiteral("<draw:image")), 3);
  for (const char *text : {"Titel der Folie", "Erste Folie", "Ünïcödé", "Second slide"}) {
    QVERIFY2(xml->contains(QString::fromUtf8(text)), text);
  }
}

// Groups, tables, notes, backgrounds and the masters' pictures open in
// LibreOffice as well.
void TestPptGen::libreOfficeShowsTheOtherShapes() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("shapes.ppt"));
  GenShape picture;
  picture.picture = makePicture(11, QSize(30, 20), PictureFormat::Png);
  GenShape inner;
  inner.kind = GenShape::Kind::Group;
  inner.members = {picture};
  GenShape outer = inner;
  outer.members = {picture, inner};
  GenShape table;
  table.kind = GenShape::Kind::Table;
  table.cells = {{QStringLiteral("Kopf"), QString()},
                 {QStringLiteral("links"), QStringLiteral("rechts")}};
  table.merges = {{0, 0, 1, 2}};
  GenDeck deck;
  deck.master.pictures = {makePicture(12, QSize(20, 20), PictureFormat::Jpeg)};
  GenSlide slide;
  slide.shapes = {outer, table};
  slide.notes = QStringLiteral("Notizen zur Folie");
  slide.background.emplace();
  slide.background->color = 0xFF102040;
  deck.slides = {slide};
  writePresentation(path, deck);
  const std::optional<QString> xml = flatPresentation(path, dir);
  if (!xml) QSKIP("LibreOffice (soffice) is not installed");
  QCOMPARE(xml->count(QStringLiteral("<draw:page ")), 1);
  QVERIFY2(xml->count(QStringLiteral("<draw:g")) >= 2, "the nested groups");
  for (const char *text : {"Kopf", "links", "rechts", "Notizen zur Folie"})
    QVERIFY2(xml->contains(QString::fromUtf8(text)), text);
  // The group's two pictures and the master's picture.
  QVERIFY(xml->count(QStringLiteral("<draw:image")) >= 3);
}

QTEST_GUILESS_MAIN(TestPptGen)
#include "test_pptgen.moc"
