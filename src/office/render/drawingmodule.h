#pragma once

// The drawing module: everything of picture export that decodes, draws or
// encodes pixels (Qt Gui, libjpeg, libpng, QtSvg, the metafile and PICT
// players, the chart painter) is kept out of the programs that need it
// rarely. morvane-extract loads it with dlopen (libmorvane-draw.so, in
// lib/<multiarch>/morvane beside the program's bin folder, or beside the
// program in the build folder) the first time a picture has to be decoded
// or drawn, so that a job that only copies JPEG pictures never loads Qt Gui.
// A program linked with the drawing code itself (the window, the tests)
// registers it at start-up and never loads the module.
//
// Only the functions below cross into the module; the readers call them
// through export.h, pictureinfo.h, svgpicture.h and chart/chartspec.h.

#include <QRgb>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

#include "common/colour.h"
#include "office/render/export.h"

namespace office::render {

struct SvgPicture;
struct ChartSpec;

// Raised whenever a member below changes, so that a module from another
// build is refused instead of called with the wrong arguments.
inline constexpr std::uint32_t kDrawingInterfaceVersion = 1;

struct DrawingFunctions {
  std::uint32_t interfaceVersion = kDrawingInterfaceVersion;
  // The export of a picture that cannot be written as stored.
  ExportResult (*exportJpeg)(const PictureSource &, const QString &) = nullptr;
  ExportResult (*exportBmp)(const PictureSource &, const QString &) = nullptr;
  QSize (*storedPixelSize)(const PictureSource &) = nullptr;
  std::optional<QRgb> (*averageColour)(const PictureSource &) = nullptr;
  std::optional<morvane::Channels> (*meanColourOnWhite)(const PictureSource &) = nullptr;
  void (*exportSvgJpeg)(const SvgPicture &, const QString &) = nullptr;
  void (*exportSvgBmp)(const SvgPicture &, const QString &) = nullptr;
  void (*exportChartJpeg)(const ChartSpec &, const QString &) = nullptr;
  void (*exportChartBmp)(const ChartSpec &, const QString &) = nullptr;
};

// The file name the module is loaded by, and the C symbol of its
// `const DrawingFunctions *()` entry point.
inline constexpr char kDrawingModuleName[] = "libmorvane-draw.so";
inline constexpr char kDrawingEntryPoint[] = "morvane_drawing_functions";

// The drawing functions: those registered by linked drawing code, else the
// module's, loaded once (thread-safe) on the first call. Throws
// morvane::PictureError naming the module and the loader's reason when it
// cannot be loaded; every later call throws the same.
const DrawingFunctions &drawingModule();

// Called by linked drawing code before main runs.
void registerLinkedDrawing(const DrawingFunctions *functions);

}  // namespace office::render
