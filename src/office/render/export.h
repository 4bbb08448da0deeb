#pragma once

// Picture export: turns one stored picture into an output file. The
// presentation reader hands over what it found for a shape; this layer knows
// nothing about slides. A picture of which nothing can be decoded (or drawn)
// throws morvane::PictureError and writes nothing; a picture damaged part way
// is written as far as it decodes, the rest in the background colour. A file
// that cannot be written throws morvane::Error ("Cannot write <path>: ...").

#include <QByteArray>
#include <QRect>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <memory>

namespace office::render {

class ExportCache;

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
  QRgb background = 0xFFFFFFFF;
  // The shape's size on the slide, in inches; metafiles are rendered at this
  // size at kMetafileDpi. Empty when unknown (the metafile's own size is used).
  QSizeF shapeSizeInches;
  // Outputs already made from the pictures of the same presentation, and
  // this picture's id there (its reader's own numbering). No cache: every
  // export decodes afresh.
  std::shared_ptr<ExportCache> cache;
  std::uint64_t cacheId = 0;
};

inline constexpr int kMetafileDpi = 150;
// The density written into outputs decoded from stored bitmaps; drawn
// pictures (metafiles, PICT) carry kMetafileDpi, the density they are drawn at.
inline constexpr int kBitmapOutputDpi = 96;

struct ExportResult {
  // Why part of the written picture shows the background colour (its data is
  // damaged, or its drawing was cut short); empty when it came out whole.
  QString damage;
};

// Writes a JPEG at path. An uncropped RGB or grey JPEG is written byte for
// byte as stored; everything else is decoded (or drawn) and encoded as a
// baseline JPEG, quality 90, without chroma subsampling, by the drawing
// module (drawingmodule.h), loaded for the first picture that needs it.
ExportResult exportJpeg(const PictureSource &picture, const QString &path);

// Draws the picture and writes it at path as an uncompressed 24-bit BMP.
ExportResult exportBmp(const PictureSource &picture, const QString &path);

}  // namespace office::render
