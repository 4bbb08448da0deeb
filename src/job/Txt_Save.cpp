#include <optional>

#include "common/error.h"
#include "job/extractionjob.h"
#include "job/walks.h"
#include "job/workingcopy.h"

namespace job {

namespace {

const QChar kParagraphMark = QLatin1Char('\r');
// A symbol font's character without a Unicode equivalent, as the readers
// give it: U+F000 + its code.
constexpr char16_t kSymbolFirst = 0xF020;
constexpr char16_t kSymbolLast = 0xF0FF;

// The shape types whose text is harvested: text boxes, comments, WordArt and
// tables.
bool isTextBearing(std::int32_t type) {
  return type == PowerPoint::msoTextBox || type == PowerPoint::msoComment ||
         type == PowerPoint::msoTextEffect || type == PowerPoint::msoTable;
}

bool isUnmappedSymbol(QChar c) { return c.unicode() >= kSymbolFirst && c.unicode() <= kSymbolLast; }

bool hasControlCharacter(const QString &answer) {
  for (const QChar c : answer)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
  return false;
}

// Why a typed name cannot be used (empty: no answer), or nothing when it
// can: the document stays in the output folder under a name of its own and
// replaces nothing.
std::optional<QString> refusal(const QString &answer, const QString &documentPath) {
  if (answer.isEmpty()) return QString();
  if (answer.contains(QLatin1Char('/')) || answer.contains(QLatin1Char('\\')))
    return QStringLiteral("a name cannot contain \"/\" or \"\\\"");
  if (hasControlCharacter(answer))
    return QStringLiteral("a name cannot contain control characters such as line breaks or tabs");
  if (answer == QLatin1String(".") || answer == QLatin1String(".."))
    return QStringLiteral("\"%1\" is not a name").arg(answer);
  const QString file = answer + QStringLiteral(".doc");
  switch (workingcopy::kindAt(documentPath)) {
    case workingcopy::Kind::None:
      return std::nullopt;
    case workingcopy::Kind::Folder:
      return QStringLiteral("%1 is a folder").arg(file);
    default:
      return QStringLiteral("%1 already exists").arg(file);
  }
}

// The presentation's file name without its extension.
QString titleOf(const QString &fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? fileName.left(dot) : fileName;
}

}  // namespace

NameQuestion fixedAnswer(const QString &name) {
  return [name, asked = false](const QString &, const QString &) mutable {
    if (asked) throw morvane::Error(QStringLiteral("the name \"%1\" was refused").arg(name));
    asked = true;
    return name;
  };
}

QString ExtractionJob::ask(const QString &prompt, const QString &caption) {
  if (!askName) throw morvane::Error(QStringLiteral("Nobody can be asked for the document name"));
  return askName(prompt, caption);
}

// Gathers the text, writes it into a new document and saves it under the
// name the user gives. Each shape's text ends with a paragraph mark, so the
// texts of separate shapes never run together.
void ExtractionJob::Txt_Save() {
  GatheredText.clear();
  spans_.clear();
  if (options.everyText)
    gatherEveryText();
  else
    gatherText();

  if (!hasShapeText_) {
    appendLog(QStringLiteral("No Text in The Selected File....."));
    return;
  }
  if (options.list) return;
  saveDocument();
}

void ExtractionJob::gatherText() {
  hasShapeText_ = false;
  walkTopLevelShapes(*this, [&](const Place &place) {
    if (isTextBearing(CurrentShape->Type())) appendShapeText(place);
  });
}

// Per slide: a "Slide N" heading, every shape with text (placeholders and
// shapes inside groups included), then the notes.
void ExtractionJob::gatherEveryText() {
  hasShapeText_ = false;
  const auto slides = PowerPointApp->ActivePresentation()->Slides();
  const std::int32_t slideCount = slides->Count();
  const auto visit = [&](const Place &place) {
    if (CurrentShape->HasTextFrame() == PowerPoint::msoTrue) appendShapeText(place);
  };
  for (std::int32_t s = 1; s <= slideCount; ++s) {
    auto slide = slides->Item(s);
    CurrentSlide = slide;
    const QString heading = QStringLiteral("Slide %1").arg(s);
    spans_.push_back({GatheredText.size(), GatheredText.size() + heading.size(), {}});
    GatheredText += heading + kParagraphMark;
    const Place where{QStringLiteral("slide %1").arg(s), s, {}};
    walkShapesDeep(*this, slide->Shapes(), where, visit);
    if (slide->HasNotesPage() != PowerPoint::msoTrue) continue;
    walkShapesDeep(*this, slide->NotesPage()->Shapes(), {where.name, s, QStringLiteral("notes")},
                   visit);
  }
}

void ExtractionJob::appendShapeText(const Place &place) {
  const auto range = CurrentShape->TextFrame()->TextRange();
  const QString text = range->Text();
  if (text.isEmpty()) return;
  hasShapeText_ = true;
  for (qsizetype i = 0; i < text.size();) {
    if (!isUnmappedSymbol(text.at(i))) {
      ++i;
      continue;
    }
    qsizetype end = i + 1;
    while (end < text.size() && isUnmappedSymbol(text.at(end))) ++end;
    const QString font =
        range->Characters(std::int32_t(i + 1), std::int32_t(end - i))->Font()->Name();
    if (!font.isEmpty())
      spans_.push_back({GatheredText.size() + i, GatheredText.size() + end, font});
    i = end;
  }
  GatheredText += text;
  if (!text.endsWith(kParagraphMark) && !text.endsWith(QLatin1Char('\n')))
    GatheredText += kParagraphMark;
  log_.text({place.slide, place.shape, text});
}

void ExtractionJob::saveDocument() {
  WordDoc = WordApp->Documents()->Add();
  WordDoc->Paragraphs()->Item(1)->Range()->InsertAfter(GatheredText);
  for (const Span &span : spans_) {
    const auto range = WordDoc->Range(std::int32_t(span.start), std::int32_t(span.end));
    if (span.font.isEmpty())
      range->put_Style(Word::wdStyleHeading1);
    else
      range->Font()->put_Name(span.font);
  }
  if (const QString title = titleOf(SourceName); !title.isEmpty()) WordDoc->put_Title(title);

  const QString path = OutputFolder + documentName() + QStringLiteral(".doc");
  WordDoc->SaveAs(path);
  WordDoc->Close();
  WordApp->Quit();
  WordDoc.reset();
  WordApp.reset();
  log_.documentWritten(path);
}

// Asks until the answer is a usable name. Each refusal is logged; a refused
// name says why.
QString ExtractionJob::documentName() {
  const QString prompt =
      QStringLiteral("Enter New File Name.....(Location: ") + OutputFolder + QStringLiteral(")");
  const QString caption = QStringLiteral("Saving");
  for (;;) {
    const QString answer = ask(prompt, caption);
    const auto why = refusal(answer, OutputFolder + answer + QStringLiteral(".doc"));
    if (!why) return answer;
    appendLog(QStringLiteral("Please Enter A Valid Filename...") +
              (why->isEmpty() ? QString() : QStringLiteral(" (%1)").arg(*why)));
  }
}

}  // namespace job
