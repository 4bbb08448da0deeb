#include "platform/defaultapp.h"

// GIO's headers name a struct member "signals", which Qt defines as a keyword.
#undef signals
#include <gio/gio.h>

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace platform {
namespace {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

// True when `path` names a regular file; a symbolic link does not count.
bool isRegularFile(const QByteArray &path) {
  GObjectPtr<GFile> file(g_file_new_for_path(path.constData()));
  GObjectPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_TYPE,
                                               G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr,
                                               nullptr));
  return info && g_file_info_get_file_type(info.get()) == G_FILE_TYPE_REGULAR;
}

// The type the desktop gives a file of this name. The name decides, as it
// does for file associations: the content is not sniffed, since an empty
// file would always read as plain text.
GCharPtr contentTypeOfName(const QByteArray &path) {
  const QByteArray name = QFile::encodeName(QFileInfo(QFile::decodeName(path)).fileName());
  return GCharPtr(g_content_type_guess(name.constData(), nullptr, 0, nullptr));
}

// Full path of the program a desktop entry starts, or empty.
QString executablePath(GAppInfo *app) {
  const char *executable = g_app_info_get_executable(app);
  if (!executable || !*executable) return {};
  GCharPtr full(g_find_program_in_path(executable));
  return full ? QFile::decodeName(full.get()) : QString();
}

class GioDefaultApp final : public DefaultApp {
 public:
  DefaultAppAnswer executableFor(const QString &filePath) override {
    const QByteArray path = QFile::encodeName(filePath);
    if (!isRegularFile(path)) return {kLookupFileNotFound, {}};
    const GCharPtr type = contentTypeOfName(path);
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type.get(), FALSE));
    if (!app) return {kLookupNoAssociation, {}};
    const QString executable = executablePath(app.get());
    if (executable.isEmpty()) return {kLookupFileNotFound, {}};
    return {kLookupFound, executable};
  }
};

DefaultApp *replacementLookup = nullptr;

}  // namespace

DefaultApp &DefaultApp::current() {
  static GioDefaultApp desktop;
  return replacementLookup ? *replacementLookup : desktop;
}

void DefaultApp::replace(DefaultApp *replacement) { replacementLookup = replacement; }

}  // namespace platform
