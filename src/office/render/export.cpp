#include "office/render/export.h"

#include "common/atomicfile.h"
#include "office/render/drawingmodule.h"

namespace office::render {

namespace {

// The number of colour components of a JPEG's frame, or 0 when none is found.
int jpegComponentCount(const QByteArray &d) {
  qsizetype at = 2;
  while (at + 4 <= d.size()) {
    if (quint8(d[at]) != 0xFF) return 0;
    const quint8 marker = quint8(d[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    const int length = (quint8(d[at + 2]) << 8) | quint8(d[at + 3]);
    const bool isFrame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (isFrame) return at + 9 < d.size() ? quint8(d[at + 9]) : 0;
    if (marker == 0xDA || length < 2) return 0;
    at += 2 + length;
  }
  return 0;
}

// A JPEG that can be written as stored: uncropped, a real JPEG, and not CMYK
// (which most viewers show wrongly, so it is converted to RGB).
bool canPassThrough(const PictureSource &picture) {
  const QByteArray &d = picture.data;
  return picture.format == BlipFormat::Jpeg && picture.crop.isNone() && d.size() > 3 &&
         quint8(d[0]) == 0xFF && quint8(d[1]) == 0xD8 && quint8(d[2]) == 0xFF &&
         jpegComponentCount(d) != 4;
}

}  // namespace

ExportResult exportJpeg(const PictureSource &picture, const QString &path) {
  if (canPassThrough(picture)) {
    morvane::writeFileAtomically(path, picture.data);
    return {};
  }
  return drawingModule().exportJpeg(picture, path);
}

ExportResult exportBmp(const PictureSource &picture, const QString &path) {
  return drawingModule().exportBmp(picture, path);
}

}  // namespace office::render
