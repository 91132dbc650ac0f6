#pragma once

#include <QString>

#include <optional>

namespace tess::tools {

// A size as the command line takes it: a whole number of bytes, or with a
// K, M, G or T (binary multiples, "512M", "4G"; a trailing B or iB is
// allowed). Nothing for anything else, for 0 and for sizes past 2^62.
std::optional<qint64> parseMemorySize(const QString& text);

// The merge's memory budget when none is given: half of the physical
// memory, so the merge of a large list leaves room for the desktop.
qint64 defaultMemoryBudget();

} // namespace tess::tools
