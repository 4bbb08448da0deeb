// Writes seeds for export_fuzzer: every picture of the given presentations,
// as the fuzzer reads it (format byte, flags byte, picture bytes).
//   export_seeds OUTDIR FILE.ppt...

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "common/error.h"
#include "office/ppt/application.h"

namespace {

using office::render::BlipFormat;

int formatByte(BlipFormat format) {
  switch (format) {
    case BlipFormat::Pict:
      return 0;
    case BlipFormat::Png:
      return 1;
    case BlipFormat::Dib:
      return 2;
    case BlipFormat::Jpeg:
      return 3;
    case BlipFormat::Tiff:
      return 4;
    default:
      return -1;
  }
}

void writeSeed(const QDir &out, const office::render::PictureSource &picture) {
  const int format = formatByte(picture.format);
  if (format < 0 || picture.data.size() > 256 * 1024) return;
  const QByteArray seed = QByteArray(1, char(format)) + QByteArray(1, '\2') + picture.data;
  const QString name = QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex();
  QFile file(out.filePath(name));
  if (file.open(QIODevice::WriteOnly)) file.write(seed);
}

void seedsOf(const QDir &out, const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  auto presentation = office::ppt::openPresentation(file.readAll());
  auto slides = presentation->Slides();
  for (std::int32_t i = 1; i <= slides->Count(); ++i) {
    auto shapes = slides->Item(i)->Shapes();
    for (std::int32_t j = 1; j <= shapes->Count(); ++j) {
      try {
        if (shapes->Item(j)->Type() == PowerPoint::msoPicture)
          writeSeed(out, office::ppt::pictureOf(*shapes->Item(j)));
      } catch (const morvane::Error &) {
      }
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  if (argc < 3) return 2;
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (int i = 2; i < argc; ++i) {
    try {
      seedsOf(out, QString::fromLocal8Bit(argv[i]));
    } catch (const morvane::Error &) {
    }
  }
  return 0;
}
