#include "platform/opendialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "common/filenames.h"

namespace platform {

namespace {

OpenDialog &installedDialog() {
  static OpenDialog dialog;
  return dialog;
}

// "*.*" matches every file on Windows, also one without a dot; "*" is the
// pattern that does the same here.
QString patternForThisPlatform(const QString &pattern) {
  return pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern;
}

QStringList qtNameFilters(const QList<FilterPair> &filters) {
  QStringList names;
  for (const auto &pair : filters) names << qtNameFilter(pair);
  return names;
}

// The 1-based number of the pair the dialog showed; with the details hidden,
// Qt reports the bare description.
int chosenFilter(const QList<FilterPair> &filters, const QString &selected, int fallback) {
  for (qsizetype i = 0; i < filters.size(); ++i) {
    if (selected == filters.at(i).description || selected == qtNameFilter(filters.at(i)))
      return int(i) + 1;
  }
  return fallback;
}

// Qt's own (non-native) dialog: it behaves the same on every desktop, matches
// the patterns without regard to case, hides the patterns that we append to
// each description, and has no read-only check box.
std::optional<OpenDialogResult> showQtDialog(const OpenDialogRequest &request) {
  QFileDialog dialog(request.owner, request.title, request.initialDir);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  const QStringList names = qtNameFilters(request.filters);
  dialog.setNameFilters(names);
  const int shown =
      request.filterIndex >= 1 && request.filterIndex <= names.size() ? request.filterIndex : 1;
  if (!names.isEmpty()) dialog.selectNameFilter(names.at(shown - 1));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;

  OpenDialogResult result;
  // Qt lists a name that is not UTF-8 with U+FFFD for its bytes; the file's
  // real name is found again from the folder.
  result.path = morvane::recoverFileName(dialog.selectedFiles().constFirst());
  result.fileTitle = result.path.mid(result.path.lastIndexOf(QLatin1Char('/')) + 1);
  result.filterIndex = chosenFilter(request.filters, dialog.selectedNameFilter(), shown);
  return result;
}

}  // namespace

QString qtNameFilter(const FilterPair &pair) {
  return pair.description + QStringLiteral(" (") + patternForThisPlatform(pair.pattern) +
         QLatin1Char(')');
}

std::optional<OpenDialogResult> showOpenDialog(const OpenDialogRequest &request) {
  if (installedDialog()) return installedDialog()(request);
  return showQtDialog(request);
}

void setOpenDialog(OpenDialog dialog) { installedDialog() = std::move(dialog); }

}  // namespace platform
