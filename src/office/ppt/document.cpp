#include "office/ppt/document.h"

#include <set>

#include "office/ppt/compoundfile.h"
#include "office/ppt/recordtypes.h"
#include "office/ppt/textstyle.h"
#include "office/render/pictureinfo.h"

namespace office::ppt {

namespace {

constexpr std::uint64_t kMaxDocumentStream = 512ull << 20;
constexpr std::uint64_t kWorkBudget = 1ull << 26;
constexpr std::size_t kMaxEdits = 4096;
constexpr std::uint32_t kHeaderToken = 0xE391C05F;
constexpr std::uint32_t kEncryptedHeaderToken = 0xF3D1C4DF;
constexpr std::uint16_t kCryptSession10Container = 0x2F14;

// SlideFlags of a SlideAtom or NotesAtom.
constexpr std::uint16_t kMasterScheme = 0x0002;
constexpr std::uint16_t kMasterBackground = 0x0004;
// Offsets in a SlideAtom, a NotesAtom and the DocumentAtom.
constexpr std::size_t kSlideAtomMasterIdRef = 12;
constexpr std::size_t kSlideAtomSize = 24;
constexpr std::size_t kNotesAtomSize = 8;
constexpr std::size_t kDocumentAtomNotesMaster = 24;
// The colour scheme a page uses (its other SlideSchemeColorSchemeAtoms are
// the schemes offered to choose from).
constexpr std::uint16_t kCurrentSchemeInstance = 1;
// Masters follow one another at most this deep (slide, title master, master).
constexpr int kMaxMasterChain = 4;
// Groups nested deeper than this are not entered.
constexpr int kMaxGroupDepth = 32;
constexpr std::uint64_t kEmbeddedPictureKey = 1ull << 32;

const char kDocumentStream[] = "PowerPoint Document";
const char kCurrentUserStream[] = "Current User";

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

[[noreturn]] void failDamaged(const QString &what) {
  fail(QStringLiteral("the file is damaged or truncated (%1)").arg(what));
}

[[noreturn]] void failEncrypted() {
  fail(QStringLiteral("the presentation is encrypted (password-protected)"));
}

[[noreturn]] void failOld() {
  fail(QStringLiteral("the file was saved by PowerPoint 95 or earlier, which is not supported"));
}

void checkStreams(const CompoundFile &file) {
  // An encrypted Office 2007 or later file is a compound file holding the
  // encryption header and the encrypted package (and no presentation).
  if (file.isListed("EncryptionInfo") || file.isListed("EncryptedPackage")) failEncrypted();
  // PowerPoint 4.0 kept its presentation in a "PP40" stream.
  if (!file.hasStream(kDocumentStream) && file.isListed("PP40")) failOld();
  if (!file.hasStream(kDocumentStream) && (file.isListed(kDocumentStream) || file.looksTruncated()))
    fail(QStringLiteral(
        "the file is damaged or truncated (the stream \"PowerPoint Document\" cannot be read)"));
  if (!file.hasStream(kDocumentStream))
    fail(QStringLiteral(
        "the file is a compound file without a presentation (perhaps a Word or Excel file "
        "renamed)"));
}

struct CurrentUser {
  std::optional<std::uint32_t> offsetToCurrentEdit;  // unset: no valid atom
  bool pp95Layout = false;  // a 32-bit length and the user name, as PowerPoint 95 wrote it
};

// The Current User stream of PowerPoint 97 and later starts with a
// CurrentUserAtom of a fixed size and token; PowerPoint 95 wrote a length
// and the user name there.
CurrentUser readCurrentUser(const CompoundFile &file) {
  CurrentUser user;
  if (!file.hasStream(kCurrentUserStream)) return user;
  const QByteArray bytes = file.readStream(kCurrentUserStream, 1 << 16);
  morvane::ByteReader in(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
  if (in.size() >= 4) {
    const std::uint32_t length = morvane::ByteReader(in).u32();
    user.pp95Layout = std::uint64_t(length) + 4 == in.size();
  }
  if (in.size() < 8 + 12) return user;
  in.skip(2);
  const std::uint16_t type = in.u16();
  in.skip(4);
  const std::uint32_t size = in.u32();
  const std::uint32_t token = in.u32();
  if (type != rt::CurrentUserAtom || size != 0x14) return user;
  if (token == kEncryptedHeaderToken) failEncrypted();
  if (token == kHeaderToken) user.offsetToCurrentEdit = in.u32();
  return user;
}

struct UserEdit {
  std::uint32_t offsetLastEdit = 0;
  std::uint32_t offsetPersistDirectory = 0;
  std::uint32_t docPersistIdRef = 0;
  std::uint32_t encryptSessionPersistIdRef = 0;
};

UserEdit readUserEdit(morvane::ByteReader stream, std::uint32_t offset) {
  stream.seek(offset);
  Record r = readRecord(stream);
  if (r.recType != rt::UserEditAtom || r.recLen < 0x1C)
    morvane::throwDamaged(QStringLiteral("no user edit where the file says"), offset);
  UserEdit edit;
  r.body.skip(8);  // lastSlideIdRef, version, minorVersion, majorVersion
  edit.offsetLastEdit = r.body.u32();
  edit.offsetPersistDirectory = r.body.u32();
  edit.docPersistIdRef = r.body.u32();
  if (r.recLen >= 0x20) {
    r.body.skip(8);  // persistIdSeed, lastView, unused
    edit.encryptSessionPersistIdRef = r.body.u32();
  }
  return edit;
}

void readPersistEntries(morvane::ByteReader stream, std::uint32_t offset,
                        std::map<std::uint32_t, std::uint32_t> &persist, bool override) {
  stream.seek(offset);
  Record r = readRecord(stream);
  if (r.recType != rt::PersistDirectoryAtom)
    morvane::throwDamaged(QStringLiteral("no persist directory where the file says"), offset);
  while (!r.body.atEnd()) {
    const std::uint32_t word = r.body.u32();
    const std::uint32_t firstId = word & 0xFFFFF;
    const std::uint32_t count = word >> 20;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t where = r.body.u32();
      if (override)
        persist[firstId + i] = where;
      else
        persist.emplace(firstId + i, where);
    }
  }
}

std::vector<QString> slideComments(morvane::ByteReader slideBody) {
  std::vector<QString> comments;
  const auto tags = findChild(slideBody, rt::ProgTags);
  if (!tags) return comments;
  forEachChild(tags->body, [&](Record &tag) {
    if (tag.recType != rt::ProgBinaryTag) return true;
    const auto name = findChild(tag.body, rt::CString);
    if (!name || decodeTextAtom(*name) != QLatin1String("___PPT10")) return true;
    const auto blob = findChild(tag.body, rt::BinaryTagDataBlob);
    if (!blob) return true;
    forEachChild(blob->body, [&](Record &r) {
      if (r.recType != rt::Comment10) return true;
      QString text;
      forEachChild(r.body, [&](Record &field) {
        if (field.recType == rt::CString && field.recInstance == 1) text = decodeTextAtom(field);
        return true;
      });
      comments.push_back(text);
      return true;
    });
    return true;
  });
  return comments;
}

}  // namespace

Document::Document(std::unique_ptr<CompoundFile> file)
    : file_(std::move(file)), budget_(kWorkBudget) {}
Document::~Document() = default;

std::shared_ptr<Document> Document::open(const QString &path) {
  std::shared_ptr<Document> doc(new Document(CompoundFile::open(path)));
  doc->load();
  return doc;
}

std::shared_ptr<Document> Document::openBytes(const QByteArray &bytes) {
  std::shared_ptr<Document> doc(new Document(CompoundFile::fromMemory(bytes)));
  doc->load();
  return doc;
}

void Document::load() {
  // Files saved for both PowerPoint 95 and 97 keep the 97 streams in a
  // storage of their own.
  file_->enterStorage("PP97_DUALSTORAGE");
  checkStreams(*file_);
  const CurrentUser user = readCurrentUser(*file_);
  stream_ = file_->readStream(kDocumentStream, kMaxDocumentStream);
  // A broken chain of edits, or one that leads to no document, is repaired
  // from the edits found in the stream itself.
  const bool followed = user.offsetToCurrentEdit && followEdits(*user.offsetToCurrentEdit);
  if (followed) checkEncryption();
  if (!followed || !findDocument()) {
    if (!scanEdits()) {
      if (user.pp95Layout || file_->isListed("Header") || file_->isListed("PP40")) failOld();
      failDamaged(QStringLiteral("no valid user edit found"));
    }
    checkEncryption();
    if (!findDocument()) failDamaged(QStringLiteral("the document record is missing"));
  }
  readLists();
}

bool Document::findDocument() {
  const auto doc = persistRecord(docPersistId_);
  if (!doc || doc->recType != rt::Document) return false;
  document_ = *doc;
  return true;
}

void Document::checkEncryption() const {
  if (encryptSessionPersistId_ == 0) return;
  const auto crypt = persistRecord(encryptSessionPersistId_);
  if (crypt && crypt->recType == kCryptSession10Container) failEncrypted();
}

morvane::ByteReader Document::streamReader() const {
  return morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(stream_.constData()),
                             std::size_t(stream_.size()));
}

