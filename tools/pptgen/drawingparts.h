#pragma once

// The generator's building blocks shared by its parts: record types, OfficeArt
// shape records, text atoms, and the shapes beyond plain text boxes and
// pictures (extras.cpp). Internal to the generator.

#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "pptgen.h"
#include "recordwriter.h"

namespace morvane::pptgen::parts {

// Record types.
enum : std::uint16_t {
  kDocument = 0x03E8,
  kDocumentAtom = 0x03E9,
  kEndDocumentAtom = 0x03EA,
  kSlide = 0x03EE,
  kSlideAtom = 0x03EF,
  kNotes = 0x03F0,
  kNotesAtom = 0x03F1,
  kEnvironment = 0x03F2,
  kSlidePersistAtom = 0x03F3,
  kMainMaster = 0x03F8,
  kExObjList = 0x0409,
  kExObjListAtom = 0x040A,
  kDrawingGroup = 0x040B,
  kDrawing = 0x040C,
  kColorSchemeAtom = 0x07F0,
  kFontCollection = 0x07D5,
  kExObjRefAtom = 0x0BC1,
  kPlaceholderAtom = 0x0BC3,
  kCString = 0x0FBA,
  kExOleObjAtom = 0x0FC3,
  kExOleEmbed = 0x0FCC,
  kExOleEmbedAtom = 0x0FCD,
  kOutlineTextRefAtom = 0x0F9E,
  kTextHeaderAtom = 0x0F9F,
  kTextCharsAtom = 0x0FA0,
  kStyleTextPropAtom = 0x0FA1,
  kTextMasterStyleAtom = 0x0FA3,
  kTextCFExceptionAtom = 0x0FA4,
  kTextPFExceptionAtom = 0x0FA5,
  kTextSIExceptionAtom = 0x0FA9,
  kFontEntityAtom = 0x0FB7,
  kSlideListWithText = 0x0FF0,
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
  kChildAnchor = 0xF00F,
  kClientAnchor = 0xF010,
  kClientData = 0xF011,
  kBlipEmf = 0xF01A,
  kBlipJpeg = 0xF01D,
  kBlipPng = 0xF01E,
};

// OfficeArt shape types.
enum : std::uint16_t {
  kSptRectangle = 1,
  kSptPictureFrame = 75,
  kSptTextBox = 202,
};

// Text types of a TextHeaderAtom.
enum : std::uint32_t {
  kTextTypeTitle = 0,
  kTextTypeNotes = 2,
  kTextTypeOther = 4,
};

constexpr std::uint32_t kHaveAnchorAndType = 0x200 | 0x800;  // fHaveAnchor | fHaveSpt
constexpr std::uint32_t kGroupShape = 0x1 | 0x200;           // fGroup | fHaveAnchor
constexpr std::uint32_t kBackgroundShape = 0x400 | 0x800;    // fBackground | fHaveSpt
constexpr std::uint32_t kNoFill = 0x00100000;                // fUsefFilled set, fFilled clear
constexpr std::uint32_t kFilled = 0x00100010;                // fUsefFilled and fFilled set
constexpr std::uint32_t kNoLine = 0x00080000;                // fUsefLine set, fLine clear
constexpr std::uint16_t kTextSize = 24;                      // points

struct Rect {
  std::int32_t left, top, right, bottom;
  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
};

struct Property {
  std::uint16_t id;  // with the fBid flag where the value is a store index
  std::uint32_t value;
};

inline void writeShapeHeader(RecordWriter &out, std::uint16_t shapeType, std::uint32_t spid,
                             std::uint32_t flags) {
  out.header(2, shapeType, kFSP, 8);
  out.u32(spid);
  out.u32(flags);
}

inline void writeProperties(RecordWriter &out, std::vector<Property> props) {
  std::sort(props.begin(), props.end(),
            [](const Property &a, const Property &b) { return (a.id & 0x3FFF) < (b.id & 0x3FFF); });
  out.header(3, static_cast<std::uint16_t>(props.size()), kFOPT,
             static_cast<std::uint32_t>(6 * props.size()));
  for (const Property &p : props) {
    out.u16(p.id);
    out.u32(p.value);
  }
}

// The anchor of a page's own shape (ClientAnchor, master units) or of a
// group's member (ChildAnchor, the group's coordinates).
inline void writeAnchor(RecordWriter &out, const Rect &r, bool inGroup = false) {
  if (inGroup) {
    out.header(0, 0, kChildAnchor, 16);
    for (std::int32_t v : {r.left, r.top, r.right, r.bottom}) out.i32(v);
    return;
  }
  out.header(0, 0, kClientAnchor, 8);
  for (std::int32_t v : {r.top, r.left, r.right, r.bottom}) out.i16(static_cast<std::int16_t>(v));
}

inline QString storedText(const QString &text) {
  QString stored = text;
  stored.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
  stored.replace(QLatin1Char('\n'), QLatin1Char('\r'));
  return stored;
}

// TextCFException with the given font, size and black text.
inline void writeCharFormat(RecordWriter &out, std::uint16_t size, std::uint16_t fontRef = 0) {
  const std::uint32_t typeface = 0x10000, fontSize = 0x20000, color = 0x40000;
  out.u32(typeface | fontSize | color);
  out.u16(fontRef);
  out.u16(size);
  out.u32(0xFE000000);  // red, green, blue 0; index 0xFE: use the RGB value
}

// TextPFException with no properties set: the reader's defaults apply.
inline void writeEmptyParaFormat(RecordWriter &out) { out.u32(0); }

// The group shape that holds every shape of a drawing.
inline void writePatriarch(RecordWriter &out, std::uint32_t spid) {
  out.open(kSpContainer);
  out.header(1, 0, kFSPGR, 16);
  for (int i = 0; i < 4; ++i) out.i32(0);
  const std::uint32_t fGroup = 0x1, fPatriarch = 0x4;
  writeShapeHeader(out, 0, spid, fGroup | fPatriarch);
  out.close();
}

// TextHeaderAtom, TextCharsAtom and StyleTextPropAtom of a text made of runs
// (text, font index): one paragraph run, one character run per font run.
void writeTextAtoms(RecordWriter &out, std::uint32_t textType,
                    const std::vector<std::pair<QString, std::uint16_t>> &runs, std::uint16_t size);

// What the writers of a drawing's shapes need from the deck being written.
struct DrawingContext {
  std::function<int(const GenPicture &)> addPicture;        // its picture store index
  std::function<std::uint16_t(const QString &)> fontIndex;  // its font collection index
  std::function<std::uint32_t(const QString &)> addObject;  // the embedded object's id
  std::uint32_t spid = 0;                                   // the last shape id given out

  std::uint32_t nextSpid() { return ++spid; }
};

// The shape ids a shape of GenShape takes (groups and tables count theirs).
int shapeIdsOf(const GenShape &shape);

// Writes shape into where (group coordinates when inGroup).
void writeShape(RecordWriter &out, DrawingContext &context, const GenShape &shape,
                const Rect &where, bool inGroup);

// The drawing's background shape, filled with fill.
void writeBackground(RecordWriter &out, DrawingContext &context, const GenFill &fill);

// The notes page of a slide: its body placeholder holding text.
void writeNotes(RecordWriter &out, DrawingContext &context, int drawingId, std::uint32_t slideId,
                const QString &text);

}  // namespace morvane::pptgen::parts
