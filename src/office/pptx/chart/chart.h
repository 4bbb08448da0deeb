#pragma once

// Charts of PowerPoint 2007+ slides: a chart part (c:chartSpace) or a 2016
// chart part (cx:chartSpace) read and turned into a plain chart description
// for office/render to draw, with every colour resolved against the slide's
// theme (explicit colours, else the theme's accents as Office varies them
// by chart style), every default applied, and a warning where part of the
// chart cannot be drawn (plot types other than bar, line, pie, doughnut,
// area, scatter and radar are left to their title and legend).

#include <QByteArray>
#include <QRgb>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

#include "office/pptx/drawingml.h"
#include "office/render/chart/chartspec.h"

namespace office::pptx::chart {

struct ChartStyle {
  QSize pixelSize;               // the frame at 150 dpi
  ColorContext colors;           // the slide's theme and colour map
  QString fontFamily;            // the theme's body font
  QRgb background = 0xFFFFFFFF;  // what the slide shows behind the chart
  // The picture of a picture fill by its relationship id in the chart part.
  std::function<std::optional<office::render::PictureSource>(const QString &relId)> picture;
};

struct BuiltChart {
  office::render::ChartSpec spec;
  QString warning;  // for the user; empty when everything is drawn
};

// Throws morvane::Error when the part cannot be read.
BuiltChart buildChart(const QByteArray &xml, const QString &partName, const ChartStyle &style);
BuiltChart buildChartEx(const QByteArray &xml, const QString &partName, const ChartStyle &style);

}  // namespace office::pptx::chart
