#pragma once

// A scripted presentation with everything the --every-picture and
// --every-text walks reach: groups, picture fills, backgrounds, notes pages,
// masters, and fonts of symbol characters. Export writes the shape's
// picture bytes, so tests can tell outputs apart (and make two equal).

#include <QFile>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "common/error.h"
#include "office/model/powerpoint.h"

namespace fakedeck {

struct ShapeSpec {
  std::int32_t type = PowerPoint::msoAutoShape;
  QString text;  // an empty text means no text frame
  PowerPoint::MsoFillType fill = PowerPoint::msoFillSolid;
  QByteArray picture;       // what Export writes
  bool unreadable = false;  // Export and Picture throw PictureError
  QString symbolFont;       // the font of U+F0xx characters in text
  std::vector<ShapeSpec> children;
};

struct Page {
  std::vector<ShapeSpec> shapes;
  std::optional<ShapeSpec> background;  // its own; none: it follows the master
  std::vector<ShapeSpec> notes;         // the notes page's shapes
  bool hasNotes = false;
};

struct Deck {
  std::vector<Page> slides;
  Page master;
  std::optional<Page> titleMaster;
};

inline ShapeSpec picture(const QByteArray &bytes) {
  ShapeSpec s;
  s.type = PowerPoint::msoPicture;
  s.picture = bytes;
  return s;
}

inline ShapeSpec textBox(const QString &text, std::int32_t type = PowerPoint::msoTextBox) {
  ShapeSpec s;
  s.type = type;
  s.text = text;
  return s;
}

inline ShapeSpec group(std::vector<ShapeSpec> children) {
  ShapeSpec s;
  s.type = PowerPoint::msoGroup;
  s.children = std::move(children);
  return s;
}

inline ShapeSpec filled(const QByteArray &bytes) {
  ShapeSpec s;
  s.fill = PowerPoint::msoFillPicture;
  s.picture = bytes;
  return s;
}

class TextRange : public PowerPoint::TextRange {
 public:
  TextRange(QString text, QString symbolFont)
      : text_(std::move(text)), symbolFont_(std::move(symbolFont)) {}
  QString Text() const override { return text_; }
  std::shared_ptr<PowerPoint::TextRange> Characters(std::int32_t start,
                                                    std::int32_t length) override {
    return std::make_shared<TextRange>(text_.mid(start - 1, length), symbolFont_);
  }
  std::shared_ptr<PowerPoint::Font> Font() override {
    const bool symbol =
        !text_.isEmpty() && text_.at(0).unicode() >= 0xF020 && text_.at(0).unicode() <= 0xF0FF;
    return std::make_shared<PowerPoint::NamedFont>(symbol ? symbolFont_ : QStringLiteral("Arial"));
  }

 private:
  QString text_;
  QString symbolFont_;
};

class TextFrame : public PowerPoint::TextFrame {
 public:
  explicit TextFrame(const ShapeSpec &spec) : spec_(spec) {}
  std::shared_ptr<PowerPoint::TextRange> TextRange() override {
    return std::make_shared<fakedeck::TextRange>(spec_.text, spec_.symbolFont);
  }

 private:
  ShapeSpec spec_;
};

class FillFormat : public PowerPoint::FillFormat {
 public:
  explicit FillFormat(PowerPoint::MsoFillType type) : type_(type) {}
  PowerPoint::MsoFillType Type() const override { return type_; }
  PowerPoint::MsoTriState Visible() const override { return PowerPoint::msoTrue; }

 private:
  PowerPoint::MsoFillType type_;
};

class GroupShapes;

class ShapeObject : public PowerPoint::Shape {
 public:
  explicit ShapeObject(ShapeSpec spec) : spec_(std::move(spec)) {}
  std::int32_t Type() const override { return spec_.type; }
  void Export(const QString &path, PowerPoint::PpShapeFormat, std::int32_t, std::int32_t,
              PowerPoint::PpExportMode) override {
    if (spec_.unreadable) throw morvane::PictureError(QStringLiteral("damaged"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) throw morvane::Error(QStringLiteral("cannot write"));
    out.write(spec_.picture);
  }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    if (spec_.text.isEmpty()) throw morvane::Error(QStringLiteral("no text frame"));
    return std::make_shared<fakedeck::TextFrame>(spec_);
  }
  PowerPoint::MsoTriState HasTextFrame() const override {
    return spec_.text.isEmpty() ? PowerPoint::msoFalse : PowerPoint::msoTrue;
  }
  std::shared_ptr<PowerPoint::GroupShapes> GroupItems() override;
  std::shared_ptr<PowerPoint::FillFormat> Fill() override {
    return std::make_shared<FillFormat>(spec_.fill);
  }
  PowerPoint::StoredPicture Picture() override {
    if (spec_.unreadable) throw morvane::PictureError(QStringLiteral("damaged"));
    PowerPoint::StoredPicture stored;
    stored.format = QStringLiteral("PNG");
    stored.storedBytes = spec_.picture.size();
    stored.extension = QStringLiteral("png");
    return stored;
  }
  QByteArray OriginalPicture() override { return spec_.picture; }

