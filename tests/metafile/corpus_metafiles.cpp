#include "corpus_metafiles.h"

#include <gsf/gsf.h>
#include <zlib.h>

#include <memory>

#include "common/bytereader.h"
#include "common/error.h"

namespace metafile_test {
namespace {

using morvane::ByteReader;
using office::render::BlipFormat;

constexpr quint16 kBlipEmf = 0xF01A;
constexpr quint16 kBlipWmf = 0xF01B;
constexpr quint32 kMaxInflated = 64u << 20;

QByteArray readPicturesStream(const QString &path) {
  GError *err = nullptr;
  GsfInput *file = gsf_input_stdio_new(path.toLocal8Bit().constData(), &err);
  if (!file) {
    if (err) g_error_free(err);
    throw morvane::Error(QStringLiteral("cannot open %1").arg(path));
  }
  GsfInfile *ole = gsf_infile_msole_new(file, &err);
  g_object_unref(file);
  if (!ole) {
    if (err) g_error_free(err);
    throw morvane::Error(QStringLiteral("%1 is not a compound file").arg(path));
  }
  GsfInput *stream = gsf_infile_child_by_name(ole, "Pictures");
  g_object_unref(ole);
  if (!stream) return {};
  QByteArray bytes(qsizetype(gsf_input_size(stream)), '\0');
  bool ok = gsf_input_read(stream, size_t(bytes.size()),
                           reinterpret_cast<guint8 *>(bytes.data())) != nullptr;
  g_object_unref(stream);
  if (!ok) throw morvane::Error(QStringLiteral("cannot read the Pictures stream"));
  return bytes;
}

QByteArray inflate(const std::uint8_t *data, std::size_t size, quint32 declared) {
  if (declared == 0 || declared > kMaxInflated) return {};
  QByteArray out(qsizetype(declared), '\0');
  uLongf outSize = declared;
  int rc = uncompress(reinterpret_cast<Bytef *>(out.data()), &outSize, data, uLong(size));
  if (rc != Z_OK && rc != Z_BUF_ERROR) return {};
  out.resize(qsizetype(outSize));
  return out;
}

// Blip body: UID(s), the 34-byte metafile header, then the (compressed) data.
bool readMetafileBlip(morvane::ByteReader body, quint16 type, quint16 instance,
                      StoredMetafile &out) {
  bool twoUids = (type == kBlipEmf && instance == 0x3D5) || (type == kBlipWmf && instance == 0x217);
  body.skip(twoUids ? 32 : 16);
  quint32 cbSize = body.u32();
  int left = body.i32(), top = body.i32(), right = body.i32(), bottom = body.i32();
  int cx = body.i32(), cy = body.i32();
  quint32 cbSave = body.u32();
  quint8 compression = body.u8();
  body.u8();  // filter
  std::size_t saved = std::min<std::size_t>(cbSave, body.remaining());
  QByteArray data;
  if (compression == 0)
    data = inflate(body.current(), saved, cbSize);
  else
    data = QByteArray(reinterpret_cast<const char *>(body.current()), qsizetype(saved));
  if (data.isEmpty()) return false;
  out.picture.format = type == kBlipEmf ? BlipFormat::Emf : BlipFormat::Wmf;
  out.picture.data = data;
  out.picture.metafileBounds = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
  out.picture.metafileSizeEmu = QSize(cx, cy);
  return true;
}

}  // namespace

std::vector<StoredMetafile> storedMetafiles(const QString &presentationPath) {
  QByteArray stream = readPicturesStream(presentationPath);
  morvane::ByteReader reader(reinterpret_cast<const std::uint8_t *>(stream.constData()),
                             std::size_t(stream.size()));
  std::vector<StoredMetafile> found;
  try {
    while (reader.remaining() >= 8) {
      qint64 offset = qint64(reader.pos());
      quint16 verInstance = reader.u16();
      quint16 type = reader.u16();
      quint32 length = reader.u32();
      morvane::ByteReader body = reader.sub(std::min<std::uint64_t>(length, reader.remaining()));
      if (type != kBlipEmf && type != kBlipWmf) continue;
      StoredMetafile blip;
      blip.offset = offset;
      try {
        if (readMetafileBlip(body, type, verInstance >> 4, blip)) found.push_back(blip);
      } catch (const morvane::Error &) {
      }
    }
  } catch (const morvane::Error &) {
  }
  return found;
}

}  // namespace metafile_test
