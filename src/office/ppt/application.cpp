#include "office/ppt/application.h"

#include <vector>

#include "common/error.h"
#include "office/ppt/document.h"
#include "office/ppt/recordtypes.h"
#include "office/render/export.h"

namespace office::ppt {

namespace {

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

QString outOfRange(std::int32_t index, std::size_t count) {
  return QStringLiteral("Index %1 is out of range (the collection has %2 items)")
      .arg(index)
      .arg(count);
}

bool canHoldText(std::int32_t type) {
  switch (type) {
    case 3:   // msoChart
    case 6:   // msoGroup
    case 7:   // msoEmbeddedOLEObject
    case 11:  // msoLinkedPicture
    case 13:  // msoPicture
    case 16:  // msoMedia
      return false;
    default:
      return true;
  }
}

class TextRange : public PowerPoint::TextRange {
 public:
  explicit TextRange(QString text) : text_(std::move(text)) {}
  QString Text() const override { return text_; }

 private:
  QString text_;
};

class TextFrame : public PowerPoint::TextFrame {
 public:
  TextFrame(std::shared_ptr<Document> doc, std::size_t slide, const SlideShape *shape)
      : doc_(std::move(doc)), slide_(slide), shape_(shape) {}
  std::shared_ptr<PowerPoint::TextRange> TextRange() override {
    return std::make_shared<ppt::TextRange>(doc_->shapeText(slide_, *shape_));
  }

 private:
  std::shared_ptr<Document> doc_;
  std::size_t slide_;
  const SlideShape *shape_;
};

class Shape : public PowerPoint::Shape {
 public:
  Shape(std::shared_ptr<Document> doc, std::size_t slide, const SlideShape *shape)
      : doc_(std::move(doc)), slide_(slide), shape_(shape) {}

  std::int32_t Type() const override { return shape_->type; }

  void Export(const QString &path, PowerPoint::PpShapeFormat filter, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    if (filter != PowerPoint::ppShapeFormatJPG && filter != PowerPoint::ppShapeFormatBMP)
      fail(QStringLiteral("Export filter %1 is not supported").arg(int(filter)));
    const office::render::PictureSource picture = pictureOfShape();
    if (filter == PowerPoint::ppShapeFormatJPG)
      office::render::exportJpeg(picture, path);
    else
      office::render::exportBmp(picture, path);
  }

  office::render::PictureSource picture() const { return pictureOfShape(); }

  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    if (!canHoldText(shape_->type)) fail(QStringLiteral("This shape has no text frame"));
    return std::make_shared<ppt::TextFrame>(doc_, slide_, shape_);
  }

 private:
  office::render::PictureSource pictureOfShape() const {
    const ShapeRecord &record = shape_->record;
    const ShapeProperty *pib = record.property(prop::pib);
    if (!pib || shape_->type == 4)
      fail(QStringLiteral("This shape cannot be exported: it holds no picture"));
    auto picture = doc_->pictures().load(pib->value);
    if (!picture)
      throw morvane::PictureError(
          QStringLiteral(
              "the picture is missing from the file (entry %1 of its picture store holds "
              "none)")
              .arg(pib->value));
    picture->crop = cropOf(record);
    if (record.anchor) {
      constexpr double kMasterUnitsPerInch = 576.0;
      const double width = double(record.anchor->right) - record.anchor->left;
      const double height = double(record.anchor->bottom) - record.anchor->top;
      if (width > 0 && height > 0)
        picture->shapeSizeInches =
            QSizeF(width / kMasterUnitsPerInch, height / kMasterUnitsPerInch);
    }
    return std::move(*picture);
  }

  std::shared_ptr<Document> doc_;
  std::size_t slide_;
  const SlideShape *shape_;
};

class Shapes : public PowerPoint::Shapes {
 public:
  Shapes(std::shared_ptr<Document> doc, std::size_t slide)
      : doc_(std::move(doc)), slide_(slide), shapes_(&doc_->slideShapes(slide)) {}
  std::int32_t Count() const override { return std::int32_t(shapes_->size()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    if (index < 1 || std::size_t(index) > shapes_->size()) fail(outOfRange(index, shapes_->size()));
    return std::make_shared<ppt::Shape>(doc_, slide_, &(*shapes_)[std::size_t(index) - 1]);
  }

 private:
  std::shared_ptr<Document> doc_;
  std::size_t slide_;
  const std::vector<SlideShape> *shapes_;
};

class Slide : public PowerPoint::Slide {
 public:
  Slide(std::shared_ptr<Document> doc, std::size_t index) : doc_(std::move(doc)), index_(index) {}
  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    return std::make_shared<ppt::Shapes>(doc_, index_);
  }

 private:
  std::shared_ptr<Document> doc_;
  std::size_t index_;
};

class Slides : public PowerPoint::Slides {
 public:
  explicit Slides(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::int32_t Count() const override { return std::int32_t(doc_->slideCount()); }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t index) override {
    if (index < 1 || std::size_t(index) > doc_->slideCount())
      fail(outOfRange(index, doc_->slideCount()));
    return std::make_shared<ppt::Slide>(doc_, std::size_t(index) - 1);
  }

 private:
  std::shared_ptr<Document> doc_;
};

class Presentation : public PowerPoint::Presentation {
 public:
  explicit Presentation(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::shared_ptr<PowerPoint::Slides> Slides() override {
    return std::make_shared<ppt::Slides>(doc_);
  }

 private:
  std::shared_ptr<Document> doc_;
};

}  // namespace

std::shared_ptr<PowerPoint::Presentation> openPresentationFile(const QString &path) {
  return std::make_shared<ppt::Presentation>(Document::open(path));
}

std::shared_ptr<PowerPoint::Presentation> openPresentation(const QByteArray &bytes) {
  return std::make_shared<ppt::Presentation>(Document::openBytes(bytes));
}

office::render::PictureSource pictureOf(PowerPoint::Shape &shape) {
  const auto *ours = dynamic_cast<const ppt::Shape *>(&shape);
  if (!ours) fail(QStringLiteral("The shape does not come from this reader"));
  return ours->picture();
}

}  // namespace office::ppt
