#pragma once

#include "ui/SecondaryWindow.h"

class QToolButton;

namespace tess::browser {

class BrowserProfile;

// The small window that empties the embedded browser's history and cache
// behind one button. Nothing is reported, neither success nor failure.
class Tdelform final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    // `profile` is not owned and must outlive the window.
    explicit Tdelform(BrowserProfile& profile, QWidget* parent = nullptr);

public slots:
    // SpeedButton4's click: history, then cache.
    void N3Click();

private:
    BrowserProfile& m_profile;
    QToolButton* SpeedButton4;
};

} // namespace tess::browser
