#pragma once

// The document's list of external objects (ExObjList): embedded and linked
// OLE objects and media, keyed by their exObjId.

#include <QString>
#include <cstdint>
#include <map>

#include "office/ppt/bytereader.h"
#include "office/ppt/stream.h"

namespace office::ppt {

enum class ExObjKind { Embedded, Linked, Media, Other };

struct ExObject {
  ExObjKind kind = ExObjKind::Other;
  QString progId;
  bool isChart = false;
};

std::map<std::uint32_t, ExObject> readExObjList(ByteReader exObjListBody,
                                                const PersistLookup &persist);

}  // namespace office::ppt
