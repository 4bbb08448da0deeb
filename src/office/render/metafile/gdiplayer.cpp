#include "office/render/metafile/gdiplayer.h"

#include "common/symbolfonts.h"
#include "office/render/drawingwork.h"

#include <QFontMetricsF>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace office::render::metafile {
namespace {

constexpr std::size_t kMaxObjects = 65536;
constexpr std::size_t kMaxSavedStates = 4096;
constexpr double kMaxFontPixels = 5000;
// A character drawn: shaping and rasterising cost more than a path element.
constexpr qint64 kGlyphCost = 4 * kElementCost;
enum PenStyle { PsSolid, PsDash, PsDot, PsDashDot, PsDashDotDot, PsNull, PsInsideFrame };
enum BrushStyle { BsSolid, BsNull, BsHatched, BsPattern };
enum ClipMode { RgnAnd = 1, RgnOr, RgnXor, RgnDiff, RgnCopy };
enum TextAlign : std::uint32_t {
  TaUpdateCp = 1,
  TaRight = 2,
  TaCenter = 6,
  TaHorizontalMask = 6,
  TaBottom = 8,
  TaBaseline = 24,
  TaVerticalMask = 24
};

bool finite(double v) { return std::isfinite(v) && std::abs(v) < 1e12; }

bool usable(const QTransform &t) {
  return finite(t.m11()) && finite(t.m12()) && finite(t.m21()) && finite(t.m22()) &&
         finite(t.dx()) && finite(t.dy()) && std::abs(t.determinant()) > 1e-18;
}

// Maps a window (origin, extent) onto a viewport (origin, extent).
QTransform windowToViewport(QPointF wOrg, QSizeF wExt, QPointF vOrg, QSizeF vExt) {
  double sx = vExt.width() / wExt.width();
  double sy = vExt.height() / wExt.height();
  return QTransform(sx, 0, 0, sy, vOrg.x() - wOrg.x() * sx, vOrg.y() - wOrg.y() * sy);
}

// Scale of a transform along a direction, for sizes that follow the mapping.
double scaleAlong(const QTransform &t, QPointF direction) {
  QPointF v = t.map(direction) - t.map(QPointF(0, 0));
  return std::hypot(v.x(), v.y()) / std::max(1e-12, std::hypot(direction.x(), direction.y()));
}

Qt::BrushStyle hatchStyle(int hatch) {
  switch (hatch) {
    case 0:
      return Qt::HorPattern;
    case 1:
      return Qt::VerPattern;
    case 2:
      return Qt::FDiagPattern;
    case 3:
      return Qt::BDiagPattern;
    case 4:
      return Qt::CrossPattern;
    default:
      return Qt::DiagCrossPattern;
  }
}

}  // namespace

GdiPlayer::GdiPlayer(QPainter &painter, QSize image)
    : painter_(painter), imageRect_(QPointF(0, 0), image) {
  setObjectTableSize(16);
  workLimit_ = workLimitFor(qint64(image.width()) * image.height());
}

bool GdiPlayer::charge(qint64 cost) {
  if (cost > workLimit_ - work_) {
    work_ = workLimit_;
    return false;
  }
  work_ += cost;
  return true;
}

bool GdiPlayer::chargePoints(qint64 count) {
  const qint64 pending = inPathBracket_ ? pathBracket_.elementCount() : 0;
  if (count + pending > kMaxPathElements || !charge(count * kElementCost)) {
    work_ = workLimit_;
    return false;
  }
  paidElements_ += count;
  return true;
}

bool GdiPlayer::chargeBitmap(qint64 pixels) { return charge(std::max<qint64>(pixels, 0)); }

void GdiPlayer::noteRefusedBitmap(qint64 pixels, std::size_t bytes) {
  if (refusal_.isEmpty())
    refusal_ =
        QStringLiteral("a bitmap of %1 pixels in %2 bytes is refused").arg(pixels).arg(bytes);
}

qint64 GdiPlayer::pixelsCovered(const QRectF &logical) const {
  const QRectF covered = fullTransform().mapRect(logical.normalized()).intersected(imageRect_);
  return covered.isValid() ? qint64(covered.width() + 1) * qint64(covered.height() + 1) : 0;
}

