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
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "recordwriter.h"

namespace morvane::pptgen {
namespace {

// Record types.
enum : std::uint16_t {
  kDocument = 0x03E8,
  kDocumentAtom = 0x03E9,
  kEndDocumentAtom = 0x03EA,
  kSlide = 0x03EE,
  kSlideAtom = 0x03EF,
  kSlidePersistAtom = 0x03F3,
  kEnvironment = 0x03F2,
  kMainMaster = 0x03F8,
  kDrawingGroup = 0x040B,
  kDrawing = 0x040C,
  kColorSchemeAtom = 0x07F0,
  kFontCollection = 0x07D5,
  kTextHeaderAtom = 0x0F9F,
  kTextCharsAtom = 0x0FA0,
  kStyleTextPropAtom = 0x0FA1,
  kTextMasterStyleAtom = 0x0FA3,
  kTextCFExceptionAtom = 0x0FA4,
  kTextPFExceptionAtom = 0x0FA5,
  kTextSIExceptionAtom = 0x0FA9,
  kFontEntityAtom = 0x0FB7,
  kSlideListWithText = 0x0FF0,
  kOutlineTextRefAtom = 0x0F9E,
  kPlaceholderAtom = 0x0BC3,
  kUserEditAtom = 0x0FF5,
  kCurrentUserAtom = 0x0FF6,
  kPersistDirectoryAtom = 0x1772,
  // OfficeArt
  kDggContainer = 0xF000,
  kBStoreContainer = 0xF001,
  kDgContainer = 0xF002,
  kSpgrContainer = 0xF003,
  kSpContainer = 0xF004,
  kFDGGBlock = 0xF006,
  kFBSE = 0xF007,
  kFDG = 0xF008,
  kFSPGR = 0xF009,
  kFSP = 0xF00A,
  kFOPT = 0xF00B,
  kClientTextbox = 0xF00D,
  kClientAnchor = 0xF010,
  kClientData = 0xF011,
  kBlipEmf = 0xF01A,
  kBlipJpeg = 0xF01D,
  kBlipPng = 0xF01E,
};

constexpr std::int32_t kSlideWidth = 5760;   // 10 inches
constexpr std::int32_t kSlideHeight = 4320;  // 7.5 inches
constexpr std::int32_t kMargin = 288;
constexpr std::uint32_t kMasterId = 0x80000000;
constexpr std::uint32_t kFirstSlideId = 0x100;
constexpr int kShapesPerCluster = 1024;   // shape ids of drawing d: d*1024, d*1024+1, ...
constexpr int kMaxSlides = 4000;          // drawing ids are 12 bits; the master uses 1
constexpr int kMaxStoredPictures = 4095;  // the store's entry count is 12 bits
constexpr int kMaxShapesPerSlide = kShapesPerCluster - 1;
constexpr int kMaxPersistPerEntry = 4095;
constexpr int kTextTypeTitle = 0;
constexpr int kTextTypeOther = 4;
constexpr std::uint16_t kTextSize = 24;   // points
constexpr std::uint16_t kTitleSize = 40;  // points
constexpr std::int32_t kTitleBottom = 1008;

int shapeCount(const GenSlide &slide) {
  return static_cast<int>(slide.texts.size() + slide.pictures.size()) +
         (slide.title.isEmpty() ? 0 : 1);
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

// TextCFException with font 0, the given size and black text.
void writeCharFormat(RecordWriter &out, std::uint16_t size) {
  const std::uint32_t typeface = 0x10000, fontSize = 0x20000, color = 0x40000;
  out.u32(typeface | fontSize | color);
  out.u16(0);           // fontRef
  out.u16(size);        // fontSize
  out.u32(0xFE000000);  // red, green, blue 0; index 0xFE: use the RGB value
}

// TextPFException with no properties set: the reader's defaults apply.
void writeEmptyParaFormat(RecordWriter &out) { out.u32(0); }

void writeMasterStyle(RecordWriter &out, std::uint16_t textType, std::uint16_t size) {
  RecordWriter body;
  body.u16(1);                     // cLevels
  if (textType >= 5) body.u16(0);  // level of the first entry
  writeEmptyParaFormat(body);
  writeCharFormat(body, size);
  out.atom(0, textType, kTextMasterStyleAtom, body.bytes());
}

void writeFontCollection(RecordWriter &out) {
  out.open(kFontCollection);
  RecordWriter font;
  const QString face = QStringLiteral("Arial");
  font.utf16(face);
  font.zeros(64 - 2 * face.size());  // lfFaceName, NUL padded
  font.u8(0);                        // lfCharSet: ANSI
  font.u8(0);                        // fEmbedSubsetted
  font.u8(0x04);                     // truetypeFontType
  font.u8(0x22);                     // lfPitchAndFamily: variable pitch, swiss
  out.atom(0, 0, kFontEntityAtom, font.bytes());
  out.close();
}

void writeEnvironment(RecordWriter &out) {
  out.open(kEnvironment);
  writeFontCollection(out);
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
                    std::uint16_t flags, std::uint8_t firstPlaceholder) {
  RecordWriter atom;
  atom.u32(layout);
  atom.u8(firstPlaceholder);  // rgPlaceholderTypes
  atom.zeros(7);
  atom.u32(masterRef);
  atom.u32(0);  // notesIdRef: no notes
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

struct Rect {
  std::int32_t left, top, right, bottom;
};

struct Property {
  std::uint16_t id;  // with the fBid flag where the value is a store index
  std::uint32_t value;
};

void writeShapeHeader(RecordWriter &out, std::uint16_t shapeType, std::uint32_t spid,
                      std::uint32_t flags) {
  out.header(2, shapeType, kFSP, 8);
  out.u32(spid);
  out.u32(flags);
}

void writeProperties(RecordWriter &out, std::vector<Property> props) {
  std::sort(props.begin(), props.end(),
            [](const Property &a, const Property &b) { return (a.id & 0x3FFF) < (b.id & 0x3FFF); });
  out.header(3, static_cast<std::uint16_t>(props.size()), kFOPT,
             static_cast<std::uint32_t>(6 * props.size()));
  for (const Property &p : props) {
    out.u16(p.id);
    out.u32(p.value);
  }
}

void writeAnchor(RecordWriter &out, const Rect &r) {
  out.header(0, 0, kClientAnchor, 8);
  out.i16(static_cast<std::int16_t>(r.top));
  out.i16(static_cast<std::int16_t>(r.left));
  out.i16(static_cast<std::int16_t>(r.right));
  out.i16(static_cast<std::int16_t>(r.bottom));
}

// The group shape that holds every shape of a drawing.
void writePatriarch(RecordWriter &out, std::uint32_t spid) {
  out.open(kSpContainer);
  out.header(1, 0, kFSPGR, 16);
  for (int i = 0; i < 4; ++i) out.i32(0);
  const std::uint32_t fGroup = 0x1, fPatriarch = 0x4;
  writeShapeHeader(out, 0, spid, fGroup | fPatriarch);
  out.close();
}

constexpr std::uint32_t kHaveAnchorAndType = 0x200 | 0x800;  // fHaveAnchor | fHaveSpt
constexpr std::uint32_t kNoFill = 0x00100000;                // fUsefFilled set, fFilled clear
constexpr std::uint32_t kNoLine = 0x00080000;                // fUsefLine set, fLine clear

QString storedText(const QString &text) {
  QString stored = text;
  stored.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
  stored.replace(QLatin1Char('\n'), QLatin1Char('\r'));
  return stored;
}

// TextHeaderAtom, TextCharsAtom and StyleTextPropAtom of one text.
void writeTextAtoms(RecordWriter &out, std::uint32_t textType, const QString &text,
                    std::uint16_t size) {
  RecordWriter header;
  header.u32(textType);
  out.atom(0, 0, kTextHeaderAtom, header.bytes());
  const QString stored = storedText(text);
  RecordWriter chars;
  chars.utf16(stored);
  out.atom(0, 0, kTextCharsAtom, chars.bytes());
  // One paragraph run and one character run over the text and its final CR.
  RecordWriter style;
  style.u32(static_cast<std::uint32_t>(stored.size() + 1));
  style.u16(0);  // indentLevel
  writeEmptyParaFormat(style);
  style.u32(static_cast<std::uint32_t>(stored.size() + 1));
  writeCharFormat(style, size);
  out.atom(0, 0, kStyleTextPropAtom, style.bytes());
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

// Text boxes stacked from the top, pictures in a grid below them.
struct SlideLayout {
  std::vector<Rect> texts;
  std::vector<Rect> pictures;
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
  const int count = static_cast<int>(slide.pictures.size());
  if (count == 0) return layout;
  const int columns = static_cast<int>(std::ceil(std::sqrt(double(count))));
  const int rows = (count + columns - 1) / columns;
  const int cellW = std::max(1, (kSlideWidth - 2 * kMargin) / columns);
  const int cellH = std::max(1, (kSlideHeight - kMargin - y) / rows);
  for (int i = 0; i < count; ++i) {
    const int left = kMargin + (i % columns) * cellW, top = y + (i / columns) * cellH;
    const Rect cell{left + 18, top + 18, left + std::max(19, cellW - 18),
                    top + std::max(19, cellH - 18)};
    layout.pictures.push_back(fitInto(cell, displayedSize(slide.pictures[i])));
  }
  return layout;
}

// ---------------------------------------------------------------- drawings

// The drawing of one slide (or of the master, with no slide).
int writeDrawing(RecordWriter &out, int drawingId, const GenSlide *slide,
                 const std::vector<int> &storeIndexes) {
  const std::uint32_t firstSpid = static_cast<std::uint32_t>(drawingId * kShapesPerCluster);
  const int shapes = slide ? shapeCount(*slide) : 0;
  out.open(kDrawing);
  out.open(kDgContainer);
  out.header(0, static_cast<std::uint16_t>(drawingId), kFDG, 8);
  out.u32(static_cast<std::uint32_t>(shapes + 1));          // csp, with the group
  out.u32(firstSpid + static_cast<std::uint32_t>(shapes));  // spidCur
  out.open(kSpgrContainer);
  writePatriarch(out, firstSpid);
  if (slide) {
    const SlideLayout layout = layOut(*slide);
    std::uint32_t spid = firstSpid;
    if (!slide->title.isEmpty()) {
      writeTitle(out, ++spid, {kMargin, kMargin, kSlideWidth - kMargin, kTitleBottom - 72});
    }
    for (std::size_t i = 0; i < slide->texts.size(); ++i) {
      writeTextBox(out, ++spid, slide->texts[i], layout.texts[i]);
    }
    for (std::size_t i = 0; i < slide->pictures.size(); ++i) {
      writePictureShape(out, ++spid, storeIndexes[i], slide->pictures[i].crop, layout.pictures[i]);
    }
  }
  out.close();
  out.close();
  out.close();
  return shapes + 1;
}

void writeMainMaster(RecordWriter &out) {
  out.open(kMainMaster);
  writeSlideAtom(out, 0x01 /* title and body */, 0, 0, 0);
  static const std::pair<std::uint16_t, std::uint16_t> styles[] = {
      {0, 44}, {1, 32}, {2, 12}, {4, 18}, {5, 32}, {6, 44}, {7, 28}, {8, 24}};
  for (auto [textType, size] : styles) writeMasterStyle(out, textType, size);
  writeDrawing(out, 1, nullptr, {});
  writeColorScheme(out);
  out.close();
}

void writeSlide(RecordWriter &out, int drawingId, const GenSlide &slide,
                const std::vector<int> &storeIndexes) {
  out.open(kSlide);
  const std::uint16_t followMaster = 0x7;  // objects, scheme and background of the master
  if (slide.title.isEmpty()) {
    writeSlideAtom(out, 0x10 /* blank */, kMasterId, followMaster, 0);
  } else {
    writeSlideAtom(out, 0x07 /* title only */, kMasterId, followMaster, 0x0D /* PT_Title */);
  }
  writeDrawing(out, drawingId, &slide, storeIndexes);
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

void writeDocument(RecordWriter &out, const std::vector<GenSlide> &slides,
                   const std::vector<int> &shapesPerDrawing, const PictureStore &store) {
  const int slideCount = static_cast<int>(slides.size());
  out.open(kDocument);
  writeDocumentAtom(out);
  writeEnvironment(out);
  writeDrawingGroup(out, shapesPerDrawing, store);
  out.open(kSlideListWithText, 1);  // masters
  writePersistAtom(out, 2, kMasterId, 0);
  out.close();
  if (slideCount > 0) {
    out.open(kSlideListWithText, 0);
    for (int i = 0; i < slideCount; ++i) {
      const std::uint32_t fNonOutlineData = 0x4;
      const QString &title = slides[static_cast<std::size_t>(i)].title;
      writePersistAtom(out, static_cast<std::uint32_t>(3 + i), kFirstSlideId + i, fNonOutlineData,
                       title.isEmpty() ? 0 : 1);
      if (!title.isEmpty()) writeTextAtoms(out, kTextTypeTitle, title, kTitleSize);
    }
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

void checkLimits(const std::vector<GenSlide> &slides) {
  if (slides.size() > static_cast<std::size_t>(kMaxSlides)) {
    throw Error(
        QStringLiteral("A generated presentation holds at most %1 slides.").arg(kMaxSlides));
  }
  for (const GenSlide &slide : slides) {
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

PresentationStreams buildStreams(const std::vector<GenSlide> &slides) {
  checkLimits(slides);
  PictureStore store;
  std::vector<std::vector<int>> storeIndexes;
  for (const GenSlide &slide : slides) {
    std::vector<int> indexes;
    for (const GenPicture &picture : slide.pictures) indexes.push_back(store.add(picture));
    storeIndexes.push_back(std::move(indexes));
  }
  PresentationStreams streams;
  streams.pictures = store.writeStream();

  // Slides and the master go after the document; their drawings are counted
  // first because the drawing group at the document's start lists them.
  RecordWriter parts;
  std::vector<std::uint32_t> partOffsets;
  partOffsets.push_back(0);
  writeMainMaster(parts);
  std::vector<int> shapesPerDrawing{1};
  for (std::size_t i = 0; i < slides.size(); ++i) {
    partOffsets.push_back(static_cast<std::uint32_t>(parts.size()));
    writeSlide(parts, static_cast<int>(i) + 2, slides[i], storeIndexes[i]);
    shapesPerDrawing.push_back(shapeCount(slides[i]) + 1);
  }

  RecordWriter out;
  writeDocument(out, slides, shapesPerDrawing, store);
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

void writePresentation(const QString &path, const std::vector<GenSlide> &slides) {
  const PresentationStreams streams = buildStreams(slides);
  GError *error = nullptr;
  GsfOutput *sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), &error);
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
