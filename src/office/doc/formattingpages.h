#pragma once

// The formatting pages (FKPs) of the WordDocument stream, which give every
// character run and every paragraph its properties, and the bin tables of
// the table stream that index them.

#include <cstdint>
#include <vector>

#include "common/lebuffer.h"
#include "office/doc/doclayout.h"

namespace office::doc {

using morvane::LeBuffer;

// Where the pages of one kind lie: the first file position (FC) each page
// covers, its page number in the WordDocument stream, and the FC behind the
// text.
struct PageIndex {
  std::vector<std::uint32_t> firstFcs;
  std::vector<std::uint32_t> pageNumbers;
  std::uint32_t fcLimit = 0;
};

// Appends the pages of the character runs, and those of the paragraphs, at
// the next page boundary of the stream; the text starts at fcText.
PageIndex appendCharacterPages(LeBuffer &wordDocument, const Layout &layout, std::uint32_t fcText);
PageIndex appendParagraphPages(LeBuffer &wordDocument, const Layout &layout, std::uint32_t fcText);

// The bin table of the pages.
void writeBinTable(LeBuffer &table, const PageIndex &pages);

// Every page holds at least this many runs or paragraphs, which bounds the
// pages a text needs.
constexpr std::uint32_t kFewestEntriesPerPage = 10;
constexpr std::uint32_t kPageSize = 512;

}  // namespace office::doc
