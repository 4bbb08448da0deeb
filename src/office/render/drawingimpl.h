#pragma once

// The drawing module's implementations of the functions in
// DrawingFunctions (drawingmodule.h). Only the module's own code and its
// entry point include this; everyone else calls through the table.

#include <QRgb>
#include <QSize>
#include <QString>
#include <optional>

#include "common/colour.h"
#include "office/render/export.h"

namespace office::render {

struct SvgPicture;
struct ChartSpec;

namespace drawing {

ExportResult exportJpeg(const PictureSource &picture, const QString &path);
ExportResult exportBmp(const PictureSource &picture, const QString &path);
QSize storedPixelSize(const PictureSource &picture);
std::optional<QRgb> averageColour(const PictureSource &picture);
std::optional<morvane::Channels> meanColourOnWhite(const PictureSource &picture);
void exportSvgJpeg(const SvgPicture &picture, const QString &path);
void exportSvgBmp(const SvgPicture &picture, const QString &path);
void exportChartJpeg(const ChartSpec &chart, const QString &path);
void exportChartBmp(const ChartSpec &chart, const QString &path);

}  // namespace drawing

}  // namespace office::render
