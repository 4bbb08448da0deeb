// libFuzzer target over the presentation reader and the picture export: the
// input is opened as a presentation, every slide and shape is walked, every
// text read and every picture and chart exported.

#include <QByteArray>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/error.h"
#include "office/ppt/application.h"

namespace {

QTemporaryDir *outputDir = nullptr;

void exportShape(PowerPoint::Shape &shape, std::int32_t type) {
  if (type == PowerPoint::msoPicture)
    shape.Export(outputDir->filePath(QStringLiteral("Img.Jpg")), PowerPoint::ppShapeFormatJPG);
  else if (type == PowerPoint::msoChart)
    shape.Export(outputDir->filePath(QStringLiteral("Graph.Bmp")), PowerPoint::ppShapeFormatBMP);
}

void walkShape(PowerPoint::Shape &shape) {
  const std::int32_t type = shape.Type();
  try {
    shape.TextFrame()->TextRange()->Text();
  } catch (const morvane::Error &) {
  }
  try {
    exportShape(shape, type);
  } catch (const morvane::Error &) {
  }
}

void walk(PowerPoint::Presentation &presentation) {
  auto slides = presentation.Slides();
  for (std::int32_t i = 1; i <= slides->Count(); ++i) {
    auto shapes = slides->Item(i)->Shapes();
    for (std::int32_t j = 1; j <= shapes->Count(); ++j) walkShape(*shapes->Item(j));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  outputDir = new QTemporaryDir;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  try {
    walk(*office::ppt::openPresentation(bytes));
  } catch (const morvane::Error &) {
  }
  return 0;
}
