#pragma once

// The subset of the presentation application's object model that the job and
// the extractors drive. Names mirror the published PowerPoint interfaces
// (_Application, Presentations, _Presentation, Slides, _Slide, Shapes, Shape,
// GroupShapes, FillFormat, TextFrame, TextRange, Font, Designs, Master,
// CustomLayouts); our readers in office/ppt and office/pptx implement them,
// and tests substitute fakes. Collections are 1-based, as in the object
// model. Every failing call throws morvane::Error (a picture that cannot be
// read throws morvane::PictureError).
//
// Members beyond the first round have default implementations that fail, so
// a reader (or a fake) implements only what it offers. The few members that
// the published model lacks are marked "Beyond the object model".

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

#include "common/error.h"

namespace PowerPoint {

enum MsoTriState : std::int32_t { msoFalse = 0, msoTrue = -1 };

enum PpWindowState : std::int32_t {
  ppWindowNormal = 1,
  ppWindowMinimized = 2,
  ppWindowMaximized = 3,
};

enum PpShapeFormat : std::int32_t {
  ppShapeFormatGIF = 0,
  ppShapeFormatJPG = 1,
  ppShapeFormatPNG = 2,
  ppShapeFormatBMP = 3,
  ppShapeFormatWMF = 4,
};

enum PpExportMode : std::int32_t {
  ppRelativeToSlide = 1,
  ppClipRelativeToSlide = 2,
  ppScaleToFit = 3,
  ppScaleXY = 4,
};

// Office shape types (the values of Shape.Type).
enum MsoShapeType : std::int32_t {
  msoAutoShape = 1,
  msoCallout = 2,
  msoChart = 3,
  msoComment = 4,
  msoFreeform = 5,
  msoGroup = 6,
  msoEmbeddedOLEObject = 7,
  msoFormControl = 8,
  msoLine = 9,
  msoLinkedOLEObject = 10,
  msoLinkedPicture = 11,
  msoOLEControlObject = 12,
  msoPicture = 13,
  msoPlaceholder = 14,
  msoTextEffect = 15,
  msoMedia = 16,
  msoTextBox = 17,
  msoScriptAnchor = 18,
  msoTable = 19,
};

// FillFormat.Type.
enum MsoFillType : std::int32_t {
  msoFillMixed = -2,
  msoFillSolid = 1,
  msoFillPatterned = 2,
  msoFillGradient = 3,
  msoFillTextured = 4,
  msoFillBackground = 5,
  msoFillPicture = 6,
};

[[noreturn]] inline void notOffered(const char *member) {
  throw morvane::Error(
      QStringLiteral("%1 is not offered by this presentation reader").arg(QLatin1String(member)));
}

// Beyond the object model: what a picture holds as stored in the file, for
// listing and for writing it out unchanged.
struct StoredPicture {
  // "JPEG", "PNG", "GIF", "TIFF", "DIB", "BMP", "EMF", "WMF", "PICT", "SVG";
  // "CHART" for a chart of a PowerPoint 2007+ file, which stores no picture
  // but its chart part (XML), from which Export draws it (pixelSize is then
  // the size it is drawn at, extension "xml").
  QString format;
  // Pixel size where the format has one (bitmaps); empty for metafiles.
  QSize pixelSize;
  // The crop of the shape, as fractions of the picture taken off each edge
  // (negative values extend it).
  double cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0;
  // Bytes as stored in the presentation (compressed metafiles: compressed).
  qint64 storedBytes = 0;
  // File extension of OriginalPicture(), lower case, without dot: "jpg",
  // "png", "gif", "tif", "bmp", "emf", "wmf", "pct", "svg".
  QString extension;
};

class Font {
 public:
  virtual ~Font() = default;
  virtual QString Name() const = 0;
};

// A font known by its name alone: what the readers give for a run of text.
class NamedFont : public Font {
 public:
  explicit NamedFont(QString name) : name_(std::move(name)) {}
  QString Name() const override { return name_; }

 private:
  QString name_;
};

class TextRange {
 public:
  virtual ~TextRange() = default;
  // The text as the slide shows it: symbol-font codes become the Unicode
  // characters they stand for wherever one exists.
  virtual QString Text() const = 0;
  // Characters Start .. Start + Length - 1 of Text() (1-based), as a range.
  virtual std::shared_ptr<TextRange> Characters(std::int32_t Start, std::int32_t Length) {
    (void)Start, (void)Length;
    notOffered("TextRange.Characters");
  }
  // The font of the range's first character.
  virtual std::shared_ptr<PowerPoint::Font> Font() { notOffered("TextRange.Font"); }
};

class TextFrame {
 public:
  virtual ~TextFrame() = default;
  virtual std::shared_ptr<PowerPoint::TextRange> TextRange() = 0;
  virtual MsoTriState HasText() { notOffered("TextFrame.HasText"); }
};

class FillFormat {
 public:
  virtual ~FillFormat() = default;
  virtual MsoFillType Type() const = 0;
  // Whether the shape is filled at all; a shape without a fill shows what
  // lies behind it, whatever Type says.
  virtual MsoTriState Visible() const { notOffered("FillFormat.Visible"); }
};

class GroupShapes;

class Shape {
 public:
  virtual ~Shape() = default;
  virtual std::int32_t Type() const = 0;
  // Writes an image of the shape at PathName. ScaleWidth/ScaleHeight 0 mean
  // the shape's own size. For a picture it is the picture as the slide shows
  // it; for a chart or another embedded object its preview; for a shape
  // filled with a picture (and a slide background) that picture. A picture
  // that cannot be read at all throws morvane::PictureError.
  virtual void Export(const QString &PathName, PpShapeFormat Filter, std::int32_t ScaleWidth = 0,
                      std::int32_t ScaleHeight = 0,
                      PpExportMode ExportMode = ppRelativeToSlide) = 0;
  // Fails for a shape that cannot hold text (a picture, a chart).
  virtual std::shared_ptr<PowerPoint::TextFrame> TextFrame() = 0;
  virtual MsoTriState HasTextFrame() const { notOffered("Shape.HasTextFrame"); }
  // The shapes of a group (Type msoGroup); fails for any other shape.
  virtual std::shared_ptr<GroupShapes> GroupItems() { notOffered("Shape.GroupItems"); }
  virtual std::shared_ptr<FillFormat> Fill() { notOffered("Shape.Fill"); }

