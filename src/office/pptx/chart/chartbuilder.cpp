// From a chart part's model to the plain description office/render draws:
// colours resolved (explicit, else automatic as Office varies the theme's
// accents by chart style), text sizes and colours, titles, legends and axis
// defaults applied.

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "office/pptx/chart/chart.h"
#include "office/pptx/chart/chartmodel.h"

namespace office::pptx::chart {

namespace {

using office::render::ChartAxis;
using office::render::ChartGroup;
using office::render::ChartMarker;
using office::render::ChartPaint;
using office::render::ChartPlot;
using office::render::ChartSeries;
using office::render::ChartSpec;
using office::render::ChartText;

constexpr double kDefaultTextPt = 10;
constexpr double kDefaultTitlePt = 18;
constexpr double kTitleScale = 1.2;  // a title over text of a given size
constexpr double kDefaultLinePt = 2.25;
constexpr double kDefaultOutlinePt = 0.75;
constexpr double kDefaultMarkerPt = 5;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kFallbackAccent = 0xFF4F81BD;
constexpr int kPercent = 100000;  // colour transforms' 100 %

// What the whole chart resolves against.
struct Context {
  ColorContext colors;
  int chartStyle = 2;
  QRgb text = kBlack;  // tx1
  QRgb background = 0xFFFFFFFF;
  TextStyle chartText;
};

QRgb accent(const Context &c, int number) {
  ColorSpec spec;
  spec.kind = ColorSpec::Kind::Scheme;
  spec.scheme = QStringLiteral("accent%1").arg(number);
  return resolveColor(spec, c.colors).value_or(kFallbackAccent);
}

QRgb withLuminance(QRgb rgb, double modulation, double offset) {
  return applyColorMods(rgb, {{ColorMod::Kind::LumMod, int(modulation * kPercent)},
                              {ColorMod::Kind::LumOff, int(offset * kPercent)}});
}

// The automatic colour of series (or point) index of count: chart style 1
// greys, 3-8 shades of one accent, the others the six accents in turn,
// darker and lighter in later rounds.
QRgb autoColor(const Context &c, int index, int count) {
  const int colorStyle = ((std::max(c.chartStyle, 1) - 1) % 8) + 1;
  const double t = count > 1 ? double(index) / (count - 1) : 0.5;
  if (colorStyle == 1) {
    const int level = int(std::lround(255 * (0.25 + 0.5 * t)));
    return qRgb(level, level, level);
  }
  if (colorStyle >= 3) return withLuminance(accent(c, colorStyle - 2), 0.5 + t * 0.9, 0);
  static const double lumMod[] = {1.0, 0.6, 0.8, 0.8, 0.6, 0.5};
  static const double lumOff[] = {0.0, 0.0, 0.2, 0.0, 0.4, 0.0};
  const int round = (index / 6) % 6;
  return withLuminance(accent(c, index % 6 + 1), lumMod[round], lumOff[round]);
}

std::optional<QRgb> fillColor(const Context &c, const Fill &fill, QRgb automatic, bool none) {
  switch (fill.kind) {
    case Fill::Kind::Unset:
      return none ? std::nullopt : std::optional<QRgb>(automatic);
    case Fill::Kind::None:
      return std::nullopt;
    case Fill::Kind::Blip:
    case Fill::Kind::Group:
      return automatic;
    default:
      return averageColor(fill, c.colors).value_or(automatic);
  }
}

// A series', point's or marker's paint: its own fill and outline, else the
// automatic colour (a line series has an outline and no fill by default,
// the others a fill and no outline).
ChartPaint paintOf(const Context &c, const ShapeStyle &style, QRgb automatic, bool lineSeries) {
  ChartPaint paint;
  paint.fill = fillColor(c, style.fill, automatic, lineSeries);
  paint.line = fillColor(c, style.line, automatic, !lineSeries);
  paint.lineWidthPt = style.lineWidthPt > 0 ? style.lineWidthPt
                      : lineSeries          ? kDefaultLinePt
                                            : kDefaultOutlinePt;
  return paint;
}

ChartText textOf(const Context &c, const TextStyle &own, double fallbackPt, bool bold = false) {
  ChartText text;
  text.sizePt = own.sizePt > 0           ? own.sizePt
                : c.chartText.sizePt > 0 ? c.chartText.sizePt
                                         : fallbackPt;
  text.bold = own.bold.value_or(c.chartText.bold.value_or(bold));
  const std::optional<QRgb> color = own.color.isSet() ? resolveColor(own.color, c.colors)
                                                      : resolveColor(c.chartText.color, c.colors);
  text.color = color.value_or(c.text);
  return text;
}

// An outline's colour, nullopt when it has none, else the default.
std::optional<QRgb> lineColor(const Context &c, const ShapeStyle &style, QRgb fallback) {
  if (style.line.kind == Fill::Kind::None) return std::nullopt;
  if (style.line.kind == Fill::Kind::Unset) return fallback;
  return averageColor(style.line, c.colors).value_or(fallback);
}

ChartPlot plotOf(PlotKind kind) {
  switch (kind) {
    case PlotKind::Bar:
      return ChartPlot::Bar;
    case PlotKind::Line:
      return ChartPlot::Line;
    case PlotKind::Pie:
      return ChartPlot::Pie;
    case PlotKind::Doughnut:
      return ChartPlot::Doughnut;
    case PlotKind::Area:
      return ChartPlot::Area;
    case PlotKind::Scatter:
      return ChartPlot::Scatter;
    case PlotKind::Radar:
      return ChartPlot::Radar;
    case PlotKind::Other:
      break;
  }
  return ChartPlot::Other;
}

ChartMarker markerOf(MarkerSymbol symbol, int seriesIndex) {
  static const ChartMarker cycle[] = {
      ChartMarker::Diamond, ChartMarker::Square, ChartMarker::Triangle, ChartMarker::X,
      ChartMarker::Star,    ChartMarker::Circle, ChartMarker::Plus,     ChartMarker::Dash};
  switch (symbol) {
    case MarkerSymbol::Auto:
      return cycle[seriesIndex % 8];
    case MarkerSymbol::None:
      return ChartMarker::None;
    case MarkerSymbol::Circle:
      return ChartMarker::Circle;
    case MarkerSymbol::Square:
      return ChartMarker::Square;
    case MarkerSymbol::Diamond:
      return ChartMarker::Diamond;
    case MarkerSymbol::Triangle:
      return ChartMarker::Triangle;
    case MarkerSymbol::X:
      return ChartMarker::X;
    case MarkerSymbol::Star:
      return ChartMarker::Star;
    case MarkerSymbol::Dash:
      return ChartMarker::Dash;
    case MarkerSymbol::Dot:
      return ChartMarker::Dot;
    case MarkerSymbol::Plus:
      return ChartMarker::Plus;
  }
  return ChartMarker::None;
}

bool drawsLines(const PlotGroup &group) {
  return group.kind == PlotKind::Line || group.kind == PlotKind::Scatter ||
         (group.kind == PlotKind::Radar && !group.filled);
}

bool hasMarkers(const PlotGroup &group) {
  return group.kind == PlotKind::Scatter ||
         ((group.kind == PlotKind::Line || group.kind == PlotKind::Radar) && group.markers);
}

int pointCount(const Series &series) {
  return int(std::max(series.values.size(), series.categories.size()));
}

// Points with paints of their own: every point of a series with varied
// colours, else those with a c:dPt. Pie slices are outlined in the
// background's colour unless the series says otherwise.
void setPointPaints(const Context &c, const PlotGroup &group, const Series &series,
                    ChartSeries &out) {
  const bool varied =
      group.varyColors &&
      (group.series.size() == 1 || group.kind == PlotKind::Pie || group.kind == PlotKind::Doughnut);
  const bool pie = group.kind == PlotKind::Pie || group.kind == PlotKind::Doughnut;
  const int count = pointCount(series);
  for (int i = 0; i < count; ++i) {
    const QRgb automatic = varied ? autoColor(c, i, count) : out.paint.fill.value_or(kBlack);
    const auto own = std::find_if(series.points.begin(), series.points.end(),
                                  [i](const DataPoint &p) { return p.index == i; });
    if (own == series.points.end() && !varied && !pie) continue;
    ChartPaint paint = own != series.points.end()
                           ? paintOf(c, own->style, automatic, false)
                           : ChartPaint{automatic, out.paint.line, out.paint.lineWidthPt};
    if (pie && series.style.line.kind == Fill::Kind::Unset &&
        (own == series.points.end() || own->style.line.kind == Fill::Kind::Unset)) {
      paint.line = c.background;
      paint.lineWidthPt = kDefaultOutlinePt;
    }
    out.pointPaints.emplace_back(i, paint);
  }
}

ChartSeries seriesOf(const Context &c, const PlotGroup &group, const Series &series, int index,
                     int total) {
  ChartSeries out;
  out.name = series.name.isEmpty() ? QStringLiteral("Series %1").arg(index + 1) : series.name;
  out.categories = series.categories;
  out.values = series.values;
  out.xValues = series.xValues;
  out.formatCode = series.formatCode;
  out.smooth = series.smooth;
  const QRgb automatic = autoColor(c, index, total);
  out.paint = paintOf(c, series.style, automatic, drawsLines(group));
  if (group.kind == PlotKind::Scatter && !group.scatterLines &&
      series.style.line.kind == Fill::Kind::Unset)
    out.paint.line.reset();
  if (hasMarkers(group) || series.marker) {
    const MarkerSymbol symbol =
        series.marker.value_or(hasMarkers(group) ? MarkerSymbol::Auto : MarkerSymbol::None);
    out.marker = markerOf(symbol, index);
    const QRgb color = out.paint.line.value_or(automatic);
    out.markerPaint = paintOf(c, series.markerStyle, color, false);
    if (series.markerStyle.line.kind == Fill::Kind::Unset) out.markerPaint.line = color;
    out.markerPaint.lineWidthPt = kDefaultOutlinePt;
    out.markerSizePt = series.markerSizePt > 0 ? series.markerSizePt : kDefaultMarkerPt;
  }
  setPointPaints(c, group, series, out);
  return out;
}

ChartGroup groupOf(const Context &c, const PlotGroup &group, int &seriesIndex, int total) {
  ChartGroup out;
  out.plot = plotOf(group.kind);
  out.horizontal = group.horizontal;
  out.grouping = group.grouping;
  out.varyColors = group.varyColors;
  out.gapWidth = group.gapWidth;
  out.overlap = group.overlap;
  out.holeSize = group.holeSize;
  out.firstSliceAngle = group.firstSliceAngle;
  out.filled = group.filled;
  out.labels = {group.labels.value, group.labels.percent, group.labels.category};
  out.axisIds = group.axisIds;
  for (const Series &series : group.series)
    out.series.push_back(seriesOf(c, group, series, seriesIndex++, total));
  return out;
}

ChartAxis axisOf(const Context &c, const Axis &axis) {
  ChartAxis out;
  out.id = axis.id;
  out.kind = axis.kind;
  out.deleted = axis.deleted;
  out.position = char(axis.position.toLatin1());
  out.reversed = axis.reversed;
  out.min = axis.min;
  out.max = axis.max;
  out.majorUnit = axis.majorUnit;
  out.logBase = axis.logBase;
  out.majorGridlines = axis.majorGridlines;
  out.tickLabels = axis.tickLabels;
  out.numberFormat = axis.numberFormat;
  out.sourceLinked = axis.sourceLinked;
  out.betweenCategories = axis.betweenCategories;
  out.title = axis.title;
  out.text = textOf(c, axis.text, kDefaultTextPt);
  out.gridColor = lineColor(c, axis.gridlineStyle, mixColors(c.text, c.background, 0.55));
  out.lineColor = lineColor(c, axis.lineStyle, mixColors(c.text, c.background, 0.5));
  return out;
}

int totalSeries(const ChartModel &chart) {
  int n = 0;
  for (const PlotGroup &g : chart.groups) n += int(g.series.size());
  return n;
}

// The title's own text, else the automatic one: the series' name for a
// chart of one series, else Office's placeholder.
QString titleOf(const ChartModel &chart) {
  if (!chart.title.present || (chart.autoTitleDeleted && chart.title.text.isEmpty()))
    return QString();
  if (!chart.title.text.isEmpty()) return chart.title.text;
  if (totalSeries(chart) == 1)
    for (const PlotGroup &g : chart.groups)
      if (!g.series.empty() && !g.series.front().name.isEmpty()) return g.series.front().name;
  return QStringLiteral("Chart Title");
}

ChartText titleTextOf(const Context &c, const TextStyle &own) {
  TextStyle sized = own;
  if (sized.sizePt <= 0)
    sized.sizePt = c.chartText.sizePt > 0 ? c.chartText.sizePt * kTitleScale : kDefaultTitlePt;
  if (!sized.bold) sized.bold = true;
  return textOf(c, sized, kDefaultTitlePt, true);
}

office::render::ChartLegend legendOf(const Context &c, const Legend &legend) {
  office::render::ChartLegend out;
  out.present = legend.present;
  out.position = legend.position == QLatin1String("tr") ? 'T'
                 : legend.position.isEmpty()            ? 'r'
                                                        : char(legend.position.front().toLatin1());
  out.deletedEntries = legend.deletedEntries;
  out.text = textOf(c, legend.text, kDefaultTextPt);
  return out;
}

QString warningFor(const ChartModel &chart) {
  QStringList notes, uncovered;
  for (const PlotGroup &group : chart.groups) {
    if (group.kind != PlotKind::Other) continue;
    QString name = group.element;
    if (name.endsWith(QLatin1String("Chart"))) name.chop(5);
    if (!uncovered.contains(name)) uncovered << name;
  }
  if (!uncovered.isEmpty())
    notes << QStringLiteral("the chart type %1 is drawn only with its title and legend")
                 .arg(uncovered.join(QStringLiteral(", ")));
  if (chart.truncated)
    notes << QStringLiteral("the chart holds more data than is drawn (at most %1 points a series)")
                 .arg(kMaxPointsPerSeries);
  return notes.join(QStringLiteral("; "));
}

Context contextOf(const ChartStyle &style, const ChartModel *chart) {
  Context c;
  c.colors = style.colors;
  if (chart && chart->colorMap && !chart->colorMap->isEmpty()) c.colors.map = &*chart->colorMap;
  if (chart) {
    c.chartStyle = chart->style;
    c.chartText = chart->text;
  }
  ColorSpec tx1;
  tx1.kind = ColorSpec::Kind::Scheme;
  tx1.scheme = QStringLiteral("tx1");
  c.text = resolveColor(tx1, c.colors).value_or(kBlack);
  c.background = style.background;
  return c;
}

// The chart's own fill, or its picture drawn over what lies behind it.
void setBackground(Context &c, const ChartModel &chart, const ChartStyle &style, ChartSpec &spec) {
  const std::optional<QRgb> own = averageColor(chart.chartSpace.fill, c.colors);
  if (own && isOpaque(*own)) c.background = *own;
  spec.background = c.background;
  if (chart.chartSpace.fill.kind == Fill::Kind::Blip && style.picture)
    spec.backgroundPicture = style.picture(chart.chartSpace.fill.blip.embed);
  spec.plotFill = averageColor(chart.plotArea.fill, c.colors);
  if (chart.plotArea.fill.kind == Fill::Kind::Blip && style.picture)
    spec.plotPicture = style.picture(chart.plotArea.fill.blip.embed);
}

}  // namespace

BuiltChart buildChart(const QByteArray &xml, const QString &partName, const ChartStyle &style) {
  const ChartModel chart = readChart(xml, partName);
  Context c = contextOf(style, &chart);
  BuiltChart built;
  ChartSpec &spec = built.spec;
  spec.pixelSize = style.pixelSize;
  spec.fontFamily = style.fontFamily;
  setBackground(c, chart, style, spec);
  spec.title = titleOf(chart);
  spec.titleText = titleTextOf(c, chart.title.style);
  spec.legend = legendOf(c, chart.legend);
  const int total = totalSeries(chart);
  int index = 0;
  for (const PlotGroup &group : chart.groups)
    spec.groups.push_back(groupOf(c, group, index, total));
  for (const Axis &axis : chart.axes) spec.axes.push_back(axisOf(c, axis));
  built.warning = warningFor(chart);
  return built;
}

BuiltChart buildChartEx(const QByteArray &xml, const QString &partName, const ChartStyle &style) {
  const ChartExModel chart = readChartEx(xml, partName);
  const Context c = contextOf(style, nullptr);
  BuiltChart built;
  ChartSpec &spec = built.spec;
  spec.pixelSize = style.pixelSize;
  spec.fontFamily = style.fontFamily;
  spec.background = style.background;
  spec.title = chart.title.present ? chart.title.text : QString();
  spec.titleText = titleTextOf(c, TextStyle());
  Legend legend = chart.legend;
  legend.present = true;
  spec.legend = legendOf(c, legend);
  ChartGroup group;
  const int count = int(chart.seriesNames.size());
  for (int i = 0; i < count; ++i) {
    ChartSeries series;
    series.name = chart.seriesNames[std::size_t(i)].isEmpty()
                      ? QStringLiteral("Series %1").arg(i + 1)
                      : chart.seriesNames[std::size_t(i)];
    series.paint.fill = autoColor(c, i, count);
    group.series.push_back(std::move(series));
  }
  spec.groups.push_back(std::move(group));
  built.warning = QStringLiteral("the chart type %1 is drawn only with its title and legend")
                      .arg(chart.kind.isEmpty() ? QStringLiteral("(2016 chart)") : chart.kind);
  return built;
}

}  // namespace office::pptx::chart
