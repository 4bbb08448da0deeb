// The plot painters: bars, lines, areas, scatter, pie and doughnut, radar.

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "office/pptx/chart/painting.h"

namespace office::pptx::chart {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMarkerPt = 5.0;

double valueAt(const Series &series, int index) {
  return std::size_t(index) < series.values.size() ? series.values[std::size_t(index)] : kNoValue;
}

QPen penOf(const Paint &paint) {
  if (!paint.line.isValid()) return Qt::NoPen;
  QPen pen(paint.line, paint.lineWidthPx);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

QBrush brushOf(const Paint &paint) {
  return paint.fill.isValid() ? QBrush(paint.fill) : QBrush(Qt::NoBrush);
}

// The colour of point index of a series: its data point's own, else the
// series' (or, with varied colours, the point's automatic colour).
Paint pointPaint(const Canvas &canvas, const Series &series, int index, const Paint &seriesPaint,
                 const QColor &autoColor) {
  for (const DataPoint &point : series.points)
    if (point.index == index) return paintOf(canvas, point.style, autoColor, false);
  return seriesPaint;
}

bool isStacked(const PlotGroup &group) {
  return group.grouping == Grouping::Stacked || group.grouping == Grouping::PercentStacked;
}

// Sums per category for stacked and percent-stacked groups.
std::vector<double> categoryTotals(const PlotGroup &group, int count) {
  std::vector<double> totals(std::size_t(count), 0);
  for (const Series &s : group.series)
    for (int i = 0; i < count; ++i) {
      const double v = valueAt(s, i);
      if (!std::isnan(v)) totals[std::size_t(i)] += std::fabs(v);
    }
  return totals;
}

double normalized(const PlotGroup &group, const std::vector<double> &totals, int i, double v) {
  if (group.grouping != Grouping::PercentStacked) return v;
  const double total = totals[std::size_t(i)];
  return total > 0 ? v / total : 0;
}

QPainterPath smoothPath(const std::vector<QPointF> &points) {
  QPainterPath path(points.front());
  for (std::size_t i = 1; i < points.size(); ++i) {
    const QPointF p0 = points[i > 1 ? i - 2 : 0], p1 = points[i - 1], p2 = points[i];
    const QPointF p3 = points[std::min(i + 1, points.size() - 1)];
    path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
  }
  return path;
}

void drawPolyline(QPainter &painter, const std::vector<QPointF> &points, bool smooth) {
  if (points.size() < 2) return;
  if (smooth) {
    painter.drawPath(smoothPath(points));
    return;
  }
  painter.drawPolyline(points.data(), int(points.size()));
}

// A line of points with gaps where values are missing.
void drawSeriesLine(QPainter &painter, const std::vector<std::optional<QPointF>> &points,
                    bool smooth) {
  std::vector<QPointF> run;
  for (const auto &p : points) {
    if (p) {
      run.push_back(*p);
      continue;
    }
    drawPolyline(painter, run, smooth);
    run.clear();
  }
  drawPolyline(painter, run, smooth);
}

void drawMarkers(const Canvas &canvas, const Series &series, int seriesIndex, bool groupMarkers,
                 const std::vector<std::optional<QPointF>> &points, const QColor &color) {
  MarkerSymbol symbol = series.marker.value_or(MarkerSymbol::Auto);
  if (symbol == MarkerSymbol::Auto)
    symbol = groupMarkers ? autoMarker(seriesIndex) : MarkerSymbol::None;
  if (symbol == MarkerSymbol::None) return;
  const Paint paint = markerPaint(canvas, series, color);
  for (const auto &p : points)
    if (p) drawMarker(canvas.painter, symbol, *p, kMarkerPt * kPixelsPerPoint, paint);
}

QPointF polar(QPointF center, double radius, double degreesFromTop) {
  const double a = (degreesFromTop - 90) * kPi / 180;
  return center + QPointF(radius * std::cos(a), radius * std::sin(a));
}

}  // namespace

Paint markerPaint(const Canvas &canvas, const Series &series, const QColor &color) {
  Paint paint = paintOf(canvas, series.markerStyle, color, false);
  if (series.markerStyle.line.kind == Fill::Kind::Unset) paint.line = color;
  paint.lineWidthPx = kPixelsPerPoint * 0.75;
  return paint;
}

MarkerSymbol autoMarker(int seriesIndex) {
  static const MarkerSymbol cycle[] = {
      MarkerSymbol::Diamond, MarkerSymbol::Square, MarkerSymbol::Triangle, MarkerSymbol::X,
      MarkerSymbol::Star,    MarkerSymbol::Circle, MarkerSymbol::Plus,     MarkerSymbol::Dash};
  return cycle[seriesIndex % 8];
}

void drawMarker(QPainter &painter, MarkerSymbol symbol, QPointF at, double size,
                const Paint &paint) {
  const double r = size / 2;
  painter.save();
  painter.setPen(penOf(paint));
  painter.setBrush(brushOf(paint));
  switch (symbol) {
    case MarkerSymbol::Circle:
    case MarkerSymbol::Dot:
      painter.drawEllipse(at, symbol == MarkerSymbol::Dot ? r / 2 : r,
                          symbol == MarkerSymbol::Dot ? r / 2 : r);
      break;
    case MarkerSymbol::Square:
      painter.drawRect(QRectF(at.x() - r, at.y() - r, size, size));
      break;
    case MarkerSymbol::Diamond: {
      const QPointF d[] = {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r),
                           at + QPointF(-r, 0)};
      painter.drawPolygon(d, 4);
      break;
    }
    case MarkerSymbol::Triangle: {
      const QPointF t[] = {at + QPointF(0, -r), at + QPointF(r, r), at + QPointF(-r, r)};
      painter.drawPolygon(t, 3);
      break;
    }
    case MarkerSymbol::X:
    case MarkerSymbol::Star:
    case MarkerSymbol::Plus:
    case MarkerSymbol::Dash: {
      QPen pen(paint.line.isValid() ? paint.line : paint.fill, std::max(1.0, size / 6));
      painter.setPen(pen);
      if (symbol != MarkerSymbol::Plus && symbol != MarkerSymbol::Dash) {
        painter.drawLine(at + QPointF(-r, -r), at + QPointF(r, r));
        painter.drawLine(at + QPointF(-r, r), at + QPointF(r, -r));
      }
      if (symbol != MarkerSymbol::X) painter.drawLine(at + QPointF(-r, 0), at + QPointF(r, 0));
      if (symbol == MarkerSymbol::Plus || symbol == MarkerSymbol::Star)
        painter.drawLine(at + QPointF(0, -r), at + QPointF(0, r));
      break;
    }
    default:
      break;
  }
  painter.restore();
}

