#include "browser/cleaner/ui/CleanerWindow.h"

#include "browser/cleaner/DelIECache.h"
#include "browser/cleaner/ui/CleanerGlyph.h"

#include <QToolButton>

namespace tess::browser {

Tdelform::Tdelform(BrowserProfile& profile, QWidget* parent)
    : ui::SecondaryWindow(parent)
    , m_profile(profile)
{
    setObjectName(QStringLiteral("delform"));
    setWindowTitle(QStringLiteral("清空IE历史数据"));
    resize(194, 84);

    SpeedButton4 = new QToolButton(this);
    SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    SpeedButton4->setGeometry(58, 20, 70, 37);
    SpeedButton4->setAutoRaise(true);
    SpeedButton4->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SpeedButton4->setIcon(QIcon(cleanerGlyph()));
    SpeedButton4->setIconSize(QSize(32, 32));
    SpeedButton4->setText(QStringLiteral("清理"));
    SpeedButton4->setToolTip(QStringLiteral("反馈改进意见"));
    connect(SpeedButton4, &QToolButton::clicked, this, &Tdelform::N3Click);
}

void Tdelform::N3Click() { clearHistoryThenCache(m_profile); }

} // namespace tess::browser
