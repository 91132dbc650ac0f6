#include "FakeTrayProvider.h"

#include "components/tray/EantTaskbarIcon.h"
#include "components/tray/TantTaskbarIcon.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tess::components;
using namespace tess::components::testing;
using namespace tess::components::shell;
using Icon = TantTaskbarIcon;

namespace {

QString buttonName(Icon::TMouseButton b)
{
    return b == Icon::TMouseButton::mbLeft ? QStringLiteral("left") : QStringLiteral("right");
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        icon = std::make_unique<Icon>(fake);
        self = icon.get();
        icon->SetName(QStringLiteral("antTaskbarIcon1"));
    }

    // Every event appends to the provider's journal, so their order against
    // the system calls shows.
    void recordEvents()
    {
        QStringList& j = fake.journal;
        const auto mouse = [this, &j](const char* name) {
            return [this, &j, name](Icon* s, Icon::TMouseButton b, Icon::TShiftState sh, int x, int y) {
                EXPECT_EQ(s, self);
                j << QStringLiteral("%1 %2 shift=%3 %4,%5")
                         .arg(QLatin1String(name), buttonName(b))
                         .arg(int(sh))
                         .arg(x)
                         .arg(y);
            };
        };
        const auto notify = [this](const char* name) {
            return [this, name](Icon* s) {
                EXPECT_EQ(s, self);
                fake.journal << QLatin1String(name);
            };
        };
        icon->OnMouseDown = mouse("MouseDown");
        icon->OnMouseUp = mouse("MouseUp");
        icon->OnClick = notify("Click");
        icon->OnDblClick = notify("DblClick");
        icon->OnPopupMenu = notify("PopupMenu");
        icon->OnShow = notify("Show");
        icon->OnHide = notify("Hide");
    }

    QStringList take() { return std::exchange(fake.journal, {}); }

    FakeTrayProvider fake;
    std::unique_ptr<Icon> icon;
    Icon* self = nullptr;
};

const QString leftDown = QStringLiteral("MouseDown left shift=8 640,1010");
const QString leftUp = QStringLiteral("MouseUp left shift=8 640,1010");
const QString rightDown = QStringLiteral("MouseDown right shift=16 640,1010");
const QString rightUp = QStringLiteral("MouseUp right shift=16 640,1010");
const QString toApp = QStringLiteral("foreground:app");
const QString toHidden = QStringLiteral("foreground:hidden");

} // namespace

TEST_F(TrayIconTest, StartsHiddenAndQuietWithItsOwnWindow)
{
    EXPECT_EQ(icon->WindowHandle(), FakeTrayProvider::Hidden);
    EXPECT_EQ(icon->IconFlags(), NIF_MESSAGE | NIF_TIP);
    EXPECT_FALSE(icon->Visible());
    EXPECT_TRUE(icon->Enabled());
    EXPECT_EQ(icon->ImageIndex(), 0);
    EXPECT_EQ(icon->IconID(), 0);
    EXPECT_TRUE(icon->Hint().isEmpty());
    EXPECT_TRUE(icon->Icon().Empty());
    EXPECT_EQ(icon->PopupMenu(), nullptr);
    EXPECT_EQ(icon->ImageList(), nullptr);
    EXPECT_TRUE(fake.shellCalls.empty());

    // With nothing assigned, a full round of notices raises nothing and
    // fails nowhere; only the system calls remain.
    for (qintptr m : { WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP })
        fake.notify(m);
    EXPECT_EQ(take(), (QStringList { toApp, toHidden, toApp }));
}

TEST_F(TrayIconTest, LeftDoubleClickClicksOnceAndForegroundsTheProgramOnEachRelease)
{
    recordEvents();
    fake.notify(WM_LBUTTONDOWN);
    fake.notify(WM_LBUTTONUP);
    fake.notify(WM_LBUTTONDBLCLK);
    fake.notify(WM_LBUTTONUP);
    EXPECT_EQ(take(),
        (QStringList {
            leftDown, toApp, leftUp, QStringLiteral("Click"), QStringLiteral("DblClick"), toApp, leftUp }));
}

TEST_F(TrayIconTest, ShiftStateComesFromTheKeyboardAndPositionFromTheCursor)
{
    recordEvents();
    struct Case {
        bool shift, ctrl, alt;
        qintptr message;
        QString expected;
    };
    const Case cases[] = {
        { true, false, false, WM_LBUTTONDOWN, QStringLiteral("MouseDown left shift=9 -5,7") },
        { false, true, true, WM_LBUTTONUP, QStringLiteral("MouseUp left shift=14 -5,7") },
        { false, false, true, WM_RBUTTONDOWN, QStringLiteral("MouseDown right shift=18 -5,7") },
        { true, true, true, WM_RBUTTONUP, QStringLiteral("MouseUp right shift=23 -5,7") },
    };
    fake.cursor = { -5, 7 };
    for (const Case& c : cases) {
        fake.shiftDown = c.shift;
        fake.ctrlDown = c.ctrl;
        fake.altDown = c.alt;
        take();
        // The notice's own identifier parameter plays no part.
        TMessage m { WM_TRAYNOTIFY, 12345, c.message, 0 };
        fake.procedure(m);
        EXPECT_TRUE(fake.journal.contains(c.expected))
            << c.expected.toStdString() << " in " << fake.journal.join(u'|').toStdString();
    }
}