// Charges one path (in image coordinates) against the picture's work budget
// and picks whether it is drawn antialiased; false when the budget is spent.
bool GdiPlayer::chargePath(const QPainterPath &devicePath, double penWidth, qint64 paidElements) {
  const double half = penWidth / 2 + 1;
  const QRectF bounds = devicePath.controlPointRect().adjusted(-half, -half, half, half);
  painter_.setRenderHint(QPainter::Antialiasing,
                         drawAntialiased(bounds, devicePath.elementCount(), imageRect_));
  const QRectF covered = bounds.intersected(imageRect_);
  const qint64 pixels =
      covered.isValid() ? qint64(covered.width() + 1) * qint64(covered.height() + 1) : 0;
  const qint64 elements = std::max<qint64>(0, devicePath.elementCount() - paidElements);
  if (!charge(pixels + edgeRowsOnImage(devicePath, imageRect_.height()) * kEdgeRowCost +
              elements * kElementCost))
    return false;
  ++drawn_;
  return true;
}

// The whole picture's frame onto the full size, moved so that the visible
// part starts at the image's top left corner.
QTransform GdiPlayer::placeOnImage(const QRectF &frame, const PlayerTarget &target) {
  return windowToViewport(frame.topLeft(), frame.size(), QPointF(0, 0), target.full) *
         QTransform::fromTranslate(-target.visible.left(), -target.visible.top());
}

GdiPlayer GdiPlayer::forEmf(QPainter &painter, const PlayerTarget &target,
                            const QRectF &deviceFrame, QSizeF pixelsPerMm) {
  GdiPlayer player(painter, target.visible.size());
  QRectF frame = deviceFrame;
  if (!(frame.width() > 0) || !(frame.height() > 0)) frame = QRectF(QPointF(0, 0), target.full);
  player.deviceToImage_ = placeOnImage(frame, target);
  if (pixelsPerMm.width() > 0 && pixelsPerMm.height() > 0 && finite(pixelsPerMm.width()) &&
      finite(pixelsPerMm.height()))
    player.pixelsPerMm_ = pixelsPerMm;
  return player;
}

GdiPlayer GdiPlayer::forWmf(QPainter &painter, const PlayerTarget &target, const QRectF &frameIn) {
  GdiPlayer player(painter, target.visible.size());
  QRectF frame = frameIn;
  if (!(frame.width() != 0 && frame.height() != 0 && finite(frame.width()) &&
        finite(frame.height())))
    frame = QRectF(QPointF(0, 0), target.full);
  // The player's device is the frame itself: the window starts equal to the
  // viewport, both covering the frame, so that records that scale or move
  // the viewport relative to its start keep their meaning.
  player.wmf_ = true;
  player.deviceToImage_ = placeOnImage(frame, target);
  player.dc_.mapMode = MmAnisotropic;
  player.dc_.windowOrg = player.dc_.viewportOrg = frame.topLeft();
  player.dc_.windowExt = player.dc_.viewportExt = frame.size();
  return player;
}

// ---- object table ----

void GdiPlayer::setObjectTableSize(std::size_t count) {
  const std::size_t size = std::clamp<std::size_t>(count, 1, kMaxObjects);
  objects_.assign(size, GdiObject{});
  freeSlots_.clear();
  for (std::uint32_t i = 0; i < size; ++i) freeSlots_.insert(freeSlots_.end(), i);
}

GdiObject *GdiPlayer::objectAt(std::uint32_t index) {
  return index < objects_.size() ? &objects_[index] : nullptr;
}

void GdiPlayer::createObject(std::uint32_t index, const GdiObject &object) {
  if (index >= kMaxObjects) return;
  while (objects_.size() <= index) {
    freeSlots_.insert(freeSlots_.end(), std::uint32_t(objects_.size()));
    objects_.emplace_back();
  }
  objects_[index] = object;
  if (object.kind == GdiObject::Kind::Empty)
    freeSlots_.insert(index);
  else
    freeSlots_.erase(index);
}

// The lowest free slot, found in logarithmic time: a metafile creating
// thousands of objects must not cost the square of their number.
void GdiPlayer::createObject(const GdiObject &object) {
  if (!freeSlots_.empty()) {
    createObject(*freeSlots_.begin(), object);
  } else if (objects_.size() < kMaxObjects) {
    createObject(std::uint32_t(objects_.size()), object);
  }
}

