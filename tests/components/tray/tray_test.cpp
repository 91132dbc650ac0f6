#include "FakeTrayProvider.h"

#include "components/tray/TaskbarIcon.h"
#include "components/tray/TaskbarIconError.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tess::components;
using namespace tess::components::testing;
using namespace tess::components::shell;
using Icon = TaskbarIcon;

namespace {

QString buttonName(Icon::MouseButton b)
{
    return b == Icon::MouseButton::Left ? QStringLiteral("left") : QStringLiteral("right");
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_icon = std::make_unique<Icon>(m_fake);
        m_self = m_icon.get();
        m_icon->setName(QStringLiteral("antTaskbarIcon1"));
    }

    // Every event appends to the provider's journal, so their order against
    // the system calls shows.
    void recordEvents()
    {
        QStringList& j = m_fake.journal;
        const auto mouse = [this, &j](const char* name) {
            return [this, &j, name](Icon* s, Icon::MouseButton b, Icon::ShiftState sh, int x, int y) {
                EXPECT_EQ(s, m_self);
                j << QStringLiteral("%1 %2 shift=%3 %4,%5")
                         .arg(QLatin1String(name), buttonName(b))
                         .arg(int(sh))
                         .arg(x)
                         .arg(y);
            };
        };
        const auto notify = [this](const char* name) {
            return [this, name](Icon* s) {
                EXPECT_EQ(s, m_self);
                m_fake.journal << QLatin1String(name);
            };
        };
        m_icon->onMouseDown = mouse("MouseDown");
        m_icon->onMouseUp = mouse("MouseUp");
        m_icon->onClick = notify("Click");
        m_icon->onDoubleClick = notify("DblClick");
        m_icon->onPopupMenu = notify("PopupMenu");
        m_icon->onShow = notify("Show");
        m_icon->onHide = notify("Hide");
    }

    QStringList take() { return std::exchange(m_fake.journal, {}); }

    FakeTrayProvider m_fake;
    std::unique_ptr<Icon> m_icon;
    Icon* m_self = nullptr;
};

const QString kLeftDown = QStringLiteral("MouseDown left shift=8 640,1010");
const QString kLeftUp = QStringLiteral("MouseUp left shift=8 640,1010");
const QString kRightDown = QStringLiteral("MouseDown right shift=16 640,1010");
const QString kRightUp = QStringLiteral("MouseUp right shift=16 640,1010");
const QString kToApp = QStringLiteral("foreground:app");
const QString kToHidden = QStringLiteral("foreground:hidden");

} // namespace

TEST_F(TrayIconTest, StartsHiddenAndQuietWithItsOwnWindow)
{
    EXPECT_EQ(m_icon->windowHandle(), FakeTrayProvider::kHiddenWindow);
    EXPECT_EQ(m_icon->iconFlags(), kNifMessage | kNifTip);
    EXPECT_FALSE(m_icon->isVisible());
    EXPECT_TRUE(m_icon->isEnabled());
    EXPECT_EQ(m_icon->imageIndex(), 0);
    EXPECT_EQ(m_icon->iconId(), 0);
    EXPECT_TRUE(m_icon->hint().isEmpty());
    EXPECT_TRUE(m_icon->icon().isEmpty());
    EXPECT_EQ(m_icon->popupMenu(), nullptr);
    EXPECT_EQ(m_icon->imageList(), nullptr);
    EXPECT_TRUE(m_fake.shellCalls.empty());

    // With nothing assigned, a full round of notices raises nothing and
    // fails nowhere; only the system calls remain.
    for (qintptr m : { kWmLButtonDown, kWmLButtonUp, kWmLButtonDblClk, kWmRButtonDown, kWmRButtonUp })
        m_fake.notify(m);
    EXPECT_EQ(take(), (QStringList { kToApp, kToHidden, kToApp }));
}

TEST_F(TrayIconTest, LeftDoubleClickClicksOnceAndForegroundsTheProgramOnEachRelease)
{
    recordEvents();
    m_fake.notify(kWmLButtonDown);
    m_fake.notify(kWmLButtonUp);
    m_fake.notify(kWmLButtonDblClk);
    m_fake.notify(kWmLButtonUp);
    EXPECT_EQ(take(),
        (QStringList { kLeftDown, kToApp, kLeftUp, QStringLiteral("Click"), QStringLiteral("DblClick"),
            kToApp, kLeftUp }));
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
        { true, false, false, kWmLButtonDown, QStringLiteral("MouseDown left shift=9 -5,7") },
        { false, true, true, kWmLButtonUp, QStringLiteral("MouseUp left shift=14 -5,7") },
        { false, false, true, kWmRButtonDown, QStringLiteral("MouseDown right shift=18 -5,7") },
        { true, true, true, kWmRButtonUp, QStringLiteral("MouseUp right shift=23 -5,7") },
    };
    m_fake.cursor = { -5, 7 };
    for (const Case& c : cases) {
        m_fake.shiftDown = c.shift;
        m_fake.ctrlDown = c.ctrl;
        m_fake.altDown = c.alt;
        take();
        // The notice's own identifier parameter plays no part.
        WindowMessage m { kWmTrayNotify, 12345, c.message, 0 };
        m_fake.procedure(m);
        EXPECT_TRUE(m_fake.journal.contains(c.expected))
            << c.expected.toStdString() << " in " << m_fake.journal.join(u'|').toStdString();
    }
}