TEST_F(TrayIconTest, DisabledIconHandsEveryNoticeToDefaultProcessing)
{
    recordEvents();
    icon->SetEnabled(false);
    EXPECT_EQ(fake.notify(WM_LBUTTONDOWN), 4242);
    EXPECT_EQ(fake.notify(WM_RBUTTONUP), 4242);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("default:119 1025 9 513"), QStringLiteral("default:119 1025 9 517") }));

    // A release whose press went unseen is no click.
    icon->SetEnabled(true);
    fake.notify(WM_LBUTTONUP);
    EXPECT_EQ(take(), (QStringList { toApp, leftUp }));
}

TEST_F(TrayIconTest, OtherMessagesAndMouseActionsRaiseNothing)
{
    recordEvents();
    // Other window messages get the default answer as their result.
    EXPECT_EQ(fake.notify(WM_LBUTTONDOWN, WM_NULL), 4242);
    EXPECT_EQ(fake.notify(WM_LBUTTONDOWN, WM_USER), 4242);
    take();
    // Movement, middle button and right double-click leave the result alone.
    for (qintptr m : { WM_MOUSEMOVE, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_RBUTTONDBLCLK })
        EXPECT_EQ(fake.notify(m), -1);
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(TrayIconTest, RightClickShowsTheMenuBeforeTheRelease)
{
    recordEvents();
    fake.notify(WM_RBUTTONDOWN);
    fake.notify(WM_RBUTTONUP);
    EXPECT_EQ(take(), (QStringList { toHidden, rightDown, toApp, rightUp }));

    FakeMenu menu;
    icon->SetPopupMenu(&menu);
    fake.notify(WM_RBUTTONDOWN);
    fake.notify(WM_RBUTTONUP);
    EXPECT_EQ(take(),
        (QStringList { toHidden, rightDown, QStringLiteral("popup:640,1010"),
            QStringLiteral("post:119 0 0 0"), QStringLiteral("PopupMenu"), toApp, rightUp }));

    // Once the menu is gone from the owner, right clicks show nothing.
    FakeMenu other;
    icon->Notification(&other, Icon::TOperation::opRemove);
    icon->Notification(&menu, Icon::TOperation::opInsert);
    EXPECT_EQ(icon->PopupMenu(), &menu);
    icon->Notification(&menu, Icon::TOperation::opRemove);
    EXPECT_EQ(icon->PopupMenu(), nullptr);
    fake.notify(WM_RBUTTONUP);
    EXPECT_EQ(take(), (QStringList { toApp, rightUp }));
}

TEST_F(TrayIconTest, VisibleAddsAndDeletesOnlyOnChange)
{
    recordEvents();
    icon->SetIcon(fakeIcon(7));
    take();
    icon->SetVisible(true);
    icon->SetVisible(true);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:add id=0 flags=7 icon=7 tip="), QStringLiteral("Show") }));
    icon->SetVisible(false);
    icon->SetVisible(false);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:delete id=0 flags=5 icon=7 tip="), QStringLiteral("Hide") }));
}

TEST_F(TrayIconTest, IconIdRewriteReaddsAShownIconAndOnlyStoresForAHiddenOne)
{
    recordEvents();
    icon->SetVisible(true);
    take();
    icon->SetIconID(3);
    icon->SetIconID(3);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:delete id=0 flags=5 icon=0 tip="), QStringLiteral("Hide"),
            QStringLiteral("shell:add id=3 flags=7 icon=0 tip="), QStringLiteral("Show") }));

    icon->SetVisible(false);
    take();
    icon->SetIconID(-2);
    EXPECT_TRUE(take().isEmpty());
    icon->Show();
    EXPECT_EQ(take(),
        (QStringList {
            QStringLiteral("shell:add id=4294967294 flags=7 icon=0 tip="), QStringLiteral("Show") }));
}

TEST_F(TrayIconTest, HintIsCutTo63BytesAndAlwaysUpdatesTheTip)
{
    const QByteArray gbk63 = QByteArray(61, 'a') + QByteArray("\xD6\xD0");
    struct Case {
        QByteArray written, readBack;
    };
    const Case cases[] = {
        { QByteArray(), QByteArray() },
        { gbk63, gbk63 },
        { QByteArray(70, 'h'), QByteArray(63, 'h') },
        { QByteArray(62, 'b') + QByteArray("\xD6\xD0"), QByteArray(62, 'b') + QByteArray("\xD6") },
    };
    for (const Case& c : cases) {
        fake.shellCalls.clear();
        icon->SetHint(c.written);
        EXPECT_EQ(icon->Hint(), c.readBack);
        ASSERT_EQ(fake.shellCalls.size(), 1u);
        EXPECT_EQ(fake.shellCalls[0].first, NIM_MODIFY);
        EXPECT_EQ(QByteArray(fake.shellCalls[0].second.szTip), c.readBack);
    }
}

