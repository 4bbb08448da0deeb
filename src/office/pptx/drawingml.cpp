#include "office/pptx/drawingml.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/colour.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

// ST_Percentage and ST_PositiveFixedPercentage: 100000 = 100 %.
constexpr double kPercent = 100000.0;
// ST_PositiveFixedAngle: 60000 = 1 degree.
constexpr double kAngle = 60000.0;
// Limits on what one fill may hold.
constexpr std::size_t kMaxGradientStops = 64;
constexpr std::size_t kMaxColorMods = 32;
constexpr std::size_t kMaxThemeFills = 16;

QRgb parseHex(QStringView hex, QRgb fallback) {
  bool ok = false;
  const uint value = hex.toUInt(&ok, 16);
  return ok && hex.size() == 6
             ? qRgb(int(value >> 16) & 0xFF, int(value >> 8) & 0xFF, int(value) & 0xFF)
             : fallback;
}

// Preset colour names (ST_PresetColorVal) are the CSS colour names, some
// with "dk", "lt" and "med" abbreviated.
QRgb presetColor(QStringView name) {
  static const std::pair<const char *, QRgb> colors[] = {{"aliceblue", 0xF0F8FF},
                                                         {"antiquewhite", 0xFAEBD7},
                                                         {"aqua", 0x00FFFF},
                                                         {"aquamarine", 0x7FFFD4},
                                                         {"azure", 0xF0FFFF},
                                                         {"beige", 0xF5F5DC},
                                                         {"bisque", 0xFFE4C4},
                                                         {"black", 0x000000},
                                                         {"blanchedalmond", 0xFFEBCD},
                                                         {"blue", 0x0000FF},
                                                         {"blueviolet", 0x8A2BE2},
                                                         {"brown", 0xA52A2A},
                                                         {"burlywood", 0xDEB887},
                                                         {"cadetblue", 0x5F9EA0},
                                                         {"chartreuse", 0x7FFF00},
                                                         {"chocolate", 0xD2691E},
                                                         {"coral", 0xFF7F50},
                                                         {"cornflowerblue", 0x6495ED},
                                                         {"cornsilk", 0xFFF8DC},
                                                         {"crimson", 0xDC143C},
                                                         {"cyan", 0x00FFFF},
                                                         {"darkblue", 0x00008B},
                                                         {"darkcyan", 0x008B8B},
                                                         {"darkgoldenrod", 0xB8860B},
                                                         {"darkgray", 0xA9A9A9},
                                                         {"darkgrey", 0xA9A9A9},
                                                         {"darkgreen", 0x006400},
                                                         {"darkkhaki", 0xBDB76B},
                                                         {"darkmagenta", 0x8B008B},
                                                         {"darkolivegreen", 0x556B2F},
                                                         {"darkorange", 0xFF8C00},
                                                         {"darkorchid", 0x9932CC},
                                                         {"darkred", 0x8B0000},
                                                         {"darksalmon", 0xE9967A},
                                                         {"darkseagreen", 0x8FBC8F},
                                                         {"darkslateblue", 0x483D8B},
                                                         {"darkslategray", 0x2F4F4F},
                                                         {"darkslategrey", 0x2F4F4F},
                                                         {"darkturquoise", 0x00CED1},
                                                         {"darkviolet", 0x9400D3},
                                                         {"deeppink", 0xFF1493},
                                                         {"deepskyblue", 0x00BFFF},
                                                         {"dimgray", 0x696969},
                                                         {"dimgrey", 0x696969},
                                                         {"dodgerblue", 0x1E90FF},
                                                         {"firebrick", 0xB22222},
                                                         {"floralwhite", 0xFFFAF0},
                                                         {"forestgreen", 0x228B22},
                                                         {"fuchsia", 0xFF00FF},
                                                         {"gainsboro", 0xDCDCDC},
                                                         {"ghostwhite", 0xF8F8FF},
                                                         {"gold", 0xFFD700},
                                                         {"goldenrod", 0xDAA520},
                                                         {"gray", 0x808080},
                                                         {"grey", 0x808080},
                                                         {"green", 0x008000},
                                                         {"greenyellow", 0xADFF2F},
                                                         {"honeydew", 0xF0FFF0},
                                                         {"hotpink", 0xFF69B4},
                                                         {"indianred", 0xCD5C5C},
                                                         {"indigo", 0x4B0082},
                                                         {"ivory", 0xFFFFF0},
                                                         {"khaki", 0xF0E68C},
                                                         {"lavender", 0xE6E6FA},
                                                         {"lavenderblush", 0xFFF0F5},
                                                         {"lawngreen", 0x7CFC00},
                                                         {"lemonchiffon", 0xFFFACD},
                                                         {"lightblue", 0xADD8E6},
                                                         {"lightcoral", 0xF08080},
                                                         {"lightcyan", 0xE0FFFF},
                                                         {"lightgoldenrodyellow", 0xFAFAD2},
                                                         {"lightgray", 0xD3D3D3},
                                                         {"lightgrey", 0xD3D3D3},
                                                         {"lightgreen", 0x90EE90},
                                                         {"lightpink", 0xFFB6C1},
                                                         {"lightsalmon", 0xFFA07A},
                                                         {"lightseagreen", 0x20B2AA},
                                                         {"lightskyblue", 0x87CEFA},
                                                         {"lightslategray", 0x778899},
                                                         {"lightslategrey", 0x778899},
                                                         {"lightsteelblue", 0xB0C4DE},
                                                         {"lightyellow", 0xFFFFE0},
                                                         {"lime", 0x00FF00},
                                                         {"limegreen", 0x32CD32},
                                                         {"linen", 0xFAF0E6},
                                                         {"magenta", 0xFF00FF},
                                                         {"maroon", 0x800000},
                                                         {"mediumaquamarine", 0x66CDAA},
                                                         {"mediumblue", 0x0000CD},
                                                         {"mediumorchid", 0xBA55D3},
                                                         {"mediumpurple", 0x9370DB},
                                                         {"mediumseagreen", 0x3CB371},
                                                         {"mediumslateblue", 0x7B68EE},
                                                         {"mediumspringgreen", 0x00FA9A},
                                                         {"mediumturquoise", 0x48D1CC},
                                                         {"mediumvioletred", 0xC71585},
                                                         {"midnightblue", 0x191970},
                                                         {"mintcream", 0xF5FFFA},
                                                         {"mistyrose", 0xFFE4E1},
                                                         {"moccasin", 0xFFE4B5},
                                                         {"navajowhite", 0xFFDEAD},
                                                         {"navy", 0x000080},
                                                         {"oldlace", 0xFDF5E6},
                                                         {"olive", 0x808000},
                                                         {"olivedrab", 0x6B8E23},
                                                         {"orange", 0xFFA500},
                                                         {"orangered", 0xFF4500},
                                                         {"orchid", 0xDA70D6},
                                                         {"palegoldenrod", 0xEEE8AA},
                                                         {"palegreen", 0x98FB98},
                                                         {"paleturquoise", 0xAFEEEE},
                                                         {"palevioletred", 0xDB7093},
                                                         {"papayawhip", 0xFFEFD5},
                                                         {"peachpuff", 0xFFDAB9},
                                                         {"peru", 0xCD853F},
                                                         {"pink", 0xFFC0CB},
                                                         {"plum", 0xDDA0DD},
                                                         {"powderblue", 0xB0E0E6},
                                                         {"purple", 0x800080},
                                                         {"red", 0xFF0000},
                                                         {"rosybrown", 0xBC8F8F},
                                                         {"royalblue", 0x4169E1},
                                                         {"saddlebrown", 0x8B4513},
                                                         {"salmon", 0xFA8072},
                                                         {"sandybrown", 0xF4A460},
                                                         {"seagreen", 0x2E8B57},
                                                         {"seashell", 0xFFF5EE},
                                                         {"sienna", 0xA0522D},
                                                         {"silver", 0xC0C0C0},
                                                         {"skyblue", 0x87CEEB},
                                                         {"slateblue", 0x6A5ACD},
                                                         {"slategray", 0x708090},
                                                         {"slategrey", 0x708090},
                                                         {"snow", 0xFFFAFA},
                                                         {"springgreen", 0x00FF7F},
                                                         {"steelblue", 0x4682B4},
                                                         {"tan", 0xD2B48C},
                                                         {"teal", 0x008080},
                                                         {"thistle", 0xD8BFD8},
                                                         {"tomato", 0xFF6347},
                                                         {"turquoise", 0x40E0D0},
                                                         {"violet", 0xEE82EE},
                                                         {"wheat", 0xF5DEB3},
                                                         {"white", 0xFFFFFF},
                                                         {"whitesmoke", 0xF5F5F5},
                                                         {"yellow", 0xFFFF00},
                                                         {"yellowgreen", 0x9ACD32}};
  QString css = name.toString();
  if (css.startsWith(QLatin1String("dk"))) css.replace(0, 2, QStringLiteral("dark"));
  if (css.startsWith(QLatin1String("lt"))) css.replace(0, 2, QStringLiteral("light"));
  if (css.startsWith(QLatin1String("med"))) css.replace(0, 3, QStringLiteral("medium"));
  css = css.toLower();
  for (const auto &[key, rgb] : colors)
    if (css == QLatin1String(key)) return 0xFF000000 | rgb;
  return qRgb(0, 0, 0);
}

