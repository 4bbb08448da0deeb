// Reading the shape tree of a slide-like part (ECMA-376 Part 1, 19.3):
// p:cSld/p:bg and p:cSld/p:spTree, with the colour map of a master or the
// override of a slide or layout.

#include "office/pptx/slidemodel.h"

#include <algorithm>

#include "common/error.h"
#include "office/pptx/textbody.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

// Far beyond any real slide, and small enough that a hostile part cannot
// make the walks over it slow.
constexpr std::size_t kMaxShapesPerPart = 100000;
constexpr std::size_t kMaxTableCells = 100000;
constexpr std::size_t kMaxLayouts = 1000;
constexpr std::int64_t kMaxCoordinate = std::int64_t(1) << 40;

bool isOneOf(QStringView name, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (name == QLatin1StringView(n)) return true;
  return false;
}

std::int64_t coordinate(XmlStream &xml, const char *name) {
  return std::clamp<qint64>(xml.intAttribute(QLatin1StringView(name), 0), -kMaxCoordinate,
                            kMaxCoordinate);
}

void readColorMap(XmlStream &xml, ColorMap &map) {
  static const char *const names[] = {"bg1",     "tx1",     "bg2",     "tx2",
                                      "accent1", "accent2", "accent3", "accent4",
                                      "accent5", "accent6", "hlink",   "folHlink"};
  for (const char *name : names) {
    const QStringView value = xml.attribute(QLatin1StringView(name));
    if (!value.isEmpty()) map.insert(QLatin1String(name), value.toString());
  }
}

class SlideReader {
 public:
  explicit SlideReader(XmlStream &xml) : xml_(xml) {}

  SlideModel read(const QString &partName);

 private:
  void readCommonSlideData(SlideModel &slide);
  void readBackground(Background &background);
  void readTree(std::vector<ShapeModel> &out);
  bool readShapeElement(std::vector<ShapeModel> &out);
  void readAlternate(std::vector<ShapeModel> &out);
  void readNonVisual(ShapeModel &shape);
  void readPlaceholderAndMedia(ShapeModel &shape);
  void readShapeProperties(ShapeModel &shape);
  void readTransform(ShapeModel &shape);
  void readStyle(ShapeModel &shape);
  void readShape(ShapeModel &shape);
  void readPicture(ShapeModel &shape);
  void readGroup(ShapeModel &shape);
  void readGraphicFrame(ShapeModel &shape);
  void readGraphicData(ShapeModel &shape);
  void readTable(ShapeModel &shape);
  void readOle(OleObject &ole);
  void countShape();

  XmlStream &xml_;
  std::size_t shapes_ = 0;
};

SlideModel SlideReader::read(const QString &partName) {
  SlideModel slide;
  slide.partName = partName;
  while (xml_.nextChild(0)) {
    slide.rootElement = xml_.name().toString();
    while (xml_.nextChild(1)) {
      if (xml_.is(QLatin1StringView("cSld"))) {
        readCommonSlideData(slide);
      } else if (xml_.is(QLatin1StringView("clrMap"))) {
        readColorMap(xml_, slide.colorMap.emplace());
      } else if (xml_.is(QLatin1StringView("sldLayoutIdLst"))) {
        while (xml_.nextChild(2))
          if (slide.layoutRelIds.size() < kMaxLayouts)
            slide.layoutRelIds.push_back(
                xml_.relationshipAttribute(QLatin1StringView("id")).toString());
      } else if (xml_.is(QLatin1StringView("clrMapOvr"))) {
        while (xml_.nextChild(2))
          if (xml_.is(QLatin1StringView("overrideClrMapping")))
            readColorMap(xml_, slide.colorMap.emplace());
      }
    }
  }
  return slide;
}

void SlideReader::readCommonSlideData(SlideModel &slide) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("bg")))
      readBackground(slide.background);
    else if (xml_.is(QLatin1StringView("spTree")))
      readTree(slide.shapes);
  }
}

