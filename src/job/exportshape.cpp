// Exporting one picture or chart: the file name, the warning when the
// picture cannot be read, --list, --original and the skipping of repeated
// outputs for --every-picture.

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <cstdio>

#include "common/atomicfile.h"
#include "common/error.h"
#include "common/filenames.h"
#include "job/extractionjob.h"
#include "job/walks.h"

namespace job {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

QByteArray fingerprint(const QByteArray &bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray readFile(const QString &path) {
  QByteArray bytes;
  FILE *file = std::fopen(morvane::fileNameBytes(path).constData(), "rb");
  if (file == nullptr) return bytes;
  char buffer[64 * 1024];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.append(buffer, qsizetype(n));
  std::fclose(file);
  return bytes;
}

// The size of a file just written; -1 when it cannot be read back.
qint64 writtenSize(const QString &path) {
  struct stat status {};
  if (::stat(morvane::fileNameBytes(path).constData(), &status) != 0) return -1;
  return qint64(status.st_size);
}

QString subject(OutputRecord::Kind kind, const QString &place) {
  return (kind == OutputRecord::Kind::Chart ? QStringLiteral("the chart of ")
                                            : QStringLiteral("the picture of ")) +
         place;
}

}  // namespace

QString ExtractionJob::outputName(OutputRecord::Kind kind) const {
  if (kind == OutputRecord::Kind::Chart)
    return QStringLiteral("Graph") + fourDigits(RunningCount) + QStringLiteral(".Bmp");
  return QStringLiteral("Img") + fourDigits(RunningCount) + QStringLiteral(".Jpg");
}

bool ExtractionJob::exportCurrentShape(OutputRecord::Kind kind, const Place &place) {
  OutputRecord record;
  record.kind = kind;
  record.place = place.name;
  record.slide = place.slide;
  record.shape = place.shape;
  record.output = outputName(kind);
  const bool original = options.original && kind == OutputRecord::Kind::Picture;
  try {
    if (options.list || original || options.details) {
      record.stored = CurrentShape->Picture();
      record.storedKnown = true;
    }
    if (original)
      record.output = QStringLiteral("Img") + fourDigits(RunningCount) + QLatin1Char('.') +
                      record.stored.extension;
  } catch (const morvane::PictureError &error) {
    record.problem = error.description();
    // Its stored format, and so its extension, is unknown.
    if (original) record.output = QStringLiteral("Img") + fourDigits(RunningCount);
  }
  if (options.list) {
    if (options.everyPicture && record.problem.isEmpty() && isRepeatedOutput({}, record))
      return false;
    log_.output(record);
    return false;
  }
  const bool written =
      record.problem.isEmpty() && writeCurrentShape(record, OutputFolder + record.output);
  if (!written) {
    log_.warning(QStringLiteral("Warning: %1 was not written: %2 cannot be read")
                     .arg(record.output, subject(kind, place.name)) +
                 kLineBreak);
    log_.output(record);
    return false;
  }
  if (options.everyPicture && isRepeatedOutput(OutputFolder + record.output, record)) return false;
  log_.output(record);
  return true;
}

// Writes the file; false when the picture cannot be read at all.
bool ExtractionJob::writeCurrentShape(OutputRecord &record, const QString &path) {
  try {
    if (options.original && record.kind == OutputRecord::Kind::Picture) {
      morvane::writeFileAtomically(path, CurrentShape->OriginalPicture());
    } else {
      const auto filter = record.kind == OutputRecord::Kind::Chart ? PowerPoint::ppShapeFormatBMP
                                                                   : PowerPoint::ppShapeFormatJPG;
      CurrentShape->Export(path, filter, 0, 0, PowerPoint::ppRelativeToSlide);
    }
  } catch (const morvane::PictureError &error) {
    record.problem = error.description();
    return false;
  }
  record.writtenBytes = writtenSize(path);
  const QString note = CurrentShape->ExportWarning();
  if (!note.isEmpty())
    log_.warning(QStringLiteral("Warning: %1: %2").arg(record.output, note) + kLineBreak);
  return true;
}

// With --every-picture an output that repeats one already written for this
// deck (a background that every slide shares) is dropped and its number
// used again. A listing compares the stored pictures and their crops.
bool ExtractionJob::isRepeatedOutput(const QString &path, OutputRecord &record) {
  QByteArray key;
  if (path.isEmpty()) {
    const auto &s = record.stored;
    key = fingerprint(CurrentShape->OriginalPicture() + QStringLiteral("|%1|%2|%3|%4")
                                                            .arg(s.cropLeft)
                                                            .arg(s.cropTop)
                                                            .arg(s.cropRight)
                                                            .arg(s.cropBottom)
                                                            .toUtf8());
  } else {
    key = fingerprint(readFile(path));
  }
  if (!written_.contains(key)) {
    written_.insert(key);
    return false;
  }
  if (!path.isEmpty()) ::unlink(morvane::fileNameBytes(path).constData());
  --RunningCount;
  return true;
}

}  // namespace job
