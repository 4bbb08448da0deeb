#pragma once

// Shared set-up of the window and job tests: a temporary folder with a source
// file, and a window whose presentation application is a scripted fake.

#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/frmMain.h"
#include "fakepowerpoint.h"

namespace jobtest {

inline const QString kCrLf = QStringLiteral("\r\n");

// Bytes that pass the job's look at the file's kind (an OLE2 compound file
// signature); the fake application reads nothing else.
inline const QByteArray kSourceBytes =
    QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 source bytes");

inline QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  file.write(bytes);
}

inline fake::ShapeSpec shape(std::int32_t type) {
  fake::ShapeSpec spec;
  spec.type = type;
  return spec;
}

// A folder of its own with one source presentation; the window's
// presentation application is a fake that plays `slides`.
struct Job {
  QTemporaryDir dir;
  std::shared_ptr<fake::CallLog> calls = std::make_shared<fake::CallLog>();
  std::vector<fake::SlideSpec> slides;
  bool failOpen = false;
  int created = 0;

  QString folder() const { return dir.path() + QLatin1Char('/'); }
  QString path(const QString &name) const { return folder() + name; }

  QString makeSource(const QString &name = QStringLiteral("Talk.PpT"),
                     const QByteArray &bytes = kSourceBytes) {
    writeFile(path(name), bytes);
    return path(name);
  }

  void useFake(frmMain &w) {
    w.job().PowerPointApp.setFactory([this] {
      ++created;
      auto app = std::make_shared<fake::Application>(slides, calls);
      app->failOpen = failOpen;
      return app;
    });
  }

  // Runs the job on source as the Open File command would.
  bool run(frmMain &w, const QString &source) {
    return w.runUserCommand([&] {
      w.acceptSource(source);
      w.ProcessSource();
    });
  }
};

// Runs file-system checks as an ordinary user for the lifetime of the object:
// when the tests run as root, the file-system user and group become
// "nobody", which also drops root's right to ignore permissions. Without root
// the process is an ordinary user already.
class AsOrdinaryUser {
 public:
  AsOrdinaryUser() {
    if (::geteuid() != 0) return;
    ::setfsgid(65534);
    ::setfsuid(65534);
    active_ = true;
  }
  ~AsOrdinaryUser() {
    if (!active_) return;
    ::setfsuid(0);
    ::setfsgid(0);
  }
  AsOrdinaryUser(const AsOrdinaryUser &) = delete;
  AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

 private:
  bool active_ = false;
};

inline bool canOpenForReading(const QString &path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

}  // namespace jobtest