void SlideReader::readBackground(Background &background) {
  background.present = true;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("bgPr"))) {
      const int propertiesDepth = xml_.depth();
      while (xml_.nextChild(propertiesDepth)) readFill(xml_, background.fill);
    } else if (xml_.is(QLatin1StringView("bgRef"))) {
      StyleRef ref;
      ref.index = int(std::clamp<qint64>(xml_.intAttribute(QLatin1StringView("idx"), 0), 0, 9999));
      ref.color = readColorChild(xml_);
      background.styleRef = ref;
    }
  }
}

void SlideReader::countShape() {
  if (++shapes_ > kMaxShapesPerPart)
    xml_.failDamaged(QStringLiteral("more than %1 shapes").arg(kMaxShapesPerPart));
}

// The shapes among the children of the current element (spTree, grpSp,
// mc:Choice); the group's own properties are read by its caller.
void SlideReader::readTree(std::vector<ShapeModel> &out) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) readShapeElement(out);
}

bool SlideReader::readShapeElement(std::vector<ShapeModel> &out) {
  const QStringView name = xml_.name();
  if (name == QLatin1StringView("AlternateContent")) {
    readAlternate(out);
    return true;
  }
  ShapeModel shape;
  if (name == QLatin1StringView("sp")) {
    readShape(shape);
  } else if (name == QLatin1StringView("pic")) {
    readPicture(shape);
  } else if (name == QLatin1StringView("grpSp")) {
    readGroup(shape);
  } else if (name == QLatin1StringView("graphicFrame")) {
    readGraphicFrame(shape);
  } else if (name == QLatin1StringView("cxnSp")) {
    shape.element = Element::CxnSp;
    readShape(shape);
  } else if (name == QLatin1StringView("contentPart")) {
    shape.element = Element::ContentPart;
  } else {
    return false;
  }
  countShape();
  shape.type = officeShapeType(shape);
  out.push_back(std::move(shape));
  return true;
}

// mc:AlternateContent among shapes: the shapes of its first mc:Choice, or of
// its mc:Fallback when it has no choice.
void SlideReader::readAlternate(std::vector<ShapeModel> &out) {
  bool taken = false;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (taken) continue;
    if (xml_.is(QLatin1StringView("Choice")) || xml_.is(QLatin1StringView("Fallback"))) {
      readTree(out);
      taken = true;
    }
  }
}

// p:nvSpPr, p:nvPicPr, p:nvGrpSpPr, p:nvGraphicFramePr, p:nvCxnSpPr.
void SlideReader::readNonVisual(ShapeModel &shape) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("cNvPr")))
      shape.name = xml_.attribute(QLatin1StringView("name")).toString();
    else if (xml_.is(QLatin1StringView("cNvSpPr")))
      shape.textBox = xml_.boolAttribute(QLatin1StringView("txBox"), false);
    else if (xml_.is(QLatin1StringView("nvPr")))
      readPlaceholderAndMedia(shape);
  }
}

void SlideReader::readPlaceholderAndMedia(ShapeModel &shape) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("ph")) {
      shape.placeholder = true;
      const QStringView type = xml_.attribute(QLatin1StringView("type"));
      shape.placeholderType = type.isEmpty() ? QStringLiteral("obj") : type.toString();
    } else if (isOneOf(name,
                       {"videoFile", "audioFile", "quickTimeFile", "wavAudioFile", "audioCd"})) {
      shape.media = true;
    } else if (name == QLatin1StringView("extLst")) {
      const int listDepth = xml_.depth();
      while (xml_.nextChild(listDepth)) {
        const int extDepth = xml_.depth();
        while (xml_.nextChild(extDepth))
          if (xml_.is(QLatin1StringView("media"))) shape.media = true;
      }
    }
  }
}

void SlideReader::readTransform(ShapeModel &shape) {
  EmuRect frame, child;
  bool hasChild = false;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("off")) {
      frame.x = coordinate(xml_, "x");
      frame.y = coordinate(xml_, "y");
    } else if (name == QLatin1StringView("ext")) {
      frame.cx = coordinate(xml_, "cx");
      frame.cy = coordinate(xml_, "cy");
    } else if (name == QLatin1StringView("chOff")) {
      child.x = coordinate(xml_, "x");
      child.y = coordinate(xml_, "y");
      hasChild = true;
    } else if (name == QLatin1StringView("chExt")) {
      child.cx = coordinate(xml_, "cx");
      child.cy = coordinate(xml_, "cy");
      hasChild = true;
    }
  }
  shape.frame = frame;
  if (hasChild) shape.childFrame = child;
}

