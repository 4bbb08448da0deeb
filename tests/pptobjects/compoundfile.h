#pragma once

// Test helper: the streams of a real presentation, read with libgsf, and the
// newest DocumentContainer found the simple way (the last one at the top
// level of the "PowerPoint Document" stream) with a persist lookup made from
// every persist directory in stream order (later entries win).

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

#include "office/ppt/records.h"
#include "office/ppt/stream.h"

namespace testsupport {

inline QByteArray readStream(GsfInfile *file, const char *name) {
  GsfInput *child = gsf_infile_child_by_name(file, name);
  if (!child) return {};
  QByteArray bytes(qsizetype(gsf_input_size(child)), '\0');
  if (!bytes.isEmpty() &&
      !gsf_input_read(child, size_t(bytes.size()), reinterpret_cast<guint8 *>(bytes.data())))
    bytes.clear();
  g_object_unref(child);
  return bytes;
}

struct Presentation {
  QByteArray document;  // "PowerPoint Document"
  QByteArray pictures;  // "Pictures", possibly empty
  bool hasPictures = false;
};

inline std::optional<Presentation> openPresentation(const QString &path) {
  GError *error = nullptr;
  GsfInput *input = gsf_input_stdio_new(path.toLocal8Bit().constData(), &error);
  if (!input) {
    if (error) g_error_free(error);
    return std::nullopt;
  }
  GsfInfile *file = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!file) {
    if (error) g_error_free(error);
    return std::nullopt;
  }
  Presentation p;
  p.document = readStream(file, "PowerPoint Document");
  GsfInput *pictures = gsf_infile_child_by_name(file, "Pictures");
  if (pictures) {
    p.hasPictures = true;
    g_object_unref(pictures);
    p.pictures = readStream(file, "Pictures");
  }
  g_object_unref(file);
  return p;
}

inline morvane::ByteReader readerOf(const QByteArray &bytes) {
  return morvane::ByteReader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             std::size_t(bytes.size()));
}

// Top-level records of the document stream, tolerating a damaged tail.
inline std::vector<std::pair<std::size_t, office::ppt::Record>> topLevelRecords(
    const QByteArray &document) {
  std::vector<std::pair<std::size_t, office::ppt::Record>> records;
  morvane::ByteReader in = readerOf(document);
  try {
    while (in.remaining() >= 8) {
      const std::size_t at = in.pos();
      records.emplace_back(at, office::ppt::readRecord(in));
    }
  } catch (const morvane::Error &) {
  }
  return records;
}

inline std::optional<office::ppt::Record> lastDocumentContainer(const QByteArray &document) {
  std::optional<office::ppt::Record> found;
  for (auto &[at, record] : topLevelRecords(document))
    if (record.recType == 0x03E8) found = record;
  return found;
}

// The child at the end of a path of record types, each the first of its type.
inline std::optional<office::ppt::Record> findPath(morvane::ByteReader body,
                                                   std::initializer_list<std::uint16_t> types) {
  std::optional<office::ppt::Record> current;
  try {
    for (std::uint16_t type : types) {
      current = office::ppt::findChild(body, type);
      if (!current) return std::nullopt;
      body = current->body;
    }
  } catch (const morvane::Error &) {
    return std::nullopt;  // a damaged container on the way
  }
  return current;
}

inline office::ppt::PersistLookup persistLookup(const QByteArray &document) {
  std::map<std::uint32_t, std::uint32_t> offsets;
  for (auto &[at, record] : topLevelRecords(document)) {
    if (record.recType != 0x1772) continue;
    morvane::ByteReader in = record.body;
    try {
      while (in.remaining() >= 4) {
        const std::uint32_t head = in.u32();
        const std::uint32_t first = head & 0xFFFFF;
        const std::uint32_t count = head >> 20;
        for (std::uint32_t i = 0; i < count; ++i) offsets[first + i] = in.u32();
      }
    } catch (const morvane::Error &) {
    }
  }
  return [document, offsets](std::uint32_t id) -> std::optional<office::ppt::Record> {
    auto it = offsets.find(id);
    if (it == offsets.end()) return std::nullopt;
    morvane::ByteReader in = readerOf(document);
    try {
      in.seek(it->second);
      return office::ppt::readRecord(in);
    } catch (const morvane::Error &) {
      return std::nullopt;
    }
  };
}

}  // namespace testsupport
