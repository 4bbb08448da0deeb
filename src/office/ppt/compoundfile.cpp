#include "office/ppt/compoundfile.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include "common/error.h"
#include "common/filenames.h"
#include "common/posixio.h"

namespace office::ppt {

namespace {

[[noreturn]] void fail(const QString &reason) { throw morvane::Error(reason); }

// Owns one GObject reference.
template <class T>
class GRef {
 public:
  GRef() = default;
  explicit GRef(T *object) : object_(object) {}
  GRef(const GRef &other) : object_(other.object_) {
    if (object_) g_object_ref(object_);
  }
  GRef &operator=(GRef other) {
    std::swap(object_, other.object_);
    return *this;
  }
  ~GRef() {
    if (object_) g_object_unref(object_);
  }
  T *get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T *object_ = nullptr;
};

void initGsfOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    // libgsf reports the damage it works around on stderr; our callers learn
    // of damage through the errors we throw instead.
    const auto quiet = [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {};
    const auto levels = GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL);
    g_log_set_handler("libgsf:msole", levels, quiet, nullptr);
    g_log_set_handler("libgsf", levels, quiet, nullptr);
    // Some of libgsf's messages carry no domain.
    g_log_set_handler(nullptr, levels, quiet, nullptr);
  });
}

// Reads the first bytes of path with plain POSIX calls, so that a missing or
// unreadable file gets its system reason.
QByteArray readSignature(const QString &path) { return morvane::readFileHead(path, 8); }

void checkSignature(const QByteArray &head) {
  static const char ole2[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  if (head.isEmpty()) fail(QStringLiteral("the file is empty"));
  if (head.startsWith(QByteArray("PK\x03\x04", 4)))
    fail(QStringLiteral(
        "the file is a PowerPoint 2007 or later presentation (.pptx) with a .ppt name; save it "
        "as PowerPoint 97-2003"));
  if (head.size() < 8 || std::memcmp(head.constData(), ole2, 8) != 0)
    fail(QStringLiteral(
        "the file is not a PowerPoint 97-2003 presentation (it is not an OLE2 compound file)"));
}

QString takeMessage(GError *error) {
  QString text =
      error && error->message ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
  if (error) g_error_free(error);
  return text;
}

// Random access to one stream of the compound file through libgsf.
class GsfStream : public RandomAccessStream {
 public:
  explicit GsfStream(GRef<GsfInput> input) : input_(std::move(input)) {}
  std::uint64_t size() const override { return std::uint64_t(gsf_input_size(input_.get())); }
  QByteArray read(std::uint64_t offset, std::uint32_t length) const override {
    if (offset > size() || length > size() - offset)
      morvane::throwDamaged(QStringLiteral("read outside the stream"), offset);
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (length == 0) return bytes;
    if (gsf_input_seek(input_.get(), gsf_off_t(offset), G_SEEK_SET) ||
        !gsf_input_read(input_.get(), length, reinterpret_cast<guint8 *>(bytes.data())))
      morvane::throwDamaged(QStringLiteral("unreadable stream data"), offset);
    return bytes;
  }

 private:
  GRef<GsfInput> input_;
};

}  // namespace

struct CompoundFile::Handles {
  explicit Handles(GsfInfile *infile) : root(infile), folder(root) {}
  GRef<GsfInfile> root;
  GRef<GsfInfile> folder;  // where streams are looked up
  gsf_off_t fileSize = 0;
};

CompoundFile::CompoundFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
CompoundFile::~CompoundFile() = default;

static std::unique_ptr<CompoundFile::Handles> openInfile(GsfInput *input) {
  const gsf_off_t fileSize = gsf_input_size(input);
  GError *error = nullptr;
  GsfInfile *root = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!root)
    fail(QStringLiteral("the file is damaged or truncated (the compound file cannot be read: %1)")
             .arg(takeMessage(error)));
  auto handles = std::make_unique<CompoundFile::Handles>(root);
  handles->fileSize = fileSize;
  return handles;
}

std::unique_ptr<CompoundFile> CompoundFile::open(const QString &path) {
  initGsfOnce();
  checkSignature(readSignature(path));
  GError *error = nullptr;
  GsfInput *input = gsf_input_stdio_new(morvane::fileNameBytes(path).constData(), &error);
  if (!input) fail(QStringLiteral("the file cannot be opened (%1)").arg(takeMessage(error)));
  return std::unique_ptr<CompoundFile>(new CompoundFile(openInfile(input)));
}

std::unique_ptr<CompoundFile> CompoundFile::fromMemory(const QByteArray &bytes) {
  initGsfOnce();
  checkSignature(bytes.left(8));
  GsfInput *owned = gsf_input_memory_new_clone(reinterpret_cast<const guint8 *>(bytes.constData()),
                                               gsf_off_t(bytes.size()));
  if (!owned) fail(QStringLiteral("the file cannot be read"));
  return std::unique_ptr<CompoundFile>(new CompoundFile(openInfile(owned)));
}

bool CompoundFile::enterStorage(const char *name) {
  GsfInput *child = gsf_infile_child_by_name(handles_->folder.get(), name);
  if (!child) return false;
  if (!GSF_IS_INFILE(child) || gsf_infile_num_children(GSF_INFILE(child)) < 0) {
    g_object_unref(child);
    return false;
  }
  handles_->folder = GRef<GsfInfile>(GSF_INFILE(child));
  return true;
}

bool CompoundFile::isListed(const char *name) const {
  GsfInfile *folder = handles_->folder.get();
  const int count = gsf_infile_num_children(folder);
  for (int i = 0; i < count; ++i) {
    const char *entry = gsf_infile_name_by_index(folder, i);
    if (entry && std::strcmp(entry, name) == 0) return true;
  }
  return false;
}

bool CompoundFile::looksTruncated() const {
  constexpr gsf_off_t kSector = 512;
  return handles_->fileSize % kSector != 0 || gsf_infile_num_children(handles_->folder.get()) <= 0;
}

bool CompoundFile::hasStream(const char *name) const { return openStream(name) != nullptr; }

std::shared_ptr<RandomAccessStream> CompoundFile::openStream(const char *name) const {
  GsfInput *child = gsf_infile_child_by_name(handles_->folder.get(), name);
  if (!child) return nullptr;
  // A storage of that name is not a stream.
  if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
    g_object_unref(child);
    return nullptr;
  }
  return std::make_shared<GsfStream>(GRef<GsfInput>(child));
}

QByteArray CompoundFile::readStream(const char *name, std::uint64_t maxSize) const {
  const auto stream = openStream(name);
  if (!stream)
    fail(QStringLiteral("the file is damaged or truncated (the stream \"%1\" cannot be read)")
             .arg(QLatin1String(name)));
  if (stream->size() > maxSize)
    fail(QStringLiteral("the file is too large to read (the stream \"%1\" holds %2 bytes)")
             .arg(QLatin1String(name))
             .arg(stream->size()));
  return stream->read(0, std::uint32_t(stream->size()));
}

}  // namespace office::ppt
