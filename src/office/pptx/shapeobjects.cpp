#include "office/pptx/shapeobjects.h"

#include <algorithm>

#include "common/error.h"
#include "office/pptx/textbody.h"

namespace office::pptx {

namespace {

// Office's typeface for text that names none and has no theme.
const QString kFallbackTypeface = QStringLiteral("Calibri");

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

QString outOfRange(std::int32_t index, std::size_t count) {
  return QStringLiteral("Index %1 is out of range (the collection has %2 items)")
      .arg(index)
      .arg(count);
}

bool isTitle(const ShapeModel &shape) {
  return shape.placeholderType == QLatin1String("title") ||
         shape.placeholderType == QLatin1String("ctrTitle");
}

// The typeface of text that names none: the theme's heading font for
// titles, its body font otherwise.
QString defaultTypeface(const PartContext &context, const ShapeModel *shape) {
  const Theme *theme = context.doc->themeOf(context.part);
  const QString face = !theme                     ? QString()
                       : shape && isTitle(*shape) ? theme->majorLatin
                                                  : theme->minorLatin;
  return face.isEmpty() ? kFallbackTypeface : face;
}

// Shape.Fill.Type of a fill. A shape without fill reports a solid fill, as
// PowerPoint does (its fill is then invisible).
PowerPoint::MsoFillType fillTypeOf(const Fill &fill) {
  switch (fill.kind) {
    case Fill::Kind::Gradient:
      return PowerPoint::msoFillGradient;
    case Fill::Kind::Pattern:
      return PowerPoint::msoFillPatterned;
    case Fill::Kind::Blip:
      return fill.tiled ? PowerPoint::msoFillTextured : PowerPoint::msoFillPicture;
    default:
      return PowerPoint::msoFillSolid;
  }
}

class FillObject : public PowerPoint::FillFormat {
 public:
  FillObject(PowerPoint::MsoFillType type, bool visible) : type_(type), visible_(visible) {}
  PowerPoint::MsoFillType Type() const override { return type_; }
  PowerPoint::MsoTriState Visible() const override {
    return visible_ ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }

 private:
  PowerPoint::MsoFillType type_;
  bool visible_;
};

// Whether a fill paints anything of its own (a fill of the slide's
// background counts: it shows that background).
bool isVisible(const Fill &fill) {
  return fill.kind != Fill::Kind::Unset && fill.kind != Fill::Kind::None;
}

class TextRangeObject : public PowerPoint::TextRange {
 public:
  TextRangeObject(std::shared_ptr<const ComposedText> text, qsizetype start, qsizetype length)
      : text_(std::move(text)), start_(start), length_(length) {}
  QString Text() const override { return text_->text.mid(start_, length_); }
  std::shared_ptr<PowerPoint::TextRange> Characters(std::int32_t start,
                                                    std::int32_t length) override {
    const qsizetype from = std::clamp<qsizetype>(qsizetype(start) - 1, 0, length_);
    const qsizetype count = std::clamp<qsizetype>(length, 0, length_ - from);
    return std::make_shared<TextRangeObject>(text_, start_ + from, count);
  }
  std::shared_ptr<PowerPoint::Font> Font() override {
    return std::make_shared<PowerPoint::NamedFont>(text_->typefaceAt(start_));
  }

 private:
  std::shared_ptr<const ComposedText> text_;
  qsizetype start_, length_;
};

class TextFrameObject : public PowerPoint::TextFrame {
 public:
  explicit TextFrameObject(std::shared_ptr<const ComposedText> text) : text_(std::move(text)) {}
  std::shared_ptr<PowerPoint::TextRange> TextRange() override {
    return std::make_shared<TextRangeObject>(text_, 0, text_->text.size());
  }
  PowerPoint::MsoTriState HasText() override {
    return text_->text.isEmpty() ? PowerPoint::msoFalse : PowerPoint::msoTrue;
  }

