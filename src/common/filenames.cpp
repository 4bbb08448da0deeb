#include "common/filenames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QStringList>
#include <memory>

namespace morvane {

namespace {

constexpr char16_t kEscapeBase =
    0xDC00;  // lone low surrogates U+DC80..U+DCFF carry bytes 0x80..0xFF

// The length of the valid UTF-8 sequence starting at data[0], or 0.
int validSequenceLength(const unsigned char *data, qsizetype left) {
  const unsigned char lead = data[0];
  if (lead < 0x80) return 1;
  int length = 0;
  char32_t minimum = 0;
  char32_t value = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, value = lead & 0x07;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (int i = 1; i < length; ++i) {
    if ((data[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (data[i] & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || value > 0x10FFFF || surrogate) return 0;
  return length;
}

}  // namespace

QString fileNameFromBytes(const QByteArray &bytes) {
  QString name;
  name.reserve(bytes.size());
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
  qsizetype at = 0;
  while (at < bytes.size()) {
    const int length = validSequenceLength(data + at, bytes.size() - at);
    if (length == 0) {
      name += QChar(char16_t(kEscapeBase + data[at]));
      ++at;
      continue;
    }
    name += QString::fromUtf8(bytes.constData() + at, length);
    at += length;
  }
  return name;
}

QByteArray fileNameBytes(const QString &name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t unit = name.at(i).unicode();
    const bool escapedByte = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
    if (escapedByte) {
      bytes += char(unit - kEscapeBase);
    } else if (QChar::isHighSurrogate(unit) && i + 1 < name.size() &&
               name.at(i + 1).isLowSurrogate()) {
      bytes += name.mid(i, 2).toUtf8();
      ++i;
    } else {
      bytes += QString(QChar(unit)).toUtf8();
    }
  }
  return bytes;
}

namespace {

bool exists(const QString &path) {
  struct stat info {};
  return ::lstat(fileNameBytes(path).constData(), &info) == 0;
}

// The one entry of folder whose name Qt would decode to lossyName.
QString entryDecodingTo(const QString &folder, const QString &lossyName) {
  std::unique_ptr<DIR, int (*)(DIR *)> dir(
      ::opendir(fileNameBytes(folder.isEmpty() ? QStringLiteral("/") : folder).constData()),
      ::closedir);
  if (!dir) return {};
  QString found;
  while (const dirent *entry = ::readdir(dir.get())) {
    const QByteArray raw(entry->d_name);
    if (QString::fromUtf8(raw) != lossyName) continue;
    if (!found.isNull()) return {};  // two candidates: no guess
    found = fileNameFromBytes(raw);
  }
  return found;
}

}  // namespace

QString recoverFileName(const QString &lossyPath) {
  if (!lossyPath.startsWith(QLatin1Char('/')) || !lossyPath.contains(QChar::ReplacementCharacter) ||
      exists(lossyPath))
    return lossyPath;
  QString path;
  for (const QString &part : lossyPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    QString next = path + QLatin1Char('/') + part;
    if (!exists(next) && part.contains(QChar::ReplacementCharacter)) {
      const QString entry = entryDecodingTo(path, part);
      if (entry.isNull()) return lossyPath;
      next = path + QLatin1Char('/') + entry;
    }
    path = next;
  }
  return path;
}

}  // namespace morvane
