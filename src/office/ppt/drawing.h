#pragma once

// The shapes of a slide's drawing: OfficeArt shape containers read into
// plain values, the Office shape type of each, and its text.

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "office/ppt/exobjlist.h"
#include "office/ppt/records.h"
#include "office/render/export.h"

namespace office::ppt {

// Counts the records a file's parsing visits; throws when a file asks for far
// more work than any real presentation needs.
class WorkBudget {
 public:
  explicit WorkBudget(std::uint64_t limit) : left_(limit) {}
  void spend(std::uint64_t units = 1);

 private:
  std::uint64_t left_;
};

struct ShapeProperty {
  std::uint16_t id = 0;
  std::uint32_t value = 0;
  bool blipId = false;  // fBid: value is a picture store index
  bool complex = false;
  morvane::ByteReader complexData;  // complex properties only; may be shorter than value
};

// A shape's anchor rectangle in its coordinate space (master units, 576 per
// inch, for top-level shapes).
struct Anchor {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One spContainer or spgrContainer, read.
struct ShapeRecord {
  bool isGroup = false;
  std::uint16_t shapeType = 0;
  std::uint32_t flags = 0;  // FSP grfPersistent
  std::vector<ShapeProperty> properties;
  std::optional<Anchor> anchor;
  std::optional<Anchor> groupFrame;  // groups: the coordinate space of their members
  bool placeholder = false;
  std::optional<std::uint32_t> exObjRef;
  std::optional<std::uint8_t> interactiveAction;
  std::optional<morvane::ByteReader> clientTextbox;  // body of the ClientTextbox
  morvane::ByteReader groupBody;                     // groups: the spgrContainer body

  const ShapeProperty *property(std::uint16_t id) const;
  bool isBackground() const { return flags & 0x400; }
  bool isPatriarch() const { return flags & 0x4; }
  bool isFrame() const;
  bool refersToObject() const;  // an OLE or media frame
};

// Reads a spContainer or spgrContainer record.
ShapeRecord readShapeRecord(const Record &container, WorkBudget &budget);

// The top-level shapes of a PPDrawing body, in record order.
std::vector<ShapeRecord> readTopLevelShapes(morvane::ByteReader ppDrawingBody, WorkBudget &budget);

// The members of a group: the shapes of its spgrContainer after its own, in
// drawing order (back to front).
std::vector<ShapeRecord> readGroupMembers(const ShapeRecord &group, WorkBudget &budget);

// The background shape of a PPDrawing body (the drawing's own shape, not one
// of its group), if it has one.
std::optional<ShapeRecord> readBackgroundShape(morvane::ByteReader ppDrawingBody,
                                               WorkBudget &budget);

// The Office shape type (Shape.Type) of a top-level shape. objects is
// consulted for frames that refer to an external object.
std::int32_t officeShapeType(const ShapeRecord &shape,
                             const std::map<std::uint32_t, ExObject> &objects);

// Text atoms: UTF-16 (TextCharsAtom) or 8-bit Latin-1 (TextBytesAtom).
QString decodeTextAtom(const Record &atom);

// A text as stored, with the body of the StyleTextPropAtom that formats it.
struct StoredText {
  QString text;
  std::optional<morvane::ByteReader> style;
};

// The text a ClientTextbox holds itself; nullopt when it refers to outline
// text instead (outlineIndex is then set) or holds none (outlineIndex unset).
std::optional<StoredText> textboxText(morvane::ByteReader clientTextbox,
                                      std::optional<std::int32_t> &outlineIndex);

// The index-th text (0-based) of a slide's text records in the slide list.
StoredText outlineText(morvane::ByteReader slideTexts, std::int32_t index);

// The WordArt string (gtextUNICODE) and its font (gtextFont), each without
// its trailing NUL.
QString wordArtText(const ShapeRecord &shape);
QString wordArtFont(const ShapeRecord &shape);

// The cells of a table group laid out on the table's grid. rows holds, row by
// row, one entry per grid column: the index in cells of the cell that starts
// there, or kCoveredCell where a merged cell covers the grid cell (or none
// does). A table whose cells do not form a grid (cells without an anchor,
// overlapping cells) gets rows of its cells in reading order instead.
struct TableGrid {
  static constexpr int kCoveredCell = -1;
  std::vector<ShapeRecord> cells;
  std::vector<std::vector<int>> rows;
};
TableGrid tableGrid(const ShapeRecord &table, WorkBudget &budget);

// The crop-from-edge properties as fractions.
office::render::Crop cropOf(const ShapeRecord &shape);

}  // namespace office::ppt
