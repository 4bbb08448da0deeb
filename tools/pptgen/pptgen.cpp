// The presentation writer. Layout of the "PowerPoint Document" stream:
//
//   DocumentContainer   persist id 1
//   MainMasterContainer persist id 2
//   SlideContainer...   persist ids 3, 4, ...
//   PersistDirectoryAtom (persist id -> stream offset)
//   UserEditAtom        (found through the "Current User" stream)
//
// Pictures live once each in the "Pictures" stream; the drawing group's
// picture store (BStore) lists them, and picture shapes refer to a store
// entry by its 1-based index. Lengths are in master units, 576 per inch.

#include "pptgen.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QHash>
#include <QImageReader>
#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/filenames.h"
#include "common/symbolfonts.h"
#include "drawingparts.h"
#include "recordwriter.h"

namespace morvane::pptgen {
namespace {

using namespace parts;

constexpr std::int32_t kSlideWidth = 5760;   // 10 inches
constexpr std::int32_t kSlideHeight = 4320;  // 7.5 inches
constexpr std::int32_t kMargin = 288;
constexpr std::uint32_t kMasterId = 0x80000000;
constexpr std::uint32_t kFirstSlideId = 0x100;
constexpr int kShapesPerCluster = 1024;  // shape ids of drawing d: d*1024, d*1024+1, ...
constexpr int kMaxDrawings = 4095;       // drawing ids are 12 bits
constexpr int kMaxSlides = 4000;
constexpr int kMaxStoredPictures = 4095;  // the store's entry count is 12 bits
constexpr int kMaxShapesPerSlide = kShapesPerCluster - 1;
constexpr int kMaxPersistPerEntry = 4095;
constexpr std::uint16_t kTitleSize = 40;  // points
constexpr std::int32_t kTitleBottom = 1008;

// The shape ids a slide's drawing gives out besides its group's own.
int shapeCount(const GenSlide &slide) {
  int count = static_cast<int>(slide.texts.size() + slide.pictures.size()) +
              (slide.title.isEmpty() ? 0 : 1) + (slide.background ? 1 : 0);
  for (const GenShape &shape : slide.shapes) count += shapeIdsOf(shape);
  return count;
}

// ---------------------------------------------------------------- pictures

struct StoredPicture {
  PictureFormat format;
  QByteArray data;
  QByteArray uid;  // MD4 of the picture bytes
  std::uint32_t references = 0;
  std::uint32_t offset = 0;  // in the "Pictures" stream
  std::uint32_t recordSize = 0;
};

// Collects the distinct pictures of a deck; equal bytes share one entry.
class PictureStore {
 public:
  int add(const GenPicture &picture) {
    const QByteArray uid = QCryptographicHash::hash(picture.data, QCryptographicHash::Md4);
    auto found = indexByUid_.constFind(uid);
    int index = found != indexByUid_.cend() ? *found : -1;
    if (index < 0) {
      if (entries_.size() >= kMaxStoredPictures) {
        throw Error(QStringLiteral("A presentation holds at most %1 distinct pictures.")
                        .arg(kMaxStoredPictures));
      }
      entries_.push_back({picture.format, picture.data, uid});
      index = static_cast<int>(entries_.size()) - 1;
      indexByUid_.insert(uid, index);
    }
    ++entries_[index].references;
    return index + 1;
  }

  // Writes every picture as an OfficeArt blip record and notes where.
  QByteArray writeStream() {
    RecordWriter out;
    for (StoredPicture &p : entries_) {
      p.offset = static_cast<std::uint32_t>(out.size());
      if (p.format == PictureFormat::Emf) {
        writeMetafileBlip(out, p);
        p.recordSize = static_cast<std::uint32_t>(out.size()) - p.offset;
        continue;
      }
      const bool jpeg = p.format == PictureFormat::Jpeg;
      // recInstance 0x46A / 0x6E0: one UID, then a one-byte tag.
      out.header(0, jpeg ? 0x46A : 0x6E0, jpeg ? kBlipJpeg : kBlipPng,
                 static_cast<std::uint32_t>(16 + 1 + p.data.size()));
      out.raw(p.uid);
      out.u8(0xFF);
      out.raw(p.data);
      p.recordSize = static_cast<std::uint32_t>(out.size()) - p.offset;
    }
    return out.bytes();
  }

