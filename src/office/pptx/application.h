#pragma once

// The PowerPoint 2007+ reader (.pptx, .ppsx, .pptm, .potx ...) behind the
// object model.

#include <QByteArray>
#include <QString>
#include <memory>

#include "office/model/powerpoint.h"
#include "office/render/export.h"

namespace office::pptx {

// Whether the first bytes of a file are a ZIP file's (this reader's files).
bool looksLikePackage(const QByteArray &head);

// Opens a presentation package; throws morvane::Error with the reason
// (without the file name) when it cannot be read.
std::shared_ptr<PowerPoint::Presentation> openPresentationFile(const QString &path);

// Opens a presentation package held in memory (the fuzzer and tests).
std::shared_ptr<PowerPoint::Presentation> openPresentation(const QByteArray &bytes);

// The stored picture that Export would hand to the picture export for a
// shape or background of this reader. Throws when it has none (charts and
// SVG pictures are drawn instead).
office::render::PictureSource pictureOf(PowerPoint::Shape &shape);

}  // namespace office::pptx
