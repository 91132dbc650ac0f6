#include "browser/webengine/WebEngineBrowserProfile.h"

#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <stdexcept>

namespace tess::browser {
namespace {

QWebEngineProfile& existing(const QPointer<QWebEngineProfile>& profile)
{
    if (!profile)
        throw std::runtime_error("the browser profile no longer exists");
    return *profile;
}

} // namespace

WebEngineBrowserProfile::WebEngineBrowserProfile(
    QWebEngineProfile* profile, std::function<void()> clearPageHistory)
    : m_profile(profile)
    , m_clearPageHistory(std::move(clearPageHistory))
{
}

WebEngineBrowserProfile WebEngineBrowserProfile::forPage(QWebEnginePage* page)
{
    QPointer<QWebEnginePage> guard(page);
    return WebEngineBrowserProfile(page ? page->profile() : nullptr, [guard] {
        if (guard)
            guard->history()->clear();
    });
}

void WebEngineBrowserProfile::clearHistory()
{
    existing(m_profile).clearAllVisitedLinks();
    if (m_clearPageHistory)
        m_clearPageHistory();
}

void WebEngineBrowserProfile::clearCache() { existing(m_profile).clearHttpCache(); }

} // namespace tess::browser
