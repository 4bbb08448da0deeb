#include "office/ppt/drawing.h"

#include <algorithm>

#include "office/ppt/recordtypes.h"

namespace office::ppt {

void WorkBudget::spend(std::uint64_t units) {
  if (units > left_)
    throw morvane::Error(QStringLiteral(
        "the file is damaged (its records ask for more work than any presentation needs)"));
  left_ -= units;
}

const ShapeProperty *ShapeRecord::property(std::uint16_t id) const {
  for (const ShapeProperty &p : properties)
    if (p.id == id) return &p;
  return nullptr;
}

bool ShapeRecord::isFrame() const {
  return !isGroup && (shapeType == spt::PictureFrame || shapeType == spt::HostControl);
}

namespace {

constexpr std::uint16_t kFopteBlipId = 0x4000;
constexpr std::uint16_t kFopteComplex = 0x8000;
constexpr std::uint8_t kActionOle = 5;
constexpr std::uint8_t kActionMedia = 6;

void readProperties(const Record &fopt, std::vector<ShapeProperty> &out) {
  morvane::ByteReader body = fopt.body;
  const std::size_t count = std::min<std::size_t>(fopt.recInstance, body.size() / 6);
  const std::size_t first = out.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t opid = body.u16();
    ShapeProperty p;
    p.id = opid & 0x3FFF;
    p.blipId = (opid & kFopteBlipId) != 0;
    p.complex = (opid & kFopteComplex) != 0;
    p.value = body.u32();
    out.push_back(p);
  }
  // Complex data follows the table in the order of the entries; a short
  // record leaves the later ones truncated or empty.
  for (std::size_t i = first; i < out.size(); ++i) {
    if (!out[i].complex) continue;
    out[i].complexData = body.sub(std::min<std::uint64_t>(out[i].value, body.remaining()));
  }
}

Anchor readClientAnchor(morvane::ByteReader body) {
  Anchor a;
  if (body.size() >= 16) {
    a.top = body.i32();
    a.left = body.i32();
    a.right = body.i32();
    a.bottom = body.i32();
  } else {
    a.top = body.i16();
    a.left = body.i16();
    a.right = body.i16();
    a.bottom = body.i16();
  }
  return a;
}

Anchor readChildAnchor(morvane::ByteReader body) {
  Anchor a;
  a.left = body.i32();
  a.top = body.i32();
  a.right = body.i32();
  a.bottom = body.i32();
  return a;
}

// ClientData holds PowerPoint records; damage inside it loses only what
// follows the damage.
void readClientData(morvane::ByteReader body, ShapeRecord &shape, WorkBudget &budget) {
  try {
    forEachChild(body, [&](Record &r) {
      budget.spend();
      switch (r.recType) {
        case rt::OEPlaceholderAtom:
        case rt::RoundTripHFPlaceholder12Atom:
          shape.placeholder = true;
          break;
        case rt::ExObjRefAtom:
          if (r.body.size() >= 4) shape.exObjRef = r.body.u32();
          break;
        case rt::InteractiveInfo:
          if (auto atom = findChild(r.body, rt::InteractiveInfoAtom);
              atom && atom->body.size() >= 9) {
            atom->body.skip(8);
            shape.interactiveAction = atom->body.u8();
          }
          break;
        default:
          break;
      }
      return true;
    });
  } catch (const morvane::Error &) {
  }
}

void readShapeChildren(morvane::ByteReader body, ShapeRecord &shape, WorkBudget &budget) {
  forEachChild(body, [&](Record &r) {
    budget.spend();
    switch (r.recType) {
      case rt::FSP:
        shape.shapeType = r.recInstance;
        if (r.body.size() >= 8) {
          r.body.skip(4);
          shape.flags = r.body.u32();
        }
        break;
      case rt::FOPT:
      case rt::SecondaryFOPT:
      case rt::TertiaryFOPT:
        readProperties(r, shape.properties);
        break;
      case rt::ClientAnchor:
        if (r.body.size() >= 8) shape.anchor = readClientAnchor(r.body);
        break;
      case rt::ChildAnchor:
        if (r.body.size() >= 16) shape.anchor = readChildAnchor(r.body);
        break;
      case rt::FSPGR:
        if (r.body.size() >= 16) shape.groupFrame = readChildAnchor(r.body);
        break;
      case rt::ClientData:
        readClientData(r.body, shape, budget);
        break;
      case rt::ClientTextbox:
        shape.clientTextbox = r.body;
        break;
      default:
        break;
    }
    return true;
  });
}

}  // namespace

