#pragma once

#include <QString>
#include <stdexcept>

namespace morvane {

// The one failure type of the program. Every failing operation throws it with
// a description a user can act on (naming the file where there is one); the
// end of a user command catches it and writes "Error: " + what() to the log.
class Error : public std::runtime_error {
 public:
  explicit Error(const QString &description) : std::runtime_error(description.toStdString()) {}
  QString description() const { return QString::fromStdString(what()); }
};

// A picture that cannot be read at all: missing from the file, or stored in
// a form of which nothing can be decoded. The job writes no file for it,
// notes it and goes on with the next picture.
class PictureError : public Error {
 public:
  using Error::Error;
};

}  // namespace morvane
