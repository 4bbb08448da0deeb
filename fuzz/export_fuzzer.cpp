// libFuzzer target over the picture export alone: the first byte picks the
// stored format (PICT, PNG, DIB, JPEG, TIFF, EMF, WMF), the second the crop,
// the shape size and the background, the rest is the picture. Reaches the
// row-by-row decoders, the damaged-picture path and the players' cropped
// drawing much faster than going through a presentation.

#include <QByteArray>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/error.h"
#include "fuzzsetup.h"
#include "office/render/export.h"

namespace {

QTemporaryDir *outputDir = nullptr;

using office::render::BlipFormat;

constexpr BlipFormat kFormats[] = {BlipFormat::Pict, BlipFormat::Png,  BlipFormat::Dib,
                                   BlipFormat::Jpeg, BlipFormat::Tiff, BlipFormat::Emf,
                                   BlipFormat::Wmf};

office::render::PictureSource sourceFrom(const std::uint8_t *data, std::size_t size) {
  office::render::PictureSource picture;
  picture.format = kFormats[data[0] % std::size(kFormats)];
  const int flags = data[1];
  if (flags & 1) picture.crop = {0.1, -0.2, 0.25, 0.05};
  if (flags & 2) picture.shapeSizeInches = QSizeF(1.5 + (flags >> 4), 1.0 + (flags >> 6));
  if (flags & 4) picture.background = qRgb(20, 30, 90);
  if (flags & 8) picture.crop = {0.45, 0.3, 0.45, 0.6};
  picture.metafileBounds = QRect(0, 0, 1000, 1000);
  picture.metafileSizeEmu = QSize(914400, 914400);
  picture.data = QByteArray(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
  return picture;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  outputDir = &fuzzsetup::start(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  const office::render::PictureSource picture = sourceFrom(data, size);
  try {
    office::render::exportJpeg(picture, outputDir->filePath(QStringLiteral("Img.Jpg")));
  } catch (const morvane::Error &) {
  }
  try {
    office::render::exportBmp(picture, outputDir->filePath(QStringLiteral("Img.Bmp")));
  } catch (const morvane::Error &) {
  }
  return 0;
}
