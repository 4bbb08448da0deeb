#pragma once

// Bitmap handling for picture export: limits on pixel sizes, decoding the
// stored bitmaps that Qt's image codecs read whole (TIFF, DIB, GIF), turning
// a bare DIB into a BMP file, cropping and flattening an image in memory.
// A picture that cannot be decoded throws morvane::PictureError.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

#include "office/render/export.h"
#include "office/render/pictureformat.h"

namespace office::render {

// Limits on any image this layer decodes or renders.
inline constexpr int kMaxPixelEdge = 16384;
inline constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
// Qt's own decoder limit, in megabytes (4 bytes per pixel of kMaxPixels).
inline constexpr int kDecoderAllocationLimitMb = 256;

// Throws unless size is non-empty and within the limits above.
void checkPixelSize(QSize size, const QString &what);

// Pictures up to kFreePixels decode whatever their size in bytes; bigger
// ones need at least one stored byte per maxPixelsPerByte pixels.
inline constexpr qint64 kFreePixels = 16LL * 1024 * 1024;
void checkSizeAgainstData(QSize size, qsizetype byteCount, qint64 maxPixelsPerByte);

// Shrinks size (keeping its aspect) until it fits the limits; at least 1x1.
QSize clampPixelSize(QSize size);

// The Qt image format of a stored bitmap: by its leading bytes when they
// show one (the stored type is sometimes wrong), else by the declared type;
// "" when neither tells. Naming it keeps Qt from loading every image plugin
// to probe the data.
const char *qtFormatFor(const QByteArray &data, BlipFormat format);

// Decodes a stored bitmap whole with Qt, at its own pixel size.
QImage decodeBitmap(const PictureSource &picture);

// Where a crop puts a picture on its output: the output's size, and the
// output pixel at which the picture's top left pixel lands. The fractions
// are rounded to whole pixels; throws morvane::PictureError when the crop
// leaves no pixel or too many.
struct Placement {
  QSize output;
  QPoint origin;
};
Placement placementFor(QSize picture, const Crop &crop);

// Crops by fractions of each edge; negative fractions extend the picture and
// the new area is background. Returns the image unchanged when crop is none.
QImage cropImage(const QImage &image, const Crop &crop, QColor background = Qt::white);

// An opaque RGB32 copy of image with any transparency composited onto background.
QImage flatten(const QImage &image, QColor background);

}  // namespace office::render
