#pragma once

// A PowerPoint 97-2003 presentation read from its compound file: the current
// edit, the persist directory, the document container and its lists of
// slides, masters and notes. Pages (slides, masters, notes), their drawings,
// pictures and objects are read when first asked for.

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "office/ppt/blipstore.h"
#include "office/ppt/drawing.h"
#include "office/ppt/exobjlist.h"
#include "office/ppt/fill.h"
#include "office/ppt/records.h"
#include "office/ppt/textstyle.h"

namespace office::ppt {

class CompoundFile;

// A shape of a page as the object model shows it.
struct SlideShape {
  std::int32_t type = 0;  // Office shape type
  ShapeRecord record;     // empty for comments
  QString commentText;    // comments (type 4) only
  int depth = 0;          // 0 for a page's own shapes, 1 inside a group, ...
  // Master units (576 per inch) per unit of the shape's anchor: 1 for a
  // page's own shapes, the groups' scaling for their members.
  double scaleX = 1, scaleY = 1;
};

enum class PageKind { Slide, MainMaster, TitleMaster, Notes, NotesMaster };

// A slide, master or notes page, by its index among the document's pages.
using PageIndex = std::size_t;

// A slide master and the title master that goes with it.
struct DesignPages {
  PageIndex slideMaster = 0;
  std::optional<PageIndex> titleMaster;
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
  PageIndex slidePage(std::size_t slide) const { return slides_.at(slide); }
  const std::vector<DesignPages> &designs() const { return designs_; }
  PageKind pageKind(PageIndex page) const { return pages_.at(page).kind; }
  // The notes page of a slide, if it has one.
  std::optional<PageIndex> notesPage(PageIndex slide);

  // A page's own shapes in drawing order; a slide's comments follow them.
  const std::vector<SlideShape> &pageShapes(PageIndex page);
  // The members of a group shape (type 6), in drawing order; none for any
  // other shape, and none for groups nested deeper than real files go.
  const std::vector<SlideShape> &groupMembers(const SlideShape &group);

  // The text of a shape of page, with the fonts of its characters.
  RichText shapeText(PageIndex page, const SlideShape &shape);
  // The font of text that names none.
  QString defaultFont();

  // Whether the page shows its master's background instead of its own.
  bool followsMasterBackground(PageIndex page);
  // The background shape the page shows (its own or a master's) and the page
  // it belongs to; nullptr when there is none.
  const ShapeRecord *shownBackground(PageIndex page);
  // The colour scheme the page's colours are resolved with.
  const ColorScheme &colorScheme(PageIndex page);
  // The fill of a shape of page.
  Fill fillOf(PageIndex page, const ShapeRecord &shape);
  // The one colour the page's background shows (white when it has none).
  morvane::Channels backgroundColour(PageIndex page);
  // What lies behind a picture of shape: the shape's own visible fill when it
  // has one, else the page's background. forFill: the picture is the shape's
  // fill itself, so only the page lies behind it.
  morvane::Channels colourBehind(PageIndex page, const ShapeRecord &shape, bool forFill);
  // The mean colour of a fill's picture, computed once per picture.
  std::optional<morvane::Channels> averageColour(const FillPicture &picture);
  // The slide size in master units (576 per inch).
  QSizeF slideSize() const { return slideSize_; }

  // The picture store; throws morvane::PictureError when the presentation
  // has none.
  const PictureStore &pictures();

 private:
  // A page as the document's lists give it, and what its container holds
  // (read on first use).
  struct Page {
    PageKind kind = PageKind::Slide;
    std::uint32_t persistId = 0;
    std::uint32_t listId = 0;   // the slide, master or notes id its list gives it
    morvane::ByteReader texts;  // the list's text records of this page
    bool read = false;
    bool found = false;  // its container is where the persist directory says
    std::uint32_t masterIdRef = 0;
    std::uint32_t notesIdRef = 0;
    std::uint16_t slideFlags = 0;
    std::vector<SlideShape> shapes;
    std::optional<ShapeRecord> background;
    std::optional<ColorScheme> scheme;
    std::optional<morvane::Channels> backgroundColour;
  };

  explicit Document(std::unique_ptr<CompoundFile> file);
  void load();
  morvane::ByteReader streamReader() const;
  bool followEdits(std::uint32_t currentEdit);
  bool scanEdits();
  bool findDocument();
  void checkEncryption() const;
  std::optional<Record> persistRecord(std::uint32_t persistId) const;
  void readLists();
  void readList(const Record &list, PageKind kind);
  bool isTitleMaster(std::uint32_t persistId) const;
  void readDocumentAtom();
  void linkDesigns();
  Page &page(PageIndex index);
  void readPage(Page &page);
  std::vector<SlideShape> readShapes(const Record &container, const Page &page);
  std::optional<PageIndex> masterOf(PageIndex page);
  const std::map<std::uint32_t, ExObject> &objects();
  RichText textOf(const Page &page, const ShapeRecord &shape);
  RichText tableText(const Page &page, const ShapeRecord &table);
  RichText wordArt(const ShapeRecord &shape);
  std::optional<Record> environment() const;
  const FontCollection &fonts();

  std::unique_ptr<CompoundFile> file_;
  QByteArray stream_;                               // "PowerPoint Document"
  std::map<std::uint32_t, std::uint32_t> persist_;  // persist id -> stream offset
  std::uint32_t docPersistId_ = 0;
  std::uint32_t encryptSessionPersistId_ = 0;
  Record document_;
  std::vector<Page> pages_;
  std::vector<PageIndex> slides_;
  std::vector<DesignPages> designs_;
  std::map<std::uint32_t, PageIndex> mastersById_;
  std::map<std::uint32_t, PageIndex> notesById_;
  std::optional<PageIndex> notesMaster_;
  std::uint32_t notesMasterPersistId_ = 0;
  QSizeF slideSize_{5760, 4320};
  std::map<const SlideShape *, std::vector<SlideShape>> groupMembers_;
  std::optional<FontCollection> fonts_;
  std::optional<QString> defaultFont_;
  std::map<std::uint32_t, std::optional<morvane::Channels>> pictureAverages_;
  std::optional<std::map<std::uint32_t, ExObject>> objects_;
  std::unique_ptr<PictureStore> pictures_;
  WorkBudget budget_;
};

}  // namespace office::ppt