void paintBars(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
               const ValueScale &values, int seriesBase, int seriesTotal) {
  const int count = categories.count;
  const int k = std::max<int>(int(group.series.size()), 1);
  const bool stacked = isStacked(group);
  const double gap = group.gapWidth / 100.0;
  const double overlap = stacked ? 1.0 : group.overlap / 100.0;
  const double barSlots = stacked ? 1 : k - (k - 1) * overlap;
  const double band = std::fabs(categories.band());
  const double barWidth = band / (barSlots + gap);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> positive(std::size_t(count), 0), negative(std::size_t(count), 0);
  const double zero = values.position(std::clamp(0.0, values.min, values.max));
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const Series &series = group.series[s];
    const int colorIndex = group.varyColors && group.series.size() == 1 ? -1 : seriesBase + int(s);
    const Paint seriesPaint = paintOf(
        canvas, series.style, canvas.autoColor(std::max(colorIndex, 0), seriesTotal), false);
    for (int i = 0; i < count; ++i) {
      double v = valueAt(series, i);
      if (std::isnan(v)) continue;
      v = normalized(group, totals, i, v);
      double start = zero, end;
      if (stacked) {
        double &base = v >= 0 ? positive[std::size_t(i)] : negative[std::size_t(i)];
        start = values.position(std::clamp(base, values.min, values.max));
        base += v;
        end = values.position(std::clamp(base, values.min, values.max));
      } else {
        end = values.position(std::clamp(v, values.min, values.max));
      }
      const double offset =
          stacked ? -barWidth / 2 : -barWidth * barSlots / 2 + double(s) * barWidth * (1 - overlap);
      const double c0 = categories.center(i) + offset;
      const QRectF bar = group.horizontal ? QRectF(QPointF(start, c0), QPointF(end, c0 + barWidth))
                                          : QRectF(QPointF(c0, start), QPointF(c0 + barWidth, end));
      const QColor own = colorIndex < 0 ? canvas.autoColor(i, count) : seriesPaint.fill;
      const Paint paint = pointPaint(
          canvas, series, i,
          colorIndex < 0 ? Paint{own, seriesPaint.line, seriesPaint.lineWidthPx} : seriesPaint,
          own);
      canvas.painter.setPen(penOf(paint));
      canvas.painter.setBrush(brushOf(paint));
      canvas.painter.drawRect(bar.normalized());
    }
  }
}

