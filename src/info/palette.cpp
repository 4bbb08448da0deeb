#include "info/palette.h"

#include <QColor>

namespace info {
namespace {

struct RoleColour {
  QPalette::ColorRole role;
  QColor colour;
};

// The Windows desktop colours the windows were designed on: the 3D face and
// its shades, window and text colours, selection and tool tip colours.
const QColor kFace(0xF0, 0xF0, 0xF0);
const QColor kText(Qt::black);
const QColor kGrayText(0x6D, 0x6D, 0x6D);

const RoleColour kRoles[] = {
    {QPalette::WindowText, kText},
    {QPalette::Button, kFace},
    {QPalette::Light, QColor(0xFF, 0xFF, 0xFF)},
    {QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3)},
    {QPalette::Dark, QColor(0xA0, 0xA0, 0xA0)},
    {QPalette::Mid, QColor(0xA0, 0xA0, 0xA0)},
    {QPalette::Text, kText},
    {QPalette::BrightText, QColor(0xFF, 0xFF, 0xFF)},
    {QPalette::ButtonText, kText},
    {QPalette::Base, QColor(0xFF, 0xFF, 0xFF)},
    {QPalette::Window, kFace},
    {QPalette::Shadow, QColor(0x69, 0x69, 0x69)},
    {QPalette::Highlight, QColor(0x00, 0x78, 0xD7)},
    {QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF)},
    {QPalette::Link, QColor(0x00, 0x66, 0xCC)},
    {QPalette::LinkVisited, QColor(0x80, 0x00, 0x80)},
    {QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7)},
    {QPalette::NoRole, QColor(Qt::transparent)},
    {QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1)},
    {QPalette::ToolTipText, kText},
    {QPalette::PlaceholderText, kGrayText},
};

// Texts that cannot be used are drawn in the grey text colour.
const QPalette::ColorRole kDisabledTexts[] = {QPalette::WindowText, QPalette::Text,
                                              QPalette::ButtonText, QPalette::HighlightedText};

}  // namespace

QPalette designPalette() {
  QPalette palette;
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (const RoleColour &entry : kRoles) palette.setColor(group, entry.role, entry.colour);
  for (const QPalette::ColorRole role : kDisabledTexts)
    palette.setColor(QPalette::Disabled, role, kGrayText);
  return palette;
}

}  // namespace info
