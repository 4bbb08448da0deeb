#pragma once

#include <QString>
#include <stdexcept>

namespace morvane {

// The one failure type of the program. Every failing operation throws it with
// a description a user can act on (naming the file where there is one); the
// end of a user command catches it and writes "Error: " + what() to the log.
//
// The description is kept as given: a file name that is not UTF-8 (see
// common/filenames.h) survives in it, which what()'s UTF-8 cannot carry.
class Error : public std::runtime_error {
 public:
  explicit Error(const QString &description)
      : std::runtime_error(description.toStdString()), description_(description) {}
  QString description() const { return description_; }

 private:
  QString description_;
};

// A picture that cannot be read at all: missing from the file, or stored in
// a form of which nothing can be decoded. The job writes no file for it,
// notes it and goes on with the next picture.
class PictureError : public Error {
 public:
  using Error::Error;
};

}  // namespace morvane
