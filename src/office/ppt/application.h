#pragma once

#include <QByteArray>
#include <memory>

#include "office/model/powerpoint.h"
#include "office/render/export.h"

namespace office::ppt {

// Opens a PowerPoint 97-2003 presentation file; throws morvane::Error with
// the reason (without the file name) when it cannot be read.
std::shared_ptr<PowerPoint::Presentation> openPresentationFile(const QString &path);

// Opens a presentation held in memory, as Presentations.Open opens a file
// (the fuzzer and tests).
std::shared_ptr<PowerPoint::Presentation> openPresentation(const QByteArray &bytes);

// The picture that Export would write for a shape of this reader: its stored
// picture with the shape's crop and size. Throws when the shape holds none.
office::render::PictureSource pictureOf(PowerPoint::Shape &shape);

}  // namespace office::ppt