  // recInstance 0x3D4: one UID, the 34-byte metafile header, then the
  // metafile compressed with deflate; 1000 x 1000 units, 2 inches square.
  static void writeMetafileBlip(RecordWriter &out, const StoredPicture &p) {
    const QByteArray packed = qCompress(p.data, 9).mid(4);  // without Qt's length prefix
    out.header(0, 0x3D4, kBlipEmf, static_cast<std::uint32_t>(16 + 34 + packed.size()));
    out.raw(p.uid);
    out.u32(static_cast<std::uint32_t>(p.data.size()));
    for (std::uint32_t v : {0u, 0u, 1000u, 1000u, 1828800u, 1828800u}) out.u32(v);
    out.u32(static_cast<std::uint32_t>(packed.size()));
    out.u8(0);     // deflate
    out.u8(0xFE);  // no filter
    out.raw(packed);
  }

  void writeBStore(RecordWriter &out) const {
    out.open(kBStoreContainer, static_cast<std::uint16_t>(entries_.size()));
    for (const StoredPicture &p : entries_) {
      const std::uint8_t blipType = p.format == PictureFormat::Jpeg  ? 5
                                    : p.format == PictureFormat::Png ? 6
                                                                     : 2;
      out.header(2, blipType, kFBSE, 36);
      out.u8(blipType);  // btWin32
      out.u8(blipType);  // btMacOS
      out.raw(p.uid);
      out.u16(0xFF);  // tag
      out.u32(p.recordSize);
      out.u32(p.references);
      out.u32(p.offset);  // foDelay
      out.u8(0);          // unused1
      out.u8(0);          // cbName
      out.u16(0);         // unused2, unused3
    }
    out.close();
  }

  bool empty() const { return entries_.empty(); }

