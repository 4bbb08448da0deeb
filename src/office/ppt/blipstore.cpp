#include "office/ppt/blipstore.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "common/error.h"
#include "office/ppt/records.h"
#include "office/render/exportcache.h"

namespace office::ppt {

using office::render::BlipFormat;
using office::render::PictureSource;

namespace {

// OfficeArt record types of the picture store.
constexpr std::uint16_t kRtFbse = 0xF007;
constexpr std::uint16_t kRtBlipFirst = 0xF018;
constexpr std::uint16_t kRtBlipLast = 0xF117;
constexpr std::uint16_t kRtBlipEmf = 0xF01A;
constexpr std::uint16_t kRtBlipWmf = 0xF01B;
constexpr std::uint16_t kRtBlipPict = 0xF01C;
constexpr std::uint16_t kRtBlipJpeg = 0xF01D;
constexpr std::uint16_t kRtBlipPng = 0xF01E;
constexpr std::uint16_t kRtBlipDib = 0xF01F;
constexpr std::uint16_t kRtBlipTiff = 0xF029;
constexpr std::uint16_t kRtBlipJpegCmyk = 0xF02A;

constexpr std::size_t kRecordHeaderBytes = 8;
// More entries than any real presentation holds; a store claiming more is
// read up to here (entries past it are reported as outside the store).
constexpr std::size_t kMaxEntries = 1u << 18;
constexpr std::size_t kFbseFixedBytes = 36;
constexpr std::size_t kUidBytes = 16;
constexpr std::size_t kBitmapTagBytes = 1;
constexpr std::uint8_t kMetafileDeflate = 0x00;
constexpr std::uint8_t kMetafileUncompressed = 0xFE;
// Loaded pictures kept for the shapes that share them.
constexpr qsizetype kLoadedCacheBytes = 96 * 1024 * 1024;
constexpr std::size_t kLoadedCacheEntries = 8;

struct BlipKind {
  BlipFormat format = BlipFormat::Unknown;
  bool metafile = false;
  // recInstance values with one UID; the same plus one means two UIDs.
  std::uint16_t singleUidInstances[2] = {0, 0};
};

bool isMetafile(BlipFormat format) {
  return format == BlipFormat::Emf || format == BlipFormat::Wmf || format == BlipFormat::Pict;
}

std::optional<BlipKind> blipKindOf(std::uint16_t recType) {
  switch (recType) {
    case kRtBlipEmf:
      return BlipKind{BlipFormat::Emf, true, {0x3D4, 0x3D4}};
    case kRtBlipWmf:
      return BlipKind{BlipFormat::Wmf, true, {0x216, 0x216}};
    case kRtBlipPict:
      return BlipKind{BlipFormat::Pict, true, {0x542, 0x542}};
    case kRtBlipJpeg:
    case kRtBlipJpegCmyk:
      return BlipKind{BlipFormat::Jpeg, false, {0x46A, 0x6E2}};
    case kRtBlipPng:
      return BlipKind{BlipFormat::Png, false, {0x6E0, 0x6E0}};
    case kRtBlipDib:
      return BlipKind{BlipFormat::Dib, false, {0x7A8, 0x7A8}};
    case kRtBlipTiff:
      return BlipKind{BlipFormat::Tiff, false, {0x6E4, 0x6E4}};
    default:
      return std::nullopt;
  }
}

// How many 16-byte UIDs open the blip: the instances listed for the type say
// one, the next odd instance says two. Every listed instance is even, so an
// instance no writer should produce falls back to its lowest bit.
std::size_t uidCount(const BlipKind &kind, std::uint16_t recInstance) {
  for (std::uint16_t single : kind.singleUidInstances) {
    if (recInstance == single) return 1;
    if (recInstance == single + 1) return 2;
  }
  return (recInstance & 1) ? 2 : 1;
}

QRect boundsOf(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  const auto clampInt = [](std::int64_t v) {
    return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
  };
  return QRect(left, top, clampInt(std::int64_t(right) - left),
               clampInt(std::int64_t(bottom) - top));
}

// Where a blip's picture bytes lie inside its record, and what the header
// around them says.
struct BlipLayout {
  PictureSource picture;  // everything but data
  bool deflated = false;
  std::uint32_t cbSize = 0;
  std::size_t dataOffset = 0;  // from the start of the record header
  std::size_t dataEnd = 0;
};

void readMetafileHeader(morvane::ByteReader &in, BlipLayout &layout) {
  layout.cbSize = in.u32();
  const std::int32_t left = in.i32(), top = in.i32(), right = in.i32(), bottom = in.i32();
  const std::int32_t widthEmu = in.i32(), heightEmu = in.i32();
  in.u32();  // cbSave: the compressed size; the record's length is what counts
  const std::uint8_t compression = in.u8();
  in.u8();  // filter: always "none"
  if (compression != kMetafileDeflate && compression != kMetafileUncompressed)
    morvane::throwDamaged(QStringLiteral("unknown metafile compression %1").arg(compression),
                          in.streamOffset());
  layout.deflated = compression == kMetafileDeflate;
  layout.picture.metafileBounds = boundsOf(left, top, right, bottom);
  layout.picture.metafileSizeEmu = QSize(widthEmu, heightEmu);
}

std::optional<BlipLayout> layoutOf(morvane::ByteReader recordBytes) {
  Record record = readRecord(recordBytes);
  const std::optional<BlipKind> kind = blipKindOf(record.recType);
  if (!kind) return std::nullopt;
  BlipLayout layout;
  layout.picture.format = kind->format;
  morvane::ByteReader in = record.body;
  in.skip(kUidBytes * uidCount(*kind, record.recInstance));
  if (kind->metafile)
    readMetafileHeader(in, layout);
  else
    in.skip(kBitmapTagBytes);
  layout.dataOffset = kRecordHeaderBytes + in.pos();
  layout.dataEnd = kRecordHeaderBytes + record.recLen;
  return layout;
}

// Inflates a compressed metafile, capped by its declared size.
QByteArray inflateMetafile(const BlipLayout &layout, const std::uint8_t *data, std::size_t size,
                           std::uint64_t offset) {
  if (layout.cbSize > kMaxInflatedMetafileBytes)
    throw morvane::PictureError(
        QStringLiteral(
            "the metafile is too large (%1 MB once decompressed; at most %2 MB are read)")
            .arg(layout.cbSize >> 20)
            .arg(kMaxInflatedMetafileBytes >> 20));
  const std::size_t cap = layout.cbSize == 0 ? kMaxInflatedMetafileBytes : layout.cbSize;
  Inflated out = inflateCapped(data, size, cap);
  // A damaged or cut tail still leaves the records before it drawable.
  if (out.data.isEmpty() && out.end != Inflated::End::Complete)
    morvane::throwDamaged(QStringLiteral("compressed metafile data"), offset);
  return std::move(out.data);
}

// Decodes a blip record held in bytes (which may run on past the record),
// reusing its buffer for stored data.
std::optional<PictureSource> decodeOwnedBlip(QByteArray bytes, std::uint64_t offset) {
  morvane::ByteReader reader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             std::size_t(bytes.size()), offset);
  std::optional<BlipLayout> layout = layoutOf(reader);
  if (!layout) return std::nullopt;
  PictureSource picture = std::move(layout->picture);
  if (layout->deflated) {
    picture.data =
        inflateMetafile(*layout, reader.data() + layout->dataOffset,
                        layout->dataEnd - layout->dataOffset, offset + layout->dataOffset);
  } else {
    bytes.truncate(qsizetype(layout->dataEnd));
    bytes.remove(0, qsizetype(layout->dataOffset));
    picture.data = std::move(bytes);
  }
  return picture;
}

}  // namespace

