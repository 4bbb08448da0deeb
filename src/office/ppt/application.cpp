#include "office/ppt/application.h"

#include <algorithm>
#include <vector>

#include "common/error.h"
#include "office/ppt/document.h"
#include "office/ppt/picturefile.h"
#include "office/ppt/recordtypes.h"
#include "office/render/export.h"

namespace office::ppt {

namespace {

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

[[noreturn]] void failMissingPicture() {
  throw morvane::PictureError(QStringLiteral("The picture of this shape is missing from the file"));
}

QString outOfRange(std::int32_t index, std::size_t count) {
  return QStringLiteral("Index %1 is out of range (the collection has %2 items)")
      .arg(index)
      .arg(count);
}

void checkIndex(std::int32_t index, std::size_t count) {
  if (index < 1 || std::size_t(index) > count) fail(outOfRange(index, count));
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

constexpr double kMasterUnitsPerInch = 576.0;

class TextRange : public PowerPoint::TextRange {
 public:
  TextRange(RichText text, QString defaultFont)
      : text_(std::move(text)), defaultFont_(std::move(defaultFont)) {}
  QString Text() const override { return text_.text; }

  std::shared_ptr<PowerPoint::TextRange> Characters(std::int32_t start,
                                                    std::int32_t length) override {
    const qsizetype size = text_.text.size();
    const qsizetype from = std::clamp<qsizetype>(qsizetype(start) - 1, 0, size);
    const qsizetype count = std::clamp<qsizetype>(length, 0, size - from);
    return std::make_shared<ppt::TextRange>(slice(from, count), defaultFont_);
  }

  std::shared_ptr<PowerPoint::Font> Font() override {
    return std::make_shared<PowerPoint::NamedFont>(text_.fonts.empty() ? defaultFont_
                                                                       : text_.fonts.front().font);
  }

 private:
  // Characters from .. from + count - 1; an empty range keeps the font at from.
  RichText slice(qsizetype from, qsizetype count) const {
    RichText part;
    qsizetype at = 0;
    for (const FontSpan &span : text_.fonts) {
      const qsizetype begin = std::max(at, from), end = std::min(at + span.length, from + count);
      if (end > begin) part.append(text_.text.mid(begin, end - begin), span.font);
      if (count == 0 && from >= at && from <= at + span.length && part.fonts.empty())
        part.fonts.push_back({0, span.font});
      at += span.length;
    }
    return part;
  }

  RichText text_;
  QString defaultFont_;
};

class TextFrame : public PowerPoint::TextFrame {
 public:
  TextFrame(std::shared_ptr<Document> doc, PageIndex page, const SlideShape *shape)
      : doc_(std::move(doc)), page_(page), shape_(shape) {}
  std::shared_ptr<PowerPoint::TextRange> TextRange() override {
    return std::make_shared<ppt::TextRange>(doc_->shapeText(page_, *shape_), doc_->defaultFont());
  }
  PowerPoint::MsoTriState HasText() override {
    return doc_->shapeText(page_, *shape_).text.isEmpty() ? PowerPoint::msoFalse
                                                          : PowerPoint::msoTrue;
  }

 private:
  std::shared_ptr<Document> doc_;
  PageIndex page_;
  const SlideShape *shape_;
};

class FillFormat : public PowerPoint::FillFormat {
 public:
  explicit FillFormat(Fill fill) : fill_(std::move(fill)) {}
  PowerPoint::MsoFillType Type() const override {
    switch (fill_.kind) {
      case FillKind::Solid:
        return PowerPoint::msoFillSolid;
      case FillKind::Pattern:
        return PowerPoint::msoFillPatterned;
      case FillKind::Texture:
        return fill_.picture ? PowerPoint::msoFillTextured : PowerPoint::msoFillSolid;
      case FillKind::Picture:
        return fill_.picture ? PowerPoint::msoFillPicture : PowerPoint::msoFillSolid;
      case FillKind::Gradient:
        return PowerPoint::msoFillGradient;
      case FillKind::Background:
        return PowerPoint::msoFillBackground;
    }
    return PowerPoint::msoFillSolid;
  }
  PowerPoint::MsoTriState Visible() const override {
    return fill_.visible ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }

 private:
  Fill fill_;
};

// Where a shape's picture comes from and how it sits on the page.
struct PicturePlace {
  FillPicture picture;
  bool isFill = false;  // the shape's picture fill rather than its own picture
};

// The picture a shape shows: its own (pictures, objects' previews), else its
// picture or texture fill.
std::optional<PicturePlace> placeOf(Document &doc, PageIndex page, const ShapeRecord &shape) {
  const ShapeProperty *pib = shape.property(prop::pib);
  if (pib && !pib->complex && pib->value != 0)
    return PicturePlace{FillPicture{pib->value, {}}, false};
  const Fill fill = doc.fillOf(page, shape);
  if (fill.picture && (fill.kind == FillKind::Picture || fill.kind == FillKind::Texture))
    return PicturePlace{*fill.picture, true};
  return std::nullopt;
}

// Runs a read of the picture store: a picture that cannot be read at all is a
// picture error, whatever the store found wrong.
template <class Read>
auto readPicture(Read read) {
  try {
    auto result = read();
    if (!result) failMissingPicture();
    return std::move(*result);
  } catch (const morvane::PictureError &) {
    throw;
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
}

office::render::PictureSource loadPicture(Document &doc, const FillPicture &picture) {
  return readPicture([&] {
    return picture.blipRecord ? decodeBlip(*picture.blipRecord) : doc.pictures().load(picture.pib);
  });
}

// JPEG pictures are opaque; a crop that extends the picture uncovers its
// frame.
bool coversItsFrame(const office::render::PictureSource &picture) {
  const office::render::Crop &c = picture.crop;
  return picture.format == office::render::BlipFormat::Jpeg && c.left >= 0 && c.top >= 0 &&
         c.right >= 0 && c.bottom >= 0;
}

// What the picture-bearing members of Shape share: Export, Picture and
// OriginalPicture of the picture a shape record shows.
class PictureShape : public PowerPoint::Shape {
 public:
  void Export(const QString &path, PowerPoint::PpShapeFormat filter, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    if (filter != PowerPoint::ppShapeFormatJPG && filter != PowerPoint::ppShapeFormatBMP)
      fail(QStringLiteral("Export filter %1 is not supported").arg(int(filter)));
    const office::render::ExportResult result = filter == PowerPoint::ppShapeFormatJPG
                                                    ? office::render::exportJpeg(picture(), path)
                                                    : office::render::exportBmp(picture(), path);
    exportWarning_ =
        result.damage.isEmpty()
            ? QString()
            : QStringLiteral("part of the picture is filled in (%1)").arg(result.damage);
  }
  QString ExportWarning() const override { return exportWarning_; }

  PowerPoint::StoredPicture Picture() override {
    const PicturePlace where = place();
    const BlipSummary summary = readPicture([&] {
      return where.picture.blipRecord
                 ? summarizeBlip(*where.picture.blipRecord, kPictureHeadBytes)
                 : doc_->pictures().summary(where.picture.pib, kPictureHeadBytes);
    });
    PowerPoint::StoredPicture stored = describePicture(summary);
    if (!where.isFill && record()) {
      const office::render::Crop crop = cropOf(*record());
      stored.cropLeft = crop.left;
      stored.cropTop = crop.top;
      stored.cropRight = crop.right;
      stored.cropBottom = crop.bottom;
    }
    return stored;
  }

  QByteArray OriginalPicture() override {
    return originalPictureFile(loadPicture(*doc_, place().picture));
  }

  // The picture Export writes: stored picture, crop, size on the page and
  // the colour behind it.
  office::render::PictureSource picture() {
    const PicturePlace where = place();
    office::render::PictureSource source = loadPicture(*doc_, where.picture);
    const ShapeRecord *shape = record();
    if (shape && !where.isFill) source.crop = cropOf(*shape);
    source.shapeSizeInches = sizeInches();
    // An opaque picture that covers its frame shows nothing behind it; the
    // colour is not worked out (that may mean decoding a background picture).
    if (shape && !coversItsFrame(source))
      source.background = morvane::rgbOf(doc_->colourBehind(page_, *shape, where.isFill));
    return source;
  }

 protected:
  PictureShape(std::shared_ptr<Document> doc, PageIndex page) : doc_(std::move(doc)), page_(page) {}
  // The shape record that holds the picture; nullptr when there is none.
  virtual const ShapeRecord *record() const = 0;
  virtual QSizeF sizeInches() const = 0;

  PicturePlace place() {
    const ShapeRecord *shape = record();
    const std::optional<PicturePlace> where = shape ? placeOf(*doc_, page_, *shape) : std::nullopt;
    if (!where) failMissingPicture();
    return *where;
  }

  QString exportWarning_;
  std::shared_ptr<Document> doc_;
  PageIndex page_;
};

class Shape : public PictureShape {
 public:
  Shape(std::shared_ptr<Document> doc, PageIndex page, const SlideShape *shape)
      : PictureShape(std::move(doc), page), shape_(shape) {}

  std::int32_t Type() const override { return shape_->type; }

  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    if (!canHoldText(shape_->type)) fail(QStringLiteral("This shape has no text frame"));
    return std::make_shared<ppt::TextFrame>(doc_, page_, shape_);
  }
  PowerPoint::MsoTriState HasTextFrame() const override {
    return canHoldText(shape_->type) ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }
  std::shared_ptr<PowerPoint::GroupShapes> GroupItems() override;
  std::shared_ptr<PowerPoint::FillFormat> Fill() override {
    if (!record()) return std::make_shared<FillFormat>(ppt::Fill{});
    return std::make_shared<FillFormat>(doc_->fillOf(page_, shape_->record));
  }

 private:
  const ShapeRecord *record() const override {
    return shape_->type == 4 ? nullptr : &shape_->record;  // comments have none
  }
  QSizeF sizeInches() const override {
    const auto &anchor = shape_->record.anchor;
    if (!anchor) return QSizeF();
    const double width = (double(anchor->right) - anchor->left) * shape_->scaleX;
    const double height = (double(anchor->bottom) - anchor->top) * shape_->scaleY;
    if (!(width > 0 && height > 0)) return QSizeF();
    return QSizeF(width / kMasterUnitsPerInch, height / kMasterUnitsPerInch);
  }

  const SlideShape *shape_;
};

// A page's background as a shape of its own: the background the page shows
// (its own or its master's), covering the whole slide.
class BackgroundShape : public PictureShape {
 public:
  BackgroundShape(std::shared_ptr<Document> doc, PageIndex page)
      : PictureShape(doc, page), background_(doc->shownBackground(page)) {}
  std::int32_t Type() const override { return PowerPoint::msoAutoShape; }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    fail(QStringLiteral("The background has no text frame"));
  }
  PowerPoint::MsoTriState HasTextFrame() const override { return PowerPoint::msoFalse; }
  std::shared_ptr<PowerPoint::FillFormat> Fill() override {
    if (!background_) {
      ppt::Fill white;
      white.visible = true;
      return std::make_shared<FillFormat>(white);
    }
    return std::make_shared<FillFormat>(doc_->fillOf(page_, *background_));
  }

 private:
  const ShapeRecord *record() const override { return background_; }
  QSizeF sizeInches() const override { return doc_->slideSize() / kMasterUnitsPerInch; }

  const ShapeRecord *background_;
};

// The shapes of a page or the members of a group (a group's collection is a
// page's collection too).
class Shapes : public PowerPoint::GroupShapes {
 public:
  Shapes(std::shared_ptr<Document> doc, PageIndex page, const std::vector<SlideShape> &shapes)
      : doc_(std::move(doc)), page_(page), shapes_(&shapes) {}
  std::int32_t Count() const override { return std::int32_t(shapes_->size()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    checkIndex(index, shapes_->size());
    return std::make_shared<ppt::Shape>(doc_, page_, &(*shapes_)[std::size_t(index) - 1]);
  }

 private:
  std::shared_ptr<Document> doc_;
  PageIndex page_;
  const std::vector<SlideShape> *shapes_;
};

std::shared_ptr<PowerPoint::GroupShapes> Shape::GroupItems() {
  if (shape_->type != PowerPoint::msoGroup) fail(QStringLiteral("This shape is not a group"));
  return std::make_shared<ppt::Shapes>(doc_, page_, doc_->groupMembers(*shape_));
}

// A slide, master or notes page.
class Page : public PowerPoint::Master {
 public:
  Page(std::shared_ptr<Document> doc, PageIndex page) : doc_(std::move(doc)), page_(page) {}
  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    return std::make_shared<ppt::Shapes>(doc_, page_, doc_->pageShapes(page_));
  }
  std::shared_ptr<PowerPoint::Shape> Background() override {
    return std::make_shared<BackgroundShape>(doc_, page_);
  }
  PowerPoint::MsoTriState FollowMasterBackground() const override {
    return doc_->followsMasterBackground(page_) ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }
  std::shared_ptr<PowerPoint::Slide> NotesPage() override {
    const std::optional<PageIndex> notes = doc_->notesPage(page_);
    if (!notes) fail(QStringLiteral("This slide has no notes page"));
    return std::make_shared<ppt::Page>(doc_, *notes);
  }
  PowerPoint::MsoTriState HasNotesPage() const override {
    return doc_->notesPage(page_) ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }

