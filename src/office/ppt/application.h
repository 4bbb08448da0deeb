#pragma once

#include <QByteArray>
#include <memory>

#include "extract/powerpoint.h"
#include "office/render/export.h"

namespace office::ppt {

// A new presentation application backed by our PowerPoint 97-2003 reader.
std::shared_ptr<PowerPoint::Application> createApplication();

// Opens a presentation held in memory, as Presentations.Open opens a file
// (the fuzzer and tests).
std::shared_ptr<PowerPoint::Presentation> openPresentation(const QByteArray &bytes);

// The picture that Export would write for a shape of this reader: its stored
// picture with the shape's crop and size. Throws when the shape holds none.
office::render::PictureSource pictureOf(PowerPoint::Shape &shape);

}  // namespace office::ppt
