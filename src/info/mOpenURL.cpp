#include "info/mOpenURL.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "platform/defaultapp.h"
#include "platform/process.h"

namespace mOpenURL {
namespace {

const char kProbeName[] = "dummy.html";

// The probe lives in a folder made for one lookup inside the temporary
// folder: mode 0700, fresh name, so nobody else can plant or swap a file
// there. The probe is created exclusively and never through a symbolic link.
// Both are removed when the lookup ends, whatever its answer.
class ProbeFile {
 public:
  ProbeFile() {
    QByteArray pattern =
        QFile::encodeName(GetTempFolder() + QStringLiteral("morvane-probe-XXXXXX"));
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern;
    const QByteArray probe = folder_ + '/' + kProbeName;
    const int fd =
        ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    ::close(fd);
    path_ = probe;
  }
  ~ProbeFile() {
    if (!path_.isEmpty()) ::unlink(path_.constData());
    if (!folder_.isEmpty()) ::rmdir(folder_.constData());
  }
  ProbeFile(const ProbeFile &) = delete;
  ProbeFile &operator=(const ProbeFile &) = delete;

  bool exists() const { return !path_.isEmpty(); }
  QString path() const { return QFile::decodeName(path_); }

 private:
  QByteArray folder_;
  QByteArray path_;
};

}  // namespace

bool OpenURL(const QString &address) {
  std::int32_t code = 0;
  const QString browser = FindBrowserPath(code);
  if (code <= 32) return false;
  return platform::Process::current().startDetached(browser, {address});
}

QString FindBrowserPath(std::int32_t &code) {
  const ProbeFile probe;
  if (!probe.exists()) {
    code = platform::kLookupFileNotFound;
    return {};
  }
  const platform::DefaultAppAnswer answer =
      platform::DefaultApp::current().executableFor(probe.path());
  code = answer.code;
  return CutAtNull(answer.executable);
}

// The folder named by TMPDIR, or /tmp, as given: not resolved, and not
// replaced when it is missing (the probe then cannot be made).
QString GetTempFolder() {
  QString folder = QDir::cleanPath(qEnvironmentVariable("TMPDIR"));
  if (folder.isEmpty()) folder = QStringLiteral("/tmp");
  folder = QDir(folder).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return CutAtNull(folder);
}

QString CutAtNull(const QString &text) {
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  return nul < 0 ? text : text.left(nul);
}

}  // namespace mOpenURL
