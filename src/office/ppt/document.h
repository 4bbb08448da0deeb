#pragma once

// A PowerPoint 97-2003 presentation read from its compound file: the current
// edit, the persist directory, the document container and its slide list.
// Slides, drawings, pictures and objects are read when first asked for.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "office/ppt/blipstore.h"
#include "office/ppt/drawing.h"
#include "office/ppt/exobjlist.h"
#include "office/ppt/records.h"

namespace office::ppt {

class CompoundFile;

// A top-level shape of a slide as the object model shows it.
struct SlideShape {
  std::int32_t type = 0;  // Office shape type
  ShapeRecord record;     // empty for comments
  QString commentText;    // comments (type 4) only
};

class Document {
 public:
  // Opens and checks path; throws morvane::Error with the reason (without the
  // file name) when it is not a readable PowerPoint 97-2003 presentation.
  static std::shared_ptr<Document> open(const QString &path);
  // The same from bytes in memory (the fuzzer).
  static std::shared_ptr<Document> openBytes(const QByteArray &bytes);
  ~Document();

  std::size_t slideCount() const { return slides_.size(); }
  // The top-level shapes of slide index (0-based), drawing order, then comments.
  const std::vector<SlideShape> &slideShapes(std::size_t index);
  // Text of a shape of slide index.
  QString shapeText(std::size_t index, const SlideShape &shape);
  // The picture store; throws when the presentation has none.
  const PictureStore &pictures();

 private:
  struct SlideEntry {
    std::uint32_t persistId = 0;
    morvane::ByteReader texts;  // the slide list's text records of this slide
    std::optional<std::vector<SlideShape>> shapes;
  };

  explicit Document(std::unique_ptr<CompoundFile> file);
  void load();
  morvane::ByteReader streamReader() const;
  bool followEdits(std::uint32_t currentEdit);
  bool scanEdits();
  bool findDocument();
  void checkEncryption() const;
  std::optional<Record> persistRecord(std::uint32_t persistId) const;
  void readSlideList();
  const std::map<std::uint32_t, ExObject> &objects();
  std::vector<SlideShape> readSlide(const SlideEntry &slide);
  QString textOf(const SlideEntry &slide, const ShapeRecord &shape);

  std::unique_ptr<CompoundFile> file_;
  QByteArray stream_;                               // "PowerPoint Document"
  std::map<std::uint32_t, std::uint32_t> persist_;  // persist id -> stream offset
  std::uint32_t docPersistId_ = 0;
  std::uint32_t encryptSessionPersistId_ = 0;
  Record document_;
  std::vector<SlideEntry> slides_;
  std::optional<std::map<std::uint32_t, ExObject>> objects_;
  std::unique_ptr<PictureStore> pictures_;
  WorkBudget budget_;
};

}  // namespace office::ppt
