#pragma once

// The transcoding pipeline: a picture is read row by row from its decoder,
// cropped (or extended), flattened onto the colour behind it and handed row
// by row to the output, so a large picture is never held twice. A picture
// damaged part way keeps the rows decoded before the damage; the rest shows
// the background colour.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "office/render/export.h"

namespace office::render {

class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual QSize size() const = 0;
  // 3: rows of RGB; 4: rows of RGBA, not premultiplied.
  virtual int channels() const = 0;
  // Decodes the next row (width * channels() bytes). False once the data is
  // damaged: that row and every later one are lost.
  virtual bool readRow(uchar *row) = 0;
  // Passes over the next count rows; false when the data is damaged there.
  virtual bool skipRows(int count);
  // What went wrong with the data; empty while nothing did.
  virtual QString damage() const = 0;
  virtual QByteArray iccProfile() const { return {}; }
};

// The decoder for a stored bitmap, picked by its leading bytes (the stored
// type is sometimes wrong), else by its declared format: JPEG and PNG are
// decoded row by row, TIFF, BMP, DIB and GIF by Qt's image readers with the
// format named. Throws morvane::PictureError when nothing can be read.
std::unique_ptr<RowSource> openBitmap(const PictureSource &picture);

// A source over an image already in memory (a drawn metafile).
std::unique_ptr<RowSource> imageSource(const QImage &image);

struct Encoded {
  QByteArray bytes;
  QString damage;  // why part of the picture shows the background, if it does
};

// The picture cropped, flattened onto background and encoded as a JPEG of
// the given density. Throws morvane::PictureError when no row of the picture
// can be decoded.
Encoded transcodeToJpeg(RowSource &source, const Crop &crop, QColor background, int dotsPerInch);

// The same as an opaque image (for BMP output).
QImage composeImage(RowSource &source, const Crop &crop, QColor background, QString *damage);

}  // namespace office::render