bool ShapeRecord::refersToObject() const {
  return isFrame() &&
         (exObjRef || interactiveAction == kActionOle || interactiveAction == kActionMedia);
}

ShapeRecord readShapeRecord(const Record &container, WorkBudget &budget) {
  ShapeRecord shape;
  if (container.recType == rt::SpgrContainer) {
    shape.isGroup = true;
    shape.groupBody = container.body;
    // The group's own properties live in its first spContainer.
    if (auto own = findChild(container.body, rt::SpContainer))
      readShapeChildren(own->body, shape, budget);
  } else {
    readShapeChildren(container.body, shape, budget);
  }
  return shape;
}

std::vector<ShapeRecord> readGroupMembers(const ShapeRecord &group, WorkBudget &budget) {
  std::vector<ShapeRecord> members;
  if (!group.isGroup) return members;
  bool first = true;
  forEachChild(group.groupBody, [&](Record &r) {
    budget.spend();
    const bool isShape = r.recType == rt::SpContainer || r.recType == rt::SpgrContainer;
    const bool groupOwnShape = first && r.recType == rt::SpContainer;
    first = false;
    if (isShape && !groupOwnShape) members.push_back(readShapeRecord(r, budget));
    return true;
  });
  return members;
}

std::vector<ShapeRecord> readTopLevelShapes(morvane::ByteReader ppDrawingBody, WorkBudget &budget) {
  std::vector<ShapeRecord> shapes;
  const auto dg = findChild(ppDrawingBody, rt::DgContainer);
  if (!dg) return shapes;
  const auto patriarch = findChild(dg->body, rt::SpgrContainer);
  if (!patriarch) return shapes;
  for (ShapeRecord &shape : readGroupMembers(readShapeRecord(*patriarch, budget), budget))
    if (!shape.isBackground() && !shape.isPatriarch()) shapes.push_back(std::move(shape));
  return shapes;
}

std::optional<ShapeRecord> readBackgroundShape(morvane::ByteReader ppDrawingBody,
                                               WorkBudget &budget) {
  const auto dg = findChild(ppDrawingBody, rt::DgContainer);
  if (!dg) return std::nullopt;
  std::optional<ShapeRecord> background;
  forEachChild(dg->body, [&](Record &r) {
    budget.spend();
    if (r.recType != rt::SpContainer) return true;
    ShapeRecord shape = readShapeRecord(r, budget);
    if (!shape.isBackground()) return true;
    background = std::move(shape);
    return false;
  });
  return background;
}

namespace {

bool isLinkedPicture(const ShapeRecord &shape) {
  const ShapeProperty *flags = shape.property(prop::pibFlags);
  if (flags && (flags->value & 0x08)) return true;
  const ShapeProperty *name = shape.property(prop::pibName);
  if (shape.property(prop::pib) || !name || name->complexData.size() == 0) return false;
  const std::uint32_t kind = flags ? (flags->value & 3) : 0;
  return kind == 1 || kind == 2;
}

std::int32_t objectFrameType(const ShapeRecord &shape,
                             const std::map<std::uint32_t, ExObject> &objects) {
  const ExObject *object = nullptr;
  if (shape.exObjRef) {
    const auto found = objects.find(*shape.exObjRef);
    if (found != objects.end()) object = &found->second;
  }
  if (shape.interactiveAction == kActionMedia || (object && object->kind == ExObjKind::Media))
    return 16;                               // msoMedia
  return object && object->isChart ? 3 : 7;  // msoChart : msoEmbeddedOLEObject
}

}  // namespace

std::int32_t officeShapeType(const ShapeRecord &shape,
                             const std::map<std::uint32_t, ExObject> &objects) {
  if (shape.isGroup) {
    const ShapeProperty *table = shape.property(prop::tableProperties);
    return table && (table->value & 1) ? 19 : 6;  // msoTable : msoGroup
  }
  if (shape.refersToObject()) return objectFrameType(shape, objects);
  if (shape.isFrame()) return isLinkedPicture(shape) ? 11 : 13;  // msoLinkedPicture : msoPicture
  if (shape.placeholder) return 14;                              // msoPlaceholder
  if (shape.shapeType == spt::TextBox) return 17;                // msoTextBox
  if (shape.shapeType >= spt::FirstWordArt && shape.shapeType <= spt::LastWordArt)
    return 15;                                 // msoTextEffect
  if (shape.shapeType == spt::Line) return 9;  // msoLine
  return 1;                                    // msoAutoShape
}

