#pragma once

#include "ui/SecondaryWindow.h"

class QLabel;
class QPushButton;

namespace tess::components {
class HyperlinkLabel;
}

namespace tess::tools {

class BevelPanel;

// The About window: logo, product name, version and three links. Created
// once; each showing shows the same window, so visited links stay visited.
class AboutWindow final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    static inline const QString kLogoPicture = QStringLiteral(":/about/logo.jpg");
    static inline const QString kCreditPicture = QStringLiteral(":/about/credit.jpg");

    // Throws JpegError if a picture shipped with the program cannot be
    // decoded (a broken build, not something a user can cause).
    explicit AboutWindow(QWidget* parent = nullptr);

public slots:
    // Closes the window, which ends a modal showing.
    void closeWindow();

private:
    BevelPanel* m_panel;
    QLabel* m_logo;
    QLabel* m_productName;
    QLabel* m_version;
    QLabel* m_creditPicture;
    components::HyperlinkLabel* m_homePageLink;
    components::HyperlinkLabel* m_downloadLink;
    components::HyperlinkLabel* m_contactLink;
    QPushButton* m_okButton;
};

} // namespace tess::tools
