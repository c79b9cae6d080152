// The mount table: appending and inserting mounted containers, unmounting the selected one or all of
// them with the messages the user sees, the list kept in step with the slots, the driver's "Open" values,
// and devices that cannot be deactivated.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainDlg.h"
#include "MountSupport.h"
#include "MountTable.h"
#include "Resource.h"
#include "SkinListBox.h"
#include "SkinTestSupport.h"
#include "devices/DeviceManager.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "kernel/Registry.h"
#include "user/TestSurface.h"

namespace {

using apptest::MountNewContainer;
using user::test::ModalInfo;
using user::test::ModalKind;

constexpr char16_t kPassword[] = u"password1";

class MountTableTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        // The program's message box with just its text and OK button.
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\button.png",
                        skintest::StripPng(20, 20, {0, 0, 0}));
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\messagebox.xml",
                        R"(<xForm relativePathes="true" width="200" height="100">
  <xLayer name="box">
    <xStatic id="1061" x="0" y="0" width="200" height="60"/>
    <xButton id="1062" controlBitmap="button.png" x="90" y="70"/>
  </xLayer>
</xForm>)");
        m_driver = std::make_unique<apptest::LoadedDriver>();
        m_host = std::make_unique<skintest::CSkinHost>();
        ASSERT_TRUE(m_host->Open());
        // The folder list as the main dialog creates it.
        ASSERT_TRUE(m_list->Create(Main_Dlg::kFolderListStyle, CRect(0, 0, 200, 200), m_host.get(), 1009));
        m_list->SetListFont(14, u"Arial", RGB(0, 0, 0), 0xAA0000, true, 1, 0xAAAAAA);
        m_table.AttachList(m_list.get());
    }
    void TearDown() override {
        // Whatever a test left mounted goes before the driver does.
        for (int slot = 0; slot <= m_table.LastUsed(); ++slot)
            if (m_table.IsUsed(slot))
                DeactivateDevice(m_table.Device(slot));
        m_list.reset();
        m_host.reset();
        m_driver.reset();
        kernel::SetProgramDevicePath({});
        SkinTest::TearDown();
    }
    void Mount(const std::u16string& name, const std::u16string& folder) {
        apptest::MountedContainer mounted = MountNewContainer(u"\\" + name + u".fvc", kPassword, folder);
        ASSERT_EQ(mounted.record.status, MOUNT_OK);
        ASSERT_TRUE(m_table.Append(mounted.record, mounted.device));
    }
    // Answers the next message box of the program and keeps its text.
    void ExpectMessage() {
        user::test::OnNextModal(ModalKind::Dialog, u"", [this](const ModalInfo& info) {
            m_messages.push_back(user::test::Text(GetDlgItem(info.window, IDC_MESSAGE_TEXT)));
            SendMessageW(info.window, WM_COMMAND, IDC_MESSAGE_OK, 0);
        });
    }
    // Selects the item as the user does, with a tap on it apart in time from the tap before.
    void TapItem(int item) {
        CRect rect;
        ASSERT_NE(m_list->GetItemRect(item, &rect), LB_ERR);
        user::test::AdvanceTime(1000);
        ASSERT_TRUE(user::test::TapWindow(m_list->m_hWnd, rect.CenterPoint()));
        user::test::RunUntilIdle();
    }
    std::vector<std::u16string> Items() {
        std::vector<std::u16string> items;
        for (int i = 0; i < m_list->GetCount(); ++i) {
            CString text;
            m_list->GetText(i, text);
            items.emplace_back(static_cast<LPCWSTR>(text));
        }
        return items;
    }
    static bool FolderExists(const std::u16string& folder) {
        return GetFileAttributesW((u"\\" + folder).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<apptest::LoadedDriver> m_driver;
    std::unique_ptr<skintest::CSkinHost> m_host;
    std::unique_ptr<CSkinListBox> m_list = std::make_unique<CSkinListBox>();
    CMountTable m_table;
    std::vector<std::u16string> m_messages;
};

TEST_F(MountTableTest, UnmountingTheSelectedOneKeepsTheListInStep) {
    Mount(u"a", u"A");
    Mount(u"b", u"B");
    Mount(u"c", u"C");
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"A", u"B", u"C"}));
    const HANDLE lastDevice = m_table.Device(2);

    TapItem(0);
    ExpectMessage();
    m_table.UnmountSelected();
    EXPECT_EQ(m_messages, std::vector<std::u16string>{u"\nContainer unmounted\n succesfully."});
    EXPECT_FALSE(FolderExists(u"A"));
    EXPECT_EQ(m_table.LastUsed(), 1);
    EXPECT_EQ(m_table.Device(0), lastDevice) << "the last slot fills the gap";
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"C", u"B"}));

    ExpectMessage();
    m_table.UnmountAll();
    EXPECT_EQ(m_messages.back(), u"\nContainers unmounted\n succesfully.");
    EXPECT_FALSE(FolderExists(u"B"));
    EXPECT_FALSE(FolderExists(u"C"));
    EXPECT_EQ(m_table.LastUsed(), -1);
    EXPECT_TRUE(Items().empty());

    // Nothing left: no message at all.
    m_table.UnmountAll();
    m_table.UnmountSelected();
    EXPECT_EQ(m_messages.size(), 2u);
}

