// The object model of the presentation reader on generated decks: what the
// --every-picture and --every-text walks reach (groups, backgrounds, masters,
// picture fills, embedded objects' previews, notes pages), the colour behind
// each picture, and text in symbol fonts and merged tables.

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "common/error.h"
#include "office/ppt/application.h"
#include "pptgen.h"

using namespace morvane::pptgen;
using namespace PowerPoint;

namespace {

constexpr QRgb kNavy = 0xFF102040;
constexpr QRgb kMaroon = 0xFF801010;

GenFill solid(QRgb color) {
  GenFill fill;
  fill.color = color;
  return fill;
}

GenFill gradient(QRgb from, QRgb to) {
  GenFill fill = solid(from);
  fill.kind = GenFill::Kind::Gradient;
  fill.color2 = to;
  return fill;
}

GenFill pictureFill(const GenPicture &picture) {
  GenFill fill;
  fill.kind = GenFill::Kind::Picture;
  fill.picture = picture;
  return fill;
}

GenShape pictureShape(const GenPicture &picture) {
  GenShape shape;
  shape.picture = picture;
  return shape;
}

GenShape group(std::vector<GenShape> members) {
  GenShape shape;
  shape.kind = GenShape::Kind::Group;
  shape.members = std::move(members);
  return shape;
}

GenShape richText(std::vector<GenRun> runs) {
  GenShape shape;
  shape.kind = GenShape::Kind::RichText;
  shape.runs = std::move(runs);
  return shape;
}

QByteArray sha(const QByteArray &bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool closeTo(QColor a, QColor b, int tolerance = 2) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

QString describe(QColor c) { return c.name(); }

// A PNG of one colour.
GenPicture plainPicture(QRgb color) {
  QImage image(16, 12, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  GenPicture picture;
  picture.format = PictureFormat::Png;
  picture.data = bytes;
  return picture;
}

}  // namespace

class PptModelTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void groupsNestedThreeDeep();
  void backgroundsOwnAndInherited();
  void mastersAndTitleMasters();
  void pictureFillsAndPreviews();
  void colourBehindTransparentPictures();
  void storedPictureIsListedWithoutDecoding();
  void symbolFontsAndFontNames();
  void mergedTableKeepsOneFieldPerGridCell();
  void notesPages();

 private:
  std::shared_ptr<Presentation> open(const GenDeck &deck) {
    const QString path = dir_.filePath(QStringLiteral("deck%1.ppt").arg(++decks_));
    writePresentation(path, deck);
    return office::ppt::openPresentationFile(path);
  }
  static GenDeck deckOf(std::vector<GenSlide> slides) {
    GenDeck deck;
    deck.slides = std::move(slides);
    return deck;
  }
  QString exported(Shape &shape) {
    const QString path = dir_.filePath(QStringLiteral("out%1.jpg").arg(++outputs_));
    shape.Export(path, ppShapeFormatJPG);
    return path;
  }

  QTemporaryDir dir_;
  int decks_ = 0, outputs_ = 0;
};

void PptModelTest::groupsNestedThreeDeep() {
  const GenPicture inner = makePicture(1, QSize(40, 30), PictureFormat::Jpeg);
  const GenPicture middle = makePicture(2, QSize(30, 40), PictureFormat::Png);
  GenSlide slide;
  slide.shapes = {group({pictureShape(middle), group({group({pictureShape(inner)})})})};
  const auto shapes = open(deckOf({slide}))->Slides()->Item(1)->Shapes();
  QCOMPARE(shapes->Count(), 1);
  const auto outer = shapes->Item(1);
  QCOMPARE(outer->Type(), std::int32_t(msoGroup));
  QCOMPARE(outer->HasTextFrame(), msoFalse);
  const auto first = outer->GroupItems();
  QCOMPARE(first->Count(), 2);
  QCOMPARE(first->Item(1)->Type(), std::int32_t(msoPicture));
  QCOMPARE(first->Item(1)->OriginalPicture(), middle.data);
  const auto second = first->Item(2)->GroupItems();
  QCOMPARE(second->Count(), 1);
  const auto third = second->Item(1)->GroupItems();
  QCOMPARE(third->Count(), 1);
  const auto deepest = third->Item(1);
  QCOMPARE(deepest->Type(), std::int32_t(msoPicture));
  // An uncropped JPEG is written as stored, wherever it sits.
  QCOMPARE(readAll(exported(*deepest)), inner.data);
  // The member's size on the slide comes through the groups' frames.
  const QSizeF size = office::ppt::pictureOf(*deepest).shapeSizeInches;
  QVERIFY2(size.width() > 0.1 && size.width() < 10 && size.height() > 0.1 && size.height() < 7.5,
           qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
  QVERIFY_THROWS_EXCEPTION(morvane::Error, deepest->GroupItems());
  QVERIFY_THROWS_EXCEPTION(morvane::Error, third->Item(2));
}

void PptModelTest::backgroundsOwnAndInherited() {
  const GenPicture photo = makePicture(3, QSize(64, 48), PictureFormat::Jpeg);
  GenDeck deck;
  deck.master.background = gradient(0xFF000000, 0xFF0000FF);
  GenSlide own, picture, inherited, shaded;
  own.background = solid(kMaroon);
  picture.background = pictureFill(photo);
  shaded.background = gradient(0xFFFF0000, 0xFF00FF00);
  deck.slides = {own, picture, inherited, shaded};
  const auto slides = open(deck)->Slides();

  const auto ownSlide = slides->Item(1);
  QCOMPARE(ownSlide->FollowMasterBackground(), msoFalse);
  QCOMPARE(ownSlide->Background()->Fill()->Type(), msoFillSolid);
  QCOMPARE(ownSlide->Background()->Fill()->Visible(), msoTrue);
  // A background that is no picture cannot be written as one.
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, ownSlide->Background()->Picture());

  const auto pictureSlide = slides->Item(2);
  QCOMPARE(pictureSlide->Background()->Fill()->Type(), msoFillPicture);
  QCOMPARE(pictureSlide->Background()->Picture().format, QStringLiteral("JPEG"));
  QCOMPARE(readAll(exported(*pictureSlide->Background())), photo.data);
  QCOMPARE(office::ppt::pictureOf(*pictureSlide->Background()).shapeSizeInches, QSizeF(10, 7.5));

  const auto inheritedSlide = slides->Item(3);
  QCOMPARE(inheritedSlide->FollowMasterBackground(), msoTrue);
  QCOMPARE(inheritedSlide->Background()->Fill()->Type(), msoFillGradient);
  QCOMPARE(slides->Item(4)->Background()->Fill()->Type(), msoFillGradient);
}

void PptModelTest::mastersAndTitleMasters() {
  const GenPicture logo = makePicture(4, QSize(32, 32), PictureFormat::Png);
  const GenPicture seal = makePicture(5, QSize(32, 32), PictureFormat::Jpeg);
  const GenPicture backdrop = makePicture(6, QSize(32, 24), PictureFormat::Jpeg);
  GenDeck deck;
  deck.master.pictures = {logo};
  deck.master.background = pictureFill(backdrop);
  deck.titleMaster = GenMaster{};
  deck.titleMaster->pictures = {seal};
  deck.slides.resize(2);
  deck.slides[0].followsTitleMaster = true;
  const auto presentation = open(deck);
  const auto designs = presentation->Designs();
  QCOMPARE(designs->Count(), 1);
  const auto design = designs->Item(1);
  const auto master = design->SlideMaster();
  QCOMPARE(master->FollowMasterBackground(), msoFalse);
  QCOMPARE(master->Shapes()->Count(), 1);
  QCOMPARE(master->Shapes()->Item(1)->OriginalPicture(), logo.data);
  QCOMPARE(master->Background()->OriginalPicture(), backdrop.data);
  QCOMPARE(design->HasTitleMaster(), msoTrue);
  const auto title = design->TitleMaster();
  QCOMPARE(title->Shapes()->Item(1)->OriginalPicture(), seal.data);
  // The title master shows its master's background, as does a slide that
  // follows the title master.
  QCOMPARE(title->FollowMasterBackground(), msoTrue);
  QCOMPARE(title->Background()->OriginalPicture(), backdrop.data);
  QCOMPARE(presentation->Slides()->Item(1)->Background()->OriginalPicture(), backdrop.data);
  QVERIFY_THROWS_EXCEPTION(morvane::Error, designs->Item(2));
  QCOMPARE(master->HasNotesPage(), msoFalse);

  GenDeck plain;
  plain.slides.resize(1);
  QCOMPARE(open(plain)->Designs()->Item(1)->HasTitleMaster(), msoFalse);
}

void PptModelTest::pictureFillsAndPreviews() {
  const GenPicture texture = makePicture(7, QSize(40, 40), PictureFormat::Png);
  const GenPicture preview = makePicture(8, QSize(60, 40), PictureFormat::Jpeg);
  GenShape filled;
  filled.kind = GenShape::Kind::FilledRectangle;
  filled.fill = pictureFill(texture);
  GenShape plain;
  plain.kind = GenShape::Kind::FilledRectangle;
  plain.fill = solid(kNavy);
  GenShape object;
  object.kind = GenShape::Kind::EmbeddedObject;
  object.picture = preview;
  object.progId = QStringLiteral("Equation.3");
  GenSlide slide;
  slide.shapes = {filled, plain, object};
  const auto shapes = open(deckOf({slide}))->Slides()->Item(1)->Shapes();

  const auto fillShape = shapes->Item(1);
  QCOMPARE(fillShape->Type(), std::int32_t(msoAutoShape));
  QCOMPARE(fillShape->Fill()->Type(), msoFillPicture);
  QCOMPARE(fillShape->Picture().format, QStringLiteral("PNG"));
  QCOMPARE(fillShape->OriginalPicture(), texture.data);
  QCOMPARE(QImage::fromData(readAll(exported(*fillShape))).size(), QSize(40, 40));

  const auto solidShape = shapes->Item(2);
  QCOMPARE(solidShape->Fill()->Type(), msoFillSolid);
  QVERIFY_THROWS_EXCEPTION(morvane::PictureError, solidShape->Picture());

  const auto objectShape = shapes->Item(3);
  QCOMPARE(objectShape->Type(), std::int32_t(msoEmbeddedOLEObject));
  QCOMPARE(objectShape->HasTextFrame(), msoFalse);
  QCOMPARE(readAll(exported(*objectShape)), preview.data);
  QCOMPARE(objectShape->Picture().pixelSize, QSize(60, 40));
}

// A white logo on a transparent ground must be flattened onto what the slide
// shows behind it.
void PptModelTest::colourBehindTransparentPictures() {
  const GenPicture logo = makeLogo(QSize(48, 48));
  GenShape onFill = pictureShape(logo);
  onFill.fill = solid(kMaroon);
  GenDeck deck;
  deck.master.background = solid(kNavy);
  GenSlide dark, framed, white, photo;
  dark.pictures = {logo};
  framed.pictures = {logo};
  framed.shapes = {onFill};
  framed.background = gradient(0xFF000000, 0xFF0000FF);
  white.background = solid(0xFFFFFFFF);
  white.shapes = {group({pictureShape(logo)})};
  photo.background = pictureFill(plainPicture(0xFF208040));
  photo.pictures = {logo};
  deck.slides = {dark, framed, white, photo};
  const auto slides = open(deck)->Slides();

  const auto onMaster = office::ppt::pictureOf(*slides->Item(1)->Shapes()->Item(1));
  QVERIFY2(closeTo(onMaster.background, QColor::fromRgb(kNavy)),
           qPrintable(describe(onMaster.background)));
  // Without a fill of its own a picture shows the gradient's mean colour.
  const auto bare = office::ppt::pictureOf(*slides->Item(2)->Shapes()->Item(1));
  QVERIFY2(closeTo(bare.background, QColor(0, 0, 128)), qPrintable(describe(bare.background)));
  const auto onShape = office::ppt::pictureOf(*slides->Item(2)->Shapes()->Item(2));
  QVERIFY2(closeTo(onShape.background, QColor::fromRgb(kMaroon)),
           qPrintable(describe(onShape.background)));
  const auto inGroup =
      office::ppt::pictureOf(*slides->Item(3)->Shapes()->Item(1)->GroupItems()->Item(1));
  QCOMPARE(inGroup.background, QColor(Qt::white));
  // A picture background shows its mean colour.
  const auto onPhoto = office::ppt::pictureOf(*slides->Item(4)->Shapes()->Item(1));
  QVERIFY2(closeTo(onPhoto.background, QColor(0x20, 0x80, 0x40)),
           qPrintable(describe(onPhoto.background)));
}

void PptModelTest::storedPictureIsListedWithoutDecoding() {
  GenPicture cropped = makePicture(9, QSize(80, 60), PictureFormat::Jpeg);
  cropped.crop = Crop{0.25, 0, 0.125, 0.5};
  GenSlide slide;
  slide.pictures = {cropped, makePicture(10, QSize(17, 23), PictureFormat::Png)};
  const auto shapes = open(deckOf({slide}))->Slides()->Item(1)->Shapes();
  const StoredPicture jpeg = shapes->Item(1)->Picture();
  QCOMPARE(jpeg.format, QStringLiteral("JPEG"));
  QCOMPARE(jpeg.extension, QStringLiteral("jpg"));
  QCOMPARE(jpeg.pixelSize, QSize(80, 60));
  QCOMPARE(jpeg.storedBytes, qint64(cropped.data.size()));
  QCOMPARE(jpeg.cropLeft, 0.25);
  QCOMPARE(jpeg.cropRight, 0.125);
  QCOMPARE(jpeg.cropBottom, 0.5);
  QCOMPARE(jpeg.cropTop, 0.0);
  // The original is never cropped.
  QCOMPARE(sha(shapes->Item(1)->OriginalPicture()), sha(cropped.data));
  const StoredPicture png = shapes->Item(2)->Picture();
  QCOMPARE(png.format, QStringLiteral("PNG"));
  QCOMPARE(png.extension, QStringLiteral("png"));
  QCOMPARE(png.pixelSize, QSize(17, 23));
}

void PptModelTest::symbolFontsAndFontNames() {
  GenSlide slide;
  slide.shapes = {
      richText({{QStringLiteral("Angle "), QString()},
                {QString::fromUtf16(u"\u0061\u0062\uF067\u00AE"), QStringLiteral("Symbol")},
                {QStringLiteral(" done"), QString()}}),
      richText({{QString::fromUtf16(u"\u00FC\u00FF\uF0FF\u0041"), QStringLiteral("Wingdings")}}),
      richText({{QStringLiteral("ab"), QStringLiteral("Webdings")}})};
  const auto shapes = open(deckOf({slide}))->Slides()->Item(1)->Shapes();

  // Symbol: a, b and its alias of g are Greek letters, 0xAE an arrow.
  const auto symbols = shapes->Item(1)->TextFrame()->TextRange();
  QCOMPARE(symbols->Text(), QString::fromUtf16(u"Angle \u03B1\u03B2\u03B3\u2192 done"));
  // Mapped characters read in the text's own font.
  QCOMPARE(symbols->Characters(7, 4)->Font()->Name(), QStringLiteral("Arial"));
  QCOMPARE(symbols->Characters(7, 4)->Text(), QString::fromUtf16(u"\u03B1\u03B2\u03B3\u2192"));

  // Wingdings 0xFC is a check mark; 0xFF (the Windows flag) has no
  // equivalent and comes as U+F0FF in its own font, whether stored as 0xFF or
  // as its alias.
  const auto dingbats = shapes->Item(2)->TextFrame()->TextRange();
  QCOMPARE(dingbats->Text(), QString::fromUtf16(u"\u2714\uF0FF\uF0FF\u270C"));
  QCOMPARE(dingbats->Characters(2, 1)->Font()->Name(), QStringLiteral("Wingdings"));
  QCOMPARE(dingbats->Characters(3, 2)->Font()->Name(), QStringLiteral("Wingdings"));
  QCOMPARE(dingbats->Characters(1, 1)->Font()->Name(), QStringLiteral("Arial"));

  // Webdings a and b lie beyond the Basic Multilingual Plane.
  const auto web = shapes->Item(3)->TextFrame()->TextRange();
  QCOMPARE(web->Text(), QString::fromUcs4(U"\u2714\U0001F6B2"));
  // Out-of-range characters give an empty range in the last font.
  QCOMPARE(web->Characters(40, 3)->Text(), QString());
}

void PptModelTest::mergedTableKeepsOneFieldPerGridCell() {
  GenShape table;
  table.kind = GenShape::Kind::Table;
  // Head spans two columns, c two rows, long two columns.
  table.cells = {{"Head", "", "Right"}, {"a", "b", "c"}, {"long", "", ""}};
  table.merges = {{0, 0, 1, 2}, {1, 2, 2, 1}, {2, 0, 1, 2}};
  GenSlide slide;
  slide.shapes = {table};
  const auto shape = open(deckOf({slide}))->Slides()->Item(1)->Shapes()->Item(1);
  QCOMPARE(shape->Type(), std::int32_t(msoTable));
  const QString text = shape->TextFrame()->TextRange()->Text();
  QCOMPARE(text, QStringLiteral("Head\t\tRight\ra\tb\tc\rlong\t\t\r"));
  for (const QString &row : text.split(QLatin1Char('\r'), Qt::SkipEmptyParts))
    QCOMPARE(row.count(QLatin1Char('\t')), 2);
}

void PptModelTest::notesPages() {
  GenSlide withNotes, without;
  withNotes.title = QStringLiteral("Agenda");
  withNotes.notes = QStringLiteral("Speak slowly\nThen stop");
  const auto slides = open(deckOf({without, withNotes}))->Slides();
  QCOMPARE(slides->Item(1)->HasNotesPage(), msoFalse);
  QVERIFY_THROWS_EXCEPTION(morvane::Error, slides->Item(1)->NotesPage());
  const auto slide = slides->Item(2);
  QCOMPARE(slide->HasNotesPage(), msoTrue);
  const auto notes = slide->NotesPage();
  const auto shapes = notes->Shapes();
  QCOMPARE(shapes->Count(), 1);
  const auto body = shapes->Item(1);
  QCOMPARE(body->Type(), std::int32_t(msoPlaceholder));
  QCOMPARE(body->HasTextFrame(), msoTrue);
  QCOMPARE(body->TextFrame()->HasText(), msoTrue);
  QCOMPARE(body->TextFrame()->TextRange()->Text(), QStringLiteral("Speak slowly\rThen stop"));
  // The title placeholder's text lives in the slide list.
  QCOMPARE(slide->Shapes()->Item(1)->TextFrame()->TextRange()->Text(), QStringLiteral("Agenda"));
  QCOMPARE(notes->HasNotesPage(), msoFalse);
}

QTEST_GUILESS_MAIN(PptModelTest)
#include "test_ppt_model.moc"
