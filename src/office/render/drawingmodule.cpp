#include "office/render/drawingmodule.h"

#include <dlfcn.h>
#include <QStringList>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/error.h"
#include "office/render/chart/chartspec.h"
#include "office/render/pictureinfo.h"
#include "office/render/svgpicture.h"

namespace office::render {

namespace {

std::atomic<const DrawingFunctions *> linkedDrawing{nullptr};

struct LoadedModule {
  const DrawingFunctions *functions = nullptr;
  QString failure;  // why it could not be loaded, for each place tried
};

QString loaderError() {
  const char *reason = dlerror();
  return reason ? QString::fromLocal8Bit(reason) : QStringLiteral("unknown reason");
}

// Where the module is looked for: by its installed place relative to the
// program's folder (bin/../lib/<multiarch>/morvane), then beside the program
// (the build folder). A path, not a bare name: the program needs no run path, which
// would be searched for every library it loads.
std::vector<std::filesystem::path> modulePaths() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::filesystem::path folder = error ? std::filesystem::path(".") : program.parent_path();
  return {folder / MORVANE_MODULE_FROM_BIN / kDrawingModuleName, folder / kDrawingModuleName};
}

LoadedModule loadModule() {
  QStringList failures;
  for (const std::filesystem::path &path : modulePaths()) {
    // Kept loaded until the program ends: its functions serve to the last picture.
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      failures << loaderError();
      continue;
    }
    using Entry = const DrawingFunctions *(*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, kDrawingEntryPoint));
    const DrawingFunctions *functions = entry ? entry() : nullptr;
    if (functions && functions->interfaceVersion == kDrawingInterfaceVersion)
      return {functions, {}};
    failures << QStringLiteral("%1 belongs to another version of Morvane")
                    .arg(QString::fromStdString(path.string()));
  }
  return {nullptr, failures.join(QStringLiteral("; "))};
}

}  // namespace

void registerLinkedDrawing(const DrawingFunctions *functions) {
  linkedDrawing.store(functions, std::memory_order_release);
}

const DrawingFunctions &drawingModule() {
  if (const DrawingFunctions *linked = linkedDrawing.load(std::memory_order_acquire))
    return *linked;
  static const LoadedModule loaded = loadModule();
  if (!loaded.functions)
    throw morvane::PictureError(
        QStringLiteral("the picture needs the drawing module %1, which cannot be loaded (%2)")
            .arg(QLatin1String(kDrawingModuleName), loaded.failure));
  return *loaded.functions;
}

// The readers' entry points into the module.

QSize storedPixelSize(const PictureSource &picture) {
  return drawingModule().storedPixelSize(picture);
}

std::optional<QRgb> averageColour(const PictureSource &picture) {
  return drawingModule().averageColour(picture);
}

std::optional<morvane::Channels> meanColourOnWhite(const PictureSource &picture) {
  return drawingModule().meanColourOnWhite(picture);
}

void exportSvgJpeg(const SvgPicture &picture, const QString &path) {
  drawingModule().exportSvgJpeg(picture, path);
}

void exportSvgBmp(const SvgPicture &picture, const QString &path) {
  drawingModule().exportSvgBmp(picture, path);
}

void exportChartJpeg(const ChartSpec &chart, const QString &path) {
  drawingModule().exportChartJpeg(chart, path);
}

void exportChartBmp(const ChartSpec &chart, const QString &path) {
  drawingModule().exportChartBmp(chart, path);
}

}  // namespace office::render
