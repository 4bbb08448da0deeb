// libFuzzer entry point over the metafile players. The first byte picks EMF
// or WMF, the size of the image and whether only a cropped part of it is
// drawn; the rest is the metafile.

#include <QGuiApplication>

#include "common/error.h"
#include "office/render/metafile/metafile.h"

namespace {

QGuiApplication &application() {
  static int argc = 1;
  static char name[] = "fuzz_metafile";
  static char *argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
  return app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  application();
  if (size < 1) return 0;
  office::render::PictureSource picture;
  picture.format =
      (data[0] & 1) ? office::render::BlipFormat::Emf : office::render::BlipFormat::Wmf;
  picture.data = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
  picture.metafileBounds = QRect(0, 0, 1000, 1000);
  picture.metafileSizeEmu = QSize(914400, 914400);
  int side = 16 + (data[0] >> 2) * 4;
  office::render::RenderView view;
  if (data[0] & 2) view.visible = QRect(side / 3, side / 4, side / 2, side / 3);
  try {
    office::render::metafileNaturalSizeInches(picture);
    office::render::renderMetafile(picture, QSize(side, side), nullptr, view);
  } catch (const morvane::Error &) {
  }
  return 0;
}