// p:spPr and p:grpSpPr: the frame and the shape's own fill.
void SlideReader::readShapeProperties(ShapeModel &shape) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("xfrm")))
      readTransform(shape);
    else
      readFill(xml_, shape.fill);
  }
}

void SlideReader::readStyle(ShapeModel &shape) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (!xml_.is(QLatin1StringView("fillRef"))) continue;
    StyleRef ref;
    ref.index = int(std::clamp<qint64>(xml_.intAttribute(QLatin1StringView("idx"), 0), 0, 9999));
    ref.color = readColorChild(xml_);
    shape.fillRef = ref;
  }
}

// p:sp and p:cxnSp.
void SlideReader::readShape(ShapeModel &shape) {
  shape.useBackgroundFill = xml_.boolAttribute(QLatin1StringView("useBgFill"), false);
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("nvSpPr") || name == QLatin1StringView("nvCxnSpPr"))
      readNonVisual(shape);
    else if (name == QLatin1StringView("spPr"))
      readShapeProperties(shape);
    else if (name == QLatin1StringView("style"))
      readStyle(shape);
    else if (name == QLatin1StringView("txBody"))
      shape.text = readTextBody(xml_, &shape.warpPreset);
  }
}

void SlideReader::readPicture(ShapeModel &shape) {
  shape.element = Element::Pic;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("nvPicPr"))
      readNonVisual(shape);
    else if (name == QLatin1StringView("blipFill"))
      shape.blip = readBlipFill(xml_);
    else if (name == QLatin1StringView("spPr"))
      readShapeProperties(shape);
    else if (name == QLatin1StringView("style"))
      readStyle(shape);
  }
}

void SlideReader::readGroup(ShapeModel &shape) {
  shape.element = Element::GroupSp;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("nvGrpSpPr"))
      readNonVisual(shape);
    else if (name == QLatin1StringView("grpSpPr"))
      readShapeProperties(shape);
    else
      readShapeElement(shape.children);
  }
}

void SlideReader::readGraphicFrame(ShapeModel &shape) {
  shape.element = Element::GraphicFrame;
  shape.content = FrameContent::Other;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("nvGraphicFramePr")) {
      readNonVisual(shape);
    } else if (name == QLatin1StringView("xfrm")) {
      readTransform(shape);
    } else if (name == QLatin1StringView("graphic")) {
      const int graphicDepth = xml_.depth();
      while (xml_.nextChild(graphicDepth))
        if (xml_.is(QLatin1StringView("graphicData"))) readGraphicData(shape);
    }
  }
}

// a:graphicData: what the frame holds, by its uri.
void SlideReader::readGraphicData(ShapeModel &shape) {
  const QString uri = xml_.attribute(QLatin1StringView("uri")).toString();
  const int depth = xml_.depth();
  if (uri.endsWith(QLatin1String("/table"))) {
    shape.content = FrameContent::Table;
    while (xml_.nextChild(depth))
      if (xml_.is(QLatin1StringView("tbl"))) readTable(shape);
  } else if (uri.endsWith(QLatin1String("/chart")) || uri.endsWith(QLatin1String("/chartex"))) {
    shape.content =
        uri.endsWith(QLatin1String("/chart")) ? FrameContent::Chart : FrameContent::ChartEx;
    while (xml_.nextChild(depth))
      if (xml_.is(QLatin1StringView("chart")))
        shape.chartRelId = xml_.relationshipAttribute(QLatin1StringView("id")).toString();
  } else if (uri.endsWith(QLatin1String("/ole"))) {
    shape.content = FrameContent::Ole;
    auto ole = std::make_shared<OleObject>();
    readOle(*ole);
    shape.ole = std::move(ole);
  }
}