// Follows the chain of edits from the newest back to the first save. False
// when the chain is broken (a loop, or no edit where an offset points).
bool Document::followEdits(std::uint32_t currentEdit) {
  const morvane::ByteReader stream = streamReader();
  std::set<std::uint32_t> visited;
  std::uint32_t offset = currentEdit;
  bool newest = true;
  try {
    while (true) {
      if (!visited.insert(offset).second || visited.size() > kMaxEdits) return false;
      budget_.spend();
      const UserEdit edit = readUserEdit(stream, offset);
      if (newest) {
        docPersistId_ = edit.docPersistIdRef;
        encryptSessionPersistId_ = edit.encryptSessionPersistIdRef;
        newest = false;
      }
      // The newest edit is read first; its entries win.
      readPersistEntries(stream, edit.offsetPersistDirectory, persist_, false);
      if (edit.offsetLastEdit == 0) return true;
      offset = edit.offsetLastEdit;
    }
  } catch (const morvane::Error &) {
    return false;
  }
}

// Rebuilds the persist directory from every edit found among the stream's
// top-level records, oldest first, each overriding the ones before. Used when
// the Current User atom or the chain of edits is damaged.
bool Document::scanEdits() {
  persist_.clear();
  morvane::ByteReader stream = streamReader();
  bool found = false;
  try {
    while (!stream.atEnd()) {
      budget_.spend();
      const std::size_t offset = stream.pos();
      const Record r = readRecord(stream);
      if (r.recType != rt::UserEditAtom || r.recLen < 0x1C) continue;
      const UserEdit edit = readUserEdit(streamReader(), std::uint32_t(offset));
      std::map<std::uint32_t, std::uint32_t> entries;
      readPersistEntries(streamReader(), edit.offsetPersistDirectory, entries, true);
      for (const auto &[id, where] : entries) persist_[id] = where;
      docPersistId_ = edit.docPersistIdRef;
      encryptSessionPersistId_ = edit.encryptSessionPersistIdRef;
      found = true;
    }
  } catch (const morvane::Error &) {
    // Records past the damage are not reached; the edits before it stand.
  }
  return found;
}

