// Laying out and drawing a whole chart: background, title, legend, axes
// with tick labels and gridlines, and the plot groups.

#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

#include "common/error.h"
#include "office/pptx/chart/painting.h"
#include "office/render/guiapplication.h"
#include "office/render/raster.h"

namespace office::pptx::chart {

namespace {

constexpr double kDefaultTitlePt = 18.0;
constexpr double kLegendShare = 0.4;  // at most this much of the width for a side legend

struct LegendEntry {
  QString text;
  Paint paint;
  bool line = false;
  MarkerSymbol marker = MarkerSymbol::None;
  Paint markerPaint = {};
};

bool isCartesian(PlotKind kind) {
  return kind == PlotKind::Bar || kind == PlotKind::Line || kind == PlotKind::Area ||
         kind == PlotKind::Scatter;
}

bool isLineKind(PlotKind kind) {
  return kind == PlotKind::Line || kind == PlotKind::Scatter || kind == PlotKind::Radar;
}

int totalSeries(const ChartModel &chart) {
  int n = 0;
  for (const PlotGroup &g : chart.groups) n += int(g.series.size());
  return n;
}

double textSize(const TextStyle &own, const TextStyle &chart, double fallback) {
  return own.sizePt > 0 ? own.sizePt : chart.sizePt > 0 ? chart.sizePt : fallback;
}

QColor textColor(const Canvas &canvas, const TextStyle &own, const TextStyle &chart) {
  return canvas.resolve(own.color, canvas.resolve(chart.color, canvas.text));
}

QString seriesName(const Series &series, int index) {
  return series.name.isEmpty() ? QStringLiteral("Series %1").arg(index + 1) : series.name;
}

// One entry per series; a single series with varied colours (pies,
// doughnuts) gets one entry per category instead.
std::vector<LegendEntry> legendEntries(const Canvas &canvas, const ChartModel &chart) {
  std::vector<LegendEntry> entries;
  const int total = totalSeries(chart);
  int base = 0;
  for (const PlotGroup &group : chart.groups) {
    const bool byCategory = group.varyColors && group.series.size() == 1 &&
                            group.kind != PlotKind::Line && group.kind != PlotKind::Scatter;
    if (byCategory) {
      const Series &series = group.series.front();
      const int count = categoryCount(group);
      for (int i = 0; i < count; ++i) {
        const QColor color = canvas.autoColor(i, count);
        Paint paint = paintOf(canvas, series.style, color, false);
        paint.fill = color;
        for (const DataPoint &p : series.points)
          if (p.index == i) paint = paintOf(canvas, p.style, color, false);
        const QString text = std::size_t(i) < series.categories.size()
                                 ? series.categories[std::size_t(i)]
                                 : QString::number(i + 1);
        entries.push_back({text, paint, false, MarkerSymbol::None});
      }
    } else {
      for (std::size_t s = 0; s < group.series.size(); ++s) {
        const Series &series = group.series[s];
        const int index = base + int(s);
        const bool line =
            isLineKind(group.kind) && !(group.kind == PlotKind::Radar && group.filled);
        LegendEntry entry{seriesName(series, index),
                          paintOf(canvas, series.style, canvas.autoColor(index, total), line), line,
                          MarkerSymbol::None};
        if (line && (group.markers || group.kind == PlotKind::Scatter)) {
          entry.marker = series.marker.value_or(MarkerSymbol::Auto);
          if (entry.marker == MarkerSymbol::Auto) entry.marker = autoMarker(index);
          entry.markerPaint = markerPaint(
              canvas, series,
              entry.paint.line.isValid() ? entry.paint.line : canvas.autoColor(index, total));
        }
        entries.push_back(entry);
      }
    }
    base += int(group.series.size());
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
    if (entry.paint.line.isValid()) {
      p.setPen(QPen(entry.paint.line, std::min(entry.paint.lineWidthPx, swatch / 3)));
      p.drawLine(QPointF(at.x(), y), QPointF(at.x() + swatch * 2, y));
    }
    if (entry.marker != MarkerSymbol::None)
      drawMarker(p, entry.marker, QPointF(at.x() + swatch, y), swatch * 0.8, entry.markerPaint);
  } else {
    p.setPen(entry.paint.line.isValid() ? QPen(entry.paint.line, 1) : QPen(Qt::NoPen));
    p.setBrush(entry.paint.fill.isValid() ? QBrush(entry.paint.fill) : QBrush(Qt::NoBrush));
    p.drawRect(QRectF(at.x(), y - swatch / 2, swatch, swatch));
  }
  const double textX = at.x() + (entry.line ? swatch * 2 : swatch) + swatch * 0.5;
  p.setPen(color);
  p.drawText(QRectF(textX, at.y(), 1e6, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
}

// Draws the legend at its position inside area and takes its room from area.
void layOutLegend(const Canvas &canvas, const Legend &legend, const TextStyle &chartText,
                  const std::vector<LegendEntry> &entries, QRectF &area) {
  if (!legend.present || entries.empty()) return;
  const QFont font = canvas.font(textSize(legend.text, chartText, kDefaultTextPt));
  const QFontMetricsF metrics(font);
  const double lineHeight = metrics.height() * 1.25;
  const double swatch = lineHeight * 0.6;
  std::vector<double> widths;
  for (const LegendEntry &e : entries)
    widths.push_back((e.line ? swatch * 2 : swatch) + swatch * 0.5 +
                     metrics.horizontalAdvance(e.text));
  const QColor color = textColor(canvas, legend.text, chartText);
  canvas.painter.setFont(font);
  const double gap = lineHeight * 0.5;
  const QString &pos = legend.position;
  if (pos == QLatin1String("t") || pos == QLatin1String("b")) {
    // Rows of entries, centred.
    std::vector<std::vector<std::size_t>> rows(1);
    double rowWidth = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const double w = widths[i] + gap;
      if (rowWidth + w > area.width() && !rows.back().empty()) {
        rows.emplace_back();
        rowWidth = 0;
      }
      rows.back().push_back(i);
      rowWidth += w;
    }
    const double height = std::min(double(rows.size()) * lineHeight, area.height() / 2);
    double y = pos == QLatin1String("t") ? area.top() : area.bottom() - height;
    for (const auto &row : rows) {
      if (y + lineHeight > (pos == QLatin1String("t") ? area.top() + height : area.bottom()) + 0.5)
        break;
      double w = 0;
      for (std::size_t i : row) w += widths[i] + gap;
      double x = area.center().x() - (w - gap) / 2;
      for (std::size_t i : row) {
        drawLegendEntry(canvas, entries[i], QPointF(x, y), lineHeight, color);
        x += widths[i] + gap;
      }
      y += lineHeight;
    }
    if (pos == QLatin1String("t"))
      area.setTop(area.top() + height + gap);
    else
      area.setBottom(area.bottom() - height - gap);
    return;
  }
  // A column at the right (also "tr") or left.
  const double width =
      std::min(*std::max_element(widths.begin(), widths.end()) + gap, area.width() * kLegendShare);
  const double height = std::min(double(entries.size()) * lineHeight, area.height());
  const bool left = pos == QLatin1String("l");
  const double x = left ? area.left() : area.right() - width + gap;
  double y = pos == QLatin1String("tr") ? area.top() : area.center().y() - height / 2;
  canvas.painter.save();
  canvas.painter.setClipRect(QRectF(x, y, width, height + 1));
  for (const LegendEntry &e : entries) {
    if (y + lineHeight > area.bottom() + 0.5) break;
    drawLegendEntry(canvas, e, QPointF(x, y), lineHeight, color);
    y += lineHeight;
  }
  canvas.painter.restore();
  if (left)
    area.setLeft(area.left() + width + gap);
  else
    area.setRight(area.right() - width - gap);
}

QString titleText(const ChartModel &chart) {
  if (!chart.title.text.isEmpty()) return chart.title.text;
  if (totalSeries(chart) == 1)
    for (const PlotGroup &g : chart.groups)
      if (!g.series.empty()) return g.series.front().name;
  return QStringLiteral("Chart Title");
}

void layOutTitle(const Canvas &canvas, const Title &title, const QString &text,
                 const TextStyle &chartText, QRectF &area) {
  if (!title.present || text.isEmpty()) return;
  const double size = title.style.sizePt > 0 ? title.style.sizePt
                      : chartText.sizePt > 0 ? chartText.sizePt * 1.2
                                             : kDefaultTitlePt;
  const QFont font = canvas.font(size, title.style.bold.value_or(true));
  canvas.painter.setFont(font);
  canvas.painter.setPen(textColor(canvas, title.style, chartText));
  const QRectF bounds =
      canvas.painter.boundingRect(QRectF(area.left(), area.top(), area.width(), area.height() / 3),
                                  Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
  const double height = std::min(bounds.height(), area.height() / 3);
  canvas.painter.drawText(QRectF(area.left(), area.top(), area.width(), height),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
  area.setTop(area.top() + height + QFontMetricsF(font).height() * 0.4);
}

// A picture fill (of the chart or its plot area) stretched over area;
// returns its average colour, invalid when there is none.
QColor paintPictureFill(QPainter &painter, const Fill &fill, const ChartStyle &style,
                        const QRectF &area) {
  if (fill.kind != Fill::Kind::Blip || fill.blip.embed.isEmpty() || !style.picture) return {};
  const QImage picture = style.picture(fill.blip.embed);
  if (picture.isNull()) return {};
  painter.drawImage(area, picture);
  const QImage pixel = picture.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return pixel.pixelColor(0, 0);
}

// ---- Axes ------------------------------------------------------------------

const Axis *findAxis(const ChartModel &chart, unsigned id) {
  for (const Axis &a : chart.axes)
    if (a.id == id) return &a;
  return nullptr;
}

// A value axis and what it shows.
struct ValueAxis {
  const Axis *axis = nullptr;
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
  const Axis *categoryAxis = nullptr;
  int categories = 1;
  bool between = true;
  const std::vector<QString> *labels = nullptr;
  std::map<unsigned, ValueAxis> valueAxes;  // by axis id (0 for a group without one)
  bool scatterOnly = true;
  CategoryScale categoryScale;
};

unsigned valueAxisId(const ChartModel &chart, const PlotGroup &group, bool wantX) {
  std::vector<unsigned> values;
  for (unsigned id : group.axisIds)
    if (const Axis *a = findAxis(chart, id); a && a->kind == AxisKind::Value) values.push_back(id);
  if (group.kind == PlotKind::Scatter) {
    for (unsigned id : values) {
      const QChar pos = findAxis(chart, id)->position;
      const bool horizontal = pos == u'b' || pos == u't';
      if (horizontal == wantX) return id;
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

void scatterRange(const PlotGroup &group, bool x, double &low, double &high) {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (const Series &s : group.series)
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (std::isnan(s.values[i])) continue;
      const double v =
          x ? (i < s.xValues.size() && !std::isnan(s.xValues[i]) ? s.xValues[i] : double(i + 1))
            : s.values[i];
      low = std::min(low, v);
      high = std::max(high, v);
    }
  if (!std::isfinite(low)) low = 0, high = 1;
}

CartesianLayout collectAxes(const ChartModel &chart) {
  CartesianLayout layout;
  for (const PlotGroup &group : chart.groups) {
    if (!isCartesian(group.kind)) continue;
    double low, high;
    const QString format = group.grouping == Grouping::PercentStacked ? QStringLiteral("0%")
                           : group.series.empty()                     ? QString()
                                                  : group.series.front().formatCode;
    if (group.kind == PlotKind::Scatter) {
      for (bool x : {true, false}) {
        const unsigned id = valueAxisId(chart, group, x);
        ValueAxis &axis = layout.valueAxes[id];
        axis.axis = findAxis(chart, id);
        axis.vertical = !x;
        scatterRange(group, x, low, high);
        extend(axis, low, high);
        if (!x && axis.format.isEmpty()) axis.format = format;
      }
      continue;
    }
    layout.scatterOnly = false;
    if (!layout.categoryAxis) {
      layout.horizontalBars = group.kind == PlotKind::Bar && group.horizontal;
      for (unsigned id : group.axisIds)
        if (const Axis *a = findAxis(chart, id);
            a && a->kind != AxisKind::Value && !layout.categoryAxis)
          layout.categoryAxis = a;
      layout.labels = categoryLabels(group);
    }
    layout.categories = std::max(layout.categories, categoryCount(group));
    const unsigned id = valueAxisId(chart, group, false);
    ValueAxis &axis = layout.valueAxes[id];
    axis.axis = findAxis(chart, id);
    axis.vertical = !layout.horizontalBars;
    valueRange(group, low, high);
    extend(axis, low, high);
    axis.percent = axis.percent || group.grouping == Grouping::PercentStacked;
    if (axis.format.isEmpty()) axis.format = format;
    if (axis.axis && axis.axis->betweenCategories)
      layout.between = *axis.axis->betweenCategories;
    else if (group.kind == PlotKind::Area)
      layout.between = false;
  }
  for (auto &[id, axis] : layout.valueAxes) {
    const QChar pos = axis.axis ? axis.axis->position : QChar(u'l');
    axis.secondSide = pos == u'r' || pos == u't';
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

bool showsLabels(const Axis *axis) { return !axis || (!axis->deleted && axis->tickLabels); }

QString categoryLabel(const CartesianLayout &layout, int i) {
  return layout.labels && std::size_t(i) < layout.labels->size() ? (*layout.labels)[std::size_t(i)]
                                                                 : QString::number(i + 1);
}

struct AxisFonts {
  QFont font;
  QColor color;
  double height = 0;
};

AxisFonts axisFont(const Canvas &canvas, const Axis *axis, const TextStyle &chartText) {
  const TextStyle own = axis ? axis->text : TextStyle();
  AxisFonts f{canvas.font(textSize(own, chartText, kDefaultTextPt)),
              textColor(canvas, own, chartText), 0};
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

// Takes the room of the axes' labels and titles from area, leaving the plot.
QRectF plotRect(const Canvas &canvas, const ChartModel &chart, CartesianLayout &layout,
                QRectF area) {
  const AxisFonts cat = axisFont(canvas, layout.categoryAxis, chart.text);
  const double gap = cat.height * 0.4;
  for (auto &[id, axis] : layout.valueAxes) {
    if (!showsLabels(axis.axis)) continue;
    const AxisFonts f = axisFont(canvas, axis.axis, chart.text);
    const int ticks =
        maxTicksFor(axis.vertical ? area.height() : area.width(), axis.vertical, f.height);
    const double titleRoom = axis.axis && !axis.axis->title.isEmpty() ? f.height * 1.3 : 0;
    if (axis.vertical) {
      const double w = widestValueLabel(axis, QFontMetricsF(f.font), ticks) + gap + titleRoom;
      if (axis.secondSide)
        area.setRight(area.right() - w);
      else
        area.setLeft(area.left() + w);
    } else {
      const double h = f.height + gap + titleRoom;
      if (axis.secondSide)
        area.setTop(area.top() + h);
      else
        area.setBottom(area.bottom() - h);
    }
  }
  if (!layout.scatterOnly && showsLabels(layout.categoryAxis)) {
    const double titleRoom =
        layout.categoryAxis && !layout.categoryAxis->title.isEmpty() ? cat.height * 1.3 : 0;
    if (layout.horizontalBars) {
      double w = 0;
      for (int i = 0; i < layout.categories; ++i)
        w = std::max(w, QFontMetricsF(cat.font).horizontalAdvance(categoryLabel(layout, i)));
      area.setLeft(area.left() + std::min(w, area.width() * 0.35) + gap + titleRoom);
    } else {
      area.setBottom(area.bottom() - 2 * cat.height - gap - titleRoom);
    }
  }
  return area;
}

void drawAxisTitle(const Canvas &canvas, const QString &title, const AxisFonts &f,
                   const QRectF &plot, QChar side) {
  if (title.isEmpty()) return;
  QPainter &p = canvas.painter;
  p.save();
  p.setFont(canvas.font(f.font.pixelSize() / kPixelsPerPoint, true));
  p.setPen(f.color);
  if (side == u'l' || side == u'r') {
    const double x = side == u'l' ? 0 : p.device()->width();
    p.translate(x + (side == u'l' ? f.height * 0.7 : -f.height * 0.7), plot.center().y());
    p.rotate(side == u'l' ? -90 : 90);
    p.drawText(QRectF(-plot.height() / 2, -f.height / 2, plot.height(), f.height), Qt::AlignCenter,
               title);
  } else {
    const double y = side == u'b' ? p.device()->height() - f.height * 1.3 : f.height * 0.3;
    p.drawText(QRectF(plot.left(), y, plot.width(), f.height), Qt::AlignCenter, title);
  }
  p.restore();
}

QColor axisLineColor(const Canvas &canvas, const Axis *axis) {
  if (axis && axis->lineStyle.line.kind == Fill::Kind::None) return {};
  if (axis && axis->lineStyle.line.kind != Fill::Kind::Unset) {
    const QColor c = averageColor(axis->lineStyle.line, canvas.colors);
    if (c.isValid()) return c;
  }
  return canvas.mix(0.5);
}

QColor gridColor(const Canvas &canvas, const Axis *axis) {
  if (axis && axis->gridlineStyle.line.kind == Fill::Kind::None) return {};
  if (axis && axis->gridlineStyle.line.kind != Fill::Kind::Unset) {
    const QColor c = averageColor(axis->gridlineStyle.line, canvas.colors);
    if (c.isValid()) return c;
  }
  return canvas.mix(0.55);
}

void drawValueAxis(const Canvas &canvas, const ChartModel &chart, const ValueAxis &axis,
                   const QRectF &plot, bool gridlines) {
  QPainter &p = canvas.painter;
  const AxisFonts f = axisFont(canvas, axis.axis, chart.text);
  const QColor grid = gridColor(canvas, axis.axis);
  if (gridlines && grid.isValid()) {
    p.setPen(QPen(grid, 1));
    for (double t : axis.scale.ticks()) {
      const double at = axis.scale.position(t);
      if (axis.vertical)
        p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
      else
        p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    }
  }
  if (!showsLabels(axis.axis)) return;
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
    const QChar side =
        axis.vertical ? (axis.secondSide ? u'r' : u'l') : (axis.secondSide ? u't' : u'b');
    drawAxisTitle(canvas, axis.axis->title, f, plot, side);
  }
}

void drawCategoryAxis(const Canvas &canvas, const ChartModel &chart, const CartesianLayout &layout,
                      const QRectF &plot, double crossing) {
  QPainter &p = canvas.painter;
  const Axis *axis = layout.categoryAxis;
  const QColor line = axisLineColor(canvas, axis);
  if (line.isValid() && !(axis && axis->deleted)) {
    p.setPen(QPen(line, 1));
    if (layout.horizontalBars)
      p.drawLine(QPointF(crossing, plot.top()), QPointF(crossing, plot.bottom()));
    else
      p.drawLine(QPointF(plot.left(), crossing), QPointF(plot.right(), crossing));
  }
  if (axis && axis->majorGridlines) {
    p.setPen(QPen(gridColor(canvas, axis), 1));
    for (int i = 0; i <= layout.categories; ++i) {
      const double at = layout.categoryScale.from + i * layout.categoryScale.band();
      if (layout.horizontalBars)
        p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
      else
        p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    }
  }
  if (!showsLabels(axis)) return;
  const AxisFonts f = axisFont(canvas, axis, chart.text);
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
  if (axis) drawAxisTitle(canvas, axis->title, f, plot, layout.horizontalBars ? u'l' : u'b');
}

void paintCartesian(const Canvas &canvas, const ChartModel &chart, QRectF area) {
  CartesianLayout layout = collectAxes(chart);
  const QRectF plot = plotRect(canvas, chart, layout, area);
  if (plot.width() < 2 || plot.height() < 2) return;
  const QColor plotFill = averageColor(chart.plotArea.fill, canvas.colors);
  if (plotFill.isValid()) {
    canvas.painter.setPen(Qt::NoPen);
    canvas.painter.setBrush(plotFill);
    canvas.painter.drawRect(plot);
  } else if (canvas.pictures) {
    paintPictureFill(canvas.painter, chart.plotArea.fill, *canvas.pictures, plot);
  }
  const AxisFonts anyFont = axisFont(canvas, nullptr, chart.text);
  for (auto &[id, axis] : layout.valueAxes) {
    const double length = axis.vertical ? plot.height() : plot.width();
    const int ticks = maxTicksFor(length, axis.vertical, anyFont.height);
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
  // Gridlines of the primary value axis first, under the data.
  for (auto &[id, axis] : layout.valueAxes)
    if (!axis.secondSide && axis.axis && axis.axis->majorGridlines && !axis.axis->deleted)
      drawValueAxis(canvas, chart, axis, plot, true);
  const int total = totalSeries(chart);
  for (PlotKind pass : {PlotKind::Area, PlotKind::Bar, PlotKind::Line, PlotKind::Scatter}) {
    int base = 0;
    for (const PlotGroup &group : chart.groups) {
      if (group.kind == pass) {
        const ValueAxis &values = layout.valueAxes[valueAxisId(chart, group, false)];
        canvas.painter.save();
        canvas.painter.setClipRect(plot.adjusted(-2, -2, 2, 2));
        if (pass == PlotKind::Bar) paintBars(canvas, group, categories, values.scale, base, total);
        if (pass == PlotKind::Line)
          paintLines(canvas, group, categories, values.scale, base, total);
        if (pass == PlotKind::Area)
          paintAreas(canvas, group, categories, values.scale, base, total);
        if (pass == PlotKind::Scatter)
          paintScatter(canvas, group, layout.valueAxes[valueAxisId(chart, group, true)].scale,
                       values.scale, base, total);
        canvas.painter.restore();
      }
      base += int(group.series.size());
    }
  }
  for (auto &[id, axis] : layout.valueAxes) {
    drawValueAxis(canvas, chart, axis, plot, false);
    const QColor line = axisLineColor(canvas, axis.axis);
    if (layout.scatterOnly && line.isValid() && showsLabels(axis.axis)) {
      canvas.painter.setPen(QPen(line, 1));
      if (axis.vertical)
        canvas.painter.drawLine(
            QPointF(axis.secondSide ? plot.right() : plot.left(), plot.top()),
            QPointF(axis.secondSide ? plot.right() : plot.left(), plot.bottom()));
      else
        canvas.painter.drawLine(
            QPointF(plot.left(), axis.secondSide ? plot.top() : plot.bottom()),
            QPointF(plot.right(), axis.secondSide ? plot.top() : plot.bottom()));
    }
  }
  if (!layout.scatterOnly) {
    const ValueAxis &primary = layout.valueAxes.begin()->second;
    const double crossing =
        primary.scale.position(std::clamp(0.0, primary.scale.min, primary.scale.max));
    drawCategoryAxis(canvas, chart, layout, plot, crossing);
  }
}

void paintPolar(const Canvas &canvas, const ChartModel &chart, const QRectF &area) {
  const int total = totalSeries(chart);
  int base = 0;
  for (const PlotGroup &group : chart.groups) {
    if (group.kind == PlotKind::Pie || group.kind == PlotKind::Doughnut)
      paintPie(canvas, group, area, chart.text);
    if (group.kind == PlotKind::Radar) {
      const Axis *valueAxis = nullptr;
      for (unsigned id : group.axisIds)
        if (const Axis *a = findAxis(chart, id); a && a->kind == AxisKind::Value) valueAxis = a;
      paintRadar(canvas, group, area, valueAxis, valueAxis ? valueAxis->text : chart.text, base,
                 total);
    }
    base += int(group.series.size());
  }
}

QString warningFor(const ChartModel &chart) {
  QStringList notes;
  QStringList uncovered;
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

QImage newCanvasImage(QSize pixelSize, const QColor &background) {
  office::render::ensureGuiApplication();
  const QSize size = office::render::clampPixelSize(pixelSize);
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) throw morvane::Error(QStringLiteral("Not enough memory for the chart"));
  image.fill(background);
  const int dotsPerMeter = int(std::lround(150 / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return image;
}

QColor chartBackground(const ChartModel &chart, const ChartStyle &style,
                       const ColorContext &colors) {
  const QColor own = averageColor(chart.chartSpace.fill, colors);
  if (own.isValid() && own.alpha() == 255) return own;
  return style.background.isValid() ? style.background : QColor(Qt::white);
}

QColor defaultTextColor(const ColorContext &colors) {
  ColorSpec tx1;
  tx1.kind = ColorSpec::Kind::Scheme;
  tx1.scheme = QStringLiteral("tx1");
  const QColor c = resolveColor(tx1, colors);
  return c.isValid() ? c : QColor(Qt::black);
}

}  // namespace

QImage drawChart(const QByteArray &xml, const QString &partName, QSize pixelSize,
                 const ChartStyle &style, QString *warning) {
  const ChartModel chart = readChart(xml, partName);
  ColorContext colors = style.colors;
  if (chart.colorMap && !chart.colorMap->isEmpty()) colors.map = &*chart.colorMap;
  const QColor background = chartBackground(chart, style, colors);
  QImage image = newCanvasImage(pixelSize, background);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QColor pictured = paintPictureFill(painter, chart.chartSpace.fill, style, image.rect());
  Canvas canvas{painter,
                style.fontFamily,
                colors,
                defaultTextColor(colors),
                pictured.isValid() ? pictured : background,
                chart.style};
  canvas.pictures = &style;
  const double margin = std::max(4.0, std::min(image.width(), image.height()) * 0.03);
  QRectF area = QRectF(image.rect()).adjusted(margin, margin, -margin, -margin);
  if (!chart.autoTitleDeleted || !chart.title.text.isEmpty())
    layOutTitle(canvas, chart.title, titleText(chart), chart.text, area);
  layOutLegend(canvas, chart.legend, chart.text, legendEntries(canvas, chart), area);
  bool cartesian = false;
  for (const PlotGroup &g : chart.groups) cartesian = cartesian || isCartesian(g.kind);
  if (cartesian) paintCartesian(canvas, chart, area);
  paintPolar(canvas, chart, area);
  painter.end();
  if (warning) *warning = warningFor(chart);
  return image;
}

QImage drawChartEx(const QByteArray &xml, const QString &partName, QSize pixelSize,
                   const ChartStyle &style, QString *warning) {
  const ChartExModel chart = readChartEx(xml, partName);
  QImage image =
      newCanvasImage(pixelSize, style.background.isValid() ? style.background : QColor(Qt::white));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  Canvas canvas{painter,
                style.fontFamily,
                style.colors,
                defaultTextColor(style.colors),
                style.background.isValid() ? style.background : QColor(Qt::white),
                2};
  const double margin = std::max(4.0, std::min(image.width(), image.height()) * 0.03);
  QRectF area = QRectF(image.rect()).adjusted(margin, margin, -margin, -margin);
  layOutTitle(canvas, chart.title, chart.title.text, TextStyle(), area);
  std::vector<LegendEntry> entries;
  for (std::size_t i = 0; i < chart.seriesNames.size(); ++i) {
    const QColor color = canvas.autoColor(int(i), int(chart.seriesNames.size()));
    entries.push_back({chart.seriesNames[i].isEmpty() ? QStringLiteral("Series %1").arg(i + 1)
                                                      : chart.seriesNames[i],
                       Paint{color, QColor(), 1}, false, MarkerSymbol::None});
  }
  Legend legend = chart.legend;
  legend.present = true;
  layOutLegend(canvas, legend, TextStyle(), entries, area);
  painter.end();
  if (warning)
    *warning = QStringLiteral("the chart type %1 is drawn only with its title and legend")
                   .arg(chart.kind.isEmpty() ? QStringLiteral("(2016 chart)") : chart.kind);
  return image;
}

}  // namespace office::pptx::chart
