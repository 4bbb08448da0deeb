#pragma once

// Bitmap handling for picture export: decoding stored bitmaps with Qt's image
// codecs, turning a bare DIB into a BMP file, cropping, flattening onto white
// and encoding a baseline JPEG. Every failure throws morvane::Error.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "office/render/export.h"

namespace office::render {

// Limits on any image this layer decodes or renders.
inline constexpr int kMaxPixelEdge = 16384;
inline constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
// Qt's own decoder limit, in megabytes (4 bytes per pixel of kMaxPixels).
inline constexpr int kDecoderAllocationLimitMb = 256;

// Throws unless size is non-empty and within the limits above.
void checkPixelSize(QSize size, const QString &what);

// Shrinks size (keeping its aspect) until it fits the limits; at least 1x1.
QSize clampPixelSize(QSize size);

// The BMP file header (14 bytes) that turns a DIB into a BMP file, with the
// offset of the pixel bits worked out from the DIB's own header.
QByteArray bmpFileHeaderForDib(const QByteArray &dib);

// Decodes a stored bitmap (JPEG, PNG, TIFF, DIB) at its own pixel size.
QImage decodeBitmap(const PictureSource &picture);

// Crops by fractions of each edge; negative fractions extend the picture and
// the new area is white. Returns the image unchanged when crop is none.
QImage cropImage(const QImage &image, const Crop &crop);

// An opaque RGB32 copy of image with any transparency composited onto white.
QImage flattenOnWhite(const QImage &image);

// A baseline JPEG of image (quality 90, not progressive).
QByteArray encodeJpeg(const QImage &image);

}  // namespace office::render
