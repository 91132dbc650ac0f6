#pragma once

#include <QWidget>

namespace tess::tools {

// A panel in the window's colour framed by a lowered outer bevel and a
// raised inner one, one pixel each.
class BevelPanel final : public QWidget {
    Q_OBJECT
public:
    explicit BevelPanel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tess::tools
