// Menus: tables as RT_MENU resources, item states, and TrackPopupMenu by stylus and keys.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Recorder.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "user/WindowTest.h"

namespace {

using testing::ElementsAre;
using user::test::ModalInfo;
using user::test::ModalKind;
using user_test::Received;
using user_test::Recorder;

constexpr WORD kExplore = 32771;
constexpr WORD kAutomount = 32774;
constexpr WORD kClose = 32776;

const user::MenuEntry kContextMenu[] = {
    {0, 0, 0, u""},
    {1, 0, kExplore, u"Explore..."},
    {1, MF_SEPARATOR, 0, nullptr},
    {1, MF_CHECKED, kAutomount, u"Automount"},
    {1, MF_SEPARATOR, 0, nullptr},
    {1, 0, kClose, u"Close"},
};
const user::MenuTemplateBytes kMenuBytes(kContextMenu);
const kernel::ResourceEntry kResources[] = {
    {RT_MENU, MAKEINTRESOURCE(128), kMenuBytes.Data(), kMenuBytes.Size()}};
const kernel::ResourceTable kResourceTable(kResources);

class MenuTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Recorder::Clear();
        m_owner = Recorder::Create(WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
        user::test::RunUntilIdle();
        m_menu = LoadMenuW(nullptr, MAKEINTRESOURCE(128));
        ASSERT_NE(m_menu, nullptr);
        m_popup = GetSubMenu(m_menu, 0);
        ASSERT_NE(m_popup, nullptr);
        Recorder::Log().clear();
    }
    void TearDown() override {
        DestroyMenu(m_menu);
        DestroyWindow(m_owner);
        Recorder::Clear();
        WindowTest::TearDown();
    }
    std::vector<WPARAM> Commands() const {
        std::vector<WPARAM> out;
        for (const Received& r : Recorder::Log())
            if (r.hwnd == m_owner && r.message == WM_COMMAND)
                out.push_back(r.wParam);
        return out;
    }
    HWND m_owner = nullptr;
    HMENU m_menu = nullptr;
    HMENU m_popup = nullptr;
};

TEST_F(MenuTest, AMenuResourceLoadsWithItsItemsAndStates) {
    EXPECT_EQ(GetMenuItemCount(m_menu), 1);
    EXPECT_EQ(GetMenuItemCount(m_popup), 5);
    EXPECT_EQ(GetMenuItemID(m_popup, 0), kExplore);
    EXPECT_EQ(GetMenuState(m_popup, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuState(m_popup, kAutomount, MF_BYCOMMAND), static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(m_menu, 0, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | (5 << 8)));
    // By command, the submenus are searched too.
    EXPECT_EQ(CheckMenuItem(m_menu, kAutomount, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(m_popup, kAutomount, MF_BYCOMMAND), 0u);
    EXPECT_EQ(CheckMenuItem(m_popup, 9999, MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(EnableMenuItem(m_popup, kClose, MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(EnableMenuItem(m_popup, kClose, MF_ENABLED), MF_GRAYED);
    WCHAR text[32];
    EXPECT_EQ(GetMenuStringW(m_popup, kExplore, text, 32, MF_BYCOMMAND), 10);
    EXPECT_EQ(std::u16string(text), u"Explore...");
    // Menus made in code.
    HMENU made = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuW(made, MF_STRING, 7, u"Seven"));
    ASSERT_TRUE(AppendMenuW(made, MF_STRING | MF_GRAYED, 8, u"Eight"));
    EXPECT_EQ(GetMenuItemCount(made), 2);
    EXPECT_EQ(GetMenuState(made, 8, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_TRUE(DestroyMenu(made));
    SetLastError(0);
    EXPECT_EQ(GetMenuItemCount(made), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    // A template that ends in the middle of an item is refused.
    EXPECT_EQ(LoadMenuIndirectW(nullptr), nullptr);
}

TEST_F(MenuTest, ATapOnAnItemChoosesItAndPostsItsCommand) {
    user::test::OnNextModal(ModalKind::Menu, u"", [&](const ModalInfo&) {
        auto item = user::test::MenuItemRect(kClose);
        ASSERT_TRUE(item.has_value());
        // The menu opens at the point, kept on the screen.
        EXPECT_GE(item->left, 100);
        user::test::Tap(POINT{(item->left + item->right) / 2, (item->top + item->bottom) / 2});
        user::test::RunUntilIdle();
    });
    EXPECT_TRUE(TrackPopupMenu(m_popup, 0, 100, 120, 0, m_owner, nullptr));
    user::test::RunUntilIdle();
    EXPECT_THAT(Commands(), ElementsAre(MAKEWPARAM(kClose, 0)));
    EXPECT_THAT(Recorder::MessagesOf(m_owner, {WM_INITMENUPOPUP}), ElementsAre(WM_INITMENUPOPUP));
}

TEST_F(MenuTest, KeysMoveOverSeparatorsAndEnterChooses) {
    EnableMenuItem(m_popup, kAutomount, MF_GRAYED);
    user::test::OnNextModal(ModalKind::Menu, u"", [](const ModalInfo&) {
        user::test::PressKey(VK_DOWN); // Explore...
        user::test::PressKey(VK_DOWN); // Close: the separators and the grayed item are passed over
        user::test::PressKey(VK_RETURN, u'\r');
        user::test::RunUntilIdle();
    });
    EXPECT_EQ(TrackPopupMenu(m_popup, TPM_RETURNCMD, 10, 10, 0, m_owner, nullptr), kClose);
    user::test::RunUntilIdle();
    EXPECT_TRUE(Commands().empty()); // TPM_RETURNCMD returns it instead
}

TEST_F(MenuTest, EscapeATapOutsideOrAGrayedItemChoosesNothing) {
    EnableMenuItem(m_popup, kExplore, MF_GRAYED);
    user::test::OnNextModal(ModalKind::Menu, u"", [](const ModalInfo&) {
        user::test::PressKey(VK_ESCAPE);
        user::test::RunUntilIdle();
    });
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    user::test::OnNextModal(ModalKind::Menu, u"", [](const ModalInfo& info) {
        auto grayed = user::test::MenuItemRect(kExplore);
        user::test::Tap(POINT{(grayed->left + grayed->right) / 2, (grayed->top + grayed->bottom) / 2});
        user::test::RunUntilIdle();
        EXPECT_EQ(user::test::CurrentModalWindow(), info.window);
        user::test::Tap(POINT{230, 310});
        user::test::RunUntilIdle();
    });
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    // A stylus lifted over an item without a press inside the menu (the press that opened it) chooses
    // nothing.
    user::test::OnNextModal(ModalKind::Menu, u"", [](const ModalInfo& info) {
        auto close = user::test::MenuItemRect(kClose);
        user::test::StylusUp(POINT{close->left + 5, close->top + 3});
        user::test::RunUntilIdle();
        EXPECT_EQ(user::test::CurrentModalWindow(), info.window);
        user::test::PressKey(VK_ESCAPE);
        user::test::RunUntilIdle();
    });
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    user::test::RunUntilIdle();
    EXPECT_TRUE(Commands().empty());
}

TEST_F(MenuTest, AScriptedAnswerChoosesAnItem) {
    user::test::AnswerNextMenu(kExplore);
    EXPECT_TRUE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    user::test::RunUntilIdle();
    EXPECT_THAT(Commands(), ElementsAre(MAKEWPARAM(kExplore, 0)));
}

} // namespace
