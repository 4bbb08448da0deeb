#include "cli/json.h"

#include <cmath>

namespace cli {

namespace {

void escapeUnit(QByteArray &out, char16_t unit) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// The escape a code unit needs, or nothing for one written as it is.
const char *shortEscape(char16_t unit) {
  switch (unit) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      return nullptr;
  }
}

bool isLoneSurrogate(const QString &text, qsizetype i) {
  const char16_t unit = text.at(i).unicode();
  if (QChar::isHighSurrogate(unit)) return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
  return QChar::isLowSurrogate(unit) && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

void appendString(QByteArray &out, const QString &text) {
  out += '"';
  qsizetype plainStart = 0;
  const auto flush = [&](qsizetype end) {
    if (end > plainStart) out += QStringView(text).mid(plainStart, end - plainStart).toUtf8();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text.at(i).unicode();
    const char *escape = shortEscape(unit);
    if (!escape && unit >= 0x20 && !isLoneSurrogate(text, i)) continue;
    flush(i);
    if (escape)
      out += escape;
    else
      escapeUnit(out, unit);
    plainStart = i + 1;
  }
  flush(text.size());
  out += '"';
}

}  // namespace

void JsonWriter::separate() {
  if (needComma_) out_ += ',';
  needComma_ = true;
}

void JsonWriter::beginObject() {
  separate();
  out_ += '{';
  needComma_ = false;
  ++depth_;
}

void JsonWriter::endObject() {
  out_ += '}';
  needComma_ = true;
  --depth_;
}

void JsonWriter::beginArray(const char *name) {
  if (name != nullptr) key(name);
  separate();
  out_ += '[';
  needComma_ = false;
}

void JsonWriter::endArray() {
  out_ += ']';
  needComma_ = true;
}

void JsonWriter::key(const char *name) {
  separate();
  appendString(out_, QString::fromUtf8(name));
  out_ += ':';
  needComma_ = false;
}

void JsonWriter::value(const QString &text) {
  separate();
  appendString(out_, text);
}

void JsonWriter::value(qint64 number) {
  separate();
  out_ += QByteArray::number(number);
}

void JsonWriter::value(double number) {
  separate();
  out_ += std::isfinite(number) ? QByteArray::number(number, 'g', 12) : QByteArray("null");
}

void JsonWriter::value(bool flag) {
  separate();
  out_ += flag ? "true" : "false";
}

void JsonWriter::null() {
  separate();
  out_ += "null";
}

}  // namespace cli
