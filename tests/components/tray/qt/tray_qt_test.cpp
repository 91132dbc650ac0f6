#include "components/tray/qt/QtTaskbarIcon.h"

#include "text/Gbk.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace tess::components;
using Icon = TantTaskbarIcon;

namespace {

QIcon redSquare()
{
    QPixmap p(16, 16);
    p.fill(Qt::red);
    return QIcon(p);
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
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("退出"));
    QObject::connect(menu.get(), &QMenu::aboutToShow, [&] {
        journal << QStringLiteral("menu shown");
        // The menu's own loop runs until something closes it.
        QTimer::singleShot(20, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
    });

    auto icon = std::make_unique<QtTaskbarIcon>();
    icon->SetName(QStringLiteral("antTaskbarIcon1"));
    icon->SetIcon(redSquare());
    icon->SetVisible(true);
    icon->SetHint(tess::text::toGbk(u"『Tessaroon』V2.0 "));
    icon->SetPopupMenu(menu.get());
    icon->Loaded();

    const auto mouse = [&](const char* name) {
        return [&journal, name](Icon*, Icon::TMouseButton b, Icon::TShiftState, int, int) {
            journal << QStringLiteral("%1 %2").arg(QLatin1String(name),
                b == Icon::TMouseButton::mbLeft ? QStringLiteral("left") : QStringLiteral("right"));
        };
    };
    const auto notify
        = [&](const char* name) { return [&journal, name](Icon*) { journal << QLatin1String(name); }; };
    icon->OnMouseDown = mouse("MouseDown");
    icon->OnMouseUp = mouse("MouseUp");
    icon->OnClick = notify("Click");
    icon->OnDblClick = notify("DblClick");
    icon->OnPopupMenu = notify("PopupMenu");

    QtTrayProvider& provider = icon->trayProvider();
    QSystemTrayIcon* tray = provider.trayIcon(icon->WindowHandle(), 0);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("『Tessaroon』V2.0 "));
    EXPECT_FALSE(tray->icon().isNull());

    const auto activate = [&](QSystemTrayIcon::ActivationReason reason) {
        journal.clear();
        provider.translateActivation(icon->WindowHandle(), 0, reason);
        QCoreApplication::processEvents(); // the posted null message
        return journal;
    };
    const auto L = [](std::initializer_list<const char*> items) {
        QStringList list;
        for (const char* i : items)
            list << QString::fromUtf8(i);
        return list;
    };
    EXPECT_EQ(activate(QSystemTrayIcon::Trigger), L({ "MouseDown left", "MouseUp left", "Click" }));
    EXPECT_EQ(activate(QSystemTrayIcon::DoubleClick), L({ "DblClick", "MouseUp left" }));
    EXPECT_EQ(activate(QSystemTrayIcon::Context),
        L({ "MouseDown right", "menu shown", "PopupMenu", "MouseUp right" }));
    EXPECT_EQ(activate(QSystemTrayIcon::MiddleClick), L({}));
    EXPECT_EQ(activate(QSystemTrayIcon::Unknown), L({}));

    // A menu freed first is no longer offered.
    menu.reset();
    EXPECT_EQ(icon->PopupMenu(), nullptr);
    EXPECT_EQ(activate(QSystemTrayIcon::Context), L({ "MouseDown right", "MouseUp right" }));

    // A tip cut inside a double-byte character loses the half, not shows it.
    icon->SetHint(QByteArray(62, 'b') + tess::text::toGbk(u"中"));
    EXPECT_EQ(tray->toolTip(), QString(62, u'b'));

    icon->SetVisible(false);
    EXPECT_EQ(provider.trayIcon(icon->WindowHandle(), 0), nullptr);
    icon.reset();
    QCoreApplication::processEvents();
}
