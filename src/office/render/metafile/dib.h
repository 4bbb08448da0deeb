#pragma once

// Device-independent bitmaps (a BITMAPINFO header, its colour table and the
// pixel bits, as metafiles embed them) decoded into a QImage.

#include <QImage>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>

namespace office::render::metafile {

// The pixels a DIB's header claims (0 when it cannot be read), so that
// players charge them before decoding.
qint64 dibPixelCount(const std::uint8_t *info, std::size_t infoSize);

// Decodes a DIB whose header and bits lie apart (EMF). Returns a null image
// when the header is damaged, the bitmap is too large (16 Mpixels) or its
// bits hold far less than the header claims (under half of it; run-length
// data, under one byte per 128 pixels); bits a little short are padded with
// zeros. withAlpha: a 32-bit bitmap's fourth byte is its
// premultiplied alpha (as alpha-blended bitmaps store it).
QImage dibToImage(const std::uint8_t *info, std::size_t infoSize, const std::uint8_t *bits,
                  std::size_t bitsSize, bool withAlpha = false);

// Decodes a packed DIB: header, colour table and bits in one block (WMF).
QImage packedDibToImage(const std::uint8_t *dib, std::size_t size);

}  // namespace office::render::metafile
