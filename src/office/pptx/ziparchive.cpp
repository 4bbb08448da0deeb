#include "office/pptx/ziparchive.h"

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/error.h"
#include "common/filenames.h"
#include "common/posixio.h"
#include "office/pptx/ziprecovery.h"

namespace office::pptx {

namespace {

// Compression methods of the ZIP application note (4.4.5) that a package may use.
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
// A recovered archive is read whole into memory; a file larger than this is
// not worth the attempt.
constexpr qint64 kMaxRecoveredFileBytes = 1ll << 30;

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

QString libzipMessage(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  QString text = QString::fromUtf8(zip_error_strerror(&error));
  zip_error_fini(&error);
  return text;
}

// Errors of zip_open that mean "the directory cannot be used" rather than
// "the file cannot be read at all".
bool directoryUnusable(int code) {
  return code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS || code == ZIP_ER_MULTIDISK ||
         code == ZIP_ER_EOF;
}

struct ZipCloser {
  void operator()(zip_t *archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct FileCloser {
  void operator()(zip_file_t *file) const { zip_fclose(file); }
};

std::vector<ZipEntry> listEntries(zip_t *archive, const ZipLimits &limits) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) fail(QStringLiteral("the file is damaged (its ZIP directory cannot be read)"));
  if (std::uint64_t(count) > limits.maxEntries)
    fail(QStringLiteral("the file holds %1 ZIP entries, more than any presentation needs (at most "
                        "%2 are read)")
             .arg(count)
             .arg(limits.maxEntries));
  std::vector<ZipEntry> entries;
  entries.reserve(std::size_t(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
      fail(QStringLiteral("the file is damaged (ZIP entry %1 cannot be read)").arg(i + 1));
    ZipEntry entry;
    entry.name = QString::fromUtf8(stat.name);
    entry.index = zip_uint64_t(i);
    entry.size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    entry.compressedSize = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    entry.method = (stat.valid & ZIP_STAT_COMP_METHOD) ? std::uint16_t(stat.comp_method) : 0xFFFF;
    entry.crc = (stat.valid & ZIP_STAT_CRC) ? stat.crc : 0;
    entry.encrypted =
        (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
    entries.push_back(std::move(entry));
  }
  return entries;
}

// The whole file, for reading it from its local headers.
QByteArray readFileForRecovery(const QString &path) {
  const int fd = ::open(morvane::fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    fail(QStringLiteral("the file cannot be read (%1)")
             .arg(QString::fromLocal8Bit(std::strerror(errno))));
  struct stat info {};
  const bool sized = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (!sized || info.st_size > kMaxRecoveredFileBytes) {
    ::close(fd);
    fail(
        QStringLiteral("the file is damaged (its ZIP directory cannot be read) and too large to "
                       "recover from its entries"));
  }
  QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
  const bool read = morvane::readFully(fd, bytes.data(), std::size_t(bytes.size()));
  ::close(fd);
  if (!read) fail(QStringLiteral("the file cannot be read whole"));
  return bytes;
}

// The file's size, for checking the sizes its entries declare.
std::uint64_t fileSize(const QString &path) {
  struct stat info {};
  return ::stat(morvane::fileNameBytes(path).constData(), &info) == 0 ? std::uint64_t(info.st_size)
                                                                      : 0;
}

}  // namespace

// Either libzip over a file or buffer, or the entries found by scanning the
// local headers of the bytes in memory.
struct ZipArchive::Backend {
  QByteArray bytes;  // a buffer libzip reads, or the recovered file
  ZipHandle archive;
  std::uint64_t archiveBytes = 0;
};

ZipArchive::ZipArchive(std::unique_ptr<Backend> backend, const ZipLimits &limits)
    : backend_(std::move(backend)), limits_(limits) {}

ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::open(const QString &path, const ZipLimits &limits) {
  auto backend = std::make_unique<Backend>();
  int code = ZIP_ER_OK;
  zip_t *archive = zip_open(morvane::fileNameBytes(path).constData(), ZIP_RDONLY, &code);
  if (!archive) {
    if (code == ZIP_ER_OPEN || code == ZIP_ER_READ || !directoryUnusable(code))
      fail(
          QStringLiteral("the file cannot be read as a ZIP package (%1)").arg(libzipMessage(code)));
    return fromBytes(readFileForRecovery(path), limits);
  }
  backend->archive.reset(archive);
  backend->archiveBytes = fileSize(path);
  std::unique_ptr<ZipArchive> zip(new ZipArchive(std::move(backend), limits));
  zip->index(listEntries(archive, limits), zip->backend_->archiveBytes);
  return zip;
}

std::unique_ptr<ZipArchive> ZipArchive::fromBytes(const QByteArray &bytes,
                                                  const ZipLimits &limits) {
  auto backend = std::make_unique<Backend>();
  backend->bytes = bytes;
  backend->archiveBytes = std::uint64_t(bytes.size());
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t *source =
      zip_source_buffer_create(backend->bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
  zip_t *archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  const int code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  if (!archive) {
    if (source) zip_source_free(source);
    if (!directoryUnusable(code))
      fail(
          QStringLiteral("the file cannot be read as a ZIP package (%1)").arg(libzipMessage(code)));
    std::vector<ZipEntry> found = scanLocalHeaders(backend->bytes, limits);
    if (found.empty())
      fail(QStringLiteral("the file is damaged: its ZIP directory cannot be read (%1) and no "
                          "entry was found before it")
               .arg(libzipMessage(code)));
    std::unique_ptr<ZipArchive> zip(new ZipArchive(std::move(backend), limits));
    zip->recovered_ = true;
    zip->index(std::move(found), zip->backend_->archiveBytes);
    return zip;
  }
  backend->archive.reset(archive);
  std::unique_ptr<ZipArchive> zip(new ZipArchive(std::move(backend), limits));
  zip->index(listEntries(archive, limits), zip->backend_->archiveBytes);
  return zip;
}

QString ZipArchive::lookupKey(const QString &name) {
  QString key = name;
  if (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
  if (key.contains(QLatin1Char('%')))
    key = QString::fromUtf8(QByteArray::fromPercentEncoding(key.toUtf8()));
  return key.toLower();
}

// Checks every entry's name and declared sizes and builds the lookup. The
// first of several entries with one name wins, as the directory lists them.
void ZipArchive::index(std::vector<ZipEntry> entries, std::uint64_t archiveBytes) {
  for (const ZipEntry &entry : entries) {
    if (entry.name.toUtf8().size() > limits_.maxNameBytes)
      fail(QStringLiteral("the file is damaged or hostile: a ZIP entry has a name of %1 bytes")
               .arg(entry.name.toUtf8().size()));
    if (entry.compressedSize > archiveBytes)
      fail(QStringLiteral("the file is damaged: its ZIP entry \"%1\" claims %2 bytes, more than "
                          "the whole file")
               .arg(entry.name)
               .arg(entry.compressedSize));
    if (entry.size >
        limits_.maxCompressionRatio * std::max<std::uint64_t>(entry.compressedSize, 1) + 4096)
      fail(QStringLiteral("the file is damaged or hostile: its ZIP entry \"%1\" declares %2 bytes "
                          "from %3 compressed bytes (a ZIP bomb)")
               .arg(entry.name)
               .arg(entry.size)
               .arg(entry.compressedSize));
  }
  entries_ = std::move(entries);
  byKey_.reserve(qsizetype(entries_.size()));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const QString key = lookupKey(entries_[i].name);
    if (!byKey_.contains(key)) byKey_.insert(key, i);
  }
}

const ZipEntry *ZipArchive::find(const QString &name) const {
  const auto found = byKey_.constFind(lookupKey(name));
  return found == byKey_.constEnd() ? nullptr : &entries_[*found];
}

void ZipArchive::chargeInflation(const ZipEntry &entry) {
  if (entry.method != kMethodDeflated) return;
  if (entry.size > limits_.maxInflatedBytes - std::min(inflated_, limits_.maxInflatedBytes))
    fail(QStringLiteral("the file is damaged or hostile: reading \"%1\" would inflate more than "
                        "%2 MB from one file (a ZIP bomb)")
             .arg(entry.name)
             .arg(limits_.maxInflatedBytes >> 20));
  inflated_ += entry.size;
}

QByteArray ZipArchive::read(const ZipEntry &entry, std::uint64_t maxBytes) {
  if (entry.encrypted)
    fail(QStringLiteral("the part \"%1\" is encrypted inside the ZIP file").arg(entry.name));
  if (entry.method != kMethodStored && entry.method != kMethodDeflated)
    fail(QStringLiteral("the part \"%1\" is compressed with ZIP method %2, which a presentation "
                        "does not use")
             .arg(entry.name)
             .arg(entry.method));
  if (entry.size > maxBytes)
    fail(QStringLiteral("the part \"%1\" is too large (%2 bytes; at most %3 are read)")
             .arg(entry.name)
             .arg(entry.size)
             .arg(maxBytes));
  chargeInflation(entry);
  if (recovered_) return readRecoveredEntry(backend_->bytes, entry);

  std::unique_ptr<zip_file_t, FileCloser> file(
      zip_fopen_index(backend_->archive.get(), entry.index, 0));
  if (!file)
    fail(QStringLiteral("the part \"%1\" cannot be read (%2)")
             .arg(entry.name, QString::fromUtf8(zip_strerror(backend_->archive.get()))));
  QByteArray bytes(qsizetype(entry.size), Qt::Uninitialized);
  std::uint64_t got = 0;
  while (got < entry.size) {
    const zip_int64_t n = zip_fread(file.get(), bytes.data() + got, entry.size - got);
    if (n <= 0) break;
    got += std::uint64_t(n);
  }
  if (got != entry.size)
    fail(QStringLiteral("the file is damaged: the part \"%1\" cannot be read whole (%2)")
             .arg(entry.name, QString::fromUtf8(zip_file_strerror(file.get()))));
  return bytes;
}

}  // namespace office::pptx
