#include "office/ppt/exobjlist.h"

// Placeholder until the object list lands: no objects.
namespace office::ppt {

std::map<std::uint32_t, ExObject> readExObjList(ByteReader, const PersistLookup &) { return {}; }

}  // namespace office::ppt