QRgb systemColor(XmlStream &xml) {
  const QStringView last = xml.attribute(QLatin1StringView("lastClr"));
  if (!last.isEmpty()) return parseHex(last, qRgb(0, 0, 0));
  const QStringView value = xml.attribute(QLatin1StringView("val"));
  return value == QLatin1StringView("window") ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
}

int linearToSrgb(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  const double v = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return int(std::lround(v * 255));
}

std::optional<ColorMod::Kind> modKind(QStringView name) {
  using K = ColorMod::Kind;
  static const std::pair<const char *, K> kinds[] = {
      {"tint", K::Tint},     {"shade", K::Shade},   {"lumMod", K::LumMod}, {"lumOff", K::LumOff},
      {"satMod", K::SatMod}, {"satOff", K::SatOff}, {"hueMod", K::HueMod}, {"hueOff", K::HueOff},
      {"alpha", K::Alpha},   {"comp", K::Comp},     {"inv", K::Inv},       {"gray", K::Gray}};
  for (const auto &[text, kind] : kinds)
    if (name == QLatin1StringView(text)) return kind;
  return std::nullopt;
}

void readMods(XmlStream &xml, ColorSpec &spec) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    const auto kind = modKind(xml.name());
    if (!kind || spec.mods.size() >= kMaxColorMods) continue;
    spec.mods.push_back(
        {*kind, int(std::clamp<qint64>(xml.intAttribute(QLatin1StringView("val"), 0), -10000000,
                                       10000000))});
  }
}

