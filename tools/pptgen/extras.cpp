// The shapes beyond plain text boxes and pictures: pictures on a fill, filled
// rectangles, groups, embedded objects with a preview, tables with merged
// cells and text in several fonts; slide backgrounds and notes pages.

#include <QColor>
#include <cmath>

#include "common/error.h"
#include "drawingparts.h"

namespace morvane::pptgen::parts {

namespace {

// Fill properties and their values.
enum : std::uint16_t {
  kFillType = 0x0180,
  kFillColor = 0x0181,
  kFillBackColor = 0x0183,
  kFillBlip = 0x4186,  // with fBid: a picture store index
  kFillStyleBooleans = 0x01BF,
  kLineStyleBooleans = 0x01FF,
  kPib = 0x4104,
  kTableProperties = 0x039F,
};
enum : std::uint32_t { kFillSolid = 0, kFillPicture = 3, kFillShade = 4 };

constexpr std::uint32_t kChildShape = 0x2;  // fChild
constexpr std::uint8_t kPlaceholderNotesBody = 0x0C;
// Group members are laid out in a frame of this many units each way.
constexpr std::int32_t kGroupFrame = 12000;
constexpr std::int32_t kCellWidth = 2000, kCellHeight = 600;
constexpr int kMaxGroupDepth = 16;

std::uint32_t colorRef(QRgb rgb) {
  return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) |
         (std::uint32_t(qBlue(rgb)) << 16);
}

std::vector<Property> fillProperties(DrawingContext &context, const GenFill &fill) {
  std::vector<Property> props{{kFillStyleBooleans, kFilled}, {kFillColor, colorRef(fill.color)}};
  switch (fill.kind) {
    case GenFill::Kind::Solid:
      props.push_back({kFillType, kFillSolid});
      break;
    case GenFill::Kind::Gradient:
      props.push_back({kFillType, kFillShade});
      props.push_back({kFillBackColor, colorRef(fill.color2)});
      break;
    case GenFill::Kind::Picture:
      props.push_back({kFillType, kFillPicture});
      props.push_back({kFillBlip, std::uint32_t(context.addPicture(fill.picture))});
      break;
  }
  return props;
}

std::uint32_t shapeFlags(bool inGroup) { return kHaveAnchorAndType | (inGroup ? kChildShape : 0); }

void writePicture(RecordWriter &out, DrawingContext &context, const GenShape &shape,
                  const Rect &where, bool inGroup, std::vector<Property> props) {
  props.push_back({kPib, std::uint32_t(context.addPicture(shape.picture))});
  props.push_back({kLineStyleBooleans, kNoLine});
  if (shape.fill) {
    const std::vector<Property> fill = fillProperties(context, *shape.fill);
    props.insert(props.end(), fill.begin(), fill.end());
  } else {
    props.push_back({kFillStyleBooleans, kNoFill});
  }
  out.open(kSpContainer);
  writeShapeHeader(out, kSptPictureFrame, context.nextSpid(), shapeFlags(inGroup));
  writeProperties(out, props);
  writeAnchor(out, where, inGroup);
  if (shape.kind == GenShape::Kind::EmbeddedObject) {
    out.open(kClientData);
    RecordWriter ref;
    ref.u32(context.addObject(shape.progId));
    out.atom(0, 0, kExObjRefAtom, ref.bytes());
    out.close();
  }
  out.close();
}

void writeFilledRectangle(RecordWriter &out, DrawingContext &context, const GenShape &shape,
                          const Rect &where, bool inGroup) {
  std::vector<Property> props = fillProperties(context, shape.fill.value_or(GenFill{}));
  props.push_back({kLineStyleBooleans, kNoLine});
  out.open(kSpContainer);
  writeShapeHeader(out, kSptRectangle, context.nextSpid(), shapeFlags(inGroup));
  writeProperties(out, props);
  writeAnchor(out, where, inGroup);
  out.close();
}

// A group's own shape: its frame (the coordinates of its members) and its
// place in its parent.
void writeGroupOwnShape(RecordWriter &out, DrawingContext &context, const Rect &frame,
                        const Rect &where, bool inGroup, std::vector<Property> props) {
  out.open(kSpContainer);
  out.header(1, 0, kFSPGR, 16);
  for (std::int32_t v : {frame.left, frame.top, frame.right, frame.bottom}) out.i32(v);
  writeShapeHeader(out, 0, context.nextSpid(), kGroupShape | (inGroup ? kChildShape : 0));
  if (!props.empty()) writeProperties(out, props);
  writeAnchor(out, where, inGroup);
  out.close();
}

// Members side by side in the group's frame.
void writeGroup(RecordWriter &out, DrawingContext &context, const GenShape &group,
                const Rect &where, bool inGroup, int depth) {
  if (depth > kMaxGroupDepth) throw Error(QStringLiteral("Groups nest at most 16 deep here."));
  out.open(kSpgrContainer);
  const Rect frame{0, 0, kGroupFrame, kGroupFrame};
  writeGroupOwnShape(out, context, frame, where, inGroup, {});
  const int count = std::max<int>(1, int(group.members.size()));
  const std::int32_t step = kGroupFrame / count;
  for (int i = 0; i < int(group.members.size()); ++i) {
    const Rect cell{i * step + step / 10, kGroupFrame / 10, (i + 1) * step - step / 10,
                    kGroupFrame * 9 / 10};
    const GenShape &member = group.members[std::size_t(i)];
    if (member.kind == GenShape::Kind::Group)
      writeGroup(out, context, member, cell, true, depth + 1);
    else
      writeShape(out, context, member, cell, true);
  }
  out.close();
}

// TextHeaderAtom, TextCharsAtom and StyleTextPropAtom of text in runs of
// fonts: one paragraph run, one character run per font run.
void writeRuns(RecordWriter &out, DrawingContext &context, std::uint32_t textType,
               const std::vector<GenRun> &runs) {
  std::vector<std::pair<QString, std::uint16_t>> stored;
  for (const GenRun &run : runs) stored.emplace_back(run.text, context.fontIndex(run.font));
  writeTextAtoms(out, textType, stored, kTextSize);
}

void writeTextShape(RecordWriter &out, DrawingContext &context, std::uint16_t shapeType,
                    const std::vector<GenRun> &runs, const Rect &where, bool inGroup) {
  out.open(kSpContainer);
  writeShapeHeader(out, shapeType, context.nextSpid(), shapeFlags(inGroup));
  writeProperties(out, {{kFillStyleBooleans, kNoFill}, {kLineStyleBooleans, kNoLine}});
  writeAnchor(out, where, inGroup);
  out.open(kClientTextbox);
  writeRuns(out, context, kTextTypeOther, runs);
  out.close();
  out.close();
}

// Which grid cells a merge covers beyond its own first cell.
bool isCovered(const std::vector<GenMerge> &merges, int row, int column) {
  for (const GenMerge &m : merges)
    if (row >= m.row && row < m.row + m.rows && column >= m.column &&
        column < m.column + m.columns && (row != m.row || column != m.column))
      return true;
  return false;
}

GenMerge spanAt(const std::vector<GenMerge> &merges, int row, int column) {
  for (const GenMerge &m : merges)
    if (m.row == row && m.column == column) return m;
  return GenMerge{row, column, 1, 1};
}

std::size_t columnsOf(const GenShape &table) {
  std::size_t columns = 0;
  for (const auto &row : table.cells) columns = std::max(columns, row.size());
  return columns;
}

// A table: a group marked as one, whose cells lie on a grid; a merged cell
// spans its grid cells and the cells it covers are left out.
void writeTable(RecordWriter &out, DrawingContext &context, const GenShape &table,
                const Rect &where, bool inGroup) {
  const int rows = int(table.cells.size()), columns = int(columnsOf(table));
  out.open(kSpgrContainer);
  const Rect frame{0, 0, columns * kCellWidth, rows * kCellHeight};
  writeGroupOwnShape(out, context, frame, where, inGroup, {{kTableProperties, 1}});
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (isCovered(table.merges, r, c)) continue;
      const GenMerge span = spanAt(table.merges, r, c);
      const Rect cell{c * kCellWidth, r * kCellHeight, (c + span.columns) * kCellWidth,
                      (r + span.rows) * kCellHeight};
      const auto &row = table.cells[std::size_t(r)];
      const QString text = std::size_t(c) < row.size() ? row[std::size_t(c)] : QString();
      writeTextShape(out, context, kSptRectangle, {{text, QString()}}, cell, true);
    }
  }
  out.close();
}

}  // namespace

