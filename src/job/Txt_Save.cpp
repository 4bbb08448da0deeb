#include <QFileInfo>

#include "common/error.h"
#include "job/extractionjob.h"

namespace job {

namespace {

// The shape types whose text is harvested: text boxes, comments, WordArt and
// tables.
bool isTextBearing(std::int32_t type) {
  return type == PowerPoint::msoTextBox || type == PowerPoint::msoComment ||
         type == PowerPoint::msoTextEffect || type == PowerPoint::msoTable;
}

// A name is taken only if the document stays in the output folder under a
// name of its own and replaces nothing: no path separators or NUL, not "."
// or "..", and no file (or link) at the document path yet.
bool isUsableName(const QString &answer, const QString &documentPath) {
  if (answer.isEmpty() || answer == QLatin1String(".") || answer == QLatin1String(".."))
    return false;
  if (answer.contains(QLatin1Char('/')) || answer.contains(QLatin1Char('\\')) ||
      answer.contains(QChar(0)))
    return false;
  const QFileInfo existing(documentPath);
  return !existing.exists() && !existing.isSymLink();
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

void ExtractionJob::Txt_Save() {
  GatheredText.clear();
  const auto Slides = PowerPointApp->ActivePresentation()->Slides();
  const std::int32_t slideCount = Slides->Count();
  for (std::int32_t s = 1; s <= slideCount; ++s) {
    CurrentSlide = Slides->Item(s);
    const auto Shapes = CurrentSlide->Shapes();
    const std::int32_t shapeCount = Shapes->Count();
    for (std::int32_t i = 1; i <= shapeCount; ++i) {
      CurrentShape = Shapes->Item(i);
      if (isTextBearing(CurrentShape->Type()))
        GatheredText += CurrentShape->TextFrame()->TextRange()->Text();
    }
  }

  if (GatheredText.isEmpty()) {
    appendLog(QStringLiteral("No Text in The Selected File....."));
    return;
  }

  WordDoc = WordApp->Documents()->Add();
  WordDoc->Paragraphs()->Item(1)->Range()->InsertAfter(GatheredText);

  const QString prompt =
      QStringLiteral("Enter New File Name.....(Location: ") + OutputFolder + QStringLiteral(")");
  const QString caption = QStringLiteral("Saving");
  QString answer = ask(prompt, caption);
  while (!isUsableName(answer, OutputFolder + answer + QStringLiteral(".doc"))) {
    appendLog(QStringLiteral("Please Enter A Valid Filename..."));
    answer = ask(prompt, caption);
  }

  WordDoc->SaveAs(OutputFolder + answer + QStringLiteral(".doc"));
  WordDoc->Close();
  WordApp->Quit();
  WordDoc.reset();
  WordApp.reset();
}

}  // namespace job