QString decodeTextAtom(const Record &atom) {
  morvane::ByteReader body = atom.body;
  if (atom.recType == rt::TextBytesAtom)
    return QString::fromLatin1(reinterpret_cast<const char *>(body.data()), qsizetype(body.size()));
  QString text(qsizetype(body.size() / 2), Qt::Uninitialized);
  for (QChar &c : text) c = QChar(body.u16());
  return text;
}

namespace {

bool isTextAtom(const Record &r) {
  return r.recType == rt::TextCharsAtom || r.recType == rt::TextBytesAtom;
}

// Reads a text atom and the StyleTextPropAtom after it (before the next text
// header) from records; stops at the next TextHeaderAtom.
struct TextCollector {
  std::optional<StoredText> text;
  bool done = false;

  // True while more records may belong to the text.
  bool take(const Record &r) {
    if (r.recType == rt::TextHeaderAtom && text) return false;
    if (!text && isTextAtom(r)) {
      text = StoredText{decodeTextAtom(r), std::nullopt};
    } else if (text && r.recType == rt::StyleTextPropAtom) {
      text->style = r.body;
      return false;
    }
    return true;
  }
};

}  // namespace

std::optional<StoredText> textboxText(morvane::ByteReader clientTextbox,
                                      std::optional<std::int32_t> &outlineIndex) {
  TextCollector collector;
  try {
    forEachChild(clientTextbox, [&](Record &r) {
      if (!collector.text && r.recType == rt::OutlineTextRefAtom && r.body.size() >= 4)
        outlineIndex = r.body.i32();
      return collector.take(r);
    });
  } catch (const morvane::Error &) {
    // Damage after the text atom loses only its formatting.
    if (!collector.text) throw;
  }
  return collector.text;
}

StoredText outlineText(morvane::ByteReader slideTexts, std::int32_t index) {
  TextCollector collector;
  std::int32_t header = -1;
  try {
    forEachChild(slideTexts, [&](Record &r) {
      if (r.recType == rt::TextHeaderAtom && !collector.text) {
        ++header;
        return header <= index;
      }
      return header == index ? collector.take(r) : true;
    });
  } catch (const morvane::Error &) {
    if (!collector.text) throw;
  }
  return collector.text.value_or(StoredText{});
}

namespace {

QString complexString(const ShapeRecord &shape, std::uint16_t id) {
  const ShapeProperty *p = shape.property(id);
  if (!p || !p->complex) return QString();
  Record asChars;
  asChars.recType = rt::TextCharsAtom;
  asChars.body = p->complexData;
  QString text = decodeTextAtom(asChars);
  while (text.endsWith(QChar(0))) text.chop(1);
  return text;
}

}  // namespace

QString wordArtText(const ShapeRecord &shape) { return complexString(shape, prop::gtextUNICODE); }

QString wordArtFont(const ShapeRecord &shape) { return complexString(shape, prop::gtextFont); }

namespace {

// Edges closer than this (in the group's coordinates) are one grid line.
constexpr std::int32_t kEdgeTolerance = 4;
// Grids larger than this are not laid out (no real table comes near).
constexpr std::uint64_t kMaxGridCells = 1u << 20;
constexpr int kNoCell = -2;

std::vector<ShapeRecord> tableCells(const ShapeRecord &table, WorkBudget &budget) {
  std::vector<ShapeRecord> cells;
  bool first = true;
  forEachChild(table.groupBody, [&](Record &r) {
    budget.spend();
    const bool own = first;
    first = false;
    if (own || r.recType != rt::SpContainer) return true;
    ShapeRecord cell = readShapeRecord(r, budget);
    if (cell.shapeType != spt::Line) cells.push_back(std::move(cell));
    return true;
  });
  // Reading order: top to bottom, then left to right; cells without an
  // anchor go last in record order.
  std::stable_sort(cells.begin(), cells.end(), [](const ShapeRecord &a, const ShapeRecord &b) {
    if (!a.anchor || !b.anchor) return a.anchor.has_value() && !b.anchor.has_value();
    if (a.anchor->top != b.anchor->top) return a.anchor->top < b.anchor->top;
    return a.anchor->left < b.anchor->left;
  });
  return cells;
}

// Rows of cells that share their top edge, for tables without a grid.
std::vector<std::vector<int>> rowsByTop(const std::vector<ShapeRecord> &cells) {
  std::vector<std::vector<int>> rows;
  std::optional<std::int32_t> rowTop;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::optional<std::int32_t> top =
        cells[i].anchor ? std::optional<std::int32_t>(cells[i].anchor->top) : std::nullopt;
    if (rows.empty() || top != rowTop || !top) rows.emplace_back();
    rowTop = top;
    rows.back().push_back(int(i));
  }
  return rows;
}

