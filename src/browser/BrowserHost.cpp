#include "browser/BrowserHost.h"

namespace tess::browser {

QString BrowserHost::LinkHref(int i) const
{
    return i >= 0 && i < LinkCount() ? m_snapshot.links.at(i).href : QString();
}

QString BrowserHost::LinkText(int i) const
{
    return i >= 0 && i < LinkCount() ? m_snapshot.links.at(i).text : QString();
}

} // namespace tess::browser
