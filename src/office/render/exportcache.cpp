#include "office/render/exportcache.h"

#include <algorithm>

namespace office::render {

bool ExportCache::Key::operator==(const Key &other) const {
  return pictureId == other.pictureId && output == other.output &&
         std::equal(std::begin(crop), std::end(crop), std::begin(other.crop)) &&
         background == other.background && shapeSizeInches == other.shapeSizeInches;
}

std::optional<ExportCache::Output> ExportCache::find(const Key &key) {
  const std::lock_guard lock(mutex_);
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const Entry &entry) { return entry.key == key; });
  if (found == entries_.end()) return std::nullopt;
  entries_.splice(entries_.begin(), entries_, found);
  return found->output;
}

void ExportCache::insert(const Key &key, const Output &output) {
  const qsizetype size = output.bytes.size();
  if (size > capacity_) return;
  const std::lock_guard lock(mutex_);
  while ((used_ + size > capacity_ || entries_.size() >= kMaxEntries) && !entries_.empty()) {
    used_ -= entries_.back().output.bytes.size();
    entries_.pop_back();
  }
  entries_.push_front({key, output});
  used_ += size;
}

}  // namespace office::render