std::optional<Record> Document::persistRecord(std::uint32_t persistId) const {
  const auto found = persist_.find(persistId);
  if (found == persist_.end()) return std::nullopt;
  morvane::ByteReader stream = streamReader();
  if (found->second >= stream.size()) return std::nullopt;
  stream.seek(found->second);
  return readRecord(stream);
}

void Document::readLists() {
  readDocumentAtom();
  bool seen[3] = {false, false, false};
  bool slidesRead = false;
  try {
    forEachChild(document_.body, [&](Record &r) {
      budget_.spend();
      if (r.recType != rt::SlideListWithText || r.recInstance > list::Notes || seen[r.recInstance])
        return true;
      seen[r.recInstance] = true;
      static const PageKind kinds[] = {PageKind::Slide, PageKind::MainMaster, PageKind::Notes};
      readList(r, kinds[r.recInstance]);
      slidesRead = slidesRead || r.recInstance == list::Slides;
      return !(seen[0] && seen[1] && seen[2]);
    });
  } catch (const morvane::Error &) {
    // Damage after the slide list leaves the lists read before it; a damaged
    // slide list itself fails as it always has.
    if (!slidesRead) throw;
  }
  if (notesMasterPersistId_ != 0) {
    Page notesMaster;
    notesMaster.kind = PageKind::NotesMaster;
    notesMaster.persistId = notesMasterPersistId_;
    notesMaster_ = pages_.size();
    pages_.push_back(std::move(notesMaster));
  }
  linkDesigns();
}

