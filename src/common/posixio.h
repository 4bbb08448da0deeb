#pragma once

// Plain POSIX reading and writing that goes on after an interrupted call
// (a signal handler installed with SA_RESTART does not restart everything),
// and a look at a file's first bytes that gives a user the system's reason
// when it fails.

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace morvane {

// Reads up to size bytes; 0 at the end of the file, -1 on an error.
ssize_t readSome(int fd, char *buffer, std::size_t size);
// Reads exactly size bytes; false at an early end or an error.
bool readFully(int fd, char *buffer, std::size_t size);
// Writes all size bytes; false on an error (errno tells which).
bool writeAll(int fd, const char *data, std::size_t size);

// The first count bytes of the file at path (fewer when it is shorter).
// Throws morvane::Error with a reason without the file name: it does not
// exist, cannot be read (and why), is a folder or not a regular file. Named
// pipes and devices are never read.
QByteArray readFileHead(const QString &path, std::size_t count);

}  // namespace morvane