 private:
  std::vector<StoredPicture> entries_;
  QHash<QByteArray, int> indexByUid_;
};

// ------------------------------------------------------------ text styles

void writeMasterStyle(RecordWriter &out, std::uint16_t textType, std::uint16_t size) {
  RecordWriter body;
  body.u16(1);                     // cLevels
  if (textType >= 5) body.u16(0);  // level of the first entry
  writeEmptyParaFormat(body);
  writeCharFormat(body, size);
  out.atom(0, textType, kTextMasterStyleAtom, body.bytes());
}

// The fonts a deck names, Arial first; symbol fonts get the symbol
// character set.
void writeFontCollection(RecordWriter &out, const std::vector<QString> &faces) {
  out.open(kFontCollection);
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const QString face = faces[i].left(31);
    const bool symbol = morvane::symbolFontOf(face) != morvane::SymbolFont::None;
    RecordWriter font;
    font.utf16(face);
    font.zeros(static_cast<int>(64 - 2 * face.size()));  // lfFaceName, NUL padded
    font.u8(symbol ? 2 : 0);                             // lfCharSet: SYMBOL or ANSI
    font.u8(0);                                          // fEmbedSubsetted
    font.u8(0x04);                                       // truetypeFontType
    font.u8(symbol ? 0x02 : 0x22);  // lfPitchAndFamily: variable pitch, swiss unless symbol
    out.atom(0, static_cast<std::uint16_t>(i), kFontEntityAtom, font.bytes());
  }
  out.close();
}

void writeEnvironment(RecordWriter &out, const std::vector<QString> &faces) {
  out.open(kEnvironment);
  writeFontCollection(out, faces);
  RecordWriter cf;
  writeCharFormat(cf, 18);
  out.atom(0, 0, kTextCFExceptionAtom, cf.bytes());
  RecordWriter pf;
  pf.u16(0);  // reserved
  writeEmptyParaFormat(pf);
  out.atom(0, 0, kTextPFExceptionAtom, pf.bytes());
  out.atom(0, 0, kTextSIExceptionAtom, QByteArray(4, '\0'));
  writeMasterStyle(out, kTextTypeOther, 18);
  out.close();
}

// ------------------------------------------------------------ slide parts

void writeSlideAtom(RecordWriter &out, std::uint32_t layout, std::uint32_t masterRef,
                    std::uint16_t flags, std::uint8_t firstPlaceholder, std::uint32_t notesId = 0) {
  RecordWriter atom;
  atom.u32(layout);
  atom.u8(firstPlaceholder);  // rgPlaceholderTypes
  atom.zeros(7);
  atom.u32(masterRef);
  atom.u32(notesId);  // notesIdRef, 0 for none
  atom.u16(flags);
  atom.u16(0);
  out.atom(2, 0, kSlideAtom, atom.bytes());
}

void writeColorScheme(RecordWriter &out) {
  // background, text, shadow, title, fill, accent, hyperlink, followed link
  static const std::uint32_t colors[8] = {0xFFFFFF, 0x000000, 0x808080, 0x000000,
                                          0xBBE0E3, 0x333399, 0x009999, 0x99CC00};
  RecordWriter atom;
  for (std::uint32_t rgb : colors) {
    atom.u8(rgb >> 16);
    atom.u8((rgb >> 8) & 0xFF);
    atom.u8(rgb & 0xFF);
    atom.u8(0);
  }
  out.atom(0, 1, kColorSchemeAtom, atom.bytes());
}

// TextHeaderAtom, TextCharsAtom and StyleTextPropAtom of one text in the
// default font.
void writeTextAtoms(RecordWriter &out, std::uint32_t textType, const QString &text,
                    std::uint16_t size) {
  parts::writeTextAtoms(out, textType, {{text, 0}}, size);
}

void writeTextBox(RecordWriter &out, std::uint32_t spid, const QString &text, const Rect &where) {
  out.open(kSpContainer);
  writeShapeHeader(out, 202, spid, kHaveAnchorAndType);
  writeProperties(out, {{0x01BF, kNoFill}, {0x01FF, kNoLine}});
  writeAnchor(out, where);
  out.open(kClientTextbox);
  writeTextAtoms(out, kTextTypeOther, text, kTextSize);
  out.close();
  out.close();
}

// The title placeholder; its text is the slide's first text in the slide
// list, which the shape refers to.
void writeTitle(RecordWriter &out, std::uint32_t spid, const Rect &where) {
  out.open(kSpContainer);
  writeShapeHeader(out, 1, spid, kHaveAnchorAndType);
  writeProperties(out, {{0x01BF, kNoFill}, {0x01FF, kNoLine}});
  writeAnchor(out, where);
  out.open(kClientData);
  RecordWriter placeholder;
  placeholder.u32(0);    // position in the layout
  placeholder.u8(0x0D);  // PT_Title
  placeholder.u8(0);     // full size
  placeholder.u16(0);
  out.atom(0, 0, kPlaceholderAtom, placeholder.bytes());
  out.close();
  out.open(kClientTextbox);
  out.atom(0, 0, kOutlineTextRefAtom, QByteArray(4, '\0'));  // the slide's text 0
  out.close();
  out.close();
}

std::uint32_t fixedPoint(double fraction) {
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(fraction * 65536.0)));
}

void writePictureShape(RecordWriter &out, std::uint32_t spid, int storeIndex,
                       const std::optional<Crop> &crop, const Rect &where) {
  out.open(kSpContainer);
  writeShapeHeader(out, 75, spid, kHaveAnchorAndType);
  std::vector<Property> props = {{0x4104, static_cast<std::uint32_t>(storeIndex)},
                                 {0x01FF, kNoLine}};
  if (crop) {
    props.push_back({0x0100, fixedPoint(crop->top)});
    props.push_back({0x0101, fixedPoint(crop->bottom)});
    props.push_back({0x0102, fixedPoint(crop->left)});
    props.push_back({0x0103, fixedPoint(crop->right)});
  }
  writeProperties(out, props);
  writeAnchor(out, where);
  out.close();
}

// ----------------------------------------------------------------- layout

int lineCount(const QString &text) { return static_cast<int>(text.count(QLatin1Char('\n'))) + 1; }

// Text boxes stacked from the top, pictures and the other shapes in a grid
// below them.
struct SlideLayout {
  std::vector<Rect> texts;
  std::vector<Rect> pictures;
  std::vector<Rect> shapes;
};

QSize displayedSize(const GenPicture &picture) {
  QByteArray data = picture.data;
  QBuffer buffer(&data);
  QImageReader reader(&buffer);
  QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) size = QSize(4, 3);
  if (picture.crop) {
    const Crop &c = *picture.crop;
    size = QSize(std::max(1, int(size.width() * (1 - c.left - c.right))),
                 std::max(1, int(size.height() * (1 - c.top - c.bottom))));
  }
  return size;
}

