#pragma once

// An Office Open XML package: the parts of the ZIP container, their content
// types ([Content_Types].xml) and relationships (_rels/*.rels). Part names
// are absolute ("/ppt/slides/slide1.xml"); relationship targets are resolved
// against their source part. Relationships and content types are read when
// first needed and kept. A target that is missing from the package is
// reported by the caller that needs it (the missing part is named).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "office/pptx/ziparchive.h"

namespace office::pptx {

// Relationship types by the last segment of their URI, which the
// transitional (http://schemas.openxmlformats.org/...) and strict
// (http://purl.oclc.org/ooxml/...) forms share.
namespace reltype {
inline constexpr char kOfficeDocument[] = "officeDocument";
inline constexpr char kSlide[] = "slide";
inline constexpr char kSlideLayout[] = "slideLayout";
inline constexpr char kSlideMaster[] = "slideMaster";
inline constexpr char kNotesSlide[] = "notesSlide";
inline constexpr char kTheme[] = "theme";
inline constexpr char kComments[] = "comments";
inline constexpr char kCommentAuthors[] = "commentAuthors";
inline constexpr char kImage[] = "image";
inline constexpr char kChart[] = "chart";
inline constexpr char kChartEx[] = "chartEx";
inline constexpr char kVmlDrawing[] = "vmlDrawing";
}  // namespace reltype

struct Relationship {
  QString id;
  QString type;    // the whole URI
  QString target;  // resolved part name, or the raw target when external
  bool external = false;

  // Whether type names the relationship kind (its last URI segment).
  bool isType(const char *kind) const;
};

class Relationships {
 public:
  const Relationship *byId(QStringView id) const;
  const Relationship *firstOfType(const char *kind) const;
  std::vector<const Relationship *> allOfType(const char *kind) const;
  const std::vector<Relationship> &all() const { return list_; }

 private:
  friend class Package;
  std::vector<Relationship> list_;
};

// Size limits for the parts read whole into memory.
inline constexpr std::uint64_t kMaxXmlPartBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxPicturePartBytes = 256ull << 20;

class Package {
 public:
  explicit Package(std::unique_ptr<ZipArchive> zip);

  bool hasPart(const QString &partName) const { return zip_->find(partName) != nullptr; }
  // The declared size of a part; nullopt when it is not in the package.
  std::optional<std::uint64_t> partSize(const QString &partName) const;
  // The bytes of a part; throws when it is missing, larger than maxBytes or damaged.
  QByteArray readPart(const QString &partName, std::uint64_t maxBytes = kMaxXmlPartBytes);
  // The content type given to a part (Override, else Default by extension),
  // lower case; empty when none is given or the content types are unreadable.
  QString contentType(const QString &partName);
  // The relationships whose source is partName ("" for the package's own).
  const Relationships &relationships(const QString &partName);

  bool recovered() const { return zip_->recovered(); }

  // Resolves a relative reference against the part it appears in.
  static QString resolve(const QString &sourcePart, const QString &target);
  // The relationships part of a source part ("/_rels/.rels" for "").
  static QString relationshipsPartOf(const QString &sourcePart);

 private:
  void loadContentTypes();
  void readRelationships(const QString &relsPart, const QString &partName, Relationships &rels);

  std::unique_ptr<ZipArchive> zip_;
  QHash<QString, std::shared_ptr<Relationships>> relationships_;
  bool contentTypesLoaded_ = false;
  QHash<QString, QString> overrides_;  // lookup key of the part -> type
  QHash<QString, QString> defaults_;   // lower-case extension -> type
};

}  // namespace office::pptx
