#include "components/tray/qt/QtTaskbarIcon.h"

#include "text/Gbk.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace tess::components;
using Icon = TaskbarIcon;

namespace {

QIcon redSquare()
{
    QPixmap p(16, 16);
    p.fill(Qt::red);
    return QIcon(p);
}

// A menu that notes its showing in `journal` and closes itself soon after.
std::unique_ptr<QMenu> selfClosingMenu(QStringList& journal)
{
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("退出"));
    QObject::connect(menu.get(), &QMenu::aboutToShow, [&journal] {
        journal << QStringLiteral("menu shown");
        // The menu's own loop runs until something closes it.
        QTimer::singleShot(20, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
    });
    return menu;
}

// Every mouse event of the icon goes to `journal`.
void recordEvents(Icon& icon, QStringList& journal)
{
    const auto mouse = [&journal](const char* name) {
        return [&journal, name](Icon*, Icon::MouseButton b, Icon::ShiftState, int, int) {
            journal << QStringLiteral("%1 %2").arg(QLatin1String(name),
                b == Icon::MouseButton::Left ? QStringLiteral("left") : QStringLiteral("right"));
        };
    };
    const auto notify = [&journal](const char* name) {
        return [&journal, name](Icon*) { journal << QLatin1String(name); };
    };
    icon.onMouseDown = mouse("MouseDown");
    icon.onMouseUp = mouse("MouseUp");
    icon.onClick = notify("Click");
    icon.onDoubleClick = notify("DblClick");
    icon.onPopupMenu = notify("PopupMenu");
}

QStringList listOf(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* i : items)
        list << QString::fromUtf8(i);
    return list;
}

} // namespace

// The main window's setup, on a desktop without a tray: the component keeps
// its state, every activation Qt can report comes out as the shell's mouse
// notices in their usual order, and the menu pops up and closes like any
// other.
TEST(QtTray, WorksWithoutATrayAndTranslatesActivations)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this desktop has a tray; the test is about a desktop without one";

    QStringList journal;
    std::unique_ptr<QMenu> menu = selfClosingMenu(journal);
    auto icon = std::make_unique<QtTaskbarIcon>();
    icon->setName(QStringLiteral("antTaskbarIcon1"));
    icon->setIcon(redSquare());
    icon->setVisible(true);
    icon->setHint(tess::text::toGbk(u"『Tessaroon』V2.0 "));
    icon->setPopupMenu(menu.get());
    icon->loaded();
    recordEvents(*icon, journal);

    QtTrayProvider& provider = icon->trayProvider();
    QSystemTrayIcon* tray = provider.trayIcon(icon->windowHandle(), 0);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("『Tessaroon』V2.0 "));
    EXPECT_FALSE(tray->icon().isNull());

    const auto activate = [&](QSystemTrayIcon::ActivationReason reason) {
        journal.clear();
        provider.translateActivation(icon->windowHandle(), 0, reason);
        QCoreApplication::processEvents(); // the posted null message
        return journal;
    };
    EXPECT_EQ(activate(QSystemTrayIcon::Trigger), listOf({ "MouseDown left", "MouseUp left", "Click" }));
    EXPECT_EQ(activate(QSystemTrayIcon::DoubleClick), listOf({ "DblClick", "MouseUp left" }));
    EXPECT_EQ(activate(QSystemTrayIcon::Context),
        listOf({ "MouseDown right", "menu shown", "PopupMenu", "MouseUp right" }));
    EXPECT_EQ(activate(QSystemTrayIcon::MiddleClick), listOf({}));
    EXPECT_EQ(activate(QSystemTrayIcon::Unknown), listOf({}));

    // A menu freed first is no longer offered.
    menu.reset();
    EXPECT_EQ(icon->popupMenu(), nullptr);
    EXPECT_EQ(activate(QSystemTrayIcon::Context), listOf({ "MouseDown right", "MouseUp right" }));

    // A tip cut inside a double-byte character loses the half, not shows it.
    icon->setHint(QByteArray(62, 'b') + tess::text::toGbk(u"中"));
    EXPECT_EQ(tray->toolTip(), QString(62, u'b'));

    icon->setVisible(false);
    EXPECT_EQ(provider.trayIcon(icon->windowHandle(), 0), nullptr);
    icon.reset();
    QCoreApplication::processEvents();
}