 private:
  ShapeSpec spec_;
};

class GroupShapes : public PowerPoint::GroupShapes {
 public:
  explicit GroupShapes(std::vector<ShapeSpec> shapes) : shapes_(std::move(shapes)) {}
  std::int32_t Count() const override { return std::int32_t(shapes_.size()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    return std::make_shared<ShapeObject>(shapes_.at(std::size_t(index - 1)));
  }

 private:
  std::vector<ShapeSpec> shapes_;
};

inline std::shared_ptr<PowerPoint::GroupShapes> ShapeObject::GroupItems() {
  if (spec_.type != PowerPoint::msoGroup) throw morvane::Error(QStringLiteral("not a group"));
  return std::make_shared<GroupShapes>(spec_.children);
}

class PageObject : public PowerPoint::Master {
 public:
  explicit PageObject(Page page) : page_(std::move(page)) {}
  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    return std::make_shared<GroupShapes>(page_.shapes);
  }
  std::shared_ptr<PowerPoint::Shape> Background() override {
    ShapeSpec none;
    none.fill = PowerPoint::msoFillBackground;
    return std::make_shared<ShapeObject>(page_.background.value_or(none));
  }
  PowerPoint::MsoTriState FollowMasterBackground() const override {
    return page_.background ? PowerPoint::msoFalse : PowerPoint::msoTrue;
  }
  PowerPoint::MsoTriState HasNotesPage() const override {
    return page_.hasNotes ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }
  std::shared_ptr<PowerPoint::Slide> NotesPage() override {
    Page notes;
    notes.shapes = page_.notes;
    return std::make_shared<PageObject>(notes);
  }

 private:
  Page page_;
};

class Design : public PowerPoint::Design {
 public:
  explicit Design(const Deck &deck) : deck_(deck) {}
  std::shared_ptr<PowerPoint::Master> SlideMaster() override {
    return std::make_shared<PageObject>(deck_.master);
  }
  PowerPoint::MsoTriState HasTitleMaster() const override {
    return deck_.titleMaster ? PowerPoint::msoTrue : PowerPoint::msoFalse;
  }
  std::shared_ptr<PowerPoint::Master> TitleMaster() override {
    return std::make_shared<PageObject>(deck_.titleMaster.value());
  }

 private:
  Deck deck_;
};

class Designs : public PowerPoint::Designs {
 public:
  explicit Designs(const Deck &deck) : deck_(deck) {}
  std::int32_t Count() const override { return 1; }
  std::shared_ptr<PowerPoint::Design> Item(std::int32_t) override {
    return std::make_shared<Design>(deck_);
  }

 private:
  Deck deck_;
};

class Presentation : public PowerPoint::Presentation, public PowerPoint::Slides {
 public:
  explicit Presentation(Deck deck) : deck_(std::move(deck)) {}
  std::shared_ptr<PowerPoint::Slides> Slides() override {
    return std::make_shared<Presentation>(deck_);
  }
  std::shared_ptr<PowerPoint::Designs> Designs() override {
    return std::make_shared<fakedeck::Designs>(deck_);
  }
  std::int32_t Count() const override { return std::int32_t(deck_.slides.size()); }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t index) override {
    return std::make_shared<PageObject>(deck_.slides.at(std::size_t(index - 1)));
  }

 private:
  Deck deck_;
};

class Application : public PowerPoint::Application, public PowerPoint::Presentations {
 public:
  explicit Application(Deck deck) : deck_(std::move(deck)) {}
  void put_Visible(PowerPoint::MsoTriState) override {}
  void put_WindowState(PowerPoint::PpWindowState) override {}
  std::shared_ptr<PowerPoint::Presentations> Presentations() override {
    return std::shared_ptr<PowerPoint::Presentations>(std::shared_ptr<void>(), this);
  }
  std::shared_ptr<PowerPoint::Presentation> Open(const QString &, PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState,
                                                 PowerPoint::MsoTriState) override {
    active_ = std::make_shared<Presentation>(deck_);
    return active_;
  }
  std::shared_ptr<PowerPoint::Presentation> ActivePresentation() override {
    if (!active_) throw morvane::Error(QStringLiteral("no active presentation"));
    return active_;
  }
  void Quit() override { active_.reset(); }

 private:
  Deck deck_;
  std::shared_ptr<Presentation> active_;
};

}  // namespace fakedeck