void GdiPlayer::selectObject(std::uint32_t index) {
  if (!wmf_ && (index & 0x80000000u)) {
    // Stock objects.
    switch (index & 0x7FFFFFFFu) {
      case 0:
        dc_.brush = {BsSolid, Qt::white, 0, {}};
        break;
      case 1:
        dc_.brush = {BsSolid, QColor(192, 192, 192), 0, {}};
        break;
      case 2:
        dc_.brush = {BsSolid, QColor(128, 128, 128), 0, {}};
        break;
      case 3:
        dc_.brush = {BsSolid, QColor(64, 64, 64), 0, {}};
        break;
      case 4:
        dc_.brush = {BsSolid, Qt::black, 0, {}};
        break;
      case 5:
        dc_.brush = {BsNull, Qt::black, 0, {}};
        break;
      case 6:
        dc_.pen = {PsSolid, 0, Qt::white, true};
        break;
      case 7:
        dc_.pen = {PsSolid, 0, Qt::black, true};
        break;
      case 8:
        dc_.pen = {PsNull, 0, Qt::black, true};
        break;
      case 10:
      case 11:
      case 12:
      case 13:
      case 14:
      case 16:
      case 17:
        dc_.font = GdiFont{};
        break;
      default:
        break;
    }
    return;
  }
  const GdiObject *object = objectAt(index);
  if (!object) return;
  switch (object->kind) {
    case GdiObject::Kind::Pen:
      dc_.pen = object->pen;
      break;
    case GdiObject::Kind::Brush:
      dc_.brush = object->brush;
      break;
    case GdiObject::Kind::Font:
      dc_.font = object->font;
      break;
    default:
      break;
  }
}

void GdiPlayer::deleteObject(std::uint32_t index) {
  if (objectAt(index)) createObject(index, GdiObject{});
}

// ---- state and mapping ----

void GdiPlayer::saveDc() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(dc_);
}

void GdiPlayer::restoreDc(int which) {
  std::size_t keep;
  if (which < 0) {
    std::size_t back = std::size_t(-std::int64_t(which));
    if (back > saved_.size()) return;
    keep = saved_.size() - back;
  } else {
    if (which == 0 || std::size_t(which) > saved_.size()) return;
    keep = std::size_t(which) - 1;
  }
  dc_ = saved_[keep];
  saved_.resize(keep);
  applyClip();
}

void GdiPlayer::setMapMode(int mode) {
  if (mode < MmText || mode > MmAnisotropic) return;
  dc_.mapMode = mode;
}

void GdiPlayer::setWindowOrg(QPointF org) {
  if (finite(org.x()) && finite(org.y())) dc_.windowOrg = org;
}

void GdiPlayer::setWindowExt(QSizeF ext) {
  if (ext.width() != 0 && ext.height() != 0 && finite(ext.width()) && finite(ext.height()))
    dc_.windowExt = ext;
}

void GdiPlayer::setViewportOrg(QPointF org) {
  if (finite(org.x()) && finite(org.y())) dc_.viewportOrg = org;
}

void GdiPlayer::setViewportExt(QSizeF ext) {
  if (ext.width() != 0 && ext.height() != 0 && finite(ext.width()) && finite(ext.height()))
    dc_.viewportExt = ext;
}

void GdiPlayer::offsetWindowOrg(QPointF delta) { setWindowOrg(dc_.windowOrg + delta); }

void GdiPlayer::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  setWindowExt(
      QSizeF(dc_.windowExt.width() * xNum / xDenom, dc_.windowExt.height() * yNum / yDenom));
}

void GdiPlayer::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  setViewportExt(
      QSizeF(dc_.viewportExt.width() * xNum / xDenom, dc_.viewportExt.height() * yNum / yDenom));
}

void GdiPlayer::setWorldTransform(const QTransform &xform) {
  if (usable(xform)) dc_.world = xform;
}

void GdiPlayer::modifyWorldTransform(const QTransform &xform, int mode) {
  QTransform result = dc_.world;
  switch (mode) {
    case 1:
      result = QTransform();
      break;
    case 2:
      result = xform * dc_.world;
      break;
    case 3:
      result = dc_.world * xform;
      break;
    case 4:
      result = xform;
      break;
    default:
      return;
  }
  if (usable(result)) dc_.world = result;
}

