#include "office/pptx/ziprecovery.h"

#include <zlib.h>

#include <QByteArrayView>
#include <algorithm>
#include <optional>

#include "common/bytereader.h"
#include "common/error.h"

namespace office::pptx {

namespace {

// Signatures and fields of the ZIP application note.
constexpr std::uint32_t kLocalFileHeaderSignature = 0x04034b50;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::size_t kLocalHeaderSize = 30;

[[noreturn]] void damaged(const ZipEntry &entry, const QString &what) {
  throw morvane::Error(QStringLiteral("the file is damaged: the part \"%1\" cannot be read (%2)")
                           .arg(entry.name, what));
}

morvane::ByteReader readerOver(const QByteArray &bytes) {
  return morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             std::size_t(bytes.size()));
}

struct RawInflater {
  z_stream stream{};
  bool ready = false;
  RawInflater() { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
  ~RawInflater() {
    if (ready) inflateEnd(&stream);
  }
  RawInflater(const RawInflater &) = delete;
  RawInflater &operator=(const RawInflater &) = delete;
};

// Inflates the raw deflate stream at data into out (sized to what is
// expected) and returns the compressed bytes it took, or nullopt when the
// stream is damaged, does not end, or yields more than out holds.
std::optional<std::uint64_t> inflateInto(QByteArrayView data, char *out, std::uint64_t outSize,
                                         std::uint64_t *produced) {
  RawInflater z;
  if (!z.ready) return std::nullopt;
  z.stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.stream.avail_in = uInt(std::min<qsizetype>(data.size(), qsizetype(UINT32_MAX)));
  std::uint64_t total = 0;
  char scratch[1];
  while (true) {
    const bool room = total < outSize;
    const std::uint64_t avail = room ? std::min<std::uint64_t>(outSize - total, UINT32_MAX) : 1;
    z.stream.next_out = reinterpret_cast<Bytef *>(room ? out + total : scratch);
    z.stream.avail_out = uInt(avail);
    const int rc = inflate(&z.stream, Z_NO_FLUSH);
    total += avail - z.stream.avail_out;
    if (total > outSize) return std::nullopt;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) return std::nullopt;
  }
  *produced = total;
  return z.stream.total_in;
}

// The compressed length of a deflated entry whose sizes follow its data,
// found by inflating it (into a buffer of at most maxSize bytes).
std::optional<std::uint64_t> measureDeflated(QByteArrayView data, std::uint64_t maxSize,
                                             std::uint64_t *size) {
  QByteArray sink(qsizetype(std::min<std::uint64_t>(maxSize, 1 << 20)), Qt::Uninitialized);
  RawInflater z;
  if (!z.ready) return std::nullopt;
  z.stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.stream.avail_in = uInt(std::min<qsizetype>(data.size(), qsizetype(UINT32_MAX)));
  while (true) {
    z.stream.next_out = reinterpret_cast<Bytef *>(sink.data());
    z.stream.avail_out = uInt(sink.size());
    const int rc = inflate(&z.stream, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK || z.stream.total_out > maxSize) return std::nullopt;
  }
  *size = z.stream.total_out;
  return z.stream.total_in;
}

void readZip64Sizes(morvane::ByteReader extra, ZipEntry &entry, bool sizeMarked, bool compMarked) {
  while (extra.remaining() >= 4) {
    const std::uint16_t id = extra.u16();
    morvane::ByteReader field = extra.sub(std::min<std::uint64_t>(extra.u16(), extra.remaining()));
    if (id != kZip64ExtraId) continue;
    const auto u64 = [&field] {
      return std::uint64_t(field.u32()) | (std::uint64_t(field.u32()) << 32);
    };
    if (sizeMarked && field.remaining() >= 8) entry.size = u64();
    if (compMarked && field.remaining() >= 8) entry.compressedSize = u64();
    return;
  }
}

struct Scan {
  const QByteArray &bytes;
  const ZipLimits &limits;
  std::uint64_t inflatedWhileScanning = 0;
};

// Finds where the data of an entry with a trailing data descriptor ends, and
// takes its sizes and CRC from the descriptor. False when it cannot be found.
bool completeFromDescriptor(Scan &scan, morvane::ByteReader &in, ZipEntry &entry) {
  const std::uint64_t start = in.pos();
  const QByteArrayView rest(scan.bytes.constData() + start, qsizetype(in.remaining()));
  std::uint64_t compressed = 0;
  if (entry.method == kMethodDeflated) {
    std::uint64_t size = 0;
    const std::uint64_t budget = scan.limits.maxInflatedBytes -
                                 std::min(scan.inflatedWhileScanning, scan.limits.maxInflatedBytes);
    const auto taken = measureDeflated(rest, budget, &size);
    if (!taken) return false;
    scan.inflatedWhileScanning += size;
    compressed = *taken;
  } else {
    // A stored entry's end is where a descriptor follows that counts it.
    qsizetype at = 0;
    while (true) {
      at = rest.indexOf(QByteArrayView("PK\x07\x08", 4), at);
      if (at < 0 || at + 16 > rest.size()) return false;
      morvane::ByteReader probe(reinterpret_cast<const std::uint8_t *>(rest.data()) + at + 8, 8);
      if (probe.u32() == std::uint32_t(at)) break;
      ++at;
    }
    compressed = std::uint64_t(at);
  }
  in.skip(compressed);
  morvane::ByteReader descriptor = in;
  if (descriptor.remaining() >= 4 && descriptor.u32() != kDataDescriptorSignature) descriptor = in;
  entry.crc = descriptor.u32();
  descriptor.u32();  // the compressed size, known now
  entry.size = descriptor.u32();
  entry.compressedSize = compressed;
  entry.index = start;
  in.seek(descriptor.pos());
  return true;
}

std::optional<ZipEntry> readLocalEntry(Scan &scan, morvane::ByteReader &in) {
  if (in.remaining() < kLocalHeaderSize || in.u32() != kLocalFileHeaderSignature)
    return std::nullopt;
  ZipEntry entry;
  in.u16();  // version needed to extract
  const std::uint16_t flags = in.u16();
  entry.method = in.u16();
  in.u32();  // last modification time and date
  entry.crc = in.u32();
  const std::uint32_t compressed = in.u32();
  const std::uint32_t size = in.u32();
  const std::uint16_t nameLength = in.u16();
  const std::uint16_t extraLength = in.u16();
  if (nameLength > scan.limits.maxNameBytes ||
      in.remaining() < std::uint64_t(nameLength) + extraLength)
    return std::nullopt;
  const morvane::ByteReader name = in.sub(nameLength);
  entry.name = QString::fromUtf8(reinterpret_cast<const char *>(name.data()), nameLength);
  entry.compressedSize = compressed;
  entry.size = size;
  entry.encrypted = flags & kFlagEncrypted;
  readZip64Sizes(in.sub(extraLength), entry, size == kZip64Marker, compressed == kZip64Marker);
  if (flags & kFlagDataDescriptor && compressed == 0) {
    if (!completeFromDescriptor(scan, in, entry)) return std::nullopt;
    return entry;
  }
  if (entry.compressedSize > in.remaining()) return std::nullopt;  // cut off here
  entry.index = in.pos();
  in.skip(entry.compressedSize);
  if (flags & kFlagDataDescriptor) {
    // The sizes were in the header too; skip the descriptor that repeats them.
    morvane::ByteReader descriptor = in;
    if (descriptor.remaining() >= 16 && descriptor.u32() == kDataDescriptorSignature)
      in.skip(16);
    else if (in.remaining() >= 12)
      in.skip(12);
  }
  return entry;
}

}  // namespace

