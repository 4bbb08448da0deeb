#pragma once

// Layout helpers of the information windows: places in twips (15 twips make
// one pixel) and label text colours.

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QWidget>

namespace info {

inline constexpr int kTwipsPerPixel = 15;

inline QRect twips(int left, int top, int width, int height) {
  return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
          height / kTwipsPerPixel};
}

inline void setTextColour(QWidget *widget, const QColor &colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

}  // namespace info
