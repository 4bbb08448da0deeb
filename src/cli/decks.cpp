#include "cli/decks.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "common/error.h"
#include "common/filenames.h"

namespace cli {

namespace {

// Folders nested deeper than this below a FILE are not searched.
constexpr int kMaxFolderDepth = 64;

bool isPresentationName(const QString &name) {
  const QString lower = name.toLower();
  for (const char *extension : {".ppt", ".pps", ".pptx", ".ppsx"})
    if (lower.endsWith(QLatin1String(extension))) return true;
  return false;
}

bool isFolder(const QString &path) {
  struct stat info {};
  return ::stat(morvane::fileNameBytes(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Presentations below folder, symbolic links not followed.
void collect(const QString &folder, int depth, QStringList &found) {
  if (depth > kMaxFolderDepth) return;
  const QByteArray native = morvane::fileNameBytes(folder);
  std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(native.constData()), ::closedir);
  if (!dir) return;
  while (const dirent *entry = ::readdir(dir.get())) {
    const QByteArray name(entry->d_name);
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const QString path = folder + QLatin1Char('/') + morvane::fileNameFromBytes(name);
    if (S_ISDIR(info.st_mode))
      collect(path, depth + 1, found);
    else if (S_ISREG(info.st_mode) && isPresentationName(morvane::fileNameFromBytes(name)))
      found << path;
  }
}

// Paths sorted as the file system's bytes.
void sortByPath(QStringList &paths) {
  std::sort(paths.begin(), paths.end(), [](const QString &a, const QString &b) {
    return morvane::fileNameBytes(a) < morvane::fileNameBytes(b);
  });
}

QStringList expand(const Options &options) {
  QStringList sources;
  for (const QString &file : options.files) {
    const QString path = absolutePath(file);
    if (!options.recursive || !isFolder(path)) {
      sources << path;
      continue;
    }
    QStringList found;
    collect(QDir::cleanPath(path), 0, found);
    sortByPath(found);
    sources << found;
  }
  return sources;
}

QString folderOf(const QString &path) { return path.left(path.lastIndexOf(QLatin1Char('/')) + 1); }

// A deck's folder: its file name without the extension (with ".out" added
// when the name has no extension, so that the folder is not the deck).
QString deckFolderName(const QString &source) {
  const QString name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? name.left(dot) : name + QStringLiteral(".out");
}

QString withSlash(const QString &folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

QString absolutePath(const QString &path) {
  if (path.startsWith(QLatin1Char('/'))) return QDir::cleanPath(path);
  char buffer[4096];
  const QString current = ::getcwd(buffer, sizeof buffer) != nullptr
                              ? morvane::fileNameFromBytes(QByteArray(buffer))
                              : QStringLiteral(".");
  return QDir::cleanPath(current + QLatin1Char('/') + path);
}

std::vector<Deck> planDecks(const Options &options) {
  const QStringList sources = expand(options);
  const QString base =
      options.outputFolder.isEmpty() ? QString() : withSlash(absolutePath(options.outputFolder));
  std::vector<Deck> decks;
  QHash<QString, QString> deckOfFolder;
  for (const QString &source : sources) {
    Deck deck;
    deck.source = source;
    const QString parent = base.isEmpty() ? folderOf(source) : base;
    if (sources.size() == 1) {
      deck.outputFolder = parent;
      deck.createFolder = !base.isEmpty();
    } else {
      deck.outputFolder = withSlash(parent + deckFolderName(source));
      deck.createFolder = true;
      const QString taken = deckOfFolder.value(deck.outputFolder);
      if (!taken.isEmpty())
        throw UsageError{QStringLiteral("%1 and %2 would both write into %3; give them "
                                        "different names or run them separately")
                             .arg(taken, source, deck.outputFolder)};
      deckOfFolder.insert(deck.outputFolder, source);
    }
    decks.push_back(deck);
  }
  if (decks.empty()) throw UsageError{QStringLiteral("no presentation found")};
  return decks;
}

void makeFolder(const QString &folder) {
  QString path;
  for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    path += QLatin1Char('/') + part;
    const QByteArray native = morvane::fileNameBytes(path);
    if (::mkdir(native.constData(), 0777) == 0 || errno == EEXIST) continue;
    throw morvane::Error(QStringLiteral("Cannot create the output folder %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
  }
  struct stat info {};
  if (::stat(morvane::fileNameBytes(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
    throw morvane::Error(
        QStringLiteral("Cannot create the output folder %1: a file of that name is in the way")
            .arg(folder));
}

}  // namespace cli
