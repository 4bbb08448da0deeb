#pragma once

// Test helper: the EMF and WMF blips of a presentation's "Pictures" stream,
// decompressed, with the bounds and size of their stored metafile header.

#include <QString>
#include <vector>

#include "office/render/export.h"

namespace metafile_test {

struct StoredMetafile {
  qint64 offset = 0;  // of the blip record in the stream
  office::render::PictureSource picture;
};

// Every EMF/WMF blip found by walking the stream's records; blips that do not
// decompress are left out. Throws morvane::Error when the file has no such stream.
std::vector<StoredMetafile> storedMetafiles(const QString &presentationPath);

}  // namespace metafile_test
