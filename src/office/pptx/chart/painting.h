#pragma once

// What the chart painter's parts share: the canvas with its fonts and
// colours, value scales and category positions, and the plot painters.

#include <QFont>
#include <QPainter>
#include <QRectF>
#include <optional>
#include <vector>

#include "office/pptx/chart/chart.h"
#include "office/pptx/chart/chartmodel.h"

namespace office::pptx::chart {

// Pixels per point at the drawing resolution (150 dpi).
inline constexpr double kPixelsPerPoint = 150.0 / 72.0;
inline constexpr double kDefaultTextPt = 10.0;

struct Canvas {
  QPainter &painter;
  QString family;
  ColorContext colors;
  QColor text;        // default text colour (tx1)
  QColor background;  // what the chart is drawn on
  int chartStyle = 2;
  const ChartStyle *pictures = nullptr;  // loads picture fills

  QFont font(double pointSize, bool bold = false) const;
  QColor resolve(const ColorSpec &spec, const QColor &fallback) const;
  // The automatic colour of series (or point) index of count.
  QColor autoColor(int index, int count) const;
  // A colour between the text and background colours (0 = text).
  QColor mix(double towardsBackground) const;
};

// The fill and outline of a series, a data point or a marker.
struct Paint {
  QColor fill;  // invalid: none
  QColor line;  // invalid: none
  double lineWidthPx = 0;
};

Paint paintOf(const Canvas &canvas, const ShapeStyle &style, const QColor &autoColor,
              bool lineSeries);

// A linear or logarithmic value scale mapped onto a pixel range.
struct ValueScale {
  double min = 0, max = 1, step = 0.2;
  double logBase = 0;
  bool reversed = false;
  double from = 0, to = 1;  // pixels for min and max (before reversal)

  double position(double value) const;
  std::vector<double> ticks() const;
};

// Chooses min, max and step for data in [low, high] (and the axis's fixed
// values), with about maxTicks intervals. Automatic ends get headroom beyond
// the data unless exact (percent-stacked data ends at 100 %).
ValueScale makeScale(double low, double high, const Axis *axis, int maxTicks, bool exact = false);

// Formats a value with an Excel number format (first section only).
QString formatNumber(double value, const QString &format);

// Category positions along an axis: band centres (between) or ticks (midCat).
struct CategoryScale {
  int count = 1;
  bool between = true;
  bool reversed = false;
  double from = 0, to = 1;

  double center(int index) const;
  double band() const;
};

// The data range a group needs on its value axis.
void valueRange(const PlotGroup &group, double &low, double &high);
int categoryCount(const PlotGroup &group);
const std::vector<QString> *categoryLabels(const PlotGroup &group);

// Plot painters. horizontal: categories run vertically (bar charts with
// barDir="bar").
void paintBars(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
               const ValueScale &values, int seriesBase, int seriesTotal);
void paintLines(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
                const ValueScale &values, int seriesBase, int seriesTotal);
void paintAreas(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
                const ValueScale &values, int seriesBase, int seriesTotal);
void paintScatter(const Canvas &canvas, const PlotGroup &group, const ValueScale &x,
                  const ValueScale &y, int seriesBase, int seriesTotal);
void paintPie(const Canvas &canvas, const PlotGroup &group, const QRectF &area,
              const TextStyle &labelStyle);
void paintRadar(const Canvas &canvas, const PlotGroup &group, const QRectF &area,
                const Axis *valueAxis, const TextStyle &labelStyle, int seriesBase,
                int seriesTotal);
void drawMarker(QPainter &painter, MarkerSymbol symbol, QPointF at, double size,
                const Paint &paint);
MarkerSymbol autoMarker(int seriesIndex);
// The paint of a series' markers (its marker properties, else color).
Paint markerPaint(const Canvas &canvas, const Series &series, const QColor &color);

}  // namespace office::pptx::chart
