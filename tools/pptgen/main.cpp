// morvane-pptgen: writes a PowerPoint 97-2003 presentation with generated
// pictures and given texts, for tests, examples and benchmarks.

#include <QColor>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "common/error.h"
#include "pptgen.h"

using namespace morvane;
using namespace morvane::pptgen;

namespace {

struct PictureRequest {
  PictureFormat format = PictureFormat::Jpeg;
  QSize size{320, 240};
  std::optional<Crop> crop;
};

int toInt(const QString &text, const QString &what, int low, int high) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < low || value > high) {
    throw Error(QStringLiteral("%1 must be a number from %2 to %3, not \"%4\".")
                    .arg(what)
                    .arg(low)
                    .arg(high)
                    .arg(text));
  }
  return value;
}

PictureFormat parseFormat(const QString &text) {
  if (text == QLatin1String("jpeg") || text == QLatin1String("jpg")) return PictureFormat::Jpeg;
  if (text == QLatin1String("png")) return PictureFormat::Png;
  throw Error(QStringLiteral("Unknown picture format \"%1\" (jpeg or png).").arg(text));
}

QSize parseSize(const QString &text) {
  const QStringList parts = text.split(QLatin1Char('x'));
  if (parts.size() != 2)
    throw Error(QStringLiteral("A size is WIDTHxHEIGHT, not \"%1\".").arg(text));
  return {toInt(parts[0], QStringLiteral("The width"), 1, 8000),
          toInt(parts[1], QStringLiteral("The height"), 1, 8000)};
}

// "L,T,R,B" in percent of the picture's width and height.
Crop parseCrop(const QString &text) {
  const QStringList parts = text.split(QLatin1Char(','));
  if (parts.size() != 4) throw Error(QStringLiteral("A crop is LEFT,TOP,RIGHT,BOTTOM in percent."));
  double v[4];
  for (int i = 0; i < 4; ++i) v[i] = toInt(parts[i], QStringLiteral("A crop edge"), 0, 45) / 100.0;
  return {v[0], v[1], v[2], v[3]};
}

// A text from the command line or an outline: the two characters \n stand
// for a paragraph break and %n for the slide number.
QString expandText(QString text, int slideNumber) {
  text.replace(QLatin1String("\\n"), QLatin1String("\n"));
  text.replace(QLatin1String("%n"), QString::number(slideNumber));
  return text;
}

// "picture: file PATH": a picture file as it is (.jpg, .png, .emf).
std::optional<GenPicture> pictureFromFile(const QString &spec) {
  if (!spec.startsWith(QLatin1String("file "))) return std::nullopt;
  const QString path = spec.mid(5).trimmed();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw Error(QStringLiteral("Cannot read %1.").arg(path));
  GenPicture picture;
  picture.data = file.readAll();
  const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
  picture.format = suffix == QLatin1String("emf")   ? PictureFormat::Emf
                   : suffix == QLatin1String("png") ? PictureFormat::Png
                                                    : PictureFormat::Jpeg;
  return picture;
}

// "picture: png 200x150 crop 10,0,10,0"
PictureRequest parsePictureLine(const QString &spec) {
  const QStringList words =
      spec.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  PictureRequest request;
  for (qsizetype i = 0; i < words.size(); ++i) {
    if (words[i] == QLatin1String("crop") && i + 1 < words.size()) {
      request.crop = parseCrop(words[++i]);
    } else if (words[i].contains(QLatin1Char('x'))) {
      request.size = parseSize(words[i]);
    } else {
      request.format = parseFormat(words[i]);
    }
  }
  return request;
}

class DeckBuilder {
 public:
  GenSlide &newSlide() {
    slides_.emplace_back();
    return slides_.back();
  }
  GenPicture picture(const PictureRequest &request) {
    GenPicture picture = makePicture(++seed_, request.size, request.format);
    picture.crop = request.crop;
    return picture;
  }
  void addPicture(GenSlide &slide, const PictureRequest &request) {
    slide.pictures.push_back(picture(request));
  }
  int slideNumber() const { return static_cast<int>(slides_.size()); }
  std::vector<GenSlide> &slides() { return slides_; }

