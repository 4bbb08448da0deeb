#include "office/pptx/comments.h"

#include "office/pptx/textbody.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

constexpr std::size_t kMaxComments = 10000;

QString plainText(const TextBody &body) {
  ComposedText text;
  composeText(body, nullptr, QString(), text);
  return text.text;
}

// One comment: p:text of a legacy comment, or the text body of a modern
// one (p188:txBody) followed by its replies'.
QString readComment(XmlStream &xml) {
  QString text;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("text"))) {
      text = xml.readText();
    } else if (xml.is(QLatin1StringView("txBody"))) {
      text = plainText(readTextBody(xml)) + text;
    } else if (xml.is(QLatin1StringView("replyLst"))) {
      const int listDepth = xml.depth();
      while (xml.nextChild(listDepth)) {
        const int replyDepth = xml.depth();
        while (xml.nextChild(replyDepth))
          if (xml.is(QLatin1StringView("txBody")))
            text += QChar(u'\r') + plainText(readTextBody(xml));
      }
    }
  }
  return text;
}

}  // namespace

std::vector<QString> readComments(const QByteArray &bytes, const QString &partName) {
  std::vector<QString> comments;
  XmlStream xml(bytes, partName);
  while (xml.nextChild(0)) {
    while (xml.nextChild(1)) {
      if (!xml.is(QLatin1StringView("cm"))) continue;
      if (comments.size() >= kMaxComments)
        xml.failDamaged(QStringLiteral("more than %1 comments").arg(kMaxComments));
      comments.push_back(readComment(xml));
    }
  }
  return comments;
}

}  // namespace office::pptx
