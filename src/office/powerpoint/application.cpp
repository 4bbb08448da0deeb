#include "office/powerpoint/application.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <vector>

#include "common/error.h"
#include "office/ppt/application.h"
#include "office/pptx/application.h"

namespace office::powerpoint {

namespace {

// The first bytes of a regular file; empty when it cannot be read (the
// PowerPoint 97-2003 reader then gives the reason). Opened without blocking,
// so that a named pipe given as the file cannot hang the sniffing.
QByteArray fileHead(const QString &fileName) {
  const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  struct stat info {};
  char head[4] = {};
  ssize_t got = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) got = ::read(fd, head, sizeof head);
  ::close(fd);
  return got > 0 ? QByteArray(head, int(got)) : QByteArray();
}

// The reader is chosen by the file's content, never by its name: a ZIP file
// is an Office Open XML package (the package reader tells a damaged ZIP, or
// one that holds no presentation); everything else goes to the PowerPoint
// 97-2003 reader, which also knows the encrypted Office 2007+ files (OLE
// compound files).
std::shared_ptr<PowerPoint::Presentation> openByContent(const QString &fileName) {
  if (office::pptx::looksLikePackage(fileHead(fileName)))
    return office::pptx::openPresentationFile(fileName);
  return office::ppt::openPresentationFile(fileName);
}

struct OpenPresentations {
  std::vector<std::shared_ptr<PowerPoint::Presentation>> list;
};

class Presentations : public PowerPoint::Presentations {
 public:
  explicit Presentations(std::shared_ptr<OpenPresentations> open) : open_(std::move(open)) {}
  std::shared_ptr<PowerPoint::Presentation> Open(const QString &fileName, PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState) override {
    auto presentation = openByContent(fileName);
    open_->list.push_back(presentation);
    return presentation;
  }

 private:
  std::shared_ptr<OpenPresentations> open_;
};

class Application : public PowerPoint::Application {
 public:
  void put_Visible(PowerPoint::MsoTriState) override {}
  void put_WindowState(PowerPoint::PpWindowState) override {}
  std::shared_ptr<PowerPoint::Presentations> Presentations() override {
    return std::make_shared<powerpoint::Presentations>(open_);
  }
  std::shared_ptr<PowerPoint::Presentation> ActivePresentation() override {
    if (open_->list.empty()) throw morvane::Error(QStringLiteral("No presentation is open"));
    return open_->list.back();
  }
  void Quit() override { open_->list.clear(); }

 private:
  std::shared_ptr<OpenPresentations> open_ = std::make_shared<OpenPresentations>();
};

}  // namespace

std::shared_ptr<PowerPoint::Application> createApplication() {
  return std::make_shared<powerpoint::Application>();
}

}  // namespace office::powerpoint
