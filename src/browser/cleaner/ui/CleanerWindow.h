#pragma once

#include "ui/SecondaryWindow.h"

class QToolButton;

namespace tess::browser {

class BrowserProfile;

// The small window that empties the embedded browser's history and cache
// behind one button. Nothing is reported, neither success nor failure.
class CleanerWindow final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    // `profile` is not owned and must outlive the window.
    explicit CleanerWindow(BrowserProfile& profile, QWidget* parent = nullptr);

public slots:
    // The clean button's click: history, then cache.
    void clearHistoryAndCache();

private:
    BrowserProfile& m_profile;
    QToolButton* m_cleanButton;
};

} // namespace tess::browser