 private:
  std::vector<GenSlide> slides_;
  int seed_ = 0;
};

QRgb parseColor(const QString &text) {
  const QColor color = QColor::fromString(text);
  if (!color.isValid()) throw Error(QStringLiteral("\"%1\" is not a colour (#RRGGBB).").arg(text));
  return color.rgb();
}

// "background: #RRGGBB" or "background: #RRGGBB #RRGGBB" (a gradient).
GenFill parseBackground(const QString &spec) {
  const QStringList colors =
      spec.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  if (colors.isEmpty() || colors.size() > 2)
    throw Error(QStringLiteral("A background is one colour, or two for a gradient."));
  GenFill fill;
  fill.color = parseColor(colors[0]);
  if (colors.size() == 2) {
    fill.kind = GenFill::Kind::Gradient;
    fill.color2 = parseColor(colors[1]);
  }
  return fill;
}

// "group: FORMAT WxH N": N pictures in a group, each group after the first
// nested in the one before.
GenShape parseGroup(const QString &spec, DeckBuilder &deck) {
  const QStringList words =
      spec.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  if (words.size() != 3) throw Error(QStringLiteral("A group is \"FORMAT WxH N\"."));
  PictureRequest request;
  request.format = parseFormat(words[0]);
  request.size = parseSize(words[1]);
  const int count = toInt(words[2], QStringLiteral("The pictures of a group"), 1, 16);
  GenShape group;
  group.kind = GenShape::Kind::Group;
  for (int i = count; i >= 1; --i) {
    GenShape picture;
    picture.picture = deck.picture(request);
    GenShape level;
    level.kind = GenShape::Kind::Group;
    level.members = {picture};
    if (!group.members.empty()) level.members.push_back(group);
    group = level;
  }
  return group;
}

// Outline file: "---" starts a new slide, "title: TEXT" gives the slide a
// title, "picture: FORMAT WxH [crop L,T,R,B]" adds a picture, "logo: WxH" a
// white logo on a transparent ground, "group: FORMAT WxH N" pictures in
// nested groups, "background: #RRGGBB [#RRGGBB]" the slide's own background,
// "notes: TEXT" its notes page; "#" starts a comment, any other non-empty
// line is a text box.
void readOutline(const QString &path, DeckBuilder &deck) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    throw Error(QStringLiteral("Cannot read the outline %1.").arg(path));
  }
  QTextStream in(&file);
  GenSlide *slide = &deck.newSlide();
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    if (line == QLatin1String("---")) {
      slide = &deck.newSlide();
    } else if (line.startsWith(QLatin1String("title:"))) {
      slide->title = expandText(line.mid(6).trimmed(), deck.slideNumber());
    } else if (line.startsWith(QLatin1String("picture:"))) {
      if (auto given = pictureFromFile(line.mid(8).trimmed()))
        slide->pictures.push_back(std::move(*given));
      else
        deck.addPicture(*slide, parsePictureLine(line.mid(8)));
    } else if (line.startsWith(QLatin1String("logo:"))) {
      slide->pictures.push_back(makeLogo(parseSize(line.mid(5).trimmed())));
    } else if (line.startsWith(QLatin1String("group:"))) {
      slide->shapes.push_back(parseGroup(line.mid(6), deck));
    } else if (line.startsWith(QLatin1String("background:"))) {
      slide->background = parseBackground(line.mid(11));
    } else if (line.startsWith(QLatin1String("notes:"))) {
      slide->notes = expandText(line.mid(6).trimmed(), deck.slideNumber());
    } else {
      slide->texts.push_back(expandText(line, deck.slideNumber()));
    }
  }
}