 private:
  std::shared_ptr<Document> doc_;
  PageIndex page_;
};

class Slides : public PowerPoint::Slides {
 public:
  explicit Slides(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::int32_t Count() const override { return std::int32_t(doc_->slideCount()); }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t index) override {
    checkIndex(index, doc_->slideCount());
    return std::make_shared<ppt::Page>(doc_, doc_->slidePage(std::size_t(index) - 1));
  }

 private:
  std::shared_ptr<Document> doc_;
};

class Design : public PowerPoint::Design {
 public:
  Design(std::shared_ptr<Document> doc, DesignPages design)
      : doc_(std::move(doc)), design_(design) {}
  std::shared_ptr<PowerPoint::Master> SlideMaster() override {
    return std::make_shared<ppt::Page>(doc_, design_.slideMaster);
  }
  PowerPoint::MsoTriState HasTitleMaster() const override {
    return design_.titleMaster ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }
  std::shared_ptr<PowerPoint::Master> TitleMaster() override {
    if (!design_.titleMaster) fail(QStringLiteral("This design has no title master"));
    return std::make_shared<ppt::Page>(doc_, *design_.titleMaster);
  }

 private:
  std::shared_ptr<Document> doc_;
  DesignPages design_;
};

class Designs : public PowerPoint::Designs {
 public:
  explicit Designs(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::int32_t Count() const override { return std::int32_t(doc_->designs().size()); }
  std::shared_ptr<PowerPoint::Design> Item(std::int32_t index) override {
    checkIndex(index, doc_->designs().size());
    return std::make_shared<ppt::Design>(doc_, doc_->designs()[std::size_t(index) - 1]);
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
  std::shared_ptr<PowerPoint::Designs> Designs() override {
    return std::make_shared<ppt::Designs>(doc_);
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
  auto *ours = dynamic_cast<PictureShape *>(&shape);
  if (!ours) fail(QStringLiteral("The shape does not come from this reader"));
  return ours->picture();
}

}  // namespace office::ppt
