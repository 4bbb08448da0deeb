#pragma once

// Opens a web address in the program the desktop has registered for HTML
// documents: finds that program by asking which one would open an empty probe
// file "dummy.html", then starts it detached with the address as its only
// argument.

#include <QString>
#include <cstdint>

namespace mOpenURL {

// True when a browser process was started for `address`.
bool OpenURL(const QString &address);

// Full path of the program registered for ".html" files, or empty. `code`
// receives the lookup's result: above 32 on success, 32 or less on failure.
QString FindBrowserPath(std::int32_t &code);

// The user's temporary folder with its trailing separator.
QString GetTempFolder();

// `text` up to its first NUL character, or all of it when it holds none.
QString CutAtNull(const QString &text);

}  // namespace mOpenURL
