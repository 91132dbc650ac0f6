#pragma once

#include "ui/SecondaryWindow.h"

class QLabel;
class QPushButton;

namespace tess::components {
class TcwHyperLink;
}

namespace tess::tools {

class BevelPanel;

// The About window: logo, product name, version and three links. Created
// once; each showing shows the same window, so visited links stay visited.
class TForm2 final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    static inline const QString LogoPicture = QStringLiteral(":/about/logo.jpg");
    static inline const QString CreditPicture = QStringLiteral(":/about/credit.jpg");

    // Throws JpegError if a picture shipped with the program cannot be
    // decoded (a broken build, not something a user can cause).
    explicit TForm2(QWidget* parent = nullptr);

public slots:
    // Closes the window, which ends a modal showing.
    void OKButtonClick();

private:
    BevelPanel* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Image1;
    components::TcwHyperLink* cwHyperLink1;
    components::TcwHyperLink* cwHyperLink3;
    components::TcwHyperLink* cwHyperLink2;
    QPushButton* OKButton;
};

} // namespace tess::tools
