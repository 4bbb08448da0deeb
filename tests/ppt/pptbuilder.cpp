#include "pptbuilder.h"

#include "common/filenames.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

namespace pptbuilder {

QByteArray u16(std::uint16_t v) {
  const char b[2] = {char(v & 0xFF), char(v >> 8)};
  return QByteArray(b, 2);
}

QByteArray u32(std::uint32_t v) {
  return u16(std::uint16_t(v & 0xFFFF)) + u16(std::uint16_t(v >> 16));
}

QByteArray utf16(const QString &text) {
  QByteArray out;
  for (QChar c : text) out += u16(c.unicode());
  return out;
}

static QByteArray header(std::uint8_t ver, std::uint16_t instance, std::uint16_t type,
                         std::uint32_t length) {
  return u16(std::uint16_t(ver | (instance << 4))) + u16(type) + u32(length);
}

QByteArray atom(std::uint16_t type, const QByteArray &body, std::uint16_t instance) {
  return header(0, instance, type, std::uint32_t(body.size())) + body;
}

QByteArray container(std::uint16_t type, const QList<QByteArray> &children,
                     std::uint16_t instance) {
  QByteArray body;
  for (const QByteArray &child : children) body += child;
  return header(0xF, instance, type, std::uint32_t(body.size())) + body;
}

static QByteArray fopt(const std::vector<std::pair<std::uint16_t, std::uint32_t>> &simple,
                       const QString &wordArt, const QString &wordArtFont = QString()) {
  QByteArray table, complex;
  std::uint16_t count = 0;
  for (const auto &[id, value] : simple) {
    table += u16(id) + u32(value);
    ++count;
  }
  for (const auto &[id, text] :
       {std::pair{std::uint16_t(0x00C0), wordArt}, std::pair{std::uint16_t(0x00C5), wordArtFont}}) {
    if (text.isNull()) continue;
    const QByteArray bytes = utf16(text) + u16(0);
    table += u16(id | 0x8000) + u32(std::uint32_t(bytes.size()));
    complex += bytes;
    ++count;
  }
  return header(3, count, 0xF00B, std::uint32_t(table.size() + complex.size())) + table + complex;
}

static QByteArray fsp(std::uint16_t shapeType, std::uint32_t flags) {
  return header(2, shapeType, 0xF00A, 8) + u32(1024) + u32(flags);
}

QByteArray shape(const ShapeSpec &spec) {
  QList<QByteArray> children{fsp(spec.shapeType, spec.flags)};
  if (!spec.properties.empty() || !spec.wordArt.isNull())
    children << fopt(spec.properties, spec.wordArt, spec.wordArtFont);
  if (spec.childAnchor)
    children << atom(0xF00F, u32(std::uint32_t(spec.left)) + u32(std::uint32_t(spec.top)) +
                                 u32(std::uint32_t(spec.right)) + u32(std::uint32_t(spec.bottom)));
  else
    children << atom(0xF010, u16(std::uint16_t(spec.top)) + u16(std::uint16_t(spec.left)) +
                                 u16(std::uint16_t(spec.right)) + u16(std::uint16_t(spec.bottom)));
  if (!spec.clientData.isEmpty()) children << container(0xF011, spec.clientData);
  if (!spec.textbox.isEmpty()) children << container(0xF00D, spec.textbox);
  return container(0xF004, children);
}

QByteArray group(const QList<QByteArray> &members, bool table) {
  QList<QByteArray> own{atom(0xF009, QByteArray(16, '\0'), 1), fsp(0, 0x201)};
  if (table) own << fopt({{0x039F, 1}}, QString());
  own << atom(0xF010, QByteArray(8, '\0'));
  QList<QByteArray> children{container(0xF004, own)};
  children << members;
  return container(0xF003, children);
}

QByteArray textAtoms(const QString &text) {
  return atom(0x0F9F, u32(4)) + atom(0x0FA0, utf16(text));
}

QByteArray outlineRef(std::int32_t index) { return atom(0x0F9E, u32(std::uint32_t(index))); }

QByteArray placeholder() { return atom(0x0BC3, u32(0) + QByteArray(4, '\0'), 0); }

QByteArray exObjRef(std::uint32_t id) { return atom(0x0BC1, u32(id)); }

QByteArray comment(const QString &text) {
  const QByteArray body = container(
      0x2EE0, {atom(0x0FBA, utf16(QStringLiteral("Author")), 0), atom(0x0FBA, utf16(text), 1),
               atom(0x0FBA, utf16(QStringLiteral("AU")), 2), atom(0x2EE1, QByteArray(28, '\0'))});
  return container(0x1388, {container(0x138A, {atom(0x0FBA, utf16(QStringLiteral("___PPT10"))),
                                               container(0x138B, {body})})});
}

QByteArray slideAtom(std::uint32_t masterId, std::uint32_t notesId, std::uint16_t flags) {
  return atom(0x03EF, QByteArray(12, '\0') + u32(masterId) + u32(notesId) + u16(flags) + u16(0));
}

QByteArray colorScheme(const QList<std::uint32_t> &colors) {
  QByteArray body;
  for (std::uint32_t rgb : colors)
    body += QByteArray(1, char(rgb >> 16)) + QByteArray(1, char(rgb >> 8)) +
            QByteArray(1, char(rgb)) + QByteArray(1, '\0');
  return atom(0x07F0, body, 1);
}

QByteArray backgroundShape(std::vector<std::pair<std::uint16_t, std::uint32_t>> properties) {
  return container(0xF004, {fsp(1, 0xC00), fopt(properties, QString())});
}

QByteArray slideRecord(const SlideSpec &slide, std::uint16_t type) {
  const QByteArray patriarch =
      container(0xF004, {atom(0xF009, QByteArray(16, '\0'), 1), fsp(0, 0x205)});
  QList<QByteArray> groupChildren{patriarch};
  groupChildren << slide.shapes;
  const QByteArray background =
      slide.background.isEmpty() ? container(0xF004, {fsp(1, 0xC00)}) : slide.background;
  const QByteArray drawing =
      container(0x040C, {container(0xF002, {atom(0xF008, QByteArray(8, '\0')),
                                            container(0xF003, groupChildren), background})});
  QList<QByteArray> children{
      slide.slideAtom.isEmpty() ? atom(0x03EF, QByteArray(24, '\0'), 0) : slide.slideAtom, drawing};
  children << slide.extraRecords;
  return container(type, children);
}

static QByteArray slideContainer(const SlideSpec &slide) { return slideRecord(slide); }

QByteArray persistList(std::uint16_t instance,
                       const QList<std::pair<std::uint32_t, std::uint32_t>> &entries) {
  QList<QByteArray> atoms;
  for (const auto &[persistId, listId] : entries)
    atoms << atom(0x03F3, u32(persistId) + u32(0) + u32(0) + u32(listId) + u32(0));
  return container(0x0FF0, atoms, instance);
}

QByteArray environment(const QList<std::pair<QString, bool>> &fonts) {
  QList<QByteArray> entities;
  for (qsizetype i = 0; i < fonts.size(); ++i) {
    const QByteArray name = utf16(fonts[i].first).leftJustified(64, '\0', true);
    entities << atom(0x0FB7, name + QByteArray(1, fonts[i].second ? 2 : 0) + QByteArray(3, '\0'),
                     std::uint16_t(i));
  }
  return container(0x03F2, {container(0x07D5, entities)});
}

QByteArray drawingGroup(const QList<QByteArray> &blips) {
  QList<QByteArray> entries;
  for (const QByteArray &blip : blips) {
    const QByteArray fbse = QByteArray(2, '\0') + QByteArray(16, 'u') + u16(0xFF) +
                            u32(std::uint32_t(blip.size())) + u32(1) + u32(0) + QByteArray(4, '\0');
    entries << atom(0xF007, fbse + blip, 0);
  }
  return container(0x040B,
                   {container(0xF000, {atom(0xF006, QByteArray(16, '\0')),
                                       container(0xF001, entries, std::uint16_t(blips.size()))})});
}

QByteArray metafileBlip(std::uint16_t type, const QByteArray &data, bool compressed,
                        std::int32_t right, std::int32_t bottom, std::int32_t widthEmu,
                        std::int32_t heightEmu) {
  const QByteArray stored = compressed ? qCompress(data).mid(4) : data;  // zlib stream
  const std::uint16_t instance = type == 0xF01A ? 0x3D4 : type == 0xF01B ? 0x216 : 0x542;
  const QByteArray header =
      u32(std::uint32_t(data.size())) + u32(0) + u32(0) + u32(std::uint32_t(right)) +
      u32(std::uint32_t(bottom)) + u32(std::uint32_t(widthEmu)) + u32(std::uint32_t(heightEmu)) +
      u32(std::uint32_t(stored.size())) + QByteArray(1, compressed ? '\0' : char(0xFE)) +
      QByteArray(1, char(0xFE));
  return atom(type, QByteArray(16, 'm') + header + stored, instance);
}

QByteArray bitmapBlip(std::uint16_t type, const QByteArray &data) {
  const std::uint16_t instance = type == 0xF01D ? 0x46A : type == 0xF01E ? 0x6E0 : 0x7A8;
  return atom(type, QByteArray(16, 'b') + QByteArray(1, char(0xFF)) + data, instance);
}

static QByteArray userEdit(std::uint32_t lastEdit, std::uint32_t persistDir,
                           std::optional<std::uint32_t> cryptRef) {
  QByteArray body = u32(256) + u16(0) + QByteArray(1, 0) + QByteArray(1, 3) + u32(lastEdit) +
                    u32(persistDir) + u32(1) + u32(100) + u16(1) + u16(0);
  if (cryptRef) body += u32(*cryptRef);
  return atom(0x0FF5, body);
}

static QByteArray persistDirectory(std::uint32_t firstId, const QList<std::uint32_t> &offsets) {
  QByteArray body = u32(firstId | (std::uint32_t(offsets.size()) << 20));
  for (std::uint32_t offset : offsets) body += u32(offset);
  return atom(0x1772, body);
}

Streams presentation(const QList<SlideSpec> &slides, const Options &options) {
  QList<QByteArray> list;
  for (qsizetype i = 0; i < slides.size(); ++i) {
    list << atom(0x03F3, u32(std::uint32_t(2 + i)) + u32(0) +
                             u32(std::uint32_t(slides[i].outlineTexts.size())) +
                             u32(std::uint32_t(256 + i)) + u32(0));
    for (const QString &text : slides[i].outlineTexts) list << textAtoms(text);
  }
  QList<QByteArray> docChildren{atom(0x03E9, QByteArray(40, '\0'))};
  if (!options.exObjList.isEmpty()) docChildren << options.exObjList;
  docChildren << options.documentRecords;
  docChildren << container(0x0FF0, list, 0);

  QByteArray stream = container(0x03E8, docChildren);
  QList<std::uint32_t> offsets{0};
  for (const SlideSpec &slide : slides) {
    offsets << std::uint32_t(stream.size());
    stream += slideContainer(slide);
  }
  for (const QByteArray &record : options.persistRecords) {
    offsets << std::uint32_t(stream.size());
    stream += record;
  }
  std::optional<std::uint32_t> cryptRef;
  if (options.encryptedSession) {
    cryptRef = std::uint32_t(offsets.size() + 1);
    offsets << std::uint32_t(stream.size());
    stream += container(0x2F14, {atom(0x2F15, QByteArray(16, '\0'))});
  }
  std::uint32_t directory = std::uint32_t(stream.size());
  stream += persistDirectory(1, offsets);
  std::uint32_t edit = std::uint32_t(stream.size());
  stream += userEdit(options.editLoop ? edit : 0, directory, cryptRef);
  if (options.newerSlide1) {
    const std::uint32_t slideOffset = std::uint32_t(stream.size());
    stream += slideContainer(*options.newerSlide1);
    directory = std::uint32_t(stream.size());
    stream += persistDirectory(2, {slideOffset});
    const std::uint32_t older = edit;
    edit = std::uint32_t(stream.size());
    stream += userEdit(older, directory, std::nullopt);
  }
  const QByteArray name("tester");
  QByteArray user = u32(0x14) + u32(options.headerToken) + u32(edit) +
                    u16(std::uint16_t(name.size())) + u16(0x03F4) + QByteArray(1, 3) +
                    QByteArray(1, 0) + u16(0) + name + u32(8);
  return {stream, atom(0x0FF6, user)};
}

bool writeCompoundFile(const QString &path, const QList<std::pair<QString, QByteArray>> &streams) {
  gsf_init();
  GError *error = nullptr;
  GsfOutput *output = gsf_output_stdio_new(morvane::fileNameBytes(path).constData(), &error);
  if (!output) {
    if (error) g_error_free(error);
    return false;
  }
  GsfOutfile *root = gsf_outfile_msole_new(output);
  g_object_unref(output);
  bool ok = true;
  for (const auto &[name, bytes] : streams) {
    GsfOutput *child = gsf_outfile_new_child(root, name.toUtf8().constData(), FALSE);
    ok = ok && gsf_output_write(child, gsf_off_t(bytes.size()),
                                reinterpret_cast<const guint8 *>(bytes.constData()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  ok = gsf_output_close(GSF_OUTPUT(root)) && ok;
  g_object_unref(root);
  return ok;
}

}  // namespace pptbuilder
