#pragma once

#include <memory>

#include "extract/word.h"

namespace office::doc {

// A new word-processor application that writes Word 97-2003 documents.
std::shared_ptr<Word::Application> createApplication();

}  // namespace office::doc
