#pragma once

// Seam to the desktop's file associations: which program opens a given file.
// The answer carries a result code in the manner of the classic shell lookup:
// above 32 on success, 32 or less on failure. Tests install a replacement.

#include <QString>
#include <cstdint>

namespace platform {

// Result codes of the lookup.
inline constexpr std::int32_t kLookupFound = 42;          // executable found
inline constexpr std::int32_t kLookupNoAssociation = 31;  // no program registered for the type
inline constexpr std::int32_t kLookupFileNotFound = 2;    // the file or the program is missing

struct DefaultAppAnswer {
  std::int32_t code = kLookupFileNotFound;
  QString executable;  // full path of the program; empty on failure
};

class DefaultApp {
 public:
  virtual ~DefaultApp() = default;
  // Which program the desktop would open the existing file `filePath` with.
  virtual DefaultAppAnswer executableFor(const QString &filePath) = 0;

  // The lookup in use: the desktop's (GIO), unless a replacement is installed.
  static DefaultApp &current();
  // Installs a replacement (not owned); nullptr puts the desktop's back.
  static void replace(DefaultApp *replacement);
};

}  // namespace platform
