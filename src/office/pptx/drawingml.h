#pragma once

// DrawingML values shared by slides, themes and charts: colours (as written,
// resolved later against a theme and a colour map), fills, picture
// references with their crop, and the theme itself.

#include <QHash>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "office/render/export.h"

namespace office::pptx {

class XmlStream;

// A colour transform (tint, shade, lumMod ...); value in thousandths of a
// percent (100000 = 100 %) or, for hues, 60000ths of a degree.
struct ColorMod {
  enum class Kind {
    Tint,
    Shade,
    LumMod,
    LumOff,
    SatMod,
    SatOff,
    HueMod,
    HueOff,
    Alpha,
    Comp,
    Inv,
    Gray
  };
  Kind kind;
  int value = 0;
};

struct ColorSpec {
  enum class Kind { None, Rgb, Scheme };
  Kind kind = Kind::None;
  QRgb rgb = 0;
  QString scheme;  // "accent1", "tx1", "bg1", "phClr" ...
  std::vector<ColorMod> mods;
  bool isSet() const { return kind != Kind::None; }
};

// A theme's colours by their scheme names (dk1, lt1, accent1 ... folHlink).
using ColorScheme = QHash<QString, QRgb>;
// The colours of Office's default theme, for a presentation without a theme.
const ColorScheme &defaultColorScheme();

// A master's colour map: the names slides use (bg1, tx1, ...) to scheme names.
using ColorMap = QHash<QString, QString>;

// What scheme colours resolve against; placeholder is phClr (the colour a
// style reference gives a theme fill).
struct ColorContext {
  const ColorScheme *scheme = nullptr;
  const ColorMap *map = nullptr;
  std::optional<QRgb> placeholder;
};

// The colour (its alpha from an alpha transform), or nullopt when it cannot
// be resolved.
std::optional<QRgb> resolveColor(const ColorSpec &spec, const ColorContext &context);
// Applies colour transforms in their order.
QRgb applyColorMods(QRgb rgb, const std::vector<ColorMod> &mods);
// The colour t of the way from one colour to another (opaque).
QRgb mixColors(QRgb from, QRgb to, double t);
bool isOpaque(QRgb rgb);

// Reads the current element when it is a colour choice (srgbClr, schemeClr,
// sysClr, prstClr, scrgbClr, hslClr); an unset spec otherwise.
ColorSpec readColor(XmlStream &xml);
// The first colour choice among the current element's children.
ColorSpec readColorChild(XmlStream &xml);

// a:blip with its picture parts, and the crop of a:srcRect.
struct BlipRef {
  QString embed;     // relationship id of the stored picture (for SVG: its PNG fallback)
  QString link;      // relationship id of a linked picture
  QString svgEmbed;  // relationship id of an SVG picture (asvg:svgBlip)
  office::render::Crop crop;
  bool present = false;
};

struct Fill {
  enum class Kind { Unset, None, Solid, Gradient, Blip, Pattern, Group };
  Kind kind = Kind::Unset;
  ColorSpec color;       // solid fill; pattern foreground
  ColorSpec background;  // pattern background
  std::vector<ColorSpec> stops;
  BlipRef blip;
  bool tiled = false;
};

// Reads the current element into fill when it is one of noFill, solidFill,
// gradFill, blipFill, pattFill or grpFill; false otherwise.
bool readFill(XmlStream &xml, Fill &fill);
// Reads an a:blipFill or p:blipFill element (the stream is at it).
BlipRef readBlipFill(XmlStream &xml, bool *tiled = nullptr);

// The colour a fill shows on average (solid: its colour; gradient: the mean
// of its stops; pattern: the mean of its two colours); nullopt when it has
// none of its own (no fill, a picture, a group's fill).
std::optional<QRgb> averageColor(const Fill &fill, const ColorContext &context);

struct Theme {
  ColorScheme colors;
  QString majorLatin, minorLatin;
  std::vector<Fill> fillStyles;    // fillStyleLst
  std::vector<Fill> bgFillStyles;  // bgFillStyleLst
};

Theme readTheme(const QByteArray &xml, const QString &partName);

// A style reference (a:fillRef, p:bgRef): idx 1-999 picks a fill style,
// 1001 and up a background fill style; color becomes phClr.
struct StyleRef {
  int index = 0;
  ColorSpec color;
};

// The theme fill a style reference stands for; Kind::Unset when none.
Fill themeFill(const Theme &theme, const StyleRef &ref);

// The scheme name behind a font reference ("+mn-lt" → the minor Latin font).
QString resolveThemeFont(const QString &typeface, const Theme *theme);

}  // namespace office::pptx
