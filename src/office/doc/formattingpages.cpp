#include "office/doc/formattingpages.h"

#include <QHash>
#include <map>

#include "office/doc/sprms.h"
#include "office/doc/tablestream.h"

namespace office::doc {
namespace {

// A page holds FCs from its start, one entry per run or paragraph behind
// them, the property blocks from its end down, and their count in its last
// byte.
struct PageKind {
  std::uint32_t entrySize;   // a CHPX's offset (1 byte), or a BxPap (13 bytes)
  std::uint32_t maxEntries;  // crun at most 0x65, cpara at most 0x1D
};
constexpr PageKind kCharacterPage{1, 0x65};
constexpr PageKind kParagraphPage{13, 0x1D};
constexpr std::uint32_t kCountAt = kPageSize - 1;
constexpr int kNoBlock = -1;

// A run or paragraph: the FC behind it and its property block.
struct Entry {
  std::uint32_t fcLimit;
  int block;
};

// Property blocks, each stored once.
class Blocks {
 public:
  int add(const QByteArray &block) {
    const auto known = index_.constFind(block);
    if (known != index_.constEnd()) return *known;
    blocks_.push_back(block);
    return *index_.insert(block, int(blocks_.size() - 1));
  }
  const QByteArray &operator[](int i) const { return blocks_[std::size_t(i)]; }

 private:
  std::vector<QByteArray> blocks_;
  QHash<QByteArray, int> index_;
};

class Page {
 public:
  Page(const PageKind &kind, const Blocks &blocks) : kind_(kind), blocks_(blocks) {
    bytes_.fill('\0', kPageSize);
  }

  // Adds the entry unless the page is full.
  bool tryAdd(const Entry &entry) {
    const auto count = std::uint32_t(limits_.size());
    if (count == kind_.maxEntries) return false;
    const bool place = entry.block != kNoBlock && !placed_.count(entry.block);
    std::uint32_t low = low_;
    if (place) {
      const auto size = std::uint32_t(blocks_[entry.block].size());
      if (size > low) return false;
      low = (low - size) & ~1u;  // blocks start on even offsets
    }
    if (4 * (count + 2) + kind_.entrySize * (count + 1) > low) return false;
    if (place) {
      const QByteArray &block = blocks_[entry.block];
      std::copy(block.begin(), block.end(), bytes_.begin() + low);
      placed_[entry.block] = std::uint8_t(low / 2);
      low_ = low;
    }
    offsets_.push_back(entry.block == kNoBlock ? 0 : placed_[entry.block]);
    limits_.push_back(entry.fcLimit);
    return true;
  }

  QByteArray finish(std::uint32_t firstFc) {
    LeBuffer head;
    head.u32(firstFc);
    for (std::uint32_t limit : limits_) head.u32(limit);
    for (std::uint8_t offset : offsets_) {
      head.u8(offset);
      head.zeros(kind_.entrySize - 1);  // a BxPap's PHE: no layout cached
    }
    std::copy(head.bytes().begin(), head.bytes().end(), bytes_.begin());
    bytes_[kCountAt] = char(limits_.size());
    return bytes_;
  }

 private:
  const PageKind &kind_;
  const Blocks &blocks_;
  QByteArray bytes_;
  std::vector<std::uint32_t> limits_;
  std::vector<std::uint8_t> offsets_;
  std::map<int, std::uint8_t> placed_;
  std::uint32_t low_ = kCountAt;
};

PageIndex appendPages(LeBuffer &wordDocument, const PageKind &kind,
                      const std::vector<Entry> &entries, const Blocks &blocks,
                      std::uint32_t fcText) {
  PageIndex index;
  wordDocument.alignTo(kPageSize);
  std::uint32_t pageFirst = fcText;
  std::size_t next = 0;
  while (next < entries.size()) {
    Page page(kind, blocks);
    const std::size_t first = next;
    while (next < entries.size() && page.tryAdd(entries[next])) ++next;
    index.firstFcs.push_back(pageFirst);
    index.pageNumbers.push_back(wordDocument.size() / kPageSize);
    wordDocument.append(page.finish(pageFirst));
    pageFirst = entries[next - 1].fcLimit;
    Q_ASSERT(next > first);
  }
  index.fcLimit = pageFirst;
  return index;
}

std::uint32_t fcOf(std::uint32_t fcText, std::uint32_t cp) { return fcText + 2 * cp; }

// A Chpx: the size of its properties, then the properties.
QByteArray chpx(int font, bool rightToLeft) {
  using namespace sprm;
  Grpprl grpprl;
  if (font != RunLayout::kNoFont) {
    // Every character-set slot, so that whichever a reader picks for the
    // characters, they show in the named font.
    const auto ftc = std::uint16_t(kFirstRunFont + font);
    grpprl.add(sprmCRgFtc0, ftc).add(sprmCRgFtc1, ftc).add(sprmCRgFtc2, ftc);
  }
  if (rightToLeft) grpprl.add(sprmCFBiDi, kOn).add(sprmCFComplexScripts, kOn);
  if (grpprl.bytes().isEmpty()) return {};
  return char(grpprl.bytes().size()) + grpprl.bytes();
}

// A PapxInFkp: the style and properties behind their size in words (an odd
// size as cb, 2 * cb - 1 bytes; an even one as 0 and cb', 2 * cb' bytes).
QByteArray papxInFkp(std::uint16_t istd, bool rightToLeft) {
  LeBuffer grpprlAndIstd;
  grpprlAndIstd.u16(istd);
  if (rightToLeft) grpprlAndIstd.append(sprm::Grpprl().add(sprm::sprmPFBiDi, sprm::kOn).bytes());
  const std::uint32_t size = grpprlAndIstd.size();
  LeBuffer papx;
  if (size % 2) {
    papx.u8(std::uint8_t((size + 1) / 2));
  } else {
    papx.u8(0);
    papx.u8(std::uint8_t(size / 2));
  }
  papx.append(grpprlAndIstd.bytes());
  return papx.bytes();
}

}  // namespace

PageIndex appendCharacterPages(LeBuffer &wordDocument, const Layout &layout, std::uint32_t fcText) {
  Blocks blocks;
  std::vector<Entry> entries;
  entries.reserve(layout.runs.size());
  for (const RunLayout &run : layout.runs) {
    const QByteArray properties = chpx(run.font, run.rightToLeft);
    entries.push_back(
        {fcOf(fcText, run.limit), properties.isEmpty() ? kNoBlock : blocks.add(properties)});
  }
  return appendPages(wordDocument, kCharacterPage, entries, blocks, fcText);
}

PageIndex appendParagraphPages(LeBuffer &wordDocument, const Layout &layout, std::uint32_t fcText) {
  Blocks blocks;
  std::vector<Entry> entries;
  entries.reserve(layout.paragraphs.size());
  for (const ParagraphLayout &paragraph : layout.paragraphs) {
    const std::uint16_t istd = paragraph.heading ? kIstdHeading1 : kIstdNormal;
    entries.push_back(
        {fcOf(fcText, paragraph.limit), blocks.add(papxInFkp(istd, paragraph.rightToLeft))});
  }
  return appendPages(wordDocument, kParagraphPage, entries, blocks, fcText);
}

void writeBinTable(LeBuffer &table, const PageIndex &pages) {
  for (std::uint32_t fc : pages.firstFcs) table.u32(fc);
  table.u32(pages.fcLimit);
  for (std::uint32_t pn : pages.pageNumbers) table.u32(pn);
}

}  // namespace office::doc
