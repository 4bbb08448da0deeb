#include "office/pptx/document.h"

#include <algorithm>

#include "common/error.h"
#include "office/pptx/comments.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

constexpr std::size_t kMaxSlides = 50000;
constexpr std::size_t kMaxMasters = 1000;
constexpr std::size_t kRecentPictures = 4;
constexpr qint64 kRecentPictureBytes = 64 << 20;
constexpr double kEmuPerInch = 914400.0;

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

// Main content types of the package kinds that hold a presentation
// (presentation, slide show, template; each also with macros).
bool isPresentationType(const QString &type) {
  return type.startsWith(QLatin1String("application/vnd.openxmlformats-officedocument."
                                       "presentationml.")) ||
         type.startsWith(QLatin1String("application/vnd.ms-powerpoint."));
}

QString otherDocumentKind(const QString &type) {
  if (type.contains(QLatin1String("wordprocessingml")) || type.contains(QLatin1String("ms-word")))
    return QStringLiteral("a Word document");
  if (type.contains(QLatin1String("spreadsheetml")) || type.contains(QLatin1String("ms-excel")))
    return QStringLiteral("an Excel workbook");
  return QString();
}

}  // namespace

Document::Document(std::unique_ptr<Package> package)
    : package_(std::move(package)), exportCache_(std::make_shared<office::render::ExportCache>()) {}

std::uint64_t Document::pictureId(const QString &partName) {
  const auto known = pictureIds_.constFind(partName);
  if (known != pictureIds_.constEnd()) return *known;
  const std::uint64_t id = std::uint64_t(pictureIds_.size()) + 1;
  pictureIds_.insert(partName, id);
  return id;
}

bool Document::looksLikeZip(const QByteArray &head) {
  return head.startsWith(QByteArray("PK\x03\x04", 4));
}

std::shared_ptr<Document> Document::open(const QString &path) {
  std::shared_ptr<Document> doc(new Document(std::make_unique<Package>(ZipArchive::open(path))));
  doc->load();
  return doc;
}

std::shared_ptr<Document> Document::openBytes(const QByteArray &bytes) {
  std::shared_ptr<Document> doc(
      new Document(std::make_unique<Package>(ZipArchive::fromBytes(bytes))));
  doc->load();
  return doc;
}

// The presentation part is what the package's officeDocument relationship
// names; its content type (or, without content types, its root element)
// must be a presentation's.
void Document::load() {
  const Relationship *main =
      package_->relationships(QString()).firstOfType(reltype::kOfficeDocument);
  if (!main || main->external) {
    if (package_->recovered())
      fail(
          QStringLiteral("the file is damaged: its ZIP directory is missing and no presentation "
                         "was found in what remains"));
    fail(
        QStringLiteral("the file is a ZIP file but not a presentation (it names no Office "
                       "document)"));
  }
  presentationPart_ = main->target;
  const QString type = package_->contentType(presentationPart_);
  const QString other = otherDocumentKind(type);
  if (!other.isEmpty())
    fail(QStringLiteral("the file is %1, not a presentation (perhaps renamed)").arg(other));
  if (!type.isEmpty() && !isPresentationType(type))
    fail(QStringLiteral("the file is an Office document but not a presentation (%1)").arg(type));
  if (!package_->hasPart(presentationPart_))
    fail(QStringLiteral("the file is damaged: its presentation part %1 is missing")
             .arg(presentationPart_));
  readPresentation();
}