Inflated inflateCapped(const std::uint8_t *data, std::size_t size, std::size_t cap) {
  Inflated result;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) {
    result.end = Inflated::End::Corrupt;
    return result;
  }
  constexpr std::size_t kChunk = 64 * 1024;
  zs.next_in = const_cast<Bytef *>(data);
  zs.avail_in = uInt(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
  int rc = Z_OK;
  while (rc == Z_OK) {
    const std::size_t room = cap - std::size_t(result.data.size());
    if (room == 0) {
      result.end = Inflated::End::Capped;
      break;
    }
    const std::size_t grow = std::min(kChunk, room);
    const qsizetype before = result.data.size();
    result.data.resize(before + qsizetype(grow));
    zs.next_out = reinterpret_cast<Bytef *>(result.data.data() + before);
    zs.avail_out = uInt(grow);
    rc = inflate(&zs, Z_NO_FLUSH);
    result.data.resize(before + qsizetype(grow - zs.avail_out));
    if (rc == Z_BUF_ERROR && zs.avail_in == 0)
      result.end = Inflated::End::InputEnded;
    else if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0)
      rc = Z_BUF_ERROR, result.end = Inflated::End::InputEnded;
    else if (rc != Z_OK && rc != Z_STREAM_END)
      result.end = Inflated::End::Corrupt;
  }
  if (rc == Z_STREAM_END) result.end = Inflated::End::Complete;
  inflateEnd(&zs);
  return result;
}