// Reads a list's persist atoms; the text records after each atom belong to
// its page.
void Document::readList(const Record &list, PageKind kind) {
  morvane::ByteReader body = list.body;
  std::optional<PageIndex> last;
  std::size_t textsStart = 0;
  const auto closeTexts = [&](std::size_t end) {
    if (last) pages_[*last].texts = body.slice(textsStart, end - textsStart);
  };
  while (!body.atEnd()) {
    budget_.spend();
    const std::size_t start = body.pos();
    Record r = readRecord(body);
    if (r.recType != rt::SlidePersistAtom) continue;
    closeTexts(start);
    Page entry;
    entry.kind = kind;
    entry.persistId = r.body.u32();
    if (r.body.remaining() >= 12) {
      r.body.skip(8);  // flags, cTexts
      entry.listId = r.body.u32();
    }
    if (kind == PageKind::MainMaster && isTitleMaster(entry.persistId))
      entry.kind = PageKind::TitleMaster;
    last = pages_.size();
    if (kind == PageKind::Slide) slides_.push_back(*last);
    if (kind == PageKind::Notes) notesById_.emplace(entry.listId, *last);
    if (kind == PageKind::MainMaster) mastersById_.emplace(entry.listId, *last);
    pages_.push_back(std::move(entry));
    textsStart = body.pos();
  }
  closeTexts(body.pos());
}

// Title masters are kept in slide containers among the masters.
bool Document::isTitleMaster(std::uint32_t persistId) const {
  try {
    const auto container = persistRecord(persistId);
    return container && container->recType == rt::Slide;
  } catch (const morvane::Error &) {
    return false;
  }
}

void Document::readDocumentAtom() {
  const auto atom = findChild(document_.body, rt::DocumentAtom);
  if (!atom || atom->body.size() < kDocumentAtomNotesMaster + 4) return;
  morvane::ByteReader in = atom->body;
  const std::int32_t width = in.i32(), height = in.i32();
  if (width > 0 && height > 0) slideSize_ = QSizeF(width, height);
  in.seek(kDocumentAtomNotesMaster);
  notesMasterPersistId_ = in.u32();
}

// A design per slide master, in list order; a title master joins the design
// of the master it follows.
void Document::linkDesigns() {
  for (PageIndex i = 0; i < pages_.size(); ++i)
    if (pages_[i].kind == PageKind::MainMaster) designs_.push_back(DesignPages{i, std::nullopt});
  for (PageIndex i = 0; i < pages_.size(); ++i) {
    if (pages_[i].kind != PageKind::TitleMaster) continue;
    const std::optional<PageIndex> master = masterOf(i);
    for (DesignPages &design : designs_)
      if (master == design.slideMaster && !design.titleMaster) design.titleMaster = i;
  }
}

// A damaged slide fails each time it is asked for; a damaged master or notes
// page is kept with what could be read, so that the slides still show.
Document::Page &Document::page(PageIndex index) {
  Page &p = pages_.at(index);
  if (p.read) return p;
  try {
    readPage(p);
  } catch (const morvane::Error &) {
    if (p.kind == PageKind::Slide) throw;
  }
  p.read = true;
  return p;
}

