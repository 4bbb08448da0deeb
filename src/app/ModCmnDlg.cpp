#include "app/ModCmnDlg.h"

#include <QStringList>

#include "platform/opendialog.h"

namespace ModCmnDlg {

namespace {

// "a|b|c|d" → pairs (a, b), (c, d); an odd last entry is a pair without pattern.
QList<platform::FilterPair> filterPairs(const QString &filter) {
  QList<platform::FilterPair> pairs;
  if (filter.isEmpty()) return pairs;
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i < parts.size(); i += 2)
    pairs.append({parts.at(i), i + 1 < parts.size() ? parts.at(i + 1) : QString()});
  return pairs;
}

}  // namespace

void ShowOpenDialog() {
  platform::OpenDialogRequest request;
  request.owner = DialogOwner;
  request.title = DialogTitle;
  request.initialDir = DialogInitialDir;
  request.filters = filterPairs(DialogFilter);
  request.filterIndex = DialogFilterIndex;
  request.hideReadOnly = (DialogFlags & OFN_HIDEREADONLY) != 0;
  request.fileMustExist = (DialogFlags & OFN_FILEMUSTEXIST) != 0;
  const auto result = platform::showOpenDialog(request);
  if (!result) return;
  // File names here may begin or end with blanks, so the returned texts are
  // only cut at a NUL, never trimmed.
  DialogFileName = TrimAtNull(result->path);
  DialogFileTitle = TrimAtNull(result->fileTitle);
  DialogFilterIndex = result->filterIndex;
}

QString TrimAtNull(const QString &s) {
  const qsizetype p = s.indexOf(QChar(u'\0'));
  return p >= 0 ? s.left(p) : s;
}

}  // namespace ModCmnDlg
