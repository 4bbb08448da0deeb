#pragma once

// A stored picture as a file of its own format, and what it is as listed:
// format name, pixel size, stored bytes and file extension. Nothing here
// decodes a picture; pixel sizes come from the picture's header.

#include <QByteArray>

#include "office/model/powerpoint.h"
#include "office/ppt/blipstore.h"
#include "office/render/export.h"

namespace office::ppt {

// How much of a picture is read to describe it: enough for every header that
// precedes a JPEG frame in practice.
inline constexpr std::size_t kPictureHeadBytes = 1u << 20;

// The format, pixel size (bitmaps whose header lies within the summary's
// head), stored bytes and extension of a stored picture; no crop.
PowerPoint::StoredPicture describePicture(const BlipSummary &summary);

// The picture as a file a reader of its format opens: a DIB gets its bitmap
// file header, a WMF its placeable header (when it has none and its bounds
// are known), a PICT its 512-byte file preamble; the rest as stored
// (metafiles inflated).
QByteArray originalPictureFile(const office::render::PictureSource &picture);

}  // namespace office::ppt
