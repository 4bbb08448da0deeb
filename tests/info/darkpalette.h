#pragma once

// The "darker" colour scheme of qt6ct (the Qt 6 configuration tool), as a
// user of a dark desktop has it with the Fusion style: white text on dark
// grey faces.

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <array>

namespace darkdesktop {

// One colour per role, in QPalette::ColorRole order from WindowText to
// PlaceholderText, as qt6ct's colors/darker.conf lists them.
inline constexpr std::array<QRgb, 21> kActive = {
    0xffffffff, 0xff424245, 0xff979797, 0xff5e5c5b, 0xff302f2e, 0xff4a4947, 0xffffffff,
    0xffffffff, 0xffffffff, 0xff3d3d3d, 0xff222020, 0xffe7e4e0, 0xff12608a, 0xfff9f9f9,
    0xff0986d3, 0xffa70b06, 0xff5c5b5a, 0xffffffff, 0xff3f3f36, 0xffffffff, 0x80ffffff};

inline QPalette darkerPalette() {
  QPalette palette;
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (std::size_t role = 0; role < kActive.size(); ++role)
      palette.setColor(group, static_cast<QPalette::ColorRole>(role),
                       QColor::fromRgba(kActive[role]));
  const QColor disabledText(0x80, 0x80, 0x80);
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
    palette.setColor(QPalette::Disabled, role, disabledText);
  return palette;
}

// Fusion with the darker scheme, for the whole program.
inline void apply() {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(darkerPalette());
}

}  // namespace darkdesktop
