#pragma once

#include "browser/BrowserProfile.h"

#include <QPointer>

#include <functional>

class QWebEnginePage;
class QWebEngineProfile;

namespace tess::browser {

// The embedded browser's stores: the visited links and HTTP cache of its
// profile, and the back/forward list of its page.
class WebEngineBrowserProfile final : public BrowserProfile {
public:
    // `clearPageHistory` empties the page's back/forward list; it may be
    // empty when no page is to be touched. The profile is not owned.
    WebEngineBrowserProfile(QWebEngineProfile* profile, std::function<void()> clearPageHistory);

    // The profile of `page` and the page's own history. The page is not
    // owned; once it is gone only the profile is cleared.
    static WebEngineBrowserProfile forPage(QWebEnginePage* page);

    // Throws std::runtime_error when the profile no longer exists.
    void clearHistory() override;
    // Asks the browser to drop its HTTP cache; it does so in the background.
    void clearCache() override;

private:
    QPointer<QWebEngineProfile> m_profile;
    std::function<void()> m_clearPageHistory;
};

} // namespace tess::browser
