#include "office/pptx/package.h"

#include <QStringList>

#include "common/error.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

// Relationships of one part beyond any real package's needs.
constexpr std::size_t kMaxRelationships = 100000;
const QString kContentTypesPart = QStringLiteral("/[Content_Types].xml");

QString extensionOf(const QString &partName) {
  const qsizetype slash = partName.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = partName.lastIndexOf(QLatin1Char('.'));
  return dot > slash ? partName.mid(dot + 1).toLower() : QString();
}

}  // namespace

bool Relationship::isType(const char *kind) const {
  const qsizetype slash = type.lastIndexOf(QLatin1Char('/'));
  return QStringView(type).mid(slash + 1) == QLatin1StringView(kind);
}

const Relationship *Relationships::byId(QStringView id) const {
  for (const Relationship &r : list_)
    if (r.id == id) return &r;
  return nullptr;
}

const Relationship *Relationships::firstOfType(const char *kind) const {
  for (const Relationship &r : list_)
    if (r.isType(kind)) return &r;
  return nullptr;
}

std::vector<const Relationship *> Relationships::allOfType(const char *kind) const {
  std::vector<const Relationship *> found;
  for (const Relationship &r : list_)
    if (r.isType(kind)) found.push_back(&r);
  return found;
}

Package::Package(std::unique_ptr<ZipArchive> zip) : zip_(std::move(zip)) {}

std::optional<std::uint64_t> Package::partSize(const QString &partName) const {
  const ZipEntry *entry = zip_->find(partName);
  if (!entry) return std::nullopt;
  return entry->size;
}

QByteArray Package::readPart(const QString &partName, std::uint64_t maxBytes) {
  const ZipEntry *entry = zip_->find(partName);
  if (!entry)
    throw morvane::Error(
        QStringLiteral("the file is damaged: its part %1 is missing").arg(partName));
  return zip_->read(*entry, maxBytes);
}

QString Package::relationshipsPartOf(const QString &sourcePart) {
  const qsizetype slash = sourcePart.lastIndexOf(QLatin1Char('/'));
  return sourcePart.left(slash + 1) + QStringLiteral("_rels/") + sourcePart.mid(slash + 1) +
         QStringLiteral(".rels");
}

// Targets are URI references: percent-encoded, relative to the source
// part's folder or absolute; "." and ".." segments are resolved, never past
// the package root.
QString Package::resolve(const QString &sourcePart, const QString &target) {
  QString path = target;
  const qsizetype cut = path.indexOf(QLatin1Char('#'));
  if (cut >= 0) path.truncate(cut);
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (path.contains(QLatin1Char('%')))
    path = QString::fromUtf8(QByteArray::fromPercentEncoding(path.toUtf8()));
  if (!path.startsWith(QLatin1Char('/')))
    path = sourcePart.left(sourcePart.lastIndexOf(QLatin1Char('/')) + 1) + path;
  QStringList segments;
  for (const QString &segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (segment == QLatin1String(".")) continue;
    if (segment == QLatin1String("..")) {
      if (!segments.isEmpty()) segments.removeLast();
      continue;
    }
    segments << segment;
  }
  return QLatin1Char('/') + segments.join(QLatin1Char('/'));
}

const Relationships &Package::relationships(const QString &partName) {
  const auto known = relationships_.constFind(partName);
  if (known != relationships_.constEnd()) return **known;
  auto rels = std::make_shared<Relationships>();
  const QString relsPart =
      partName.isEmpty() ? QStringLiteral("/_rels/.rels") : relationshipsPartOf(partName);
  if (hasPart(relsPart)) readRelationships(relsPart, partName, *rels);
  relationships_.insert(partName, rels);
  return *rels;
}

void Package::readRelationships(const QString &relsPart, const QString &partName,
                                Relationships &rels) {
  XmlStream xml(readPart(relsPart), relsPart);
  while (xml.nextChild(0)) {
    while (xml.nextChild(1)) {
      if (!xml.is(QLatin1StringView("Relationship"))) continue;
      if (rels.list_.size() >= kMaxRelationships)
        xml.failDamaged(QStringLiteral("more than %1 relationships").arg(kMaxRelationships));
      Relationship r;
      r.id = xml.attribute(QLatin1StringView("Id")).toString();
      r.type = xml.attribute(QLatin1StringView("Type")).toString();
      r.external = xml.attribute(QLatin1StringView("TargetMode"))
                       .compare(QLatin1String("External"), Qt::CaseInsensitive) == 0;
      const QString target = xml.attribute(QLatin1StringView("Target")).toString();
      r.target = r.external ? target
                            : resolve(partName.isEmpty() ? QStringLiteral("/") : partName, target);
      rels.list_.push_back(std::move(r));
    }
  }
}

void Package::loadContentTypes() {
  contentTypesLoaded_ = true;
  if (!hasPart(kContentTypesPart)) return;
  try {
    XmlStream xml(readPart(kContentTypesPart), kContentTypesPart);
    while (xml.nextChild(0)) {
      while (xml.nextChild(1)) {
        const QString type = xml.attribute(QLatin1StringView("ContentType")).toString().toLower();
        if (xml.is(QLatin1StringView("Default")))
          defaults_.insert(xml.attribute(QLatin1StringView("Extension")).toString().toLower(),
                           type);
        else if (xml.is(QLatin1StringView("Override")))
          overrides_.insert(
              ZipArchive::lookupKey(xml.attribute(QLatin1StringView("PartName")).toString()), type);
      }
    }
  } catch (const morvane::Error &) {
    // Content types only refine what the parts' names and bytes tell.
    overrides_.clear();
    defaults_.clear();
  }
}

QString Package::contentType(const QString &partName) {
  if (!contentTypesLoaded_) loadContentTypes();
  const auto found = overrides_.constFind(ZipArchive::lookupKey(partName));
  if (found != overrides_.constEnd()) return *found;
  return defaults_.value(extensionOf(partName));
}

}  // namespace office::pptx
