#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QMenu;

namespace tess::components {
class QtTaskbarIcon;
}

namespace tess::app {

// The main window's place in the desktop's tray: the icon with its menu
// (show, minimise, exit), the window hidden into the tray when it is
// minimised and the desktop has a tray to bring it back from, and brought
// back, maximised when it was, from the menu or a click on the icon.
class WindowTray final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowTray)

public:
    struct Options {
        // Whether the desktop has a tray now; empty: ask the desktop.
        std::function<bool()> trayAvailable;
        // The menu's exit entry.
        std::function<void()> quit;
    };

    // Watches `window`'s minimising; the icon is shown at once.
    WindowTray(QMainWindow& window, Options options);
    ~WindowTray() override;

    components::QtTaskbarIcon& icon() { return *m_icon; }
    bool available() const;

    // Brings the window back from the tray (the menu's show entry).
    void showFromTray();
    // Hides the window into the tray (the menu's minimise entry).
    void hideToTray();
    // Someone is needed at the window: out of the tray with a tray message
    // saying why, or up from the task bar, and to the front.
    void callForAttention(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void buildIcon();

    QMainWindow& m_window;
    Options m_options;
    QMenu* m_menu = nullptr;
    QAction* m_showAction = nullptr;
    QAction* m_hideAction = nullptr;
    QAction* m_exitAction = nullptr;
    std::unique_ptr<components::QtTaskbarIcon> m_icon;
    bool m_maximizedBeforeHiding = false;
};

} // namespace tess::app
