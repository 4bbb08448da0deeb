// libgsf pulls in GIO, whose headers use "signals" as a name: include them before Qt.
#include <gsf/gsf.h>
// clang-format off
#include "pictureblips.h"
// clang-format on
#include <zlib.h>

#include <QFile>
#include <algorithm>

#include "common/bytereader.h"

namespace {

QByteArray readPicturesStream(const QString &path) {
  GError *error = nullptr;
  GsfInput *input = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
  if (!input) {
    g_clear_error(&error);
    return {};
  }
  QByteArray bytes;
  GsfInfile *ole = gsf_infile_msole_new(input, &error);
  g_clear_error(&error);
  if (ole) {
    if (GsfInput *stream = gsf_infile_child_by_name(ole, "Pictures")) {
      const gsf_off_t size = gsf_input_size(stream);
      if (size > 0 && size < (1 << 28)) {
        bytes.resize(qsizetype(size));
        if (!gsf_input_read(stream, size_t(size), reinterpret_cast<guint8 *>(bytes.data())))
          bytes.clear();
      }
      g_object_unref(stream);
    }
    g_object_unref(ole);
  }
  g_object_unref(input);
  return bytes;
}

QByteArray inflate(const QByteArray &packed, quint32 expected) {
  QByteArray out(qsizetype(std::min<quint32>(expected, 64u << 20)), '\0');
  uLongf length = uLongf(out.size());
  if (uncompress(reinterpret_cast<Bytef *>(out.data()), &length,
                 reinterpret_cast<const Bytef *>(packed.constData()), uLong(packed.size())) != Z_OK)
    return {};
  out.truncate(qsizetype(length));
  return out;
}

}  // namespace

QList<StoredMetafile> readStoredMetafiles(const QString &pptPath) {
  const QByteArray stream = readPicturesStream(pptPath);
  QList<StoredMetafile> found;
  morvane::ByteReader in(reinterpret_cast<const std::uint8_t *>(stream.constData()),
                         std::size_t(stream.size()));
  try {
    while (in.remaining() >= 8) {
      const int instance = in.u16() >> 4;
      const int type = in.u16();
      morvane::ByteReader body = in.sub(in.u32());
      if (type < 0xF01A || type > 0xF01C) continue;
      body.skip(instance & 1 ? 32 : 16);  // one or two UIDs
      const quint32 fullSize = body.u32();
      body.skip(16);  // bounds
      StoredMetafile metafile;
      metafile.recordType = type;
      const int cx = body.i32(), cy = body.i32();
      metafile.sizeEmu = QSize(cx, cy);
      const quint32 savedSize = body.u32();
      const int compression = body.u8();
      body.u8();
      const QByteArray saved(reinterpret_cast<const char *>(body.current()),
                             qsizetype(std::min<std::size_t>(savedSize, body.remaining())));
      metafile.data = compression == 0 ? inflate(saved, fullSize) : saved;
      if (!metafile.data.isEmpty()) found << metafile;
    }
  } catch (const morvane::Error &) {
    // A damaged stream: keep what was read before it.
  }
  return found;
}
