#pragma once

// JPEG encoding and decoding, row by row, with libjpeg-turbo's libjpeg API:
// a transcoded picture never needs a second full-size copy, and a damaged
// picture is decoded up to the row where its data fails.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <memory>

namespace office::render {

inline constexpr qint64 kOptimizedJpegPixels = 4LL * 1024 * 1024;

// A baseline JPEG of 8-bit RGB rows: quality 90, no chroma subsampling
// (4:4:4, so saturated text keeps its colour edges), a JFIF header with the
// given density, and the ICC profile when one is given. Pictures up to
// kOptimizedJpegPixels get optimised Huffman tables; libjpeg needs a buffer
// of 6 bytes per pixel for them, so larger ones are written in one pass with
// the standard tables. Failures throw morvane::PictureError.
class JpegEncoder {
 public:
  JpegEncoder(QSize size, int dotsPerInch, const QByteArray &iccProfile = {});
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder &) = delete;
  JpegEncoder &operator=(const JpegEncoder &) = delete;

  // The next row: width * 3 bytes, red, green, blue.
  void writeRow(const uchar *rgb);
  // Completes the file; every row must have been written.
  QByteArray finish();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Reads a JPEG's rows as 8-bit RGB (grey, YCbCr and RGB files; CMYK and YCCK
// files are converted). The constructor throws morvane::PictureError when
// the header cannot be read.
class JpegDecoder {
 public:
  explicit JpegDecoder(const QByteArray &data);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder &) = delete;
  JpegDecoder &operator=(const JpegDecoder &) = delete;

  QSize size() const;
  QByteArray iccProfile() const;
  // Skips the next count rows without converting them to colour; false when
  // the data is damaged there (no later row can be decoded).
  bool skipRows(int count);
  // Decodes the next row into rgb (width * 3 bytes). False when the data is
  // damaged at or before this row: this row and every later one are lost.
  bool readRow(uchar *rgb);
  // What was wrong with the data; empty while nothing was.
  QString damage() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace office::render
