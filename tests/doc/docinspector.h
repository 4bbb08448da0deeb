#pragma once

// A strict reader of the Word 97-2003 documents the writer produces, for
// tests: it reads the compound file, the file information block, the piece
// table, the formatting pages, the style sheet, the font table, the section
// table, the associated strings, the CompObj stream and both property sets,
// and notes every broken rule of the format it checks as a problem.

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

namespace docinspect {

struct Paragraph {
  qsizetype start = 0;  // character positions; end is behind the mark
  qsizetype end = 0;
  int istd = 0;
  bool rightToLeft = false;
};

struct Run {
  qsizetype start = 0;
  qsizetype end = 0;
  int font = -1;  // index into the font table set by the run; -1: the style's
  bool rightToLeft = false;
  bool complexScript = false;
};

struct Style {
  bool empty = true;
  int sti = 0;
  int stk = 0;
  QString name;
  QByteArray paragraphProperties;  // grpprl of a paragraph style
  QByteArray characterProperties;  // grpprl
};

struct Document {
  QMap<QString, QByteArray> streams;
  QByteArray rootClsid;
  QString text;
  std::vector<Paragraph> paragraphs;
  std::vector<Run> runs;
  std::vector<Style> styles;
  int stiMaxWhenSaved = 0;
  QStringList fonts;
  QStringList associatedStrings;
  QStringList compObjStrings;  // user type, clipboard format, program id
  QString title;
  QString application;
  QDateTime created;
  QDateTime saved;
  QStringList problems;  // the rules the document breaks
};

Document inspect(const QByteArray &file);
Document inspectFile(const QString &path);

// Whether a grpprl holds the sprm, and its operand (first two bytes at most).
bool findSprm(const QByteArray &grpprl, quint16 sprm, int *operand = nullptr);

}  // namespace docinspect
