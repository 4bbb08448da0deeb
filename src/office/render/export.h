#pragma once

// Picture export: turns one stored picture into an output file. The
// presentation reader hands over what it found for a shape; this layer knows
// nothing about slides. Every failure throws morvane::Error.

#include <QByteArray>
#include <QColor>
#include <QRect>
#include <QSizeF>
#include <QString>

namespace office::render {

enum class BlipFormat { Emf, Wmf, Pict, Jpeg, Png, Dib, Tiff, Unknown };

// Crop from each edge as a fraction of the picture (the 16.16 fixed values of
// the crop-from-edge properties divided by 65536); negative values extend.
struct Crop {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool isNone() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};

struct PictureSource {
  BlipFormat format = BlipFormat::Unknown;
  // The picture bytes, decompressed. Bitmaps: the file as stored (JPEG, PNG,
  // TIFF; DIB = BITMAPINFOHEADER + palette + bits, no file header).
  // Metafiles: the metafile itself (EMF; WMF without placeable header as
  // PowerPoint stores it, or with one; PICT without its 512-byte preamble).
  QByteArray data;
  // Metafiles only: the stored metafile header's bounds (rcBounds) and size
  // in EMUs (ptSize); empty when unknown.
  QRect metafileBounds;
  QSize metafileSizeEmu;
  Crop crop;
  // What the slide shows behind the picture: transparent or uncovered areas
  // are flattened onto this colour.
  QColor background = Qt::white;
  // The shape's size on the slide, in inches; metafiles are rendered at this
  // size at kMetafileDpi. Empty when unknown (the metafile's own size is used).
  QSizeF shapeSizeInches;
};

inline constexpr int kMetafileDpi = 150;

// Writes a JPEG at path. An uncropped JPEG is written byte for byte as stored;
// everything else is decoded (or rendered) and encoded as a baseline JPEG.
void exportJpeg(const PictureSource &picture, const QString &path);

// Renders the picture and writes it at path as an uncompressed 24-bit BMP.
void exportBmp(const PictureSource &picture, const QString &path);

}  // namespace office::render
