#pragma once

// The picture store of a presentation: the OfficeArt BStore container of the
// drawing group, whose entries (OfficeArtFBSE) hold each picture either
// inline or at an offset of the "Pictures" stream. Shapes refer to a picture
// by its 1-based index in the store (the pib property).

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/bytereader.h"
#include "office/ppt/stream.h"
#include "office/render/export.h"

namespace office::ppt {

// Largest picture or embedded object that is ever decompressed, whatever the
// file declares.
inline constexpr std::size_t kMaxInflatedBytes = 256u * 1024 * 1024;
// Largest metafile that is decompressed: a metafile is held whole while it
// is drawn, and no drawing its output size allows needs more.
inline constexpr std::size_t kMaxInflatedMetafileBytes = 128u * 1024 * 1024;
// The most a presentation's pictures may decompress to, all loads together.
inline constexpr std::uint64_t kMaxInflatedPerFile = 1ull << 30;

struct Inflated {
  enum class End { Complete, Capped, InputEnded, Corrupt };
  QByteArray data;
  End end = End::Complete;
};

// Decompresses a zlib stream, stopping after cap bytes of output. Never
// throws on bad data: the caller decides what a partial result is worth.
Inflated inflateCapped(const std::uint8_t *data, std::size_t size, std::size_t cap);

// The blip type numbers of OfficeArtFBSE (btWin32, btMacOS) as formats.
office::render::BlipFormat formatOfBlipType(std::uint8_t blipType);

// What a picture holds as stored, read without decoding it: its format by
// its blip record, the number of picture bytes stored (a compressed metafile:
// compressed) and the first bytes of the picture (inflated for a compressed
// metafile).
struct BlipSummary {
  office::render::BlipFormat format = office::render::BlipFormat::Unknown;
  std::uint64_t storedBytes = 0;
  QByteArray head;
};

class PictureStore {
 public:
  // bstoreContainerBody: the body of the OfficeArtBStoreContainer. The bytes
  // it points at must stay alive as long as the store (inline pictures are
  // read from them on demand). pictures: the "Pictures" stream, may be null.
  PictureStore(morvane::ByteReader bstoreContainerBody,
               std::shared_ptr<RandomAccessStream> pictures);

  std::size_t count() const;

  // The picture of entry pib (1-based). nullopt for pib 0 and for an entry
  // without a picture; throws morvane::PictureError when the entry or its
  // picture is damaged or pib lies outside the store. A picture that several
  // shapes share is read and decompressed once (the last few loaded are
  // kept), and its exports share one cache of outputs (export.h).
  std::optional<office::render::PictureSource> load(std::uint32_t pib) const;

  // The same entry summarised, with at most headBytes of its picture: nothing
  // beyond those is inflated. nullopt and errors as for load().
  std::optional<BlipSummary> summary(std::uint32_t pib, std::size_t headBytes) const;

  // What the entry's OfficeArtFBSE declares for Windows and for the Mac
  // (Unknown for an entry that is not an OfficeArtFBSE). A Mac PICT picture
  // is declared WMF for Windows and PICT for the Mac; load() reports the
  // format of the stored blip record.
  office::render::BlipFormat declaredFormat(std::uint32_t pib) const;
  office::render::BlipFormat declaredMacFormat(std::uint32_t pib) const;

 private:
  struct Entry {
    enum class Kind { Bse, BareBlip, Unknown, Damaged } kind = Kind::Unknown;
    std::uint8_t btWin32 = 0;
    std::uint8_t btMacOS = 0;
    std::uint32_t size = 0;
    std::uint32_t foDelay = 0;
    morvane::ByteReader inlineBlip;  // the blip record bytes when stored inline
    bool hasInlineBlip = false;
  };

  static Entry parseEntry(std::uint16_t recType, morvane::ByteReader record, bool overruns);
  const Entry &entry(std::uint32_t pib) const;
  // Hands the blip record of entry pib to fromStore (a record held in the
  // store) or to fromPictures (the record's bytes read from the "Pictures"
  // stream, and their offset there); nullopt for pib 0 and entries without a
  // picture.
  template <class Result>
  using FromStore = std::function<std::optional<Result>(morvane::ByteReader)>;
  template <class Result>
  using FromPictures = std::function<std::optional<Result>(QByteArray, std::uint64_t)>;
  template <class Result>
  std::optional<Result> withBlip(std::uint32_t pib, const FromStore<Result> &fromStore,
                                 const FromPictures<Result> &fromPictures) const;
  std::optional<QByteArray> readFromPictures(const Entry &e) const;
  std::optional<office::render::PictureSource> loadEntry(std::uint32_t pib) const;
  std::optional<office::render::PictureSource> counted(
      std::optional<office::render::PictureSource> picture) const;
  void checkInflationBudget(const Entry &e) const;
  void remember(std::uint32_t pib, const office::render::PictureSource &picture) const;

  std::vector<Entry> entries_;
  std::shared_ptr<RandomAccessStream> pictures_;
  std::shared_ptr<office::render::ExportCache> exportCache_;
  // The pictures loaded last, most recent first, and the bytes inflated so far.
  mutable std::mutex mutex_;
  mutable std::list<std::pair<std::uint32_t, office::render::PictureSource>> loaded_;
  mutable std::uint64_t inflatedTotal_ = 0;
};

// Decodes one OfficeArtBlip record (header included). nullopt for a record
// type that is not a picture; throws morvane::Error on damage. Exposed for
// the embedded objects' preview pictures and for tests.
std::optional<office::render::PictureSource> decodeBlip(morvane::ByteReader blipRecord);

// One OfficeArtBlip record summarised (see BlipSummary); nullopt for a record
// type that is not a picture; throws morvane::Error on damage.
std::optional<BlipSummary> summarizeBlip(morvane::ByteReader blipRecord, std::size_t headBytes);

}  // namespace office::ppt
