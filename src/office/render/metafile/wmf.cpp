// Windows metafile (WMF) records played through the GDI player. PowerPoint
// stores WMF pictures without the placeable header; their frame then comes
// from the picture store's own metafile header.

#include <QStringDecoder>
#include <algorithm>

#include "common/bytereader.h"
#include "common/error.h"
#include "office/render/metafile/dib.h"
#include "office/render/metafile/gdiplayer.h"
#include "office/render/metafile/players.h"

namespace office::render::metafile {
namespace {

using morvane::ByteReader;

enum WmfRecord : std::uint16_t {
  MetaEof = 0x0000,
  MetaSaveDc = 0x001E,
  MetaRealizePalette = 0x0035,
  MetaSetPalEntries = 0x0037,
  MetaCreatePalette = 0x00F7,
  MetaSetBkMode = 0x0102,
  MetaSetMapMode = 0x0103,
  MetaSetRop2 = 0x0104,
  MetaSetPolyFillMode = 0x0106,
  MetaRestoreDc = 0x0127,
  MetaSelectClipRegion = 0x012C,
  MetaSelectObject = 0x012D,
  MetaSetTextAlign = 0x012E,
  MetaDibCreatePatternBrush = 0x0142,
  MetaDeleteObject = 0x01F0,
  MetaCreatePatternBrush = 0x01F9,
  MetaSetBkColor = 0x0201,
  MetaSetTextColor = 0x0209,
  MetaSetWindowOrg = 0x020B,
  MetaSetWindowExt = 0x020C,
  MetaSetViewportOrg = 0x020D,
  MetaSetViewportExt = 0x020E,
  MetaOffsetWindowOrg = 0x020F,
  MetaLineTo = 0x0213,
  MetaMoveTo = 0x0214,
  MetaCreatePenIndirect = 0x02FA,
  MetaCreateFontIndirect = 0x02FB,
  MetaCreateBrushIndirect = 0x02FC,
  MetaPolygon = 0x0324,
  MetaPolyline = 0x0325,
  MetaScaleWindowExt = 0x0410,
  MetaScaleViewportExt = 0x0412,
  MetaExcludeClipRect = 0x0415,
  MetaIntersectClipRect = 0x0416,
  MetaEllipse = 0x0418,
  MetaRectangle = 0x041B,
  MetaSetPixel = 0x041F,
  MetaTextOut = 0x0521,
  MetaPolyPolygon = 0x0538,
  MetaPatBlt = 0x061D,
  MetaRoundRect = 0x061C,
  MetaEscape = 0x0626,
  MetaCreateRegion = 0x06FF,
  MetaArc = 0x0817,
  MetaPie = 0x081A,
  MetaChord = 0x0830,
  MetaDibBitBlt = 0x0940,
  MetaExtTextOut = 0x0A32,
  MetaDibStretchBlt = 0x0B41,
  MetaStretchDib = 0x0F43
};

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kMetaHeaderSize = 18;
constexpr double kEmuPerInch = 914400;

QColor colorRef(std::uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

// WMF coordinates come y first.
QPointF pointYX(morvane::ByteReader &r) {
  double y = r.i16();
  return QPointF(r.i16(), y);
}

QPointF pointXY(morvane::ByteReader &r) {
  double x = r.i16();
  return QPointF(x, r.i16());
}

// bottom, right, top, left
QRectF rectBRTL(morvane::ByteReader &r) {
  double b = r.i16(), rt = r.i16(), t = r.i16(), l = r.i16();
  return QRectF(QPointF(l, t), QPointF(rt, b));
}

// The points of a record, charged before they are read; empty when the
// picture's budget cannot pay for them.
QPolygonF pointsXY(morvane::ByteReader &r, std::size_t count, GdiPlayer &gdi) {
  count = std::min(count, r.remaining() / 4);
  if (!gdi.chargePoints(qint64(count))) return {};
  QPolygonF result;
  result.reserve(qsizetype(count));
  for (std::size_t i = 0; i < count; ++i) result << pointXY(r);
  return result;
}

QString ansiText(const QByteArray &bytes) {
  QStringDecoder decoder("windows-1252");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  QString text = decoder.decode(bytes);
  return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

QByteArray bytesOf(morvane::ByteReader &r, std::size_t count) {
  morvane::ByteReader s = r.sub(count);
  return QByteArray(reinterpret_cast<const char *>(s.data()), qsizetype(s.size()));
}

class WmfPlayer {
 public:
  explicit WmfPlayer(GdiPlayer &gdi) : gdi_(gdi) {}
  // Plays one record (params: the bytes after its size and function); false at META_EOF.
  bool play(std::uint16_t function, morvane::ByteReader params);

 private:
  void createPen(morvane::ByteReader &r);
  void createBrush(morvane::ByteReader &r);
  void createPatternBrush(morvane::ByteReader &r);
  void createFont(morvane::ByteReader &r);
  void createPlaceholder();
  void textOut(morvane::ByteReader &r);
  void extTextOut(morvane::ByteReader &r);
  void dibBlt(std::uint16_t function, morvane::ByteReader &r);
  void polyPolygon(morvane::ByteReader &r);
  void arc(std::uint16_t function, morvane::ByteReader &r);

  GdiPlayer &gdi_;
};

void WmfPlayer::createPen(morvane::ByteReader &r) {
  GdiObject object;
  object.kind = GdiObject::Kind::Pen;
  object.pen.style = r.u16();
  object.pen.width = std::abs(double(r.i16()));
  r.i16();
  object.pen.color = colorRef(r.u32());
  object.pen.cosmetic = object.pen.width <= 1;
  gdi_.createObject(object);
}

void WmfPlayer::createBrush(morvane::ByteReader &r) {
  GdiObject object;
  object.kind = GdiObject::Kind::Brush;
  object.brush.style = r.u16();
  object.brush.color = colorRef(r.u32());
  object.brush.hatch = r.u16();
  gdi_.createObject(object);
}

void WmfPlayer::createPatternBrush(morvane::ByteReader &r) {
  GdiObject object;
  object.kind = GdiObject::Kind::Brush;
  object.brush.style = 3;
  object.brush.color = Qt::gray;
  std::uint16_t style = r.u16();
  r.u16();  // colour usage
  if (style != 3 && gdi_.chargeBitmap(dibPixelCount(r.current(), r.remaining())))
    object.brush.pattern = packedDibToImage(r.current(), r.remaining());
  gdi_.createObject(object);
}

void WmfPlayer::createFont(morvane::ByteReader &r) {
  GdiObject object;
  object.kind = GdiObject::Kind::Font;
  GdiFont &f = object.font;
  f.height = r.i16();
  f.width = std::abs(double(r.i16()));
  f.escapement = r.i16();
  r.i16();  // orientation
  f.weight = r.i16();
  f.italic = r.u8();
  f.underline = r.u8();
  f.strikeout = r.u8();
  f.charset = r.u8();
  r.skip(4);
  QByteArray face;
  while (!r.atEnd() && face.size() < 32) {
    char c = char(r.u8());
    if (c == 0) break;
    face += c;
  }
  f.face = ansiText(face);
  gdi_.createObject(object);
}

// Palettes, regions and bitmap brushes take a slot of the object table too.
void WmfPlayer::createPlaceholder() {
  GdiObject object;
  object.kind = GdiObject::Kind::Other;
  gdi_.createObject(object);
}

void WmfPlayer::textOut(morvane::ByteReader &r) {
  std::size_t length = std::size_t(std::max<std::int16_t>(0, r.i16()));
  TextRun run;
  run.text = ansiText(bytesOf(r, std::min(length, r.remaining())));
  if (length % 2) r.skip(std::min<std::size_t>(1, r.remaining()));
  run.reference = pointYX(r);
  gdi_.text(run);
}

void WmfPlayer::extTextOut(morvane::ByteReader &r) {
  TextRun run;
  run.reference = pointYX(r);
  std::size_t length = std::size_t(std::max<std::int16_t>(0, r.i16()));
  run.options = r.u16();
  if (run.options & (EtoOpaque | EtoClipped)) {
    double l = r.i16(), t = r.i16(), rt = r.i16(), b = r.i16();
    run.rect = QRectF(QPointF(l, t), QPointF(rt, b));
  }
  length = std::min(length, r.remaining());
  run.text = ansiText(bytesOf(r, length));
  if (length % 2 && !r.atEnd()) r.skip(1);
  if (r.remaining() >= 2 * length)
    for (std::size_t i = 0; i < length; ++i) run.dx.push_back(r.i16());
  gdi_.text(run);
}

void WmfPlayer::dibBlt(std::uint16_t function, morvane::ByteReader &r) {
  // A record of exactly its fixed fields carries no bitmap: it holds a
  // reserved word instead and paints with the brush.
  bool stretchDib = function == MetaStretchDib;
  bool hasBitmap = stretchDib || r.size() / 2 != std::size_t(function >> 8);
  std::uint32_t rop = r.u32();
  if (stretchDib) r.u16();  // colour usage
  double srcH = 0, srcW = 0;
  if (function != MetaDibBitBlt) {
    srcH = r.i16();
    srcW = r.i16();
  }
  double ySrc = r.i16(), xSrc = r.i16();
  if (!hasBitmap) r.skip(2);
  double h = r.i16(), w = r.i16();
  QPointF at = pointYX(r);
  if (function == MetaDibBitBlt) {
    srcH = h;
    srcW = w;
  }
  QRectF dest(at, QSizeF(w, h));
  if (!hasBitmap) {
    gdi_.patBlt(dest, rop);
    return;
  }
  const qint64 pixels = dibPixelCount(r.current(), r.remaining());
  if (!gdi_.chargeBitmap(pixels)) return;
  QImage image = packedDibToImage(r.current(), r.remaining());
  if (image.isNull()) {
    if (pixels > 0) gdi_.noteRefusedBitmap(pixels, r.remaining());
    return;
  }
  // StretchDIB counts source rows from the bottom of a bottom-up DIB.
  if (stretchDib && r.remaining() >= 12 &&
      morvane::ByteReader(r.current(), r.remaining()).slice(8, 4).i32() > 0)
    ySrc = image.height() - ySrc - srcH;
  gdi_.stretchImage(dest, image, QRectF(xSrc, ySrc, srcW, srcH), rop);
}

void WmfPlayer::polyPolygon(morvane::ByteReader &r) {
  std::size_t polys = std::min<std::size_t>(r.u16(), r.remaining() / 2);
  std::vector<std::uint16_t> counts(polys);
  for (auto &c : counts) c = r.u16();
  std::vector<QPolygonF> result;
  for (std::uint16_t c : counts) result.push_back(pointsXY(r, c, gdi_));
  gdi_.polyPolygon(result);
}

void WmfPlayer::arc(std::uint16_t function, morvane::ByteReader &r) {
  QPointF end = pointYX(r);
  QPointF start = pointYX(r);
  QRectF box = rectBRTL(r);
  auto kind = function == MetaArc   ? GdiPlayer::ArcKind::Arc
              : function == MetaPie ? GdiPlayer::ArcKind::Pie
                                    : GdiPlayer::ArcKind::Chord;
  gdi_.arc(kind, box, start, end);
}

bool WmfPlayer::play(std::uint16_t function, morvane::ByteReader r) {
  switch (function) {
    case MetaEof:
      return false;
    case MetaSaveDc:
      gdi_.saveDc();
      break;
    case MetaRestoreDc:
      gdi_.restoreDc(r.i16());
      break;
    case MetaSetBkMode:
      gdi_.setBkMode(r.u16());
      break;
    case MetaSetMapMode:
      gdi_.setMapMode(r.u16());
      break;
    case MetaSetPolyFillMode:
      gdi_.setPolyFillMode(r.u16());
      break;
    case MetaSetTextAlign:
      gdi_.setTextAlign(r.u16());
      break;
    case MetaSetBkColor:
      gdi_.setBkColor(colorRef(r.u32()));
      break;
    case MetaSetTextColor:
      gdi_.setTextColor(colorRef(r.u32()));
      break;
    case MetaSetWindowOrg:
      gdi_.setWindowOrg(pointYX(r));
      break;
    case MetaSetWindowExt: {
      QPointF e = pointYX(r);
      gdi_.setWindowExt(QSizeF(e.x(), e.y()));
      break;
    }
    case MetaSetViewportOrg:
      gdi_.setViewportOrg(pointYX(r));
      break;
    case MetaSetViewportExt: {
      QPointF e = pointYX(r);
      gdi_.setViewportExt(QSizeF(e.x(), e.y()));
      break;
    }
    case MetaScaleViewportExt: {
      double yd = r.i16(), yn = r.i16(), xd = r.i16(), xn = r.i16();
      gdi_.scaleViewportExt(xn, xd, yn, yd);
      break;
    }
    case MetaOffsetWindowOrg:
      gdi_.offsetWindowOrg(pointYX(r));
      break;
    case MetaScaleWindowExt: {
      double yd = r.i16(), yn = r.i16(), xd = r.i16(), xn = r.i16();
      gdi_.scaleWindowExt(xn, xd, yn, yd);
      break;
    }
    case MetaSelectObject:
      gdi_.selectObject(r.u16());
      break;
    case MetaDeleteObject:
      gdi_.deleteObject(r.u16());
      break;
    case MetaCreatePenIndirect:
      createPen(r);
      break;
    case MetaCreateBrushIndirect:
      createBrush(r);
      break;
    case MetaCreateFontIndirect:
      createFont(r);
      break;
    case MetaDibCreatePatternBrush:
      createPatternBrush(r);
      break;
    case MetaCreatePalette:
    case MetaCreatePatternBrush:
    case MetaCreateRegion:
      createPlaceholder();
      break;
    case MetaMoveTo:
      gdi_.moveTo(pointYX(r));
      break;
    case MetaLineTo:
      gdi_.lineTo(pointYX(r));
      break;
    case MetaPolygon:
    case MetaPolyline: {
      QPolygonF pts = pointsXY(r, r.u16(), gdi_);
      if (function == MetaPolygon)
        gdi_.polygon(pts);
      else
        gdi_.polyline(pts);
      break;
    }
    case MetaPolyPolygon:
      polyPolygon(r);
      break;
    case MetaRectangle:
      gdi_.rectangle(rectBRTL(r));
      break;
    case MetaEllipse:
      gdi_.ellipse(rectBRTL(r));
      break;
    case MetaRoundRect: {
      double h = r.i16(), w = r.i16();
      gdi_.roundRect(rectBRTL(r), QSizeF(w, h));
      break;
    }
    case MetaArc:
    case MetaPie:
    case MetaChord:
      arc(function, r);
      break;
    case MetaSetPixel: {
      QColor c = colorRef(r.u32());
      gdi_.setPixel(pointYX(r), c);
      break;
    }
    case MetaIntersectClipRect:
      gdi_.intersectClipRect(rectBRTL(r));
      break;
    case MetaExcludeClipRect:
      gdi_.excludeClipRect(rectBRTL(r));
      break;
    case MetaTextOut:
      textOut(r);
      break;
    case MetaExtTextOut:
      extTextOut(r);
      break;
    case MetaPatBlt: {
      std::uint32_t rop = r.u32();
      double h = r.i16(), w = r.i16();
      gdi_.patBlt(QRectF(pointYX(r), QSizeF(w, h)), rop);
      break;
    }
    case MetaDibBitBlt:
    case MetaDibStretchBlt:
    case MetaStretchDib:
      dibBlt(function, r);
      break;
    default:
      break;  // escapes, palettes, viewport records and the rest
  }
  return true;
}

struct WmfHeaderInfo {
  bool placeable = false;
  QRectF bbox;
  double unitsPerInch = 0;
};

WmfHeaderInfo readPlaceable(const QByteArray &data) {
  WmfHeaderInfo info;
  if (data.size() < kPlaceableSize) return info;
  morvane::ByteReader r(reinterpret_cast<const std::uint8_t *>(data.constData()),
                        std::size_t(data.size()));
  if (r.u32() != kPlaceableKey) return info;
  r.u16();
  double l = r.i16(), t = r.i16(), rt = r.i16(), b = r.i16();
  info.placeable = true;
  info.bbox = QRectF(QPointF(l, t), QPointF(rt, b));
  info.unitsPerInch = r.u16();
  return info;
}

// The first window origin and extent the records set, for a WMF without any
// stored frame.
QRectF windowFromRecords(morvane::ByteReader records) {
  QPointF org;
  QSizeF ext;
  for (int i = 0; i < 256 && records.remaining() >= 6; ++i) {
    std::uint32_t words = records.u32();
    std::uint16_t function = records.u16();
    if (words < 3 || (words - 3) * 2ull > records.remaining()) break;
    morvane::ByteReader params = records.sub((words - 3) * 2ull);
    if (function == MetaSetWindowOrg && params.remaining() >= 4) org = pointYX(params);
    if (function == MetaSetWindowExt && params.remaining() >= 4) {
      QPointF e = pointYX(params);
      ext = QSizeF(e.x(), e.y());
    }
  }
  return QRectF(org, ext);
}

}  // namespace

WmfFrame readWmfFrame(const PictureSource &picture) {
  const QByteArray &data = picture.data;
  WmfHeaderInfo placeable = readPlaceable(data);
  WmfFrame frame;
  frame.headerOffset = placeable.placeable ? kPlaceableSize : 0;
  morvane::ByteReader r(reinterpret_cast<const std::uint8_t *>(data.constData()),
                        std::size_t(data.size()));
  if (data.size() < frame.headerOffset + kMetaHeaderSize)
    throw morvane::PictureError(QStringLiteral("the WMF picture is too short for its header"));
  r.seek(std::uint64_t(frame.headerOffset));
  std::uint16_t type = r.u16(), headerWords = r.u16();
  if ((type != 1 && type != 2) || headerWords != 9)
    throw morvane::PictureError(QStringLiteral("the WMF picture's header is damaged"));

  if (placeable.placeable && placeable.bbox.width() != 0 && placeable.bbox.height() != 0) {
    frame.window = placeable.bbox;
  } else if (!picture.metafileBounds.isEmpty()) {
    const QRect &b = picture.metafileBounds;
    frame.window = QRectF(b.left(), b.top(), b.width(), b.height());
  } else {
    r.seek(std::uint64_t(frame.headerOffset + kMetaHeaderSize));
    frame.window = windowFromRecords(r.sub(r.remaining()));
  }
  if (picture.metafileSizeEmu.width() > 0 && picture.metafileSizeEmu.height() > 0) {
    frame.inches = QSizeF(picture.metafileSizeEmu) / kEmuPerInch;
  } else if (placeable.placeable && placeable.unitsPerInch > 0) {
    frame.inches = QSizeF(std::abs(placeable.bbox.width()), std::abs(placeable.bbox.height())) /
                   placeable.unitsPerInch;
  } else {
    frame.inches = QSizeF(std::abs(frame.window.width()), std::abs(frame.window.height())) / 96.0;
  }
  return frame;
}

void playWmf(const PictureSource &picture, QPainter &painter, const PlayerTarget &target,
             DrawingOutcome &outcome) {
  WmfFrame frame = readWmfFrame(picture);
  const QByteArray &data = picture.data;
  morvane::ByteReader r(reinterpret_cast<const std::uint8_t *>(data.constData()),
                        std::size_t(data.size()));
  r.seek(std::uint64_t(frame.headerOffset) + 12);
  std::uint16_t objects = r.u16();
  r.seek(std::uint64_t(frame.headerOffset + kMetaHeaderSize));

  GdiPlayer gdi = GdiPlayer::forWmf(painter, target, frame.window);
  gdi.setObjectTableSize(objects);
  WmfPlayer player(gdi);
  for (int count = 0; count < kMaxRecords && r.remaining() >= 6 && !gdi.workSpent(); ++count) {
    std::uint32_t words = r.u32();
    std::uint16_t function = r.u16();
    if (words < 3 || (words - 3) * 2ull > r.remaining()) {  // damaged: keep what was drawn
      outcome.damage = QStringLiteral("record of %1 words at byte %2 runs past the end of the data")
                           .arg(words)
                           .arg(r.pos() - 6);
      break;
    }
    morvane::ByteReader params = r.sub((words - 3) * 2ull);
    try {
      if (!player.play(function, params)) break;
    } catch (const morvane::Error &) {
      // A record shorter than its fields: skip it.
    }
  }
  outcome.drawn = gdi.drawn();
  outcome.stoppedEarly = gdi.workSpent();
  if (outcome.damage.isEmpty()) outcome.damage = gdi.refusal();
}

}  // namespace office::render::metafile