void writeTextAtoms(RecordWriter &out, std::uint32_t textType,
                    const std::vector<std::pair<QString, std::uint16_t>> &runs,
                    std::uint16_t size) {
  RecordWriter header;
  header.u32(textType);
  out.atom(0, 0, kTextHeaderAtom, header.bytes());
  QString stored;
  for (const auto &run : runs) stored += storedText(run.first);
  RecordWriter chars;
  chars.utf16(stored);
  out.atom(0, 0, kTextCharsAtom, chars.bytes());
  // One paragraph run and a character run per font run; the last one covers
  // the final CR as well.
  RecordWriter style;
  style.u32(static_cast<std::uint32_t>(stored.size() + 1));
  style.u16(0);  // indentLevel
  writeEmptyParaFormat(style);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const qsizetype length = storedText(runs[i].first).size() + (i + 1 == runs.size() ? 1 : 0);
    if (length == 0) continue;
    style.u32(static_cast<std::uint32_t>(length));
    writeCharFormat(style, size, runs[i].second);
  }
  out.atom(0, 0, kStyleTextPropAtom, style.bytes());
}

int shapeIdsOf(const GenShape &shape) {
  switch (shape.kind) {
    case GenShape::Kind::Group: {
      int ids = 1;
      for (const GenShape &member : shape.members) ids += shapeIdsOf(member);
      return ids;
    }
    case GenShape::Kind::Table: {
      int ids = 1;
      const int rows = int(shape.cells.size()), columns = int(columnsOf(shape));
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) ids += isCovered(shape.merges, r, c) ? 0 : 1;
      return ids;
    }
    default:
      return 1;
  }
}

