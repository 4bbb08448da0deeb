#include "office/ppt/document.h"

#include <set>

#include "office/ppt/compoundfile.h"
#include "office/ppt/recordtypes.h"

namespace office::ppt {

namespace {

constexpr std::uint64_t kMaxDocumentStream = 512ull << 20;
constexpr std::uint64_t kWorkBudget = 1ull << 26;
constexpr std::size_t kMaxEdits = 4096;
constexpr std::uint32_t kHeaderToken = 0xE391C05F;
constexpr std::uint32_t kEncryptedHeaderToken = 0xF3D1C4DF;
constexpr std::uint16_t kCryptSession10Container = 0x2F14;

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
  readSlideList();
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

void Document::readSlideList() {
  std::optional<Record> list;
  forEachChild(document_.body, [&](Record &r) {
    if (r.recType != rt::SlideListWithText || r.recInstance != 0) return true;
    list = r;
    return false;
  });
  if (!list) return;
  morvane::ByteReader body = list->body;
  std::size_t textsStart = 0;
  const auto closeTexts = [&](std::size_t end) {
    if (!slides_.empty()) slides_.back().texts = body.slice(textsStart, end - textsStart);
  };
  while (!body.atEnd()) {
    budget_.spend();
    const std::size_t start = body.pos();
    Record r = readRecord(body);
    if (r.recType != rt::SlidePersistAtom) continue;
    closeTexts(start);
    SlideEntry entry;
    entry.persistId = r.body.u32();
    slides_.push_back(std::move(entry));
    textsStart = body.pos();
  }
  closeTexts(body.pos());
}

const std::vector<SlideShape> &Document::slideShapes(std::size_t index) {
  SlideEntry &slide = slides_.at(index);
  if (!slide.shapes) slide.shapes = readSlide(slide);
  return *slide.shapes;
}

std::vector<SlideShape> Document::readSlide(const SlideEntry &slide) {
  const auto container = persistRecord(slide.persistId);
  if (!container || container->recType != rt::Slide)
    failDamaged(QStringLiteral("a slide record is missing"));
  std::vector<SlideShape> shapes;
  if (const auto drawing = findChild(container->body, rt::PPDrawing)) {
    for (ShapeRecord &record : readTopLevelShapes(drawing->body, budget_)) {
      SlideShape shape;
      shape.record = std::move(record);
      static const std::map<std::uint32_t, ExObject> none;
      shape.type = officeShapeType(shape.record, shape.record.exObjRef ? objects() : none);
      shapes.push_back(std::move(shape));
    }
  }
  for (QString &text : slideComments(container->body)) {
    SlideShape comment;
    comment.type = 4;  // msoComment
    comment.commentText = std::move(text);
    shapes.push_back(std::move(comment));
  }
  return shapes;
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

QString Document::shapeText(std::size_t index, const SlideShape &shape) {
  switch (shape.type) {
    case 4:
      return shape.commentText;
    case 15:
      return wordArtText(shape.record);
    default:
      break;
  }
  const SlideEntry &slide = slides_.at(index);
  if (shape.type != 19) return textOf(slide, shape.record);
  QString text;
  for (const auto &row : tableRows(shape.record, budget_)) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      text += textOf(slide, row[i]);
      text += i + 1 < row.size() ? QChar(u'\t') : QChar(u'\r');
    }
  }
  return text;
}

QString Document::textOf(const SlideEntry &slide, const ShapeRecord &shape) {
  if (!shape.clientTextbox) return QString();
  std::optional<std::int32_t> outlineIndex;
  if (auto own = textboxText(*shape.clientTextbox, outlineIndex)) return *own;
  return outlineIndex ? outlineText(slide.texts, *outlineIndex) : QString();
}

const PictureStore &Document::pictures() {
  if (!pictures_) {
    const auto group = findChild(document_.body, rt::PPDrawingGroup);
    const auto dgg = group ? findChild(group->body, rt::DggContainer) : std::nullopt;
    const auto store = dgg ? findChild(dgg->body, rt::BStoreContainer) : std::nullopt;
    if (!store) throw morvane::Error(QStringLiteral("the presentation holds no pictures"));
    pictures_ = std::make_unique<PictureStore>(store->body, file_->openStream("Pictures"));
  }
  return *pictures_;
}

}  // namespace office::ppt
