#pragma once

// Writes small PowerPoint 97-2003 presentations (.ppt) for tests, examples
// and benchmarks: slides holding a title, text boxes and embedded JPEG or
// PNG pictures, laid out top to bottom; on request also groups, filled shapes,
// embedded objects with preview pictures, tables with merged cells, text in
// symbol fonts, backgrounds, notes pages, and a master and title master with
// pictures of their own. The files follow the binary format that PowerPoint
// and its compatible readers open: a compound file with the "Current User",
// "PowerPoint Document" and "Pictures" streams.

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace morvane::pptgen {

// Emf: an enhanced metafile, stored compressed as PowerPoint stores metafiles.
enum class PictureFormat { Jpeg, Png, Emf };

// Fractions of the picture cut off at each edge, 0 to 1.
struct Crop {
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct GenPicture {
  PictureFormat format = PictureFormat::Jpeg;
  QByteArray data;  // the complete JPEG, PNG or EMF file
  std::optional<Crop> crop;
};

// A slide background or a shape's fill.
struct GenFill {
  enum class Kind { Solid, Gradient, Picture };
  Kind kind = Kind::Solid;
  QRgb color = 0xFFFFFFFF;
  QRgb color2 = 0xFF000000;  // gradients run from color to color2
  GenPicture picture;        // picture fills
};

// Text in one font; an empty font is the deck's default (Arial).
struct GenRun {
  QString text;
  QString font;
};

// A table cell that spans more than one grid cell.
struct GenMerge {
  int row = 0, column = 0, rows = 1, columns = 1;
};

// A shape beyond the plain text boxes and pictures of a slide.
struct GenShape {
  enum class Kind {
    Picture,          // picture, on fill when given
    FilledRectangle,  // a rectangle filled with fill
    Group,            // members, which may be groups again
    EmbeddedObject,   // an embedded OLE object of progId showing picture as preview
    Table,            // cells, row by row, with merges
    RichText,         // a text box of runs
  };
  Kind kind = Kind::Picture;
  GenPicture picture;
  std::optional<GenFill> fill;
  std::vector<GenShape> members;
  QString progId;
  std::vector<std::vector<QString>> cells;
  std::vector<GenMerge> merges;
  std::vector<GenRun> runs;
};

struct GenSlide {
  QString title;               // a title placeholder when not empty
  std::vector<QString> texts;  // one text box each; '\n' starts a new paragraph
  std::vector<GenPicture> pictures;
  std::vector<GenShape> shapes;       // after the text boxes and pictures
  std::optional<GenFill> background;  // none: the master's background shows
  QString notes;                      // the notes page's text; none when empty
  bool followsTitleMaster = false;    // the slide follows the title master
};

// A slide master or title master: its background and pictures.
struct GenMaster {
  std::optional<GenFill> background;
  std::vector<GenPicture> pictures;
};

struct GenDeck {
  std::vector<GenSlide> slides;
  GenMaster master;
  std::optional<GenMaster> titleMaster;
};

// A picture of the given pixel size drawn from the seed (colours and shapes
// differ per seed, so every seed gives different bytes). Needs no fonts.
GenPicture makePicture(int seed, QSize size, PictureFormat format);

// A white logo (a ring and a bar) on a transparent ground, as a PNG: shown on
// white it disappears.
GenPicture makeLogo(QSize size);

// The "PowerPoint Document" and "Pictures" stream contents and the offset of
// the newest edit, kept apart from the compound file for tests.
struct PresentationStreams {
  QByteArray document;
  QByteArray pictures;
  QByteArray currentUser;
};
PresentationStreams buildStreams(const GenDeck &deck);
PresentationStreams buildStreams(const std::vector<GenSlide> &slides);

// Writes the presentation to path, replacing an existing file. Throws
// morvane::Error when the deck is too large for the format's limits or the
// file cannot be written.
void writePresentation(const QString &path, const GenDeck &deck);
void writePresentation(const QString &path, const std::vector<GenSlide> &slides);

}  // namespace morvane::pptgen
