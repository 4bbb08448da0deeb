#pragma once

// The record header shared by the PowerPoint binary format and OfficeArt:
// recVer (4 bits), recInstance (12 bits), recType (16 bits), recLen (32
// bits). A container has recVer 0xF; its children fill its body.

#include <cstdint>
#include <functional>
#include <optional>

#include "common/bytereader.h"

namespace office::ppt {

// Deepest nesting of containers that is followed; real files stay far below.
inline constexpr int kMaxRecordDepth = 32;

struct Record {
  std::uint16_t recVer = 0;
  std::uint16_t recInstance = 0;
  std::uint16_t recType = 0;
  std::uint32_t recLen = 0;
  morvane::ByteReader body;  // exactly recLen bytes

  bool isContainer() const { return recVer == 0xF; }
};

// Reads one record (header and body) at the reader's position; the body must
// fit in what is left, otherwise the file is damaged.
inline Record readRecord(morvane::ByteReader &in) {
  Record r;
  const std::uint16_t verInst = in.u16();
  r.recVer = verInst & 0xF;
  r.recInstance = verInst >> 4;
  r.recType = in.u16();
  r.recLen = in.u32();
  r.body = in.sub(r.recLen);
  return r;
}

// Calls visit for each child record of a container body, in order. Stops
// early when visit returns false.
inline void forEachChild(morvane::ByteReader body, const std::function<bool(Record &)> &visit) {
  while (!body.atEnd()) {
    Record child = readRecord(body);
    if (!visit(child)) return;
  }
}

// The first child of the given type, if any.
inline std::optional<Record> findChild(morvane::ByteReader body, std::uint16_t type) {
  std::optional<Record> found;
  forEachChild(body, [&](Record &r) {
    if (r.recType != type) return true;
    found = r;
    return false;
  });
  return found;
}

}  // namespace office::ppt
