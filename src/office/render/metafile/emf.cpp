// Enhanced metafile (EMF) records played through the GDI player. EMF+
// records ride in EMR_COMMENT records of dual files and are skipped: the EMF
// records of such a file draw the same picture.

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <optional>

#include "common/bytereader.h"
#include "common/error.h"
#include "office/render/metafile/dib.h"
#include "office/render/metafile/gdiplayer.h"
#include "office/render/metafile/players.h"

namespace office::render::metafile {
namespace {

using morvane::ByteReader;

enum EmfRecord : std::uint32_t {
  EmrHeader = 1,
  EmrPolyBezier,
  EmrPolygon,
  EmrPolyline,
  EmrPolyBezierTo,
  EmrPolylineTo,
  EmrPolyPolyline,
  EmrPolyPolygon,
  EmrSetWindowExtEx,
  EmrSetWindowOrgEx,
  EmrSetViewportExtEx,
  EmrSetViewportOrgEx,
  EmrSetBrushOrgEx,
  EmrEof,
  EmrSetPixelV,
  EmrSetMapperFlags,
  EmrSetMapMode,
  EmrSetBkMode,
  EmrSetPolyFillMode,
  EmrSetRop2,
  EmrSetStretchBltMode,
  EmrSetTextAlign,
  EmrSetColorAdjustment,
  EmrSetTextColor,
  EmrSetBkColor,
  EmrOffsetClipRgn,
  EmrMoveToEx,
  EmrSetMetaRgn,
  EmrExcludeClipRect,
  EmrIntersectClipRect,
  EmrScaleViewportExtEx,
  EmrScaleWindowExtEx,
  EmrSaveDc,
  EmrRestoreDc,
  EmrSetWorldTransform,
  EmrModifyWorldTransform,
  EmrSelectObject,
  EmrCreatePen,
  EmrCreateBrushIndirect,
  EmrDeleteObject,
  EmrAngleArc,
  EmrEllipse,
  EmrRectangle,
  EmrRoundRect,
  EmrArc,
  EmrChord,
  EmrPie,
  EmrSelectPalette,
  EmrCreatePalette,
  EmrSetPaletteEntries,
  EmrResizePalette,
  EmrRealizePalette,
  EmrExtFloodFill,
  EmrLineTo,
  EmrArcTo,
  EmrPolyDraw,
  EmrSetArcDirection,
  EmrSetMiterLimit,
  EmrBeginPath,
  EmrEndPath,
  EmrCloseFigure,
  EmrFillPath,
  EmrStrokeAndFillPath,
  EmrStrokePath,
  EmrFlattenPath,
  EmrWidenPath,
  EmrSelectClipPath,
  EmrAbortPath,
  EmrGdiComment = 70,
  EmrFillRgn,
  EmrFrameRgn,
  EmrInvertRgn,
  EmrPaintRgn,
  EmrExtSelectClipRgn,
  EmrBitBlt,
  EmrStretchBlt,
  EmrMaskBlt,
  EmrPlgBlt,
  EmrSetDiBitsToDevice,
  EmrStretchDiBits,
  EmrExtCreateFontIndirectW,
  EmrExtTextOutA,
  EmrExtTextOutW,
  EmrPolyBezier16,
  EmrPolygon16,
  EmrPolyline16,
  EmrPolyBezierTo16,
  EmrPolylineTo16,
  EmrPolyPolyline16,
  EmrPolyPolygon16,
  EmrPolyDraw16,
  EmrCreateMonoBrush,
  EmrCreateDibPatternBrushPt,
  EmrExtCreatePen,
  EmrAlphaBlend = 114
};

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::size_t kMaxClipRects = 10000;

QColor colorRef(std::uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

QPointF pointL(morvane::ByteReader &r) {
  double x = r.i32();
  return QPointF(x, r.i32());
}

QRectF rectL(morvane::ByteReader &r) {
  double l = r.i32(), t = r.i32(), rt = r.i32(), b = r.i32();
  return QRectF(QPointF(l, t), QPointF(rt, b));
}

QPolygonF points(morvane::ByteReader &r, std::uint32_t count, bool sixteenBit) {
  std::size_t each = sixteenBit ? 4 : 8;
  count = std::uint32_t(std::min<std::size_t>(count, r.remaining() / each));
  QPolygonF result;
  result.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (sixteenBit) {
      double x = r.i16();
      result << QPointF(x, r.i16());
    } else {
      result << pointL(r);
    }
  }
  return result;
}

// The points of a record, charged before they are read.
std::optional<QPolygonF> chargedPoints(morvane::ByteReader &r, std::uint32_t count, bool sixteenBit,
                                       GdiPlayer &gdi) {
  count = std::uint32_t(std::min<std::size_t>(count, r.remaining() / (sixteenBit ? 4 : 8)));
  if (!gdi.chargePoints(count)) return std::nullopt;
  return points(r, count, sixteenBit);
}

std::vector<QPolygonF> polyPoints(morvane::ByteReader &r, bool sixteenBit, GdiPlayer &gdi) {
  r.skip(16);  // bounds
  std::uint32_t polys = r.u32();
  std::uint32_t total = r.u32();
  polys = std::uint32_t(std::min<std::size_t>(polys, r.remaining() / 4));
  std::vector<std::uint32_t> counts(polys);
  for (auto &c : counts) c = r.u32();
  const std::optional<QPolygonF> charged = chargedPoints(r, total, sixteenBit, gdi);
  if (!charged) return {};
  const QPolygonF &all = *charged;
  std::vector<QPolygonF> result;
  qsizetype at = 0;
  for (std::uint32_t c : counts) {
    qsizetype n = std::min<qsizetype>(c, all.size() - at);
    result.push_back(all.mid(at, n));
    at += n;
  }
  return result;
}

QTransform xform(morvane::ByteReader &r) {
  float f[6];
  for (float &v : f) {
    std::uint32_t bits = r.u32();
    std::memcpy(&v, &bits, sizeof v);
  }
  return QTransform(f[0], f[1], f[2], f[3], f[4], f[5]);
}

GdiFont logFontW(morvane::ByteReader &r) {
  GdiFont font;
  font.height = r.i32();
  font.width = std::abs(double(r.i32()));
  font.escapement = r.i32();
  r.i32();  // orientation
  font.weight = r.i32();
  font.italic = r.u8();
  font.underline = r.u8();
  font.strikeout = r.u8();
  font.charset = r.u8();
  r.skip(4);
  QString face;
  for (int i = 0; i < 32 && r.remaining() >= 2; ++i) {
    char16_t c = r.u16();
    if (c == 0) break;
    face += QChar(c);
  }
  font.face = face;
  return font;
}

// A DIB referred to by offsets from the start of the record; its pixels are
// charged to the picture's work before it is decoded.
QImage recordDib(GdiPlayer &gdi, const morvane::ByteReader &record, std::uint32_t offBmi,
                 std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits,
                 bool withAlpha = false) {
  if (cbBmi == 0) return {};
  morvane::ByteReader info = record.slice(offBmi, cbBmi);
  const qint64 pixels = dibPixelCount(info.data(), info.size());
  if (!gdi.chargeBitmap(pixels)) return {};
  morvane::ByteReader bits = record.slice(
      offBits, std::min<std::uint64_t>(
                   cbBits, record.size() - std::min<std::uint64_t>(offBits, record.size())));
  QImage image = dibToImage(info.data(), info.size(), bits.data(), bits.size(), withAlpha);
  if (image.isNull() && pixels > 0) gdi.noteRefusedBitmap(pixels, bits.size());
  return image;
}

// The DIB's rows run bottom-up when its height is positive.
bool bottomUp(const morvane::ByteReader &record, std::uint32_t offBmi, std::uint32_t cbBmi) {
  if (cbBmi < 12) return true;
  morvane::ByteReader info = record.slice(offBmi, cbBmi);
  std::uint32_t size = info.u32();
  if (size == 12) {
    info.skip(2);
    return info.i16() > 0;
  }
  info.skip(4);
  return info.i32() > 0;
}

std::vector<QRectF> regionRects(morvane::ByteReader &r, std::uint32_t cbRgnData) {
  std::vector<QRectF> rects;
  if (cbRgnData < 32) return rects;
  morvane::ByteReader data = r.sub(std::min<std::uint64_t>(cbRgnData, r.remaining()));
  data.skip(8);  // dwSize, iType
  std::uint32_t count = data.u32();
  data.skip(4 + 16);  // nRgnSize, rcBound
  count = std::uint32_t(std::min<std::size_t>({count, data.remaining() / 16, kMaxClipRects}));
  for (std::uint32_t i = 0; i < count; ++i) rects.push_back(rectL(data));
  return rects;
}

class EmfPlayer {
 public:
  EmfPlayer(GdiPlayer &gdi) : gdi_(gdi) {}
  // Plays one record; false at EMR_EOF.
  bool play(std::uint32_t type, morvane::ByteReader record);

