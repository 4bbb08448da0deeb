#pragma once

// Colours as channels from 0 to 1, and their hue, saturation and lightness,
// for the readers' colour arithmetic (transforms, averages, opacity). QRgb
// and its helpers are header-only: nothing here links Qt Gui.

#include <QRgb>

namespace morvane {

struct Channels {
  double r = 0, g = 0, b = 0, a = 1;
};

// Hue from 0 to 1 (one turn), saturation and lightness from 0 to 1.
struct Hsl {
  double h = 0, s = 0, l = 0;
};

Channels channelsOf(QRgb rgb);
// Each channel clamped to 0..1 and rounded to the nearest of 256 steps.
QRgb rgbOf(const Channels &channels);

Hsl hslOf(const Channels &channels);
Channels channelsOf(const Hsl &hsl, double alpha);

}  // namespace morvane
