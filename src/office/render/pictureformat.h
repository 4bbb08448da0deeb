#pragma once

// What the bytes of a stored picture say about it before anything is
// decoded: whether it is a Macintosh PICT, and the BMP file header that
// turns a bare DIB into a BMP file. QtCore only: the readers use these
// without loading the drawing module.

#include <QByteArray>
#include <QtGlobal>

namespace office::render {

// A PICT file may start with a 512-byte preamble; its header (picSize and
// picFrame) is followed by the version opcode.
inline constexpr qsizetype kPictPreambleSize = 512;
inline constexpr qsizetype kPictHeaderSize = 10;

// Where the PICT header starts (0 or kPictPreambleSize); -1 when data is not a PICT.
qsizetype pictStart(const QByteArray &data);

// True when data starts with a PICT header (at 0, or after a 512-byte preamble).
inline bool looksLikePict(const QByteArray &data) { return pictStart(data) >= 0; }

// The BITMAPFILEHEADER that starts a BMP file: "BM", the file's size, the
// offset of the pixel bits.
inline constexpr qsizetype kBmpFileHeaderSize = 14;
QByteArray bmpFileHeader(quint32 fileSize, quint32 bitsOffset);

// The BMP file header that turns a DIB into a BMP file, with the
// offset of the pixel bits worked out from the DIB's own header. Throws
// morvane::PictureError for a header that is not a DIB's.
QByteArray bmpFileHeaderForDib(const QByteArray &dib);

}  // namespace office::render