QTransform GdiPlayer::pageToDevice() const {
  if (wmf_ && dc_.mapMode != MmIsotropic) {
    // A WMF has no device of its own: whatever its mapping mode, its window
    // is mapped onto the viewport set up for the picture frame.
    return windowToViewport(dc_.windowOrg, dc_.windowExt, dc_.viewportOrg, dc_.viewportExt);
  }
  double mmPerUnit = 0;
  switch (dc_.mapMode) {
    case MmLoMetric:
      mmPerUnit = 0.1;
      break;
    case MmHiMetric:
      mmPerUnit = 0.01;
      break;
    case MmLoEnglish:
      mmPerUnit = 0.254;
      break;
    case MmHiEnglish:
      mmPerUnit = 0.0254;
      break;
    case MmTwips:
      mmPerUnit = 25.4 / 1440;
      break;
    default:
      break;
  }
  if (mmPerUnit > 0) {
    QSizeF ext(pixelsPerMm_.width() * mmPerUnit, -pixelsPerMm_.height() * mmPerUnit);
    return windowToViewport(dc_.windowOrg, QSizeF(1, 1), dc_.viewportOrg, ext);
  }
  if (dc_.mapMode == MmAnisotropic)
    return windowToViewport(dc_.windowOrg, dc_.windowExt, dc_.viewportOrg, dc_.viewportExt);
  if (dc_.mapMode == MmIsotropic) {
    double sx = dc_.viewportExt.width() / dc_.windowExt.width();
    double sy = dc_.viewportExt.height() / dc_.windowExt.height();
    double s = std::min(std::abs(sx), std::abs(sy));
    QSizeF ext(dc_.windowExt.width() * std::copysign(s, sx),
               dc_.windowExt.height() * std::copysign(s, sy));
    return windowToViewport(dc_.windowOrg, dc_.windowExt, dc_.viewportOrg, ext);
  }
  return QTransform::fromTranslate(dc_.viewportOrg.x() - dc_.windowOrg.x(),
                                   dc_.viewportOrg.y() - dc_.windowOrg.y());
}

QTransform GdiPlayer::fullTransform() const {
  QTransform full = dc_.world * pageToDevice() * deviceToImage_;
  return usable(full) ? full : deviceToImage_;
}

// ---- clipping ----

void GdiPlayer::applyClip() {
  painter_.resetTransform();
  if (dc_.clipped)
    painter_.setClipPath(dc_.clip);
  else
    painter_.setClipping(false);
}

void GdiPlayer::combineClip(const QPainterPath &area, int mode) {
  QPainterPath current;
  if (dc_.clipped) {
    current = dc_.clip;
  } else {
    current.addRect(imageRect_);
  }
  // Path operations take time growing with the product of the two paths'
  // sizes.
  const qint64 product = qint64(current.elementCount()) * qint64(area.elementCount());
  if (!charge((current.elementCount() + area.elementCount()) * kElementCost + product)) return;
  switch (mode) {
    case RgnAnd:
      dc_.clip = current.intersected(area);
      break;
    case RgnOr:
      dc_.clip = current.united(area);
      break;
    case RgnXor:
      dc_.clip = current.united(area).subtracted(current.intersected(area));
      break;
    case RgnDiff:
      dc_.clip = current.subtracted(area);
      break;
    case RgnCopy:
      dc_.clip = area;
      break;
    default:
      return;
  }
  dc_.clipped = true;
  applyClip();
}

void GdiPlayer::intersectClipRect(const QRectF &rect) {
  QPainterPath area;
  area.addPolygon(fullTransform().map(QPolygonF(rect.normalized())));
  area.closeSubpath();
  combineClip(area, RgnAnd);
}

void GdiPlayer::excludeClipRect(const QRectF &rect) {
  QPainterPath area;
  area.addPolygon(fullTransform().map(QPolygonF(rect.normalized())));
  area.closeSubpath();
  combineClip(area, RgnDiff);
}

void GdiPlayer::selectDeviceClipRects(const std::vector<QRectF> &rects, int mode) {
  if (rects.empty() && mode == RgnCopy) {
    resetClip();
    return;
  }
  const qint64 count = qint64(rects.size());
  if (!charge(count * count + count * kElementCost)) return;  // simplified() is quadratic
  QPainterPath area;
  area.setFillRule(Qt::WindingFill);
  for (const QRectF &r : rects) area.addPolygon(deviceToImage_.map(QPolygonF(r.normalized())));
  combineClip(area.simplified(), mode);
}

void GdiPlayer::resetClip() {
  dc_.clipped = false;
  dc_.clip = QPainterPath();
  applyClip();
}

void GdiPlayer::selectClipPath(int mode) {
  QPainterPath area = pathBracket_;
  area.setFillRule(fillRule());
  pathBracket_ = QPainterPath();
  combineClip(area, mode);
}

// ---- pens, brushes, painting ----

Qt::FillRule GdiPlayer::fillRule() const {
  return dc_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill;
}

QPen GdiPlayer::makePen(const QTransform &full) const {
  const GdiPen &p = dc_.pen;
  int style = p.style & 0xF;
  if (style == PsNull) return Qt::NoPen;
  QPen pen(p.color);
  double devWidth = p.width * scaleAlong(full, QPointF(1, 0));
  if (p.cosmetic || p.width <= 0 || devWidth < 1.0) {
    pen.setCosmetic(true);
    pen.setWidthF(1);
  } else {
    // A pen wider than the picture paints no differently from one as wide.
    double widest = 2 * std::hypot(imageRect_.width(), imageRect_.height());
    pen.setWidthF(devWidth > widest ? p.width * widest / devWidth : p.width);
  }
  switch (style) {
    case PsDash:
      pen.setStyle(Qt::DashLine);
      break;
    case PsDot:
      pen.setStyle(Qt::DotLine);
      break;
    case PsDashDot:
      pen.setStyle(Qt::DashDotLine);
      break;
    case PsDashDotDot:
      pen.setStyle(Qt::DashDotDotLine);
      break;
    default:
      break;
  }
  if (!pen.isCosmetic()) {
    int cap = p.style & 0xF00, join = p.style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000 ? Qt::MiterJoin
                                      : Qt::RoundJoin);
    pen.setMiterLimit(dc_.miterLimit);
  }
  return pen;
}

