#pragma once

// Shape fills and the colours they stand for: the fill properties of an
// OfficeArt shape, colour references resolved through a page's colour scheme,
// and the single colour that represents a fill where a picture is flattened
// onto what lies behind it.

#include <QRgb>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "common/bytereader.h"
#include "common/colour.h"
#include "office/ppt/drawing.h"
#include "office/render/export.h"

namespace office::ppt {

// The eight colours of a page's colour scheme, in stored order: background,
// text and lines, shadows, title text, fills, accent, accent and hyperlink,
// accent and followed hyperlink.
struct ColorScheme {
  std::array<QRgb, 8> colors{};
};

// The scheme of a page that has none: white background, black text.
ColorScheme defaultColorScheme();

// Reads a SlideSchemeColorSchemeAtom body; nullopt when it is too short.
std::optional<ColorScheme> readColorScheme(morvane::ByteReader atomBody);

// The picture a fill shows: an index into the picture store, or a whole blip
// record held in the fill property itself.
struct FillPicture {
  std::uint32_t pib = 0;
  std::optional<morvane::ByteReader> blipRecord;
};

inline constexpr morvane::Channels kWhite{1, 1, 1, 1};

enum class FillKind { Solid, Pattern, Texture, Picture, Gradient, Background };

struct Fill {
  FillKind kind = FillKind::Solid;
  bool visible = false;  // the shape is filled at all
  // fillColor and fillBackColor resolved, their opacity as alpha.
  morvane::Channels foreground = kWhite;
  morvane::Channels backgroundColour = kWhite;
  // The gradient's colour stops (position 0..1, colour) when it lists them.
  std::vector<std::pair<double, morvane::Channels>> shadeColors;
  // Texture, picture and pattern fills: their picture (absent when the file
  // gives none).
  std::optional<FillPicture> picture;
};

// The fill of shape. filledByDefault: whether the shape is filled when its
// properties do not say (picture and object frames are not).
Fill readFill(const ShapeRecord &shape, const ColorScheme &scheme, bool filledByDefault);

// The one colour a visible fill shows over behind, on average: a solid fill
// its colour, a gradient the mean of its colours, a pattern the mix of its two
// colours, a picture or texture the average of its picture (from
// pictureAverage, which may give none; behind then), a background fill
// behind. Fill opacity lets behind show through.
morvane::Channels averageFillColour(
    const Fill &fill, const morvane::Channels &behind,
    const std::function<std::optional<morvane::Channels>(const FillPicture &)> &pictureAverage);

}  // namespace office::ppt
