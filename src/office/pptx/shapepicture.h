#pragma once

// What Shape.Export, Shape.Picture and Shape.OriginalPicture give for a
// shape of a PowerPoint 2007+ slide: the stored picture of a picture, a
// picture fill or an embedded object's preview; a chart drawn from its part;
// a slide background's picture.

#include <QRgb>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "office/model/powerpoint.h"
#include "office/pptx/document.h"
#include "office/render/chart/chartspec.h"
#include "office/render/export.h"
#include "office/render/svgpicture.h"

namespace office::pptx {

// Where a shape lives: the document, the part it was read from (a slide,
// layout, master or notes slide) and how a message names it.
struct PartContext {
  std::shared_ptr<Document> doc;
  std::shared_ptr<const SlideModel> model;
  QString part;
  QString where;  // "slide 3", "the notes of slide 3", "master 1" ...
};

// A shape with the groups that hold it, outermost first.
struct ShapePath {
  const ShapeModel *shape = nullptr;
  std::vector<const ShapeModel *> groups;
};

// The shape's size on the slide in inches (group scaling applied); empty
// when it has no frame of its own.
QSizeF shapeSizeInches(const ShapePath &path);

// The colour the slide shows behind the shape: its own fill, else the
// slide's background (its own or inherited), white when none.
QRgb colorBehind(const PartContext &context, const ShapePath &path);

// What the export writes for a shape: one of a stored picture, an SVG
// picture or a chart.
struct ShapePicture {
  std::optional<office::render::PictureSource> stored;
  std::optional<office::render::SvgPicture> svg;
  std::optional<office::render::ChartSpec> chart;
  QString warning;  // what the user should know
};

// The picture Export writes for the shape; throws morvane::PictureError when
// it cannot be read, morvane::Error when the shape holds none.
ShapePicture shapePicture(const PartContext &context, const ShapePath &path);
// The stored picture behind it (for an SVG picture, the SVG itself; for a
// chart, its chart part, format PictureFormat::Chart).
PictureBytes storedShapePicture(const PartContext &context, const ShapePath &path,
                                office::render::Crop *crop);
// The pixel size a chart frame is drawn at (150 dpi).
QSize chartPixelSize(const ShapePath &path);

// The same for the background of a slide-like part; throws morvane::Error
// when the background is not a picture.
ShapePicture backgroundPicture(const PartContext &context);
PictureBytes storedBackgroundPicture(const PartContext &context, office::render::Crop *crop);

// Writes a picture through the export (JPEG or BMP as filter asks) and
// returns the note the user should read about it (part of the picture
// filled in, part of a chart not drawn); empty when there is none.
QString writeShapePicture(const ShapePicture &picture, const QString &path,
                          PowerPoint::PpShapeFormat filter);

}  // namespace office::pptx
