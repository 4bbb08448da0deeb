#pragma once

// A slide, layout, master or notes slide read from its part into plain
// values: the background, the shape tree in document order (= z-order) with
// the Office shape type of each shape, and the text, tables, pictures,
// charts and embedded objects the object model hands out. Reading streams
// the part once; nothing of the XML is kept.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "office/pptx/drawingml.h"

namespace office::pptx {

// One run of text as stored: its characters and the typefaces it names.
struct TextRun {
  enum class Kind { Text, Break };
  Kind kind = Kind::Text;
  QString text;
  QString latin, eastAsian, complexScript, symbol;  // typefaces; empty when not given
  bool latinSymbolCharset = false;                  // a:latin charset="2" (SYMBOL_CHARSET)
  bool symbolSymbolCharset = false;                 // a:sym charset="2"
};

struct Paragraph {
  std::vector<TextRun> runs;
};

struct TextBody {
  std::vector<Paragraph> paragraphs;
  bool hasText() const;
};

struct TableCell {
  TextBody text;
  bool covered = false;  // hMerge or vMerge: part of a merged cell
};

struct Table {
  int gridColumns = 0;
  std::vector<std::vector<TableCell>> rows;
};

struct OleObject {
  QString progId;
  QString spid;  // the legacy drawing shape that holds the preview
  BlipRef preview;
};

enum class Element { Sp, Pic, GroupSp, GraphicFrame, CxnSp, ContentPart };
enum class FrameContent { None, Table, Chart, ChartEx, Ole, Other };

// A rectangle in EMUs (914400 per inch).
struct EmuRect {
  std::int64_t x = 0, y = 0, cx = 0, cy = 0;
};

struct ShapeModel {
  Element element = Element::Sp;
  std::int32_t type = 1;  // Office shape type
  QString name;
  std::optional<EmuRect> frame;       // a:xfrm off/ext, p:xfrm for frames
  std::optional<EmuRect> childFrame;  // groups: chOff/chExt
  bool placeholder = false;
  QString placeholderType;  // "title", "body" ... ("obj" when not given)
  bool textBox = false;
  QString warpPreset;
  Fill fill;                       // spPr's own fill; Kind::Unset when it has none
  bool useBackgroundFill = false;  // p:sp useBgFill: shows the slide's background
  std::optional<StyleRef> fillRef;
  bool media = false;
  std::optional<TextBody> text;
  BlipRef blip;  // p:pic's picture
  FrameContent content = FrameContent::None;
  QString chartRelId;
  std::shared_ptr<const Table> table;
  std::shared_ptr<const OleObject> ole;
  std::vector<ShapeModel> children;  // groups
};

struct Background {
  bool present = false;
  Fill fill;                         // p:bgPr
  std::optional<StyleRef> styleRef;  // p:bgRef
};

struct SlideModel {
  QString partName;
  QString rootElement;  // "sld", "sldLayout", "sldMaster", "notes", "notesMaster"

  Background background;
  std::vector<ShapeModel> shapes;
  std::optional<ColorMap> colorMap;   // p:clrMap (masters) or an override
  std::vector<QString> layoutRelIds;  // masters: p:sldLayoutIdLst
};

// Reads a slide, layout, master or notes part; throws morvane::Error when it
// is not well-formed or exceeds the limits on shapes and nesting.
SlideModel readSlidePart(const QByteArray &xml, const QString &partName);

// Office shape type rules for one shape read from a slide (see slidereader.cpp).
std::int32_t officeShapeType(const ShapeModel &shape);

}  // namespace office::pptx
