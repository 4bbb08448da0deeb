#pragma once

// Reading a ZIP file whose central directory is missing or damaged from its
// local file headers (ZIP application note 4.3.7), the way a file cut off
// while it was copied can still be read: entry after entry from the start,
// stopping at the first that is incomplete or not a local header.

#include <QByteArray>
#include <vector>

#include "office/pptx/ziparchive.h"

namespace office::pptx {

// The complete entries at the start of bytes; ZipEntry::index holds the
// offset of each entry's data.
std::vector<ZipEntry> scanLocalHeaders(const QByteArray &bytes, const ZipLimits &limits);

// The bytes of an entry found by scanLocalHeaders: copied or inflated to
// exactly its declared size (the CRC is not checked, see ziparchive.h).
QByteArray readRecoveredEntry(const QByteArray &bytes, const ZipEntry &entry);

}  // namespace office::pptx
