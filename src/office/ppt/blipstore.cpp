#include "office/ppt/blipstore.h"

// Placeholder until the picture store lands: an empty store.
namespace office::ppt {

PictureStore::PictureStore(ByteReader bstoreContainerBody,
                           std::shared_ptr<RandomAccessStream> pictures)
    : store_(bstoreContainerBody), pictures_(std::move(pictures)) {}

std::size_t PictureStore::count() const { return 0; }

std::optional<office::render::PictureSource> PictureStore::load(std::uint32_t) const {
  return std::nullopt;
}

}  // namespace office::ppt
