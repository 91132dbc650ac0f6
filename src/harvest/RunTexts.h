#pragma once

#include "harvest/RunNews.h"

#include <QString>

namespace tess::harvest {

// A notice of the run as the window's status panel shows it.
QString runNoticeText(const RunNotice& notice);

} // namespace tess::harvest
