// libFuzzer target over the presentation reader and the picture export: the
// input is opened as a presentation, every slide, notes page, master and
// title master is walked with its background and its shapes (groups entered),
// every text read with its fonts, every stored picture described and read
// whole, and every picture and chart exported.

#include <QByteArray>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/error.h"
#include "fuzzsetup.h"
#include "office/ppt/application.h"

namespace {

QTemporaryDir *outputDir = nullptr;

template <class Call>
void tolerate(Call call) {
  try {
    call();
  } catch (const morvane::Error &) {
  }
}

void exportShape(PowerPoint::Shape &shape, std::int32_t type) {
  if (type == PowerPoint::msoPicture)
    shape.Export(outputDir->filePath(QStringLiteral("Img.Jpg")), PowerPoint::ppShapeFormatJPG);
  else if (type == PowerPoint::msoChart)
    shape.Export(outputDir->filePath(QStringLiteral("Graph.Bmp")), PowerPoint::ppShapeFormatBMP);
}

void readText(PowerPoint::Shape &shape) {
  if (shape.HasTextFrame() != PowerPoint::msoTrue) return;
  const auto frame = shape.TextFrame();
  frame->HasText();
  const auto range = frame->TextRange();
  const QString text = range->Text();
  range->Font()->Name();
  if (!text.isEmpty()) range->Characters(std::int32_t(text.size() / 2 + 1), 3)->Font()->Name();
}

// The stored picture a shape shows, as listed, as a file, and as exported
// (with the colour behind it).
void readPicture(PowerPoint::Shape &shape) {
  tolerate([&] { shape.Picture(); });
  tolerate([&] { shape.OriginalPicture(); });
  tolerate([&] { office::ppt::pictureOf(shape); });
}

void walkShape(PowerPoint::Shape &shape, int depth) {
  const std::int32_t type = shape.Type();
  tolerate([&] { readText(shape); });
  tolerate([&] {
    const auto fill = shape.Fill();
    fill->Type();
    fill->Visible();
  });
  if (type == PowerPoint::msoGroup) {
    const auto members = shape.GroupItems();
    for (std::int32_t i = 1; i <= members->Count(); ++i) walkShape(*members->Item(i), depth + 1);
    return;
  }
  if (depth == 0) tolerate([&] { exportShape(shape, type); });
  readPicture(shape);
}

void walkPage(PowerPoint::Slide &page) {
  tolerate([&] {
    page.FollowMasterBackground();
    const auto background = page.Background();
    background->Fill()->Type();
    readPicture(*background);
  });
  const auto shapes = page.Shapes();
  for (std::int32_t j = 1; j <= shapes->Count(); ++j) walkShape(*shapes->Item(j), 0);
}

void walk(PowerPoint::Presentation &presentation) {
  auto slides = presentation.Slides();
  for (std::int32_t i = 1; i <= slides->Count(); ++i) {
    tolerate([&] {
      const auto slide = slides->Item(i);
      walkPage(*slide);
      if (slide->HasNotesPage() == PowerPoint::msoTrue) walkPage(*slide->NotesPage());
    });
  }
  const auto designs = presentation.Designs();
  for (std::int32_t i = 1; i <= designs->Count(); ++i) {
    const auto design = designs->Item(i);
    tolerate([&] { walkPage(*design->SlideMaster()); });
    if (design->HasTitleMaster() == PowerPoint::msoTrue)
      tolerate([&] { walkPage(*design->TitleMaster()); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  outputDir = &fuzzsetup::start(argc, argv);
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
