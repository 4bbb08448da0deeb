#pragma once

// An uncompressed 24-bit BMP: BITMAPFILEHEADER, a 40-byte BITMAPINFOHEADER
// and the rows bottom-up, each padded to a multiple of 4 bytes. Transparency
// is composited onto white first.

#include <QByteArray>
#include <QImage>

namespace office::render {

QByteArray encodeBmp24(const QImage &image);

}  // namespace office::render
