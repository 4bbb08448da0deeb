#pragma once

#include <memory>

#include "office/model/word.h"

namespace office::doc {

// A new word-processor application: it keeps its documents in memory and
// saves them as Word 97-2003 binary documents. It has no window.
std::shared_ptr<Word::Application> createApplication();

}  // namespace office::doc
