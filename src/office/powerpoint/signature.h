#pragma once

// A quick look at a file's first bytes, before anything copies or parses it:
// is it a kind of file that one of the presentation readers can open?

#include <QString>

namespace office::powerpoint {

// Throws morvane::Error with the reason (without the file name) unless path
// starts like an OLE2 compound file (PowerPoint 97-2003) or a ZIP package
// (PowerPoint 2007 and later). Missing, unreadable and special files get
// their own reason.
void checkSignature(const QString &path);

}  // namespace office::powerpoint