 private:
  std::shared_ptr<const ComposedText> text_;
};

std::shared_ptr<PowerPoint::TextFrame> textFrameOf(ComposedText text) {
  if (text.spans.empty()) text.spans.push_back({0, kFallbackTypeface});
  return std::make_shared<TextFrameObject>(std::make_shared<const ComposedText>(std::move(text)));
}

// Shape.Picture from the stored bytes.
PowerPoint::StoredPicture describe(const PictureBytes &bytes, const office::render::Crop &crop) {
  return storedPicture(bytes.bytes, bytes.format, crop);
}

class GroupShapesObject : public PowerPoint::GroupShapes {
 public:
  GroupShapesObject(PartContext context, ShapePath group)
      : context_(std::move(context)), group_(std::move(group)) {}
  std::int32_t Count() const override { return std::int32_t(group_.shape->children.size()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    const auto &children = group_.shape->children;
    if (index < 1 || std::size_t(index) > children.size()) fail(outOfRange(index, children.size()));
    ShapePath child{&children[std::size_t(index) - 1], group_.groups};
    child.groups.push_back(group_.shape);
    return makeShape(context_, child);
  }

 private:
  PartContext context_;
  ShapePath group_;
};

class ShapeObject : public PowerPoint::Shape {
 public:
  ShapeObject(PartContext context, ShapePath path)
      : context_(std::move(context)), path_(std::move(path)) {}

  std::int32_t Type() const override { return path_.shape->type; }

  void Export(const QString &pathName, PowerPoint::PpShapeFormat filter, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    warning_.clear();
    warning_ = writeShapePicture(shapePicture(context_, path_), pathName, filter);
  }

  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    if (!holdsText()) fail(QStringLiteral("This shape has no text frame"));
    const ShapeModel &shape = *path_.shape;
    const Theme *theme = context_.doc->themeOf(context_.part);
    const QString face = defaultTypeface(context_, &shape);
    ComposedText text;
    if (shape.table)
      composeTable(*shape.table, theme, face, text);
    else if (shape.text)
      composeText(*shape.text, theme, face, text);
    if (text.spans.empty()) text.spans.push_back({0, face});
    return textFrameOf(std::move(text));
  }

  PowerPoint::MsoTriState HasTextFrame() const override {
    return holdsText() ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }

  std::shared_ptr<PowerPoint::GroupShapes> GroupItems() override {
    if (path_.shape->element != Element::GroupSp) fail(QStringLiteral("This shape is not a group"));
    return std::make_shared<GroupShapesObject>(context_, path_);
  }

  std::shared_ptr<PowerPoint::FillFormat> Fill() override {
    const office::pptx::Fill fill = effectiveFill();
    const bool visible = path_.shape->useBackgroundFill || isVisible(fill);
    return std::make_shared<FillObject>(
        path_.shape->useBackgroundFill ? PowerPoint::msoFillBackground : fillTypeOf(fill), visible);
  }

  PowerPoint::StoredPicture Picture() override {
    office::render::Crop crop;
    const PictureBytes bytes = storedShapePicture(context_, path_, &crop);
    PowerPoint::StoredPicture stored = describe(bytes, crop);
    if (bytes.format == PictureFormat::Chart) stored.pixelSize = chartPixelSize(path_);
    return stored;
  }

  QByteArray OriginalPicture() override {
    return storedShapePicture(context_, path_, nullptr).bytes;
  }

  QString ExportWarning() const override { return warning_; }

  office::render::PictureSource storedSource() const {
    ShapePicture picture = shapePicture(context_, path_);
    if (!picture.stored) fail(QStringLiteral("The shape's picture is drawn, not stored"));
    return std::move(*picture.stored);
  }

 private:
  // Shapes that hold text in PowerPoint: auto shapes, text boxes,
  // placeholders (also WordArt) and tables.
  bool holdsText() const {
    const ShapeModel &shape = *path_.shape;
    return shape.element == Element::Sp ||
           (shape.element == Element::GraphicFrame && shape.content == FrameContent::Table);
  }

