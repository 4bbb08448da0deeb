// Temporary stand-in for the Windows metafile renderer, built only while
// metafile/metafile.cpp does not define it (see CMakeLists.txt). Delete this
// file once the renderer is in.

#include <QImage>

#include "common/error.h"
#include "office/render/export.h"

namespace office::render {

QImage renderMetafile(const PictureSource &, QSize) {
  throw morvane::Error(QStringLiteral("Windows metafile pictures cannot be drawn yet"));
}

QSizeF metafileNaturalSizeInches(const PictureSource &) { return {}; }

}  // namespace office::render