QBrush GdiPlayer::brushOf(const GdiBrush &b) const {
  switch (b.style) {
    case BsSolid:
      return QBrush(b.color);
    case BsHatched:
      return QBrush(b.color, hatchStyle(b.hatch));
    case BsNull:
      return Qt::NoBrush;
    default:
      if (!b.pattern.isNull()) return QBrush(b.pattern);
      return QBrush(b.color);
  }
}

// Hatches and patterns keep their size in pixels, as on a screen, whatever
// the mapping.
QBrush GdiPlayer::deviceBrush(const QTransform &full) const {
  QBrush brush = makeBrush();
  if (dc_.brush.style != BsSolid && dc_.brush.style != BsNull) {
    bool invertible = false;
    QTransform back = full.inverted(&invertible);
    if (invertible) brush.setTransform(back);
  }
  return brush;
}

void GdiPlayer::emitPath(const QPainterPath &path, bool fill, bool stroke) {
  const qint64 paid = std::exchange(paidElements_, 0);
  QTransform full = fullTransform();
  if (inPathBracket_) {
    const qint64 unpaid = std::max<qint64>(0, path.elementCount() - paid);
    if (pathBracket_.elementCount() + unpaid > kMaxPathElements || !charge(unpaid * kElementCost)) {
      work_ = workLimit_;
      return;
    }
    pathBracket_.addPath(full.map(path));
    return;
  }
  painter_.setTransform(full);
  QPainterPath p = path;
  p.setFillRule(fillRule());
  const QPen pen = stroke ? makePen(full) : QPen(Qt::NoPen);
  if (!chargePath(full.map(p), stroke ? pen.widthF() * std::sqrt(std::abs(full.determinant())) : 0,
                  paid))
    return;
  if (fill && dc_.brush.style == BsHatched && dc_.bkMode == 2) painter_.fillPath(p, dc_.bkColor);
  painter_.setBrush(fill ? deviceBrush(full) : QBrush(Qt::NoBrush));
  painter_.setPen(pen);
  painter_.drawPath(p);
}

void GdiPlayer::paintImagePath(const QPainterPath &imagePath, bool fill, bool stroke) {
  QTransform full = fullTransform();
  bool invertible = false;
  QTransform back = full.inverted(&invertible);
  QPainterPath logical = invertible ? back.map(imagePath) : imagePath;
  logical.setFillRule(fillRule());
  const QPen pen = stroke ? makePen(full) : QPen(Qt::NoPen);
  if (!chargePath(imagePath, stroke ? pen.widthF() * std::sqrt(std::abs(full.determinant())) : 0))
    return;
  painter_.setTransform(invertible ? full : QTransform());
  painter_.setBrush(fill ? deviceBrush(full) : QBrush(Qt::NoBrush));
  painter_.setPen(pen);
  painter_.drawPath(logical);
}

// ---- drawing ----

void GdiPlayer::moveTo(QPointF p) {
  dc_.position = p;
  if (inPathBracket_) pathBracket_.moveTo(fullTransform().map(p));
}

void GdiPlayer::lineTo(QPointF p) {
  QPainterPath path;
  if (inPathBracket_) {
    QPointF from = fullTransform().map(dc_.position);
    if (pathBracket_.elementCount() == 0 || pathBracket_.currentPosition() != from)
      pathBracket_.moveTo(from);
    pathBracket_.lineTo(fullTransform().map(p));
  } else {
    path.moveTo(dc_.position);
    path.lineTo(p);
    emitPath(path, false, true);
  }
  dc_.position = p;
}

void GdiPlayer::polyline(const QPolygonF &points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  emitPath(path, false, true);
}

void GdiPlayer::polylineTo(const QPolygonF &points) {
  for (const QPointF &p : points) lineTo(p);
}

void GdiPlayer::polygon(const QPolygonF &points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  path.closeSubpath();
  emitPath(path, true, true);
}

