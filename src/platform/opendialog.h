#pragma once

// Seam to the desktop's file-open dialog. The real dialog is Qt's own; tests
// install a scripted stand-in with setOpenDialog().

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

struct FilterPair {
  QString description;  // shown to the user exactly as given
  QString pattern;      // "*.pps"; "*.*" means every file
};

struct OpenDialogRequest {
  QWidget *owner = nullptr;  // null: the dialog has no owner window
  QString title;             // empty: the toolkit's default caption
  QString initialDir;        // empty: the toolkit's default folder
  QList<FilterPair> filters;
  int filterIndex = 0;       // 1-based pair shown first; 0 shows the first pair
  bool hideReadOnly = true;  // no read-only check box
  bool fileMustExist = false;
};

struct OpenDialogResult {
  QString path;         // full path of the chosen file
  QString fileTitle;    // the bare file name
  int filterIndex = 1;  // 1-based pair that was showing on confirmation
};

using OpenDialog = std::function<std::optional<OpenDialogResult>(const OpenDialogRequest &)>;

// Shows the dialog; nothing on cancel or when the dialog cannot be shown.
std::optional<OpenDialogResult> showOpenDialog(const OpenDialogRequest &request);

// Replaces the dialog; an empty function restores Qt's dialog.
void setOpenDialog(OpenDialog dialog);

// The Qt name filter for one pair: the description stays what the user sees,
// the pattern is the one this platform's file names need.
QString qtNameFilter(const FilterPair &pair);

}  // namespace platform
