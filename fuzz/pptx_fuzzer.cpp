// libFuzzer target over the PowerPoint 2007+ reader: the input is opened as
// a presentation package and everything the object model offers is walked
// (tests/pptx/deckwalk.h): slides, notes, masters, layouts, groups, texts,
// pictures, charts, backgrounds.

#include <QByteArray>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "deckwalk.h"
#include "fuzzsetup.h"
#include "office/pptx/application.h"

namespace {

QTemporaryDir *outputDir = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  outputDir = &fuzzsetup::start(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  try {
    testpptx::DeckWalk walk(outputDir->path());
    walk.walk(*office::pptx::openPresentation(bytes));
  } catch (const morvane::Error &) {
  }
  return 0;
}
