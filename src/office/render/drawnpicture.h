#pragma once

// Writing a picture we drew ourselves (a chart, an SVG picture) the way the
// export writes drawn metafiles: a JPEG (quality 90, no chroma subsampling)
// or an uncompressed 24-bit BMP at 150 dpi, through an atomic file.

#include <QImage>
#include <QString>

namespace office::render {

void writeDrawnJpeg(const QImage &image, const QString &path);
void writeDrawnBmp(const QImage &image, const QString &path);

}  // namespace office::render
