#include "office/ppt/fill.h"

#include <algorithm>
#include <cmath>

#include "office/ppt/recordtypes.h"
#include "office/render/pictureinfo.h"

namespace office::ppt {

namespace {

// MSOFILLTYPE values of the fillType property.
enum : std::uint32_t {
  msofillSolid = 0,
  msofillPattern = 1,
  msofillTexture = 2,
  msofillPicture = 3,
  msofillShade = 4,
  msofillShadeCenter = 5,
  msofillShadeShape = 6,
  msofillShadeScale = 7,
  msofillShadeTitle = 8,
  msofillBackground = 9,
};

// Fill Style Boolean Properties.
constexpr std::uint32_t kFilled = 0x00000010;
constexpr std::uint32_t kUseFilled = 0x00100000;

// OfficeArtCOLORREF flag bits (the fourth byte).
constexpr std::uint32_t kSchemeIndex = 0x08000000;
constexpr std::uint32_t kSysIndex = 0x10000000;
constexpr std::uint32_t kIgnoredColour = 0xFF000000;

// Colours a system-index reference can name besides the system colours.
enum : std::uint32_t {
  kSysFillColor = 0xF0,
  kSysLineOrFillColor = 0xF1,
  kSysLineColor = 0xF2,
  kSysShadowColor = 0xF3,
  kSysCurrentColor = 0xF4,
  kSysFillBackColor = 0xF5,
  kSysLineBackColor = 0xF6,
  kSysFillOrLineColor = 0xF7,
};

// Modifications of a system-index colour (low nibble of the second byte) and
// its extra flags (high nibble).
enum : std::uint32_t {
  kModDarken = 1,
  kModLighten = 2,
  kModAddGray = 3,
  kModSubtractGray = 4,
  kModReverseSubtractGray = 5,
  kModThreshold = 6,
  kModInvert = 0x20,
  kModInvertHighBit = 0x40,
  kModGrayscale = 0x80,
};

constexpr std::uint16_t kLineColor = 0x01C0;
constexpr std::uint16_t kLineBackColor = 0x01C3;
constexpr std::uint16_t kShadowColor = 0x0201;
constexpr std::uint32_t kFixedOne = 0x10000;
constexpr std::size_t kMaxShadeColors = 256;
constexpr int kMaxColourReferences = 4;

// Windows' default system colours (COLOR_SCROLLBAR ... COLOR_INFOBK).
constexpr QRgb kSystemColours[] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xFFFFE1};

std::uint32_t propertyValue(const ShapeRecord &shape, std::uint16_t id, std::uint32_t fallback) {
  const ShapeProperty *p = shape.property(id);
  return p && !p->complex ? p->value : fallback;
}

struct ColourContext {
  const ShapeRecord &shape;
  const ColorScheme &scheme;
};

using morvane::Channels;

QRgb resolveColour(std::uint32_t ref, const ColourContext &context, int depth);

int modifyChannel(int c, std::uint32_t function, int parameter) {
  switch (function) {
    case kModDarken:
      return c * parameter / 255;
    case kModLighten:
      return 255 - (255 - c) * parameter / 255;
    case kModAddGray:
      return c + parameter;
    case kModSubtractGray:
      return c - parameter;
    case kModReverseSubtractGray:
      return parameter - c;
    case kModThreshold:
      return c < parameter ? 0 : 255;
    default:
      return c;
  }
}

QRgb modified(QRgb colour, std::uint32_t function, std::uint32_t flags, int parameter) {
  int rgb[3] = {qRed(colour), qGreen(colour), qBlue(colour)};
  if (flags & kModGrayscale) rgb[0] = rgb[1] = rgb[2] = qGray(colour);
  for (int &c : rgb) {
    c = std::clamp(modifyChannel(c, function, parameter), 0, 255);
    if (flags & kModInvert) c = 255 - c;
    if (flags & kModInvertHighBit) c ^= 0x80;
  }
  return qRgb(rgb[0], rgb[1], rgb[2]);
}

QRgb shapeColour(std::uint16_t id, std::uint32_t fallback, const ColourContext &context,
                 int depth) {
  return resolveColour(propertyValue(context.shape, id, fallback), context, depth + 1);
}

QRgb systemIndexColour(std::uint32_t ref, const ColourContext &context, int depth) {
  const std::uint32_t index = ref & 0xFF;
  const std::uint32_t modification = (ref >> 8) & 0xFF;
  const int parameter = int((ref >> 16) & 0xFF);
  QRgb base = 0;
  switch (index) {
    case kSysFillColor:
    case kSysFillOrLineColor:
    case kSysCurrentColor:
      base = shapeColour(prop::fillColor, 0xFFFFFF, context, depth);
      break;
    case kSysLineOrFillColor:
    case kSysLineColor:
      base = shapeColour(kLineColor, 0x000000, context, depth);
      break;
    case kSysShadowColor:
      base = shapeColour(kShadowColor, 0x808080, context, depth);
      break;
    case kSysFillBackColor:
      base = shapeColour(prop::fillBackColor, 0xFFFFFF, context, depth);
      break;
    case kSysLineBackColor:
      base = shapeColour(kLineBackColor, 0xFFFFFF, context, depth);
      break;
    default:
      base = qRgb(0, 0, 0) | (index < std::size(kSystemColours) ? kSystemColours[index] : 0);
      break;
  }
  return modified(base, modification & 0x0F, modification & 0xF0, parameter);
}

QRgb resolveColour(std::uint32_t ref, const ColourContext &context, int depth) {
  if (depth > kMaxColourReferences) return qRgb(0, 0, 0);
  if ((ref & kIgnoredColour) == kIgnoredColour) return qRgb(255, 255, 255);
  if (ref & kSysIndex) return systemIndexColour(ref, context, depth);
  if (ref & kSchemeIndex) {
    const std::uint32_t index = ref & 0xFF;
    return qRgb(0, 0, 0) |
           (index < context.scheme.colors.size() ? context.scheme.colors[index] : 0);
  }
  return qRgb(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

Channels withOpacity(QRgb colour, std::uint32_t fixedOpacity) {
  Channels channels = morvane::channelsOf(colour);
  channels.a = std::clamp(double(fixedOpacity) / kFixedOne, 0.0, 1.0);
  return channels;
}

FillKind kindOf(std::uint32_t fillType) {
  switch (fillType) {
    case msofillPattern:
      return FillKind::Pattern;
    case msofillTexture:
      return FillKind::Texture;
    case msofillPicture:
      return FillKind::Picture;
    case msofillShade:
    case msofillShadeCenter:
    case msofillShadeShape:
    case msofillShadeScale:
    case msofillShadeTitle:
      return FillKind::Gradient;
    case msofillBackground:
      return FillKind::Background;
    default:
      return FillKind::Solid;
  }
}

bool isFilled(const ShapeRecord &shape, bool filledByDefault) {
  const ShapeProperty *flags = shape.property(prop::FillStyleBooleanProperties);
  if (!flags || !(flags->value & kUseFilled)) return filledByDefault;
  return (flags->value & kFilled) != 0;
}

std::optional<FillPicture> fillPicture(const ShapeRecord &shape) {
  const ShapeProperty *blip = shape.property(prop::fillBlip);
  if (!blip) return std::nullopt;
  FillPicture picture;
  if (blip->complex) {
    if (blip->complexData.size() == 0) return std::nullopt;
    picture.blipRecord = blip->complexData;
  } else {
    if (blip->value == 0) return std::nullopt;
    picture.pib = blip->value;
  }
  return picture;
}

// MSOSHADECOLOR entries of the fillShadeColors array: a colour and a 16.16
// position each.
std::vector<std::pair<double, Channels>> shadeColors(const ShapeRecord &shape,
                                                     const ColourContext &context) {
  std::vector<std::pair<double, Channels>> stops;
  const ShapeProperty *p = shape.property(prop::fillShadeColors);
  if (!p || !p->complex) return stops;
  try {
    morvane::ByteReader in = p->complexData;
    const std::uint16_t count = in.u16();
    in.u16();  // nElemsAlloc
    const std::uint16_t elementSize = in.u16();
    if (elementSize != 8) return stops;
    for (std::size_t i = 0; i < std::min<std::size_t>(count, kMaxShadeColors); ++i) {
      const Channels colour = morvane::channelsOf(resolveColour(in.u32(), context, 0));
      const double position = std::clamp(double(in.i32()) / kFixedOne, 0.0, 1.0);
      stops.emplace_back(position, colour);
    }
  } catch (const morvane::Error &) {
    // A short array keeps the stops read so far.
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  return stops;
}

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
  void add(const Channels &c, double weight) {
    r += c.r * weight;
    g += c.g * weight;
    b += c.b * weight;
    a += c.a * weight;
  }
  Channels colour(double total) const {
    if (total <= 0) return kWhite;
    return {r / total, g / total, b / total, a / total};
  }
};

// The mean over 0..1 of a gradient running linearly between its stops.
Channels gradientMean(const std::vector<std::pair<double, Channels>> &stops) {
  Rgba sum;
  double total = 0;
  for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
    const double width = stops[i + 1].first - stops[i].first;
    sum.add(stops[i].second, width / 2);
    sum.add(stops[i + 1].second, width / 2);
    total += width;
  }
  // The ends beyond the first and last stop keep their colour.
  sum.add(stops.front().second, stops.front().first);
  sum.add(stops.back().second, 1 - stops.back().first);
  total += stops.front().first + 1 - stops.back().first;
  return sum.colour(total);
}

Channels over(const Channels &top, const Channels &behind) {
  const double alpha = top.a;
  return {top.r * alpha + behind.r * (1 - alpha), top.g * alpha + behind.g * (1 - alpha),
          top.b * alpha + behind.b * (1 - alpha), 1};
}

Channels mix(const Channels &a, const Channels &b) {
  Rgba sum;
  sum.add(a, 1);
  sum.add(b, 1);
  return sum.colour(2);
}

}  // namespace

ColorScheme defaultColorScheme() {
  return ColorScheme{
      {0xFFFFFF, 0x000000, 0x808080, 0x000000, 0xFFFFFF, 0x808080, 0x0000FF, 0x800080}};
}

std::optional<ColorScheme> readColorScheme(morvane::ByteReader body) {
  ColorScheme scheme;
  if (body.size() < 4 * scheme.colors.size()) return std::nullopt;
  for (QRgb &colour : scheme.colors) {
    const int red = body.u8(), green = body.u8(), blue = body.u8();
    body.u8();  // unused
    colour = qRgb(red, green, blue);
  }
  return scheme;
}

Fill readFill(const ShapeRecord &shape, const ColorScheme &scheme, bool filledByDefault) {
  const ColourContext context{shape, scheme};
  Fill fill;
  fill.kind = kindOf(propertyValue(shape, prop::fillType, msofillSolid));
  fill.visible = isFilled(shape, filledByDefault);
  fill.foreground = withOpacity(shapeColour(prop::fillColor, 0xFFFFFF, context, 0),
                                propertyValue(shape, prop::fillOpacity, kFixedOne));
  fill.backgroundColour = withOpacity(shapeColour(prop::fillBackColor, 0xFFFFFF, context, 0),
                                      propertyValue(shape, prop::fillBackOpacity, kFixedOne));
  if (fill.kind == FillKind::Gradient) fill.shadeColors = shadeColors(shape, context);
  if (fill.kind == FillKind::Picture || fill.kind == FillKind::Texture ||
      fill.kind == FillKind::Pattern)
    fill.picture = fillPicture(shape);
  return fill;
}

Channels averageFillColour(
    const Fill &fill, const Channels &behind,
    const std::function<std::optional<Channels>(const FillPicture &)> &pictureAverage) {
  switch (fill.kind) {
    case FillKind::Solid:
      return over(fill.foreground, behind);
    case FillKind::Gradient:
      if (fill.shadeColors.size() >= 2) return over(gradientMean(fill.shadeColors), behind);
      return over(mix(fill.foreground, fill.backgroundColour), behind);
    case FillKind::Pattern:
      return over(mix(fill.foreground, fill.backgroundColour), behind);
    case FillKind::Texture:
    case FillKind::Picture:
      if (fill.picture)
        if (const std::optional<Channels> average = pictureAverage(*fill.picture)) return *average;
      return behind;
    case FillKind::Background:
      return behind;
  }
  return behind;
}

}  // namespace office::ppt
