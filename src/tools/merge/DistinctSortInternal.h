#pragma once

#include "tools/merge/DistinctSort.h"

// What sortDistinct offers beyond the program's needs, for the tests.
namespace tess::tools {

// Compact keys (LineCollation::compactKey) are read faster and sort alike;
// Plain is the way for orders without weight codes. sortDistinct(text,
// order) uses Compact.
enum class KeyForm { Compact, Plain };
DistinctLines sortDistinct(QByteArrayView text, const LineCollation& order, KeyForm form);

} // namespace tess::tools