void Document::readPresentation() {
  XmlStream xml(package_->readPart(presentationPart_), presentationPart_);
  const Relationships &rels = package_->relationships(presentationPart_);
  const auto target = [&](std::vector<QString> &list, std::size_t limit, const char *what) {
    if (list.size() >= limit)
      xml.failDamaged(QStringLiteral("more than %1 %2").arg(limit).arg(QLatin1String(what)));
    const Relationship *r = rels.byId(xml.relationshipAttribute(QLatin1StringView("id")));
    list.push_back(r && !r->external && package_->hasPart(r->target) ? r->target : QString());
  };
  while (xml.nextChild(0)) {
    if (!xml.is(QLatin1StringView("presentation")))
      fail(QStringLiteral("the file is an Office document but not a presentation"));
    while (xml.nextChild(1)) {
      if (xml.is(QLatin1StringView("sldIdLst"))) {
        while (xml.nextChild(2)) target(slides_, kMaxSlides, "slides");
      } else if (xml.is(QLatin1StringView("sldMasterIdLst"))) {
        while (xml.nextChild(2)) target(masters_, kMaxMasters, "masters");
      } else if (xml.is(QLatin1StringView("sldSz"))) {
        const double cx = double(xml.intAttribute(QLatin1StringView("cx"), 0));
        const double cy = double(xml.intAttribute(QLatin1StringView("cy"), 0));
        if (cx > 0 && cy > 0 && cx < 1e9 && cy < 1e9)
          slideSize_ = QSizeF(cx / kEmuPerInch, cy / kEmuPerInch);
      }
    }
  }
  // A slide that cannot be found would make every later slide's number wrong.
  const auto missing = std::find(slides_.begin(), slides_.end(), QString());
  if (missing != slides_.end())
    fail(QStringLiteral("the file is damaged: slide %1 of its slide list has no slide part")
             .arg(missing - slides_.begin() + 1));
}

QString Document::slidePart(std::size_t index) const {
  const QString &part = slides_.at(index);
  if (part.isEmpty())
    fail(QStringLiteral("the file is damaged: slide %1 has no slide part").arg(index + 1));
  return part;
}

std::shared_ptr<const SlideModel> Document::slideModel(const QString &partName) {
  const auto known = models_.constFind(partName);
  if (known != models_.constEnd()) return *known;
  auto model =
      std::make_shared<const SlideModel>(readSlidePart(package_->readPart(partName), partName));
  models_.insert(partName, model);
  return model;
}

const std::vector<QString> &Document::comments(const QString &slidePart) {
  const auto known = comments_.constFind(slidePart);
  if (known != comments_.constEnd()) return *known;
  std::vector<QString> texts;
  for (const Relationship *r : package_->relationships(slidePart).allOfType(reltype::kComments)) {
    if (r->external || !package_->hasPart(r->target)) continue;
    for (QString &text : readComments(package_->readPart(r->target), r->target))
      texts.push_back(std::move(text));
  }
  return *comments_.insert(slidePart, std::move(texts));
}

QString Document::relatedPart(const QString &partName, const char *kind) {
  const Relationship *r = package_->relationships(partName).firstOfType(kind);
  return r && !r->external && package_->hasPart(r->target) ? r->target : QString();
}

QString Document::layoutOf(const QString &slidePart) {
  return relatedPart(slidePart, reltype::kSlideLayout);
}

QString Document::masterOf(const QString &layoutPart) {
  return relatedPart(layoutPart, reltype::kSlideMaster);
}

QString Document::notesOf(const QString &slidePart) {
  return relatedPart(slidePart, reltype::kNotesSlide);
}

std::vector<QString> Document::layoutsOf(const QString &masterPart) {
  std::vector<QString> layouts;
  const Relationships &rels = package_->relationships(masterPart);
  for (const QString &id : slideModel(masterPart)->layoutRelIds) {
    const Relationship *r = rels.byId(id);
    if (r && !r->external && package_->hasPart(r->target)) layouts.push_back(r->target);
  }
  return layouts;
}

std::vector<QString> Document::inheritance(const QString &partName) {
  std::vector<QString> chain{partName};
  const auto follow = [&](const QString &from, const char *kind) {
    const QString next = from.isEmpty() ? QString() : relatedPart(from, kind);
    if (next.isEmpty()) return QString();
    if (std::find(chain.begin(), chain.end(), next) != chain.end())
      fail(QStringLiteral("the file is damaged: the relationships of %1 lead back to %2 (a cycle)")
               .arg(from, next));
    chain.push_back(next);
    return next;
  };
  const QString root = slideModel(partName)->rootElement;
  if (root == QLatin1String("sld")) {
    const QString layout = follow(partName, reltype::kSlideLayout);
    follow(layout.isEmpty() ? partName : layout, reltype::kSlideMaster);
  } else if (root == QLatin1String("sldLayout")) {
    follow(partName, reltype::kSlideMaster);
  } else if (root == QLatin1String("notes")) {
    follow(partName, "notesMaster");
  }
  return chain;
}

QString Document::themePartOf(const QString &partName) {
  const std::vector<QString> chain = inheritance(partName);
  return relatedPart(chain.back(), reltype::kTheme);
}

