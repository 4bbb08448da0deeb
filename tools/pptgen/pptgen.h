#pragma once

// Writes small PowerPoint 97-2003 presentations (.ppt) for tests, examples
// and benchmarks: slides holding a title, text boxes and embedded JPEG or
// PNG pictures, laid out top to bottom. The files follow the binary format that
// PowerPoint and its compatible readers open: a compound file with the
// "Current User", "PowerPoint Document" and "Pictures" streams.

#include <QByteArray>
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

struct GenSlide {
  QString title;               // a title placeholder when not empty
  std::vector<QString> texts;  // one text box each; '\n' starts a new paragraph
  std::vector<GenPicture> pictures;
};

// A picture of the given pixel size drawn from the seed (colours and shapes
// differ per seed, so every seed gives different bytes). Needs no fonts.
GenPicture makePicture(int seed, QSize size, PictureFormat format);

// The "PowerPoint Document" and "Pictures" stream contents and the offset of
// the newest edit, kept apart from the compound file for tests.
struct PresentationStreams {
  QByteArray document;
  QByteArray pictures;
  QByteArray currentUser;
};
PresentationStreams buildStreams(const std::vector<GenSlide> &slides);

// Writes the presentation to path, replacing an existing file. Throws
// morvane::Error when the deck is too large for the format's limits or the
// file cannot be written.
void writePresentation(const QString &path, const std::vector<GenSlide> &slides);

}  // namespace morvane::pptgen
