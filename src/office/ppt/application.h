#pragma once

#include <memory>

#include "extract/powerpoint.h"

namespace office::ppt {

// A new presentation application backed by our PowerPoint 97-2003 reader.
std::shared_ptr<PowerPoint::Application> createApplication();

}  // namespace office::ppt