const Theme *Document::themeOf(const QString &partName) {
  const QString themePart = themePartOf(partName);
  if (themePart.isEmpty()) return nullptr;
  auto known = themes_.constFind(themePart);
  if (known == themes_.constEnd()) {
    std::shared_ptr<Theme> theme;
    try {
      theme = std::make_shared<Theme>(readTheme(package_->readPart(themePart), themePart));
    } catch (const morvane::Error &) {
      // A damaged theme loses colours and fonts, nothing else.
    }
    known = themes_.insert(themePart, theme);
  }
  return known->get();
}

ColorContext Document::colorContext(const QString &partName) {
  ColorContext context;
  const Theme *theme = themeOf(partName);
  context.scheme = theme && !theme->colors.isEmpty() ? &theme->colors : &defaultColorScheme();
  const std::vector<QString> chain = inheritance(partName);
  // The nearest colour map or override wins: the part's own, its layout's,
  // then the master's.
  for (const QString &part : chain) {
    const auto &map = slideModel(part)->colorMap;
    if (map && !map->isEmpty()) {
      context.map = &*map;
      break;
    }
  }
  return context;
}

PictureBytes Document::picture(const QString &sourcePart, const QString &relId) {
  const Relationship *r = package_->relationships(sourcePart).byId(relId);
  if (!r)
    throw morvane::PictureError(
        QStringLiteral("the picture's relationship \"%1\" is not defined by %2")
            .arg(relId, sourcePart));
  if (r->external)
    throw morvane::PictureError(
        QStringLiteral("the picture is linked to %1 and not stored in the file").arg(r->target));
  for (const PictureBytes &recent : recentPictures_)
    if (recent.partName == r->target) return recent;
  if (!package_->hasPart(r->target))
    throw morvane::PictureError(
        QStringLiteral("the picture part %1 is missing from the file").arg(r->target));
  PictureBytes picture;
  picture.partName = r->target;
  try {
    picture.bytes = package_->readPart(r->target, kMaxPicturePartBytes);
  } catch (const morvane::Error &error) {
    throw morvane::PictureError(error.description());
  }
  picture.format = pictureFormat(picture.bytes, package_->contentType(r->target), r->target);
  if (picture.bytes.size() <= kRecentPictureBytes) {
    recentPictures_.push_front(picture);
    if (recentPictures_.size() > kRecentPictures) recentPictures_.pop_back();
  }
  return picture;
}

std::optional<QRgb> Document::fillColor(const Fill &fill, const QString &sourcePart,
                                        const ColorContext &context) {
  if (fill.kind != Fill::Kind::Blip) return averageColor(fill, context);
  if (fill.blip.embed.isEmpty()) return std::nullopt;
  try {
    const PictureBytes bytes = picture(sourcePart, fill.blip.embed);
    auto known = pictureColors_.constFind(bytes.partName);
    if (known == pictureColors_.constEnd())
      known = pictureColors_.insert(bytes.partName, averagePictureColor(bytes.bytes, bytes.format));
    return *known;
  } catch (const morvane::PictureError &) {
    return std::nullopt;
  }
}

Document::EffectiveBackground Document::background(const QString &partName) {
  EffectiveBackground effective;
  for (const QString &part : inheritance(partName)) {
    const Background &own = slideModel(part)->background;
    if (!own.present) continue;
    effective.background = own;
    effective.own = part == partName;
    effective.definedIn = part;
    effective.fill = own.fill;
    if (own.styleRef) {
      const Theme *theme = themeOf(part);
      effective.fill = theme ? themeFill(*theme, *own.styleRef) : Fill();
      effective.definedIn = themePartOf(part);
      effective.placeholder = resolveColor(own.styleRef->color, colorContext(part));
    }
    break;
  }
  return effective;
}

QRgb Document::backgroundColor(const QString &partName) {
  constexpr QRgb kWhite = 0xFFFFFFFF;
  const EffectiveBackground effective = background(partName);
  if (!effective.background.present) return kWhite;
  ColorContext context = colorContext(partName);
  context.placeholder = effective.placeholder;
  const std::optional<QRgb> color = fillColor(effective.fill, effective.definedIn, context);
  return color ? qRgb(qRed(*color), qGreen(*color), qBlue(*color)) : kWhite;
}

}  // namespace office::pptx
