#pragma once

// Closes whichever information windows are open and waits until they are gone.

#include <QPointer>
#include <QtTest>

#include "info/frmAbout.h"
#include "info/frmhelp.h"

inline void closeInfoWindows() {
  QPointer<frmAbout> about = frmAbout::instance();
  QPointer<frmhelp> help = frmhelp::instance();
  if (about) about->close();
  if (help) help->close();
  QTRY_VERIFY(about.isNull() && help.isNull());
}
