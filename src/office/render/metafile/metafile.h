#pragma once

// Rendering of Windows metafiles (EMF, EMF+ dual, WMF) on QPainter. The
// records are played through a GDI state machine of our own (gdiplayer.h);
// unknown or unsupported records are skipped. Damage that leaves nothing to
// render throws morvane::Error; anything else renders what can be read.

#include <QImage>
#include <QSize>
#include <QSizeF>

#include "office/render/export.h"

namespace office::render {

// The whole metafile frame scaled to pixelSize, on a white background.
// pixelSize is capped (see kMaxMetafilePixels) to bound memory. A picture
// whose drawing would exceed its work budget stops there, keeping what is
// drawn; stoppedEarly (when given) tells whether that happened.
QImage renderMetafile(const PictureSource &picture, QSize pixelSize, bool *stoppedEarly = nullptr);

// The metafile's own size in inches (stored size, else its header's frame).
QSizeF metafileNaturalSizeInches(const PictureSource &picture);

// The largest image renderMetafile makes, in pixels (width x height).
inline constexpr qint64 kMaxMetafilePixels = 40'000'000;

}  // namespace office::render
