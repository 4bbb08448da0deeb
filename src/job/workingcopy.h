#pragma once

// The job's working copy "popo.ppt" beside the source. A user's file is never
// destroyed: a source that is itself that file is worked on in place; a
// different file, folder or link of that name stops the job untouched; only a
// byte-identical leftover of an earlier job is replaced. The copy is created
// exclusively and without following a symbolic link. Every failure throws
// morvane::Error naming the file.

#include <QString>

namespace workingcopy {

enum class Made {
  NewCopy,  // a new file that the job deletes when it is done
  InPlace,  // the source itself: the job must neither overwrite nor delete it
};

// Checks that source is a readable file (the command line reads the source
// in place and makes no copy).
void checkSource(const QString &source);

// Checks that source is a readable file, then provides the working copy at
// copyPath.
Made make(const QString &source, const QString &copyPath);

// What is at path, without following a symbolic link.
enum class Kind { None, File, Folder, Link, Other };
Kind kindAt(const QString &path);

// Deletes a working copy that make() created.
void remove(const QString &copyPath);

}  // namespace workingcopy