void paintLines(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
                const ValueScale &values, int seriesBase, int seriesTotal) {
  const int count = categories.count;
  const bool stacked = isStacked(group);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> base(std::size_t(count), 0);
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const Series &series = group.series[s];
    const QColor color = canvas.autoColor(seriesBase + int(s), seriesTotal);
    const Paint paint = paintOf(canvas, series.style, color, true);
    std::vector<std::optional<QPointF>> points;
    for (int i = 0; i < count; ++i) {
      double v = valueAt(series, i);
      if (std::isnan(v)) {
        points.emplace_back();
        continue;
      }
      v = normalized(group, totals, i, v);
      if (stacked) v = base[std::size_t(i)] += v;
      const double y = values.position(std::clamp(v, values.min, values.max));
      const double x = categories.center(i);
      points.emplace_back(group.horizontal ? QPointF(y, x) : QPointF(x, y));
    }
    canvas.painter.setPen(penOf(paint));
    canvas.painter.setBrush(Qt::NoBrush);
    drawSeriesLine(canvas.painter, points, series.smooth);
    drawMarkers(canvas, series, seriesBase + int(s), group.markers, points,
                paint.line.isValid() ? paint.line : color);
  }
}

void paintAreas(const Canvas &canvas, const PlotGroup &group, const CategoryScale &categories,
                const ValueScale &values, int seriesBase, int seriesTotal) {
  const int count = categories.count;
  const bool stacked = isStacked(group);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> base(std::size_t(count), 0);
  const double zero = std::clamp(0.0, values.min, values.max);
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const Series &series = group.series[s];
    const Paint paint =
        paintOf(canvas, series.style, canvas.autoColor(seriesBase + int(s), seriesTotal), false);
    QPolygonF top, bottom;
    for (int i = 0; i < count; ++i) {
      double v = valueAt(series, i);
      if (std::isnan(v)) v = 0;
      v = normalized(group, totals, i, v);
      const double below = stacked ? base[std::size_t(i)] : zero;
      const double above = stacked ? (base[std::size_t(i)] += v) : v;
      const double x = categories.center(i);
      const double yTop = values.position(std::clamp(above, values.min, values.max));
      const double yBottom = values.position(std::clamp(below, values.min, values.max));
      top << (group.horizontal ? QPointF(yTop, x) : QPointF(x, yTop));
      bottom.prepend(group.horizontal ? QPointF(yBottom, x) : QPointF(x, yBottom));
    }
    canvas.painter.setPen(penOf(paint));
    canvas.painter.setBrush(brushOf(paint));
    canvas.painter.drawPolygon(top + bottom);
  }
}

void paintScatter(const Canvas &canvas, const PlotGroup &group, const ValueScale &x,
                  const ValueScale &y, int seriesBase, int seriesTotal) {
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const Series &series = group.series[s];
    const QColor color = canvas.autoColor(seriesBase + int(s), seriesTotal);
    Paint paint = paintOf(canvas, series.style, color, true);
    if (!group.scatterLines && series.style.line.kind == Fill::Kind::Unset) paint.line = QColor();
    std::vector<std::optional<QPointF>> points;
    for (std::size_t i = 0; i < series.values.size(); ++i) {
      const double v = series.values[i];
      const double xv = i < series.xValues.size() && !std::isnan(series.xValues[i])
                            ? series.xValues[i]
                            : double(i + 1);
      if (std::isnan(v)) {
        points.emplace_back();
        continue;
      }
      points.emplace_back(QPointF(x.position(std::clamp(xv, x.min, x.max)),
                                  y.position(std::clamp(v, y.min, y.max))));
    }
    canvas.painter.setPen(penOf(paint));
    canvas.painter.setBrush(Qt::NoBrush);
    drawSeriesLine(canvas.painter, points, series.smooth);
    drawMarkers(canvas, series, seriesBase + int(s), true, points,
                paint.line.isValid() ? paint.line : color);
  }
}