// Reads what a page's container says about the page: its master, notes,
// flags, colour scheme, shapes and background.
void Document::readPage(Page &p) {
  const auto container = persistRecord(p.persistId);
  static const std::uint16_t kContainerTypes[] = {rt::Slide, rt::MainMaster, rt::Slide, rt::Notes,
                                                  rt::Notes};
  if (!container || container->recType != kContainerTypes[int(p.kind)]) {
    if (p.kind == PageKind::Slide) failDamaged(QStringLiteral("a slide record is missing"));
    return;
  }
  p.found = true;
  const bool isNotes = p.kind == PageKind::Notes || p.kind == PageKind::NotesMaster;
  if (const auto atom = findChild(container->body, isNotes ? rt::NotesAtom : rt::SlideAtom)) {
    morvane::ByteReader in = atom->body;
    if (isNotes && in.size() >= kNotesAtomSize) {
      in.skip(4);  // slideIdRef
      p.slideFlags = in.u16();
    } else if (!isNotes && in.size() >= kSlideAtomSize) {
      in.seek(kSlideAtomMasterIdRef);
      p.masterIdRef = in.u32();
      p.notesIdRef = in.u32();
      p.slideFlags = in.u16();
    }
  }
  forEachChild(container->body, [&](Record &r) {
    if (r.recType == rt::SlideSchemeColorSchemeAtom && r.recInstance == kCurrentSchemeInstance) {
      p.scheme = readColorScheme(r.body);
      return false;
    }
    return true;
  });
  p.shapes = readShapes(*container, p);
  if (const auto drawing = findChild(container->body, rt::PPDrawing))
    p.background = readBackgroundShape(drawing->body, budget_);
}

std::vector<SlideShape> Document::readShapes(const Record &container, const Page &p) {
  std::vector<SlideShape> shapes;
  if (const auto drawing = findChild(container.body, rt::PPDrawing)) {
    for (ShapeRecord &record : readTopLevelShapes(drawing->body, budget_)) {
      SlideShape shape;
      shape.record = std::move(record);
      static const std::map<std::uint32_t, ExObject> none;
      shape.type = officeShapeType(shape.record, shape.record.exObjRef ? objects() : none);
      shapes.push_back(std::move(shape));
    }
  }
  if (p.kind != PageKind::Slide) return shapes;
  for (QString &text : slideComments(container.body)) {
    SlideShape comment;
    comment.type = 4;  // msoComment
    comment.commentText = std::move(text);
    shapes.push_back(std::move(comment));
  }
  return shapes;
}

const std::vector<SlideShape> &Document::pageShapes(PageIndex index) { return page(index).shapes; }

const std::vector<SlideShape> &Document::groupMembers(const SlideShape &group) {
  static const std::vector<SlideShape> none;
  if (group.type != 6 || group.depth >= kMaxGroupDepth) return none;  // msoGroup
  const auto cached = groupMembers_.find(&group);
  if (cached != groupMembers_.end()) return cached->second;
  // Members are anchored in the group's own frame, which its anchor maps onto
  // the parent's coordinates.
  double scaleX = group.scaleX, scaleY = group.scaleY;
  const auto &anchor = group.record.anchor;
  const auto &frame = group.record.groupFrame;
  if (anchor && frame && frame->right != frame->left && frame->bottom != frame->top) {
    scaleX *= (double(anchor->right) - anchor->left) / (double(frame->right) - frame->left);
    scaleY *= (double(anchor->bottom) - anchor->top) / (double(frame->bottom) - frame->top);
  }
  std::vector<SlideShape> members;
  for (ShapeRecord &record : readGroupMembers(group.record, budget_)) {
    SlideShape member;
    member.record = std::move(record);
    member.depth = group.depth + 1;
    member.scaleX = scaleX;
    member.scaleY = scaleY;
    static const std::map<std::uint32_t, ExObject> noObjects;
    member.type = officeShapeType(member.record, member.record.exObjRef ? objects() : noObjects);
    members.push_back(std::move(member));
  }
  return groupMembers_.emplace(&group, std::move(members)).first->second;
}

std::optional<PageIndex> Document::notesPage(PageIndex slide) {
  const Page &p = page(slide);
  if (p.kind != PageKind::Slide || p.notesIdRef == 0) return std::nullopt;
  const auto found = notesById_.find(p.notesIdRef);
  if (found == notesById_.end() || !page(found->second).found) return std::nullopt;
  return found->second;
}

