#include "office/pptx/shapepicture.h"

#include <cmath>
#include <functional>

#include "common/error.h"
#include "office/pptx/chart/chart.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

constexpr double kEmuPerInch = 914400.0;
// A chart frame without a size of its own (a placeholder that inherits it).
constexpr QSizeF kDefaultChartInches{6.0, 4.0};

// Behind a slide's background there is nothing but white.
QRgb white() { return 0xFFFFFFFF; }

[[noreturn]] void failNoPicture() {
  throw morvane::Error(QStringLiteral("This shape cannot be exported: it holds no picture"));
}

// A picture reference: the relationship of the part that holds it.
struct BlipSource {
  QString part;
  BlipRef blip;
};

// Finds v:imagedata inside the v:shape whose id (or o:spid) is spid, below
// the current element; relId receives its o:relid.
bool findImageData(XmlStream &xml, const QString &spid, bool inShape, QString &relId) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    bool inside = inShape;
    if (xml.is(QLatin1StringView("shape"))) {
      inside = xml.attribute(QLatin1StringView("id")) == spid ||
               xml.anyAttribute(QLatin1StringView("spid")) == spid;
    } else if (inShape && xml.is(QLatin1StringView("imagedata"))) {
      relId = xml.anyAttribute(QLatin1StringView("relid")).toString();
      return true;
    }
    if (findImageData(xml, spid, inside, relId)) return true;
  }
  return false;
}

// The preview of a PowerPoint 2007 embedded object lives in the slide's
// legacy VML drawing: the v:shape whose id is the object's spid, its
// v:imagedata o:relid.
std::optional<BlipSource> legacyPreview(Document &doc, const QString &slidePart,
                                        const QString &spid) {
  if (spid.isEmpty()) return std::nullopt;
  for (const Relationship *r :
       doc.package().relationships(slidePart).allOfType(reltype::kVmlDrawing)) {
    if (r->external || !doc.package().hasPart(r->target)) continue;
    XmlStream xml(doc.package().readPart(r->target), r->target);
    BlipSource source{r->target, {}};
    if (!findImageData(xml, spid, false, source.blip.embed)) continue;
    source.blip.present = true;
    return source;
  }
  return std::nullopt;
}

std::optional<BlipSource> blipOf(const PartContext &context, const ShapeModel &shape) {
  switch (shape.element) {
    case Element::Pic:
      return BlipSource{context.part, shape.blip};
    case Element::Sp:
    case Element::CxnSp:
      if (shape.fill.kind == Fill::Kind::Blip) return BlipSource{context.part, shape.fill.blip};
      break;
    case Element::GraphicFrame:
      if (shape.content != FrameContent::Ole || !shape.ole) break;
      if (shape.ole->preview.present && !shape.ole->preview.embed.isEmpty())
        return BlipSource{context.part, shape.ole->preview};
      try {
        if (auto legacy = legacyPreview(*context.doc, context.part, shape.ole->spid)) return legacy;
      } catch (const morvane::Error &error) {
        throw morvane::PictureError(QStringLiteral("the preview of this object cannot be read: %1")
                                        .arg(error.description()));
      }
      throw morvane::PictureError(QStringLiteral("the embedded object has no preview picture"));
    default:
      break;
  }
  return std::nullopt;
}

QSize pixelsAt150Dpi(QSizeF inches) {
  constexpr double kLimit = 65536;
  const double dpi = office::render::kMetafileDpi;
  return QSize(int(std::clamp(std::round(inches.width() * dpi), 1.0, kLimit)),
               int(std::clamp(std::round(inches.height() * dpi), 1.0, kLimit)));
}