BlipFormat formatOfBlipType(std::uint8_t blipType) {
  switch (blipType) {
    case 2:
      return BlipFormat::Emf;
    case 3:
      return BlipFormat::Wmf;
    case 4:
      return BlipFormat::Pict;
    case 5:
    case 0x11:
      return BlipFormat::Jpeg;  // RGB and CMYK
    case 6:
      return BlipFormat::Png;
    case 7:
      return BlipFormat::Dib;
    case 0x12:
      return BlipFormat::Tiff;
    default:
      return BlipFormat::Unknown;
  }
}

std::optional<PictureSource> decodeBlip(morvane::ByteReader blipRecord) {
  std::optional<BlipLayout> layout = layoutOf(blipRecord);
  if (!layout) return std::nullopt;
  PictureSource picture = std::move(layout->picture);
  const std::uint8_t *start = blipRecord.current() + layout->dataOffset;
  const std::size_t size = layout->dataEnd - layout->dataOffset;
  if (layout->deflated)
    picture.data =
        inflateMetafile(*layout, start, size, blipRecord.streamOffset() + layout->dataOffset);
  else
    picture.data = QByteArray(reinterpret_cast<const char *>(start), qsizetype(size));
  return picture;
}

std::optional<BlipSummary> summarizeBlip(morvane::ByteReader blipRecord, std::size_t headBytes) {
  const std::optional<BlipLayout> layout = layoutOf(blipRecord);
  if (!layout) return std::nullopt;
  BlipSummary summary;
  summary.format = layout->picture.format;
  const std::uint8_t *start = blipRecord.current() + layout->dataOffset;
  const std::size_t size = layout->dataEnd - layout->dataOffset;
  summary.storedBytes = size;
  if (layout->deflated)
    summary.head = inflateCapped(start, size, headBytes).data;
  else
    summary.head =
        QByteArray(reinterpret_cast<const char *>(start), qsizetype(std::min(size, headBytes)));
  return summary;
}

PictureStore::PictureStore(morvane::ByteReader body, std::shared_ptr<RandomAccessStream> pictures)
    : pictures_(std::move(pictures)), exportCache_(std::make_shared<render::ExportCache>()) {
  while (body.remaining() >= kRecordHeaderBytes && entries_.size() < kMaxEntries) {
    const std::size_t start = body.pos();
    body.u16();
    const std::uint16_t recType = body.u16();
    const std::uint32_t recLen = body.u32();
    // A record that overruns the store is kept as far as it goes; nothing
    // after it can be trusted.
    const bool overruns = recLen > body.remaining();
    const std::size_t available = overruns ? body.remaining() : recLen;
    morvane::ByteReader record = body.slice(start, kRecordHeaderBytes + available);
    entries_.push_back(parseEntry(recType, record, overruns));
    if (overruns) break;
    body.skip(recLen);
  }
}

