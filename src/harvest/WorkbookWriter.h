#pragma once

#include "harvest/HarvestedRow.h"
#include "harvest/RowFormats.h"

#include <QString>

namespace tess::harvest {

// Saves `rows` as an Excel workbook (xlsx) of one sheet, replacing the file
// at `path` whole (io::replaceFile): the header row stays in view, an
// autofilter covers the rows, the columns are as wide as their content
// (a CJK character counts two, up to a cap), addresses are hyperlinks as
// far as a sheet allows them, page and rank are numbers and the time a
// date cell. Throws text::AppError with the writer's reason when the
// workbook cannot be made; the old file then stays as it was.
void saveWorkbook(const QString& path, const RowColumns& columns, const HarvestedRows& rows);

} // namespace tess::harvest