// Sorted grid lines from cell edges, edges within kEdgeTolerance merged.
std::vector<std::int32_t> gridLines(std::vector<std::int32_t> edges) {
  std::sort(edges.begin(), edges.end());
  std::vector<std::int32_t> lines;
  for (std::int32_t edge : edges)
    if (lines.empty() || std::int64_t(edge) - lines.back() > kEdgeTolerance) lines.push_back(edge);
  return lines;
}

std::size_t lineIndex(const std::vector<std::int32_t> &lines, std::int32_t edge) {
  const auto at = std::upper_bound(lines.begin(), lines.end(), std::int64_t(edge) + kEdgeTolerance,
                                   [](std::int64_t v, std::int32_t line) { return v < line; });
  return at == lines.begin() ? 0 : std::size_t(at - lines.begin() - 1);
}

// Lays the cells out on the grid their edges form; false when they do not
// form one (a cell without an anchor, overlapping cells, an oversized grid).
bool layOutGrid(const std::vector<ShapeRecord> &cells, std::vector<std::vector<int>> &rows,
                WorkBudget &budget) {
  std::vector<std::int32_t> xs, ys;
  for (const ShapeRecord &cell : cells) {
    if (!cell.anchor) return false;
    xs.insert(xs.end(), {cell.anchor->left, cell.anchor->right});
    ys.insert(ys.end(), {cell.anchor->top, cell.anchor->bottom});
  }
  const std::vector<std::int32_t> columnLines = gridLines(xs), rowLines = gridLines(ys);
  if (columnLines.size() < 2 || rowLines.size() < 2) return false;
  const std::size_t columns = columnLines.size() - 1, rowCount = rowLines.size() - 1;
  if (std::uint64_t(columns) * rowCount > kMaxGridCells) return false;
  budget.spend(std::uint64_t(columns) * rowCount);
  std::vector<std::vector<int>> grid(rowCount, std::vector<int>(columns, kNoCell));
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const Anchor &a = *cells[i].anchor;
    const std::size_t top = lineIndex(rowLines, a.top), left = lineIndex(columnLines, a.left);
    const std::size_t bottom = std::max(top + 1, lineIndex(rowLines, a.bottom));
    const std::size_t right = std::max(left + 1, lineIndex(columnLines, a.right));
    for (std::size_t r = top; r < std::min(bottom, rowCount); ++r)
      for (std::size_t c = left; c < std::min(right, columns); ++c) {
        if (grid[r][c] != kNoCell) return false;
        grid[r][c] = r == top && c == left ? int(i) : TableGrid::kCoveredCell;
      }
  }
  for (std::vector<int> &row : grid)
    for (int &cell : row)
      if (cell == kNoCell) cell = TableGrid::kCoveredCell;
  rows = std::move(grid);
  return true;
}

}  // namespace

TableGrid tableGrid(const ShapeRecord &table, WorkBudget &budget) {
  TableGrid grid;
  grid.cells = tableCells(table, budget);
  if (!layOutGrid(grid.cells, grid.rows, budget)) grid.rows = rowsByTop(grid.cells);
  return grid;
}

office::render::Crop cropOf(const ShapeRecord &shape) {
  const auto fraction = [&](std::uint16_t id) {
    const ShapeProperty *p = shape.property(id);
    return p ? double(std::int32_t(p->value)) / 65536.0 : 0.0;
  };
  office::render::Crop crop;
  crop.top = fraction(prop::cropFromTop);
  crop.bottom = fraction(prop::cropFromBottom);
  crop.left = fraction(prop::cropFromLeft);
  crop.right = fraction(prop::cropFromRight);
  return crop;
}

}  // namespace office::ppt
