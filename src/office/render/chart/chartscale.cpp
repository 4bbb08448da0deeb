// Paints, fonts, scales and number formats of the chart painter.

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "office/render/chart/painting.h"

namespace office::render::chart {

namespace {

constexpr int kMaxTicks = 200;
// Excel and LibreOffice choose at most about ten intervals on their own.
constexpr int kMaxAutoIntervals = 10;

// The 1-2-5 step at least raw.
double niceStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * magnitude >= raw * (1 - 1e-9)) return factor * magnitude;
  return 10 * magnitude;
}

// The first section of a number format, with its literal text resolved:
// quoted strings, escaped characters, [$€-409] currency blocks; colours and
// conditions dropped; padding (_x) and fill (*x) markers removed.
QString firstSection(const QString &format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (quoted) {
      if (c == u'"')
        quoted = false;
      else
        out += QLatin1Char('\x01') + QString(c);  // literal
      continue;
    }
    if (c == u'"') {
      quoted = true;
    } else if (c == u';') {
      break;
    } else if (c == u'\\' && i + 1 < format.size()) {
      out += QLatin1Char('\x01') + QString(format[++i]);
    } else if ((c == u'_' || c == u'*') && i + 1 < format.size()) {
      ++i;
    } else if (c == u'[') {
      const qsizetype end = format.indexOf(QLatin1Char(']'), i);
      if (end < 0) break;
      const QString block = format.mid(i + 1, end - i - 1);
      if (block.startsWith(QLatin1Char('$'))) {
        const QString symbol = block.mid(1).section(QLatin1Char('-'), 0, 0);
        for (QChar s : symbol) out += QLatin1Char('\x01') + QString(s);
      }
      i = end;
    } else {
      out += c;
    }
  }
  return out;
}

QString generalNumber(double value) {
  if (value == 0) return QStringLiteral("0");
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e11 || magnitude < 1e-9) return QString::number(value, 'E', 2);
  QString text = QString::number(value, 'f', 10);
  if (text.contains(QLatin1Char('.'))) {
    // At most 10 significant digits, trailing zeros dropped.
    const int integerDigits = int(std::floor(std::log10(std::max(magnitude, 1.0)))) + 1;
    text = QString::number(value, 'f', std::max(0, 10 - integerDigits));
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  }
  return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString groupThousands(const QString &digits) {
  QString out;
  const qsizetype n = digits.size();
  for (qsizetype i = 0; i < n; ++i) {
    out += digits[i];
    if ((n - i - 1) % 3 == 0 && i + 1 < n) out += QLatin1Char(',');
  }
  return out;
}

}  // namespace

QFont Canvas::font(const ChartText &text) const { return font(text.sizePt, text.bold); }

QFont Canvas::font(double pointSize, bool bold) const {
  QFont f(family.isEmpty() ? QStringLiteral("Calibri") : family);
  f.setPixelSize(std::max(1, int(std::lround(pointSize * kPixelsPerPoint))));
  f.setBold(bold);
  return f;
}

