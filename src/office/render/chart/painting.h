#pragma once

// What the chart painter's parts share: the canvas, value scales and
// category positions, number formats and the plot painters.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <vector>

#include "office/render/chart/chartspec.h"

namespace office::render::chart {

// Pixels per point at the drawing resolution (150 dpi).
inline constexpr double kPixelsPerPoint = 150.0 / 72.0;

struct Canvas {
  QPainter &painter;
  QString family;
  QColor background;

  QFont font(const ChartText &text) const;
  QFont font(double pointSize, bool bold) const;
};

QPen penOf(const ChartPaint &paint);
QBrush brushOf(const ChartPaint &paint);

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
// values), with at most maxTicks intervals. Automatic ends get headroom
// beyond the data unless exact (percent-stacked data ends at 100 %).
ValueScale makeScale(double low, double high, const ChartAxis *axis, int maxTicks,
                     bool exact = false);

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

bool isStacked(const ChartGroup &group);
// The data range a group needs on its value axis.
void valueRange(const ChartGroup &group, double &low, double &high);
int categoryCount(const ChartGroup &group);
const std::vector<QString> *categoryLabels(const ChartGroup &group);
// The paint of point index of a series (its own, else the series').
const ChartPaint &pointPaint(const ChartSeries &series, int index);

// Plot painters. Horizontal bar groups run their categories vertically.
void paintBars(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
               const ValueScale &values);
void paintLines(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
                const ValueScale &values);
void paintAreas(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
                const ValueScale &values);
void paintScatter(const Canvas &canvas, const ChartGroup &group, const ValueScale &x,
                  const ValueScale &y);
void paintPie(const Canvas &canvas, const ChartGroup &group, const QRectF &area,
              const ChartText &labelText);
void paintRadar(const Canvas &canvas, const ChartGroup &group, const QRectF &area,
                const ChartAxis *valueAxis, const ChartText &labelText);
void drawMarker(QPainter &painter, ChartMarker symbol, QPointF at, double size,
                const ChartPaint &paint);

// Draws a whole chart (chartpainter.cpp).
QImage drawChart(const ChartSpec &chart);

}  // namespace office::render::chart