void GdiPlayer::polyPolygon(const std::vector<QPolygonF> &polygons) {
  QPainterPath path;
  for (const QPolygonF &poly : polygons) {
    if (poly.size() < 2) continue;
    path.addPolygon(poly);
    path.closeSubpath();
  }
  emitPath(path, true, true);
}

void GdiPlayer::polyPolyline(const std::vector<QPolygonF> &polylines) {
  QPainterPath path;
  for (const QPolygonF &line : polylines)
    if (line.size() >= 2) path.addPolygon(line);
  emitPath(path, false, true);
}

void GdiPlayer::polyBezier(const QPolygonF &points) {
  if (points.size() < 4) return;
  QPainterPath path(points[0]);
  for (qsizetype i = 1; i + 2 < points.size(); i += 3)
    path.cubicTo(points[i], points[i + 1], points[i + 2]);
  emitPath(path, false, true);
}

void GdiPlayer::polyBezierTo(const QPolygonF &points) {
  QPolygonF all;
  all.reserve(points.size() + 1);
  all << dc_.position << points;
  if (inPathBracket_) {
    QTransform full = fullTransform();
    QPointF from = full.map(dc_.position);
    if (pathBracket_.elementCount() == 0 || pathBracket_.currentPosition() != from)
      pathBracket_.moveTo(from);
    for (qsizetype i = 1; i + 2 < all.size(); i += 3)
      pathBracket_.cubicTo(full.map(all[i]), full.map(all[i + 1]), full.map(all[i + 2]));
  } else {
    polyBezier(all);
  }
  if (points.size() >= 3) dc_.position = points[points.size() - 1 - (points.size() % 3)];
}

void GdiPlayer::rectangle(const QRectF &rect) {
  QPainterPath path;
  path.addRect(rect.normalized());
  emitPath(path, true, true);
}

void GdiPlayer::roundRect(const QRectF &rect, QSizeF corner) {
  QPainterPath path;
  path.addRoundedRect(rect.normalized(), std::abs(corner.width()) / 2,
                      std::abs(corner.height()) / 2);
  emitPath(path, true, true);
}

void GdiPlayer::ellipse(const QRectF &rect) {
  QPainterPath path;
  path.addEllipse(rect.normalized());
  emitPath(path, true, true);
}

void GdiPlayer::arc(ArcKind kind, const QRectF &boxIn, QPointF start, QPointF end) {
  QRectF box = boxIn.normalized();
  if (box.width() <= 0 || box.height() <= 0) return;
  QPointF c = box.center();
  double rx = box.width() / 2, ry = box.height() / 2;
  // Angles of the rays through start and end, turned into the ellipse's own
  // parameter, counterclockwise as seen with y growing downwards.
  auto angleOf = [&](QPointF p) {
    return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx));
  };
  double a1 = angleOf(start), a2 = angleOf(end);
  double sweep = std::fmod(a2 - a1 + 720.0, 360.0);
  if (sweep <= 1e-9) sweep = 360;
  if (dc_.arcClockwise) sweep -= 360;
  QPainterPath path;
  if (kind == ArcKind::Pie) path.moveTo(c);
  path.arcMoveTo(box, a1);
  QPointF arcStart = path.currentPosition();
  if (kind == ArcKind::Pie) {
    path = QPainterPath(c);
    path.lineTo(arcStart);
  } else if (kind == ArcKind::ArcTo) {
    path = QPainterPath(dc_.position);
    path.lineTo(arcStart);
  }
  path.arcTo(box, a1, sweep);
  if (kind == ArcKind::Pie || kind == ArcKind::Chord) path.closeSubpath();
  if (kind == ArcKind::ArcTo) dc_.position = path.currentPosition();
  bool closed = kind == ArcKind::Pie || kind == ArcKind::Chord;
  emitPath(path, closed, true);
}

void GdiPlayer::setPixel(QPointF p, QColor color) {
  if (inPathBracket_ || !charge(kElementCost)) return;
  ++drawn_;
  painter_.setTransform(QTransform());
  QPointF d = fullTransform().map(p);
  painter_.fillRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1), color);
}

// ---- text ----

QFont GdiPlayer::makeFont(double pixelHeight) const {
  const GdiFont &f = dc_.font;
  // A damaged name (empty, or with control characters) falls back to a sans-serif face.
  bool usable = !f.face.trimmed().isEmpty() &&
                std::all_of(f.face.begin(), f.face.end(), [](QChar c) { return c.isPrint(); });
  QString face = usable ? f.face : QStringLiteral("Liberation Sans");
  if (morvane::isSymbolFont(face)) face = QStringLiteral("Liberation Serif");
  QFont font(face);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, int(std::lround(pixelHeight))));
  font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeout);
  return font;
}

