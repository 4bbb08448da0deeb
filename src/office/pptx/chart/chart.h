#pragma once

// Charts of PowerPoint 2007+ slides, drawn from their own parts with
// QPainter: bar and column (clustered, stacked, percent), line, pie,
// doughnut, area, scatter and radar plots (3-D variants drawn flat), with
// title, axes, tick labels, legend and the series' colours (explicit, else
// the theme's accents). Other plot types (bubble, stock, surface, the 2016
// chart types) come out with their title and legend only, and a warning says
// so. docs/chart-rendering.md tells why we draw them ourselves.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

#include "office/pptx/drawingml.h"

namespace office::pptx::chart {

struct ChartStyle {
  ColorContext colors;  // the slide's theme and colour map
  QString fontFamily;   // the theme's body font
  QColor background;    // what the slide shows behind the chart
  // The picture of a picture fill by its relationship id in the chart
  // part; null when it cannot be read.
  std::function<QImage(const QString &relId)> picture;
};

// Draws a chart part (c:chartSpace) at pixelSize. warning receives a note
// for the user when part of the chart could not be drawn; empty otherwise.
// Throws morvane::Error when the part cannot be read.
QImage drawChart(const QByteArray &xml, const QString &partName, QSize pixelSize,
                 const ChartStyle &style, QString *warning);

// Draws a chartex part (cx:chartSpace): its title and legend only.
QImage drawChartEx(const QByteArray &xml, const QString &partName, QSize pixelSize,
                   const ChartStyle &style, QString *warning);

}  // namespace office::pptx::chart
