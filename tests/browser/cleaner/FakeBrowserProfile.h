#pragma once

#include "browser/BrowserProfile.h"

#include <QStringList>

#include <stdexcept>

namespace tess::test {

// Records the calls in order; either call can be made to throw.
class FakeBrowserProfile final : public browser::BrowserProfile {
public:
    QStringList calls;
    bool historyFails = false;
    bool cacheFails = false;

    void clearHistory() override
    {
        calls << QStringLiteral("history");
        if (historyFails)
            throw std::runtime_error("history store unavailable");
    }
    void clearCache() override
    {
        calls << QStringLiteral("cache");
        if (cacheFails)
            throw std::runtime_error("cache store unavailable");
    }
};

} // namespace tess::test
