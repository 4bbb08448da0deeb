#include "cli/report.h"

#include <cstdio>

#include "cli/json.h"
#include "common/filenames.h"

namespace cli {

namespace {

QByteArray terminal(const QString &text) { return morvane::terminalBytes(text); }

// The window's log for a terminal: LF line ends, and a final LF.
QByteArray logLines(QString log) {
  log.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QByteArray bytes = terminal(log);
  if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += '\n';
  return bytes;
}

QString kindName(job::OutputRecord::Kind kind) {
  return kind == job::OutputRecord::Kind::Chart ? QStringLiteral("chart")
                                                : QStringLiteral("picture");
}

QString number(double value) { return QString::number(value, 'g', 6); }

QString cropText(const PowerPoint::StoredPicture &s) {
  if (s.cropLeft == 0 && s.cropTop == 0 && s.cropRight == 0 && s.cropBottom == 0)
    return QStringLiteral("-");
  return QStringList{number(s.cropLeft), number(s.cropTop), number(s.cropRight),
                     number(s.cropBottom)}
      .join(QLatin1Char(','));
}

QString listLine(const DeckResult &deck, const job::OutputRecord &r) {
  const auto &s = r.stored;
  const bool known = r.storedKnown;
  const QString dash = QStringLiteral("-");
  const QString size =
      known && s.pixelSize.isValid() && !s.pixelSize.isEmpty()
          ? QStringLiteral("%1x%2").arg(s.pixelSize.width()).arg(s.pixelSize.height())
          : dash;
  return QStringList{deck.source,
                     r.place,
                     r.shape,
                     kindName(r.kind),
                     known ? s.format : dash,
                     size,
                     known ? cropText(s) : dash,
                     known ? QString::number(s.storedBytes) : dash,
                     r.problem.isEmpty() ? r.output : dash}
      .join(QLatin1Char('\t'));
}

void writeRecord(JsonWriter &json, const job::OutputRecord &r) {
  json.beginObject();
  json.field("place", r.place);
  if (r.slide > 0)
    json.field("slide", r.slide);
  else
    json.field("slide", QString());
  json.field("shape", r.shape);
  json.field("kind", kindName(r.kind));
  if (r.storedKnown) {
    const auto &s = r.stored;
    json.field("format", s.format);
    if (!s.pixelSize.isEmpty()) {
      json.field("width", s.pixelSize.width());
      json.field("height", s.pixelSize.height());
    }
    json.key("crop");
    json.beginObject();
    json.field("left", s.cropLeft);
    json.field("top", s.cropTop);
    json.field("right", s.cropRight);
    json.field("bottom", s.cropBottom);
    json.endObject();
    json.field("stored_bytes", s.storedBytes);
  }
  json.field("output", r.output);
  json.field("written", r.writtenBytes >= 0);
  if (r.writtenBytes >= 0) json.field("bytes", r.writtenBytes);
  if (!r.problem.isEmpty()) json.field("problem", r.problem);
  json.endObject();
}

QString outcomeName(DeckResult::Outcome outcome) {
  switch (outcome) {
    case DeckResult::Outcome::Completed:
      return QStringLiteral("completed");
    case DeckResult::Outcome::Failed:
      return QStringLiteral("failed");
    case DeckResult::Outcome::Interrupted:
      return QStringLiteral("interrupted");
  }
  return {};
}

}  // namespace

void writeOut(FILE *stream, const QByteArray &bytes) {
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
  std::fflush(stream);
}

void Totals::add(const DeckResult &result) {
  ++decks;
  if (result.outcome == DeckResult::Outcome::Completed)
    ++completed;
  else
    ++failed;
  pictures += result.pictureCount();
  charts += result.chartCount();
  if (!result.document.isEmpty()) ++documents;
  warnings += int(result.warnings.size());
}

void Report::deck(const DeckResult &result) {
  totals_.add(result);
  if (options_.json)
    writeJson(result);
  else if (options_.list)
    printList(result);
  else
    printText(result);
}

void Report::printText(const DeckResult &result) {
  if (!options_.quiet) {
    writeOut(stdout, logLines(result.printed));
    for (const QString &warning : result.warnings)
      writeOut(stderr, "Warning: " + terminal(warning) + '\n');
  }
  if (result.outcome != DeckResult::Outcome::Completed)
    writeOut(stderr, "Error: " + terminal(result.error) + '\n');
}

void Report::printList(const DeckResult &result) {
  QByteArray lines;
  if (!options_.quiet)
    for (const auto &record : result.outputs) lines += terminal(listLine(result, record)) + '\n';
  writeOut(stdout, lines);
  if (result.outcome != DeckResult::Outcome::Completed)
    writeOut(stderr, "Error: " + terminal(result.source) + ": " + terminal(result.error) + '\n');
}

void Report::writeJson(const DeckResult &result) {
  if (result.outcome != DeckResult::Outcome::Completed)
    writeOut(stderr, "Error: " + terminal(result.error) + '\n');
  JsonWriter json;
  json.beginObject();
  json.field("deck", result.source);
  json.field("output_folder", result.outputFolder);
  json.field("outcome", outcomeName(result.outcome));
  if (!result.error.isEmpty()) json.field("error", result.error);
  QString log = result.log;
  json.field("log", log.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  json.beginArray("warnings");
  for (const QString &warning : result.warnings) json.value(warning);
  json.endArray();
  for (const auto kind : {job::OutputRecord::Kind::Picture, job::OutputRecord::Kind::Chart}) {
    json.beginArray(kind == job::OutputRecord::Kind::Picture ? "pictures" : "charts");
    for (const auto &record : result.outputs)
      if (record.kind == kind) writeRecord(json, record);
    json.endArray();
  }
  json.key("document");
  if (result.document.isEmpty()) {
    json.null();
  } else {
    json.beginObject();
    json.field("path", result.document);
    json.field("bytes", result.documentBytes);
    json.endObject();
  }
  if (options_.everyText) {
    json.beginArray("texts");
    for (const auto &text : result.texts) {
      json.beginObject();
      json.field("slide", text.slide);
      json.field("shape", text.shape);
      json.field("text", text.text);
      json.endObject();
    }
    json.endArray();
  }
  json.endObject();
  jsonDecks_.push_back(json.bytes());
}

void Report::finish(bool interrupted) {
  const Totals &t = totals_;
  if (options_.json) {
    QByteArray out = "{\"decks\":[";
    for (std::size_t i = 0; i < jsonDecks_.size(); ++i) {
      if (i > 0) out += ',';
      out += jsonDecks_[i];
    }
    JsonWriter summary;
    summary.beginObject();
    for (const auto &[name, value] : {std::pair{"decks", t.decks},
                                      {"completed", t.completed},
                                      {"failed", t.failed},
                                      {"pictures", t.pictures},
                                      {"charts", t.charts},
                                      {"documents", t.documents},
                                      {"warnings", t.warnings}})
      summary.field(name, value);
    summary.field("interrupted", interrupted);
    summary.endObject();
    writeOut(stdout, out + "],\"summary\":" + summary.bytes() + "}\n");
    return;
  }
  // A listing stays one line per picture, for scripts to read.
  if (options_.quiet || options_.list || (t.decks < 2 && !interrupted)) return;
  QString line = QStringLiteral(
                     "%1 %7: %2 completed, %3 failed; %4 pictures, %5 charts, %6 "
                     "documents")
                     .arg(t.decks)
                     .arg(t.completed)
                     .arg(t.failed)
                     .arg(t.pictures)
                     .arg(t.charts)
                     .arg(t.documents)
                     .arg(t.decks == 1 ? QStringLiteral("deck") : QStringLiteral("decks"));
  if (t.warnings > 0) line += QStringLiteral("; %1 warnings").arg(t.warnings);
  if (interrupted) line += QStringLiteral("; interrupted");
  writeOut(stdout, terminal(line) + '\n');
}

}  // namespace cli