Rect fitInto(const Rect &cell, QSize picture) {
  const double cw = cell.right - cell.left, ch = cell.bottom - cell.top;
  const double scale = std::min(cw / picture.width(), ch / picture.height());
  const int w = std::max(1, int(picture.width() * scale));
  const int h = std::max(1, int(picture.height() * scale));
  const int left = cell.left + int((cw - w) / 2), top = cell.top + int((ch - h) / 2);
  return {left, top, left + w, top + h};
}

SlideLayout layOut(const GenSlide &slide) {
  SlideLayout layout;
  const int lineHeight = kTextSize * 576 / 72 * 6 / 5;
  int y = slide.title.isEmpty() ? kMargin : kTitleBottom;
  for (const QString &text : slide.texts) {
    const int h = std::min(kSlideHeight / 2, lineCount(text) * lineHeight + 144);
    layout.texts.push_back({kMargin, y, kSlideWidth - kMargin, y + h});
    y = std::min(kSlideHeight - 2 * kMargin, y + h);
  }
  const int pictures = static_cast<int>(slide.pictures.size());
  const int count = pictures + static_cast<int>(slide.shapes.size());
  if (count == 0) return layout;
  const int columns = static_cast<int>(std::ceil(std::sqrt(double(count))));
  const int rows = (count + columns - 1) / columns;
  const int cellW = std::max(1, (kSlideWidth - 2 * kMargin) / columns);
  const int cellH = std::max(1, (kSlideHeight - kMargin - y) / rows);
  for (int i = 0; i < count; ++i) {
    const int left = kMargin + (i % columns) * cellW, top = y + (i / columns) * cellH;
    const Rect cell{left + 18, top + 18, left + std::max(19, cellW - 18),
                    top + std::max(19, cellH - 18)};
    if (i < pictures)
      layout.pictures.push_back(fitInto(cell, displayedSize(slide.pictures[i])));
    else
      layout.shapes.push_back(cell);
  }
  return layout;
}

// ---------------------------------------------------------------- drawings

// The drawing of a slide, master or title master: its shapes in drawing
// order, then its background.
int writeDrawing(RecordWriter &out, DrawingContext &context, int drawingId, const GenSlide &slide) {
  const std::uint32_t firstSpid = static_cast<std::uint32_t>(drawingId * kShapesPerCluster);
  const int shapes = shapeCount(slide);
  out.open(kDrawing);
  out.open(kDgContainer);
  out.header(0, static_cast<std::uint16_t>(drawingId), kFDG, 8);
  out.u32(static_cast<std::uint32_t>(shapes + 1));          // csp, with the group
  out.u32(firstSpid + static_cast<std::uint32_t>(shapes));  // spidCur
  out.open(kSpgrContainer);
  writePatriarch(out, firstSpid);
  context.spid = firstSpid;
  const SlideLayout layout = layOut(slide);
  if (!slide.title.isEmpty()) {
    writeTitle(out, context.nextSpid(),
               {kMargin, kMargin, kSlideWidth - kMargin, kTitleBottom - 72});
  }
  for (std::size_t i = 0; i < slide.texts.size(); ++i) {
    writeTextBox(out, context.nextSpid(), slide.texts[i], layout.texts[i]);
  }
  for (std::size_t i = 0; i < slide.pictures.size(); ++i) {
    const int index = context.addPicture(slide.pictures[i]);
    writePictureShape(out, context.nextSpid(), index, slide.pictures[i].crop, layout.pictures[i]);
  }
  for (std::size_t i = 0; i < slide.shapes.size(); ++i)
    writeShape(out, context, slide.shapes[i], layout.shapes[i], false);
  out.close();
  if (slide.background) writeBackground(out, context, *slide.background);
  out.close();
  out.close();
  return shapes + 1;
}

GenSlide asSlide(const GenMaster &master) {
  GenSlide slide;
  slide.pictures = master.pictures;
  slide.background = master.background;
  return slide;
}

// SlideFlags: the master's objects, scheme and (unless the page has its own)
// background.
std::uint16_t followFlags(const std::optional<GenFill> &ownBackground) {
  return ownBackground ? 0x3 : 0x7;
}

