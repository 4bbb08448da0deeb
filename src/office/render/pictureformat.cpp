#include "office/render/pictureformat.h"

#include <QString>
#include <algorithm>

#include "common/bytereader.h"
#include "common/error.h"
#include "common/lebuffer.h"

namespace office::render {

namespace {

constexpr quint32 kBiBitfields = 3;
constexpr quint32 kBiAlphaBitfields = 6;
constexpr quint32 kCoreHeaderSize = 12;
constexpr quint32 kInfoHeaderSize = 40;

[[noreturn]] void damaged(const QString &what) {
  throw morvane::PictureError(QStringLiteral("the picture cannot be read (%1)").arg(what));
}

bool isValidBitCount(int bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool isValidDibHeaderSize(quint32 size) {
  return size == kCoreHeaderSize || size == kInfoHeaderSize || size == 52 || size == 56 ||
         size == 64 || size == 108 || size == 124;
}

}  // namespace

qsizetype pictStart(const QByteArray &data) {
  auto versionAt = [&](qsizetype start) {
    const qsizetype at = start + kPictHeaderSize;
    if (data.size() < at + 2) return false;
    const uchar *p = reinterpret_cast<const uchar *>(data.constData()) + at;
    const bool v1 = p[0] == 0x11 && p[1] == 0x01;
    const bool v2 =
        data.size() >= at + 4 && p[0] == 0x00 && p[1] == 0x11 && p[2] == 0x02 && p[3] == 0xFF;
    return v1 || v2;
  };
  if (versionAt(0)) return 0;
  if (versionAt(kPictPreambleSize)) return kPictPreambleSize;
  return -1;
}

QByteArray bmpFileHeaderForDib(const QByteArray &dib) {
  morvane::ByteReader in(reinterpret_cast<const std::uint8_t *>(dib.constData()),
                         std::size_t(dib.size()));
  const quint32 headerSize = in.u32();
  if (!isValidDibHeaderSize(headerSize) || headerSize > quint64(dib.size()))
    damaged(QStringLiteral("bitmap header size %1").arg(headerSize));
  quint64 bitCount = 0, colorsUsed = 0, masks = 0, paletteEntrySize = 4;
  if (headerSize == kCoreHeaderSize) {
    in.seek(10);
    bitCount = in.u16();
    paletteEntrySize = 3;
  } else {
    in.seek(14);
    bitCount = in.u16();
    const quint32 compression = in.u32();
    in.seek(32);
    colorsUsed = in.u32();
    // A bare 40-byte header is followed by the colour masks; larger ones hold them.
    if (headerSize == kInfoHeaderSize && compression == kBiBitfields) masks = 12;
    if (headerSize == kInfoHeaderSize && compression == kBiAlphaBitfields) masks = 16;
  }
  if (!isValidBitCount(int(bitCount))) damaged(QStringLiteral("%1 bits per pixel").arg(bitCount));
  quint64 paletteEntries = colorsUsed;
  if (paletteEntries == 0 && bitCount <= 8) paletteEntries = 1ULL << bitCount;
  // The palette cannot be longer than the data holds.
  const quint64 room =
      quint64(dib.size()) - headerSize - std::min<quint64>(masks, dib.size() - headerSize);
  paletteEntries = std::min(paletteEntries, room / paletteEntrySize);
  const quint64 offBits =
      kBmpFileHeaderSize + headerSize + masks + paletteEntries * paletteEntrySize;
  const quint64 fileSize = kBmpFileHeaderSize + quint64(dib.size());
  if (fileSize > 0xFFFFFFFFULL) damaged(QStringLiteral("bitmap too long"));

  return bmpFileHeader(quint32(fileSize), quint32(std::min(offBits, fileSize)));
}

QByteArray bmpFileHeader(quint32 fileSize, quint32 bitsOffset) {
  morvane::LeBuffer header;
  header.reserve(kBmpFileHeaderSize);
  header.append(QByteArrayLiteral("BM"));
  header.u32(fileSize);
  header.u32(0);  // two reserved words
  header.u32(bitsOffset);
  return header.bytes();
}

}  // namespace office::render
