#include "office/ppt/application.h"

#include "common/error.h"

namespace office::ppt {

std::shared_ptr<PowerPoint::Application> createApplication() {
  throw morvane::Error(QStringLiteral("The presentation reader is not available yet"));
}

}  // namespace office::ppt
