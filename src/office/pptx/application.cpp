#include "office/pptx/application.h"

#include "common/error.h"
#include "office/pptx/document.h"
#include "office/pptx/shapeobjects.h"

namespace office::pptx {

namespace {

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

void checkIndex(std::int32_t index, std::size_t count) {
  if (index < 1 || std::size_t(index) > count)
    fail(QStringLiteral("Index %1 is out of range (the collection has %2 items)")
             .arg(index)
             .arg(count));
}

PartContext contextOf(const std::shared_ptr<Document> &doc, const QString &part,
                      const QString &where) {
  return PartContext{doc, doc->slideModel(part), part, where};
}

// The shapes of a part's tree, then (slides only) its comments.
class ShapesObject : public PowerPoint::Shapes {
 public:
  ShapesObject(PartContext context, const std::vector<QString> *comments)
      : context_(std::move(context)), comments_(comments) {}
  std::int32_t Count() const override { return std::int32_t(count()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    checkIndex(index, count());
    const std::size_t i = std::size_t(index) - 1;
    const auto &shapes = context_.model->shapes;
    if (i < shapes.size()) return makeShape(context_, ShapePath{&shapes[i], {}});
    return makeComment(context_, (*comments_)[i - shapes.size()]);
  }

 private:
  std::size_t count() const {
    return context_.model->shapes.size() + (comments_ ? comments_->size() : 0);
  }

  PartContext context_;
  const std::vector<QString> *comments_;  // kept by the document
};

// A slide, notes slide, master or layout: PowerPoint's Master is a Slide
// with the same members, so one class serves them all.
class SlideObject : public PowerPoint::Master {
 public:
  SlideObject(PartContext context, bool withComments)
      : context_(std::move(context)), withComments_(withComments) {}

  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    const std::vector<QString> *comments =
        withComments_ ? &context_.doc->comments(context_.part) : nullptr;
    return std::make_shared<ShapesObject>(context_, comments);
  }
  std::shared_ptr<PowerPoint::Shape> Background() override { return makeBackground(context_); }
  PowerPoint::MsoTriState FollowMasterBackground() const override {
    return context_.doc->background(context_.part).own ? PowerPoint::msoFalse : PowerPoint::msoTrue;
  }
  std::shared_ptr<PowerPoint::Slide> NotesPage() override {
    const QString notes = context_.doc->notesOf(context_.part);
    if (notes.isEmpty()) fail(QStringLiteral("%1 has no notes page").arg(context_.where));
    return std::make_shared<SlideObject>(
        contextOf(context_.doc, notes, QStringLiteral("the notes of ") + context_.where), false);
  }
  PowerPoint::MsoTriState HasNotesPage() const override {
    return context_.doc->notesOf(context_.part).isEmpty() ? PowerPoint::msoFalse
                                                          : PowerPoint::msoTrue;
  }

 private:
  PartContext context_;
  bool withComments_;
};

class SlidesObject : public PowerPoint::Slides {
 public:
  explicit SlidesObject(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::int32_t Count() const override { return std::int32_t(doc_->slideCount()); }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t index) override {
    checkIndex(index, doc_->slideCount());
    const QString part = doc_->slidePart(std::size_t(index) - 1);
    return std::make_shared<SlideObject>(
        contextOf(doc_, part, QStringLiteral("slide %1").arg(index)), true);
  }

 private:
  std::shared_ptr<Document> doc_;
};

class DesignObject : public PowerPoint::Design {
 public:
  DesignObject(std::shared_ptr<Document> doc, std::int32_t number)
      : doc_(std::move(doc)), number_(number) {}
  std::shared_ptr<PowerPoint::Master> SlideMaster() override {
    return std::make_shared<SlideObject>(contextOf(doc_, masterPart(), masterName()), false);
  }
  std::int32_t CustomLayoutCount() const override {
    return std::int32_t(doc_->layoutsOf(masterPart()).size());
  }
  std::shared_ptr<PowerPoint::Master> CustomLayout(std::int32_t index) override {
    const std::vector<QString> layouts = doc_->layoutsOf(masterPart());
    checkIndex(index, layouts.size());
    return std::make_shared<SlideObject>(
        contextOf(doc_, layouts[std::size_t(index) - 1],
                  QStringLiteral("layout %1 of %2").arg(index).arg(masterName())),
        false);
  }

 private:
  QString masterName() const { return QStringLiteral("master %1").arg(number_); }
  QString masterPart() const {
    const QString &part = doc_->masterParts().at(std::size_t(number_) - 1);
    if (part.isEmpty())
      fail(QStringLiteral("the file is damaged: %1 has no master part").arg(masterName()));
    return part;
  }

  std::shared_ptr<Document> doc_;
  std::int32_t number_;
};

class DesignsObject : public PowerPoint::Designs {
 public:
  explicit DesignsObject(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::int32_t Count() const override { return std::int32_t(doc_->masterParts().size()); }
  std::shared_ptr<PowerPoint::Design> Item(std::int32_t index) override {
    checkIndex(index, doc_->masterParts().size());
    return std::make_shared<DesignObject>(doc_, index);
  }

 private:
  std::shared_ptr<Document> doc_;
};

class PresentationObject : public PowerPoint::Presentation {
 public:
  explicit PresentationObject(std::shared_ptr<Document> doc) : doc_(std::move(doc)) {}
  std::shared_ptr<PowerPoint::Slides> Slides() override {
    return std::make_shared<SlidesObject>(doc_);
  }
  std::shared_ptr<PowerPoint::Designs> Designs() override {
    return std::make_shared<DesignsObject>(doc_);
  }

 private:
  std::shared_ptr<Document> doc_;
};

}  // namespace

bool looksLikePackage(const QByteArray &head) { return Document::looksLikeZip(head); }

std::shared_ptr<PowerPoint::Presentation> openPresentationFile(const QString &path) {
  return std::make_shared<PresentationObject>(Document::open(path));
}

std::shared_ptr<PowerPoint::Presentation> openPresentation(const QByteArray &bytes) {
  return std::make_shared<PresentationObject>(Document::openBytes(bytes));
}

office::render::PictureSource pictureOf(PowerPoint::Shape &shape) { return storedSourceOf(shape); }

}  // namespace office::pptx