void writeMainMaster(RecordWriter &out, DrawingContext &context, const GenMaster &master) {
  out.open(kMainMaster);
  writeSlideAtom(out, 0x01 /* title and body */, 0, 0, 0);
  static const std::pair<std::uint16_t, std::uint16_t> styles[] = {
      {0, 44}, {1, 32}, {2, 12}, {4, 18}, {5, 32}, {6, 44}, {7, 28}, {8, 24}};
  for (auto [textType, size] : styles) writeMasterStyle(out, textType, size);
  writeDrawing(out, context, 1, asSlide(master));
  writeColorScheme(out);
  out.close();
}

// A title master is kept as a slide among the masters, following the master.
void writeTitleMaster(RecordWriter &out, DrawingContext &context, int drawingId,
                      const GenMaster &master) {
  out.open(kSlide);
  writeSlideAtom(out, 0x00 /* title slide */, kMasterId, followFlags(master.background), 0);
  writeDrawing(out, context, drawingId, asSlide(master));
  writeColorScheme(out);
  out.close();
}

void writeSlide(RecordWriter &out, DrawingContext &context, int drawingId, const GenSlide &slide,
                std::uint32_t masterId, std::uint32_t notesId) {
  out.open(kSlide);
  const std::uint16_t flags = followFlags(slide.background);
  if (slide.title.isEmpty()) {
    writeSlideAtom(out, 0x10 /* blank */, masterId, flags, 0, notesId);
  } else {
    writeSlideAtom(out, 0x07 /* title only */, masterId, flags, 0x0D /* PT_Title */, notesId);
  }
  writeDrawing(out, context, drawingId, slide);
  writeColorScheme(out);
  out.close();
}

// ---------------------------------------------------------------- document

void writePersistAtom(RecordWriter &out, std::uint32_t persistId, std::uint32_t slideId,
                      std::uint32_t flags, std::int32_t texts = 0) {
  RecordWriter atom;
  atom.u32(persistId);
  atom.u32(flags);
  atom.i32(texts);  // cTexts: placeholder texts that follow in the list
  atom.u32(slideId);
  atom.u32(0);
  out.atom(0, 0, kSlidePersistAtom, atom.bytes());
}

void writeDocumentAtom(RecordWriter &out) {
  RecordWriter atom;
  atom.i32(kSlideWidth);
  atom.i32(kSlideHeight);
  atom.i32(kSlideHeight);  // notes page, portrait
  atom.i32(kSlideWidth);
  atom.i32(1);  // serverZoom 1:2
  atom.i32(2);
  atom.u32(0);  // no notes master
  atom.u32(0);  // no handout master
  atom.u16(1);  // firstSlideNumber
  atom.u16(0);  // slideSizeType: on-screen show
  atom.u8(0);   // fSaveWithFonts
  atom.u8(0);   // fOmitTitlePlace
  atom.u8(0);   // fRightToLeft
  atom.u8(1);   // fShowComments
  out.atom(1, 0, kDocumentAtom, atom.bytes());
}

void writeDrawingGroup(RecordWriter &out, const std::vector<int> &shapesPerDrawing,
                       const PictureStore &store) {
  const int drawings = static_cast<int>(shapesPerDrawing.size());
  out.open(kDrawingGroup);
  out.open(kDggContainer);
  RecordWriter block;
  block.u32(static_cast<std::uint32_t>((drawings + 1) * kShapesPerCluster));  // spidMax
  block.u32(static_cast<std::uint32_t>(drawings + 1));                        // cidcl
  int total = 0;
  for (int n : shapesPerDrawing) total += n;
  block.u32(static_cast<std::uint32_t>(total));     // cspSaved
  block.u32(static_cast<std::uint32_t>(drawings));  // cdgSaved
  for (int d = 0; d < drawings; ++d) {
    block.u32(static_cast<std::uint32_t>(d + 1));  // drawing id owning cluster d + 1
    block.u32(static_cast<std::uint32_t>(shapesPerDrawing[d] + 1));
  }
  out.atom(0, 0, kFDGGBlock, block.bytes());
  if (!store.empty()) store.writeBStore(out);
  out.close();
  out.close();
}

// What a deck's parts share while they are written: the pictures, fonts and
// embedded objects they name, and the persist ids of the title master and
// the notes pages.
struct DeckState {
  PictureStore store;
  std::vector<QString> fonts{QStringLiteral("Arial")};
  std::vector<QString> objects;  // ProgIDs, by object id - 1
  std::uint32_t titleMasterPersistId = 0;
  std::vector<std::uint32_t> notesPersistIds;  // per slide, 0 for none

