#include "office/ppt/exobjlist.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <algorithm>
#include <optional>
#include <set>

#include "office/ppt/blipstore.h"
#include "office/ppt/records.h"

namespace office::ppt {

namespace {

constexpr std::uint16_t kRtExOleObjAtom = 0x0FC3;
constexpr std::uint16_t kRtCString = 0x0FBA;
constexpr std::uint16_t kRtExOleEmbed = 0x0FCC;
constexpr std::uint16_t kRtExOleLink = 0x0FCE;
constexpr std::uint16_t kRtExControl = 0x0FEE;
constexpr std::uint16_t kRtExMediaAtom = 0x1004;
constexpr std::uint16_t kRtExVideo = 0x1005;
constexpr std::uint16_t kRtExAviMovie = 0x1006;
constexpr std::uint16_t kRtExMciMovie = 0x1007;
constexpr std::uint16_t kRtExMidiAudio = 0x100D;
constexpr std::uint16_t kRtExCdAudio = 0x100E;
constexpr std::uint16_t kRtExWavAudioEmbedded = 0x100F;
constexpr std::uint16_t kRtExWavAudioLink = 0x1010;
constexpr std::uint16_t kRtExOleObjStg = 0x1011;

constexpr std::uint16_t kProgIdInstance = 2;
constexpr std::uint16_t kCompressedStorageInstance = 1;

// An embedded object bigger than this is not opened to learn its name; the
// charts it is opened for are a few kilobytes. All the storages of one list
// together are inflated up to kMaxInspectedTotalBytes; each storage once.
constexpr std::size_t kMaxInspectedObjectBytes = 64u * 1024 * 1024;
constexpr std::uint64_t kMaxInspectedTotalBytes = 256u * 1024 * 1024;
constexpr gsf_off_t kMaxCompObjBytes = 64 * 1024;
constexpr std::uint32_t kMaxCompObjString = 4096;
// More external objects than any real presentation holds.
constexpr std::size_t kMaxObjects = 1u << 16;

bool isMediaContainer(std::uint16_t recType) {
  switch (recType) {
    case kRtExAviMovie:
    case kRtExMciMovie:
    case kRtExMidiAudio:
    case kRtExCdAudio:
    case kRtExWavAudioEmbedded:
    case kRtExWavAudioLink:
      return true;
    default:
      return false;
  }
}

QString utf16Text(morvane::ByteReader body) {
  QString text;
  text.reserve(qsizetype(body.size() / 2));
  while (body.remaining() >= 2) text.append(QChar(body.u16()));
  return text;
}

bool isChartProgId(const QString &progId) {
  return progId.startsWith(QLatin1String("MSGraph.Chart")) ||
         progId.startsWith(QLatin1String("Excel.Chart")) || isOtherSuiteChartName(progId);
}

// The exObjId of a sound or movie: its ExMediaAtom, directly inside the
// container or inside its ExVideoContainer.
std::optional<std::uint32_t> mediaObjectId(morvane::ByteReader body, bool inVideo = false) {
  std::optional<std::uint32_t> id;
  forEachChild(body, [&](Record &child) {
    if (child.recType == kRtExVideo && !inVideo) {
      id = mediaObjectId(child.body, true);
    } else if (child.recType == kRtExMediaAtom) {
      id = child.body.u32();
    }
    return !id;
  });
  return id;
}

// What the embedded storages of one list have told so far: each storage is
// read once, however many entries refer to it, and what all of them may
// inflate to is bounded.
struct StorageReader {
  const PersistLookup &persist;
  std::map<std::uint32_t, CompObjNames> names;  // by persistIdRef
  std::set<std::uint32_t> objectIds;            // the first entry of an id counts
  std::uint64_t inflated = 0;

  // The bytes of an ExOleObjStg record's compound file, decompressed when
  // the record says so; nullopt when damaged or too big to open.
  std::optional<QByteArray> storageBytes(const Record &stg) {
    morvane::ByteReader body = stg.body;
    if (stg.recInstance != kCompressedStorageInstance)
      return QByteArray(reinterpret_cast<const char *>(body.current()),
                        qsizetype(body.remaining()));
    const std::uint32_t declared = body.u32();
    if (declared > kMaxInspectedObjectBytes || inflated + declared > kMaxInspectedTotalBytes)
      return std::nullopt;
    inflated += declared;
    Inflated out = inflateCapped(body.current(), body.remaining(), declared);
    if (out.end != Inflated::End::Complete) return std::nullopt;
    return std::move(out.data);
  }

