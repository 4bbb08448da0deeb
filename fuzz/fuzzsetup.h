#pragma once

// What every fuzz target sets up once, before its first input: an offscreen
// Qt GUI application (the players draw with QPainter and need one) and a
// folder for the outputs.

#include <QGuiApplication>
#include <QTemporaryDir>

namespace fuzzsetup {

inline QTemporaryDir &start(int *argc, char ***argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  static QTemporaryDir outputs;
  return outputs;
}

}  // namespace fuzzsetup