void buildUniformDeck(const QCommandLineParser &args, DeckBuilder &deck) {
  const int slides =
      toInt(args.value(QStringLiteral("slides")), QStringLiteral("--slides"), 0, 4000);
  const int pictures =
      toInt(args.value(QStringLiteral("pictures")), QStringLiteral("--pictures"), 0, 1000);
  PictureRequest request;
  request.size = parseSize(args.value(QStringLiteral("size")));
  const QString format = args.value(QStringLiteral("format"));
  const bool mixed = format == QLatin1String("mixed");
  if (!mixed) request.format = parseFormat(format);
  if (args.isSet(QStringLiteral("crop")))
    request.crop = parseCrop(args.value(QStringLiteral("crop")));
  for (int s = 0; s < slides; ++s) {
    GenSlide &slide = deck.newSlide();
    if (args.isSet(QStringLiteral("title"))) {
      slide.title = expandText(args.value(QStringLiteral("title")), s + 1);
    }
    for (const QString &text : args.values(QStringLiteral("text"))) {
      slide.texts.push_back(expandText(text, s + 1));
    }
    for (int p = 0; p < pictures; ++p) {
      if (mixed) request.format = (p + s) % 2 ? PictureFormat::Png : PictureFormat::Jpeg;
      deck.addPicture(slide, request);
    }
  }
}

void addOptions(QCommandLineParser &args) {
  args.setApplicationDescription(QStringLiteral(
      "Writes a PowerPoint 97-2003 presentation with generated pictures and text boxes."));
  args.addHelpOption();
  args.addOptions({
      {{QStringLiteral("s"), QStringLiteral("slides")},
       QStringLiteral("Number of slides (default 1)."),
       QStringLiteral("N"),
       QStringLiteral("1")},
      {{QStringLiteral("p"), QStringLiteral("pictures")},
       QStringLiteral("Pictures per slide (default 0)."),
       QStringLiteral("N"),
       QStringLiteral("0")},
      {QStringLiteral("format"), QStringLiteral("jpeg, png or mixed (default jpeg)."),
       QStringLiteral("FORMAT"), QStringLiteral("jpeg")},
      {QStringLiteral("size"), QStringLiteral("Picture size in pixels (default 320x240)."),
       QStringLiteral("WxH"), QStringLiteral("320x240")},
      {QStringLiteral("crop"), QStringLiteral("Crop every picture, in percent per edge."),
       QStringLiteral("L,T,R,B")},
      {{QStringLiteral("t"), QStringLiteral("text")},
       QStringLiteral("A text box on every slide; repeatable. \\n breaks a paragraph, %n is the "
                      "slide number."),
       QStringLiteral("TEXT")},
      {QStringLiteral("title"),
       QStringLiteral("A title on every slide (a title placeholder); %n is the slide number."),
       QStringLiteral("TEXT")},
      {QStringLiteral("outline"),
       QStringLiteral("Build the slides from an outline file instead (\"---\" between slides, "
                      "\"title: TEXT\", \"picture: png 200x150 [crop L,T,R,B]\", \"logo: WxH\", "
                      "\"group: png 200x150 3\", \"background: #RRGGBB [#RRGGBB]\", \"notes: "
                      "TEXT\", other lines are text boxes)."),
       QStringLiteral("FILE")},
  });
  args.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("The .ppt file to write."));
}

}  // namespace

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  QCommandLineParser args;
  addOptions(args);
  args.process(app);
  if (args.positionalArguments().size() != 1) args.showHelp(2);
  try {
    DeckBuilder deck;
    if (args.isSet(QStringLiteral("outline"))) {
      readOutline(args.value(QStringLiteral("outline")), deck);
    } else {
      buildUniformDeck(args, deck);
    }
    writePresentation(args.positionalArguments().first(), deck.slides());
  } catch (const Error &e) {
    std::fprintf(stderr, "morvane-pptgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