std::optional<QFont> GdiPlayer::runFont(const QTransform &full) const {
  const GdiFont &f = dc_.font;
  double yScale = scaleAlong(full, QPointF(0, 1));
  double xScale = scaleAlong(full, QPointF(1, 0));
  // The font's height in image pixels: a positive height is the cell height
  // (ascent + descent), a negative one the em height.
  double height = f.height == 0 ? 12 * yScale : std::abs(f.height) * yScale;
  // Glyphs far taller than the picture cannot show as text, and rasterising
  // them costs time and memory without bound.
  double largest = std::max(imageRect_.width(), imageRect_.height());
  if (height > std::min(kMaxFontPixels, 2 * largest) || height < 0.5) return std::nullopt;
  QFont font = makeFont(height);
  if (f.height > 0) {
    double cell = QFontMetricsF(font).height();
    if (cell > 0) font = makeFont(height * height / cell);
  }
  if (f.width > 0) {
    double natural = QFontMetricsF(font).averageCharWidth();
    if (natural > 0)
      font.setStretch(std::clamp(int(std::lround(100 * f.width * xScale / natural)), 1, 1000));
  }
  return font;
}

// Where the run starts (x) and where its baseline lies (y), relative to the
// reference point, for the text alignment in force.
QPointF GdiPlayer::alignmentOffset(double width, const QFontMetricsF &metrics) const {
  double x = 0, y = 0;
  switch (dc_.textAlign & TaHorizontalMask) {
    case TaRight:
      x = -width;
      break;
    case TaCenter:
      x = -width / 2;
      break;
    default:
      break;
  }
  switch (dc_.textAlign & TaVerticalMask) {
    case TaBottom:
      y = -metrics.descent();
      break;
    case TaBaseline:
      y = 0;
      break;
    default:
      y = metrics.ascent();
      break;
  }
  return QPointF(x, y);
}

