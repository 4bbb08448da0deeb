// The drawing code's table of functions: returned by the module's entry
// point when morvane-extract loads libmorvane-draw.so, and registered
// before main in a program that links the drawing code itself.

#include "office/render/drawingimpl.h"
#include "office/render/drawingmodule.h"

namespace office::render {

namespace {

constexpr DrawingFunctions kFunctions{kDrawingInterfaceVersion, drawing::exportJpeg,
                                      drawing::exportBmp,       drawing::storedPixelSize,
                                      drawing::averageColour,   drawing::meanColourOnWhite,
                                      drawing::exportSvgJpeg,   drawing::exportSvgBmp,
                                      drawing::exportChartJpeg, drawing::exportChartBmp};

[[maybe_unused]] const bool registered = (registerLinkedDrawing(&kFunctions), true);

}  // namespace

}  // namespace office::render

extern "C" __attribute__((visibility("default"))) const office::render::DrawingFunctions *
morvane_drawing_functions() {
  return &office::render::kFunctions;
}
