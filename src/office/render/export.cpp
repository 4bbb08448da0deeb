#include "office/render/export.h"

#include "common/error.h"

namespace office::render {

void exportJpeg(const PictureSource &, const QString &path) {
  throw morvane::Error(QStringLiteral("Cannot write %1: picture export is not available yet").arg(path));
}

void exportBmp(const PictureSource &, const QString &path) {
  throw morvane::Error(QStringLiteral("Cannot write %1: chart export is not available yet").arg(path));
}

}  // namespace office::render
