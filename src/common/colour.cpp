#include "common/colour.h"

#include <algorithm>
#include <cmath>

namespace morvane {

Channels channelsOf(QRgb rgb) {
  return {qRed(rgb) / 255.0, qGreen(rgb) / 255.0, qBlue(rgb) / 255.0, qAlpha(rgb) / 255.0};
}

QRgb rgbOf(const Channels &c) {
  const auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return qRgba(byte(c.r), byte(c.g), byte(c.b), byte(c.a));
}

Hsl hslOf(const Channels &c) {
  const double high = std::max({c.r, c.g, c.b}), low = std::min({c.r, c.g, c.b});
  Hsl hsl;
  hsl.l = (high + low) / 2;
  const double d = high - low;
  if (d <= 0) return hsl;
  hsl.s = hsl.l > 0.5 ? d / (2 - high - low) : d / (high + low);
  double h = high == c.r   ? (c.g - c.b) / d + (c.g < c.b ? 6 : 0)
             : high == c.g ? (c.b - c.r) / d + 2
                           : (c.r - c.g) / d + 4;
  hsl.h = h / 6;
  return hsl;
}

Channels channelsOf(const Hsl &hsl, double alpha) {
  const auto hue = [](double p, double q, double t) {
    t = t - std::floor(t);
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  if (hsl.s <= 0) return {hsl.l, hsl.l, hsl.l, alpha};
  const double q = hsl.l < 0.5 ? hsl.l * (1 + hsl.s) : hsl.l + hsl.s - hsl.l * hsl.s;
  const double p = 2 * hsl.l - q;
  return {hue(p, q, hsl.h + 1.0 / 3), hue(p, q, hsl.h), hue(p, q, hsl.h - 1.0 / 3), alpha};
}

}  // namespace morvane
