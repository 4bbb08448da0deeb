// The plot painters: bars, lines, areas, scatter, pie and doughnut, radar.

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <optional>

#include "office/render/chart/painting.h"

namespace office::render::chart {

namespace {

constexpr double kPi = 3.14159265358979323846;

double valueAt(const ChartSeries &series, int index) {
  return std::size_t(index) < series.values.size() ? series.values[std::size_t(index)]
                                                   : std::nan("");
}

// Sums per category for stacked and percent-stacked groups.
std::vector<double> categoryTotals(const ChartGroup &group, int count) {
  std::vector<double> totals(std::size_t(count), 0);
  for (const ChartSeries &s : group.series)
    for (int i = 0; i < count; ++i) {
      const double v = valueAt(s, i);
      if (!std::isnan(v)) totals[std::size_t(i)] += std::fabs(v);
    }
  return totals;
}

double normalized(const ChartGroup &group, const std::vector<double> &totals, int i, double v) {
  if (group.grouping != ChartGrouping::PercentStacked) return v;
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
void drawSeriesLine(const Canvas &canvas, const ChartSeries &series,
                    const std::vector<std::optional<QPointF>> &points) {
  canvas.painter.setPen(penOf(series.paint));
  canvas.painter.setBrush(Qt::NoBrush);
  std::vector<QPointF> run;
  for (const auto &p : points) {
    if (p) {
      run.push_back(*p);
      continue;
    }
    drawPolyline(canvas.painter, run, series.smooth);
    run.clear();
  }
  drawPolyline(canvas.painter, run, series.smooth);
}

void drawMarkers(const Canvas &canvas, const ChartSeries &series,
                 const std::vector<std::optional<QPointF>> &points) {
  if (series.marker == ChartMarker::None) return;
  for (const auto &p : points)
    if (p)
      drawMarker(canvas.painter, series.marker, *p, series.markerSizePt * kPixelsPerPoint,
                 series.markerPaint);
}

QPointF polar(QPointF center, double radius, double degreesFromTop) {
  const double a = (degreesFromTop - 90) * kPi / 180;
  return center + QPointF(radius * std::cos(a), radius * std::sin(a));
}

void drawCross(QPainter &painter, ChartMarker symbol, QPointF at, double r, const QColor &color) {
  painter.setPen(QPen(color, std::max(1.0, r / 3)));
  if (symbol == ChartMarker::X || symbol == ChartMarker::Star) {
    painter.drawLine(at + QPointF(-r, -r), at + QPointF(r, r));
    painter.drawLine(at + QPointF(-r, r), at + QPointF(r, -r));
  }
  if (symbol != ChartMarker::X) painter.drawLine(at + QPointF(-r, 0), at + QPointF(r, 0));
  if (symbol == ChartMarker::Plus || symbol == ChartMarker::Star)
    painter.drawLine(at + QPointF(0, -r), at + QPointF(0, r));
}

}  // namespace

void drawMarker(QPainter &painter, ChartMarker symbol, QPointF at, double size,
                const ChartPaint &paint) {
  const double r = size / 2;
  painter.save();
  painter.setPen(penOf(paint));
  painter.setBrush(brushOf(paint));
  switch (symbol) {
    case ChartMarker::Circle:
      painter.drawEllipse(at, r, r);
      break;
    case ChartMarker::Dot:
      painter.drawEllipse(at, r / 2, r / 2);
      break;
    case ChartMarker::Square:
      painter.drawRect(QRectF(at.x() - r, at.y() - r, size, size));
      break;
    case ChartMarker::Diamond: {
      const QPointF d[] = {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r),
                           at + QPointF(-r, 0)};
      painter.drawPolygon(d, 4);
      break;
    }
    case ChartMarker::Triangle: {
      const QPointF t[] = {at + QPointF(0, -r), at + QPointF(r, r), at + QPointF(-r, r)};
      painter.drawPolygon(t, 3);
      break;
    }
    case ChartMarker::X:
    case ChartMarker::Star:
    case ChartMarker::Plus:
    case ChartMarker::Dash: {
      const std::optional<QRgb> color = paint.line ? paint.line : paint.fill;
      if (color) drawCross(painter, symbol, at, r, QColor::fromRgba(*color));
      break;
    }
    case ChartMarker::None:
      break;
  }
  painter.restore();
}

void paintBars(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
               const ValueScale &values) {
  const int count = categories.count;
  const int k = std::max<int>(int(group.series.size()), 1);
  const bool stacked = isStacked(group);
  const double gap = group.gapWidth / 100.0;
  const double overlap = stacked ? 1.0 : group.overlap / 100.0;
  const double barSlots = stacked ? 1 : k - (k - 1) * overlap;
  const double barWidth = std::fabs(categories.band()) / (barSlots + gap);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> positive(std::size_t(count), 0), negative(std::size_t(count), 0);
  const double zero = values.position(std::clamp(0.0, values.min, values.max));
  for (std::size_t s = 0; s < group.series.size(); ++s) {
    const ChartSeries &series = group.series[s];
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
      const ChartPaint &paint = pointPaint(series, i);
      canvas.painter.setPen(penOf(paint));
      canvas.painter.setBrush(brushOf(paint));
      canvas.painter.drawRect(bar.normalized());
    }
  }
}

void paintLines(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
                const ValueScale &values) {
  const int count = categories.count;
  const bool stacked = isStacked(group);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> base(std::size_t(count), 0);
  for (const ChartSeries &series : group.series) {
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
    drawSeriesLine(canvas, series, points);
    drawMarkers(canvas, series, points);
  }
}