using morvane::Channels;
using morvane::channelsOf;
using morvane::Hsl;
using morvane::hslOf;
using morvane::rgbOf;

QRgb applyMod(QRgb rgb, const ColorMod &mod) {
  const double v = mod.value / kPercent;
  using K = ColorMod::Kind;
  Channels c = channelsOf(rgb);
  Hsl hsl = hslOf(c);
  switch (mod.kind) {
    case K::Tint:
      return rgbOf({1 - (1 - c.r) * v, 1 - (1 - c.g) * v, 1 - (1 - c.b) * v, c.a});
    case K::Shade:
      return rgbOf({c.r * v, c.g * v, c.b * v, c.a});
    case K::Inv:
      return rgbOf({1 - c.r, 1 - c.g, 1 - c.b, c.a});
    case K::Gray: {
      const double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
      return rgbOf({y, y, y, c.a});
    }
    case K::Alpha:
      c.a = v;
      return rgbOf(c);
    case K::LumMod:
      hsl.l *= v;
      break;
    case K::LumOff:
      hsl.l += v;
      break;
    case K::SatMod:
      hsl.s *= v;
      break;
    case K::SatOff:
      hsl.s += v;
      break;
    case K::HueMod:
      hsl.h *= v;
      break;
    case K::HueOff:
      hsl.h += mod.value / kAngle / 360.0;
      break;
    case K::Comp:
      hsl.h += 0.5;
      break;
  }
  hsl.h -= std::floor(hsl.h);
  hsl.s = std::clamp(hsl.s, 0.0, 1.0);
  hsl.l = std::clamp(hsl.l, 0.0, 1.0);
  return rgbOf(channelsOf(hsl, c.a));
}

