#pragma once

// A chart part (DrawingML charts, ECMA-376 Part 1, 21.2) read into what the
// chart painter draws: plot groups with their series and cached values,
// axes, title, legend, fills and text sizes. The cached values are what the
// chart showed when it was saved; the embedded workbook is not read.

#include <QString>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "office/pptx/drawingml.h"
#include "office/render/chart/chartspec.h"

namespace office::pptx::chart {

// Excel's own limits, far beyond any chart one can read.
inline constexpr std::size_t kMaxSeries = 255;
inline constexpr std::size_t kMaxPointsPerSeries = 32000;
inline constexpr std::size_t kMaxPointsPerChart = 256000;

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

enum class PlotKind { Bar, Line, Pie, Doughnut, Area, Scatter, Radar, Other };
using Grouping = office::render::ChartGrouping;

struct TextStyle {
  double sizePt = 0;  // 0: not given
  std::optional<bool> bold;
  ColorSpec color;
};

// Shape properties (c:spPr) as far as the painter uses them.
struct ShapeStyle {
  Fill fill;
  Fill line;               // the outline's fill (a:ln)
  double lineWidthPt = 0;  // 0: not given
};

enum class MarkerSymbol { Auto, None, Circle, Square, Diamond, Triangle, X, Star, Dash, Dot, Plus };

struct DataPoint {
  int index = 0;
  ShapeStyle style;
};

struct Series {
  QString name;
  std::vector<QString> categories;  // by point index
  std::vector<double> values;       // by point index; kNoValue where none
  std::vector<double> xValues;      // scatter: numeric x by point index
  QString formatCode;               // of the cached values
  ShapeStyle style;
  std::vector<DataPoint> points;  // c:dPt
  std::optional<MarkerSymbol> marker;
  double markerSizePt = 0;  // 0: not given
  ShapeStyle markerStyle;
  bool smooth = false;
  int order = 0;
};

struct DataLabels {
  bool value = false;
  bool percent = false;
  bool category = false;
};

struct PlotGroup {
  PlotKind kind = PlotKind::Other;
  QString element;  // "barChart", "bubbleChart" ...
  bool threeD = false;
  bool horizontal = false;  // bar charts with barDir="bar"
  Grouping grouping = Grouping::Standard;
  bool varyColors = false;
  int gapWidth = 150;
  int overlap = 0;
  int holeSize = 50;
  int firstSliceAngle = 0;
  bool markers = true;       // line and radar charts
  bool filled = false;       // radar charts
  bool scatterLines = true;  // scatter charts
  DataLabels labels;
  std::vector<Series> series;
  std::vector<unsigned> axisIds;
};

using AxisKind = office::render::ChartAxisKind;

struct Axis {
  unsigned id = 0;
  AxisKind kind = AxisKind::Value;
  bool deleted = false;
  QChar position = u'b';  // b, l, r, t
  bool reversed = false;
  std::optional<double> min, max, majorUnit;
  double logBase = 0;  // 0: linear
  bool majorGridlines = false;
  bool tickLabels = true;  // tickLblPos other than none
  QString numberFormat;
  bool sourceLinked = false;
  std::optional<bool> betweenCategories;  // valAx crossBetween
  QString title;
  TextStyle text;
  ShapeStyle gridlineStyle;
  ShapeStyle lineStyle;
};

struct Legend {
  bool present = false;
  QString position = QStringLiteral("r");  // r, l, t, b, tr
  std::vector<int> deletedEntries;
  TextStyle text;
};

struct Title {
  bool present = false;
  QString text;  // empty: the automatic title
  TextStyle style;
};

struct ChartModel {
  Title title;
  bool autoTitleDeleted = false;
  std::vector<PlotGroup> groups;
  std::vector<Axis> axes;
  Legend legend;
  ShapeStyle chartSpace;
  ShapeStyle plotArea;
  TextStyle text;  // c:chartSpace/c:txPr
  int style = 2;   // c:style: the colour scheme of automatic colours
  std::optional<ColorMap> colorMap;
  bool truncated = false;  // data beyond the limits above was left out
};

// Reads a chart part; throws morvane::Error when its XML is damaged.
ChartModel readChart(const QByteArray &xml, const QString &partName);

// The title, series names and kind (cx:series layoutId) of a chartex part.
struct ChartExModel {
  Title title;
  std::vector<QString> seriesNames;
  QString kind;
  Legend legend;
};
ChartExModel readChartEx(const QByteArray &xml, const QString &partName);

}  // namespace office::pptx::chart