TEST_F(TrayIconTest, DisabledIconHandsEveryNoticeToDefaultProcessing)
{
    recordEvents();
    m_icon->setEnabled(false);
    EXPECT_EQ(m_fake.notify(kWmLButtonDown), 4242);
    EXPECT_EQ(m_fake.notify(kWmRButtonUp), 4242);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("default:119 1025 9 513"), QStringLiteral("default:119 1025 9 517") }));

    // A release whose press went unseen is no click.
    m_icon->setEnabled(true);
    m_fake.notify(kWmLButtonUp);
    EXPECT_EQ(take(), (QStringList { kToApp, kLeftUp }));
}

TEST_F(TrayIconTest, OtherMessagesAndMouseActionsRaiseNothing)
{
    recordEvents();
    // Other window messages get the default answer as their result.
    EXPECT_EQ(m_fake.notify(kWmLButtonDown, kWmNull), 4242);
    EXPECT_EQ(m_fake.notify(kWmLButtonDown, kWmUser), 4242);
    take();
    // Movement, middle button and right double-click leave the result alone.
    for (qintptr m : { kWmMouseMove, kWmMButtonDown, kWmMButtonUp, kWmRButtonDblClk })
        EXPECT_EQ(m_fake.notify(m), -1);
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(TrayIconTest, RightClickShowsTheMenuBeforeTheRelease)
{
    recordEvents();
    m_fake.notify(kWmRButtonDown);
    m_fake.notify(kWmRButtonUp);
    EXPECT_EQ(take(), (QStringList { kToHidden, kRightDown, kToApp, kRightUp }));

    FakeMenu menu;
    m_icon->setPopupMenu(&menu);
    m_fake.notify(kWmRButtonDown);
    m_fake.notify(kWmRButtonUp);
    EXPECT_EQ(take(),
        (QStringList { kToHidden, kRightDown, QStringLiteral("popup:640,1010"),
            QStringLiteral("post:119 0 0 0"), QStringLiteral("PopupMenu"), kToApp, kRightUp }));

    // Once the menu is gone from the owner, right clicks show nothing.
    FakeMenu other;
    m_icon->notification(&other, Icon::ComponentOperation::Remove);
    m_icon->notification(&menu, Icon::ComponentOperation::Insert);
    EXPECT_EQ(m_icon->popupMenu(), &menu);
    m_icon->notification(&menu, Icon::ComponentOperation::Remove);
    EXPECT_EQ(m_icon->popupMenu(), nullptr);
    m_fake.notify(kWmRButtonUp);
    EXPECT_EQ(take(), (QStringList { kToApp, kRightUp }));
}

TEST_F(TrayIconTest, VisibleAddsAndDeletesOnlyOnChange)
{
    recordEvents();
    m_icon->setIcon(fakeIcon(7));
    take();
    m_icon->setVisible(true);
    m_icon->setVisible(true);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:add id=0 flags=7 icon=7 tip="), QStringLiteral("Show") }));
    m_icon->setVisible(false);
    m_icon->setVisible(false);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:delete id=0 flags=5 icon=7 tip="), QStringLiteral("Hide") }));
}

TEST_F(TrayIconTest, IconIdRewriteReaddsAShownIconAndOnlyStoresForAHiddenOne)
{
    recordEvents();
    m_icon->setVisible(true);
    take();
    m_icon->setIconId(3);
    m_icon->setIconId(3);
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:delete id=0 flags=5 icon=0 tip="), QStringLiteral("Hide"),
            QStringLiteral("shell:add id=3 flags=7 icon=0 tip="), QStringLiteral("Show") }));

    m_icon->setVisible(false);
    take();
    m_icon->setIconId(-2);
    EXPECT_TRUE(take().isEmpty());
    m_icon->show();
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
        m_fake.shellCalls.clear();
        m_icon->setHint(c.written);
        EXPECT_EQ(m_icon->hint(), c.readBack);
        ASSERT_EQ(m_fake.shellCalls.size(), 1u);
        EXPECT_EQ(m_fake.shellCalls[0].first, kNimModify);
        EXPECT_EQ(QByteArray(m_fake.shellCalls[0].second.tip), c.readBack);
    }
}