TEST_F(TrayIconTest, RecordCarriesWindowCallbackIconAndFlags)
{
    icon->SetIcon(fakeIcon(31));
    icon->SetIconID(5);
    icon->SetHint("tip");
    icon->SetVisible(true);
    const TNotifyIconDataA& d = fake.shellCalls.back().second;
    EXPECT_EQ(fake.shellCalls.back().first, NIM_ADD);
    EXPECT_EQ(d.cbSize, 88u);
    EXPECT_EQ(d.hWnd, FakeTrayProvider::Hidden);
    EXPECT_EQ(d.uID, 5u);
    EXPECT_EQ(d.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(d.uCallbackMessage, 1025u);
    EXPECT_EQ(d.hIcon, 31u);
    EXPECT_STREQ(d.szTip, "tip");
}

TEST_F(TrayIconTest, IconIsCopiedAndImageListPicksByIndex)
{
    TIcon mine = fakeIcon(7);
    icon->SetIcon(mine);
    mine.Assign(nullptr);
    EXPECT_FALSE(icon->Icon().Empty());
    EXPECT_EQ(fake.shellCalls.back().second.hIcon, 7u);

    // Without a list the index is only kept.
    fake.shellCalls.clear();
    icon->SetImageIndex(3);
    EXPECT_TRUE(fake.shellCalls.empty());

    FakeImageList list(100);
    icon->SetImageList(&list);
    EXPECT_EQ(fake.shellCalls.back().second.hIcon, 103u);
    icon->SetImageIndex(1);
    EXPECT_EQ(fake.shellCalls.back().first, NIM_MODIFY);
    EXPECT_EQ(fake.shellCalls.back().second.hIcon, 101u);

    // A removed list is forgotten; the picture it gave stays.
    icon->Notification(&list, Icon::TOperation::opRemove);
    EXPECT_EQ(icon->ImageList(), nullptr);
    fake.shellCalls.clear();
    icon->SetImageIndex(2);
    EXPECT_TRUE(fake.shellCalls.empty());
    icon->UpDate();
    EXPECT_EQ(fake.shellCalls.back().second.hIcon, 101u);
}

TEST_F(TrayIconTest, LoadingAsTheMainWindowDoesShowsTwice)
{
    recordEvents();
    icon->SetIcon(fakeIcon(7));
    icon->SetVisible(true);
    icon->SetHint("Tess");
    icon->Loaded();
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:modify id=0 flags=5 icon=7 tip="),
            QStringLiteral("shell:add id=0 flags=7 icon=7 tip="), QStringLiteral("Show"),
            QStringLiteral("shell:modify id=0 flags=7 icon=7 tip=Tess"),
            QStringLiteral("shell:add id=0 flags=7 icon=7 tip=Tess"), QStringLiteral("Show") }));

    // A hidden icon stays hidden after loading.
    Icon quiet(fake);
    take();
    quiet.Loaded();
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(TrayIconTest, DestroyingAShownIconTakesItOutOfTheTray)
{
    recordEvents();
    icon->SetVisible(true);
    take();
    icon.reset();
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:delete id=0 flags=5 icon=0 tip="), QStringLiteral("Hide"),
            QStringLiteral("release:119") }));
}

TEST_F(TrayIconTest, ProviderFailuresBecomeTheComponentsOwnError)
{
    struct Case {
        const char* failing;
        std::function<void(Icon&)> act;
        const char* message;
    };
    const Case cases[] = {
        { "Shell", [](Icon& i) { i.SetVisible(true); }, "antTaskbarIcon1.AddToTaskbar failed" },
        { "IconHandle", [](Icon& i) { i.Show(); }, "antTaskbarIcon1.AddToTaskbar failed" },
        { "IconHandle", [](Icon& i) { i.SetHint("x"); }, "antTaskbarIcon1.UpDate failed" },
        { "Shell", [](Icon& i) { i.Hide(); }, "antTaskbarIcon1.DeleteFromTaskbar failed" },
    };
    for (const Case& c : cases) {
        FakeTrayProvider provider;
        Icon i(provider);
        i.SetName(QStringLiteral("antTaskbarIcon1"));
        int shows = 0;
        i.OnShow = [&](Icon*) { ++shows; };
        provider.failing = QLatin1String(c.failing);
        try {
            c.act(i);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const EantTaskbarIcon& e) {
            EXPECT_EQ(e.message(), QLatin1String(c.message));
        }
        EXPECT_EQ(shows, 0) << c.message;
    }

    // A failed add keeps NIF_ICON and, when the Visible write started it, Visible.
    fake.failing = QStringLiteral("Shell");
    EXPECT_THROW(icon->SetVisible(true), EantTaskbarIcon);
    EXPECT_TRUE(icon->IconFlags() & NIF_ICON);
    EXPECT_TRUE(icon->Visible());

    // Nor does a failing delete escape destruction; the window still goes.
    icon.reset();
    EXPECT_TRUE(fake.windowReleased);
}