TEST_F(MountTableTest, TheSelectedContainerGoesAlsoWhenTwoShareAName) {
    Mount(u"first", u"Same");
    Mount(u"second", u"Same"); // mounted at \Same2, listed as "Same"
    const HANDLE first = m_table.Device(0);
    TapItem(1);
    ExpectMessage();
    m_table.UnmountSelected();
    EXPECT_EQ(m_table.LastUsed(), 0);
    EXPECT_EQ(m_table.Device(0), first);
    EXPECT_TRUE(FolderExists(u"Same"));
}

TEST_F(MountTableTest, TheDriversOpenValueIsClearedOnlyWhereItsKeyExists) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Ferrovane\\0", 0, nullptr, 0, 0,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD open = 1;
    RegSetValueExW(key, u"Open", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&open), sizeof open);
    RegCloseKey(key);
    Mount(u"a", u"A");
    Mount(u"b", u"B");
    ExpectMessage();
    m_table.UnmountAll();
    DWORD value = 7;
    DWORD size = sizeof value;
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Ferrovane\\0", 0, KEY_READ, &opened),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(opened, u"Open", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    EXPECT_EQ(value, 0u);
    HKEY absent = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Ferrovane\\1", 0, KEY_READ, &absent),
              ERROR_SUCCESS);
}

TEST_F(MountTableTest, ADeviceThatStaysKeepsItsContainerInTheTable) {
    // Host programs hold B's folder: its device cannot be let go.
    apptest::FolderHolders holders(apptest::FolderHolders::Holder::Fake);
    Mount(u"a", u"A");
    apptest::MountedContainer made = MountNewContainer(u"\\b.fvc", kPassword, u"B");
    ASSERT_TRUE(DeactivateDevice(made.device));
    holders.HoldNextFolder(apptest::FolderHolders::kAlways);
    CONTAINER_PARAMS record = apptest::MakeRecord(u"\\b.fvc", kPassword, u"B", 0);
    record.status = MOUNT_OK;
    const HANDLE held = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record);
    ASSERT_TRUE(holders.Held());
    ASSERT_TRUE(m_table.Append(record, held));
    Mount(u"c", u"C");
    TapItem(1);
    ExpectMessage();
    m_table.UnmountSelected();
    EXPECT_EQ(m_messages.back(), u"\n\nCan't unmount file.");
    EXPECT_EQ(m_table.LastUsed(), 2);
    EXPECT_EQ(Items().size(), 3u);
    EXPECT_TRUE(FolderExists(u"B"));

    ExpectMessage();
    m_table.UnmountAll();
    EXPECT_EQ(m_messages.back(), u"\nCan't unmount some files.");
    EXPECT_FALSE(FolderExists(u"A"));
    EXPECT_TRUE(FolderExists(u"B"));
    EXPECT_TRUE(FolderExists(u"C"));
    // What stays is at the front of the table and of the list.
    EXPECT_EQ(m_table.LastUsed(), 1);
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"B", u"C"}));
    holders.LetGo();
}

TEST_F(MountTableTest, InsertedAtTheFrontAndFullAt255) {
    CMountTable table;
    CONTAINER_PARAMS record = apptest::MakeRecord(u"\\x.fvc", kPassword, u"X", 0);
    record.status = MOUNT_OK;
    for (int i = 0; i < CMountTable::kSlots; ++i) {
        record.size = static_cast<uint32_t>(i);
        ASSERT_TRUE(i % 2 ? table.Append(record, nullptr) : table.InsertAtFront(record, nullptr)) << i;
    }
    EXPECT_FALSE(table.Append(record, nullptr));
    EXPECT_FALSE(table.InsertAtFront(record, nullptr));
    EXPECT_EQ(table.LastUsed(), 254);
    EXPECT_EQ(table.Record(0).size, 254u) << "the last insertion is at the front";
    EXPECT_EQ(table.Record(254).size, 253u) << "the last append is at the end";
    table.MarkAllFree();
    EXPECT_FALSE(table.IsUsed(0));
}

} // namespace
