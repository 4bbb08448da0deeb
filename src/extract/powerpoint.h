#pragma once

// The subset of the presentation application's object model that the job and
// the extractors drive. Names mirror the published PowerPoint interfaces
// (_Application, Presentations, _Presentation, Slides, _Slide, Shapes, Shape,
// TextFrame, TextRange); our reader in office/ppt implements them, and tests
// substitute fakes. Collections are 1-based, as in the object model. Every
// failing call throws morvane::Error.

#include <QString>
#include <cstdint>
#include <memory>

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

class TextRange {
 public:
  virtual ~TextRange() = default;
  virtual QString Text() const = 0;
};

class TextFrame {
 public:
  virtual ~TextFrame() = default;
  virtual std::shared_ptr<PowerPoint::TextRange> TextRange() = 0;
};

class Shape {
 public:
  virtual ~Shape() = default;
  virtual std::int32_t Type() const = 0;
  // Writes an image of the shape at PathName. ScaleWidth/ScaleHeight 0 mean
  // the shape's own size.
  virtual void Export(const QString &PathName, PpShapeFormat Filter, std::int32_t ScaleWidth = 0,
                      std::int32_t ScaleHeight = 0,
                      PpExportMode ExportMode = ppRelativeToSlide) = 0;
  // Fails for a shape that cannot hold text (a picture, a chart).
  virtual std::shared_ptr<PowerPoint::TextFrame> TextFrame() = 0;
};

class Shapes {
 public:
  virtual ~Shapes() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Shape> Item(std::int32_t Index) = 0;
};

class Slide {
 public:
  virtual ~Slide() = default;
  virtual std::shared_ptr<PowerPoint::Shapes> Shapes() = 0;
};

class Slides {
 public:
  virtual ~Slides() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<Slide> Item(std::int32_t Index) = 0;
};

class Presentation {
 public:
  virtual ~Presentation() = default;
  virtual std::shared_ptr<PowerPoint::Slides> Slides() = 0;
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