  // The shape's fill: its own, its group's for a group fill, else the
  // theme's fill its style refers to (auto shapes only).
  office::pptx::Fill effectiveFill() const {
    const ShapeModel *owner = path_.shape;
    for (auto group = path_.groups.rbegin();
         owner->fill.kind == Fill::Kind::Group && group != path_.groups.rend(); ++group)
      owner = *group;
    if (owner->fill.kind == Fill::Kind::Unset && owner->fillRef && owner->element == Element::Sp)
      if (const Theme *theme = context_.doc->themeOf(context_.part))
        return themeFill(*theme, *owner->fillRef);
    return owner->fill;
  }

  PartContext context_;
  ShapePath path_;
  QString warning_;
};

class CommentObject : public PowerPoint::Shape {
 public:
  CommentObject(PartContext context, QString text)
      : context_(std::move(context)), text_(std::move(text)) {}
  std::int32_t Type() const override { return PowerPoint::msoComment; }
  void Export(const QString &, PowerPoint::PpShapeFormat, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    fail(QStringLiteral("This shape cannot be exported: it holds no picture"));
  }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    ComposedText text;
    text.append(text_, defaultTypeface(context_, nullptr));
    return textFrameOf(std::move(text));
  }
  PowerPoint::MsoTriState HasTextFrame() const override { return PowerPoint::msoTrue; }

 private:
  PartContext context_;
  QString text_;
};

class BackgroundObject : public PowerPoint::Shape {
 public:
  explicit BackgroundObject(PartContext context) : context_(std::move(context)) {}
  std::int32_t Type() const override { return PowerPoint::msoAutoShape; }
  void Export(const QString &pathName, PowerPoint::PpShapeFormat filter, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    warning_ = writeShapePicture(backgroundPicture(context_), pathName, filter);
  }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    fail(QStringLiteral("This shape has no text frame"));
  }
  PowerPoint::MsoTriState HasTextFrame() const override { return PowerPoint::msoFalse; }
  std::shared_ptr<PowerPoint::FillFormat> Fill() override {
    const office::pptx::Fill fill = context_.doc->background(context_.part).fill;
    return std::make_shared<FillObject>(fillTypeOf(fill), isVisible(fill));
  }
  PowerPoint::StoredPicture Picture() override {
    office::render::Crop crop;
    const PictureBytes bytes = storedBackgroundPicture(context_, &crop);
    return describe(bytes, crop);
  }
  QByteArray OriginalPicture() override { return storedBackgroundPicture(context_, nullptr).bytes; }

  QString ExportWarning() const override { return warning_; }

  office::render::PictureSource storedSource() const {
    ShapePicture picture = backgroundPicture(context_);
    if (!picture.stored) fail(QStringLiteral("The background's picture is drawn, not stored"));
    return std::move(*picture.stored);
  }

 private:
  PartContext context_;
  QString warning_;
};

}  // namespace

std::shared_ptr<PowerPoint::Shape> makeShape(const PartContext &context, const ShapePath &path) {
  return std::make_shared<ShapeObject>(context, path);
}

std::shared_ptr<PowerPoint::Shape> makeComment(const PartContext &context, const QString &text) {
  return std::make_shared<CommentObject>(context, text);
}

std::shared_ptr<PowerPoint::Shape> makeBackground(const PartContext &context) {
  return std::make_shared<BackgroundObject>(context);
}

office::render::PictureSource storedSourceOf(PowerPoint::Shape &shape) {
  if (const auto *ours = dynamic_cast<const ShapeObject *>(&shape)) return ours->storedSource();
  if (const auto *ours = dynamic_cast<const BackgroundObject *>(&shape))
    return ours->storedSource();
  fail(QStringLiteral("The shape does not come from this reader or holds no picture"));
}

}  // namespace office::pptx
