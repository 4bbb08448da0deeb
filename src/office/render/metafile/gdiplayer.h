#pragma once

// The GDI state machine that EMF and WMF records are played through: the
// device context (objects, colours, modes, mapping, clipping, current
// position, path bracket) and the drawing operations, painted on a QPainter.
// Coordinates handed in are logical; the player maps them to the image.

#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace office::render::metafile {

struct GdiPen {
  int style = 0;     // PS_* line style (low 4 bits), end cap and join bits kept
  double width = 0;  // logical units; 0 = one device pixel
  QColor color = Qt::black;
  bool cosmetic = true;
};

struct GdiBrush {
  int style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, pattern brushes 3/5/6
  QColor color = Qt::white;
  int hatch = 0;
  QImage pattern;  // pattern brushes
};

struct GdiFont {
  QString face;
  double height = 0;      // logical; < 0 = character (em) height, > 0 = cell height
  double width = 0;       // average character width, 0 = natural
  double escapement = 0;  // tenths of a degree, counterclockwise
  int weight = 400;
  bool italic = false, underline = false, strikeout = false;
  int charset = 0;
};

struct GdiObject {
  enum class Kind { Empty, Pen, Brush, Font, Other } kind = Kind::Empty;
  GdiPen pen;
  GdiBrush brush;
  GdiFont font;
};

enum MapMode {
  MmText = 1,
  MmLoMetric,
  MmHiMetric,
  MmLoEnglish,
  MmHiEnglish,
  MmTwips,
  MmIsotropic,
  MmAnisotropic
};

// Options of a text output (ETO_*).
enum TextOption : std::uint32_t {
  EtoOpaque = 0x2,
  EtoClipped = 0x4,
  EtoGlyphIndex = 0x10,
  EtoPdy = 0x2000
};

struct TextRun {
  QPointF reference;
  QString text;
  std::vector<double> dx;  // logical advance of each character; empty = natural
  std::uint32_t options = 0;
  QRectF rect;  // logical; used with EtoOpaque / EtoClipped
};

// Where the picture goes: it is drawn at full size, and the image holds the
// visible part of that (the cropped part of the picture).
struct PlayerTarget {
  QSize full;
  QRect visible;
};

class GdiPlayer {
 public:
  // EMF: page coordinates map to reference-device pixels, and deviceFrame
  // (in those pixels) fills the whole picture. pixelsPerMm drives the metric modes.
  static GdiPlayer forEmf(QPainter &painter, const PlayerTarget &target, const QRectF &deviceFrame,
                          QSizeF pixelsPerMm);
  // WMF: the window (initially frame) is mapped onto the whole picture.
  static GdiPlayer forWmf(QPainter &painter, const PlayerTarget &target, const QRectF &frame);

  // Object table
  void setObjectTableSize(std::size_t count);
  void createObject(std::uint32_t index, const GdiObject &object);  // EMF: at a given index
  void createObject(const GdiObject &object);                       // WMF: lowest free index
  void selectObject(std::uint32_t index);
  void deleteObject(std::uint32_t index);

  // Device context state
  void saveDc();
  void restoreDc(int which);
  void setMapMode(int mode);
  void setWindowOrg(QPointF org);
  void setWindowExt(QSizeF ext);
  void setViewportOrg(QPointF org);
  void setViewportExt(QSizeF ext);
  void offsetWindowOrg(QPointF delta);
  void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
  void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
  void setWorldTransform(const QTransform &xform);
  void modifyWorldTransform(const QTransform &xform, int mode);
  void setTextAlign(std::uint32_t align) { dc_.textAlign = align; }
  void setTextColor(QColor color) { dc_.textColor = color; }
  void setBkColor(QColor color) { dc_.bkColor = color; }
  void setBkMode(int mode) { dc_.bkMode = mode; }
  void setPolyFillMode(int mode) { dc_.polyFillMode = mode; }
  void setArcDirection(int direction) { dc_.arcClockwise = direction == 2; }
  void setMiterLimit(double limit) { dc_.miterLimit = limit; }

  // Clipping; rectangles are logical unless said otherwise.
  void intersectClipRect(const QRectF &rect);
  void excludeClipRect(const QRectF &rect);
  void selectDeviceClipRects(const std::vector<QRectF> &rects, int mode);  // EMF device units
  void resetClip();
  void selectClipPath(int mode);