QPen penOf(const ChartPaint &paint) {
  if (!paint.line) return Qt::NoPen;
  QPen pen(QColor::fromRgba(*paint.line), std::max(1.0, paint.lineWidthPt * kPixelsPerPoint));
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

QBrush brushOf(const ChartPaint &paint) {
  return paint.fill ? QBrush(QColor::fromRgba(*paint.fill)) : QBrush(Qt::NoBrush);
}

const ChartPaint &pointPaint(const ChartSeries &series, int index) {
  for (const auto &[point, paint] : series.pointPaints)
    if (point == index) return paint;
  return series.paint;
}

double ValueScale::position(double value) const {
  double t;
  if (logBase > 0) {
    const double v = std::max(value, min);
    t = (std::log(v) - std::log(min)) / (std::log(max) - std::log(min));
  } else {
    t = (value - min) / (max - min);
  }
  if (reversed) t = 1 - t;
  return from + t * (to - from);
}

std::vector<double> ValueScale::ticks() const {
  std::vector<double> out;
  if (logBase > 0) {
    for (double v = min; v <= max * (1 + 1e-9) && out.size() < kMaxTicks; v *= logBase)
      out.push_back(v);
    return out;
  }
  for (int i = 0; i <= kMaxTicks; ++i) {
    const double v = min + i * step;
    if (v > max + step * 1e-9) break;
    out.push_back(std::fabs(v) < step * 1e-9 ? 0 : v);
  }
  return out;
}

ValueScale makeScale(double low, double high, const ChartAxis *axis, int maxTicks, bool exact) {
  ValueScale scale;
  if (!std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
  if (axis) {
    scale.reversed = axis->reversed;
    if (axis->min) low = std::min(low, *axis->min);
  }
  if (axis && axis->logBase > 0) {
    scale.logBase = axis->logBase;
    const double base = axis->logBase;
    const double lowPositive = low > 0 ? low : 1;
    scale.min = axis->min && *axis->min > 0
                    ? *axis->min
                    : std::pow(base, std::floor(std::log(lowPositive) / std::log(base)));
    scale.max = axis->max && *axis->max > scale.min
                    ? *axis->max
                    : std::pow(base, std::ceil(std::log(std::max(high, scale.min * base)) /
                                               std::log(base)));
    if (!(scale.max > scale.min)) scale.max = scale.min * base;
    scale.step = base;
    return scale;
  }
  maxTicks = std::clamp(maxTicks, 1, kMaxAutoIntervals);
  const bool fixedMin = axis && axis->min, fixedMax = axis && axis->max;
  double min = fixedMin ? *axis->min : low >= 0 ? (high > 0 && low > high * 5 / 6 ? low : 0) : low;
  double max = fixedMax    ? *axis->max
               : high <= 0 ? (low < 0 && high < low * 5 / 6 ? high : 0)
                           : high;
  if (!(max > min)) max = min + (min == 0 ? 1 : std::fabs(min));
  const double span = max - min;
  // The smallest 1-2-5 step that leaves at most maxTicks intervals once the
  // automatic ends are rounded out to it (with 5 % headroom above the data).
  double step = axis && axis->majorUnit ? *axis->majorUnit : niceStep(span / std::max(1, maxTicks));
  if (span / step > kMaxTicks) step = niceStep(span / kMaxTicks);
  const double headroom = exact ? 0 : span * 0.05;
  double top = max, bottom = min;
  for (int attempt = 0; attempt < 8; ++attempt) {
    top = fixedMax || high <= 0 ? max : std::ceil((high + headroom) / step - 1e-9) * step;
    bottom = fixedMin || min == 0 ? min
             : min < 0            ? std::floor((min - headroom) / step + 1e-9) * step
                                  : std::floor(min / step) * step;
    if ((axis && axis->majorUnit) || (top - bottom) / step <= maxTicks + 1e-9) break;
    step = niceStep(step * 1.5);
  }
  scale.step = step;
  min = bottom;
  max = top;
  if (!(max > min)) max = min + scale.step;
  scale.min = min;
  scale.max = max;
  return scale;
}

QString formatNumber(double value, const QString &format) {
  if (format.isEmpty() || format.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
    return generalNumber(value);
  const QString section = firstSection(format);
  static const QRegularExpression pattern(
      QStringLiteral("[0#?][0#?,]*(\\.[0#?]*)?([Ee][+-][0#]+)?"));
  const QRegularExpressionMatch match = pattern.match(section);
  if (!match.hasMatch()) return generalNumber(value);
  const QString number = match.captured(0);
  const bool percent = section.contains(QLatin1Char('%'));
  const bool thousands = number.section(QLatin1Char('.'), 0, 0).contains(QLatin1Char(','));
  const int decimals = int(match.captured(1).size() > 0 ? match.captured(1).size() - 1 : 0);
  double v = percent ? value * 100 : value;
  QString digits;
  if (!match.captured(2).isEmpty()) {
    digits = QString::number(std::fabs(v), 'E', decimals);
  } else {
    digits = QString::number(std::fabs(v), 'f', decimals);
    if (thousands) {
      const QString integer = digits.section(QLatin1Char('.'), 0, 0);
      const QString fraction = digits.section(QLatin1Char('.'), 1);
      digits = groupThousands(integer) + (fraction.isEmpty() ? QString() : u'.' + fraction);
    }
  }
  const bool negative = v < 0 && digits.contains(QRegularExpression(QStringLiteral("[1-9]")));
  QString literal =
      section.left(match.capturedStart(0)) + QChar(u'\x02') + section.mid(match.capturedEnd(0));
  QString out;
  for (qsizetype i = 0; i < literal.size(); ++i) {
    const QChar c = literal[i];
    if (c == u'\x01' && i + 1 < literal.size())
      out += literal[++i];
    else if (c == u'\x02')
      out += (negative ? QStringLiteral("-") : QString()) + digits;
    else if (c != u'#' && c != u'0' && c != u'?' && c != u',')
      out += c;
  }
  return out;
}

double CategoryScale::band() const {
  return (to - from) / (between ? std::max(count, 1) : std::max(count - 1, 1));
}

double CategoryScale::center(int index) const {
  const int i = reversed ? count - 1 - index : index;
  if (!between) return count > 1 ? from + i * band() : (from + to) / 2;
  return from + (i + 0.5) * band();
}

int categoryCount(const ChartGroup &group) {
  std::size_t n = 0;
  for (const ChartSeries &s : group.series) n = std::max({n, s.values.size(), s.categories.size()});
  return int(std::max<std::size_t>(n, 1));
}

const std::vector<QString> *categoryLabels(const ChartGroup &group) {
  for (const ChartSeries &s : group.series)
    if (!s.categories.empty()) return &s.categories;
  return nullptr;
}

bool isStacked(const ChartGroup &group) {
  return group.grouping == ChartGrouping::Stacked ||
         group.grouping == ChartGrouping::PercentStacked;
}

void valueRange(const ChartGroup &group, double &low, double &high) {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  const bool stacked = group.grouping == ChartGrouping::Stacked;
  if (group.grouping == ChartGrouping::PercentStacked) {
    low = 0;
    high = 1;
    for (int i = 0; i < categoryCount(group); ++i)
      for (const ChartSeries &s : group.series)
        if (std::size_t(i) < s.values.size() && s.values[std::size_t(i)] < 0) low = -1;
    return;
  }
  for (int i = 0; i < categoryCount(group); ++i) {
    double positive = 0, negative = 0;
    for (const ChartSeries &s : group.series) {
      if (std::size_t(i) >= s.values.size() || std::isnan(s.values[std::size_t(i)])) continue;
      const double v = s.values[std::size_t(i)];
      if (stacked) {
        (v >= 0 ? positive : negative) += v;
        low = std::min(low, negative);
        high = std::max(high, positive);
      } else {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  if (!std::isfinite(low)) low = 0, high = 1;
}

}  // namespace office::render::chart
