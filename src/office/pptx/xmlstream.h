#pragma once

// Streaming reading of one XML part, hardened for untrusted input: a
// document type declaration is refused (so no entity the file declares is
// ever expanded, and nothing external is fetched), entity expansion is
// limited, nesting deeper than kMaxXmlDepth is refused, and malformed XML
// throws morvane::Error naming the part. Elements are matched by local name;
// the transitional and strict namespaces of a vocabulary use the same names.
//
// The walk: nextChild(d) visits the child elements of the element at depth d
// (0 for the document itself); a caller that does not want an element's
// content calls nothing more, and the next nextChild skips it.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QXmlStreamReader>

namespace office::pptx {

inline constexpr int kMaxXmlDepth = 256;

class XmlStream {
 public:
  XmlStream(const QByteArray &xml, const QString &partName);

  // Moves to the next child element of the element at parentDepth; false
  // once that element ends (or the document, for 0).
  bool nextChild(int parentDepth);
  // Depth of the current element (the root element is at 1).
  int depth() const { return depth_; }
  QStringView name() const { return reader_.name(); }
  QStringView namespaceUri() const { return reader_.namespaceUri(); }
  bool is(QLatin1StringView localName) const { return reader_.name() == localName; }

  // An attribute without a namespace; empty when absent.
  QStringView attribute(QLatin1StringView localName) const;
  bool hasAttribute(QLatin1StringView localName) const;
  // An attribute in the relationships namespace (r:id, r:embed, r:link).
  QStringView relationshipAttribute(QLatin1StringView localName) const;
  // An attribute by local name in any namespace.
  QStringView anyAttribute(QLatin1StringView localName) const;

  // Integer and boolean attributes as the XML schema writes them.
  qint64 intAttribute(QLatin1StringView localName, qint64 fallback) const;
  bool boolAttribute(QLatin1StringView localName, bool fallback) const;

  // The character data of the current element and everything in it, up to
  // its end; the walk continues after it.
  QString readText();

  const QString &partName() const { return partName_; }
  [[noreturn]] void failDamaged(const QString &what) const;

 private:
  QXmlStreamReader::TokenType advance();

  QXmlStreamReader reader_;
  QString partName_;
  int depth_ = 0;
};

}  // namespace office::pptx
