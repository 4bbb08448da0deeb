#pragma once

// What a reader needs to know about a stored picture without exporting it:
// its pixel size (read from its header only) and the colour it shows on
// average (for a picture used as a background, to flatten other pictures
// onto). QtCore types only; the work is done by the drawing module
// (drawingmodule.h) with Qt's image codecs, named by format so that Qt
// loads only the one it needs.

#include <QRgb>
#include <QSize>
#include <optional>

#include "common/colour.h"

#include "office/render/export.h"

namespace office::render {

// The pixel size of a bitmap picture from its header; empty for metafiles
// and for a header that cannot be read.
QSize storedPixelSize(const PictureSource &picture);

// The picture's average colour (transparent pixels weighed by their
// opacity), from a small copy; nullopt when nothing of it can be decoded.
std::optional<QRgb> averageColour(const PictureSource &picture);

// The .ppt reader's picture average: the mean of the picture drawn (or
// decoded) on white, from a copy of at most 64 x 64 pixels; nullopt when
// nothing of it can be drawn.
std::optional<morvane::Channels> meanColourOnWhite(const PictureSource &picture);

}  // namespace office::render