  // Drawing
  void moveTo(QPointF p);
  void lineTo(QPointF p);
  void polyline(const QPolygonF &points);
  void polylineTo(const QPolygonF &points);
  void polygon(const QPolygonF &points);
  void polyPolygon(const std::vector<QPolygonF> &polygons);
  void polyPolyline(const std::vector<QPolygonF> &polylines);
  void polyBezier(const QPolygonF &points);
  void polyBezierTo(const QPolygonF &points);
  void rectangle(const QRectF &rect);
  void roundRect(const QRectF &rect, QSizeF corner);
  void ellipse(const QRectF &rect);
  enum class ArcKind { Arc, Chord, Pie, ArcTo };
  void arc(ArcKind kind, const QRectF &box, QPointF start, QPointF end);
  void setPixel(QPointF p, QColor color);
  void text(const TextRun &run);
  // dest logical; src in bitmap pixels, top-left origin; rop a ternary raster operation
  void stretchImage(const QRectF &dest, const QImage &image, const QRectF &src, std::uint32_t rop);
  void patBlt(const QRectF &dest, std::uint32_t rop);
  // An image with its own (premultiplied) alpha, times a constant opacity.
  void blendImage(const QRectF &dest, const QImage &image, const QRectF &src, double opacity);
  // Region rectangles (logical) filled with the brush at index, or the
  // selected brush when index is null.
  void fillRects(const std::vector<QRectF> &rects, const std::uint32_t *brushIndex);
  // Points with PT_* types (move, line, Bezier, close), stroked.
  void polyDraw(const QPolygonF &points, const std::vector<std::uint8_t> &types);

  // Path bracket
  void beginPath();
  void endPath() { inPathBracket_ = false; }
  void abortPath();
  void closeFigure();
  void fillPath();
  void strokePath();
  void strokeAndFillPath();

  // Work charged before a record's points are turned into a path: false
  // (and playback stops) when they would pass the budget or the largest path.
  bool chargePoints(qint64 count);
  // A bitmap's pixels, charged before it is decoded.
  bool chargeBitmap(qint64 pixels);

  // True once the picture's work budget is spent; playback stops.
  bool workSpent() const { return work_ >= workLimit_; }
  // Drawing operations carried out so far.
  int drawn() const { return drawn_; }
  // A bitmap whose data holds far less than its header claims is refused;
  // the first such refusal is noted here.
  void noteRefusedBitmap(qint64 pixels, std::size_t bytes);
  const QString &refusal() const { return refusal_; }

 private:
  bool charge(qint64 cost);
  // Charges a path's drawing; elements already paid by chargePoints are not
  // charged again.
  bool chargePath(const QPainterPath &devicePath, double penWidth, qint64 paidElements = 0);
  // Pixels of a logical rectangle on the image.
  qint64 pixelsCovered(const QRectF &logical) const;
  struct DcState {
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = 2;        // OPAQUE
    int polyFillMode = 1;  // ALTERNATE
    std::uint32_t textAlign = 0;
    bool arcClockwise = false;
    double miterLimit = 10;
    int mapMode = MmText;
    QPointF windowOrg;
    QSizeF windowExt{1, 1};
    QPointF viewportOrg;
    QSizeF viewportExt{1, 1};
    QTransform world;
    QPointF position;
    bool clipped = false;
    QPainterPath clip;  // image coordinates
  };

  GdiPlayer(QPainter &painter, QSize image);
  static QTransform placeOnImage(const QRectF &frame, const PlayerTarget &target);
  QTransform pageToDevice() const;
  QTransform fullTransform() const;
  void applyClip();
  void combineClip(const QPainterPath &area, int mode);
  QPen makePen(const QTransform &full) const;
  QBrush makeBrush() const { return brushOf(dc_.brush); }
  QBrush brushOf(const GdiBrush &brush) const;
  QBrush deviceBrush(const QTransform &full) const;
  Qt::FillRule fillRule() const;
  // Draws (or, inside a path bracket, collects) a logical path.
  void emitPath(const QPainterPath &path, bool fill, bool stroke);
  void paintImagePath(const QPainterPath &imagePath, bool fill, bool stroke);
  QFont makeFont(double devicePixelHeight) const;
  std::optional<QFont> runFont(const QTransform &full) const;
  QPointF alignmentOffset(double width, const QFontMetricsF &metrics) const;
  GdiObject *objectAt(std::uint32_t index);

  QPainter &painter_;
  QRectF imageRect_;
  // Work spent so far and the most a picture may spend (drawingwork.h); once
  // spent, nothing more is drawn.
  qint64 work_ = 0;
  qint64 workLimit_ = 0;
  qint64 paidElements_ = 0;  // by chargePoints, for the next path
  int drawn_ = 0;
  QString refusal_;
  bool wmf_ = false;
  QTransform deviceToImage_;
  QSizeF pixelsPerMm_{96 / 25.4, 96 / 25.4};
  DcState dc_;
  std::vector<DcState> saved_;
  std::vector<GdiObject> objects_;
  std::set<std::uint32_t> freeSlots_;  // empty slots of objects_, lowest first
  bool inPathBracket_ = false;
  QPainterPath pathBracket_;  // image coordinates
};

}  // namespace office::render::metafile