void paintPie(const Canvas &canvas, const PlotGroup &group, const QRectF &area,
              const TextStyle &labelStyle) {
  const bool doughnut = group.kind == PlotKind::Doughnut;
  const std::size_t rings =
      doughnut ? group.series.size() : std::min<std::size_t>(1, group.series.size());
  const double radius = std::min(area.width(), area.height()) / 2 * 0.95;
  const QPointF center = area.center();
  const double hole = doughnut ? radius * group.holeSize / 100.0 : 0;
  const double ringWidth = rings > 0 ? (radius - hole) / double(rings) : 0;
  QPainter &painter = canvas.painter;
  for (std::size_t r = 0; r < rings; ++r) {
    const Series &series = group.series[r];
    double total = 0;
    for (double v : series.values)
      if (!std::isnan(v)) total += std::fabs(v);
    if (!(total > 0)) continue;
    const double outer = radius - double(r) * ringWidth;
    const double inner = doughnut ? outer - ringWidth : 0;
    const QRectF outerBox(center.x() - outer, center.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerBox(center.x() - inner, center.y() - inner, 2 * inner, 2 * inner);
    double angle = group.firstSliceAngle;  // degrees clockwise from the top
    const int points = int(series.values.size());
    const Paint seriesPaint =
        paintOf(canvas, series.style, canvas.autoColor(int(r), int(rings)), false);
    for (int i = 0; i < points; ++i) {
      const double v = series.values[std::size_t(i)];
      if (std::isnan(v) || v == 0) continue;
      const double sweep = 360.0 * std::fabs(v) / total;
      const QColor own = group.varyColors ? canvas.autoColor(i, points) : seriesPaint.fill;
      Paint paint =
          pointPaint(canvas, series, i, Paint{own, canvas.background, kPixelsPerPoint}, own);
      if (series.style.line.kind != Fill::Kind::Unset) paint.line = seriesPaint.line;
      QPainterPath slice;
      const double qtStart = 90 - angle;  // Qt: counter-clockwise from 3 o'clock
      slice.arcMoveTo(outerBox, qtStart);
      slice.arcTo(outerBox, qtStart, -sweep);
      if (inner > 0)
        slice.arcTo(innerBox, qtStart - sweep, sweep);
      else
        slice.lineTo(center);
      slice.closeSubpath();
      painter.setPen(penOf(paint));
      painter.setBrush(brushOf(paint));
      painter.drawPath(slice);
      if (!doughnut && (group.labels.value || group.labels.percent || group.labels.category)) {
        QStringList parts;
        if (group.labels.category && std::size_t(i) < series.categories.size())
          parts << series.categories[std::size_t(i)];
        if (group.labels.value) parts << formatNumber(v, series.formatCode);
        if (group.labels.percent)
          parts << QStringLiteral("%1%").arg(std::lround(100 * std::fabs(v) / total));
        const QPointF at = polar(center, outer * 0.65, angle + sweep / 2);
        painter.setFont(canvas.font(labelStyle.sizePt > 0 ? labelStyle.sizePt : kDefaultTextPt));
        painter.setPen(canvas.resolve(labelStyle.color, canvas.text));
        painter.drawText(QRectF(at.x() - outer, at.y() - outer / 2, 2 * outer, outer),
                         Qt::AlignCenter, parts.join(QLatin1Char('\n')));
      }
      angle += sweep;
    }
  }
}

void paintRadar(const Canvas &canvas, const PlotGroup &group, const QRectF &area,
                const Axis *valueAxis, const TextStyle &labelStyle, int seriesBase,
                int seriesTotal) {
  QPainter &painter = canvas.painter;
  const int count = categoryCount(group);
  const QFont font = canvas.font(labelStyle.sizePt > 0 ? labelStyle.sizePt : kDefaultTextPt);
  const QFontMetricsF metrics(font);
  const double radius =
      std::max(1.0, std::min(area.width(), area.height()) / 2 - 2 * metrics.height());
  const QPointF center = area.center();
  double low, high;
  valueRange(group, low, high);
  ValueScale scale = makeScale(std::min(low, 0.0), high, valueAxis, 5);
  scale.from = 0;
  scale.to = radius;
  const auto at = [&](int i, double r) { return polar(center, r, 360.0 * i / count); };
  // Rings at the ticks, spokes, category names.
  painter.setPen(QPen(canvas.mix(0.7), 1));
  painter.setBrush(Qt::NoBrush);
  for (double tick : scale.ticks()) {
    QPolygonF ring;
    for (int i = 0; i < count; ++i) ring << at(i, scale.position(tick));
    painter.drawPolygon(ring);
  }
  painter.setFont(font);
  const std::vector<QString> *labels = categoryLabels(group);
  for (int i = 0; i < count; ++i) {
    painter.setPen(QPen(canvas.mix(0.7), 1));
    painter.drawLine(center, at(i, radius));
    const QString label = labels && std::size_t(i) < labels->size() ? (*labels)[std::size_t(i)]
                                                                    : QString::number(i + 1);
    const QPointF p = at(i, radius + metrics.height());
    painter.setPen(canvas.resolve(labelStyle.color, canvas.text));
    painter.drawText(QRectF(p.x() - 200, p.y() - metrics.height() / 2, 400, metrics.height()),
                     Qt::AlignCenter, label);
  }
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const Series &series = group.series[s];
    const QColor color = canvas.autoColor(seriesBase + int(s), seriesTotal);
    const Paint paint = paintOf(canvas, series.style, color, !group.filled);
    std::vector<std::optional<QPointF>> points;
    QPolygonF shape;
    for (int i = 0; i < count; ++i) {
      const double v = valueAt(series, i);
      const QPointF p =
          at(i, scale.position(std::isnan(v) ? scale.min : std::clamp(v, scale.min, scale.max)));
      points.emplace_back(p);
      shape << p;
    }
    painter.setPen(penOf(paint));
    painter.setBrush(group.filled ? brushOf(paint) : QBrush(Qt::NoBrush));
    painter.drawPolygon(shape);
    if (!group.filled)
      drawMarkers(canvas, series, seriesBase + int(s), group.markers, points,
                  paint.line.isValid() ? paint.line : color);
  }
}

}  // namespace office::pptx::chart
