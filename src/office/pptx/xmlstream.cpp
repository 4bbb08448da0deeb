#include "office/pptx/xmlstream.h"

#include "common/error.h"

namespace office::pptx {

namespace {

// Entities of the XML specification itself (&amp; ...) are not counted;
// a part may expand no others (and cannot declare any, see advance()).
constexpr int kEntityExpansionLimit = 64;

bool isRelationshipsNamespace(QStringView ns) {
  return ns.endsWith(QLatin1StringView("/relationships"));
}

}  // namespace

XmlStream::XmlStream(const QByteArray &xml, const QString &partName)
    : reader_(xml), partName_(partName) {
  reader_.setNamespaceProcessing(true);
  reader_.setEntityExpansionLimit(kEntityExpansionLimit);
}

void XmlStream::failDamaged(const QString &what) const {
  throw morvane::Error(
      QStringLiteral("the file is damaged: its part %1 cannot be read (%2)").arg(partName_, what));
}

QXmlStreamReader::TokenType XmlStream::advance() {
  const QXmlStreamReader::TokenType token = reader_.readNext();
  switch (token) {
    case QXmlStreamReader::StartElement:
      if (++depth_ > kMaxXmlDepth)
        failDamaged(QStringLiteral("its XML nests deeper than %1 levels").arg(kMaxXmlDepth));
      break;
    case QXmlStreamReader::EndElement:
      --depth_;
      break;
    case QXmlStreamReader::DTD:
      failDamaged(QStringLiteral("it declares a document type, which no presentation part does"));
    case QXmlStreamReader::EntityReference:
      failDamaged(QStringLiteral("it refers to an undeclared entity"));
    case QXmlStreamReader::Invalid:
      failDamaged(QStringLiteral("XML error at line %1: %2")
                      .arg(reader_.lineNumber())
                      .arg(reader_.errorString()));
    default:
      break;
  }
  return token;
}

bool XmlStream::nextChild(int parentDepth) {
  while (depth_ >= parentDepth && !reader_.atEnd()) {
    const QXmlStreamReader::TokenType token = advance();
    if (token == QXmlStreamReader::StartElement && depth_ == parentDepth + 1) return true;
    if (token == QXmlStreamReader::EndDocument) break;
  }
  return false;
}

QStringView XmlStream::attribute(QLatin1StringView localName) const {
  for (const QXmlStreamAttribute &a : reader_.attributes())
    if (a.namespaceUri().isEmpty() && a.name() == localName) return a.value();
  return {};
}

bool XmlStream::hasAttribute(QLatin1StringView localName) const {
  for (const QXmlStreamAttribute &a : reader_.attributes())
    if (a.namespaceUri().isEmpty() && a.name() == localName) return true;
  return false;
}

QStringView XmlStream::relationshipAttribute(QLatin1StringView localName) const {
  for (const QXmlStreamAttribute &a : reader_.attributes())
    if (a.name() == localName && isRelationshipsNamespace(a.namespaceUri())) return a.value();
  return {};
}

QStringView XmlStream::anyAttribute(QLatin1StringView localName) const {
  for (const QXmlStreamAttribute &a : reader_.attributes())
    if (a.name() == localName) return a.value();
  return {};
}

qint64 XmlStream::intAttribute(QLatin1StringView localName, qint64 fallback) const {
  bool ok = false;
  const qint64 value = attribute(localName).trimmed().toLongLong(&ok);
  return ok ? value : fallback;
}

bool XmlStream::boolAttribute(QLatin1StringView localName, bool fallback) const {
  const QStringView value = attribute(localName).trimmed();
  if (value == QLatin1StringView("1") || value == QLatin1StringView("true")) return true;
  if (value == QLatin1StringView("0") || value == QLatin1StringView("false")) return false;
  return fallback;
}

QString XmlStream::readText() {
  QString text;
  const int elementDepth = depth_;
  while (depth_ >= elementDepth && !reader_.atEnd()) {
    const QXmlStreamReader::TokenType token = advance();
    if (token == QXmlStreamReader::Characters) text += reader_.text();
    if (token == QXmlStreamReader::EndDocument) break;
  }
  return text;
}

}  // namespace office::pptx