QString mappedSchemeName(const QString &name, const ColorMap *map) {
  if (map) {
    const auto found = map->constFind(name);
    if (found != map->constEnd()) return *found;
  }
  static const QHash<QString, QString> defaults = {{QStringLiteral("bg1"), QStringLiteral("lt1")},
                                                   {QStringLiteral("tx1"), QStringLiteral("dk1")},
                                                   {QStringLiteral("bg2"), QStringLiteral("lt2")},
                                                   {QStringLiteral("tx2"), QStringLiteral("dk2")}};
  return defaults.value(name, name);
}

std::optional<QRgb> mean(const std::vector<std::optional<QRgb>> &colors) {
  double r = 0, g = 0, b = 0;
  int n = 0;
  for (const auto &c : colors) {
    if (!c) continue;
    r += qRed(*c);
    g += qGreen(*c);
    b += qBlue(*c);
    ++n;
  }
  if (n == 0) return std::nullopt;
  return qRgb(int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n)));
}

void readGradient(XmlStream &xml, Fill &fill) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (!xml.is(QLatin1StringView("gsLst"))) continue;
    const int listDepth = xml.depth();
    while (xml.nextChild(listDepth))
      if (xml.is(QLatin1StringView("gs")) && fill.stops.size() < kMaxGradientStops)
        fill.stops.push_back(readColorChild(xml));
  }
}

void readPattern(XmlStream &xml, Fill &fill) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("fgClr"))) fill.color = readColorChild(xml);
    if (xml.is(QLatin1StringView("bgClr"))) fill.background = readColorChild(xml);
  }
}

office::render::Crop readSourceRect(XmlStream &xml) {
  const auto edge = [&xml](const char *name) {
    return double(std::clamp<qint64>(xml.intAttribute(QLatin1StringView(name), 0), -10000000,
                                     10000000)) /
           kPercent;
  };
  return {edge("l"), edge("t"), edge("r"), edge("b")};
}

// a:blip: the picture, and in its extensions an SVG picture whose fallback
// the blip itself is.
void readBlip(XmlStream &xml, BlipRef &blip) {
  blip.present = true;
  blip.embed = xml.relationshipAttribute(QLatin1StringView("embed")).toString();
  blip.link = xml.relationshipAttribute(QLatin1StringView("link")).toString();
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (!xml.is(QLatin1StringView("extLst"))) continue;
    const int listDepth = xml.depth();
    while (xml.nextChild(listDepth)) {
      const int extDepth = xml.depth();
      while (xml.nextChild(extDepth))
        if (xml.is(QLatin1StringView("svgBlip")))
          blip.svgEmbed = xml.relationshipAttribute(QLatin1StringView("embed")).toString();
    }
  }
}

void readThemeColors(XmlStream &xml, Theme &theme) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    const QString name = xml.name().toString();
    const ColorSpec spec = readColorChild(xml);
    if (spec.kind == ColorSpec::Kind::Rgb) theme.colors.insert(name, spec.rgb);
  }
}

void readThemeFonts(XmlStream &xml, Theme &theme) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    QString *latin = xml.is(QLatin1StringView("majorFont"))   ? &theme.majorLatin
                     : xml.is(QLatin1StringView("minorFont")) ? &theme.minorLatin
                                                              : nullptr;
    if (!latin) continue;
    const int fontDepth = xml.depth();
    while (xml.nextChild(fontDepth))
      if (xml.is(QLatin1StringView("latin")))
        *latin = xml.attribute(QLatin1StringView("typeface")).toString();
  }
}

void readFillList(XmlStream &xml, std::vector<Fill> &fills) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    Fill fill;
    if (readFill(xml, fill) && fills.size() < kMaxThemeFills) fills.push_back(std::move(fill));
  }
}

void readFormatScheme(XmlStream &xml, Theme &theme) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("fillStyleLst"))) readFillList(xml, theme.fillStyles);
    if (xml.is(QLatin1StringView("bgFillStyleLst"))) readFillList(xml, theme.bgFillStyles);
  }
}

}  // namespace

