#pragma once

// A chart as plain data, for drawing: what a reader found in a chart part
// with every colour and default already resolved (QRgb), so that drawing
// needs nothing of the file. Plot types drawn: bar and column (clustered,
// stacked, percent), line, pie, doughnut, area, scatter and radar (3-D
// variants flat); groups of other types add their series to the legend
// only. docs/chart-rendering.md tells why we draw charts ourselves.
//
// QtCore types only: a reader that builds a ChartSpec links no Qt Gui.

#include <QRgb>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

#include "office/render/export.h"

namespace office::render {

// A fill and an outline; nullopt: none drawn.
struct ChartPaint {
  std::optional<QRgb> fill;
  std::optional<QRgb> line;
  double lineWidthPt = 0.75;
};

struct ChartText {
  double sizePt = 10;
  bool bold = false;
  QRgb color = 0xFF000000;
};

enum class ChartMarker { None, Circle, Square, Diamond, Triangle, X, Star, Dash, Dot, Plus };
enum class ChartPlot { Bar, Line, Pie, Doughnut, Area, Scatter, Radar, Other };
enum class ChartGrouping { Standard, Clustered, Stacked, PercentStacked };
enum class ChartAxisKind { Category, Value, Date, Series };

struct ChartSeries {
  QString name;
  std::vector<QString> categories;  // by point index
  std::vector<double> values;       // by point index; NaN where none
  std::vector<double> xValues;      // scatter: x by point index; NaN where none
  QString formatCode;               // of the values
  ChartPaint paint;
  // Points with a paint of their own (data points, varied colours).
  std::vector<std::pair<int, ChartPaint>> pointPaints;
  ChartMarker marker = ChartMarker::None;
  ChartPaint markerPaint;
  double markerSizePt = 5;
  bool smooth = false;
};

struct ChartLabels {
  bool value = false;
  bool percent = false;
  bool category = false;
};

struct ChartGroup {
  ChartPlot plot = ChartPlot::Other;
  bool horizontal = false;  // bars with barDir="bar"
  ChartGrouping grouping = ChartGrouping::Standard;
  bool varyColors = false;  // one legend entry per category
  int gapWidth = 150;       // percent of a bar's width
  int overlap = 0;          // percent, -100 .. 100
  int holeSize = 50;        // percent of the radius
  int firstSliceAngle = 0;  // degrees clockwise from the top
  bool filled = false;      // radar
  ChartLabels labels;
  std::vector<ChartSeries> series;
  std::vector<unsigned> axisIds;
};

struct ChartAxis {
  unsigned id = 0;
  ChartAxisKind kind = ChartAxisKind::Value;
  bool deleted = false;
  char position = 'b';  // b, l, r, t
  bool reversed = false;
  std::optional<double> min, max, majorUnit;
  double logBase = 0;  // 0: linear
  bool majorGridlines = false;
  bool tickLabels = true;
  QString numberFormat;
  bool sourceLinked = false;
  std::optional<bool> betweenCategories;  // crossBetween of a value axis
  QString title;
  ChartText text;
  std::optional<QRgb> gridColor;  // none: no gridlines drawn
  std::optional<QRgb> lineColor;  // none: no axis line drawn
};

struct ChartLegend {
  bool present = false;
  char position = 'r';  // r, l, t, b; 'T' for top right
  std::vector<int> deletedEntries;
  ChartText text;
};

struct ChartSpec {
  QSize pixelSize;  // at 150 dpi
  QString fontFamily;
  QRgb background = 0xFFFFFFFF;                    // the chart's own fill, else what lies behind it
  std::optional<PictureSource> backgroundPicture;  // a picture fill of the chart
  std::optional<QRgb> plotFill;
  std::optional<PictureSource> plotPicture;
  QString title;  // empty: none
  ChartText titleText;
  ChartLegend legend;
  std::vector<ChartGroup> groups;
  std::vector<ChartAxis> axes;
};

// Draws the chart and writes it at path as a JPEG or an uncompressed
// 24-bit BMP (as exportJpeg and exportBmp write pictures).
void exportChartJpeg(const ChartSpec &chart, const QString &path);
void exportChartBmp(const ChartSpec &chart, const QString &path);

}  // namespace office::render