void paintAreas(const Canvas &canvas, const ChartGroup &group, const CategoryScale &categories,
                const ValueScale &values) {
  const int count = categories.count;
  const bool stacked = isStacked(group);
  const std::vector<double> totals = categoryTotals(group, count);
  std::vector<double> base(std::size_t(count), 0);
  const double zero = std::clamp(0.0, values.min, values.max);
  for (const ChartSeries &series : group.series) {
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
    canvas.painter.setPen(penOf(series.paint));
    canvas.painter.setBrush(brushOf(series.paint));
    canvas.painter.drawPolygon(top + bottom);
  }
}

void paintScatter(const Canvas &canvas, const ChartGroup &group, const ValueScale &x,
                  const ValueScale &y) {
  for (const ChartSeries &series : group.series) {
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
    drawSeriesLine(canvas, series, points);
    drawMarkers(canvas, series, points);
  }
}

void paintPie(const Canvas &canvas, const ChartGroup &group, const QRectF &area,
              const ChartText &labelText) {
  const bool doughnut = group.plot == ChartPlot::Doughnut;
  const std::size_t rings =
      doughnut ? group.series.size() : std::min<std::size_t>(1, group.series.size());
  const double radius = std::min(area.width(), area.height()) / 2 * 0.95;
  const QPointF center = area.center();
  const double hole = doughnut ? radius * group.holeSize / 100.0 : 0;
  const double ringWidth = rings > 0 ? (radius - hole) / double(rings) : 0;
  QPainter &painter = canvas.painter;
  for (std::size_t r = 0; r < rings; ++r) {
    const ChartSeries &series = group.series[r];
    double total = 0;
    for (double v : series.values)
      if (!std::isnan(v)) total += std::fabs(v);
    if (!(total > 0)) continue;
    const double outer = radius - double(r) * ringWidth;
    const double inner = doughnut ? outer - ringWidth : 0;
    const QRectF outerBox(center.x() - outer, center.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerBox(center.x() - inner, center.y() - inner, 2 * inner, 2 * inner);
    double angle = group.firstSliceAngle;  // degrees clockwise from the top
    for (int i = 0; i < int(series.values.size()); ++i) {
      const double v = series.values[std::size_t(i)];
      if (std::isnan(v) || v == 0) continue;
      const double sweep = 360.0 * std::fabs(v) / total;
      QPainterPath slice;
      const double qtStart = 90 - angle;  // Qt: counter-clockwise from 3 o'clock
      slice.arcMoveTo(outerBox, qtStart);
      slice.arcTo(outerBox, qtStart, -sweep);
      if (inner > 0)
        slice.arcTo(innerBox, qtStart - sweep, sweep);
      else
        slice.lineTo(center);
      slice.closeSubpath();
      const ChartPaint &paint = pointPaint(series, i);
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
        painter.setFont(canvas.font(labelText));
        painter.setPen(QColor::fromRgba(labelText.color));
        painter.drawText(QRectF(at.x() - outer, at.y() - outer / 2, 2 * outer, outer),
                         Qt::AlignCenter, parts.join(QLatin1Char('\n')));
      }
      angle += sweep;
    }
  }
}

void paintRadar(const Canvas &canvas, const ChartGroup &group, const QRectF &area,
                const ChartAxis *valueAxis, const ChartText &labelText) {
  QPainter &painter = canvas.painter;
  const int count = categoryCount(group);
  const QFont font = canvas.font(labelText);
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
  const QColor grid = valueAxis && valueAxis->gridColor ? QColor::fromRgba(*valueAxis->gridColor)
                                                        : QColor(0xD9, 0xD9, 0xD9);
  painter.setPen(QPen(grid, 1));
  painter.setBrush(Qt::NoBrush);
  for (double tick : scale.ticks()) {
    QPolygonF ring;
    for (int i = 0; i < count; ++i) ring << at(i, scale.position(tick));
    painter.drawPolygon(ring);
  }
  painter.setFont(font);
  const std::vector<QString> *labels = categoryLabels(group);
  for (int i = 0; i < count; ++i) {
    painter.setPen(QPen(grid, 1));
    painter.drawLine(center, at(i, radius));
    const QString label = labels && std::size_t(i) < labels->size() ? (*labels)[std::size_t(i)]
                                                                    : QString::number(i + 1);
    const QPointF p = at(i, radius + metrics.height());
    painter.setPen(QColor::fromRgba(labelText.color));
    painter.drawText(QRectF(p.x() - 200, p.y() - metrics.height() / 2, 400, metrics.height()),
                     Qt::AlignCenter, label);
  }
  for (const ChartSeries &series : group.series) {
    std::vector<std::optional<QPointF>> points;
    QPolygonF shape;
    for (int i = 0; i < count; ++i) {
      const double v = valueAt(series, i);
      const QPointF p =
          at(i, scale.position(std::isnan(v) ? scale.min : std::clamp(v, scale.min, scale.max)));
      points.emplace_back(p);
      shape << p;
    }
    painter.setPen(penOf(series.paint));
    painter.setBrush(group.filled ? brushOf(series.paint) : QBrush(Qt::NoBrush));
    painter.drawPolygon(shape);
    if (!group.filled) drawMarkers(canvas, series, points);
  }
}

}  // namespace office::render::chart
