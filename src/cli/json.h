#pragma once

// A small streaming JSON writer for the --json document. Strings are
// written as UTF-8; a file name's byte that is not UTF-8 (carried as a lone
// surrogate, see common/filenames.h) is written as its \udcXX escape, which
// JSON readers such as Python's give back, so scripts can still reach the
// file.

#include <QByteArray>
#include <QString>

namespace cli {

class JsonWriter {
 public:
  void beginObject();
  void endObject();
  void beginArray(const char *key = nullptr);
  void endArray();
  void key(const char *name);
  void value(const QString &text);
  void value(qint64 number);
  void value(double number);
  void value(bool flag);
  void null();
  template <class T>
  void field(const char *name, const T &v) {
    key(name);
    value(v);
  }
  void field(const char *name, int v) { field(name, qint64(v)); }
  void field(const char *name, const char *v) { field(name, QString::fromUtf8(v)); }

  const QByteArray &bytes() const { return out_; }

 private:
  void separate();

  QByteArray out_;
  bool needComma_ = false;
  int depth_ = 0;
};

}  // namespace cli
