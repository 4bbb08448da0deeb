#pragma once

// The object model's shapes for PowerPoint 2007+ slides: the shapes of a
// shape tree (groups at any depth), a slide's comments, and the slide
// background as a shape of its own.

#include <memory>

#include "office/model/powerpoint.h"
#include "office/pptx/shapepicture.h"

namespace office::pptx {

// The shape at path of the part in context.
std::shared_ptr<PowerPoint::Shape> makeShape(const PartContext &context, const ShapePath &path);
// A comment of a slide (Type msoComment): its text only.
std::shared_ptr<PowerPoint::Shape> makeComment(const PartContext &context, const QString &text);
// The background of the part in context.
std::shared_ptr<PowerPoint::Shape> makeBackground(const PartContext &context);

// The export's picture source behind a shape of this reader (tests).
office::render::PictureSource storedSourceOf(PowerPoint::Shape &shape);

}  // namespace office::pptx
