#include "office/doc/wordapp.h"

#include "common/error.h"

namespace office::doc {

std::shared_ptr<Word::Application> createApplication() {
  throw morvane::Error(QStringLiteral("The word processor is not available yet"));
}

}  // namespace office::doc
