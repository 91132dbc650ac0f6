#pragma once

#include "text/Errors.h"

#include <QString>

#include <cstring>

namespace tess::test {

// The message of the program's error that `f` raises, or "<no error>".
template <typename F> QString errorOf(F&& f)
{
    try {
        f();
    } catch (const text::AppError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// The system's words for an errno value, as the program's messages carry them.
inline QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace tess::test
