#pragma once

// The comments of a slide: the legacy comment part (p:cmLst, PowerPoint 2007
// to 2019) and the modern threaded comments (PowerPoint 365). Each comment
// is one text; a modern comment's replies follow its own text, each as a
// paragraph of its own, as one thread.

#include <QByteArray>
#include <QString>
#include <vector>

namespace office::pptx {

// Reads a comment part of either kind, in stored order.
std::vector<QString> readComments(const QByteArray &xml, const QString &partName);

}  // namespace office::pptx
