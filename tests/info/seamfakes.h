#pragma once

// Recording replacements of the desktop seams, installed for the lifetime of
// the object.

#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "platform/defaultapp.h"
#include "platform/process.h"
#include "platform/shell.h"

struct FakeShell final : platform::Shell {
  FakeShell() { platform::Shell::replace(this); }
  ~FakeShell() override { platform::Shell::replace(nullptr); }
  bool openUrl(const QUrl &url) override {
    opened << url.toString();
    return answer;
  }
  QStringList opened;
  bool answer = false;
};

struct FakeProcess final : platform::Process {
  FakeProcess() { platform::Process::replace(this); }
  ~FakeProcess() override { platform::Process::replace(nullptr); }
  bool startDetached(const QString &program, const QStringList &arguments) override {
    programs << program;
    argumentLists << arguments;
    return answer;
  }
  QStringList programs;
  QList<QStringList> argumentLists;
  bool answer = true;
};

// Answers with a fixed code and path; `whileAsked` runs while the probe
// file still exists, to look at it.
struct FakeDefaultApp final : platform::DefaultApp {
  FakeDefaultApp(std::int32_t code, QString executable) : answer{code, std::move(executable)} {
    platform::DefaultApp::replace(this);
  }
  ~FakeDefaultApp() override { platform::DefaultApp::replace(nullptr); }
  platform::DefaultAppAnswer executableFor(const QString &filePath) override {
    askedFor << filePath;
    if (whileAsked) whileAsked(filePath);
    return answer;
  }
  platform::DefaultAppAnswer answer;
  QStringList askedFor;
  std::function<void(const QString &)> whileAsked;
};