PictureStore::Entry PictureStore::parseEntry(std::uint16_t recType, morvane::ByteReader record,
                                             bool overruns) {
  Entry e;
  if (recType >= kRtBlipFirst && recType <= kRtBlipLast) {
    e.kind = overruns ? Entry::Kind::Damaged : Entry::Kind::BareBlip;
    e.inlineBlip = record;
    e.hasInlineBlip = true;
    return e;
  }
  if (recType != kRtFbse) return e;
  record.skip(kRecordHeaderBytes);
  if (record.remaining() < kFbseFixedBytes) {
    e.kind = Entry::Kind::Damaged;
    return e;
  }
  e.kind = Entry::Kind::Bse;
  e.btWin32 = record.u8();
  e.btMacOS = record.u8();
  record.skip(kUidBytes + 2);  // rgbUid, tag
  e.size = record.u32();
  record.u32();  // cRef
  e.foDelay = record.u32();
  record.u8();
  const std::uint8_t cbName = record.u8();
  record.skip(2);
  // A blip record may follow the name; other trailing bytes are ignored and
  // the picture is looked for in the "Pictures" stream.
  if (record.remaining() >= std::size_t(cbName) + kRecordHeaderBytes) {
    record.skip(cbName);
    morvane::ByteReader rest = record.sub(record.remaining());
    morvane::ByteReader peek = rest;
    peek.u16();
    const std::uint16_t blipType = peek.u16();
    if (blipType >= kRtBlipFirst && blipType <= kRtBlipLast) {
      e.inlineBlip = rest;
      e.hasInlineBlip = true;
    }
  }
  return e;
}

std::size_t PictureStore::count() const { return entries_.size(); }

const PictureStore::Entry &PictureStore::entry(std::uint32_t pib) const {
  if (pib == 0 || pib > entries_.size())
    throw morvane::PictureError(
        QStringLiteral("the file is damaged (picture %1 is not in its picture store of %2)")
            .arg(pib)
            .arg(entries_.size()));
  return entries_[pib - 1];
}