  DrawingContext context() {
    DrawingContext c;
    c.addPicture = [this](const GenPicture &picture) { return store.add(picture); };
    c.fontIndex = [this](const QString &face) {
      if (face.isEmpty()) return std::uint16_t(0);
      const auto found = std::find(fonts.begin(), fonts.end(), face);
      if (found != fonts.end()) return std::uint16_t(found - fonts.begin());
      fonts.push_back(face);
      return std::uint16_t(fonts.size() - 1);
    };
    c.addObject = [this](const QString &progId) {
      objects.push_back(progId);
      return std::uint32_t(objects.size());
    };
    return c;
  }
};

void writeCString(RecordWriter &out, std::uint16_t instance, const QString &text) {
  RecordWriter chars;
  chars.utf16(text);
  out.atom(0, instance, kCString, chars.bytes());
}

// The embedded objects, each an ExOleEmbedContainer without a storage of its
// own (the preview picture is all a reader shows of it).
void writeObjectList(RecordWriter &out, const std::vector<QString> &progIds) {
  if (progIds.empty()) return;
  out.open(kExObjList);
  RecordWriter seed;
  seed.u32(static_cast<std::uint32_t>(progIds.size() + 1));
  out.atom(0, 0, kExObjListAtom, seed.bytes());
  for (std::size_t i = 0; i < progIds.size(); ++i) {
    out.open(kExOleEmbed);
    out.atom(0, 0, kExOleEmbedAtom, QByteArray(8, '\0'));
    RecordWriter atom;
    atom.u32(1);  // drawAspect: content
    atom.u32(0);  // type: embedded
    atom.u32(static_cast<std::uint32_t>(i + 1));
    atom.u32(0);  // subType
    atom.u32(0);  // persistIdRef: no storage
    atom.u32(0);
    out.atom(1, 0, kExOleObjAtom, atom.bytes());
    writeCString(out, 1, progIds[i]);  // menu name
    writeCString(out, 2, progIds[i]);  // ProgID
    out.close();
  }
  out.close();
}

void writeDocument(RecordWriter &out, const GenDeck &deck, const std::vector<int> &shapesPerDrawing,
                   const DeckState &state) {
  const int slideCount = static_cast<int>(deck.slides.size());
  out.open(kDocument);
  writeDocumentAtom(out);
  writeObjectList(out, state.objects);
  writeEnvironment(out, state.fonts);
  writeDrawingGroup(out, shapesPerDrawing, state.store);
  out.open(kSlideListWithText, 1);  // masters
  writePersistAtom(out, 2, kMasterId, 0);
  if (state.titleMasterPersistId)
    writePersistAtom(out, state.titleMasterPersistId, kMasterId + 1, 0);
  out.close();
  if (slideCount > 0) {
    out.open(kSlideListWithText, 0);
    for (int i = 0; i < slideCount; ++i) {
      const std::uint32_t fNonOutlineData = 0x4;
      const QString &title = deck.slides[static_cast<std::size_t>(i)].title;
      writePersistAtom(out, static_cast<std::uint32_t>(3 + i), kFirstSlideId + i, fNonOutlineData,
                       title.isEmpty() ? 0 : 1);
      if (!title.isEmpty()) writeTextAtoms(out, kTextTypeTitle, title, kTitleSize);
    }
    out.close();
  }
  if (std::any_of(state.notesPersistIds.begin(), state.notesPersistIds.end(),
                  [](std::uint32_t id) { return id != 0; })) {
    out.open(kSlideListWithText, 2);  // notes
    for (std::size_t i = 0; i < state.notesPersistIds.size(); ++i)
      if (state.notesPersistIds[i])
        writePersistAtom(out, state.notesPersistIds[i],
                         kFirstSlideId + static_cast<std::uint32_t>(i), 0);
    out.close();
  }
  out.atom(0, 0, kEndDocumentAtom, QByteArray());
  out.close();
}