void writeShape(RecordWriter &out, DrawingContext &context, const GenShape &shape,
                const Rect &where, bool inGroup) {
  switch (shape.kind) {
    case GenShape::Kind::Picture:
    case GenShape::Kind::EmbeddedObject:
      writePicture(out, context, shape, where, inGroup, {});
      break;
    case GenShape::Kind::FilledRectangle:
      writeFilledRectangle(out, context, shape, where, inGroup);
      break;
    case GenShape::Kind::Group:
      writeGroup(out, context, shape, where, inGroup, 0);
      break;
    case GenShape::Kind::Table:
      writeTable(out, context, shape, where, inGroup);
      break;
    case GenShape::Kind::RichText:
      writeTextShape(out, context, kSptTextBox, shape.runs, where, inGroup);
      break;
  }
}

void writeBackground(RecordWriter &out, DrawingContext &context, const GenFill &fill) {
  std::vector<Property> props = fillProperties(context, fill);
  props.push_back({kLineStyleBooleans, kNoLine});
  out.open(kSpContainer);
  writeShapeHeader(out, kSptRectangle, context.nextSpid(), kBackgroundShape);
  writeProperties(out, props);
  out.close();
}

void writeNotes(RecordWriter &out, DrawingContext &context, int drawingId, std::uint32_t slideId,
                const QString &text) {
  out.open(kNotes);
  RecordWriter atom;
  atom.u32(slideId);
  atom.u16(0);  // slideFlags: nothing of a notes master
  atom.u16(0);
  out.atom(1, 0, kNotesAtom, atom.bytes());
  out.open(kDrawing);
  out.open(kDgContainer);
  const std::uint32_t firstSpid = context.spid;
  out.header(0, static_cast<std::uint16_t>(drawingId), kFDG, 8);
  out.u32(2);              // csp: the group and the body
  out.u32(firstSpid + 1);  // spidCur
  out.open(kSpgrContainer);
  writePatriarch(out, context.spid);
  out.open(kSpContainer);
  writeShapeHeader(out, kSptRectangle, context.nextSpid(), kHaveAnchorAndType);
  writeProperties(out, {{kFillStyleBooleans, kNoFill}, {kLineStyleBooleans, kNoLine}});
  writeAnchor(out, {288, 2304, 5472, 5472});
  out.open(kClientData);
  RecordWriter placeholder;
  placeholder.u32(1);  // position in the layout
  placeholder.u8(kPlaceholderNotesBody);
  placeholder.u8(0);  // full size
  placeholder.u16(0);
  out.atom(0, 0, kPlaceholderAtom, placeholder.bytes());
  out.close();
  out.open(kClientTextbox);
  writeTextAtoms(out, kTextTypeNotes, {{text, 0}}, kTextSize);
  out.close();
  out.close();
  out.close();
  out.close();
  out.close();
  out.close();
}

}  // namespace morvane::pptgen::parts
