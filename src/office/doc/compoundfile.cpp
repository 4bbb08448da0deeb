#include "office/doc/compoundfile.h"

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-meta-names.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-timestamp.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "common/error.h"
#include "common/lebuffer.h"

namespace office::doc {

using morvane::LeBuffer;
namespace {

// The class identifier of a Word document, {00020906-0000-0000-C000-000000000046}.
constexpr guint8 kWordClsid[16] = {0x06, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// How the document's type presents itself to other programs.
const char *const kUserType = "Microsoft Word 97-2003 Document";
const char *const kClipboardFormat = "MSWordDoc";
const char *const kProgId = "Word.Document.8";
// Property strings are stored as UTF-8, which the code page says.
constexpr int kCodePageUtf8 = 65001;
const char *const kApplicationName = "Morvane";

void initGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

template <class T>
struct GObjectUnref {
  void operator()(T *object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

// ---- CompObj ------------------------------------------------------------------

// A string behind its length in characters, its terminator included.
void lengthPrefixedAnsi(LeBuffer &out, const char *text) {
  const QByteArray bytes(text);
  out.u32(std::uint32_t(bytes.size() + 1));
  out.append(bytes);
  out.u8(0);
}

void lengthPrefixedUnicode(LeBuffer &out, const char *text) {
  const QString string = QString::fromLatin1(text);
  out.u32(std::uint32_t(string.size() + 1));
  out.utf16(string);
  out.u16(0);
}

// The CompObj stream: header (with the class identifier), then the user
// type, clipboard format and program identifier, in ANSI and in Unicode.
QByteArray compObjStream() {
  constexpr std::uint32_t kReserved1 = 0xFFFE0001;
  constexpr std::uint32_t kVersion = 0x00000A03;
  constexpr std::uint32_t kUnicodeMarker = 0x71B239F4;
  LeBuffer out;
  out.u32(kReserved1);
  out.u32(kVersion);
  out.u32(0xFFFFFFFF);
  out.append(QByteArray(reinterpret_cast<const char *>(kWordClsid), sizeof kWordClsid));
  for (const char *text : {kUserType, kClipboardFormat, kProgId}) lengthPrefixedAnsi(out, text);
  out.u32(kUnicodeMarker);
  for (const char *text : {kUserType, kClipboardFormat, kProgId}) lengthPrefixedUnicode(out, text);
  return out.bytes();
}

// ---- Property sets -------------------------------------------------------------

void insertString(GsfDocMetaData *meta, const char *name, const QByteArray &utf8) {
  GValue *value = g_new0(GValue, 1);
  g_value_init(value, G_TYPE_STRING);
  g_value_set_string(value, utf8.constData());
  gsf_doc_meta_data_insert(meta, g_strdup(name), value);
}

void insertInt(GsfDocMetaData *meta, const char *name, qsizetype number) {
  GValue *value = g_new0(GValue, 1);
  g_value_init(value, G_TYPE_INT);
  g_value_set_int(value, int(std::min<qsizetype>(number, G_MAXINT32)));
  gsf_doc_meta_data_insert(meta, g_strdup(name), value);
}

void insertTime(GsfDocMetaData *meta, const char *name, const QDateTime &when) {
  if (!when.isValid()) return;
  GsfTimestamp *stamp = gsf_timestamp_new();
  gsf_timestamp_set_time(stamp, guint64(std::max<qint64>(0, when.toSecsSinceEpoch())));
  GValue *value = g_new0(GValue, 1);
  g_value_init(value, GSF_TIMESTAMP_TYPE);
  gsf_timestamp_to_value(stamp, value);
  gsf_timestamp_free(stamp);
  gsf_doc_meta_data_insert(meta, g_strdup(name), value);
}

GObjectPtr<GsfDocMetaData> metaData(const DocumentProperties &properties) {
  GObjectPtr<GsfDocMetaData> meta(gsf_doc_meta_data_new());
  insertInt(meta.get(), GSF_META_NAME_CODEPAGE, kCodePageUtf8);
  if (!properties.title.isEmpty())
    insertString(meta.get(), GSF_META_NAME_TITLE, properties.title.toUtf8());
  insertString(meta.get(), GSF_META_NAME_GENERATOR, kApplicationName);
  insertTime(meta.get(), GSF_META_NAME_DATE_CREATED, properties.created);
  insertTime(meta.get(), GSF_META_NAME_DATE_MODIFIED, properties.saved);
  insertInt(meta.get(), GSF_META_NAME_CHARACTER_COUNT, properties.characters);
  insertInt(meta.get(), GSF_META_NAME_PARAGRAPH_COUNT, properties.paragraphs);
  return meta;
}

void writeStream(GsfOutfile *root, const char *name, const QByteArray &bytes) {
  GObjectPtr<GsfOutput> child(gsf_outfile_new_child(root, name, FALSE));
  if (!child) throw morvane::Error(QStringLiteral("Cannot add the stream %1").arg(name));
  const bool written = gsf_output_write(child.get(), gsize(bytes.size()),
                                        reinterpret_cast<const guint8 *>(bytes.constData()));
  if (!gsf_output_close(child.get()) || !written)
    throw morvane::Error(QStringLiteral("Cannot write the stream %1").arg(name));
}

// Both property sets come from one set of values; each takes its own.
void writeProperties(GsfOutfile *root, const DocumentProperties &properties) {
  const auto meta = metaData(properties);
  const std::pair<const char *, gboolean> sets[] = {
      {"\005SummaryInformation", FALSE},
      {"\005DocumentSummaryInformation", TRUE},
  };
  for (const auto &[name, documentSummary] : sets) {
    GObjectPtr<GsfOutput> child(gsf_outfile_new_child(root, name, FALSE));
    if (!child) throw morvane::Error(QStringLiteral("Cannot add the document properties"));
    const bool written = gsf_doc_meta_data_write_to_msole(meta.get(), child.get(), documentSummary);
    if (!gsf_output_close(child.get()) || !written)
      throw morvane::Error(QStringLiteral("Cannot write the document properties"));
  }
}

}  // namespace

QByteArray compoundFile(const DocumentStreams &streams, const DocumentProperties &properties) {
  initGsf();
  GObjectPtr<GsfOutput> sink(gsf_output_memory_new());
  {
    GObjectPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    if (!root) throw morvane::Error(QStringLiteral("Cannot create the compound file"));
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), kWordClsid);
    writeStream(root.get(), "WordDocument", streams.wordDocument);
    writeStream(root.get(), "1Table", streams.table);
    writeStream(root.get(), "\001CompObj", compObjStream());
    writeProperties(root.get(), properties);
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
      throw morvane::Error(QStringLiteral("Cannot complete the compound file"));
  }
  const auto size = gsf_output_size(sink.get());
  const guint8 *bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  // Closing the compound file has closed the sink; its bytes stay readable.
  return QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(size));
}

}  // namespace office::doc
