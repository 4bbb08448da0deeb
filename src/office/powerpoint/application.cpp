#include "office/powerpoint/application.h"

#include <vector>

#include "common/error.h"
#include "common/posixio.h"
#include "office/ppt/application.h"
#include "office/pptx/application.h"

namespace office::powerpoint {

namespace {

// The reader is chosen by the file's content, never by its name: a ZIP file
// is an Office Open XML package (the package reader tells a damaged ZIP, or
// one that holds no presentation); everything else goes to the PowerPoint
// 97-2003 reader, which also knows the encrypted Office 2007+ files (OLE
// compound files). A file that cannot be read at all gets the system's
// reason here.
std::shared_ptr<PowerPoint::Presentation> openByContent(const QString &fileName) {
  if (office::pptx::looksLikePackage(morvane::readFileHead(fileName, 4)))
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
