#include "office/render/drawnpicture.h"

#include "common/atomicfile.h"
#include "office/render/bmpwriter.h"
#include "office/render/export.h"
#include "office/render/transcode.h"

namespace office::render {

void writeDrawnJpeg(const QImage &image, const QString &path) {
  const auto source = imageSource(image);
  const Encoded encoded = transcodeToJpeg(*source, Crop{}, Qt::white, kMetafileDpi);
  morvane::writeFileAtomically(path, encoded.bytes);
}

void writeDrawnBmp(const QImage &image, const QString &path) {
  morvane::writeFileAtomically(path, encodeBmp24(image));
}

}  // namespace office::render
