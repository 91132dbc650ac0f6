#pragma once

#include <QStringList>

class QTextEdit;

namespace tess::tools {

// The lines of a text box as the box shows them: a line wider than the box
// wraps, and each wrapped piece is a line of its own. An empty last line
// (text ending in a line break, or an empty box) is not counted; an empty
// line elsewhere is the empty string. Nothing is trimmed.
QStringList displayLines(QTextEdit* box);

} // namespace tess::tools