std::optional<PageIndex> Document::masterOf(PageIndex index) {
  const Page &p = page(index);
  std::optional<PageIndex> master;
  if (p.kind == PageKind::Notes) master = notesMaster_;
  if (p.kind == PageKind::Slide || p.kind == PageKind::TitleMaster) {
    const auto found = mastersById_.find(p.masterIdRef);
    if (found != mastersById_.end()) master = found->second;
  }
  // A title master follows a slide master, never another title master.
  if (master && p.kind == PageKind::TitleMaster && pages_[*master].kind != PageKind::MainMaster)
    master.reset();
  if (master == index) master.reset();
  return master;
}

bool Document::followsMasterBackground(PageIndex index) {
  return (page(index).slideFlags & kMasterBackground) && masterOf(index).has_value();
}

const ShapeRecord *Document::shownBackground(PageIndex index) {
  for (int step = 0; step < kMaxMasterChain; ++step) {
    if (!followsMasterBackground(index)) {
      const Page &p = page(index);
      return p.background ? &*p.background : nullptr;
    }
    index = *masterOf(index);
  }
  return nullptr;
}

const ColorScheme &Document::colorScheme(PageIndex index) {
  static const ColorScheme kDefault = defaultColorScheme();
  for (int step = 0; step < kMaxMasterChain; ++step) {
    const Page &p = page(index);
    const std::optional<PageIndex> master = masterOf(index);
    if (!(p.slideFlags & kMasterScheme) || !master) return p.scheme ? *p.scheme : kDefault;
    index = *master;
  }
  return kDefault;
}

Fill Document::fillOf(PageIndex index, const ShapeRecord &shape) {
  const bool filledByDefault = !shape.isFrame() && !shape.isGroup && shape.shapeType != spt::Line;
  return readFill(shape, colorScheme(index), filledByDefault || shape.isBackground());
}

morvane::Channels Document::backgroundColour(PageIndex index) {
  Page &p = page(index);
  if (!p.backgroundColour) {
    const ShapeRecord *background = shownBackground(index);
    morvane::Channels colour = kWhite;
    if (background) {
      const Fill fill = fillOf(index, *background);
      if (fill.visible)
        colour = averageFillColour(fill, kWhite,
                                   [this](const FillPicture &f) { return averageColour(f); });
    }
    p.backgroundColour = colour;
  }
  return *p.backgroundColour;
}

morvane::Channels Document::colourBehind(PageIndex index, const ShapeRecord &shape, bool forFill) {
  const morvane::Channels behind = backgroundColour(index);
  if (forFill || shape.isBackground()) return shape.isBackground() ? kWhite : behind;
  const Fill fill = fillOf(index, shape);
  if (!fill.visible) return behind;
  return averageFillColour(fill, behind, [this](const FillPicture &f) { return averageColour(f); });
}

std::optional<morvane::Channels> Document::averageColour(const FillPicture &picture) {
  const std::uint64_t key =
      picture.blipRecord ? kEmbeddedPictureKey + picture.blipRecord->streamOffset() : picture.pib;
  const auto cached = pictureAverages_.find(key);
  if (cached != pictureAverages_.end()) return cached->second;
  std::optional<morvane::Channels> average;
  try {
    const std::optional<office::render::PictureSource> source =
        picture.blipRecord ? decodeBlip(*picture.blipRecord) : pictures().load(picture.pib);
    if (source) average = office::render::meanColourOnWhite(*source);
  } catch (const morvane::Error &) {
    // A picture that cannot be read has no colour; what lies behind shows.
  }
  pictureAverages_.emplace(key, average);
  return average;
}

const std::map<std::uint32_t, ExObject> &Document::objects() {
  if (!objects_) {
    objects_.emplace();
    if (const auto list = findChild(document_.body, rt::ExObjList)) {
      const PersistLookup lookup = [this](std::uint32_t id) { return persistRecord(id); };
      *objects_ = readExObjList(list->body, lookup);
    }
  }
  return *objects_;
}