  // Beyond the object model: the stored picture that Export draws from (a
  // picture, a picture fill, an embedded object's preview). Throws
  // morvane::PictureError when there is none or it cannot be read.
  virtual StoredPicture Picture() { notOffered("Shape.Picture"); }
  // Beyond the object model: that picture as a file of its own format,
  // nothing re-encoded and nothing cropped (a DIB gets its BMP file header,
  // a compressed metafile is inflated).
  virtual QByteArray OriginalPicture() { notOffered("Shape.OriginalPicture"); }
  // Beyond the object model: a note on the last Export of this shape that
  // the user should read although the file was written (a chart type drawn
  // only in part, say); empty when there is none.
  virtual QString ExportWarning() const { return {}; }
};

class Shapes {
 public:
  virtual ~Shapes() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Shape> Item(std::int32_t Index) = 0;
};

class GroupShapes : public Shapes {};

class Slide {
 public:
  virtual ~Slide() = default;
  virtual std::shared_ptr<PowerPoint::Shapes> Shapes() = 0;
  // The slide's background as a shape range of one: Fill().Type() tells
  // what it is; Export writes its picture when it is a picture fill.
  virtual std::shared_ptr<Shape> Background() { notOffered("Slide.Background"); }
  // Whether the slide shows its master's background instead of its own.
  virtual MsoTriState FollowMasterBackground() const { notOffered("Slide.FollowMasterBackground"); }
  // The slide's notes page (a slide of its own shapes); fails when it has none.
  virtual std::shared_ptr<Slide> NotesPage() { notOffered("Slide.NotesPage"); }
  virtual MsoTriState HasNotesPage() const { return msoFalse; }
};

class Slides {
 public:
  virtual ~Slides() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Slide> Item(std::int32_t Index) = 0;
};

// A slide master, title master or (PowerPoint 2007 and later) one of a
// master's layouts: shapes and a background, like a slide.
class Master : public Slide {};

class CustomLayouts {
 public:
  virtual ~CustomLayouts() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Master> Item(std::int32_t Index) = 0;
};

class Design {
 public:
  virtual ~Design() = default;
  virtual std::shared_ptr<Master> SlideMaster() = 0;
  virtual MsoTriState HasTitleMaster() const { return msoFalse; }
  virtual std::shared_ptr<Master> TitleMaster() { notOffered("Design.TitleMaster"); }
  // The master's layouts; none in a PowerPoint 97-2003 file.
  virtual std::int32_t CustomLayoutCount() const { return 0; }
  virtual std::shared_ptr<Master> CustomLayout(std::int32_t Index) {
    (void)Index;
    notOffered("Design.SlideMaster.CustomLayouts");
  }
};

class Designs {
 public:
  virtual ~Designs() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Design> Item(std::int32_t Index) = 0;
};

class Presentation {
 public:
  virtual ~Presentation() = default;
  virtual std::shared_ptr<PowerPoint::Slides> Slides() = 0;
  virtual std::shared_ptr<PowerPoint::Designs> Designs() { notOffered("Presentation.Designs"); }
};

class Presentations {
 public:
  virtual ~Presentations() = default;
  // Opens FileName; the opened presentation becomes the ActivePresentation.
  virtual std::shared_ptr<Presentation> Open(const QString &FileName,
                                             MsoTriState ReadOnly = msoFalse,
                                             MsoTriState Untitled = msoFalse,
                                             MsoTriState WithWindow = msoTrue) = 0;
};

// _Application.
class Application {
 public:
  virtual ~Application() = default;
  virtual void put_Visible(MsoTriState Visible) = 0;
  virtual void put_WindowState(PpWindowState WindowState) = 0;
  virtual std::shared_ptr<PowerPoint::Presentations> Presentations() = 0;
  // Throws when no presentation is open.
  virtual std::shared_ptr<Presentation> ActivePresentation() = 0;
  // Closes every presentation and lets go of their files.
  virtual void Quit() = 0;
};

}  // namespace PowerPoint
