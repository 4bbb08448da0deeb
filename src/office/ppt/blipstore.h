#pragma once

// The picture store (OfficeArt BStore) of a presentation: the pictures that
// shapes refer to by their 1-based pib, kept inline in the BStore or at an
// offset of the "Pictures" stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "office/ppt/bytereader.h"
#include "office/ppt/stream.h"
#include "office/render/export.h"

namespace office::ppt {

class PictureStore {
 public:
  // bstoreContainerBody: the body of the OfficeArtBStoreContainer; pictures:
  // the "Pictures" stream, or null when the file has none.
  PictureStore(ByteReader bstoreContainerBody, std::shared_ptr<RandomAccessStream> pictures);
  std::size_t count() const;
  // The picture of entry pib (1-based) with its data, format and metafile
  // header filled; nullopt for an empty or missing entry. Throws on damage.
  std::optional<office::render::PictureSource> load(std::uint32_t pib) const;

 private:
  ByteReader store_;
  std::shared_ptr<RandomAccessStream> pictures_;
};

}  // namespace office::ppt