// The document's environment record, if it can be found; damage elsewhere in
// the document container does not keep the text from reading.
std::optional<Record> Document::environment() const {
  try {
    return findChild(document_.body, rt::Environment);
  } catch (const morvane::Error &) {
    return std::nullopt;
  }
}

const FontCollection &Document::fonts() {
  if (!fonts_) {
    fonts_.emplace();
    const auto env = environment();
    std::optional<Record> collection;
    try {
      if (env) collection = findChild(env->body, rt::FontCollection);
    } catch (const morvane::Error &) {
    }
    if (collection) *fonts_ = readFontCollection(collection->body);
  }
  return *fonts_;
}

QString Document::defaultFont() {
  if (!defaultFont_) {
    const FontCollection &faces = fonts();
    std::int32_t index = faces.empty() ? -1 : 0;
    try {
      const auto env = environment();
      if (const auto defaults =
              env ? findChild(env->body, rt::TextCFExceptionAtom) : std::nullopt) {
        const std::int32_t given = readDefaultFontRef(defaults->body);
        if (given >= 0 && std::size_t(given) < faces.size()) index = given;
      }
    } catch (const morvane::Error &) {
    }
    defaultFont_ = index >= 0 ? faces[std::size_t(index)].face : QString();
  }
  return *defaultFont_;
}

RichText Document::shapeText(PageIndex index, const SlideShape &shape) {
  RichText text;
  switch (shape.type) {
    case 4:  // msoComment
      text.append(shape.commentText, defaultFont());
      return text;
    case 15:  // msoTextEffect
      return wordArt(shape.record);
    case 19:  // msoTable
      return tableText(page(index), shape.record);
    default:
      return textOf(page(index), shape.record);
  }
}

// WordArt's text in its own font (gtextFont), symbol fonts mapped as in
// text boxes.
RichText Document::wordArt(const ShapeRecord &shape) {
  const QString text = wordArtText(shape);
  const QString font = wordArtFont(shape);
  if (font.isEmpty()) {
    RichText plain;
    plain.append(text, defaultFont());
    return plain;
  }
  const FontRun run{std::uint32_t(text.size()) + 1, 0, -1};
  return applyFonts(text, {run}, {FontEntity{font, false}}, defaultFont());
}

// One field per grid cell, TAB between fields and CR after each row; a cell
// covered by a merged cell is an empty field.
RichText Document::tableText(const Page &p, const ShapeRecord &table) {
  const TableGrid grid = tableGrid(table, budget_);
  RichText text;
  for (const std::vector<int> &row : grid.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (row[i] != TableGrid::kCoveredCell) text.append(textOf(p, grid.cells[row[i]]));
      text.append(i + 1 < row.size() ? QStringLiteral("\t") : QStringLiteral("\r"), defaultFont());
    }
  }
  return text;
}

RichText Document::textOf(const Page &p, const ShapeRecord &shape) {
  if (!shape.clientTextbox) return RichText();
  std::optional<std::int32_t> outlineIndex;
  std::optional<StoredText> stored = textboxText(*shape.clientTextbox, outlineIndex);
  if (!stored && outlineIndex) stored = outlineText(p.texts, *outlineIndex);
  if (!stored) return RichText();
  std::vector<FontRun> runs;
  if (stored->style) runs = readCharacterRuns(*stored->style, std::uint32_t(stored->text.size()));
  return applyFonts(stored->text, runs, fonts(), defaultFont());
}

const PictureStore &Document::pictures() {
  if (!pictures_) {
    const auto group = findChild(document_.body, rt::PPDrawingGroup);
    const auto dgg = group ? findChild(group->body, rt::DggContainer) : std::nullopt;
    const auto store = dgg ? findChild(dgg->body, rt::BStoreContainer) : std::nullopt;
    if (!store) throw morvane::PictureError(QStringLiteral("the presentation holds no pictures"));
    pictures_ = std::make_unique<PictureStore>(store->body, file_->openStream("Pictures"));
  }
  return *pictures_;
}

}  // namespace office::ppt