  const CompObjNames &namesOf(std::uint32_t persistIdRef) {
    const auto known = names.find(persistIdRef);
    if (known != names.end()) return known->second;
    CompObjNames found;
    const std::optional<Record> stg = persist ? persist(persistIdRef) : std::nullopt;
    if (stg && stg->recType == kRtExOleObjStg)
      if (const std::optional<QByteArray> bytes = storageBytes(*stg))
        found = readCompObjNames(*bytes);
    return names.emplace(persistIdRef, found).first->second;
  }
};

// Fills userType and the chart flag from the object's own storage.
void inspectStorage(ExObject &object, std::uint32_t persistIdRef, StorageReader &storages) {
  const CompObjNames &names = storages.namesOf(persistIdRef);
  object.userType = names.userType;
  object.isChart = isOtherSuiteChartName(names.userType) || isOtherSuiteChartName(names.progId);
}

std::optional<std::pair<std::uint32_t, ExObject>> readOleEntry(const Record &container,
                                                               StorageReader &storages) {
  std::optional<Record> atom = findChild(container.body, kRtExOleObjAtom);
  if (!atom) return std::nullopt;
  morvane::ByteReader in = atom->body;
  in.u32();  // drawAspect
  in.u32();  // type
  const std::uint32_t exObjId = in.u32();
  in.u32();  // subType
  const std::uint32_t persistIdRef = in.u32();
  if (!storages.objectIds.insert(exObjId).second) return std::nullopt;

  ExObject object;
  object.kind = container.recType == kRtExOleEmbed  ? ExObjKind::Embedded
                : container.recType == kRtExOleLink ? ExObjKind::Linked
                                                    : ExObjKind::Other;
  forEachChild(container.body, [&](Record &child) {
    if (child.recType == kRtCString && child.recInstance == kProgIdInstance)
      object.progId = utf16Text(child.body);
    return true;
  });
  object.isChart = isChartProgId(object.progId);
  // Another suite's chart carries no ProgID here; its storage names it.
  if (object.kind == ExObjKind::Embedded && object.progId.isEmpty())
    inspectStorage(object, persistIdRef, storages);
  return std::make_pair(exObjId, object);
}

std::optional<std::pair<std::uint32_t, ExObject>> readEntry(const Record &entry,
                                                            StorageReader &storages) {
  if (isMediaContainer(entry.recType)) {
    const std::optional<std::uint32_t> id = mediaObjectId(entry.body);
    if (!id) return std::nullopt;
    ExObject media;
    media.kind = ExObjKind::Media;
    return std::make_pair(*id, media);
  }
  switch (entry.recType) {
    case kRtExOleEmbed:
    case kRtExOleLink:
    case kRtExControl:
      return readOleEntry(entry, storages);
    default:
      return std::nullopt;  // hyperlinks, the list atom, unknown records
  }
}

QString ansiString(morvane::ByteReader &in) {
  const std::uint32_t length = in.u32();
  if (length > kMaxCompObjString)
    morvane::throwDamaged(QStringLiteral("CompObj string"), in.streamOffset());
  morvane::ByteReader text = in.sub(length);
  QByteArray bytes(reinterpret_cast<const char *>(text.data()), qsizetype(text.size()));
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  return QString::fromLatin1(bytes);
}

void skipClipboardFormat(morvane::ByteReader &in) {
  const std::uint32_t markerOrLength = in.u32();
  if (markerOrLength == 0xFFFFFFFF || markerOrLength == 0xFFFFFFFE)
    in.u32();  // a standard clipboard format number
  else
    in.skip(markerOrLength);
}

CompObjNames parseCompObj(const QByteArray &stream) {
  CompObjNames names;
  morvane::ByteReader in(reinterpret_cast<const std::uint8_t *>(stream.constData()),
                         std::size_t(stream.size()));
  try {
    in.skip(28);  // CompObjHeader
    names.userType = ansiString(in);
    skipClipboardFormat(in);
    names.progId = ansiString(in);
  } catch (const morvane::Error &) {
    // Keep whatever came before the damage.
  }
  return names;
}

QByteArray readChildStream(GsfInfile *storage, const char *name) {
  GsfInput *child = gsf_infile_child_by_name(storage, name);
  if (!child) return {};
  QByteArray bytes;
  const gsf_off_t size = gsf_input_size(child);
  if (size > 0 && size <= kMaxCompObjBytes) {
    bytes.resize(qsizetype(size));
    if (!gsf_input_read(child, size_t(size), reinterpret_cast<guint8 *>(bytes.data())))
      bytes.clear();
  }
  g_object_unref(child);
  return bytes;
}

}  // namespace

bool isOtherSuiteChartName(const QString &name) {
  const bool otherSuite = name.startsWith(QLatin1String("LibreOffice")) ||
                          name.startsWith(QLatin1String("OpenOffice")) ||
                          name.startsWith(QLatin1String("StarOffice")) ||
                          name.startsWith(QLatin1String("StarChart")) ||
                          name.startsWith(QLatin1String("soffice."));
  return otherSuite && name.contains(QLatin1String("Chart"), Qt::CaseInsensitive);
}

CompObjNames readCompObjNames(const QByteArray &compoundFile) {
  if (compoundFile.isEmpty()) return {};
  GsfInput *input = gsf_input_memory_new(reinterpret_cast<const guint8 *>(compoundFile.constData()),
                                         gsf_off_t(compoundFile.size()), FALSE);
  if (!input) return {};
  GError *error = nullptr;
  GsfInfile *storage = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (error) g_error_free(error);
  if (!storage) return {};
  const QByteArray compObj = readChildStream(storage, "\001CompObj");
  g_object_unref(storage);
  return parseCompObj(compObj);
}

std::map<std::uint32_t, ExObject> readExObjList(morvane::ByteReader body,
                                                const PersistLookup &persist) {
  std::map<std::uint32_t, ExObject> objects;
  StorageReader storages{persist, {}, {}, 0};
  for (std::size_t entries = 0; !body.atEnd() && entries < kMaxObjects; ++entries) {
    Record entry;
    try {
      entry = readRecord(body);
    } catch (const morvane::Error &) {
      break;  // the list is cut short; keep what came before
    }
    try {
      if (auto found = readEntry(entry, storages)) objects.emplace(found->first, found->second);
    } catch (const morvane::Error &) {
      // A damaged entry is left out; the others still count.
    }
  }
  return objects;
}

}  // namespace office::ppt
