#include "cli/deckrun.h"

#include <sys/stat.h>

#include <QDataStream>
#include <QIODevice>
#include <new>

#include "common/error.h"
#include "common/filenames.h"
#include "job/interruption.h"

namespace cli {

namespace {

// Keeps what the job reports.
class CollectingLog : public job::Log {
 public:
  explicit CollectingLog(DeckResult &result) : result_(result) {}
  void replace(const QString &piece) override {
    result_.log = piece;
    result_.printed = piece;
  }
  void append(const QString &piece) override {
    result_.log += piece;
    result_.printed += piece;
  }
  void warning(const QString &line) override {
    result_.log += line;
    result_.warnings << line.trimmed().mid(QStringLiteral("Warning: ").size());
  }
  // A picture that was not written comes with its reason, which the
  // window's warning line leaves out; standard error and JSON give it.
  void output(const job::OutputRecord &record) override {
    const QString notWritten = record.output + QStringLiteral(" was not written: ");
    if (record.writtenBytes < 0 && !record.problem.isEmpty() && !result_.warnings.isEmpty() &&
        result_.warnings.last().startsWith(notWritten))
      result_.warnings.last() += QStringLiteral(" (%1)").arg(record.problem);
    result_.outputs.push_back(record);
  }
  void text(const job::TextRecord &record) override { result_.texts.push_back(record); }
  void documentWritten(const QString &path) override {
    result_.document = path;
    struct stat info {};
    if (::stat(morvane::fileNameBytes(path).constData(), &info) == 0)
      result_.documentBytes = info.st_size;
  }
  void waitingForFolder(const QString &folder) override {
    const QByteArray line = "morvane-extract: waiting for another job working in " +
                            morvane::terminalBytes(folder) + "\n";
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    std::fflush(stderr);
  }

 private:
  DeckResult &result_;
};

void configure(job::ExtractionJob &extraction, const Options &options) {
  job::Options &o = extraction.options;
  o.pictures = options.pictures;
  o.text = options.textName.has_value() || (options.list && options.everyText);
  o.graph = options.graph;
  o.workingCopy = false;
  o.waitForFolder = true;
  o.list = options.list;
  o.original = options.original;
  o.everyPicture = options.everyPicture;
  o.everyText = options.everyText;
  o.details = options.json || options.list;
  if (options.textName) extraction.askName = job::fixedAnswer(*options.textName);
}

void fail(DeckResult &result, const QString &description) {
  result.outcome = DeckResult::Outcome::Failed;
  QString line = description;
  line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  result.error = line;
  const bool midLine = !result.log.isEmpty() && !result.log.endsWith(QLatin1String("\r\n"));
  result.log += (midLine ? QStringLiteral("\r\n") : QString()) + QStringLiteral("Error: ") + line +
                QStringLiteral("\r\n");
}

int count(const DeckResult &result, job::OutputRecord::Kind kind) {
  int n = 0;
  for (const auto &record : result.outputs)
    if (record.kind == kind && (record.writtenBytes >= 0 || record.problem.isEmpty())) ++n;
  return n;
}

}  // namespace

int DeckResult::pictureCount() const { return count(*this, job::OutputRecord::Kind::Picture); }
int DeckResult::chartCount() const { return count(*this, job::OutputRecord::Kind::Chart); }

DeckResult runDeck(const Options &options, const Deck &deck) {
  DeckResult result;
  result.source = deck.source;
  result.outputFolder = deck.outputFolder;
  CollectingLog log(result);
  try {
    job::ExtractionJob extraction(log);
    configure(extraction, options);
    extraction.acceptSource(deck.source);
    extraction.OutputFolder = deck.outputFolder;
    if (deck.createFolder && !options.list) makeFolder(deck.outputFolder);
    extraction.ProcessSource();
  } catch (const job::Interrupted &interrupted) {
    fail(result, interrupted.description());
    result.outcome = DeckResult::Outcome::Interrupted;
    result.signalNumber = interrupted.signalNumber();
  } catch (const morvane::Error &error) {
    fail(result, error.description());
  } catch (const std::bad_alloc &) {
    fail(result, QStringLiteral("Out of memory"));
  } catch (const std::exception &error) {
    fail(result, QString::fromLocal8Bit(error.what()));
  }
  return result;
}

namespace {

QDataStream &operator<<(QDataStream &out, const job::OutputRecord &r) {
  const auto &s = r.stored;
  return out << int(r.kind) << r.place << r.slide << r.shape << r.storedKnown << s.format
             << s.pixelSize << s.cropLeft << s.cropTop << s.cropRight << s.cropBottom
             << s.storedBytes << s.extension << r.output << r.writtenBytes << r.problem;
}

QDataStream &operator>>(QDataStream &in, job::OutputRecord &r) {
  int kind = 0;
  auto &s = r.stored;
  in >> kind >> r.place >> r.slide >> r.shape >> r.storedKnown >> s.format >> s.pixelSize >>
      s.cropLeft >> s.cropTop >> s.cropRight >> s.cropBottom >> s.storedBytes >> s.extension >>
      r.output >> r.writtenBytes >> r.problem;
  r.kind = kind == int(job::OutputRecord::Kind::Chart) ? job::OutputRecord::Kind::Chart
                                                       : job::OutputRecord::Kind::Picture;
  return in;
}

}  // namespace

QByteArray serialize(const DeckResult &r) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << int(r.outcome) << r.signalNumber << r.source << r.outputFolder << r.log << r.printed
      << r.error << r.warnings << r.document << r.documentBytes << qint64(r.outputs.size());
  for (const auto &record : r.outputs) out << record;
  out << qint64(r.texts.size());
  for (const auto &text : r.texts) out << text.slide << text.shape << text.text;
  return bytes;
}

DeckResult deserialize(const QByteArray &bytes) {
  DeckResult r;
  QDataStream in(bytes);
  int outcome = 0;
  qint64 outputs = 0;
  in >> outcome >> r.signalNumber >> r.source >> r.outputFolder >> r.log >> r.printed >> r.error >>
      r.warnings >> r.document >> r.documentBytes >> outputs;
  r.outcome = DeckResult::Outcome(outcome);
  for (qint64 i = 0; i < outputs && in.status() == QDataStream::Ok; ++i) {
    job::OutputRecord record;
    in >> record;
    r.outputs.push_back(record);
  }
  qint64 texts = 0;
  in >> texts;
  for (qint64 i = 0; i < texts && in.status() == QDataStream::Ok; ++i) {
    job::TextRecord text;
    in >> text.slide >> text.shape >> text.text;
    r.texts.push_back(text);
  }
  return r;
}

}  // namespace cli
