#include "docsamples.h"

#include <QDir>
#include <algorithm>

#include "common/error.h"
#include "job/extractionjob.h"
#include "office/doc/docwriter.h"
#include "office/doc/wordapp.h"

namespace docsamples {
namespace {

bool isSymbolCode(QChar c) { return c.unicode() >= 0xF020 && c.unicode() <= 0xF0FF; }

Sample sample(const QString &name, std::vector<ParagraphSpec> paragraphs) {
  Sample s;
  s.name = name;
  s.paragraphs = std::move(paragraphs);
  QStringList texts;
  for (const ParagraphSpec &p : s.paragraphs) texts << p.text;
  s.text = texts.join(QLatin1Char('\r'));
  return s;
}

std::vector<Sample> specs() {
  std::vector<Sample> all;
  all.push_back(sample(QStringLiteral("scripts"),
                       {{QStringLiteral("Chinese 中文文本，汉字测试")},
                        {QStringLiteral("Русский текст: Съешь же ещё этих мягких булок")},
                        {QStringLiteral("Ελληνικά: Ξεσκεπάζω την ψυχοφθόρα βδελυγμία")},
                        {QStringLiteral("Symbols € £ © ® ™ ∑ √ ∞ ≠ ← → ♠ ♥ ✓ and 😀 🎉")},
                        {QStringLiteral("Japanese 日本語のテキスト\vKorean 한국어 텍스트\tend")}}));
  all.push_back(
      sample(QStringLiteral("outline"), {{QStringLiteral("Slide 1"), true},
                                         {QStringLiteral("Quarterly results")},
                                         {QStringLiteral("Growth \uF0E0 steady \uF0FC\uF0FB")},
                                         {QStringLiteral("Slide 2"), true},
                                         {QStringLiteral("Notes of the second slide")},
                                         {QStringLiteral("Slide 3"), true}}));
  all.back().symbolFont = QStringLiteral("Wingdings");
  all.back().title = QStringLiteral("Quarterly Review – Ümlaut");
  all.push_back(sample(QStringLiteral("right-to-left"),
                       {{QStringLiteral("مرحبا بالعالم!"), false, true},
                        {QStringLiteral("שלום עולם, מה שלומך?"), false, true},
                        {QStringLiteral("المبيعات 2024: 15% زيادة"), false, true},
                        {QStringLiteral("123 שקלים לחודש."), false, true},
                        {QStringLiteral("Hello عالم, 42."), false, false},
                        {QStringLiteral("שלום world 42."), false, true}}));
  std::vector<ParagraphSpec> many;
  for (int i = 1; i <= 10000; ++i)
    many.push_back({QStringLiteral("Paragraph %1 of the long document").arg(i)});
  all.push_back(sample(QStringLiteral("10000 paragraphs"), std::move(many)));
  all.push_back(sample(QStringLiteral("empty"), {{QString()}}));
  return all;
}

// Drives the word processor as the harvest does: the text in one insert,
// then headings, fonts and the title by positions in that text.
void write(Sample &s) {
  auto app = office::doc::createApplication();
  auto document = app->Documents()->Add();
  document->Paragraphs()->Item(1)->Range()->InsertAfter(s.text);
  qsizetype start = 0;
  for (const ParagraphSpec &p : s.paragraphs) {
    if (p.heading)
      document->Range(std::int32_t(start), std::int32_t(start + p.text.size()))
          ->put_Style(Word::wdStyleHeading1);
    start += p.text.size() + 1;
  }
  for (qsizetype i = 0; i < s.text.size(); ++i) {
    if (!isSymbolCode(s.text[i])) continue;
    qsizetype end = i + 1;
    while (end < s.text.size() && isSymbolCode(s.text[end])) ++end;
    document->Range(std::int32_t(i), std::int32_t(end))->Font()->put_Name(s.symbolFont);
    i = end;
  }
  if (!s.title.isEmpty()) document->put_Title(s.title);
  document->SaveAs(s.path);
  document->Close();
  app->Quit();
  s.expected = office::doc::documentText(s.text);
}

class QuietLog : public job::Log {
 public:
  void replace(const QString &) override {}
  void append(const QString &) override {}
};

}  // namespace

std::vector<Sample> writeSamples(const QString &folder) {
  std::vector<Sample> all = specs();
  int number = 0;
  for (Sample &s : all) {
    s.path = QStringLiteral("%1/sample%2.doc").arg(folder).arg(++number);
    write(s);
  }
  return all;
}

std::vector<CorpusDocument> writeCorpusDocuments(const QString &folder, bool everyText,
                                                 QStringList *failures) {
  std::vector<CorpusDocument> documents;
  const QString shared = qEnvironmentVariable("MORVANE_SHARED_DIR");
  if (shared.isEmpty()) return documents;
  const QDir corpus(shared + QStringLiteral("/corpus"));
  const QStringList decks =
      corpus.entryList({QStringLiteral("*.ppt"), QStringLiteral("*.pps")}, QDir::Files, QDir::Name);
  for (const QString &deck : decks) {
    const QString out = QStringLiteral("%1/%2/").arg(folder, deck);
    QDir().mkpath(out);
    QuietLog log;
    job::ExtractionJob job(log);
    job.options.pictures = false;
    job.options.text = true;
    job.options.workingCopy = false;
    job.options.everyText = everyText;
    job.askName = job::fixedAnswer(QStringLiteral("Notes"));
    job.acceptSource(corpus.filePath(deck));
    job.OutputFolder = out;
    try {
      job.ProcessSource();
    } catch (const morvane::Error &e) {
      if (failures) *failures << deck + QStringLiteral(": ") + e.description();
      continue;
    }
    const QString path = out + QStringLiteral("Notes.doc");
    if (QFileInfo::exists(path))
      documents.push_back({deck, path, office::doc::documentText(job.GatheredText), everyText});
  }
  return documents;
}

bool readerLacksMembers(const QStringList &failures) {
  return std::any_of(failures.begin(), failures.end(), [](const QString &failure) {
    return failure.contains(QLatin1String("is not offered by"));
  });
}

}  // namespace docsamples
