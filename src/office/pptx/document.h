#pragma once

// A PowerPoint 2007+ presentation package: the presentation part found
// through the package relationships, its slide and master lists, and every
// other part read when first asked for and kept (slides, layouts, masters,
// notes, themes, comments). Picture bytes are kept for the last few
// pictures, so a picture shared by several shapes is inflated once.
//
// Where a part is missing or the relationships between slides, layouts and
// masters run in a circle, the call that needs it throws morvane::Error (a
// picture: morvane::PictureError) naming the part.

#include <QByteArray>
#include <QHash>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

#include "office/pptx/drawingml.h"
#include "office/pptx/package.h"
#include "office/pptx/pictures.h"
#include "office/pptx/slidemodel.h"
#include "office/render/exportcache.h"

namespace office::pptx {

// A picture part with what it is.
struct PictureBytes {
  QString partName;
  QByteArray bytes;
  PictureFormat format = PictureFormat::Unknown;
};

class Document {
 public:
  // Opens path; throws morvane::Error with the reason (without the file name)
  // when it is not a readable presentation package.
  static std::shared_ptr<Document> open(const QString &path);
  static std::shared_ptr<Document> openBytes(const QByteArray &bytes);
  // Whether bytes start like a ZIP file (a local file header).
  static bool looksLikeZip(const QByteArray &head);

  Package &package() { return *package_; }
  const QString &presentationPart() const { return presentationPart_; }
  std::size_t slideCount() const { return slides_.size(); }
  // Slide index's part (0-based); throws when the presentation lists it
  // without one.
  QString slidePart(std::size_t index) const;
  const std::vector<QString> &masterParts() const { return masters_; }
  // The slide size in inches (10 x 7.5 when not given).
  QSizeF slideSizeInches() const { return slideSize_; }

  // A slide, layout, master or notes part, read once.
  std::shared_ptr<const SlideModel> slideModel(const QString &partName);
  // The comment texts of a slide, legacy then modern parts.
  const std::vector<QString> &comments(const QString &slidePart);
  // Related parts; empty when there is none.
  QString layoutOf(const QString &slidePart);
  QString masterOf(const QString &layoutPart);
  QString notesOf(const QString &slidePart);
  // A master's layouts in its list's order (those whose parts exist).
  std::vector<QString> layoutsOf(const QString &masterPart);
  // The part and those it inherits from: a slide, its layout and master; a
  // layout and its master; a notes slide and its notes master. Throws when
  // they lead back to one of them.
  std::vector<QString> inheritance(const QString &partName);

  // The theme and colour context of a slide-like part (its master's theme;
  // the master's colour map, overridden by the part's or its layout's).
  const Theme *themeOf(const QString &partName);
  ColorContext colorContext(const QString &partName);

  // The picture part that relationship relId of sourcePart names; throws
  // morvane::PictureError when it is missing or cannot be read.
  PictureBytes picture(const QString &sourcePart, const QString &relId);
  // The colour a fill shows on average, pictures included (sourcePart holds
  // its picture relationship); nullopt when it has none.
  std::optional<QRgb> fillColor(const Fill &fill, const QString &sourcePart,
                                const ColorContext &context);
  // The background of a slide-like part as shown: its own, else the nearest
  // in its inheritance. present is false when none has one.
  struct EffectiveBackground {
    Background background;
    QString definedIn;                // the part whose relationships its picture uses
    Fill fill;                        // the fill itself (style references resolved)
    std::optional<QRgb> placeholder;  // phClr of a style reference's fill
    bool own = false;
  };
  EffectiveBackground background(const QString &partName);
  // The colour the background of a part shows on average; white when none.
  QRgb backgroundColor(const QString &partName);

  // The export's cache of outputs for this presentation's pictures, and a
  // picture part's id in it.
  const std::shared_ptr<office::render::ExportCache> &exportCache() const { return exportCache_; }
  std::uint64_t pictureId(const QString &partName);

 private:
  explicit Document(std::unique_ptr<Package> package);
  void load();
  void readPresentation();
  QString themePartOf(const QString &partName);
  QString relatedPart(const QString &partName, const char *kind);

  std::unique_ptr<Package> package_;
  QString presentationPart_;
  std::vector<QString> slides_;  // empty string: listed without a part
  std::vector<QString> masters_;
  QSizeF slideSize_{10, 7.5};
  QHash<QString, std::shared_ptr<const SlideModel>> models_;
  QHash<QString, std::vector<QString>> comments_;
  QHash<QString, std::shared_ptr<Theme>> themes_;
  QHash<QString, std::optional<QRgb>> pictureColors_;
  std::deque<PictureBytes> recentPictures_;
  std::shared_ptr<office::render::ExportCache> exportCache_;
  QHash<QString, std::uint64_t> pictureIds_;
};

}  // namespace office::pptx