 private:
  void createPen(morvane::ByteReader &r);
  void extCreatePen(morvane::ByteReader &r, const morvane::ByteReader &record);
  void createBrush(morvane::ByteReader &r);
  void createPatternBrush(morvane::ByteReader &r, const morvane::ByteReader &record);
  void createFont(morvane::ByteReader &r);
  void textOut(morvane::ByteReader &r, const morvane::ByteReader &record, bool wide);
  void bitBlt(morvane::ByteReader &r, const morvane::ByteReader &record, bool stretch);
  void alphaBlend(morvane::ByteReader &r, const morvane::ByteReader &record);
  void fillRegion(morvane::ByteReader &r, bool withBrush);
  void polyDraw(morvane::ByteReader &r, bool sixteenBit);
  void stretchDiBits(morvane::ByteReader &r, const morvane::ByteReader &record);
  void setDiBitsToDevice(morvane::ByteReader &r, const morvane::ByteReader &record);
  void drawPoly(std::uint32_t type, morvane::ByteReader &r);

  GdiPlayer &gdi_;
};

void EmfPlayer::createPen(morvane::ByteReader &r) {
  std::uint32_t index = r.u32();
  GdiObject object;
  object.kind = GdiObject::Kind::Pen;
  object.pen.style = int(r.u32());
  object.pen.width = std::abs(double(r.i32()));
  r.i32();
  object.pen.color = colorRef(r.u32());
  object.pen.cosmetic = object.pen.width <= 1;
  gdi_.createObject(index, object);
}

void EmfPlayer::extCreatePen(morvane::ByteReader &r, const morvane::ByteReader &) {
  std::uint32_t index = r.u32();
  r.skip(16);  // bitmap of a pattern pen: drawn with its colour instead
  GdiObject object;
  object.kind = GdiObject::Kind::Pen;
  std::uint32_t style = r.u32();
  object.pen.style = int(style & 0xFFFF);
  object.pen.width = r.u32();
  std::uint32_t brushStyle = r.u32();
  object.pen.color = colorRef(r.u32());
  if (brushStyle == 1) object.pen.style = 5;  // BS_NULL: an invisible pen
  object.pen.cosmetic = !(style & 0x10000) || object.pen.width == 0;
  if ((object.pen.style & 0xF) == 7) object.pen.style &= ~0xF;  // user styles drawn solid
  gdi_.createObject(index, object);
}

void EmfPlayer::createBrush(morvane::ByteReader &r) {
  std::uint32_t index = r.u32();
  GdiObject object;
  object.kind = GdiObject::Kind::Brush;
  object.brush.style = int(r.u32());
  object.brush.color = colorRef(r.u32());
  object.brush.hatch = int(r.u32());
  gdi_.createObject(index, object);
}

void EmfPlayer::createPatternBrush(morvane::ByteReader &r, const morvane::ByteReader &record) {
  std::uint32_t index = r.u32();
  r.u32();  // usage
  std::uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
  GdiObject object;
  object.kind = GdiObject::Kind::Brush;
  object.brush.style = 3;
  object.brush.color = Qt::gray;
  try {
    object.brush.pattern = recordDib(gdi_, record, offBmi, cbBmi, offBits, cbBits);
  } catch (const morvane::Error &) {
  }
  gdi_.createObject(index, object);
}

void EmfPlayer::createFont(morvane::ByteReader &r) {
  std::uint32_t index = r.u32();
  GdiObject object;
  object.kind = GdiObject::Kind::Font;
  object.font = logFontW(r);
  gdi_.createObject(index, object);
}

void EmfPlayer::textOut(morvane::ByteReader &r, const morvane::ByteReader &record, bool wide) {
  r.skip(16 + 4 + 8);  // bounds, graphics mode, scales
  TextRun run;
  run.reference = pointL(r);
  std::uint32_t chars = r.u32();
  std::uint32_t offString = r.u32();
  run.options = r.u32();
  run.rect = rectL(r);
  std::uint32_t offDx = r.u32();
  std::uint64_t bytesEach = wide ? 2 : 1;
  std::uint64_t available = offString < record.size() ? (record.size() - offString) / bytesEach : 0;
  chars = std::uint32_t(std::min<std::uint64_t>(chars, available));
  morvane::ByteReader text = record.slice(offString, chars * bytesEach);
  for (std::uint32_t i = 0; i < chars; ++i)
    run.text += wide ? QChar(char16_t(text.u16())) : QChar(text.u8());
  if (offDx != 0 && offDx < record.size()) {
    std::uint32_t step = (run.options & EtoPdy) ? 2 : 1;
    morvane::ByteReader dx = record.slice(offDx, record.size() - offDx);
    for (std::uint32_t i = 0; i < chars && dx.remaining() >= 4 * step; ++i) {
      run.dx.push_back(dx.i32());
      if (step == 2) dx.i32();
    }
  }
  gdi_.text(run);
}

void EmfPlayer::bitBlt(morvane::ByteReader &r, const morvane::ByteReader &record, bool stretch) {
  r.skip(16);
  double x = r.i32(), y = r.i32(), cx = r.i32(), cy = r.i32();
  std::uint32_t rop = r.u32();
  double xSrc = r.i32(), ySrc = r.i32();
  r.skip(24 + 4 + 4);  // source transform, background colour, usage
  std::uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
  double cxSrc = cx, cySrc = cy;
  if (stretch) {
    cxSrc = r.i32();
    cySrc = r.i32();
  }
  QRectF dest(x, y, cx, cy);
  if (cbBmi == 0) {
    gdi_.patBlt(dest, rop);
    return;
  }
  QImage image = recordDib(gdi_, record, offBmi, cbBmi, offBits, cbBits);
  gdi_.stretchImage(dest, image, QRectF(xSrc, ySrc, cxSrc, cySrc), rop);
}

void EmfPlayer::alphaBlend(morvane::ByteReader &r, const morvane::ByteReader &record) {
  r.skip(16);
  double x = r.i32(), y = r.i32(), cx = r.i32(), cy = r.i32();
  r.u8();  // blend operation: always "source over"
  r.u8();
  double constantAlpha = r.u8() / 255.0;
  bool sourceAlpha = r.u8() & 1;
  double xSrc = r.i32(), ySrc = r.i32();
  r.skip(24 + 4 + 4);
  std::uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
  double cxSrc = r.i32(), cySrc = r.i32();
  QImage image = recordDib(gdi_, record, offBmi, cbBmi, offBits, cbBits, sourceAlpha);
  gdi_.blendImage(QRectF(x, y, cx, cy), image, QRectF(xSrc, ySrc, cxSrc, cySrc), constantAlpha);
}

void EmfPlayer::fillRegion(morvane::ByteReader &r, bool withBrush) {
  r.skip(16);
  std::uint32_t cb = r.u32();
  std::uint32_t brush = withBrush ? r.u32() : 0;
  std::vector<QRectF> rects = regionRects(r, cb);
  gdi_.fillRects(rects, withBrush ? &brush : nullptr);
}

void EmfPlayer::polyDraw(morvane::ByteReader &r, bool sixteenBit) {
  r.skip(16);
  std::uint32_t count = r.u32();
  count = std::uint32_t(std::min<std::size_t>(count, r.remaining() / (sixteenBit ? 5 : 9)));
  if (!gdi_.chargePoints(count)) return;
  QPolygonF pts = points(r, count, sixteenBit);
  std::vector<std::uint8_t> types(count);
  for (auto &t : types) t = r.u8();
  gdi_.polyDraw(pts, types);
}

void EmfPlayer::stretchDiBits(morvane::ByteReader &r, const morvane::ByteReader &record) {
  r.skip(16);
  double x = r.i32(), y = r.i32(), xSrc = r.i32(), ySrc = r.i32(), cxSrc = r.i32(), cySrc = r.i32();
  std::uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
  r.u32();  // usage
  std::uint32_t rop = r.u32();
  double cx = r.i32(), cy = r.i32();
  QImage image = recordDib(gdi_, record, offBmi, cbBmi, offBits, cbBits);
  if (image.isNull()) return;
  // The source rectangle of a bottom-up DIB counts rows from the bottom.
  if (bottomUp(record, offBmi, cbBmi)) ySrc = image.height() - ySrc - cySrc;
  gdi_.stretchImage(QRectF(x, y, cx, cy), image, QRectF(xSrc, ySrc, cxSrc, cySrc), rop);
}

void EmfPlayer::setDiBitsToDevice(morvane::ByteReader &r, const morvane::ByteReader &record) {
  r.skip(16);
  double x = r.i32(), y = r.i32(), xSrc = r.i32(), ySrc = r.i32(), cx = r.i32(), cy = r.i32();
  std::uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
  QImage image = recordDib(gdi_, record, offBmi, cbBmi, offBits, cbBits);
  if (image.isNull()) return;
  if (bottomUp(record, offBmi, cbBmi)) ySrc = image.height() - ySrc - cy;
  gdi_.stretchImage(QRectF(x, y, cx, cy), image, QRectF(xSrc, ySrc, cx, cy), kSrcCopy);
}

void EmfPlayer::drawPoly(std::uint32_t type, morvane::ByteReader &r) {
  bool sixteen = type >= EmrPolyBezier16;
  std::uint32_t base = sixteen ? type - EmrPolyBezier16 + EmrPolyBezier : type;
  if (base == EmrPolyPolyline || base == EmrPolyPolygon) {
    std::vector<QPolygonF> polys = polyPoints(r, sixteen, gdi_);
    if (base == EmrPolyPolygon)
      gdi_.polyPolygon(polys);
    else
      gdi_.polyPolyline(polys);
    return;
  }
  r.skip(16);
  const std::optional<QPolygonF> charged = chargedPoints(r, r.u32(), sixteen, gdi_);
  if (!charged) return;
  const QPolygonF &pts = *charged;
  switch (base) {
    case EmrPolyBezier:
      gdi_.polyBezier(pts);
      break;
    case EmrPolygon:
      gdi_.polygon(pts);
      break;
    case EmrPolyline:
      gdi_.polyline(pts);
      break;
    case EmrPolyBezierTo:
      gdi_.polyBezierTo(pts);
      break;
    case EmrPolylineTo:
      gdi_.polylineTo(pts);
      break;
    default:
      break;
  }
}

bool EmfPlayer::play(std::uint32_t type, morvane::ByteReader record) {
  morvane::ByteReader r = record;
  r.skip(8);
  switch (type) {
    case EmrEof:
      return false;
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
    case EmrPolyPolyline:
    case EmrPolyPolygon:
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16:
    case EmrPolyPolyline16:
    case EmrPolyPolygon16:
      drawPoly(type, r);
      break;
    case EmrSetWindowExtEx: {
      double cx = r.i32();
      gdi_.setWindowExt(QSizeF(cx, r.i32()));
      break;
    }
    case EmrSetWindowOrgEx:
      gdi_.setWindowOrg(pointL(r));
      break;
    case EmrSetViewportExtEx: {
      double cx = r.i32();
      gdi_.setViewportExt(QSizeF(cx, r.i32()));
      break;
    }
    case EmrSetViewportOrgEx:
      gdi_.setViewportOrg(pointL(r));
      break;
    case EmrScaleViewportExtEx:
    case EmrScaleWindowExtEx: {
      double xn = r.i32(), xd = r.i32(), yn = r.i32(), yd = r.i32();
      if (type == EmrScaleWindowExtEx)
        gdi_.scaleWindowExt(xn, xd, yn, yd);
      else
        gdi_.scaleViewportExt(xn, xd, yn, yd);
      break;
    }
    case EmrSetPixelV: {
      QPointF p = pointL(r);
      gdi_.setPixel(p, colorRef(r.u32()));
      break;
    }
    case EmrSetMapMode:
      gdi_.setMapMode(int(r.u32()));
      break;
    case EmrSetBkMode:
      gdi_.setBkMode(int(r.u32()));
      break;
    case EmrSetPolyFillMode:
      gdi_.setPolyFillMode(int(r.u32()));
      break;
    case EmrSetTextAlign:
      gdi_.setTextAlign(r.u32());
      break;
    case EmrSetTextColor:
      gdi_.setTextColor(colorRef(r.u32()));
      break;
    case EmrSetBkColor:
      gdi_.setBkColor(colorRef(r.u32()));
      break;
    case EmrMoveToEx:
      gdi_.moveTo(pointL(r));
      break;
    case EmrLineTo:
      gdi_.lineTo(pointL(r));
      break;
    case EmrExcludeClipRect:
      gdi_.excludeClipRect(rectL(r));
      break;
    case EmrIntersectClipRect:
      gdi_.intersectClipRect(rectL(r));
      break;
    case EmrSaveDc:
      gdi_.saveDc();
      break;
    case EmrRestoreDc:
      gdi_.restoreDc(r.i32());
      break;
    case EmrSetWorldTransform:
      gdi_.setWorldTransform(xform(r));
      break;
    case EmrModifyWorldTransform: {
      QTransform t = xform(r);
      gdi_.modifyWorldTransform(t, int(r.u32()));
      break;
    }
    case EmrSelectObject:
      gdi_.selectObject(r.u32());
      break;
    case EmrDeleteObject:
      gdi_.deleteObject(r.u32());
      break;
    case EmrCreatePen:
      createPen(r);
      break;
    case EmrExtCreatePen:
      extCreatePen(r, record);
      break;
    case EmrCreateBrushIndirect:
      createBrush(r);
      break;
    case EmrCreateMonoBrush:
    case EmrCreateDibPatternBrushPt:
      createPatternBrush(r, record);
      break;
    case EmrExtCreateFontIndirectW:
      createFont(r);
      break;
    case EmrCreatePalette: {
      GdiObject other;
      other.kind = GdiObject::Kind::Other;
      gdi_.createObject(r.u32(), other);
      break;
    }
    case EmrEllipse:
      gdi_.ellipse(rectL(r));
      break;
    case EmrRectangle:
      gdi_.rectangle(rectL(r));
      break;
    case EmrRoundRect: {
      QRectF box = rectL(r);
      double w = r.i32();
      gdi_.roundRect(box, QSizeF(w, r.i32()));
      break;
    }
    case EmrArc:
    case EmrChord:
    case EmrPie:
    case EmrArcTo: {
      QRectF box = rectL(r);
      QPointF start = pointL(r), end = pointL(r);
      auto kind = type == EmrArc     ? GdiPlayer::ArcKind::Arc
                  : type == EmrChord ? GdiPlayer::ArcKind::Chord
                  : type == EmrPie   ? GdiPlayer::ArcKind::Pie
                                     : GdiPlayer::ArcKind::ArcTo;
      gdi_.arc(kind, box, start, end);
      break;
    }
    case EmrSetArcDirection:
      gdi_.setArcDirection(int(r.u32()));
      break;
    case EmrSetMiterLimit:
      gdi_.setMiterLimit(r.u32());
      break;
    case EmrBeginPath:
      gdi_.beginPath();
      break;
    case EmrEndPath:
      gdi_.endPath();
      break;
    case EmrAbortPath:
      gdi_.abortPath();
      break;
    case EmrCloseFigure:
      gdi_.closeFigure();
      break;
    case EmrFillPath:
      gdi_.fillPath();
      break;
    case EmrStrokePath:
      gdi_.strokePath();
      break;
    case EmrStrokeAndFillPath:
      gdi_.strokeAndFillPath();
      break;
    case EmrSelectClipPath:
      gdi_.selectClipPath(int(r.u32()));
      break;
    case EmrExtSelectClipRgn: {
      std::uint32_t cb = r.u32();
      int mode = int(r.u32());
      gdi_.selectDeviceClipRects(regionRects(r, cb), mode);
      break;
    }
    case EmrExtTextOutW:
      textOut(r, record, true);
      break;
    case EmrExtTextOutA:
      textOut(r, record, false);
      break;
    case EmrBitBlt:
      bitBlt(r, record, false);
      break;
    case EmrStretchBlt:
      bitBlt(r, record, true);
      break;
    case EmrStretchDiBits:
      stretchDiBits(r, record);
      break;
    case EmrSetDiBitsToDevice:
      setDiBitsToDevice(r, record);
      break;
    case EmrAlphaBlend:
      alphaBlend(r, record);
      break;
    case EmrFillRgn:
      fillRegion(r, true);
      break;
    case EmrPaintRgn:
      fillRegion(r, false);
      break;
    case EmrPolyDraw:
      polyDraw(r, false);
      break;
    case EmrPolyDraw16:
      polyDraw(r, true);
      break;
    default:
      break;  // comments (EMF+), palettes and the rest: nothing to draw
  }
  return true;
}

}  // namespace

EmfHeader readEmfHeader(const QByteArray &data) {
  morvane::ByteReader r(reinterpret_cast<const std::uint8_t *>(data.constData()),
                        std::size_t(data.size()));
  if (data.size() < 88 || r.u32() != EmrHeader)
    throw morvane::PictureError(QStringLiteral("the EMF picture has no header record"));
  std::uint32_t size = r.u32();
  EmfHeader h;
  h.bounds = rectL(r);
  h.frame = rectL(r);
  if (r.u32() != kEmfSignature || size < 88 || size > std::size_t(data.size()))
    throw morvane::PictureError(QStringLiteral("the EMF picture's header is damaged"));
  r.skip(12);  // version, bytes, records
  h.handles = r.u16();
  r.skip(2 + 12);  // reserved, description, palette entries
  double dx = r.i32();
  h.device = QSizeF(dx, r.i32());
  double mx = r.i32();
  h.millimeters = QSizeF(mx, r.i32());
  return h;
}

QSizeF emfSizeInches(const EmfHeader &h) {
  return QSizeF((h.frame.width()) / 2540.0, (h.frame.height()) / 2540.0);
}

void playEmf(const QByteArray &data, QPainter &painter, const PlayerTarget &target,
             DrawingOutcome &outcome) {
  EmfHeader h = readEmfHeader(data);
  QSizeF perMm(96 / 25.4, 96 / 25.4);
  if (h.device.width() > 0 && h.device.height() > 0 && h.millimeters.width() > 0 &&
      h.millimeters.height() > 0)
    perMm = QSizeF(h.device.width() / h.millimeters.width(),
                   h.device.height() / h.millimeters.height());
  // The frame (0.01 mm, inclusive) in reference-device pixels.
  QRectF frame(h.frame.left() * perMm.width() / 100, h.frame.top() * perMm.height() / 100,
               (h.frame.width() + 1) * perMm.width() / 100,
               (h.frame.height() + 1) * perMm.height() / 100);
  if (!(frame.width() > 0 && frame.height() > 0))
    frame = QRectF(h.bounds.topLeft(), QSizeF(h.bounds.width() + 1, h.bounds.height() + 1));
  GdiPlayer gdi = GdiPlayer::forEmf(painter, target, frame, perMm);
  gdi.setObjectTableSize(h.handles);
  EmfPlayer player(gdi);

  morvane::ByteReader stream(reinterpret_cast<const std::uint8_t *>(data.constData()),
                             std::size_t(data.size()));
  for (int count = 0; count < kMaxRecords && stream.remaining() >= 8 && !gdi.workSpent(); ++count) {
    std::size_t start = stream.pos();
    std::uint32_t type = stream.u32();
    std::uint32_t size = stream.u32();
    if (size < 8 || size > stream.remaining() + 8) {  // damaged: keep what was drawn
      outcome.damage = QStringLiteral("record of %1 bytes at byte %2 runs past the end of the data")
                           .arg(size)
                           .arg(start);
      break;
    }
    stream.seek(start);
    morvane::ByteReader record = stream.sub(size);
    try {
      if (!player.play(type, record)) break;
    } catch (const morvane::Error &) {
      // A record shorter than its fields: skip it.
    }
  }
  outcome.drawn = gdi.drawn();
  outcome.stoppedEarly = gdi.workSpent();
  if (outcome.damage.isEmpty()) outcome.damage = gdi.refusal();
}

}  // namespace office::render::metafile
