// Laying out and drawing a whole chart: background, title, legend, axes
// with tick labels and gridlines, and the plot groups; then writing it.

#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

#include "common/error.h"
#include "office/render/chart/painting.h"
#include "office/render/drawingimpl.h"
#include "office/render/drawnpicture.h"
#include "office/render/guiapplication.h"
#include "office/render/raster.h"

namespace office::render::chart {

namespace {

constexpr double kLegendShare = 0.4;  // at most this much of the width for a side legend

struct LegendEntry {
  QString text;
  ChartPaint paint;
  bool line = false;
  ChartMarker marker = ChartMarker::None;
  ChartPaint markerPaint = {};
};

bool isCartesian(ChartPlot plot) {
  return plot == ChartPlot::Bar || plot == ChartPlot::Line || plot == ChartPlot::Area ||
         plot == ChartPlot::Scatter;
}

QString categoryName(const ChartSeries &series, int i) {
  return std::size_t(i) < series.categories.size() ? series.categories[std::size_t(i)]
                                                   : QString::number(i + 1);
}

// One entry per series; a single series with varied colours (pies,
// doughnuts) gets one entry per category instead.
std::vector<LegendEntry> legendEntries(const ChartSpec &chart) {
  std::vector<LegendEntry> entries;
  for (const ChartGroup &group : chart.groups) {
    const bool byCategory = group.varyColors && group.series.size() == 1 &&
                            group.plot != ChartPlot::Line && group.plot != ChartPlot::Scatter;
    if (byCategory) {
      const ChartSeries &series = group.series.front();
      for (int i = 0; i < categoryCount(group); ++i)
        entries.push_back({categoryName(series, i), pointPaint(series, i)});
      continue;
    }
    for (const ChartSeries &series : group.series) {
      const bool line = group.plot == ChartPlot::Line || group.plot == ChartPlot::Scatter ||
                        (group.plot == ChartPlot::Radar && !group.filled);
      entries.push_back({series.name, series.paint, line, line ? series.marker : ChartMarker::None,
                         series.markerPaint});
    }
  }
  std::vector<LegendEntry> kept;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (std::find(chart.legend.deletedEntries.begin(), chart.legend.deletedEntries.end(), int(i)) ==
        chart.legend.deletedEntries.end())
      kept.push_back(std::move(entries[i]));
  return kept;
}

void drawLegendEntry(const Canvas &canvas, const LegendEntry &entry, QPointF at, double lineHeight,
                     const QColor &color) {
  QPainter &p = canvas.painter;
  const double swatch = lineHeight * 0.6;
  const double y = at.y() + lineHeight / 2;
  if (entry.line) {
    if (entry.paint.line) {
      QPen pen = penOf(entry.paint);
      pen.setWidthF(std::min(pen.widthF(), swatch / 3));
      p.setPen(pen);
      p.drawLine(QPointF(at.x(), y), QPointF(at.x() + swatch * 2, y));
    }
    if (entry.marker != ChartMarker::None)
      drawMarker(p, entry.marker, QPointF(at.x() + swatch, y), swatch * 0.8, entry.markerPaint);
  } else {
    p.setPen(entry.paint.line ? QPen(QColor::fromRgba(*entry.paint.line), 1) : QPen(Qt::NoPen));
    p.setBrush(brushOf(entry.paint));
    p.drawRect(QRectF(at.x(), y - swatch / 2, swatch, swatch));
  }
  const double textX = at.x() + (entry.line ? swatch * 2 : swatch) + swatch * 0.5;
  p.setPen(color);
  p.drawText(QRectF(textX, at.y(), 1e6, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
}

double entryWidth(const LegendEntry &e, const QFontMetricsF &metrics, double swatch) {
  return (e.line ? swatch * 2 : swatch) + swatch * 0.5 + metrics.horizontalAdvance(e.text);
}

// A legend above or below: rows of entries, centred. Returns its height.
double layOutLegendRows(const Canvas &canvas, const ChartLegend &legend,
                        const std::vector<LegendEntry> &entries, const QRectF &area) {
  const QFontMetricsF metrics(canvas.font(legend.text));
  const double lineHeight = metrics.height() * 1.25, swatch = lineHeight * 0.6;
  const double gap = lineHeight * 0.5;
  std::vector<std::vector<std::size_t>> rows(1);
  double rowWidth = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const double w = entryWidth(entries[i], metrics, swatch) + gap;
    if (rowWidth + w > area.width() && !rows.back().empty()) {
      rows.emplace_back();
      rowWidth = 0;
    }
    rows.back().push_back(i);
    rowWidth += w;
  }
  const double height = std::min(double(rows.size()) * lineHeight, area.height() / 2);
  double y = legend.position == 't' ? area.top() : area.bottom() - height;
  const double bottom = y + height;
  for (const auto &row : rows) {
    if (y + lineHeight > bottom + 0.5) break;
    double w = 0;
    for (std::size_t i : row) w += entryWidth(entries[i], metrics, swatch) + gap;
    double x = area.center().x() - (w - gap) / 2;
    for (std::size_t i : row) {
      drawLegendEntry(canvas, entries[i], QPointF(x, y), lineHeight,
                      QColor::fromRgba(legend.text.color));
      x += entryWidth(entries[i], metrics, swatch) + gap;
    }
    y += lineHeight;
  }
  return height + gap;
}

// A legend at the right (also top right) or left: a column. Returns its width.
double layOutLegendColumn(const Canvas &canvas, const ChartLegend &legend,
                          const std::vector<LegendEntry> &entries, const QRectF &area) {
  const QFontMetricsF metrics(canvas.font(legend.text));
  const double lineHeight = metrics.height() * 1.25, swatch = lineHeight * 0.6;
  const double gap = lineHeight * 0.5;
  double widest = 0;
  for (const LegendEntry &e : entries) widest = std::max(widest, entryWidth(e, metrics, swatch));
  const double width = std::min(widest + gap, area.width() * kLegendShare);
  const double height = std::min(double(entries.size()) * lineHeight, area.height());
  const bool left = legend.position == 'l';
  const double x = left ? area.left() : area.right() - width + gap;
  double y = legend.position == 'T' ? area.top() : area.center().y() - height / 2;
  canvas.painter.save();
  canvas.painter.setClipRect(QRectF(x, y, width, height + 1));
  for (const LegendEntry &e : entries) {
    if (y + lineHeight > area.bottom() + 0.5) break;
    drawLegendEntry(canvas, e, QPointF(x, y), lineHeight, QColor::fromRgba(legend.text.color));
    y += lineHeight;
  }
  canvas.painter.restore();
  return width + gap;
}

// Draws the legend at its position inside area and takes its room from area.
void layOutLegend(const Canvas &canvas, const ChartSpec &chart, QRectF &area) {
  const std::vector<LegendEntry> entries = legendEntries(chart);
  if (!chart.legend.present || entries.empty()) return;
  canvas.painter.setFont(canvas.font(chart.legend.text));
  const char position = chart.legend.position;
  if (position == 't' || position == 'b') {
    const double height = layOutLegendRows(canvas, chart.legend, entries, area);
    if (position == 't')
      area.setTop(area.top() + height);
    else
      area.setBottom(area.bottom() - height);
    return;
  }
  const double width = layOutLegendColumn(canvas, chart.legend, entries, area);
  if (position == 'l')
    area.setLeft(area.left() + width);
  else
    area.setRight(area.right() - width);
}

void layOutTitle(const Canvas &canvas, const ChartSpec &chart, QRectF &area) {
  if (chart.title.isEmpty()) return;
  const QFont font = canvas.font(chart.titleText);
  canvas.painter.setFont(font);
  canvas.painter.setPen(QColor::fromRgba(chart.titleText.color));
  const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
  const QRectF bounds = canvas.painter.boundingRect(
      QRectF(area.left(), area.top(), area.width(), area.height() / 3), flags, chart.title);
  const double height = std::min(bounds.height(), area.height() / 3);
  canvas.painter.drawText(QRectF(area.left(), area.top(), area.width(), height), flags,
                          chart.title);
  area.setTop(area.top() + height + QFontMetricsF(font).height() * 0.4);
}

// A picture fill stretched over area; false when it cannot be decoded.
bool paintPicture(QPainter &painter, const std::optional<PictureSource> &picture,
                  const QRectF &area) {
  if (!picture) return false;
  try {
    painter.drawImage(area, decodeBitmap(*picture));
    return true;
  } catch (const morvane::Error &) {
    return false;
  }
}

// ---- Axes ------------------------------------------------------------------

const ChartAxis *findAxis(const ChartSpec &chart, unsigned id) {
  for (const ChartAxis &a : chart.axes)
    if (a.id == id) return &a;
  return nullptr;
}

// A value axis and what it shows.
struct ValueAxis {
  const ChartAxis *axis = nullptr;
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  QString format;
  bool percent = false;  // percent-stacked data: the scale ends at 100 %
  bool vertical = true;
  bool secondSide = false;  // right (vertical) or top
  ValueScale scale;
};

struct CartesianLayout {
  bool horizontalBars = false;
  const ChartAxis *categoryAxis = nullptr;
  int categories = 1;
  bool between = true;
  const std::vector<QString> *labels = nullptr;
  std::map<unsigned, ValueAxis> valueAxes;  // by axis id (0 for a group without one)
  bool scatterOnly = true;
  CategoryScale categoryScale;
};

unsigned valueAxisId(const ChartSpec &chart, const ChartGroup &group, bool wantX) {
  std::vector<unsigned> values;
  for (unsigned id : group.axisIds)
    if (const ChartAxis *a = findAxis(chart, id); a && a->kind == ChartAxisKind::Value)
      values.push_back(id);
  if (group.plot == ChartPlot::Scatter) {
    for (unsigned id : values) {
      const char pos = findAxis(chart, id)->position;
      if ((pos == 'b' || pos == 't') == wantX) return id;
    }
    if (values.size() >= 2) return wantX ? values[0] : values[1];
    return wantX ? 1u << 31 : 0;
  }
  return values.empty() ? 0 : values.front();
}

void extend(ValueAxis &axis, double low, double high) {
  axis.low = std::min(axis.low, low);
  axis.high = std::max(axis.high, high);
}

void scatterRange(const ChartGroup &group, bool x, double &low, double &high) {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (const ChartSeries &s : group.series)
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (std::isnan(s.values[i])) continue;
      const double v = !x                                                  ? s.values[i]
                       : i < s.xValues.size() && !std::isnan(s.xValues[i]) ? s.xValues[i]
                                                                           : double(i + 1);
      low = std::min(low, v);
      high = std::max(high, v);
    }
  if (!std::isfinite(low)) low = 0, high = 1;
}

void collectScatterAxes(const ChartSpec &chart, const ChartGroup &group, CartesianLayout &layout) {
  for (bool x : {true, false}) {
    const unsigned id = valueAxisId(chart, group, x);
    ValueAxis &axis = layout.valueAxes[id];
    axis.axis = findAxis(chart, id);
    axis.vertical = !x;
    double low, high;
    scatterRange(group, x, low, high);
    extend(axis, low, high);
    if (!x && axis.format.isEmpty() && !group.series.empty())
      axis.format = group.series.front().formatCode;
  }
}

void collectCategoryAxes(const ChartSpec &chart, const ChartGroup &group, CartesianLayout &layout) {
  layout.scatterOnly = false;
  if (!layout.categoryAxis) {
    layout.horizontalBars = group.plot == ChartPlot::Bar && group.horizontal;
    for (unsigned id : group.axisIds)
      if (const ChartAxis *a = findAxis(chart, id);
          a && a->kind != ChartAxisKind::Value && !layout.categoryAxis)
        layout.categoryAxis = a;
    layout.labels = categoryLabels(group);
  }
  layout.categories = std::max(layout.categories, categoryCount(group));
  const unsigned id = valueAxisId(chart, group, false);
  ValueAxis &axis = layout.valueAxes[id];
  axis.axis = findAxis(chart, id);
  axis.vertical = !layout.horizontalBars;
  double low, high;
  valueRange(group, low, high);
  extend(axis, low, high);
  const bool percent = group.grouping == ChartGrouping::PercentStacked;
  axis.percent = axis.percent || percent;
  if (axis.format.isEmpty())
    axis.format = percent                ? QStringLiteral("0%")
                  : group.series.empty() ? QString()
                                         : group.series.front().formatCode;
  if (axis.axis && axis.axis->betweenCategories)
    layout.between = *axis.axis->betweenCategories;
  else if (group.plot == ChartPlot::Area)
    layout.between = false;
}

CartesianLayout collectAxes(const ChartSpec &chart) {
  CartesianLayout layout;
  for (const ChartGroup &group : chart.groups) {
    if (group.plot == ChartPlot::Scatter)
      collectScatterAxes(chart, group, layout);
    else if (isCartesian(group.plot))
      collectCategoryAxes(chart, group, layout);
  }
  for (auto &[id, axis] : layout.valueAxes) {
    const char pos = axis.axis ? axis.axis->position : 'l';
    axis.secondSide = pos == 'r' || pos == 't';
    if (axis.axis && !axis.axis->numberFormat.isEmpty() &&
        (!axis.axis->sourceLinked || axis.format.isEmpty()))
      axis.format = axis.axis->numberFormat;
  }
  return layout;
}

// How many intervals fit along an axis: labels stacked need a line and a
// half each; side by side, about three characters' width.
int maxTicksFor(double length, bool vertical, double fontHeight) {
  return std::max(2, int(length / (fontHeight * (vertical ? 1.6 : 2.8))));
}

bool showsLabels(const ChartAxis *axis) { return !axis || (!axis->deleted && axis->tickLabels); }

QString categoryLabel(const CartesianLayout &layout, int i) {
  return layout.labels && std::size_t(i) < layout.labels->size() ? (*layout.labels)[std::size_t(i)]
                                                                 : QString::number(i + 1);
}

struct AxisFont {
  QFont font;
  QColor color;
  double height = 0;
};

AxisFont axisFont(const Canvas &canvas, const ChartAxis *axis) {
  const ChartText text = axis ? axis->text : ChartText();
  AxisFont f{canvas.font(text), QColor::fromRgba(text.color), 0};
  f.height = QFontMetricsF(f.font).height();
  return f;
}

double widestValueLabel(const ValueAxis &axis, const QFontMetricsF &metrics, int ticks) {
  const ValueScale scale = makeScale(axis.low, axis.high, axis.axis, ticks, axis.percent);
  double w = 0;
  for (double t : scale.ticks())
    w = std::max(w, metrics.horizontalAdvance(formatNumber(t, axis.format)));
  return w;
}

double axisTitleRoom(const ChartAxis *axis, double fontHeight) {
  return axis && !axis->title.isEmpty() ? fontHeight * 1.3 : 0;
}

// Takes the room of the value axes' labels and titles from area.
void reserveValueAxes(const Canvas &canvas, CartesianLayout &layout, QRectF &area) {
  for (auto &[id, axis] : layout.valueAxes) {
    if (!showsLabels(axis.axis)) continue;
    const AxisFont f = axisFont(canvas, axis.axis);
    const double gap = f.height * 0.4;
    const int ticks =
        maxTicksFor(axis.vertical ? area.height() : area.width(), axis.vertical, f.height);
    if (axis.vertical) {
      const double w = widestValueLabel(axis, QFontMetricsF(f.font), ticks) + gap +
                       axisTitleRoom(axis.axis, f.height);
      axis.secondSide ? area.setRight(area.right() - w) : area.setLeft(area.left() + w);
    } else {
      const double h = f.height + gap + axisTitleRoom(axis.axis, f.height);
      axis.secondSide ? area.setTop(area.top() + h) : area.setBottom(area.bottom() - h);
    }
  }
}

// Takes the room of the axes' labels and titles from area, leaving the plot.
QRectF plotRect(const Canvas &canvas, CartesianLayout &layout, QRectF area) {
  reserveValueAxes(canvas, layout, area);
  if (layout.scatterOnly || !showsLabels(layout.categoryAxis)) return area;
  const AxisFont cat = axisFont(canvas, layout.categoryAxis);
  const double gap = cat.height * 0.4;
  const double titleRoom = axisTitleRoom(layout.categoryAxis, cat.height);
  if (layout.horizontalBars) {
    double w = 0;
    for (int i = 0; i < layout.categories; ++i)
      w = std::max(w, QFontMetricsF(cat.font).horizontalAdvance(categoryLabel(layout, i)));
    area.setLeft(area.left() + std::min(w, area.width() * 0.35) + gap + titleRoom);
  } else {
    area.setBottom(area.bottom() - 2 * cat.height - gap - titleRoom);
  }
  return area;
}

void drawAxisTitle(const Canvas &canvas, const QString &title, const AxisFont &f,
                   const QRectF &plot, char side) {
  if (title.isEmpty()) return;
  QPainter &p = canvas.painter;
  p.save();
  QFont bold = f.font;
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(f.color);
  if (side == 'l' || side == 'r') {
    const double x = side == 'l' ? f.height * 0.7 : p.device()->width() - f.height * 0.7;
    p.translate(x, plot.center().y());
    p.rotate(side == 'l' ? -90 : 90);
    p.drawText(QRectF(-plot.height() / 2, -f.height / 2, plot.height(), f.height), Qt::AlignCenter,
               title);
  } else {
    const double y = side == 'b' ? p.device()->height() - f.height * 1.3 : f.height * 0.3;
    p.drawText(QRectF(plot.left(), y, plot.width(), f.height), Qt::AlignCenter, title);
  }
  p.restore();
}

void drawValueGridlines(const Canvas &canvas, const ValueAxis &axis, const QRectF &plot) {
  if (!axis.axis || !axis.axis->majorGridlines || axis.axis->deleted || !axis.axis->gridColor)
    return;
  canvas.painter.setPen(QPen(QColor::fromRgba(*axis.axis->gridColor), 1));
  for (double t : axis.scale.ticks()) {
    const double at = axis.scale.position(t);
    if (axis.vertical)
      canvas.painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
    else
      canvas.painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
  }
}

void drawValueLabels(const Canvas &canvas, const ValueAxis &axis, const QRectF &plot) {
  if (!showsLabels(axis.axis)) return;
  QPainter &p = canvas.painter;
  const AxisFont f = axisFont(canvas, axis.axis);
  const double gap = f.height * 0.3;
  p.setFont(f.font);
  p.setPen(f.color);
  for (double t : axis.scale.ticks()) {
    const QString label = formatNumber(t, axis.format);
    const double at = axis.scale.position(t);
    if (axis.vertical) {
      const QRectF box = axis.secondSide
                             ? QRectF(plot.right() + gap, at - f.height / 2, 1e5, f.height)
                             : QRectF(plot.left() - gap - 1e5, at - f.height / 2, 1e5, f.height);
      p.drawText(box, (axis.secondSide ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, label);
    } else {
      const double y = axis.secondSide ? plot.top() - gap - f.height : plot.bottom() + gap;
      p.drawText(QRectF(at - 1e4, y, 2e4, f.height), Qt::AlignHCenter | Qt::AlignTop, label);
    }
  }
  if (axis.axis) {
    const char side = axis.vertical ? (axis.secondSide ? 'r' : 'l') : (axis.secondSide ? 't' : 'b');
    drawAxisTitle(canvas, axis.axis->title, f, plot, side);
  }
}

// The axis line of a value axis of a scatter chart (category charts draw the
// category axis line where the values are zero instead).
void drawValueAxisLine(const Canvas &canvas, const ValueAxis &axis, const QRectF &plot) {
  if (!axis.axis || !axis.axis->lineColor || !showsLabels(axis.axis)) return;
  canvas.painter.setPen(QPen(QColor::fromRgba(*axis.axis->lineColor), 1));
  if (axis.vertical) {
    const double x = axis.secondSide ? plot.right() : plot.left();
    canvas.painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  } else {
    const double y = axis.secondSide ? plot.top() : plot.bottom();
    canvas.painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
}

void drawCategoryLines(const Canvas &canvas, const CartesianLayout &layout, const QRectF &plot,
                       double crossing) {
  QPainter &p = canvas.painter;
  const ChartAxis *axis = layout.categoryAxis;
  if (axis && axis->lineColor && !axis->deleted) {
    p.setPen(QPen(QColor::fromRgba(*axis->lineColor), 1));
    if (layout.horizontalBars)
      p.drawLine(QPointF(crossing, plot.top()), QPointF(crossing, plot.bottom()));
    else
      p.drawLine(QPointF(plot.left(), crossing), QPointF(plot.right(), crossing));
  }
  if (!axis || !axis->majorGridlines || !axis->gridColor) return;
  p.setPen(QPen(QColor::fromRgba(*axis->gridColor), 1));
  for (int i = 0; i <= layout.categories; ++i) {
    const double at = layout.categoryScale.from + i * layout.categoryScale.band();
    if (layout.horizontalBars)
      p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
    else
      p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
  }
}

void drawCategoryLabels(const Canvas &canvas, const CartesianLayout &layout, const QRectF &plot) {
  const ChartAxis *axis = layout.categoryAxis;
  if (!showsLabels(axis)) return;
  QPainter &p = canvas.painter;
  const AxisFont f = axisFont(canvas, axis);
  const QFontMetricsF metrics(f.font);
  p.setFont(f.font);
  p.setPen(f.color);
  const double band = std::fabs(layout.categoryScale.band());
  const double gap = f.height * 0.3;
  if (layout.horizontalBars) {
    const int step = std::max(1, int(std::ceil(f.height / std::max(band, 1.0))));
    for (int i = 0; i < layout.categories; i += step) {
      const double at = layout.categoryScale.center(i);
      p.drawText(QRectF(0, at - f.height / 2, plot.left() - gap, f.height),
                 Qt::AlignRight | Qt::AlignVCenter, categoryLabel(layout, i));
    }
  } else {
    // A label may wrap onto two lines, but no word is cut: the labels that
    // do not fit beside each other are left out, evenly.
    double need = 0;
    for (int i = 0; i < layout.categories; ++i) {
      const QString label = categoryLabel(layout, i);
      need = std::max(need, metrics.horizontalAdvance(label) / 2);
      for (const QString &word : label.split(QLatin1Char(' ')))
        need = std::max(need, metrics.horizontalAdvance(word));
    }
    const int step = std::max(1, int(std::ceil(need * 1.1 / std::max(band, 1.0))));
    for (int i = 0; i < layout.categories; i += step) {
      const double at = layout.categoryScale.center(i);
      const double w = std::max(band * step, need * 1.1);
      p.drawText(QRectF(at - w / 2, plot.bottom() + gap, w, 2 * f.height),
                 Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip,
                 categoryLabel(layout, i));
    }
  }
  if (axis) drawAxisTitle(canvas, axis->title, f, plot, layout.horizontalBars ? 'l' : 'b');
}

void setScales(const Canvas &canvas, CartesianLayout &layout, const QRectF &plot) {
  for (auto &[id, axis] : layout.valueAxes) {
    const double length = axis.vertical ? plot.height() : plot.width();
    const int ticks = maxTicksFor(length, axis.vertical, axisFont(canvas, axis.axis).height);
    axis.scale = makeScale(axis.low, axis.high, axis.axis, ticks, axis.percent);
    axis.scale.from = axis.vertical ? plot.bottom() : plot.left();
    axis.scale.to = axis.vertical ? plot.top() : plot.right();
  }
  CategoryScale &categories = layout.categoryScale;
  categories.count = layout.categories;
  categories.between = layout.between;
  categories.reversed = layout.categoryAxis && layout.categoryAxis->reversed;
  categories.from = layout.horizontalBars ? plot.bottom() : plot.left();
  categories.to = layout.horizontalBars ? plot.top() : plot.right();
}

// Areas under bars under lines and points, as Office stacks them.
void paintPlots(const Canvas &canvas, const ChartSpec &chart, CartesianLayout &layout,
                const QRectF &plot) {
  canvas.painter.save();
  canvas.painter.setClipRect(plot.adjusted(-2, -2, 2, 2));
  for (ChartPlot pass : {ChartPlot::Area, ChartPlot::Bar, ChartPlot::Line, ChartPlot::Scatter}) {
    for (const ChartGroup &group : chart.groups) {
      if (group.plot != pass) continue;
      const ValueScale &values = layout.valueAxes[valueAxisId(chart, group, false)].scale;
      if (pass == ChartPlot::Bar) paintBars(canvas, group, layout.categoryScale, values);
      if (pass == ChartPlot::Line) paintLines(canvas, group, layout.categoryScale, values);
      if (pass == ChartPlot::Area) paintAreas(canvas, group, layout.categoryScale, values);
      if (pass == ChartPlot::Scatter)
        paintScatter(canvas, group, layout.valueAxes[valueAxisId(chart, group, true)].scale,
                     values);
    }
  }
  canvas.painter.restore();
}

void paintCartesian(const Canvas &canvas, const ChartSpec &chart, const QRectF &area) {
  CartesianLayout layout = collectAxes(chart);
  const QRectF plot = plotRect(canvas, layout, area);
  if (plot.width() < 2 || plot.height() < 2) return;
  if (chart.plotFill) {
    canvas.painter.setPen(Qt::NoPen);
    canvas.painter.setBrush(QColor::fromRgba(*chart.plotFill));
    canvas.painter.drawRect(plot);
  } else {
    paintPicture(canvas.painter, chart.plotPicture, plot);
  }
  setScales(canvas, layout, plot);
  for (auto &[id, axis] : layout.valueAxes)
    if (!axis.secondSide) drawValueGridlines(canvas, axis, plot);
  paintPlots(canvas, chart, layout, plot);
  for (auto &[id, axis] : layout.valueAxes) {
    drawValueLabels(canvas, axis, plot);
    if (layout.scatterOnly) drawValueAxisLine(canvas, axis, plot);
  }
  if (layout.scatterOnly) return;
  const ValueScale &primary = layout.valueAxes.begin()->second.scale;
  drawCategoryLines(canvas, layout, plot,
                    primary.position(std::clamp(0.0, primary.min, primary.max)));
  drawCategoryLabels(canvas, layout, plot);
}

void paintPolar(const Canvas &canvas, const ChartSpec &chart, const QRectF &area) {
  for (const ChartGroup &group : chart.groups) {
    const ChartAxis *valueAxis = nullptr;
    for (unsigned id : group.axisIds)
      if (const ChartAxis *a = findAxis(chart, id); a && a->kind == ChartAxisKind::Value)
        valueAxis = a;
    const ChartText labels = valueAxis ? valueAxis->text : chart.legend.text;
    if (group.plot == ChartPlot::Pie || group.plot == ChartPlot::Doughnut)
      paintPie(canvas, group, area, labels);
    if (group.plot == ChartPlot::Radar) paintRadar(canvas, group, area, valueAxis, labels);
  }
}

}  // namespace

QImage drawChart(const ChartSpec &chart) {
  ensureGuiApplication();
  const QSize size = clampPixelSize(chart.pixelSize);
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) throw morvane::Error(QStringLiteral("Not enough memory for the chart"));
  image.fill(QColor::fromRgb(chart.background));
  const int dotsPerMeter = int(std::lround(kMetafileDpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  paintPicture(painter, chart.backgroundPicture, image.rect());
  const Canvas canvas{painter, chart.fontFamily, QColor::fromRgb(chart.background)};
  const double margin = std::max(4.0, std::min(image.width(), image.height()) * 0.03);
  QRectF area = QRectF(image.rect()).adjusted(margin, margin, -margin, -margin);
  layOutTitle(canvas, chart, area);
  layOutLegend(canvas, chart, area);
  if (std::any_of(chart.groups.begin(), chart.groups.end(),
                  [](const ChartGroup &g) { return isCartesian(g.plot); }))
    paintCartesian(canvas, chart, area);
  paintPolar(canvas, chart, area);
  return image;
}

}  // namespace office::render::chart

namespace office::render {

void drawing::exportChartJpeg(const ChartSpec &chart, const QString &path) {
  writeDrawnJpeg(chart::drawChart(chart), path);
}

void drawing::exportChartBmp(const ChartSpec &chart, const QString &path) {
  writeDrawnBmp(chart::drawChart(chart), path);
}

}  // namespace office::render
