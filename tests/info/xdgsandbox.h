#pragma once

// A private desktop for the real GIO lookup: its own data, configuration and
// temporary folders, the system's MIME database and nothing else, and
// optionally a fake browser registered for text/html. It must be set up
// before the first GIO call of the process, because GIO caches what it reads.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

class XdgSandbox {
 public:
  explicit XdgSandbox(bool registerBrowser) {
    const QString root = dir_.path();
    for (const char *sub : {"data/applications", "config", "sys", "sysconfig", "tmp", "bin"})
      QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::link(QStringLiteral("/usr/share/mime"), root + QStringLiteral("/sys/mime"));
    if (registerBrowser) writeBrowser(root);
    setenv("XDG_DATA_HOME", QFile::encodeName(root + "/data").constData(), 1);
    setenv("XDG_DATA_DIRS", QFile::encodeName(root + "/sys").constData(), 1);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config").constData(), 1);
    setenv("XDG_CONFIG_DIRS", QFile::encodeName(root + "/sysconfig").constData(), 1);
    setenv("TMPDIR", QFile::encodeName(tempFolder()).constData(), 1);
    unsetenv("XDG_CURRENT_DESKTOP");
  }

  QString tempFolder() const { return dir_.path() + QStringLiteral("/tmp"); }
  QString browserPath() const { return dir_.path() + QStringLiteral("/bin/fake-browser"); }
  // What the fake browser wrote: its argument count, then each argument in [].
  QString browserRecord() const { return dir_.path() + QStringLiteral("/browser-record"); }

 private:
  void writeBrowser(const QString &root) {
    QFile script(browserPath());
    script.open(QIODevice::WriteOnly);
    script.write(
        "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; "
        "done; } > \"" +
        QFile::encodeName(browserRecord()) + ".part\" && mv \"" +
        QFile::encodeName(browserRecord()) + ".part\" \"" + QFile::encodeName(browserRecord()) +
        "\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QFile entry(root + QStringLiteral("/data/applications/morvane-test-browser.desktop"));
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\nName=Test Browser\nExec=" +
                QFile::encodeName(browserPath()) + " %u\nMimeType=text/html;\n");
    entry.close();

    QFile defaults(root + QStringLiteral("/config/mimeapps.list"));
    defaults.open(QIODevice::WriteOnly);
    defaults.write("[Default Applications]\ntext/html=morvane-test-browser.desktop\n");
  }

  QTemporaryDir dir_;
};
