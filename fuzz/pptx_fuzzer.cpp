// libFuzzer target over the PowerPoint 2007+ reader: the input is opened as
// a presentation package; every slide, notes page, master and layout is
// walked with its groups, every text read, every picture described and
// exported, every chart drawn, every background exported.

#include <QByteArray>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/error.h"
#include "office/pptx/application.h"

namespace {

QTemporaryDir *outputDir = nullptr;
constexpr int kMaxGroupDepth = 8;

template <class F>
void tolerate(F f) {
  try {
    f();
  } catch (const morvane::Error &) {
  }
}

void walkShape(PowerPoint::Shape &shape, int depth) {
  const std::int32_t type = shape.Type();
  tolerate([&] {
    if (shape.HasTextFrame() == PowerPoint::msoTrue) {
      auto range = shape.TextFrame()->TextRange();
      range->Text();
      range->Characters(2, 3)->Font()->Name();
    }
  });
  tolerate([&] { shape.Fill()->Type(); });
  tolerate([&] {
    shape.Picture();
    shape.OriginalPicture();
  });
  tolerate([&] {
    if (type == PowerPoint::msoChart || type == PowerPoint::msoEmbeddedOLEObject)
      shape.Export(outputDir->filePath(QStringLiteral("Graph.Bmp")), PowerPoint::ppShapeFormatBMP);
    else
      shape.Export(outputDir->filePath(QStringLiteral("Img.Jpg")), PowerPoint::ppShapeFormatJPG);
    shape.ExportWarning();
  });
  if (type == PowerPoint::msoGroup && depth < kMaxGroupDepth)
    tolerate([&] {
      auto items = shape.GroupItems();
      for (std::int32_t i = 1; i <= items->Count(); ++i) walkShape(*items->Item(i), depth + 1);
    });
}

void walkSlide(PowerPoint::Slide &slide) {
  tolerate([&] {
    auto shapes = slide.Shapes();
    for (std::int32_t i = 1; i <= shapes->Count(); ++i) walkShape(*shapes->Item(i), 0);
  });
  tolerate([&] {
    slide.FollowMasterBackground();
    walkShape(*slide.Background(), 0);
  });
}

void walk(PowerPoint::Presentation &presentation) {
  auto slides = presentation.Slides();
  for (std::int32_t i = 1; i <= slides->Count(); ++i)
    tolerate([&] {
      auto slide = slides->Item(i);
      walkSlide(*slide);
      if (slide->HasNotesPage() == PowerPoint::msoTrue) walkSlide(*slide->NotesPage());
    });
  tolerate([&] {
    auto designs = presentation.Designs();
    for (std::int32_t d = 1; d <= designs->Count(); ++d) {
      auto design = designs->Item(d);
      walkSlide(*design->SlideMaster());
      for (std::int32_t l = 1; l <= design->CustomLayoutCount(); ++l)
        tolerate([&] { walkSlide(*design->CustomLayout(l)); });
    }
  });
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
  tolerate([&] { walk(*office::pptx::openPresentation(bytes)); });
  return 0;
}