// The picture a blip shows, for the export: its stored picture, or for an
// SVG without a fallback the SVG drawn at the shape's size.
// behind gives the colour behind the picture, worked out only when the
// picture can show it (an opaque JPEG that covers its frame never does).
ShapePicture pictureOfBlip(Document &doc, const BlipSource &source, QSizeF inches,
                           const std::function<QRgb()> &colorBehindIt) {
  const BlipRef &blip = source.blip;
  const QString &relId = !blip.embed.isEmpty() ? blip.embed : blip.svgEmbed;
  if (relId.isEmpty()) {
    if (!blip.link.isEmpty()) {
      const Relationship *r = doc.package().relationships(source.part).byId(blip.link);
      throw morvane::PictureError(
          QStringLiteral("the picture is linked to %1 and not stored in the file")
              .arg(r ? r->target : blip.link));
    }
    throw morvane::PictureError(QStringLiteral("the picture has no image data in the file"));
  }
  const PictureBytes bytes = doc.picture(source.part, relId);
  ShapePicture picture;
  const office::render::Crop &c = blip.crop;
  const bool coversFrame = bytes.format == PictureFormat::Jpeg && c.left >= 0 && c.top >= 0 &&
                           c.right >= 0 && c.bottom >= 0;
  const auto behind = [&] { return coversFrame ? QRgb(0xFFFFFFFF) : colorBehindIt(); };
  if (bytes.format == PictureFormat::Svg) {
    checkSvg(bytes.bytes);
    picture.svg = office::render::SvgPicture{bytes.bytes, inches, blip.crop, behind()};
    return picture;
  }
  office::render::PictureSource stored = pictureSource(bytes.bytes, bytes.format);
  stored.crop = blip.crop;
  stored.shapeSizeInches = inches;
  stored.background = qRgb(qRed(behind()), qGreen(behind()), qBlue(behind()));  // opaque
  stored.cache = doc.exportCache();
  stored.cacheId = doc.pictureId(bytes.partName);
  picture.stored = std::move(stored);
  return picture;
}

bool isChartFrame(const ShapeModel &shape) {
  return shape.element == Element::GraphicFrame &&
         (shape.content == FrameContent::Chart || shape.content == FrameContent::ChartEx);
}

