#pragma once

// PNG decoding row by row with libpng: a picture is never held whole unless
// it is interlaced, and a damaged picture is decoded up to the row where its
// data fails. Checksums are not enforced (a wrong CRC over good data still
// decodes, as other readers show it); broken compressed data ends the rows.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <memory>

namespace office::render {

class PngDecoder {
 public:
  // Reads the header; throws morvane::PictureError when it cannot be read.
  explicit PngDecoder(const QByteArray &data);
  ~PngDecoder();
  PngDecoder(const PngDecoder &) = delete;
  PngDecoder &operator=(const PngDecoder &) = delete;

  QSize size() const;
  // 4 (RGBA, not premultiplied) for pictures with transparency, else 3 (RGB).
  int channels() const;
  QByteArray iccProfile() const;
  // Decodes the next row (width * channels() bytes, 8 bits each). False when
  // the data is damaged at or before this row: it and every later row are lost.
  bool readRow(uchar *row);
  QString damage() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace office::render
