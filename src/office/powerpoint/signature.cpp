#include "office/powerpoint/signature.h"

#include <QByteArray>

#include "common/error.h"
#include "common/posixio.h"

namespace office::powerpoint {

namespace {

// [MS-CFB] 2.2: the compound file header signature.
const QByteArray kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// ZIP local file header signature (APPNOTE 4.3.7), "PK\3\4".
const QByteArray kZipLocalFileSignature("PK\x03\x04", 4);

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

}  // namespace

void checkSignature(const QString &path) {
  const QByteArray head = morvane::readFileHead(path, kCompoundFileSignature.size());
  if (head.isEmpty()) fail(QStringLiteral("the file is empty"));
  if (head.startsWith(kCompoundFileSignature) || head.startsWith(kZipLocalFileSignature)) return;
  fail(
      QStringLiteral("the file is not a PowerPoint presentation (neither a PowerPoint 97-2003 "
                     "file nor a PowerPoint 2007 or later package)"));
}

}  // namespace office::powerpoint