const ColorScheme &defaultColorScheme() {
  static const ColorScheme scheme = {{QStringLiteral("dk1"), qRgb(0x00, 0x00, 0x00)},
                                     {QStringLiteral("lt1"), qRgb(0xFF, 0xFF, 0xFF)},
                                     {QStringLiteral("dk2"), qRgb(0x1F, 0x49, 0x7D)},
                                     {QStringLiteral("lt2"), qRgb(0xEE, 0xEC, 0xE1)},
                                     {QStringLiteral("accent1"), qRgb(0x4F, 0x81, 0xBD)},
                                     {QStringLiteral("accent2"), qRgb(0xC0, 0x50, 0x4D)},
                                     {QStringLiteral("accent3"), qRgb(0x9B, 0xBB, 0x59)},
                                     {QStringLiteral("accent4"), qRgb(0x80, 0x64, 0xA2)},
                                     {QStringLiteral("accent5"), qRgb(0x4B, 0xAC, 0xC6)},
                                     {QStringLiteral("accent6"), qRgb(0xF7, 0x96, 0x46)},
                                     {QStringLiteral("hlink"), qRgb(0x00, 0x00, 0xFF)},
                                     {QStringLiteral("folHlink"), qRgb(0x80, 0x00, 0x80)}};
  return scheme;
}

std::optional<QRgb> resolveColor(const ColorSpec &spec, const ColorContext &context) {
  std::optional<QRgb> color;
  if (spec.kind == ColorSpec::Kind::Rgb) {
    color = spec.rgb;
  } else if (spec.kind == ColorSpec::Kind::Scheme) {
    if (spec.scheme == QLatin1String("phClr")) {
      color = context.placeholder;
    } else if (context.scheme) {
      const auto found = context.scheme->constFind(mappedSchemeName(spec.scheme, context.map));
      if (found != context.scheme->constEnd()) color = *found;
    }
  }
  if (!color) return color;
  return applyColorMods(*color, spec.mods);
}

QRgb applyColorMods(QRgb rgb, const std::vector<ColorMod> &mods) {
  for (const ColorMod &mod : mods) rgb = applyMod(rgb, mod);
  return rgb;
}

ColorSpec readColor(XmlStream &xml) {
  ColorSpec spec;
  const QStringView name = xml.name();
  const QStringView value = xml.attribute(QLatin1StringView("val"));
  if (name == QLatin1StringView("srgbClr")) {
    spec.kind = ColorSpec::Kind::Rgb;
    spec.rgb = parseHex(value, qRgb(0, 0, 0));
  } else if (name == QLatin1StringView("schemeClr")) {
    spec.kind = ColorSpec::Kind::Scheme;
    spec.scheme = value.toString();
  } else if (name == QLatin1StringView("sysClr")) {
    spec.kind = ColorSpec::Kind::Rgb;
    spec.rgb = systemColor(xml);
  } else if (name == QLatin1StringView("prstClr")) {
    spec.kind = ColorSpec::Kind::Rgb;
    spec.rgb = presetColor(value);
  } else if (name == QLatin1StringView("scrgbClr")) {
    const auto channel = [&xml](const char *c) {
      return linearToSrgb(xml.intAttribute(QLatin1StringView(c), 0) / kPercent);
    };
    spec.kind = ColorSpec::Kind::Rgb;
    spec.rgb = qRgb(channel("r"), channel("g"), channel("b"));
  } else if (name == QLatin1StringView("hslClr")) {
    const double hue = std::fmod(xml.intAttribute(QLatin1StringView("hue"), 0) / kAngle, 360.0);
    const double sat = xml.intAttribute(QLatin1StringView("sat"), 0) / kPercent;
    const double lum = xml.intAttribute(QLatin1StringView("lum"), 0) / kPercent;
    spec.kind = ColorSpec::Kind::Rgb;
    spec.rgb = rgbOf(channelsOf(Hsl{std::clamp(hue / 360.0, 0.0, 1.0), std::clamp(sat, 0.0, 1.0),
                                    std::clamp(lum, 0.0, 1.0)},
                                1.0));
  } else {
    return spec;
  }
  readMods(xml, spec);
  return spec;
}