void GdiPlayer::text(const TextRun &run) {
  if (inPathBracket_ || run.text.isEmpty() || (run.options & EtoGlyphIndex)) return;
  if (!charge(run.text.size() * kGlyphCost)) return;
  ++drawn_;
  QTransform full = fullTransform();
  std::optional<QFont> font = runFont(full);
  if (!font) return;
  QFontMetricsF metrics(*font);
  const GdiFont &f = dc_.font;
  QString text = morvane::isSymbolFont(f.face) ? morvane::symbolToUnicode(run.text) : run.text;

  if (run.options & EtoOpaque) {
    painter_.setTransform(full);
    painter_.fillRect(run.rect.normalized(), dc_.bkColor);
  }
  double xScale = scaleAlong(full, QPointF(1, 0));
  std::vector<double> advances;
  double total = 0;
  for (double d : run.dx) advances.push_back(d * xScale);
  for (double a : advances) total += a;
  if (advances.empty()) total = metrics.horizontalAdvance(text);
  QPointF start = alignmentOffset(total, metrics);

  painter_.setTransform(QTransform());
  if (run.options & EtoClipped) {
    painter_.save();
    QPainterPath area;
    area.addPolygon(full.map(QPolygonF(run.rect.normalized())));
    painter_.setClipPath(area, dc_.clipped ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  // Escapement turns the baseline counterclockwise; a mapping that flips the
  // y axis does not mirror the glyphs.
  bool updateCp = dc_.textAlign & TaUpdateCp;
  QPointF origin = full.map(updateCp ? dc_.position : run.reference);
  QTransform place;
  place.translate(origin.x(), origin.y());
  place.rotate(-f.escapement / 10.0);
  painter_.setTransform(place);
  if (dc_.bkMode == 2)
    painter_.fillRect(QRectF(start.x(), start.y() - metrics.ascent(), total, metrics.height()),
                      dc_.bkColor);
  painter_.setFont(*font);
  painter_.setPen(dc_.textColor);
  if (advances.empty()) {
    painter_.drawText(start, text);
  } else {
    double x = start.x();
    for (qsizetype i = 0; i < text.size(); ++i) {
      painter_.drawText(QPointF(x, start.y()), QString(text[i]));
      if (std::size_t(i) < advances.size()) x += advances[std::size_t(i)];
    }
  }
  if (run.options & EtoClipped) painter_.restore();
  if (updateCp && (dc_.textAlign & TaHorizontalMask) == 0 && xScale > 0)
    dc_.position.rx() += total / xScale;
}

// ---- bitmaps ----

void GdiPlayer::stretchImage(const QRectF &dest, const QImage &image, const QRectF &srcIn,
                             std::uint32_t rop) {
  if (inPathBracket_ || image.isNull()) return;
  QRectF src = srcIn.isEmpty() ? QRectF(image.rect()) : srcIn.normalized();
  src = src.intersected(QRectF(image.rect()));
  if (src.isEmpty()) return;
  QImage picture = image;
  if (dest.width() < 0 || dest.height() < 0)
    picture = image.mirrored(dest.width() < 0, dest.height() < 0);
  if (dest.width() < 0) src.moveLeft(image.width() - src.right());
  if (dest.height() < 0) src.moveTop(image.height() - src.bottom());
  if (!charge(pixelsCovered(dest))) return;
  ++drawn_;
  painter_.setTransform(fullTransform());
  switch (rop) {
    case 0x8800C6:
      painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
      break;
    case 0xEE0086:
      painter_.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
      break;
    case 0x660046:
      painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      break;
    case 0x330008:
      painter_.setCompositionMode(QPainter::RasterOp_NotSource);
      break;
    default:
      break;
  }
  painter_.setRenderHint(QPainter::SmoothPixmapTransform);
  painter_.drawImage(dest.normalized(), picture, src);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiPlayer::patBlt(const QRectF &dest, std::uint32_t rop) {
  if (inPathBracket_ || !charge(pixelsCovered(dest))) return;
  ++drawn_;
  painter_.setTransform(fullTransform());
  switch (rop) {
    case 0x00F00021:
      painter_.fillRect(dest.normalized(), makeBrush());
      break;  // PATCOPY
    case 0x00000042:
      painter_.fillRect(dest.normalized(), Qt::black);
      break;  // BLACKNESS
    case 0x00FF0062:
      painter_.fillRect(dest.normalized(), Qt::white);
      break;  // WHITENESS
    default:
      break;
  }
}

void GdiPlayer::blendImage(const QRectF &dest, const QImage &image, const QRectF &src,
                           double opacity) {
  if (inPathBracket_ || image.isNull() || opacity <= 0) return;
  painter_.setOpacity(std::min(1.0, opacity));
  stretchImage(dest, image, src, 0x00CC0020);
  painter_.setOpacity(1);
}

void GdiPlayer::fillRects(const std::vector<QRectF> &rects, const std::uint32_t *brushIndex) {
  if (inPathBracket_ || rects.empty()) return;
  QBrush brush = makeBrush();
  if (brushIndex) {
    const GdiObject *object = objectAt(*brushIndex);
    if (!object || object->kind != GdiObject::Kind::Brush) return;
    brush = brushOf(object->brush);
  }
  qint64 cost = qint64(rects.size()) * kElementCost;
  for (const QRectF &r : rects) cost += pixelsCovered(r);
  if (!charge(cost)) return;
  ++drawn_;
  painter_.setTransform(fullTransform());
  for (const QRectF &r : rects) painter_.fillRect(r.normalized(), brush);
}

void GdiPlayer::polyDraw(const QPolygonF &points, const std::vector<std::uint8_t> &types) {
  enum { PtCloseFigure = 1, PtLineTo = 2, PtBezierTo = 4, PtMoveTo = 6 };
  QPainterPath path(dc_.position);
  qsizetype count = std::min<qsizetype>(points.size(), qsizetype(types.size()));
  for (qsizetype i = 0; i < count; ++i) {
    std::uint8_t type = types[std::size_t(i)] & 6;
    if (type == PtMoveTo) {
      path.moveTo(points[i]);
    } else if (type == PtBezierTo && i + 2 < count) {
      path.cubicTo(points[i], points[i + 1], points[i + 2]);
      i += 2;
    } else {
      path.lineTo(points[i]);
    }
    if (types[std::size_t(i)] & PtCloseFigure) path.closeSubpath();
  }
  dc_.position = path.currentPosition();
  emitPath(path, false, true);
}

// ---- path bracket ----

void GdiPlayer::beginPath() {
  inPathBracket_ = true;
  pathBracket_ = QPainterPath();
}

void GdiPlayer::abortPath() {
  inPathBracket_ = false;
  pathBracket_ = QPainterPath();
}

void GdiPlayer::closeFigure() {
  if (inPathBracket_) pathBracket_.closeSubpath();
}

void GdiPlayer::fillPath() {
  paintImagePath(pathBracket_, true, false);
  pathBracket_ = QPainterPath();
}

void GdiPlayer::strokePath() {
  paintImagePath(pathBracket_, false, true);
  pathBracket_ = QPainterPath();
}

void GdiPlayer::strokeAndFillPath() {
  paintImagePath(pathBracket_, true, true);
  pathBracket_ = QPainterPath();
}

}  // namespace office::render::metafile
