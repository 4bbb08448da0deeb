#pragma once

// The pictures of the information windows, drawn for this program as SVG and
// rendered at the pixel sizes the windows use.

#include <QCursor>
#include <QIcon>
#include <QImage>

namespace info {

// The About window's banner: 77 x 201 pixels, 24-bit colour.
QImage bannerPicture();
// The e-mail link's pointer: a letter envelope, hot spot in its middle.
QCursor envelopeCursor();
// The web link's pointer: a pointing hand, 32 x 32, hot spot (12, 1).
QCursor handCursor();
// The Quick Help window's icon, in 32 x 32 and 16 x 16.
QIcon helpIcon();

}  // namespace info