// Entries of consecutive persist ids starting at 1.
void writePersistDirectory(RecordWriter &out, const std::vector<std::uint32_t> &offsets) {
  RecordWriter dir;
  for (std::size_t first = 0; first < offsets.size(); first += kMaxPersistPerEntry) {
    const std::size_t count = std::min<std::size_t>(kMaxPersistPerEntry, offsets.size() - first);
    dir.u32(static_cast<std::uint32_t>(first + 1) | static_cast<std::uint32_t>(count << 20));
    for (std::size_t i = 0; i < count; ++i) dir.u32(offsets[first + i]);
  }
  out.atom(0, 0, kPersistDirectoryAtom, dir.bytes());
}

void writeUserEdit(RecordWriter &out, int slideCount, std::uint32_t directoryOffset,
                   std::uint32_t persistCount) {
  RecordWriter atom;
  atom.u32(slideCount > 0 ? kFirstSlideId : 0);  // lastSlideIdRef
  atom.u16(0);                                   // version
  atom.u8(0);                                    // minorVersion
  atom.u8(3);                                    // majorVersion
  atom.u32(0);                                   // offsetLastEdit: no earlier edit
  atom.u32(directoryOffset);
  atom.u32(1);                 // docPersistIdRef
  atom.u32(persistCount + 1);  // persistIdSeed
  atom.u16(1);                 // lastView: slide view
  atom.u16(0);
  out.atom(0, 0, kUserEditAtom, atom.bytes());
}

QByteArray currentUserStream(std::uint32_t userEditOffset) {
  const QByteArray user = QByteArrayLiteral("Morvane");
  RecordWriter atom;
  atom.u32(0x14);        // size
  atom.u32(0xE391C05F);  // headerToken: not encrypted
  atom.u32(userEditOffset);
  atom.u16(static_cast<std::uint16_t>(user.size()));
  atom.u16(0x03F4);  // docFileVersion
  atom.u8(3);        // majorVersion
  atom.u8(0);        // minorVersion
  atom.u16(0);
  atom.raw(user);
  atom.u32(8);  // relVersion
  atom.utf16(QString::fromLatin1(user));
  RecordWriter out;
  out.atom(0, 0, kCurrentUserAtom, atom.bytes());
  return out.bytes();
}

int notesCount(const GenDeck &deck) {
  return static_cast<int>(std::count_if(deck.slides.begin(), deck.slides.end(),
                                        [](const GenSlide &s) { return !s.notes.isEmpty(); }));
}

void checkLimits(const GenDeck &deck) {
  const std::vector<GenSlide> &slides = deck.slides;
  if (slides.size() > static_cast<std::size_t>(kMaxSlides)) {
    throw Error(
        QStringLiteral("A generated presentation holds at most %1 slides.").arg(kMaxSlides));
  }
  const int drawings = 1 + int(slides.size()) + (deck.titleMaster ? 1 : 0) + notesCount(deck);
  if (drawings > kMaxDrawings)
    throw Error(QStringLiteral("A generated presentation holds at most %1 slides, masters and "
                               "notes pages.")
                    .arg(kMaxDrawings));
  std::vector<GenSlide> pages = slides;
  pages.push_back(asSlide(deck.master));
  if (deck.titleMaster) pages.push_back(asSlide(*deck.titleMaster));
  for (const GenSlide &slide : pages) {
    if (shapeCount(slide) > kMaxShapesPerSlide) {
      throw Error(
          QStringLiteral("A generated slide holds at most %1 shapes.").arg(kMaxShapesPerSlide));
    }
  }
}

// --------------------------------------------------------- compound file

void writeStream(GsfOutfile *file, const char *name, const QByteArray &data) {
  GsfOutput *stream = gsf_outfile_new_child(file, name, FALSE);
  if (!stream) throw Error(QStringLiteral("Cannot create the stream \"%1\".").arg(name));
  const bool ok = gsf_output_write(stream, static_cast<size_t>(data.size()),
                                   reinterpret_cast<const guint8 *>(data.constData()));
  gsf_output_close(stream);
  g_object_unref(stream);
  if (!ok) throw Error(QStringLiteral("Cannot write the stream \"%1\".").arg(name));
}

}  // namespace