TEST_F(TrayIconTest, RecordCarriesWindowCallbackIconAndFlags)
{
    m_icon->setIcon(fakeIcon(31));
    m_icon->setIconId(5);
    m_icon->setHint("tip");
    m_icon->setVisible(true);
    const NotifyIconRecord& d = m_fake.shellCalls.back().second;
    EXPECT_EQ(m_fake.shellCalls.back().first, kNimAdd);
    EXPECT_EQ(d.size, 88u);
    EXPECT_EQ(d.window, FakeTrayProvider::kHiddenWindow);
    EXPECT_EQ(d.id, 5u);
    EXPECT_EQ(d.flags, kNifMessage | kNifIcon | kNifTip);
    EXPECT_EQ(d.callbackMessage, 1025u);
    EXPECT_EQ(d.icon, 31u);
    EXPECT_STREQ(d.tip, "tip");
}

TEST_F(TrayIconTest, IconIsCopiedAndImageListPicksByIndex)
{
    IconPicture mine = fakeIcon(7);
    m_icon->setIcon(mine);
    mine.assign(nullptr);
    EXPECT_FALSE(m_icon->icon().isEmpty());
    EXPECT_EQ(m_fake.shellCalls.back().second.icon, 7u);

    // Without a list the index is only kept.
    m_fake.shellCalls.clear();
    m_icon->setImageIndex(3);
    EXPECT_TRUE(m_fake.shellCalls.empty());

    FakeImageList list(100);
    m_icon->setImageList(&list);
    EXPECT_EQ(m_fake.shellCalls.back().second.icon, 103u);
    m_icon->setImageIndex(1);
    EXPECT_EQ(m_fake.shellCalls.back().first, kNimModify);
    EXPECT_EQ(m_fake.shellCalls.back().second.icon, 101u);

    // A removed list is forgotten; the picture it gave stays.
    m_icon->notification(&list, Icon::ComponentOperation::Remove);
    EXPECT_EQ(m_icon->imageList(), nullptr);
    m_fake.shellCalls.clear();
    m_icon->setImageIndex(2);
    EXPECT_TRUE(m_fake.shellCalls.empty());
    m_icon->update();
    EXPECT_EQ(m_fake.shellCalls.back().second.icon, 101u);
}

TEST_F(TrayIconTest, LoadingAsTheMainWindowDoesShowsTwice)
{
    recordEvents();
    m_icon->setIcon(fakeIcon(7));
    m_icon->setVisible(true);
    m_icon->setHint("Tess");
    m_icon->loaded();
    EXPECT_EQ(take(),
        (QStringList { QStringLiteral("shell:modify id=0 flags=5 icon=7 tip="),
            QStringLiteral("shell:add id=0 flags=7 icon=7 tip="), QStringLiteral("Show"),
            QStringLiteral("shell:modify id=0 flags=7 icon=7 tip=Tess"),
            QStringLiteral("shell:add id=0 flags=7 icon=7 tip=Tess"), QStringLiteral("Show") }));

    // A hidden icon stays hidden after loading.
    Icon quiet(m_fake);
    take();
    quiet.loaded();
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(TrayIconTest, DestroyingAShownIconTakesItOutOfTheTray)
{
    recordEvents();
    m_icon->setVisible(true);
    take();
    m_icon.reset();
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
        { "Shell", [](Icon& i) { i.setVisible(true); }, "antTaskbarIcon1.AddToTaskbar failed" },
        { "iconHandle", [](Icon& i) { i.show(); }, "antTaskbarIcon1.AddToTaskbar failed" },
        { "iconHandle", [](Icon& i) { i.setHint("x"); }, "antTaskbarIcon1.UpDate failed" },
        { "Shell", [](Icon& i) { i.hide(); }, "antTaskbarIcon1.DeleteFromTaskbar failed" },
    };
    for (const Case& c : cases) {
        FakeTrayProvider provider;
        Icon i(provider);
        i.setName(QStringLiteral("antTaskbarIcon1"));
        int shows = 0;
        i.onShow = [&](Icon*) { ++shows; };
        provider.failing = QLatin1String(c.failing);
        try {
            c.act(i);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const TaskbarIconError& e) {
            EXPECT_EQ(e.message(), QLatin1String(c.message));
        }
        EXPECT_EQ(shows, 0) << c.message;
    }

    // A failed add keeps kNifIcon and, when setVisible started it, the visible state.
    m_fake.failing = QStringLiteral("Shell");
    EXPECT_THROW(m_icon->setVisible(true), TaskbarIconError);
    EXPECT_TRUE(m_icon->iconFlags() & kNifIcon);
    EXPECT_TRUE(m_icon->isVisible());

    // Nor does a failing delete escape destruction; the window still goes.
    m_icon.reset();
    EXPECT_TRUE(m_fake.windowReleased);
}
