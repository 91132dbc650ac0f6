#include "browser/cleaner/ui/CleanerWindow.h"

#include "browser/cleaner/ProfileCleaner.h"
#include "browser/cleaner/ui/CleanerGlyph.h"

#include <QToolButton>

namespace tess::browser {

CleanerWindow::CleanerWindow(BrowserProfile& profile, QWidget* parent)
    : ui::SecondaryWindow(parent)
    , m_profile(profile)
{
    setObjectName(QStringLiteral("delform"));
    setWindowTitle(QStringLiteral("清空IE历史数据"));
    resize(194, 84);

    m_cleanButton = new QToolButton(this);
    m_cleanButton->setObjectName(QStringLiteral("SpeedButton4"));
    m_cleanButton->setGeometry(58, 20, 70, 37);
    m_cleanButton->setAutoRaise(true);
    m_cleanButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_cleanButton->setIcon(QIcon(cleanerGlyph()));
    m_cleanButton->setIconSize(QSize(32, 32));
    m_cleanButton->setText(QStringLiteral("清理"));
    m_cleanButton->setToolTip(QStringLiteral("反馈改进意见"));
    connect(m_cleanButton, &QToolButton::clicked, this, &CleanerWindow::clearHistoryAndCache);
}

void CleanerWindow::clearHistoryAndCache() { clearHistoryThenCache(m_profile); }

} // namespace tess::browser