PresentationStreams buildStreams(const GenDeck &deck) {
  checkLimits(deck);
  const std::vector<GenSlide> &slides = deck.slides;
  DeckState state;
  DrawingContext context = state.context();

  // The master, slides, title master and notes pages go after the document;
  // they are written first because the document lists their pictures,
  // fonts, objects and drawings. Persist ids: 1 the document, 2 the master,
  // the slides from 3, then the title master, then the notes pages.
  RecordWriter parts;
  std::vector<std::uint32_t> partOffsets;  // by persist id, from 2
  const auto startPart = [&] { partOffsets.push_back(static_cast<std::uint32_t>(parts.size())); };
  startPart();
  writeMainMaster(parts, context, deck.master);
  std::vector<int> shapesPerDrawing{shapeCount(asSlide(deck.master)) + 1};
  int drawingId = 1;
  const std::uint32_t firstLaterPersistId = static_cast<std::uint32_t>(slides.size()) + 3;
  std::uint32_t nextPersistId = firstLaterPersistId;
  if (deck.titleMaster) state.titleMasterPersistId = nextPersistId++;
  for (const GenSlide &slide : slides)
    state.notesPersistIds.push_back(slide.notes.isEmpty() ? 0 : nextPersistId++);
  for (std::size_t i = 0; i < slides.size(); ++i) {
    startPart();
    const bool titled = slides[i].followsTitleMaster && deck.titleMaster;
    const std::uint32_t notesId =
        slides[i].notes.isEmpty() ? 0 : kFirstSlideId + static_cast<std::uint32_t>(i);
    writeSlide(parts, context, ++drawingId, slides[i], titled ? kMasterId + 1 : kMasterId, notesId);
    shapesPerDrawing.push_back(shapeCount(slides[i]) + 1);
  }
  if (deck.titleMaster) {
    startPart();
    writeTitleMaster(parts, context, ++drawingId, *deck.titleMaster);
    shapesPerDrawing.push_back(shapeCount(asSlide(*deck.titleMaster)) + 1);
  }
  for (std::size_t i = 0; i < slides.size(); ++i) {
    if (slides[i].notes.isEmpty()) continue;
    startPart();
    context.spid = static_cast<std::uint32_t>(++drawingId * kShapesPerCluster);
    writeNotes(parts, context, drawingId, kFirstSlideId + static_cast<std::uint32_t>(i),
               slides[i].notes);
    shapesPerDrawing.push_back(2);
  }
  PresentationStreams streams;
  streams.pictures = state.store.writeStream();

  RecordWriter out;
  writeDocument(out, deck, shapesPerDrawing, state);
  const auto documentSize = static_cast<std::uint32_t>(out.size());
  std::vector<std::uint32_t> offsets{0};
  for (std::uint32_t partOffset : partOffsets) offsets.push_back(documentSize + partOffset);
  out.raw(parts.bytes());
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  writePersistDirectory(out, offsets);
  const auto userEditOffset = static_cast<std::uint32_t>(out.size());
  writeUserEdit(out, static_cast<int>(slides.size()), directoryOffset,
                static_cast<std::uint32_t>(offsets.size()));
  streams.document = out.bytes();
  streams.currentUser = currentUserStream(userEditOffset);
  return streams;
}

PresentationStreams buildStreams(const std::vector<GenSlide> &slides) {
  GenDeck deck;
  deck.slides = slides;
  return buildStreams(deck);
}

void writePresentation(const QString &path, const std::vector<GenSlide> &slides) {
  GenDeck deck;
  deck.slides = slides;
  writePresentation(path, deck);
}

void writePresentation(const QString &path, const GenDeck &deck) {
  const PresentationStreams streams = buildStreams(deck);
  GError *error = nullptr;
  GsfOutput *sink = gsf_output_stdio_new(morvane::fileNameBytes(path).constData(), &error);
  if (!sink) {
    const QString reason = error ? QString::fromUtf8(error->message) : QString();
    if (error) g_error_free(error);
    throw Error(QStringLiteral("Cannot create %1: %2").arg(path, reason));
  }
  GsfOutfile *file = gsf_outfile_msole_new(sink);
  bool written = true;
  try {
    writeStream(file, "Current User", streams.currentUser);
    writeStream(file, "PowerPoint Document", streams.document);
    if (!streams.pictures.isEmpty()) writeStream(file, "Pictures", streams.pictures);
  } catch (...) {
    written = false;
  }
  written = gsf_output_close(GSF_OUTPUT(file)) && written;
  g_object_unref(file);
  if (!gsf_output_is_closed(sink)) written = gsf_output_close(sink) && written;
  g_object_unref(sink);
  if (!written) throw Error(QStringLiteral("Cannot write %1.").arg(path));
}

}  // namespace morvane::pptgen
