#pragma once

// Builds small QuickDraw version 2 pictures for the tests.

#include <QByteArray>
#include <QRect>

class PictBuilder {
 public:
  // frame: left, top, right, bottom in picture coordinates.
  PictBuilder(int left, int top, int right, int bottom, bool extended = false, int dpi = 72) {
    word(0);
    rect(left, top, right, bottom);
    word(0x0011);
    word(0x02FF);
    word(0x0C00);
    if (extended) {
      word(0xFFFE);
      word(0);
      fixed(dpi);
      fixed(dpi);
      rect(left, top, right, bottom);
      longWord(0);
    } else {
      word(0xFFFF);
      word(0xFFFF);
      for (int v : {left, top, right, bottom}) fixed(v);
      longWord(0);
    }
  }

  PictBuilder &word(int v) {
    bytes_.append(char((v >> 8) & 0xFF));
    bytes_.append(char(v & 0xFF));
    return *this;
  }
  PictBuilder &byte(int v) {
    bytes_.append(char(v & 0xFF));
    return *this;
  }
  PictBuilder &longWord(quint32 v) { return word(int(v >> 16)).word(int(v & 0xFFFF)); }
  PictBuilder &fixed(int v) { return word(v).word(0); }
  PictBuilder &rect(int left, int top, int right, int bottom) {
    return word(top).word(left).word(bottom).word(right);
  }
  PictBuilder &align() {
    if (bytes_.size() & 1) bytes_.append('\0');
    return *this;
  }
  PictBuilder &rgbFore(int r, int g, int b) {
    return word(0x1A).word(r * 257).word(g * 257).word(b * 257);
  }
  PictBuilder &paintRect(int left, int top, int right, int bottom) {
    return word(0x31).rect(left, top, right, bottom);
  }
  PictBuilder &raw(const QByteArray &data) {
    bytes_.append(data);
    return *this;
  }
  QByteArray end() {
    align();
    word(0x00FF);
    return bytes_;
  }
  const QByteArray &bytes() const { return bytes_; }
  QByteArray withPreamble() { return QByteArray(512, '\0') + end(); }

 private:
  QByteArray bytes_;
};