// The chart part of a chart frame; throws morvane::PictureError when it is
// missing or cannot be read.
PictureBytes chartPart(const PartContext &context, const ShapeModel &shape) {
  const Relationship *r = context.doc->package().relationships(context.part).byId(shape.chartRelId);
  if (!r || r->external)
    throw morvane::PictureError(
        QStringLiteral("the chart's part is not named by %1").arg(context.part));
  if (!context.doc->package().hasPart(r->target))
    throw morvane::PictureError(
        QStringLiteral("the chart part %1 is missing from the file").arg(r->target));
  PictureBytes part;
  part.partName = r->target;
  part.format = PictureFormat::Chart;
  try {
    part.bytes = context.doc->package().readPart(r->target);
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
  return part;
}

QSizeF chartInches(const ShapePath &path) {
  const QSizeF inches = shapeSizeInches(path);
  return inches.isEmpty() ? kDefaultChartInches : inches;
}

ShapePicture drawChartFrame(const PartContext &context, const ShapePath &path) {
  const ShapeModel &shape = *path.shape;
  const PictureBytes part = chartPart(context, shape);
  chart::ChartStyle style;
  style.pixelSize = pixelsAt150Dpi(chartInches(path));
  style.colors = context.doc->colorContext(context.part);
  const Theme *theme = context.doc->themeOf(context.part);
  style.fontFamily = theme ? theme->minorLatin : QString();
  style.background = colorBehind(context, path);
  Document &doc = *context.doc;
  const QString chartName = part.partName;
  style.picture = [&doc, chartName](const QString &relId) {
    std::optional<office::render::PictureSource> source;
    try {
      const PictureBytes bytes = doc.picture(chartName, relId);
      source = pictureSource(bytes.bytes, bytes.format);
    } catch (const morvane::PictureError &) {
    }
    return source;
  };
  ShapePicture picture;
  try {
    chart::BuiltChart built = shape.content == FrameContent::ChartEx
                                  ? chart::buildChartEx(part.bytes, part.partName, style)
                                  : chart::buildChart(part.bytes, part.partName, style);
    picture.chart = std::move(built.spec);
    picture.warning = built.warning;
  } catch (const morvane::PictureError &) {
    throw;
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
  return picture;
}

}  // namespace

QSizeF shapeSizeInches(const ShapePath &path) {
  if (!path.shape->frame) return {};
  double cx = double(path.shape->frame->cx), cy = double(path.shape->frame->cy);
  // Each group maps its child space (chExt) onto its own frame (ext).
  for (auto group = path.groups.rbegin(); group != path.groups.rend(); ++group) {
    const ShapeModel &g = **group;
    if (!g.frame || !g.childFrame || g.childFrame->cx <= 0 || g.childFrame->cy <= 0) continue;
    cx *= double(g.frame->cx) / double(g.childFrame->cx);
    cy *= double(g.frame->cy) / double(g.childFrame->cy);
  }
  if (!(cx > 0 && cy > 0)) return {};
  return QSizeF(cx / kEmuPerInch, cy / kEmuPerInch);
}

QRgb colorBehind(const PartContext &context, const ShapePath &path) {
  const ShapeModel *owner = path.shape;
  // A group fill is the fill of the nearest group that has one.
  for (auto group = path.groups.rbegin();
       owner->fill.kind == Fill::Kind::Group && group != path.groups.rend(); ++group)
    owner = *group;
  ColorContext colors = context.doc->colorContext(context.part);
  Fill fill = owner->fill;
  if (fill.kind == Fill::Kind::Unset && owner->fillRef && owner->element == Element::Sp) {
    if (const Theme *theme = context.doc->themeOf(context.part)) {
      fill = themeFill(*theme, *owner->fillRef);
      colors.placeholder = resolveColor(owner->fillRef->color, colors);
    }
  }
  if (!owner->useBackgroundFill) {
    const std::optional<QRgb> own = context.doc->fillColor(fill, context.part, colors);
    if (own && isOpaque(*own)) return *own;
  }
  return context.doc->backgroundColor(context.part);
}

QSize chartPixelSize(const ShapePath &path) { return pixelsAt150Dpi(chartInches(path)); }

ShapePicture shapePicture(const PartContext &context, const ShapePath &path) {
  const ShapeModel &shape = *path.shape;
  if (isChartFrame(shape)) return drawChartFrame(context, path);
  const auto source = blipOf(context, shape);
  if (!source) failNoPicture();
  return pictureOfBlip(*context.doc, *source, shapeSizeInches(path),
                       [&] { return colorBehind(context, path); });
}

PictureBytes storedShapePicture(const PartContext &context, const ShapePath &path,
                                office::render::Crop *crop) {
  const ShapeModel &shape = *path.shape;
  if (isChartFrame(shape)) return chartPart(context, shape);
  const auto source = blipOf(context, shape);
  if (!source) failNoPicture();
  const BlipRef &blip = source->blip;
  const QString &relId = !blip.svgEmbed.isEmpty() ? blip.svgEmbed : blip.embed;
  if (relId.isEmpty()) pictureOfBlip(*context.doc, *source, {}, white);  // throws the reason
  if (crop) *crop = blip.crop;
  return context.doc->picture(source->part, relId);
}

ShapePicture backgroundPicture(const PartContext &context) {
  const Document::EffectiveBackground background = context.doc->background(context.part);
  if (background.fill.kind != Fill::Kind::Blip)
    throw morvane::Error(
        QStringLiteral("The background of %1 is not a picture").arg(context.where));
  return pictureOfBlip(*context.doc, {background.definedIn, background.fill.blip},
                       context.doc->slideSizeInches(), white);
}

PictureBytes storedBackgroundPicture(const PartContext &context, office::render::Crop *crop) {
  const Document::EffectiveBackground background = context.doc->background(context.part);
  if (background.fill.kind != Fill::Kind::Blip)
    throw morvane::Error(
        QStringLiteral("The background of %1 is not a picture").arg(context.where));
  const BlipRef &blip = background.fill.blip;
  const QString &relId = !blip.svgEmbed.isEmpty() ? blip.svgEmbed : blip.embed;
  if (relId.isEmpty())
    throw morvane::PictureError(
        QStringLiteral("the background picture has no image data in the file"));
  if (crop) *crop = blip.crop;
  return context.doc->picture(background.definedIn, relId);
}

QString writeShapePicture(const ShapePicture &picture, const QString &path,
                          PowerPoint::PpShapeFormat filter) {
  if (filter != PowerPoint::ppShapeFormatJPG && filter != PowerPoint::ppShapeFormatBMP)
    throw morvane::Error(QStringLiteral("Export filter %1 is not supported").arg(int(filter)));
  const bool jpeg = filter == PowerPoint::ppShapeFormatJPG;
  if (picture.stored) {
    const office::render::ExportResult result =
        jpeg ? office::render::exportJpeg(*picture.stored, path)
             : office::render::exportBmp(*picture.stored, path);
    return result.damage.isEmpty()
               ? QString()
               : QStringLiteral("part of the picture is filled in (%1)").arg(result.damage);
  }
  if (picture.svg)
    jpeg ? office::render::exportSvgJpeg(*picture.svg, path)
         : office::render::exportSvgBmp(*picture.svg, path);
  else if (picture.chart)
    jpeg ? office::render::exportChartJpeg(*picture.chart, path)
         : office::render::exportChartBmp(*picture.chart, path);
  return picture.warning;
}

}  // namespace office::pptx
