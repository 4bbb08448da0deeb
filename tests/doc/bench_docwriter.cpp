// Times the Word writer on documents of about 1.5 million characters:
// Latin text, text with right-to-left paragraphs, and a harvest-like
// document written through the object model with "Slide N" headings and
// runs in a symbol font. Prints the median and best of several runs.
// Usage: bench_docwriter [runs]

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "office/doc/docwriter.h"
#include "office/doc/wordapp.h"

namespace {

constexpr qsizetype kCharacters = 1500000;

QString paragraphs(const std::function<QString(int)> &paragraph) {
  QStringList all;
  qsizetype size = 0;
  for (int i = 1; size < kCharacters; ++i) {
    all << paragraph(i);
    size += all.back().size() + 1;
  }
  return all.join(QLatin1Char('\r'));
}

QString latin() {
  return paragraphs([](int i) {
    return QStringLiteral("Paragraph %1 of a long deck, with words to make a line of text").arg(i);
  });
}

QString rightToLeft() {
  return paragraphs([](int i) {
    return i % 2 ? QStringLiteral("المبيعات %1: زيادة 15% في الربع الثالث (Q3)").arg(i)
                 : QStringLiteral("שורה %1 של טקסט בעברית, עם world ו-42.").arg(i);
  });
}

// The harvest with --every-text: a heading per slide of 20 paragraphs, a
// symbol-font character in every paragraph, through the object model.
QString slides() {
  return paragraphs([](int i) {
    return i % 20 == 1 ? QStringLiteral("Slide %1").arg(i / 20 + 1)
                       : QStringLiteral("Point %1 \uF0E0 with some words of a slide body").arg(i);
  });
}

void harvest(const QString &text, const QString &path) {
  auto app = office::doc::createApplication();
  auto document = app->Documents()->Add();
  document->Paragraphs()->Item(1)->Range()->InsertAfter(text);
  qsizetype start = 0;
  for (const QString &p : text.split(QLatin1Char('\r'))) {
    if (p.startsWith(QLatin1String("Slide")))
      document->Range(std::int32_t(start), std::int32_t(start + p.size()))
          ->put_Style(Word::wdStyleHeading1);
    if (const qsizetype symbol = p.indexOf(QChar(0xF0E0)); symbol >= 0)
      document->Range(std::int32_t(start + symbol), std::int32_t(start + symbol + 1))
          ->Font()
          ->put_Name(QStringLiteral("Wingdings"));
    start += p.size() + 1;
  }
  document->SaveAs(path);
}

double cpuMilliseconds() { return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC; }

// Wall time and processor time (less disturbed by other work on the
// machine), median and best of the runs.
void time(const char *name, int runs, const std::function<void(int)> &work) {
  std::vector<double> wall;
  std::vector<double> cpu;
  for (int r = 0; r < runs; ++r) {
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMilliseconds();
    work(r);
    cpu.push_back(cpuMilliseconds() - cpuStart);
    wall.push_back(double(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  std::printf("%-42s wall median %6.1f best %6.1f ms   cpu median %6.1f best %6.1f ms\n", name,
              wall[wall.size() / 2], wall.front(), cpu[cpu.size() / 2], cpu.front());
}

}  // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  QTemporaryDir dir;
  const QString plain = latin();
  const QString mixed = rightToLeft();
  const QString deck = slides();
  time("build, Latin (1.5 M characters)", runs,
       [&](int) { office::doc::buildDocument({.text = plain}); });
  time("build, right to left (1.5 M characters)", runs,
       [&](int) { office::doc::buildDocument({.text = mixed}); });
  time("object model and save, headings and fonts", runs,
       [&](int r) { harvest(deck, dir.filePath(QStringLiteral("harvest%1.doc").arg(r))); });
  return 0;
}