std::vector<ZipEntry> scanLocalHeaders(const QByteArray &bytes, const ZipLimits &limits) {
  std::vector<ZipEntry> entries;
  morvane::ByteReader in = readerOver(bytes);
  Scan scan{bytes, limits};
  try {
    while (entries.size() < limits.maxEntries) {
      auto entry = readLocalEntry(scan, in);
      if (!entry) break;
      entries.push_back(std::move(*entry));
    }
  } catch (const morvane::Error &) {
    // A header running past the end of the file: the entries before it stand.
  }
  return entries;
}

QByteArray readRecoveredEntry(const QByteArray &bytes, const ZipEntry &entry) {
  if (entry.index > std::uint64_t(bytes.size()) ||
      entry.compressedSize > std::uint64_t(bytes.size()) - entry.index)
    damaged(entry, QStringLiteral("its data runs past the end of the file"));
  const QByteArrayView data(bytes.constData() + entry.index, qsizetype(entry.compressedSize));
  QByteArray out;
  if (entry.method == kMethodStored) {
    if (entry.size != entry.compressedSize)
      damaged(entry, QStringLiteral("a stored entry with two different sizes"));
    out = data.toByteArray();
  } else {
    out = QByteArray(qsizetype(entry.size), Qt::Uninitialized);
    std::uint64_t produced = 0;
    if (!inflateInto(data, out.data(), entry.size, &produced) || produced != entry.size)
      damaged(entry, QStringLiteral("its compressed data is damaged or larger than it declares"));
  }
  return out;
}

}  // namespace office::pptx