ColorSpec readColorChild(XmlStream &xml) {
  ColorSpec found;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (found.isSet()) continue;
    found = readColor(xml);
  }
  return found;
}

BlipRef readBlipFill(XmlStream &xml, bool *tiled) {
  BlipRef blip;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("blip")))
      readBlip(xml, blip);
    else if (xml.is(QLatin1StringView("srcRect")))
      blip.crop = readSourceRect(xml);
    else if (xml.is(QLatin1StringView("tile")) && tiled)
      *tiled = true;
  }
  return blip;
}

bool readFill(XmlStream &xml, Fill &fill) {
  const QStringView name = xml.name();
  if (name == QLatin1StringView("noFill")) {
    fill.kind = Fill::Kind::None;
  } else if (name == QLatin1StringView("solidFill")) {
    fill.kind = Fill::Kind::Solid;
    fill.color = readColorChild(xml);
  } else if (name == QLatin1StringView("gradFill")) {
    fill.kind = Fill::Kind::Gradient;
    readGradient(xml, fill);
  } else if (name == QLatin1StringView("blipFill")) {
    fill.kind = Fill::Kind::Blip;
    fill.blip = readBlipFill(xml, &fill.tiled);
  } else if (name == QLatin1StringView("pattFill")) {
    fill.kind = Fill::Kind::Pattern;
    readPattern(xml, fill);
  } else if (name == QLatin1StringView("grpFill")) {
    fill.kind = Fill::Kind::Group;
  } else {
    return false;
  }
  return true;
}

std::optional<QRgb> averageColor(const Fill &fill, const ColorContext &context) {
  switch (fill.kind) {
    case Fill::Kind::Solid:
      return resolveColor(fill.color, context);
    case Fill::Kind::Gradient: {
      std::vector<std::optional<QRgb>> colors;
      for (const ColorSpec &stop : fill.stops) colors.push_back(resolveColor(stop, context));
      return mean(colors);
    }
    case Fill::Kind::Pattern:
      return mean({resolveColor(fill.color, context), resolveColor(fill.background, context)});
    default:
      return std::nullopt;
  }
}

QRgb mixColors(QRgb from, QRgb to, double t) {
  t = std::clamp(t, 0.0, 1.0);
  const auto mix = [t](int a, int b) { return int(std::lround(a * (1 - t) + b * t)); };
  return qRgb(mix(qRed(from), qRed(to)), mix(qGreen(from), qGreen(to)),
              mix(qBlue(from), qBlue(to)));
}

bool isOpaque(QRgb rgb) { return qAlpha(rgb) == 255; }

Theme readTheme(const QByteArray &bytes, const QString &partName) {
  Theme theme;
  XmlStream xml(bytes, partName);
  while (xml.nextChild(0)) {
    while (xml.nextChild(1)) {
      if (!xml.is(QLatin1StringView("themeElements"))) continue;
      while (xml.nextChild(2)) {
        if (xml.is(QLatin1StringView("clrScheme"))) readThemeColors(xml, theme);
        if (xml.is(QLatin1StringView("fontScheme"))) readThemeFonts(xml, theme);
        if (xml.is(QLatin1StringView("fmtScheme"))) readFormatScheme(xml, theme);
      }
    }
  }
  return theme;
}

Fill themeFill(const Theme &theme, const StyleRef &ref) {
  constexpr int kFirstBackgroundStyle = 1001;
  const std::vector<Fill> &list =
      ref.index >= kFirstBackgroundStyle ? theme.bgFillStyles : theme.fillStyles;
  const int position =
      ref.index >= kFirstBackgroundStyle ? ref.index - kFirstBackgroundStyle : ref.index - 1;
  if (position < 0 || std::size_t(position) >= list.size()) return {};
  return list[std::size_t(position)];
}

QString resolveThemeFont(const QString &typeface, const Theme *theme) {
  if (!typeface.startsWith(QLatin1Char('+')) || !theme) return typeface;
  if (typeface.startsWith(QLatin1String("+mj"))) return theme->majorLatin;
  if (typeface.startsWith(QLatin1String("+mn"))) return theme->minorLatin;
  return typeface;
}

}  // namespace office::pptx