std::optional<PictureSource> PictureStore::load(std::uint32_t pib) const {
  if (pib == 0) return std::nullopt;
  {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(loaded_.begin(), loaded_.end(),
                                    [pib](const auto &item) { return item.first == pib; });
    if (found != loaded_.end()) {
      loaded_.splice(loaded_.begin(), loaded_, found);
      return found->second;
    }
  }
  std::optional<PictureSource> picture;
  try {
    picture = loadEntry(pib);
  } catch (const morvane::PictureError &) {
    throw;
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
  if (!picture) return picture;
  picture->cache = exportCache_;
  picture->cacheId = pib;
  remember(pib, *picture);
  return picture;
}

void PictureStore::remember(std::uint32_t pib, const PictureSource &picture) const {
  const std::lock_guard lock(mutex_);
  if (picture.data.size() > kLoadedCacheBytes) return;
  qsizetype held = picture.data.size();
  for (const auto &item : loaded_) held += item.second.data.size();
  while (!loaded_.empty() && (held > kLoadedCacheBytes || loaded_.size() >= kLoadedCacheEntries)) {
    held -= loaded_.back().second.data.size();
    loaded_.pop_back();
  }
  loaded_.emplace_front(pib, picture);
}

// Metafiles are stored compressed: what they decompress to, all together,
// is bounded per presentation.
std::optional<PictureSource> PictureStore::counted(std::optional<PictureSource> picture) const {
  if (picture && isMetafile(picture->format)) {
    const std::lock_guard lock(mutex_);
    inflatedTotal_ += std::uint64_t(picture->data.size());
  }
  return picture;
}

void PictureStore::checkInflationBudget(const Entry &e) const {
  const bool metafile = e.kind != Entry::Kind::Bse || isMetafile(formatOfBlipType(e.btWin32));
  const std::lock_guard lock(mutex_);
  if (metafile && inflatedTotal_ >= kMaxInflatedPerFile)
    throw morvane::PictureError(
        QStringLiteral("the presentation's pictures decompress to more than %1 MB")
            .arg(kMaxInflatedPerFile >> 20));
}

template <class Result>
std::optional<Result> PictureStore::withBlip(std::uint32_t pib, const FromStore<Result> &fromStore,
                                             const FromPictures<Result> &fromPictures) const {
  if (pib == 0) return std::nullopt;
  const Entry &e = entry(pib);
  switch (e.kind) {
    case Entry::Kind::Unknown:
      return std::nullopt;
    case Entry::Kind::Damaged:
      morvane::throwDamaged(QStringLiteral("picture store entry %1").arg(pib),
                            e.inlineBlip.streamOffset());
    case Entry::Kind::BareBlip:
      return fromStore(e.inlineBlip);
    case Entry::Kind::Bse:
      break;
  }
  if (e.hasInlineBlip) return fromStore(e.inlineBlip);
  std::optional<QByteArray> record = readFromPictures(e);
  if (!record) return std::nullopt;
  return fromPictures(std::move(*record), e.foDelay);
}

std::optional<PictureSource> PictureStore::loadEntry(std::uint32_t pib) const {
  checkInflationBudget(entry(pib));
  return counted(withBlip<PictureSource>(pib, decodeBlip, decodeOwnedBlip));
}

std::optional<BlipSummary> PictureStore::summary(std::uint32_t pib, std::size_t headBytes) const {
  return withBlip<BlipSummary>(
      pib, [&](morvane::ByteReader record) { return summarizeBlip(record, headBytes); },
      [&](QByteArray record, std::uint64_t offset) {
        return summarizeBlip(
            morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(record.constData()),
                                std::size_t(record.size()), offset),
            headBytes);
      });
}

// The blip record of an entry kept in the "Pictures" stream; nullopt when the
// entry points at none.
std::optional<QByteArray> PictureStore::readFromPictures(const Entry &e) const {
  if (e.size == 0 || !pictures_ || e.foDelay >= pictures_->size()) return std::nullopt;
  const std::uint64_t left = pictures_->size() - e.foDelay;
  if (left < kRecordHeaderBytes)
    morvane::throwDamaged(QStringLiteral("picture header cut off in the Pictures stream"),
                          e.foDelay);
  const QByteArray header = pictures_->read(e.foDelay, kRecordHeaderBytes);
  morvane::ByteReader headerReader(reinterpret_cast<const std::uint8_t *>(header.constData()),
                                   std::size_t(header.size()), e.foDelay);
  headerReader.skip(4);
  const std::uint32_t recLen = headerReader.u32();
  if (recLen > left - kRecordHeaderBytes)
    morvane::throwDamaged(QStringLiteral("picture runs past the end of the Pictures stream"),
                          e.foDelay);
  if (recLen > kMaxInflatedBytes)
    morvane::throwDamaged(QStringLiteral("picture larger than any real one"), e.foDelay);
  return pictures_->read(e.foDelay, std::uint32_t(kRecordHeaderBytes + recLen));
}

BlipFormat PictureStore::declaredFormat(std::uint32_t pib) const {
  const Entry &e = entry(pib);
  return e.kind == Entry::Kind::Bse ? formatOfBlipType(e.btWin32) : BlipFormat::Unknown;
}

BlipFormat PictureStore::declaredMacFormat(std::uint32_t pib) const {
  const Entry &e = entry(pib);
  return e.kind == Entry::Kind::Bse ? formatOfBlipType(e.btMacOS) : BlipFormat::Unknown;
}

}  // namespace office::ppt