// p:oleObj, also in both branches of an mc:AlternateContent: the program id
// of the first, and the preview picture (p:pic) of whichever has one.
void SlideReader::readOle(OleObject &ole) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("AlternateContent")) || xml_.is(QLatin1StringView("Choice")) ||
        xml_.is(QLatin1StringView("Fallback"))) {
      readOle(ole);
    } else if (xml_.is(QLatin1StringView("oleObj"))) {
      if (ole.progId.isEmpty()) ole.progId = xml_.attribute(QLatin1StringView("progId")).toString();
      if (ole.spid.isEmpty()) ole.spid = xml_.attribute(QLatin1StringView("spid")).toString();
      const int objectDepth = xml_.depth();
      while (xml_.nextChild(objectDepth)) {
        if (!xml_.is(QLatin1StringView("pic")) || ole.preview.present) continue;
        ShapeModel picture;
        readPicture(picture);
        ole.preview = picture.blip;
      }
    }
  }
}

void SlideReader::readTable(ShapeModel &shape) {
  auto table = std::make_shared<Table>();
  std::size_t cells = 0;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("tblGrid"))) {
      const int gridDepth = xml_.depth();
      while (xml_.nextChild(gridDepth))
        if (xml_.is(QLatin1StringView("gridCol"))) ++table->gridColumns;
    } else if (xml_.is(QLatin1StringView("tr"))) {
      std::vector<TableCell> &row = table->rows.emplace_back();
      const int rowDepth = xml_.depth();
      while (xml_.nextChild(rowDepth)) {
        if (!xml_.is(QLatin1StringView("tc"))) continue;
        if (++cells > kMaxTableCells)
          xml_.failDamaged(QStringLiteral("a table of more than %1 cells").arg(kMaxTableCells));
        TableCell cell;
        cell.covered = xml_.boolAttribute(QLatin1StringView("hMerge"), false) ||
                       xml_.boolAttribute(QLatin1StringView("vMerge"), false);
        const int cellDepth = xml_.depth();
        while (xml_.nextChild(cellDepth))
          if (xml_.is(QLatin1StringView("txBody"))) cell.text = readTextBody(xml_);
        row.push_back(std::move(cell));
      }
    }
  }
  if (std::size_t(table->gridColumns) > kMaxTableCells)
    xml_.failDamaged(QStringLiteral("a table of more than %1 columns").arg(kMaxTableCells));
  shape.table = std::move(table);
}

std::int32_t frameType(const ShapeModel &shape) {
  switch (shape.content) {
    case FrameContent::Table:
      return 19;  // msoTable
    case FrameContent::Chart:
    case FrameContent::ChartEx:
      return 3;  // msoChart
    case FrameContent::Ole: {
      const QString &progId = shape.ole ? shape.ole->progId : QString();
      const bool chart = progId.startsWith(QLatin1String("MSGraph.Chart")) ||
                         progId.startsWith(QLatin1String("Excel.Chart"));
      return chart ? 3 : 7;  // msoChart, msoEmbeddedOLEObject
    }
    default:
      return shape.placeholder ? 14 : 1;  // msoPlaceholder, msoAutoShape
  }
}

}  // namespace

// The Office shape type of a shape: groups 6; frames by content (tables 19,
// charts 3, OLE objects 3 for chart programs, else 7, anything else 14 in a
// placeholder or 1); pictures 16 for media, 11 when only linked, else 13;
// connectors 9; text boxes 17 (15 with a text warp, as WordArt is); other
// placeholders 14; everything else 1.
std::int32_t officeShapeType(const ShapeModel &shape) {
  switch (shape.element) {
    case Element::GroupSp:
      return 6;
    case Element::GraphicFrame:
      return frameType(shape);
    case Element::Pic:
      if (shape.media) return 16;
      return shape.blip.embed.isEmpty() && !shape.blip.link.isEmpty() ? 11 : 13;
    case Element::CxnSp:
      return 9;
    case Element::ContentPart:
      return 1;
    case Element::Sp:
      break;
  }
  if (shape.textBox) {
    const bool warped =
        !shape.warpPreset.isEmpty() && shape.warpPreset != QLatin1String("textNoShape");
    return warped ? 15 : 17;
  }
  return shape.placeholder ? 14 : 1;
}

SlideModel readSlidePart(const QByteArray &bytes, const QString &partName) {
  XmlStream xml(bytes, partName);
  return SlideReader(xml).read(partName);
}

}  // namespace office::pptx
