#include "office/render/pict.h"

#include "office/render/drawingwork.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QStringDecoder>
#include <QTransform>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "common/error.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr double kQuickDrawDpi = 72.0;
constexpr int kMaxOpcodes = 2'000'000;
constexpr int kMaxColorTableEntries = 256;
constexpr int kMaxRegionRects = 100'000;

// The work budget of one picture (drawingwork.h): each drawing operation
// costs the pixels of its bounding box on the image (clipped to the image),
// each decoded bitmap its pixel count, each path element and region rectangle
// and each opcode a fixed amount.
constexpr qint64 kOpcodeCost = 16;

[[noreturn]] void damaged(const QString &what, qsizetype offset) {
  throw morvane::PictureError(
      QStringLiteral("the PICT data is damaged (%1 at byte %2)").arg(what).arg(offset));
}

// Bounds-checked big-endian reading.
class BeReader {
 public:
  BeReader(const uchar *data, qsizetype size, qsizetype base = 0)
      : data_(data), size_(size), base_(base) {}

  qsizetype pos() const { return pos_; }
  qsizetype remaining() const { return size_ - pos_; }
  qsizetype offset() const { return base_ + pos_; }
  const uchar *current() const { return data_ + pos_; }

  void seek(qsizetype pos) {
    if (pos < 0 || pos > size_) damaged(QStringLiteral("jump outside the picture"), base_ + pos);
    pos_ = pos;
  }
  void skip(qint64 count) {
    if (count < 0 || count > remaining())
      damaged(QStringLiteral("data runs past the end"), offset());
    pos_ += qsizetype(count);
  }
  void alignEven() {
    if (pos_ & 1) skip(std::min<qsizetype>(1, remaining()));
  }
  quint8 u8() {
    need(1);
    return data_[pos_++];
  }
  quint16 u16() {
    need(2);
    const quint16 v = quint16((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  qint16 i16() { return qint16(u16()); }
  quint32 u32() {
    const quint32 high = u16();
    return (high << 16) | u16();
  }
  qint32 i32() { return qint32(u32()); }
  double fixed() { return i32() / 65536.0; }
  QRect rect() {  // top, left, bottom, right
    const int top = i16(), left = i16(), bottom = i16(), right = i16();
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
  }
  QPoint point() {  // v, h
    const int v = i16();
    return QPoint(i16(), v);
  }
  BeReader sub(qint64 count) {
    need(count);
    BeReader r(data_ + pos_, qsizetype(count), offset());
    pos_ += qsizetype(count);
    return r;
  }
  QByteArray bytes(qint64 count) {
    need(count);
    QByteArray out(reinterpret_cast<const char *>(data_ + pos_), qsizetype(count));
    pos_ += qsizetype(count);
    return out;
  }

 private:
  void need(qint64 count) const {
    if (count < 0 || count > size_ - pos_)
      damaged(QStringLiteral("data runs past the end"), offset());
  }
  const uchar *data_;
  qsizetype size_;
  qsizetype base_;
  qsizetype pos_ = 0;
};

// Where the picture proper starts: 0, or 512 when a file preamble precedes it.
struct PictHeader {
  qsizetype start = 0;
  int version = 2;
  QRect frame;        // the coordinate space the opcodes draw in
  QSizeF sizeInches;  // the picture's own size
  qsizetype firstOpcode = 0;
};

PictHeader readHeader(const QByteArray &data) {
  PictHeader header;
  header.start = pictStart(data);
  if (header.start < 0) damaged(QStringLiteral("no picture header"), 0);
  BeReader in(reinterpret_cast<const uchar *>(data.constData()) + header.start,
              data.size() - header.start, header.start);
  in.u16();  // picSize: the low 16 bits of the length, meaningless for large pictures
  header.frame = in.rect();
  QSizeF resolution(kQuickDrawDpi, kQuickDrawDpi);
  if (in.u8() == 0x11 && in.u8() == 0x01) {
    header.version = 1;
  } else {
    in.seek(kPictHeaderSize + 4);
    header.version = 2;
    if (in.remaining() >= 26 && in.u16() == 0x0C00) {
      const qint16 headerVersion = in.i16();
      if (headerVersion == -2) {  // extended version 2: native resolution and source rectangle
        in.u16();
        const double hRes = in.fixed(), vRes = in.fixed();
        const QRect source = in.rect();
        if (hRes > 0 && vRes > 0 && source.width() > 0 && source.height() > 0) {
          resolution = QSizeF(hRes, vRes);
          header.frame = source;
        }
      }
      in.seek(kPictHeaderSize + 4 + 26);
    } else {
      in.seek(kPictHeaderSize + 4);
    }
  }
  header.firstOpcode = in.pos();
  if (header.frame.width() <= 0 || header.frame.height() <= 0)
    damaged(QStringLiteral("empty picture frame"), header.start + 2);
  header.sizeInches = QSizeF(header.frame.width() / resolution.width(),
                             header.frame.height() / resolution.height());
  return header;
}

QRgb color48(BeReader &in) {
  const int r = in.u16() >> 8, g = in.u16() >> 8, b = in.u16() >> 8;
  return qRgb(r, g, b);
}

// The colour a one-bit 8x8 pattern gives on average, between fore and back.
QColor patternColor(const QByteArray &pattern, QRgb fore, QRgb back) {
  int set = 0;
  for (char byte : pattern) set += std::popcount(quint8(byte));
  const double f = set / 64.0;
  auto mix = [f](int a, int b) { return int(a * f + b * (1 - f) + 0.5); };
  return QColor(mix(qRed(fore), qRed(back)), mix(qGreen(fore), qGreen(back)),
                mix(qBlue(fore), qBlue(back)));
}

// Unpacks one PackBits run-length encoded row of unitSize-byte units.
void unpackBits(BeReader in, QByteArray &out, qsizetype expected, int unitSize) {
  out.resize(0);
  out.reserve(expected);
  while (in.remaining() > 0 && out.size() < expected) {
    const int flag = qint8(in.u8());
    if (flag >= 0) {
      out.append(in.bytes(qint64(flag + 1) * unitSize));
    } else if (flag != -128) {
      const QByteArray unit = in.bytes(unitSize);
      for (int i = 0; i < 1 - flag; ++i) out.append(unit);
    }
  }
  if (out.size() < expected) out.append(QByteArray(expected - out.size(), '\0'));
  out.truncate(expected);
}

struct PixMapInfo {
  bool isPixMap = false;
  int rowBytes = 0;
  QRect bounds;
  int packType = 0;
  int pixelType = 0;
  int pixelSize = 1;
  int cmpCount = 1;
  QVector<QRgb> colors;
};

void readPixMapFields(BeReader &in, PixMapInfo &pm) {
  in.u16();  // pmVersion
  pm.packType = in.u16();
  in.u32();  // packSize
  in.u32();  // hRes
  in.u32();  // vRes
  pm.pixelType = in.u16();
  pm.pixelSize = in.u16();
  pm.cmpCount = in.u16();
  in.u16();  // cmpSize
  in.u32();  // planeBytes
  in.u32();  // pmTable
  in.u32();  // pmReserved
}

void readColorTable(BeReader &in, PixMapInfo &pm) {
  in.u32();  // ctSeed
  const bool byPosition = in.u16() & 0x8000;
  const int count = in.i16() + 1;
  if (count < 0 || count > kMaxColorTableEntries)
    damaged(QStringLiteral("colour table of %1 entries").arg(count), in.offset());
  pm.colors = QVector<QRgb>(kMaxColorTableEntries, qRgb(0, 0, 0));
  for (int i = 0; i < count; ++i) {
    const int value = in.u16() & 0xFF;
    pm.colors[byPosition ? i : value] = color48(in);
  }
}

void checkRasterSize(const PixMapInfo &pm, qsizetype offset) {
  const QRect &b = pm.bounds;
  if (b.width() <= 0 || b.height() <= 0 || b.width() > kMaxPixelEdge ||
      b.height() > kMaxPixelEdge || qint64(b.width()) * b.height() > kMaxPixels)
    damaged(QStringLiteral("bitmap of %1 x %2 pixels").arg(b.width()).arg(b.height()), offset);
  const int bits = pm.pixelSize;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 32)
    damaged(QStringLiteral("%1 bits per pixel").arg(bits), offset);
  if (pm.rowBytes <= 0) damaged(QStringLiteral("bitmap rows of no bytes"), offset);
}

// PackBits turns at most 2 stored bytes into 128: a bitmap whose pixels need
// more than that from the bytes left is refused before its image is allocated.
constexpr qint64 kMaxPackBitsExpansion = 64;
constexpr qint64 kRasterSlackBytes = 4096;

void checkRasterFitsData(const PixMapInfo &pm, const BeReader &in) {
  const qint64 bitsPerPixel = std::min(pm.pixelSize, 24);
  const qint64 rowBytes = (qint64(pm.bounds.width()) * bitsPerPixel + 7) / 8;
  const qint64 needed = rowBytes * pm.bounds.height();
  if (needed > kMaxPackBitsExpansion * in.remaining() + kRasterSlackBytes)
    damaged(QStringLiteral("bitmap of %1 x %2 pixels in %3 bytes")
                .arg(pm.bounds.width())
                .arg(pm.bounds.height())
                .arg(in.remaining()),
            in.offset());
}

// Reads one stored row: raw when short or unpacked, otherwise a byte count and
// PackBits data.
void readRow(BeReader &in, const PixMapInfo &pm, QByteArray &row, qsizetype expected, int unitSize,
             bool packed) {
  if (!packed || pm.rowBytes < 8) {
    row = in.bytes(std::min<qint64>(pm.rowBytes, in.remaining()));
    if (row.size() < expected) row.append(QByteArray(expected - row.size(), '\0'));
    return;
  }
  const int count = pm.rowBytes > 250 ? in.u16() : in.u8();
  unpackBits(in.sub(count), row, expected, unitSize);
}

QImage readIndexedPixels(BeReader &in, const PixMapInfo &pm, bool packed) {
  const int width = pm.bounds.width(), height = pm.bounds.height();
  const int bits = pm.pixelSize;
  if (bits > 8) damaged(QStringLiteral("indexed bitmap of %1 bits").arg(bits), in.offset());
  QImage image(width, height, QImage::Format_Indexed8);
  if (image.isNull()) throw morvane::Error(QStringLiteral("Not enough memory for the picture"));
  image.setColorTable(pm.colors.mid(0, 1 << bits));
  const qsizetype rowLength = std::max<qsizetype>(pm.rowBytes, (qsizetype(width) * bits + 7) / 8);
  QByteArray row;
  const int perByte = 8 / bits, mask = (1 << bits) - 1;
  for (int y = 0; y < height; ++y) {
    readRow(in, pm, row, rowLength, 1, packed);
    uchar *line = image.scanLine(y);
    const uchar *src = reinterpret_cast<const uchar *>(row.constData());
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      line[x] = uchar((src[x / perByte] >> shift) & mask);
    }
  }
  return image;
}

QImage readDirectPixels(BeReader &in, const PixMapInfo &pm) {
  const int width = pm.bounds.width(), height = pm.bounds.height();
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) throw morvane::Error(QStringLiteral("Not enough memory for the picture"));
  QByteArray row;
  for (int y = 0; y < height; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    if (pm.pixelSize == 16) {
      readRow(in, pm, row, qsizetype(width) * 2, 2, pm.packType != 1);
      const uchar *s = reinterpret_cast<const uchar *>(row.constData());
      for (int x = 0; x < width; ++x) {
        const int v = (s[2 * x] << 8) | s[2 * x + 1];
        auto expand = [](int c) { return (c << 3) | (c >> 2); };
        line[x] = qRgb(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
      }
    } else if (pm.packType == 1 || pm.rowBytes < 8) {
      readRow(in, pm, row, qsizetype(width) * 4, 1, false);
      const uchar *s = reinterpret_cast<const uchar *>(row.constData());
      for (int x = 0; x < width; ++x) line[x] = qRgb(s[4 * x + 1], s[4 * x + 2], s[4 * x + 3]);
    } else if (pm.packType == 2) {
      row = in.bytes(qint64(width) * 3);
      const uchar *s = reinterpret_cast<const uchar *>(row.constData());
      for (int x = 0; x < width; ++x) line[x] = qRgb(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
    } else {  // components packed plane by plane: [alpha,] red, green, blue
      const int planes = std::clamp(pm.cmpCount, 3, 4);
      readRow(in, pm, row, qsizetype(width) * planes, 1, true);
      const uchar *s = reinterpret_cast<const uchar *>(row.constData()) + (planes - 3) * width;
      for (int x = 0; x < width; ++x) line[x] = qRgb(s[x], s[width + x], s[2 * width + x]);
    }
  }
  return image;
}

// The text of a Pascal string as Latin-1 (close to Mac Roman for letters).
// Text is Mac Roman; Latin-1 stands in where Qt has no Mac Roman decoder.
QString pascalText(BeReader &in) {
  const QByteArray bytes = in.bytes(in.u8());
  QStringDecoder decoder("macintosh");
  return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
}

qint64 workLimitFor(QSize pixelSize) {
  return office::render::workLimitFor(qint64(pixelSize.width()) * pixelSize.height());
}

class PictPainter {
 public:
  PictPainter(const QByteArray &data, const PictHeader &header, QPainter &painter,
              PictRenderStats &stats)
      : header_(header),
        in_(reinterpret_cast<const uchar *>(data.constData()) + header.start,
            data.size() - header.start, header.start),
        painter_(painter),
        stats_(stats),
        deviceRect_(QPointF(0, 0), QSizeF(painter.device()->width(), painter.device()->height())) {}

  // Plays the opcodes; damage ends playback and keeps what is drawn.
  void run() {
    try {
      playOpcodes();
    } catch (const morvane::Error &error) {
      stats_.damage = error.description();
    }
  }

 private:
  void playOpcodes() {
    in_.seek(header_.firstOpcode);
    for (int count = 0; count < kMaxOpcodes; ++count) {
      if (header_.version == 2) in_.alignEven();
      if (in_.remaining() < (header_.version == 2 ? 2 : 1)) return;  // ends without OpEndPic
      const int opcode = header_.version == 2 ? in_.u16() : in_.u8();
      if (opcode == 0x00FF) return;
      ++stats_.opcodes;
      if (!charge(kOpcodeCost) || stats_.stoppedEarly) return;
      if (!perform(opcode)) {
        if (!stats_.stoppedEarly)
          damaged(QStringLiteral("unknown opcode %1").arg(opcode), in_.offset());
        return;
      }
      if (stats_.stoppedEarly) return;
    }
    damaged(QStringLiteral("too many drawing operations"), in_.offset());
  }

  enum class Verb { Frame, Paint, Erase, Invert, Fill };

  // Adds cost to the picture's work; false (and drawing stops) once the
  // budget is spent.
  bool charge(qint64 cost) {
    if (stats_.stoppedEarly) return false;
    if (cost > stats_.workLimit - stats_.work) {
      stats_.stoppedEarly = true;
      return false;
    }
    stats_.work += cost;
    return true;
  }

  // The pixels of the image that a drawing inside logical rect may touch.
  qint64 pixelsCovered(const QRectF &rect) const {
    QRectF device = painter_.transform().mapRect(rect).intersected(deviceRect_);
    if (painter_.hasClipping())
      device = device.intersected(painter_.transform().mapRect(painter_.clipBoundingRect()));
    if (!device.isValid()) return 0;
    return qint64(std::ceil(device.width()) + 1) * qint64(std::ceil(device.height()) + 1);
  }

  // Charges a path's drawing and picks how it is drawn. Qt's antialiasing
  // rasterizer slows down badly on paths with very many edges per row or
  // reaching far outside the image, so such paths are drawn aliased, by the
  // scan-line rasterizer that only visits the image's rows.
  bool chargePath(const QPainterPath &path, double penWidth, bool isFilledRect) {
    const double half = penWidth / 2 + 1;
    const QRectF logical = path.controlPointRect().adjusted(-half, -half, half, half);
    const QRectF device = painter_.transform().mapRect(logical);
    painter_.setRenderHint(
        QPainter::Antialiasing,
        isFilledRect || drawAntialiased(device, path.elementCount(), deviceRect_));
    const QPainterPath onImage = painter_.transform().map(path);
    return chargeDrawing(pixelsCovered(logical) +
                         edgeRowsOnImage(onImage, deviceRect_.height()) * kEdgeRowCost +
                         path.elementCount() * kElementCost);
  }

  // Carries out one opcode; false when it cannot be skipped safely.
  bool perform(int op) {
    if (op >= 0x30 && op <= 0x8F) return shapeOp(op);
    switch (op) {
      case 0x00:
      case 0x1C:
      case 0x1E:
        return true;
      case 0x01:
        clip();
        return true;
      case 0x02:
        backPattern_ = in_.bytes(8);
        return true;
      case 0x03:
        fontId_ = in_.u16();
        return true;
      case 0x04:
        face_ = in_.u8();
        return true;
      case 0x05:
      case 0x08:
      case 0x15:
      case 0x16:
        in_.skip(2);
        return true;
      case 0x06:
        in_.skip(4);
        return true;
      case 0x07:
        penSize_ = in_.point();
        return true;
      case 0x09:
        penPattern_ = in_.bytes(8);
        penColorFromPattern_ = true;
        return true;
      case 0x0A:
        fillPattern_ = in_.bytes(8);
        fillColorFromPattern_ = true;
        return true;
      case 0x0B:
        ovalSize_ = in_.point();
        return true;
      case 0x0C:
        in_.skip(4);
        return true;  // origin: not applied
      case 0x0D:
        textSize_ = in_.u16();
        return true;
      case 0x0E:
        fore_ = quickDrawColor(in_.u32());
        return true;
      case 0x0F:
        back_ = quickDrawColor(in_.u32());
        return true;
      case 0x10:
        in_.skip(8);
        return true;
      case 0x11:
        in_.skip(header_.version == 2 ? 2 : 1);
        return true;
      case 0x12:
        pixPattern(nullptr);
        return true;
      case 0x13:
        pixPattern(&penPixColor_);
        penColorFromPattern_ = false;
        return true;
      case 0x14:
        pixPattern(&fillPixColor_);
        fillColorFromPattern_ = false;
        return true;
      case 0x1A:
        fore_ = color48(in_);
        return true;
      case 0x1B:
        back_ = color48(in_);
        return true;
      case 0x1D:
      case 0x1F:
        in_.skip(6);
        return true;
      case 0x20:
        line(in_.point(), in_.point());
        return true;
      case 0x21:
        line(penPos_, in_.point());
        return true;
      case 0x22:
        shortLine();
        return true;
      case 0x23:
        shortLineFrom();
        return true;
      case 0x28:
        textPos_ = in_.point();
        text(pascalText(in_));
        return true;
      case 0x29:
        textPos_.rx() += in_.u8();
        text(pascalText(in_));
        return true;
      case 0x2A:
        textPos_.ry() += in_.u8();
        text(pascalText(in_));
        return true;
      case 0x2B:
        textPos_.rx() += in_.u8();
        textPos_.ry() += in_.u8();
        text(pascalText(in_));
        return true;
      case 0x2C:
        fontName();
        return true;
      case 0x90:
      case 0x91:
      case 0x98:
      case 0x99:
        indexedBits(op);
        return true;
      case 0x9A:
      case 0x9B:
        directBits(op);
        return true;
      case 0xA0:
        in_.skip(2);
        return true;
      case 0xA1:
        in_.skip(2);
        in_.skip(in_.u16());
        return true;
      case 0x8200:
      case 0x8201:
        quickTime(op);
        return true;
      default:
        return skipReserved(op);
    }
  }

  bool skipReserved(int op) {
    if ((op >= 0x17 && op <= 0x19) || (op >= 0xB0 && op <= 0xCF) || (op >= 0x8000 && op <= 0x80FF))
      return true;
    if ((op >= 0x24 && op <= 0x2F) || (op >= 0x92 && op <= 0x97) || (op >= 0x9C && op <= 0x9F) ||
        (op >= 0xA2 && op <= 0xAF)) {
      in_.skip(in_.u16());
      return true;
    }
    if ((op >= 0xD0 && op <= 0xFE) || op >= 0x8100) {
      in_.skip(in_.u32());
      return true;
    }
    if (op >= 0x0100 && op <= 0x7FFF) {
      in_.skip((op >> 8) * 2);
      return true;
    }
    return false;
  }

  static QRgb quickDrawColor(quint32 code) {
    switch (code) {
      case 30:
        return qRgb(255, 255, 255);
      case 69:
        return qRgb(255, 255, 0);
      case 137:
        return qRgb(255, 0, 255);
      case 205:
        return qRgb(255, 0, 0);
      case 273:
        return qRgb(0, 255, 255);
      case 341:
        return qRgb(0, 255, 0);
      case 409:
        return qRgb(0, 0, 255);
      default:
        return qRgb(0, 0, 0);
    }
  }

  QColor penColor() const {
    return penColorFromPattern_ ? patternColor(penPattern_, fore_, back_) : QColor(penPixColor_);
  }
  QColor fillColor() const {
    return fillColorFromPattern_ ? patternColor(fillPattern_, fore_, back_) : QColor(fillPixColor_);
  }
  QColor eraseColor() const { return patternColor(backPattern_, back_, back_); }

  // QuickDraw draws nothing while the clip region is empty, until the next
  // clip opcode sets another.
  void clip() {
    const QRegion region = readRegion();
    if (!charge(region.rectCount() * kElementCost)) return;
    clipEmpty_ = region.isEmpty();
    if (!clipEmpty_) painter_.setClipRegion(region);
  }

  // Charges a drawing operation and counts it; false (nothing drawn) when it
  // is hidden by an empty clip or the budget is spent.
  bool chargeDrawing(qint64 cost) {
    if (clipEmpty_ || !charge(cost)) return false;
    ++stats_.drawn;
    return true;
  }

  qint64 regionLength() {
    const int size = in_.u16();
    if (size < 10) damaged(QStringLiteral("region of %1 bytes").arg(size), in_.offset());
    in_.seek(in_.pos() - 2);
    return size;
  }

  // A pixel pattern: colour taken from its dither colour or its pixels' mean.
  void pixPattern(QRgb *target) {
    const int type = in_.u16();
    const QByteArray pattern = in_.bytes(8);
    QRgb color = patternColor(pattern, fore_, back_).rgb();
    if (type == 1) {
      PixMapInfo pm;
      pm.rowBytes = in_.u16() & 0x3FFF;
      pm.isPixMap = true;
      pm.bounds = in_.rect();
      readPixMapFields(in_, pm);
      readColorTable(in_, pm);
      checkRasterSize(pm, in_.offset());
      checkRasterFitsData(pm, in_);
      if (!chargeDecoding(pm.bounds.size())) return;
      const QImage tile = readIndexedPixels(in_, pm, true);
      color = tile.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
    } else if (type == 2) {
      color = color48(in_);
    }
    if (target) *target = color;
  }

  QPointF penOffset() const { return QPointF(penSize_.x() / 2.0, penSize_.y() / 2.0); }

  void applyPen() {
    const double width = std::max(0.5, (penSize_.x() + penSize_.y()) / 2.0);
    painter_.setPen(QPen(penColor(), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.setBrush(Qt::NoBrush);
  }

  void line(QPoint from, QPoint to) {
    penPos_ = to;
    if (penSize_.x() <= 0 || penSize_.y() <= 0) return;
    QPainterPath path(from);
    path.lineTo(to);
    if (clipEmpty_ || !chargePath(path, std::max(penSize_.x(), penSize_.y()), false)) return;
    applyPen();
    painter_.drawLine(QPointF(from) + penOffset(), QPointF(to) + penOffset());
  }

  void shortLine() {
    const QPoint from = in_.point();
    const int dh = qint8(in_.u8()), dv = qint8(in_.u8());
    line(from, from + QPoint(dh, dv));
  }

  void shortLineFrom() {
    const int dh = qint8(in_.u8()), dv = qint8(in_.u8());
    line(penPos_, penPos_ + QPoint(dh, dv));
  }

  void fontName() {
    BeReader data = in_.sub(in_.u16());
    data.u16();  // old font id
    fontFamily_ = pascalText(data);
  }

  void text(const QString &string) {
    // Fonts need a GUI application object; without one text is left out.
    if (string.isEmpty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return;
    QFont font(fontFamily_.isEmpty() ? fontForId(fontId_) : fontFamily_);
    font.setPixelSize(std::clamp(int(textSize_ ? textSize_ : 12), 1, 2000));
    font.setBold(face_ & 1);
    font.setItalic(face_ & 2);
    font.setUnderline(face_ & 4);
    const double size = font.pixelSize();
    const QRectF bounds(textPos_.x() - size, textPos_.y() - 2 * size, size * (string.size() + 2),
                        4 * size);
    if (!chargeDrawing(pixelsCovered(bounds) + string.size() * kElementCost)) return;
    painter_.setFont(font);
    painter_.setPen(QColor(fore_));
    painter_.drawText(QPointF(textPos_), string);
  }

  static QString fontForId(int id) {
    switch (id) {
      case 2:
      case 20:
        return QStringLiteral("Times");
      case 22:
        return QStringLiteral("Courier");
      case 23:
        return QStringLiteral("Symbol");
      default:
        return QStringLiteral("Helvetica");
    }
  }

  // Opcodes 0x30-0x8F: five verbs (frame, paint, erase, invert, fill) on
  // rectangles, rounded rectangles, ovals, arcs, polygons and regions; the
  // "same" forms reuse the last shape of their kind.
  bool shapeOp(int op) {
    const int kind = (op >> 4) - 3;  // 0 rect, 1 rrect, 2 oval, 3 arc, 4 poly, 5 region
    const bool same = op & 0x08;
    const int verbCode = op & 0x07;
    if (verbCode > 4) {  // reserved: same data as the verbs, nothing drawn
      if (!same)
        skipShape(kind);
      else if (kind == 3)
        in_.skip(4);  // a "same" arc still carries its angles
      return true;
    }
    const Verb verb = Verb(verbCode);
    QPainterPath path;
    switch (kind) {
      case 0:
        if (!same) lastRect_ = in_.rect();
        path.addRect(outline(lastRect_, verb));
        break;
      case 1:
        if (!same) lastRRect_ = in_.rect();
        path.addRoundedRect(outline(lastRRect_, verb), ovalSize_.x() / 2.0, ovalSize_.y() / 2.0);
        break;
      case 2:
        if (!same) lastOval_ = in_.rect();
        path.addEllipse(outline(lastOval_, verb));
        break;
      case 3:
        arcPath(same, verb, path);
        break;
      case 4:
        if (!same) readPolygon();
        path.addPolygon(lastPolygon_);
        if (verb != Verb::Frame) path.closeSubpath();
        if (verb == Verb::Frame) path.translate(penOffset());
        break;
      case 5:
        if (!same) lastRegion_ = readRegion();
        if (!charge(lastRegion_.rectCount() * kElementCost)) return false;
        path.addRegion(lastRegion_);
        if (verb == Verb::Frame) path = path.simplified();
        break;
    }
    draw(verb, path, kind == 0 && verb != Verb::Frame);
    return true;
  }

  void skipShape(int kind) {
    if (kind <= 2)
      in_.skip(8);
    else if (kind == 3)
      in_.skip(12);
    else
      in_.skip(regionLength());
  }

  // The pen draws inside a framed shape's bounds: its outline runs half a pen
  // width in from the edge.
  QRectF outline(const QRect &bounds, Verb verb) const {
    if (verb != Verb::Frame) return QRectF(bounds);
    const double dx = penSize_.x() / 2.0, dy = penSize_.y() / 2.0;
    return QRectF(bounds).adjusted(dx, dy, -dx, -dy);
  }

  void arcPath(bool same, Verb verb, QPainterPath &path) {
    if (!same) lastArcRect_ = in_.rect();
    const int start = in_.i16(), extent = in_.i16();
    const QRectF bounds = outline(lastArcRect_, verb);
    // QuickDraw: 0 at twelve o'clock, clockwise; Qt: 0 at three o'clock, counter-clockwise.
    const double qtStart = 90.0 - start, qtSweep = -double(extent);
    if (verb == Verb::Frame) {
      path.arcMoveTo(bounds, qtStart);
      path.arcTo(bounds, qtStart, qtSweep);
    } else {
      path.moveTo(bounds.center());
      path.arcTo(bounds, qtStart, qtSweep);
      path.closeSubpath();
    }
  }

  void readPolygon() {
    BeReader poly = in_.sub(regionLength());
    poly.skip(10);  // size and bounds
    lastPolygon_.clear();
    while (poly.remaining() >= 4) lastPolygon_ << QPointF(poly.point());
  }

  // A region: its bounds, then (when longer than 10 bytes) scan lines of
  // inversion points: from each listed y on, the coverage of a row is the
  // previous row's with the listed [x0, x1), [x2, x3)... spans toggled.
  QRegion readRegion() {
    BeReader data = in_.sub(regionLength());
    data.skip(2);
    const QRect bounds = data.rect();
    if (data.remaining() == 0) return bounds.isValid() ? QRegion(bounds) : QRegion();
    // The bands come out sorted by y and each band's spans by x, so the
    // region is built in one step (a union per rectangle would take time
    // growing with the square of their number).
    std::vector<QRect> bands;
    std::vector<int> edges;  // sorted x positions where coverage toggles
    int previousY = 0;
    for (;;) {
      const int y = data.i16();
      if (y == 0x7FFF) break;
      if (bands.size() + edges.size() / 2 > std::size_t(kMaxRegionRects))
        damaged(QStringLiteral("region too complex"), data.offset());
      if (y > previousY)
        for (std::size_t i = 0; i + 1 < edges.size(); i += 2)
          bands.emplace_back(edges[i], previousY, edges[i + 1] - edges[i], y - previousY);
      std::vector<int> listed;
      for (int x = data.i16(); x != 0x7FFF; x = data.i16()) listed.push_back(x);
      std::sort(listed.begin(), listed.end());
      std::vector<int> merged;
      std::merge(edges.begin(), edges.end(), listed.begin(), listed.end(),
                 std::back_inserter(merged));
      edges.clear();
      for (int x : merged) {  // equal edges cancel out
        if (!edges.empty() && edges.back() == x)
          edges.pop_back();
        else
          edges.push_back(x);
      }
      previousY = std::max(previousY, y);
    }
    QRegion region;
    if (!bands.empty()) region.setRects(bands.data(), int(bands.size()));
    return region;
  }

  void draw(Verb verb, const QPainterPath &path, bool isFilledRect) {
    const bool framed = verb == Verb::Frame;
    if (framed && (penSize_.x() <= 0 || penSize_.y() <= 0)) return;
    if (clipEmpty_ ||
        !chargePath(path, framed ? std::max(penSize_.x(), penSize_.y()) : 0, isFilledRect))
      return;
    switch (verb) {
      case Verb::Frame:
        applyPen();
        painter_.drawPath(path);
        return;
      case Verb::Paint:
        painter_.fillPath(path, penColor());
        return;
      case Verb::Erase:
        painter_.fillPath(path, eraseColor());
        return;
      case Verb::Fill:
        painter_.fillPath(path, fillColor());
        return;
      case Verb::Invert: {
        painter_.save();
        painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter_.fillPath(path, Qt::white);
        painter_.restore();
        return;
      }
    }
  }

  struct RasterTail {
    QRect source, target;
    int mode = 0;
    std::optional<QRegion> mask;  // the region forms clip the copy to it
  };

  RasterTail readRasterTail(int op) {
    RasterTail tail;
    tail.source = in_.rect();
    tail.target = in_.rect();
    tail.mode = in_.u16();
    if (op & 1) tail.mask = readRegion();
    return tail;
  }

  void indexedBits(int op) {
    PixMapInfo pm;
    const int rowBytes = in_.u16();
    pm.isPixMap = header_.version == 2 && (rowBytes & 0x8000);
    pm.rowBytes = rowBytes & (pm.isPixMap ? 0x3FFF : 0x7FFF);
    pm.bounds = in_.rect();
    if (pm.isPixMap) {
      readPixMapFields(in_, pm);
      readColorTable(in_, pm);
    } else {
      pm.pixelSize = 1;
      pm.colors = {back_, fore_};
    }
    const RasterTail tail = readRasterTail(op);
    checkRasterSize(pm, in_.offset());
    checkRasterFitsData(pm, in_);
    if (!chargeDecoding(pm.bounds.size())) return;
    QImage image = readIndexedPixels(in_, pm, op >= 0x98);
    // A one-bit bitmap drawn in "or" mode leaves its clear bits transparent.
    if (!pm.isPixMap && (tail.mode & 0x07) == 1) image.setColor(0, qRgba(0, 0, 0, 0));
    drawRaster(image, pm.bounds, tail);
  }

  void directBits(int op) {
    in_.u32();  // baseAddr
    PixMapInfo pm;
    pm.isPixMap = true;
    pm.rowBytes = in_.u16() & 0x3FFF;
    pm.bounds = in_.rect();
    readPixMapFields(in_, pm);
    const RasterTail tail = readRasterTail(op);
    checkRasterSize(pm, in_.offset());
    if (pm.pixelSize != 16 && pm.pixelSize != 32)
      damaged(QStringLiteral("direct pixels of %1 bits").arg(pm.pixelSize), in_.offset());
    checkRasterFitsData(pm, in_);
    if (!chargeDecoding(pm.bounds.size())) return;
    drawRaster(readDirectPixels(in_, pm), pm.bounds, tail);
  }

  bool chargeDecoding(QSize size) { return charge(qint64(size.width()) * size.height()); }

  void drawRaster(const QImage &image, const QRect &bounds, const RasterTail &tail) {
    const QRectF from = QRectF(tail.source).translated(-bounds.left(), -bounds.top());
    if (tail.mask && tail.mask->isEmpty()) return;
    if (!chargeDrawing(pixelsCovered(QRectF(tail.target)))) return;
    painter_.save();
    if (tail.mask) painter_.setClipRegion(*tail.mask, Qt::IntersectClip);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.drawImage(QRectF(tail.target), image, from);
    painter_.restore();
  }

  // QuickTime-compressed image: the image description names the codec; JPEG
  // (and anything else Qt decodes) is drawn, other codecs are skipped.
  void quickTime(int op) {
    BeReader block = in_.sub(in_.u32());
    block.u16();  // version
    double m[9];
    for (double &v : m) v = block.i32() / 65536.0;
    const quint32 matteSize = block.u32();
    block.rect();  // matte rectangle
    block.u16();   // transfer mode
    const QRect source = block.rect();
    block.u32();  // accuracy
    const quint32 maskSize = block.u32();
    if (op == 0x8201) return;  // uncompressed QuickTime data: not drawn
    block.skip(matteSize);
    block.skip(maskSize);
    const qsizetype descriptionStart = block.pos();
    const quint32 descriptionSize = block.u32();
    block.skip(40);
    const quint32 dataSize = block.u32();
    block.seek(descriptionStart);
    block.skip(descriptionSize);
    const QByteArray encoded = block.bytes(std::min<qint64>(dataSize, block.remaining()));
    const QTransform matrix(m[0], m[1], m[3], m[4], m[6], m[7]);
    const QRectF target = matrix.mapRect(QRectF(source));
    QImage image = decodeCompressed(encoded);
    if (image.isNull() || !chargeDrawing(pixelsCovered(target))) return;
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.drawImage(target, image);
    painter_.restore();
  }

  QImage decodeCompressed(const QByteArray &encoded) {
    // Named, so that Qt does not load every image plugin to probe the data.
    const char *format = encoded.startsWith("\xFF\xD8\xFF")  ? "jpeg"
                         : encoded.startsWith("\x89PNG\r\n") ? "png"
                                                             : nullptr;
    if (!format) return {};
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kDecoderAllocationLimitMb);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPixelEdge || size.height() > kMaxPixelEdge ||
        qint64(size.width()) * size.height() > kMaxPixels || !chargeDecoding(size))
      return {};
    return reader.read();
  }

  const PictHeader &header_;
  BeReader in_;
  QPainter &painter_;
  PictRenderStats &stats_;
  const QRectF deviceRect_;

  QRgb fore_ = qRgb(0, 0, 0);
  QRgb back_ = qRgb(255, 255, 255);
  QByteArray penPattern_ = QByteArray(8, char(0xFF));
  QByteArray fillPattern_ = QByteArray(8, char(0xFF));
  QByteArray backPattern_ = QByteArray(8, '\0');
  bool penColorFromPattern_ = true;
  bool fillColorFromPattern_ = true;
  QRgb penPixColor_ = qRgb(0, 0, 0);
  QRgb fillPixColor_ = qRgb(0, 0, 0);
  QPoint penSize_{1, 1};
  QPoint penPos_;
  QPoint ovalSize_;
  QPoint textPos_;
  int textSize_ = 0;
  int face_ = 0;
  int fontId_ = 0;
  QString fontFamily_;
  bool clipEmpty_ = false;
  QRect lastRect_, lastRRect_, lastOval_, lastArcRect_;
  QRegion lastRegion_;
  QPolygonF lastPolygon_;
};

}  // namespace

QSizeF pictNaturalSizeInches(const QByteArray &data) { return readHeader(data).sizeInches; }

QImage renderPict(const QByteArray &data, QSize pixelSize, PictRenderStats *stats,
                  const RenderView &view) {
  const PictHeader header = readHeader(data);
  if (pixelSize.width() <= 0 || pixelSize.height() <= 0)
    checkPixelSize(pixelSize, QStringLiteral("picture"));
  const QRect visible = view.visibleIn(pixelSize);
  checkPixelSize(visible.size(), QStringLiteral("picture"));
  QImage image(visible.size(), QImage::Format_RGB32);
  if (image.isNull()) damaged(QStringLiteral("not enough memory for the picture"), 0);
  image.fill(view.background);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const QRect &frame = header.frame;
  painter.translate(-visible.left(), -visible.top());
  painter.scale(double(pixelSize.width()) / frame.width(),
                double(pixelSize.height()) / frame.height());
  painter.translate(-frame.left(), -frame.top());
  PictRenderStats local;
  PictRenderStats &used = stats ? *stats : local;
  used = PictRenderStats{};
  used.workLimit = workLimitFor(visible.size());
  PictPainter(data, header, painter, used).run();
  return image;
}

}  // namespace office::render
