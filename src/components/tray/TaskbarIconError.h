#pragma once

#include "text/Errors.h"

namespace tess::components {

// A failure of the tray icon itself; its message names the component and
// the operation, as in "antTaskbarIcon1.AddToTaskbar failed".
class TaskbarIconError : public text::AppError {
public:
    using AppError::AppError;
};

} // namespace tess::components
