#pragma once

// Builds small PowerPoint 97-2003 files record by record, so that tests can
// state exactly which records a file holds.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace pptbuilder {

QByteArray u16(std::uint16_t v);
QByteArray u32(std::uint32_t v);
QByteArray utf16(const QString &text);

QByteArray atom(std::uint16_t type, const QByteArray &body, std::uint16_t instance = 0);
QByteArray container(std::uint16_t type, const QList<QByteArray> &children,
                     std::uint16_t instance = 0);

// One OfficeArt shape (spContainer).
struct ShapeSpec {
  std::uint16_t shapeType = 1;
  std::uint32_t flags = 0xA00;                                      // fHaveAnchor | fHaveSpt
  std::vector<std::pair<std::uint16_t, std::uint32_t>> properties;  // simple properties
  QString wordArt;      // gtextUNICODE, stored with a trailing NUL
  QString wordArtFont;  // gtextFont, the same
  std::int16_t top = 0, left = 0, right = 576, bottom = 576;
  bool childAnchor = false;  // group members
  QList<QByteArray> clientData;
  QList<QByteArray> textbox;  // ClientTextbox children
};

QByteArray shape(const ShapeSpec &spec);
// A group (spgrContainer) of members; tableProperties set when table.
QByteArray group(const QList<QByteArray> &members, bool table);
QByteArray textAtoms(const QString &text);  // TextHeaderAtom + TextCharsAtom
QByteArray outlineRef(std::int32_t index);
QByteArray placeholder();
QByteArray exObjRef(std::uint32_t id);
QByteArray comment(const QString &text);  // a ___PPT10 tag holding one comment

struct SlideSpec {
  QList<QByteArray> shapes;        // top-level shapes, drawing order
  QList<QString> outlineTexts;     // the slide list's texts of this slide
  QList<QByteArray> extraRecords;  // more children of the slide container
  QByteArray slideAtom;            // replaces the blank SlideAtom when given
  QByteArray background;           // replaces the unfilled background shape when given
};

// A SlideAtom naming the master and notes and the SlideFlags.
QByteArray slideAtom(std::uint32_t masterId, std::uint32_t notesId, std::uint16_t flags);
// A SlideSchemeColorSchemeAtom of eight 0xRRGGBB colours.
QByteArray colorScheme(const QList<std::uint32_t> &colors);
// A background shape with the given simple properties.
QByteArray backgroundShape(std::vector<std::pair<std::uint16_t, std::uint32_t>> properties);
// A slide or main master container (type 0x03EE or 0x03F8) of spec.
QByteArray slideRecord(const SlideSpec &spec, std::uint16_t type = 0x03EE);
// A slide list (instance 1: masters, 2: notes) of SlidePersistAtoms (persist
// id, list id).
QByteArray persistList(std::uint16_t instance,
                       const QList<std::pair<std::uint32_t, std::uint32_t>> &entries);
// A font collection inside an environment record, with the face names and
// whether each has the symbol character set.
QByteArray environment(const QList<std::pair<QString, bool>> &fonts);
// A drawing group whose picture store holds the blip records, one entry each.
QByteArray drawingGroup(const QList<QByteArray> &blips);
// A metafile blip (EMF 0xF01A, WMF 0xF01B, PICT 0xF01C) of data, compressed
// with zlib when asked; bounds and size in EMUs as its header states.
QByteArray metafileBlip(std::uint16_t type, const QByteArray &data, bool compressed,
                        std::int32_t right = 100, std::int32_t bottom = 50,
                        std::int32_t widthEmu = 914400, std::int32_t heightEmu = 457200);
// A bitmap blip (JPEG 0xF01D, PNG 0xF01E, DIB 0xF01F) of data.
QByteArray bitmapBlip(std::uint16_t type, const QByteArray &data);

struct Options {
  QByteArray exObjList;  // a whole ExObjList record, or empty
  // More children of the document container (an environment, a drawing
  // group, the masters' list ...).
  QList<QByteArray> documentRecords;
  // Records after the slides, with persist ids from the slide count + 2 on.
  QList<QByteArray> persistRecords;
  std::uint32_t headerToken = 0xE391C05F;
  bool editLoop = false;          // the user edit points back at itself
  bool encryptedSession = false;  // a CryptSession10Container is referenced
  // A second, newer edit that replaces slide 1 with this slide.
  std::optional<SlideSpec> newerSlide1;
};

// The "PowerPoint Document" and "Current User" streams of a presentation.
struct Streams {
  QByteArray document;
  QByteArray currentUser;
};
Streams presentation(const QList<SlideSpec> &slides, const Options &options = {});

// Writes a compound file holding the given streams (name, bytes).
bool writeCompoundFile(const QString &path, const QList<std::pair<QString, QByteArray>> &streams);

}  // namespace pptbuilder
