#pragma once

// The presentation application: opens each file with the reader that its
// content calls for, and keeps the open presentations until Quit.

#include <memory>

#include "office/model/powerpoint.h"

namespace office::powerpoint {

// A new presentation application object.
std::shared_ptr<PowerPoint::Application> createApplication();

}  // namespace office::powerpoint
