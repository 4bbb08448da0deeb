#include "office/pptx/drawingml.h"

#include <algorithm>
#include <cmath>
#include <optional>

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

// Preset colour names are CSS names with "dk", "lt" and "med" abbreviated.
QRgb presetColor(QStringView name) {
  QString css = name.toString();
  if (css.startsWith(QLatin1String("dk"))) css.replace(0, 2, QStringLiteral("dark"));
  if (css.startsWith(QLatin1String("lt"))) css.replace(0, 2, QStringLiteral("light"));
  if (css.startsWith(QLatin1String("med"))) css.replace(0, 3, QStringLiteral("medium"));
  const QColor color = QColor::fromString(css.toLower());
  return color.isValid() ? color.rgb() : qRgb(0, 0, 0);
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

QColor applyMod(QColor c, const ColorMod &mod) {
  const double v = mod.value / kPercent;
  using K = ColorMod::Kind;
  float h = 0, s = 0, l = 0, a = 0;
  c.getHslF(&h, &s, &l, &a);
  if (h < 0) h = 0;
  switch (mod.kind) {
    case K::Tint:
      return QColor::fromRgbF(float(1 - (1 - c.redF()) * v), float(1 - (1 - c.greenF()) * v),
                              float(1 - (1 - c.blueF()) * v), c.alphaF());
    case K::Shade:
      return QColor::fromRgbF(float(c.redF() * v), float(c.greenF() * v), float(c.blueF() * v),
                              c.alphaF());
    case K::LumMod:
      l = float(l * v);
      break;
    case K::LumOff:
      l = float(l + v);
      break;
    case K::SatMod:
      s = float(s * v);
      break;
    case K::SatOff:
      s = float(s + v);
      break;
    case K::HueMod:
      h = float(std::fmod(h * v, 1.0));
      break;
    case K::HueOff:
      h = float(std::fmod(h + mod.value / kAngle / 360.0 + 1.0, 1.0));
      break;
    case K::Alpha:
      a = float(v);
      break;
    case K::Comp:
      h = float(std::fmod(h + 0.5, 1.0));
      break;
    case K::Inv:
      return QColor::fromRgbF(float(1 - c.redF()), float(1 - c.greenF()), float(1 - c.blueF()),
                              c.alphaF());
    case K::Gray: {
      const float y = float(0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF());
      return QColor::fromRgbF(y, y, y, c.alphaF());
    }
  }
  return QColor::fromHslF(std::clamp(h, 0.0f, 1.0f), std::clamp(s, 0.0f, 1.0f),
                          std::clamp(l, 0.0f, 1.0f), std::clamp(a, 0.0f, 1.0f));
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

QColor mean(const std::vector<QColor> &colors) {
  double r = 0, g = 0, b = 0;
  int n = 0;
  for (const QColor &c : colors) {
    if (!c.isValid()) continue;
    r += c.redF();
    g += c.greenF();
    b += c.blueF();
    ++n;
  }
  if (n == 0) return {};
  return QColor::fromRgbF(float(r / n), float(g / n), float(b / n));
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

QColor resolveColor(const ColorSpec &spec, const ColorContext &context) {
  QColor color;
  if (spec.kind == ColorSpec::Kind::Rgb) {
    color = QColor::fromRgb(spec.rgb);
  } else if (spec.kind == ColorSpec::Kind::Scheme) {
    if (spec.scheme == QLatin1String("phClr")) {
      color = context.placeholder;
    } else if (context.scheme) {
      const auto found = context.scheme->constFind(mappedSchemeName(spec.scheme, context.map));
      if (found != context.scheme->constEnd()) color = QColor::fromRgb(*found);
    }
  }
  if (!color.isValid()) return color;
  for (const ColorMod &mod : spec.mods) color = applyMod(color, mod);
  return color;
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
    spec.rgb = QColor::fromHslF(float(std::clamp(hue / 360.0, 0.0, 1.0)),
                                float(std::clamp(sat, 0.0, 1.0)), float(std::clamp(lum, 0.0, 1.0)))
                   .rgb();
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

QColor averageColor(const Fill &fill, const ColorContext &context) {
  switch (fill.kind) {
    case Fill::Kind::Solid:
      return resolveColor(fill.color, context);
    case Fill::Kind::Gradient: {
      std::vector<QColor> colors;
      for (const ColorSpec &stop : fill.stops) colors.push_back(resolveColor(stop, context));
      return mean(colors);
    }
    case Fill::Kind::Pattern:
      return mean({resolveColor(fill.color, context), resolveColor(fill.background, context)});
    default:
      return {};
  }
}

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
